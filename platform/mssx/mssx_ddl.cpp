// CREATE, DROP and ALTER of the embedded server.
#include <algorithm>
#include <random>
#include "platform/mssx/mssx_alter_table.h"
#include "platform/mssx/mssx_connection_impl.h"
#include "platform/mssx/mssx_create_table.h"
#include "platform/mssx/mssx_expr_functions.h"
#include "platform/mssx/mssx_rowversion.h"

namespace {

// A table holds one rowversion column at most.
void check_one_rowversion(const mssx_table_def& t, const mssx_column_def& col)
{
    if (!mssx_is_rowversion(col.type)) return;
    for (auto& other : t.columns)
        if (mssx_is_rowversion(other.type))
            throw mssx_error(2738, "A table can only have one timestamp column. Because table '" + t.name +
                                       "' already has one, the column '" + col.name + "' cannot be added.");
}

std::string auto_name(const std::string& prefix, const std::string& table, const std::string& column = std::string())
{
    static thread_local std::mt19937_64 rng{std::random_device{}()};
    char hex[24];
    std::snprintf(hex, sizeof hex, "%016llX", static_cast<unsigned long long>(rng()));
    std::string n = prefix + "__" + table.substr(0, 8) + "__";
    if (!column.empty()) n += column.substr(0, 8) + "__";
    return n + hex;
}

std::string column_sql(const mssx_column_def& d)
{
    return mssx_sq_ident(d.name) + " " + d.type.storage_decl() + mssx_collate_clause(d.type, d.collation);
}

void create_storage_index(mssx_sqlite& db, const mssx_table_def& t, const mssx_index_def& ix,
                          const std::string& filter_sql)
{
    std::string cols;
    for (auto& c : ix.columns) cols += (cols.empty() ? "" : ", ") + mssx_sq_ident(c);
    std::string sql = std::string("CREATE ") + (ix.unique ? "UNIQUE " : "") + "INDEX " +
                      mssx_sq_ident(t.storage() + "." + ix.name) + " ON " + mssx_sq_ident(t.storage()) + "(" + cols +
                      ")";
    if (!filter_sql.empty()) sql += " WHERE " + filter_sql;
    try {
        db.exec(sql);
    } catch (const mssx_error& e) {
        if (std::string(e.what()).find("UNIQUE") != std::string::npos)
            throw mssx_error(
                1505,
                "The CREATE UNIQUE INDEX statement terminated because a duplicate key was found for the object name '" +
                    t.storage() + "' and the index name '" + ix.name + "'.");
        throw;
    }
}

void drop_storage_index(mssx_sqlite& db, const mssx_table_def& t, const std::string& name)
{
    db.exec("DROP INDEX IF EXISTS " + mssx_sq_ident(t.storage() + "." + name));
}

// Rebuilds the SQLite table after a column change (SQLite cannot alter types).
void rebuild_storage(mssx_sqlite& db, const mssx_table_def& t)
{
    std::string tmp = t.storage() + ".mssx_old";
    db.exec("ALTER TABLE " + mssx_sq_ident(t.storage()) + " RENAME TO " + mssx_sq_ident(tmp));
    std::string cols, names;
    for (auto& c : t.columns) {
        cols += (cols.empty() ? "" : ", ") + column_sql(c);
        names += (names.empty() ? "" : ", ") + mssx_sq_ident(c.name);
    }
    db.exec("CREATE TABLE " + mssx_sq_ident(t.storage()) + "(" + cols + ")");
    db.exec("INSERT INTO " + mssx_sq_ident(t.storage()) + " SELECT " + names + " FROM " + mssx_sq_ident(tmp));
    db.exec("DROP TABLE " + mssx_sq_ident(tmp));
    for (auto& ix : t.indexes) create_storage_index(db, t, ix, "");
}

// Builds a new table's definition from a parsed CREATE TABLE, item by item.
struct table_builder {
    mssx_batch_runner& r;
    mssx_table_def& t;

