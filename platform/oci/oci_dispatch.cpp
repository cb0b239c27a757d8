// The OCI functions the product calls, routed to a backend: the embedded
// Oracle for "file:" data sources, the client library loaded at run time for
// every other one. The product creates its environment and handles before it
// knows the host, so those five handle kinds are ours and stand for one
// handle in each backend, made when a call first needs it; the server attach
// picks the backend, the service context and the session follow it.
// Statements, binds, defines and descriptors are the backend's own handles,
// remembered with the backend that made them.
#include "platform/oci/oci.h"

#include <array>
#include <atomic>
#include <cstring>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "platform/eora/eora_inject.h"
#include "platform/oci/oci_api.h"
#include "platform/oci/oci_client_library.h"
#include "platform/oci/oci_embedded.h"

namespace {

// Lets a handle of the C interface's types reach an embedded function.
template <auto Impl, class Global>
struct embedded_entry;

template <auto Impl, class R, class... Q>
struct embedded_entry<Impl, R (*)(Q...)> {
    static R call(Q... args) { return eoci::call(Impl, args...); }
};

enum backend : size_t { embedded = 0, loaded = 1 };
constexpr size_t backend_count = 2;

const oci_api& api_of(backend b)
{
    if (b == loaded) {
        std::string problem;
        // Present: a handle of this backend exists only once it was loaded.
        return oci_loaded_client(problem)->api();
    }
    return oci_embedded_api();
}

constexpr uint32_t routed_magic = 0x5456524F;

// One of the handles the product allocates before it connects.
struct routed {
    explicit routed(ub4 type, routed* parent) : htype(type), env(parent) {}
    ~routed() { magic = 0; }
    routed(const routed&) = delete;
    routed& operator=(const routed&) = delete;

    uint32_t magic = routed_magic;
    ub4 htype;
    routed* env;                             // the environment it was allocated from; null for one
    std::array<void*, backend_count> real{}; // its handle in each backend, once made
    backend bound = embedded;                // the backend calls on it go to
    bool used = false;                       // an error handle that a call has filled
    std::vector<unsigned char> usermem;

    // The environment's creation arguments, for each backend's own.
    struct env_args {
        ub4 mode = OCI_DEFAULT;
        void* ctxp = nullptr;
        void* (*malocfp)(void*, size_t) = nullptr;
        void* (*ralocfp)(void*, void*, size_t) = nullptr;
        void (*mfreefp)(void*, void*) = nullptr;
        ub2 charset = 0;
        ub2 ncharset = 0;
    } args;
    // Session attributes (the credentials), set on the backend's session at
    // the session begin, when the backend is known.
    std::vector<std::pair<ub4, std::vector<unsigned char>>> attrs;
};

routed* as_routed(const void* p, ub4 type)
{
    auto* r = static_cast<routed*>(const_cast<void*>(p));
    if (!r || r->magic != routed_magic || r->htype != type) return nullptr;
    return r;
}

// The handle of `r` in backend `b`, made on first use; null when it cannot be.
void* real_of(routed* r, backend b)
{
    if (!r) return nullptr;
    if (r->real[b]) return r->real[b];
    const oci_api& api = api_of(b);
    if (r->htype == OCI_HTYPE_ENV) {
        OCIEnv* e = nullptr;
        const auto& a = r->args;
        if (api.OCIEnvNlsCreate(&e, a.mode, a.ctxp, a.malocfp, a.ralocfp, a.mfreefp, 0, nullptr, a.charset,
                                a.ncharset) != OCI_SUCCESS)
            return nullptr;
        r->real[b] = e;
        return e;
    }
    void* env = real_of(r->env, b);
    void* h = nullptr;
    if (!env || api.OCIHandleAlloc(env, &h, r->htype, 0, nullptr) != OCI_SUCCESS) return nullptr;
    r->real[b] = h;
    return h;
}

// The error handle of `err` in backend `b`; OCIErrorGet then reads that one.
OCIError* error_in(OCIError* err, backend b)
{
    routed* r = as_routed(err, OCI_HTYPE_ERROR);
    if (!r) return err;
    r->bound = b;
    r->used = true;
    return static_cast<OCIError*>(real_of(r, b));
}

template <class T>
T* real_as(routed* r, backend b)
{
    return static_cast<T*>(real_of(r, b));
}

// The backend of each statement, bind, define and descriptor handle.
class handle_registry {
public:
    void add(const void* h, backend b, const void* owner)
    {
        if (!h) return;
        std::lock_guard<std::mutex> lock(mu_);
        map_[h] = {b, owner};
    }
    // Forgets `h` and the handles it owns (a statement's binds and defines).
    void remove(const void* h)
    {
        std::lock_guard<std::mutex> lock(mu_);
        map_.erase(h);
        for (auto it = map_.begin(); it != map_.end();) it = it->second.owner == h ? map_.erase(it) : std::next(it);
    }
    // A handle not made through us goes to the embedded Oracle, which
    // answers OCI_INVALID_HANDLE for anything it did not make either.
    backend of(const void* h) const
    {
        std::lock_guard<std::mutex> lock(mu_);
        auto it = map_.find(h);
        return it == map_.end() ? embedded : it->second.b;
    }

private:
    struct entry {
        backend b;
        const void* owner;
    };
    mutable std::mutex mu_;
    std::unordered_map<const void*, entry> map_;
};

handle_registry& registry()
{
    static handle_registry r;
    return r;
}

bool is_routed_type(ub4 type)
{
    return type == OCI_HTYPE_ENV || type == OCI_HTYPE_ERROR || type == OCI_HTYPE_SERVER || type == OCI_HTYPE_SVCCTX ||
           type == OCI_HTYPE_SESSION;
}

std::atomic<bool> client_missing{false};

bool starts_with(const std::u16string& s, const char* prefix)
{
    size_t n = std::strlen(prefix);
    if (s.size() < n) return false;
    for (size_t i = 0; i < n; ++i)
        if (s[i] != static_cast<char16_t>(prefix[i])) return false;
    return true;
}

bool embedded_data_source(const std::u16string& ds) { return starts_with(ds, "file:") || starts_with(ds, "//file:"); }

} // namespace

