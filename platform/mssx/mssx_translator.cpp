#include "platform/mssx/mssx_translator.h"
#include <cctype>
#include <map>
#include <set>
#include "platform/mssx/mssx_date_functions.h"
#include "platform/mssx/mssx_decimal.h"
#include "platform/mssx/mssx_error.h"
#include "platform/mssx/mssx_expr_functions.h"
#include "platform/mssx/mssx_sqlite.h"
#include "platform/mssx/mssx_value.h"

namespace {

const std::set<std::string> kReserved = {"ADD",      "ALL",        "ALTER",      "AND",     "ANY",
                                         "AS",       "ASC",        "BEGIN",      "BETWEEN", "BY",
                                         "CASE",     "CHECK",      "CLUSTERED",  "COLLATE", "COLUMN",
                                         "COMMIT",   "CONSTRAINT", "CREATE",     "CROSS",   "CURRENT_TIMESTAMP",
                                         "DECLARE",  "DEFAULT",    "DELETE",     "DESC",    "DISTINCT",
                                         "DROP",     "ELSE",       "END",        "EXCEPT",  "EXEC",
                                         "EXECUTE",  "EXISTS",     "FOR",        "FOREIGN", "FROM",
                                         "FULL",     "GO",         "GROUP",      "HAVING",  "IF",
                                         "IN",       "INDEX",      "INNER",      "INSERT",  "INTERSECT",
                                         "INTO",     "IS",         "JOIN",       "KEY",     "LEFT",
                                         "LIKE",     "NOT",        "NULL",       "ON",      "OPTION",
                                         "OR",       "ORDER",      "OUTER",      "PRIMARY", "PRINT",
                                         "PROC",     "PROCEDURE",  "REFERENCES", "RIGHT",   "ROLLBACK",
                                         "SELECT",   "SET",        "TABLE",      "THEN",    "TOP",
                                         "TRUNCATE", "UNION",      "UNIQUE",     "UPDATE",  "USE",
                                         "VALUES",   "VIEW",       "WHEN",       "WHERE",   "WITH",
                                         "WHILE"};

// Words SQLite reserves that T-SQL does not: a column of such a name is quoted.
const std::set<std::string> kSqliteOnly = {
    "ABORT",     "ACTION",     "AFTER",     "ALWAYS", "ANALYZE", "ATTACH",       "AUTOINCREMENT", "BEFORE",
    "CONFLICT",  "DEFERRABLE", "DEFERRED",  "DETACH", "DO",      "EACH",         "EXCLUDE",       "EXCLUSIVE",
    "FAIL",      "FILTER",     "GENERATED", "GLOB",   "GROUPS",  "IGNORE",       "IMMEDIATE",     "INDEXED",
    "INITIALLY", "INSTEAD",    "ISNULL",    "LIMIT",  "MATCH",   "MATERIALIZED", "NOTHING",       "NOTNULL",
    "NULLS",     "OFFSET",     "OTHERS",    "PLAN",   "PRAGMA",  "QUERY",        "RAISE",         "RECURSIVE",
    "REGEXP",    "REINDEX",    "RELEASE",   "RENAME", "REPLACE", "RETURNING",    "SAVEPOINT",     "TEMP",
    "TEMPORARY", "VACUUM",     "VIRTUAL",   "WINDOW", "WITHOUT"};

// Methods of hierarchyid values, and the type each gives.
const std::map<std::string, std::pair<const char*, const char*>> kHierarchyMethodTypes = {
    {"GETLEVEL", {"smallint", ""}},
    {"TOSTRING", {"nvarchar", "4000"}},
    {"GETANCESTOR", {"hierarchyid", ""}},
    {"ISDESCENDANTOF", {"bit", ""}}};
const std::set<std::string> kHierarchyMethods = {"GETLEVEL", "TOSTRING", "GETANCESTOR", "ISDESCENDANTOF"};

// Longest char and nchar values short of max.
constexpr int64_t kMssxCharLimit = 8000;
constexpr int64_t kMssxNcharLimit = 4000;

// Functions whose result is text when their argument is.
const std::set<std::string> kTextFunctions = {"UPPER", "LOWER",     "LTRIM",   "RTRIM",   "TRIM",     "SUBSTRING",
                                              "LEFT",  "RIGHT",     "REPLACE", "ISNULL",  "COALESCE", "CONCAT",
                                              "STUFF", "REPLICATE", "CAST",    "CONVERT", "NCHAR",    "CHAR"};

std::string hex_of(const std::string& bytes)
{
    static const char* h = "0123456789ABCDEF";
    std::string s;
    for (unsigned char c : bytes) {
        s += h[c >> 4];
        s += h[c & 15];
    }
    return s;
}

bool looks_like_compact_date(const std::string& s)
{
    if (s.size() != 8) return false;
    for (char c : s)
        if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    int m = std::stoi(s.substr(4, 2)), d = std::stoi(s.substr(6, 2));
    return m >= 1 && m <= 12 && d >= 1 && d <= 31;
}

class translator {
public:
    // Translates [from, to) of the tokens.
    translator(const std::vector<mssx_token>& t, const mssx_translate_env& e, size_t from, size_t to)
        : T(t), env(e), from_(from)
    {
        // every '(' finds its ')' once: the translation asks for them again and again
        to = std::min(to, T.size());
        match_.assign(to > from ? to - from : 0, kUnmatched);
        std::vector<size_t> open;
        for (size_t i = from; i < to; ++i) {
            if (T[i].is_op("(")) {
                open.push_back(i);
            } else if (T[i].is_op(")") && !open.empty()) {
                match_[open.back() - from] = i;
                open.pop_back();
            }
        }
        mssx_check_nesting(T, from, to);
    }

