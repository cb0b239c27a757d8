// ora_database: opening a table or a query as an ora_table.
#include "ORA/ora_database.h"
#include "ORA/ora_table.h"
#include "ORA/ora_util.h"
#include "TK/tk_exception.h"
#include "TK/tk_logger.h"

namespace {

// OWNER.TABLE without quotes, as the tables are listed; quoted where a dot inside the owner or the table
// would leave the catalog no way to tell "a.b"."c" from "a"."b.c".
std::wstring table_name_for_open(const std::wstring& name)
{
    const auto parts = ora_split_name(name);
    const bool dotted = parts.first.find(L'.') != std::wstring::npos || parts.second.find(L'.') != std::wstring::npos;
    if (!dotted) return ora_simplify_name(name);
    return parts.first.empty() ? L"\"" + parts.second + L"\"" : L"\"" + parts.first + L"\".\"" + parts.second + L"\"";
}

} // namespace

std::unique_ptr<udb_recordset> ora_database::get_table(const std::wstring& name, const std::wstring& query_text,
                                                       int /*mode*/)
{
    tk_logger::log(1, L"ora_database::get_table(%s)", name.c_str());
    return std::make_unique<ora_table>(this, name, query_text, &relationships);
}

std::unique_ptr<udb_recordset> ora_database::get_table1(const std::wstring& name, int mode)
{
    tk_logger::log(1, L"ora_database::get_table(%s)", name.c_str());
    if (!is_table_exist(name)) throw tk_mail_assertion("ora_db", 300);
    return std::make_unique<ora_table>(this, table_name_for_open(name), &relationships, mode);
}
