// printf formats written the Windows way, run on glibc.
#pragma once
#include <cstdarg>
#include <string>

// Translates a Windows wide format to glibc's: in a wide format %s and %c take
// wide arguments (%ls, %lc), %S/%hs and %C/%hc narrow ones; %I64 becomes ll; the
// l of LONG-sized integers goes, since LONG is 32 bits here.
std::wstring win_wfmt(const wchar_t* fmt);

// Formats a Windows wide format with its arguments, without a length limit.
std::wstring win_vformat(const wchar_t* fmt, va_list args);
std::wstring win_format(const wchar_t* fmt, ...);

// Formats a Windows wide format into at most max_chars - 1 characters; a longer
// text is cut there.
std::wstring win_vformat_cut(const wchar_t* fmt, va_list args, size_t max_chars);

// Pads the exponent of a printf number to three digits ("1e+05" -> "1e+005"),
// the form the Windows runtime prints.
std::string tk_format_exp3(std::string text);
