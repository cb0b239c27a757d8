// Text encodings of the wire: UCS-2/UTF-16LE for the N types and all
// protocol text, code page 1252 for char/varchar/text under the server collation.
#pragma once
#include <string>
#include <string_view>

// UTF-8 to UTF-16LE bytes; bytes that are not UTF-8 become U+FFFD.
std::string tds_utf16le(std::string_view utf8);
// UTF-16LE bytes to UTF-8; an odd byte is dropped, lone surrogates become U+FFFD.
std::string tds_utf8_from_utf16le(std::string_view bytes);
// UTF-8 to code page 1252; characters it lacks become '?' as on the server.
std::string tds_cp1252(std::string_view utf8);
// Code page 1252 to UTF-8.
std::string tds_utf8_from_cp1252(std::string_view bytes);
