#include "ORA/ora_name_bytes.h"

#include <cstdint>

namespace {

size_t utf8_width(wchar_t c)
{
    const auto u = static_cast<uint32_t>(c);
    return u < 0x80 ? 1 : u < 0x800 ? 2 : u < 0x10000 ? 3 : 4;
}

} // namespace

size_t ora_name_bytes(const std::wstring& text)
{
    size_t used = 0;
    for (wchar_t c : text) used += utf8_width(c);
    return used;
}

std::wstring ora_fit_bytes(const std::wstring& text, size_t bytes)
{
    size_t used = 0;
    size_t n = 0;
    for (; n < text.size(); ++n) {
        const size_t w = utf8_width(text[n]);
        if (used + w > bytes) break;
        used += w;
    }
    return text.substr(0, n);
}
