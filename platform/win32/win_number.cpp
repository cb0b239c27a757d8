#include "platform/win32/win_number.h"

#include <locale.h>
#include <cerrno>
#include <clocale>
#include <cstdlib>
#include <string>

namespace {

locale_t c_locale()
{
    static const locale_t loc = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
    return loc;
}

// strto* want a terminated text and stop at its first NUL.
bool terminated(std::string_view text, std::string& copy)
{
    if (text.empty() || text.find('\0') != std::string_view::npos) return false;
    copy.assign(text);
    return true;
}

template <class T, class F>
bool parse_integer(std::string_view text, T& out, F convert)
{
    std::string s;
    if (!terminated(text, s)) return false;
    char* end = nullptr;
    errno = 0;
    auto v = convert(s.c_str(), &end);
    if (end == s.c_str() || *end != '\0' || errno == ERANGE) return false;
    out = static_cast<T>(v);
    return true;
}

} // namespace

bool parse_double_c(std::string_view text, double& out)
{
    std::string s;
    if (!terminated(text, s)) return false;
    char* end = nullptr;
    errno = 0;
    double v = strtod_l(s.c_str(), &end, c_locale());
    if (end == s.c_str() || *end != '\0' || errno == ERANGE) return false;
    out = v;
    return true;
}

bool parse_int64(std::string_view text, int64_t& out, int base)
{
    return parse_integer(text, out, [base](const char* s, char** end) { return std::strtoll(s, end, base); });
}

bool parse_uint64(std::string_view text, uint64_t& out, int base)
{
    // strtoull accepts "-1" and wraps it round; a count never has a sign.
    size_t first = text.find_first_not_of(" \t\n\v\f\r");
    if (first == std::string_view::npos || text[first] == '-') return false;
    return parse_integer(text, out, [base](const char* s, char** end) { return std::strtoull(s, end, base); });
}
