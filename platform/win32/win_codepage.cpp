#include "platform/win32/win_codepage.h"

#include <iconv.h>
#include <langinfo.h>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <clocale>
#include <cstdlib>
#include <cstring>

#include "platform/win32/win_error.h"

namespace {

constexpr wchar_t k_replacement = 0xFFFD;
std::atomic<UINT> g_acp{0};

bool valid_scalar(char32_t c) { return c <= 0x10FFFF && (c < 0xD800 || c > 0xDFFF); }

// A wide character as a Unicode scalar value; what is none becomes U+FFFD.
char32_t scalar_of(wchar_t wc)
{
    char32_t c = static_cast<char32_t>(wc);
    return valid_scalar(c) ? c : k_replacement;
}

UINT page_from_codeset(const char* codeset)
{
    if (!codeset || !*codeset) return CP_UTF8;
    std::string cs;
    for (const char* p = codeset; *p; ++p)
        if (*p != '-' && *p != '_') cs += static_cast<char>(std::toupper(static_cast<unsigned char>(*p)));
    if (cs == "UTF8") return CP_UTF8;
    if (cs.rfind("CP", 0) == 0 && cs.size() > 2) return static_cast<UINT>(std::strtoul(cs.c_str() + 2, nullptr, 10));
    if (cs.rfind("WINDOWS", 0) == 0 && cs.size() > 7)
        return static_cast<UINT>(std::strtoul(cs.c_str() + 7, nullptr, 10));
    if (cs.rfind("ISO8859", 0) == 0 && cs.size() > 7)
        return 28590 + static_cast<UINT>(std::strtoul(cs.c_str() + 7, nullptr, 10));
    if (cs == "GBK" || cs == "GB2312") return 936;
    if (cs == "SHIFTJIS" || cs == "SJIS") return 932;
    if (cs == "EUCKR") return 949;
    if (cs == "BIG5") return 950;
    // "C" and POSIX locales report ASCII; our programs run in UTF-8 then.
    return CP_UTF8;
}

UINT initial_acp()
{
    if (const char* env = std::getenv("TVX_ACP"); env && *env) {
        char* end = nullptr;
        unsigned long v = std::strtoul(env, &end, 10);
        if (end && *end == '\0' && v > 0 && v != CP_THREAD_ACP) return static_cast<UINT>(v);
    }
    return page_from_codeset(nl_langinfo(CODESET));
}

std::string iconv_name(UINT cp)
{
    if (cp >= 28591 && cp <= 28605) return "ISO-8859-" + std::to_string(cp - 28590);
    if (cp == 20127) return "ASCII";
    if (cp == 1200) return "UTF-16LE";
    if (cp == 1201) return "UTF-16BE";
    return "CP" + std::to_string(cp);
}

// One iconv descriptor for the length of one conversion.
class iconv_handle {
public:
    iconv_handle(const std::string& to, const std::string& from) : cd_(iconv_open(to.c_str(), from.c_str())) {}
    ~iconv_handle()
    {
        if (ok()) iconv_close(cd_);
    }
    iconv_handle(const iconv_handle&) = delete;
    iconv_handle& operator=(const iconv_handle&) = delete;
    bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
    iconv_t get() const { return cd_; }

private:
    iconv_t cd_;
};

// Converts one unit of input; returns false when the input cannot be converted.
bool iconv_piece(iconv_t cd, const char* in, size_t in_len, std::string& out)
{
    char buf[64];
    char* src = const_cast<char*>(in);
    size_t left = in_len;
    char* dst = buf;
    size_t room = sizeof(buf);
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    if (iconv(cd, &src, &left, &dst, &room) == static_cast<size_t>(-1) || left != 0) return false;
    char* flush_dst = dst;
    if (iconv(cd, nullptr, nullptr, &flush_dst, &room) == static_cast<size_t>(-1)) return false;
    out.append(buf, static_cast<size_t>(flush_dst - buf));
    return true;
}

} // namespace

UINT get_acp()
{
    UINT cp = g_acp.load();
    if (cp == 0) {
        cp = initial_acp();
        UINT expected = 0;
        if (!g_acp.compare_exchange_strong(expected, cp)) cp = expected;
    }
    return cp;
}

void set_acp(UINT cp) { g_acp.store(cp == CP_ACP || cp == CP_THREAD_ACP ? initial_acp() : cp); }

UINT resolve_code_page(UINT cp) { return cp == CP_ACP || cp == CP_THREAD_ACP ? get_acp() : cp; }

