// The provider's catalog answers: table rowsets, the four schema rowsets,
// sp_tables, sp_columns, table creation and the bulk path.
#include <algorithm>
#include <map>
#include <optional>
#include "platform/mssx/mssx_connection_impl.h"
#include "platform/mssx/mssx_rowversion.h"

namespace {

bool like(const std::string& value, const std::string& pattern)
{
    // SQL LIKE with % _ and [..], without regard to case
    std::function<bool(size_t, size_t)> m = [&](size_t i, size_t j) -> bool {
        if (j == pattern.size()) return i == value.size();
        char pc = pattern[j];
        if (pc == '%') {
            for (size_t k = i; k <= value.size(); ++k)
                if (m(k, j + 1)) return true;
            return false;
        }
        if (i == value.size()) return false;
        if (pc == '_') return m(i + 1, j + 1);
        if (pc == '[') {
            size_t close = pattern.find(']', j + 1);
            if (close != std::string::npos) {
                std::string set = pattern.substr(j + 1, close - j - 1);
                bool neg = !set.empty() && set[0] == '^';
                if (neg) set.erase(0, 1);
                bool hit = false;
                for (size_t k = 0; k < set.size(); ++k) {
                    if (k + 2 < set.size() && set[k + 1] == '-') {
                        hit = hit || (std::toupper(static_cast<unsigned char>(value[i])) >=
                                          std::toupper(static_cast<unsigned char>(set[k])) &&
                                      std::toupper(static_cast<unsigned char>(value[i])) <=
                                          std::toupper(static_cast<unsigned char>(set[k + 2])));
                        k += 2;
                    } else
                        hit = hit || std::toupper(static_cast<unsigned char>(value[i])) ==
                                         std::toupper(static_cast<unsigned char>(set[k]));
                }
                return hit != neg && m(i + 1, close + 1);
            }
        }
        return std::toupper(static_cast<unsigned char>(pc)) == std::toupper(static_cast<unsigned char>(value[i])) &&
               m(i + 1, j + 1);
    };
    return m(0, 0);
}

// The ASCII head of a pattern before its first wildcard: every name the pattern
// matches begins with it, without regard to case.
std::string like_prefix(const std::string& pattern)
{
    size_t n = 0;
    while (n < pattern.size() && static_cast<unsigned char>(pattern[n]) < 0x80 && pattern[n] != '\0' &&
           pattern[n] != '%' && pattern[n] != '_' && pattern[n] != '[')
        ++n;
    return pattern.substr(0, n);
}

bool restricted_out(const mssx_restrictions& r, size_t i, const std::string& value)
{
    return i < r.size() && r[i] && !mssx_iequal(*r[i], value);
}

mssx_value text_or_null(const std::string& s) { return s.empty() ? mssx_value() : mssx_value(s); }

// The tables that pass a schema and a name restriction (given by their
// positions in r). Only those are loaded, so a rowset restricted to one table
// costs the same however many tables the database has.
std::vector<mssx_table_def> tables_passing(mssx_connection& c, const mssx_restrictions& r, size_t schema_at,
                                           size_t name_at)
{
    std::vector<mssx_table_def> out;
    auto given = [&](size_t i) { return i < r.size() && r[i].has_value(); };
    if (given(schema_at) && given(name_at)) {
        auto o = c.catalog().find_object(*r[schema_at], *r[name_at]);
        if (o && o->type == 'U' && mssx_iequal(o->schema, *r[schema_at]) && mssx_iequal(o->name, *r[name_at])) {
            if (auto t = c.catalog().load_table(o->schema, o->name)) out.push_back(std::move(*t));
            return out;
        }
    }
    for (auto& o : c.catalog().objects('U')) {
        if (restricted_out(r, schema_at, o.schema) || restricted_out(r, name_at, o.name)) continue;
        if (auto t = c.catalog().load_table(o.schema, o.name)) out.push_back(std::move(*t));
    }
    return out;
}

struct odbc_info {
    int data_type;
    int64_t precision;
    int64_t length;
    std::optional<int64_t> scale;
    std::optional<int64_t> radix;
    int ss_type;
};

odbc_info odbc_of(const mssx_type& t)
{
    const std::string& n = t.name;
    if (n == "int") return {4, 10, 4, 0, 10, 56};
    if (n == "bigint") return {-5, 19, 8, 0, 10, 63};
    if (n == "smallint") return {5, 5, 2, 0, 10, 52};
    if (n == "tinyint") return {-6, 3, 1, 0, 10, 48};
    if (n == "bit") return {-7, 1, 1, {}, {}, 50};
    if (n == "decimal") return {3, t.precision, t.precision + 2, t.scale, 10, 55};
    if (n == "numeric") return {2, t.precision, t.precision + 2, t.scale, 10, 63};
    if (n == "money") return {3, 19, 21, 4, 10, 60};
    if (n == "smallmoney") return {3, 10, 12, 4, 10, 122};
    if (n == "float") return {6, 15, 8, {}, 2, 62};
    if (n == "real") return {7, 7, 4, {}, 2, 59};
    if (n == "char") return {1, t.length, t.length, {}, {}, 47};
    if (n == "varchar") return {12, t.length < 0 ? 0 : t.length, t.length < 0 ? 0 : t.length, {}, {}, 39};
    if (n == "text") return {-1, 2147483647, 2147483647, {}, {}, 35};
    if (n == "nchar") return {-8, t.length, t.length * 2, {}, {}, 39};
    if (n == "nvarchar") return {-9, t.length < 0 ? 0 : t.length, t.length < 0 ? 0 : t.length * 2, {}, {}, 39};
    if (n == "ntext") return {-10, 1073741823, 2147483646, {}, {}, 35};
    if (n == "xml") return {-10, 0, 0, {}, {}, 0};
    if (n == "binary") return {-2, t.length, t.length, {}, {}, 45};
    if (n == "varbinary") return {-3, t.length < 0 ? 0 : t.length, t.length < 0 ? 0 : t.length, {}, {}, 37};
    if (n == "image") return {-4, 2147483647, 2147483647, {}, {}, 34};
    if (n == "timestamp" || n == "rowversion") return {-2, 8, 8, {}, {}, 45};
    if (n == "datetime") return {11, 23, 16, 3, {}, 61};
    if (n == "smalldatetime") return {11, 16, 16, 0, {}, 58};
    if (n == "date") return {-9, 10, 20, {}, {}, 0};
    if (n == "time") return {-9, t.scale ? 9 + t.scale : 8, (t.scale ? 9 + t.scale : 8) * 2, t.scale, {}, 0};
    if (n == "datetime2") return {-9, t.scale ? 20 + t.scale : 19, (t.scale ? 20 + t.scale : 19) * 2, t.scale, {}, 0};
    if (n == "datetimeoffset")
        return {-9, t.scale ? 27 + t.scale : 26, (t.scale ? 27 + t.scale : 26) * 2, t.scale, {}, 0};
    if (n == "uniqueidentifier") return {-11, 36, 16, {}, {}, 37};
    if (n == "sql_variant") return {-150, 8000, 8016, {}, 10, 39};
    return {-4, 0, 0, {}, {}, 0};
}

} // namespace

