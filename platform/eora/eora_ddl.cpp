// DDL of the embedded Oracle: users, tables, sequences, triggers, keys,
// indexes, views. Each statement commits what came before it and itself.
#include "platform/eora/eora_alter_table.h"
#include "platform/eora/eora_number.h"
#include "platform/eora/eora_select_parse.h"
#include "platform/eora/eora_session_impl.h"

#include <algorithm>
#include <set>

namespace eora {

namespace {

const std::set<std::string> tablespaces = {"USERS", "SYSTEM", "SYSAUX", "TEMP"};

std::string sqlite_decl(const col_type& t)
{
    if (t.is_binary()) return "BLOB";
    if (t.is_numeric()) return "";
    return "TEXT";
}

struct ddl_ctx {
    session::impl& s;
    const statement& st;
    const std::vector<value>& binds;
    bool parse_only;
    exec_result result;
};

// Runs `body` as one DDL transaction.
template <class F>
void as_ddl(ddl_ctx& c, F body)
{
    if (c.parse_only) return;
    c.s.commit();
    c.s.begin_write();
    try {
        body();
        c.s.commit();
    } catch (...) {
        c.s.rollback();
        throw;
    }
    c.s.invalidate();
}

void insert_column(session::impl& s, const table_meta& t, const column_meta& c, int id)
{
    sqlite3_stmt* st = s.cached(
        "INSERT INTO _ora_columns(owner, table_name, column_name, column_id, data_type, data_length, data_precision, "
        "data_scale, nullable, data_default, kind, length, precision, scale, has_precision) "
        "VALUES(?1,?2,?3,?4,?5,?6,?7,?8,?9,?10,?11,?12,?13,?14,?15)");
    bind_text(st, 1, t.owner);
    bind_text(st, 2, t.name);
    bind_text(st, 3, c.name);
    sqlite3_bind_int(st, 4, id);
    bind_text(st, 5, c.type.dict_name());
    sqlite3_bind_int(st, 6, c.type.dict_length());
    if (c.type.k == kind::number && c.type.has_precision) {
        sqlite3_bind_int(st, 7, c.type.precision);
        sqlite3_bind_int(st, 8, c.type.scale);
    } else if (c.type.k == kind::float_) {
        sqlite3_bind_int(st, 7, c.type.precision);
    } else if (c.type.k == kind::timestamp || c.type.k == kind::timestamp_tz || c.type.k == kind::timestamp_ltz) {
        sqlite3_bind_int(st, 8, c.type.scale);
    }
    bind_text(st, 9, c.nullable ? "Y" : "N");
    if (c.has_default) bind_text(st, 10, c.default_text);
    sqlite3_bind_int(st, 11, static_cast<int>(c.type.k));
    sqlite3_bind_int(st, 12, c.type.length);
    sqlite3_bind_int(st, 13, c.type.precision);
    sqlite3_bind_int(st, 14, c.type.scale);
    sqlite3_bind_int(st, 15, c.type.has_precision ? 1 : 0);
    s.step_done(st);
}

void add_constraint_row(session::impl& s, const std::string& owner, const std::string& name, const std::string& type,
                        const std::string& table, const std::vector<std::string>& cols, const std::string& search,
                        const std::string& r_owner, const std::string& r_name, const std::string& rule,
                        const std::string& index, bool generated)
{
    sqlite3_stmt* st = s.cached("SELECT 1 FROM _ora_constraints WHERE owner=?1 AND constraint_name=?2");
    bind_text(st, 1, owner);
    bind_text(st, 2, name);
    bool exists = sqlite3_step(st) == SQLITE_ROW;
    sqlite3_reset(st);
    if (exists) raise(2264);
    st = s.cached("INSERT INTO _ora_constraints VALUES(?1,?2,?3,?4,?5,?6,?7,?8,?9,?10,?11)");
    bind_text(st, 1, owner);
    bind_text(st, 2, name);
    bind_text(st, 3, type);
    bind_text(st, 4, table);
    if (!r_owner.empty()) bind_text(st, 5, r_owner);
    if (!r_name.empty()) bind_text(st, 6, r_name);
    if (!rule.empty()) bind_text(st, 7, rule);
    if (!index.empty()) {
        bind_text(st, 8, owner);
        bind_text(st, 9, index);
    }
    if (!search.empty()) bind_text(st, 10, search);
    bind_text(st, 11, generated ? "GENERATED NAME" : "USER NAME");
    s.step_done(st);
    int pos = 1;
    for (const auto& c : cols) {
        st = s.cached("INSERT INTO _ora_cons_columns VALUES(?1,?2,?3,?4,?5)");
        bind_text(st, 1, owner);
        bind_text(st, 2, name);
        bind_text(st, 3, table);
        bind_text(st, 4, c);
        if (type == "C")
            sqlite3_bind_null(st, 5);
        else
            sqlite3_bind_int(st, 5, pos++);
        s.step_done(st);
    }
}

// Longest index key an 8 KB block holds.
constexpr int64_t k_max_key_bytes = 6398;

// Creates an index of the table on columns or on expressions (`expr_sql` joins the translated `expr_keys`).
void make_index(session::impl& s, const table_meta& t, const std::string& owner, const std::string& name, bool unique,
                const std::vector<std::string>& cols, const std::string& expr_sql, const std::string& expr_text,
                const std::string& constraint, int dup_error, const std::string& dup_owner, const std::string& dup_name,
                const std::vector<std::string>& expr_keys = {})
{
    if (expr_sql.empty()) {
        // Oracle sizes a key by its columns' declared lengths, not by the data they hold.
        int64_t key = 0;
        for (const auto& c : cols) key += t.cols[static_cast<size_t>(t.find(c))].type.dict_length();
        if (key > k_max_key_bytes) raise(1450, std::to_string(k_max_key_bytes));
    }
    s.new_object(owner, name, "INDEX", 2);
    std::string sq = index_storage(owner, name);
    std::string sql =
        std::string("CREATE ") + (unique ? "UNIQUE " : "") + "INDEX " + q_ident(sq) + " ON " + q_ident(t.sqlite) + "(";
    if (!expr_sql.empty()) {
        sql += expr_sql;
    } else {
        for (size_t i = 0; i < cols.size(); ++i) sql += (i ? "," : "") + q_name(cols[i]);
    }
    sql += ")";
    char* err = nullptr;
    int rc = sqlite3_exec(s.db, sql.c_str(), nullptr, nullptr, &err);
    sqlite3_free(err);
    if (rc != SQLITE_OK) {
        if ((rc & 0xFF) == SQLITE_CONSTRAINT) raise(dup_error, dup_owner, dup_name);
        if ((rc & 0xFF) == SQLITE_FULL) s.segment_full(1654, owner, name);
        s.sqlite_fail(rc);
    }
    // The key parts as SQLite reads them: the columns, or each key expression.
    std::vector<std::string> parts;
    if (expr_sql.empty())
        for (const auto& c : cols) parts.push_back(q_name(c));
    else
        for (const auto& k : expr_keys) parts.push_back("(" + k + ")");
    if (unique && parts.size() > 1) {
        // SQLite lets rows with a NULL in the key through; Oracle refuses two rows whose non-NULL key parts are
        // equal unless every key part is NULL. A second index holds only the partly NULL rows, keyed on which
        // parts are NULL and the values of the others.
        std::string keys, some_null, some_set;
        for (size_t i = 0; i < parts.size(); ++i) {
            const std::string& c = parts[i];
            keys += (i ? "," : "") + std::string("(") + c + " IS NULL),ifnull(" + c + ",0)";
            some_null += (i ? " OR " : "") + c + " IS NULL";
            some_set += (i ? " OR " : "") + c + " IS NOT NULL";
        }
        std::string partial = "CREATE UNIQUE INDEX " + q_ident(partial_null_index(sq)) + " ON " + q_ident(t.sqlite) +
                              "(" + keys + ") WHERE (" + some_null + ") AND (" + some_set + ")";
        rc = sqlite3_exec(s.db, partial.c_str(), nullptr, nullptr, &err);
        sqlite3_free(err);
        if (rc != SQLITE_OK) {
            if ((rc & 0xFF) == SQLITE_CONSTRAINT) raise(dup_error, dup_owner, dup_name);
            if ((rc & 0xFF) == SQLITE_FULL) s.segment_full(1654, owner, name);
            s.sqlite_fail(rc);
        }
    }
    sqlite3_stmt* st = s.cached("INSERT INTO _ora_indexes VALUES(?1,?2,?3,?4,?5,'N',?6,?7,?8)");
    bind_text(st, 1, owner);
    bind_text(st, 2, name);
    bind_text(st, 3, t.owner);
    bind_text(st, 4, t.name);
    bind_text(st, 5, unique ? "UNIQUE" : "NONUNIQUE");
    bind_text(st, 6, sq);
    sqlite3_bind_int(st, 7, expr_sql.empty() ? 0 : 1);
    if (!constraint.empty()) bind_text(st, 8, constraint);
    s.step_done(st);
    if (!expr_sql.empty()) {
        // Expression columns get system names of their own.
        st = s.cached(
            "SELECT count(*) FROM _ora_ind_columns WHERE table_owner=?1 AND table_name=?2 AND expression IS NOT NULL");
        bind_text(st, 1, t.owner);
        bind_text(st, 2, t.name);
        int k = sqlite3_step(st) == SQLITE_ROW ? sqlite3_column_int(st, 0) : 0;
        sqlite3_reset(st);
        char buf[32];
        std::snprintf(buf, sizeof buf, "SYS_NC%05d$", static_cast<int>(t.cols.size()) + k + 1);
        st = s.cached("INSERT INTO _ora_ind_columns VALUES(?1,?2,?3,?4,?5,1,?6)");
        bind_text(st, 1, owner);
        bind_text(st, 2, name);
        bind_text(st, 3, t.owner);
        bind_text(st, 4, t.name);
        bind_text(st, 5, buf);
        bind_text(st, 6, expr_text);
        s.step_done(st);
        return;
    }
    int pos = 1;
    for (const auto& c : cols) {
        st = s.cached("INSERT INTO _ora_ind_columns VALUES(?1,?2,?3,?4,?5,?6,NULL)");
        bind_text(st, 1, owner);
        bind_text(st, 2, name);
        bind_text(st, 3, t.owner);
        bind_text(st, 4, t.name);
        bind_text(st, 5, c);
        sqlite3_bind_int(st, 6, pos++);
        s.step_done(st);
    }
}

void set_nullable(session::impl& s, const table_meta& t, const std::string& col, bool nullable)
{
    sqlite3_stmt* st =
        s.cached("UPDATE _ora_columns SET nullable=?4 WHERE owner=?1 AND table_name=?2 AND column_name=?3");
    bind_text(st, 1, t.owner);
    bind_text(st, 2, t.name);
    bind_text(st, 3, col);
    bind_text(st, 4, nullable ? "Y" : "N");
    s.step_done(st);
}

bool has_nulls(session::impl& s, const table_meta& t, const std::string& col)
{
    stmt_ptr q = s.prepare_once("SELECT 1 FROM " + q_ident(t.sqlite) + " WHERE " + q_name(col) + " IS NULL LIMIT 1");
    return sqlite3_step(q.get()) == SQLITE_ROW;
}

// PRIMARY KEY / UNIQUE on a table (ALTER TABLE ADD or CREATE TABLE).
void add_key(session::impl& s, const table_meta& t, std::string name, bool primary,
             const std::vector<std::string>& cols)
{
    bool generated = name.empty();
    if (generated) name = s.next_sys_name();
    for (const auto& c : cols) {
        const auto& cm = t.cols[static_cast<size_t>(t.find(c))];
        if (cm.type.is_lob() || cm.type.is_long()) raise(2329, cm.type.dict_name());
    }
    sqlite3_stmt* st = s.cached(
        "SELECT constraint_name, constraint_type FROM _ora_constraints WHERE owner=?1 AND "
        "table_name=?2 AND constraint_type IN ('P','U')");
    bind_text(st, 1, t.owner);
    bind_text(st, 2, t.name);
    std::vector<std::pair<std::string, std::string>> keys;
    while (sqlite3_step(st) == SQLITE_ROW)
        keys.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)),
                          reinterpret_cast<const char*>(sqlite3_column_text(st, 1)));
    sqlite3_reset(st);
    for (const auto& k : keys) {
        if (primary && k.second == "P") raise(2260);
        std::vector<std::string> kc;
        st = s.cached(
            "SELECT column_name FROM _ora_cons_columns WHERE owner=?1 AND constraint_name=?2 ORDER BY position");
        bind_text(st, 1, t.owner);
        bind_text(st, 2, k.first);
        while (sqlite3_step(st) == SQLITE_ROW)
            kc.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
        sqlite3_reset(st);
        if (kc == cols) raise(2261);
    }
    if (primary) {
        for (const auto& c : cols)
            if (has_nulls(s, t, c)) raise(1449);
    }
    // An existing index on exactly these columns serves the key.
    std::string index;
    for (const auto& ix : t.indexes)
        if (!ix.expr && ix.cols == cols) index = ix.name;
    add_constraint_row(s, t.owner, name, primary ? "P" : "U", t.name, cols, "", "", "", "",
                       index.empty() ? name : index, generated);
    if (index.empty()) {
        make_index(s, t, t.owner, name, true, cols, "", "", name, primary ? 2437 : 2299, t.owner, name);
    } else {
        // The index is checked for duplicates the way a key would be.
        std::string g;
        for (size_t i = 0; i < cols.size(); ++i) g += (i ? "," : "") + q_name(cols[i]);
        // Rows whose key columns are all NULL never collide.
        std::string any;
        for (size_t i = 0; i < cols.size(); ++i) any += (i ? " OR " : "") + q_name(cols[i]) + " IS NOT NULL";
        stmt_ptr q = s.prepare_once("SELECT 1 FROM " + q_ident(t.sqlite) + " WHERE " + any + " GROUP BY " + g +
                                    " HAVING count(*) > 1 LIMIT 1");
        if (sqlite3_step(q.get()) == SQLITE_ROW) raise(primary ? 2437 : 2299, t.owner, name);
        sqlite3_stmt* u = s.cached("UPDATE _ora_indexes SET constraint_name=?3 WHERE owner=?1 AND index_name=?2");
        bind_text(u, 1, t.owner);
        bind_text(u, 2, index);
        bind_text(u, 3, name);
        s.step_done(u);
    }
    if (primary)
        for (const auto& c : cols) set_nullable(s, t, c, false);
}

