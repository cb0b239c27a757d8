#include "MSS/mss_view_def.h"

#include <cwctype>
#include <vector>

namespace {

bool is_ident_char(wchar_t c)
{
    return std::iswalnum(static_cast<wint_t>(c)) || c == L'_' || c == L'@' || c == L'#' || c == L'$' ||
           static_cast<unsigned long>(c) > 0x7F;
}

bool is_regular_ident(const std::wstring& s)
{
    if (s.empty()) return false;
    const wchar_t c0 = s[0];
    if (!(std::iswalpha(static_cast<wint_t>(c0)) || c0 == L'_' || static_cast<unsigned long>(c0) > 0x7F)) return false;
    for (wchar_t c : s)
        if (!is_ident_char(c)) return false;
    return true;
}

// Pieces of a statement text: plain SQL, or an atomic token that is copied
// as a whole ('literal', "quoted name", [bracketed name]).
struct piece {
    bool atomic;
    std::wstring text;
};

std::vector<piece> split_pieces(const std::wstring& t)
{
    std::vector<piece> out;
    std::wstring plain;
    size_t i = 0;
    while (i < t.size()) {
        const wchar_t c = t[i];
        if (c == L'\'' || c == L'"' || c == L'[') {
            const wchar_t close = c == L'[' ? L']' : c;
            size_t j = i + 1;
            while (j < t.size()) {
                if (t[j] == close) {
                    if (j + 1 < t.size() && t[j + 1] == close) {
                        j += 2;
                        continue;
                    }
                    break;
                }
                ++j;
            }
            if (!plain.empty()) {
                out.push_back({false, plain});
                plain.clear();
            }
            const size_t end = j < t.size() ? j + 1 : t.size();
            out.push_back({true, t.substr(i, end - i)});
            i = end;
        } else {
            plain += c;
            ++i;
        }
    }
    if (!plain.empty()) out.push_back({false, plain});
    return out;
}

void replace_all(std::wstring& s, const std::wstring& from)
{
    size_t pos = 0;
    while ((pos = s.find(from, pos)) != std::wstring::npos) s.erase(pos, from.size());
}

size_t find_no_case(const std::wstring& text, const std::wstring& pattern)
{
    if (pattern.size() > text.size()) return std::wstring::npos;
    for (size_t i = 0; i + pattern.size() <= text.size(); ++i) {
        size_t k = 0;
        while (k < pattern.size() &&
               std::towupper(static_cast<wint_t>(text[i + k])) == std::towupper(static_cast<wint_t>(pattern[k])))
            ++k;
        if (k == pattern.size()) return i;
    }
    return std::wstring::npos;
}

} // namespace

std::wstring collapse_blanks(const std::wstring& text)
{
    std::wstring out;
    out.reserve(text.size());
    bool in_single = false, in_double = false, in_run = false;
    for (wchar_t c : text) {
        if (c == L'\'' && !in_double)
            in_single = !in_single;
        else if (c == L'"' && !in_single)
            in_double = !in_double;
        const bool blank = c == L'\r' || c == L'\n' || c == L'\t' || c == L' ';
        if (!in_single && !in_double && blank) {
            if (!in_run) out += L' ';
            in_run = true;
            continue;
        }
        in_run = false;
        out += c;
    }
    return out;
}

std::optional<std::wstring> mss_view_select_text(const std::wstring& definition, bool view_owned)
{
    const std::wstring norm = collapse_blanks(definition);
    const size_t pos = find_no_case(norm, L" as select");
    if (pos == std::wstring::npos) return std::nullopt;
    const std::wstring sel = norm.substr(pos + 4);

    static const wchar_t* const phrases[] = {L"TOP 100 PERCENT",   L"TOP (100) PERCENT",   L"top 100 percent",
                                             L"top (100) percent", L" WITH SCHEMABINDING", L" with schemabinding"};
    std::wstring result;
    for (piece& p : split_pieces(sel)) {
        if (!p.atomic) {
            for (const wchar_t* ph : phrases) replace_all(p.text, ph);
            result += p.text;
        } else if (p.text.size() >= 2 && p.text.front() == L'[' && p.text.back() == L']') {
            std::wstring inner = p.text.substr(1, p.text.size() - 2);
            result += is_regular_ident(inner) ? inner : p.text;
        } else {
            result += p.text;
        }
    }

    if (view_owned) {
        std::wstring out;
        for (const piece& p : split_pieces(result)) {
            if (p.atomic) {
                out += p.text;
                continue;
            }
            const std::wstring& s = p.text;
            for (size_t i = 0; i < s.size();) {
                const bool starts = s.compare(i, 4, L"dbo.") == 0;
                const wchar_t prev = i > 0 ? s[i - 1] : (out.empty() ? L' ' : out.back());
                if (starts && !is_ident_char(prev) && prev != L'.') {
                    i += 4;
                    continue;
                }
                out += s[i++];
            }
        }
        result = out;
    }

    const size_t last = result.find_last_not_of(L' ');
    result = last == std::wstring::npos ? std::wstring() : result.substr(0, last + 1);
    const size_t first = result.find_first_not_of(L' ');
    return first == std::wstring::npos ? std::wstring() : result.substr(first);
}