mssx_result mssx_connection::open_table(const std::string& name, bool stream)
{
    std::vector<mssx_token> toks = mssx_lex(name, true);
    std::vector<std::string> parts;
    bool plain = toks.size() < 2 || !toks[0].is_name();
    for (size_t i = 0; !plain && i + 1 < toks.size(); i += 2) {
        if (!toks[i].is_name()) {
            plain = true;
            break;
        }
        parts.push_back(toks[i].text);
        if (i + 1 < toks.size() - 1 && !toks[i + 1].is_op(".")) {
            plain = true;
            break;
        }
    }
    if (plain || parts.empty()) parts = {name};
    std::string storage = mssx_resolve_for_query(*this, parts);
    mssx_result r = mssx_run_query(*this, "SELECT * FROM " + storage, stream);
    if (stream) {
        // The storage name unquoted: "a.b" with its inner quotes doubled.
        std::string table;
        for (size_t i = 1; i + 1 < storage.size(); ++i) {
            table += storage[i];
            if (storage[i] == '"') ++i;
        }
        mssx_leave_long_values(*this, r, table);
    }
    return r;
}

mssx_result mssx_connection::schema_tables(const mssx_restrictions& r)
{
    mssx_result res;
    res.columns = {mssx_col("TABLE_CATALOG", "nvarchar(128)"), mssx_col("TABLE_SCHEMA", "nvarchar(128)"),
                   mssx_col("TABLE_NAME", "nvarchar(128)"),    mssx_col("TABLE_TYPE", "nvarchar(128)"),
                   mssx_col("TABLE_GUID", "uniqueidentifier"), mssx_col("DESCRIPTION", "nvarchar(4000)"),
                   mssx_col("TABLE_PROPID", "ole_ui4"),        mssx_col("DATE_CREATED", "ole_date"),
                   mssx_col("DATE_MODIFIED", "ole_date")};
    std::vector<std::vector<mssx_value>> rows;
    for (char type : {'U', 'V'}) {
        std::string tt = type == 'U' ? "TABLE" : "VIEW";
        for (auto& o : catalog().objects(type)) {
            if (restricted_out(r, 0, database_) || restricted_out(r, 1, o.schema) || restricted_out(r, 2, o.name) ||
                restricted_out(r, 3, tt))
                continue;
            auto st = state().db.prepare("SELECT created FROM mssx_objects WHERE object_id=?1");
            st.bind(1, o.object_id);
            st.step();
            std::string created = st.text(0);
            rows.push_back({database_, o.schema, o.name, tt, mssx_value(), mssx_value(), mssx_value(),
                            text_or_null(created), text_or_null(created)});
        }
    }
    std::sort(rows.begin(), rows.end(), [](auto& a, auto& b) {
        auto key = [](auto& x) {
            return mssx_upper(std::get<std::string>(x[3]) + "\x01" + std::get<std::string>(x[1]) + "\x01" +
                              std::get<std::string>(x[2]));
        };
        return key(a) < key(b);
    });
    res.rows = std::move(rows);
    return res;
}

