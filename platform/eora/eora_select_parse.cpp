// Oracle query text to its select_query: clause by clause, expressions as
// runs of terms up to the word that ends them.
#include "platform/eora/eora_select_parse.h"

#include "platform/eora/eora_error.h"

#include <set>
#include <string_view>

namespace eora {

namespace {

// Words SQLite reads as Oracle does; they pass through unquoted.
const std::set<std::string, std::less<>>& sql_keywords()
{
    static const std::set<std::string, std::less<>> k = {
        "SELECT", "FROM",  "WHERE", "AND",    "OR",     "NOT",       "NULL",   "IS",       "IN",    "LIKE",   "BETWEEN",
        "EXISTS", "CASE",  "WHEN",  "THEN",   "ELSE",   "END",       "AS",     "DISTINCT", "ALL",   "ASC",    "DESC",
        "BY",     "GROUP", "ORDER", "HAVING", "UNION",  "INTERSECT", "EXCEPT", "ON",       "JOIN",  "INNER",  "LEFT",
        "RIGHT",  "FULL",  "OUTER", "CROSS",  "ESCAPE", "NULLS",     "ANY",    "SOME",     "USING", "NATURAL"};
    return k;
}

bool is_keyword(const token& t) { return t.kind == tok::ident && sql_keywords().count(t.text) != 0; }

bool one_of(const token& t, std::initializer_list<std::string_view> words)
{
    if (t.kind != tok::ident) return false;
    for (auto w : words)
        if (t.text == w) return true;
    return false;
}

// Words that may stand before JOIN.
bool join_word(const token& t) { return one_of(t, {"NATURAL", "INNER", "LEFT", "RIGHT", "FULL", "OUTER", "CROSS"}); }

class select_parser {
public:
    select_parser(const std::vector<token>& t, size_t b, size_t e) : t_(t), i_(b), e_(e)
    {
        // One trailing ';' ends the text.
        if (e_ > b && e_ <= t_.size() && t_[e_ - 1].is_op(";")) --e_;
    }

    select_query statement()
    {
        select_query q = query(true);
        finish();
        return q;
    }

    std::vector<expr> expressions()
    {
        std::vector<expr> list;
        for (;;) {
            list.push_back(expression(false));
            if (!accept_op(",")) break;
        }
        if (at_for_update()) i_ = e_; // the lock clause says nothing about the rows
        finish();
        return list;
    }

private:
    const token& peek(size_t k = 0) const
    {
        static const token end_token;
        return i_ + k < e_ ? t_[i_ + k] : end_token;
    }
    const token& next()
    {
        const token& r = peek();
        if (i_ < e_) ++i_;
        return r;
    }
    bool at_end() const { return i_ >= e_; }
    bool accept_op(std::string_view o)
    {
        if (!peek().is_op(o)) return false;
        next();
        return true;
    }
    bool accept_kw(std::string_view k)
    {
        if (!peek().is_kw(k)) return false;
        next();
        return true;
    }
    bool at_for_update() const { return peek().is_kw("FOR") && peek(1).is_kw("UPDATE"); }

    // The text goes on where the statement must end.
    void finish() const
    {
        hierarchical();
        if (!at_end()) raise(933);
    }

    // CONNECT BY and START WITH are not supported.
    void hierarchical() const
    {
        if (one_of(peek(), {"CONNECT", "START"})) raise(900);
    }

    // Text that cannot go on the query here. A parenthesis still open that
    // nothing after closes is missing (ORA-00907); text that ends early
    // lacks the rest (ORA-00921).
    [[noreturn]] void unexpected() const
    {
        hierarchical();
        if (open_ > 0 && !closed_later()) raise(907);
        raise(at_end() ? 921 : 933);
    }

    bool closed_later() const
    {
        int depth = 0;
        for (size_t k = i_; k < e_; ++k) {
            if (t_[k].is_op("("))
                ++depth;
            else if (t_[k].is_op(")") && --depth < 0)
                return true;
        }
        return false;
    }

    bool open_paren()
    {
        if (!accept_op("(")) return false;
        ++open_;
        return true;
    }

    void close_paren()
    {
        if (!accept_op(")")) unexpected();
        --open_;
    }

    // ---------------------------------------------------------------- queries

