// Translates T-SQL queries to SQLite: names, TOP, N'..', string +, ISNULL,
// GETDATE(), CONVERT/CAST, CHARINDEX, SUBSTRING, LEN, @@VERSION, variables.
#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>
#include "platform/mssx/mssx_lexer.h"
#include "platform/mssx/mssx_value.h"

struct mssx_translate_env {
    // Maps an object name (1 to 4 parts as written) to the SQLite table or
    // view; throws mssx_error 208 when there is none.
    std::function<std::string(const std::vector<std::string>& parts)> resolve_table;
    // Whether a column of this name holds text in some table of the database
    // (decides between + as addition and as concatenation).
    std::function<bool(const std::string& column)> is_char_column;
    // The value of a local variable as an SQLite literal; nullopt when undeclared.
    std::function<std::optional<std::string>(const std::string& name)> variable;
    // Column names SQLite reports for a translated query (derived-table checks).
    std::function<std::vector<std::string>(const std::string& sql)> column_names;
    // The declared type of a column of this name in some table (typing of
    // exact arithmetic); nullopt when unknown.
    std::function<std::optional<mssx_type>(const std::string& column)> column_type;
    // When set, receives the type of each item of the outermost select list
    // that the translation knows (an exact sum, a CAST ...), nullopt elsewhere.
    std::vector<std::optional<mssx_type>>* item_types = nullptr;
    // Whether those types include text, CASE and function results (a
    // computed column's type), not only what exact arithmetic needs.
    bool type_every_item = false;
    std::string dateformat = "mdy";
    std::string version;
};

// Translates tokens [from, to) holding one query (SELECT ... or an expression).
std::string mssx_translate(const std::vector<mssx_token>& toks, size_t from, size_t to, const mssx_translate_env& env);
// Deepest nesting of parentheses a statement may have.
constexpr size_t kMssxMaxNesting = 64;
// Most operators of one chain (a + b + ..., x = 1 OR x = 2 OR ...): SQLite
// nests each in the one before, to a depth of 1,000.
constexpr size_t kMssxMaxChain = 900;
// Throws Msg 191 when the tokens [from, to) nest deeper than kMssxMaxNesting
// or chain more operators than kMssxMaxChain.
void mssx_check_nesting(const std::vector<mssx_token>& toks, size_t from = 0, size_t to = SIZE_MAX);
[[noreturn]] void mssx_nesting_error(const mssx_token& t);
// Index of the ')' matching the '(' at `open`; throws 102 when unbalanced.
size_t mssx_match_paren(const std::vector<mssx_token>& toks, size_t open, size_t limit);
// "Incorrect syntax near ..." for a token (Msg 102, or 156 for keywords).
[[noreturn]] void mssx_syntax_error(const mssx_token& t);
bool mssx_is_reserved(const mssx_token& t);
