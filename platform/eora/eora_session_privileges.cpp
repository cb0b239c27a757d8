// The system privileges of a session's user, the checks each statement
// makes, and GRANT and REVOKE of system privileges and the DBA role.
#include "platform/eora/eora_privileges.h"
#include "platform/eora/eora_session_impl.h"

namespace eora {

namespace {

// SYS is the owner of the database: no check applies to it.
constexpr std::string_view k_owner_of_everything = "SYS";

// Privileges by which a user sees the tables of other schemas: lacking the
// one a statement needs, such a user is told so (ORA-01031); any other is
// told that the table does not exist (ORA-00942), as Oracle tells it.
const std::string_view k_seeing_privileges[] = {priv::select_any_table, priv::insert_any_table, priv::update_any_table,
                                                priv::delete_any_table, priv::alter_any_table,  priv::drop_any_table,
                                                priv::lock_any_table,   priv::comment_any_table};

} // namespace

const char* privilege_tables_sql()
{
    return "CREATE TABLE _ora_sys_privs(grantee TEXT, privilege TEXT, admin_option TEXT DEFAULT 'NO', "
           "PRIMARY KEY(grantee, privilege));"
           "CREATE TABLE _ora_role_privs(grantee TEXT, granted_role TEXT, admin_option TEXT DEFAULT 'NO', "
           "PRIMARY KEY(grantee, granted_role));"
           "CREATE TABLE _ora_system_privileges(name TEXT PRIMARY KEY);";
}

std::string privilege_names_sql()
{
    std::string sql;
    for (std::string_view p : priv::all())
        sql += "INSERT OR IGNORE INTO _ora_system_privileges VALUES(" + q_text(std::string(p)) + ");";
    return sql;
}

void session::impl::ensure_privilege_tables()
{
    sqlite3_stmt* st = cached("SELECT 1 FROM sqlite_master WHERE type='table' AND name='_ora_sys_privs'");
    const bool present = sqlite3_step(st) == SQLITE_ROW;
    sqlite3_reset(st);
    if (present) return;
    // A service made before privileges were kept: its users could do everything, and still can.
    exec(std::string("BEGIN IMMEDIATE;") + privilege_tables_sql() + privilege_names_sql() +
         "INSERT INTO _ora_role_privs(grantee, granted_role) SELECT username, " + q_text(std::string(priv::dba_role)) +
         " FROM _ora_users; COMMIT;");
}

void session::impl::load_privileges()
{
    privileges.emplace();
    sqlite3_stmt* st = cached(
        "SELECT privilege FROM _ora_sys_privs WHERE grantee=?1 UNION "
        "SELECT name FROM _ora_system_privileges WHERE EXISTS (SELECT 1 FROM _ora_role_privs WHERE grantee=?1 AND "
        "granted_role=?2)");
    bind_text(st, 1, user);
    bind_text(st, 2, std::string(priv::dba_role));
    while (sqlite3_step(st) == SQLITE_ROW)
        privileges->emplace(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
    sqlite3_reset(st);
}

bool session::impl::has(std::string_view p)
{
    if (user == k_owner_of_everything) return true;
    if (!privileges) load_privileges();
    if (privileges->count(p)) return true;
    // Another session's grant holds at once, also for a statement that skipped the look at the dictionary's
    // version (an insert).
    check_version();
    if (!privileges) load_privileges();
    return privileges->count(p) > 0;
}

void session::impl::require(std::string_view p)
{
    if (!has(p)) raise(1031);
}

void session::impl::require_create(const std::string& owner, std::string_view own, std::string_view any)
{
    if (has(any)) return;
    if (owner == user && has(own)) return;
    raise(1031);
}

bool session::impl::sees_other_schemas()
{
    for (std::string_view p : k_seeing_privileges)
        if (has(p)) return true;
    return false;
}

void session::impl::require_on(const std::string& owner, std::string_view any)
{
    if (owner == user || has(any)) return;
    raise(sees_other_schemas() ? 1031 : 942);
}

void session::impl::require_on_table(const std::string& owner, std::string_view any, int hidden)
{
    if (owner == user || has(any)) return;
    raise(hidden);
}

// ---------------------------------------------------------------- GRANT, REVOKE

namespace {

// One granted item: a system privilege's words, a role, or ALL PRIVILEGES.
std::string grant_item(parser& p)
{
    std::string words;
    while (p.peek().kind == tok::ident && !p.peek().is_kw("TO") && !p.peek().is_kw("FROM") && !p.peek().is_kw("ON")) {
        words += (words.empty() ? "" : " ") + p.next().text;
    }
    if (words.empty()) raise(990);
    return words;
}

} // namespace

exec_result run_grant(session::impl& s, const statement& st, bool parse_only)
{
    const bool grant = st.verb == "GRANT";
    parser p(st.toks, 1);
    std::vector<std::string> items;
    do {
        items.push_back(grant_item(p));
    } while (p.accept_op(","));
    if (p.peek().is_kw("ON")) {
        // Object privileges are not kept: the owner of an object has every right on it, and the ANY privileges
        // give the others theirs.
        if (!parse_only) s.commit();
        return {};
    }
    p.expect_kw(grant ? "TO" : "FROM", 905);
    std::vector<std::string> grantees;
    do {
        grantees.push_back(p.name(987));
    } while (p.accept_op(","));
    bool admin = false;
    if (grant && p.accept_kw("WITH")) {
        p.expect_kw("ADMIN", 905);
        p.expect_kw("OPTION", 905);
        admin = true;
    }
    p.end();
    std::vector<std::string> privileges, roles;
    bool all = false;
    for (const auto& item : items) {
        if (item == "ALL PRIVILEGES") {
            all = true;
            for (std::string_view x : priv::all()) privileges.emplace_back(x);
        } else if (priv::known(item)) {
            privileges.push_back(item);
        } else if (item.find(' ') == std::string::npos) {
            if (item != priv::dba_role) raise(1919, item);
            roles.push_back(item);
        } else {
            raise(990);
        }
    }
    if (!privileges.empty()) s.require(priv::grant_any_privilege);
    if (!roles.empty()) s.require(priv::grant_any_role);
    if (parse_only) return {};
    s.commit();
    s.begin_write();
    try {
        for (const auto& g : grantees) {
            if (!s.user_exists(g)) raise(1917, g);
            for (const auto& x : privileges) {
                sqlite3_stmt* q = s.cached(grant ? "INSERT OR REPLACE INTO _ora_sys_privs VALUES(?1,?2,?3)"
                                                 : "DELETE FROM _ora_sys_privs WHERE grantee=?1 AND privilege=?2");
                bind_text(q, 1, g);
                bind_text(q, 2, x);
                if (grant) bind_text(q, 3, admin ? "YES" : "NO");
                s.step_done(q);
                if (!grant && !all && sqlite3_changes(s.db) == 0) raise(1952, g);
            }
            for (const auto& r : roles) {
                sqlite3_stmt* q = s.cached(grant ? "INSERT OR REPLACE INTO _ora_role_privs VALUES(?1,?2,?3)"
                                                 : "DELETE FROM _ora_role_privs WHERE grantee=?1 AND granted_role=?2");
                bind_text(q, 1, g);
                bind_text(q, 2, r);
                if (grant) bind_text(q, 3, admin ? "YES" : "NO");
                s.step_done(q);
                if (!grant && sqlite3_changes(s.db) == 0) raise(1951, r, g);
            }
        }
        s.commit();
    } catch (...) {
        s.rollback();
        throw;
    }
    s.invalidate();
    return {};
}

} // namespace eora