// A foreign key is enforced by SQLite triggers named after it: the child's
// rows must find a parent, and a parent with children is neither deleted
// (unless the rule cascades or sets NULL) nor given another key. They run
// after the row is written so that a row may be its own parent, and their
// RAISE(ABORT) undoes the statement only, as Oracle does.
std::string fk_trigger(const std::string& owner, const std::string& name, const char* what)
{
    return q_ident(constraint_storage(owner, name, what));
}

const char* const fk_trigger_kinds[] = {"child_insert", "child_update", "parent_delete", "parent_update"};

void drop_fk_triggers(session::impl& s, const std::string& owner, const std::string& name)
{
    for (const char* k : fk_trigger_kinds) s.exec("DROP TRIGGER IF EXISTS " + fk_trigger(owner, name, k));
}

void create_fk_triggers(session::impl& s, const table_meta& t, const std::string& name,
                        const std::vector<std::string>& cols, const table_meta& r,
                        const std::vector<std::string>& rcols, const std::string& rule)
{
    std::string child_set, parent_of_new, children_of_old, key_changed, child_cols, parent_cols, nulls;
    for (size_t i = 0; i < cols.size(); ++i) {
        const std::string c = q_name(cols[i]), p = q_name(rcols[i]), sep = i ? " AND " : "";
        child_set += sep + "NEW." + c + " IS NOT NULL";
        parent_of_new += sep + p + "=NEW." + c;
        children_of_old += sep + c + "=OLD." + p;
        key_changed += (i ? " OR " : "") + std::string("OLD.") + p + " IS NOT NEW." + p;
        child_cols += (i ? "," : "") + c;
        parent_cols += (i ? "," : "") + p;
        nulls += (i ? "," : "") + c + "=NULL";
    }
    const std::string no_parent = "SELECT RAISE(ABORT, " + q_text(ora_message(2291, t.owner, name)) + ");";
    const std::string has_child = "SELECT RAISE(ABORT, " + q_text(ora_message(2292, t.owner, name)) + ");";
    const std::string orphan =
        child_set + " AND NOT EXISTS (SELECT 1 FROM " + q_ident(r.sqlite) + " WHERE " + parent_of_new + ")";
    const std::string children = "EXISTS (SELECT 1 FROM " + q_ident(t.sqlite) + " WHERE " + children_of_old + ")";
    s.exec("CREATE TRIGGER " + fk_trigger(t.owner, name, "child_insert") + " AFTER INSERT ON " + q_ident(t.sqlite) +
           " WHEN " + orphan + " BEGIN " + no_parent + " END");
    s.exec("CREATE TRIGGER " + fk_trigger(t.owner, name, "child_update") + " AFTER UPDATE OF " + child_cols + " ON " +
           q_ident(t.sqlite) + " WHEN " + orphan + " BEGIN " + no_parent + " END");
    std::string on_delete;
    if (rule == "CASCADE")
        on_delete = "BEGIN DELETE FROM " + q_ident(t.sqlite) + " WHERE " + children_of_old + "; END";
    else if (rule == "SET NULL")
        on_delete = "BEGIN UPDATE " + q_ident(t.sqlite) + " SET " + nulls + " WHERE " + children_of_old + "; END";
    else
        on_delete = "WHEN " + children + " BEGIN " + has_child + " END";
    s.exec("CREATE TRIGGER " + fk_trigger(t.owner, name, "parent_delete") + " AFTER DELETE ON " + q_ident(r.sqlite) +
           " " + on_delete);
    s.exec("CREATE TRIGGER " + fk_trigger(t.owner, name, "parent_update") + " AFTER UPDATE OF " + parent_cols + " ON " +
           q_ident(r.sqlite) + " WHEN (" + key_changed + ") AND " + children + " BEGIN " + has_child + " END");
}