mssx_result mssx_connection::schema_primary_keys(const mssx_restrictions& r)
{
    mssx_result res;
    res.columns = {mssx_col("TABLE_CATALOG", "nvarchar(128)"),
                   mssx_col("TABLE_SCHEMA", "nvarchar(128)"),
                   mssx_col("TABLE_NAME", "nvarchar(128)"),
                   mssx_col("COLUMN_NAME", "nvarchar(128)"),
                   mssx_col("COLUMN_GUID", "uniqueidentifier"),
                   mssx_col("COLUMN_PROPID", "ole_ui4"),
                   mssx_col("ORDINAL", "ole_ui4"),
                   mssx_col("PK_NAME", "nvarchar(128)")};
    if (restricted_out(r, 0, database_)) return res;
    for (auto& t : tables_passing(*this, r, 1, 2)) {
        auto pk = t.primary_key();
        if (!pk) continue;
        for (size_t i = 0; i < pk->columns.size(); ++i)
            res.rows.push_back({database_, t.schema, t.name, pk->columns[i], mssx_value(), mssx_value(),
                                static_cast<int64_t>(i + 1), pk->name});
    }
    return res;
}

mssx_result mssx_connection::schema_foreign_keys(const mssx_restrictions& r)
{
    mssx_result res;
    res.columns = {mssx_col("PK_TABLE_CATALOG", "nvarchar(128)"),
                   mssx_col("PK_TABLE_SCHEMA", "nvarchar(128)"),
                   mssx_col("PK_TABLE_NAME", "nvarchar(128)"),
                   mssx_col("PK_COLUMN_NAME", "nvarchar(128)"),
                   mssx_col("PK_COLUMN_GUID", "uniqueidentifier"),
                   mssx_col("PK_COLUMN_PROPID", "ole_ui4"),
                   mssx_col("FK_TABLE_CATALOG", "nvarchar(128)"),
                   mssx_col("FK_TABLE_SCHEMA", "nvarchar(128)"),
                   mssx_col("FK_TABLE_NAME", "nvarchar(128)"),
                   mssx_col("FK_COLUMN_NAME", "nvarchar(128)"),
                   mssx_col("FK_COLUMN_GUID", "uniqueidentifier"),
                   mssx_col("FK_COLUMN_PROPID", "ole_ui4"),
                   mssx_col("ORDINAL", "ole_ui4"),
                   mssx_col("UPDATE_RULE", "nvarchar(20)"),
                   mssx_col("DELETE_RULE", "nvarchar(20)"),
                   mssx_col("PK_NAME", "nvarchar(128)"),
                   mssx_col("FK_NAME", "nvarchar(128)"),
                   mssx_col("DEFERRABILITY", "smallint")};
    std::vector<std::vector<mssx_value>> rows;
    std::map<std::string, std::optional<mssx_table_def>> referenced; // by upper-case schema.table
    std::vector<mssx_table_def> tables;
    if (r.size() > 2 && r[2] && !(r.size() > 5 && r[5])) {
        for (auto& o : catalog().tables_referencing(*r[2]))
            if (!restricted_out(r, 4, o.schema))
                if (auto t = catalog().load_table(o.schema, o.name)) tables.push_back(std::move(*t));
    } else {
        tables = tables_passing(*this, r, 4, 5);
    }
    for (auto& t : tables) {
        for (auto& fk : t.fks) {
            if (restricted_out(r, 0, database_) || restricted_out(r, 1, fk.ref_schema) ||
                restricted_out(r, 2, fk.ref_table) || restricted_out(r, 3, database_))
                continue;
            std::string pk_name;
            auto it = referenced.find(mssx_upper(fk.ref_schema + "." + fk.ref_table));
            if (it == referenced.end())
                it = referenced
                         .emplace(mssx_upper(fk.ref_schema + "." + fk.ref_table),
                                  catalog().load_table(fk.ref_schema, fk.ref_table))
                         .first;
            if (const auto& p = it->second;
                p && mssx_iequal(p->schema, fk.ref_schema) && mssx_iequal(p->name, fk.ref_table))
                for (auto& ix : p->indexes) {
                    if (!ix.unique || ix.columns.size() != fk.ref_columns.size()) continue;
                    bool same = true;
                    for (size_t i = 0; i < ix.columns.size(); ++i)
                        same = same && mssx_iequal(ix.columns[i], fk.ref_columns[i]);
                    if (same && (pk_name.empty() || ix.primary)) pk_name = ix.name;
                }
            for (size_t i = 0; i < fk.columns.size(); ++i)
                rows.push_back({database_, fk.ref_schema, fk.ref_table, fk.ref_columns[i], mssx_value(), mssx_value(),
                                database_, t.schema, t.name, fk.columns[i], mssx_value(), mssx_value(),
                                static_cast<int64_t>(i + 1), fk.on_update, fk.on_delete, text_or_null(pk_name), fk.name,
                                int64_t(3)});
        }
    }
    std::stable_sort(rows.begin(), rows.end(), [](auto& a, auto& b) {
        auto key = [](auto& x) {
            return mssx_upper(std::get<std::string>(x[7]) + "\x01" + std::get<std::string>(x[8]) + "\x01" +
                              std::get<std::string>(x[16]));
        };
        return key(a) < key(b);
    });
    res.rows = std::move(rows);
    return res;
}

