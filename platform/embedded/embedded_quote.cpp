#include "platform/embedded/embedded_quote.h"

namespace embedded {

namespace {
std::string quoted(const std::string& s, char q)
{
    std::string out;
    out.reserve(s.size() + 2);
    out += q;
    for (char c : s) {
        if (c == q) out += q;
        out += c;
    }
    out += q;
    return out;
}
} // namespace

std::string quote_ident(const std::string& name) { return quoted(name, '"'); }
std::string quote_literal(const std::string& text) { return quoted(text, '\''); }

} // namespace embedded