// TRUNCATE empties a table that no other table's foreign key references
// (ORA-02266), whatever its children; its own rows are gone at once, so the
// checks of keys within the table do not run row by row.
void truncate_table(session::impl& s, const table_meta& t)
{
    sqlite3_stmt* st = s.cached(
        "SELECT 1 FROM _ora_constraints c JOIN _ora_constraints k ON c.r_owner=k.owner AND "
        "c.r_constraint_name=k.constraint_name WHERE c.constraint_type='R' AND k.owner=?1 AND k.table_name=?2 AND "
        "NOT (c.owner=?1 AND c.table_name=?2)");
    bind_text(st, 1, t.owner);
    bind_text(st, 2, t.name);
    const bool referenced = sqlite3_step(st) == SQLITE_ROW;
    sqlite3_reset(st);
    if (referenced) raise(2266);
    st = s.cached("SELECT name, sql FROM sqlite_master WHERE type='trigger' AND tbl_name=?1");
    bind_text(st, 1, t.sqlite);
    std::vector<std::pair<std::string, std::string>> triggers;
    while (sqlite3_step(st) == SQLITE_ROW)
        triggers.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)),
                              reinterpret_cast<const char*>(sqlite3_column_text(st, 1)));
    sqlite3_reset(st);
    for (const auto& tr : triggers) s.exec("DROP TRIGGER " + q_ident(tr.first));
    s.exec("DELETE FROM " + q_ident(t.sqlite));
    for (const auto& tr : triggers) s.exec(tr.second);
}

void add_foreign_key(session::impl& s, const table_meta& t, std::string name, const std::vector<std::string>& cols,
                     const table_meta& r, const std::vector<std::string>& rcols, const std::string& rule)
{
    bool generated = name.empty();
    if (generated) name = s.next_sys_name();
    if (cols.size() != rcols.size()) raise(2270);
    // The referenced columns must be a key.
    sqlite3_stmt* st = s.cached(
        "SELECT constraint_name FROM _ora_constraints WHERE owner=?1 AND table_name=?2 AND "
        "constraint_type IN ('P','U')");
    bind_text(st, 1, r.owner);
    bind_text(st, 2, r.name);
    std::vector<std::string> keys;
    while (sqlite3_step(st) == SQLITE_ROW) keys.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
    sqlite3_reset(st);
    std::string rkey;
    for (const auto& k : keys) {
        std::vector<std::string> kc;
        st = s.cached(
            "SELECT column_name FROM _ora_cons_columns WHERE owner=?1 AND constraint_name=?2 ORDER BY position");
        bind_text(st, 1, r.owner);
        bind_text(st, 2, k);
        while (sqlite3_step(st) == SQLITE_ROW)
            kc.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
        sqlite3_reset(st);
        if (kc == rcols) rkey = k;
    }
    if (rkey.empty()) raise(2270);
    // Existing rows must find their parents.
    std::string cond, notnull;
    for (size_t i = 0; i < cols.size(); ++i) {
        cond += (i ? " AND " : "") + std::string("p.") + q_name(rcols[i]) + "=c." + q_name(cols[i]);
        notnull += (i ? " AND " : "") + std::string("c.") + q_name(cols[i]) + " IS NOT NULL";
    }
    stmt_ptr q =
        s.prepare_once("SELECT 1 FROM " + q_ident(t.sqlite) + " c WHERE " + notnull +
                       " AND NOT EXISTS (SELECT 1 FROM " + q_ident(r.sqlite) + " p WHERE " + cond + ") LIMIT 1");
    if (sqlite3_step(q.get()) == SQLITE_ROW) raise(2298, t.owner, name);
    add_constraint_row(s, t.owner, name, "R", t.name, cols, "", r.owner, rkey, rule, "", generated);
    create_fk_triggers(s, t, name, cols, r, rcols, rule);
}

void drop_table_objects(session::impl& s, const table_meta& t, bool cascade)
{
    // Foreign keys of other tables that point at this one.
    sqlite3_stmt* st = s.cached(
        "SELECT c.owner, c.constraint_name, c.table_name FROM _ora_constraints c JOIN _ora_constraints k ON "
        "c.r_owner=k.owner AND c.r_constraint_name=k.constraint_name WHERE c.constraint_type='R' AND k.owner=?1 AND "
        "k.table_name=?2");
    bind_text(st, 1, t.owner);
    bind_text(st, 2, t.name);
    std::vector<std::pair<std::string, std::string>> fks;
    bool foreign = false;
    while (sqlite3_step(st) == SQLITE_ROW) {
        fks.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)),
                         reinterpret_cast<const char*>(sqlite3_column_text(st, 1)));
        std::string o = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
        std::string tn = reinterpret_cast<const char*>(sqlite3_column_text(st, 2));
        if (o != t.owner || tn != t.name) foreign = true;
    }
    sqlite3_reset(st);
    if (foreign && !cascade) raise(2449);
    // The table's own foreign keys have triggers on their parents, which outlive the table.
    st = s.cached(
        "SELECT owner, constraint_name FROM _ora_constraints WHERE constraint_type='R' AND owner=?1 AND "
        "table_name=?2");
    bind_text(st, 1, t.owner);
    bind_text(st, 2, t.name);
    std::vector<std::pair<std::string, std::string>> own;
    while (sqlite3_step(st) == SQLITE_ROW)
        own.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)),
                         reinterpret_cast<const char*>(sqlite3_column_text(st, 1)));
    sqlite3_reset(st);
    for (const auto& fk : own) drop_fk_triggers(s, fk.first, fk.second);
    for (const auto& fk : fks) {
        drop_fk_triggers(s, fk.first, fk.second);
        s.exec("DELETE FROM _ora_cons_columns WHERE owner=" + q_text(fk.first) +
               " AND constraint_name=" + q_text(fk.second));
        s.exec("DELETE FROM _ora_constraints WHERE owner=" + q_text(fk.first) +
               " AND constraint_name=" + q_text(fk.second));
    }
    std::string o = q_text(t.owner), n = q_text(t.name);
    s.exec(
        "DELETE FROM _ora_cons_columns WHERE (owner, constraint_name) IN (SELECT owner, constraint_name FROM "
        "_ora_constraints WHERE owner=" +
        o + " AND table_name=" + n + ")");
    s.exec("DELETE FROM _ora_constraints WHERE owner=" + o + " AND table_name=" + n);
    s.exec(
        "DELETE FROM _ora_objects WHERE namespace=2 AND (owner, object_name) IN (SELECT owner, index_name FROM "
        "_ora_indexes WHERE table_owner=" +
        o + " AND table_name=" + n + ")");
    s.exec("DELETE FROM _ora_ind_columns WHERE table_owner=" + o + " AND table_name=" + n);
    s.exec("DELETE FROM _ora_indexes WHERE table_owner=" + o + " AND table_name=" + n);
    s.exec(
        "DELETE FROM _ora_objects WHERE namespace=3 AND (owner, object_name) IN (SELECT owner, trigger_name FROM "
        "_ora_triggers WHERE table_owner=" +
        o + " AND table_name=" + n + ")");
    s.exec("DELETE FROM _ora_triggers WHERE table_owner=" + o + " AND table_name=" + n);
    s.exec("DELETE FROM _ora_columns WHERE owner=" + o + " AND table_name=" + n);
    s.exec("DELETE FROM _ora_comments WHERE owner=" + o + " AND table_name=" + n);
    s.exec("DELETE FROM _ora_tables WHERE owner=" + o + " AND table_name=" + n);
    s.exec("DELETE FROM _ora_objects WHERE namespace=1 AND owner=" + o + " AND object_name=" + n);
}

