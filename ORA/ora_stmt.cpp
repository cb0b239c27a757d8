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

sword ora_stmt::run(const std::wstring& sql, const std::vector<ora_text_bind>& binds, ub4 mode)
{
    ora_engine& eng = ora_eng();
    eng.check_err(prepare(sql));
    for (const ora_text_bind& b : binds) bind_text(b);
    sword st = OCIStmtExecute(eng.get_svc(), stmt, eng.get_err(), 1, 0, nullptr, nullptr, mode);
    eng.check_err(st);
    return st;
}

void ora_stmt::bind_text(const ora_text_bind& b)
{
    ora_engine& eng = ora_eng();
    OCIBind* bind = nullptr;
    const size_t bytes = b.text.size() * sizeof(char16_t);
    eng.check_err(OCIBindByName(stmt, &bind, eng.get_err(), ora_oci_text(b.placeholder),
                                static_cast<sb4>(b.placeholder.size() * sizeof(char16_t)),
                                const_cast<char16_t*>(b.text.data()), static_cast<sb4>(bytes),
                                b.long_column ? SQLT_LNG : SQLT_CHR, nullptr, nullptr, nullptr, 0, nullptr,
                                OCI_DEFAULT));
    if (b.national) {
        ub1 form = SQLCS_NCHAR;
        eng.check_err(OCIAttrSet(bind, OCI_HTYPE_BIND, &form, 0, OCI_ATTR_CHARSET_FORM, eng.get_err()));
    }
}
