#include "platform/eora/eora_lexer.h"

#include "platform/eora/eora_error.h"

#include <algorithm>

namespace eora {

std::string upper(std::string_view s)
{
    std::string r(s);
    for (char& c : r)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return r;
}

namespace {

bool ident_start(unsigned char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c >= 0x80; }
bool ident_part(unsigned char c)
{
    return ident_start(c) || (c >= '0' && c <= '9') || c == '_' || c == '$' || c == '#';
}
bool digit(unsigned char c) { return c >= '0' && c <= '9'; }

} // namespace

std::vector<token> tokenize(std::string_view s, size_t max_ident)
{
    std::vector<token> out;
    size_t i = 0, n = s.size();
    // A token with the space after it takes three bytes or more; a long text grows as it goes.
    out.reserve(std::min<size_t>(n / 3 + 2, 512));
    while (i < n) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v') {
            ++i;
            continue;
        }
        if (c == '-' && i + 1 < n && s[i + 1] == '-') {
            while (i < n && s[i] != '\n') ++i;
            continue;
        }
        if (c == '/' && i + 1 < n && s[i + 1] == '*') {
            size_t e = s.find("*/", i + 2);
            i = (e == std::string_view::npos) ? n : e + 2;
            continue;
        }
        token t;
        t.begin = i;
        // N'...' is a national text literal, not the name N and a text.
        if ((c == 'N' || c == 'n') && i + 1 < n && s[i + 1] == '\'') {
            t.national = true;
            ++i;
            c = '\'';
        }
        if (c == '\'') {
            t.kind = tok::string;
            ++i;
            for (;;) {
                const size_t q = s.find('\'', i);
                if (q == std::string_view::npos) raise(1756);
                t.text.append(s.data() + i, q - i);
                if (q + 1 < n && s[q + 1] == '\'') {
                    t.text += '\'';
                    i = q + 2;
                    continue;
                }
                i = q + 1;
                break;
            }
        } else if (c == '"') {
            t.kind = tok::qident;
            size_t e = s.find('"', i + 1);
            if (e == std::string_view::npos) raise(1740);
            t.text = std::string(s.substr(i + 1, e - i - 1));
            if (t.text.empty()) raise(1741);
            if (t.text.find('\0') != std::string::npos) raise(911);
            if (t.text.size() > max_ident) raise(972);
            i = e + 1;
        } else if (ident_start(c)) {
            t.kind = tok::ident;
            size_t b = i;
            while (i < n && ident_part(static_cast<unsigned char>(s[i]))) ++i;
            t.text = upper(s.substr(b, i - b));
            if (t.text.size() > max_ident) raise(972);
        } else if (digit(c) || (c == '.' && i + 1 < n && digit(static_cast<unsigned char>(s[i + 1])))) {
            t.kind = tok::number;
            size_t b = i;
            while (i < n && digit(static_cast<unsigned char>(s[i]))) ++i;
            if (i < n && s[i] == '.' && !(i + 1 < n && s[i + 1] == '.')) {
                ++i;
                while (i < n && digit(static_cast<unsigned char>(s[i]))) ++i;
            }
            if (i < n && (s[i] == 'e' || s[i] == 'E')) {
                size_t j = i + 1;
                if (j < n && (s[j] == '+' || s[j] == '-')) ++j;
                if (j < n && digit(static_cast<unsigned char>(s[j]))) {
                    i = j;
                    while (i < n && digit(static_cast<unsigned char>(s[i]))) ++i;
                }
            }
            t.text = std::string(s.substr(b, i - b));
        } else if (c == ':') {
            t.kind = tok::bind;
            ++i;
            size_t b = i;
            if (i < n && s[i] == '"') {
                size_t e = s.find('"', i + 1);
                if (e == std::string_view::npos) raise(1740);
                t.text = std::string(s.substr(i + 1, e - i - 1));
                i = e + 1;
            } else {
                while (i < n && ident_part(static_cast<unsigned char>(s[i]))) ++i;
                t.text = upper(s.substr(b, i - b));
            }
            if (t.text.empty()) raise(1745);
        } else {
            t.kind = tok::op;
            static const char* two[] = {"||", "<=", ">=", "<>", "!=", "^=", ":="};
            bool done = false;
            if (i + 1 < n) {
                for (const char* op : two) {
                    if (s[i] == op[0] && s[i + 1] == op[1]) {
                        t.text = op;
                        i += 2;
                        done = true;
                        break;
                    }
                }
            }
            if (!done) {
                if (std::string_view("(),.*=<>+-/;@%").find(static_cast<char>(c)) == std::string_view::npos) raise(911);
                t.text = std::string(1, static_cast<char>(c));
                ++i;
            }
        }
        t.end = i;
        out.push_back(std::move(t));
    }
    token e;
    e.kind = tok::end;
    e.begin = e.end = n;
    out.push_back(e);
    return out;
}

} // namespace eora