    std::string run(size_t a, size_t b, bool from_group)
    {
        // only the outermost select list is typed for the caller
        struct level_guard {
            int& n;
            explicit level_guard(int& x) : n(++x) {}
            ~level_guard() { --n; }
        } guard(level_);
        bool typed_level = level_ == 1 && env.item_types && !items_done_;
        std::string out;
        bool in_from = from_group, expect_table = from_group;
        bool in_list = false; // inside the select list of this level
        size_t item_start = a;
        std::string limit;
        for (size_t k = a; k < b;) {
            const mssx_token& t = T[k];
            if (t.kind == mssx_tok::end) break;
            // decimal and money arithmetic and comparisons are computed exactly, not in binary floating point
            bool alias_form = in_list && k == item_start && k + 1 < b && T[k + 1].is_op("=");
            if (!expect_table && !alias_form && starts_expression(k, a)) {
                size_t next = k;
                std::string exact = exact_expression(k, b, next);
                if (!exact.empty()) {
                    out += " " + exact;
                    k = next;
                    continue;
                }
            }
            if (t.is_op("(")) {
                size_t m = match(k, b);
                bool sub = k + 1 < m && T[k + 1].is_word("SELECT");
                if (sub && expect_table) {
                    std::string inner = run(k + 1, m, false);
                    check_derived(k + 1, m, inner);
                    out += " (" + inner + ")";
                    expect_table = false;
                } else if (expect_table) {
                    out += " (" + run(k + 1, m, true) + ")";
                    expect_table = false;
                } else {
                    out += " (" + run(k + 1, m, false) + ")";
                }
                k = m + 1;
                continue;
            }
            if (t.is_name()) {
                std::vector<std::string> parts{t.text};
                std::vector<bool> star{false};
                size_t e = k + 1;
                while (e + 1 < b && T[e].is_op(".") && (T[e + 1].is_name() || T[e + 1].is_op("*"))) {
                    parts.push_back(T[e + 1].text);
                    star.push_back(T[e + 1].is_op("*"));
                    e += 2;
                }
                // "db..table" leaves the schema out
                while (e + 2 < b && T[e].is_op(".") && T[e + 1].is_op(".") && T[e + 2].is_name()) {
                    parts.push_back("dbo");
                    parts.push_back(T[e + 2].text);
                    star.push_back(false);
                    star.push_back(false);
                    e += 3;
                }
                if (expect_table && !(parts.size() == 1 && t.kind == mssx_tok::ident && mssx_is_reserved(t))) {
                    std::string name = env.resolve_table(parts);
                    out += " " + name;
                    bool has_alias = e < b && (T[e].is_word("AS") || T[e].kind == mssx_tok::qident ||
                                               (T[e].kind == mssx_tok::ident && !mssx_is_reserved(T[e])));
                    if (!has_alias) out += " AS " + mssx_sq_ident(parts.back());
                    expect_table = false;
                    k = e;
                    continue;
                }
                if (parts.size() == 1 && t.kind == mssx_tok::ident) {
                    std::string U = mssx_upper(t.text);
                    if (e < b && T[e].is_op("(") && U != "IN" && U != "EXISTS" && U != "AS" && U != "ON" &&
                        U != "AND" && U != "OR" && U != "NOT" && U != "VALUES" && U != "THEN" && U != "ELSE" &&
                        U != "WHEN" && U != "SELECT" && U != "FROM" && U != "WHERE" && U != "JOIN" && U != "BY" &&
                        U != "IS" && U != "LIKE" && U != "BETWEEN" && U != "UNION" && U != "ALL" && U != "CASE" &&
                        U != "DISTINCT" && U != "HAVING") {
                        size_t m = match(e, b);
                        out += " " + function(U, t, e, m);
                        // what a text function makes keeps the padded comparison of its argument
                        if (kTextFunctions.count(U) && compared(k, m + 1, a, b))
                            out += std::string(" COLLATE ") + kMssxPaddedCi;
                        k = m + 1;
                        continue;
                    }
                    if (U == "SELECT") {
                        in_list = true;
                        item_start = e;
                    } else if (U == "DISTINCT" || U == "ALL") {
                        if (in_list && item_start == k) item_start = e;
                    }
                    if (in_list && typed_level &&
                        (U == "FROM" || U == "WHERE" || U == "GROUP" || U == "ORDER" || U == "HAVING" || U == "UNION" ||
                         U == "EXCEPT" || U == "INTERSECT")) {
                        close_item(item_start, k);
                        items_done_ = true;
                        typed_level = false;
                    }
                    if (U == "FROM") {
                        in_from = expect_table = true;
                        in_list = false;
                    } else if (U == "JOIN" || U == "APPLY")
                        expect_table = true;
                    else if (U == "WHERE" || U == "GROUP" || U == "ORDER" || U == "HAVING" || U == "ON" ||
                             U == "UNION" || U == "EXCEPT" || U == "INTERSECT") {
                        in_from = expect_table = false;
                        in_list = false;
                    } else if (U == "TOP") {
                        k = top(k, b, limit);
                        if (in_list) item_start = k;
                        continue;
                    } else if (U == "CURRENT_TIMESTAMP") {
                        out += " mssx_getdate()";
                        k = e;
                        continue;
                    }
                    out += " " + (kSqliteOnly.count(U) ? mssx_sq_ident(t.text) : t.text);
                    k = e;
                    continue;
                }
                if (parts.size() >= 2 && e < b && T[e].is_op("(") &&
                    kHierarchyMethods.count(mssx_upper(parts.back()))) {
                    // column.GetLevel() ...: a method of a hierarchyid value
                    size_t m = match(e, b);
                    std::string method = mssx_upper(parts.back());
                    parts.pop_back();
                    if (parts.size() > 2) parts.erase(parts.begin(), parts.end() - 2);
                    std::string ref;
                    for (size_t i = 0; i < parts.size(); ++i) ref += (i ? "." : "") + mssx_sq_ident(parts[i]);
                    std::string call = "mssx_hid_" + method + "(" + ref +
                                       (m > e + 1 ? ", " + run(e + 1, m, false) : std::string()) + ")";
                    // a.GetAncestor(1).ToString(): each method applies to what the one before gave
                    while (m + 3 < b && T[m + 1].is_op(".") && T[m + 2].is_name() &&
                           kHierarchyMethods.count(mssx_upper(T[m + 2].text)) && T[m + 3].is_op("(")) {
                        size_t open = m + 3, close = match(open, b);
                        call = "mssx_hid_" + mssx_upper(T[m + 2].text) + "(" + call +
                               (close > open + 1 ? ", " + run(open + 1, close, false) : std::string()) + ")";
                        m = close;
                    }
                    out += " " + call;
                    k = m + 1;
                    continue;
                }
                if (parts.size() > 2) {
                    parts.erase(parts.begin(), parts.end() - 2);
                    star.erase(star.begin(), star.end() - 2);
                }
                std::string ref;
                for (size_t i = 0; i < parts.size(); ++i) {
                    if (i) ref += ".";
                    ref += star[i] ? "*" : mssx_sq_ident(parts[i]);
                }
                out += " " + ref;
                // a qualified column that is a whole select item keeps its own name
                // (SQLite would otherwise name columns of nested joins "col:1")
                if (in_list && k == item_start && parts.size() == 2 && !star[1] &&
                    (e >= b || T[e].is_op(",") || T[e].is_word("FROM") || T[e].kind == mssx_tok::end))
                    out += " AS " + mssx_sq_ident(parts[1]);
                k = e;
                continue;
            }
            switch (t.kind) {
            case mssx_tok::string:
            case mssx_tok::nstring:
                if (looks_like_compact_date(t.text))
                    out += " " + mssx_sq_literal(t.text.substr(0, 4) + "-" + t.text.substr(4, 2) + "-" +
                                                 t.text.substr(6, 2) + " 00:00:00.000");
                else
                    out += " " + mssx_sq_literal(t.text);
                if (literal_comparison(k, a, b)) out += std::string(" COLLATE ") + kMssxPaddedCi;
                break;
            case mssx_tok::number:
                out += " " + t.text;
                break;
            case mssx_tok::binary:
                out += " X'" + hex_of(t.text) + "'";
                break;
            case mssx_tok::variable:
                out += " " + variable(t);
                if (literal_comparison(k, a, b)) out += std::string(" COLLATE ") + kMssxPaddedCi;
                break;
            case mssx_tok::op:
                if (t.text == "+" && is_concat(k, a, b))
                    out += " ||";
                else if (t.text == ",") {
                    out += ",";
                    if (in_from) expect_table = true;
                    if (in_list && typed_level) close_item(item_start, k);
                    if (in_list) item_start = k + 1;
                } else if (t.text == ";") {
                    if (in_list && typed_level) {
                        close_item(item_start, k);
                        items_done_ = true;
                    }
                    // end of the statement: nothing more belongs to it
                    k = b;
                    continue;
                } else if (t.text == "!=")
                    out += " <>";
                else if (t.text == "!<")
                    out += " >=";
                else if (t.text == "!>")
                    out += " <=";
                else if (t.text == "*=" || t.text == "+=" || t.text == "-=" || t.text == "/=" || t.text == "||" ||
                         t.text == "{" || t.text == "}")
                    mssx_syntax_error(t);
                else
                    out += " " + t.text;
                break;
            default:
                mssx_syntax_error(t);
            }
            ++k;
        }
        if (in_list && typed_level && !items_done_) {
            close_item(item_start, b);
            items_done_ = true;
        }
        if (!limit.empty()) out += " LIMIT " + limit;
        return out;
    }

private:
    static constexpr size_t kUnmatched = static_cast<size_t>(-1);
    const std::vector<mssx_token>& T;
    const mssx_translate_env& env;
    size_t from_;
    std::vector<size_t> match_; // of each '(' from from_ on: its ')', or kUnmatched