// The COLLATION of the index schema rowset: DB_COLLATION_ASC, DB_COLLATION_DESC.
constexpr int64_t kCollationAsc = 1;
constexpr int64_t kCollationDesc = 2;

mssx_result mssx_connection::schema_indexes(const mssx_restrictions& r)
{
    mssx_result res;
    res.columns = {mssx_col("TABLE_CATALOG", "nvarchar(128)"),
                   mssx_col("TABLE_SCHEMA", "nvarchar(128)"),
                   mssx_col("TABLE_NAME", "nvarchar(128)"),
                   mssx_col("INDEX_CATALOG", "nvarchar(128)"),
                   mssx_col("INDEX_SCHEMA", "nvarchar(128)"),
                   mssx_col("INDEX_NAME", "nvarchar(128)"),
                   mssx_col("PRIMARY_KEY", "bit"),
                   mssx_col("UNIQUE", "bit"),
                   mssx_col("CLUSTERED", "bit"),
                   mssx_col("TYPE", "ole_ui2"),
                   mssx_col("FILL_FACTOR", "int"),
                   mssx_col("INITIAL_SIZE", "int"),
                   mssx_col("NULLS", "int"),
                   mssx_col("SORT_BOOKMARKS", "bit"),
                   mssx_col("AUTO_UPDATE", "bit"),
                   mssx_col("NULL_COLLATION", "int"),
                   mssx_col("ORDINAL_POSITION", "ole_ui4"),
                   mssx_col("COLUMN_NAME", "nvarchar(128)"),
                   mssx_col("COLUMN_GUID", "uniqueidentifier"),
                   mssx_col("COLUMN_PROPID", "ole_ui4"),
                   mssx_col("COLLATION", "smallint"),
                   mssx_col("CARDINALITY", "ole_ui8"),
                   mssx_col("PAGES", "int"),
                   mssx_col("FILTER_CONDITION", "nvarchar(4000)"),
                   mssx_col("INTEGRATED", "bit")};
    if (restricted_out(r, 0, database_)) return res;
    for (auto& t : tables_passing(*this, r, 1, 4)) {
        auto cnt = state().db.prepare("SELECT COUNT(*) FROM " + mssx_sq_ident(t.storage()));
        cnt.step();
        int64_t rows = cnt.integer(0);
        std::vector<const mssx_index_def*> ixs;
        for (auto& ix : t.indexes) ixs.push_back(&ix);
        std::sort(ixs.begin(), ixs.end(), [](auto* a, auto* b) { return mssx_upper(a->name) < mssx_upper(b->name); });
        for (auto* ix : ixs) {
            if (restricted_out(r, 2, ix->name)) continue;
            for (size_t i = 0; i < ix->columns.size(); ++i)
                res.rows.push_back({database_,
                                    t.schema,
                                    t.name,
                                    database_,
                                    t.schema,
                                    ix->name,
                                    int64_t(ix->primary),
                                    int64_t(ix->unique),
                                    int64_t(ix->clustered),
                                    int64_t(1),
                                    int64_t(0),
                                    mssx_value(),
                                    int64_t(ix->unique ? 1 : 0),
                                    int64_t(0),
                                    int64_t(1),
                                    int64_t(4),
                                    static_cast<int64_t>(i + 1),
                                    ix->columns[i],
                                    mssx_value(),
                                    mssx_value(),
                                    ix->is_descending(i) ? kCollationDesc : kCollationAsc,
                                    rows,
                                    mssx_value(),
                                    text_or_null(ix->filter),
                                    int64_t(ix->clustered)});
        }
    }
    return res;
}