    select_query query(bool top)
    {
        select_query q;
        q.operands.push_back(operand());
        for (;;) {
            std::string op;
            if (accept_kw("UNION"))
                op = accept_kw("ALL") ? "UNION ALL" : "UNION";
            else if (peek().is_kw("INTERSECT") || peek().is_kw("MINUS") || peek().is_kw("EXCEPT"))
                op = next().text;
            else
                break;
            q.set_ops.push_back(op);
            q.operands.push_back(operand());
        }
        if (accept_kw("ORDER")) {
            if (!accept_kw("BY")) unexpected();
            do q.order_by.push_back(order_entry());
            while (accept_op(","));
        }
        if (top && at_for_update()) {
            // OF columns, NOWAIT and WAIT n lock no differently here.
            q.for_update = true;
            i_ = e_;
        }
        return q;
    }

    query_operand operand()
    {
        query_operand o;
        if (open_paren()) {
            o.nested = std::make_shared<select_query>(query(false));
            close_paren();
        } else {
            o.core = core();
        }
        return o;
    }

    select_core core()
    {
        select_core c;
        if (!accept_kw("SELECT")) unexpected();
        if (peek().is_kw("DISTINCT") || peek().is_kw("ALL")) c.quantifier = next().text;
        do c.items.push_back(select_entry());
        while (accept_op(","));
        // Oracle's queries always name what they read, if only DUAL.
        if (!accept_kw("FROM")) {
            hierarchical();
            raise(923);
        }
        c.has_from = true;
        do c.from.push_back(from_entry());
        while (accept_op(","));
        if (accept_kw("WHERE")) {
            c.has_where = true;
            c.where = expression(false);
        }
        if (accept_kw("GROUP")) {
            if (!accept_kw("BY")) unexpected();
            do c.group_by.push_back(expression(false));
            while (accept_op(","));
        }
        if (accept_kw("HAVING")) {
            c.has_having = true;
            c.having = expression(false);
        }
        return c;
    }

    select_item select_entry()
    {
        select_item item;
        item.value = expression(false);
        auto& terms = item.value.terms;
        // A trailing name after a value, or after AS, names the column.
        if (terms.size() >= 2 && terms.back().k == term::kind::name && terms.back().parts.size() == 1) {
            const term& before = terms[terms.size() - 2];
            bool as = before.k == term::kind::keyword && before.text == "AS";
            bool value_end = before.k == term::kind::keyword ? before.text == "END" || before.text == "NULL"
                                                             : before.k != term::kind::op;
            if (as || value_end) {
                item.alias = terms.back().parts[0];
                item.as = as;
                terms.pop_back();
                if (as) terms.pop_back();
            }
        }
        // Two plain values side by side after the alias is taken: the list
        // went on where FROM was due ('SELECT a b c FROM t').
        if (terms.size() >= 2 && plain_value(terms.back()) && plain_value(terms[terms.size() - 2])) raise(923);
        if (item.as && terms.empty()) raise(936);
        return item;
    }

    // A name or number standing alone, which no operator joins to the next.
    static bool plain_value(const term& x) { return x.k == term::kind::name || x.k == term::kind::number; }

    order_item order_entry()
    {
        order_item item;
        item.value = expression(false);
        auto& terms = item.value.terms;
        auto word_at = [&](size_t back, term::kind k, std::string_view w) {
            if (terms.size() < back) return false;
            const term& x = terms[terms.size() - back];
            return x.k == k && (k == term::kind::name ? x.parts.size() == 1 && x.parts[0] == w : x.text == w);
        };
        if (word_at(2, term::kind::keyword, "NULLS") &&
            (word_at(1, term::kind::name, "FIRST") || word_at(1, term::kind::name, "LAST"))) {
            item.nulls = terms.back().parts[0];
            terms.resize(terms.size() - 2);
        }
        if (word_at(1, term::kind::keyword, "ASC") || word_at(1, term::kind::keyword, "DESC")) {
            item.direction = terms.back().text;
            terms.pop_back();
        }
        return item;
    }

    // ---------------------------------------------------------------- FROM

    // A table alias: a name that is not a word of the query's own.
    bool alias_next() const
    {
        const token& a = peek();
        return a.is_name() && !(a.kind == tok::ident && (is_keyword(a) || a.text == "FOR" || a.text == "MINUS"));
    }

