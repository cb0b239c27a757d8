// The profile reader on arbitrary bytes: a profile is a file users edit by hand.
#include <cstddef>
#include <cstdint>
#include <string>

#include "TK/tk_exception.h"
#include "UDB/udb_profile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    udb_profile profile;
    try {
        profile.parse(std::string(reinterpret_cast<const char*>(data), size));
    } catch (const tk_exception&) {
        // Text that is not UTF-8 is refused with the conversion error.
    }
    // Lines are split at line feeds: none may survive inside a key, value or raw line.
    for (const auto& [name, pairs] : profile.sections)
        for (const auto& [key, value] : pairs)
            if (key.find(L'\n') != std::wstring::npos || value.find(L'\n') != std::wstring::npos) __builtin_trap();
    for (const auto& [name, lines] : profile.line_sections)
        for (const auto& line : lines)
            if (line.find(L'\n') != std::wstring::npos) __builtin_trap();
    return 0;
}
