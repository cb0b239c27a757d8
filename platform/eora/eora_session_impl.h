// Internals shared by the parts of the embedded Oracle's session.
#pragma once
#include "platform/embedded/embedded_quote.h"
#include "platform/embedded/embedded_sqlite.h"
#include "platform/eora/eora_datetime.h"
#include "platform/eora/eora_error.h"
#include "platform/eora/eora_number.h"
#include "platform/eora/eora_privileges.h"
#include "platform/eora/eora_query_cache.h"
#include "platform/eora/eora_select.h"
#include "platform/eora/eora_session.h"
#include "platform/eora/eora_sole_writer.h"
#include "platform/eora/eora_storage_name.h"

#include <sqlite3.h>

#include <list>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace eora {

struct column_meta {
    std::string name;
    col_type type;
    bool nullable = true;
    std::string default_text; // as written in the DDL, empty when none
    bool has_default = false;
};

struct trigger_meta {
    std::string owner, name, column, seq_owner, seq_name;
    bool understood = false; // the identity shape
    bool when_null = true;
};

struct index_meta {
    std::string owner, name, sqlite_name;
    bool unique = false;
    bool expr = false;
    std::vector<std::string> cols; // columns, or the expression text
    std::string constraint;        // constraint that owns it, if any
};

struct table_meta {
    std::string owner, name, sqlite;
    int64_t object_id = 0;
    bool view = false;
    std::vector<column_meta> cols;
    std::vector<trigger_meta> triggers;
    std::vector<index_meta> indexes;
    // The SQLite INSERT of a whole row, written at the table's first insert.
    std::string insert_sql;

    int find(const std::string& col) const
    {
        for (size_t i = 0; i < cols.size(); ++i)
            if (cols[i].name == col) return static_cast<int>(i);
        return -1;
    }
    // "OWNER"."TABLE"."COLUMN" as errors name it.
    std::string qualified(const std::string& col) const { return "\"" + owner + "\".\"" + name + "\".\"" + col + "\""; }
};

// One value as SQLite stores it.
struct stored {
    int type = SQLITE_NULL; // SQLITE_NULL, SQLITE_INTEGER, SQLITE_TEXT, SQLITE_BLOB
    int64_t i = 0;
    std::string s;
};

// A statement prepared for one use.
using stmt_ptr = embedded::sqlite_stmt;

struct name_ref {
    std::string owner, name;
};

struct session::impl {
    sqlite3* db = nullptr;
    std::string user;
    service_settings* settings = nullptr;
    bool in_txn = false;
    int64_t synced_changes = 0; // sqlite3_total_changes64 when last synced outside a transaction
    bool commit_after = false;  // the statement running is committed on success
    int64_t data_version = -1;
    std::map<std::pair<std::string, std::string>, std::shared_ptr<table_meta>> tables;
    std::unordered_map<std::string, embedded::sqlite_stmt> stmts; // kept prepared for the life of the connection
    // Queries of the session, translated and prepared.
    query_cache queries{32};
    bool reuse_queries = true;
    // Statements of one table each (a row's INSERT, a LOB's UPDATE), most
    // recent first: the tables written last keep theirs, and a run over many
    // tables does not keep one for each.
    std::list<std::pair<std::string, stmt_ptr>> table_stmts;
    // Format pictures of the session's to_date calls, read once each.
    std::unordered_map<std::string, date_picture> date_pictures;

    // sqlite3_total_changes64 at the last commit
    int64_t committed_changes = 0;
    std::unique_ptr<sole_writer> solo;

    ~impl();

    // Raises the ORA error for a SQLite failure.
    [[noreturn]] void sqlite_fail(int rc, const char* context = nullptr);
    // A full service file answers as a full tablespace does: ORA-01653 (table),
    // ORA-01654 (index) or ORA-01691 (LOB segment) naming the segment.
    [[noreturn]] void segment_full(int number, const std::string& owner, const std::string& segment);
    sqlite3_stmt* cached(const std::string& sql);
    const date_picture& picture(const std::string& fmt);
    // The same for a statement of every row, found without hashing its text.
    sqlite3_stmt* cached(sqlite3_stmt*& slot, const char* sql)
    {
        if (!slot) return slot = cached(std::string(sql));
        sqlite3_reset(slot);
        return slot;
    }
    sqlite3_stmt* begin_stmt = nullptr; // BEGIN IMMEDIATE
    sqlite3_stmt* commit_stmt = nullptr;
    sqlite3_stmt* version_stmt = nullptr; // PRAGMA data_version
    // A statement of `table_stmts`, ready to bind; valid until the next call.
    sqlite3_stmt* table_stmt(const std::string& sql);
    stmt_ptr prepare_once(const std::string& sql);
    void exec(const std::string& sql);
    void step_done(sqlite3_stmt* st);

