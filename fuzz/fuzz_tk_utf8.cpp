// UTF-8 decoding of untrusted bytes: strict decoding either refuses or gives
// text that encodes back to the same bytes; lenient decoding never refuses.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "TK/tk_exception.h"
#include "TK/tk_text.h"
#include "platform/win32/win_codepage.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string bytes(reinterpret_cast<const char*>(data), size);
    auto strict = mb_to_wide(CP_UTF8, bytes, true);
    if (strict && utf8_encode(*strict) != bytes) std::abort();
    auto lenient = mb_to_wide(CP_UTF8, bytes, false);
    if (!lenient) std::abort();
    if (!mb_to_wide(CP_UTF8, utf8_encode(*lenient), true)) std::abort();
    if (to_utf16le(*lenient).size() < lenient->size() || from_utf16le(to_utf16le(*lenient)) != *lenient) std::abort();
    try {
        std::wstring w = to_unicode(bytes);
        (void)w;
    } catch (const tk_exception_ex&) {}
    return 0;
}
