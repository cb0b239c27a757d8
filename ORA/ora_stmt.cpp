#include "ORA/ora_stmt.h"
#include "ORA/ora_engine.h"
#include "ORA/ora_text.h"

ora_stmt::ora_stmt()
{
    ora_engine& eng = ora_eng();
    void* h = nullptr;
    eng.check_err(OCIHandleAlloc(eng.get_env(), &h, OCI_HTYPE_STMT, 0, nullptr));
    stmt = static_cast<OCIStmt*>(h);
}

ora_stmt::~ora_stmt()
{
    if (stmt) OCIHandleFree(stmt, OCI_HTYPE_STMT);
}

sword ora_stmt::prepare(const std::wstring& sql)
{
    ora_to_u16(sql, text);
    return OCIStmtPrepare(stmt, ora_eng().get_err(), ora_oci_text(text),
                          static_cast<ub4>(text.size() * sizeof(char16_t)), OCI_NTV_SYNTAX, OCI_DEFAULT);
}

sword ora_stmt::run(const std::wstring& sql, ub4 iters, ub4 mode)
{
    ora_engine& eng = ora_eng();
    eng.check_err(prepare(sql));
    sword st = OCIStmtExecute(eng.get_svc(), stmt, eng.get_err(), iters, 0, nullptr, nullptr, mode);
    eng.check_err(st);
    return st;
}