const oci_api& oci_embedded_api()
{
    static const oci_api api = [] {
        oci_api a;
#define TVX_OCI_EMBEDDED(name) a.name = &embedded_entry<&eoci::name, decltype(a.name)>::call;
        TVX_OCI_FUNCTIONS(TVX_OCI_EMBEDDED)
#undef TVX_OCI_EMBEDDED
        return a;
    }();
    return api;
}

bool oci_client_present() { return !client_missing.load(); }
void oci_test_set_client_missing(bool missing) { client_missing = missing; }
void oci_test_inject_error(const std::string& pattern, int ora_number) { eora::inject_error(pattern, ora_number); }
void oci_test_clear_injections() { eora::clear_injections(); }

bool oci_client_serves(const std::u16string& data_source, std::string& why)
{
    why.clear();
    if (embedded_data_source(data_source)) return true;
    return oci_loaded_client(why) != nullptr;
}

sword OCIEnvNlsCreate(OCIEnv** envhpp, ub4 mode, void* ctxp, void* (*malocfp)(void*, size_t),
                      void* (*ralocfp)(void*, void*, size_t), void (*mfreefp)(void*, void*), size_t xtramem_sz,
                      void** usrmempp, ub2 charset, ub2 ncharset)
{
    if (!envhpp) return OCI_INVALID_HANDLE;
    auto e = std::make_unique<routed>(OCI_HTYPE_ENV, nullptr);
    e->args = {mode, ctxp, malocfp, ralocfp, mfreefp, charset, ncharset};
    // The embedded Oracle's environment is made at once: it is the default
    // backend, and a failure shows here as it would with a client.
    if (!real_of(e.get(), embedded)) return OCI_ERROR;
    if (xtramem_sz && usrmempp) {
        e->usermem.assign(xtramem_sz, 0);
        *usrmempp = e->usermem.data();
    }
    *envhpp = reinterpret_cast<OCIEnv*>(e.release());
    return OCI_SUCCESS;
}

sword OCIHandleAlloc(const void* parenth, void** hndlpp, ub4 type, size_t xtramem_sz, void** usrmempp)
{
    routed* env = as_routed(parenth, OCI_HTYPE_ENV);
    if (!env || !hndlpp) return OCI_INVALID_HANDLE;
    if (is_routed_type(type) && type != OCI_HTYPE_ENV) {
        auto h = std::make_unique<routed>(type, env);
        if (xtramem_sz && usrmempp) {
            h->usermem.assign(xtramem_sz, 0);
            *usrmempp = h->usermem.data();
        }
        *hndlpp = h.release();
        return OCI_SUCCESS;
    }
    // A statement belongs to the backend of the last server attach.
    backend b = env->bound;
    void* real_env = real_of(env, b);
    if (!real_env) return OCI_INVALID_HANDLE;
    sword rc = api_of(b).OCIHandleAlloc(real_env, hndlpp, type, xtramem_sz, usrmempp);
    if (rc == OCI_SUCCESS) registry().add(*hndlpp, b, nullptr);
    return rc;
}

