#include "platform/mssx/mssx_sqlcmd.h"
#include <cctype>
#include "platform/mssx/mssx_error.h"
#include "platform/mssx/mssx_lexer.h"

namespace {

[[noreturn]] void fatal(const std::string& what, int line_no)
{
    throw mssx_error(0, "A fatal scripting error occurred. " + what, 16, line_no);
}

bool valid_name(const std::string& n)
{
    if (n.empty()) return false;
    for (unsigned char c : n)
        if (!(std::isalnum(c) || c == '_' || c == '-')) return false;
    return true;
}

std::string trim(const std::string& s)
{
    size_t a = s.find_first_not_of(" \t");
    if (a == std::string::npos) return std::string();
    size_t b = s.find_last_not_of(" \t");
    return s.substr(a, b - a + 1);
}

} // namespace

void mssx_sqlcmd_state::set(const std::string& name, const std::string& value) { variables[mssx_upper(name)] = value; }

std::string mssx_sqlcmd_state::substitute(const std::string& line, int line_no) const
{
    size_t at = line.find("$(");
    if (at == std::string::npos) return line;
    std::string out;
    size_t from = 0;
    while (at != std::string::npos) {
        size_t close = line.find(')', at + 2);
        if (close == std::string::npos)
            fatal("Syntax error in the variable reference at line " + std::to_string(line_no) + ".", line_no);
        std::string name = line.substr(at + 2, close - at - 2);
        auto it = variables.find(mssx_upper(name));
        if (it == variables.end()) fatal("Variable " + name + " is not defined.", line_no);
        out.append(line, from, at - from);
        out += it->second; // the value is not searched again
        from = close + 1;
        at = line.find("$(", from);
    }
    out.append(line, from, std::string::npos);
    return out;
}

bool mssx_sqlcmd_state::command(const std::string& line, int line_no)
{
    std::string l = trim(line);
    if (!l.empty() && l.back() == '\r') l = trim(l.substr(0, l.size() - 1));
    if (l.size() < 2 || l[0] != ':' || !std::isalpha(static_cast<unsigned char>(l[1]))) return false;
    size_t sp = l.find_first_of(" \t");
    std::string word = mssx_upper(l.substr(1, sp == std::string::npos ? std::string::npos : sp - 1));
    std::string rest = sp == std::string::npos ? std::string() : trim(l.substr(sp));
    if (word == "SETVAR") {
        size_t nsp = rest.find_first_of(" \t");
        std::string name = rest.substr(0, nsp);
        if (!valid_name(name))
            fatal("Syntax error in the :setvar command at line " + std::to_string(line_no) + ".", line_no);
        std::string value = nsp == std::string::npos ? std::string() : trim(rest.substr(nsp));
        if (nsp == std::string::npos) {
            variables.erase(mssx_upper(name)); // :setvar name alone removes it
            return true;
        }
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
            // "a ""b""" is a "b"
            std::string inner;
            for (size_t i = 1; i + 1 < value.size(); ++i) {
                inner += value[i];
                if (value[i] == '"' && value[i + 1] == '"') ++i;
            }
            value = inner;
        }
        set(name, value);
        return true;
    }
    if (word == "ON") {
        std::string up = mssx_upper(rest);
        std::string what = trim(up.substr(0, up.find_first_of(" \t")));
        std::string mode = trim(up.substr(what.size()));
        if (what != "ERROR" || (mode != "EXIT" && mode != "IGNORE"))
            fatal("Syntax error in the :on error command at line " + std::to_string(line_no) + ".", line_no);
        exit_on_error = mode == "EXIT";
        return true;
    }
    fatal("The sqlcmd command :" + mssx_upper(word) + " is not supported by the embedded server's client.", line_no);
}
