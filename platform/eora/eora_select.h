// The shape of an Oracle query as the embedded Oracle parses it: clauses,
// FROM items and joins, and expressions as runs of terms.
#pragma once
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace eora {

struct select_query;
struct term;

// An expression as written. Operators keep their order and SQLite applies
// the same precedence, so only calls, parentheses and the pseudo-columns
// that translate differently are given a shape of their own.
struct expr {
    std::vector<term> terms;
    bool empty() const { return terms.empty(); }
};

struct term {
    static constexpr size_t npos = static_cast<size_t>(-1);
    enum class kind {
        keyword,     // a word SQLite shares: AND, CASE, IS, NULL, ...
        name,        // a column or other name, dotted parts in `parts`
        string,      // text literal; '' is NULL
        number,      // numeric literal as written
        bind,        // placeholder, its name in `text`
        op,          // operator or '.', '*' as written
        call,        // function `text` over `args`
        group,       // ( args )
        subquery,    // ( query )
        rowid,       // the ROWID pseudo-column
        rowid_match, // ROWID = 'text' (`text`) or ROWID = :bind (`bind_value`)
        sequence,    // [owner.]name.NEXTVAL or .CURRVAL: `parts` = {owner or "", name}
        sysdate,     // SYSDATE, SYSTIMESTAMP, CURRENT_DATE
        user,        // USER
    };
    kind k = kind::keyword;
    std::string text;
    bool bind_value = false; // rowid_match: `text` names a placeholder
    bool currval = false;    // sequence
    size_t tok = npos;       // string, rowid_match: the token of the literal
    std::vector<std::string> parts;
    std::vector<expr> args;
    std::shared_ptr<select_query> query;
};

struct select_item {
    expr value;
    std::string alias; // empty when none
    bool as = false;   // written with AS
};

// A table or dictionary view by name, or a subquery.
struct table_ref {
    std::string owner; // empty when the name is not qualified
    std::string name;
    bool quoted = false; // an unqualified name written in quotes (never a dictionary view)
    std::shared_ptr<select_query> query;
    std::string alias; // empty when none
};

struct join {
    std::vector<std::string> words; // INNER, LEFT, OUTER, NATURAL, ... before JOIN
    table_ref table;
    bool has_on = false;
    expr on;
    std::vector<std::string> using_columns;
};

// One item of the FROM list with the joins that follow it.
struct from_item {
    table_ref table;
    std::vector<join> joins;
};

struct select_core {
    std::string quantifier; // DISTINCT, ALL or empty
    std::vector<select_item> items;
    bool has_from = false;
    std::vector<from_item> from;
    bool has_where = false;
    expr where;
    std::vector<expr> group_by;
    bool has_having = false;
    expr having;
};

struct order_item {
    expr value;
    std::string direction; // ASC, DESC or empty
    std::string nulls;     // FIRST, LAST or empty
};

// One operand of a set operation: a SELECT, or a query in parentheses.
struct query_operand {
    select_core core;
    std::shared_ptr<select_query> nested;
};

struct select_query {
    std::vector<query_operand> operands;
    std::vector<std::string> set_ops; // before each operand after the first: UNION, UNION ALL, INTERSECT, EXCEPT
    std::vector<order_item> order_by;
    bool for_update = false;
};

} // namespace eora