    // The ')' of the '(' at open before limit; the server's syntax error when there is none.
    size_t match(size_t open, size_t limit) const
    {
        size_t m = open >= from_ && open - from_ < match_.size() ? match_[open - from_] : kUnmatched;
        if (m == kUnmatched || m >= limit || !T[open].is_op("(")) return mssx_match_paren(T, open, limit);
        return m;
    }
    int level_ = 0;
    bool items_done_ = false;

    // A select item's type when the translation decides it (a plain column
    // keeps the type its table gives it).
    void close_item(size_t a, size_t b)
    {
        if (b > a + 2 && T[a].is_name() && T[a + 1].is_op("="))
            a += 2; // name = expr
        else if (b > a + 2 && T[b - 2].is_word("AS"))
            b -= 2;
        else if (b > a + 1 && T[b - 1].is_name() && !mssx_is_reserved(T[b - 1]) &&
                 (T[b - 2].is_op(")") || T[b - 2].is_name() || T[b - 2].kind == mssx_tok::number ||
                  T[b - 2].kind == mssx_tok::string || T[b - 2].kind == mssx_tok::nstring))
            --b;
        bool plain = a < b;
        for (size_t i = a; i < b; ++i)
            if (!((i - a) % 2 == 0 ? T[i].is_name() : T[i].is_op("."))) plain = false;
        env.item_types->push_back(plain ? std::nullopt : env.type_every_item ? expr_type(a, b) : infer(a, b));
    }

    static bool is_comparison(const mssx_token& t)
    {
        static const std::set<std::string> ops = {"=", "<>", "!=", "<", ">", "<=", ">=", "!<", "!>"};
        return t.kind == mssx_tok::op && ops.count(t.text) > 0;
    }

    static bool is_literal(const mssx_token& t)
    {
        return t.kind == mssx_tok::string || t.kind == mssx_tok::nstring || t.kind == mssx_tok::variable;
    }

    // The left side of "literal op literal": SQLite would compare the two
    // without a collation, so the blanks at their ends would count.
    bool literal_comparison(size_t k, size_t a, size_t b) const
    {
        if (k + 2 >= b || !is_comparison(T[k + 1]) || !is_literal(T[k + 2])) return false;
        if (k + 3 < b && (is_arithmetic(T[k + 3]) || T[k + 3].is_op("."))) return false;
        return k == a || !is_arithmetic(T[k - 1]);
    }

    // Whether the operand [k, e) is a side of a comparison (=, <, IN, BETWEEN ...).
    bool compared(size_t k, size_t e, size_t a, size_t b) const
    {
        if (k > a && is_comparison(T[k - 1])) return true;
        if (e >= b) return false;
        if (is_comparison(T[e]) || T[e].is_word("IN") || T[e].is_word("BETWEEN")) return true;
        return e + 1 < b && T[e].is_word("NOT") && (T[e + 1].is_word("IN") || T[e + 1].is_word("BETWEEN"));
    }

    static bool is_arithmetic(const mssx_token& t)
    {
        return t.kind == mssx_tok::op && t.text.size() == 1 &&
               std::string("+-*/%").find(t.text[0]) != std::string::npos;
    }

    // Whether an expression may begin at k: not in the middle of a name or
    // of an arithmetic chain the translation already passed.
    bool starts_expression(size_t k, size_t a) const
    {
        if (k == a) return true;
        const mssx_token& p = T[k - 1];
        if (p.kind == mssx_tok::op) return p.text == "(" || p.text == "," || is_comparison(p);
        return p.kind == mssx_tok::ident && mssx_is_reserved(p) && !p.is_word("AS");
    }

    // End of the operand that starts at k ([+|-]... number, text, variable,
    // name, function call or parenthesised group); k when none starts there.
    size_t operand_end(size_t k, size_t b) const
    {
        size_t i = k;
        while (i < b && (T[i].is_op("-") || T[i].is_op("+"))) ++i;
        if (i >= b) return k;
        const mssx_token& t = T[i];
        if (t.is_op("(")) return match(i, b) + 1;
        if (t.kind == mssx_tok::number || t.kind == mssx_tok::string || t.kind == mssx_tok::nstring ||
            t.kind == mssx_tok::variable)
            return i + 1;
        if (!t.is_name() || (t.kind == mssx_tok::ident && mssx_is_reserved(t))) return k;
        size_t e = i + 1;
        while (e + 1 < b && T[e].is_op(".") && T[e + 1].is_name()) e += 2;
        if (e < b && T[e].is_op("(")) return match(e, b) + 1;
        return e;
    }

    // End of the chain of operands joined by + - * / % that starts at k; k when none.
    size_t chain_end(size_t k, size_t b) const
    {
        size_t e = operand_end(k, b);
        if (e == k) return k;
        while (e < b && is_arithmetic(T[e])) {
            size_t n = operand_end(e + 1, b);
            if (n == e + 1) return k;
            e = n;
        }
        return e;
    }

    // Whether [a, b) computes something: an operator outside parentheses or a sign.
    bool has_arithmetic(size_t a, size_t b) const
    {
        while (b > a + 1 && T[a].is_op("(") && match(a, b) == b - 1) {
            ++a;
            --b;
        }
        int depth = 0;
        for (size_t k = a; k < b; ++k) {
            if (T[k].is_op("("))
                ++depth;
            else if (T[k].is_op(")"))
                --depth;
            else if (depth == 0 && is_arithmetic(T[k]) && (k == a || !operator_before(T[k - 1])))
                return true;
        }
        return false;
    }

    static int significant_digits(const std::string& number)
    {
        int n = 0;
        bool started = false;
        for (char c : number) {
            if (c < '0' || c > '9') continue;
            started = started || c != '0';
            if (started) ++n;
        }
        return n;
    }