    void add_column(const mssx_column_spec& spec)
    {
        mssx_column_def col;
        col.name = spec.name;
        if (t.column_index(col.name) >= 0)
            throw mssx_error(2705, "Column names in each table must be unique. Column name '" + col.name +
                                       "' in table '" + t.name + "' is specified more than once.");
        if (!spec.computed.empty()) {
            col.computed = spec.computed;
            col.type = r.computed_type(t, col.computed);
            col.nullable = spec.nullable.value_or(true);
        } else {
            bool alias_not_null = false;
            col.type = r.resolve_type(spec.type.name, spec.type.args, &alias_not_null);
            // a rowversion column is NOT NULL unless it says NULL
            col.nullable = spec.nullable.value_or(!alias_not_null && !mssx_is_rowversion(col.type));
            check_one_rowversion(t, col);
            col.identity = spec.identity;
            if (col.identity && std::any_of(t.columns.begin(), t.columns.end(), [](auto& x) { return x.identity; }))
                throw mssx_error(2744, "Multiple identity columns specified for table '" + t.name +
                                           "'. Only one identity column per table is allowed.");
            col.seed = spec.seed;
            col.increment = spec.increment;
            if (!spec.collation.empty()) col.collation = spec.collation;
            bool whole_decimal = (col.type.name == "decimal" || col.type.name == "numeric") && col.type.scale == 0;
            if (col.identity && ((!col.type.is_integer() && !whole_decimal) || col.type.name == "bit"))
                throw mssx_error(2749, "Identity column '" + col.name +
                                           "' must be of data type int, bigint, smallint, tinyint, or decimal or "
                                           "numeric with a scale of 0, and constrained to be nonnullable.");
        }
        t.columns.push_back(col);
        for (auto& c : spec.constraints) add_constraint(c, col.name);
    }

    // A table constraint (no column) or one declared on `column`.
    void add_constraint(const mssx_constraint_spec& c, const std::string& column)
    {
        switch (c.kind) {
        case mssx_constraint_kind::key:
            return add_key(c, column);
        case mssx_constraint_kind::foreign_key:
            return add_foreign_key(c, column);
        case mssx_constraint_kind::check:
            t.checks.push_back({c.name.empty() ? auto_name("CK", t.name, column) : c.name, c.expression, false});
            return;
        case mssx_constraint_kind::default_value: {
            auto& col = t.columns.back();
            col.default_text = c.expression;
            col.default_name = c.name.empty() ? auto_name("DF", t.name, column) : c.name;
            return;
        }
        }
    }

    void add_key(const mssx_constraint_spec& c, const std::string& column)
    {
        mssx_index_def ix;
        ix.primary = c.primary;
        ix.unique = true;
        ix.constraint = !c.primary;
        ix.clustered = c.clustered.value_or(c.primary);
        ix.columns = c.columns.empty() ? std::vector<std::string>{column} : c.columns;
        ix.descending = c.descending;
        if (c.primary && t.primary_key())
            throw mssx_error(8110, "Cannot add multiple PRIMARY KEY constraints to table '" + t.name + "'.");
        ix.name = c.name.empty() ? auto_name(c.primary ? "PK" : "UQ", t.name) : c.name;
        t.indexes.push_back(ix);
    }

    void add_foreign_key(const mssx_constraint_spec& c, const std::string& column)
    {
        mssx_fk_def fk;
        fk.columns = c.columns.empty() ? std::vector<std::string>{column} : c.columns;
        mssx_split_object(c.ref_table, fk.ref_schema, fk.ref_table);
        fk.ref_columns = c.ref_columns;
        if (!c.on_delete.empty()) fk.on_delete = c.on_delete;
        if (!c.on_update.empty()) fk.on_update = c.on_update;
        fk.name = c.name.empty() ? auto_name("FK", t.name, fk.columns[0]) : c.name;
        bool self = mssx_iequal(fk.ref_schema, t.schema) && mssx_iequal(fk.ref_table, t.name);
        if (!self) {
            auto ref = r.c.catalog().load_table(fk.ref_schema, fk.ref_table);
            if (!ref)
                throw mssx_error(1767, "Foreign key '" + fk.name + "' references invalid table '" + fk.ref_schema +
                                           "." + fk.ref_table + "'.");
            if (fk.ref_columns.empty() && ref->primary_key()) fk.ref_columns = ref->primary_key()->columns;
        } else if (fk.ref_columns.empty() && t.primary_key())
            fk.ref_columns = t.primary_key()->columns;
        if (fk.ref_columns.size() != fk.columns.size())
            throw mssx_error(
                8139,
                "Number of referencing columns in foreign key differs from number of referenced columns, table '" +
                    t.storage() + "'.");
        t.fks.push_back(fk);
    }

