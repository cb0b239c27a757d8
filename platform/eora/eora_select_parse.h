// Parses Oracle query text, already split into tokens, into a select_query.
#pragma once
#include "platform/eora/eora_lexer.h"
#include "platform/eora/eora_select.h"

#include <vector>

namespace eora {

// The query over the tokens [b, e): SELECT ..., or a query in parentheses,
// with set operators, ORDER BY and FOR UPDATE. One trailing ';' ends it.
// Raises ORA-00933 for text that cannot continue a query, ORA-00907 for a
// missing right parenthesis and ORA-00900 for CONNECT BY / START WITH.
select_query parse_select(const std::vector<token>& toks, size_t b, size_t e);

// Comma-separated expressions over the tokens [b, e): a condition, or the
// keys of an index. Raises as parse_select does.
std::vector<expr> parse_expressions(const std::vector<token>& toks, size_t b, size_t e);

} // namespace eora