// ---------------------------------------------------------------- statements

void create_table(ddl_ctx& c, parser& p)
{
    session::impl& s = c.s;
    name_ref tn = p.qualified(s.user);
    auto t = std::make_shared<table_meta>();
    t->owner = tn.owner;
    t->name = tn.name;
    t->sqlite = table_storage(tn.owner, tn.name);
    struct key_def {
        std::string name;
        bool primary;
        std::vector<std::string> cols;
    };
    std::vector<key_def> keys;
    std::vector<std::string> checks; // NOT NULL columns
    p.expect_op("(", 906);
    int longs = 0;
    do {
        if (p.peek().is_kw("CONSTRAINT") || p.peek().is_kw("PRIMARY") || p.peek().is_kw("UNIQUE")) {
            std::string cname;
            if (p.accept_kw("CONSTRAINT")) cname = p.name(904);
            bool primary = p.accept_kw("PRIMARY");
            if (primary)
                p.expect_kw("KEY");
            else
                p.expect_kw("UNIQUE");
            std::vector<std::string> cols;
            p.expect_op("(", 906);
            do {
                std::string col = p.name(904);
                if (t->find(col) < 0) raise(904, "\"" + col + "\"");
                cols.push_back(col);
            } while (p.accept_op(","));
            p.expect_op(")", 907);
            keys.push_back({cname, primary, cols});
            continue;
        }
        column_meta col;
        col.name = p.name(904);
        // The upper-case ROWID, quoted or not, is the pseudo-column's and never a column's name.
        if (col.name == "ROWID") raise(904);
        if (t->find(col.name) >= 0) raise(957);
        col.type = parse_type(p);
        if (col.type.is_long()) ++longs;
        for (;;) {
            if (p.accept_kw("DEFAULT")) {
                size_t b = p.peek().begin;
                std::vector<value> none;
                statement dummy;
                eval_default_expr(s, p, dummy, none);
                size_t e = p.peek().begin;
                col.default_text = c.st.sql.substr(b, e - b);
                col.has_default = true;
                continue;
            }
            std::string cname;
            if (p.accept_kw("CONSTRAINT")) cname = p.name(904);
            if (p.accept_kw("NOT")) {
                p.expect_kw("NULL", 908);
                col.nullable = false;
                checks.push_back(col.name);
                continue;
            }
            if (p.accept_kw("NULL")) continue;
            if (p.accept_kw("PRIMARY")) {
                p.expect_kw("KEY");
                keys.push_back({cname, true, {col.name}});
                continue;
            }
            if (p.accept_kw("UNIQUE")) {
                keys.push_back({cname, false, {col.name}});
                continue;
            }
            if (!cname.empty()) raise(905);
            break;
        }
        t->cols.push_back(std::move(col));
    } while (p.accept_op(","));
    p.expect_op(")", 907);
    if (p.accept_kw("TABLESPACE")) {
        std::string ts = p.name(959);
        if (!tablespaces.count(ts)) raise(959, ts);
    }
    p.end();
    if (longs > 1) raise(1754);
    if (t->cols.empty()) raise(904);
    s.require_create(t->owner, priv::create_table, priv::create_any_table);
    as_ddl(c, [&] {
        if (!s.user_exists(t->owner)) raise(1918, t->owner);
        t->object_id = s.new_object(t->owner, t->name, "TABLE", 1);
        sqlite3_stmt* st = s.cached(
            "INSERT INTO _ora_tables(owner, table_name, object_id, sqlite_name, kind) VALUES(?1,?2,?3,?4,'TABLE')");
        bind_text(st, 1, t->owner);
        bind_text(st, 2, t->name);
        sqlite3_bind_int64(st, 3, t->object_id);
        bind_text(st, 4, t->sqlite);
        s.step_done(st);
        std::string sql = "CREATE TABLE " + q_ident(t->sqlite) + " (";
        for (size_t i = 0; i < t->cols.size(); ++i) {
            const auto& col = t->cols[i];
            std::string decl = sqlite_decl(col.type);
            sql += (i ? ", " : "") + q_name(col.name) + (decl.empty() ? "" : " " + decl);
            insert_column(s, *t, col, static_cast<int>(i + 1));
        }
        sql += ")";
        s.exec(sql);
        for (const auto& col : checks)
            add_constraint_row(s, t->owner, s.next_sys_name(), "C", t->name, {col}, "\"" + col + "\" IS NOT NULL", "",
                               "", "", "", true);
        for (const auto& k : keys) {
            s.invalidate();
            auto fresh = s.table(t->owner, t->name);
            add_key(s, *fresh, k.name, k.primary, k.cols);
        }
    });
}

void create_sequence(ddl_ctx& c, parser& p)
{
    session::impl& s = c.s;
    name_ref n = p.qualified(s.user);
    std::string inc = "1", start, maxv = "1" + std::string(28, '0'), minv = "1", cycle = "N", order = "N";
    int cache = 20;
    bool min_given = false, max_given = false;
    auto num = [&]() -> std::string {
        bool neg = p.accept_op("-");
        if (p.peek().kind != tok::number) raise(905);
        auto d = parse_decimal(p.next().text);
        if (!d) raise(1722);
        if (neg) d->neg = !d->neg && !d->zero();
        return d->text();
    };
    while (!p.at_end()) {
        if (p.accept_kw("INCREMENT")) {
            p.expect_kw("BY", 924);
            inc = num();
        } else if (p.accept_kw("START")) {
            p.expect_kw("WITH");
            start = num();
        } else if (p.accept_kw("MAXVALUE")) {
            maxv = num();
            max_given = true;
        } else if (p.accept_kw("MINVALUE")) {
            minv = num();
            min_given = true;
        } else if (p.accept_kw("NOMAXVALUE")) {
            maxv = "1" + std::string(28, '0');
        } else if (p.accept_kw("NOMINVALUE")) {
            minv = "1";
        } else if (p.accept_kw("CYCLE"))
            cycle = "Y";
        else if (p.accept_kw("NOCYCLE"))
            cycle = "N";
        else if (p.accept_kw("CACHE"))
            cache = std::atoi(num().c_str());
        else if (p.accept_kw("NOCACHE"))
            cache = 0;
        else if (p.accept_kw("ORDER"))
            order = "Y";
        else if (p.accept_kw("NOORDER"))
            order = "N";
        else
            raise(933);
    }
    p.end();
    s.require_create(n.owner, priv::create_sequence, priv::create_any_sequence);
    (void)min_given;
    (void)max_given;
    if (start.empty()) start = inc[0] == '-' ? maxv : minv;
    as_ddl(c, [&] {
        if (!s.user_exists(n.owner)) raise(1918, n.owner);
        s.new_object(n.owner, n.name, "SEQUENCE", 1);
        sqlite3_stmt* st = s.cached("INSERT INTO _ora_sequences VALUES(?1,?2,?3,?4,?5,?6,?7,?8,?9)");
        bind_text(st, 1, n.owner);
        bind_text(st, 2, n.name);
        bind_text(st, 3, minv);
        bind_text(st, 4, maxv);
        bind_text(st, 5, inc);
        bind_text(st, 6, cycle);
        bind_text(st, 7, order);
        sqlite3_bind_int(st, 8, cache);
        bind_text(st, 9, start);
        s.step_done(st);
    });
}

