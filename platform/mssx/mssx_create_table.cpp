#include "platform/mssx/mssx_create_table.h"
#include <charconv>
#include "platform/mssx/mssx_connection_impl.h"
#include "platform/mssx/mssx_translator.h"

namespace {

class create_parser : mssx_table_item_reader {
public:
    using mssx_table_item_reader::mssx_table_item_reader;

    mssx_create_table run()
    {
        mssx_create_table c;
        expect("CREATE");
        expect("TABLE");
        c.table = object_name();
        if (!op("(")) fail();
        size_t close = mssx_match_paren(T, k, e);
        size_t statement_end = e;
        bool any_column = false;
        for (++k; k < close; ++k) {
            // each item is read up to its comma, which reads as its end
            e = item_end(close);
            mssx_table_element item;
            if (word("CONSTRAINT") || word("PRIMARY") || word("UNIQUE") || word("FOREIGN") || word("CHECK")) {
                std::string cname;
                if (word("CONSTRAINT")) {
                    ++k;
                    cname = name();
                }
                item.constraint = constraint(cname, false);
                if (k < e) fail();
            } else {
                item.column = column();
                any_column = true;
            }
            c.elements.push_back(std::move(item));
            e = statement_end;
        }
        if (!any_column) mssx_syntax_error(T[close]);
        k = close + 1;
        table_options();
        if (k < e) fail();
        return c;
    }

private:
    // ON filegroup | partition scheme (column), TEXTIMAGE_ON, FILESTREAM_ON, WITH (...)
    void table_options()
    {
        while (true) {
            if ((word("ON") || word("TEXTIMAGE_ON") || word("FILESTREAM_ON")) && k + 1 < e && T[k + 1].is_name()) {
                k += 2;
                if (op("(")) k = mssx_match_paren(T, k, e) + 1;
            } else if (word("WITH") && k + 1 < e && T[k + 1].is_op("("))
                k = mssx_match_paren(T, k + 1, e) + 1;
            else
                break;
        }
    }
};

} // namespace

size_t mssx_table_item_reader::item_end(size_t close) const
{
    int depth = 0;
    size_t i = k;
    for (; i < close && !(depth == 0 && T[i].is_op(",")); ++i) {
        if (T[i].is_op("("))
            ++depth;
        else if (T[i].is_op(")"))
            --depth;
    }
    return i;
}

mssx_column_spec mssx_table_item_reader::column()
{
    mssx_column_spec col;
    col.name = name();
    if (word("AS")) return computed(col);
    col.type.name = name();
    if (op(".")) { // sys.type, schema.alias
        ++k;
        col.type.name = name();
    }
    if (op("(") && mssx_iequal(col.type.name, "xml")) {
        // typed xml: xml([CONTENT | DOCUMENT] [schema.]collection)
        size_t close = mssx_match_paren(T, k, e);
        ++k;
        if (word("CONTENT") || word("DOCUMENT")) {
            col.xml_document = word("DOCUMENT");
            ++k;
        }
        col.xml_schema = object_name();
        if (k != close) fail();
        k = close + 1;
    } else if (op("(")) {
        size_t close = mssx_match_paren(T, k, e);
        for (size_t j = k + 1; j < close; ++j)
            if (!T[j].is_op(",")) col.type.args.push_back(T[j].text);
        k = close + 1;
    }
    while (k < e) {
        if (word("WITH") && word("VALUES", 1)) {
            col.with_values = true;
            k += 2;
        } else if (word("NULL")) {
            col.nullable = true;
            ++k;
        } else if (word("NOT") && word("NULL", 1)) {
            col.nullable = false;
            k += 2;
        } else if (not_for_replication())
            ;
        else if (word("IDENTITY"))
            identity(col);
        else if (word("COLLATE")) {
            ++k;
            col.collation = name();
        } else if (word("ROWGUIDCOL") || word("SPARSE"))
            ++k;
        else
            col.constraints.push_back(column_constraint());
    }
    return col;
}

