// The condition of a filtered index from the source catalog becomes Oracle SQL, or nothing.
#include <cstddef>
#include <cstdint>
#include <string>
#include "ORA/ora_index_filter.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::wstring text;
    for (size_t i = 0; i + 1 < size; i += 2) text.push_back(static_cast<wchar_t>(data[i] | (data[i + 1] << 8)));
    const t_ftd number(0, L"n", VT_I4, false, false, ole_variant(), 0, L"");
    const t_ftd word(10, L"w", VT_BSTR, false, false, ole_variant(), 0, L"");
    const auto column_of = [&](const std::wstring& name) -> const t_ftd* {
        if (name == L"n") return &number;
        if (name == L"w") return &word;
        return nullptr;
    };
    const auto sql = ora_index_filter(text, column_of);
    if (!sql) return 0;
    // Text constants stay closed: the quotes of the result pair up.
    size_t quotes = 0;
    for (wchar_t c : *sql) quotes += c == L'\'' ? 1 : 0;
    if (quotes % 2 != 0) __builtin_trap();
    return 0;
}