    // Keys and foreign keys name columns of the table; PRIMARY KEY columns become NOT NULL.
    void check_columns()
    {
        if (auto pk = t.primary_key())
            for (auto& col : pk->columns) {
                int ci = t.column_index(col);
                if (ci < 0)
                    throw mssx_error(1911, "Column name '" + col + "' does not exist in the target table or view.");
                t.columns[static_cast<size_t>(ci)].nullable = false;
            }
        for (auto& ix : t.indexes)
            for (auto& col : ix.columns)
                if (t.column_index(col) < 0)
                    throw mssx_error(1911, "Column name '" + col + "' does not exist in the target table or view.");
        for (auto& fk : t.fks)
            for (auto& col : fk.columns)
                if (t.column_index(col) < 0)
                    throw mssx_error(1769, "Foreign key '" + fk.name + "' references invalid column '" + col +
                                               "' in referencing table '" + t.name + "'.");
    }
};

// Applies a parsed ALTER TABLE to a table of the catalog and its storage.
struct alter_table_applier {
    mssx_batch_runner& r;
    mssx_table_def& t;
    const mssx_alter_table& a;

    mssx_catalog& catalog() { return r.c.catalog(); }
    mssx_sqlite& db() { return r.s.db; }
    void save() { catalog().save_table(t, false); }

    // A column of the table by any case of its name; 1911 when there is none.
    std::string existing_column(const std::string& col)
    {
        int ci = t.column_index(col);
        if (ci < 0) throw mssx_error(1911, "Column name '" + col + "' does not exist in the target table or view.");
        return t.columns[static_cast<size_t>(ci)].name;
    }

    void enable_constraints()
    {
        auto match = [&](const std::string& n) {
            return a.all || std::any_of(a.names.begin(), a.names.end(), [&](auto& x) { return mssx_iequal(x, n); });
        };
        for (auto& fk : t.fks)
            if (match(fk.name)) fk.disabled = !a.enable;
        for (auto& ck : t.checks)
            if (match(ck.name)) ck.disabled = !a.enable;
        save();
    }

    void alter_column()
    {
        int ci = t.column_index(a.column);
        if (ci < 0)
            throw mssx_error(4924, "ALTER TABLE ALTER COLUMN failed because column '" + a.column +
                                       "' does not exist in table '" + t.name + "'.");
        auto& d = t.columns[static_cast<size_t>(ci)];
        mssx_type nt = r.resolve_type(a.type.name, a.type.args);
        // as on the server: without NOT NULL the column becomes nullable
        bool nullable = a.nullable.value_or(true);
        // convert every stored value to the new type first
        auto st = db().prepare("SELECT rowid, " + mssx_sq_ident(d.name) + " FROM " + mssx_sq_ident(t.storage()));
        std::vector<std::pair<int64_t, mssx_value>> changed;
        while (st.step()) {
            mssx_value v = st.column(1);
            if (mssx_is_null(v) && !nullable)
                throw mssx_error(515, "Cannot insert the value NULL into column '" + d.name + "', table '" +
                                          r.c.database() + "." + t.storage() +
                                          "'; column does not allow nulls. UPDATE fails.");
            mssx_value text_v =
                mssx_is_null(v) ? v : (std::holds_alternative<mssx_blob>(v) ? v : mssx_value(mssx_text(d.type, v)));
            if (d.type.name == "uniqueidentifier" && !mssx_is_null(v)) text_v = std::get<std::string>(v);
            changed.push_back({st.integer(0), mssx_convert(nt, text_v, r.s.dateformat)});
        }
        d.type = nt;
        d.nullable = nullable;
        if (!a.collation.empty()) d.collation = a.collation;
        auto up = db().prepare("UPDATE " + mssx_sq_ident(t.storage()) + " SET " + mssx_sq_ident(d.name) +
                               "=?1 WHERE rowid=?2");
        for (auto& [rowid, v] : changed) {
            up.reset();
            up.bind(1, v).bind(2, rowid);
            up.step();
        }
        rebuild_storage(db(), t);
        save();
        r.s.char_columns_valid = false;
    }

    // Every named constraint goes, or none when one of the names is no constraint.
    void drop_constraints()
    {
        auto named = [](const std::vector<std::string>& names, const std::string& n) {
            return std::any_of(names.begin(), names.end(), [&](auto& x) { return mssx_iequal(x, n); });
        };
        std::vector<std::string> found;
        for (auto& ix : t.indexes)
            if ((ix.primary || ix.constraint) && named(a.names, ix.name)) found.push_back(ix.name);
        for (auto& fk : t.fks)
            if (named(a.names, fk.name)) found.push_back(fk.name);
        for (auto& ck : t.checks)
            if (named(a.names, ck.name)) found.push_back(ck.name);
        for (auto& col : t.columns)
            if (!col.default_name.empty() && named(a.names, col.default_name)) found.push_back(col.default_name);
        for (auto& n : a.names)
            if (!named(found, n)) throw mssx_error(3728, "'" + n + "' is not a constraint.");
        for (auto it = t.indexes.begin(); it != t.indexes.end();) {
            if ((it->primary || it->constraint) && named(a.names, it->name)) {
                drop_storage_index(db(), t, it->name);
                it = t.indexes.erase(it);
            } else
                ++it;
        }
        std::erase_if(t.fks, [&](auto& fk) { return named(a.names, fk.name); });
        std::erase_if(t.checks, [&](auto& ck) { return named(a.names, ck.name); });
        for (auto& col : t.columns)
            if (!col.default_name.empty() && named(a.names, col.default_name)) {
                col.default_name.clear();
                col.default_text.clear();
            }
        save();
    }

