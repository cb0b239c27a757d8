#include "platform/mssx/mssx_code_page.h"
#include <iconv.h>
#include <array>
#include <cctype>
#include <cstdint>
#include <utility>

namespace {

constexpr char32_t kReplacement = 0xFFFD;
constexpr char32_t kFirstSupplementary = 0x10000;
constexpr char32_t kHighSurrogate = 0xD800, kLowSurrogate = 0xDC00, kSurrogateEnd = 0xE000;

// Windows-1252's characters at 0x80..0x9F; the bytes it leaves undefined map to the C1 control of their value.
constexpr std::array<char32_t, 32> kCp1252High = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                                  0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                                  0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                                  0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

template <typename F>
void for_each_code_point(const std::string& s, F f)
{
    for (size_t i = 0; i < s.size();) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        if (n == 0 || i + n > s.size()) {
            f(kReplacement, std::string_view(&s[i], 1));
            ++i;
            continue;
        }
        char32_t cp = n == 1 ? c : n == 2 ? (c & 0x1F) : n == 3 ? (c & 0x0F) : (c & 0x07);
        for (size_t k = 1; k < n; ++k) cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
        f(cp, std::string_view(&s[i], n));
        i += n;
    }
}

void append_utf8(std::string& out, char32_t c)
{
    if (c < 0x80)
        out += static_cast<char>(c);
    else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < kFirstSupplementary) {
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

// The byte of a character in Windows-1252; -1 when the page has none.
int cp1252_byte(char32_t c)
{
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<int>(c);
    for (size_t i = 0; i < kCp1252High.size(); ++i)
        if (kCp1252High[i] == c) return static_cast<int>(0x80 + i);
    return -1;
}

std::string iconv_name(int code_page)
{
    switch (code_page) {
    case 932:
        return "CP932";
    case 936:
        return "GBK";
    case 949:
        return "CP949";
    case 950:
        return "BIG5";
    case 437:
        return "IBM437";
    case 850:
        return "IBM850";
    default:
        return "CP" + std::to_string(code_page);
    }
}

// One iconv descriptor for the length of one conversion.
class converter {
public:
    converter(const std::string& to, const std::string& from) : cd_(iconv_open(to.c_str(), from.c_str())) {}
    ~converter()
    {
        if (ok()) iconv_close(cd_);
    }
    converter(const converter&) = delete;
    converter& operator=(const converter&) = delete;
    bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
    // The whole input converted; false when some of it has no form in the target.
    bool run(std::string_view in, std::string& out)
    {
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        out.clear();
        std::string buf(in.size() * 4 + 8, '\0');
        char* src = const_cast<char*>(in.data());
        size_t src_left = in.size();
        char* dst = buf.data();
        size_t dst_left = buf.size();
        if (iconv(cd_, &src, &src_left, &dst, &dst_left) == static_cast<size_t>(-1)) return false;
        if (iconv(cd_, nullptr, nullptr, &dst, &dst_left) == static_cast<size_t>(-1)) return false;
        out.assign(buf.data(), buf.size() - dst_left);
        return true;
    }

private:
    iconv_t cd_;
};

// The page's bytes of each character, or nothing for one it cannot hold.
template <typename F>
void encode(const std::string& utf8, int code_page, F f)
{
    if (code_page == kMssxDefaultCodePage) {
        for_each_code_point(utf8, [&](char32_t c, std::string_view) {
            int b = cp1252_byte(c);
            f(std::string_view(), b < 0 ? std::string() : std::string(1, static_cast<char>(b)), b >= 0);
        });
        return;
    }
    converter cv(iconv_name(code_page), "UTF-8");
    std::string one;
    for_each_code_point(utf8, [&](char32_t c, std::string_view bytes) {
        bool ok = c != kReplacement && cv.ok() && cv.run(bytes, one);
        f(bytes, ok ? one : std::string(), ok);
    });
}

} // namespace

int mssx_code_page_of(const std::string& collation)
{
    std::string c;
    for (char ch : collation) c += static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    if (c.empty()) return kMssxDefaultCodePage;
    if (c.find("_UTF8") != std::string::npos) return kMssxUtf8CodePage;
    if (c.starts_with("SQL_LATIN1_GENERAL_CP437")) return 437;
    if (c.starts_with("SQL_LATIN1_GENERAL_CP850")) return 850;
    if (c.starts_with("SQL_LATIN1_GENERAL_CP1250")) return 1250;
    if (c.starts_with("SQL_LATIN1_GENERAL_CP1251")) return 1251;
    if (c.starts_with("SQL_LATIN1_GENERAL_CP1253")) return 1253;
    if (c.starts_with("SQL_LATIN1_GENERAL_CP1254")) return 1254;
    if (c.starts_with("SQL_LATIN1_GENERAL_CP1255")) return 1255;
    if (c.starts_with("SQL_LATIN1_GENERAL_CP1256")) return 1256;
    if (c.starts_with("SQL_LATIN1_GENERAL_CP1257")) return 1257;
    if (c.starts_with("SQL_")) c.erase(0, 4);
    static const std::pair<const char*, int> pages[] = {{"CYRILLIC", 1251},
                                                        {"UKRAINIAN", 1251},
                                                        {"MACEDONIAN", 1251},
                                                        {"KAZAKH", 1251},
                                                        {"TATAR", 1251},
                                                        {"GREEK", 1253},
                                                        {"TURKISH", 1254},
                                                        {"AZERI_LATIN", 1254},
                                                        {"UZBEK_LATIN", 1254},
                                                        {"HEBREW", 1255},
                                                        {"ARABIC", 1256},
                                                        {"URDU", 1256},
                                                        {"PERSIAN", 1256},
                                                        {"ESTONIAN", 1257},
                                                        {"LATVIAN", 1257},
                                                        {"LITHUANIAN", 1257},
                                                        {"VIETNAMESE", 1258},
                                                        {"POLISH", 1250},
                                                        {"CZECH", 1250},
                                                        {"HUNGARIAN", 1250},
                                                        {"CROATIAN", 1250},
                                                        {"ROMANIAN", 1250},
                                                        {"SLOVAK", 1250},
                                                        {"SLOVENIAN", 1250},
                                                        {"ALBANIAN", 1250},
                                                        {"BOSNIAN_LATIN", 1250},
                                                        {"SERBIAN_LATIN", 1250},
                                                        {"TURKMEN", 1250},
                                                        {"JAPANESE", 932},
                                                        {"CHINESE_PRC", 936},
                                                        {"CHINESE_SIMPLIFIED", 936},
                                                        {"KOREAN", 949},
                                                        {"CHINESE_TAIWAN", 950},
                                                        {"CHINESE_HONG_KONG", 950},
                                                        {"CHINESE_TRADITIONAL", 950},
                                                        {"THAI", 874}};
    for (const auto& [prefix, page] : pages)
        if (c.starts_with(prefix)) return page;
    return kMssxDefaultCodePage;
}

