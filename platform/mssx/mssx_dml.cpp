// INSERT, UPDATE, DELETE and TRUNCATE of the embedded server.
#include <algorithm>
#include <charconv>
#include <cmath>
#include "platform/mssx/mssx_connection_impl.h"
#include "platform/mssx/mssx_expr_functions.h"
#include "platform/mssx/mssx_rowversion.h"
#include "platform/mssx/mssx_variant.h"

namespace {

// Doubles below this magnitude hold every integer exactly.
constexpr double kIdentityLimit = 9007199254740992.0; // 2^53

std::string value_list(const mssx_table_def& t, const std::vector<std::string>& cols,
                       const std::vector<mssx_value>& row)
{
    std::string s;
    for (size_t i = 0; i < cols.size(); ++i) {
        if (i) s += ", ";
        int ci = t.column_index(cols[i]);
        s += mssx_is_null(row[static_cast<size_t>(ci)])
                 ? std::string("<NULL>")
                 : mssx_text(t.columns[static_cast<size_t>(ci)].type, row[static_cast<size_t>(ci)]);
    }
    return "(" + s + ")";
}

// Translation of an expression over one table's columns (CHECK constraints, computed columns).
mssx_translate_env table_env(mssx_connection& c, const mssx_table_def& t)
{
    mssx_translate_env env;
    env.version = c.server().version();
    env.resolve_table = [](const std::vector<std::string>& parts) -> std::string {
        throw mssx_error(1046, "Subqueries are not allowed in this context. Only scalar expressions are allowed. ('" +
                                   parts.back() + "')");
    };
    env.is_char_column = [t](const std::string& col) {
        int ci = t.column_index(col);
        return ci >= 0 && t.columns[static_cast<size_t>(ci)].type.is_string();
    };
    env.column_type = [t](const std::string& col) -> std::optional<mssx_type> {
        int ci = t.column_index(col);
        if (ci < 0) return std::nullopt;
        return t.columns[static_cast<size_t>(ci)].type;
    };
    env.dateformat = c.state().dateformat;
    return env;
}

// The number an identity column holds: its values are integers of an integer
// type or of decimal(p,0), stored as integer, float or text.
int64_t identity_number(const mssx_column_def& col, const mssx_value& v)
{
    if (auto i = std::get_if<int64_t>(&v)) return *i;
    if (auto d = std::get_if<double>(&v)) {
        if (std::fabs(*d) < kIdentityLimit && *d == std::trunc(*d)) return static_cast<int64_t>(*d);
    } else if (auto s = std::get_if<std::string>(&v)) {
        std::string digits = s->substr(0, s->find('.'));
        int64_t n = 0;
        auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), n);
        if (ec == std::errc() && end == digits.data() + digits.size()) return n;
    }
    throw mssx_error(8115, "Arithmetic overflow error converting IDENTITY to data type " + col.type.name + ".");
}

// Whether a new identity value fits the column's type.
bool identity_fits(const mssx_type& t, int64_t v)
{
    if (t.name == "tinyint") return v >= 0 && v <= UINT8_MAX;
    if (t.name == "smallint") return v >= INT16_MIN && v <= INT16_MAX;
    if (t.name == "int") return v >= INT32_MIN && v <= INT32_MAX;
    if (t.name == "decimal" || t.name == "numeric") {
        // |v| < 10^p
        uint64_t limit = 1;
        for (int i = 0; i < t.precision && limit <= UINT64_MAX / 10; ++i) limit *= 10;
        uint64_t mag = v < 0 ? 0 - static_cast<uint64_t>(v) : static_cast<uint64_t>(v);
        return t.precision >= 19 || mag < limit;
    }
    return true;
}

} // namespace

mssx_type mssx_batch_runner::computed_type(const mssx_table_def& t, const std::string& expression)
{
    std::vector<mssx_token> toks = mssx_lex("SELECT " + expression, s.quoted_identifier);
    std::vector<std::optional<mssx_type>> types;
    mssx_translate_env env = table_env(c, t);
    env.item_types = &types;
    env.type_every_item = true;
    (void)mssx_translate(toks, 0, toks.size() - 1, env);
    if (!types.empty() && types[0]) return *types[0];
    // a plain column keeps its type; anything else reads as text
    if (toks.size() == 3 && toks[1].is_name() && t.column_index(toks[1].text) >= 0)
        return t.columns[static_cast<size_t>(t.column_index(toks[1].text))].type;
    return mssx_make_type("nvarchar", {"4000"});
}

