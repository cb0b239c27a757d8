// ALTER TABLE text to its alter_table_stmt.
#include "platform/eora/eora_alter_table.h"

namespace eora {

namespace {

// ( name, ... ) of columns, each once.
std::vector<std::string> name_list(parser& p)
{
    std::vector<std::string> cols;
    p.expect_op("(", 906);
    do cols.push_back(p.name(904));
    while (p.accept_op(","));
    p.expect_op(")", 907);
    return cols;
}

void add_clause(alter_table_stmt& a, session::impl& s, parser& p)
{
    if (p.accept_kw("CONSTRAINT")) a.constraint = p.name(904);
    if (p.accept_kw("PRIMARY") || p.peek().is_kw("UNIQUE")) {
        a.what = alter_table_stmt::action::add_key;
        a.primary = !p.accept_kw("UNIQUE");
        if (a.primary) p.expect_kw("KEY");
        a.columns = name_list(p);
        return;
    }
    if (!p.accept_kw("FOREIGN")) raise(904);
    a.what = alter_table_stmt::action::add_foreign_key;
    p.expect_kw("KEY");
    a.columns = name_list(p);
    p.expect_kw("REFERENCES");
    a.referenced = p.qualified(s.user);
    a.referenced_columns = name_list(p);
    if (p.accept_kw("ON")) {
        p.expect_kw("DELETE");
        if (p.accept_kw("CASCADE")) {
            a.delete_rule = "CASCADE";
        } else {
            p.expect_kw("SET");
            p.expect_kw("NULL");
            a.delete_rule = "SET NULL";
        }
    }
}

void modify_clause(alter_table_stmt& a, session::impl& s, const statement& st, parser& p)
{
    a.what = alter_table_stmt::action::modify_column;
    bool paren = p.accept_op("(");
    a.column = p.name(904);
    if (!p.peek().is_kw("NULL") && !p.peek().is_kw("NOT") && !p.peek().is_kw("DEFAULT") && !p.peek().is_op(")") &&
        !p.at_end())
        a.type = parse_type(p);
    if (p.accept_kw("DEFAULT")) {
        size_t b = p.peek().begin;
        std::vector<value> none;
        statement dummy;
        eval_default_expr(s, p, dummy, none);
        a.default_text = st.sql.substr(b, p.peek().begin - b);
    }
    if (p.accept_kw("NOT")) {
        p.expect_kw("NULL", 908);
        a.nullable = false;
    } else if (p.accept_kw("NULL")) {
        a.nullable = true;
    }
    if (paren) p.expect_op(")", 907);
}

} // namespace

alter_table_stmt parse_alter_table(session::impl& s, const statement& st, parser& p)
{
    alter_table_stmt a;
    a.table = p.qualified(s.user);
    if (p.accept_kw("ADD"))
        add_clause(a, s, p);
    else if (p.accept_kw("MODIFY"))
        modify_clause(a, s, st, p);
    else
        raise(940);
    p.end();
    return a;
}

} // namespace eora
