// The provider's backend for real servers: ODBC through unixODBC, with
// FreeTDS's driver unless TVX_ODBC_DRIVER names another one. The ODBC
// headers stay in this file (they define DWORD and BOOL globally).
#include <glob.h>
#include <sql.h>
#include <sqlext.h>
#include <unistd.h>
#include <algorithm>
#include <array>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <mutex>
#include "platform/mssx/mssx_lexer.h"
#include "platform/mssx/mssx_variant.h"
#include "platform/oledb/odbp_backend.h"
#include "platform/oledb/odbp_odbc_link.h"

namespace {

// The server's numbers for a connection that did not get through and for a
// lost connection (what the embedded backend reports too).
constexpr int kServerUnreachable = 17;
const std::string kUnreachableText =
    "[DBNETLIB][ConnectionOpen (Connect()).]SQL Server does not exist or access denied.";

constexpr SQLINTEGER kFreeTdsClientErrors = 20000;
// The number of a failure the driver reports without one of the server's (RAISERROR's first user number).
constexpr int kDriverFailure = 50000;
constexpr int kErrorSeverity = 16;
// Column sizes ODBC gives the four-byte money and date-time types.
constexpr SQLULEN kSmallMoneyPrecision = 10;
constexpr size_t kGuidTextLength = 36; // 8-4-4-4-12 hex digits
constexpr SQLULEN kSmallDateTimeSize = 16;

// ODBC's foreign key rules (SQLForeignKeys) and index types (SQLStatistics).
constexpr int kRuleCascade = 0;
constexpr int kRuleSetNull = 2;
constexpr int kRuleSetDefault = 4;

std::string utf8_of(const SQLWCHAR* w, size_t n)
{
    std::string out;
    out.reserve(n);
    for (size_t i = 0; i < n; ++i) {
        uint32_t c = w[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < n && w[i + 1] >= 0xDC00 && w[i + 1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (w[i + 1] - 0xDC00);
            ++i;
        }
        if (c < 0x80)
            out += static_cast<char>(c);
        else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

// Strips the "[vendor][driver][SQL Server]" prefixes: the server's own text remains.
std::string server_text(std::string m)
{
    while (!m.empty() && m.front() == '[') {
        size_t close = m.find(']');
        if (close == std::string::npos) break;
        m.erase(0, close + 1);
    }
    while (!m.empty() && (m.back() == '\n' || m.back() == '\r')) m.pop_back();
    return m;
}

// One diagnostic record of the driver manager or the driver as the user reads
// it: the component's text, then its SQLSTATE and native error.
std::string driver_record_text(const std::string& raw, const std::string& state, SQLINTEGER native)
{
    std::string text = raw;
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    return text + " (SQLSTATE " + state + ", native error " + std::to_string(native) + ")";
}

// The diagnostics of a handle as server errors. Records without a server
// number (the driver manager's and the driver's own) count only when there is
// no server record; they keep their SQLSTATE, native error and text, after the
// product's own text for a connection that did not get through.
std::vector<mssx_error> diagnostics(SQLSMALLINT type, SQLHANDLE h, bool connecting)
{
    std::vector<mssx_error> server;
    std::vector<std::string> details;
    bool unreachable = connecting;
    std::string first_driver_text;
    for (SQLSMALLINT i = 1; i < 64; ++i) {
        SQLCHAR state[6] = {};
        SQLINTEGER native = 0;
        SQLSMALLINT len = 0;
        std::vector<SQLCHAR> text(1024);
        SQLRETURN rc =
            SQLGetDiagRec(type, h, i, state, &native, text.data(), static_cast<SQLSMALLINT>(text.size()), &len);
        if (rc == SQL_SUCCESS_WITH_INFO && len >= static_cast<SQLSMALLINT>(text.size())) {
            text.resize(static_cast<size_t>(len) + 1);
            rc = SQLGetDiagRec(type, h, i, state, &native, text.data(), static_cast<SQLSMALLINT>(text.size()), &len);
        }
        if (!SQL_SUCCEEDED(rc)) break;
        std::string st(reinterpret_cast<char*>(state));
        std::string raw(reinterpret_cast<char*>(text.data()), std::min<size_t>(static_cast<size_t>(len), text.size()));
        std::string msg = server_text(raw);
        // the server's own messages carry the "[SQL Server]" component; FreeTDS
        // numbers its client library's connection failures from 20000
        bool from_server =
            raw.find("[SQL Server]") != std::string::npos &&
            !(st.starts_with("08") && native >= kFreeTdsClientErrors && native < kFreeTdsClientErrors + 10000);
        if (from_server && native != 0) {
            if (!st.starts_with("01")) server.emplace_back(static_cast<int>(native), msg, 16);
            continue;
        }
        // informational records (database changed and the like) tell why only
        // when something failed to connect: a driver library that cannot be
        // loaded is one
        if (st.starts_with("01") && !connecting) continue;
        details.push_back(driver_record_text(raw, st, native));
        if (st.starts_with("08")) unreachable = true;
        if (first_driver_text.empty() && !st.starts_with("01")) first_driver_text = driver_record_text(msg, st, native);
    }
    if (!server.empty()) return server;
    std::string joined;
    for (const std::string& d : details) joined += "\n" + d;
    if (unreachable) return {mssx_error(kServerUnreachable, kUnreachableText + joined, 16)};
    if (details.empty()) return {mssx_error(50000, "The ODBC driver failed without a message.", 16)};
    // the first failure in the server's words, every record after it
    return {mssx_error(50000, first_driver_text.empty() ? joined.substr(1) : first_driver_text + joined, 16)};
}

[[noreturn]] void throw_diag(SQLSMALLINT type, SQLHANDLE h, bool connecting)
{
    throw diagnostics(type, h, connecting).front();
}

SQLHENV environment()
{
    static SQLHENV env = [] {
        SQLHENV e = SQL_NULL_HENV;
        if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &e)))
            throw mssx_error(kServerUnreachable, "The ODBC driver manager could not be started.", 16);
        SQLSetEnvAttr(e, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
        return e;
    }();
    return env;
}

std::string braced(const std::string& v)
{
    std::string out = "{";
    for (char c : v) {
        if (c == '}') out += '}';
        out += c;
    }
    return out + "}";
}

} // namespace

std::string odbp_odbc_driver_path()
{
    // FreeTDS's driver where Debian and a local build put it.
    for (const char* pattern :
         {"/usr/lib/*/odbc/libtdsodbc.so", "/usr/lib/odbc/libtdsodbc.so", "/usr/lib64/libtdsodbc.so",
          "/usr/local/lib/libtdsodbc.so", "/usr/local/lib/odbc/libtdsodbc.so"}) {
        glob_t g{};
        if (glob(pattern, 0, nullptr, &g) == 0 && g.gl_pathc > 0) {
            std::string found = g.gl_pathv[0];
            globfree(&g);
            return found;
        }
        globfree(&g);
    }
    return {};
}

std::string odbp_odbc_connection_string(const odbp_login& l)
{
    const char* chosen = std::getenv("TVX_ODBC_DRIVER");
    std::string driver = chosen && *chosen ? chosen : odbp_odbc_driver_path();
    if (driver.empty())
        throw mssx_error(kServerUnreachable,
                         "No ODBC driver for SQL Server was found: install tdsodbc or set TVX_ODBC_DRIVER.", 16);
    std::string lower = driver;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    bool freetds = lower.find("tds") != std::string::npos;

    std::string host = l.data_source, port, instance;
    if (size_t comma = host.find(','); comma != std::string::npos) {
        port = host.substr(comma + 1);
        host.erase(comma);
    }
    if (size_t slash = host.find('\\'); slash != std::string::npos) {
        instance = host.substr(slash + 1);
        host.erase(slash);
    }
    std::string cs = "DRIVER=" + braced(driver) + ";";
    if (freetds) {
        // FreeTDS: the port apart; an instance is looked up by the driver; the
        // protocol version that carries the date-time and max types
        cs += "SERVER=" + braced(instance.empty() ? host : host + "\\" + instance) + ";";
        if (!port.empty()) cs += "PORT=" + port + ";";
        cs += "TDS_Version=7.4;ClientCharset=UTF-8;";
    } else {
        cs += "SERVER=" + braced(l.data_source) + ";";
    }
    if (l.integrated)
        cs += "Trusted_Connection=Yes;";
    else
        cs += "UID=" + braced(l.user) + ";PWD=" + braced(l.password) + ";";
    if (!l.catalog.empty()) cs += "DATABASE=" + braced(l.catalog) + ";";
    if (const char* extra = std::getenv("TVX_ODBC_EXTRA"); extra && *extra) cs += extra;
    return cs;
}

// --- one connection --------------------------------------------------------

odbp_odbc_link::odbp_odbc_link(const std::string& connection_string)
{
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_DBC, environment(), &dbc_)))
        throw mssx_error(kServerUnreachable, kUnreachableText, 16);
    SQLSetConnectAttr(dbc_, SQL_ATTR_LOGIN_TIMEOUT, reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(15)), 0);
    std::string cs = connection_string;
    SQLRETURN rc = SQLDriverConnect(dbc_, nullptr, reinterpret_cast<SQLCHAR*>(cs.data()), SQL_NTS, nullptr, 0, nullptr,
                                    SQL_DRIVER_NOPROMPT);
    if (!SQL_SUCCEEDED(rc)) {
        std::vector<mssx_error> e = diagnostics(SQL_HANDLE_DBC, dbc_, true);
        SQLFreeHandle(SQL_HANDLE_DBC, dbc_);
        dbc_ = SQL_NULL_HDBC;
        throw e.front();
    }
}

