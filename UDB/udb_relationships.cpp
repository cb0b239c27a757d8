#include "UDB/udb_relationships.h"

#include <algorithm>

#include "TK/tk_exception.h"
#include "TK/tk_logger.h"
#include "UDB/udb_name_compare.h"

udb_relationship& udb_relationships::get_index(const std::wstring& name)
{
    tk_logger::log(1, L"udb_relationships::get_index(%s)", name.c_str());
    for (auto& rel : *this)
        if (udb_same_name(rel.name, name)) return rel;
    throw tk_mail_assertion("udb_rel", 129);
}

bool udb_relationships::is_acceptable_name(const std::wstring& name) const
{
    tk_logger::log(1, L"udb_relationships::is_acceptable_name(%s)", name.c_str());
    return std::none_of(begin(), end(), [&](const udb_relationship& rel) { return udb_same_name(rel.name, name); });
}