    void add_key()
    {
        mssx_index_def ix;
        ix.primary = a.primary;
        ix.unique = true;
        ix.constraint = !a.primary;
        ix.clustered = a.clustered.value_or(a.primary);
        for (auto& col : a.columns) ix.columns.push_back(existing_column(col));
        ix.descending = a.descending;
        if (a.primary) {
            if (t.primary_key())
                throw mssx_error(1779, "Table '" + t.name + "' already has a primary key defined on it.");
            for (auto& col : ix.columns)
                if (t.columns[static_cast<size_t>(t.column_index(col))].nullable)
                    throw mssx_error(
                        8111, "Cannot define PRIMARY KEY constraint on nullable column in table '" + t.name + "'.");
        }
        ix.name = a.constraint.empty() ? auto_name(a.primary ? "PK" : "UQ", t.name) : a.constraint;
        create_storage_index(db(), t, ix, "");
        t.indexes.push_back(ix);
        save();
    }

    void add_foreign_key()
    {
        mssx_fk_def fk;
        for (auto& col : a.columns) fk.columns.push_back(existing_column(col));
        mssx_split_object(a.ref_table, fk.ref_schema, fk.ref_table);
        auto ref = catalog().load_table(fk.ref_schema, fk.ref_table);
        fk.name = a.constraint.empty() ? auto_name("FK", t.name, fk.columns[0]) : a.constraint;
        if (!ref)
            throw mssx_error(1767, "Foreign key '" + fk.name + "' references invalid table '" + fk.ref_schema + "." +
                                       fk.ref_table + "'.");
        fk.ref_columns = a.ref_columns;
        if (fk.ref_columns.empty() && ref->primary_key()) fk.ref_columns = ref->primary_key()->columns;
        // the referenced columns must carry a primary key or a unique key
        bool keyed = false;
        for (auto& ix : ref->indexes) {
            if (!ix.unique || ix.columns.size() != fk.ref_columns.size()) continue;
            bool same = true;
            for (auto& col : fk.ref_columns)
                if (std::none_of(ix.columns.begin(), ix.columns.end(), [&](auto& x) { return mssx_iequal(x, col); }))
                    same = false;
            keyed = keyed || same;
        }
        if (!keyed)
            throw mssx_error(1776, "There are no primary or candidate keys in the referenced table '" + ref->storage() +
                                       "' that match the referencing column list in the foreign key '" + fk.name +
                                       "'.");
        if (!a.on_delete.empty()) fk.on_delete = a.on_delete;
        if (!a.on_update.empty()) fk.on_update = a.on_update;
        t.fks.push_back(fk);
        save();
    }

    void add_check()
    {
        t.checks.push_back({a.constraint.empty() ? auto_name("CK", t.name) : a.constraint, a.expression, false});
        save();
    }

    void add_default()
    {
        int ci = t.column_index(a.column);
        if (ci < 0)
            throw mssx_error(1752, "Column '" + a.column + "' in table '" + t.name +
                                       "' is invalid for creating a default constraint.");
        auto& d = t.columns[static_cast<size_t>(ci)];
        if (!d.default_text.empty()) throw mssx_error(1781, "Column already has a DEFAULT bound to it.");
        d.default_text = a.expression;
        d.default_name = a.constraint.empty() ? auto_name("DF", t.name, d.name) : a.constraint;
        save();
    }