    // The exact form of a chain or comparison that starts at k, with `next`
    // after it; empty when the plain translation is as exact.
    std::string exact_expression(size_t k, size_t b, size_t& next)
    {
        size_t m = chain_end(k, b);
        if (m == k) return std::string();
        auto left = infer(k, m);
        int p = 0, ls = 0, rs = 0;
        if (!left || !mssx_numeric_shape(*left, p, ls)) return std::string();
        if (m < b && is_comparison(T[m])) {
            size_t r = chain_end(m + 1, b);
            auto right = r > m + 1 ? infer(m + 1, r) : std::nullopt;
            if (right && mssx_numeric_shape(*right, p, rs) && (left->is_exact_decimal() || right->is_exact_decimal()) &&
                !plain_equality(k, m, r, ls, rs)) {
                std::string op = T[m].text == "!="   ? "<>"
                                 : T[m].text == "!<" ? ">="
                                 : T[m].text == "!>" ? "<="
                                                     : T[m].text;
                next = r;
                return "(mssx_exact_cmp(" + exact_sql(k, m) + ", " + std::to_string(ls) + ", " + exact_sql(m + 1, r) +
                       ", " + std::to_string(rs) + ") " + op + " 0)";
            }
        }
        if (m < b && (T[m].is_word("BETWEEN") || (T[m].is_word("NOT") && m + 1 < b && T[m + 1].is_word("BETWEEN")))) {
            bool negated = T[m].is_word("NOT");
            size_t lo = m + (negated ? 2 : 1), lo_end = chain_end(lo, b);
            size_t hi = lo_end + 1, hi_end = lo_end < b && T[lo_end].is_word("AND") ? chain_end(hi, b) : hi;
            auto low = lo_end > lo ? infer(lo, lo_end) : std::nullopt;
            auto high = hi_end > hi ? infer(hi, hi_end) : std::nullopt;
            int los = 0, his = 0;
            if (low && high && mssx_numeric_shape(*low, p, los) && mssx_numeric_shape(*high, p, his) &&
                (left->is_exact_decimal() || low->is_exact_decimal() || high->is_exact_decimal())) {
                std::string value = exact_sql(k, m), scale = std::to_string(ls);
                next = hi_end;
                return std::string(negated ? "NOT " : "") + "(mssx_exact_cmp(" + value + ", " + scale + ", " +
                       exact_sql(lo, lo_end) + ", " + std::to_string(los) + ") >= 0 AND mssx_exact_cmp(" + value +
                       ", " + scale + ", " + exact_sql(hi, hi_end) + ", " + std::to_string(his) + ") <= 0)";
            }
        }
        if (!left->is_exact_decimal() || !has_arithmetic(k, m)) return std::string();
        next = m;
        return exact_sql(k, m);
    }

    // = and <> between plain values of one scale compare as well natively
    // (a decimal is kept in one form for its value), and use indexes.
    bool plain_equality(size_t k, size_t m, size_t r, int ls, int rs) const
    {
        const std::string& op = T[m].text;
        if (op != "=" && op != "<>" && op != "!=") return false;
        if (has_arithmetic(k, m) || has_arithmetic(m + 1, r)) return false;
        auto long_literal = [&](size_t a, size_t e) {
            for (size_t i = a; i < e; ++i)
                if (T[i].kind == mssx_tok::number && significant_digits(T[i].text) > 15) return true;
            return false;
        };
        if (long_literal(k, m) || long_literal(m + 1, r)) return false;
        bool literal =
            (m == k + 1 && T[k].kind == mssx_tok::number) || (r == m + 2 && T[m + 1].kind == mssx_tok::number);
        return literal || ls == rs;
    }

    // SQL computing [a, b) (an exact number) with mssx_exact for every
    // operation whose result is a decimal or money.
    std::string exact_sql(size_t a, size_t b)
    {
        while (b > a + 1 && T[a].is_op("(") && match(a, b) == b - 1) {
            ++a;
            --b;
        }
        for (const char* ops : {"+-", "*/%"}) {
            int depth = 0;
            for (size_t k = b; k-- > a;) {
                if (T[k].is_op(")"))
                    ++depth;
                else if (T[k].is_op("("))
                    --depth;
                else if (depth == 0 && k > a && is_arithmetic(T[k]) &&
                         std::string(ops).find(T[k].text[0]) != std::string::npos && !operator_before(T[k - 1])) {
                    auto l = infer(a, k), r = infer(k + 1, b);
                    int p = 0, ls = 0, rs = 0;
                    if (!l || !r || !mssx_numeric_shape(*l, p, ls) || !mssx_numeric_shape(*r, p, rs))
                        return "(" + run(a, b, false) + ")";
                    mssx_type t = mssx_arithmetic_type(T[k].text[0], *l, *r);
                    if (!t.is_exact_decimal()) return "(" + run(a, b, false) + ")";
                    int tp = 0, ts = 0;
                    mssx_numeric_shape(t, tp, ts);
                    return "mssx_exact(" + mssx_sq_literal(T[k].text) + ", " + exact_sql(a, k) + ", " +
                           std::to_string(ls) + ", " + exact_sql(k + 1, b) + ", " + std::to_string(rs) + ", " +
                           std::to_string(tp) + ", " + std::to_string(ts) + ", " + mssx_sq_literal(t.name) + ")";
                }
            }
        }
        if (T[a].is_op("+")) return exact_sql(a + 1, b);
        if (T[a].is_op("-")) {
            auto t = infer(a + 1, b);
            int p = 0, s = 0;
            if (t && t->is_exact_decimal() && mssx_numeric_shape(*t, p, s))
                return "mssx_exact('-', 0, 0, " + exact_sql(a + 1, b) + ", " + std::to_string(s) + ", " +
                       std::to_string(p) + ", " + std::to_string(s) + ", " + mssx_sq_literal(t->name) + ")";
        }
        // a literal beyond a double's 15 digits goes as text, read whole
        if (b == a + 1 && T[a].kind == mssx_tok::number && significant_digits(T[a].text) > 15)
            return mssx_sq_literal(T[a].text);
        return "(" + run(a, b, false) + ")";
    }

    static bool operator_before(const mssx_token& t)
    {
        return t.kind == mssx_tok::op ? t.text != ")" : mssx_is_reserved(t);
    }

    std::optional<mssx_type> column_type(const std::string& name)
    {
        if (!env.column_type) return std::nullopt;
        return env.column_type(name);
    }

