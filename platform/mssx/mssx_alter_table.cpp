#include "platform/mssx/mssx_alter_table.h"
#include <algorithm>
#include "platform/mssx/mssx_connection_impl.h"
#include "platform/mssx/mssx_translator.h"

namespace {

// Reads the tokens [k, e) of one statement; every token at or past e reads as the one at e.
class alter_parser {
public:
    alter_parser(const std::vector<mssx_token>& toks, const std::string& text, size_t from, size_t to)
        : T(toks), text_(text), k(from), e(std::min(to, toks.size() - 1))
    {}

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
    const std::vector<mssx_token>& T;
    const std::string& text_;
    size_t k, e;

    const mssx_token& at(size_t i) const { return T[std::min(i, e)]; }
    bool word(const char* w, size_t ahead = 0) const { return k + ahead < e && T[k + ahead].is_word(w); }
    bool op(const char* o) const { return k < e && T[k].is_op(o); }
    [[noreturn]] void fail() const { mssx_syntax_error(at(k)); }
    void expect(const char* w)
    {
        if (!word(w)) fail();
        ++k;
    }
    std::string name()
    {
        if (k >= e || !T[k].is_name()) fail();
        return T[k++].text;
    }
    // a.b.c, with "a..c" leaving the schema out
    std::vector<std::string> object_name()
    {
        std::vector<std::string> parts{name()};
        while (op(".")) {
            ++k;
            if (op(".")) {
                parts.push_back("dbo");
                continue;
            }
            parts.push_back(name());
        }
        return parts;
    }
    // (a [ASC | DESC], b ...)
    std::vector<std::string> name_list_in_parens(bool sort_order)
    {
        if (!op("(")) fail();
        size_t close = mssx_match_paren(T, k, e);
        ++k;
        std::vector<std::string> names;
        while (true) {
            names.push_back(name());
            if (sort_order && (word("ASC") || word("DESC"))) ++k;
            if (k == close) break;
            if (!op(",")) fail();
            ++k;
        }
        k = close + 1;
        return names;
    }
    // a [, b ...]
    std::vector<std::string> name_list()
    {
        std::vector<std::string> names{name()};
        while (op(",")) {
            ++k;
            names.push_back(name());
        }
        return names;
    }
    mssx_type_spec type()
    {
        mssx_type_spec t;
        t.name = name();
        if (op("(")) {
            size_t close = mssx_match_paren(T, k, e);
            for (size_t j = k + 1; j < close; ++j)
                if (!T[j].is_op(",")) t.args.push_back(T[j].text);
            k = close + 1;
        }
        return t;
    }
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
    // WITH (...), ON [filegroup], NOT FOR REPLICATION: nothing the embedded server keeps
    void options()
    {
        while (true) {
            if (word("WITH") && k + 1 < e && T[k + 1].is_op("("))
                k = mssx_match_paren(T, k + 1, e) + 1;
            else if (word("ON") && k + 1 < e && T[k + 1].is_name())
                k += 2;
            else if (not_for_replication())
                ;
            else
                break;
        }
    }
    bool not_for_replication()
    {
        if (!(word("NOT") && word("FOR", 1) && word("REPLICATION", 2))) return false;
        k += 3;
        return true;
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

    void add(mssx_alter_table& a)
    {
        expect("ADD");
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
            a.columns = name_list_in_parens(true);
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
            a.expression = "(" + text_.substr(T[k + 1].begin, T[close - 1].end - T[k + 1].begin) + ")";
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
            a.column = name();
            a.type = type();
            null_or_not_null(a);
        }
    }

    std::string referential_action()
    {
        if (word("CASCADE")) {
            ++k;
            return "CASCADE";
        }
        if (word("NO")) {
            ++k;
            expect("ACTION");
            return "NO ACTION";
        }
        expect("SET");
        if (word("NULL")) {
            ++k;
            return "SET NULL";
        }
        expect("DEFAULT");
        return "SET DEFAULT";
    }
};

} // namespace

mssx_alter_table mssx_parse_alter_table(const std::vector<mssx_token>& toks, const std::string& text, size_t from,
                                        size_t to)
{
    return alter_parser(toks, text, from, to).run();
}
