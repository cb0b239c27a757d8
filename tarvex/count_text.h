// A count with its noun in the right number: "1 table", "2 tables", "0 records".
#pragma once
#include <cstddef>
#include <string>

inline std::wstring count_text(std::size_t n, const wchar_t* one, const wchar_t* many)
{
    return std::to_wstring(n) + L" " + (n == 1 ? one : many);
}
