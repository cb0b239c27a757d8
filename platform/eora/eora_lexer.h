// Tokens of Oracle SQL text for the embedded Oracle.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace eora {

enum class tok { ident, qident, string, number, bind, op, end };

struct token {
    tok kind = tok::end;
    std::string text; // ident: folded to upper case; qident: exact; string: unquoted value; op: symbol
    size_t begin = 0; // byte offsets into the statement text
    size_t end = 0;
    bool national = false; // N'...'

    bool is(tok k, std::string_view t) const { return kind == k && text == t; }
    bool is_op(std::string_view t) const { return kind == tok::op && text == t; }
    bool is_kw(std::string_view t) const { return kind == tok::ident && text == t; }
    bool is_name() const { return kind == tok::ident || kind == tok::qident; }
};

// Splits a statement into tokens. Comments and hints are dropped, one
// trailing ';' is kept as an operator. Raises ORA-01756, ORA-01740,
// ORA-01741, ORA-00972 and ORA-00911.
std::vector<token> tokenize(std::string_view sql, size_t max_ident_bytes);

// Upper-case ASCII copy.
std::string upper(std::string_view s);

} // namespace eora