void create_trigger(ddl_ctx& c, parser& p, bool replace)
{
    session::impl& s = c.s;
    name_ref n = p.qualified(s.user);
    if (!p.accept_kw("BEFORE")) raise(4079);
    if (!p.accept_kw("INSERT")) raise(4079);
    p.expect_kw("ON", 4079);
    name_ref tn = p.qualified(s.user, 4079);
    // The body's names are those of the trigger's schema.
    std::string col, seq_owner = n.owner, seq;
    bool when_null = false;
    if (p.accept_kw("REFERENCING")) {
        while (p.accept_kw("NEW") || p.accept_kw("OLD")) {
            p.accept_kw("AS");
            p.name(4079);
        }
    }
    p.expect_kw("FOR", 4079);
    p.expect_kw("EACH", 4079);
    p.expect_kw("ROW", 4079);
    size_t body_begin = p.peek().begin;
    bool understood = false;
    // WHEN (new."ID" IS NULL) BEGIN select "SEQ".nextval into :new."ID" from dual; END;
    size_t save = p.pos();
    std::string when_col;
    try {
        if (p.accept_kw("WHEN")) {
            p.expect_op("(", 906);
            p.expect_kw("NEW");
            p.expect_op(".", 905);
            when_col = p.name();
            p.expect_kw("IS");
            p.expect_kw("NULL");
            p.expect_op(")", 907);
            when_null = true;
        }
        p.expect_kw("BEGIN");
        auto seq_ref = [&] {
            name_ref r{n.owner, p.name()};
            if (p.peek().is_op(".") && !p.peek(1).is_kw("NEXTVAL")) {
                p.next();
                r.owner = r.name;
                r.name = p.name();
            }
            p.expect_op(".", 905);
            p.expect_kw("NEXTVAL");
            return r;
        };
        if (p.accept_kw("SELECT")) {
            name_ref sq = seq_ref();
            p.expect_kw("INTO");
            if (!(p.peek().kind == tok::bind && p.peek().text == "NEW")) raise(905);
            p.next();
            p.expect_op(".", 905);
            col = p.name();
            p.expect_kw("FROM");
            p.expect_kw("DUAL");
            seq_owner = sq.owner;
            seq = sq.name;
        } else {
            if (!(p.peek().kind == tok::bind && p.peek().text == "NEW")) raise(905);
            p.next();
            p.expect_op(".", 905);
            col = p.name();
            p.expect_op(":=", 905);
            name_ref sq = seq_ref();
            seq_owner = sq.owner;
            seq = sq.name;
        }
        p.expect_op(";", 905);
        p.expect_kw("END");
        if (p.peek().is_name()) p.next();
        p.accept_op(";");
        if (p.peek().kind != tok::end) raise(905);
        understood = !when_null || when_col == col;
    } catch (const eora_error&) {
        understood = false;
        p.seek(save);
    }
    if (n.owner == s.user && tn.owner == s.user)
        s.require_create(n.owner, priv::create_trigger, priv::create_any_trigger);
    else
        s.require(priv::create_any_trigger);
    std::string body = c.st.sql.substr(body_begin);
    as_ddl(c, [&] {
        auto t = s.table(tn.owner, tn.name);
        if (!t || t->view) raise(942);
        if (understood && t->find(col) < 0) understood = false;
        if (s.object_exists(n.owner, n.name, 3)) {
            if (!replace) raise(4081, n.name);
            s.exec("DELETE FROM _ora_triggers WHERE owner=" + q_text(n.owner) + " AND trigger_name=" + q_text(n.name));
            s.exec("DELETE FROM _ora_objects WHERE namespace=3 AND owner=" + q_text(n.owner) +
                   " AND object_name=" + q_text(n.name));
        }
        s.new_object(n.owner, n.name, "TRIGGER", 3);
        sqlite3_stmt* st = s.cached("INSERT INTO _ora_triggers VALUES(?1,?2,?3,?4,?5,?6,?7,?8,?9,?10)");
        bind_text(st, 1, n.owner);
        bind_text(st, 2, n.name);
        bind_text(st, 3, tn.owner);
        bind_text(st, 4, tn.name);
        bind_text(st, 5, col);
        bind_text(st, 6, seq_owner);
        bind_text(st, 7, seq);
        sqlite3_bind_int(st, 8, understood ? 1 : 0);
        sqlite3_bind_int(st, 9, when_null ? 1 : 0);
        bind_text(st, 10, body);
        s.step_done(st);
        bool seq_ok = false;
        if (understood) {
            sqlite3_stmt* q = s.cached("SELECT 1 FROM _ora_sequences WHERE sequence_owner=?1 AND sequence_name=?2");
            bind_text(q, 1, seq_owner);
            bind_text(q, 2, seq);
            seq_ok = sqlite3_step(q) == SQLITE_ROW;
            sqlite3_reset(q);
        }
        if (!seq_ok) {
            c.result.info = 24344;
            c.result.info_text = ora_message(24344);
        }
    });
}

// The ')' that closes a list starting at b; ORA-00907 when none does.
size_t list_end(const std::vector<token>& toks, size_t b)
{
    int depth = 0;
    for (size_t e = b; e + 1 < toks.size(); ++e) {
        if (toks[e].is_op("("))
            ++depth;
        else if (toks[e].is_op(")") && depth-- == 0)
            return e;
    }
    raise(907);
}

// Bytes of an index key over expressions: each expression's part is as long
// as the longest column it can give, and a CASE's conditions give none. Only
// CASE and the words of its conditions are read as words: any other name is
// taken for a column (ORA-00904 when the table has none of that name).
class key_length {
public:
    explicit key_length(const table_meta& t) : t_(t) {}

    int64_t of(const std::vector<expr>& keys)
    {
        int64_t key = 0;
        for (const expr& x : keys) {
            part_ = 0;
            walk(x);
            key += part_;
        }
        return key;
    }

private:
    void walk(const expr& x)
    {
        for (size_t i = 0; i < x.terms.size(); ++i) {
            const term& t = x.terms[i];
            // A word right before a parenthesis names what it applies to, not a column.
            bool before_paren = i + 1 < x.terms.size() &&
                                (x.terms[i + 1].k == term::kind::group || x.terms[i + 1].k == term::kind::subquery);
            if (before_paren && t.k == term::kind::keyword) {
                word(t.text, false);
                continue;
            }
            if (before_paren && t.k == term::kind::name) {
                for (size_t k = 0; k + 1 < t.parts.size(); ++k) column(t.parts[k]);
                continue;
            }
            walk(t);
        }
    }

    void walk(const term& t)
    {
        switch (t.k) {
        case term::kind::keyword:
            word(t.text, true);
            break;
        case term::kind::name:
            for (const auto& part : t.parts) column(part);
            break;
        case term::kind::sequence:
            for (const auto& part : t.parts)
                if (!part.empty()) column(part);
            column(t.currval ? "CURRVAL" : "NEXTVAL");
            break;
        case term::kind::rowid:
        case term::kind::rowid_match:
            column("ROWID");
            break;
        case term::kind::sysdate:
        case term::kind::user:
            column(t.text);
            break;
        case term::kind::subquery:
            column("SELECT");
            break;
        case term::kind::call:
        case term::kind::group:
            for (const expr& x : t.args) walk(x);
            break;
        case term::kind::string:
        case term::kind::number:
        case term::kind::bind:
        case term::kind::op:
            break;
        }
    }

    void word(const std::string& w, bool may_be_column)
    {
        if (w == "WHEN")
            condition_ = true;
        else if (w == "THEN" || w == "ELSE" || w == "END")
            condition_ = false;
        else if (may_be_column && w != "CASE" && w != "IS" && w != "NOT" && w != "NULL" && w != "AND" && w != "OR")
            column(w);
    }