// a computed column: kept with its value, computed as rows arrive
mssx_column_spec mssx_table_item_reader::computed(mssx_column_spec& col)
{
    size_t first = ++k;
    int depth = 0;
    while (k < e && !(depth == 0 && (word("PERSISTED") || word("NOT") || word("NULL") || word("CONSTRAINT") ||
                                     word("PRIMARY") || word("UNIQUE") || word("CHECK")))) {
        if (T[k].is_op("("))
            ++depth;
        else if (T[k].is_op(")"))
            --depth;
        ++k;
    }
    if (k == first) fail();
    col.computed = source(first, k);
    if (word("PERSISTED")) ++k;
    while (k < e) {
        if (word("NOT") && word("NULL", 1)) {
            col.nullable = false;
            k += 2;
        } else if (word("NULL"))
            ++k;
        else
            col.constraints.push_back(column_constraint());
    }
    return col;
}

void mssx_table_item_reader::identity(mssx_column_spec& col)
{
    ++k;
    col.identity = true;
    col.nullable = false;
    if (!op("(")) return;
    size_t open = k, close = mssx_match_paren(T, k, e);
    std::vector<size_t> commas;
    for (size_t j = open + 1; j < close; ++j)
        if (T[j].is_op(",")) commas.push_back(j);
    if (commas.size() != 1) mssx_syntax_error(T[close]);
    if (!integer(open + 1, commas[0], col.seed) || !integer(commas[0] + 1, close, col.increment))
        mssx_syntax_error(T[open + 1]);
    k = close + 1;
}

// [+|-] digits
bool mssx_table_item_reader::integer(size_t a, size_t b, int64_t& out) const
{
    bool negative = a < b && T[a].is_op("-");
    if (a < b && (T[a].is_op("-") || T[a].is_op("+"))) ++a;
    if (b != a + 1 || T[a].kind != mssx_tok::number) return false;
    std::string digits = (negative ? "-" : "") + T[a].text;
    auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), out);
    return ec == std::errc() && end == digits.data() + digits.size();
}

mssx_constraint_spec mssx_table_item_reader::column_constraint()
{
    std::string cname;
    if (word("CONSTRAINT")) {
        ++k;
        cname = name();
    }
    return constraint(cname, true);
}

mssx_constraint_spec mssx_table_item_reader::constraint(const std::string& cname, bool on_column)
{
    mssx_constraint_spec c;
    c.name = cname;
    if (word("PRIMARY") || word("UNIQUE")) {
        c.kind = mssx_constraint_kind::key;
        c.primary = word("PRIMARY");
        ++k;
        if (c.primary) expect("KEY");
        if (word("CLUSTERED") || word("NONCLUSTERED")) {
            c.clustered = word("CLUSTERED");
            ++k;
        }
        if (op("("))
            c.columns = name_list_in_parens(true, &c.descending);
        else if (!on_column)
            fail();
        options();
    } else if (word("FOREIGN") || (on_column && word("REFERENCES"))) {
        c.kind = mssx_constraint_kind::foreign_key;
        if (word("FOREIGN")) {
            ++k;
            expect("KEY");
            c.columns = name_list_in_parens(true);
        }
        expect("REFERENCES");
        c.ref_table = object_name();
        if (op("(")) c.ref_columns = name_list_in_parens(true);
        while (word("ON") && (word("DELETE", 1) || word("UPDATE", 1))) {
            std::string& action = word("DELETE", 1) ? c.on_delete : c.on_update;
            k += 2;
            action = referential_action();
        }
        options();
    } else if (word("CHECK")) {
        c.kind = mssx_constraint_kind::check;
        ++k;
        options();
        if (!op("(")) fail();
        size_t close = mssx_match_paren(T, k, e);
        if (close == k + 1) mssx_syntax_error(T[close]);
        c.expression = "(" + source(k + 1, close) + ")";
        k = close + 1;
    } else if (on_column && word("DEFAULT")) {
        c.kind = mssx_constraint_kind::default_value;
        size_t first = ++k;
        if (op("("))
            k = mssx_match_paren(T, k, e) + 1;
        else {
            if (op("-") || op("+")) ++k;
            if (k >= e) fail();
            ++k;
            if (op("(")) k = mssx_match_paren(T, k, e) + 1; // a function call
        }
        c.expression = mssx_default_text(T, first, k);
    } else
        fail();
    return c;
}

mssx_create_table mssx_parse_create_table(const std::vector<mssx_token>& toks, const std::string& text, size_t from,
                                          size_t to)
{
    return create_parser(toks, text, from, to).run();
}