std::string utf8_encode(std::wstring_view text)
{
    std::string out;
    out.reserve(text.size());
    for (wchar_t wc : text) {
        char32_t c = scalar_of(wc);
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::optional<std::wstring> utf8_decode(std::string_view text, bool strict)
{
    std::wstring out;
    out.reserve(text.size());
    size_t i = 0;
    const size_t n = text.size();
    while (i < n) {
        unsigned char b = static_cast<unsigned char>(text[i]);
        if (b < 0x80) {
            out += static_cast<wchar_t>(b);
            ++i;
            continue;
        }
        size_t len = 0;
        char32_t c = 0;
        char32_t min = 0;
        if (b >= 0xC2 && b <= 0xDF) {
            len = 2;
            c = b & 0x1F;
            min = 0x80;
        } else if (b >= 0xE0 && b <= 0xEF) {
            len = 3;
            c = b & 0x0F;
            min = 0x800;
        } else if (b >= 0xF0 && b <= 0xF4) {
            len = 4;
            c = b & 0x07;
            min = 0x10000;
        }
        size_t used = 1;
        bool good = len != 0;
        if (good) {
            for (; used < len; ++used) {
                if (i + used >= n) break;
                unsigned char t = static_cast<unsigned char>(text[i + used]);
                if ((t & 0xC0) != 0x80) break;
                c = (c << 6) | (t & 0x3F);
            }
            good = used == len && c >= min && valid_scalar(c);
        }
        if (!good) {
            if (strict) {
                SetLastError(ERROR_NO_UNICODE_TRANSLATION);
                return std::nullopt;
            }
            out += k_replacement;
            i += used;
            continue;
        }
        out += static_cast<wchar_t>(c);
        i += len;
    }
    return out;
}

std::optional<std::string> wide_to_mb(UINT cp, std::wstring_view text)
{
    cp = resolve_code_page(cp);
    if (cp == CP_UTF8) return utf8_encode(text);
    iconv_handle cd(iconv_name(cp), "WCHAR_T");
    if (!cd.ok()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return std::nullopt;
    }
    std::string out;
    out.reserve(text.size());
    for (wchar_t wc : text) {
        // Character by character, so one that the page lacks costs only itself.
        if (!iconv_piece(cd.get(), reinterpret_cast<const char*>(&wc), sizeof(wc), out)) out += '?';
    }
    return out;
}

std::optional<std::wstring> mb_to_wide(UINT cp, std::string_view text, bool strict)
{
    cp = resolve_code_page(cp);
    if (cp == CP_UTF8) return utf8_decode(text, strict);
    iconv_handle cd("WCHAR_T", iconv_name(cp));
    if (!cd.ok()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return std::nullopt;
    }
    std::wstring out;
    out.reserve(text.size());
    std::string piece;
    size_t i = 0;
    while (i < text.size()) {
        // Multi-byte pages need up to four bytes for one character.
        bool done = false;
        for (size_t len = 1; len <= 4 && i + len <= text.size(); ++len) {
            piece.clear();
            if (iconv_piece(cd.get(), text.data() + i, len, piece) && piece.size() % sizeof(wchar_t) == 0) {
                for (size_t k = 0; k < piece.size(); k += sizeof(wchar_t)) {
                    wchar_t wc;
                    std::memcpy(&wc, piece.data() + k, sizeof(wc));
                    out += wc;
                }
                i += len;
                done = true;
                break;
            }
        }
        if (!done) {
            if (strict) {
                SetLastError(ERROR_NO_UNICODE_TRANSLATION);
                return std::nullopt;
            }
            out += k_replacement;
            ++i;
        }
    }
    return out;
}

std::u16string to_utf16le(std::wstring_view text)
{
    std::u16string out;
    out.reserve(text.size());
    for (wchar_t wc : text) {
        char32_t c = scalar_of(wc);
        if (c >= 0x10000) {
            c -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (c >> 10));
            out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
        } else {
            out += static_cast<char16_t>(c);
        }
    }
    return out;
}

std::wstring from_utf16le(std::u16string_view text)
{
    std::wstring out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char16_t u = text[i];
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            char32_t c = 0x10000 + ((static_cast<char32_t>(u) - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            out += static_cast<wchar_t>(c);
            ++i;
        } else if (u >= 0xD800 && u <= 0xDFFF) {
            out += k_replacement;
        } else {
            out += static_cast<wchar_t>(u);
        }
    }
    return out;
}
