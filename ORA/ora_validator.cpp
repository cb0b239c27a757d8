#include "ORA/ora_validator.h"

#include <algorithm>

#include "ORA/ora_name_bytes.h"
#include "ORA/ora_query_results.h"
#include "ORA/ora_util.h"
#include "TK/tk_logger.h"
#include "UDB/udb_schema.h"
#include "platform/win32/win_compare.h"

namespace {

bool allowed_char(wchar_t c) { return IsCharAlphaNumericW(c) || c == L'_' || c == L' ' || c == L'.' || c == L'#'; }

bool is_quoted(const std::wstring& name) { return name.size() >= 2 && name.front() == L'"' && name.back() == L'"'; }

// Names Oracle refuses even between double quotes: the row address pseudo-column, spelt as Oracle keeps it.
const wchar_t* const k_refused_names[] = {L"ROWID"};

bool refused_by_oracle(const std::wstring& name)
{
    for (const wchar_t* n : k_refused_names)
        if (name == n) return true;
    return false;
}

} // namespace

ora_validator::ora_validator() : udb_validator(max_name) { tk_logger::log(1, "ora_validator::ctor"); }

bool ora_validator::is_acceptable(const std::wstring& name) const
{
    tk_logger::log(1, L"ora_validator::is_acceptable(%s)", name.c_str());
    if (length_of(name) > max_name) {
        tk_logger::log(3, L"Name '%s' is too long", name.c_str());
        return false;
    }
    if (is_quoted(name)) {
        // Oracle allows neither a double quote nor NUL inside a quoted identifier.
        const std::wstring inner = name.substr(1, name.size() - 2);
        if (inner.empty() || inner.find(L'"') != std::wstring::npos || inner.find(L'\0') != std::wstring::npos ||
            refused_by_oracle(inner))
            return false;
        tk_logger::log(1, "Names enclosed in \"...\" are always acceptable");
        return true;
    }
    if (name.empty() || !IsCharAlphaW(name[0])) return false;
    for (wchar_t c : name) {
        if (!allowed_char(c)) {
            tk_logger::log(3, L"Name contains invalid symbol: '%c'", c);
            return false;
        }
    }
    if (refused_by_oracle(name)) {
        tk_logger::log(3, L"Name '%s' is refused by Oracle", name.c_str());
        return false;
    }
    // Compared as C strings, each up to its first NUL.
    return !restricted_names.contains_up_to_nul(name);
}

std::wstring ora_validator::get_safe_name(const std::wstring& name) const
{
    tk_logger::log(1, L"ora_validator::get_safe_name(%s)", name.c_str());
    std::wstring work = name;
    if (work.empty() || !IsCharAlphaW(work[0])) work.insert(0, L"A");
    for (auto& c : work)
        if (!allowed_char(c)) c = L'_';
    if (length_of(work) > max_name) work = cut_to(work, max_name - 1);
    return udb_validator::get_safe_name(work);
}

size_t ora_validator::length_of(const std::wstring& name) const { return ora_name_bytes(name); }

std::wstring ora_validator::cut_to(const std::wstring& name, size_t length) const
{
    return ora_fit_bytes(name, length);
}

ora_fn_validator::ora_fn_validator(const udb_schema& fields)
{
    tk_logger::log(1, "ora_fn_validator::ctor1");
    for (size_t i = 0; i < fields.size(); ++i) add_existing_name(fields.at(i).name);
}

ora_fn_validator::ora_fn_validator(const std::vector<std::wstring>& field_names)
{
    tk_logger::log(1, "ora_fn_validator::ctor2");
    for (const auto& n : field_names) add_existing_name(n);
}

ora_tn_validator::ora_tn_validator(const std::vector<std::wstring>& first, const std::vector<std::wstring>& second)
{
    tk_logger::log(1, "ora_tn_validator::ctor");
    for (const auto& n : first) add_existing_name(n);
    for (const auto& n : second) add_existing_name(n);
}

bool ora_tn_validator::is_acceptable(const std::wstring& name) const
{
    tk_logger::log(1, L"ora_tn_validator::is_acceptable(%s)", name.c_str());
    const auto tname = ora_split_name(name);
    tk_logger::log(1, L"tname.first=%s, tname.second=%s", tname.first.c_str(), tname.second.c_str());
    if (!tname.first.empty())
        return ora_validator::is_acceptable(tname.first) && ora_validator::is_acceptable(tname.second);
    return ora_validator::is_acceptable(name);
}

std::wstring ora_tn_validator::get_safe_name(const std::wstring& name) const
{
    tk_logger::log(1, L"ora_tn_validator::get_safe_name(%s)", name.c_str());
    const auto tname = ora_split_name(name);
    // A dot left in a part would split it again when the candidate is tested.
    auto part = [this](std::wstring text) {
        std::replace(text.begin(), text.end(), L'.', L'_');
        return ora_validator::get_safe_name(text);
    };
    if (!tname.first.empty()) return L"\"" + part(tname.first) + L"\".\"" + part(tname.second) + L"\"";
    return part(tname.second);
}

ora_in_validator::ora_in_validator()
{
    tk_logger::log(1, "ora_in_validator::ctor");
    restricted_names.push_back(L"PRIMARY");
    const wchar_t* const queries[] = {
        L"SELECT a.constraint_name FROM user_cons_columns a, user_constraints b WHERE "
        L"a.constraint_name=b.constraint_name AND b.constraint_type='P'",
        L"select index_name FROM user_indexes",
    };
    for (const wchar_t* sql : queries) {
        ora_query_results rs(1, sql);
        while (!rs.is_eof()) {
            udb_record* rec = rs.get_item();
            if (rec && !rec->empty()) restricted_names.push_back(rec->at(0).to_wstring());
        }
    }
}

ora_in_validator::~ora_in_validator() = default;

void ora_in_validator::load(const udb_indexes& indexes)
{
    tk_logger::log(1, "ora_in_validator::load");
    for (const auto& idx : indexes) add_existing_name(idx.name);
}

void ora_in_validator::release(const std::vector<std::wstring>& names)
{
    tk_logger::log(1, "ora_in_validator::release");
    for (const auto& name : names) restricted_names.erase(name);
}
