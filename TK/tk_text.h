// Text conversions (wide, UTF-8, ANSI), trimming, case-insensitive comparison and search.
#pragma once
#include <cstddef>
#include <string>

// Each conversion stops at the first NUL of its input. Failures throw
// tk_exception_ex of level 0 with the last error as its code.
std::string to_utf8(const std::wstring& text);
// code_page -1 means the ANSI page.
std::string to_ansi(const std::wstring& text, int code_page = -1);
// From UTF-8 (strict: malformed input throws).
std::wstring to_unicode(const std::string& text);
// From a code page (-1: the ANSI page); bytes the page lacks become U+FFFD.
std::wstring to_unicode(const std::string& text, int code_page);

// ANSI conversions into a holder that owns the result; false for a null input
// or a failed conversion.
bool w2a(const wchar_t* text, std::string& out);
bool a2w(const char* text, std::wstring& out);

// Blanks are the space character only; tabs and line ends stay.
std::string tk_trim_left(const std::string& text);
std::string tk_trim_right(const std::string& text);
std::string tk_trim(const std::string& text);
std::wstring tk_trim_left(const std::wstring& text);
std::wstring tk_trim_right(const std::wstring& text);
std::wstring tk_trim(const std::wstring& text);

// -1, 0 or 1, ignoring case in the user's locale.
int tk_compare_no_case(const std::string& a, const std::string& b);
// The first position at or after `from` where `count` characters equal the
// pattern's first `count`, ignoring case; -1 when there is none.
int tk_find_no_case(const std::wstring& text, const std::wstring& pattern, size_t from, size_t count);

// Two upper-case hex digits per byte, NUL-terminated; `out` holds 2 * count + 1.
void bin_to_hex(size_t count, const unsigned char* bytes, char* out);
std::string bin_to_hex(const unsigned char* bytes, size_t count);
