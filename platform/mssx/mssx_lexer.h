// T-SQL tokens and GO batches.
#pragma once
#include <string>
#include <vector>
#include "platform/embedded/embedded_token.h"

using mssx_tok = embedded::token_kind;
using mssx_token = embedded::token;

// Splits a batch into tokens, dropping comments and blanks. The last token is
// mssx_tok::end. Throws mssx_error 105 for an unclosed quote, 113 for an
// unclosed comment.
std::vector<mssx_token> mssx_lex(const std::string& sql, bool quoted_identifier);

struct mssx_batch {
    std::string text;
    int first_line = 1;         // line of the script where the batch starts
    int repeat = 1;             // GO n
    bool exit_on_error = false; // :on error exit was in force at its GO: an error ends the script
};
struct mssx_sqlcmd_state;
// Splits a script at lines that hold only GO (any case, optional count), as
// sqlcmd reads it: $(name) replaced in every line, :setvar and :on error run
// (with `sqlcmd`, from the variables given and on into it).
std::vector<mssx_batch> mssx_split_batches(const std::string& script, mssx_sqlcmd_state* sqlcmd = nullptr);

std::string mssx_upper(std::string s);
// Case-insensitive comparison of ASCII names (SQL Server's default collation
// compares names without regard to case).
bool mssx_iequal(const std::string& a, const std::string& b);
