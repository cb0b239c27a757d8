// The code pages of char, varchar and text values: a collation names one,
// and a value holds only the characters that page has.
#pragma once
#include <cstddef>
#include <string>

// Code page of the default collation (SQL_Latin1_General_CP1_CI_AS).
constexpr int kMssxDefaultCodePage = 1252;
// Code page of the _UTF8 collations.
constexpr int kMssxUtf8CodePage = 65001;

// The code page of a collation name ("" for the default).
int mssx_code_page_of(const std::string& collation);
// UTF-8 text with each character that the page cannot hold replaced by '?'.
std::string mssx_fit_code_page(const std::string& utf8, int code_page);
// The text's bytes in the page (what DATALENGTH counts and CONVERT(varbinary) gives).
std::string mssx_to_code_page(const std::string& utf8, int code_page);
size_t mssx_code_page_length(const std::string& utf8, int code_page);
// Bytes of the page read as text (CONVERT(varchar, binary)).
std::string mssx_from_code_page(const std::string& bytes, int code_page);

// The UTF-8 bytes of one code point.
std::string mssx_utf8_of_code_point(char32_t c);
// UTF-16 code units of UTF-8 text: a character outside the BMP counts 2.
size_t mssx_utf16_length(const std::string& utf8);
// UTF-16LE bytes of UTF-8 text and back (an odd last byte is left out).
std::string mssx_utf16le_of(const std::string& utf8);
std::string mssx_utf8_of_utf16le(const std::string& bytes);