odbp_odbc_link::~odbp_odbc_link()
{
    if (stmt_ != SQL_NULL_HSTMT) SQLFreeHandle(SQL_HANDLE_STMT, stmt_);
    if (dbc_ != SQL_NULL_HDBC) {
        SQLDisconnect(dbc_);
        SQLFreeHandle(SQL_HANDLE_DBC, dbc_);
    }
}

void* odbp_odbc_link::fresh_statement()
{
    if (stmt_ != SQL_NULL_HSTMT) {
        SQLFreeHandle(SQL_HANDLE_STMT, stmt_);
        stmt_ = SQL_NULL_HSTMT;
    }
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, dbc_, &stmt_))) throw_diag(SQL_HANDLE_DBC, dbc_, false);
    return stmt_;
}

void odbp_odbc_link::close_statement()
{
    if (stmt_ != SQL_NULL_HSTMT) {
        SQLFreeHandle(SQL_HANDLE_STMT, stmt_);
        stmt_ = SQL_NULL_HSTMT;
    }
}

// --- result sets -----------------------------------------------------------

namespace {

mssx_type type_of_column(SQLHSTMT st, SQLUSMALLINT i, SQLSMALLINT sql_type, SQLULEN size, SQLSMALLINT digits)
{
    SQLCHAR name[128] = {};
    SQLSMALLINT len = 0;
    SQLColAttribute(st, i, SQL_DESC_TYPE_NAME, name, sizeof name, &len, nullptr);
    std::string t(reinterpret_cast<char*>(name));
    if (size_t sp = t.find(' '); sp != std::string::npos) t.erase(sp); // "int identity"
    for (char& c : t) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    auto sized = [&](const std::string& base, SQLULEN limit) {
        return mssx_make_type(base, {size == 0 || size > limit ? std::string("max") : std::to_string(size)});
    };
    try {
        if (t == "varchar" || t == "varbinary") return sized(t, 8000);
        if (t == "nvarchar") return sized(t, 4000);
        if (t == "char" || t == "nchar" || t == "binary") return mssx_make_type(t, {std::to_string(size ? size : 1)});
        if (t == "decimal" || t == "numeric") return mssx_make_type(t, {std::to_string(size), std::to_string(digits)});
        if (t == "datetime2" || t == "time" || t == "datetimeoffset")
            return mssx_make_type(t, {std::to_string(digits)});
        // the driver names the four-byte money and date-time types by their wide kin
        if (t == "money" && size <= kSmallMoneyPrecision) return mssx_make_type("smallmoney", {});
        if (t == "datetime" && size <= kSmallDateTimeSize) return mssx_make_type("smalldatetime", {});
        if (!t.empty()) return mssx_make_type(t, {});
    } catch (const mssx_error&) {
        // a type the embedded server does not know: by its ODBC type below
    }
    switch (sql_type) {
    case SQL_BIT:
        return mssx_make_type("bit", {});
    case SQL_TINYINT:
        return mssx_make_type("tinyint", {});
    case SQL_SMALLINT:
        return mssx_make_type("smallint", {});
    case SQL_INTEGER:
        return mssx_make_type("int", {});
    case SQL_BIGINT:
        return mssx_make_type("bigint", {});
    case SQL_REAL:
        return mssx_make_type("real", {});
    case SQL_FLOAT:
    case SQL_DOUBLE:
        return mssx_make_type("float", {});
    case SQL_DECIMAL:
    case SQL_NUMERIC:
        return mssx_make_type("decimal", {std::to_string(size), std::to_string(digits)});
    case SQL_BINARY:
    case SQL_VARBINARY:
    case SQL_LONGVARBINARY:
        return sized("varbinary", 8000);
    case SQL_TYPE_TIMESTAMP:
        return mssx_make_type("datetime2", {std::to_string(digits)});
    case SQL_TYPE_DATE:
        return mssx_make_type("date", {});
    case SQL_GUID:
        return mssx_make_type("uniqueidentifier", {});
    case SQL_CHAR:
    case SQL_VARCHAR:
    case SQL_LONGVARCHAR:
        return sized("varchar", 8000);
    default:
        return sized("nvarchar", 4000);
    }
}

enum class fetch_as { integer, real, bytes, timestamp, time_of_day, offset_timestamp, variant, text };

fetch_as how_to_fetch(const mssx_type& t)
{
    if (t.name == "bit" || t.is_integer()) return fetch_as::integer;
    if (t.is_float()) return fetch_as::real;
    if (t.is_binary()) return fetch_as::bytes;
    // by parts, not as the driver's text (which writes years below 1000 short)
    if (t.name == "date" || t.name == "datetime" || t.name == "datetime2" || t.name == "smalldatetime")
        return fetch_as::timestamp;
    if (t.name == "time") return fetch_as::time_of_day;
    if (t.name == "datetimeoffset") return fetch_as::offset_timestamp;
    if (t.name == "sql_variant") return fetch_as::variant;
    return fetch_as::text;
}

// Text a float's value may be written as (the driver writes one with 17 digits).
bool float_like(const std::string& text)
{
    if (text.find_first_of(".eE") == std::string::npos) return false;
    return text.find_first_not_of("0123456789+-.eE") == std::string::npos;
}

// Whether text has the form of a uniqueidentifier.
bool guid_like(const std::string& text)
{
    if (text.size() != kGuidTextLength) return false;
    for (size_t i = 0; i < text.size(); ++i) {
        const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
        if (dash ? text[i] != '-' : !std::isxdigit(static_cast<unsigned char>(text[i]))) return false;
    }
    return true;
}

// The layouts of time and datetimeoffset values as the SQL Server Native
// Client ODBC reference defines them. Read as SQL_C_BINARY, the form ODBC 3.5
// drivers give them in (FreeTDS refuses SQL Server's own C types for them).

struct ss_time2 {
    SQLUSMALLINT hour;
    SQLUSMALLINT minute;
    SQLUSMALLINT second;
    SQLUINTEGER fraction; // nanoseconds
};

struct ss_timestamp_offset {
    SQLSMALLINT year;
    SQLUSMALLINT month;
    SQLUSMALLINT day;
    SQLUSMALLINT hour;
    SQLUSMALLINT minute;
    SQLUSMALLINT second;
    SQLUINTEGER fraction; // nanoseconds
    SQLSMALLINT timezone_hour;
    SQLSMALLINT timezone_minute; // of the same sign as the hour
};

// "hh:mm:ss.fffffffff" of the parts; the stored form keeps the column's places.
std::string clock_text(unsigned hour, unsigned minute, unsigned second, unsigned long fraction)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02u:%02u:%02u.%09lu", hour, minute, second, fraction);
    return buf;
}

