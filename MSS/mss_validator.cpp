#include "MSS/mss_validator.h"

#include <unicode/uchar.h>

#include "TK/tk_exception.h"
#include "TK/tk_logger.h"

mss_validator::mss_validator() : udb_validator(0) {}

bool mss_validator::is_acceptable(const std::wstring& name) const
{
    tk_logger::log(1, L"mss_validator::is_acceptable(%s)", name.c_str());
    if (!udb_validator::is_acceptable(name)) return false;
    tk_logger::log(1, "udb_validator::is_acceptable has been passed");
    if (name.empty()) throw tk_mail_assertion("mss_vali", 115);
    if (name.size() >= 2 && name.front() == L'[' && name.back() == L']') {
        tk_logger::log(1, "Names enclosed in [...] are always acceptable");
        return true;
    }
    // A Unicode letter test: the C library's depends on the process locale.
    return name[0] == L'_' || u_isalpha(static_cast<UChar32>(name[0]));
}

std::wstring mss_validator::get_safe_name(const std::wstring& name) const
{
    tk_logger::log(1, L"mss_validator::get_safe_name(%s)", name.c_str());
    static const wchar_t* const prefixes[] = {L"_", L"1", L"_", L"2", L"_", L"3"};
    std::wstring candidate = name;
    size_t i = 0;
    while (is_duplicated(candidate)) {
        tk_logger::log(2, "Duplicate table name was found");
        candidate = prefixes[i % 6] + candidate;
        ++i;
    }
    return candidate;
}

mss_tn_validator::mss_tn_validator(const std::vector<std::wstring>& names1, const std::vector<std::wstring>& names2)
{
    tk_logger::log(1, "mss_tn_validator::ctor");
    for (const std::wstring& n : names1) add_existing_name(n);
    for (const std::wstring& n : names2) add_existing_name(n);
}

mss_fn_validator::mss_fn_validator(const std::vector<std::shared_ptr<t_ftd>>& columns)
{
    tk_logger::log(1, "mss_fn_validator::ctor1");
    for (const auto& c : columns)
        if (c && is_acceptable(c->name)) add_existing_name(c->name);
}
