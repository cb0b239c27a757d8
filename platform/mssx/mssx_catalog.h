// The dictionary of one embedded database: schemas, tables with their SQL
// Server column types, identities, defaults, keys, indexes, foreign keys,
// checks, views and procedures. Kept in tables of the database file itself.
#pragma once
#include <map>
#include <optional>
#include <string>
#include <vector>
#include "platform/mssx/mssx_sqlite.h"
#include "platform/mssx/mssx_value.h"

struct mssx_column_def {
    std::string name;
    mssx_type type;
    bool nullable = true;
    bool identity = false;
    int64_t seed = 1;
    int64_t increment = 1;
    std::string default_name;
    std::string default_text; // stored form: "((0))", "(getdate())", "(N'abc')"
    std::string collation;
    std::string computed; // T-SQL expression of a computed column, empty for a stored one
};

struct mssx_index_def {
    std::string name;
    bool unique = false;
    bool clustered = false;
    bool primary = false;
    bool constraint = false; // a UNIQUE constraint (not a plain index)
    std::vector<std::string> columns;
    std::string filter;
    std::vector<bool> descending; // which columns are DESC; empty when none is
    bool is_descending(size_t i) const { return i < descending.size() && descending[i]; }
};

struct mssx_fk_def {
    std::string name;
    std::vector<std::string> columns;
    std::string ref_schema;
    std::string ref_table;
    std::vector<std::string> ref_columns;
    std::string on_delete = "NO ACTION";
    std::string on_update = "NO ACTION";
    bool disabled = false;
};

struct mssx_check_def {
    std::string name;
    std::string text;
    bool disabled = false;
};

struct mssx_table_def {
    std::string schema;
    std::string name;
    std::vector<mssx_column_def> columns;
    std::vector<mssx_index_def> indexes;
    std::vector<mssx_fk_def> fks;
    std::vector<mssx_check_def> checks;
    std::optional<int64_t> ident_last;
    std::string created;
    int64_t object_id = 0;

    std::string storage() const { return schema + "." + name; }
    int column_index(const std::string& col) const; // -1 when absent (case-insensitive)
    const mssx_index_def* primary_key() const;
};

struct mssx_object_ref {
    std::string schema;
    std::string name;
    char type = 0; // 'U' table, 'V' view, 'P' procedure
    int64_t object_id = 0;
};

// A type made with sp_addtype or CREATE TYPE ... FROM: a name for a base type.
struct mssx_alias_type {
    std::string name;
    std::string schema;
    std::string base; // "nvarchar(24)"
    bool nullable = true;
};

// Table definitions and object lookups read lately are kept (a few dozen) while
// the dictionary stays as it was: a write through this catalog, a rollback and
// a commit of another connection (PRAGMA data_version) drop them.
class mssx_catalog {
public:
    explicit mssx_catalog(mssx_sqlite& db) : db_(db) {}
    ~mssx_catalog();
    mssx_catalog(const mssx_catalog&) = delete;
    mssx_catalog& operator=(const mssx_catalog&) = delete;
    void ensure_dictionary();
    // Lets go of the database handle: before it is replaced or closed.
    void forget();
    // The value of a PRAGMA that gives one (data_version, schema_version), through a statement kept for it.
    std::string pragma_text(const char* pragma);

    std::optional<mssx_object_ref> find_object(const std::string& schema, const std::string& name);
    // Schema and name of an object (OBJECT_NAME, OBJECT_SCHEMA_NAME: called for every row a query reads).
    std::optional<mssx_object_ref> object_by_id(int64_t object_id);
    std::vector<mssx_object_ref> objects(char type);
    // Those whose name begins with the prefix, ASCII case ignored (all of them for an empty prefix); the
    // prefix must hold ASCII characters other than LIKE wildcards only.
    std::vector<mssx_object_ref> objects(char type, const std::string& name_prefix);
    std::optional<mssx_table_def> load_table(const std::string& schema, const std::string& name);
    // The tables with a foreign key to a table of this name (in any schema).
    std::vector<mssx_object_ref> tables_referencing(const std::string& name);
    void save_table(const mssx_table_def& t, bool is_new);
    void drop_object(const mssx_object_ref& o);
    void create_module(const std::string& schema, const std::string& name, char type, const std::string& text);
    std::string module_text(const std::string& schema, const std::string& name);
    void set_ident_last(const mssx_table_def& t, int64_t v);
    void clear_ident_last(const mssx_table_def& t);

    std::optional<mssx_alias_type> alias_type(const std::string& name);
    std::vector<mssx_alias_type> alias_types();
    void create_alias_type(const mssx_alias_type& t);
    // XML schema collections: kept with the schemas' text, which the server does not check
    bool xml_schema_collection_exists(const std::string& schema, const std::string& name);
    void create_xml_schema_collection(const std::string& schema, const std::string& name,
                                      const std::string& definition);
    void drop_xml_schema_collection(const std::string& schema, const std::string& name);
    // name, value, level0type, level0name, level1type, level1name, level2type, level2name
    void add_extended_property(const std::vector<std::string>& fields);

    bool schema_exists(const std::string& name);
    void create_schema(const std::string& name);
    std::vector<std::string> schemas();
    // A constraint or index name already used in the schema (constraints) or table (indexes)?
    bool constraint_exists(const std::string& schema, const std::string& name);

private:
    using name_key = std::pair<std::string, std::string>; // schema and name, ASCII folded as NOCASE compares

    // Whether the file's dictionary has every table and column this version keeps.
    bool dictionary_current();
    static name_key key_of(const std::string& schema, const std::string& name);
    static void on_rollback(void* self);
    static int on_commit(void* self);
    // Drops what is kept when another connection committed since the last look.
    void check_fresh();
    // A statement prepared once for the current handle; reset when `use` ends.
    mssx_stmt& kept(const char* sql);
    void dictionary_written();
    std::optional<mssx_table_def> read_table(const std::string& schema, const std::string& name);

    mssx_sqlite& db_;
    sqlite3* bound_ = nullptr; // the handle the kept statements and the rollback hook belong to
    std::map<const char*, mssx_stmt> stmts_;
    int64_t data_version_ = -1;
    std::map<name_key, std::optional<mssx_object_ref>> objects_;
    std::map<name_key, std::optional<mssx_table_def>> tables_;
    // Names by object id, as `tables_`; looked at again in each write transaction.
    std::map<int64_t, std::optional<mssx_object_ref>> names_;
    uint64_t transactions_ = 0;      // write transactions ended (committed or rolled back)
    uint64_t names_checked_ = ~0ull; // the value of `transactions_` when names_ was last checked
};

std::string mssx_join_names(const std::vector<std::string>& v);
std::vector<std::string> mssx_split_names(const std::string& s);