// A number written with at least `width` digits, zeros in front.
std::string padded(long long value, size_t width)
{
    std::string digits = std::to_string(value < 0 ? -value : value);
    if (digits.size() < width) digits.insert(0, width - digits.size(), '0');
    return value < 0 ? "-" + digits : digits;
}

std::string date_text(int year, unsigned month, unsigned day)
{
    return padded(year, 4) + "-" + padded(month, 2) + "-" + padded(day, 2);
}

// " +hh:mm" of an offset whose hour and minute carry its sign.
std::string offset_text(int hours, int minutes)
{
    const bool negative = hours < 0 || minutes < 0;
    return std::string(negative ? " -" : " +") + padded(std::abs(hours), 2) + ":" + padded(std::abs(minutes), 2);
}

// The rows of the current result set of a statement, read as asked. Holds its
// connection until the last row was read, then hands it back.
class odbc_cursor final : public odbp_cursor {
public:
    odbc_cursor(std::shared_ptr<odbp_odbc_link> link, std::function<void(std::shared_ptr<odbp_odbc_link>)> done)
        : link_(std::move(link)), done_(std::move(done))
    {
        auto st = static_cast<SQLHSTMT>(link_->statement());
        SQLSMALLINT n = 0;
        SQLNumResultCols(st, &n);
        for (SQLUSMALLINT i = 1; i <= static_cast<SQLUSMALLINT>(n); ++i) {
            SQLCHAR name[512] = {};
            SQLSMALLINT name_len = 0, sql_type = 0, digits = 0, nullable = 0;
            SQLULEN size = 0;
            SQLDescribeCol(st, i, name, sizeof name, &name_len, &sql_type, &size, &digits, &nullable);
            mssx_result_column c;
            c.name = reinterpret_cast<char*>(name);
            c.type = type_of_column(st, i, sql_type, size, digits);
            c.nullable = nullable != SQL_NO_NULLS;
            how_.push_back(how_to_fetch(c.type));
            columns_.push_back(std::move(c));
        }
    }
    ~odbc_cursor() override { finish(); }
    const std::vector<mssx_result_column>& columns() const override { return columns_; }

