#include "UDB/udb_name_compare.h"

#include "platform/win32/win_compare.h"

bool udb_same_name(const std::wstring& a, const std::wstring& b)
{
    return CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a.c_str(), static_cast<int>(a.size()), b.c_str(),
                          static_cast<int>(b.size())) == CSTR_EQUAL;
}

std::optional<std::string> udb_name_key(const std::wstring& name) { return compare_key(NORM_IGNORECASE, name); }
