// The OCI C interface over the embedded Oracle, for tests of the product's
// route to a client library. An easy-connect data source //HOST:PORT/SERVICE
// reaches the service SERVICE in the folder TVX_OCI_TEST_DIR, whatever host
// and port it names.
#include <cstdlib>
#include <cstring>
#include <string>

#include "oci_standin_monitor.h"
#include "platform/oci/oci_embedded.h"

namespace {

// The data source the embedded Oracle reads for `ds` (UTF-16, `bytes` long).
std::u16string mapped_data_source(const OraText* ds, sb4 bytes)
{
    std::u16string text(ds && bytes > 0 ? static_cast<size_t>(bytes) / 2 : 0, u'\0');
    if (!text.empty()) std::memcpy(text.data(), ds, text.size() * 2);
    const char* dir = std::getenv("TVX_OCI_TEST_DIR");
    if (!dir || !*dir || text.rfind(u"//", 0) != 0 || text.rfind(u"//file:", 0) == 0)
        return text; // answered as the embedded Oracle answers it
    size_t slash = text.rfind(u'/');
    std::u16string service = slash > 1 ? text.substr(slash + 1) : std::u16string();
    std::u16string out = u"//file:";
    for (const char* p = dir; *p; ++p) out += static_cast<char16_t>(static_cast<unsigned char>(*p));
    return out + u"/" + service;
}

// "name=value" pairs of a trace line.
template <class... T>
std::string fields(const T&... kv)
{
    std::string out;
    auto add = [&](const auto& pair) {
        if (!out.empty()) out += ' ';
        out += pair;
    };
    (add(kv), ...);
    return out;
}

std::string kv(const char* k, const void* p) { return std::string(k) + "=" + standin_ptr(p); }
std::string kv(const char* k, unsigned long long v) { return std::string(k) + "=" + std::to_string(v); }

// The character set form of the LOB a locator holds, as its column has it: 0 for a BLOB.
unsigned lob_form(const OCILobLocator* loc)
{
    ub1 form = 0;
    if (eoci::call(&eoci::OCILobCharSetForm, static_cast<OCIEnv*>(nullptr), static_cast<OCIError*>(nullptr), loc,
                   &form) != OCI_SUCCESS)
        return 0;
    return form;
}

} // namespace

