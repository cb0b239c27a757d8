// Locale comparison of names and the character classes, backed by ICU.
#pragma once
#include <optional>
#include <string>
#include <string_view>
#include "platform/win32/win_types.h"

// CSTR_LESS_THAN, CSTR_EQUAL or CSTR_GREATER_THAN; 0 on failure. The LCID is
// accepted and the process locale used. NORM_IGNORECASE folds case first.
int compare_string(LCID lcid, DWORD flags, std::wstring_view a, std::wstring_view b);

// A length of -1 means up to the terminating NUL.
int CompareStringW(LCID lcid, DWORD flags, const wchar_t* a, int a_len, const wchar_t* b, int b_len);
// Narrow texts are taken from the ANSI page.
int CompareStringA(LCID lcid, DWORD flags, const char* a, int a_len, const char* b, int b_len);

// Bytes that are equal for two texts exactly when compare_string(lcid, flags, ...)
// calls them equal; they end with their only zero byte. None when the texts
// cannot be compared.
std::optional<std::string> compare_key(DWORD flags, std::wstring_view text);
// Changes whenever the collation locale does: keys of another generation do not compare.
unsigned collation_generation();

// The collation locale: from LC_ALL, LC_COLLATE or LANG, else "root". Tests may
// set another one ("" goes back to the environment's).
void set_collation_locale(const std::string& name);

wchar_t char_upper(wchar_t c);
bool is_char_alnum(wchar_t c);
bool is_char_alpha(wchar_t c);
inline BOOL IsCharAlphaNumericW(wchar_t c) { return is_char_alnum(c) ? TRUE : FALSE; }
inline BOOL IsCharAlphaW(wchar_t c) { return is_char_alpha(c) ? TRUE : FALSE; }

// Number and date conventions are English (United States) throughout.
inline LCID GetUserDefaultLCID() { return 1033; }
inline LCID GetSystemDefaultLCID() { return 1033; }
