#include "platform/oci/eora_text.h"

#include "platform/win32/win_codepage.h"

namespace eora {

std::string to_utf8(std::u16string_view s) {
    return utf8_encode(from_utf16le(s));
}

std::u16string to_utf16(std::string_view s) {
    // The lenient decoder never fails: bad bytes become U+FFFD.
    return to_utf16le(utf8_decode(s, false).value_or(std::wstring()));
}

size_t utf16_length(std::string_view s) {
    size_t n = 0;
    for (unsigned char b : s) {
        if ((b & 0xC0) != 0x80) ++n;
        if ((b & 0xF8) == 0xF0) ++n;
    }
    return n;
}

} // namespace eora