bool mssx_system_procedure(mssx_connection& c, const std::string& proc,
                           const std::vector<std::pair<std::string, std::string>>& params, mssx_outcome& out)
{
    auto param = [&](const char* name, size_t pos) -> std::optional<std::string> {
        for (auto& [n, v] : params)
            if (mssx_iequal(n, name)) return v;
        if (pos < params.size() && params[pos].first.empty()) return params[pos].second;
        return std::nullopt;
    };
    if (mssx_iequal(proc, "sp_tables")) {
        auto name = param("@table_name", 0), owner = param("@table_owner", 1), type = param("@table_type", 3);
        std::vector<std::string> types;
        if (type) {
            std::string cur;
            bool in = false;
            for (char ch : *type) {
                if (ch == '\'') {
                    if (in) types.push_back(cur);
                    cur.clear();
                    in = !in;
                } else if (in)
                    cur += ch;
            }
        }
        mssx_result r;
        r.columns = {mssx_col("TABLE_QUALIFIER", "nvarchar(128)"), mssx_col("TABLE_OWNER", "nvarchar(128)"),
                     mssx_col("TABLE_NAME", "nvarchar(128)"), mssx_col("TABLE_TYPE", "varchar(32)"),
                     mssx_col("REMARKS", "varchar(254)")};
        for (char t : {'U', 'V'}) {
            std::string tt = t == 'U' ? "TABLE" : "VIEW";
            if (!types.empty() && std::none_of(types.begin(), types.end(), [&](auto& x) { return mssx_iequal(x, tt); }))
                continue;
            for (auto& o : c.catalog().objects(t)) {
                if (name && !like(o.name, *name)) continue;
                if (owner && !like(o.schema, *owner)) continue;
                r.rows.push_back({c.database(), o.schema, o.name, tt, mssx_value()});
            }
        }
        std::sort(r.rows.begin(), r.rows.end(), [](auto& a, auto& b) {
            auto key = [](auto& x) {
                return mssx_upper(std::get<std::string>(x[3]) + "\x01" + std::get<std::string>(x[1]) + "\x01" +
                                  std::get<std::string>(x[2]));
            };
            return key(a) < key(b);
        });
        out.results.push_back(std::move(r));
        return true;
    }
    if (mssx_iequal(proc, "sp_columns")) {
        auto name = param("@table_name", 0), owner = param("@table_owner", 1), colpat = param("@column_name", 3);
        if (!name)
            throw mssx_error(
                201, "Procedure or function 'sp_columns' expects parameter '@table_name', which was not supplied.");
        mssx_result r;
        r.columns = {mssx_col("TABLE_QUALIFIER", "nvarchar(128)"),
                     mssx_col("TABLE_OWNER", "nvarchar(128)"),
                     mssx_col("TABLE_NAME", "nvarchar(128)"),
                     mssx_col("COLUMN_NAME", "nvarchar(128)"),
                     mssx_col("DATA_TYPE", "smallint"),
                     mssx_col("TYPE_NAME", "nvarchar(128)"),
                     mssx_col("PRECISION", "int"),
                     mssx_col("LENGTH", "int"),
                     mssx_col("SCALE", "smallint"),
                     mssx_col("RADIX", "smallint"),
                     mssx_col("NULLABLE", "smallint"),
                     mssx_col("REMARKS", "varchar(254)"),
                     mssx_col("COLUMN_DEF", "nvarchar(4000)"),
                     mssx_col("SQL_DATA_TYPE", "smallint"),
                     mssx_col("SQL_DATETIME_SUB", "smallint"),
                     mssx_col("CHAR_OCTET_LENGTH", "int"),
                     mssx_col("ORDINAL_POSITION", "int"),
                     mssx_col("IS_NULLABLE", "varchar(254)"),
                     mssx_col("SS_DATA_TYPE", "tinyint")};
        for (auto& o : c.catalog().objects('U', like_prefix(*name))) {
            if (!like(o.name, *name) || (owner && !like(o.schema, *owner))) continue;
            auto t = c.catalog().load_table(o.schema, o.name);
            for (size_t i = 0; i < t->columns.size(); ++i) {
                auto& d = t->columns[i];
                if (colpat && !like(d.name, *colpat)) continue;
                odbc_info info = odbc_of(d.type);
                std::string tn = d.type.name;
                if (d.identity) tn += (d.type.is_exact_decimal() ? "() identity" : " identity");
                auto opt = [](const std::optional<int64_t>& v) { return v ? mssx_value(*v) : mssx_value(); };
                bool is_dt = d.type.name == "datetime" || d.type.name == "smalldatetime";
                r.rows.push_back({c.database(), t->schema, t->name, d.name, int64_t(info.data_type), tn, info.precision,
                                  info.length, opt(info.scale), opt(info.radix), int64_t(d.nullable ? 1 : 0),
                                  mssx_value(), text_or_null(d.default_text), int64_t(is_dt ? 9 : info.data_type),
                                  is_dt ? mssx_value(int64_t(3)) : mssx_value(),
                                  d.type.is_string() || d.type.is_binary() ? mssx_value(info.length) : mssx_value(),
                                  static_cast<int64_t>(i + 1), std::string(d.nullable ? "YES" : "NO"),
                                  int64_t(d.nullable && info.ss_type == 56 ? 38 : info.ss_type)});
            }
        }
        out.results.push_back(std::move(r));
        return true;
    }
    return false;
}