    // The type of the expression [a, b) by SQL Server's rules, when the
    // expression is made of exact numbers, casts and aggregates of them.
    std::optional<mssx_type> infer(size_t a, size_t b)
    {
        while (b > a + 1 && T[a].is_op("(") && match(a, b) == b - 1) {
            ++a;
            --b;
        }
        if (a >= b) return std::nullopt;
        int depth = 0;
        for (size_t k = a; k < b; ++k) {
            if (T[k].is_op("("))
                ++depth;
            else if (T[k].is_op(")"))
                --depth;
            else if (depth == 0 && T[k].is_word("CASE"))
                return std::nullopt;
        }
        for (const char* ops : {"+-", "*/%"}) {
            depth = 0;
            for (size_t k = b; k-- > a;) {
                if (T[k].is_op(")"))
                    ++depth;
                else if (T[k].is_op("("))
                    --depth;
                else if (depth == 0 && k > a && T[k].kind == mssx_tok::op && T[k].text.size() == 1 &&
                         std::string(ops).find(T[k].text[0]) != std::string::npos && !operator_before(T[k - 1])) {
                    auto l = infer(a, k), r = infer(k + 1, b);
                    if (!l || !r) return std::nullopt;
                    if (l->is_float() || r->is_float()) return mssx_make_type("float", {});
                    int p = 0, sc = 0;
                    if (!mssx_numeric_shape(*l, p, sc) || !mssx_numeric_shape(*r, p, sc)) return std::nullopt;
                    return mssx_arithmetic_type(T[k].text[0], *l, *r);
                }
            }
        }
        if (T[a].is_op("-") || T[a].is_op("+")) return infer(a + 1, b);
        if (b == a + 1) {
            const mssx_token& t = T[a];
            if (t.kind == mssx_tok::number) return literal_type(t.text);
            if (t.is_name() && !mssx_is_reserved(t)) return column_type(t.text);
            return std::nullopt;
        }
        // name.Method(...) of a hierarchyid
        if (T[b - 1].is_op(")") && T[a].is_name()) {
            size_t i = a + 1;
            while (i + 1 < b && T[i].is_op(".") && T[i + 1].is_name()) i += 2;
            if (i > a + 1 && i < b && T[i].is_op("(") && match(i, b) == b - 1) {
                auto it = kHierarchyMethodTypes.find(mssx_upper(T[i - 1].text));
                if (it != kHierarchyMethodTypes.end())
                    return *it->second.second ? mssx_make_type(it->second.first, {it->second.second})
                                              : mssx_make_type(it->second.first, {});
            }
        }
        bool chain = (b - a) % 2 == 1;
        for (size_t i = a; chain && i < b; ++i)
            if (!((i - a) % 2 == 0 ? T[i].is_name() : T[i].is_op("."))) chain = false;
        if (chain) return column_type(T[b - 1].text);
        if (T[a].kind == mssx_tok::ident && T[a + 1].is_op("(") && match(a + 1, b) == b - 1) {
            std::string U = mssx_upper(T[a].text);
            auto list = args(a + 1, b - 1);
            if (U == "COUNT") return mssx_make_type("int", {});
            if (U == "COUNT_BIG") return mssx_make_type("bigint", {});
            if (U == "GETDATE" || U == "GETUTCDATE") return mssx_make_type("datetime", {});
            if (U == "DATEDIFF" || U == "DATEPART") return mssx_make_type("int", {});
            if (U == "DATEDIFF_BIG") return mssx_make_type("bigint", {});
            if (U == "DATENAME") return mssx_make_type("nvarchar", {"30"});
            if (U == "EOMONTH") return mssx_make_type("date", {});
            if (U == "DATEADD" && list.size() == 3) return date_result(list[2]);
            if (U == "SYSDATETIME" || U == "SYSUTCDATETIME") return mssx_make_type("datetime2", {});
            if (list.empty()) return std::nullopt;
            if (U == "CAST") {
                int d = 0;
                for (size_t i = list[0].first; i < list[0].second; ++i) {
                    if (T[i].is_op("("))
                        ++d;
                    else if (T[i].is_op(")"))
                        --d;
                    else if (d == 0 && T[i].is_word("AS"))
                        return cast_type(i + 1, list[0].second);
                }
                return std::nullopt;
            }
            if (U == "CONVERT") return cast_type(list[0].first, list[0].second);
            size_t s0 = list[0].first;
            if (s0 < list[0].second && (T[s0].is_word("DISTINCT") || T[s0].is_word("ALL"))) ++s0;
            auto inner = infer(s0, list[0].second);
            if (!inner) return std::nullopt;
            if (U == "SUM") return mssx_sum_type(*inner);
            if (U == "AVG") return mssx_avg_type(*inner);
            if (U == "MIN" || U == "MAX" || U == "ABS" || U == "ISNULL" || U == "COALESCE" || U == "ROUND" ||
                U == "FLOOR" || U == "CEILING")
                return inner;
        }
        return std::nullopt;
    }

    // The type of [a, b) as infer() knows it, or else as SQL Server derives
    // it for text, CASE and functions: literals, text columns, text
    // functions of them and their concatenation (lengths added up).
    std::optional<mssx_type> expr_type(size_t a, size_t b)
    {
        while (b > a + 1 && T[a].is_op("(") && match(a, b) == b - 1) {
            ++a;
            --b;
        }
        if (a >= b) return std::nullopt;
        if (T[a].is_word("CASE")) return case_type(a, b);
        if (auto t = infer(a, b)) return t;
        if (b == a + 1 && (T[a].kind == mssx_tok::string || T[a].kind == mssx_tok::nstring)) {
            size_t n = T[a].kind == mssx_tok::nstring ? mssx_utf16_length(T[a].text) : T[a].text.size();
            return mssx_make_type(T[a].kind == mssx_tok::nstring ? "nvarchar" : "varchar",
                                  {std::to_string(std::max<size_t>(n, 1))});
        }
        if (b == a + 1 && T[a].kind == mssx_tok::binary)
            return mssx_make_type("varbinary", {std::to_string(std::max<size_t>(T[a].text.size(), 1))});
        // concatenation: nvarchar when any part is, the lengths added up
        int depth = 0;
        std::vector<size_t> plus;
        for (size_t k = a; k < b; ++k) {
            if (T[k].is_op("("))
                ++depth;
            else if (T[k].is_op(")"))
                --depth;
            else if (depth == 0 && T[k].is_op("+") && k > a && !operator_before(T[k - 1]))
                plus.push_back(k);
        }
        if (!plus.empty()) {
            plus.push_back(b);
            bool any_n = false, any_max = false;
            int64_t length = 0;
            size_t from = a;
            for (size_t p : plus) {
                auto t = expr_type(from, p);
                if (!t || !t->is_string()) return std::nullopt;
                any_n = any_n || t->is_nchar();
                any_max = any_max || t->length < 0;
                length += t->length;
                from = p + 1;
            }
            int64_t limit = any_n ? kMssxNcharLimit : kMssxCharLimit;
            return mssx_make_type(any_n ? "nvarchar" : "varchar",
                                  {any_max || length > limit ? std::string("max") : std::to_string(length)});
        }
        if (T[a].kind == mssx_tok::ident && a + 1 < b && T[a + 1].is_op("(") && match(a + 1, b) == b - 1) {
            std::string U = mssx_upper(T[a].text);
            auto list = args(a + 1, b - 1);
            if (U == "LEN" || U == "CHARINDEX" || U == "PATINDEX" || U == "DATALENGTH" || U == "ASCII" ||
                U == "UNICODE")
                return mssx_make_type("int", {});
            if (list.empty()) return std::nullopt;
            if (U == "UPPER" || U == "LOWER" || U == "LTRIM" || U == "RTRIM" || U == "TRIM" || U == "SUBSTRING" ||
                U == "LEFT" || U == "RIGHT" || U == "ISNULL" || U == "STUFF")
                return expr_type(list[0].first, list[0].second);
            if (U == "COALESCE") {
                for (auto& r : list)
                    if (auto t = expr_type(r.first, r.second)) return t;
                return std::nullopt;
            }
            if (U == "REPLACE" || U == "REPLICATE") {
                auto t = expr_type(list[0].first, list[0].second);
                if (!t || !t->is_string()) return std::nullopt;
                bool n = t->is_nchar();
                return mssx_make_type(
                    n ? "nvarchar" : "varchar",
                    {t->length < 0 ? std::string("max") : std::to_string(n ? kMssxNcharLimit : kMssxCharLimit)});
            }
            if (U == "NCHAR") return mssx_make_type("nchar", {"1"});
            if (U == "CHAR") return mssx_make_type("char", {"1"});
        }
        return std::nullopt;
    }

