#include "ORA/ora_text.h"

std::u16string ora_to_u16(const std::wstring& text)
{
    std::u16string out;
    out.reserve(text.size());
    for (wchar_t wc : text) {
        auto c = static_cast<char32_t>(wc);
        if (c >= 0x10000 && c <= 0x10FFFF) {
            c -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
        } else if (c > 0x10FFFF) {
            out.push_back(u'\xFFFD');
        } else {
            out.push_back(static_cast<char16_t>(c));
        }
    }
    return out;
}

std::wstring ora_from_u16(const char16_t* text, size_t chars)
{
    std::wstring out;
    out.reserve(chars);
    for (size_t i = 0; i < chars; ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < chars && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (static_cast<char32_t>(text[i + 1]) - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD; // lone surrogate
        }
        out.push_back(static_cast<wchar_t>(c));
    }
    return out;
}

std::wstring ora_from_u16(const std::u16string& text)
{
    return ora_from_u16(text.data(), text.size());
}

size_t ora_u16_len(const char16_t* text, size_t max_chars)
{
    size_t n = 0;
    while (n < max_chars && text[n] != 0)
        ++n;
    return n;
}
