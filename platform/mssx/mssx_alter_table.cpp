#include "platform/mssx/mssx_alter_table.h"
#include <algorithm>
#include "platform/mssx/mssx_connection_impl.h"
#include "platform/mssx/mssx_translator.h"

namespace {

class alter_parser : mssx_table_item_reader {
public:
    using mssx_table_item_reader::mssx_table_item_reader;

    mssx_alter_table run()
    {
        mssx_alter_table a;
        expect("ALTER");
        expect("TABLE");
        a.table = object_name();
        if (word("WITH")) {
            ++k;
            if (!word("CHECK") && !word("NOCHECK")) fail();
            a.with_check = word("CHECK");
            ++k;
        }
        if (word("CHECK") || word("NOCHECK"))
            enable_constraints(a);
        else if (word("ALTER"))
            alter_column(a);
        else if (word("DROP"))
            drop(a);
        else if (word("ADD"))
            add(a);
        else
            fail();
        if (k < e) fail();
        return a;
    }

private:
    void null_or_not_null(mssx_alter_table& a)
    {
        if (word("NOT")) {
            ++k;
            expect("NULL");
            a.nullable = false;
        } else if (word("NULL")) {
            ++k;
            a.nullable = true;
        }
    }

    void enable_constraints(mssx_alter_table& a)
    {
        a.action = mssx_alter_action::enable_constraints;
        a.enable = word("CHECK");
        ++k;
        expect("CONSTRAINT");
        if (word("ALL")) {
            a.all = true;
            ++k;
        } else
            a.names = name_list();
    }

    void alter_column(mssx_alter_table& a)
    {
        a.action = mssx_alter_action::alter_column;
        expect("ALTER");
        expect("COLUMN");
        a.column = name();
        a.type = type();
        if (word("COLLATE")) {
            ++k;
            a.collation = name();
        }
        null_or_not_null(a);
    }

    void drop(mssx_alter_table& a)
    {
        expect("DROP");
        a.action = mssx_alter_action::drop_constraint;
        if (word("COLUMN")) {
            a.action = mssx_alter_action::drop_column;
            ++k;
        } else if (word("CONSTRAINT"))
            ++k;
        a.names = name_list();
    }

    // ADD item [, item ...]: each item is read up to its comma
    void add(mssx_alter_table& a)
    {
        expect("ADD");
        size_t statement_end = e;
        mssx_alter_table* item = &a;
        while (true) {
            e = item_end(statement_end);
            add_item(*item);
            if (k < e) fail();
            e = statement_end;
            if (!op(",")) break;
            ++k;
            a.more.emplace_back();
            item = &a.more.back();
            item->table = a.table;
            item->with_check = a.with_check;
        }
    }

    void add_item(mssx_alter_table& a)
    {
        if (word("CONSTRAINT")) {
            ++k;
            a.constraint = name();
        }
        if (word("PRIMARY") || word("UNIQUE")) {
            a.action = mssx_alter_action::add_key;
            a.primary = word("PRIMARY");
            ++k;
            if (a.primary) expect("KEY");
            if (word("CLUSTERED") || word("NONCLUSTERED")) {
                a.clustered = word("CLUSTERED");
                ++k;
            }
            a.columns = name_list_in_parens(true, &a.descending);
            options();
        } else if (word("FOREIGN")) {
            a.action = mssx_alter_action::add_foreign_key;
            ++k;
            expect("KEY");
            a.columns = name_list_in_parens(true);
            expect("REFERENCES");
            a.ref_table = object_name();
            if (op("(")) a.ref_columns = name_list_in_parens(false);
            while (word("ON")) {
                ++k;
                if (!word("DELETE") && !word("UPDATE")) fail();
                std::string& action = word("DELETE") ? a.on_delete : a.on_update;
                ++k;
                action = referential_action();
            }
            options();
        } else if (word("CHECK")) {
            a.action = mssx_alter_action::add_check;
            ++k;
            not_for_replication();
            if (!op("(")) fail();
            size_t close = mssx_match_paren(T, k, e);
            if (close == k + 1) mssx_syntax_error(T[close]);
            a.expression = "(" + source(k + 1, close) + ")";
            k = close + 1;
        } else if (word("DEFAULT")) {
            a.action = mssx_alter_action::add_default;
            size_t first = ++k;
            int depth = 0;
            while (k < e && !(depth == 0 && T[k].is_word("FOR"))) {
                if (T[k].is_op("("))
                    ++depth;
                else if (T[k].is_op(")"))
                    --depth;
                ++k;
            }
            if (k == first || k >= e) fail();
            a.expression = mssx_default_text(T, first, k);
            ++k;
            a.column = name();
        } else {
            // a column; a constraint name belongs to a constraint only
            if (!a.constraint.empty()) fail();
            a.action = mssx_alter_action::add_column;
            a.column_spec = column();
            a.column = a.column_spec->name;
            a.type = a.column_spec->type;
            a.nullable = a.column_spec->nullable;
        }
    }
};

} // namespace

mssx_alter_table mssx_parse_alter_table(const std::vector<mssx_token>& toks, const std::string& text, size_t from,
                                        size_t to)
{
    return alter_parser(toks, text, from, to).run();
}