    table_ref table_entry()
    {
        table_ref r;
        if (open_paren()) {
            r.query = std::make_shared<select_query>(query(false));
            close_paren();
            if (alias_next() && !one_of(peek(), {"CONNECT", "START"})) r.alias = next().text;
            return r;
        }
        if (!peek().is_name()) unexpected();
        const token& first = next();
        if (peek().is_op(".") && peek(1).is_name()) {
            next();
            r.owner = first.text;
            r.name = next().text;
        } else {
            r.name = first.text;
            r.quoted = first.kind == tok::qident;
        }
        if (alias_next()) r.alias = next().text;
        return r;
    }

    from_item from_entry()
    {
        from_item f;
        f.table = table_entry();
        for (;;) {
            join j;
            while (join_word(peek())) j.words.push_back(next().text);
            if (!accept_kw("JOIN")) {
                if (!j.words.empty()) unexpected();
                break;
            }
            j.table = table_entry();
            if (accept_kw("ON")) {
                j.has_on = true;
                j.on = expression(true);
            } else if (accept_kw("USING")) {
                if (!open_paren()) unexpected();
                do {
                    if (!peek().is_name()) unexpected();
                    j.using_columns.push_back(next().text);
                } while (accept_op(","));
                close_paren();
            }
            f.joins.push_back(std::move(j));
        }
        return f;
    }

    // ---------------------------------------------------------------- expressions

    // Where an expression ends: a list separator, a parenthesis it did not
    // open, or the word of the next clause.
    bool expression_ends(bool in_join) const
    {
        const token& k = peek();
        if (at_end() || k.is_op(",") || k.is_op(")")) return true;
        if (one_of(k, {"FROM", "WHERE", "GROUP", "ORDER", "HAVING", "UNION", "INTERSECT", "EXCEPT", "MINUS", "CONNECT",
                       "START"}))
            return true;
        if (at_for_update()) return true;
        return in_join && (k.is_kw("JOIN") || join_word(k));
    }

    // Every place that takes an expression needs one whole: nothing, or an
    // operator with nothing after it, is a missing expression (ORA-00936).
    expr expression(bool in_join)
    {
        expr x;
        while (!expression_ends(in_join)) x.terms.push_back(one_term());
        if (x.terms.empty() || wants_operand(x.terms)) {
            hierarchical();
            if (open_ > 0 && !closed_later()) raise(907);
            raise(936);
        }
        return x;
    }

    static bool wants_operand(const std::vector<term>& terms)
    {
        const term& last = terms.back();
        if (last.k == term::kind::keyword) return one_of_text(last.text, {"AND", "OR", "NOT", "LIKE", "BETWEEN"});
        if (last.k != term::kind::op) return false;
        // A lone '*' is every column, 't.*' every column of t, 'a *' a product without its factor.
        if (last.text == "*")
            return terms.size() >= 2 && !(terms[terms.size() - 2].k == term::kind::op &&
                                          (terms[terms.size() - 2].text == "." || terms[terms.size() - 2].text == ","));
        return one_of_text(last.text, {"+", "-", "/", "||", "=", "<>", "!=", "^=", "<", ">", "<=", ">="});
    }

    static bool one_of_text(const std::string& text, std::initializer_list<std::string_view> words)
    {
        for (auto w : words)
            if (text == w) return true;
        return false;
    }

    // Expressions inside a parenthesis just opened, up to and past its ')'.
    std::vector<expr> parenthesized_list()
    {
        std::vector<expr> list;
        if (accept_op(")")) {
            --open_;
            return list;
        }
        for (;;) {
            list.push_back(expression(false));
            if (!accept_op(",")) break;
        }
        close_paren();
        return list;
    }

    // A [owner.]sequence.NEXTVAL or .CURRVAL starts at the token k ahead.
    size_t sequence_length(size_t k) const
    {
        if (!peek(k).is_name() || !peek(k + 1).is_op(".")) return 0;
        if (peek(k + 2).is_kw("NEXTVAL") || peek(k + 2).is_kw("CURRVAL")) return 3;
        if (peek(k + 2).is_name() && peek(k + 3).is_op(".") &&
            (peek(k + 4).is_kw("NEXTVAL") || peek(k + 4).is_kw("CURRVAL")))
            return 5;
        return 0;
    }

