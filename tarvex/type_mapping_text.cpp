#include <cwchar>

#include "TK/tk_text.h"
#include "tarvex/udb_db_mutator.h"

namespace tvx_type_mapping {

std::wstring value_after(const std::wstring& line, const wchar_t* prefix)
{
    return tk_trim(line.substr(std::char_traits<wchar_t>::length(prefix)));
}

bool split_pair(const std::wstring& line, std::wstring& key, std::wstring& value)
{
    const size_t colon = line.find(L':');
    if (colon == std::wstring::npos || line.find(L':', colon + 1) != std::wstring::npos) return false;
    key = tk_trim(line.substr(0, colon));
    value = tk_trim(line.substr(colon + 1));
    return true;
}

int32_t to_number(const std::wstring& text)
{
    wchar_t* end = nullptr;
    long v = std::wcstol(text.c_str(), &end, 10);
    if (end == text.c_str()) return 0;
    if (v > INT32_MAX || v < INT32_MIN) return 0;
    return static_cast<int32_t>(v);
}

} // namespace tvx_type_mapping
