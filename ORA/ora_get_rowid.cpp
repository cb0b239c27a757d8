#include "ORA/ora_get_rowid.h"

#include <algorithm>

#include "ORA/ora_engine.h"
#include "ORA/ora_text.h"
#include "TK/tk_exception.h"
#include "TK/tk_logger.h"

ora_get_rowid::ora_get_rowid() : buffer(buffer_bytes / sizeof(char16_t), u'\0') {}

ora_get_rowid::~ora_get_rowid() { tk_logger::log(1, "ora_get_rowid::dtor"); }

sb4 ora_get_rowid::cbf_no_data(void*, OCIBind*, ub4, ub4, void** bufpp, ub4* alenp, ub1* piecep, void** indpp)
{
    *bufpp = nullptr;
    *alenp = 0;
    *piecep = OCI_ONE_PIECE;
    if (indpp) *indpp = nullptr;
    return OCI_CONTINUE;
}

sb4 ora_get_rowid::cbf_get_data(void* ctx, OCIBind*, ub4 iter, ub4, void** bufpp, ub4** alenpp, ub1* piecep,
                                void** indpp, ub2** rcodepp)
{
    tk_logger::log(1, "ora_get_rowid::cbf_get_data (iter=%d)", static_cast<int>(iter));
    auto* self = static_cast<ora_get_rowid*>(ctx);
    *bufpp = self->buffer.data();
    *alenpp = &self->returned_length;
    *piecep = OCI_ONE_PIECE;
    if (indpp) *indpp = nullptr;
    if (rcodepp) *rcodepp = nullptr;
    return OCI_CONTINUE;
}

std::wstring ora_get_rowid::do_insert(const std::wstring& sql, const std::vector<ora_text_bind>& binds, bool commit)
{
    tk_logger::log(1, "ora_get_rowid::do_insert");
    tk_logger::log(2, L"Run SQL query: %s\n", sql.c_str());
    ora_engine& eng = ora_eng();
    eng.check_err(stmt.prepare(sql));

    // OCI takes the capacity from this field on every row: a length left from
    // the previous row would cut a longer ROWID.
    returned_length = buffer_bytes;
    std::fill(buffer.begin(), buffer.end(), u'\0');
    const std::u16string placeholder = u":1";
    bind = nullptr;
    eng.check_err(OCIBindByName(stmt.get(), &bind, eng.get_err(), ora_oci_text(placeholder),
                                static_cast<sb4>(placeholder.size() * sizeof(char16_t)), nullptr,
                                static_cast<sb4>(buffer_bytes), SQLT_STR, nullptr, nullptr, nullptr, 0, nullptr,
                                OCI_DATA_AT_EXEC));
    eng.check_err(
        OCIBindDynamic(bind, eng.get_err(), this, &ora_get_rowid::cbf_no_data, this, &ora_get_rowid::cbf_get_data));
    for (const ora_text_bind& b : binds) stmt.bind_text(b);
    eng.check_err(OCIStmtExecute(eng.get_svc(), stmt.get(), eng.get_err(), 1, 0, nullptr, nullptr,
                                 commit ? OCI_COMMIT_ON_SUCCESS : OCI_DEFAULT));

    if (returned_length >= buffer_bytes) throw tk_mail_assertion("ora_tab", 141);
    const size_t units = ora_u16_len(buffer.data(), returned_length / sizeof(char16_t));
    std::wstring rowid = ora_from_u16(buffer.data(), units);
    tk_logger::log(1, L"GOT ROWID(1): %s, len=%d", rowid.c_str(), static_cast<int>(returned_length));
    return rowid;
}
