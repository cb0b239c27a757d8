// The OCI functions of the embedded Oracle, under their own namespace: the
// product reaches them through the routing layer (oci_dispatch.cpp), the
// test client library through its C exports.
#include "platform/oci/oci_embedded.h"

#include "platform/eora/eora_datetime.h"
#include "platform/eora/eora_error.h"
#include "platform/eora/eora_inject.h"
#include "platform/eora/eora_lob_writer.h"
#include "platform/eora/eora_number.h"
#include "platform/eora/eora_session.h"
#include "platform/eora/eora_text.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <set>
#include <unordered_map>
#include <vector>

namespace eoci {

namespace {

// Oracle's id of the UTF8 character set: a LOB read or written in it takes
// raw UTF-8 bytes, and its amounts count them.
constexpr ub2 utf8_csid = 871;

// Every handle and descriptor that is allocated, with its type. A call is
// given a handle by address only: one that was freed, never made, or is of
// another type is told by this table, never by reading the memory it names.
class live_handles {
public:
    void add(const void* h, ub4 type)
    {
        std::lock_guard<std::mutex> lock(mu_);
        map_[h] = type;
    }
    void remove(const void* h)
    {
        std::lock_guard<std::mutex> lock(mu_);
        map_.erase(h);
    }
    bool holds(const void* h, ub4 type) const
    {
        std::lock_guard<std::mutex> lock(mu_);
        auto it = map_.find(h);
        return it != map_.end() && it->second == type;
    }

private:
    mutable std::mutex mu_;
    std::unordered_map<const void*, ub4> map_;
};

live_handles& live()
{
    static live_handles table;
    return table;
}

struct handle_base {
    ub4 htype;
    std::vector<unsigned char> usermem;
    explicit handle_base(ub4 t) : htype(t) { live().add(this, t); }
    virtual ~handle_base() { live().remove(this); }
    handle_base(const handle_base&) = delete;
    handle_base& operator=(const handle_base&) = delete;
};

bool is_live(const void* p, ub4 type) { return p && live().holds(p, type); }

template <class T>
T* as(const void* p, ub4 type)
{
    if (!is_live(p, type)) return nullptr;
    return static_cast<T*>(static_cast<handle_base*>(const_cast<void*>(p)));
}

} // namespace

struct OCIEnv : handle_base {
    OCIEnv() : handle_base(OCI_HTYPE_ENV) {}
};

struct OCIError : handle_base {
    OCIError() : handle_base(OCI_HTYPE_ERROR) {}
    bool has = false;
    sb4 code = 0;
    std::string text;
    void set(int n, std::string t)
    {
        has = true;
        code = n;
        text = std::move(t);
    }
    void clear() { has = false; }
};

struct OCISession;

struct OCIServer : handle_base {
    OCIServer() : handle_base(OCI_HTYPE_SERVER) {}
    ~OCIServer() override;
    bool attached = false;
    std::string file;
    std::set<OCISession*> sessions;
};

struct OCISession : handle_base {
    OCISession() : handle_base(OCI_HTYPE_SESSION) {}
    ~OCISession() override;
    std::string user, password;
    std::unique_ptr<eora::session> s;
    OCIServer* srv = nullptr;
    std::set<OCIStmt*> stmts; // statements with open results on this session
    void end();
};

struct OCISvcCtx : handle_base {
    OCISvcCtx() : handle_base(OCI_HTYPE_SVCCTX) {}
    OCIServer* srv = nullptr;
    OCISession* ses = nullptr;
};

struct OCIStmt;

struct OCIBind : handle_base {
    OCIBind() : handle_base(OCI_HTYPE_BIND) {}
    OCIStmt* stmt = nullptr;
    ub4 position = 0; // 0 when bound by name
    std::string name;
    void* valuep = nullptr;
    sb4 value_sz = 0;
    ub2 dty = 0;
    void* indp = nullptr;
    ub2* alenp = nullptr;
    ub2* rcodep = nullptr;
    ub4 maxarr = 0;
    ub4 mode = 0;
    ub1 csform = SQLCS_IMPLICIT; // SQLCS_NCHAR: the value is national text
    void* ictx = nullptr;
    OCICallbackInBind icb = nullptr;
    void* octx = nullptr;
    OCICallbackOutBind ocb = nullptr;
};

struct OCIDefine : handle_base {
    OCIDefine() : handle_base(OCI_HTYPE_DEFINE) {}
    OCIStmt* stmt = nullptr;
    ub4 position = 0;
    void* valuep = nullptr;
    sb4 value_sz = 0;
    ub2 dty = 0;
    void* indp = nullptr;
    ub2* rlenp = nullptr;
    ub2* rcodep = nullptr;
    ub2 charset = 0;
};

struct OCIParam : handle_base {
    OCIParam() : handle_base(OCI_DTYPE_PARAM) {}
    eora::result_column col;
    std::u16string name16;
};

struct OCIStmt : handle_base {
    OCIStmt() : handle_base(OCI_HTYPE_STMT) {}
    ~OCIStmt() override
    {
        cur.reset();
        if (is_live(ses, OCI_HTYPE_SESSION)) ses->stmts.erase(this);
    }
    std::unique_ptr<eora::statement> st;
    std::vector<std::unique_ptr<OCIBind>> binds;
    std::vector<std::unique_ptr<OCIDefine>> defines;
    std::vector<std::unique_ptr<OCIParam>> params;
    std::unique_ptr<eora::cursor> cur;
    OCISession* ses = nullptr;
    bool executed = false;
    bool fetched_end = false;
    ub4 row_count = 0;
};

void OCISession::end()
{
    // Open results go first: they read through the connection.
    for (OCIStmt* st : stmts) {
        st->cur.reset();
        st->ses = nullptr;
    }
    stmts.clear();
    s.reset(); // rolls back what was not committed
    if (srv) srv->sessions.erase(this);
    srv = nullptr;
}

OCIServer::~OCIServer()
{
    auto copy = sessions;
    for (OCISession* s : copy) s->end();
}
OCISession::~OCISession() { end(); }

struct OCILobLocator : handle_base {
    OCILobLocator() : handle_base(OCI_DTYPE_LOB) {}
    bool init = false;
    bool is_text = true;
    bool national = false;
    std::string content; // UTF-8 for character LOBs
    // Written through this locator: the value is read from its row when asked
    // for, not kept here.
    bool stored = false;
    // A write in pieces, stored when its last piece arrives.
    std::unique_ptr<eora::lob_writer> writer;
    char16_t high_surrogate = 0;  // a piece of text ended between the two halves of a pair
    size_t read_next = 0;         // of a read in pieces: where its next piece starts
    size_t read_left = 0;         // of a read in pieces: what it still has to give
    uint64_t declared_amount = 0; // of a write in pieces: the total its first piece gave, 0 if none
    uint64_t written_amount = 0;  // of a write in pieces: the units sent so far
    std::shared_ptr<eora::lob_target> target;
    OCISession* ses = nullptr;
};

struct OCIDateTime : handle_base {
    OCIDateTime() : handle_base(OCI_DTYPE_TIMESTAMP) {}
    eora::datetime dt;
};

struct OCISnapshot {};

namespace {

sword fail(OCIError* err, int number, const std::string& a1 = {}, const std::string& a2 = {})
{
    if (err) err->set(number, eora::ora_message(number, a1, a2));
    return OCI_ERROR;
}

sword fail(OCIError* err, const eora::eora_error& e)
{
    if (err) err->set(e.number(), e.text());
    return OCI_ERROR;
}

std::u16string text16(const OraText* p, size_t bytes)
{
    if (!p) return {};
    std::u16string s(bytes / 2, u'\0');
    std::memcpy(s.data(), p, s.size() * 2);
    return s;
}

std::string text8(const OraText* p, size_t bytes) { return eora::to_utf8(text16(p, bytes)); }

std::string hex(const std::string& b)
{
    static const char* d = "0123456789ABCDEF";
    std::string out;
    out.reserve(b.size() * 2);
    for (unsigned char c : b) {
        out += d[c >> 4];
        out += d[c & 15];
    }
    return out;
}

// Resolves a data source to a service file; raises the client's errors.
std::string resolve_data_source(const std::string& ds)
{
    namespace fs = std::filesystem;
    std::string dir, service;
    if (ds.rfind("//", 0) == 0) {
        std::string rest = ds.substr(2);
        size_t slash = rest.rfind('/');
        std::string hostport = slash == std::string::npos ? rest : rest.substr(0, slash);
        service = slash == std::string::npos ? "" : rest.substr(slash + 1);
        size_t colon = hostport.rfind(':');
        std::string host = hostport;
        if (colon != std::string::npos && hostport.find_first_not_of("0123456789", colon + 1) == std::string::npos)
            host = hostport.substr(0, colon);
        if (host.rfind("file:", 0) != 0) eora::raise(12541);
        dir = host.substr(5);
        if (service.empty()) eora::raise(12514);
    } else if (ds.rfind("file:", 0) == 0) {
        dir = ds.substr(5);
        std::error_code ec;
        if (!fs::is_directory(dir, ec)) {
            // file:DIR/SERVICE
            fs::path p(dir);
            service = p.filename().string();
            dir = p.parent_path().string();
        }
    } else {
        eora::raise(12154);
    }
    std::error_code ec;
    if (dir.empty() || !fs::is_directory(dir, ec)) eora::raise(12541);
    if (service.empty()) {
        // The one service of the folder.
        std::vector<std::string> found;
        for (auto& e : fs::directory_iterator(dir, ec))
            if (e.path().extension() == ".db") found.push_back(e.path().string());
        if (found.size() != 1) eora::raise(12514);
        return found[0];
    }
    fs::path file = fs::path(dir) / (eora::upper(service) + ".db");
    if (!fs::is_regular_file(file, ec)) eora::raise(12514);
    return file.string();
}

// Reads one bound input value of iteration `iter`.
eora::value bind_value(OCIBind& b, ub4 iter)
{
    if (b.mode & OCI_DATA_AT_EXEC) {
        if (!b.icb) return eora::value::null();
        void* buf = nullptr;
        ub4 alen = 0;
        ub1 piece = OCI_ONE_PIECE;
        void* ind = nullptr;
        b.icb(b.ictx, reinterpret_cast<::OCIBind*>(&b), iter, 0, &buf, &alen, &piece, &ind);
        if (!buf || (ind && *static_cast<sb2*>(ind) == -1)) return eora::value::null();
        OCIBind tmp;
        tmp.valuep = buf;
        tmp.value_sz = static_cast<sb4>(alen);
        tmp.dty = b.dty;
        tmp.mode = 0;
        return bind_value(tmp, 0);
    }
    if (!b.valuep) return eora::value::null();
    auto* base =
        static_cast<const unsigned char*>(b.valuep) + static_cast<size_t>(iter) * static_cast<size_t>(b.value_sz);
    if (b.indp && static_cast<const sb2*>(b.indp)[iter] == -1) return eora::value::null();
    size_t len = b.alenp ? b.alenp[iter] : static_cast<size_t>(b.value_sz);
    switch (b.dty) {
    case SQLT_INT: {
        int64_t v = 0;
        if (b.value_sz == 1) {
            int8_t x;
            std::memcpy(&x, base, 1);
            v = x;
        } else if (b.value_sz == 2) {
            int16_t x;
            std::memcpy(&x, base, 2);
            v = x;
        } else if (b.value_sz == 8) {
            int64_t x;
            std::memcpy(&x, base, 8);
            v = x;
        } else {
            int32_t x;
            std::memcpy(&x, base, 4);
            v = x;
        }
        return eora::value::number(eora::decimal_from_int(v).text());
    }
    case SQLT_FLT:
    case SQLT_BDOUBLE:
    case SQLT_BFLOAT:
    case SQLT_IBDOUBLE:
    case SQLT_IBFLOAT: {
        double v;
        if (b.value_sz == 4) {
            float x;
            std::memcpy(&x, base, 4);
            v = x;
        } else
            std::memcpy(&v, base, 8);
        return eora::value::number(eora::decimal_from_double(v).text());
    }
    case SQLT_STR: {
        size_t n = 0, cap = static_cast<size_t>(b.value_sz) / 2;
        std::u16string s;
        while (n < cap) {
            char16_t c;
            std::memcpy(&c, base + n * 2, 2);
            if (!c) break;
            s += c;
            ++n;
        }
        return eora::value::text(eora::to_utf8(s));
    }
    case SQLT_CHR:
    case SQLT_AFC:
    case SQLT_LNG:
    case SQLT_VCS:
        return eora::value::text(eora::to_utf8(text16(base, len)));
    case SQLT_BIN:
    case SQLT_LBI:
        return eora::value::bytes(std::string(reinterpret_cast<const char*>(base), len));
    case SQLT_ODT: {
        OCIDate d;
        std::memcpy(&d, base, sizeof d);
        eora::datetime dt;
        dt.year = d.OCIDateYYYY;
        dt.month = d.OCIDateMM;
        dt.day = d.OCIDateDD;
        dt.hour = d.OCIDateTime.OCITimeHH;
        dt.minute = d.OCIDateTime.OCITimeMI;
        dt.second = d.OCIDateTime.OCITimeSS;
        return eora::value::date(dt.text(0));
    }
    default:
        eora::raise(932, "CHAR", "BINARY");
    }
}

// The longest character value a client sends as such; a longer one, and one
// bound as SQLT_LNG, goes as LONG, which only a LONG or LOB column takes.
constexpr size_t max_char_bind_bytes = 4000;

bool sent_as_long(const OCIBind& b, const eora::value& v, const std::string& charset)
{
    if (b.dty == SQLT_LNG) return true;
    if (v.kind != eora::value::vk::text) return false;
    if (b.dty != SQLT_CHR && b.dty != SQLT_STR && b.dty != SQLT_AFC && b.dty != SQLT_VCS) return false;
    // National text travels in the national character set, UTF-16 here.
    const size_t bytes =
        b.csform == SQLCS_NCHAR ? eora::utf16_length(v.s) * sizeof(char16_t) : eora::charset_bytes(v.s, charset);
    return bytes > max_char_bind_bytes;
}

// Text form of a value for SQLT_STR and the like.
std::string text_form(const eora::value& v)
{
    switch (v.kind) {
    case eora::value::vk::bytes:
        return hex(v.s);
    default:
        return v.s;
    }
}

double number_of(const eora::value& v)
{
    if (v.kind == eora::value::vk::bytes || v.kind == eora::value::vk::datetime) eora::raise(932, "NUMBER", "BINARY");
    auto d = eora::parse_decimal(v.s);
    if (!d) eora::raise(1722);
    return d->to_double();
}

eora::datetime date_of(const eora::value& v)
{
    if (v.kind == eora::value::vk::datetime) {
        if (auto d = eora::parse_stored_datetime(v.s)) return *d;
    }
    if (v.kind == eora::value::vk::text) return eora::parse_datetime(v.s, eora::default_date_format);
    eora::raise(932, "DATE", "NUMBER");
}

// Puts one fetched value into a define; true when it was cut short.
bool fill_define(OCIDefine& d, const eora::value& v, const eora::result_column& col, OCISession* ses)
{
    sb2* ind = static_cast<sb2*>(d.indp);
    if (d.rcodep) *d.rcodep = 0;
    if (v.is_null()) {
        if (ind) *ind = -1;
        if (d.rlenp) *d.rlenp = 0;
        return false;
    }
    if (ind) *ind = 0;
    switch (d.dty) {
    case SQLT_STR:
    case SQLT_CHR:
    case SQLT_AFC:
    case SQLT_VCS:
    case SQLT_LNG:
    case SQLT_RDD: {
        std::u16string s = eora::to_utf16(text_form(v));
        size_t full = s.size() * 2;
        size_t cap = d.value_sz > 0 ? static_cast<size_t>(d.value_sz) : 0;
        bool nul = d.dty == SQLT_STR;
        size_t room = nul ? (cap >= 2 ? cap - 2 : 0) : cap;
        room &= ~static_cast<size_t>(1);
        size_t n = std::min(full, room);
        if (d.valuep) {
            std::memcpy(d.valuep, s.data(), n);
            if (nul && cap >= 2) std::memset(static_cast<char*>(d.valuep) + n, 0, 2);
        }
        if (d.rlenp) *d.rlenp = static_cast<ub2>(n);
        if (n < full) {
            if (ind) *ind = static_cast<sb2>(full > 32767 ? -2 : full);
            if (d.rcodep) *d.rcodep = 1406;
            return true;
        }
        return false;
    }
    case SQLT_INT: {
        double x = number_of(v);
        int64_t i = static_cast<int64_t>(std::llround(x));
        if (d.value_sz == 8)
            std::memcpy(d.valuep, &i, 8);
        else if (d.value_sz == 2) {
            int16_t y = static_cast<int16_t>(i);
            std::memcpy(d.valuep, &y, 2);
        } else {
            int32_t y = static_cast<int32_t>(i);
            std::memcpy(d.valuep, &y, 4);
        }
        if (d.rlenp) *d.rlenp = static_cast<ub2>(d.value_sz);
        return false;
    }
    case SQLT_FLT:
    case SQLT_BDOUBLE:
    case SQLT_BFLOAT:
    case SQLT_IBDOUBLE:
    case SQLT_IBFLOAT: {
        double x = number_of(v);
        if (d.value_sz == 4) {
            float f = static_cast<float>(x);
            std::memcpy(d.valuep, &f, 4);
        } else
            std::memcpy(d.valuep, &x, 8);
        if (d.rlenp) *d.rlenp = static_cast<ub2>(d.value_sz);
        return false;
    }
    case SQLT_BIN:
    case SQLT_LBI: {
        const std::string& b = v.s;
        size_t cap = d.value_sz > 0 ? static_cast<size_t>(d.value_sz) : 0;
        size_t n = std::min(b.size(), cap);
        if (d.valuep) std::memcpy(d.valuep, b.data(), n);
        if (d.rlenp) *d.rlenp = static_cast<ub2>(n);
        if (n < b.size()) {
            if (ind) *ind = static_cast<sb2>(b.size() > 32767 ? -2 : b.size());
            if (d.rcodep) *d.rcodep = 1406;
            return true;
        }
        return false;
    }
    case SQLT_CLOB:
    case SQLT_BLOB: {
        OCILobLocator* loc =
            d.valuep ? as<OCILobLocator>(*static_cast<OCILobLocator**>(d.valuep), OCI_DTYPE_LOB) : nullptr;
        if (!loc) eora::raise(22275);
        bool col_text = col.type.is_text();
        if ((d.dty == SQLT_CLOB) != col_text || !col.type.is_lob())
            eora::raise(932, d.dty == SQLT_CLOB ? "CLOB" : "BLOB", col.type.dict_name());
        loc->init = true;
        loc->is_text = col_text;
        loc->national = col.type.k == eora::kind::nclob;
        loc->content = v.s;
        loc->stored = false;
        loc->writer.reset();
        loc->read_left = 0;
        loc->target = v.lob;
        loc->ses = ses;
        return false;
    }
    case SQLT_TIMESTAMP:
    case SQLT_TIMESTAMP_TZ:
    case SQLT_TIMESTAMP_LTZ:
    case SQLT_DATE: {
        OCIDateTime* dt =
            d.valuep ? as<OCIDateTime>(*static_cast<OCIDateTime**>(d.valuep), OCI_DTYPE_TIMESTAMP) : nullptr;
        if (!dt) eora::raise(22275);
        dt->dt = date_of(v);
        return false;
    }
    case SQLT_ODT: {
        eora::datetime t = date_of(v);
        OCIDate o{};
        o.OCIDateYYYY = static_cast<sb2>(t.year);
        o.OCIDateMM = static_cast<ub1>(t.month);
        o.OCIDateDD = static_cast<ub1>(t.day);
        o.OCIDateTime.OCITimeHH = static_cast<ub1>(t.hour);
        o.OCIDateTime.OCITimeMI = static_cast<ub1>(t.minute);
        o.OCIDateTime.OCITimeSS = static_cast<ub1>(t.second);
        std::memcpy(d.valuep, &o, sizeof o);
        return false;
    }
    case SQLT_DAT: {
        eora::datetime t = date_of(v);
        unsigned char b[7] = {static_cast<unsigned char>(t.year / 100 + 100),
                              static_cast<unsigned char>(t.year % 100 + 100),
                              static_cast<unsigned char>(t.month),
                              static_cast<unsigned char>(t.day),
                              static_cast<unsigned char>(t.hour + 1),
                              static_cast<unsigned char>(t.minute + 1),
                              static_cast<unsigned char>(t.second + 1)};
        std::memcpy(d.valuep, b, 7);
        if (d.rlenp) *d.rlenp = 7;
        return false;
    }
    default:
        eora::raise(932, "CHAR", "NUMBER");
    }
}

sword fetch_row(OCIStmt& st, OCIError* err)
{
    if (!st.cur || st.fetched_end) {
        if (!st.executed) return fail(err, 24338);
        return OCI_NO_DATA;
    }
    if (!st.cur->next()) {
        st.fetched_end = true;
        return OCI_NO_DATA;
    }
    ++st.row_count;
    const auto& row = st.cur->row();
    bool cut = false;
    for (auto& d : st.defines) {
        if (!d || d->position == 0) continue;
        if (d->position > row.size()) return fail(err, 1007);
        cut |= fill_define(*d, row[d->position - 1], st.cur->columns()[d->position - 1], st.ses);
    }
    if (cut) {
        if (err) err->set(1406, "ORA-01406: fetched column value was truncated");
        return OCI_SUCCESS_WITH_INFO;
    }
    return OCI_SUCCESS;
}

OCIBind* bind_for(OCIStmt& st, size_t index, const std::string& name)
{
    for (auto& b : st.binds) {
        if (!b) continue;
        if (b->position == index + 1 && b->name.empty()) return b.get();
        if (!b->name.empty() && b->name == name) return b.get();
    }
    return nullptr;
}

void deliver_rowid(OCIBind& b, ub4 iter, const std::string& rowid)
{
    std::u16string r = eora::to_utf16(rowid);
    if (b.ocb) {
        void* buf = nullptr;
        ub4* alen = nullptr;
        ub1 piece = OCI_ONE_PIECE;
        void* ind = nullptr;
        ub2* rcode = nullptr;
        b.ocb(b.octx, reinterpret_cast<::OCIBind*>(&b), iter, 0, &buf, &alen, &piece, &ind, &rcode);
        if (buf && alen) {
            ub4 cap = *alen;
            ub4 n = static_cast<ub4>(std::min<size_t>(r.size() * 2, cap));
            std::memcpy(buf, r.data(), n);
            *alen = n;
        }
        if (ind) *static_cast<sb2*>(ind) = 0;
        if (rcode) *rcode = 0;
        return;
    }
    if (!b.valuep || b.value_sz <= 0) return;
    auto* base = static_cast<unsigned char*>(b.valuep) + static_cast<size_t>(iter) * static_cast<size_t>(b.value_sz);
    size_t cap = static_cast<size_t>(b.value_sz);
    size_t n = std::min(r.size() * 2, cap >= 2 ? cap - 2 : 0);
    std::memcpy(base, r.data(), n);
    if (cap >= 2) std::memset(base + n, 0, 2);
    if (b.alenp) b.alenp[iter] = static_cast<ub2>(n);
    if (b.indp) static_cast<sb2*>(b.indp)[iter] = 0;
}

} // namespace

sword OCIEnvNlsCreate(OCIEnv** envhpp, ub4, void*, void* (*)(void*, size_t), void* (*)(void*, void*, size_t),
                      void (*)(void*, void*), size_t xtramem_sz, void** usrmempp, ub2, ub2)
{
    if (!envhpp) return OCI_INVALID_HANDLE;
    auto* e = new OCIEnv;
    if (xtramem_sz && usrmempp) {
        e->usermem.assign(xtramem_sz, 0);
        *usrmempp = e->usermem.data();
    }
    *envhpp = e;
    return OCI_SUCCESS;
}

sword OCIHandleAlloc(const void* parenth, void** hndlpp, ub4 type, size_t xtramem_sz, void** usrmempp)
{
    if (!as<OCIEnv>(parenth, OCI_HTYPE_ENV) || !hndlpp) return OCI_INVALID_HANDLE;
    handle_base* h = nullptr;
    switch (type) {
    case OCI_HTYPE_ERROR:
        h = new OCIError;
        break;
    case OCI_HTYPE_SVCCTX:
        h = new OCISvcCtx;
        break;
    case OCI_HTYPE_STMT:
        h = new OCIStmt;
        break;
    case OCI_HTYPE_SERVER:
        h = new OCIServer;
        break;
    case OCI_HTYPE_SESSION:
        h = new OCISession;
        break;
    default:
        return OCI_INVALID_HANDLE;
    }
    if (xtramem_sz && usrmempp) {
        h->usermem.assign(xtramem_sz, 0);
        *usrmempp = h->usermem.data();
    }
    *hndlpp = h;
    return OCI_SUCCESS;
}

namespace {

// Frees `h` when it is a live handle of type T; OCI_INVALID_HANDLE otherwise.
template <class T>
sword free_as(void* h, ub4 type)
{
    std::unique_ptr<T> owned(as<T>(h, type));
    return owned ? OCI_SUCCESS : OCI_INVALID_HANDLE;
}

// Frees a bind or define before its statement does: it leaves the statement.
template <class T>
sword free_owned(void* h, ub4 type)
{
    T* handle = as<T>(h, type);
    if (!handle) return OCI_INVALID_HANDLE;
    auto& owned = [&]() -> auto&
    {
        if constexpr (std::is_same_v<T, OCIBind>)
            return handle->stmt->binds;
        else
            return handle->stmt->defines;
    }
    ();
    for (auto& p : owned)
        if (p.get() == handle) p.reset();
    return OCI_SUCCESS;
}

} // namespace

sword OCIHandleFree(void* hndlp, ub4 type)
{
    switch (type) {
    case OCI_HTYPE_ENV:
        return free_as<OCIEnv>(hndlp, type);
    case OCI_HTYPE_ERROR:
        return free_as<OCIError>(hndlp, type);
    case OCI_HTYPE_SVCCTX:
        return free_as<OCISvcCtx>(hndlp, type);
    case OCI_HTYPE_STMT:
        return free_as<OCIStmt>(hndlp, type);
    case OCI_HTYPE_SERVER:
        return free_as<OCIServer>(hndlp, type);
    case OCI_HTYPE_SESSION:
        return free_as<OCISession>(hndlp, type);
    case OCI_HTYPE_BIND:
        return free_owned<OCIBind>(hndlp, type);
    case OCI_HTYPE_DEFINE:
        return free_owned<OCIDefine>(hndlp, type);
    default:
        return OCI_INVALID_HANDLE;
    }
}

sword OCIDescriptorAlloc(const void* parenth, void** descpp, ub4 type, size_t xtramem_sz, void** usrmempp)
{
    if (!as<OCIEnv>(parenth, OCI_HTYPE_ENV) || !descpp) return OCI_INVALID_HANDLE;
    handle_base* h = nullptr;
    switch (type) {
    case OCI_DTYPE_LOB:
        h = new OCILobLocator;
        break;
    case OCI_DTYPE_TIMESTAMP:
        h = new OCIDateTime;
        break;
    default:
        return OCI_INVALID_HANDLE;
    }
    if (xtramem_sz && usrmempp) {
        h->usermem.assign(xtramem_sz, 0);
        *usrmempp = h->usermem.data();
    }
    *descpp = h;
    return OCI_SUCCESS;
}

sword OCIDescriptorFree(void* descp, ub4 type)
{
    switch (type) {
    case OCI_DTYPE_LOB:
        return free_as<OCILobLocator>(descp, type);
    case OCI_DTYPE_TIMESTAMP:
        return free_as<OCIDateTime>(descp, type);
    case OCI_DTYPE_PARAM:
        // A parameter belongs to its statement, which frees it.
        return is_live(descp, type) ? OCI_SUCCESS : OCI_INVALID_HANDLE;
    default:
        return OCI_INVALID_HANDLE;
    }
}

sword OCIAttrSet(void* h, ub4 htype, void* attributep, ub4 size, ub4 attr, OCIError* err)
{
    if (htype == OCI_HTYPE_SVCCTX) {
        auto* svc = as<OCISvcCtx>(h, htype);
        if (!svc) return OCI_INVALID_HANDLE;
        if (attr == OCI_ATTR_SERVER) {
            auto* srv = as<OCIServer>(attributep, OCI_HTYPE_SERVER);
            if (!srv) return OCI_INVALID_HANDLE;
            svc->srv = srv;
            return OCI_SUCCESS;
        }
        if (attr == OCI_ATTR_SESSION) {
            auto* ses = as<OCISession>(attributep, OCI_HTYPE_SESSION);
            if (!ses) return OCI_INVALID_HANDLE;
            svc->ses = ses;
            return OCI_SUCCESS;
        }
    } else if (htype == OCI_HTYPE_SESSION) {
        auto* ses = as<OCISession>(h, htype);
        if (!ses) return OCI_INVALID_HANDLE;
        if (attr == OCI_ATTR_USERNAME) {
            ses->user = text8(static_cast<const OraText*>(attributep), size);
            return OCI_SUCCESS;
        }
        if (attr == OCI_ATTR_PASSWORD) {
            ses->password = text8(static_cast<const OraText*>(attributep), size);
            return OCI_SUCCESS;
        }
    } else if (htype == OCI_HTYPE_DEFINE) {
        auto* d = as<OCIDefine>(h, htype);
        if (!d) return OCI_INVALID_HANDLE;
        if (attr == OCI_ATTR_CHARSET_ID) {
            if (attributep) std::memcpy(&d->charset, attributep, sizeof(ub2));
            return OCI_SUCCESS;
        }
        if (attr == OCI_ATTR_CHARSET_FORM) return OCI_SUCCESS;
    } else if (htype == OCI_HTYPE_BIND) {
        auto* b = as<OCIBind>(h, htype);
        if (!b) return OCI_INVALID_HANDLE;
        if (attr == OCI_ATTR_CHARSET_FORM) {
            if (attributep) std::memcpy(&b->csform, attributep, sizeof(ub1));
            return OCI_SUCCESS;
        }
        if (attr == OCI_ATTR_CHARSET_ID) return OCI_SUCCESS;
    } else if (!h) {
        return OCI_INVALID_HANDLE;
    }
    return fail(err, 24315, "");
}

sword OCIAttrGet(const void* h, ub4 htype, void* attributep, ub4* sizep, ub4 attr, OCIError* err)
{
    if (!attributep) return OCI_INVALID_HANDLE;
    if (htype == OCI_HTYPE_STMT) {
        auto* st = as<OCIStmt>(h, htype);
        if (!st) return OCI_INVALID_HANDLE;
        if (attr == OCI_ATTR_PARAM_COUNT) {
            ub4 n = static_cast<ub4>(st->params.size());
            std::memcpy(attributep, &n, sizeof n);
            return OCI_SUCCESS;
        }
        if (attr == OCI_ATTR_ROW_COUNT) {
            std::memcpy(attributep, &st->row_count, sizeof(ub4));
            return OCI_SUCCESS;
        }
        if (attr == OCI_ATTR_STMT_TYPE) {
            ub2 t = 0;
            if (st->st) {
                const std::string& v = st->st->verb;
                t = st->st->query                    ? OCI_STMT_SELECT
                    : v == "UPDATE"                  ? OCI_STMT_UPDATE
                    : v == "DELETE"                  ? OCI_STMT_DELETE
                    : v == "INSERT"                  ? OCI_STMT_INSERT
                    : v == "CREATE"                  ? OCI_STMT_CREATE
                    : v == "DROP"                    ? OCI_STMT_DROP
                    : v == "ALTER"                   ? OCI_STMT_ALTER
                    : v == "BEGIN" || v == "DECLARE" ? OCI_STMT_BEGIN
                                                     : 0;
            }
            std::memcpy(attributep, &t, sizeof t);
            return OCI_SUCCESS;
        }
    } else if (htype == OCI_DTYPE_PARAM) {
        auto* p = as<OCIParam>(h, htype);
        if (!p) return OCI_INVALID_HANDLE;
        const auto& c = p->col;
        switch (attr) {
        case OCI_ATTR_DATA_TYPE: {
            ub2 v = c.type.oci_type();
            std::memcpy(attributep, &v, 2);
            if (sizep) *sizep = 2;
            return OCI_SUCCESS;
        }
        case OCI_ATTR_DATA_SIZE: {
            ub2 v = c.type.oci_size();
            std::memcpy(attributep, &v, 2);
            if (sizep) *sizep = 2;
            return OCI_SUCCESS;
        }
        case OCI_ATTR_PRECISION: {
            sb2 v = c.type.oci_precision();
            std::memcpy(attributep, &v, 2);
            if (sizep) *sizep = 2;
            return OCI_SUCCESS;
        }
        case OCI_ATTR_SCALE: {
            sb1 v = c.type.oci_scale();
            std::memcpy(attributep, &v, 1);
            if (sizep) *sizep = 1;
            return OCI_SUCCESS;
        }
        case OCI_ATTR_IS_NULL: {
            ub1 v = c.nullable ? 1 : 0;
            std::memcpy(attributep, &v, 1);
            if (sizep) *sizep = 1;
            return OCI_SUCCESS;
        }
        case OCI_ATTR_CHARSET_FORM: {
            auto k = c.type.k;
            ub1 v = (k == eora::kind::nvarchar2 || k == eora::kind::nchar || k == eora::kind::nclob) ? SQLCS_NCHAR
                                                                                                     : SQLCS_IMPLICIT;
            std::memcpy(attributep, &v, 1);
            if (sizep) *sizep = 1;
            return OCI_SUCCESS;
        }
        case OCI_ATTR_NAME: {
            const OraText* ptr = reinterpret_cast<const OraText*>(p->name16.c_str());
            std::memcpy(attributep, &ptr, sizeof ptr);
            if (sizep) *sizep = static_cast<ub4>(p->name16.size() * 2);
            return OCI_SUCCESS;
        }
        default:
            break;
        }
    } else if (!h) {
        return OCI_INVALID_HANDLE;
    }
    return fail(err, 24315, "");
}

sword OCIParamGet(const void* hndlp, ub4 htype, OCIError* err, void** parmdpp, ub4 pos)
{
    auto* st = htype == OCI_HTYPE_STMT ? as<OCIStmt>(hndlp, htype) : nullptr;
    if (!st || !parmdpp) return OCI_INVALID_HANDLE;
    if (pos < 1 || pos > st->params.size()) return fail(err, 24334, std::to_string(pos));
    *parmdpp = st->params[pos - 1].get();
    return OCI_SUCCESS;
}

sword OCIErrorGet(void* hndlp, ub4 recordno, OraText*, sb4* errcodep, OraText* bufp, ub4 bufsiz, ub4 type)
{
    if (type != OCI_HTYPE_ERROR) return OCI_INVALID_HANDLE;
    auto* e = as<OCIError>(hndlp, type);
    if (!e) return OCI_INVALID_HANDLE;
    if (recordno != 1 || !e->has) return OCI_NO_DATA;
    if (errcodep) *errcodep = e->code;
    if (bufp && bufsiz >= 2) {
        std::u16string t = eora::to_utf16(e->text);
        size_t n = std::min<size_t>(t.size(), bufsiz / 2 - 1);
        std::memcpy(bufp, t.data(), n * 2);
        std::memset(bufp + n * 2, 0, 2);
    }
    return OCI_SUCCESS;
}

sword OCIServerAttach(OCIServer* srvhp, OCIError* err, const OraText* dblink, sb4 dblink_len, ub4)
{
    auto* srv = as<OCIServer>(srvhp, OCI_HTYPE_SERVER);
    if (!srv || !as<OCIError>(err, OCI_HTYPE_ERROR)) return OCI_INVALID_HANDLE;
    err->clear();
    std::string ds = text8(dblink, dblink_len > 0 ? static_cast<size_t>(dblink_len) : 0);
    try {
        if (auto n = eora::take_injection(ds)) eora::raise(*n);
        srv->file = resolve_data_source(ds);
        srv->attached = true;
        return OCI_SUCCESS;
    } catch (const eora::eora_error& e) {
        return fail(err, e);
    }
}

sword OCIServerDetach(OCIServer* srvhp, OCIError* err, ub4)
{
    auto* srv = as<OCIServer>(srvhp, OCI_HTYPE_SERVER);
    if (!srv) return OCI_INVALID_HANDLE;
    if (!srv->attached) return fail(err, 24324);
    auto copy = srv->sessions;
    for (OCISession* s : copy) s->end();
    srv->attached = false;
    return OCI_SUCCESS;
}

sword OCISessionBegin(OCISvcCtx* svchp, OCIError* err, OCISession* usrhp, ub4 credt, ub4)
{
    auto* svc = as<OCISvcCtx>(svchp, OCI_HTYPE_SVCCTX);
    auto* ses = as<OCISession>(usrhp, OCI_HTYPE_SESSION);
    if (!svc || !ses || !as<OCIError>(err, OCI_HTYPE_ERROR)) return OCI_INVALID_HANDLE;
    err->clear();
    if (!svc->srv || !svc->srv->attached) return fail(err, 3114);
    if (credt != OCI_CRED_RDBMS) return fail(err, 1017);
    try {
        ses->end();
        ses->s = std::make_unique<eora::session>(svc->srv->file, ses->user, ses->password);
        ses->srv = svc->srv;
        svc->srv->sessions.insert(ses);
        return OCI_SUCCESS;
    } catch (const eora::eora_error& e) {
        return fail(err, e);
    }
}

sword OCISessionEnd(OCISvcCtx* svchp, OCIError* err, OCISession* usrhp, ub4)
{
    auto* svc = as<OCISvcCtx>(svchp, OCI_HTYPE_SVCCTX);
    if (!svc) return OCI_INVALID_HANDLE;
    OCISession* ses = usrhp ? as<OCISession>(usrhp, OCI_HTYPE_SESSION) : svc->ses;
    if (!ses) return OCI_INVALID_HANDLE;
    if (!ses->s) return fail(err, 3114);
    ses->end();
    return OCI_SUCCESS;
}

namespace {

eora::session* session_of(OCISvcCtx* svchp)
{
    auto* svc = as<OCISvcCtx>(svchp, OCI_HTYPE_SVCCTX);
    if (!svc || !is_live(svc->ses, OCI_HTYPE_SESSION)) return nullptr;
    return svc->ses->s.get();
}

} // namespace

sword OCITransCommit(OCISvcCtx* svchp, OCIError* err, ub4)
{
    if (!as<OCISvcCtx>(svchp, OCI_HTYPE_SVCCTX)) return OCI_INVALID_HANDLE;
    eora::session* s = session_of(svchp);
    if (!s) return fail(err, 3114);
    try {
        s->commit_work();
        return OCI_SUCCESS;
    } catch (const eora::eora_error& e) {
        return fail(err, e);
    }
}

sword OCITransRollback(OCISvcCtx* svchp, OCIError* err, ub4)
{
    if (!as<OCISvcCtx>(svchp, OCI_HTYPE_SVCCTX)) return OCI_INVALID_HANDLE;
    eora::session* s = session_of(svchp);
    if (!s) return fail(err, 3114);
    try {
        s->rollback();
        return OCI_SUCCESS;
    } catch (const eora::eora_error& e) {
        return fail(err, e);
    }
}

sword OCIStmtPrepare(OCIStmt* stmtp, OCIError* err, const OraText* stmt, ub4 stmt_len, ub4, ub4)
{
    auto* st = as<OCIStmt>(stmtp, OCI_HTYPE_STMT);
    if (!st || !as<OCIError>(err, OCI_HTYPE_ERROR)) return OCI_INVALID_HANDLE;
    err->clear();
    st->st.reset();
    st->cur.reset();
    st->params.clear();
    st->binds.clear();
    st->defines.clear();
    st->executed = false;
    st->fetched_end = false;
    st->row_count = 0;
    // The text is tokenized here; the identifier limit of the service is
    // applied again when it runs.
    try {
        auto s = std::make_unique<eora::statement>();
        s->sql = text8(stmt, stmt_len);
        st->st = std::move(s);
        return OCI_SUCCESS;
    } catch (const eora::eora_error& e) {
        return fail(err, e);
    }
}

sword OCIDefineByPos(OCIStmt* stmtp, OCIDefine** defnpp, OCIError* err, ub4 position, void* valuep, sb4 value_sz,
                     ub2 dty, void* indp, ub2* rlenp, ub2* rcodep, ub4)
{
    auto* st = as<OCIStmt>(stmtp, OCI_HTYPE_STMT);
    if (!st || !as<OCIError>(err, OCI_HTYPE_ERROR)) return OCI_INVALID_HANDLE;
    if (position == 0) return fail(err, 1007);
    // A handle passed in is one to redefine: it must be a define of this
    // statement, for the same position; a null one is made here.
    OCIDefine* d = nullptr;
    if (defnpp && *defnpp) {
        d = as<OCIDefine>(*defnpp, OCI_HTYPE_DEFINE);
        if (!d || d->stmt != st) return OCI_INVALID_HANDLE;
        if (d->position != position) return fail(err, 24317);
    } else {
        auto fresh = std::make_unique<OCIDefine>();
        fresh->stmt = st;
        fresh->position = position;
        // A second define of the same position replaces the first.
        for (auto& old : st->defines) {
            if (old && old->position == position) old.reset();
        }
        d = fresh.get();
        st->defines.push_back(std::move(fresh));
    }
    d->valuep = valuep;
    d->value_sz = value_sz;
    d->dty = dty;
    d->indp = indp;
    d->rlenp = rlenp;
    d->rcodep = rcodep;
    if (defnpp) *defnpp = d;
    return OCI_SUCCESS;
}

namespace {

sword bind_common(OCIStmt* st, OCIBind** bindpp, ub4 position, std::string name, void* valuep, sb4 value_sz, ub2 dty,
                  void* indp, ub2* alenp, ub2* rcodep, ub4 maxarr_len, ub4 mode)
{
    // A handle passed in must be a live bind; the statement's bind of the
    // same placeholder is bound again in place, keeping its handle.
    OCIBind* b = nullptr;
    if (bindpp && *bindpp) {
        OCIBind* given = as<OCIBind>(*bindpp, OCI_HTYPE_BIND);
        if (!given) return OCI_INVALID_HANDLE;
        if (given->stmt == st && given->position == position && given->name == name) b = given;
    }
    if (!b) {
        auto fresh = std::make_unique<OCIBind>();
        fresh->stmt = st;
        fresh->position = position;
        fresh->name = std::move(name);
        for (auto& old : st->binds) {
            if (old && ((position && old->position == position) || (!position && old->name == fresh->name)))
                old.reset();
        }
        b = fresh.get();
        st->binds.push_back(std::move(fresh));
    }
    b->valuep = valuep;
    b->value_sz = value_sz;
    b->dty = dty;
    b->indp = indp;
    b->alenp = alenp;
    b->rcodep = rcodep;
    b->maxarr = maxarr_len;
    b->mode = mode;
    if (bindpp) *bindpp = b;
    return OCI_SUCCESS;
}

} // namespace

sword OCIBindByPos(OCIStmt* stmtp, OCIBind** bindpp, OCIError* err, ub4 position, void* valuep, sb4 value_sz, ub2 dty,
                   void* indp, ub2* alenp, ub2* rcodep, ub4 maxarr_len, ub4*, ub4 mode)
{
    auto* st = as<OCIStmt>(stmtp, OCI_HTYPE_STMT);
    if (!st || !as<OCIError>(err, OCI_HTYPE_ERROR)) return OCI_INVALID_HANDLE;
    if (position == 0) return fail(err, 1036);
    return bind_common(st, bindpp, position, {}, valuep, value_sz, dty, indp, alenp, rcodep, maxarr_len, mode);
}

sword OCIBindByName(OCIStmt* stmtp, OCIBind** bindpp, OCIError* err, const OraText* placeholder, sb4 placeh_len,
                    void* valuep, sb4 value_sz, ub2 dty, void* indp, ub2* alenp, ub2* rcodep, ub4 maxarr_len, ub4*,
                    ub4 mode)
{
    auto* st = as<OCIStmt>(stmtp, OCI_HTYPE_STMT);
    if (!st || !as<OCIError>(err, OCI_HTYPE_ERROR)) return OCI_INVALID_HANDLE;
    std::string name = text8(placeholder, placeh_len > 0 ? static_cast<size_t>(placeh_len) : 0);
    if (!name.empty() && name[0] == ':') name.erase(0, 1);
    if (name.empty()) return fail(err, 1036);
    if (name.front() == '"' && name.size() > 1 && name.back() == '"')
        name = name.substr(1, name.size() - 2);
    else
        name = eora::upper(name);
    return bind_common(st, bindpp, 0, name, valuep, value_sz, dty, indp, alenp, rcodep, maxarr_len, mode);
}

sword OCIBindDynamic(OCIBind* bindp, OCIError*, void* ictxp, OCICallbackInBind icbfp, void* octxp,
                     OCICallbackOutBind ocbfp)
{
    auto* b = as<OCIBind>(bindp, OCI_HTYPE_BIND);
    if (!b) return OCI_INVALID_HANDLE;
    b->ictx = ictxp;
    b->icb = icbfp;
    b->octx = octxp;
    b->ocb = ocbfp;
    return OCI_SUCCESS;
}

sword OCIStmtExecute(OCISvcCtx* svchp, OCIStmt* stmtp, OCIError* err, ub4 iters, ub4 rowoff, const OCISnapshot*,
                     OCISnapshot*, ub4 mode)
{
    auto* st = as<OCIStmt>(stmtp, OCI_HTYPE_STMT);
    if (!as<OCISvcCtx>(svchp, OCI_HTYPE_SVCCTX) || !st || !as<OCIError>(err, OCI_HTYPE_ERROR))
        return OCI_INVALID_HANDLE;
    err->clear();
    eora::session* s = session_of(svchp);
    if (!s) return fail(err, 3114);
    if (!st->st) return fail(err, 24337);
    st->cur.reset();
    if (st->ses && st->ses != svchp->ses) st->ses->stmts.erase(st);
    st->ses = svchp->ses;
    st->ses->stmts.insert(st);
    st->params.clear();
    st->executed = false;
    st->fetched_end = false;
    st->row_count = 0;
    try {
        if (st->st->toks.empty()) {
            auto fresh = s->prepare(st->st->sql);
            st->st = std::move(fresh);
        }
        const eora::statement& stmt = *st->st;
        bool parse_only = (mode & (OCI_PARSE_ONLY | OCI_DESCRIBE_ONLY)) != 0;
        auto gather = [&](ub4 iter, size_t* returning_index) {
            std::vector<eora::value> vals(stmt.binds.size());
            for (size_t i = 0; i < stmt.binds.size(); ++i) {
                OCIBind* b = bind_for(*st, i, stmt.binds[i]);
                if (!b) {
                    if (returning_index && *returning_index == i) continue;
                    if (!parse_only) eora::raise(1008);
                    continue;
                }
                vals[i] = bind_value(*b, iter);
                // The client converts an implicit-form text to the database character set.
                if (b->csform != SQLCS_NCHAR && vals[i].kind == eora::value::vk::text)
                    vals[i].s = eora::to_charset(vals[i].s, s->settings().charset);
                vals[i].long_bind = sent_as_long(*b, vals[i], s->settings().charset);
            }
            return vals;
        };
        if (stmt.query) {
            auto vals = gather(rowoff, nullptr);
            eora::exec_result r = s->execute(stmt, vals, parse_only && (mode & OCI_DESCRIBE_ONLY) == 0);
            st->cur = std::move(r.cur);
            if (st->cur) {
                for (const auto& c : st->cur->columns()) {
                    auto p = std::make_unique<OCIParam>();
                    p->col = c;
                    p->name16 = eora::to_utf16(c.name);
                    st->params.push_back(std::move(p));
                }
            }
            // Only described (or parsed): nothing to fetch until it is executed.
            st->executed = !parse_only;
            if (parse_only) st->cur.reset();
            if (iters >= 1 && !parse_only) {
                sword rc = fetch_row(*st, err);
                if (rc != OCI_SUCCESS) return rc;
            }
            if (mode & OCI_COMMIT_ON_SUCCESS) s->commit();
            return OCI_SUCCESS;
        }
        if (iters == 0 && !parse_only) return fail(err, 24333);
        sword status = OCI_SUCCESS;
        size_t returning = static_cast<size_t>(-1);
        {
            // The placeholder after RETURNING ... INTO receives the ROWID.
            for (size_t i = 0; i + 1 < stmt.toks.size(); ++i) {
                if (stmt.toks[i].is_kw("RETURNING")) {
                    for (size_t j = i; j < stmt.toks.size(); ++j) {
                        if (stmt.toks[j].kind == eora::tok::bind) {
                            const std::string& name = stmt.toks[j].text;
                            for (size_t k = 0; k < stmt.binds.size(); ++k)
                                if (stmt.binds[k] == name) returning = k;
                            break;
                        }
                    }
                    break;
                }
            }
        }
        ub4 n = parse_only ? 1 : iters;
        for (ub4 it = 0; it < n; ++it) {
            auto vals = gather(rowoff + it, &returning);
            eora::exec_result r = s->execute(stmt, vals, parse_only, n == 1 && (mode & OCI_COMMIT_ON_SUCCESS));
            st->row_count += static_cast<ub4>(r.rows);
            if (r.info) {
                err->set(r.info, r.info_text);
                status = OCI_SUCCESS_WITH_INFO;
            }
            if (returning < stmt.binds.size()) {
                OCIBind* b = bind_for(*st, returning, stmt.binds[returning]);
                if (b) {
                    for (const auto& rid : r.rowids) deliver_rowid(*b, rowoff + it, rid);
                }
            }
        }
        st->executed = true;
        if (!parse_only && (mode & OCI_COMMIT_ON_SUCCESS)) s->commit();
        return status;
    } catch (const eora::eora_error& e) {
        return fail(err, e);
    }
}

sword OCIStmtFetch(OCIStmt* stmtp, OCIError* err, ub4 nrows, ub2, ub4)
{
    auto* st = as<OCIStmt>(stmtp, OCI_HTYPE_STMT);
    if (!st || !as<OCIError>(err, OCI_HTYPE_ERROR)) return OCI_INVALID_HANDLE;
    err->clear();
    if (nrows == 0) return OCI_SUCCESS;
    try {
        return fetch_row(*st, err);
    } catch (const eora::eora_error& e) {
        return fail(err, e);
    }
}

namespace {

// A character LOB is read and written in its column's form: SQLCS_NCHAR for
// NCLOB, SQLCS_IMPLICIT for CLOB. OCI ignores the form for a BLOB.
bool form_matches(const OCILobLocator& loc, ub1 csfrm)
{
    if (!loc.is_text) return true;
    return csfrm == (loc.national ? SQLCS_NCHAR : SQLCS_IMPLICIT);
}

// The value a locator shows: what it was selected with or, once written
// through it, what its row holds now (read then, and kept for later reads).
const std::string& current_value(OCILobLocator& loc, OCISvcCtx* svchp)
{
    if (loc.stored) {
        eora::session* s = session_of(svchp);
        if (!s && is_live(loc.ses, OCI_HTYPE_SESSION)) s = loc.ses->s.get();
        if (!s) eora::raise(3114);
        loc.content = s->read_lob(*loc.target);
        loc.stored = false;
    }
    return loc.content;
}

} // namespace

sword OCILobCharSetForm(OCIEnv*, OCIError*, const OCILobLocator* locp, ub1* csfrm)
{
    auto* loc = as<OCILobLocator>(locp, OCI_DTYPE_LOB);
    if (!loc || !csfrm) return OCI_INVALID_HANDLE;
    *csfrm = !loc->is_text ? 0 : loc->national ? SQLCS_NCHAR : SQLCS_IMPLICIT;
    return OCI_SUCCESS;
}

sword OCILobGetLength(OCISvcCtx* svchp, OCIError* err, OCILobLocator* locp, ub4* lenp)
{
    auto* loc = as<OCILobLocator>(locp, OCI_DTYPE_LOB);
    if (!loc || !lenp) return OCI_INVALID_HANDLE;
    if (!loc->init) return fail(err, 22275);
    try {
        const std::string& v = current_value(*loc, svchp);
        *lenp = static_cast<ub4>(loc->is_text ? eora::utf16_length(v) : v.size());
    } catch (const eora::eora_error& e) {
        return fail(err, e);
    }
    return OCI_SUCCESS;
}

sword OCILobRead(OCISvcCtx* svchp, OCIError* err, OCILobLocator* locp, ub4* amtp, ub4 offset, void* bufp, ub4 bufl,
                 void*, OCICallbackLobRead, ub2 csid, ub1 csfrm)
{
    auto* loc = as<OCILobLocator>(locp, OCI_DTYPE_LOB);
    if (!loc || !amtp || !as<OCIError>(err, OCI_HTYPE_ERROR)) return OCI_INVALID_HANDLE;
    err->clear();
    if (!loc->init) return fail(err, 22275);
    if (!form_matches(*loc, csfrm)) return fail(err, 24806);
    if (offset == 0) offset = 1;
    const std::string* content = nullptr;
    try {
        content = &current_value(*loc, svchp);
    } catch (const eora::eora_error& e) {
        return fail(err, e);
    }
    // Character LOBs are read in UTF-16 code units (the amount counts them),
    // a BLOB or raw UTF-8 in bytes; the buffer length is in bytes.
    const bool units16 = loc->is_text && csid != utf8_csid;
    std::u16string text16;
    if (units16) text16 = eora::to_utf16(*content);
    const size_t unit = units16 ? sizeof(char16_t) : 1;
    const size_t total = units16 ? text16.size() : content->size();
    const unsigned char* data = units16 ? reinterpret_cast<const unsigned char*>(text16.data())
                                        : reinterpret_cast<const unsigned char*>(content->data());
    // An amount of 0, or more than the buffer holds, is read piece by piece:
    // each call gives a buffer full and OCI_NEED_DATA until the last piece.
    // While such a read goes on, the offset passed in is not looked at.
    size_t from = 0, left = 0;
    if (loc->read_left) {
        from = loc->read_next;
        left = loc->read_left;
    } else {
        from = offset - 1;
        left = from >= total ? 0 : *amtp ? std::min<size_t>(*amtp, total - from) : total - from;
    }
    const size_t n = std::min(left, static_cast<size_t>(bufl) / unit);
    if (bufp && n) std::memcpy(bufp, data + from * unit, n * unit);
    *amtp = static_cast<ub4>(n);
    if (n < left && n > 0) {
        loc->read_next = from + n;
        loc->read_left = left - n;
        return OCI_NEED_DATA;
    }
    loc->read_next = 0;
    loc->read_left = 0;
    return OCI_SUCCESS;
}

sword OCILobWrite(OCISvcCtx* svchp, OCIError* err, OCILobLocator* locp, ub4* amtp, ub4 offset, void* bufp, ub4 buflen,
                  ub1 piece, void*, OCICallbackLobWrite, ub2 csid, ub1 csfrm)
{
    auto* loc = as<OCILobLocator>(locp, OCI_DTYPE_LOB);
    if (!loc || !amtp || !as<OCIError>(err, OCI_HTYPE_ERROR) || !as<OCISvcCtx>(svchp, OCI_HTYPE_SVCCTX))
        return OCI_INVALID_HANDLE;
    err->clear();
    if (!loc->init) return fail(err, 22275);
    if (!loc->target || !loc->target->writable) return fail(err, 22920);
    eora::session* s = session_of(svchp);
    if (!s) return fail(err, 3114);
    if (piece > OCI_LAST_PIECE) return fail(err, 24801);
    const bool continues = piece == OCI_NEXT_PIECE || piece == OCI_LAST_PIECE;
    if (continues != static_cast<bool>(loc->writer)) {
        // A piece out of order ends the write: nothing of it is stored.
        loc->writer.reset();
        return fail(err, 24801);
    }
    if (!form_matches(*loc, csfrm)) {
        loc->writer.reset();
        return fail(err, 24806);
    }
    if (offset == 0) offset = 1;
    const bool text = loc->is_text && csid != utf8_csid;
    try {
        if (auto n = eora::take_injection("OCILobWrite " + loc->target->table + "." + loc->target->column +
                                          (continues ? " next piece" : "")))
            eora::raise(*n);
        // The amount counts characters of a character LOB (UTF-16 code units
        // here), bytes of a BLOB; the buffer length is in bytes.
        const size_t in_buffer = text ? buflen / 2 : buflen;
        size_t n = in_buffer;
        if (piece == OCI_ONE_PIECE && *amtp) {
            // More than the buffer holds cannot be sent.
            if (*amtp > in_buffer) eora::raise(22993);
            n = *amtp;
        }
        std::string data;
        if (text) {
            std::u16string units(n, u'\0');
            if (bufp) std::memcpy(units.data(), bufp, n * 2);
            if (continues && loc->high_surrogate) units.insert(units.begin(), loc->high_surrogate);
            loc->high_surrogate = 0;
            if ((piece == OCI_FIRST_PIECE || piece == OCI_NEXT_PIECE) && !units.empty() && units.back() >= 0xD800 &&
                units.back() < 0xDC00) {
                loc->high_surrogate = units.back();
                units.pop_back();
            }
            data = eora::to_utf8(units);
            // Text outside the database character set is stored as that set stores it.
            if (!loc->national) data = eora::to_charset(data, s->settings().charset);
        } else {
            data.assign(static_cast<const char*>(bufp ? bufp : ""), bufp ? n : 0);
        }
        if (piece == OCI_FIRST_PIECE || piece == OCI_ONE_PIECE) {
            // The value before the offset stays; what the write covers is replaced.
            std::string head;
            if (offset > 1) {
                const std::string& cur = current_value(*loc, svchp);
                if (text) {
                    std::u16string units = eora::to_utf16(cur);
                    if (units.size() < offset - 1) units.resize(offset - 1, u' ');
                    head = eora::to_utf8(units.substr(0, offset - 1));
                } else {
                    head = cur.substr(0, std::min<size_t>(cur.size(), offset - 1));
                    if (head.size() < offset - 1) head.resize(offset - 1, loc->is_text ? ' ' : '\0');
                }
            }
            loc->writer = std::make_unique<eora::lob_writer>(*s, *loc->target, loc->is_text);
            loc->writer->append(head);
            // In pieces the first amount is the whole value's (0: not known).
            loc->declared_amount = piece == OCI_FIRST_PIECE ? *amtp : 0;
            loc->written_amount = 0;
        }
        loc->writer->append(data);
        loc->written_amount += n;
        if (piece == OCI_LAST_PIECE && loc->declared_amount && loc->declared_amount != loc->written_amount)
            eora::raise(22993);
        *amtp = static_cast<ub4>(n);
        if (piece == OCI_FIRST_PIECE || piece == OCI_NEXT_PIECE) return OCI_NEED_DATA;
        if (piece == OCI_ONE_PIECE) {
            // What lies beyond the written range keeps its value.
            const std::string& cur = current_value(*loc, svchp);
            if (text) {
                std::u16string units = eora::to_utf16(cur);
                const size_t end = offset - 1 + n;
                if (units.size() > end) loc->writer->append(eora::to_utf8(units.substr(end)));
            } else if (cur.size() > offset - 1 + n) {
                loc->writer->append(std::string_view(cur).substr(offset - 1 + n));
            }
        }
        std::unique_ptr<eora::lob_writer> writer = std::move(loc->writer);
        writer->finish();
        // The locator keeps no copy of what it wrote: a read asks the row.
        loc->content.clear();
        loc->content.shrink_to_fit();
        loc->stored = true;
        return OCI_SUCCESS;
    } catch (const eora::eora_error& e) {
        loc->writer.reset();
        return fail(err, e);
    }
}

sword OCIDateTimeGetDate(void*, OCIError*, const OCIDateTime* datetime, sb2* yr, ub1* mnth, ub1* dy)
{
    auto* d = as<OCIDateTime>(datetime, OCI_DTYPE_TIMESTAMP);
    if (!d) return OCI_INVALID_HANDLE;
    if (yr) *yr = static_cast<sb2>(d->dt.year);
    if (mnth) *mnth = static_cast<ub1>(d->dt.month);
    if (dy) *dy = static_cast<ub1>(d->dt.day);
    return OCI_SUCCESS;
}

sword OCIDateTimeGetTime(void*, OCIError*, OCIDateTime* datetime, ub1* hr, ub1* mm, ub1* ss, ub4* fsec)
{
    auto* d = as<OCIDateTime>(datetime, OCI_DTYPE_TIMESTAMP);
    if (!d) return OCI_INVALID_HANDLE;
    if (hr) *hr = static_cast<ub1>(d->dt.hour);
    if (mm) *mm = static_cast<ub1>(d->dt.minute);
    if (ss) *ss = static_cast<ub1>(d->dt.second);
    if (fsec) *fsec = static_cast<ub4>(d->dt.nanos);
    return OCI_SUCCESS;
}

} // namespace eoci
