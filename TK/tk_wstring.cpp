#include "TK/tk_wstring.h"

#include "TK/tk_logger.h"
#include "TK/tk_text.h"
#include "platform/win32/win_compare.h"

namespace {
bool same_text(std::wstring_view a, std::wstring_view b, bool case_sensitive)
{
    if (case_sensitive) return a == b;
    return compare_string(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a, b) == CSTR_EQUAL;
}
} // namespace

tk_wstring& tk_wstring::ltrim()
{
    assign(tk_trim_left(static_cast<const std::wstring&>(*this)));
    return *this;
}

tk_wstring& tk_wstring::rtrim()
{
    assign(tk_trim_right(static_cast<const std::wstring&>(*this)));
    return *this;
}

bool tk_wstring::starts_with(const std::wstring& prefix, bool case_sensitive) const
{
    if (prefix.empty()) return true;
    if (prefix.size() > size()) return false;
    return same_text(std::wstring_view(*this).substr(0, prefix.size()), prefix, case_sensitive);
}

bool tk_wstring::ends_with(const std::wstring& suffix, bool case_sensitive) const
{
    if (suffix.empty()) return true;
    if (suffix.size() > size()) return false;
    return same_text(std::wstring_view(*this).substr(size() - suffix.size()), suffix, case_sensitive);
}

tk_wstring tk_wstring::replace_all(const std::wstring& from, const std::wstring& to)
{
    tk_logger::log(1, L"tk_wstring::replace_all(%s,%s)", from.c_str(), to.c_str());
    if (from.empty()) return *this;
    size_t pos = 0;
    while ((pos = find(from, pos)) != npos) {
        replace(pos, from.size(), to);
        pos += to.size();
    }
    return *this;
}

tk_wstring tk_wstring::to_upper()
{
    tk_logger::log(1, L"tk_wstring::to_upper(%s)", c_str());
    for (wchar_t& c : *this) c = char_upper(c);
    return *this;
}

bool tk_wstring::split(wchar_t separator, std::vector<std::wstring>& out) const
{
    tk_logger::log(1, L"tk_wstring::split(%c)", separator);
    out.clear();
    if (empty()) return true;
    size_t start = 0;
    for (;;) {
        size_t pos = find(separator, start);
        if (pos == npos) {
            out.push_back(substr(start));
            break;
        }
        out.push_back(substr(start, pos - start));
        start = pos + 1;
    }
    return true;
}
