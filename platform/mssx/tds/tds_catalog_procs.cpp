#include "platform/mssx/tds/tds_catalog_procs.h"
#include <algorithm>
#include <cctype>
#include <optional>

namespace {

// ODBC's SQL type codes as the catalog procedures report them
constexpr int64_t kSqlBit = -7, kSqlTinyint = -6, kSqlBigint = -5, kSqlLongVarbinary = -4, kSqlVarbinary = -3,
                  kSqlBinary = -2, kSqlLongVarchar = -1, kSqlGuid = -11, kSqlWLongVarchar = -10, kSqlWVarchar = -9,
                  kSqlWChar = -8, kSqlSsXml = -152, kSqlSsTime2 = -154, kSqlSsTimestampOffset = -155, kSqlChar = 1,
                  kSqlNumeric = 2, kSqlDecimal = 3, kSqlInteger = 4, kSqlSmallint = 5, kSqlFloat = 6, kSqlReal = 7,
                  kSqlVarchar = 12, kSqlTypeDate = 91, kSqlTypeTimestamp = 93, kSqlDatetime = 9;
constexpr int64_t kSqlTableStat = 0, kSqlIndexClustered = 1, kSqlIndexOther = 3;
constexpr int64_t kSqlScopeSession = 2, kSqlPcNotPseudo = 1;
constexpr int64_t kFkCascade = 0, kFkNoAction = 1, kFkSetNull = 2, kFkSetDefault = 3;
constexpr int64_t kSearchable = 3, kSearchableLikeOnly = 1, kSearchableNone = 0;

std::string lower(std::string s)
{
    for (auto& ch : s) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    return s;
}

std::optional<std::string> text_of(const mssx_value& v)
{
    if (auto s = std::get_if<std::string>(&v)) return *s;
    if (auto i = std::get_if<int64_t>(&v)) return std::to_string(*i);
    return std::nullopt;
}

struct args {
    const std::vector<tds_rpc_param>& p;
    // By name, else by position when the caller gave none.
    std::optional<std::string> get(const char* name, size_t pos) const
    {
        for (auto& x : p)
            if (lower(x.name) == name) return text_of(x.value);
        if (pos < p.size() && p[pos].name.empty()) return text_of(p[pos].value);
        return std::nullopt;
    }
};

mssx_value str(const std::string& s) { return s; }
mssx_value num(int64_t n) { return n; }

int column_of(const mssx_result& r, const char* name)
{
    for (size_t i = 0; i < r.columns.size(); ++i)
        if (r.columns[i].name == name) return static_cast<int>(i);
    return -1;
}

const mssx_value& cell(const mssx_result& r, size_t row, const char* name)
{
    return r.rows[row][static_cast<size_t>(column_of(r, name))];
}

std::string cell_text(const mssx_result& r, size_t row, const char* name)
{
    return text_of(cell(r, row, name)).value_or("");
}

std::optional<std::string> nonempty(std::optional<std::string> s)
{
    if (s && (s->empty() || *s == "%")) return std::nullopt;
    return s;
}

int64_t rule_code(const std::string& rule)
{
    std::string r = lower(rule);
    if (r == "cascade") return kFkCascade;
    if (r == "set null") return kFkSetNull;
    if (r == "set default") return kFkSetDefault;
    return kFkNoAction;
}

mssx_result pkeys(mssx_connection& c, const args& a)
{
    mssx_result out;
    out.columns = {mssx_col("TABLE_QUALIFIER", "sysname"),   mssx_col("TABLE_OWNER", "sysname"),
                   mssx_col("TABLE_NAME", "sysname", false), mssx_col("COLUMN_NAME", "sysname", false),
                   mssx_col("KEY_SEQ", "smallint", false),   mssx_col("PK_NAME", "sysname")};
    auto table = a.get("@table_name", 0);
    if (!table)
        throw mssx_error(201,
                         "Procedure or function 'sp_pkeys' expects parameter '@table_name', which was not supplied.");
    mssx_result r = c.schema_primary_keys({std::nullopt, nonempty(a.get("@table_owner", 1)), table});
    for (size_t i = 0; i < r.rows.size(); ++i)
        out.rows.push_back({cell(r, i, "TABLE_CATALOG"), cell(r, i, "TABLE_SCHEMA"), cell(r, i, "TABLE_NAME"),
                            cell(r, i, "COLUMN_NAME"), cell(r, i, "ORDINAL"), cell(r, i, "PK_NAME")});
    return out;
}

mssx_result fkeys(mssx_connection& c, const args& a)
{
    mssx_result out;
    for (const char* n : {"PKTABLE_QUALIFIER", "PKTABLE_OWNER", "PKTABLE_NAME", "PKCOLUMN_NAME", "FKTABLE_QUALIFIER",
                          "FKTABLE_OWNER", "FKTABLE_NAME", "FKCOLUMN_NAME"})
        out.columns.push_back(mssx_col(n, "sysname"));
    for (const char* n : {"KEY_SEQ", "UPDATE_RULE", "DELETE_RULE"}) out.columns.push_back(mssx_col(n, "smallint"));
    out.columns.push_back(mssx_col("FK_NAME", "sysname"));
    out.columns.push_back(mssx_col("PK_NAME", "sysname"));
    out.columns.push_back(mssx_col("DEFERRABILITY", "smallint"));
    auto pk_table = nonempty(a.get("@pktable_name", 0)), fk_table = nonempty(a.get("@fktable_name", 3));
    if (!pk_table && !fk_table)
        throw mssx_error(15250, "Must specify either the primary key table or the foreign key table.");
    mssx_result r = c.schema_foreign_keys({std::nullopt, nonempty(a.get("@pktable_owner", 1)), pk_table, std::nullopt,
                                           nonempty(a.get("@fktable_owner", 4)), fk_table});
    for (size_t i = 0; i < r.rows.size(); ++i)
        out.rows.push_back({cell(r, i, "PK_TABLE_CATALOG"), cell(r, i, "PK_TABLE_SCHEMA"), cell(r, i, "PK_TABLE_NAME"),
                            cell(r, i, "PK_COLUMN_NAME"), cell(r, i, "FK_TABLE_CATALOG"), cell(r, i, "FK_TABLE_SCHEMA"),
                            cell(r, i, "FK_TABLE_NAME"), cell(r, i, "FK_COLUMN_NAME"), cell(r, i, "ORDINAL"),
                            num(rule_code(cell_text(r, i, "UPDATE_RULE"))),
                            num(rule_code(cell_text(r, i, "DELETE_RULE"))), cell(r, i, "FK_NAME"),
                            cell(r, i, "PK_NAME"), cell(r, i, "DEFERRABILITY")});
    return out;
}

// The table's owner as stored, for a table named without one.
std::string owner_of(mssx_connection& c, const std::string& table, const std::optional<std::string>& owner)
{
    if (owner) return *owner;
    mssx_result t = c.schema_tables({std::nullopt, std::nullopt, table});
    return t.rows.empty() ? std::string("dbo") : cell_text(t, 0, "TABLE_SCHEMA");
}

std::string bracket(const std::string& s)
{
    std::string out = "[";
    for (char ch : s) {
        out += ch;
        if (ch == ']') out += ']';
    }
    return out + "]";
}

mssx_result statistics(mssx_connection& c, const args& a)
{
    mssx_result out;
    out.columns = {mssx_col("TABLE_QUALIFIER", "sysname"),
                   mssx_col("TABLE_OWNER", "sysname"),
                   mssx_col("TABLE_NAME", "sysname", false),
                   mssx_col("NON_UNIQUE", "smallint"),
                   mssx_col("INDEX_QUALIFIER", "sysname"),
                   mssx_col("INDEX_NAME", "sysname"),
                   mssx_col("TYPE", "smallint", false),
                   mssx_col("SEQ_IN_INDEX", "smallint"),
                   mssx_col("COLUMN_NAME", "sysname"),
                   mssx_col("COLLATION", "char(1)"),
                   mssx_col("CARDINALITY", "int"),
                   mssx_col("PAGES", "int"),
                   mssx_col("FILTER_CONDITION", "varchar(128)")};
    auto table = a.get("@table_name", 0);
    if (!table)
        throw mssx_error(
            201, "Procedure or function 'sp_statistics' expects parameter '@table_name', which was not supplied.");
    auto owner = nonempty(a.get("@table_owner", 1));
    std::string unique = lower(a.get("@is_unique", 4).value_or("N"));
    mssx_result tables = c.schema_tables({std::nullopt, owner, table});
    if (tables.rows.empty()) return out;
    std::string schema = owner_of(c, *table, owner);
    mssx_outcome count = c.execute("SELECT COUNT(*) FROM " + bracket(schema) + "." + bracket(*table));
    mssx_value rows =
        count.results.empty() || count.results[0].rows.empty() ? mssx_value() : count.results[0].rows[0][0];
    out.rows.push_back({str(c.database()), str(schema), str(*table), mssx_value(), mssx_value(), mssx_value(),
                        num(kSqlTableStat), mssx_value(), mssx_value(), mssx_value(), rows, mssx_value(),
                        mssx_value()});
    mssx_result r = c.schema_indexes({std::nullopt, schema, std::nullopt, std::nullopt, table});
    for (size_t i = 0; i < r.rows.size(); ++i) {
        bool is_unique = text_of(cell(r, i, "UNIQUE")).value_or("0") == "1";
        if (unique == "y" && !is_unique) continue;
        bool clustered = text_of(cell(r, i, "CLUSTERED")).value_or("0") == "1";
        out.rows.push_back({cell(r, i, "TABLE_CATALOG"), cell(r, i, "TABLE_SCHEMA"), cell(r, i, "TABLE_NAME"),
                            num(is_unique ? 0 : 1), cell(r, i, "TABLE_NAME"), cell(r, i, "INDEX_NAME"),
                            num(clustered ? kSqlIndexClustered : kSqlIndexOther), cell(r, i, "ORDINAL_POSITION"),
                            cell(r, i, "COLUMN_NAME"), str("A"), cell(r, i, "CARDINALITY"), mssx_value(),
                            cell(r, i, "FILTER_CONDITION")});
    }
    // ordered as ODBC asks: NON_UNIQUE, TYPE, INDEX_NAME, SEQ_IN_INDEX (the table's row first)
    std::stable_sort(out.rows.begin() + 1, out.rows.end(), [](auto& x, auto& y) {
        auto key = [](auto& v) {
            return std::make_tuple(std::get<int64_t>(v[3]), std::get<int64_t>(v[6]), lower(std::get<std::string>(v[5])),
                                   std::holds_alternative<int64_t>(v[7]) ? std::get<int64_t>(v[7]) : 0);
        };
        return key(x) < key(y);
    });
    return out;
}

mssx_result special_columns(mssx_connection& c, const args& a)
{
    mssx_result out;
    out.columns = {mssx_col("SCOPE", "smallint"),
                   mssx_col("COLUMN_NAME", "sysname", false),
                   mssx_col("DATA_TYPE", "smallint", false),
                   mssx_col("TYPE_NAME", "sysname", false),
                   mssx_col("PRECISION", "int"),
                   mssx_col("LENGTH", "int"),
                   mssx_col("SCALE", "smallint"),
                   mssx_col("PSEUDO_COLUMN", "smallint")};
    auto table = a.get("@table_name", 0);
    if (!table)
        throw mssx_error(
            201, "Procedure or function 'sp_special_columns' expects parameter '@table_name', which was not supplied.");
    auto owner = nonempty(a.get("@table_owner", 1));
    if (lower(a.get("@col_type", 3).value_or("R")) == "v") return out; // no row version columns are kept
    // the best row identifier: the primary key, else the first unique index
    mssx_result keys = c.schema_primary_keys({std::nullopt, owner, table});
    std::vector<std::string> names;
    for (size_t i = 0; i < keys.rows.size(); ++i) names.push_back(cell_text(keys, i, "COLUMN_NAME"));
    if (names.empty()) {
        mssx_result ix = c.schema_indexes({std::nullopt, owner, std::nullopt, std::nullopt, table});
        std::string first;
        for (size_t i = 0; i < ix.rows.size(); ++i) {
            if (text_of(cell(ix, i, "UNIQUE")).value_or("0") != "1") continue;
            std::string name = cell_text(ix, i, "INDEX_NAME");
            if (first.empty()) first = name;
            if (name == first) names.push_back(cell_text(ix, i, "COLUMN_NAME"));
        }
    }
    if (names.empty()) return out;
    std::vector<mssx_parameter> vars = {{"@tds_table", mssx_make_type("nvarchar", {"128"}), *table}};
    std::string call = "EXEC sp_columns @table_name = @tds_table";
    if (owner) {
        vars.push_back({"@tds_owner", mssx_make_type("nvarchar", {"128"}), *owner});
        call += ", @table_owner = @tds_owner";
    }
    mssx_outcome cols = c.execute(call, vars);
    if (cols.results.empty()) return out;
    auto& r = cols.results[0];
    for (auto& n : names)
        for (size_t i = 0; i < r.rows.size(); ++i)
            if (lower(cell_text(r, i, "COLUMN_NAME")) == lower(n))
                out.rows.push_back({num(kSqlScopeSession), cell(r, i, "COLUMN_NAME"), cell(r, i, "DATA_TYPE"),
                                    cell(r, i, "TYPE_NAME"), cell(r, i, "PRECISION"), cell(r, i, "LENGTH"),
                                    cell(r, i, "SCALE"), num(kSqlPcNotPseudo)});
    return out;
}

mssx_result server_info(mssx_connection& c, const args& a)
{
    mssx_result out;
    out.columns = {mssx_col("attribute_id", "int", false), mssx_col("attribute_name", "varchar(60)", false),
                   mssx_col("attribute_value", "varchar(255)")};
    struct attr {
        int64_t id;
        const char* name;
        std::string value;
    };
    const attr attrs[] = {{1, "DBMS_NAME", "Microsoft SQL Server"},
                          {2, "DBMS_VER", c.server().version()},
                          {10, "OWNER_TERM", "owner"},
                          {11, "TABLE_TERM", "table"},
                          {12, "MAX_OWNER_NAME_LENGTH", "128"},
                          {13, "TABLE_LENGTH", "128"},
                          {14, "MAX_QUAL_LENGTH", "128"},
                          {15, "COLUMN_LENGTH", "128"},
                          {16, "IDENTIFIER_CASE", "MIXED"},
                          {17, "TX_ISOLATION", "2"},
                          {18, "COLLATION_SEQ", "charset=iso_1 sort_order=nocase_iso charset_num=1 sort_order_num=52"},
                          {19, "SAVEPOINT_SUPPORT", "Y"},
                          {20, "MULTI_RESULT_SETS", "Y"},
                          {22, "ACCESSIBLE_TABLES", "Y"},
                          {100, "USERID_LENGTH", "128"},
                          {101, "QUALIFIER_TERM", "database"},
                          {102, "NAMED_TRANSACTIONS", "Y"},
                          {103, "SPROC_AS_LANGUAGE", "Y"},
                          {104, "ACCESSIBLE_SPROC", "Y"},
                          {105, "MAX_INDEX_COLS", "16"},
                          {106, "RENAME_TABLE", "Y"},
                          {107, "RENAME_COLUMN", "Y"},
                          {108, "DROP_COLUMN", "Y"},
                          {109, "INCREASE_COLUMN_LENGTH", "Y"},
                          {110, "DDL_IN_TRANSACTION", "Y"},
                          {111, "DESCENDING_INDEXES", "Y"},
                          {112, "SP_RENAME", "Y"},
                          {113, "REMOTE_SPROC", "Y"},
                          {500, "SYS_SPROC_VERSION", "9.00.1399"}};
    auto only = a.get("@attribute_id", 0);
    for (auto& x : attrs)
        if (!only || *only == std::to_string(x.id)) out.rows.push_back({num(x.id), str(x.name), str(x.value)});
    return out;
}

mssx_result datatype_info(const args& a)
{
    mssx_result out;
    out.columns = {mssx_col("TYPE_NAME", "sysname", false),
                   mssx_col("DATA_TYPE", "smallint", false),
                   mssx_col("PRECISION", "int"),
                   mssx_col("LITERAL_PREFIX", "varchar(32)"),
                   mssx_col("LITERAL_SUFFIX", "varchar(32)"),
                   mssx_col("CREATE_PARAMS", "varchar(32)"),
                   mssx_col("NULLABLE", "smallint", false),
                   mssx_col("CASE_SENSITIVE", "smallint", false),
                   mssx_col("SEARCHABLE", "smallint", false),
                   mssx_col("UNSIGNED_ATTRIBUTE", "smallint"),
                   mssx_col("MONEY", "smallint", false),
                   mssx_col("AUTO_INCREMENT", "smallint"),
                   mssx_col("LOCAL_TYPE_NAME", "sysname"),
                   mssx_col("MINIMUM_SCALE", "smallint"),
                   mssx_col("MAXIMUM_SCALE", "smallint"),
                   mssx_col("SQL_DATA_TYPE", "smallint", false),
                   mssx_col("SQL_DATETIME_SUB", "smallint"),
                   mssx_col("NUM_PREC_RADIX", "int"),
                   mssx_col("INTERVAL_PRECISION", "smallint"),
                   mssx_col("USERTYPE", "smallint")};
    struct type_row {
        const char* name;
        int64_t type;
        int64_t precision;
        const char* prefix;
        const char* suffix;
        const char* params;
        bool numeric; // unsigned/auto-increment/radix apply
        bool unsigned_;
        bool money;
        int64_t min_scale, max_scale; // -1: NULL
        int64_t sql_type, sub;        // sub -1: NULL
        int64_t radix;                // 0: NULL
    };
    const type_row rows[] = {
        {"bit", kSqlBit, 1, nullptr, nullptr, nullptr, false, false, false, 0, 0, kSqlBit, -1, 0},
        {"tinyint", kSqlTinyint, 3, nullptr, nullptr, nullptr, true, true, false, 0, 0, kSqlTinyint, -1, 10},
        {"bigint", kSqlBigint, 19, nullptr, nullptr, nullptr, true, false, false, 0, 0, kSqlBigint, -1, 10},
        {"image", kSqlLongVarbinary, 2147483647, "0x", nullptr, nullptr, false, false, false, -1, -1, kSqlLongVarbinary,
         -1, 0},
        {"varbinary", kSqlVarbinary, 8000, "0x", nullptr, "max length", false, false, false, -1, -1, kSqlVarbinary, -1,
         0},
        {"binary", kSqlBinary, 8000, "0x", nullptr, "length", false, false, false, -1, -1, kSqlBinary, -1, 0},
        {"timestamp", kSqlBinary, 8, "0x", nullptr, nullptr, false, false, false, -1, -1, kSqlBinary, -1, 0},
        {"text", kSqlLongVarchar, 2147483647, "'", "'", nullptr, false, false, false, -1, -1, kSqlLongVarchar, -1, 0},
        {"uniqueidentifier", kSqlGuid, 36, "'", "'", nullptr, false, false, false, -1, -1, kSqlGuid, -1, 0},
        {"ntext", kSqlWLongVarchar, 1073741823, "N'", "'", nullptr, false, false, false, -1, -1, kSqlWLongVarchar, -1,
         0},
        {"nvarchar", kSqlWVarchar, 4000, "N'", "'", "max length", false, false, false, -1, -1, kSqlWVarchar, -1, 0},
        {"nchar", kSqlWChar, 4000, "N'", "'", "length", false, false, false, -1, -1, kSqlWChar, -1, 0},
        {"xml", kSqlSsXml, 0, "N'", "'", nullptr, false, false, false, -1, -1, kSqlSsXml, -1, 0},
        {"datetimeoffset", kSqlSsTimestampOffset, 34, "'", "'", "scale", false, false, false, 0, 7,
         kSqlSsTimestampOffset, 0, 0},
        {"time", kSqlSsTime2, 16, "'", "'", "scale", false, false, false, 0, 7, kSqlSsTime2, 0, 0},
        {"char", kSqlChar, 8000, "'", "'", "length", false, false, false, -1, -1, kSqlChar, -1, 0},
        {"numeric", kSqlNumeric, 38, nullptr, nullptr, "precision,scale", true, false, false, 0, 38, kSqlNumeric, -1,
         10},
        {"decimal", kSqlDecimal, 38, nullptr, nullptr, "precision,scale", true, false, false, 0, 38, kSqlDecimal, -1,
         10},
        {"money", kSqlDecimal, 19, "$", nullptr, nullptr, true, false, true, 4, 4, kSqlDecimal, -1, 10},
        {"smallmoney", kSqlDecimal, 10, "$", nullptr, nullptr, true, false, true, 4, 4, kSqlDecimal, -1, 10},
        {"int", kSqlInteger, 10, nullptr, nullptr, nullptr, true, false, false, 0, 0, kSqlInteger, -1, 10},
        {"smallint", kSqlSmallint, 5, nullptr, nullptr, nullptr, true, false, false, 0, 0, kSqlSmallint, -1, 10},
        {"float", kSqlFloat, 53, nullptr, nullptr, nullptr, true, false, false, -1, -1, kSqlFloat, -1, 2},
        {"real", kSqlReal, 24, nullptr, nullptr, nullptr, true, false, false, -1, -1, kSqlReal, -1, 2},
        {"varchar", kSqlVarchar, 8000, "'", "'", "max length", false, false, false, -1, -1, kSqlVarchar, -1, 0},
        {"date", kSqlTypeDate, 10, "'", "'", nullptr, false, false, false, -1, -1, kSqlDatetime, 1, 0},
        {"datetime2", kSqlTypeTimestamp, 27, "'", "'", "scale", false, false, false, 0, 7, kSqlDatetime, 3, 0},
        {"datetime", kSqlTypeTimestamp, 23, "'", "'", nullptr, false, false, false, 3, 3, kSqlDatetime, 3, 0},
        {"smalldatetime", kSqlTypeTimestamp, 16, "'", "'", nullptr, false, false, false, 0, 0, kSqlDatetime, 3, 0},
    };
    int64_t only = std::atoll(a.get("@data_type", 0).value_or("0").c_str());
    auto opt_text = [](const char* s) { return s ? mssx_value(std::string(s)) : mssx_value(); };
    auto opt_num = [](int64_t n, bool present) { return present ? mssx_value(n) : mssx_value(); };
    for (auto& t : rows) {
        if (only != 0 && t.type != only) continue;
        int64_t searchable = (t.type == kSqlLongVarchar || t.type == kSqlWLongVarchar) ? kSearchableLikeOnly
                             : (t.type == kSqlLongVarbinary || t.type == kSqlSsXml)    ? kSearchableNone
                                                                                       : kSearchable;
        out.rows.push_back({str(t.name),
                            num(t.type),
                            num(t.precision),
                            opt_text(t.prefix),
                            opt_text(t.suffix),
                            opt_text(t.params),
                            num(1),
                            num(0),
                            num(searchable),
                            opt_num(t.unsigned_ ? 1 : 0, t.numeric),
                            num(t.money ? 1 : 0),
                            opt_num(0, t.numeric),
                            str(t.name),
                            opt_num(t.min_scale, t.min_scale >= 0),
                            opt_num(t.max_scale, t.max_scale >= 0),
                            num(t.sql_type),
                            opt_num(t.sub, t.sub >= 0),
                            opt_num(t.radix, t.radix > 0),
                            mssx_value(),
                            mssx_value()});
    }
    std::stable_sort(out.rows.begin(), out.rows.end(),
                     [](auto& x, auto& y) { return std::get<int64_t>(x[1]) < std::get<int64_t>(y[1]); });
    return out;
}

// The procedure's own name: "sys.sp_pkeys", "master..sp_pkeys", "[sp_pkeys]" → "sp_pkeys".
std::string base_name(const std::string& name)
{
    std::string n = name;
    size_t dot = n.find_last_of('.');
    if (dot != std::string::npos) n = n.substr(dot + 1);
    if (n.size() >= 2 && n.front() == '[' && n.back() == ']') n = n.substr(1, n.size() - 2);
    return lower(n);
}

bool is_ours(const std::string& n)
{
    return n == "sp_pkeys" || n == "sp_fkeys" || n == "sp_statistics" || n == "sp_special_columns" ||
           n == "sp_server_info" || n == "sp_datatype_info" || n == "sp_datatype_info_90" ||
           n == "sp_datatype_info_100";
}

} // namespace