    void column(const std::string& name)
    {
        int ci = t_.find(name);
        if (ci < 0) raise(904, "\"" + name + "\"");
        const auto& cm = t_.cols[static_cast<size_t>(ci)];
        if (cm.type.is_lob() || cm.type.is_long()) raise(2327, cm.type.dict_name());
        if (!condition_) part_ = std::max<int64_t>(part_, cm.type.dict_length());
    }

    const table_meta& t_;
    int64_t part_ = 0;
    bool condition_ = false;
};

int64_t key_bytes(const table_meta& t, const std::vector<expr>& keys) { return key_length(t).of(keys); }

void create_index(ddl_ctx& c, parser& p, bool unique)
{
    session::impl& s = c.s;
    name_ref n = p.qualified(s.user);
    p.expect_kw("ON", 905);
    name_ref tn = p.qualified(s.user);
    p.expect_op("(", 906);
    // Column list, or one expression.
    std::vector<std::string> cols, expr_keys;
    std::string expr_sql, expr_text;
    size_t b = p.pos();
    bool plain = true;
    {
        parser q(c.st.toks, b);
        do {
            if (!q.peek().is_name() || q.peek().is_kw("CASE")) {
                plain = false;
                break;
            }
            cols.push_back(q.next().text);
            q.accept_kw("ASC");
            q.accept_kw("DESC");
        } while (q.accept_op(","));
        if (plain && !q.peek().is_op(")")) plain = false;
        if (plain) p.seek(q.pos());
    }
    std::shared_ptr<table_meta> t = s.table(tn.owner, tn.name);
    if (!t || t->view) raise(942);
    if (!plain) {
        cols.clear();
        size_t e = list_end(c.st.toks, b);
        std::vector<expr> keys = parse_expressions(c.st.toks, b, e);
        if (key_bytes(*t, keys) > k_max_key_bytes) raise(1450, std::to_string(k_max_key_bytes));
        for (const auto& k : keys) expr_keys.push_back(translate_expressions(s, c.st, {k}, {t}, {t->name}).sql);
        expr_sql = translate_expressions(s, c.st, std::move(keys), {t}, {t->name}).sql;
        expr_text = c.st.sql.substr(c.st.toks[b].begin, c.st.toks[e].begin - c.st.toks[b].begin);
        while (!expr_text.empty() && expr_text.back() == ' ') expr_text.pop_back();
        p.seek(e);
    } else {
        for (const auto& col : cols) {
            int ci = t->find(col);
            if (ci < 0) raise(904, "\"" + col + "\"");
            const auto& cm = t->cols[static_cast<size_t>(ci)];
            if (cm.type.is_lob() || cm.type.is_long()) raise(2327, cm.type.dict_name());
        }
    }
    p.expect_op(")", 907);
    if (p.accept_kw("TABLESPACE")) p.name(959);
    p.end();
    // An index of one's own on a table of one's own needs no privilege.
    if ((n.owner != s.user || tn.owner != s.user) && !s.has(priv::create_any_index))
        raise(tn.owner == s.user || s.sees_other_schemas() ? 1031 : 942);
    as_ddl(c, [&] {
        auto fresh = s.table(tn.owner, tn.name);
        if (!fresh) raise(942);
        if (s.object_exists(n.owner, n.name, 2)) raise(955);
        for (const auto& ix : fresh->indexes) {
            if (plain && !ix.expr && ix.cols == cols) raise(1408);
            if (!plain && ix.expr && ix.cols.size() == 1 && ix.cols[0] == expr_text) raise(1408);
        }
        make_index(s, *fresh, n.owner, n.name, unique, cols, expr_sql, expr_text, "", 1452, "", "", expr_keys);
    });
}

void create_view(ddl_ctx& c, parser& p, bool replace)
{
    session::impl& s = c.s;
    name_ref n = p.qualified(s.user);
    if (p.peek().is_op("(")) raise(905);
    p.expect_kw("AS");
    s.require_create(n.owner, priv::create_view, priv::create_any_view);
    size_t b = p.pos();
    size_t e = c.st.toks.size() - 1;
    if (e > b && c.st.toks[e - 1].is_op(";")) --e;
    if (!c.st.toks[b].is_kw("SELECT") && !c.st.toks[b].is_op("(")) raise(928);
    statement inner;
    inner.sql = c.st.sql;
    inner.toks = c.st.toks;
    translation tr = translate_query(s, inner, b, e);
    std::string text = c.st.sql.substr(c.st.toks[b].begin, c.st.toks[e].begin - c.st.toks[b].begin);
    as_ddl(c, [&] {
        if (!s.user_exists(n.owner)) raise(1918, n.owner);
        auto old = s.table(n.owner, n.name);
        if (old) {
            if (!replace || !old->view) raise(955);
            s.exec("DROP VIEW " + q_ident(old->sqlite));
            s.exec("DELETE FROM _ora_tables WHERE owner=" + q_text(n.owner) + " AND table_name=" + q_text(n.name));
            s.exec("DELETE FROM _ora_objects WHERE namespace=1 AND owner=" + q_text(n.owner) +
                   " AND object_name=" + q_text(n.name));
        }
        int64_t id = s.new_object(n.owner, n.name, "VIEW", 1);
        std::string sq = table_storage(n.owner, n.name);
        s.exec("CREATE VIEW " + q_ident(sq) + " AS " + tr.sql);
        sqlite3_stmt* st = s.cached(
            "INSERT INTO _ora_tables(owner, table_name, object_id, sqlite_name, kind, view_text) "
            "VALUES(?1,?2,?3,?4,'VIEW',?5)");
        bind_text(st, 1, n.owner);
        bind_text(st, 2, n.name);
        sqlite3_bind_int64(st, 3, id);
        bind_text(st, 4, sq);
        bind_text(st, 5, text);
        s.step_done(st);
    });
}

// Key and reference columns: each a column of its table, named once.
void check_columns(const table_meta& t, const std::vector<std::string>& cols)
{
    for (size_t i = 0; i < cols.size(); ++i) {
        if (t.find(cols[i]) < 0) raise(904, "\"" + cols[i] + "\"");
        auto before = cols.begin() + static_cast<std::ptrdiff_t>(i);
        if (std::find(cols.begin(), before, cols[i]) != before) raise(957);
    }
}

// MODIFY to another type: refused while rows hold values the type cannot.
void modify_type(session::impl& s, const table_meta& t, column_meta& cm, const col_type& nt)
{
    const std::string& col = cm.name;
    stmt_ptr q = s.prepare_once("SELECT count(*) FROM " + q_ident(t.sqlite) + " WHERE " + q_name(col) + " IS NOT NULL");
    sqlite3_step(q.get());
    bool has_data = sqlite3_column_int64(q.get(), 0) > 0;
    if (nt.k != cm.type.k) {
        bool compatible = (nt.is_text() && cm.type.is_text() && !nt.is_lob() && !cm.type.is_lob()) ||
                          (nt.is_numeric() && cm.type.is_numeric()) || (nt.is_datetime() && cm.type.is_datetime());
        if (has_data && !compatible) raise(1439);
    } else if (has_data) {
        if (nt.k == kind::number && nt.has_precision &&
            (!cm.type.has_precision || nt.precision < cm.type.precision || nt.scale < cm.type.scale))
            raise(1440);
        if ((nt.k == kind::varchar2 || nt.k == kind::nvarchar2 || nt.k == kind::raw || nt.k == kind::char_ ||
             nt.k == kind::nchar) &&
            nt.length < cm.type.length) {
            column_meta probe = cm;
            probe.type = nt;
            stmt_ptr rows = s.prepare_once("SELECT " + q_name(col) + " FROM " + q_ident(t.sqlite));
            while (sqlite3_step(rows.get()) == SQLITE_ROW) {
                value v = read_value(rows.get(), 0, cm.type);
                try {
                    coerce(v, probe, t, false);
                } catch (const eora_error&) {
                    raise(1441);
                }
            }
        }
    }
    cm.type = nt;
    sqlite3_stmt* st = s.cached(
        "UPDATE _ora_columns SET data_type=?4, data_length=?5, data_precision=?6, "
        "data_scale=?7, kind=?8, length=?9, precision=?10, scale=?11, has_precision=?12 "
        "WHERE owner=?1 AND table_name=?2 AND column_name=?3");
    bind_text(st, 1, t.owner);
    bind_text(st, 2, t.name);
    bind_text(st, 3, col);
    bind_text(st, 4, nt.dict_name());
    sqlite3_bind_int(st, 5, nt.dict_length());
    if (nt.k == kind::number && nt.has_precision) {
        sqlite3_bind_int(st, 6, nt.precision);
        sqlite3_bind_int(st, 7, nt.scale);
    } else if (nt.k == kind::float_) {
        sqlite3_bind_int(st, 6, nt.precision);
    }
    sqlite3_bind_int(st, 8, static_cast<int>(nt.k));
    sqlite3_bind_int(st, 9, nt.length);
    sqlite3_bind_int(st, 10, nt.precision);
    sqlite3_bind_int(st, 11, nt.scale);
    sqlite3_bind_int(st, 12, nt.has_precision ? 1 : 0);
    s.step_done(st);
}