    // A column as CREATE TABLE defines it. The rows there take its identity, rowversion or computed value, and
    // its default when it is NOT NULL or the default says WITH VALUES; otherwise NULL.
    void add_column()
    {
        const mssx_column_spec& spec = *a.column_spec;
        size_t indexes_before = t.indexes.size();
        table_builder build{r, t};
        build.add_column(spec);
        build.check_columns();
        const mssx_column_def col = t.columns.back();
        auto cnt = db().prepare("SELECT COUNT(*) FROM " + mssx_sq_ident(t.storage()));
        cnt.step();
        bool has_rows = cnt.integer(0) > 0;
        bool fill_default = !col.default_text.empty() && (spec.with_values || !col.nullable);
        if (!col.nullable && has_rows && !fill_default && !col.identity && !mssx_is_rowversion(col.type) &&
            col.computed.empty())
            throw mssx_error(4901,
                             "ALTER TABLE only allows columns to be added that can contain nulls, or have a DEFAULT "
                             "definition specified, or the column being added is an identity or timestamp column, or "
                             "alternatively if none of the previous conditions are satisfied the table must be empty "
                             "to allow addition of this column. Column '" +
                                 col.name + "' cannot be added to non-empty table '" + t.name +
                                 "' because it does not satisfy these conditions.");
        db().exec("ALTER TABLE " + mssx_sq_ident(t.storage()) + " ADD COLUMN " + column_sql(col));
        if (has_rows) fill(col, fill_default);
        for (size_t i = indexes_before; i < t.indexes.size(); ++i) create_storage_index(db(), t, t.indexes[i], "");
        save();
        r.s.char_columns_valid = false;
    }

    // The values of a new column in the rows already there, row by row in the order they were written.
    void fill(const mssx_column_def& col, bool with_default)
    {
        if (!col.computed.empty()) return mssx_refresh_computed(r.c, t, std::string());
        if (mssx_is_rowversion(col.type)) {
            db().exec("UPDATE " + mssx_sq_ident(t.storage()) + " SET " + mssx_sq_ident(col.name) +
                      " = mssx_next_rowversion()");
            return;
        }
        if (!col.identity && !with_default) return;
        std::vector<int64_t> rowids;
        auto st = db().prepare("SELECT rowid FROM " + mssx_sq_ident(t.storage()) + " ORDER BY rowid");
        while (st.step()) rowids.push_back(st.integer(0));
        auto up = db().prepare("UPDATE " + mssx_sq_ident(t.storage()) + " SET " + mssx_sq_ident(col.name) +
                               " = ?1 WHERE rowid = ?2");
        int64_t next = col.seed;
        for (int64_t rowid : rowids) {
            mssx_value v;
            if (col.identity) {
                v = mssx_convert(col.type, next, r.s.dateformat);
                t.ident_last = next;
                next += col.increment;
            } else // each row evaluates the default (newid() differs from row to row)
                v = mssx_convert(col.type, mssx_eval_default(col.default_text, r.c), r.s.dateformat);
            up.reset();
            up.bind(1, v).bind(2, rowid);
            up.step();
        }
        if (col.identity && t.ident_last) catalog().set_ident_last(t, *t.ident_last);
    }
};

} // namespace

void mssx_batch_runner::create(size_t p, size_t e)
{
    size_t k = p + 1;
    if (T[k].is_word("TABLE")) return create_table(p, e);
    if (T[k].is_word("VIEW")) return create_module(p, e, 'V');
    if (T[k].is_word("PROC") || T[k].is_word("PROCEDURE")) return create_module(p, e, 'P');
    // kept in the catalog; their bodies do not run on the embedded server
    if (T[k].is_word("FUNCTION")) return create_module(p, e, 'F');
    if (T[k].is_word("TRIGGER")) return create_module(p, e, 'T');
    if (T[k].is_word("TYPE")) return create_type(p, e);
    if (T[k].is_word("XML")) return create_xml_schema_collection(p, e);
    if (T[k].is_word("INDEX") || T[k].is_word("UNIQUE") || T[k].is_word("CLUSTERED") || T[k].is_word("NONCLUSTERED"))
        return create_index(p, e);
    if (T[k].is_word("DATABASE")) {
        std::string name = ident_text(k + 1);
        c.server().create_database(name);
        c.server().grant_access(c.login(), name);
        return;
    }
    if (T[k].is_word("SCHEMA")) {
        std::string name = ident_text(k + 1);
        if (c.catalog().schema_exists(name))
            throw mssx_error(2714, "There is already an object named '" + name + "' in the database.");
        c.catalog().create_schema(name);
        return;
    }
    mssx_syntax_error(T[k]);
}

void mssx_batch_runner::create_xml_schema_collection(size_t p, size_t e)
{
    // CREATE XML SCHEMA COLLECTION [schema.]name AS expression
    size_t k = p + 2;
    expect_word(k++, "SCHEMA");
    expect_word(k++, "COLLECTION");
    std::vector<std::string> parts = name_parts(k, e);
    expect_word(k++, "AS");
    if (k >= e) mssx_syntax_error(T[e]);
    std::string sch, name;
    mssx_split_object(parts, sch, name);
    if (!c.catalog().schema_exists(sch))
        throw mssx_error(2760, "The specified schema name \"" + sch +
                                   "\" either does not exist or you do not have permission to use it.");
    if (c.catalog().xml_schema_collection_exists(sch, name))
        throw mssx_error(2714, "There is already an object named '" + name + "' in the database.");
    std::string definition = mssx_text(mssx_make_type("nvarchar", {"max"}), eval(k, e));
    c.catalog().create_xml_schema_collection(sch, name, definition);
}

