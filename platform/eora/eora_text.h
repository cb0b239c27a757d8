// UTF-8 <-> UTF-16 at the OCI seam (invalid sequences become U+FFFD).
#pragma once
#include <string>
#include <string_view>

namespace eora {

std::string to_utf8(std::u16string_view s);
std::u16string to_utf16(std::string_view s);
// Number of UTF-16 code units the UTF-8 text needs.
size_t utf16_length(std::string_view s);

// The text as a database character set keeps it (UTF-8 still): a character the
// set lacks becomes the set's replacement character. AL32UTF8 and UTF8 keep
// everything, WE8ISO8859P1 what Latin-1 holds, WE8MSWIN1252 what Windows code
// page 1252 holds, US7ASCII ASCII.
std::string to_charset(std::string_view utf8, std::string_view charset);
// Bytes the text takes in the character set.
size_t charset_bytes(std::string_view utf8, std::string_view charset);
// Whether the character set holds every character.
bool is_unicode_charset(std::string_view charset);
// The database character sets the embedded Oracle knows: AL32UTF8, UTF8,
// WE8MSWIN1252, WE8ISO8859P1, US7ASCII.
bool is_database_charset(std::string_view charset);
// The national character sets: AL16UTF16 and UTF8.
bool is_national_charset(std::string_view charset);
// Bytes a character of the national character set takes at most (AL16UTF16: 2, UTF8: 3).
int national_char_bytes(std::string_view ncharset);

} // namespace eora