void modify_default(session::impl& s, const table_meta& t, const std::string& col, const std::string& text)
{
    sqlite3_stmt* st =
        s.cached("UPDATE _ora_columns SET data_default=?4 WHERE owner=?1 AND table_name=?2 AND column_name=?3");
    bind_text(st, 1, t.owner);
    bind_text(st, 2, t.name);
    bind_text(st, 3, col);
    bind_text(st, 4, text);
    s.step_done(st);
}

// MODIFY NULL / NOT NULL, with the NOT NULL check constraint Oracle keeps.
void modify_nullable(session::impl& s, const table_meta& t, const column_meta& cm, bool nullable)
{
    const std::string& col = cm.name;
    if (nullable) {
        if (cm.nullable) raise(1451);
        // A primary key column stays NOT NULL.
        sqlite3_stmt* st = s.cached(
            "SELECT 1 FROM _ora_constraints k JOIN _ora_cons_columns cc ON "
            "cc.owner=k.owner AND cc.constraint_name=k.constraint_name WHERE "
            "k.owner=?1 AND k.table_name=?2 AND k.constraint_type='P' AND cc.column_name=?3");
        bind_text(st, 1, t.owner);
        bind_text(st, 2, t.name);
        bind_text(st, 3, col);
        bool pk = sqlite3_step(st) == SQLITE_ROW;
        sqlite3_reset(st);
        if (pk) raise(1451);
        set_nullable(s, t, col, true);
        s.exec(
            "DELETE FROM _ora_cons_columns WHERE (owner, constraint_name) IN (SELECT owner, "
            "constraint_name "
            "FROM _ora_constraints WHERE owner=" +
            q_text(t.owner) + " AND table_name=" + q_text(t.name) +
            " AND constraint_type='C' AND search_condition=" + q_text("\"" + col + "\" IS NOT NULL") + ")");
        s.exec("DELETE FROM _ora_constraints WHERE owner=" + q_text(t.owner) + " AND table_name=" + q_text(t.name) +
               " AND constraint_type='C' AND search_condition=" + q_text("\"" + col + "\" IS NOT NULL"));
    } else {
        if (!cm.nullable) raise(1442);
        if (has_nulls(s, t, col)) raise(2296, t.owner);
        set_nullable(s, t, col, false);
        add_constraint_row(s, t.owner, s.next_sys_name(), "C", t.name, {col}, "\"" + col + "\" IS NOT NULL", "", "", "",
                           "", true);
    }
}

void alter_table(ddl_ctx& c, parser& p)
{
    session::impl& s = c.s;
    alter_table_stmt a = parse_alter_table(s, c.st, p);
    auto t = s.table(a.table.owner, a.table.name);
    if (!t || t->view) raise(942);
    s.require_on(a.table.owner, priv::alter_any_table);
    check_columns(*t, a.columns);
    switch (a.what) {
    case alter_table_stmt::action::add_key:
        as_ddl(c, [&] { add_key(s, *t, a.constraint, a.primary, a.columns); });
        break;
    case alter_table_stmt::action::add_foreign_key: {
        auto r = s.table(a.referenced.owner, a.referenced.name);
        if (!r || r->view) raise(942);
        check_columns(*r, a.referenced_columns);
        as_ddl(c, [&] { add_foreign_key(s, *t, a.constraint, a.columns, *r, a.referenced_columns, a.delete_rule); });
        break;
    }
    case alter_table_stmt::action::modify_column: {
        int ci = t->find(a.column);
        if (ci < 0) raise(904, "\"" + a.column + "\"");
        column_meta cm = t->cols[static_cast<size_t>(ci)];
        as_ddl(c, [&] {
            if (a.type) modify_type(s, *t, cm, *a.type);
            if (a.default_text) modify_default(s, *t, a.column, *a.default_text);
            if (a.nullable) modify_nullable(s, *t, cm, *a.nullable);
        });
        break;
    }
    }
}

void create_user(ddl_ctx& c, parser& p)
{
    session::impl& s = c.s;
    std::string name = p.name(922);
    p.expect_kw("IDENTIFIED", 922);
    bool external = false;
    std::string password;
    if (p.accept_kw("EXTERNALLY")) {
        external = true;
    } else {
        p.expect_kw("BY", 924);
        if (!p.peek().is_name()) raise(922);
        // Passwords keep their case.
        const token& t = p.next();
        password = t.kind == tok::qident ? t.text : c.st.sql.substr(t.begin, t.end - t.begin);
    }
    std::string ts = "USERS";
    while (!p.at_end()) {
        if (p.accept_kw("DEFAULT") || p.accept_kw("TEMPORARY")) {
            p.expect_kw("TABLESPACE", 922);
            std::string x = p.name(959);
            if (!tablespaces.count(x)) raise(959, x);
            ts = x;
        } else if (p.accept_kw("QUOTA")) {
            if (!p.accept_kw("UNLIMITED")) {
                if (p.peek().kind != tok::number) raise(922);
                p.next();
                if (p.peek().kind == tok::ident &&
                    (p.peek().text == "K" || p.peek().text == "M" || p.peek().text == "G"))
                    p.next();
            }
            p.expect_kw("ON", 922);
            std::string x = p.name(959);
            if (!tablespaces.count(x)) raise(959, x);
        } else {
            raise(922);
        }
    }
    p.end();
    s.require(priv::create_user);
    as_ddl(c, [&] {
        if (s.user_exists(name)) raise(1920, name);
        sqlite3_stmt* st = s.cached(
            "INSERT INTO _ora_users(username, password, external, user_id, created, default_tablespace) "
            "VALUES(?1,?2,?3,(SELECT COALESCE(MAX(user_id),0)+1 FROM _ora_users),datetime('now'),?4)");
        bind_text(st, 1, name);
        if (!external) bind_text(st, 2, password);
        sqlite3_bind_int(st, 3, external ? 1 : 0);
        bind_text(st, 4, ts);
        s.step_done(st);
    });
}

void alter_user(ddl_ctx& c, parser& p)
{
    session::impl& s = c.s;
    std::string name = p.name(922);
    std::string password;
    bool set_pw = false, more = false;
    while (!p.at_end()) {
        if (p.peek().is_kw("QUOTA") || p.peek().is_kw("DEFAULT")) more = true;
        if (p.accept_kw("QUOTA")) {
            if (!p.accept_kw("UNLIMITED")) {
                if (p.peek().kind != tok::number) raise(922);
                p.next();
                if (p.peek().kind == tok::ident &&
                    (p.peek().text == "K" || p.peek().text == "M" || p.peek().text == "G"))
                    p.next();
            }
            p.expect_kw("ON", 922);
            std::string x = p.name(959);
            if (!tablespaces.count(x)) raise(959, x);
        } else if (p.accept_kw("IDENTIFIED")) {
            p.expect_kw("BY", 924);
            const token& t = p.next();
            if (!t.is_name()) raise(922);
            password = t.kind == tok::qident ? t.text : c.st.sql.substr(t.begin, t.end - t.begin);
            set_pw = true;
        } else if (p.accept_kw("DEFAULT")) {
            p.expect_kw("TABLESPACE", 922);
            std::string x = p.name(959);
            if (!tablespaces.count(x)) raise(959, x);
        } else {
            raise(922);
        }
    }
    p.end();
    // A user may change its own password, and nothing else of itself, without the privilege.
    if (name != s.user || more) s.require(priv::alter_user);
    as_ddl(c, [&] {
        if (!s.user_exists(name)) raise(1918, name);
        if (set_pw) {
            sqlite3_stmt* st = s.cached("UPDATE _ora_users SET password=?2, external=0 WHERE username=?1");
            bind_text(st, 1, name);
            bind_text(st, 2, password);
            s.step_done(st);
        }
    });
}