mssx_value mssx_batch_runner::eval_variant(size_t a, size_t b)
{
    mssx_value v = eval(a, b);
    if (mssx_is_null(v) || mssx_variant_tagged(v)) return v;
    return mssx_variant_store(expression_type(a, b).value_or(mssx_variant_implied_type(v)), v, s.dateformat);
}

std::optional<mssx_type> mssx_batch_runner::expression_type(size_t a, size_t b)
{
    // typed as the one item of a SELECT
    std::vector<mssx_token> toks = mssx_lex("SELECT", s.quoted_identifier);
    toks.insert(toks.begin() + 1, T.begin() + static_cast<std::ptrdiff_t>(a),
                T.begin() + static_cast<std::ptrdiff_t>(b));
    std::vector<std::optional<mssx_type>> types;
    mssx_translate_env e = env();
    e.item_types = &types;
    e.type_every_item = true;
    (void)mssx_translate(toks, 0, toks.size() - 1, e);
    if (types.empty()) return std::nullopt;
    return types[0];
}

void mssx_refresh_computed(mssx_connection& c, const mssx_table_def& t, const std::string& where)
{
    std::string sets;
    for (const auto& col : t.columns) {
        if (col.computed.empty()) continue;
        std::vector<mssx_token> toks = mssx_lex(col.computed, true);
        std::string expr = mssx_translate(toks, 0, toks.size() - 1, table_env(c, t));
        sets += (sets.empty() ? "" : ", ") + mssx_sq_ident(col.name) + " = mssx_cast((" + expr + "), " +
                mssx_sq_literal(col.type.sql_text()) + ", NULL, '', " + mssx_sq_literal(c.state().dateformat) + ")";
    }
    if (sets.empty()) return;
    c.state().db.exec("UPDATE " + mssx_sq_ident(t.storage()) + " SET " + sets +
                      (where.empty() ? "" : " WHERE " + where));
}

std::string mssx_default_text(const std::vector<mssx_token>& T, size_t a, size_t b)
{
    // strip enclosing parentheses
    while (b > a + 1 && T[a].is_op("(") && mssx_match_paren(T, a, b) == b - 1) {
        ++a;
        --b;
    }
    bool number = (b == a + 1 && T[a].kind == mssx_tok::number) ||
                  (b == a + 2 && (T[a].is_op("-") || T[a].is_op("+")) && T[a + 1].kind == mssx_tok::number);
    std::string inner;
    if (number) {
        inner = (b == a + 2 && T[a].is_op("-") ? "-" : "") + T[b - 1].text;
        return "((" + inner + "))";
    }
    for (size_t i = a; i < b; ++i) {
        const mssx_token& t = T[i];
        std::string piece;
        switch (t.kind) {
        case mssx_tok::string:
            piece = mssx_sq_literal(t.text);
            break;
        case mssx_tok::nstring:
            piece = "N" + mssx_sq_literal(t.text);
            break;
        case mssx_tok::qident:
            piece = "[" + t.text + "]";
            break;
        case mssx_tok::binary: {
            static const char* h = "0123456789ABCDEF";
            piece = "0x";
            for (unsigned char ch : t.text) {
                piece += h[ch >> 4];
                piece += h[ch & 15];
            }
            break;
        }
        case mssx_tok::ident: {
            std::string low;
            for (char ch : t.text) low += static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
            piece = (i + 1 < b && T[i + 1].is_op("(")) || t.is_word("CURRENT_TIMESTAMP") ? low : t.text;
            if (t.is_word("CURRENT_TIMESTAMP")) piece = "getdate()";
            break;
        }
        default:
            piece = t.text;
        }
        // words keep the blank written between them (cast(x as date)); none inside parentheses, around
        // commas or before a call's parenthesis
        if (i > a && t.begin > T[i - 1].end) {
            const mssx_token& prev = T[i - 1];
            bool tight = t.is_op(")") || t.is_op(",") || prev.is_op("(") || prev.is_op(",") ||
                         (t.is_op("(") && prev.kind == mssx_tok::ident);
            if (!tight) inner += ' ';
        }
        inner += piece;
    }
    return "(" + inner + ")";
}

mssx_value mssx_eval_default(const std::string& stored, mssx_connection& c)
{
    mssx_outcome out;
    mssx_batch_runner r(c, "SELECT " + stored, out);
    return r.eval(1, r.T.size() - 1);
}

