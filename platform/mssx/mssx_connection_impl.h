// Internal state of an embedded SQL Server connection.
#pragma once
#include <map>
#include <set>
#include <string>
#include "platform/mssx/mssx_alter_table.h"
#include "platform/mssx/mssx_connection.h"
#include "platform/mssx/mssx_lexer.h"
#include "platform/mssx/mssx_sqlite.h"
#include "platform/mssx/mssx_translator.h"

// WHILE iterations one batch may run before it is ended.
constexpr uint64_t kMssxDefaultLoopLimit = 1'000'000;

struct mssx_variable {
    mssx_type type;
    mssx_value value;
};

struct mssx_connection::impl {
    mssx_sqlite db;
    bool quoted_identifier = true;
    bool nocount = false;
    std::string dateformat = "mdy";
    std::string identity_insert;                    // storage name of the table with IDENTITY_INSERT ON, or empty
    std::map<std::string, mssx_variable> variables; // by upper-case name
    std::set<std::string> char_columns;             // lower-case names of text columns
    std::map<std::string, mssx_type> column_types;  // lower-case column name: its type in the first table that has it
    bool char_columns_valid = false;
    std::string system_views_key;                // the catalog state the system views were last built from
    uint64_t loop_limit = kMssxDefaultLoopLimit; // WHILE iterations a batch may run
    std::string data_dir;                        // where BULK INSERT finds relative data files
    bool closed = false;                         // ended by a fatal error
};

// Runs the statements of one batch.
struct mssx_batch_runner {
    mssx_connection& c;
    mssx_connection::impl& s;
    std::vector<mssx_token> T;
    std::string text;
    mssx_outcome& out;
    bool stream = false; // the last result may stay on the server
    bool writes = true;  // the batch may change the database: it takes the write lock when it begins
    const char* begin_sql() const;

    mssx_batch_runner(mssx_connection& conn, const std::string& batch, mssx_outcome& o);
    void run();
    size_t statement(size_t p, size_t limit, bool exec);
    size_t extent(size_t p, size_t limit);

    // statements
    void use(size_t p, size_t e);
    void set(size_t p, size_t e);
    void create(size_t p, size_t e);
    void create_table(size_t p, size_t e);
    void create_index(size_t p, size_t e);
    void create_module(size_t p, size_t e, char type);
    void drop(size_t p, size_t e);
    void alter_table(size_t p, size_t e);
    // One action of ALTER TABLE on the table t.
    void alter_one(mssx_table_def& t, const mssx_alter_table& a);
    void insert(size_t p, size_t e);
    void bulk_insert(size_t p, size_t e);
    void update_delete(size_t p, size_t e);
    void select(size_t p, size_t e);
    void declare(size_t p, size_t e);
    void create_type(size_t p, size_t e);
    void create_xml_schema_collection(size_t p, size_t e);
    void raiserror(size_t p, size_t e);
    void throw_statement(size_t p, size_t e);
    void add_type(const std::vector<std::pair<std::string, std::string>>& params);
    void add_extended_property(const std::vector<std::pair<std::string, std::string>>& params);
    void exec(size_t p, size_t e);
    size_t if_statement(size_t p, size_t limit, bool exec);
    size_t while_statement(size_t p, size_t limit, bool exec);
    size_t block(size_t p, size_t limit, bool exec);
    // The end of the condition of IF or WHILE at p: the first statement after it.
    size_t condition_end(size_t p, size_t limit);
    // Errors the server finds when it compiles a statement (BREAK outside a loop, a variable declared twice).
    void compile_check(size_t p, size_t e);

    // control flow
    enum class flow_kind : uint8_t { normal, leave_loop, next_iteration, leave_batch };
    flow_kind flow = flow_kind::normal;
    bool compiling = false;         // the first walk: statements are checked, not run
    int loops = 0;                  // WHILE loops around the statement being walked
    uint64_t iterations = 0;        // WHILE iterations the batch ran
    std::set<std::string> declared; // upper-case names of the variables declared, while compiling
    // @@ERROR and @@ROWCOUNT
    static constexpr size_t kNoResult = ~size_t{0};
    int last_error = 0;
    int64_t last_rowcount = 0;
    int64_t statement_rowcount = 0;    // set by a statement that counts other than by rows affected or a result
    size_t counted_result = kNoResult; // the result whose rows @@ROWCOUNT counts

