// Queries: a translated SELECT run on SQLite, and its cursor.
#include "platform/eora/eora_datetime.h"
#include "platform/eora/eora_number.h"
#include "platform/eora/eora_session_impl.h"

#include <cstring>
#include <set>

namespace eora {

namespace {

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

} // namespace

// ---------------------------------------------------------------- cursor

cursor::cursor(sqlite3_stmt* st, std::vector<result_column> cols, std::vector<std::shared_ptr<table_meta>> srcs,
               int lob_rowid_col, std::string lob_table)
    : st_(st),
      cols_(std::move(cols)),
      srcs_(std::move(srcs)),
      lob_rowid_col_(lob_rowid_col),
      lob_table_(std::move(lob_table))
{}

cursor::cursor(std::shared_ptr<plan_stmt> kept, std::vector<result_column> cols,
               std::vector<std::shared_ptr<table_meta>> srcs, int lob_rowid_col, std::string lob_table)
    : st_(kept->st.get()),
      kept_(std::move(kept)),
      cols_(std::move(cols)),
      srcs_(std::move(srcs)),
      lob_rowid_col_(lob_rowid_col),
      lob_table_(std::move(lob_table))
{
    kept_->busy = true;
}

cursor::~cursor()
{
    if (kept_) {
        kept_->st.reset();
        kept_->busy = false;
    } else if (st_) {
        sqlite3_finalize(st_);
    }
}

bool cursor::step_into(std::vector<value>& out)
{
    int rc = sqlite3_step(st_);
    if (rc == SQLITE_DONE) return false;
    if (rc != SQLITE_ROW) {
        std::string msg = sqlite3_errmsg(sqlite3_db_handle(st_));
        if ((rc & 0xFF) == SQLITE_BUSY) raise(54);
        if (msg.rfind("ORA-", 0) == 0) throw eora_error(std::atoi(msg.c_str() + 4), msg);
        if (is_io_failure(rc)) throw io_error(rc, sqlite3_db_filename(sqlite3_db_handle(st_), "main"));
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
            target->column = origin ? oracle_name(origin) : cols_[i].name;
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

namespace {

// The columns of a prepared query; expressions, whose type the first row
// tells, are listed in `unknown`.
std::vector<result_column> describe(session::impl& s, sqlite3_stmt* q, int n, std::vector<int>& unknown)
{
    std::vector<result_column> cols;
    for (int i = 0; i < n; ++i) {
        result_column c;
        const char* name = sqlite3_column_name(q, i);
        c.name = name ? oracle_name(name) : "";
        const char* tab = sqlite3_column_table_name(q, i);
        const char* origin = sqlite3_column_origin_name(q, i);
        bool found = false;
        if (tab && origin) {
            if (std::strncmp(tab, "_ora_", 5) == 0) {
                c.type = dictionary_type(c.name);
                found = true;
            } else if (auto m = s.table_by_sqlite(tab)) {
                int ci = m->find(oracle_name(origin));
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
    return cols;
}

// Translates and prepares a query; `reusable` tells whether the plan serves
// other values of the lifted literals.
std::shared_ptr<query_plan> make_plan(session::impl& s, const statement& st, const std::vector<char>* lift,
                                      bool parse_only, bool& reusable)
{
    translation tr = translate_query(s, st, 0, st.toks.size() - 1, lift);
    reusable = tr.reusable && lift;
    if (tr.for_update && !parse_only) s.begin_write();
    if (tr.writes && !parse_only) s.begin_write();
    auto plan = std::make_shared<query_plan>();
    sqlite3_stmt* q = nullptr;
    int rc = sqlite3_prepare_v3(s.db, tr.sql.c_str(), static_cast<int>(tr.sql.size()),
                                reusable ? SQLITE_PREPARE_PERSISTENT : 0, &q, nullptr);
    if (rc != SQLITE_OK) s.sqlite_fail(rc);
    plan->stmt = std::make_shared<plan_stmt>();
    plan->stmt->st = stmt_ptr(q);
    int n = sqlite3_column_count(q);
    if (tr.for_update) {
        plan->lob_col = n - 1;
        --n;
        for (auto& m : tr.tables)
            if (m) plan->lob_table = m->sqlite;
    }
    plan->cols = describe(s, q, n, plan->unknown);
    plan->sql = std::move(tr.sql);
    plan->for_update = tr.for_update;
    plan->writes = tr.writes;
    plan->tables = std::move(tr.tables);
    plan->lifts = std::move(tr.lifts);
    return plan;
}

} // namespace

exec_result run_query(session::impl& s, const statement& st, const std::vector<value>& binds, bool parse_only)
{
    std::vector<char> lift;
    std::string key;
    std::shared_ptr<query_plan> plan;
    if (s.reuse_queries) {
        key = query_key(st.toks, lift);
        plan = s.queries.find(key);
    }
    const bool hit = plan != nullptr;
    if (!hit) {
        bool reusable = false;
        plan = make_plan(s, st, s.reuse_queries ? &lift : nullptr, parse_only, reusable);
        if (reusable && s.reuse_queries) s.queries.put(key, plan);
    }
    // The row a ROWID literal names; one of another shape fails as translating it does.
    std::vector<int64_t> rows(plan->lifts.size());
    for (size_t i = 0; i < plan->lifts.size(); ++i)
        if (plan->lifts[i].rowid) rows[i] = decode_rowid(st.toks[plan->lifts[i].tok].text, plan->lifts[i].object_id);
    if (hit && (plan->for_update || plan->writes) && !parse_only) s.begin_write();
    // A plan whose statement another cursor still reads runs on a copy.
    std::shared_ptr<plan_stmt> kept = plan->stmt;
    if (kept->busy) {
        kept = std::make_shared<plan_stmt>();
        kept->st = s.prepare_once(plan->sql);
    }
    sqlite3_stmt* q = kept->st.get();
    for (size_t i = 0; i < binds.size(); ++i) bind_value(q, static_cast<int>(i + 1), binds[i]);
    for (size_t i = 0; i < plan->lifts.size(); ++i) {
        const lifted_literal& l = plan->lifts[i];
        if (l.rowid)
            sqlite3_bind_int64(q, l.param, rows[i]);
        else
            bind_value(q, l.param, value::text(st.toks[l.tok].text));
    }
    auto cur = std::make_unique<cursor>(std::move(kept), plan->cols, plan->tables, plan->lob_col, plan->lob_table);
    cursor_access::type_expressions(*cur, plan->unknown, !parse_only);
    exec_result r;
    r.cur = std::move(cur);
    return r;
}

} // namespace eora