sword OCIHandleFree(void* hndlp, ub4 type)
{
    if (is_routed_type(type)) {
        std::unique_ptr<routed> r(as_routed(hndlp, type));
        if (!r) return OCI_INVALID_HANDLE;
        for (size_t b = 0; b < backend_count; ++b)
            if (r->real[b]) api_of(static_cast<backend>(b)).OCIHandleFree(r->real[b], type);
        return OCI_SUCCESS;
    }
    backend b = registry().of(hndlp);
    sword rc = api_of(b).OCIHandleFree(hndlp, type);
    registry().remove(hndlp);
    return rc;
}

sword OCIDescriptorAlloc(const void* parenth, void** descpp, ub4 type, size_t xtramem_sz, void** usrmempp)
{
    routed* env = as_routed(parenth, OCI_HTYPE_ENV);
    if (!env || !descpp) return OCI_INVALID_HANDLE;
    backend b = env->bound;
    void* real_env = real_of(env, b);
    if (!real_env) return OCI_INVALID_HANDLE;
    sword rc = api_of(b).OCIDescriptorAlloc(real_env, descpp, type, xtramem_sz, usrmempp);
    if (rc == OCI_SUCCESS) registry().add(*descpp, b, nullptr);
    return rc;
}

sword OCIDescriptorFree(void* descp, ub4 type)
{
    backend b = registry().of(descp);
    sword rc = api_of(b).OCIDescriptorFree(descp, type);
    registry().remove(descp);
    return rc;
}

sword OCIAttrSet(void* h, ub4 htype, void* attributep, ub4 size, ub4 attr, OCIError* err)
{
    if (!is_routed_type(htype)) {
        backend b = registry().of(h);
        return api_of(b).OCIAttrSet(h, htype, attributep, size, attr, error_in(err, b));
    }
    routed* r = as_routed(h, htype);
    if (!r) return OCI_INVALID_HANDLE;
    if (htype == OCI_HTYPE_SESSION) {
        // Kept until the session begins on the backend of its service context.
        if (!attributep) return OCI_INVALID_HANDLE;
        const auto* p = static_cast<const unsigned char*>(attributep);
        std::vector<unsigned char> value(p, p + size);
        for (auto& a : r->attrs)
            if (a.first == attr) {
                a.second = std::move(value);
                return OCI_SUCCESS;
            }
        r->attrs.emplace_back(attr, std::move(value));
        return OCI_SUCCESS;
    }
    if (htype == OCI_HTYPE_SVCCTX && (attr == OCI_ATTR_SERVER || attr == OCI_ATTR_SESSION)) {
        routed* target = as_routed(attributep, attr == OCI_ATTR_SERVER ? OCI_HTYPE_SERVER : OCI_HTYPE_SESSION);
        if (!target) return OCI_INVALID_HANDLE;
        // The service context follows its server to that server's backend.
        if (attr == OCI_ATTR_SERVER) r->bound = target->bound;
        backend b = r->bound;
        void* svc = real_of(r, b);
        void* t = real_of(target, b);
        if (!svc || !t) return OCI_INVALID_HANDLE;
        return api_of(b).OCIAttrSet(svc, htype, t, 0, attr, error_in(err, b));
    }
    // Other attributes of these handles: neither program sets any.
    void* real = real_of(r, r->bound);
    if (!real) return OCI_INVALID_HANDLE;
    return api_of(r->bound).OCIAttrSet(real, htype, attributep, size, attr, error_in(err, r->bound));
}

sword OCIAttrGet(const void* h, ub4 htype, void* attributep, ub4* sizep, ub4 attr, OCIError* err)
{
    if (!is_routed_type(htype)) {
        backend b = registry().of(h);
        return api_of(b).OCIAttrGet(h, htype, attributep, sizep, attr, error_in(err, b));
    }
    // Neither program reads an attribute of these handles.
    routed* r = as_routed(h, htype);
    void* real = r ? real_of(r, r->bound) : nullptr;
    if (!real) return OCI_INVALID_HANDLE;
    return api_of(r->bound).OCIAttrGet(real, htype, attributep, sizep, attr, error_in(err, r->bound));
}