void mssx_batch_runner::create_table(size_t p, size_t e)
{
    mssx_create_table spec = mssx_parse_create_table(T, text, p, e);
    mssx_table_def t;
    mssx_split_object(spec.table, t.schema, t.name);
    if (!c.catalog().schema_exists(t.schema))
        throw mssx_error(2760, "The specified schema name \"" + t.schema +
                                   "\" either does not exist or you do not have permission to use it.");
    if (c.catalog().find_object(t.schema, t.name))
        throw mssx_error(2714, "There is already an object named '" + t.name + "' in the database.");
    table_builder build{*this, t};
    for (auto& item : spec.elements) {
        if (item.column)
            build.add_column(*item.column);
        else
            build.add_constraint(item.constraint, "");
    }
    build.check_columns();
    std::string cols;
    for (auto& col : t.columns) cols += (cols.empty() ? "" : ", ") + column_sql(col);
    s.db.exec("CREATE TABLE " + mssx_sq_ident(t.storage()) + "(" + cols + ")");
    c.catalog().save_table(t, true);
    for (auto& ix : t.indexes) create_storage_index(s.db, t, ix, "");
    s.char_columns_valid = false;
}

void mssx_batch_runner::create_index(size_t p, size_t e)
{
    size_t k = p + 1;
    mssx_index_def ix;
    if (T[k].is_word("UNIQUE")) {
        ix.unique = true;
        ++k;
    }
    if (T[k].is_word("CLUSTERED")) {
        ix.clustered = true;
        ++k;
    } else if (T[k].is_word("NONCLUSTERED"))
        ++k;
    expect_word(k++, "INDEX");
    ix.name = ident_text(k++);
    expect_word(k++, "ON");
    std::vector<std::string> parts = name_parts(k, e);
    std::string sch, name;
    mssx_split_object(parts, sch, name);
    auto t = c.catalog().load_table(sch, name);
    if (!t)
        throw mssx_error(
            1088, "Cannot find the object \"" + name + "\" because it does not exist or you do not have permissions.");
    if (!T[k].is_op("(")) mssx_syntax_error(T[k]);
    size_t m = mssx_match_paren(T, k, e);
    for (size_t j = k + 1; j < m; ++j) {
        if (T[j].is_op(",") || T[j].is_word("ASC")) continue;
        if (T[j].is_word("DESC")) {
            if (ix.columns.empty()) mssx_syntax_error(T[j]);
            ix.descending.resize(ix.columns.size());
            ix.descending.back() = true;
            continue;
        }
        std::string col = ident_text(j);
        if (t->column_index(col) < 0)
            throw mssx_error(1911, "Column name '" + col + "' does not exist in the target table or view.");
        ix.columns.push_back(t->columns[static_cast<size_t>(t->column_index(col))].name);
    }
    k = m + 1;
    if (k < e && T[k].is_word("INCLUDE")) k = mssx_match_paren(T, k + 1, e) + 1;
    std::string filter_sql;
    if (k < e && T[k].is_word("WHERE")) {
        size_t a = k + 1, b = a;
        while (b < e && !T[b].is_word("WITH") && !T[b].is_word("ON")) ++b;
        ix.filter = "(" + text.substr(T[a].begin, T[b - 1].end - T[a].begin) + ")";
        filter_sql = mssx_translate(T, a, b, env());
        k = b;
    }
    for (auto& x : t->indexes)
        if (mssx_iequal(x.name, ix.name))
            throw mssx_error(1913, "The operation failed because an index or statistics with name '" + ix.name +
                                       "' already exists on table '" + t->storage() + "'.");
    if (ix.clustered)
        for (auto& x : t->indexes)
            if (x.clustered)
                throw mssx_error(1902, "Cannot create more than one clustered index on table '" + t->storage() +
                                           "'. Drop the existing clustered index '" + x.name +
                                           "' before creating another.");
    create_storage_index(s.db, *t, ix, filter_sql);
    t->indexes.push_back(ix);
    c.catalog().save_table(*t, false);
}

