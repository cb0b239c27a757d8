// The OCI C interface over the embedded Oracle, for tests of the product's
// route to a client library. An easy-connect data source //HOST:PORT/SERVICE
// reaches the service SERVICE in the folder TVX_OCI_TEST_DIR, whatever host
// and port it names.
#include <cstdlib>
#include <cstring>
#include <string>

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

} // namespace

extern "C" {

sword OCIEnvNlsCreate(OCIEnv** envhpp, ub4 mode, void* ctxp, void* (*malocfp)(void*, size_t),
                      void* (*ralocfp)(void*, void*, size_t), void (*mfreefp)(void*, void*), size_t xtramem_sz,
                      void** usrmempp, ub2 charset, ub2 ncharset)
{
    return eoci::call(&eoci::OCIEnvNlsCreate, envhpp, mode, ctxp, malocfp, ralocfp, mfreefp, xtramem_sz, usrmempp,
                      charset, ncharset);
}

sword OCIHandleAlloc(const void* parenth, void** hndlpp, ub4 type, size_t xtramem_sz, void** usrmempp)
{
    return eoci::OCIHandleAlloc(parenth, hndlpp, type, xtramem_sz, usrmempp);
}

sword OCIHandleFree(void* hndlp, ub4 type) { return eoci::OCIHandleFree(hndlp, type); }

sword OCIDescriptorAlloc(const void* parenth, void** descpp, ub4 type, size_t xtramem_sz, void** usrmempp)
{
    return eoci::OCIDescriptorAlloc(parenth, descpp, type, xtramem_sz, usrmempp);
}

sword OCIDescriptorFree(void* descp, ub4 type) { return eoci::OCIDescriptorFree(descp, type); }

sword OCIAttrSet(void* h, ub4 htype, void* attributep, ub4 size, ub4 attr, OCIError* err)
{
    return eoci::call(&eoci::OCIAttrSet, h, htype, attributep, size, attr, err);
}

sword OCIAttrGet(const void* h, ub4 htype, void* attributep, ub4* sizep, ub4 attr, OCIError* err)
{
    return eoci::call(&eoci::OCIAttrGet, h, htype, attributep, sizep, attr, err);
}

sword OCIParamGet(const void* hndlp, ub4 htype, OCIError* err, void** parmdpp, ub4 pos)
{
    return eoci::call(&eoci::OCIParamGet, hndlp, htype, err, parmdpp, pos);
}

sword OCIErrorGet(void* hndlp, ub4 recordno, OraText* sqlstate, sb4* errcodep, OraText* bufp, ub4 bufsiz, ub4 type)
{
    return eoci::OCIErrorGet(hndlp, recordno, sqlstate, errcodep, bufp, bufsiz, type);
}

sword OCIServerAttach(OCIServer* srvhp, OCIError* err, const OraText* dblink, sb4 dblink_len, ub4 mode)
{
    const std::u16string ds = mapped_data_source(dblink, dblink_len);
    return eoci::call(&eoci::OCIServerAttach, srvhp, err, reinterpret_cast<const OraText*>(ds.data()),
                      static_cast<sb4>(ds.size() * 2), mode);
}

sword OCIServerDetach(OCIServer* srvhp, OCIError* err, ub4 mode)
{
    return eoci::call(&eoci::OCIServerDetach, srvhp, err, mode);
}

sword OCISessionBegin(OCISvcCtx* svchp, OCIError* err, OCISession* usrhp, ub4 credt, ub4 mode)
{
    return eoci::call(&eoci::OCISessionBegin, svchp, err, usrhp, credt, mode);
}

sword OCISessionEnd(OCISvcCtx* svchp, OCIError* err, OCISession* usrhp, ub4 mode)
{
    return eoci::call(&eoci::OCISessionEnd, svchp, err, usrhp, mode);
}

sword OCITransCommit(OCISvcCtx* svchp, OCIError* err, ub4 flags)
{
    return eoci::call(&eoci::OCITransCommit, svchp, err, flags);
}

sword OCITransRollback(OCISvcCtx* svchp, OCIError* err, ub4 flags)
{
    return eoci::call(&eoci::OCITransRollback, svchp, err, flags);
}

sword OCIStmtPrepare(OCIStmt* stmtp, OCIError* err, const OraText* stmt, ub4 stmt_len, ub4 language, ub4 mode)
{
    return eoci::call(&eoci::OCIStmtPrepare, stmtp, err, stmt, stmt_len, language, mode);
}

sword OCIDefineByPos(OCIStmt* stmtp, OCIDefine** defnpp, OCIError* err, ub4 position, void* valuep, sb4 value_sz,
                     ub2 dty, void* indp, ub2* rlenp, ub2* rcodep, ub4 mode)
{
    return eoci::call(&eoci::OCIDefineByPos, stmtp, defnpp, err, position, valuep, value_sz, dty, indp, rlenp, rcodep,
                      mode);
}

sword OCIBindByPos(OCIStmt* stmtp, OCIBind** bindpp, OCIError* err, ub4 position, void* valuep, sb4 value_sz, ub2 dty,
                   void* indp, ub2* alenp, ub2* rcodep, ub4 maxarr_len, ub4* curelep, ub4 mode)
{
    return eoci::call(&eoci::OCIBindByPos, stmtp, bindpp, err, position, valuep, value_sz, dty, indp, alenp, rcodep,
                      maxarr_len, curelep, mode);
}

sword OCIBindByName(OCIStmt* stmtp, OCIBind** bindpp, OCIError* err, const OraText* placeholder, sb4 placeh_len,
                    void* valuep, sb4 value_sz, ub2 dty, void* indp, ub2* alenp, ub2* rcodep, ub4 maxarr_len,
                    ub4* curelep, ub4 mode)
{
    return eoci::call(&eoci::OCIBindByName, stmtp, bindpp, err, placeholder, placeh_len, valuep, value_sz, dty, indp,
                      alenp, rcodep, maxarr_len, curelep, mode);
}

sword OCIBindDynamic(OCIBind* bindp, OCIError* err, void* ictxp, OCICallbackInBind icbfp, void* octxp,
                     OCICallbackOutBind ocbfp)
{
    return eoci::call(&eoci::OCIBindDynamic, bindp, err, ictxp, icbfp, octxp, ocbfp);
}

sword OCIStmtExecute(OCISvcCtx* svchp, OCIStmt* stmtp, OCIError* err, ub4 iters, ub4 rowoff, const OCISnapshot* snap_in,
                     OCISnapshot* snap_out, ub4 mode)
{
    return eoci::call(&eoci::OCIStmtExecute, svchp, stmtp, err, iters, rowoff, snap_in, snap_out, mode);
}

sword OCIStmtFetch(OCIStmt* stmtp, OCIError* err, ub4 nrows, ub2 orientation, ub4 mode)
{
    return eoci::call(&eoci::OCIStmtFetch, stmtp, err, nrows, orientation, mode);
}

sword OCILobCharSetForm(OCIEnv* envhp, OCIError* err, const OCILobLocator* locp, ub1* csfrm)
{
    return eoci::call(&eoci::OCILobCharSetForm, envhp, err, locp, csfrm);
}

sword OCILobGetLength(OCISvcCtx* svchp, OCIError* err, OCILobLocator* locp, ub4* lenp)
{
    return eoci::call(&eoci::OCILobGetLength, svchp, err, locp, lenp);
}

sword OCILobRead(OCISvcCtx* svchp, OCIError* err, OCILobLocator* locp, ub4* amtp, ub4 offset, void* bufp, ub4 bufl,
                 void* ctxp, OCICallbackLobRead cbfp, ub2 csid, ub1 csfrm)
{
    return eoci::call(&eoci::OCILobRead, svchp, err, locp, amtp, offset, bufp, bufl, ctxp, cbfp, csid, csfrm);
}

#ifndef TVX_OCI_STANDIN_WITHOUT_LOB_WRITE
sword OCILobWrite(OCISvcCtx* svchp, OCIError* err, OCILobLocator* locp, ub4* amtp, ub4 offset, void* bufp, ub4 buflen,
                  ub1 piece, void* ctxp, OCICallbackLobWrite cbfp, ub2 csid, ub1 csfrm)
{
    return eoci::call(&eoci::OCILobWrite, svchp, err, locp, amtp, offset, bufp, buflen, piece, ctxp, cbfp, csid, csfrm);
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