    // CASE ... THEN x ... ELSE y END: the result of highest precedence, text as long as the longest.
    std::optional<mssx_type> case_type(size_t a, size_t b)
    {
        if (!T[b - 1].is_word("END")) return std::nullopt;
        std::vector<std::pair<size_t, size_t>> results;
        int depth = 0, nested = 0;
        size_t start = 0;
        for (size_t k = a + 1; k < b; ++k) {
            if (T[k].is_op("("))
                ++depth;
            else if (T[k].is_op(")"))
                --depth;
            if (depth != 0) continue;
            if (T[k].is_word("CASE"))
                ++nested;
            else if (T[k].is_word("END") && nested > 0) {
                --nested;
                continue;
            }
            if (nested > 0) continue;
            bool ends = T[k].is_word("WHEN") || T[k].is_word("ELSE") || T[k].is_word("END");
            if (ends && start) {
                results.push_back({start, k});
                start = 0;
            }
            if (T[k].is_word("THEN") || T[k].is_word("ELSE")) start = k + 1;
        }
        std::optional<mssx_type> best;
        for (auto& r : results) {
            if (r.second == r.first + 1 && T[r.first].is_word("NULL")) continue;
            auto t = expr_type(r.first, r.second);
            if (!t) return std::nullopt;
            if (!best) {
                best = t;
                continue;
            }
            if (best->is_string() && t->is_string()) {
                bool n = best->is_nchar() || t->is_nchar();
                int64_t len = best->length < 0 || t->length < 0 ? -1 : std::max(best->length, t->length);
                best = mssx_make_type(n ? "nvarchar" : "varchar", {len < 0 ? std::string("max") : std::to_string(len)});
                continue;
            }
            int p = 0, s = 0;
            if (mssx_numeric_shape(*best, p, s) && mssx_numeric_shape(*t, p, s)) {
                mssx_type sum = mssx_arithmetic_type('+', *best, *t);
                if (sum.is_exact_decimal() && (best->name == "decimal" || best->name == "numeric" ||
                                               t->name == "decimal" || t->name == "numeric")) {
                    // a union of two decimals: the larger integral part and scale, without the carry digit
                    int p1 = 0, s1 = 0, p2 = 0, s2 = 0;
                    mssx_numeric_shape(*best, p1, s1);
                    mssx_numeric_shape(*t, p2, s2);
                    int scale = std::max(s1, s2);
                    int precision = std::min(kMssxMaxPrecision, std::max(p1 - s1, p2 - s2) + scale);
                    sum = mssx_make_type(sum.name, {std::to_string(precision), std::to_string(scale)});
                }
                best = sum;
                continue;
            }
            if (t->is_float() && !best->is_string()) best = t;
        }
        return best;
    }

    static std::optional<mssx_type> literal_type(const std::string& text)
    {
        if (text.find_first_of("eE") != std::string::npos) return mssx_make_type("float", {});
        size_t dot = text.find('.');
        std::string ip = text.substr(0, dot);
        size_t nz = ip.find_first_not_of('0');
        ip = nz == std::string::npos ? std::string() : ip.substr(nz);
        int scale = dot == std::string::npos ? 0 : static_cast<int>(text.size() - dot - 1);
        if (dot == std::string::npos && (ip.size() < 10 || (ip.size() == 10 && ip <= "2147483647")))
            return mssx_make_type("int", {});
        int precision = std::max(1, static_cast<int>(ip.size()) + scale);
        if (precision > kMssxMaxPrecision) return mssx_make_type("float", {});
        return mssx_make_type("numeric", {std::to_string(precision), std::to_string(scale)});
    }

    // The target type of CAST ... AS type / CONVERT(type, ...); char types
    // without a length hold 30 characters there.
    mssx_type cast_type(size_t a, size_t b)
    {
        if (a >= b || !T[a].is_name()) mssx_syntax_error(T[a]);
        std::vector<std::string> targs;
        if (a + 1 < b && T[a + 1].is_op("(")) {
            size_t m = match(a + 1, b);
            for (size_t i = a + 2; i < m; ++i)
                if (!T[i].is_op(",")) targs.push_back(T[i].text);
        }
        std::string name = T[a].text;
        if (targs.empty()) {
            std::string l = mssx_upper(name);
            if (l == "CHAR" || l == "VARCHAR" || l == "NCHAR" || l == "NVARCHAR" || l == "BINARY" || l == "VARBINARY")
                targs.push_back("30");
        }
        return mssx_make_type(name, targs);
    }

    size_t top(size_t k, size_t b, std::string& limit)
    {
        size_t p = k + 1;
        std::string n;
        if (p < b && T[p].is_op("(")) {
            size_t m = match(p, b);
            n = "(" + run(p + 1, m, false) + ")";
            p = m + 1;
        } else if (p < b && (T[p].kind == mssx_tok::number || T[p].kind == mssx_tok::variable)) {
            n = T[p].kind == mssx_tok::number ? T[p].text : variable(T[p]);
            ++p;
        } else
            mssx_syntax_error(T[p < b ? p : k]);
        if (p < b && T[p].is_word("PERCENT")) {
            ++p;
            if (n != "100" && n != "(100)")
                throw mssx_error(102, "TOP ... PERCENT is not supported by this server.", 15, T[k].line);
            n.clear();
        }
        if (p + 1 < b && T[p].is_word("WITH") && T[p + 1].is_word("TIES")) p += 2;
        limit = n;
        return p;
    }

    std::string variable(const mssx_token& t)
    {
        std::string up = mssx_upper(t.text);
        if (up == "@@VERSION") return mssx_sq_literal(env.version);
        if (up == "@@SERVERNAME") return "'LOCALHOST'";
        if (up == "@@SPID") return "51";
        if (up == "@@LANGUAGE") return "'us_english'";
        if (env.variable) {
            if (auto v = env.variable(t.text)) return *v;
        }
        throw mssx_error(137, "Must declare the scalar variable \"" + t.text + "\".", 15, t.line);
    }

    bool is_text_operand(size_t i)
    {
        const mssx_token& t = T[i];
        if (t.kind == mssx_tok::string || t.kind == mssx_tok::nstring) return true;
        // a text variable reads as a quoted literal (a NULL one gives NULL either way)
        if (t.kind == mssx_tok::variable && env.variable && t.text.rfind("@@", 0) != 0) {
            auto v = env.variable(t.text);
            return v && !v->empty() && v->front() == '\'';
        }
        if (t.is_name() && env.is_char_column && !(t.kind == mssx_tok::ident && mssx_is_reserved(t)))
            return env.is_char_column(t.text);
        return false;
    }

    bool is_concat(size_t k, size_t a, size_t b)
    {
        if (k > a && is_text_operand(k - 1)) return true;
        if (k + 1 < b && is_text_operand(k + 1)) return true;
        // a function or group that gives text: REPLICATE('0', 3) + ..., ... + CAST(n AS varchar(6))
        if (k > a && T[k - 1].is_op(")")) {
            size_t open = k - 1;
            for (int depth = 0; open > a; --open) {
                if (T[open].is_op(")"))
                    ++depth;
                else if (T[open].is_op("(") && --depth == 0)
                    break;
            }
            size_t from =
                open > a && T[open - 1].kind == mssx_tok::ident && !mssx_is_reserved(T[open - 1]) ? open - 1 : open;
            auto t = expr_type(from, k);
            if (t && t->is_string()) return true;
        }
        if (k + 2 < b && T[k + 1].kind == mssx_tok::ident && T[k + 2].is_op("(")) {
            auto t = expr_type(k + 1, match(k + 2, b) + 1);
            if (t && t->is_string()) return true;
        }
        return false;
    }

