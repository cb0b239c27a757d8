#include "ORA/ora_text.h"

#include "platform/win32/win_codepage.h"

std::u16string ora_to_u16(std::wstring_view text)
{
    std::u16string out;
    ora_to_u16(text, out);
    return out;
}

void ora_to_u16(std::wstring_view text, std::u16string& out)
{
    // Characters beyond the basic plane take two units: counted first, so that
    // the buffer is sized once and filled in place.
    size_t units = text.size();
    for (wchar_t wc : text) {
        const auto c = static_cast<char32_t>(wc);
        units += c >= 0x10000 && c <= 0x10FFFF;
    }
    out.resize(units);
    char16_t* p = out.data();
    for (wchar_t wc : text) {
        const auto c = static_cast<char32_t>(wc);
        if (c < 0xD800 || (c >= 0xE000 && c < 0x10000)) {
            *p++ = static_cast<char16_t>(c);
        } else if (c >= 0x10000 && c <= 0x10FFFF) {
            *p++ = static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
            *p++ = static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            *p++ = u'\uFFFD'; // a surrogate or beyond Unicode: no scalar value
        }
    }
}

std::wstring ora_from_u16(const char16_t* text, size_t chars) { return from_utf16le(std::u16string_view(text, chars)); }

std::wstring ora_from_u16(const std::u16string& text) { return ora_from_u16(text.data(), text.size()); }

size_t ora_u16_len(const char16_t* text, size_t max_chars)
{
    size_t n = 0;
    while (n < max_chars && text[n] != 0) ++n;
    return n;
}