    bool next(std::vector<mssx_value>& row) override
    {
        if (!link_) return false;
        auto st = static_cast<SQLHSTMT>(link_->statement());
        SQLRETURN rc = SQLFetch(st);
        if (rc == SQL_NO_DATA) {
            finish();
            return false;
        }
        if (!SQL_SUCCEEDED(rc)) {
            mssx_error e = diagnostics(SQL_HANDLE_STMT, st, false).front();
            finish();
            throw e;
        }
        row.clear();
        row.reserve(columns_.size());
        for (size_t i = 0; i < columns_.size(); ++i) row.push_back(value(st, static_cast<SQLUSMALLINT>(i + 1), i));
        return true;
    }

private:
    mssx_value value(SQLHSTMT st, SQLUSMALLINT col, size_t i)
    {
        SQLLEN ind = 0;
        switch (how_[i]) {
        case fetch_as::integer: {
            SQLBIGINT v = 0;
            check(st, SQLGetData(st, col, SQL_C_SBIGINT, &v, sizeof v, &ind));
            if (ind == SQL_NULL_DATA) return std::monostate{};
            return static_cast<int64_t>(v);
        }
        case fetch_as::real: {
            double v = 0;
            check(st, SQLGetData(st, col, SQL_C_DOUBLE, &v, sizeof v, &ind));
            if (ind == SQL_NULL_DATA) return std::monostate{};
            return v;
        }
        case fetch_as::bytes: {
            std::string bytes;
            if (!pieces(st, col, SQL_C_BINARY, bytes, 0)) return std::monostate{};
            return mssx_blob{std::move(bytes)};
        }
        case fetch_as::timestamp: {
            SQL_TIMESTAMP_STRUCT ts{};
            check(st, SQLGetData(st, col, SQL_C_TYPE_TIMESTAMP, &ts, sizeof ts, &ind));
            if (ind == SQL_NULL_DATA) return std::monostate{};
            std::string text = date_text(ts.year, ts.month, ts.day);
            if (columns_[i].type.name != "date")
                text += " " + clock_text(ts.hour, ts.minute, ts.second, static_cast<unsigned long>(ts.fraction));
            return stored_form(columns_[i].type, text);
        }
        case fetch_as::time_of_day: {
            ss_time2 t{};
            if (!structure(st, col, &t, sizeof t)) return std::monostate{};
            return stored_form(columns_[i].type,
                               clock_text(t.hour, t.minute, t.second, static_cast<unsigned long>(t.fraction)));
        }
        case fetch_as::offset_timestamp: {
            ss_timestamp_offset o{};
            if (!structure(st, col, &o, sizeof o)) return std::monostate{};
            return stored_form(columns_[i].type,
                               date_text(o.year, o.month, o.day) + " " +
                                   clock_text(o.hour, o.minute, o.second, static_cast<unsigned long>(o.fraction)) +
                                   offset_text(o.timezone_hour, o.timezone_minute));
        }
        case fetch_as::variant:
            return variant_value(st, col);
        case fetch_as::text:
            break;
        }
        std::string raw;
        if (!pieces(st, col, SQL_C_WCHAR, raw, sizeof(SQLWCHAR))) return std::monostate{};
        std::string text = utf8_of(reinterpret_cast<const SQLWCHAR*>(raw.data()), raw.size() / sizeof(SQLWCHAR));
        // the stored form of the embedded server, so both backends read alike
        const mssx_type& t = columns_[i].type;
        if (t.is_string()) return text;
        try {
            return mssx_convert(t, text, "ymd");
        } catch (const mssx_error&) {
            return text;
        }
    }

    // A sql_variant value. The driver gives its base value's text but not its
    // base type; a float or real is told by its bytes, which the driver gives
    // after the text, and keeps its value as the fewest digits that read back.
    mssx_value variant_value(SQLHSTMT st, SQLUSMALLINT col)
    {
        std::string raw;
        if (!pieces(st, col, SQL_C_WCHAR, raw, sizeof(SQLWCHAR))) return std::monostate{};
        std::string text = utf8_of(reinterpret_cast<const SQLWCHAR*>(raw.data()), raw.size() / sizeof(SQLWCHAR));
        if (guid_like(text)) return mssx_variant_store(mssx_make_type("uniqueidentifier", {}), text, "ymd");
        if (!float_like(text)) return text;
        std::array<unsigned char, sizeof(double)> bytes{};
        SQLLEN ind = 0;
        SQLRETURN rc = SQLGetData(st, col, SQL_C_BINARY, bytes.data(), static_cast<SQLLEN>(bytes.size()), &ind);
        if (!SQL_SUCCEEDED(rc)) return text;
        const double d = std::strtod(text.c_str(), nullptr);
        const float f = std::strtof(text.c_str(), nullptr);
        if (ind == static_cast<SQLLEN>(sizeof d) && std::memcmp(bytes.data(), &d, sizeof d) == 0)
            return mssx_variant_store(mssx_make_type("float", {}), d, "ymd");
        if (ind == static_cast<SQLLEN>(sizeof f) && std::memcmp(bytes.data(), &f, sizeof f) == 0)
            return mssx_variant_store(mssx_make_type("real", {}), static_cast<double>(f), "ymd");
        return text;
    }