    // helpers
    std::set<std::string> ctes;   // upper-case names of the common table expressions of the statement
    bool catalog_changed = false; // a statement of the batch created, altered or dropped something
    // Brings the catalog views up to date before a statement that reads them.
    void refresh_views_for(const std::string& statement_text);
    // A column or variable type: a built-in type or an alias type (its base);
    // not_null tells whether the alias type was made NOT NULL.
    mssx_type resolve_type(const std::string& name, const std::vector<std::string>& args, bool* not_null = nullptr);
    // The type SQL Server gives a computed column's expression over the table's columns.
    mssx_type computed_type(const mssx_table_def& t, const std::string& expression);
    std::vector<std::string> name_parts(size_t& k, size_t e);
    std::string ident_text(size_t k);
    mssx_translate_env env();
    mssx_value eval(size_t a, size_t b);
    // The value of T[a, b) as a sql_variant column stores it: with the type
    // SQL Server gives the expression.
    mssx_value eval_variant(size_t a, size_t b);
    // The type SQL Server gives the expression T[a, b), when it is known.
    std::optional<mssx_type> expression_type(size_t a, size_t b);
    bool eval_condition(size_t a, size_t b);
    void expect_word(size_t k, const char* w);
};

// Names: split "[a].[b]" style parts into schema and object (default dbo).
void mssx_split_object(const std::vector<std::string>& parts, std::string& schema, std::string& name);
// The stored form of a default expression: "((0))", "(getdate())", "(N'x')".
std::string mssx_default_text(const std::vector<mssx_token>& toks, size_t a, size_t b);
// A value as an SQLite literal: NULL, a number, 'text' or X'bytes'.
std::string mssx_sqlite_literal(const mssx_value& v);
// Evaluates a stored default for an insert.
mssx_value mssx_eval_default(const std::string& stored, mssx_connection& c);
// Maps an SQLite failure text to the server's error.
[[noreturn]] void mssx_rethrow_sqlite(const mssx_error& e, const std::string& sql);
// Runs a translated query and types its columns. With `stream`, the rows stay
// on the server (mssx_result::rest) when every column's type is known
// without looking at them.
mssx_result mssx_run_query(mssx_connection& c, const std::string& sql, bool stream = false);
// Leaves the long text and binary values of a streamed SELECT * of a table
// (storage name `table`) in the table, to be read in pieces.
void mssx_leave_long_values(mssx_connection& c, mssx_result& r, const std::string& table);
// Gives the result columns the types the translation decided (exact sums,
// casts ...) and brings their values to those types.
void mssx_apply_item_types(mssx_result& r, const std::vector<std::optional<mssx_type>>& types);
// Recreates the catalog views (sys.*, INFORMATION_SCHEMA.*, sysobjects ...) of the connection.
void mssx_refresh_system_views(mssx_connection& c);
// Resolves an object name for queries.
std::string mssx_resolve_for_query(mssx_connection& c, const std::vector<std::string>& parts);
void mssx_register_functions(mssx_connection& c);
// Inserts one row into a table; columns[i] is the table column of values[i].
void mssx_insert_row(mssx_connection& c, const mssx_table_def& t, const std::vector<int>& columns,
                     const std::vector<std::optional<mssx_value>>& values, bool explicit_identity_allowed);
// Computes the computed columns of a table's rows (all, or those matching `where`).
void mssx_refresh_computed(mssx_connection& c, const mssx_table_def& t, const std::string& where);
// Runs a stored procedure call of the catalog (sp_tables, sp_columns ...).
bool mssx_system_procedure(mssx_connection& c, const std::string& name,
                           const std::vector<std::pair<std::string, std::string>>& params, mssx_outcome& out);