void drop(ddl_ctx& c, parser& p)
{
    session::impl& s = c.s;
    if (p.accept_kw("TABLE")) {
        name_ref n = p.qualified(s.user);
        bool cascade = false;
        if (p.accept_kw("CASCADE")) {
            p.expect_kw("CONSTRAINTS", 905);
            cascade = true;
        }
        p.accept_kw("PURGE");
        p.end();
        as_ddl(c, [&] {
            auto t = s.table(n.owner, n.name);
            if (!t || t->view) raise(942);
            s.require_on(n.owner, priv::drop_any_table);
            drop_table_objects(s, *t, cascade);
            s.exec("DROP TABLE " + q_ident(t->sqlite));
        });
        return;
    }
    if (p.accept_kw("VIEW")) {
        name_ref n = p.qualified(s.user);
        p.end();
        as_ddl(c, [&] {
            auto t = s.table(n.owner, n.name);
            if (!t || !t->view) raise(942);
            s.require_on(n.owner, priv::drop_any_view);
            s.exec("DROP VIEW " + q_ident(t->sqlite));
            s.exec("DELETE FROM _ora_tables WHERE owner=" + q_text(n.owner) + " AND table_name=" + q_text(n.name));
            s.exec("DELETE FROM _ora_objects WHERE namespace=1 AND owner=" + q_text(n.owner) +
                   " AND object_name=" + q_text(n.name));
        });
        return;
    }
    if (p.accept_kw("SEQUENCE")) {
        name_ref n = p.qualified(s.user);
        p.end();
        s.require_on(n.owner, priv::drop_any_sequence);
        as_ddl(c, [&] {
            sqlite3_stmt* st = s.cached("DELETE FROM _ora_sequences WHERE sequence_owner=?1 AND sequence_name=?2");
            bind_text(st, 1, n.owner);
            bind_text(st, 2, n.name);
            s.step_done(st);
            if (sqlite3_changes(s.db) == 0) raise(2289);
            s.exec("DELETE FROM _ora_objects WHERE namespace=1 AND owner=" + q_text(n.owner) +
                   " AND object_name=" + q_text(n.name));
        });
        return;
    }
    if (p.accept_kw("TRIGGER")) {
        name_ref n = p.qualified(s.user);
        p.end();
        s.require_on(n.owner, priv::drop_any_trigger);
        as_ddl(c, [&] {
            if (!s.object_exists(n.owner, n.name, 3)) raise(4080, n.name);
            s.exec("DELETE FROM _ora_triggers WHERE owner=" + q_text(n.owner) + " AND trigger_name=" + q_text(n.name));
            s.exec("DELETE FROM _ora_objects WHERE namespace=3 AND owner=" + q_text(n.owner) +
                   " AND object_name=" + q_text(n.name));
        });
        return;
    }
    if (p.accept_kw("INDEX")) {
        name_ref n = p.qualified(s.user);
        p.end();
        s.require_on(n.owner, priv::drop_any_index);
        as_ddl(c, [&] {
            if (!s.object_exists(n.owner, n.name, 2)) raise(1418);
            sqlite3_stmt* st = s.cached(
                "SELECT 1 FROM _ora_constraints WHERE index_owner=?1 AND index_name=?2 AND constraint_type IN "
                "('P','U')");
            bind_text(st, 1, n.owner);
            bind_text(st, 2, n.name);
            const bool enforces = sqlite3_step(st) == SQLITE_ROW;
            sqlite3_reset(st);
            if (enforces) raise(2429);
            st = s.cached("SELECT sqlite_name FROM _ora_indexes WHERE owner=?1 AND index_name=?2");
            bind_text(st, 1, n.owner);
            bind_text(st, 2, n.name);
            std::string sq = index_storage(n.owner, n.name);
            if (sqlite3_step(st) == SQLITE_ROW) sq = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
            sqlite3_reset(st);
            s.exec("DROP INDEX " + q_ident(sq));
            s.exec("DROP INDEX IF EXISTS " + q_ident(partial_null_index(sq)));
            s.exec("DELETE FROM _ora_ind_columns WHERE index_owner=" + q_text(n.owner) +
                   " AND index_name=" + q_text(n.name));
            s.exec("DELETE FROM _ora_indexes WHERE owner=" + q_text(n.owner) + " AND index_name=" + q_text(n.name));
            s.exec("DELETE FROM _ora_objects WHERE namespace=2 AND owner=" + q_text(n.owner) +
                   " AND object_name=" + q_text(n.name));
        });
        return;
    }
    raise(900);
}

void comment(ddl_ctx& c, parser& p)
{
    session::impl& s = c.s;
    p.expect_kw("ON", 905);
    p.expect_kw("COLUMN", 905);
    std::string a = p.name(), b2, c3;
    p.expect_op(".", 905);
    b2 = p.name();
    std::string owner = s.user, table = a, col = b2;
    if (p.accept_op(".")) {
        owner = a;
        table = b2;
        col = p.name();
    }
    p.expect_kw("IS", 905);
    if (p.peek().kind != tok::string) raise(905);
    std::string text = p.next().text;
    p.end();
    as_ddl(c, [&] {
        auto t = s.table(owner, table);
        if (!t) raise(942);
        s.require_on(owner, priv::comment_any_table);
        if (t->find(col) < 0) raise(904, "\"" + col + "\"");
        sqlite3_stmt* st = s.cached("INSERT OR REPLACE INTO _ora_comments VALUES(?1,?2,?3,?4)");
        bind_text(st, 1, owner);
        bind_text(st, 2, table);
        bind_text(st, 3, col);
        if (!text.empty()) bind_text(st, 4, text);
        s.step_done(st);
    });
}

} // namespace

exec_result run_ddl(session::impl& s, const statement& st, const std::vector<value>& binds, bool parse_only)
{
    ddl_ctx c{s, st, binds, parse_only, {}};
    parser p(st.toks, 1);
    const std::string& v = st.verb;
    if (v == "CREATE") {
        bool replace = false;
        if (p.accept_kw("OR")) {
            p.expect_kw("REPLACE", 922);
            replace = true;
        }
        if (!replace && p.accept_kw("TABLE"))
            create_table(c, p);
        else if (!replace && p.accept_kw("SEQUENCE"))
            create_sequence(c, p);
        else if (p.accept_kw("TRIGGER"))
            create_trigger(c, p, replace);
        else if (!replace && p.accept_kw("UNIQUE")) {
            p.expect_kw("INDEX", 901);
            create_index(c, p, true);
        } else if (!replace && p.accept_kw("INDEX"))
            create_index(c, p, false);
        else if (p.accept_kw("VIEW"))
            create_view(c, p, replace);
        else if (p.accept_kw("FORCE") && p.accept_kw("VIEW"))
            create_view(c, p, replace);
        else if (!replace && p.accept_kw("USER"))
            create_user(c, p);
        else
            raise(901);
    } else if (v == "ALTER") {
        if (p.accept_kw("TABLE"))
            alter_table(c, p);
        else if (p.accept_kw("USER"))
            alter_user(c, p);
        else
            raise(940);
    } else if (v == "DROP") {
        drop(c, p);
    } else if (v == "COMMENT") {
        comment(c, p);
    } else if (v == "TRUNCATE") {
        p.expect_kw("TABLE", 905);
        name_ref n = p.qualified(s.user);
        p.end();
        as_ddl(c, [&] {
            auto t = s.table(n.owner, n.name);
            if (!t || t->view) raise(942);
            s.require_on(n.owner, priv::drop_any_table);
            truncate_table(s, *t);
        });
    } else if (v == "GRANT" || v == "REVOKE") {
        return run_grant(s, st, parse_only);
    } else {
        raise(900);
    }
    return std::move(c.result);
}

} // namespace eora