    // A value given as its structure's bytes; false for NULL. Bytes of
    // another length are no such structure: an error, not a value guessed at.
    static bool structure(SQLHSTMT st, SQLUSMALLINT col, void* out, size_t size)
    {
        SQLLEN ind = 0;
        check(st, SQLGetData(st, col, SQL_C_BINARY, out, static_cast<SQLLEN>(size), &ind));
        if (ind == SQL_NULL_DATA) return false;
        if (ind != static_cast<SQLLEN>(size))
            throw mssx_error(kDriverFailure, "The ODBC driver gave a date or time value in an unknown form.",
                             kErrorSeverity);
        return true;
    }

    // The embedded server's stored form of a date-time text made of its parts,
    // so that both backends read alike.
    static mssx_value stored_form(const mssx_type& t, const std::string& text)
    {
        try {
            return mssx_convert(t, text, "ymd");
        } catch (const mssx_error&) {
            return text;
        }
    }

    // Reads a value whole, in pieces (long values of any size); false for NULL.
    bool pieces(SQLHSTMT st, SQLUSMALLINT col, SQLSMALLINT c_type, std::string& out, size_t terminator)
    {
        std::vector<char>& buf = piece_; // made once per cursor, not once per value
        buf.resize(kPiece);
        while (true) {
            SQLLEN ind = 0;
            SQLRETURN rc = SQLGetData(st, col, c_type, buf.data(), static_cast<SQLLEN>(buf.size()), &ind);
            if (rc == SQL_NO_DATA) return true;
            check(st, rc);
            if (ind == SQL_NULL_DATA) return false;
            size_t room = buf.size() - terminator;
            if (rc == SQL_SUCCESS_WITH_INFO && (ind == SQL_NO_TOTAL || static_cast<size_t>(ind) > room)) {
                out.append(buf.data(), room);
                continue;
            }
            out.append(buf.data(), static_cast<size_t>(ind));
            return true;
        }
    }

    static void check(SQLHSTMT st, SQLRETURN rc)
    {
        if (!SQL_SUCCEEDED(rc)) throw_diag(SQL_HANDLE_STMT, st, false);
    }

    void finish()
    {
        if (!link_) return;
        link_->close_statement();
        if (done_) done_(std::move(link_));
        link_.reset();
    }

    std::shared_ptr<odbp_odbc_link> link_;
    std::function<void(std::shared_ptr<odbp_odbc_link>)> done_;
    std::vector<mssx_result_column> columns_;
    std::vector<fetch_as> how_;
    static constexpr size_t kPiece = 65536; // bytes asked of the driver at a time
    std::vector<char> piece_;
};

// A result set already read (the catalog answers put together here).
class held_cursor final : public odbp_cursor {
public:
    explicit held_cursor(mssx_result r) : r_(std::move(r)) {}
    const std::vector<mssx_result_column>& columns() const override { return r_.columns; }
    bool next(std::vector<mssx_value>& row) override
    {
        if (pos_ >= r_.rows.size()) return false;
        row = std::move(r_.rows[pos_++]);
        return true;
    }

private:
    mssx_result r_;
    size_t pos_ = 0;
};

// Every row of a cursor.
std::vector<std::vector<mssx_value>> all_rows(odbp_cursor& c)
{
    std::vector<std::vector<mssx_value>> rows;
    std::vector<mssx_value> row;
    while (c.next(row)) rows.push_back(std::move(row));
    return rows;
}

std::string text_at(const std::vector<mssx_value>& row, size_t i)
{
    if (i >= row.size() || mssx_is_null(row[i])) return {};
    if (auto s = std::get_if<std::string>(&row[i])) return *s;
    if (auto n = std::get_if<int64_t>(&row[i])) return std::to_string(*n);
    return {};
}

int64_t int_at(const std::vector<mssx_value>& row, size_t i)
{
    if (i < row.size()) {
        if (auto n = std::get_if<int64_t>(&row[i])) return *n;
        if (auto s = std::get_if<std::string>(&row[i])) return std::atoll(s->c_str());
    }
    return 0;
}

mssx_value text_or_null(const std::string& s) { return s.empty() ? mssx_value() : mssx_value(s); }

bool restricted_out(const mssx_restrictions& r, size_t i, const std::string& value)
{
    return i < r.size() && r[i] && !mssx_iequal(*r[i], value);
}

const char* rule_text(int64_t rule)
{
    switch (rule) {
    case kRuleCascade:
        return "CASCADE";
    case kRuleSetNull:
        return "SET NULL";
    case kRuleSetDefault:
        return "SET DEFAULT";
    default:
        return "NO ACTION";
    }
}

std::string hex(const std::string& bytes)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string out = "0x";
    for (unsigned char b : bytes) {
        out += digits[b >> 4];
        out += digits[b & 15];
    }
    return out;
}

std::string quoted_name(const std::string& name)
{
    std::string out = "[";
    for (char c : name) {
        if (c == ']') out += ']';
        out += c;
    }
    return out + "]";
}