void mssx_batch_runner::create_module(size_t p, size_t e, char type)
{
    size_t k = p + 2;
    std::vector<std::string> parts = name_parts(k, e);
    std::string sch, name;
    mssx_split_object(parts, sch, name);
    if (c.catalog().find_object(sch, name))
        throw mssx_error(2714, "There is already an object named '" + name + "' in the database.");
    std::string definition = text.substr(T[p].begin, T[e - 1].end - T[p].begin);
    if (type == 'V') {
        std::string cols;
        if (T[k].is_op("(")) {
            size_t m = mssx_match_paren(T, k, e);
            for (size_t j = k + 1; j < m; ++j)
                if (!T[j].is_op(",")) cols += (cols.empty() ? "" : ", ") + mssx_sq_ident(ident_text(j));
            k = m + 1;
        }
        if (T[k].is_word("WITH")) {
            k += 2;
            while (T[k].is_op(",")) k += 2;
        }
        expect_word(k++, "AS");
        std::string sql = mssx_translate(T, k, e, env());
        std::string storage = sch + "." + name;
        try {
            s.db.exec("CREATE VIEW " + mssx_sq_ident(storage) + (cols.empty() ? "" : "(" + cols + ")") + " AS " + sql);
            // compile it once so that a view the engine cannot run is refused now
            s.db.prepare("SELECT * FROM " + mssx_sq_ident(storage) + " LIMIT 0");
        } catch (const mssx_error& err) {
            s.db.exec("DROP VIEW IF EXISTS " + mssx_sq_ident(storage));
            mssx_rethrow_sqlite(err, sql);
        }
    }
    c.catalog().create_module(sch, name, type, definition);
}

void mssx_batch_runner::drop(size_t p, size_t e)
{
    size_t k = p + 1;
    std::string what = mssx_upper(ident_text(k++));
    if (what == "PROC") what = "PROCEDURE";
    if (what == "XML") {
        // DROP XML SCHEMA COLLECTION [schema.]name
        expect_word(k++, "SCHEMA");
        expect_word(k++, "COLLECTION");
        std::vector<std::string> parts = name_parts(k, e);
        if (k < e) mssx_syntax_error(T[k]);
        std::string sch, name;
        mssx_split_object(parts, sch, name);
        if (!c.catalog().xml_schema_collection_exists(sch, name))
            throw mssx_error(3701, "Cannot drop the XML schema collection '" + name +
                                       "', because it does not exist or you do not have permission.");
        c.catalog().drop_xml_schema_collection(sch, name);
        return;
    }
    bool if_exists = false;
    if (T[k].is_word("IF") && T[k + 1].is_word("EXISTS")) {
        if_exists = true;
        k += 2;
    }
    if (what == "DATABASE") {
        std::string name = ident_text(k);
        if (mssx_iequal(name, c.database()))
            throw mssx_error(3702, "Cannot drop database \"" + name + "\" because it is currently in use.");
        if (!c.server().database_exists(name)) {
            if (if_exists) return;
            throw mssx_error(3701, "Cannot drop the database '" + name +
                                       "', because it does not exist or you do not have permission.");
        }
        c.server().drop_database(name);
        return;
    }
    if (what == "INDEX") {
        std::string iname = ident_text(k++);
        expect_word(k++, "ON");
        std::vector<std::string> parts = name_parts(k, e);
        std::string sch, name;
        mssx_split_object(parts, sch, name);
        auto t = c.catalog().load_table(sch, name);
        auto it =
            t ? std::find_if(t->indexes.begin(), t->indexes.end(), [&](auto& x) { return mssx_iequal(x.name, iname); })
              : std::vector<mssx_index_def>::iterator{};
        if (!t || it == t->indexes.end()) {
            if (if_exists) return;
            throw mssx_error(3701, "Cannot drop the index '" + name + "." + iname +
                                       "', because it does not exist or you do not have permission.");
        }
        if (it->primary || it->constraint)
            throw mssx_error(3723, "An explicit DROP INDEX is not allowed on index '" + t->storage() + "." + iname +
                                       "'. It is being used for PRIMARY KEY constraint enforcement.");
        drop_storage_index(s.db, *t, it->name);
        t->indexes.erase(it);
        c.catalog().save_table(*t, false);
        return;
    }
    if (what != "TABLE" && what != "VIEW" && what != "PROCEDURE" && what != "SCHEMA" && what != "FUNCTION" &&
        what != "TRIGGER")
        mssx_syntax_error(T[p + 1]);
    while (k < e) {
        std::vector<std::string> parts = name_parts(k, e);
        std::string sch, name;
        mssx_split_object(parts, sch, name);
        std::string label = what;
        for (auto& ch : label) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
        if (what == "SCHEMA") {
            if (!c.catalog().schema_exists(name)) {
                if (if_exists) return;
                throw mssx_error(3701, "Cannot drop the schema '" + name +
                                           "', because it does not exist or you do not have permission.");
            }
            auto st = s.db.prepare("DELETE FROM mssx_schemas WHERE name=?1");
            st.bind(1, name);
            st.step();
            return;
        }
        auto obj = c.catalog().find_object(sch, name);
        char want = what == "TABLE"      ? 'U'
                    : what == "VIEW"     ? 'V'
                    : what == "FUNCTION" ? 'F'
                    : what == "TRIGGER"  ? 'T'
                                         : 'P';
        if (!obj || obj->type != want) {
            if (!if_exists)
                throw mssx_error(3701, "Cannot drop the " + label + " '" + name +
                                           "', because it does not exist or you do not have permission.");
        } else {
            if (want == 'U') {
                // a table referenced by another table's foreign key stays
                for (auto& other : c.catalog().objects('U')) {
                    if (other.object_id == obj->object_id) continue;
                    auto ot = c.catalog().load_table(other.schema, other.name);
                    for (auto& fk : ot->fks)
                        if (mssx_iequal(fk.ref_schema, sch) && mssx_iequal(fk.ref_table, name))
                            throw mssx_error(3726, "Could not drop object '" + sch + "." + name +
                                                       "' because it is referenced by a FOREIGN KEY constraint.");
                }
                s.db.exec("DROP TABLE " + mssx_sq_ident(obj->schema + "." + obj->name));
                if (mssx_iequal(s.identity_insert, obj->schema + "." + obj->name)) s.identity_insert.clear();
            } else if (want == 'V')
                s.db.exec("DROP VIEW IF EXISTS " + mssx_sq_ident(obj->schema + "." + obj->name));
            c.catalog().drop_object(*obj);
            s.char_columns_valid = false;
        }
        if (k < e && T[k].is_op(","))
            ++k;
        else
            break;
    }
}

