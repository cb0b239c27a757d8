#include "platform/win32/win_format.h"

#include <cctype>
#include <cwchar>
#include <vector>

namespace {

bool is_digit(wchar_t c) { return c >= L'0' && c <= L'9'; }

bool is_flag(wchar_t c) { return c == L'-' || c == L'+' || c == L' ' || c == L'#' || c == L'0' || c == L'\''; }

bool is_int_conv(wchar_t c) { return c == L'd' || c == L'i' || c == L'u' || c == L'x' || c == L'X' || c == L'o'; }

bool is_float_conv(wchar_t c)
{
    return c == L'f' || c == L'F' || c == L'e' || c == L'E' || c == L'g' || c == L'G' || c == L'a' || c == L'A';
}

// Formats into a buffer of `size` characters; returns the length, or -1 when it
// did not fit (or the text could not be formatted).
int format_into(std::vector<wchar_t>& buf, const std::wstring& fmt, va_list args)
{
    va_list copy;
    va_copy(copy, args);
    int n = std::vswprintf(buf.data(), buf.size(), fmt.c_str(), copy);
    va_end(copy);
    return n;
}

} // namespace

std::wstring win_wfmt(const wchar_t* fmt)
{
    std::wstring out;
    if (!fmt) return out;
    const wchar_t* p = fmt;
    while (*p) {
        if (*p != L'%') {
            out += *p++;
            continue;
        }
        const wchar_t* start = p++;
        if (*p == L'%') {
            out += L"%%";
            ++p;
            continue;
        }
        std::wstring spec = L"%";
        while (is_flag(*p)) spec += *p++;
        while (*p == L'*' || is_digit(*p)) spec += *p++;
        if (*p == L'.') {
            spec += *p++;
            while (*p == L'*' || is_digit(*p)) spec += *p++;
        }
        // Length modifier, Windows spellings included.
        enum class len_t { none, h, hh, l, ll, L, i64, i32, size, other } len = len_t::none;
        std::wstring other_len;
        if (p[0] == L'I' && p[1] == L'6' && p[2] == L'4') {
            len = len_t::i64;
            p += 3;
        } else if (p[0] == L'I' && p[1] == L'3' && p[2] == L'2') {
            len = len_t::i32;
            p += 3;
        } else if (p[0] == L'I') {
            len = len_t::size;
            p += 1;
        } else if (p[0] == L'h' && p[1] == L'h') {
            len = len_t::hh;
            p += 2;
        } else if (p[0] == L'h') {
            len = len_t::h;
            p += 1;
        } else if (p[0] == L'l' && p[1] == L'l') {
            len = len_t::ll;
            p += 2;
        } else if (p[0] == L'l' || p[0] == L'w') {
            len = len_t::l;
            p += 1;
        } else if (p[0] == L'L') {
            len = len_t::L;
            p += 1;
        } else if (p[0] == L'z' || p[0] == L'j' || p[0] == L't' || p[0] == L'q') {
            len = len_t::other;
            other_len = *p;
            p += 1;
        }
        wchar_t conv = *p;
        if (!conv) {
            // A lone or unfinished "%" at the end prints as it stands.
            for (const wchar_t* q = start; *q; ++q) out += *q == L'%' ? std::wstring(L"%%") : std::wstring(1, *q);
            break;
        }
        ++p;
        if (conv == L's' || conv == L'c') {
            spec += len == len_t::h ? L"" : L"l";
            spec += conv;
        } else if (conv == L'S' || conv == L'C') {
            spec += len == len_t::l ? L"l" : L"";
            spec += (conv == L'S' ? L's' : L'c');
        } else if (is_int_conv(conv)) {
            switch (len) {
            case len_t::h:
                spec += L"h";
                break;
            case len_t::hh:
                spec += L"hh";
                break;
            case len_t::ll:
            case len_t::i64:
                spec += L"ll";
                break;
            case len_t::size:
                spec += L"z";
                break;
            case len_t::other:
                spec += other_len;
                break;
            default:
                break; // l (LONG) and I32 are plain int
            }
            spec += conv;
        } else if (is_float_conv(conv)) {
            if (len == len_t::L) spec += L"L";
            spec += conv;
        } else {
            // Anything else (%p, unknown letters) is passed as written.
            spec.assign(start, p);
        }
        out += spec;
    }
    return out;
}

std::wstring win_vformat(const wchar_t* fmt, va_list args)
{
    const std::wstring f = win_wfmt(fmt);
    std::vector<wchar_t> buf(256);
    // vswprintf answers -1 both for "too small" and for a text it cannot
    // convert; growing stops at a bound so the second case cannot loop for ever.
    constexpr size_t k_limit = size_t{1} << 24;
    for (;;) {
        int n = format_into(buf, f, args);
        if (n >= 0) return std::wstring(buf.data(), static_cast<size_t>(n));
        if (buf.size() >= k_limit) return std::wstring(buf.data(), std::wcslen(buf.data()));
        buf.assign(buf.size() * 4, L'\0');
    }
}

std::wstring win_format(const wchar_t* fmt, ...)
{
    va_list args;
    va_start(args, fmt);
    std::wstring s = win_vformat(fmt, args);
    va_end(args);
    return s;
}

std::wstring win_vformat_cut(const wchar_t* fmt, va_list args, size_t max_chars)
{
    if (max_chars == 0) return {};
    std::vector<wchar_t> buf(max_chars, L'\0');
    int n = format_into(buf, win_wfmt(fmt), args);
    if (n >= 0) return std::wstring(buf.data(), static_cast<size_t>(n));
    buf.back() = L'\0';
    return std::wstring(buf.data(), std::wcslen(buf.data()));
}

std::string tk_format_exp3(std::string text)
{
    for (size_t i = 0; i < text.size(); ++i) {
        if ((text[i] != 'e' && text[i] != 'E') || i == 0 || !std::isdigit(static_cast<unsigned char>(text[i - 1])))
            continue;
        size_t d = i + 1;
        if (d < text.size() && (text[d] == '+' || text[d] == '-')) ++d;
        size_t end = d;
        while (end < text.size() && std::isdigit(static_cast<unsigned char>(text[end]))) ++end;
        if (end > d && end - d < 3) text.insert(d, 3 - (end - d), '0');
    }
    return text;
}