// A value as a T-SQL literal for the column's type.
std::string literal(const mssx_type& t, const mssx_value& v)
{
    if (mssx_is_null(v)) return "NULL";
    if (auto b = std::get_if<mssx_blob>(&v)) return hex(b->bytes);
    if (auto n = std::get_if<int64_t>(&v)) return std::to_string(*n);
    if (auto d = std::get_if<double>(&v)) {
        char buf[40];
        std::snprintf(buf, sizeof buf, "%.17g", *d);
        return buf;
    }
    const std::string& s = std::get<std::string>(v);
    if (t.is_binary()) return hex(s);
    if (t.is_integer() || t.is_exact_decimal() || t.is_float() || t.name == "bit") return s;
    std::string out = "N'";
    for (char c : s) {
        if (c == '\'') out += '\'';
        out += c;
    }
    return out + "'";
}

class odbc_backend final : public odbp_backend, public std::enable_shared_from_this<odbc_backend> {
public:
    explicit odbc_backend(const odbp_login& l) : cs_(odbp_odbc_connection_string(l))
    {
        // FreeTDS runs one statement at a time on a connection: every open
        // result set keeps a connection of its own (see take())
        idle_.push_back(std::make_shared<odbp_odbc_link>(cs_));
    }

    odbp_batch execute(const std::string& batch) override
    {
        odbp_batch b;
        auto link = take();
        auto st = static_cast<SQLHSTMT>(link->fresh_statement());
        std::string text = batch;
        SQLRETURN rc = SQLExecDirect(st, reinterpret_cast<SQLCHAR*>(text.data()), static_cast<SQLINTEGER>(text.size()));
        while (true) {
            if (rc == SQL_NO_DATA) break;
            if (!SQL_SUCCEEDED(rc)) {
                for (auto& e : diagnostics(SQL_HANDLE_STMT, st, false)) b.errors.push_back(e);
            } else {
                SQLSMALLINT cols = 0;
                SQLNumResultCols(st, &cols);
                if (cols > 0) {
                    b.result = cursor(std::move(link));
                    return b;
                }
                SQLLEN n = -1;
                if (SQL_SUCCEEDED(SQLRowCount(st, &n)) && n >= 0)
                    b.rows_affected = (b.rows_affected < 0 ? 0 : b.rows_affected) + n;
            }
            rc = SQLMoreResults(st);
        }
        link->close_statement();
        give_back(std::move(link));
        return b;
    }

    std::unique_ptr<odbp_cursor> open_table(const std::string& name) override
    {
        odbp_batch b = execute("SELECT * FROM " + odbp_held_name(name));
        if (!b.errors.empty()) throw b.errors.front();
        if (!b.result) throw mssx_error(208, "Invalid object name '" + name + "'.", 16);
        return std::move(b.result);
    }

    std::unique_ptr<odbp_cursor> schema_rowset(odbp_schema which, const mssx_restrictions& r) override
    {
        switch (which) {
        case odbp_schema::tables:
            return tables(r);
        case odbp_schema::primary_keys:
            return primary_keys(r);
        case odbp_schema::foreign_keys:
            return foreign_keys(r);
        case odbp_schema::indexes:
            break;
        }
        return indexes(r);
    }

    void create_table(const std::string& name, const std::vector<mssx_new_column>& cols) override
    {
        std::string sql = "CREATE TABLE " + odbp_held_name(name) + " (";
        for (size_t i = 0; i < cols.size(); ++i) {
            const mssx_new_column& c = cols[i];
            sql += (i ? ", " : "") + quoted_name(c.name) + " " + c.type.sql_text();
            if (c.identity) sql += " IDENTITY(1,1)";
            sql += c.nullable ? " NULL" : " NOT NULL";
            if (c.default_sql) sql += " DEFAULT " + *c.default_sql;
        }
        sql += ")";
        odbp_batch b = execute(sql);
        if (!b.errors.empty()) throw b.errors.front();
    }

    std::vector<mssx_result_column> table_columns(const std::string& name) override
    {
        odbp_batch b = execute("SELECT * FROM " + odbp_held_name(name) + " WHERE 1 = 0");
        if (!b.errors.empty()) throw b.errors.front();
        if (!b.result) throw mssx_error(208, "Invalid object name '" + name + "'.", 16);
        std::vector<mssx_result_column> cols = b.result->columns();
        identity_[name] = identity_column_of(name);
        return cols;
    }

    std::vector<mssx_error> bulk_append(const std::string& table, const std::vector<mssx_result_column>& cols,
                                        const std::vector<std::vector<std::optional<mssx_value>>>& rows,
                                        bool keep_identity) override
    {
        // plain INSERTs, many to a batch; each row's failure is its own
        constexpr size_t kRowsPerBatch = 200;
        std::string identity = identity_.count(table) ? identity_[table] : identity_column_of(table);
        std::string held = odbp_held_name(table);
        std::vector<mssx_error> errors;
        std::string batch;
        size_t in_batch = 0;
        auto flush = [&] {
            if (batch.empty()) return;
            if (keep_identity && !identity.empty())
                batch = "SET IDENTITY_INSERT " + held + " ON;\n" + batch + "SET IDENTITY_INSERT " + held + " OFF;\n";
            for (auto& e : execute(batch).errors) errors.push_back(e);
            batch.clear();
            in_batch = 0;
        };
        for (auto& row : rows) {
            std::string names, values;
            for (size_t i = 0; i < cols.size() && i < row.size(); ++i) {
                if (!row[i]) continue; // the column's default
                if (!keep_identity && mssx_iequal(cols[i].name, identity)) continue;
                names += (names.empty() ? "" : ", ") + quoted_name(cols[i].name);
                values += (values.empty() ? "" : ", ") + literal(cols[i].type, *row[i]);
            }
            batch += names.empty() ? "INSERT INTO " + held + " DEFAULT VALUES;\n"
                                   : "INSERT INTO " + held + " (" + names + ") VALUES (" + values + ");\n";
            if (++in_batch == kRowsPerBatch) flush();
        }
        flush();
        return errors;
    }

private:
    std::string identity_column_of(const std::string& table)
    {
        odbp_batch b = execute("SELECT * FROM " + odbp_held_name(table) + " WHERE 1 = 0");
        if (!b.errors.empty() || !b.result) return {};
        if (!last_identity_.empty()) return last_identity_; // noted when the cursor was made
        b.result.reset();
        // a driver that does not flag it: the catalog knows
        std::string name = odbp_held_name(table), quoted;
        for (char c : name) {
            if (c == '\'') quoted += '\'';
            quoted += c;
        }
        odbp_batch ask =
            execute("SELECT name FROM sys.columns WHERE object_id = OBJECT_ID(N'" + quoted + "') AND is_identity = 1");
        std::vector<mssx_value> row;
        if (ask.errors.empty() && ask.result && ask.result->next(row) && !row.empty()) return text_at(row, 0);
        return {};
    }