void mssx_insert_row(mssx_connection& c, const mssx_table_def& t, const std::vector<int>& columns,
                     const std::vector<std::optional<mssx_value>>& values, bool explicit_identity_allowed)
{
    auto& s = c.state();
    std::vector<mssx_value> row(t.columns.size());
    std::vector<bool> given(t.columns.size(), false);
    for (size_t i = 0; i < columns.size(); ++i) {
        size_t ci = static_cast<size_t>(columns[i]);
        const mssx_column_def& col = t.columns[ci];
        if (!col.computed.empty())
            throw mssx_error(271, "The column \"" + col.name +
                                      "\" cannot be modified because it is either a computed column or is the result "
                                      "of a UNION operator.");
        if (col.identity && !explicit_identity_allowed)
            throw mssx_error(544, "Cannot insert explicit value for identity column in table '" + t.name +
                                      "' when IDENTITY_INSERT is set to OFF.");
        if (mssx_is_rowversion(col.type)) {
            // the server gives the value: DEFAULT or NULL ask for it
            if (values[i] && !mssx_is_null(*values[i]))
                throw mssx_error(273,
                                 "Cannot insert an explicit value into a timestamp column. Use INSERT with a "
                                 "column list to exclude the timestamp column, or insert a DEFAULT into the "
                                 "timestamp column.");
            continue;
        }
        if (!values[i]) { // DEFAULT
            if (col.identity)
                throw mssx_error(544, "Cannot insert explicit value for identity column in table '" + t.name +
                                          "' when IDENTITY_INSERT is set to OFF.");
            continue;
        }
        row[ci] = mssx_convert(col.type, *values[i], s.dateformat);
        given[ci] = true;
    }
    std::optional<int64_t> new_ident;
    for (size_t ci = 0; ci < t.columns.size(); ++ci) {
        const mssx_column_def& col = t.columns[ci];
        if (col.identity) {
            if (given[ci]) {
                if (mssx_is_null(row[ci]))
                    throw mssx_error(515, "Cannot insert the value NULL into column '" + col.name + "', table '" +
                                              c.database() + "." + t.storage() +
                                              "'; column does not allow nulls. INSERT fails.");
                int64_t v = identity_number(col, row[ci]);
                int64_t last = t.ident_last.value_or(col.seed - col.increment);
                if (!t.ident_last || (col.increment > 0 ? v > last : v < last)) new_ident = v;
            } else {
                if (explicit_identity_allowed && mssx_iequal(s.identity_insert, t.storage()))
                    throw mssx_error(545, "Explicit value must be specified for identity column in table '" + t.name +
                                              "' either when IDENTITY_INSERT is set to ON or when a replication user "
                                              "is inserting into a NOT FOR REPLICATION identity column.");
                int64_t v = col.seed;
                if ((t.ident_last && __builtin_add_overflow(*t.ident_last, col.increment, &v)) ||
                    !identity_fits(col.type, v))
                    throw mssx_error(
                        8115, "Arithmetic overflow error converting IDENTITY to data type " + col.type.name + ".");
                row[ci] = mssx_convert(col.type, v, s.dateformat);
                new_ident = v;
            }
            continue;
        }
        if (mssx_is_rowversion(col.type)) {
            row[ci] = mssx_next_rowversion(s.db);
            continue;
        }
        if (!given[ci] && !col.default_text.empty())
            row[ci] = mssx_convert(col.type, mssx_eval_default(col.default_text, c), s.dateformat);
        // a computed column's value comes once the row is there
        if (mssx_is_null(row[ci]) && !col.nullable && col.computed.empty())
            throw mssx_error(515, "Cannot insert the value NULL into column '" + col.name + "', table '" +
                                      c.database() + "." + t.storage() +
                                      "'; column does not allow nulls. INSERT fails.");
    }
    // CHECK constraints that are enabled: a row fails only when the condition is false
    for (const auto& ck : t.checks) {
        if (ck.disabled) continue;
        std::vector<mssx_token> toks = mssx_lex(ck.text, true);
        std::string cond = mssx_translate(toks, 0, toks.size() - 1, table_env(c, t));
        std::string cols;
        for (size_t i = 0; i < t.columns.size(); ++i)
            cols += (i ? ", ?" : "?") + std::to_string(i + 1) +
                    mssx_collate_clause(t.columns[i].type, t.columns[i].collation) + " AS " +
                    mssx_sq_ident(t.columns[i].name);
        auto st = s.db.prepare("SELECT CASE WHEN " + cond + " THEN 0 WHEN NOT " + cond +
                               " THEN 1 ELSE 0 END FROM (SELECT " + cols + ")");
        for (size_t i = 0; i < row.size(); ++i) st.bind(static_cast<int>(i + 1), row[i]);
        if (st.step() && st.integer(0) == 1) {
            std::string column;
            for (auto& tk : toks)
                if (tk.is_name() && t.column_index(tk.text) >= 0) {
                    column = t.columns[static_cast<size_t>(t.column_index(tk.text))].name;
                    break;
                }
            throw mssx_error(547, "The INSERT statement conflicted with the CHECK constraint \"" + ck.name +
                                      "\". The conflict occurred in database \"" + c.database() + "\", table \"" +
                                      t.storage() + "\"" +
                                      (column.empty() ? std::string() : ", column '" + column + "'") + ".");
        }
    }
    // foreign keys that are checked
    for (const auto& fk : t.fks) {
        if (fk.disabled) continue;
        bool any_null = false;
        std::string where;
        std::vector<mssx_value> keys;
        for (size_t i = 0; i < fk.columns.size(); ++i) {
            int ci = t.column_index(fk.columns[i]);
            if (ci < 0 || mssx_is_null(row[static_cast<size_t>(ci)])) {
                any_null = true;
                break;
            }
            where += (i ? " AND " : "") + mssx_sq_ident(fk.ref_columns[i]) + "=?" + std::to_string(i + 1);
            keys.push_back(row[static_cast<size_t>(ci)]);
        }
        if (any_null) continue;
        auto st =
            s.db.prepare("SELECT 1 FROM " + mssx_sq_ident(fk.ref_schema + "." + fk.ref_table) + " WHERE " + where);
        for (size_t i = 0; i < keys.size(); ++i) st.bind(static_cast<int>(i + 1), keys[i]);
        if (!st.step())
            throw mssx_error(547, "The INSERT statement conflicted with the FOREIGN KEY constraint \"" + fk.name +
                                      "\". The conflict occurred in database \"" + c.database() + "\", table \"" +
                                      fk.ref_schema + "." + fk.ref_table + "\", column '" + fk.ref_columns[0] + "'.");
    }
    std::string sql = "INSERT INTO " + mssx_sq_ident(t.storage()) + " VALUES(";
    for (size_t i = 0; i < row.size(); ++i) sql += i ? ",?" : "?";
    sql += ")";
    auto st = s.db.prepare(sql);
    for (size_t i = 0; i < row.size(); ++i) st.bind(static_cast<int>(i + 1), row[i]);
    try {
        st.step();
    } catch (const mssx_error& e) {
        if (e.number != -2627) throw;
        // find the unique index that refused the row
        for (const auto& ix : t.indexes) {
            if (!ix.unique) continue;
            std::string w;
            for (size_t i = 0; i < ix.columns.size(); ++i)
                w += (i ? " AND " : "") + mssx_sq_ident(ix.columns[i]) + "=?" + std::to_string(i + 1);
            auto probe = s.db.prepare("SELECT 1 FROM " + mssx_sq_ident(t.storage()) + " WHERE " + w);
            for (size_t i = 0; i < ix.columns.size(); ++i)
                probe.bind(static_cast<int>(i + 1), row[static_cast<size_t>(t.column_index(ix.columns[i]))]);
            if (!probe.step()) continue;
            std::string dup = value_list(t, ix.columns, row);
            if (ix.primary || ix.constraint)
                throw mssx_error(2627,
                                 std::string("Violation of ") + (ix.primary ? "PRIMARY KEY" : "UNIQUE KEY") +
                                     " constraint '" + ix.name + "'. Cannot insert duplicate key in object '" +
                                     t.storage() + "'. The duplicate key value is " + dup + ".",
                                 14);
            throw mssx_error(2601,
                             "Cannot insert duplicate key row in object '" + t.storage() + "' with unique index '" +
                                 ix.name + "'. The duplicate key value is " + dup + ".",
                             14);
        }
        throw mssx_error(
            2627, "Violation of PRIMARY KEY constraint. Cannot insert duplicate key in object '" + t.storage() + "'.",
            14);
    }
    if (std::any_of(t.columns.begin(), t.columns.end(), [](auto& col) { return !col.computed.empty(); })) {
        std::string rowid = std::to_string(sqlite3_last_insert_rowid(s.db.get()));
        mssx_refresh_computed(c, t, "rowid = " + rowid);
        for (const auto& col : t.columns) {
            if (col.computed.empty() || col.nullable) continue;
            auto probe = s.db.prepare("SELECT " + mssx_sq_ident(col.name) + " IS NULL FROM " +
                                      mssx_sq_ident(t.storage()) + " WHERE rowid = " + rowid);
            if (probe.step() && probe.integer(0) == 1) {
                s.db.exec("DELETE FROM " + mssx_sq_ident(t.storage()) + " WHERE rowid = " + rowid);
                throw mssx_error(515, "Cannot insert the value NULL into column '" + col.name + "', table '" +
                                          c.database() + "." + t.storage() +
                                          "'; column does not allow nulls. INSERT fails.");
            }
        }
    }
    if (new_ident) c.catalog().set_ident_last(t, *new_ident);
}