    void check_version();
    // What was read from the dictionary may be out of date.
    void invalidate()
    {
        tables.clear();
        queries.clear();
        privileges.reset();
    }
    std::shared_ptr<table_meta> table(const std::string& owner, const std::string& name);
    std::shared_ptr<table_meta> table_by_sqlite(const std::string& sqlite_name);
    bool user_exists(const std::string& name);
    int64_t new_object(const std::string& owner, const std::string& name, const std::string& type, int ns);
    bool object_exists(const std::string& owner, const std::string& name, int ns);
    std::string next_sys_name();

    // System privileges of the session's user, its own and its roles', read when first needed.
    std::optional<std::set<std::string, std::less<>>> privileges;
    void load_privileges();
    // A service made before privileges were kept gets their tables, its users the DBA role.
    void ensure_privilege_tables();
    bool has(std::string_view privilege);
    // ORA-01031 without the privilege.
    void require(std::string_view privilege);
    // Making an object in `owner`'s schema: `own` or `any` in one's own schema, `any` in another's.
    void require_create(const std::string& owner, std::string_view own, std::string_view any);
    // Acting on an object of `owner`'s schema: `any` in another's. Without it ORA-01031, or ORA-00942
    // for a user who sees no table of another schema at all.
    void require_on(const std::string& owner, std::string_view any);
    // Reading an object of `owner`'s schema: `any` in another's, else `hidden` (ORA-00942 for a
    // table, ORA-02289 for a sequence), as for an object that does not exist.
    void require_on_table(const std::string& owner, std::string_view any, int hidden = 942);
    bool sees_other_schemas();

    void begin_write();
    void commit();
    void rollback();
    // Makes every commit so far survive a power loss. Commits themselves do not
    // wait for the disk; a table's DDL, a commit asked for with nothing open
    // and the end of the session do.
    void sync_to_disk();
    // The end of a unit of work: synced, and the file shared again.
    void settle();

    std::string nextval(const std::string& owner, const std::string& name);
    void create_views();
    // Indexes of the dictionary by table, so that a lookup of one table's
    // columns, keys or indexes does not read the whole dictionary.
    void ensure_dictionary_indexes();
    void register_functions();
};

// Binding helpers.
void bind_stored(sqlite3_stmt* st, int idx, const stored& v);
void bind_text(sqlite3_stmt* st, int idx, const std::string& s);
// A bound value of a statement: '' is NULL, numbers in their stored form.
void bind_value(sqlite3_stmt* st, int idx, const value& v);

// Oracle ROWID text of a row of a table.
std::string encode_rowid(int64_t object_id, int64_t row);
// Row number of a ROWID for the table, -1 for another table; ORA-01410 when malformed.
int64_t decode_rowid(const std::string& text, int64_t object_id);

// Quoting for SQLite, shared with the embedded SQL Server.
inline constexpr auto& q_ident = embedded::quote_ident;
inline constexpr auto& q_text = embedded::quote_literal;
// SQLite name of the index that enforces a composite unique key over rows with some NULL key columns.
std::string partial_null_index(const std::string& index_sqlite_name);

// The stored form of a number: integer, double when exact, else text.
stored stored_number(const decimal& d);
// A literal's value as it was read, so that a row's numbers and dates are
// parsed once: exactly what parsing the value's text again would give.
struct literal_form {
    std::optional<decimal> number;
    std::optional<datetime> when;
};

// Coerces a value to a column; raises the ORA error Oracle gives. Byte
// lengths are those of the database character set `charset`. `form`, when
// given, is `v` as read.
stored coerce(const value& v, const column_meta& c, const table_meta& t, bool for_update,
              const std::string& charset = "AL32UTF8", const literal_form* form = nullptr);
// Reads a stored value of a column of type `t` back to an Oracle value.
value read_value(sqlite3_stmt* st, int col, const col_type& t);