    std::unique_ptr<odbp_cursor> cursor(std::shared_ptr<odbp_odbc_link> link)
    {
        auto st = static_cast<SQLHSTMT>(link->statement());
        last_identity_.clear();
        SQLSMALLINT n = 0;
        SQLNumResultCols(st, &n);
        for (SQLUSMALLINT i = 1; i <= static_cast<SQLUSMALLINT>(n); ++i) {
            SQLLEN auto_unique = 0;
            SQLColAttribute(st, i, SQL_DESC_AUTO_UNIQUE_VALUE, nullptr, 0, nullptr, &auto_unique);
            if (auto_unique == SQL_TRUE) {
                SQLCHAR name[512] = {};
                SQLSMALLINT len = 0;
                SQLColAttribute(st, i, SQL_DESC_NAME, name, sizeof name, &len, nullptr);
                last_identity_ = reinterpret_cast<char*>(name);
            }
        }
        std::weak_ptr<odbc_backend> self = weak_from_this();
        return std::make_unique<odbc_cursor>(std::move(link), [self](std::shared_ptr<odbp_odbc_link> back) {
            if (auto b = self.lock()) b->give_back(std::move(back));
        });
    }

    // A connection with no open result set: an idle one, else a new one.
    std::shared_ptr<odbp_odbc_link> take()
    {
        {
            std::lock_guard<std::mutex> g(lock_);
            if (!idle_.empty()) {
                auto l = std::move(idle_.back());
                idle_.pop_back();
                return l;
            }
        }
        return std::make_shared<odbp_odbc_link>(cs_);
    }
    void give_back(std::shared_ptr<odbp_odbc_link> l)
    {
        constexpr size_t kIdleKept = 4;
        std::lock_guard<std::mutex> g(lock_);
        if (idle_.size() < kIdleKept) idle_.push_back(std::move(l));
    }

    // Runs a catalog function on a fresh statement and reads its rows.
    template <class F>
    std::vector<std::vector<mssx_value>> catalog(F call)
    {
        auto link = take();
        auto st = static_cast<SQLHSTMT>(link->fresh_statement());
        if (!SQL_SUCCEEDED(call(st))) {
            mssx_error e = diagnostics(SQL_HANDLE_STMT, st, false).front();
            link->close_statement();
            give_back(std::move(link));
            throw e;
        }
        auto c = cursor(std::move(link));
        return all_rows(*c);
    }

    static SQLCHAR* arg(std::string& s) { return s.empty() ? nullptr : reinterpret_cast<SQLCHAR*>(s.data()); }
    static SQLSMALLINT arg_len(const std::string& s) { return s.empty() ? 0 : static_cast<SQLSMALLINT>(s.size()); }

    // The user tables and views (schema, name, type) matching the restrictions.
    std::vector<std::array<std::string, 4>> table_list(const mssx_restrictions& r)
    {
        std::string schema = r.size() > 1 && r[1] ? *r[1] : "", name = r.size() > 2 && r[2] ? *r[2] : "";
        std::string types = "'TABLE','VIEW'";
        auto rows = catalog([&](SQLHSTMT st) {
            return SQLTables(st, nullptr, 0, arg(schema), arg_len(schema), arg(name), arg_len(name),
                             reinterpret_cast<SQLCHAR*>(types.data()), static_cast<SQLSMALLINT>(types.size()));
        });
        std::vector<std::array<std::string, 4>> out;
        for (auto& row : rows) {
            std::array<std::string, 4> t{text_at(row, 0), text_at(row, 1), text_at(row, 2), text_at(row, 3)};
            if (t[3] != "TABLE" && t[3] != "VIEW") continue;
            if (restricted_out(r, 0, t[0]) || restricted_out(r, 1, t[1]) || restricted_out(r, 2, t[2]) ||
                restricted_out(r, 3, t[3]))
                continue;
            out.push_back(t);
        }
        return out;
    }

    std::unique_ptr<odbp_cursor> tables(const mssx_restrictions& r)
    {
        mssx_result res;
        res.columns = {mssx_col("TABLE_CATALOG", "nvarchar(128)"), mssx_col("TABLE_SCHEMA", "nvarchar(128)"),
                       mssx_col("TABLE_NAME", "nvarchar(128)"),    mssx_col("TABLE_TYPE", "nvarchar(128)"),
                       mssx_col("TABLE_GUID", "uniqueidentifier"), mssx_col("DESCRIPTION", "nvarchar(4000)"),
                       mssx_col("TABLE_PROPID", "ole_ui4"),        mssx_col("DATE_CREATED", "ole_date"),
                       mssx_col("DATE_MODIFIED", "ole_date")};
        auto list = table_list(r);
        std::sort(list.begin(), list.end(), [](auto& a, auto& b) {
            auto key = [](auto& x) { return mssx_upper(x[3] + "\x01" + x[1] + "\x01" + x[2]); };
            return key(a) < key(b);
        });
        for (auto& t : list)
            res.rows.push_back(
                {t[0], t[1], t[2], t[3], mssx_value(), mssx_value(), mssx_value(), mssx_value(), mssx_value()});
        return std::make_unique<held_cursor>(std::move(res));
    }