sword OCIParamGet(const void* hndlp, ub4 htype, OCIError* err, void** parmdpp, ub4 pos)
{
    backend b = registry().of(hndlp);
    sword rc = api_of(b).OCIParamGet(hndlp, htype, error_in(err, b), parmdpp, pos);
    if (rc == OCI_SUCCESS && parmdpp) registry().add(*parmdpp, b, hndlp);
    return rc;
}

sword OCIErrorGet(void* hndlp, ub4 recordno, OraText* sqlstate, sb4* errcodep, OraText* bufp, ub4 bufsiz, ub4 type)
{
    routed* r = as_routed(hndlp, type);
    if (!r || (type != OCI_HTYPE_ERROR && type != OCI_HTYPE_ENV)) return OCI_INVALID_HANDLE;
    if (type == OCI_HTYPE_ERROR && !r->used) return OCI_NO_DATA;
    // An environment's errors (its creation) are not read by either program.
    void* real = real_of(r, r->bound);
    if (!real) return OCI_INVALID_HANDLE;
    return api_of(r->bound).OCIErrorGet(real, recordno, sqlstate, errcodep, bufp, bufsiz, type);
}

sword OCIServerAttach(OCIServer* srvhp, OCIError* err, const OraText* dblink, sb4 dblink_len, ub4 mode)
{
    routed* srv = as_routed(srvhp, OCI_HTYPE_SERVER);
    if (!srv) return OCI_INVALID_HANDLE;
    std::u16string ds(dblink && dblink_len > 0 ? static_cast<size_t>(dblink_len) / 2 : 0, u'\0');
    if (!ds.empty()) std::memcpy(ds.data(), dblink, ds.size() * 2);
    // Without a client library the embedded Oracle answers, as a client
    // with nothing listening would. Neither program gets here then: the
    // engine reports the missing client first.
    std::string why;
    backend b = embedded_data_source(ds) || !oci_loaded_client(why) ? embedded : loaded;
    srv->bound = b;
    srv->env->bound = b;
    void* real = real_of(srv, b);
    if (!real) return OCI_INVALID_HANDLE;
    return api_of(b).OCIServerAttach(static_cast<OCIServer*>(real), error_in(err, b), dblink, dblink_len, mode);
}

sword OCIServerDetach(OCIServer* srvhp, OCIError* err, ub4 mode)
{
    routed* srv = as_routed(srvhp, OCI_HTYPE_SERVER);
    if (!srv) return OCI_INVALID_HANDLE;
    backend b = srv->bound;
    void* real = real_of(srv, b);
    if (!real) return OCI_INVALID_HANDLE;
    return api_of(b).OCIServerDetach(static_cast<OCIServer*>(real), error_in(err, b), mode);
}

sword OCISessionBegin(OCISvcCtx* svchp, OCIError* err, OCISession* usrhp, ub4 credt, ub4 mode)
{
    routed* svc = as_routed(svchp, OCI_HTYPE_SVCCTX);
    routed* ses = as_routed(usrhp, OCI_HTYPE_SESSION);
    if (!svc || !ses) return OCI_INVALID_HANDLE;
    backend b = svc->bound;
    const oci_api& api = api_of(b);
    auto* real_svc = real_as<OCISvcCtx>(svc, b);
    auto* real_ses = real_as<OCISession>(ses, b);
    if (!real_svc || !real_ses) return OCI_INVALID_HANDLE;
    OCIError* e = error_in(err, b);
    for (auto& a : ses->attrs) {
        sword rc =
            api.OCIAttrSet(real_ses, OCI_HTYPE_SESSION, a.second.data(), static_cast<ub4>(a.second.size()), a.first, e);
        if (rc != OCI_SUCCESS) return rc;
    }
    ses->bound = b;
    return api.OCISessionBegin(real_svc, e, real_ses, credt, mode);
}

