// Queries of the embedded server: running translated SQL, typing result
// columns, the catalog views and the built-in functions.
#include <unistd.h>
#include <algorithm>
#include <cmath>
#include <map>
#include <regex>
#include "platform/embedded/embedded_clock.h"
#include "platform/mssx/mssx_connection_impl.h"
#include "platform/mssx/mssx_decimal.h"
#include "platform/mssx/mssx_expr_functions.h"

namespace {

std::string between(const std::string& s, const std::string& a, const std::string& b)
{
    size_t p = s.find(a);
    if (p == std::string::npos) return {};
    p += a.size();
    size_t q = b.empty() ? s.size() : s.find(b, p);
    return s.substr(p, q == std::string::npos ? std::string::npos : q - p);
}

mssx_connection* conn_of(sqlite3_context* ctx) { return static_cast<mssx_connection*>(sqlite3_user_data(ctx)); }

void fn_getdate(sqlite3_context* ctx, int, sqlite3_value**)
{
    std::string s = embedded::now_text(3);
    sqlite3_result_text(ctx, s.c_str(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
}

void fn_newid(sqlite3_context* ctx, int, sqlite3_value**)
{
    std::string s = mssx_new_guid();
    sqlite3_result_text(ctx, s.c_str(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
}

std::vector<std::string> split_object_text(const std::string& in)
{
    std::vector<std::string> parts;
    std::string cur;
    bool br = false, q = false;
    for (char ch : in) {
        if (br) {
            if (ch == ']')
                br = false;
            else
                cur += ch;
            continue;
        }
        if (q) {
            if (ch == '"')
                q = false;
            else
                cur += ch;
            continue;
        }
        if (ch == '[')
            br = true;
        else if (ch == '"')
            q = true;
        else if (ch == '.') {
            parts.push_back(cur);
            cur.clear();
        } else
            cur += ch;
    }
    parts.push_back(cur);
    return parts;
}

void fn_object_id(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    const unsigned char* t = sqlite3_value_text(argv[0]);
    if (!t) {
        sqlite3_result_null(ctx);
        return;
    }
    auto parts = split_object_text(reinterpret_cast<const char*>(t));
    std::string sch, name;
    mssx_split_object(parts, sch, name);
    auto o = conn_of(ctx)->catalog().find_object(sch, name);
    if (o)
        sqlite3_result_int64(ctx, o->object_id);
    else
        sqlite3_result_null(ctx);
}

void fn_object_name(sqlite3_context* ctx, int, sqlite3_value** argv, bool schema)
{
    auto o = conn_of(ctx)->catalog().object_by_id(static_cast<int64_t>(sqlite3_value_int64(argv[0])));
    if (!o) {
        sqlite3_result_null(ctx);
        return;
    }
    const std::string& s = schema ? o->schema : o->name;
    sqlite3_result_text(ctx, s.c_str(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
}
void fn_object_name1(sqlite3_context* ctx, int n, sqlite3_value** argv)
{
    (void)n;
    fn_object_name(ctx, n, argv, false);
}
void fn_object_schema_name(sqlite3_context* ctx, int n, sqlite3_value** argv) { fn_object_name(ctx, n, argv, true); }

void fn_schema_name(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    if (argc == 0) {
        sqlite3_result_text(ctx, "dbo", 3, SQLITE_STATIC);
        return;
    }
    auto st = conn_of(ctx)->state().db.prepare("SELECT name FROM temp.\"sys.schemas\" WHERE schema_id=?1");
    st.bind(1, static_cast<int64_t>(sqlite3_value_int64(argv[0])));
    if (!st.step()) {
        sqlite3_result_null(ctx);
        return;
    }
    std::string s = st.text(0);
    sqlite3_result_text(ctx, s.c_str(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
}

void fn_db_name(sqlite3_context* ctx, int, sqlite3_value**)
{
    const std::string& s = conn_of(ctx)->database();
    sqlite3_result_text(ctx, s.c_str(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
}

void fn_user_name(sqlite3_context* ctx, int, sqlite3_value**)
{
    const std::string& s = conn_of(ctx)->login();
    sqlite3_result_text(ctx, s.c_str(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
}

void fn_db_id(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    mssx_connection& c = *conn_of(ctx);
    std::string name = c.database();
    if (argc == 1) {
        const unsigned char* t = sqlite3_value_text(argv[0]);
        if (!t) return sqlite3_result_null(ctx);
        name = reinterpret_cast<const char*>(t);
    }
    int64_t id = c.server().database_id(name);
    if (id == 0) return sqlite3_result_null(ctx);
    sqlite3_result_int64(ctx, id);
}

// The text between the first " - " of the banner and the blank after it: "16.0.1000.6".
std::string banner_version(const std::string& banner)
{
    size_t p = banner.find(" - ");
    if (p == std::string::npos) return {};
    p += 3;
    size_t e = banner.find_first_of(" \t\n", p);
    return banner.substr(p, e == std::string::npos ? std::string::npos : e - p);
}

// "Developer Edition (64-bit)" from the banner's last line.
std::string banner_edition(const std::string& banner)
{
    size_t e = banner.find(" Edition");
    if (e == std::string::npos) return "Developer Edition (64-bit)";
    size_t b = banner.find_last_of("\t\n", e);
    b = b == std::string::npos ? 0 : b + 1;
    size_t end = e + 8;
    if (banner.compare(end, 9, " (64-bit)") == 0) end += 9;
    return banner.substr(b, end - b);
}

// The engine edition SERVERPROPERTY reports for an edition name.
constexpr int kEngineEditionStandard = 2;
constexpr int kEngineEditionEnterprise = 3; // also Developer and Evaluation
constexpr int kEngineEditionExpress = 4;
constexpr int kEngineEditionAzure = 5;

void fn_serverproperty(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    mssx_connection& c = *conn_of(ctx);
    const unsigned char* t = sqlite3_value_text(argv[0]);
    if (!t) return sqlite3_result_null(ctx);
    std::string p = mssx_upper(reinterpret_cast<const char*>(t));
    const std::string banner = c.server().version();
    bool azure = mssx_server::is_azure_banner(banner);
    std::string edition = azure ? std::string("SQL Azure") : banner_edition(banner);
    auto text = [&](const std::string& s) {
        sqlite3_result_text(ctx, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
    };
    if (p == "PRODUCTVERSION") return text(banner_version(banner));
    if (p == "PRODUCTMAJORVERSION") return text(std::to_string(mssx_server::major_version_of(banner)));
    if (p == "PRODUCTLEVEL") {
        size_t a = banner.find('('), b = banner.find(')');
        bool level =
            a != std::string::npos && b > a && banner.compare(a, 4, "(X64") != 0 && banner.compare(a, 6, "(Intel") != 0;
        return text(level ? banner.substr(a + 1, b - a - 1) : std::string("RTM"));
    }
    if (p == "EDITION") return text(edition);
    if (p == "ENGINEEDITION") {
        int n = azure                                           ? kEngineEditionAzure
                : edition.find("Express") != std::string::npos  ? kEngineEditionExpress
                : edition.find("Standard") != std::string::npos ? kEngineEditionStandard
                                                                : kEngineEditionEnterprise;
        return sqlite3_result_int(ctx, n);
    }
    if (p == "SERVERNAME" || p == "MACHINENAME" || p == "COMPUTERNAMEPHYSICALNETBIOS") return text("LOCALHOST");
    if (p == "COLLATION") return text("SQL_Latin1_General_CP1_CI_AS");
    if (p == "ISINTEGRATEDSECURITYONLY" || p == "ISCLUSTERED" || p == "ISFULLTEXTINSTALLED" || p == "ISHADRENABLED" ||
        p == "ISSINGLEUSER")
        return sqlite3_result_int(ctx, 0);
    if (p == "PROCESSID") return sqlite3_result_int64(ctx, static_cast<sqlite3_int64>(::getpid()));
    sqlite3_result_null(ctx); // INSTANCENAME of a default instance, and properties the server has not
}

mssx_type type_of_value(const mssx_value& v)
{
    if (auto i = std::get_if<int64_t>(&v))
        return mssx_make_type(*i >= INT32_MIN && *i <= INT32_MAX ? "int" : "bigint", {});
    if (std::holds_alternative<double>(v)) return mssx_make_type("float", {});
    if (std::holds_alternative<mssx_blob>(v)) return mssx_make_type("varbinary", {"max"});
    return mssx_make_type("nvarchar", {"4000"});
}

} // namespace

void mssx_register_functions(mssx_connection& c)
{
    sqlite3* db = c.state().db.get();
    int flags = SQLITE_UTF8;
    sqlite3_create_function(db, "mssx_getdate", 0, flags, &c, fn_getdate, nullptr, nullptr);
    sqlite3_create_function(db, "mssx_newid", 0, flags, &c, fn_newid, nullptr, nullptr);
    sqlite3_create_function(db, "object_id", 1, flags, &c, fn_object_id, nullptr, nullptr);
    sqlite3_create_function(db, "object_id", 2, flags, &c, fn_object_id, nullptr, nullptr);
    sqlite3_create_function(db, "object_name", 1, flags, &c, fn_object_name1, nullptr, nullptr);
    sqlite3_create_function(db, "object_schema_name", 1, flags, &c, fn_object_schema_name, nullptr, nullptr);
    sqlite3_create_function(db, "schema_name", 0, flags, &c, fn_schema_name, nullptr, nullptr);
    sqlite3_create_function(db, "schema_name", 1, flags, &c, fn_schema_name, nullptr, nullptr);
    sqlite3_create_function(db, "db_name", 0, flags, &c, fn_db_name, nullptr, nullptr);
    sqlite3_create_function(db, "user_name", 0, flags, &c, fn_user_name, nullptr, nullptr);
    sqlite3_create_function(db, "suser_sname", 0, flags, &c, fn_user_name, nullptr, nullptr);
    sqlite3_create_function(db, "db_id", 0, flags, &c, fn_db_id, nullptr, nullptr);
    sqlite3_create_function(db, "db_id", 1, flags, &c, fn_db_id, nullptr, nullptr);
    sqlite3_create_function(db, "serverproperty", 1, flags, &c, fn_serverproperty, nullptr, nullptr);
    mssx_register_expression_functions(db);
}

void mssx_rethrow_sqlite(const mssx_error& e, const std::string& sql)
{
    if (e.number != 50000 && e.number != -2627) throw e;
    std::string m = e.what();
    std::string x;
    if (!(x = between(m, "no such table: ", "")).empty()) throw mssx_error(208, "Invalid object name '" + x + "'.", 16);
    if (!(x = between(m, "no such column: ", "")).empty()) {
        size_t dot = x.rfind('.');
        throw mssx_error(207, "Invalid column name '" + (dot == std::string::npos ? x : x.substr(dot + 1)) + "'.", 16);
    }
    if (!(x = between(m, "no such function: ", "")).empty())
        throw mssx_error(195, "'" + x + "' is not a recognized built-in function name.", 15);
    if (!(x = between(m, "ambiguous column name: ", "")).empty())
        throw mssx_error(209, "Ambiguous column name '" + x + "'.", 16);
    if (m.find("UNIQUE constraint failed") != std::string::npos)
        throw mssx_error(2627, "Violation of UNIQUE KEY constraint. Cannot insert duplicate key.", 14);
    if (!(x = between(m, "near \"", "\": syntax error")).empty())
        throw mssx_error(102, "Incorrect syntax near '" + x + "'.", 15);
    // what the translation made nests deeper than SQLite parses
    if (m.find("parser stack overflow") != std::string::npos ||
        m.find("Expression tree is too large") != std::string::npos)
        throw mssx_error(191,
                         "Some part of your SQL statement is nested too deeply. Rewrite the query or break it up into "
                         "smaller queries.",
                         15);
    if (m.find("misuse of aggregate") != std::string::npos || m.find("GROUP BY") != std::string::npos)
        throw mssx_error(8120,
                         "Column is invalid in the select list because it is not contained in either an aggregate "
                         "function or the GROUP BY clause.",
                         16);
    (void)sql;
    throw mssx_error(102, "Incorrect syntax: " + m, 15);
}

void mssx_apply_item_types(mssx_result& r, const std::vector<std::optional<mssx_type>>& types)
{
    if (r.rest) return; // streamed rows are plain columns, typed by their tables
    for (size_t i = 0; i < types.size() && i < r.columns.size(); ++i) {
        if (!types[i]) continue;
        const mssx_type& t = *types[i];
        if (!t.is_exact_decimal() && !t.is_string() && !t.is_float() && !t.is_datetime()) continue;
        r.columns[i].type = t;
        if (!t.is_exact_decimal()) continue;
        // binary noise of SQLite's arithmetic goes at the result's scale
        for (auto& row : r.rows) {
            mssx_decimal d;
            if (!mssx_is_null(row[i]) && !std::holds_alternative<mssx_blob>(row[i]) &&
                mssx_decimal_from(row[i], t.scale, d))
                row[i] = mssx_decimal_value(d);
        }
    }
}

namespace {

// SQLite's float arithmetic overflows to an infinity; the server refuses it.
void mssx_check_finite(const std::vector<mssx_value>& row)
{
    for (const auto& v : row)
        if (auto d = std::get_if<double>(&v); d && !std::isfinite(*d))
            throw mssx_error(8115, "Arithmetic overflow error converting expression to data type float.", 16);
}

// A query's statement stepped as the client reads.
class query_rows final : public mssx_row_source {
public:
    query_rows(mssx_stmt st, std::string sql) : st_(std::move(st)), sql_(std::move(sql)) {}
    bool next(std::vector<mssx_value>& row) override
    {
        if (done_) return false;
        try {
            if (!st_.step()) {
                done_ = true;
                st_ = mssx_stmt(); // ends the read: the connection's snapshot moves on
                return false;
            }
        } catch (const mssx_error& e) {
            done_ = true;
            st_ = mssx_stmt();
            mssx_rethrow_sqlite(e, sql_);
        }
        int n = st_.columns();
        row.clear();
        row.reserve(static_cast<size_t>(n));
        for (int i = 0; i < n; ++i) row.push_back(st_.column(i));
        mssx_check_finite(row);
        return true;
    }

private:
    mssx_stmt st_;
    std::string sql_;
    bool done_ = false;
};

} // namespace

mssx_result mssx_run_query(mssx_connection& c, const std::string& sql, bool stream)
{
    auto& s = c.state();
    mssx_stmt st;
    try {
        st = s.db.prepare(sql);
    } catch (const mssx_error& e) {
        mssx_rethrow_sqlite(e, sql);
    }
    mssx_result r;
    int n = st.columns();
    std::vector<bool> typed(static_cast<size_t>(n), false);
    std::map<std::string, std::optional<mssx_table_def>> tables;
    for (int i = 0; i < n; ++i) {
        mssx_result_column col;
        const char* name = sqlite3_column_name(st.get(), i);
        const char* origin = sqlite3_column_origin_name(st.get(), i);
        const char* table = sqlite3_column_table_name(st.get(), i);
        col.name = name ? name : "";
        if (!origin && col.name.find_first_of("() +-*/'") != std::string::npos) col.name.clear();
        if (origin && table) {
            std::string tab = table;
            size_t dot = tab.find('.');
            if (dot != std::string::npos && !tab.starts_with("sys.") && !tab.starts_with("INFORMATION_SCHEMA.")) {
                auto it = tables.find(tab);
                if (it == tables.end())
                    it = tables.emplace(tab, c.catalog().load_table(tab.substr(0, dot), tab.substr(dot + 1))).first;
                if (it->second) {
                    int ci = it->second->column_index(origin);
                    if (ci >= 0) {
                        col.type = it->second->columns[static_cast<size_t>(ci)].type;
                        col.nullable = it->second->columns[static_cast<size_t>(ci)].nullable;
                        col.identity = it->second->columns[static_cast<size_t>(ci)].identity;
                        typed[static_cast<size_t>(i)] = true;
                    }
                }
            }
        }
        if (!typed[static_cast<size_t>(i)]) {
            const char* decl = sqlite3_column_decltype(st.get(), i);
            if (decl && *decl) {
                try {
                    col.type = mssx_col("", decl).type;
                    typed[static_cast<size_t>(i)] = true;
                } catch (const mssx_error&) {}
            }
        }
        r.columns.push_back(col);
    }
    if (stream && std::all_of(typed.begin(), typed.end(), [](bool t) { return t; })) {
        r.rest = std::make_shared<query_rows>(std::move(st), sql);
        return r;
    }
    try {
        while (st.step()) {
            std::vector<mssx_value> row;
            row.reserve(static_cast<size_t>(n));
            for (int i = 0; i < n; ++i) row.push_back(st.column(i));
            mssx_check_finite(row);
            r.rows.push_back(std::move(row));
        }
    } catch (const mssx_error& e) {
        mssx_rethrow_sqlite(e, sql);
    }
    for (int i = 0; i < n; ++i) {
        if (typed[static_cast<size_t>(i)]) continue;
        mssx_type t = mssx_make_type("int", {});
        bool set = false;
        for (auto& row : r.rows) {
            if (mssx_is_null(row[static_cast<size_t>(i)])) continue;
            mssx_type vt = type_of_value(row[static_cast<size_t>(i)]);
            if (!set || (t.name == "int" && vt.name != "int")) t = vt;
            set = true;
        }
        if (!set) t = mssx_make_type("nvarchar", {"4000"});
        r.columns[static_cast<size_t>(i)].type = t;
    }
    return r;
}

std::string mssx_resolve_for_query(mssx_connection& c, const std::vector<std::string>& in)
{
    std::vector<std::string> parts = in;
    std::string shown;
    for (auto& x : in) shown += (shown.empty() ? "" : ".") + x;
    auto invalid = [&]() -> std::string { throw mssx_error(208, "Invalid object name '" + shown + "'.", 16); };
    if (parts.size() > 3) invalid();
    // One look at the server's version for both.
    const std::string banner = c.server().version();
    bool azure = mssx_server::is_azure_banner(banner);
    int major = mssx_server::major_version_of(banner);
    if (parts.size() == 3) {
        if (azure && !mssx_iequal(parts[0], c.database()))
            throw mssx_error(40515,
                             "Reference to database and/or server name in '" + shown +
                                 "' is not supported in this version of SQL Server.",
                             15);
        bool system = mssx_iequal(parts[1], "sys") || mssx_iequal(parts[1], "INFORMATION_SCHEMA") ||
                      (mssx_iequal(parts[2], "sysdatabases") || mssx_iequal(parts[2], "sysaltfiles"));
        if (!system && !mssx_iequal(parts[0], c.database()))
            throw mssx_error(50000, "Queries across databases ('" + shown + "') are not supported by this server.", 16);
        parts.erase(parts.begin());
    }
    std::string schema = parts.size() == 2 ? parts[0] : std::string();
    std::string name = parts.back();
    std::string lname;
    for (char ch : name) lname += static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    if (mssx_iequal(schema, "sys")) {
        if (major <= 8) invalid();
        static const char* views[] = {"databases",
                                      "sysdatabases",
                                      "schemas",
                                      "tables",
                                      "views",
                                      "objects",
                                      "columns",
                                      "indexes",
                                      "index_columns",
                                      "foreign_keys",
                                      "foreign_key_columns",
                                      "identity_columns",
                                      "types",
                                      "check_constraints",
                                      "default_constraints"};
        for (const char* v : views)
            if (lname == v) return mssx_sq_ident(std::string("sys.") + v);
        invalid();
    }
    if (mssx_iequal(schema, "INFORMATION_SCHEMA")) {
        std::string up = mssx_upper(name);
        for (const char* v : {"TABLES", "COLUMNS", "VIEWS", "SCHEMATA"})
            if (up == v) return mssx_sq_ident(std::string("INFORMATION_SCHEMA.") + v);
        invalid();
    }
    if ((schema.empty() || mssx_iequal(schema, "dbo")) &&
        (lname == "sysobjects" || lname == "sysdatabases" || lname == "sysaltfiles"))
        return mssx_sq_ident(lname);
    if (schema.empty()) schema = "dbo";
    auto o = c.catalog().find_object(schema, name);
    if (!o || (o->type != 'U' && o->type != 'V')) invalid();
    return mssx_sq_ident(o->schema + "." + o->name);
}

namespace {

// What the system views depend on: this connection's own writes, other
// connections' commits, the schema, and the server's database list. Equal keys
// mean the views built last time still hold, so a catalog query costs nothing
// per table of the database.
std::string system_views_key(mssx_connection& c)
{
    auto& db = c.state().db;
    auto& cat = c.catalog();
    std::string key = cat.pragma_text("PRAGMA main.data_version") + "/" +
                      cat.pragma_text("PRAGMA main.schema_version") + "/" +
                      std::to_string(sqlite3_total_changes64(db.get()));
    for (auto& d : c.server().databases()) key += "/" + d;
    return key;
}

} // namespace

void mssx_refresh_system_views(mssx_connection& c)
{
    auto& db = c.state().db;
    auto& cat = c.catalog();
    if (!c.state().system_views_key.empty() && c.state().system_views_key == system_views_key(c)) return;
    c.state().system_views_key.clear();
    db.exec(R"SQL(
DROP TABLE IF EXISTS temp."sys.databases"; DROP TABLE IF EXISTS temp."sys.sysdatabases"; DROP TABLE IF EXISTS temp.sysdatabases;
DROP TABLE IF EXISTS temp.sysaltfiles; DROP TABLE IF EXISTS temp."sys.schemas"; DROP TABLE IF EXISTS temp."sys.tables";
DROP TABLE IF EXISTS temp."sys.views"; DROP TABLE IF EXISTS temp."sys.objects"; DROP TABLE IF EXISTS temp."sys.columns";
DROP TABLE IF EXISTS temp."sys.indexes"; DROP TABLE IF EXISTS temp."sys.index_columns"; DROP TABLE IF EXISTS temp."sys.foreign_keys";
DROP TABLE IF EXISTS temp."sys.foreign_key_columns"; DROP TABLE IF EXISTS temp."sys.identity_columns"; DROP TABLE IF EXISTS temp.sysobjects;
DROP TABLE IF EXISTS temp."INFORMATION_SCHEMA.TABLES"; DROP TABLE IF EXISTS temp."INFORMATION_SCHEMA.COLUMNS";
DROP TABLE IF EXISTS temp."INFORMATION_SCHEMA.VIEWS"; DROP TABLE IF EXISTS temp."INFORMATION_SCHEMA.SCHEMATA"; DROP TABLE IF EXISTS temp."sys.types";
DROP TABLE IF EXISTS temp."sys.check_constraints"; DROP TABLE IF EXISTS temp."sys.default_constraints";
CREATE TEMP TABLE "sys.check_constraints"(object_id int, name "nvarchar(128)" COLLATE NOCASE, schema_id int, parent_object_id int, type "char(2)",
  is_disabled bit, definition "nvarchar(4000)");
CREATE TEMP TABLE "sys.default_constraints"(object_id int, name "nvarchar(128)" COLLATE NOCASE, schema_id int, parent_object_id int, type "char(2)",
  parent_column_id int, definition "nvarchar(4000)");
CREATE TEMP TABLE "sys.types"(name "nvarchar(128)" COLLATE NOCASE, system_type_id tinyint, user_type_id int, schema_id int, max_length smallint,
  precision tinyint, scale tinyint, is_nullable bit, is_user_defined bit);
CREATE TEMP TABLE "sys.databases"(name "nvarchar(128)" COLLATE NOCASE, database_id int, dbid smallint, create_date datetime);
CREATE TEMP TABLE "sys.sysdatabases"(name "nvarchar(128)" COLLATE NOCASE, dbid smallint, crdate datetime);
CREATE TEMP TABLE sysdatabases(name "nvarchar(128)" COLLATE NOCASE, dbid smallint, crdate datetime);
CREATE TEMP TABLE sysaltfiles(dbid smallint, fileid smallint, name "nvarchar(128)" COLLATE NOCASE, filename "nvarchar(260)" COLLATE NOCASE);
CREATE TEMP TABLE "sys.schemas"(name "nvarchar(128)" COLLATE NOCASE, schema_id int, principal_id int);
CREATE TEMP TABLE "sys.tables"(object_id int, name "nvarchar(128)" COLLATE NOCASE, schema_id int, type "char(2)" COLLATE NOCASE, is_ms_shipped bit, create_date datetime);
CREATE TEMP TABLE "sys.views"(object_id int, name "nvarchar(128)" COLLATE NOCASE, schema_id int, type "char(2)" COLLATE NOCASE, is_ms_shipped bit);
CREATE TEMP TABLE "sys.objects"(object_id int, name "nvarchar(128)" COLLATE NOCASE, schema_id int, parent_object_id int, type "char(2)" COLLATE NOCASE, is_ms_shipped bit);
CREATE TEMP TABLE "sys.columns"(object_id int, column_id int, name "nvarchar(128)" COLLATE NOCASE, max_length smallint, precision tinyint, scale tinyint, is_nullable bit, is_identity bit);
CREATE TEMP TABLE "sys.indexes"(object_id int, index_id int, name "nvarchar(128)" COLLATE NOCASE, type tinyint, is_unique bit, is_primary_key bit, is_unique_constraint bit,
  has_filter bit, filter_definition "nvarchar(max)");
CREATE TEMP TABLE "sys.index_columns"(object_id int, index_id int, index_column_id int, column_id int, key_ordinal tinyint, is_descending_key bit, is_included_column bit);
CREATE TEMP TABLE "sys.foreign_keys"(object_id int, name "nvarchar(128)" COLLATE NOCASE, schema_id int, parent_object_id int, referenced_object_id int,
  delete_referential_action tinyint, delete_referential_action_desc "nvarchar(60)", update_referential_action tinyint, update_referential_action_desc "nvarchar(60)", is_disabled bit);
CREATE TEMP TABLE "sys.foreign_key_columns"(constraint_object_id int, constraint_column_id int, parent_object_id int, parent_column_id int, referenced_object_id int, referenced_column_id int);
CREATE TEMP TABLE "sys.identity_columns"(object_id int, column_id int, name "nvarchar(128)" COLLATE NOCASE, seed_value int, increment_value int, last_value int);
CREATE TEMP TABLE sysobjects(id int, name "nvarchar(128)" COLLATE NOCASE, xtype "char(2)" COLLATE NOCASE, type "char(2)" COLLATE NOCASE, uid smallint, sysstat smallint, parent_obj int);
CREATE TEMP TABLE "INFORMATION_SCHEMA.TABLES"(TABLE_CATALOG "nvarchar(128)" COLLATE NOCASE, TABLE_SCHEMA "nvarchar(128)" COLLATE NOCASE, TABLE_NAME "nvarchar(128)" COLLATE NOCASE, TABLE_TYPE "varchar(10)" COLLATE NOCASE);
CREATE TEMP TABLE "INFORMATION_SCHEMA.COLUMNS"(TABLE_CATALOG "nvarchar(128)" COLLATE NOCASE, TABLE_SCHEMA "nvarchar(128)" COLLATE NOCASE, TABLE_NAME "nvarchar(128)" COLLATE NOCASE, COLUMN_NAME "nvarchar(128)" COLLATE NOCASE,
  ORDINAL_POSITION int, COLUMN_DEFAULT "nvarchar(4000)", IS_NULLABLE "varchar(3)", DATA_TYPE "nvarchar(128)" COLLATE NOCASE, CHARACTER_MAXIMUM_LENGTH int,
  NUMERIC_PRECISION tinyint, NUMERIC_SCALE int, DATETIME_PRECISION smallint);
CREATE TEMP TABLE "INFORMATION_SCHEMA.VIEWS"(TABLE_CATALOG "nvarchar(128)" COLLATE NOCASE, TABLE_SCHEMA "nvarchar(128)" COLLATE NOCASE, TABLE_NAME "nvarchar(128)" COLLATE NOCASE, VIEW_DEFINITION "nvarchar(4000)", CHECK_OPTION "varchar(7)", IS_UPDATABLE "varchar(2)");
CREATE TEMP TABLE "INFORMATION_SCHEMA.SCHEMATA"(CATALOG_NAME "nvarchar(128)" COLLATE NOCASE, SCHEMA_NAME "nvarchar(128)" COLLATE NOCASE, SCHEMA_OWNER "nvarchar(128)" COLLATE NOCASE);
)SQL");
    // databases
    {
        auto ins1 = db.prepare(R"SQL(INSERT INTO temp."sys.databases" VALUES(?1, ?2, ?2, NULL))SQL");
        auto ins2 = db.prepare(R"SQL(INSERT INTO temp."sys.sysdatabases" VALUES(?1, ?2, NULL))SQL");
        auto ins3 = db.prepare(R"SQL(INSERT INTO temp.sysdatabases VALUES(?1, ?2, NULL))SQL");
        int64_t id = 0;
        for (auto& d : c.server().databases()) {
            ++id;
            for (auto* st : {&ins1, &ins2, &ins3}) {
                st->reset();
                st->bind(1, d).bind(2, id);
                st->step();
            }
        }
        auto f = db.prepare("INSERT INTO temp.sysaltfiles VALUES(1, 1, 'master', ?1)");
        f.bind(1, c.server().dir() + "/master.mdf");
        f.step();
    }
    // schemas
    std::map<std::string, int64_t> schema_ids;
    {
        auto ins = db.prepare(R"SQL(INSERT INTO temp."sys.schemas" VALUES(?1, ?2, 1))SQL");
        auto sch = db.prepare(R"SQL(INSERT INTO temp."INFORMATION_SCHEMA.SCHEMATA" VALUES(?1, ?2, 'dbo'))SQL");
        int64_t next = 5;
        for (auto& name : cat.schemas()) {
            int64_t id = mssx_iequal(name, "dbo")                  ? 1
                         : mssx_iequal(name, "guest")              ? 2
                         : mssx_iequal(name, "INFORMATION_SCHEMA") ? 3
                         : mssx_iequal(name, "sys")                ? 4
                                                                   : next++;
            schema_ids[mssx_upper(name)] = id;
            ins.reset();
            ins.bind(1, name).bind(2, id);
            ins.step();
            sch.reset();
            sch.bind(1, c.database()).bind(2, name);
            sch.step();
        }
    }
    auto sid = [&](const std::string& s) {
        auto it = schema_ids.find(mssx_upper(s));
        return it == schema_ids.end() ? int64_t(1) : it->second;
    };
    auto ins_obj = db.prepare(R"SQL(INSERT INTO temp."sys.objects" VALUES(?1, ?2, ?3, ?4, ?5, 0))SQL");
    auto ins_sysobj = db.prepare("INSERT INTO temp.sysobjects VALUES(?1, ?2, ?3, ?3, 1, ?4, ?5)");
    auto obj = [&](int64_t id, const std::string& name, const std::string& schema, int64_t parent,
                   const std::string& type, int64_t sysstat) {
        ins_obj.reset();
        ins_obj.bind(1, id).bind(2, name).bind(3, sid(schema)).bind(4, parent).bind(5, type);
        ins_obj.step();
        ins_sysobj.reset();
        ins_sysobj.bind(1, id).bind(2, name).bind(3, type).bind(4, sysstat).bind(5, parent);
        ins_sysobj.step();
    };
    int64_t constraint_id = 1000000;
    auto ins_tab = db.prepare(R"SQL(INSERT INTO temp."sys.tables" VALUES(?1, ?2, ?3, 'U', 0, ?4))SQL");
    auto ins_col = db.prepare(R"SQL(INSERT INTO temp."sys.columns" VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8))SQL");
    auto ins_idx = db.prepare(R"SQL(INSERT INTO temp."sys.indexes" VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9))SQL");
    auto ins_ic = db.prepare(R"SQL(INSERT INTO temp."sys.index_columns" VALUES(?1, ?2, ?3, ?4, ?3, ?5, 0))SQL");
    auto ins_fk =
        db.prepare(R"SQL(INSERT INTO temp."sys.foreign_keys" VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10))SQL");
    auto ins_fkc = db.prepare(R"SQL(INSERT INTO temp."sys.foreign_key_columns" VALUES(?1, ?2, ?3, ?4, ?5, ?6))SQL");
    auto ins_ident = db.prepare(R"SQL(INSERT INTO temp."sys.identity_columns" VALUES(?1, ?2, ?3, ?4, ?5, ?6))SQL");
    auto ins_itab = db.prepare(R"SQL(INSERT INTO temp."INFORMATION_SCHEMA.TABLES" VALUES(?1, ?2, ?3, ?4))SQL");
    auto ins_icol = db.prepare(
        R"SQL(INSERT INTO temp."INFORMATION_SCHEMA.COLUMNS" VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12))SQL");
    auto icol = [&](const std::string& schema, const std::string& table, int64_t ord, const std::string& name,
                    const mssx_type& t, bool nullable, const std::string& def) {
        ins_icol.reset();
        ins_icol.bind(1, c.database())
            .bind(2, schema)
            .bind(3, table)
            .bind(4, name)
            .bind(5, ord)
            .bind(6, def.empty() ? mssx_value() : mssx_value(def))
            .bind(7, std::string(nullable ? "YES" : "NO"))
            .bind(8, t.name);
        if (t.is_string() || t.is_binary())
            ins_icol.bind(9, t.length < 0 ? int64_t(-1) : t.length * (t.is_nchar() && t.name != "xml" ? 1 : 1));
        if (t.is_integer() || t.is_exact_decimal() || t.is_float()) {
            int p = t.name == "int"        ? 10
                    : t.name == "bigint"   ? 19
                    : t.name == "smallint" ? 5
                    : t.name == "tinyint"  ? 3
                                           : t.precision;
            if (t.name != "bit") ins_icol.bind(10, int64_t(p)).bind(11, int64_t(t.is_float() ? 0 : t.scale));
        }
        if (t.is_datetime() && t.name != "date") ins_icol.bind(12, int64_t(t.scale));
        ins_icol.step();
    };
    auto ins_ck = db.prepare(R"SQL(INSERT INTO temp."sys.check_constraints" VALUES(?1, ?2, ?3, ?4, 'C', ?5, ?6))SQL");
    auto ins_df = db.prepare(R"SQL(INSERT INTO temp."sys.default_constraints" VALUES(?1, ?2, ?3, ?4, 'D', ?5, ?6))SQL");
    std::map<std::string, int64_t> table_ids;
    std::vector<mssx_table_def> defs;
    for (auto& o : cat.objects('U')) {
        auto t = cat.load_table(o.schema, o.name);
        if (!t) continue;
        table_ids[mssx_upper(t->schema + "." + t->name)] = t->object_id;
        defs.push_back(std::move(*t));
    }
    for (auto& t : defs) {
        obj(t.object_id, t.name, t.schema, 0, "U", 3);
        ins_tab.reset();
        ins_tab.bind(1, t.object_id).bind(2, t.name).bind(3, sid(t.schema)).bind(4, t.created);
        ins_tab.step();
        ins_itab.reset();
        ins_itab.bind(1, c.database()).bind(2, t.schema).bind(3, t.name).bind(4, std::string("BASE TABLE"));
        ins_itab.step();
        for (size_t i = 0; i < t.columns.size(); ++i) {
            auto& d = t.columns[i];
            ins_col.reset();
            int64_t maxlen = d.type.length < 0 ? -1 : d.type.is_nchar() ? d.type.length * 2 : d.type.length;
            ins_col.bind(1, t.object_id)
                .bind(2, static_cast<int64_t>(i + 1))
                .bind(3, d.name)
                .bind(4, maxlen)
                .bind(5, static_cast<int64_t>(d.type.precision))
                .bind(6, static_cast<int64_t>(d.type.scale))
                .bind(7, static_cast<int64_t>(d.nullable))
                .bind(8, static_cast<int64_t>(d.identity));
            ins_col.step();
            icol(t.schema, t.name, static_cast<int64_t>(i + 1), d.name, d.type, d.nullable, d.default_text);
            if (d.identity) {
                ins_ident.reset();
                ins_ident.bind(1, t.object_id)
                    .bind(2, static_cast<int64_t>(i + 1))
                    .bind(3, d.name)
                    .bind(4, d.seed)
                    .bind(5, d.increment)
                    .bind(6, t.ident_last ? mssx_value(*t.ident_last) : mssx_value());
                ins_ident.step();
            }
            if (!d.default_name.empty()) {
                obj(++constraint_id, d.default_name, t.schema, t.object_id, "D", 0);
                ins_df.reset();
                ins_df.bind(1, constraint_id)
                    .bind(2, d.default_name)
                    .bind(3, sid(t.schema))
                    .bind(4, t.object_id)
                    .bind(5, static_cast<int64_t>(i + 1))
                    .bind(6, d.default_text);
                ins_df.step();
            }
        }
        int64_t index_id = 1;
        for (auto& ix : t.indexes) {
            int64_t id = ix.clustered ? 1 : ++index_id;
            ins_idx.reset();
            ins_idx.bind(1, t.object_id)
                .bind(2, id)
                .bind(3, ix.name)
                .bind(4, int64_t(ix.clustered ? 1 : 2))
                .bind(5, static_cast<int64_t>(ix.unique))
                .bind(6, static_cast<int64_t>(ix.primary))
                .bind(7, static_cast<int64_t>(ix.constraint))
                .bind(8, static_cast<int64_t>(!ix.filter.empty()))
                .bind(9, ix.filter.empty() ? mssx_value() : mssx_value(ix.filter));
            ins_idx.step();
            for (size_t k = 0; k < ix.columns.size(); ++k) {
                ins_ic.reset();
                ins_ic.bind(1, t.object_id)
                    .bind(2, id)
                    .bind(3, static_cast<int64_t>(k + 1))
                    .bind(4, static_cast<int64_t>(t.column_index(ix.columns[k]) + 1))
                    .bind(5, static_cast<int64_t>(ix.is_descending(k)));
                ins_ic.step();
            }
            if (ix.primary || ix.constraint)
                obj(++constraint_id, ix.name, t.schema, t.object_id, ix.primary ? "PK" : "UQ", 0);
        }
        for (auto& fk : t.fks) {
            int64_t id = ++constraint_id;
            obj(id, fk.name, t.schema, t.object_id, "F", 0);
            auto rit = table_ids.find(mssx_upper(fk.ref_schema + "." + fk.ref_table));
            int64_t ref_id = rit == table_ids.end() ? 0 : rit->second;
            auto code = [](const std::string& a) {
                return int64_t(a == "CASCADE" ? 1 : a == "SET NULL" ? 2 : a == "SET DEFAULT" ? 3 : 0);
            };
            auto desc = [](std::string a) {
                std::replace(a.begin(), a.end(), ' ', '_');
                return a;
            };
            ins_fk.reset();
            ins_fk.bind(1, id)
                .bind(2, fk.name)
                .bind(3, sid(t.schema))
                .bind(4, t.object_id)
                .bind(5, ref_id)
                .bind(6, code(fk.on_delete))
                .bind(7, desc(fk.on_delete))
                .bind(8, code(fk.on_update))
                .bind(9, desc(fk.on_update))
                .bind(10, static_cast<int64_t>(fk.disabled));
            ins_fk.step();
            const mssx_table_def* ref = nullptr;
            for (auto& d : defs)
                if (d.object_id == ref_id) ref = &d;
            for (size_t k = 0; k < fk.columns.size(); ++k) {
                ins_fkc.reset();
                ins_fkc.bind(1, id)
                    .bind(2, static_cast<int64_t>(k + 1))
                    .bind(3, t.object_id)
                    .bind(4, static_cast<int64_t>(t.column_index(fk.columns[k]) + 1))
                    .bind(5, ref_id)
                    .bind(6, static_cast<int64_t>(ref ? ref->column_index(fk.ref_columns[k]) + 1 : 0));
                ins_fkc.step();
            }
        }
        for (auto& ck : t.checks) {
            obj(++constraint_id, ck.name, t.schema, t.object_id, "C", 0);
            ins_ck.reset();
            ins_ck.bind(1, constraint_id)
                .bind(2, ck.name)
                .bind(3, sid(t.schema))
                .bind(4, t.object_id)
                .bind(5, static_cast<int64_t>(ck.disabled))
                .bind(6, ck.text);
            ins_ck.step();
        }
    }
    auto ins_view = db.prepare(R"SQL(INSERT INTO temp."sys.views" VALUES(?1, ?2, ?3, 'V', 0))SQL");
    auto ins_iview =
        db.prepare(R"SQL(INSERT INTO temp."INFORMATION_SCHEMA.VIEWS" VALUES(?1, ?2, ?3, ?4, 'NONE', 'NO'))SQL");
    for (auto& v : cat.objects('V')) {
        obj(v.object_id, v.name, v.schema, 0, "V", 2);
        ins_view.reset();
        ins_view.bind(1, v.object_id).bind(2, v.name).bind(3, sid(v.schema));
        ins_view.step();
        std::string def = cat.module_text(v.schema, v.name);
        ins_iview.reset();
        ins_iview.bind(1, c.database())
            .bind(2, v.schema)
            .bind(3, v.name)
            .bind(4, def.size() > 4000 ? def.substr(0, 4000) : def);
        ins_iview.step();
        ins_itab.reset();
        ins_itab.bind(1, c.database()).bind(2, v.schema).bind(3, v.name).bind(4, std::string("VIEW"));
        ins_itab.step();
        try {
            mssx_result r = mssx_run_query(c, "SELECT * FROM " + mssx_sq_ident(v.schema + "." + v.name) + " LIMIT 0");
            for (size_t i = 0; i < r.columns.size(); ++i)
                icol(v.schema, v.name, static_cast<int64_t>(i + 1), r.columns[i].name, r.columns[i].type,
                     r.columns[i].nullable, "");
        } catch (const mssx_error&) {
            // a view that no longer compiles has no column list
        }
    }
    for (auto& p : cat.objects('P')) obj(p.object_id, p.name, p.schema, 0, "P", 4);
    for (auto& f : cat.objects('F')) obj(f.object_id, f.name, f.schema, 0, "FN", 0);
    for (auto& tr : cat.objects('T')) obj(tr.object_id, tr.name, tr.schema, 0, "TR", 0);
    // types: the built-in ones (schema sys) and the alias types of the database
    {
        static const std::pair<const char*, int> builtin[] = {{"image", 34},
                                                              {"text", 35},
                                                              {"uniqueidentifier", 36},
                                                              {"date", 40},
                                                              {"time", 41},
                                                              {"datetime2", 42},
                                                              {"datetimeoffset", 43},
                                                              {"tinyint", 48},
                                                              {"smallint", 52},
                                                              {"int", 56},
                                                              {"smalldatetime", 58},
                                                              {"real", 59},
                                                              {"money", 60},
                                                              {"datetime", 61},
                                                              {"float", 62},
                                                              {"sql_variant", 98},
                                                              {"ntext", 99},
                                                              {"bit", 104},
                                                              {"decimal", 106},
                                                              {"numeric", 108},
                                                              {"smallmoney", 122},
                                                              {"bigint", 127},
                                                              {"varbinary", 165},
                                                              {"varchar", 167},
                                                              {"binary", 173},
                                                              {"char", 175},
                                                              {"timestamp", 189},
                                                              {"nvarchar", 231},
                                                              {"nchar", 239},
                                                              {"xml", 241},
                                                              {"sysname", 231}};
        auto ins = db.prepare(R"SQL(INSERT INTO temp."sys.types" VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9))SQL");
        std::map<std::string, int64_t> ids;
        int64_t user_id = 256;
        for (auto& [name, id] : builtin) {
            mssx_type t = mssx_make_type(name, {});
            int64_t uid = std::string(name) == "sysname" ? 256 : id;
            ids[name] = id;
            ins.reset();
            ins.bind(1, std::string(name))
                .bind(2, int64_t(id))
                .bind(3, uid)
                .bind(4, sid("sys"))
                .bind(5, t.length < 0   ? int64_t(-1)
                         : t.is_nchar() ? t.length * 2
                                        : t.length)
                .bind(6, int64_t(t.precision))
                .bind(7, int64_t(t.scale))
                .bind(8, int64_t(1))
                .bind(9, int64_t(0));
            ins.step();
        }
        for (auto& a : cat.alias_types()) {
            mssx_type t = mssx_col("", a.base).type;
            ins.reset();
            ins.bind(1, a.name)
                .bind(2, ids.count(t.name) ? ids[t.name] : int64_t(0))
                .bind(3, ++user_id)
                .bind(4, sid(a.schema))
                .bind(5, t.length < 0   ? int64_t(-1)
                         : t.is_nchar() ? t.length * 2
                                        : t.length)
                .bind(6, int64_t(t.precision))
                .bind(7, int64_t(t.scale))
                .bind(8, int64_t(a.nullable))
                .bind(9, int64_t(1));
            ins.step();
        }
    }
    c.state().system_views_key = system_views_key(c);
}