extern "C" {

sword OCIEnvNlsCreate(OCIEnv** envhpp, ub4 mode, void* ctxp, void* (*malocfp)(void*, size_t),
                      void* (*ralocfp)(void*, void*, size_t), void (*mfreefp)(void*, void*), size_t xtramem_sz,
                      void** usrmempp, ub2 charset, ub2 ncharset)
{
    const sword rc = eoci::call(&eoci::OCIEnvNlsCreate, envhpp, mode, ctxp, malocfp, ralocfp, mfreefp, xtramem_sz,
                                usrmempp, charset, ncharset);
    standin_record("OCIEnvNlsCreate", standin_trip::none, rc,
                   standin_tracing() ? fields(kv("env", envhpp ? *envhpp : nullptr)) : std::string());
    return rc;
}

sword OCIHandleAlloc(const void* parenth, void** hndlpp, ub4 type, size_t xtramem_sz, void** usrmempp)
{
    const sword rc = eoci::OCIHandleAlloc(parenth, hndlpp, type, xtramem_sz, usrmempp);
    standin_record("OCIHandleAlloc", standin_trip::none, rc,
                   standin_tracing() ? fields(kv("type", type), kv("out", hndlpp ? *hndlpp : nullptr)) : std::string());
    return rc;
}

sword OCIHandleFree(void* hndlp, ub4 type)
{
    const sword rc = eoci::OCIHandleFree(hndlp, type);
    standin_record("OCIHandleFree", standin_trip::none, rc,
                   standin_tracing() ? fields(kv("h", hndlp), kv("type", type)) : std::string());
    return rc;
}

sword OCIDescriptorAlloc(const void* parenth, void** descpp, ub4 type, size_t xtramem_sz, void** usrmempp)
{
    const sword rc = eoci::OCIDescriptorAlloc(parenth, descpp, type, xtramem_sz, usrmempp);
    standin_record("OCIDescriptorAlloc", standin_trip::none, rc,
                   standin_tracing() ? fields(kv("type", type), kv("out", descpp ? *descpp : nullptr)) : std::string());
    return rc;
}

sword OCIDescriptorFree(void* descp, ub4 type)
{
    const sword rc = eoci::OCIDescriptorFree(descp, type);
    standin_record("OCIDescriptorFree", standin_trip::none, rc,
                   standin_tracing() ? fields(kv("d", descp), kv("type", type)) : std::string());
    return rc;
}

sword OCIAttrSet(void* h, ub4 htype, void* attributep, ub4 size, ub4 attr, OCIError* err)
{
    const sword rc = eoci::call(&eoci::OCIAttrSet, h, htype, attributep, size, attr, err);
    standin_record("OCIAttrSet", standin_trip::none, rc,
                   standin_tracing() ? fields(kv("h", h), kv("htype", htype), kv("attr", attr)) : std::string());
    return rc;
}

sword OCIAttrGet(const void* h, ub4 htype, void* attributep, ub4* sizep, ub4 attr, OCIError* err)
{
    const sword rc = eoci::call(&eoci::OCIAttrGet, h, htype, attributep, sizep, attr, err);
    standin_record("OCIAttrGet", standin_trip::none, rc,
                   standin_tracing() ? fields(kv("h", h), kv("htype", htype), kv("attr", attr)) : std::string());
    return rc;
}

sword OCIParamGet(const void* hndlp, ub4 htype, OCIError* err, void** parmdpp, ub4 pos)
{
    const sword rc = eoci::call(&eoci::OCIParamGet, hndlp, htype, err, parmdpp, pos);
    standin_record("OCIParamGet", standin_trip::none, rc,
                   standin_tracing() ? fields(kv("h", hndlp), kv("pos", pos)) : std::string());
    return rc;
}

sword OCIErrorGet(void* hndlp, ub4 recordno, OraText* sqlstate, sb4* errcodep, OraText* bufp, ub4 bufsiz, ub4 type)
{
    return eoci::OCIErrorGet(hndlp, recordno, sqlstate, errcodep, bufp, bufsiz, type);
}

sword OCIServerAttach(OCIServer* srvhp, OCIError* err, const OraText* dblink, sb4 dblink_len, ub4 mode)
{
    const std::u16string ds = mapped_data_source(dblink, dblink_len);
    const sword rc = eoci::call(&eoci::OCIServerAttach, srvhp, err, reinterpret_cast<const OraText*>(ds.data()),
                                static_cast<sb4>(ds.size() * 2), mode);
    standin_record("OCIServerAttach", standin_trip::session, rc, standin_tracing() ? std::string() : std::string());
    return rc;
}

sword OCIServerDetach(OCIServer* srvhp, OCIError* err, ub4 mode)
{
    const sword rc = eoci::call(&eoci::OCIServerDetach, srvhp, err, mode);
    standin_record("OCIServerDetach", standin_trip::session, rc, standin_tracing() ? std::string() : std::string());
    return rc;
}

sword OCISessionBegin(OCISvcCtx* svchp, OCIError* err, OCISession* usrhp, ub4 credt, ub4 mode)
{
    const sword rc = eoci::call(&eoci::OCISessionBegin, svchp, err, usrhp, credt, mode);
    standin_record("OCISessionBegin", standin_trip::session, rc, standin_tracing() ? std::string() : std::string());
    return rc;
}

sword OCISessionEnd(OCISvcCtx* svchp, OCIError* err, OCISession* usrhp, ub4 mode)
{
    const sword rc = eoci::call(&eoci::OCISessionEnd, svchp, err, usrhp, mode);
    standin_record("OCISessionEnd", standin_trip::session, rc, standin_tracing() ? std::string() : std::string());
    return rc;
}

sword OCITransCommit(OCISvcCtx* svchp, OCIError* err, ub4 flags)
{
    const sword rc = eoci::call(&eoci::OCITransCommit, svchp, err, flags);
    standin_record("OCITransCommit", standin_trip::commit, rc, standin_tracing() ? std::string() : std::string());
    return rc;
}

sword OCITransRollback(OCISvcCtx* svchp, OCIError* err, ub4 flags)
{
    const sword rc = eoci::call(&eoci::OCITransRollback, svchp, err, flags);
    standin_record("OCITransRollback", standin_trip::commit, rc, standin_tracing() ? std::string() : std::string());
    return rc;
}

sword OCIStmtPrepare(OCIStmt* stmtp, OCIError* err, const OraText* stmt, ub4 stmt_len, ub4 language, ub4 mode)
{
    const sword rc = eoci::call(&eoci::OCIStmtPrepare, stmtp, err, stmt, stmt_len, language, mode);
    if (standin_tracing()) {
        // The text after the fields, on one line.
        std::u16string text(stmt ? stmt_len / 2 : 0, u'\0');
        if (!text.empty()) std::memcpy(text.data(), stmt, text.size() * 2);
        std::string sql;
        for (char16_t ch : text) sql += ch == u'\n' || ch == u'\t' || ch == u'\r' ? ' ' : ch < 0x80 ? char(ch) : '?';
        standin_record("OCIStmtPrepare", standin_trip::none, rc, fields(kv("stmt", stmtp)) + "\t" + sql);
    }
    return rc;
}

sword OCIDefineByPos(OCIStmt* stmtp, OCIDefine** defnpp, OCIError* err, ub4 position, void* valuep, sb4 value_sz,
                     ub2 dty, void* indp, ub2* rlenp, ub2* rcodep, ub4 mode)
{
    const void* in = defnpp ? *defnpp : nullptr;
    const sword rc = eoci::call(&eoci::OCIDefineByPos, stmtp, defnpp, err, position, valuep, value_sz, dty, indp, rlenp,
                                rcodep, mode);
    if (standin_tracing())
        standin_record("OCIDefineByPos", standin_trip::none, rc,
                       fields(kv("stmt", stmtp), kv("in", in), kv("out", defnpp ? *defnpp : nullptr),
                              kv("pos", position), kv("dty", dty)));
    return rc;
}

sword OCIBindByPos(OCIStmt* stmtp, OCIBind** bindpp, OCIError* err, ub4 position, void* valuep, sb4 value_sz, ub2 dty,
                   void* indp, ub2* alenp, ub2* rcodep, ub4 maxarr_len, ub4* curelep, ub4 mode)
{
    const void* in = bindpp ? *bindpp : nullptr;
    const sword rc = eoci::call(&eoci::OCIBindByPos, stmtp, bindpp, err, position, valuep, value_sz, dty, indp, alenp,
                                rcodep, maxarr_len, curelep, mode);
    if (standin_tracing())
        standin_record(
            "OCIBindByPos", standin_trip::none, rc,
            fields(kv("stmt", stmtp), kv("in", in), kv("out", bindpp ? *bindpp : nullptr), kv("pos", position),
                   kv("dty", dty), kv("size", static_cast<unsigned long long>(value_sz))));
    return rc;
}

sword OCIBindByName(OCIStmt* stmtp, OCIBind** bindpp, OCIError* err, const OraText* placeholder, sb4 placeh_len,
                    void* valuep, sb4 value_sz, ub2 dty, void* indp, ub2* alenp, ub2* rcodep, ub4 maxarr_len,
                    ub4* curelep, ub4 mode)
{
    const void* in = bindpp ? *bindpp : nullptr;
    const sword rc = eoci::call(&eoci::OCIBindByName, stmtp, bindpp, err, placeholder, placeh_len, valuep, value_sz,
                                dty, indp, alenp, rcodep, maxarr_len, curelep, mode);
    if (standin_tracing())
        standin_record("OCIBindByName", standin_trip::none, rc,
                       fields(kv("stmt", stmtp), kv("in", in), kv("out", bindpp ? *bindpp : nullptr), kv("dty", dty),
                              kv("size", static_cast<unsigned long long>(value_sz))));
    return rc;
}

sword OCIBindDynamic(OCIBind* bindp, OCIError* err, void* ictxp, OCICallbackInBind icbfp, void* octxp,
                     OCICallbackOutBind ocbfp)
{
    const sword rc = eoci::call(&eoci::OCIBindDynamic, bindp, err, ictxp, icbfp, octxp, ocbfp);
    if (standin_tracing()) standin_record("OCIBindDynamic", standin_trip::none, rc, fields(kv("bind", bindp)));
    return rc;
}

sword OCIStmtExecute(OCISvcCtx* svchp, OCIStmt* stmtp, OCIError* err, ub4 iters, ub4 rowoff, const OCISnapshot* snap_in,
                     OCISnapshot* snap_out, ub4 mode)
{
    // One round trip: the parse, the binds, the execute, a commit asked for
    // with it, and a query's first rows all travel together.
    const sword rc = eoci::call(&eoci::OCIStmtExecute, svchp, stmtp, err, iters, rowoff, snap_in, snap_out, mode);
    standin_record("OCIStmtExecute", standin_trip::execute, rc,
                   standin_tracing() ? fields(kv("stmt", stmtp), kv("iters", iters), kv("mode", mode)) : std::string());
    return rc;
}

sword OCIStmtFetch(OCIStmt* stmtp, OCIError* err, ub4 nrows, ub2 orientation, ub4 mode)
{
    const sword rc = eoci::call(&eoci::OCIStmtFetch, stmtp, err, nrows, orientation, mode);
    standin_record("OCIStmtFetch", standin_trip::fetch, rc,
                   standin_tracing() ? fields(kv("stmt", stmtp), kv("nrows", nrows)) : std::string());
    return rc;
}

sword OCILobCharSetForm(OCIEnv* envhp, OCIError* err, const OCILobLocator* locp, ub1* csfrm)
{
    const sword rc = eoci::call(&eoci::OCILobCharSetForm, envhp, err, locp, csfrm);
    if (standin_tracing())
        standin_record("OCILobCharSetForm", standin_trip::none, rc,
                       fields(kv("loc", locp), kv("form", csfrm ? *csfrm : 0u)));
    return rc;
}

sword OCILobGetLength(OCISvcCtx* svchp, OCIError* err, OCILobLocator* locp, ub4* lenp)
{
    const sword rc = eoci::call(&eoci::OCILobGetLength, svchp, err, locp, lenp);
    standin_record("OCILobGetLength", standin_trip::lob, rc,
                   standin_tracing() ? fields(kv("loc", locp)) : std::string());
    return rc;
}

sword OCILobRead(OCISvcCtx* svchp, OCIError* err, OCILobLocator* locp, ub4* amtp, ub4 offset, void* bufp, ub4 bufl,
                 void* ctxp, OCICallbackLobRead cbfp, ub2 csid, ub1 csfrm)
{
    const ub4 asked = amtp ? *amtp : 0;
    const sword rc = eoci::call(&eoci::OCILobRead, svchp, err, locp, amtp, offset, bufp, bufl, ctxp, cbfp, csid, csfrm);
    standin_record("OCILobRead", standin_trip::lob, rc,
                   standin_tracing() ? fields(kv("loc", locp), kv("amt", asked), kv("offset", offset), kv("bufl", bufl),
                                              kv("csid", csid), kv("csfrm", csfrm), kv("lobform", lob_form(locp)))
                                     : std::string());
    return rc;
}

#ifndef TVX_OCI_STANDIN_WITHOUT_LOB_WRITE
sword OCILobWrite(OCISvcCtx* svchp, OCIError* err, OCILobLocator* locp, ub4* amtp, ub4 offset, void* bufp, ub4 buflen,
                  ub1 piece, void* ctxp, OCICallbackLobWrite cbfp, ub2 csid, ub1 csfrm)
{
    // Each piece is a round trip of its own.
    const ub4 asked = amtp ? *amtp : 0;
    const sword rc =
        eoci::call(&eoci::OCILobWrite, svchp, err, locp, amtp, offset, bufp, buflen, piece, ctxp, cbfp, csid, csfrm);
    standin_record("OCILobWrite", standin_trip::lob, rc,
                   standin_tracing() ? fields(kv("loc", locp), kv("piece", piece), kv("amt", asked),
                                              kv("offset", offset), kv("buflen", buflen), kv("csid", csid),
                                              kv("csfrm", csfrm), kv("lobform", lob_form(locp)))
                                     : std::string());
    return rc;
}
#endif

sword OCIDateTimeGetDate(void* hndl, OCIError* err, const OCIDateTime* datetime, sb2* yr, ub1* mnth, ub1* dy)
{
    return eoci::call(&eoci::OCIDateTimeGetDate, hndl, err, datetime, yr, mnth, dy);
}

sword OCIDateTimeGetTime(void* hndl, OCIError* err, OCIDateTime* datetime, ub1* hr, ub1* mm, ub1* ss, ub4* fsec)
{
    return eoci::call(&eoci::OCIDateTimeGetTime, hndl, err, datetime, hr, mm, ss, fsec);
}

} // extern "C"