void mssx_connection::create_table(const std::string& name, const std::vector<mssx_new_column>& cols)
{
    std::vector<mssx_token> toks = mssx_lex(name, true);
    std::vector<std::string> parts;
    for (size_t i = 0; i + 1 < toks.size(); i += 2) {
        if (!toks[i].is_name()) throw mssx_error(102, "Incorrect syntax near '" + name + "'.", 15);
        parts.push_back(toks[i].text);
    }
    if (parts.empty()) throw mssx_error(102, "Incorrect syntax near '" + name + "'.", 15);
    std::string sql = "CREATE TABLE ";
    for (size_t i = 0; i < parts.size(); ++i) sql += (i ? "." : "") + std::string("[") + parts[i] + "]";
    sql += " (";
    for (size_t i = 0; i < cols.size(); ++i) {
        auto& col = cols[i];
        std::string cname = col.name;
        if (cname.size() >= 2 && cname.front() == '[' && cname.back() == ']') {
            // a bracketed name carries its ']' doubled
            std::string inner = cname.substr(1, cname.size() - 2);
            cname.clear();
            for (size_t k = 0; k < inner.size(); ++k) {
                cname += inner[k];
                if (inner[k] == ']' && k + 1 < inner.size() && inner[k + 1] == ']') ++k;
            }
        }
        std::string esc;
        for (char ch : cname) {
            esc += ch;
            if (ch == ']') esc += ']';
        }
        sql += (i ? ", [" : "[") + esc + "] " + col.type.sql_text();
        if (col.identity) sql += " IDENTITY(1,1)";
        sql += col.nullable && !col.identity ? " NULL" : " NOT NULL";
        if (col.default_sql) sql += " DEFAULT " + *col.default_sql;
    }
    sql += ")";
    mssx_outcome out = execute(sql);
    if (!out.errors.empty()) {
        mssx_error e = out.errors.front();
        if (e.number == 2714) e.number = 2714;
        throw e;
    }
}

