#include "platform/eora/eora_text.h"

#include "platform/win32/win_codepage.h"

namespace eora {

std::string to_utf8(std::u16string_view s)
{
    // Statement texts are mostly ASCII, which is the same in both forms.
    std::string out(s.size(), '\0');
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] >= 0x80) return utf8_encode(from_utf16le(s));
        out[i] = static_cast<char>(s[i]);
    }
    return out;
}

std::u16string to_utf16(std::string_view s)
{
    std::u16string out(s.size(), u'\0');
    for (size_t i = 0; i < s.size(); ++i) {
        const auto b = static_cast<unsigned char>(s[i]);
        // The lenient decoder never fails: bad bytes become U+FFFD.
        if (b >= 0x80) return to_utf16le(utf8_decode(s, false).value_or(std::wstring()));
        out[i] = static_cast<char16_t>(b);
    }
    return out;
}

size_t utf16_length(std::string_view s)
{
    size_t n = 0;
    for (unsigned char b : s) {
        if ((b & 0xC0) != 0x80) ++n;
        if ((b & 0xF8) == 0xF0) ++n;
    }
    return n;
}

namespace {

constexpr UINT k_windows_latin1_page = 1252;

struct single_byte_set {
    const char* name;
    char32_t last;        // highest code point it holds (all below it too)
    char32_t replacement; // what stands for any other
    UINT page;            // code page that decides above `last`, 0 for none
};

constexpr single_byte_set k_single_byte_sets[] = {
    {"WE8ISO8859P1", 0xFF, 0xBF, 0},
    {"WE8MSWIN1252", 0x7F, 0xBF, k_windows_latin1_page},
    {"US7ASCII", 0x7F, u'?', 0},
};

// Whether the code page has a byte for the character.
bool page_holds(UINT page, char32_t c)
{
    const std::wstring one(1, static_cast<wchar_t>(c));
    std::optional<std::string> b = wide_to_mb(page, one);
    if (!b || b->size() != 1) return false;
    // The page's "?" for what it lacks is a real "?" only for U+003F itself.
    std::optional<std::wstring> back = mb_to_wide(page, *b, false);
    return back && *back == one;
}

const single_byte_set* single_byte(std::string_view charset)
{
    for (const auto& set : k_single_byte_sets)
        if (charset == set.name) return &set;
    return nullptr;
}

void put_utf8(std::string& out, char32_t c)
{
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

// The code points of UTF-8 text (through UTF-16, so invalid input reads as U+FFFD).
std::u32string code_points(std::string_view utf8)
{
    std::u16string u = to_utf16(utf8);
    std::u32string out;
    out.reserve(u.size());
    for (size_t i = 0; i < u.size(); ++i) {
        char32_t c = u[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < u.size() && u[i + 1] >= 0xDC00 && u[i + 1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (u[i + 1] - 0xDC00);
            ++i;
        }
        out += c;
    }
    return out;
}

} // namespace

bool is_unicode_charset(std::string_view charset) { return single_byte(charset) == nullptr; }

bool is_database_charset(std::string_view charset)
{
    return charset == "AL32UTF8" || charset == "UTF8" || single_byte(charset) != nullptr;
}

bool is_national_charset(std::string_view charset) { return charset == "AL16UTF16" || charset == "UTF8"; }

int national_char_bytes(std::string_view ncharset)
{
    constexpr int k_utf16_unit = 2, k_utf8_bmp = 3;
    return ncharset == "UTF8" ? k_utf8_bmp : k_utf16_unit;
}

std::string to_charset(std::string_view utf8, std::string_view charset)
{
    const single_byte_set* set = single_byte(charset);
    if (!set) return std::string(utf8);
    bool plain = true;
    for (unsigned char c : utf8) plain = plain && c < 0x80;
    if (plain) return std::string(utf8);
    std::string out;
    out.reserve(utf8.size());
    for (char32_t c : code_points(utf8))
        put_utf8(out, c <= set->last || (set->page && page_holds(set->page, c)) ? c : set->replacement);
    return out;
}

size_t charset_bytes(std::string_view utf8, std::string_view charset)
{
    if (charset == "UTF8") {
        // Oracle's UTF8 writes a character beyond the BMP as two 3-byte surrogates, not in 4 bytes.
        constexpr size_t k_surrogate_pair_bytes = 6, k_utf8_bytes = 4;
        constexpr unsigned char k_four_byte_lead = 0xF0;
        size_t n = utf8.size();
        for (unsigned char c : utf8)
            if (c >= k_four_byte_lead) n += k_surrogate_pair_bytes - k_utf8_bytes;
        return n;
    }
    if (!single_byte(charset)) return utf8.size();
    size_t n = 0;
    for (unsigned char c : utf8) n += (c & 0xC0) != 0x80;
    return n;
}

} // namespace eora