    std::unique_ptr<odbp_cursor> primary_keys(const mssx_restrictions& r)
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
        mssx_restrictions tr(3);
        for (size_t i = 0; i < 3 && i < r.size(); ++i) tr[i] = r[i];
        for (auto& t : table_list(tr)) {
            if (t[3] != "TABLE") continue;
            std::string schema = t[1], name = t[2];
            for (auto& row : catalog([&](SQLHSTMT st) {
                     return SQLPrimaryKeys(st, nullptr, 0, arg(schema), arg_len(schema), arg(name), arg_len(name));
                 }))
                res.rows.push_back({text_at(row, 0), text_at(row, 1), text_at(row, 2), text_at(row, 3), mssx_value(),
                                    mssx_value(), int_at(row, 4), text_at(row, 5)});
        }
        return std::make_unique<held_cursor>(std::move(res));
    }

    std::unique_ptr<odbp_cursor> foreign_keys(const mssx_restrictions& r)
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
        // by the referencing tables (restrictions 3 to 5), the referenced ones filtered after
        mssx_restrictions tr(3);
        for (size_t i = 0; i < 3 && i + 3 < r.size(); ++i) tr[i] = r[i + 3];
        for (auto& t : table_list(tr)) {
            if (t[3] != "TABLE") continue;
            std::string schema = t[1], name = t[2];
            for (auto& row : catalog([&](SQLHSTMT st) {
                     return SQLForeignKeys(st, nullptr, 0, nullptr, 0, nullptr, 0, nullptr, 0, arg(schema),
                                           arg_len(schema), arg(name), arg_len(name));
                 })) {
                if (restricted_out(r, 0, text_at(row, 0)) || restricted_out(r, 1, text_at(row, 1)) ||
                    restricted_out(r, 2, text_at(row, 2)))
                    continue;
                res.rows.push_back({text_at(row, 0), text_at(row, 1), text_at(row, 2), text_at(row, 3), mssx_value(),
                                    mssx_value(), text_at(row, 4), text_at(row, 5), text_at(row, 6), text_at(row, 7),
                                    mssx_value(), mssx_value(), int_at(row, 8), std::string(rule_text(int_at(row, 9))),
                                    std::string(rule_text(int_at(row, 10))), text_or_null(text_at(row, 12)),
                                    text_at(row, 11), int64_t(3)});
            }
        }
        return std::make_unique<held_cursor>(std::move(res));
    }

    std::unique_ptr<odbp_cursor> indexes(const mssx_restrictions& r)
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
        // restrictions: catalog, schema, index name, type, table name
        mssx_restrictions tr(3);
        if (r.size() > 0) tr[0] = r[0];
        if (r.size() > 1) tr[1] = r[1];
        if (r.size() > 4) tr[2] = r[4];
        for (auto& t : table_list(tr)) {
            if (t[3] != "TABLE") continue;
            std::string schema = t[1], name = t[2];
            std::string pk_name;
            for (auto& row : catalog([&](SQLHSTMT st) {
                     return SQLPrimaryKeys(st, nullptr, 0, arg(schema), arg_len(schema), arg(name), arg_len(name));
                 }))
                pk_name = text_at(row, 5);
            int64_t table_rows = 0;
            auto rows = catalog([&](SQLHSTMT st) {
                return SQLStatistics(st, nullptr, 0, arg(schema), arg_len(schema), arg(name), arg_len(name),
                                     SQL_INDEX_ALL, SQL_QUICK);
            });
            std::stable_sort(rows.begin(), rows.end(),
                             [](auto& a, auto& b) { return mssx_upper(text_at(a, 5)) < mssx_upper(text_at(b, 5)); });
            for (auto& row : rows) {
                if (int_at(row, 6) == SQL_TABLE_STAT) {
                    table_rows = int_at(row, 10);
                    continue;
                }
                std::string ix = text_at(row, 5);
                if (ix.empty() || restricted_out(r, 2, ix)) continue;
                bool unique = int_at(row, 3) == 0, clustered = int_at(row, 6) == SQL_INDEX_CLUSTERED;
                res.rows.push_back(
                    {t[0],
                     t[1],
                     t[2],
                     t[0],
                     t[1],
                     ix,
                     int64_t(mssx_iequal(ix, pk_name)),
                     int64_t(unique),
                     int64_t(clustered),
                     int64_t(1),
                     int64_t(0),
                     mssx_value(),
                     int64_t(unique ? 1 : 0),
                     int64_t(0),
                     int64_t(1),
                     int64_t(4),
                     int_at(row, 7),
                     text_at(row, 8),
                     mssx_value(),
                     mssx_value(),
                     int64_t(1),
                     row.size() > 10 && !mssx_is_null(row[10]) ? mssx_value(int_at(row, 10)) : mssx_value(table_rows),
                     mssx_value(),
                     text_or_null(text_at(row, 12)),
                     int64_t(clustered)});
            }
        }
        return std::make_unique<held_cursor>(std::move(res));
    }

    std::string cs_;
    std::mutex lock_;
    std::vector<std::shared_ptr<odbp_odbc_link>> idle_;
    std::map<std::string, std::string> identity_; // by table: its identity column
    std::string last_identity_;
};

} // namespace

std::shared_ptr<odbp_backend> odbp_open_odbc(const odbp_login& login) { return std::make_shared<odbc_backend>(login); }
