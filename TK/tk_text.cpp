#include "TK/tk_text.h"

#include <cstring>
#include <cwchar>

#include "TK/tk_exception.h"
#include "TK/tk_logger.h"
#include "platform/win32/win_codepage.h"
#include "platform/win32/win_compare.h"

namespace {

std::wstring_view up_to_nul(const std::wstring& s) { return std::wstring_view(s.c_str(), std::wcslen(s.c_str())); }
std::string_view up_to_nul(const std::string& s) { return std::string_view(s.c_str(), std::strlen(s.c_str())); }

UINT page_of(int code_page) { return code_page == -1 ? CP_ACP : static_cast<UINT>(code_page); }

template <class S>
S trim_left(const S& text)
{
    size_t i = 0;
    while (i < text.size() && text[i] == ' ') ++i;
    return text.substr(i);
}

template <class S>
S trim_right(const S& text)
{
    size_t end = text.size();
    while (end > 0 && text[end - 1] == ' ') --end;
    if (end == 0 && !text.empty()) tk_logger::log(1, "Special processing for all-spaces-string");
    return text.substr(0, end);
}

} // namespace

std::string to_utf8(const std::wstring& text)
{
    auto out = wide_to_mb(CP_UTF8, up_to_nul(text));
    if (!out) throw tk_exception_ex("Cannot convert to UTF8 string: ", 0);
    return *out;
}

std::string to_ansi(const std::wstring& text, int code_page)
{
    auto out = wide_to_mb(page_of(code_page), up_to_nul(text));
    if (!out) throw tk_exception_ex("Cannot convert to ANSI string: ", 0);
    return *out;
}

std::wstring to_unicode(const std::string& text)
{
    auto out = mb_to_wide(CP_UTF8, up_to_nul(text), true);
    if (!out) throw tk_exception_ex("Cannot convert to UNICODE string: ", 0);
    return *out;
}

std::wstring to_unicode(const std::string& text, int code_page)
{
    auto out = mb_to_wide(page_of(code_page), up_to_nul(text), false);
    if (!out) throw tk_exception_ex("Cannot convert to UNICODE string: ", 0);
    return *out;
}

bool w2a(const wchar_t* text, std::string& out)
{
    if (!text) return false;
    auto converted = wide_to_mb(CP_ACP, std::wstring_view(text, std::wcslen(text)));
    if (!converted) return false;
    out = std::move(*converted);
    return true;
}

bool a2w(const char* text, std::wstring& out)
{
    if (!text) return false;
    auto converted = mb_to_wide(CP_ACP, std::string_view(text), false);
    if (!converted) return false;
    out = std::move(*converted);
    return true;
}

std::string tk_trim_left(const std::string& text) { return trim_left(text); }
std::string tk_trim_right(const std::string& text) { return trim_right(text); }
std::string tk_trim(const std::string& text) { return trim_left(trim_right(text)); }
std::wstring tk_trim_left(const std::wstring& text) { return trim_left(text); }
std::wstring tk_trim_right(const std::wstring& text) { return trim_right(text); }
std::wstring tk_trim(const std::wstring& text) { return trim_left(trim_right(text)); }

int tk_compare_no_case(const std::string& a, const std::string& b)
{
    return CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a.c_str(), static_cast<int>(a.size()), b.c_str(),
                          static_cast<int>(b.size())) -
           2;
}

int tk_find_no_case(const std::wstring& text, const std::wstring& pattern, size_t from, size_t count)
{
    if (count == 0) return from <= text.size() ? static_cast<int>(from) : -1;
    // A count beyond the pattern would compare characters it does not have.
    if (count > pattern.size() || from >= text.size() || text.size() - from < count) return -1;
    for (size_t pos = from; pos + count <= text.size(); ++pos) {
        size_t k = 0;
        while (k < count && char_upper(text[pos + k]) == char_upper(pattern[k])) ++k;
        if (k == count) return static_cast<int>(pos);
    }
    return -1;
}

void bin_to_hex(size_t count, const unsigned char* bytes, char* out)
{
    if (!out) throw tk_mail_assertion("tk_utils", 811);
    std::string hex = bin_to_hex(bytes, count);
    std::memcpy(out, hex.c_str(), hex.size() + 1);
}

std::string bin_to_hex(const unsigned char* bytes, size_t count)
{
    static const char k_hex[] = "0123456789ABCDEF";
    std::string out;
    if (!bytes) return out;
    out.reserve(2 * count);
    for (size_t i = 0; i < count; ++i) {
        out += k_hex[bytes[i] >> 4];
        out += k_hex[bytes[i] & 0x0F];
    }
    return out;
}
