// A token of SQL text, as the lexers of both embedded servers give it. Each
// server keeps its own dialect's rules for making tokens.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>

namespace embedded {

enum class token_kind {
    ident,    // bare identifier or keyword
    qident,   // quoted identifier; text without the quotes
    string,   // '..'; text unescaped
    nstring,  // N'..' where the dialect gives it a kind of its own (T-SQL)
    number,   // as written
    binary,   // 0x..; text = the bytes
    variable, // @name or @@name
    bind,     // :name placeholder; text = the name
    op,       // punctuation and operators
    end
};

struct token {
    token_kind kind = token_kind::end;
    std::string text;
    size_t begin = 0; // byte offsets into the statement text
    size_t end = 0;
    int line = 1;          // line of the text where the token starts, where the dialect counts lines
    bool national = false; // N'..' lexed as a string (Oracle)

    bool is(token_kind k, std::string_view t) const { return kind == k && text == t; }
    bool is_op(std::string_view o) const { return kind == token_kind::op && text == o; }
    // Bare identifier whose text is exactly the keyword (for a dialect that folds names).
    bool is_kw(std::string_view t) const { return kind == token_kind::ident && text == t; }
    // Bare identifier equal to the upper-case keyword in any case.
    bool is_word(std::string_view upper_word) const;
    bool is_name() const { return kind == token_kind::ident || kind == token_kind::qident; }
};

} // namespace embedded
