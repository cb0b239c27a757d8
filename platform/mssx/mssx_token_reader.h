// Reads the tokens of one T-SQL statement for the statement parsers: every
// token at or past the statement's end reads as the one at its end, and a
// token that is not what the grammar allows gives the server's syntax error.
#pragma once
#include <string>
#include <vector>
#include "platform/mssx/mssx_lexer.h"

// A type as written: its name (built-in or alias) and the arguments in parentheses.
struct mssx_type_spec {
    std::string name;
    std::vector<std::string> args;
};

class mssx_token_reader {
public:
    mssx_token_reader(const std::vector<mssx_token>& toks, const std::string& text, size_t from, size_t to);

protected:
    const std::vector<mssx_token>& T;
    const std::string& text_;
    size_t k, e;

    const mssx_token& at(size_t i) const { return T[i < e ? i : e]; }
    bool word(const char* w, size_t ahead = 0) const { return k + ahead < e && T[k + ahead].is_word(w); }
    bool op(const char* o) const { return k < e && T[k].is_op(o); }
    [[noreturn]] void fail() const;
    void expect(const char* w);
    std::string name();
    // a.b.c, with "a..c" leaving the schema out
    std::vector<std::string> object_name();
    // (a [ASC | DESC], b ...); with `descending`, which of them are DESC
    std::vector<std::string> name_list_in_parens(bool sort_order, std::vector<bool>* descending = nullptr);
    // a [, b ...]
    std::vector<std::string> name_list();
    mssx_type_spec type();
    // The text of the tokens [a, b) as written.
    std::string source(size_t a, size_t b) const;
    // WITH (...), ON [filegroup], NOT FOR REPLICATION: nothing the embedded server keeps
    void options();
    bool not_for_replication();
    // CASCADE | NO ACTION | SET NULL | SET DEFAULT
    std::string referential_action();
};
