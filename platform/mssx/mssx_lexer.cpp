#include "platform/mssx/mssx_lexer.h"
#include <cctype>
#include <charconv>
#include "platform/mssx/mssx_error.h"
#include "platform/mssx/mssx_sqlcmd.h"

namespace {
bool ident_start(unsigned char c) { return std::isalpha(c) || c == '_' || c == '#' || c >= 0x80; }
bool ident_char(unsigned char c)
{
    return std::isalnum(c) || c == '_' || c == '#' || c == '$' || c == '@' || c >= 0x80;
}
int hexval(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}
} // namespace

std::string mssx_upper(std::string s)
{
    for (auto& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

bool mssx_iequal(const std::string& a, const std::string& b)
{
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

std::vector<mssx_token> mssx_lex(const std::string& s, bool quoted_identifier)
{
    std::vector<mssx_token> out;
    size_t i = 0, n = s.size();
    int line = 1;
    auto count_lines = [&](size_t from, size_t to) {
        for (size_t k = from; k < to && k < n; ++k)
            if (s[k] == '\n') ++line;
    };
    while (i < n) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        if (c == '\n') {
            ++line;
            ++i;
            continue;
        }
        if (std::isspace(c)) {
            ++i;
            continue;
        }
        if (c == '-' && i + 1 < n && s[i + 1] == '-') {
            while (i < n && s[i] != '\n') ++i;
            continue;
        }
        if (c == '/' && i + 1 < n && s[i + 1] == '*') {
            int depth = 0;
            size_t start = i;
            int start_line = line;
            while (i < n) {
                if (s[i] == '/' && i + 1 < n && s[i + 1] == '*') {
                    ++depth;
                    i += 2;
                    continue;
                }
                if (s[i] == '*' && i + 1 < n && s[i + 1] == '/') {
                    i += 2;
                    if (--depth == 0) break;
                    continue;
                }
                if (s[i] == '\n') ++line;
                ++i;
            }
            if (depth != 0) throw mssx_error(113, "Missing end comment mark '*/'.", 15, start_line);
            (void)start;
            continue;
        }
        mssx_token t;
        t.begin = i;
        t.line = line;
        auto quoted = [&](char close, mssx_tok kind, size_t from) {
            size_t k = from;
            std::string text;
            while (true) {
                if (k >= n) {
                    if (kind == mssx_tok::qident && close == ']')
                        throw mssx_error(105, "Unclosed quotation mark after the character string '" + text + "'.", 15,
                                         t.line);
                    throw mssx_error(105, "Unclosed quotation mark after the character string '" + text + "'.", 15,
                                     t.line);
                }
                if (s[k] == close) {
                    if (k + 1 < n && s[k + 1] == close) {
                        text += close;
                        k += 2;
                        continue;
                    }
                    ++k;
                    break;
                }
                text += s[k++];
            }
            count_lines(from, k);
            t.kind = kind;
            t.text = std::move(text);
            i = k;
        };
        if ((c == 'N' || c == 'n') && i + 1 < n && s[i + 1] == '\'') {
            quoted('\'', mssx_tok::nstring, i + 2);
        } else if (c == '\'') {
            quoted('\'', mssx_tok::string, i + 1);
        } else if (c == '[') {
            quoted(']', mssx_tok::qident, i + 1);
        } else if (c == '"') {
            quoted('"', quoted_identifier ? mssx_tok::qident : mssx_tok::string, i + 1);
        } else if (c == '0' && i + 1 < n && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
            size_t k = i + 2;
            std::string hex;
            while (k < n && hexval(s[k]) >= 0) hex += s[k++];
            if (hex.size() % 2) hex.insert(0, "0");
            std::string bytes;
            for (size_t h = 0; h < hex.size(); h += 2)
                bytes += static_cast<char>(hexval(hex[h]) * 16 + hexval(hex[h + 1]));
            t.kind = mssx_tok::binary;
            t.text = bytes;
            i = k;
        } else if (std::isdigit(c) || (c == '.' && i + 1 < n && std::isdigit(static_cast<unsigned char>(s[i + 1]))) ||
                   (c == '$' && i + 1 < n && (std::isdigit(static_cast<unsigned char>(s[i + 1])) || s[i + 1] == '.'))) {
            // a money literal's currency sign ($20.00) is no part of the number
            if (c == '$') ++i;
            size_t k = i;
            while (k < n && std::isdigit(static_cast<unsigned char>(s[k]))) ++k;
            if (k < n && s[k] == '.') {
                ++k;
                while (k < n && std::isdigit(static_cast<unsigned char>(s[k]))) ++k;
            }
            if (k < n && (s[k] == 'e' || s[k] == 'E')) {
                size_t e = k + 1;
                if (e < n && (s[e] == '+' || s[e] == '-')) ++e;
                if (e < n && std::isdigit(static_cast<unsigned char>(s[e]))) {
                    k = e;
                    while (k < n && std::isdigit(static_cast<unsigned char>(s[k]))) ++k;
                }
            }
            t.kind = mssx_tok::number;
            t.text = s.substr(i, k - i);
            i = k;
        } else if (c == '@') {
            size_t k = i + 1;
            if (k < n && s[k] == '@') ++k;
            while (k < n && ident_char(static_cast<unsigned char>(s[k]))) ++k;
            t.kind = mssx_tok::variable;
            t.text = s.substr(i, k - i);
            i = k;
        } else if (ident_start(c)) {
            size_t k = i;
            while (k < n && ident_char(static_cast<unsigned char>(s[k]))) ++k;
            t.kind = mssx_tok::ident;
            t.text = s.substr(i, k - i);
            i = k;
        } else {
            static const char* two[] = {"<>", "!=", ">=", "<=", "!<", "!>", "+=", "-=", "*=", "/=", "||"};
            t.kind = mssx_tok::op;
            t.text = std::string(1, static_cast<char>(c));
            for (const char* o : two)
                if (i + 1 < n && s[i] == o[0] && s[i + 1] == o[1]) {
                    t.text = o;
                    break;
                }
            i += t.text.size();
        }
        t.end = i;
        out.push_back(std::move(t));
    }
    mssx_token e;
    e.kind = mssx_tok::end;
    e.begin = e.end = n;
    e.line = line;
    out.push_back(e);
    return out;
}

std::vector<mssx_batch> mssx_split_batches(const std::string& script, mssx_sqlcmd_state* sqlcmd)
{
    mssx_sqlcmd_state own;
    mssx_sqlcmd_state& cmd = sqlcmd ? *sqlcmd : own;
    std::vector<mssx_batch> out;
    std::string cur;
    int line = 1, start = 1;
    bool in_string = false, in_bracket = false, in_quoted = false;
    int comment = 0;
    size_t pos = 0;
    std::string text = script;
    if (text.size() >= 3 && static_cast<unsigned char>(text[0]) == 0xEF &&
        static_cast<unsigned char>(text[1]) == 0xBB && static_cast<unsigned char>(text[2]) == 0xBF)
        text.erase(0, 3);
    while (pos <= text.size()) {
        size_t eol = text.find('\n', pos);
        if (eol == std::string::npos) eol = text.size();
        // the line as written (a carriage return in a literal stays) and without its line end
        std::string raw = cmd.substitute(text.substr(pos, eol - pos), line);
        std::string ln = raw;
        if (!ln.empty() && ln.back() == '\r') ln.pop_back();
        bool state_clean = !in_string && !in_bracket && !in_quoted && comment == 0;
        if (state_clean && cmd.command(ln, line)) {
            if (!cur.empty()) cur += '\n'; // the batch's lines keep their numbers
            if (eol == text.size()) break;
            pos = eol + 1;
            ++line;
            continue;
        }
        // a GO line: GO [count], blanks around
        size_t b = ln.find_first_not_of(" \t");
        bool is_go = false;
        int count = 1;
        if (state_clean && b != std::string::npos && ln.size() >= b + 2 && mssx_iequal(ln.substr(b, 2), "GO")) {
            std::string rest = ln.substr(b + 2);
            size_t r = rest.find_first_not_of(" \t");
            if (r == std::string::npos)
                is_go = true;
            else if (rest.compare(r, 2, "--") == 0)
                is_go = true;
            else {
                size_t e = r;
                while (e < rest.size() && std::isdigit(static_cast<unsigned char>(rest[e]))) ++e;
                if (e > r && rest.find_first_not_of(" \t", e) == std::string::npos) {
                    is_go = true;
                    auto [end, ec] = std::from_chars(rest.data() + r, rest.data() + e, count);
                    (void)end;
                    // a count the server cannot hold (or zero) stops the script rather than guessing
                    if (ec != std::errc() || count < 1)
                        throw mssx_error(
                            0,
                            "A fatal scripting error occurred. Incorrect syntax was encountered while parsing GO " +
                                rest.substr(r, e - r) + ".",
                            16, line);
                }
            }
        }
        if (is_go) {
            if (cur.find_first_not_of(" \t\r\n") != std::string::npos)
                out.push_back({cur, start, count, cmd.exit_on_error});
            cur.clear();
            start = line + 1;
        } else {
            // track quotes and comments so a GO inside them is not a separator
            for (size_t k = 0; k < ln.size(); ++k) {
                char ch = ln[k];
                if (comment) {
                    if (ch == '*' && k + 1 < ln.size() && ln[k + 1] == '/') {
                        --comment;
                        ++k;
                    } else if (ch == '/' && k + 1 < ln.size() && ln[k + 1] == '*') {
                        ++comment;
                        ++k;
                    }
                } else if (in_string) {
                    if (ch == '\'') in_string = false;
                } else if (in_bracket) {
                    if (ch == ']' && k + 1 < ln.size() && ln[k + 1] == ']')
                        ++k; // ]] is a ] of the name
                    else if (ch == ']')
                        in_bracket = false;
                } else if (in_quoted) {
                    if (ch == '"') in_quoted = false;
                } else if (ch == '\'')
                    in_string = true;
                else if (ch == '[')
                    in_bracket = true;
                else if (ch == '"')
                    in_quoted = true;
                else if (ch == '-' && k + 1 < ln.size() && ln[k + 1] == '-')
                    break;
                else if (ch == '/' && k + 1 < ln.size() && ln[k + 1] == '*') {
                    ++comment;
                    ++k;
                }
            }
            if (eol == text.size() && raw.empty()) break; // nothing after the last line end
            if (cur.empty()) start = line;
            cur += raw;
            cur += '\n';
        }
        if (eol == text.size()) break;
        pos = eol + 1;
        ++line;
    }
    if (cur.find_first_not_of(" \t\r\n") != std::string::npos) out.push_back({cur, start, 1, cmd.exit_on_error});
    return out;
}
