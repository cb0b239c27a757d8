// T-SQL tokens and GO batches.
#pragma once
#include <string>
#include <vector>

enum class mssx_tok {
    ident,    // bare identifier or keyword
    qident,   // [..] or ".." (with QUOTED_IDENTIFIER ON); text without the quotes
    string,   // '..'; text unescaped
    nstring,  // N'..'
    number,   // as written
    binary,   // 0x..; text = the bytes
    variable, // @name or @@name
    op,       // punctuation and operators
    end
};

struct mssx_token {
    mssx_tok kind = mssx_tok::end;
    std::string text;
    size_t begin = 0; // offsets into the batch text
    size_t end = 0;
    int line = 1;

    bool is_word(const char* upper_word) const; // bare identifier equal to the keyword (any case)
    bool is_op(const char* o) const { return kind == mssx_tok::op && text == o; }
    bool is_name() const { return kind == mssx_tok::ident || kind == mssx_tok::qident; }
};

// Splits a batch into tokens, dropping comments and blanks. The last token is
// mssx_tok::end. Throws mssx_error 105 for an unclosed quote, 113 for an
// unclosed comment.
std::vector<mssx_token> mssx_lex(const std::string& sql, bool quoted_identifier);

struct mssx_batch {
    std::string text;
    int first_line = 1; // line of the script where the batch starts
    int repeat = 1;     // GO n
};
// Splits a script at lines that hold only GO (any case, optional count).
std::vector<mssx_batch> mssx_split_batches(const std::string& script);

std::string mssx_upper(std::string s);
// Case-insensitive comparison of ASCII names (SQL Server's default collation
// compares names without regard to case).
bool mssx_iequal(const std::string& a, const std::string& b);