bool tds_catalog_procedure(mssx_connection& c, const std::string& name, const std::vector<tds_rpc_param>& params,
                           mssx_outcome& out)
{
    std::string n = base_name(name);
    if (!is_ours(n)) return false;
    args a{params};
    try {
        if (n == "sp_pkeys")
            out.results.push_back(pkeys(c, a));
        else if (n == "sp_fkeys")
            out.results.push_back(fkeys(c, a));
        else if (n == "sp_statistics")
            out.results.push_back(statistics(c, a));
        else if (n == "sp_special_columns")
            out.results.push_back(special_columns(c, a));
        else if (n == "sp_server_info")
            out.results.push_back(server_info(c, a));
        else
            out.results.push_back(datatype_info(a));
    } catch (const mssx_error& e) {
        out.errors.push_back(e);
    }
    return true;
}

bool tds_catalog_batch(mssx_connection& c, const std::string& batch, mssx_outcome& out)
{
    size_t i = 0;
    auto skip_space = [&] {
        while (i < batch.size() && std::isspace(static_cast<unsigned char>(batch[i]))) ++i;
    };
    auto word = [&] {
        skip_space();
        size_t b = i;
        while (i < batch.size() && (std::isalnum(static_cast<unsigned char>(batch[i])) || batch[i] == '_' ||
                                    batch[i] == '.' || batch[i] == '[' || batch[i] == ']' || batch[i] == '@'))
            ++i;
        return batch.substr(b, i - b);
    };
    std::string first = word();
    if (lower(first) == "exec" || lower(first) == "execute") first = word();
    std::string n = base_name(first);
    if (!is_ours(n)) return false;
    std::vector<tds_rpc_param> params;
    for (;;) {
        skip_space();
        if (i >= batch.size()) break;
        if (batch[i] == ';') {
            ++i;
            skip_space();
            if (i < batch.size()) return false; // more than the one call
            break;
        }
        tds_rpc_param p;
        if (batch[i] == '@') {
            p.name = word();
            skip_space();
            if (i >= batch.size() || batch[i] != '=') return false;
            ++i;
            skip_space();
        }
        if (i < batch.size() && (batch[i] == '\'' || ((batch[i] == 'N' || batch[i] == 'n') && i + 1 < batch.size() &&
                                                      batch[i + 1] == '\''))) {
            if (batch[i] != '\'') ++i;
            std::string s;
            for (++i; i < batch.size(); ++i) {
                if (batch[i] == '\'') {
                    if (i + 1 < batch.size() && batch[i + 1] == '\'') {
                        s += '\'';
                        ++i;
                        continue;
                    }
                    break;
                }
                s += batch[i];
            }
            if (i >= batch.size()) return false;
            ++i;
            p.value = s;
        } else {
            std::string v = word();
            if (v.empty() && i < batch.size() && batch[i] == '-') {
                ++i;
                v = "-" + word();
            }
            if (v.empty()) return false;
            if (lower(v) == "null")
                p.value = std::monostate{};
            else if (std::all_of(v.begin() + (v[0] == '-'), v.end(),
                                 [](char ch) { return std::isdigit(static_cast<unsigned char>(ch)); }))
                p.value = static_cast<int64_t>(std::atoll(v.c_str()));
            else
                p.value = v;
        }
        params.push_back(std::move(p));
        skip_space();
        if (i < batch.size() && batch[i] == ',') ++i;
    }
    return tds_catalog_procedure(c, n, params, out);
}