void mssx_batch_runner::insert(size_t p, size_t e)
{
    size_t k = p + 1;
    if (T[k].is_word("INTO")) ++k;
    std::vector<std::string> parts = name_parts(k, e);
    std::string sch, name;
    mssx_split_object(parts, sch, name);
    auto t = c.catalog().load_table(sch, name);
    if (!t) {
        std::string shown;
        for (auto& x : parts) shown += (shown.empty() ? "" : ".") + x;
        auto obj = c.catalog().find_object(sch, name);
        if (obj)
            throw mssx_error(4405, "View or function '" + shown +
                                       "' is not updatable because the modification affects multiple base tables.");
        throw mssx_error(208, "Invalid object name '" + shown + "'.");
    }
    bool identity_on = mssx_iequal(s.identity_insert, t->storage());
    std::vector<int> cols;
    bool listed = false;
    if (k < e && T[k].is_op("(") && !(k + 1 < e && T[k + 1].is_word("SELECT"))) {
        size_t m = mssx_match_paren(T, k, e);
        for (size_t i = k + 1; i < m; ++i) {
            if (T[i].is_op(",")) continue;
            int ci = t->column_index(ident_text(i));
            if (ci < 0) throw mssx_error(207, "Invalid column name '" + T[i].text + "'.", 16, T[i].line);
            cols.push_back(ci);
        }
        listed = true;
        k = m + 1;
    } else {
        for (size_t i = 0; i < t->columns.size(); ++i)
            if (!t->columns[i].identity && t->columns[i].computed.empty()) cols.push_back(static_cast<int>(i));
    }
    if (identity_on && !listed)
        throw mssx_error(8101, "An explicit value for the identity column in table '" + t->storage() +
                                   "' can only be specified when a column list is used and IDENTITY_INSERT is ON.");
    int64_t count = 0;
    if (k < e && T[k].is_word("DEFAULT")) {
        expect_word(k + 1, "VALUES");
        mssx_insert_row(c, *t, {}, {}, identity_on);
        count = 1;
    } else if (k < e && T[k].is_word("VALUES")) {
        ++k;
        while (k < e) {
            if (!T[k].is_op("(")) mssx_syntax_error(T[k]);
            size_t m = mssx_match_paren(T, k, e);
            std::vector<std::optional<mssx_value>> vals;
            size_t start = k + 1;
            int depth = 0;
            for (size_t i = k + 1; i <= m; ++i) {
                if (i < m && T[i].is_op("("))
                    ++depth;
                else if (i < m && T[i].is_op(")"))
                    --depth;
                else if (i == m || (depth == 0 && T[i].is_op(","))) {
                    if (i == start) mssx_syntax_error(T[i]);
                    if (i == start + 1 && T[start].is_word("DEFAULT"))
                        vals.push_back(std::nullopt);
                    else if (vals.size() < cols.size() &&
                             t->columns[static_cast<size_t>(cols[vals.size()])].type.name == "sql_variant")
                        vals.push_back(eval_variant(start, i));
                    else
                        vals.push_back(eval(start, i));
                    start = i + 1;
                }
            }
            if (vals.size() != cols.size()) {
                if (!listed)
                    throw mssx_error(213, "Column name or number of supplied values does not match table definition.");
                throw mssx_error(vals.size() > cols.size() ? 110 : 109,
                                 vals.size() > cols.size()
                                     ? "There are fewer columns in the INSERT statement than values specified in the "
                                       "VALUES clause. The number of values in the VALUES clause must match the number "
                                       "of columns specified in the INSERT statement."
                                     : "There are more columns in the INSERT statement than values specified in the "
                                       "VALUES clause. The number of values in the VALUES clause must match the number "
                                       "of columns specified in the INSERT statement.");
            }
            mssx_insert_row(c, *t, cols, vals, identity_on);
            ++count;
            t = c.catalog().load_table(sch, name); // identity moved on
            k = m + 1;
            if (k < e && T[k].is_op(","))
                ++k;
            else if (k < e)
                mssx_syntax_error(T[k]);
        }
    } else if (k < e && (T[k].is_word("SELECT") || T[k].is_op("("))) {
        mssx_result r = mssx_run_query(c, mssx_translate(T, k, e, env()));
        if (!r.rows.empty() && r.columns.size() != cols.size())
            throw mssx_error(120,
                             "The select list for the INSERT statement contains fewer items than the insert list. The "
                             "number of SELECT values must match the number of INSERT columns.");
        for (auto& row : r.rows) {
            std::vector<std::optional<mssx_value>> vals(row.begin(), row.end());
            mssx_insert_row(c, *t, cols, vals, identity_on);
            t = c.catalog().load_table(sch, name);
            ++count;
        }
    } else
        mssx_syntax_error(T[k]);
    out.rows_affected = (out.rows_affected < 0 ? 0 : out.rows_affected) + count;
    if (!s.nocount)
        out.messages.push_back("(" + std::to_string(count) + " row" + (count == 1 ? "" : "s") + " affected)");
}