sword OCISessionEnd(OCISvcCtx* svchp, OCIError* err, OCISession* usrhp, ub4 mode)
{
    routed* svc = as_routed(svchp, OCI_HTYPE_SVCCTX);
    routed* ses = usrhp ? as_routed(usrhp, OCI_HTYPE_SESSION) : nullptr;
    if (!svc || (usrhp && !ses)) return OCI_INVALID_HANDLE;
    backend b = ses ? ses->bound : svc->bound;
    auto* real_svc = real_as<OCISvcCtx>(svc, b);
    if (!real_svc) return OCI_INVALID_HANDLE;
    return api_of(b).OCISessionEnd(real_svc, error_in(err, b), ses ? real_as<OCISession>(ses, b) : nullptr, mode);
}

sword OCITransCommit(OCISvcCtx* svchp, OCIError* err, ub4 flags)
{
    routed* svc = as_routed(svchp, OCI_HTYPE_SVCCTX);
    auto* real = svc ? real_as<OCISvcCtx>(svc, svc->bound) : nullptr;
    if (!real) return OCI_INVALID_HANDLE;
    return api_of(svc->bound).OCITransCommit(real, error_in(err, svc->bound), flags);
}

sword OCITransRollback(OCISvcCtx* svchp, OCIError* err, ub4 flags)
{
    routed* svc = as_routed(svchp, OCI_HTYPE_SVCCTX);
    auto* real = svc ? real_as<OCISvcCtx>(svc, svc->bound) : nullptr;
    if (!real) return OCI_INVALID_HANDLE;
    return api_of(svc->bound).OCITransRollback(real, error_in(err, svc->bound), flags);
}

sword OCIStmtPrepare(OCIStmt* stmtp, OCIError* err, const OraText* stmt, ub4 stmt_len, ub4 language, ub4 mode)
{
    backend b = registry().of(stmtp);
    return api_of(b).OCIStmtPrepare(stmtp, error_in(err, b), stmt, stmt_len, language, mode);
}

sword OCIDefineByPos(OCIStmt* stmtp, OCIDefine** defnpp, OCIError* err, ub4 position, void* valuep, sb4 value_sz,
                     ub2 dty, void* indp, ub2* rlenp, ub2* rcodep, ub4 mode)
{
    backend b = registry().of(stmtp);
    sword rc = api_of(b).OCIDefineByPos(stmtp, defnpp, error_in(err, b), position, valuep, value_sz, dty, indp, rlenp,
                                        rcodep, mode);
    if (rc == OCI_SUCCESS && defnpp) registry().add(*defnpp, b, stmtp);
    return rc;
}

sword OCIBindByPos(OCIStmt* stmtp, OCIBind** bindpp, OCIError* err, ub4 position, void* valuep, sb4 value_sz, ub2 dty,
                   void* indp, ub2* alenp, ub2* rcodep, ub4 maxarr_len, ub4* curelep, ub4 mode)
{
    backend b = registry().of(stmtp);
    sword rc = api_of(b).OCIBindByPos(stmtp, bindpp, error_in(err, b), position, valuep, value_sz, dty, indp, alenp,
                                      rcodep, maxarr_len, curelep, mode);
    if (rc == OCI_SUCCESS && bindpp) registry().add(*bindpp, b, stmtp);
    return rc;
}

sword OCIBindByName(OCIStmt* stmtp, OCIBind** bindpp, OCIError* err, const OraText* placeholder, sb4 placeh_len,
                    void* valuep, sb4 value_sz, ub2 dty, void* indp, ub2* alenp, ub2* rcodep, ub4 maxarr_len,
                    ub4* curelep, ub4 mode)
{
    backend b = registry().of(stmtp);
    sword rc = api_of(b).OCIBindByName(stmtp, bindpp, error_in(err, b), placeholder, placeh_len, valuep, value_sz, dty,
                                       indp, alenp, rcodep, maxarr_len, curelep, mode);
    if (rc == OCI_SUCCESS && bindpp) registry().add(*bindpp, b, stmtp);
    return rc;
}

sword OCIBindDynamic(OCIBind* bindp, OCIError* err, void* ictxp, OCICallbackInBind icbfp, void* octxp,
                     OCICallbackOutBind ocbfp)
{
    backend b = registry().of(bindp);
    return api_of(b).OCIBindDynamic(bindp, error_in(err, b), ictxp, icbfp, octxp, ocbfp);
}