// Parser over tokens.
class parser {
public:
    parser(const std::vector<token>& t, size_t pos = 0) : t_(t), i_(pos) {}
    const token& peek(size_t k = 0) const
    {
        size_t j = i_ + k;
        return j < t_.size() ? t_[j] : t_.back();
    }
    const token& next()
    {
        const token& r = peek();
        if (i_ < t_.size() - 1) ++i_;
        return r;
    }
    size_t pos() const { return i_; }
    void seek(size_t p) { i_ = p; }
    bool accept_kw(std::string_view k)
    {
        if (peek().is_kw(k)) {
            next();
            return true;
        }
        return false;
    }
    bool accept_op(std::string_view o)
    {
        if (peek().is_op(o)) {
            next();
            return true;
        }
        return false;
    }
    void expect_kw(std::string_view k, int err = 905)
    {
        if (!accept_kw(k)) raise(err);
    }
    void expect_op(std::string_view o, int err)
    {
        if (!accept_op(o)) raise(err);
    }
    // An identifier, folded when unquoted.
    std::string name(int err = 904);
    // [owner.]name, owner defaulting to `user`.
    name_ref qualified(const std::string& user, int err = 903);
    // The statement ends here (an optional ';' allowed).
    void end();
    bool at_end() const { return peek().kind == tok::end || (peek().is_op(";") && peek(1).kind == tok::end); }
    const std::vector<token>& tokens() const { return t_; }

private:
    const std::vector<token>& t_;
    size_t i_;
};

// Parses a column type at the parser; raises ORA-00902 and the length errors.
col_type parse_type(parser& p);

} // namespace eora

namespace eora {

// Statement runners (one file each).
exec_result run_query(session::impl& s, const statement& st, const std::vector<value>& binds, bool parse_only);
exec_result run_insert(session::impl& s, const statement& st, const std::vector<value>& binds, bool parse_only);
exec_result run_update(session::impl& s, const statement& st, const std::vector<value>& binds, bool parse_only);
exec_result run_delete(session::impl& s, const statement& st, const std::vector<value>& binds, bool parse_only);
exec_result run_ddl(session::impl& s, const statement& st, const std::vector<value>& binds, bool parse_only);
exec_result run_grant(session::impl& s, const statement& st, bool parse_only);
// The dictionary tables of privileges, and the rows naming each system privilege.
const char* privilege_tables_sql();
std::string privilege_names_sql();

// An Oracle query or expressions translated to SQLite. `tables` are the
// tables in scope (for ROWID); binds become ?N.
struct translation {
    std::string sql;
    std::vector<std::shared_ptr<table_meta>> tables;
    std::vector<std::string> aliases;
    bool for_update = false;
    bool writes = false; // uses NEXTVAL
    std::vector<lifted_literal> lifts;
    // Every token marked to lift became a parameter: the text serves any values of them.
    bool reusable = true;
};
// The query over the tokens [b, e). String tokens marked in `lift` become
// parameters after the binds where the value cannot change the query's
// meaning (a condition of a WHERE clause); see `lifts` and `reusable`.
translation translate_query(session::impl& s, const statement& st, size_t b, size_t e,
                            const std::vector<char>* lift = nullptr);
// Comma-separated expressions over the tokens [b, e) (a condition, index
// keys) over the tables in scope.
translation translate_expressions(session::impl& s, const statement& st, size_t b, size_t e,
                                  std::vector<std::shared_ptr<table_meta>> tables, std::vector<std::string> aliases);
// The same, already parsed.
translation translate_expressions(session::impl& s, const statement& st, std::vector<expr> list,
                                  std::vector<std::shared_ptr<table_meta>> tables, std::vector<std::string> aliases);

// Evaluates one literal expression (numbers, text, NULL, binds, to_date,
// to_timestamp, EMPTY_CLOB/BLOB, SYSDATE, seq.NEXTVAL) at the parser. A
// number or date literal leaves its parsed form in `form` when given.
// A DEFAULT expression: literals as above, joined by ||, and the clock and GUID
// functions a default of Oracle is written with.
value eval_default_expr(session::impl& s, parser& p, const statement& st, const std::vector<value>& binds);
value eval_literal(session::impl& s, parser& p, const statement& st, const std::vector<value>& binds,
                   literal_form* form = nullptr);

} // namespace eora
