#include "UDB/udb_indexes.h"

#include <algorithm>

#include "TK/tk_exception.h"
#include "TK/tk_logger.h"
#include "UDB/udb_name_compare.h"

udb_index& udb_indexes::get_index(const std::wstring& name)
{
    return const_cast<udb_index&>(static_cast<const udb_indexes&>(*this).get_index(name));
}

const udb_index& udb_indexes::get_index(const std::wstring& name) const
{
    tk_logger::log(1, L"udb_indexes::get_index(%s)", name.c_str());
    for (const auto& idx : *this)
        if (udb_same_name(idx.name, name)) return idx;
    throw tk_mail_assertion("..\\UDB/udb_idx", 187);
}

bool udb_indexes::find2(const std::wstring& name) const
{
    tk_logger::log(1, "udb_indexes::find2");
    return std::any_of(begin(), end(), [&](const udb_index& idx) { return udb_same_name(idx.name, name); });
}

bool udb_indexes::is_acceptable_name(const std::wstring& name) const
{
    tk_logger::log(1, L"udb_indexes::is_acceptable_name(%s)", name.c_str());
    return std::none_of(begin(), end(), [&](const udb_index& idx) { return udb_same_name(idx.name, name); });
}

bool udb_indexes::is_idx_field(const std::wstring& field, bool primary_only) const
{
    tk_logger::log(1, L"udb_indexes::is_idx_field(%s)", field.c_str());
    for (const auto& idx : *this) {
        if (primary_only && !idx.b_primary) continue;
        if (std::find(idx.fields.begin(), idx.fields.end(), field) != idx.fields.end()) {
            tk_logger::log(1, "index field");
            return true;
        }
    }
    tk_logger::log(1, "non-index field");
    return false;
}

void udb_indexes::push_back(const udb_index& index)
{
    tk_logger::log(1, L"udb_indexes::push_back(%s)", index.name.c_str());
    if (!find2(index.name)) {
        tk_logger::log(2, "Index does not exist, add it");
        std::vector<udb_index>::push_back(index);
        return;
    }
    udb_index& existing = get_index(index.name);
    if (existing.b_primary) {
        tk_logger::log(2, "Primary key with the same name exists, skip it.");
    } else if (index.b_primary) {
        tk_logger::log(2, "Upgrade existing index to primary key.");
        existing = index;
    } else if (existing.b_unique) {
        tk_logger::log(2, "Unique index with the same name exists, skip it.");
    } else if (index.b_unique) {
        tk_logger::log(2, "Set unique attribute for existing index.");
        existing = index;
    }
}
