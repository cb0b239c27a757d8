#include "platform/eora/eora_storage_name.h"

#include "platform/embedded/embedded_quote.h"

namespace eora {

namespace {

constexpr char k_escape = '~';
// Prefixes no stored name starts with: an escape before an upper-case letter is never written.
constexpr std::string_view k_index_prefix = "~I";
constexpr std::string_view k_constraint_prefix = "~C";

bool lower_ascii(char c) { return c >= 'a' && c <= 'z'; }

} // namespace

std::string stored_name(std::string_view n)
{
    std::string out;
    out.reserve(n.size() + 4);
    for (char c : n) {
        if (lower_ascii(c) || c == k_escape || c == '.') out += k_escape;
        out += c;
    }
    return out;
}

std::string oracle_name(std::string_view s)
{
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        const char c = s[i];
        if (c == k_escape) {
            if (i + 1 == s.size()) return std::string(s);
            const char e = s[++i];
            if (!lower_ascii(e) && e != k_escape && e != '.') return std::string(s);
            out += e;
        } else if (lower_ascii(c) || c == '.') {
            return std::string(s);
        } else {
            out += c;
        }
    }
    return out;
}

std::string table_storage(const std::string& owner, const std::string& name)
{
    return stored_name(owner) + "." + stored_name(name);
}

std::string index_storage(const std::string& owner, const std::string& name)
{
    return std::string(k_index_prefix) + table_storage(owner, name);
}

std::string constraint_storage(const std::string& owner, const std::string& name, const std::string& what)
{
    return std::string(k_constraint_prefix) + table_storage(owner, name) + "#" + what;
}

std::string q_name(std::string_view n) { return embedded::quote_ident(stored_name(n)); }

} // namespace eora
