#include "ORA/ora_index_filter.h"

#include <cwctype>
#include <vector>

#include "TK/tk_logger.h"

namespace {

enum class tok_kind { column, number, text, word, op };

struct filter_token {
    tok_kind kind;
    std::wstring text; // a column's source name, a literal's value, an upper-case word, an operator
};

// Words a filtered index may hold besides its columns: SQL Server allows
// comparisons, IN, IS [NOT] NULL, AND, OR and NOT, and stores IN as ORs.
const wchar_t* const k_words[] = {L"AND", L"OR", L"NOT", L"IS", L"NULL", L"IN"};

bool is_word(const std::wstring& upper)
{
    for (const wchar_t* w : k_words)
        if (upper == w) return true;
    return false;
}

std::wstring upper_ascii(std::wstring s)
{
    for (auto& c : s)
        if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - L'a' + L'A');
    return s;
}

// Splits the filter into tokens; false on a character the filter language has not.
bool tokenize(const std::wstring& s, std::vector<filter_token>& out)
{
    size_t i = 0;
    while (i < s.size()) {
        const wchar_t c = s[i];
        if (std::iswspace(static_cast<wint_t>(c))) {
            ++i;
        } else if (c == L'[' || c == L'"') {
            const wchar_t close = c == L'[' ? L']' : L'"';
            std::wstring name;
            size_t k = i + 1;
            for (;; ++k) {
                if (k >= s.size()) return false;
                if (s[k] == close) {
                    if (k + 1 < s.size() && s[k + 1] == close) {
                        name.push_back(close);
                        ++k;
                        continue;
                    }
                    break;
                }
                name.push_back(s[k]);
            }
            out.push_back({tok_kind::column, name});
            i = k + 1;
        } else if (c == L'\'' || ((c == L'N' || c == L'n') && i + 1 < s.size() && s[i + 1] == L'\'')) {
            size_t k = c == L'\'' ? i + 1 : i + 2;
            std::wstring value;
            for (;; ++k) {
                if (k >= s.size()) return false;
                if (s[k] == L'\'') {
                    if (k + 1 < s.size() && s[k + 1] == L'\'') {
                        value.push_back(L'\'');
                        ++k;
                        continue;
                    }
                    break;
                }
                value.push_back(s[k]);
            }
            out.push_back({tok_kind::text, value});
            i = k + 1;
        } else if (std::iswdigit(static_cast<wint_t>(c)) ||
                   (c == L'.' && i + 1 < s.size() && std::iswdigit(s[i + 1]))) {
            size_t k = i;
            // 0x... is a binary constant, which an index condition cannot compare with RAW alike.
            if (c == L'0' && k + 1 < s.size() && (s[k + 1] == L'x' || s[k + 1] == L'X')) return false;
            while (k < s.size() && (std::iswdigit(static_cast<wint_t>(s[k])) || s[k] == L'.')) ++k;
            if (k < s.size() && (s[k] == L'e' || s[k] == L'E')) {
                ++k;
                if (k < s.size() && (s[k] == L'+' || s[k] == L'-')) ++k;
                while (k < s.size() && std::iswdigit(static_cast<wint_t>(s[k]))) ++k;
            }
            out.push_back({tok_kind::number, s.substr(i, k - i)});
            i = k;
        } else if (std::iswalpha(static_cast<wint_t>(c)) || c == L'_' || c == L'@' || c == L'#') {
            size_t k = i;
            while (k < s.size() && (std::iswalnum(static_cast<wint_t>(s[k])) || s[k] == L'_' || s[k] == L'@' ||
                                    s[k] == L'#' || s[k] == L'$'))
                ++k;
            const std::wstring w = s.substr(i, k - i);
            const std::wstring up = upper_ascii(w);
            out.push_back(is_word(up) ? filter_token{tok_kind::word, up} : filter_token{tok_kind::column, w});
            i = k;
        } else {
            static const wchar_t* const ops[] = {L"<>", L"!=", L"<=", L">=", L"!<", L"!>", L"=",
                                                 L"<",  L">",  L"(",  L")",  L",",  L"-",  L"+"};
            bool found = false;
            for (const wchar_t* op : ops) {
                const std::wstring o(op);
                if (s.compare(i, o.size(), o) == 0) {
                    out.push_back({tok_kind::op, o});
                    i += o.size();
                    found = true;
                    break;
                }
            }
            if (!found) return false;
        }
    }
    return true;
}

} // namespace

std::optional<std::wstring> ora_index_filter(const std::wstring& tsql, const ora_filter_column& column_of)
{
    std::vector<filter_token> toks;
    if (!tokenize(tsql, toks) || toks.empty()) {
        tk_logger::log(2, L"Index filter %s: not a condition Oracle SQL can say", tsql.c_str());
        return std::nullopt;
    }
    std::wstring out;
    auto put = [&](const std::wstring& piece) {
        if (!out.empty() && out.back() != L'(' && piece != L")" && piece != L",") out += L' ';
        out += piece;
    };
    // The column of the comparison being read, to tell a text constant's meaning.
    const t_ftd* compared = nullptr;
    bool text_seen = false;
    for (size_t i = 0; i < toks.size(); ++i) {
        const filter_token& t = toks[i];
        switch (t.kind) {
        case tok_kind::column: {
            // A name followed by a bracket is a function call.
            if (i + 1 < toks.size() && toks[i + 1].kind == tok_kind::op && toks[i + 1].text == L"(")
                return std::nullopt;
            const t_ftd* col = column_of(t.text);
            if (!col) return std::nullopt;
            if (text_seen && col->vartype != VT_BSTR) return std::nullopt;
            compared = col;
            put(L"\"" + col->name + L"\"");
            break;
        }
        case tok_kind::number:
            put(t.text);
            break;
        case tok_kind::text: {
            // Oracle keeps an empty text as NULL, and reads a date from text by the session's format.
            if (t.text.empty() || (compared && compared->vartype != VT_BSTR)) return std::nullopt;
            text_seen = true;
            std::wstring q = L"'";
            for (wchar_t c : t.text) {
                q += c;
                if (c == L'\'') q += L'\'';
            }
            put(q + L"'");
            break;
        }
        case tok_kind::word:
            if (t.text == L"AND" || t.text == L"OR") {
                compared = nullptr;
                text_seen = false;
            }
            put(t.text);
            break;
        case tok_kind::op:
            if (t.text == L"!<")
                put(L">=");
            else if (t.text == L"!>")
                put(L"<=");
            else if (t.text == L"!=")
                put(L"<>");
            else if (t.text == L"-" || t.text == L"+") {
                // Only as the sign of a number.
                if (i + 1 >= toks.size() || toks[i + 1].kind != tok_kind::number) return std::nullopt;
                put(t.text + toks[i + 1].text);
                ++i;
            } else
                put(t.text);
            break;
        }
    }
    tk_logger::log(2, L"Index filter %s in Oracle SQL: %s", tsql.c_str(), out.c_str());
    return out;
}