std::string mssx_fit_code_page(const std::string& utf8, int code_page)
{
    if (code_page == kMssxUtf8CodePage) return utf8;
    // plain ASCII is in every page
    bool ascii = true;
    for (unsigned char c : utf8) ascii = ascii && c < 0x80;
    if (ascii) return utf8;
    std::string out;
    if (code_page == kMssxDefaultCodePage) {
        for_each_code_point(utf8, [&](char32_t c, std::string_view bytes) {
            if (cp1252_byte(c) < 0)
                out += '?';
            else
                out += bytes;
        });
        return out;
    }
    encode(utf8, code_page, [&](std::string_view bytes, const std::string&, bool ok) {
        if (ok)
            out += bytes;
        else
            out += '?';
    });
    return out;
}

std::string mssx_to_code_page(const std::string& utf8, int code_page)
{
    if (code_page == kMssxUtf8CodePage) return utf8;
    std::string out;
    encode(utf8, code_page, [&](std::string_view, const std::string& page_bytes, bool ok) {
        if (ok)
            out += page_bytes;
        else
            out += '?';
    });
    return out;
}

size_t mssx_code_page_length(const std::string& utf8, int code_page)
{
    bool ascii = true;
    for (unsigned char c : utf8) ascii = ascii && c < 0x80;
    if (ascii || code_page == kMssxUtf8CodePage) return utf8.size();
    return mssx_to_code_page(utf8, code_page).size();
}

std::string mssx_from_code_page(const std::string& bytes, int code_page)
{
    if (code_page == kMssxUtf8CodePage) return bytes;
    std::string out;
    if (code_page == kMssxDefaultCodePage) {
        for (unsigned char b : bytes)
            append_utf8(out, b >= 0x80 && b < 0xA0 ? kCp1252High[b - 0x80] : static_cast<char32_t>(b));
        return out;
    }
    converter cv("UTF-8", iconv_name(code_page));
    if (cv.ok() && cv.run(bytes, out)) return out;
    // bytes that are no text of the page read one by one, each a '?' when it is none
    out.clear();
    std::string one;
    for (char b : bytes) out += cv.ok() && cv.run(std::string_view(&b, 1), one) ? one : std::string("?");
    return out;
}

std::string mssx_utf8_of_code_point(char32_t c)
{
    std::string out;
    append_utf8(out, c);
    return out;
}

size_t mssx_utf16_length(const std::string& utf8)
{
    size_t n = 0;
    for (unsigned char c : utf8) {
        if ((c & 0xC0) != 0x80) ++n;
        if (c >= 0xF0) ++n; // a four-byte sequence is a surrogate pair
    }
    return n;
}

std::string mssx_utf16le_of(const std::string& utf8)
{
    std::string out;
    out.reserve(utf8.size() * 2);
    auto unit = [&](uint32_t u) {
        out += static_cast<char>(u & 0xFF);
        out += static_cast<char>(u >> 8);
    };
    for_each_code_point(utf8, [&](char32_t c, std::string_view) {
        if (c >= kFirstSupplementary) {
            c -= kFirstSupplementary;
            unit(kHighSurrogate + (c >> 10));
            unit(kLowSurrogate + (c & 0x3FF));
        } else
            unit(c);
    });
    return out;
}

std::string mssx_utf8_of_utf16le(const std::string& bytes)
{
    std::string out;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        char32_t u = static_cast<unsigned char>(bytes[i]) | (static_cast<unsigned char>(bytes[i + 1]) << 8);
        if (u >= kHighSurrogate && u < kLowSurrogate && i + 3 < bytes.size()) {
            char32_t lo = static_cast<unsigned char>(bytes[i + 2]) | (static_cast<unsigned char>(bytes[i + 3]) << 8);
            if (lo >= kLowSurrogate && lo < kSurrogateEnd) {
                append_utf8(out, kFirstSupplementary + ((u - kHighSurrogate) << 10) + (lo - kLowSurrogate));
                i += 2;
                continue;
            }
        }
        append_utf8(out, u >= kHighSurrogate && u < kSurrogateEnd ? kReplacement : u);
    }
    return out;
}
