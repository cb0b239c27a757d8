// UTF-8 <-> UTF-16 at the OCI seam (invalid sequences become U+FFFD).
#pragma once
#include <string>
#include <string_view>

namespace eora {

std::string to_utf8(std::u16string_view s);
std::u16string to_utf16(std::string_view s);
// Number of UTF-16 code units the UTF-8 text needs.
size_t utf16_length(std::string_view s);

} // namespace eora
