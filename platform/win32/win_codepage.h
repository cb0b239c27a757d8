// Code pages: the process "ANSI" page and conversions between wide text and byte pages.
#pragma once
#include <optional>
#include <string>
#include <string_view>
#include "platform/win32/win_types.h"

// The ANSI page of the process: from TVX_ACP when set, else from the locale's
// codeset; UTF-8 (65001) when neither names a usable page.
UINT get_acp();
void set_acp(UINT cp);
inline UINT GetACP() { return get_acp(); }

// CP_ACP and CP_THREAD_ACP become the process page; others stay as they are.
UINT resolve_code_page(UINT cp);

// Wide text to a page. UTF-8 never fails (invalid code points become U+FFFD);
// other pages put "?" for characters they cannot hold. An unknown page fails
// with ERROR_INVALID_PARAMETER as the last error.
std::optional<std::string> wide_to_mb(UINT cp, std::wstring_view text);

// A page's bytes to wide text. Strict UTF-8 fails on any malformed sequence with
// ERROR_NO_UNICODE_TRANSLATION; lenient UTF-8 and other pages put U+FFFD for bad bytes.
std::optional<std::wstring> mb_to_wide(UINT cp, std::string_view text, bool strict);

// UTF-8 encoder and strict decoder without the page machinery.
std::string utf8_encode(std::wstring_view text);
std::optional<std::wstring> utf8_decode(std::string_view text, bool strict);

// UTF-16 (little-endian units) for the seams that need 16-bit text.
std::u16string to_utf16le(std::wstring_view text);
std::wstring from_utf16le(std::u16string_view text);
