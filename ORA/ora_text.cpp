#include "ORA/ora_text.h"

#include "platform/win32/win_codepage.h"

std::u16string ora_to_u16(const std::wstring& text)
{
    return to_utf16le(text);
}

std::wstring ora_from_u16(const char16_t* text, size_t chars)
{
    return from_utf16le(std::u16string_view(text, chars));
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
