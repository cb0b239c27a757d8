#include "platform/eora/eora_script.h"

#include "platform/eora/eora_lexer.h"

#include <cctype>

namespace eora {

namespace {

std::string trim(std::string_view s)
{
    size_t b = 0, e = s.size();
    while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) ++b;
    while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) --e;
    return std::string(s.substr(b, e - b));
}

// True when the statement so far opens a PL/SQL block (a trigger).
bool is_block(const std::string& text)
{
    std::string u = upper(text);
    size_t p = 0;
    auto word = [&]() {
        while (p < u.size() && std::isspace(static_cast<unsigned char>(u[p]))) ++p;
        size_t b = p;
        while (p < u.size() && (std::isalnum(static_cast<unsigned char>(u[p])) || u[p] == '_')) ++p;
        return u.substr(b, p - b);
    };
    std::string w = word();
    if (w == "BEGIN" || w == "DECLARE") return true;
    if (w != "CREATE") return false;
    w = word();
    if (w == "OR") {
        word();
        w = word();
    }
    return w == "TRIGGER" || w == "PROCEDURE" || w == "FUNCTION" || w == "PACKAGE";
}

} // namespace

std::vector<std::string> split_script(std::string_view s)
{
    std::vector<std::string> out;
    std::string cur;
    bool in_str = false, in_qid = false, in_block = false;
    size_t i = 0;
    auto flush = [&] {
        std::string t = trim(cur);
        if (!t.empty()) out.push_back(t);
        cur.clear();
        in_block = false;
    };
    while (i < s.size()) {
        // A line holding only '/' ends a block (or the statement).
        bool line_start = i == 0 || s[i - 1] == '\n';
        if (line_start && !in_str && !in_qid) {
            size_t e = s.find('\n', i);
            std::string line = trim(s.substr(i, e == std::string_view::npos ? std::string_view::npos : e - i));
            if (line == "/") {
                flush();
                i = e == std::string_view::npos ? s.size() : e + 1;
                continue;
            }
        }
        char c = s[i];
        if (!in_str && !in_qid) {
            if (c == '-' && i + 1 < s.size() && s[i + 1] == '-') {
                size_t e = s.find('\n', i);
                i = e == std::string_view::npos ? s.size() : e;
                continue;
            }
            if (c == '/' && i + 1 < s.size() && s[i + 1] == '*' && !(i + 2 < s.size() && s[i + 2] == '+')) {
                size_t e = s.find("*/", i + 2);
                i = e == std::string_view::npos ? s.size() : e + 2;
                continue;
            }
            if (c == ';' && !in_block) {
                if (is_block(cur)) {
                    in_block = true;
                } else {
                    flush();
                    ++i;
                    continue;
                }
            }
        }
        if (c == '\'' && !in_qid)
            in_str = !in_str;
        else if (c == '"' && !in_str)
            in_qid = !in_qid;
        cur += c;
        ++i;
    }
    flush();
    return out;
}

} // namespace eora