void mssx_batch_runner::update_delete(size_t p, size_t e)
{
    size_t k = p + 1;
    if (T[p].is_word("UPDATE") && T[k].is_word("STATISTICS")) return; // the embedded server keeps no statistics
    if (T[p].is_word("TRUNCATE")) {
        expect_word(k++, "TABLE");
        std::vector<std::string> parts = name_parts(k, e);
        std::string sch, name;
        mssx_split_object(parts, sch, name);
        auto t = c.catalog().load_table(sch, name);
        if (!t)
            throw mssx_error(4701, "Cannot find the object \"" + name +
                                       "\" because it does not exist or you do not have permissions.");
        s.db.exec("DELETE FROM " + mssx_sq_ident(t->storage()));
        c.catalog().clear_ident_last(*t);
        return;
    }
    bool is_delete = T[p].is_word("DELETE");
    if (is_delete && T[k].is_word("FROM")) ++k;
    size_t name_at = k;
    std::vector<std::string> parts = name_parts(k, e);
    std::string sch, name;
    mssx_split_object(parts, sch, name);
    auto t = c.catalog().load_table(sch, name);
    if (!t) {
        std::string shown;
        for (auto& x : parts) shown += (shown.empty() ? "" : ".") + x;
        throw mssx_error(208, "Invalid object name '" + shown + "'.");
    }
    (void)name_at;
    std::string sql = std::string(is_delete ? "DELETE FROM " : "UPDATE ") + mssx_sq_ident(t->storage()) + " AS " +
                      mssx_sq_ident(name);
    if (!is_delete) {
        expect_word(k, "SET");
        // values of SET are converted to the column types as literals
        size_t q = k + 1;
        std::string sets;
        while (q < e && !T[q].is_word("WHERE") && !T[q].is_word("FROM")) {
            std::string col = ident_text(q);
            int ci = t->column_index(col);
            if (ci < 0) throw mssx_error(207, "Invalid column name '" + col + "'.", 16, T[q].line);
            if (t->columns[static_cast<size_t>(ci)].identity)
                throw mssx_error(8102, "Cannot update identity column '" + col + "'.");
            if (mssx_is_rowversion(t->columns[static_cast<size_t>(ci)].type))
                throw mssx_error(272, "Cannot update a timestamp column.");
            if (!t->columns[static_cast<size_t>(ci)].computed.empty())
                throw mssx_error(271, "The column \"" + col +
                                          "\" cannot be modified because it is either a computed column or is the "
                                          "result of a UNION operator.");
            if (!T[q + 1].is_op("=")) mssx_syntax_error(T[q + 1]);
            size_t a = q + 2, b = a;
            int depth = 0;
            while (b < e) {
                if (T[b].is_op("("))
                    ++depth;
                else if (T[b].is_op(")"))
                    --depth;
                else if (depth == 0 && (T[b].is_op(",") || T[b].is_word("WHERE") || T[b].is_word("FROM")))
                    break;
                ++b;
            }
            bool literal = b == a + 1 && T[a].kind != mssx_tok::ident && T[a].kind != mssx_tok::qident;
            literal = literal || (b == a + 1 && T[a].is_word("NULL")) ||
                      (b == a + 2 && T[a].is_op("-") && T[a + 1].kind == mssx_tok::number);
            std::string rhs;
            if (literal) {
                const mssx_type& to = t->columns[static_cast<size_t>(ci)].type;
                mssx_value v =
                    mssx_convert(to, to.name == "sql_variant" ? eval_variant(a, b) : eval(a, b), s.dateformat);
                if (mssx_is_null(v) && !t->columns[static_cast<size_t>(ci)].nullable)
                    throw mssx_error(515, "Cannot insert the value NULL into column '" + col + "', table '" +
                                              c.database() + "." + t->storage() +
                                              "'; column does not allow nulls. UPDATE fails.");
                std::string tag = "?" + std::to_string(1000 + ci);
                rhs = "mssx_value_" + std::to_string(ci);
                (void)tag;
                // bind through a literal of the stored representation
                if (mssx_is_null(v))
                    rhs = "NULL";
                else if (auto i = std::get_if<int64_t>(&v))
                    rhs = std::to_string(*i);
                else if (auto d = std::get_if<double>(&v)) {
                    char buf[64];
                    std::snprintf(buf, sizeof buf, "%.17g", *d);
                    rhs = buf;
                } else if (auto str = std::get_if<std::string>(&v))
                    rhs = mssx_sq_literal(*str);
                else if (auto bl = std::get_if<mssx_blob>(&v)) {
                    static const char* h = "0123456789ABCDEF";
                    rhs = "X'";
                    for (unsigned char ch : bl->bytes) {
                        rhs += h[ch >> 4];
                        rhs += h[ch & 15];
                    }
                    rhs += "'";
                }
            } else {
                // an expression's value is stored as the column's type keeps it
                const mssx_column_def& target = t->columns[static_cast<size_t>(ci)];
                std::string expr = mssx_translate(T, a, b, env());
                if (target.type.name == "sql_variant") {
                    // a sql_variant takes the expression's own type
                    auto from = expression_type(a, b);
                    expr = "mssx_cast((" + expr + "), 'sql_variant', NULL, " +
                           mssx_sq_literal(from ? from->sql_text() : std::string()) + ", " +
                           mssx_sq_literal(s.dateformat) + ")";
                }
                rhs = "mssx_assign((" + expr + "), " + mssx_sq_literal(target.type.sql_text()) + ", " +
                      mssx_sq_literal(s.dateformat) + ", " +
                      (target.nullable ? std::string("NULL")
                                       : mssx_sq_literal("Cannot insert the value NULL into column '" + col +
                                                         "', table '" + c.database() + "." + t->storage() +
                                                         "'; column does not allow nulls. UPDATE fails.")) +
                      ", " + std::to_string(target.type.code_page) + ")";
            }
            sets +=
                (sets.empty() ? " SET " : ", ") + mssx_sq_ident(t->columns[static_cast<size_t>(ci)].name) + " = " + rhs;
            q = b;
            if (q < e && T[q].is_op(",")) ++q;
        }
        // every row the statement changes takes a new rowversion
        for (const auto& col : t->columns)
            if (mssx_is_rowversion(col.type)) sets += ", " + mssx_sq_ident(col.name) + " = mssx_next_rowversion()";
        sql += sets;
        k = q;
    }
    if (k < e) {
        if (!T[k].is_word("WHERE")) mssx_syntax_error(T[k]);
        sql += " WHERE " + mssx_translate(T, k + 1, e, env());
    }
    try {
        s.db.exec(sql);
    } catch (const mssx_error& err) {
        mssx_rethrow_sqlite(err, sql);
    }
    int64_t n = s.db.changes();
    if (!is_delete) mssx_refresh_computed(c, *t, std::string());
    out.rows_affected = (out.rows_affected < 0 ? 0 : out.rows_affected) + n;
    if (!s.nocount) out.messages.push_back("(" + std::to_string(n) + " row" + (n == 1 ? "" : "s") + " affected)");
}