void mssx_connection::bulk_insert(const std::string& table, const std::vector<std::optional<mssx_value>>& values,
                                  bool keep_identity)
{
    std::vector<mssx_token> toks = mssx_lex(table, true);
    std::vector<std::string> parts;
    for (size_t i = 0; i + 1 < toks.size(); i += 2) parts.push_back(toks[i].text);
    if (parts.empty()) parts = {table};
    std::string sch, name;
    mssx_split_object(parts, sch, name);
    // the identity value is read and moved on in one write transaction
    state().db.exec("BEGIN IMMEDIATE");
    struct tx_end {
        mssx_sqlite& db;
        ~tx_end()
        {
            if (sqlite3_get_autocommit(db.get()) == 0) sqlite3_exec(db.get(), "COMMIT", nullptr, nullptr, nullptr);
        }
    } end{state().db};
    auto t = catalog().load_table(sch, name);
    if (!t) throw mssx_error(208, "Invalid object name '" + table + "'.");
    // identity values are kept when asked for, or while the session has IDENTITY_INSERT on for the table
    keep_identity = keep_identity || mssx_iequal(state().identity_insert, t->storage());
    std::vector<int> cols;
    std::vector<std::optional<mssx_value>> vals;
    for (size_t i = 0; i < t->columns.size() && i < values.size(); ++i) {
        // rowversions are the server's to give, as in a bulk copy
        if ((t->columns[i].identity && !keep_identity) || !t->columns[i].computed.empty() ||
            mssx_is_rowversion(t->columns[i].type))
            continue;
        cols.push_back(static_cast<int>(i));
        vals.push_back(values[i]);
    }
    mssx_insert_row(*this, *t, cols, vals, keep_identity);
}