    std::vector<std::pair<size_t, size_t>> args(size_t open, size_t close)
    {
        std::vector<std::pair<size_t, size_t>> out;
        size_t start = open + 1;
        int depth = 0;
        for (size_t i = open + 1; i < close; ++i) {
            if (T[i].is_op("("))
                ++depth;
            else if (T[i].is_op(")"))
                --depth;
            else if (depth == 0 && T[i].is_op(",")) {
                out.push_back({start, i});
                start = i + 1;
            }
        }
        if (start < close || !out.empty()) out.push_back({start, close});
        return out;
    }

    std::string arg(const std::pair<size_t, size_t>& r) { return run(r.first, r.second, false); }

    std::string cast_to(size_t a, size_t b, const std::string& expr, std::optional<mssx_type> from,
                        const std::string& style)
    {
        mssx_type t = cast_type(a, b);
        return "mssx_cast(" + expr + ", " + mssx_sq_literal(t.sql_text()) + ", " +
               (style.empty() ? std::string("NULL") : style) + ", " +
               mssx_sq_literal(from ? from->sql_text() : std::string()) + ", " + mssx_sq_literal(env.dateformat) + ")";
    }

    std::string function(const std::string& U, const mssx_token& name, size_t open, size_t close)
    {
        auto a = args(open, close);
        auto need = [&](size_t lo, size_t hi) {
            if (a.size() < lo || a.size() > hi)
                throw mssx_error(
                    174, "The " + mssx_upper(name.text) + " function requires " + std::to_string(lo) + " argument(s).",
                    15, name.line);
        };
        if (U == "ISNULL") {
            need(2, 2);
            return "IFNULL(" + arg(a[0]) + ", " + arg(a[1]) + ")";
        }
        if (U == "LEN") {
            need(1, 1);
            return "mssx_len(" + arg(a[0]) + ")";
        }
        if (U == "DATALENGTH") {
            need(1, 1);
            auto t = expr_type(a[0].first, a[0].second);
            return "mssx_datalength(" + arg(a[0]) + ", " + mssx_sq_literal(t ? t->sql_text() : std::string()) + ", " +
                   std::to_string(t ? t->code_page : kMssxDefaultCodePage) + ")";
        }
        if (U == "SUBSTRING") {
            need(3, 3);
            return "SUBSTR(" + arg(a[0]) + ", " + arg(a[1]) + ", " + arg(a[2]) + ")";
        }
        if (U == "CHARINDEX") {
            need(2, 3);
            return "INSTR(" + arg(a[1]) + ", " + arg(a[0]) + ")";
        }
        if (U == "GETDATE" || U == "SYSDATETIME" || U == "GETUTCDATE" || U == "SYSUTCDATETIME") {
            need(0, 0);
            return "mssx_getdate()";
        }
        if (U == "NEWID") {
            need(0, 0);
            return "mssx_newid()";
        }
        // the exact aggregates are no window functions: with OVER, SQLite's own serve
        bool window = close + 1 < T.size() && T[close + 1].is_word("OVER");
        if ((U == "SUM" || U == "AVG" || U == "MIN" || U == "MAX") && a.size() == 1 && !window) {
            // exact numbers add up and compare exactly, to the scale SQL Server gives the result
            size_t s0 = a[0].first;
            bool distinct = s0 < a[0].second && T[s0].is_word("DISTINCT");
            if (s0 < a[0].second && (distinct || T[s0].is_word("ALL"))) ++s0;
            auto t = infer(s0, a[0].second);
            int p = 0, scale = 0;
            if (t && t->is_exact_decimal() && mssx_numeric_shape(*t, p, scale)) {
                std::string name;
                if (U == "SUM")
                    name = mssx_exact_sum_name(mssx_sum_type(*t).scale);
                else if (U == "AVG")
                    name = mssx_exact_avg_name(mssx_avg_type(*t).scale);
                else
                    name = mssx_exact_extreme_name(U == "MAX", scale);
                return name + "(" + (distinct ? "DISTINCT " : "") + run(s0, a[0].second, false) + ")";
            }
        }
        if (U == "COUNT_BIG") return "COUNT(" + run(open + 1, close, false) + ")";
        if (U == "NCHAR" || U == "CHAR") {
            need(1, 1);
            return (U == "NCHAR" ? "mssx_nchar(" : "mssx_char(") + arg(a[0]) + ")";
        }
        if (U == "REPLICATE") {
            need(2, 2);
            return "mssx_replicate(" + arg(a[0]) + ", " + arg(a[1]) + ")";
        }
        if (U == "DATEADD" || U == "DATEDIFF" || U == "DATEDIFF_BIG" || U == "DATEPART" || U == "DATENAME") {
            bool add = U == "DATEADD", diff = U.starts_with("DATEDIFF");
            need(add || diff ? 3 : 2, add || diff ? 3 : 2);
            std::string part = date_part(a[0]);
            std::string df = mssx_sq_literal(env.dateformat);
            if (add)
                return "mssx_dateadd(" + part + ", " + arg(a[1]) + ", " + arg(a[2]) + ", " +
                       mssx_sq_literal(date_result(a[2]).sql_text()) + ", " + df + ")";
            if (diff)
                return "mssx_datediff(" + part + ", " + arg(a[1]) + ", " + arg(a[2]) + ", " + df + ", " +
                       (U == "DATEDIFF_BIG" ? "1" : "0") + ")";
            return (U == "DATEPART" ? "mssx_datepart(" : "mssx_datename(") + part + ", " + arg(a[1]) + ", " + df + ")";
        }
        if (U == "EOMONTH") {
            need(1, 2);
            return "mssx_eomonth(" + arg(a[0]) + ", " + (a.size() == 2 ? arg(a[1]) : std::string("0")) + ", " +
                   mssx_sq_literal(env.dateformat) + ")";
        }
        if (U == "YEAR" || U == "MONTH" || U == "DAY") {
            need(1, 1);
            const char* f = U == "YEAR" ? "%Y" : U == "MONTH" ? "%m" : "%d";
            return std::string("CAST(strftime('") + f + "', " + arg(a[0]) + ") AS INTEGER)";
        }
        if (U == "CONVERT") {
            need(2, 3);
            return cast_to(a[0].first, a[0].second, arg(a[1]), expr_type(a[1].first, a[1].second),
                           a.size() == 3 ? arg(a[2]) : std::string());
        }
        if (U == "CAST") {
            need(1, 1);
            int depth = 0;
            for (size_t i = a[0].first; i < a[0].second; ++i) {
                if (T[i].is_op("("))
                    ++depth;
                else if (T[i].is_op(")"))
                    --depth;
                else if (depth == 0 && T[i].is_word("AS"))
                    return cast_to(i + 1, a[0].second, run(a[0].first, i, false), expr_type(a[0].first, i),
                                   std::string());
            }
            mssx_syntax_error(T[close]);
        }
        std::string out = name.text + "(";
        out += run(open + 1, close, false);
        return out + ")";
    }

    // The date part a date function names, as a literal; 155 for a word that is none.
    std::string date_part(const std::pair<size_t, size_t>& r)
    {
        const mssx_token& t = T[r.first];
        if (r.second != r.first + 1 || !t.is_name() || !mssx_date_part_of(t.text))
            throw mssx_error(155, "'" + t.text + "' is not a recognized datepart option.", 15, t.line);
        return mssx_sq_literal(t.text);
    }