sword OCIStmtExecute(OCISvcCtx* svchp, OCIStmt* stmtp, OCIError* err, ub4 iters, ub4 rowoff, const OCISnapshot* snap_in,
                     OCISnapshot* snap_out, ub4 mode)
{
    routed* svc = as_routed(svchp, OCI_HTYPE_SVCCTX);
    if (!svc) return OCI_INVALID_HANDLE;
    backend b = registry().of(stmtp);
    auto* real_svc = real_as<OCISvcCtx>(svc, b);
    if (!real_svc) return OCI_INVALID_HANDLE;
    return api_of(b).OCIStmtExecute(real_svc, stmtp, error_in(err, b), iters, rowoff, snap_in, snap_out, mode);
}

sword OCIStmtFetch(OCIStmt* stmtp, OCIError* err, ub4 nrows, ub2 orientation, ub4 mode)
{
    backend b = registry().of(stmtp);
    return api_of(b).OCIStmtFetch(stmtp, error_in(err, b), nrows, orientation, mode);
}

sword OCILobCharSetForm(OCIEnv* envhp, OCIError* err, const OCILobLocator* locp, ub1* csfrm)
{
    routed* env = as_routed(envhp, OCI_HTYPE_ENV);
    if (!env) return OCI_INVALID_HANDLE;
    backend b = registry().of(locp);
    return api_of(b).OCILobCharSetForm(real_as<OCIEnv>(env, b), error_in(err, b), locp, csfrm);
}

namespace {

// The service context of `svchp` in the backend of `locp`.
OCISvcCtx* lob_svc(OCISvcCtx* svchp, backend b)
{
    routed* svc = as_routed(svchp, OCI_HTYPE_SVCCTX);
    return svc ? real_as<OCISvcCtx>(svc, b) : nullptr;
}

// A session or environment handle for the date-time functions.
void* datetime_context(void* hndl, backend b)
{
    if (routed* r = as_routed(hndl, OCI_HTYPE_ENV)) return real_of(r, b);
    if (routed* r = as_routed(hndl, OCI_HTYPE_SESSION)) return real_of(r, b);
    return hndl;
}

} // namespace

sword OCILobGetLength(OCISvcCtx* svchp, OCIError* err, OCILobLocator* locp, ub4* lenp)
{
    backend b = registry().of(locp);
    OCISvcCtx* svc = lob_svc(svchp, b);
    if (!svc) return OCI_INVALID_HANDLE;
    return api_of(b).OCILobGetLength(svc, error_in(err, b), locp, lenp);
}

sword OCILobRead(OCISvcCtx* svchp, OCIError* err, OCILobLocator* locp, ub4* amtp, ub4 offset, void* bufp, ub4 bufl,
                 void* ctxp, OCICallbackLobRead cbfp, ub2 csid, ub1 csfrm)
{
    backend b = registry().of(locp);
    OCISvcCtx* svc = lob_svc(svchp, b);
    if (!svc) return OCI_INVALID_HANDLE;
    return api_of(b).OCILobRead(svc, error_in(err, b), locp, amtp, offset, bufp, bufl, ctxp, cbfp, csid, csfrm);
}

sword OCILobWrite(OCISvcCtx* svchp, OCIError* err, OCILobLocator* locp, ub4* amtp, ub4 offset, void* bufp, ub4 buflen,
                  ub1 piece, void* ctxp, OCICallbackLobWrite cbfp, ub2 csid, ub1 csfrm)
{
    backend b = registry().of(locp);
    OCISvcCtx* svc = lob_svc(svchp, b);
    if (!svc) return OCI_INVALID_HANDLE;
    return api_of(b).OCILobWrite(svc, error_in(err, b), locp, amtp, offset, bufp, buflen, piece, ctxp, cbfp, csid,
                                 csfrm);
}

sword OCIDateTimeGetDate(void* hndl, OCIError* err, const OCIDateTime* datetime, sb2* yr, ub1* mnth, ub1* dy)
{
    backend b = registry().of(datetime);
    return api_of(b).OCIDateTimeGetDate(datetime_context(hndl, b), error_in(err, b), datetime, yr, mnth, dy);
}

sword OCIDateTimeGetTime(void* hndl, OCIError* err, OCIDateTime* datetime, ub1* hr, ub1* mm, ub1* ss, ub4* fsec)
{
    backend b = registry().of(datetime);
    return api_of(b).OCIDateTimeGetTime(datetime_context(hndl, b), error_in(err, b), datetime, hr, mm, ss, fsec);
}
