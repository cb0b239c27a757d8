#include "UDB/udb_validator.h"

#include <algorithm>

#include "TK/tk_exception.h"
#include "TK/tk_logger.h"
#include "UDB/udb_name_compare.h"

namespace {

constexpr std::size_t number_width = 5; // candidates end in 00000 .. 99999
constexpr int number_count = 100000;

std::wstring numbered(const std::wstring& base, int i)
{
    std::wstring digits = std::to_wstring(i);
    return base + std::wstring(number_width - digits.size(), L'0') + digits;
}

} // namespace

udb_validator::udb_validator(uint32_t max_length) : max_length(max_length) { tk_logger::log(2, "udb_validator::ctor"); }

bool udb_validator::is_acceptable(const std::wstring& name) const
{
    tk_logger::log(2, L"udb_validator::is_acceptable(%s)", name.c_str());
    if (max_length != 0 && length_of(name) > max_length) {
        tk_logger::log(1, "The name is too long");
        return false;
    }
    if (restricted_names.contains(name)) {
        tk_logger::log(2, "The name is restricted");
        return false;
    }
    for (wchar_t c : illegal_chars) {
        if (name.find(c) != std::wstring::npos) {
            tk_logger::log(2, L"The name contains illegal: %c", c);
            return false;
        }
    }
    return true;
}

bool udb_validator::is_duplicated(const std::wstring& name) const
{
    tk_logger::log(2, L"udb_validator::is_duplicated(%s)", name.c_str());
    if (tk_logger::traces(1)) {
        // The detailed trace names each taken name it passes.
        for (const auto& taken : taken_names) {
            tk_logger::log(1, L"Processing %s", taken.c_str());
            if (udb_same_name(taken, name)) break;
        }
    }
    if (taken_names.contains(name)) {
        tk_logger::log(2, "Name is duplicated");
        return true;
    }
    return false;
}

std::wstring udb_validator::get_safe_name(const std::wstring& name) const
{
    tk_logger::log(1, L"udb_validator::get_safe_name(%s)", name.c_str());
    std::wstring work = name;
    if (max_length != 0 && length_of(work) > max_length) work = cut_to(work, max_length - 1);
    for (wchar_t c : illegal_chars) std::replace(work.begin(), work.end(), c, L'_');
    if (is_acceptable(work) && !is_duplicated(work)) return work;

    if (max_length != 0) {
        // No numbered candidate fits a limit below the width of the number.
        if (max_length < number_width) throw tk_mail_assertion("udb_vali", 54);
        if (length_of(work) + number_width > max_length)
            work = cut_to(work, max_length > number_width ? max_length - number_width - 1 : 0);
    }
    for (int i = 0; i < number_count; ++i) {
        const std::wstring candidate = numbered(work, i);
        if (is_acceptable(candidate) && !is_duplicated(candidate)) return candidate;
    }
    throw tk_mail_assertion("udb_vali", 54);
}

void udb_validator::add_existing_name(const std::wstring& name)
{
    tk_logger::log(1, L"udb_validator::add_existing_name(%s)", name.c_str());
    taken_names.push_back(name);
}

void udb_validator::add_mapped_pair(const std::wstring& source, const std::wstring& generated)
{
    tk_logger::log(1, L"udb_validator::add_mapped_pair(%s,%s)", source.c_str(), generated.c_str());
    mapped_pairs.add(source, generated);
}