    // A name that stands for itself (no keyword, call, pseudo-column or
    // sequence) at the token k ahead: a part of a dotted name.
    bool plain_name(size_t k) const
    {
        const token& n = peek(k);
        if (!n.is_name() || sequence_length(k) != 0) return false;
        if (n.kind == tok::qident) return true;
        if (is_keyword(n) || peek(k + 1).is_op("(")) return false;
        if (n.text == "FOR" && peek(k + 1).is_kw("UPDATE")) return false;
        return !one_of(n, {"MINUS", "SYSDATE", "SYSTIMESTAMP", "CURRENT_DATE", "USER", "ROWID", "CONNECT", "START"});
    }

    // A term of a kind that one token decides.
    term simple(term::kind k)
    {
        term x;
        x.k = k;
        x.tok = i_;
        x.text = next().text;
        return x;
    }

    term one_term()
    {
        const token& k = peek();
        switch (k.kind) {
        case tok::op:
            if (k.is_op("(")) return parenthesized();
            if (k.is_op("@") || k.is_op(":=") || k.is_op(";")) raise(933);
            return simple(term::kind::op);
        case tok::string:
            return simple(term::kind::string);
        case tok::number:
            return simple(term::kind::number);
        case tok::bind:
            return simple(term::kind::bind);
        case tok::ident:
        case tok::qident:
            return word();
        case tok::nstring: // kinds of other dialects: the Oracle lexer makes none
        case tok::binary:
        case tok::variable:
        case tok::end:
            break;
        }
        raise(933);
    }

    // ( SELECT ... ) or ( expressions )
    term parenthesized()
    {
        term x;
        open_paren();
        if (peek().is_kw("SELECT")) {
            x.k = term::kind::subquery;
            x.query = std::make_shared<select_query>(query(false));
            close_paren();
        } else {
            x.k = term::kind::group;
            x.args = parenthesized_list();
        }
        return x;
    }

    // A term that starts with a name: keyword, call, pseudo-column, sequence or name.
    term word()
    {
        const token& k = peek();
        if (k.is_kw("ROWID") && !peek(1).is_op("(")) return rowid();
        if (k.kind == tok::ident) {
            if (is_keyword(k)) return simple(term::kind::keyword);
            if (peek(1).is_op("(")) {
                term x = simple(term::kind::call);
                open_paren();
                x.args = parenthesized_list();
                return x;
            }
            if (one_of(k, {"SYSDATE", "SYSTIMESTAMP", "CURRENT_DATE"})) return simple(term::kind::sysdate);
            if (k.is_kw("USER")) return simple(term::kind::user);
        }
        if (size_t n = sequence_length(0)) return sequence(n);
        term x;
        x.k = term::kind::name;
        x.parts.push_back(next().text);
        while (peek().is_op(".") && plain_name(1)) {
            next();
            x.parts.push_back(next().text);
        }
        return x;
    }

    // ROWID, or ROWID = 'text' / :bind, which finds the row directly.
    term rowid()
    {
        term x;
        x.k = term::kind::rowid;
        next();
        if (peek().is_op("=") && (peek(1).kind == tok::string || peek(1).kind == tok::bind)) {
            next();
            x.k = term::kind::rowid_match;
            x.bind_value = peek().kind == tok::bind;
            x.tok = i_;
            x.text = next().text;
        }
        return x;
    }

    // [owner.]name.NEXTVAL or .CURRVAL over the next n tokens.
    term sequence(size_t n)
    {
        term x;
        x.k = term::kind::sequence;
        if (n == 5) {
            x.parts.push_back(next().text);
            next();
        } else {
            x.parts.emplace_back();
        }
        x.parts.push_back(next().text);
        next();
        x.currval = next().text == "CURRVAL";
        return x;
    }

    const std::vector<token>& t_;
    size_t i_;
    size_t e_;
    int open_ = 0; // parentheses open at the token i_
};

} // namespace

select_query parse_select(const std::vector<token>& toks, size_t b, size_t e)
{
    return select_parser(toks, b, e).statement();
}

std::vector<expr> parse_expressions(const std::vector<token>& toks, size_t b, size_t e)
{
    return select_parser(toks, b, e).expressions();
}

} // namespace eora
