// Queries: Oracle SELECT text translated to SQLite, and their cursors.
#include "platform/eora/eora_datetime.h"
#include "platform/eora/eora_number.h"
#include "platform/eora/eora_session_impl.h"

#include <cstring>
#include <set>

namespace eora {

namespace {

const std::set<std::string>& sql_keywords()
{
    static const std::set<std::string> k = {
        "SELECT", "FROM",  "WHERE", "AND",    "OR",     "NOT",       "NULL",   "IS",       "IN",    "LIKE",   "BETWEEN",
        "EXISTS", "CASE",  "WHEN",  "THEN",   "ELSE",   "END",       "AS",     "DISTINCT", "ALL",   "ASC",    "DESC",
        "BY",     "GROUP", "ORDER", "HAVING", "UNION",  "INTERSECT", "EXCEPT", "ON",       "JOIN",  "INNER",  "LEFT",
        "RIGHT",  "FULL",  "OUTER", "CROSS",  "ESCAPE", "NULLS",     "ANY",    "SOME",     "USING", "NATURAL"};
    return k;
}

// Names a FROM clause can take as dictionary views.
const std::set<std::string>& dictionary_views()
{
    static const std::set<std::string> v = {"ALL_TABLES",       "USER_TABLES",       "DBA_TABLES",
                                            "ALL_VIEWS",        "USER_VIEWS",        "ALL_TAB_COLUMNS",
                                            "USER_TAB_COLUMNS", "ALL_CONSTRAINTS",   "USER_CONSTRAINTS",
                                            "ALL_CONS_COLUMNS", "USER_CONS_COLUMNS", "ALL_INDEXES",
                                            "USER_INDEXES",     "ALL_IND_COLUMNS",   "USER_IND_COLUMNS",
                                            "ALL_COL_COMMENTS", "USER_COL_COMMENTS", "ALL_SEQUENCES",
                                            "USER_SEQUENCES",   "ALL_TRIGGERS",      "USER_TRIGGERS",
                                            "ALL_USERS",        "DBA_USERS",         "ALL_OBJECTS",
                                            "USER_OBJECTS",     "V$VERSION",         "DUAL"};
    return v;
}

std::string number_literal(const std::string& text)
{
    auto d = parse_decimal(text);
    if (!d) raise(1722);
    // The same form the value is stored in, so that comparisons match.
    stored v = stored_number(*d);
    if (v.type == SQLITE_INTEGER) return std::to_string(v.i);
    if (v.type == SQLITE_FLOAT)
        return v.s[0] == '.' ? "0" + v.s : v.s[0] == '-' && v.s[1] == '.' ? "-0" + v.s.substr(1) : v.s;
    return q_text(d->text());
}

// Types of dictionary view columns by name.
col_type dictionary_type(const std::string& name)
{
    static const std::set<std::string> numbers = {
        "DATA_LENGTH", "DATA_PRECISION", "DATA_SCALE",  "COLUMN_ID",  "POSITION", "COLUMN_POSITION", "MIN_VALUE",
        "MAX_VALUE",   "INCREMENT_BY",   "LAST_NUMBER", "CACHE_SIZE", "USER_ID",  "OBJECT_ID",       "TEXT_LENGTH"};
    static const std::set<std::string> longs = {"DATA_DEFAULT", "TEXT", "TRIGGER_BODY", "SEARCH_CONDITION"};
    col_type t;
    if (numbers.count(name)) {
        t.k = kind::number;
    } else if (longs.count(name)) {
        t.k = kind::long_;
    } else {
        t.k = kind::varchar2;
        t.length = name == "BANNER" ? 80 : name == "COMMENTS" ? 4000 : 128;
    }
    return t;
}

// The closing parenthesis that matches the one at i, or e when there is none.
size_t matching_paren(const std::vector<token>& t, size_t i, size_t e)
{
    int depth = 0;
    for (size_t k = i; k < e; ++k) {
        if (t[k].is_op("("))
            ++depth;
        else if (t[k].is_op(")") && --depth == 0)
            return k;
    }
    return e;
}

// CONCAT(CONCAT(a, b), c) and CONCAT(a, CONCAT(b, c)) become CONCAT(a, b, c):
// the same text (a NULL counts as empty either way), written the one way the
// dictionary's name indexes are built on, so "owner.table" lookups do not
// scan the dictionary.
bool flatten_concat(std::vector<token>& t, size_t b, size_t& e)
{
    bool changed = false;
    for (size_t i = b; i + 1 < e; ++i) {
        if (!t[i].is_kw("CONCAT") || !t[i + 1].is_op("(")) continue;
        size_t close = matching_paren(t, i + 1, e);
        if (close == e) return changed;
        // An inner CONCAT( that is a whole argument of this one: at its top level, right
        // after its "(" or a ",", and followed by "," or ")".
        int depth = 0;
        for (size_t k = i + 2; k + 1 < close; ++k) {
            if (t[k].is_op("("))
                ++depth;
            else if (t[k].is_op(")"))
                --depth;
            if (depth != 0 || !(t[k].is_kw("CONCAT") && t[k + 1].is_op("(") && (k == i + 2 || t[k - 1].is_op(","))))
                continue;
            size_t inner_close = matching_paren(t, k + 1, close);
            if (inner_close >= close || !(t[inner_close + 1].is_op(",") || t[inner_close + 1].is_op(")"))) continue;
            t.erase(t.begin() + static_cast<std::ptrdiff_t>(inner_close));
            t.erase(t.begin() + static_cast<std::ptrdiff_t>(k), t.begin() + static_cast<std::ptrdiff_t>(k + 2));
            e -= 3;
            close -= 3;
            changed = true;
            k = i + 1; // look again: the flattened arguments may hold another CONCAT
            depth = 0;
        }
    }
    return changed;
}

} // namespace

translation translate(session::impl& s, const statement& st, size_t b, size_t e,
                      std::vector<std::shared_ptr<table_meta>> tables, std::vector<std::string> aliases)
{
    translation tr;
    tr.tables = std::move(tables);
    tr.aliases = std::move(aliases);
    std::vector<token> flat;
    {
        bool nested = false;
        for (size_t i = b; i + 1 < e && !nested; ++i) nested = st.toks[i].is_kw("CONCAT");
        if (nested) {
            flat = st.toks;
            if (!flatten_concat(flat, b, e)) flat.clear();
        }
    }
    const auto& t = flat.empty() ? st.toks : flat;
    // Per parenthesis depth: 0 outside FROM, 1 expecting a table, 2 after a table, 3 after its alias.
    std::vector<int> from{0};
    std::vector<bool> paren_is_table{false};
    std::vector<size_t> rowid_marks; // positions in sql of select-list ROWIDs
    size_t rowcol_mark = std::string::npos;
    // FOR UPDATE at the outer level.
    {
        int depth = 0;
        for (size_t i = b; i < e; ++i) {
            if (t[i].is_op("("))
                ++depth;
            else if (t[i].is_op(")"))
                --depth;
            else if (depth == 0 && t[i].is_kw("FOR") && i + 1 < e && t[i + 1].is_kw("UPDATE"))
                tr.for_update = true;
        }
    }
    std::string& out = tr.sql;
    auto emit = [&](const std::string& x) {
        if (!out.empty() && out.back() != '(' && x != "(" && x != ")" && x != "," && x != "." && out.back() != '.')
            out += ' ';
        out += x;
    };
    auto rowid_expr = [&]() -> std::string {
        std::vector<size_t> users;
        for (size_t k = 0; k < tr.tables.size(); ++k)
            if (tr.tables[k]) users.push_back(k);
        if (users.empty()) raise(904, "ROWID");
        if (users.size() > 1) raise(918);
        return q_ident(tr.aliases[users[0]]) + ".rowid";
    };
    int depth = 0;
    for (size_t i = b; i < e; ++i) {
        const token& k = t[i];
        int& state = from[static_cast<size_t>(depth)];
        if (k.is_op(";") && i + 1 == e) break;
        if (k.is_op("(")) {
            paren_is_table.push_back(state == 1);
            if (state == 1) state = 2;
            emit("(");
            ++depth;
            from.push_back(0);
            continue;
        }
        if (k.is_op(")")) {
            if (depth == 0) raise(933);
            --depth;
            from.pop_back();
            paren_is_table.pop_back();
            emit(")");
            continue;
        }
        if (k.kind == tok::ident) {
            const std::string& w = k.text;
            if (w == "FROM") {
                if (depth == 0 && tr.for_update) {
                    rowcol_mark = out.size();
                }
                emit("FROM");
                state = 1;
                continue;
            }
            if (w == "WHERE" || w == "GROUP" || w == "ORDER" || w == "HAVING" || w == "UNION" || w == "INTERSECT" ||
                w == "MINUS" || w == "ON" || w == "CONNECT" || w == "START") {
                if (w == "CONNECT" || w == "START") raise(900);
                state = 0;
                emit(w == "MINUS" ? "EXCEPT" : w);
                continue;
            }
            if (w == "FOR" && depth == 0 && i + 1 < e && t[i + 1].is_kw("UPDATE")) break;
            if (w == "JOIN") {
                emit(w);
                state = 1;
                continue;
            }
            if (state == 3 &&
                (w == "INNER" || w == "LEFT" || w == "RIGHT" || w == "FULL" || w == "CROSS" || w == "NATURAL")) {
                emit(w);
                continue;
            }
        }
        if (k.is_op(",") && (state == 2 || state == 3)) {
            state = 1;
            emit(",");
            continue;
        }
        if (state == 1 && k.is_name()) {
            std::string a = k.text, n;
            bool qualified = i + 2 < e && t[i + 1].is_op(".") && t[i + 2].is_name();
            if (qualified) {
                n = t[i + 2].text;
                i += 2;
            }
            std::shared_ptr<table_meta> meta;
            std::string sql_name, alias;
            if (!qualified && k.kind == tok::ident && dictionary_views().count(a)) {
                sql_name = a;
                alias = a;
            } else if (qualified && (a == "SYS" || a == "PUBLIC") && dictionary_views().count(n)) {
                sql_name = n;
                alias = n;
            } else {
                std::string owner = qualified ? a : s.user, name = qualified ? n : a;
                meta = s.table(owner, name);
                if (!meta) raise(942);
                sql_name = meta->sqlite;
                alias = name;
            }
            // An alias follows?
            if (i + 1 < e && t[i + 1].is_name() &&
                !(t[i + 1].kind == tok::ident &&
                  (sql_keywords().count(t[i + 1].text) || t[i + 1].text == "FOR" || t[i + 1].text == "MINUS"))) {
                alias = t[i + 1].text;
                ++i;
                state = 3;
            } else {
                state = 2;
            }
            emit(q_ident(sql_name) + " AS " + q_ident(alias));
            tr.tables.push_back(meta);
            tr.aliases.push_back(alias);
            continue;
        }
        if (k.kind == tok::ident && k.text == "ROWID" && !(i + 1 < e && t[i + 1].is_op("("))) {
            // ROWID = 'literal' finds the row directly.
            if (i + 2 < e && t[i + 1].is_op("=") && (t[i + 2].kind == tok::string || t[i + 2].kind == tok::bind)) {
                std::shared_ptr<table_meta> m;
                for (auto& x : tr.tables)
                    if (x) {
                        if (m) raise(918);
                        m = x;
                    }
                if (!m) raise(904, "ROWID");
                std::string lhs = rowid_expr();
                std::string arg;
                if (t[i + 2].kind == tok::string) {
                    arg = std::to_string(decode_rowid(t[i + 2].text, m->object_id));
                } else {
                    size_t idx = 0;
                    for (; idx < st.binds.size() && st.binds[idx] != t[i + 2].text; ++idx) {}
                    arg = "ora_rowid_num(?" + std::to_string(idx + 1) + ", " + std::to_string(m->object_id) + ")";
                }
                emit(lhs + " = " + arg);
                i += 2;
                continue;
            }
            rowid_marks.push_back(out.size());
            emit("\x01");
            if (i + 1 < e && (t[i + 1].is_op(",") || t[i + 1].is_kw("FROM"))) out += " AS \"ROWID\"";
            continue;
        }
        switch (k.kind) {
        case tok::ident: {
            const std::string& w = k.text;
            bool call = i + 1 < e && t[i + 1].is_op("(");
            if (sql_keywords().count(w)) {
                emit(w);
                break;
            }
            if (w == "MINUS") {
                emit("EXCEPT");
                break;
            }
            if (call) {
                if (w == "CONCAT")
                    emit("ora_concat");
                else if (w == "NVL")
                    emit("ifnull");
                else if (w == "TO_DATE")
                    emit("ora_to_date");
                else if (w == "TO_TIMESTAMP")
                    emit("ora_to_timestamp");
                else if (w == "TO_TIMESTAMP_TZ")
                    emit("ora_to_timestamp_tz");
                else if (w == "TO_NUMBER")
                    emit("ora_to_number");
                else if (w == "TO_CHAR")
                    emit("ora_to_char");
                else if (w == "SUBSTRB")
                    emit("substr");
                else if (w == "LENGTHB")
                    emit("length");
                else
                    emit(w);
                break;
            }
            if (w == "SYSDATE" || w == "SYSTIMESTAMP" || w == "CURRENT_DATE") {
                emit("ora_sysdate()");
                break;
            }
            if (w == "USER") {
                emit(q_text(s.user));
                break;
            }
            [[fallthrough]];
        }
        case tok::qident: {
            // seq.NEXTVAL / owner.seq.NEXTVAL
            if (i + 2 < e && t[i + 1].is_op(".") && (t[i + 2].is_kw("NEXTVAL") || t[i + 2].is_kw("CURRVAL"))) {
                if (t[i + 2].text == "CURRVAL") raise(8002, k.text);
                emit("ora_nextval(" + q_text(s.user) + ", " + q_text(k.text) + ")");
                tr.writes = true;
                i += 2;
                break;
            }
            if (i + 4 < e && t[i + 1].is_op(".") && t[i + 2].is_name() && t[i + 3].is_op(".") &&
                t[i + 4].is_kw("NEXTVAL")) {
                emit("ora_nextval(" + q_text(k.text) + ", " + q_text(t[i + 2].text) + ")");
                tr.writes = true;
                i += 4;
                break;
            }
            emit(q_ident(k.text));
            break;
        }
        case tok::string:
            emit(k.text.empty() ? "NULL" : q_text(k.text));
            break;
        case tok::number:
            emit(number_literal(k.text));
            break;
        case tok::bind: {
            size_t idx = 0;
            for (; idx < st.binds.size() && st.binds[idx] != k.text; ++idx) {}
            emit("?" + std::to_string(idx + 1));
            break;
        }
        case tok::op:
            if (k.text == "^=" || k.text == "!=")
                emit("<>");
            else if (k.text == "@" || k.text == ":=" || k.text == ";")
                raise(933);
            else
                emit(k.text);
            break;
        case tok::nstring: // kinds of other dialects: the Oracle lexer makes none
        case tok::binary:
        case tok::variable:
        case tok::end:
            break;
        }
    }
    if (depth != 0) raise(907);
    // Fill in ROWIDs of the select list, now that the tables are known.
    if (!rowid_marks.empty()) {
        std::shared_ptr<table_meta> m;
        for (auto& x : tr.tables)
            if (x) {
                if (m) raise(918);
                m = x;
            }
        if (!m) raise(904, "ROWID");
        std::string expr = "ora_rowid(" + std::to_string(m->object_id) + ", " + rowid_expr() + ")";
        for (auto it = rowid_marks.rbegin(); it != rowid_marks.rend(); ++it) {
            size_t p = out.find('\x01', *it);
            out.replace(p, 1, expr);
        }
    }
    if (tr.for_update && rowcol_mark != std::string::npos) {
        size_t users = 0;
        for (auto& x : tr.tables) users += x ? 1 : 0;
        if (users != 1) raise(2014);
        out.insert(rowcol_mark, ", " + rowid_expr() + " AS \"__ROW__\"");
    }
    return tr;
}

// ---------------------------------------------------------------- cursor

cursor::cursor(sqlite3_stmt* st, std::vector<result_column> cols, std::vector<std::shared_ptr<table_meta>> srcs,
               int lob_rowid_col, std::string lob_table)
    : st_(st),
      cols_(std::move(cols)),
      srcs_(std::move(srcs)),
      lob_rowid_col_(lob_rowid_col),
      lob_table_(std::move(lob_table))
{}

cursor::~cursor()
{
    if (st_) sqlite3_finalize(st_);
}

bool cursor::step_into(std::vector<value>& out)
{
    int rc = sqlite3_step(st_);
    if (rc == SQLITE_DONE) return false;
    if (rc != SQLITE_ROW) {
        std::string msg = sqlite3_errmsg(sqlite3_db_handle(st_));
        if ((rc & 0xFF) == SQLITE_BUSY) raise(54);
        if (msg.rfind("ORA-", 0) == 0) throw eora_error(std::atoi(msg.c_str() + 4), msg);
        raise(600, msg);
    }
    out.clear();
    int64_t row = lob_rowid_col_ >= 0 ? sqlite3_column_int64(st_, lob_rowid_col_) : 0;
    for (size_t i = 0; i < cols_.size(); ++i) {
        value v = read_value(st_, static_cast<int>(i), cols_[i].type);
        if (cols_[i].type.is_lob() && !v.is_null()) {
            auto target = std::make_shared<lob_target>();
            target->writable = lob_rowid_col_ >= 0;
            target->row = row;
            target->table = lob_table_;
            const char* origin = sqlite3_column_origin_name(st_, static_cast<int>(i));
            target->column = origin ? origin : cols_[i].name;
            v.lob = std::move(target);
        }
        out.push_back(std::move(v));
    }
    return true;
}

bool cursor::next()
{
    if (done_) return false;
    if (peeked_) {
        peeked_ = false;
        if (!peek_ok_) {
            done_ = true;
            return false;
        }
        row_ = std::move(peek_);
        return true;
    }
    if (!step_into(row_)) {
        done_ = true;
        return false;
    }
    return true;
}

// ---------------------------------------------------------------- run

struct cursor_access {
    static void type_expressions(cursor& c, const std::vector<int>& unknown, bool run)
    {
        if (run && !unknown.empty()) {
            // Expressions take their type from the first row.
            c.peeked_ = true;
            c.peek_ok_ = c.step_into(c.peek_);
        }
        for (int i : unknown) {
            auto& col = c.cols_[static_cast<size_t>(i)];
            int ty = c.peeked_ && c.peek_ok_ ? sqlite3_column_type(c.st_, i) : SQLITE_TEXT;
            if (ty == SQLITE_INTEGER || ty == SQLITE_FLOAT) {
                col.type.k = kind::number;
            } else if (ty == SQLITE_BLOB) {
                col.type.k = kind::raw;
                col.type.length = 2000;
            } else {
                col.type.k = kind::varchar2;
                col.type.length = 4000;
            }
            if (c.peeked_ && c.peek_ok_) c.peek_[static_cast<size_t>(i)] = read_value(c.st_, i, col.type);
        }
    }
};

exec_result run_query(session::impl& s, const statement& st, const std::vector<value>& binds, bool parse_only)
{
    translation tr = translate(s, st, 0, st.toks.size() - 1);
    if (tr.for_update && !parse_only) s.begin_write();
    if (tr.writes && !parse_only) s.begin_write();
    stmt_ptr ps = s.prepare_once(tr.sql);
    sqlite3_stmt* q = ps.get();
    int n = sqlite3_column_count(q);
    int lob_col = -1;
    std::string lob_table;
    if (tr.for_update) {
        lob_col = n - 1;
        --n;
        for (auto& m : tr.tables)
            if (m) lob_table = m->sqlite;
    }
    for (size_t i = 0; i < binds.size(); ++i) bind_value(q, static_cast<int>(i + 1), binds[i]);
    std::vector<result_column> cols;
    std::vector<int> unknown;
    for (int i = 0; i < n; ++i) {
        result_column c;
        const char* name = sqlite3_column_name(q, i);
        c.name = name ? name : "";
        const char* tab = sqlite3_column_table_name(q, i);
        const char* origin = sqlite3_column_origin_name(q, i);
        bool found = false;
        if (tab && origin) {
            if (std::strncmp(tab, "_ora_", 5) == 0) {
                c.type = dictionary_type(c.name);
                found = true;
            } else if (auto m = s.table_by_sqlite(tab)) {
                int ci = m->find(origin);
                if (ci >= 0) {
                    c.type = m->cols[static_cast<size_t>(ci)].type;
                    c.nullable = m->cols[static_cast<size_t>(ci)].nullable;
                    found = true;
                }
            }
        }
        if (!found && c.name == "ROWID") {
            c.type.k = kind::rowid;
            found = true;
        }
        if (!found) {
            if (tab && !origin)
                c.type = dictionary_type(c.name);
            else
                unknown.push_back(i);
        }
        cols.push_back(std::move(c));
    }
    auto cur = std::make_unique<cursor>(ps.release(), std::move(cols), std::move(tr.tables), lob_col, lob_table);
    cursor_access::type_expressions(*cur, unknown, !parse_only);
    exec_result r;
    r.cur = std::move(cur);
    return r;
}

} // namespace eora