    // DATEADD gives the type of its date; text is read as datetime.
    mssx_type date_result(const std::pair<size_t, size_t>& r)
    {
        auto t = infer(r.first, r.second);
        return t && t->is_datetime() ? *t : mssx_make_type("datetime", {});
    }

    // A derived table must name every column once and may not be ordered
    // without TOP, as on the server.
    void check_derived(size_t a, size_t b, const std::string& inner_sql)
    {
        size_t alias_at = b + 1;
        std::string alias;
        if (alias_at < T.size() && T[alias_at].is_word("AS")) ++alias_at;
        if (alias_at < T.size() && T[alias_at].is_name()) alias = T[alias_at].text;
        int depth = 0;
        bool top = false;
        size_t list_start = a + 1, list_end = b;
        bool list_done = false;
        for (size_t i = a; i < b; ++i) {
            if (T[i].is_op("("))
                ++depth;
            else if (T[i].is_op(")"))
                --depth;
            else if (depth == 0) {
                if (i == a + 1 && T[i].is_word("TOP")) top = true;
                if (i == a + 1 && (T[i].is_word("DISTINCT") || T[i].is_word("ALL"))) {
                    list_start = i + 1;
                    if (i + 1 < b && T[i + 1].is_word("TOP")) top = true;
                }
                if (T[i].is_word("FROM") && !list_done) {
                    list_end = i;
                    list_done = true;
                }
                if (T[i].is_word("UNION") && !list_done) {
                    list_end = i;
                    list_done = true;
                }
                if (T[i].is_word("ORDER") && !top)
                    throw mssx_error(
                        1033,
                        "The ORDER BY clause is invalid in views, inline functions, derived tables, subqueries, and "
                        "common table expressions, unless TOP, OFFSET or FOR XML is also specified.",
                        15, T[i].line);
            }
        }
        if (top) {
            // skip TOP n / TOP (n)
            size_t p = list_start;
            if (T[p].is_word("TOP")) {
                ++p;
                if (T[p].is_op("("))
                    p = match(p, b) + 1;
                else
                    ++p;
                if (T[p].is_word("PERCENT")) ++p;
            }
            list_start = p;
        }
        std::vector<std::string> names;
        bool star = false;
        size_t item = list_start;
        depth = 0;
        int col = 0;
        for (size_t i = list_start; i <= list_end; ++i) {
            if (i < list_end && T[i].is_op("(")) {
                ++depth;
                continue;
            }
            if (i < list_end && T[i].is_op(")")) {
                --depth;
                continue;
            }
            if (i < list_end && !(depth == 0 && T[i].is_op(","))) continue;
            ++col;
            size_t s = item, e = i;
            item = i + 1;
            if (e == s) continue;
            if (T[e - 1].is_op("*")) {
                star = true;
                continue;
            }
            if (e - s >= 3 && T[s].is_name() && T[s + 1].is_op("=")) {
                names.push_back(T[s].text);
                continue;
            }
            if (e - s >= 2 && T[e - 1].is_name() && !T[e - 2].is_op(".")) {
                names.push_back(T[e - 1].text);
                continue;
            }
            bool chain = true;
            for (size_t x = s; x < e; ++x)
                if (!((x - s) % 2 == 0 ? T[x].is_name() : T[x].is_op("."))) chain = false;
            if (chain) {
                names.push_back(T[e - 1].text);
                continue;
            }
            throw mssx_error(8155,
                             "No column name was specified for column " + std::to_string(col) + " of '" + alias + "'.",
                             16, T[s].line);
        }
        if (star && env.column_names) names = env.column_names(inner_sql);
        for (size_t i = 0; i < names.size(); ++i)
            for (size_t j = 0; j < i; ++j)
                if (mssx_iequal(names[i], names[j]))
                    throw mssx_error(8156,
                                     "The column '" + names[i] + "' was specified multiple times for '" + alias + "'.",
                                     16, T[a].line);
    }
};

} // namespace

bool mssx_is_reserved(const mssx_token& t)
{
    return t.kind == mssx_tok::ident && kReserved.count(mssx_upper(t.text)) > 0;
}

void mssx_syntax_error(const mssx_token& t)
{
    if (t.kind == mssx_tok::end) throw mssx_error(102, "Incorrect syntax near the end of the batch.", 15, t.line);
    if (mssx_is_reserved(t)) throw mssx_error(156, "Incorrect syntax near the keyword '" + t.text + "'.", 15, t.line);
    std::string shown = t.text;
    if (t.kind == mssx_tok::string || t.kind == mssx_tok::nstring) shown = t.text;
    throw mssx_error(102, "Incorrect syntax near '" + shown + "'.", 15, t.line);
}

void mssx_nesting_error(const mssx_token& t)
{
    throw mssx_error(191,
                     "Some part of your SQL statement is nested too deeply. Rewrite the query or break it up into "
                     "smaller queries.",
                     15, t.line);
}

namespace {

const std::set<std::string> kChainOperators = {"+", "-",  "*",  "/",  "%",  "=", "<>", "!=", "<",
                                               ">", "<=", ">=", "!<", "!>", "&", "|",  "^",  "||"};
// Words that go on a chain of operands; any other keyword starts something new.
const std::set<std::string> kChainWords = {"AND", "OR",   "NOT",  "IS",   "NULL", "LIKE",   "BETWEEN",
                                           "IN",  "CASE", "WHEN", "THEN", "ELSE", "EXISTS", "ESCAPE"};

} // namespace

void mssx_check_nesting(const std::vector<mssx_token>& toks, size_t from, size_t to)
{
    // the operators of a chain at each level of parentheses: SQLite nests them one in another
    std::vector<size_t> chain{0};
    to = std::min(to, toks.size());
    for (size_t i = from; i < to; ++i) {
        const mssx_token& t = toks[i];
        if (t.is_op("(")) {
            chain.push_back(0);
            if (chain.size() > kMssxMaxNesting + 1) mssx_nesting_error(t);
        } else if (t.is_op(")")) {
            if (chain.size() > 1) chain.pop_back();
        } else if (t.kind == mssx_tok::op && kChainOperators.count(t.text)) {
            if (++chain.back() > kMssxMaxChain) mssx_nesting_error(t);
        } else if (t.kind == mssx_tok::ident && mssx_is_reserved(t) && !kChainWords.count(mssx_upper(t.text))) {
            chain.back() = 0;
        } else if (t.is_op(",") || t.is_op(";")) {
            chain.back() = 0;
        } else if (t.is_word("AND") || t.is_word("OR")) {
            if (++chain.back() > kMssxMaxChain) mssx_nesting_error(t);
        }
    }
}

size_t mssx_match_paren(const std::vector<mssx_token>& toks, size_t open, size_t limit)
{
    int depth = 0;
    for (size_t i = open; i < limit && i < toks.size(); ++i) {
        if (toks[i].is_op("("))
            ++depth;
        else if (toks[i].is_op(")")) {
            if (--depth == 0) return i;
        }
    }
    mssx_syntax_error(toks[std::min(limit, toks.size() - 1)]);
}

std::string mssx_translate(const std::vector<mssx_token>& toks, size_t from, size_t to, const mssx_translate_env& env)
{
    translator tr(toks, env, from, to);
    return tr.run(from, to, false);
}
