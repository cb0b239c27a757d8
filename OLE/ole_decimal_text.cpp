#include "OLE/ole_decimal_text.h"

#include <algorithm>

namespace {

bool is_digit(wchar_t c) { return c >= L'0' && c <= L'9'; }

} // namespace

std::wstring ole_canonical_decimal(const std::wstring& text)
{
    size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) negative = text[i++] == L'-';
    const size_t int_begin = i;
    while (i < text.size() && is_digit(text[i])) ++i;
    std::wstring whole = text.substr(int_begin, i - int_begin);
    std::wstring fraction;
    if (i < text.size() && text[i] == L'.') {
        const size_t frac_begin = ++i;
        while (i < text.size() && is_digit(text[i])) ++i;
        fraction = text.substr(frac_begin, i - frac_begin);
    }
    if (i != text.size() || (whole.empty() && fraction.empty())) return std::wstring();
    whole.erase(0, std::min(whole.find_first_not_of(L'0'), whole.size()));
    while (!fraction.empty() && fraction.back() == L'0') fraction.pop_back();
    if (whole.empty() && fraction.empty()) return L"0";
    std::wstring out = negative ? L"-" : L"";
    out += whole.empty() ? L"0" : whole;
    if (!fraction.empty()) out += L"." + fraction;
    return out;
}

bool ole_is_canonical_decimal(const std::wstring& text) { return !text.empty() && ole_canonical_decimal(text) == text; }
