// Tokens of Oracle SQL text for the embedded Oracle.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>
#include "platform/embedded/embedded_token.h"

namespace eora {

using tok = embedded::token_kind;
using token = embedded::token;

// Splits a statement into tokens. Comments and hints are dropped, one
// trailing ';' is kept as an operator. Raises ORA-01756, ORA-01740,
// ORA-01741, ORA-00972 and ORA-00911.
std::vector<token> tokenize(std::string_view sql, size_t max_ident_bytes);

// Upper-case ASCII copy.
std::string upper(std::string_view s);

} // namespace eora