void mssx_batch_runner::alter_table(size_t p, size_t e)
{
    if (T[p + 1].is_word("DATABASE")) {
        // database options (recovery, compatibility, ANSI settings ...) change nothing the embedded server keeps
        size_t i = p + 2;
        if (i < e && T[i].is_name()) ++i;
        if (i < e && T[i].is_word("SET")) return;
        throw mssx_error(50000,
                         "ALTER DATABASE other than ALTER DATABASE ... SET is not supported by the embedded server.",
                         16, T[p].line);
    }
    mssx_alter_table a = mssx_parse_alter_table(T, text, p, e);
    std::string sch, name;
    mssx_split_object(a.table, sch, name);
    auto t = c.catalog().load_table(sch, name);
    if (!t) {
        std::string shown;
        for (auto& x : a.table) shown += (shown.empty() ? "" : ".") + x;
        throw mssx_error(
            4902, "Cannot find the object \"" + shown + "\" because it does not exist or you do not have permissions.");
    }
    if (a.more.empty()) return alter_one(*t, a);
    // ADD a, b, ...: all of them or none
    s.db.exec("SAVEPOINT mssx_alter_table");
    try {
        alter_one(*t, a);
        for (auto& item : a.more) alter_one(*t, item);
    } catch (...) {
        s.db.exec("ROLLBACK TO mssx_alter_table");
        s.db.exec("RELEASE mssx_alter_table");
        // what the catalog kept of the table is gone with the rollback
        c.catalog().forget();
        s.char_columns_valid = false;
        throw;
    }
    s.db.exec("RELEASE mssx_alter_table");
}

void mssx_batch_runner::alter_one(mssx_table_def& t, const mssx_alter_table& a)
{
    if (!a.constraint.empty() && c.catalog().constraint_exists(t.schema, a.constraint))
        throw mssx_error(2714, "There is already an object named '" + a.constraint + "' in the database.");
    alter_table_applier apply{*this, t, a};
    switch (a.action) {
    case mssx_alter_action::enable_constraints:
        return apply.enable_constraints();
    case mssx_alter_action::alter_column:
        return apply.alter_column();
    case mssx_alter_action::drop_constraint:
        return apply.drop_constraints();
    case mssx_alter_action::drop_column:
        throw mssx_error(50000, "ALTER TABLE DROP COLUMN is not supported by the embedded server.");
    case mssx_alter_action::add_key:
        return apply.add_key();
    case mssx_alter_action::add_foreign_key:
        return apply.add_foreign_key();
    case mssx_alter_action::add_check:
        return apply.add_check();
    case mssx_alter_action::add_default:
        return apply.add_default();
    case mssx_alter_action::add_column:
        return apply.add_column();
    }
}
