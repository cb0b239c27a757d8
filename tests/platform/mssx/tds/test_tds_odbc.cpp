// unixODBC with FreeTDS's driver against the endpoint: logins, every column
// type value by value, parameters, several connections, catalog functions.
#include <gtest/gtest.h>
#include <atomic>
#include <sstream>
#include <thread>
#include "platform/mssx/mssx_lexer.h"
#include "tds_odbc_client.h"
#include "tds_test_endpoint.h"

namespace {

const char* kAllTypes =
    "CREATE TABLE all_types (id int NOT NULL PRIMARY KEY, c_tinyint tinyint NULL, c_smallint smallint NULL, c_int int "
    "NULL,"
    " c_bigint bigint NULL, c_bit bit NULL, c_dec decimal(18,4) NULL, c_num numeric(38,10) NULL, c_money money NULL,"
    " c_smallmoney smallmoney NULL, c_float float NULL, c_real real NULL, c_char char(5) NULL, c_varchar varchar(20) "
    "NULL,"
    " c_nchar nchar(5) NULL, c_nvarchar nvarchar(20) NULL, c_vmax varchar(max) NULL, c_nvmax nvarchar(max) NULL,"
    " c_vbmax varbinary(max) NULL, c_text text NULL, c_ntext ntext NULL, c_image image NULL, c_binary binary(4) NULL,"
    " c_varbinary varbinary(10) NULL, c_guid uniqueidentifier NULL, c_date date NULL, c_time time(7) NULL,"
    " c_datetime datetime NULL, c_dt2 datetime2(7) NULL, c_dto datetimeoffset(7) NULL, c_sdt smalldatetime NULL,"
    " c_xml xml NULL)";

const char* kRow1 =
    "INSERT INTO all_types VALUES (1, 255, -32768, -2147483648, 9223372036854775807, 1, -12345678901234.5678,"
    " 1234567890123456789012345678.0123456789, -922337203685477.5808, 214748.3647, 3.5, 0.25, 'ab', 'Caf\xC3\xA9 "
    "\xE2\x82\xAC',"
    " N'\xC3\xA9t\xC3\xA9', N'\xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x98\x80', 'long text', N'long \xC3\xBC text', "
    "0x00FF10, 'legacy', N'\xC3\xBC', 0xCAFE,"
    " 0xDEADBEEF, 0x0102, '6F9619FF-8B86-D011-B42D-00C04FC964FF', '2024-02-29', '13:14:15.1234567',"
    " '2024-02-29 13:14:15.997', '0001-01-01 00:00:00.0000001', '2024-02-29 23:30:00.5 +05:30', '2079-06-06 23:59',"
    " N'<a>x</a>')";

// The text FreeTDS's driver gives for each column of row 1, read as SQL_C_CHAR in UTF-8.
const std::vector<std::string> kRow1Text = {"1",
                                            "255",
                                            "-32768",
                                            "-2147483648",
                                            "9223372036854775807",
                                            "1",
                                            "-12345678901234.5678",
                                            "1234567890123456789012345678.0123456789",
                                            "-922337203685477.5808",
                                            "214748.3647",
                                            "3.5",
                                            "0.25",
                                            "ab   ",
                                            "Caf\xC3\xA9 \xE2\x82\xAC",
                                            "\xC3\xA9t\xC3\xA9  ",
                                            "\xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x98\x80",
                                            "long text",
                                            "long \xC3\xBC text",
                                            "00ff10",
                                            "legacy",
                                            "\xC3\xBC",
                                            "cafe",
                                            "deadbeef",
                                            "0102",
                                            "6F9619FF-8B86-D011-B42D-00C04FC964FF",
                                            "2024-02-29",
                                            "13:14:15.1234567",
                                            "2024-02-29 13:14:15.997",
                                            "1-01-01 00:00:00.0000001",
                                            "2024-02-29 23:30:00.5000000 +05:30",
                                            "2079-06-06 23:59:00",
                                            "<a>x</a>"};

} // namespace

class TdsOdbc : public ::testing::Test {
protected:
    tds_test_endpoint e{"odbc_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name())};
    void SetUp() override
    {
        e.setup("CREATE DATABASE conv");
        e.start();
    }
};

TEST_F(TdsOdbc, RefusesWrongPasswordAndUnknownDatabase)
{
    tds_odbc_client bad;
    EXPECT_FALSE(bad.connect(e.port, "sa", "wrong"));
    EXPECT_TRUE(bad.has_error(18456)) << bad.error_text();
    EXPECT_NE(bad.error_text().find("Login failed for user 'sa'."), std::string::npos) << bad.error_text();
    tds_odbc_client nodb;
    EXPECT_FALSE(nodb.connect(e.port, "sa", "Secret#1", "nowhere"));
    EXPECT_TRUE(nodb.has_error(4060)) << nodb.error_text();
    tds_odbc_client good;
    ASSERT_TRUE(good.connect(e.port, "sa", "Secret#1", "conv")) << good.error_text();
    ASSERT_TRUE(good.exec("SELECT DB_NAME()"));
    auto r = good.rows();
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(r[0][0], "conv");
    // SIGTERM with a client still connected: the endpoint closes it and ends cleanly
    EXPECT_EQ(e.stop(), 0);
    EXPECT_FALSE(good.exec("SELECT 1"));
}

TEST_F(TdsOdbc, RoundTripsEveryColumnType)
{
    tds_odbc_client c;
    ASSERT_TRUE(c.connect(e.port, "sa", "Secret#1", "conv")) << c.error_text();
    ASSERT_TRUE(c.exec(kAllTypes)) << c.error_text();
    ASSERT_TRUE(c.exec(kRow1)) << c.error_text();
    ASSERT_TRUE(c.exec("INSERT INTO all_types (id) VALUES (2)")) << c.error_text();
    ASSERT_TRUE(c.exec("SELECT * FROM all_types ORDER BY id")) << c.error_text();
    auto rows = c.rows();
    ASSERT_EQ(rows.size(), 2u);
    ASSERT_EQ(rows[0].size(), kRow1Text.size());
    for (size_t i = 0; i < kRow1Text.size(); ++i) {
        ASSERT_TRUE(rows[0][i].has_value()) << "column " << i;
        EXPECT_EQ(*rows[0][i], kRow1Text[i]) << "column " << i;
    }
    for (size_t i = 1; i < rows[1].size(); ++i) EXPECT_FALSE(rows[1][i].has_value()) << "column " << i;
}

TEST_F(TdsOdbc, ParametersArriveAsTheValuesTheyWere)
{
    tds_odbc_client c;
    ASSERT_TRUE(c.connect(e.port, "sa", "Secret#1", "conv")) << c.error_text();
    ASSERT_TRUE(c.exec(kAllTypes)) << c.error_text();
    ASSERT_TRUE(c.exec(kRow1)) << c.error_text();
    // the same values again, each bound as text of its column's SQL type
    SQLHSTMT s = c.stmt();
    std::string cols, marks;
    for (size_t i = 0; i < kRow1Text.size(); ++i) {
        cols += std::string(i ? "," : "") + "?";
    }
    std::string sql = "INSERT INTO all_types VALUES (" + cols + ")";
    ASSERT_TRUE(SQL_SUCCEEDED(SQLPrepare(s, (SQLCHAR*)sql.c_str(), SQL_NTS))) << c.error_text();
    const SQLSMALLINT types[] = {
        SQL_INTEGER,        SQL_TINYINT,     SQL_SMALLINT,     SQL_INTEGER,        SQL_BIGINT,      SQL_BIT,
        SQL_DECIMAL,        SQL_NUMERIC,     SQL_DECIMAL,      SQL_DECIMAL,        SQL_DOUBLE,      SQL_REAL,
        SQL_CHAR,           SQL_VARCHAR,     SQL_WCHAR,        SQL_WVARCHAR,       SQL_LONGVARCHAR, SQL_WLONGVARCHAR,
        SQL_LONGVARBINARY,  SQL_LONGVARCHAR, SQL_WLONGVARCHAR, SQL_LONGVARBINARY,  SQL_BINARY,      SQL_VARBINARY,
        SQL_GUID,           SQL_TYPE_DATE,   SQL_TYPE_TIME,    SQL_TYPE_TIMESTAMP, SQL_WVARCHAR,    SQL_WVARCHAR,
        SQL_TYPE_TIMESTAMP, SQL_WLONGVARCHAR};
    std::vector<std::string> values = kRow1Text;
    values[0] = "3";
    values[12] = "ab";
    values[14] = "\xC3\xA9t\xC3\xA9";
    values[28] = "0001-01-01 00:00:00.0000001";
    std::vector<std::string> bin(values.size());
    std::vector<SQLLEN> ind(values.size());
    auto unhex = [](const std::string& h) {
        std::string out;
        for (size_t i = 0; i + 1 < h.size(); i += 2) out += static_cast<char>(std::stoi(h.substr(i, 2), nullptr, 16));
        return out;
    };
    std::vector<SQL_TIMESTAMP_STRUCT> ts(values.size());
    std::vector<SQL_DATE_STRUCT> ds(values.size());
    for (size_t i = 0; i < values.size(); ++i) {
        SQLUSMALLINT n = static_cast<SQLUSMALLINT>(i + 1);
        SQLSMALLINT t = types[i];
        SQLRETURN rc;
        if (t == SQL_BINARY || t == SQL_VARBINARY || t == SQL_LONGVARBINARY) {
            bin[i] = unhex(values[i]);
            ind[i] = static_cast<SQLLEN>(bin[i].size());
            rc = SQLBindParameter(s, n, SQL_PARAM_INPUT, SQL_C_BINARY, t, bin[i].size(), 0, bin[i].data(), ind[i],
                                  &ind[i]);
        } else if (i == 27) { // datetime as a timestamp structure
            ts[i] = SQL_TIMESTAMP_STRUCT{2024, 2, 29, 13, 14, 15, 997000000};
            ind[i] = sizeof ts[i];
            rc = SQLBindParameter(s, n, SQL_PARAM_INPUT, SQL_C_TYPE_TIMESTAMP, t, 27, 7, &ts[i], 0, &ind[i]);
        } else if (i == 25) {
            ds[i] = SQL_DATE_STRUCT{2024, 2, 29};
            ind[i] = sizeof ds[i];
            rc = SQLBindParameter(s, n, SQL_PARAM_INPUT, SQL_C_TYPE_DATE, t, 10, 0, &ds[i], 0, &ind[i]);
        } else {
            ind[i] = static_cast<SQLLEN>(values[i].size());
            SQLULEN size = std::max<SQLULEN>(values[i].size(), 1);
            SQLSMALLINT digits = (t == SQL_DECIMAL || t == SQL_NUMERIC) ? (i == 7 ? 10 : 4) : 0;
            if (t == SQL_DECIMAL || t == SQL_NUMERIC) size = i == 7 ? 38 : 19;
            if (t == SQL_TYPE_TIME) {
                size = 16;
                digits = 7;
            }
            rc =
                SQLBindParameter(s, n, SQL_PARAM_INPUT, SQL_C_CHAR, t, size, digits, values[i].data(), ind[i], &ind[i]);
        }
        ASSERT_TRUE(SQL_SUCCEEDED(rc)) << "parameter " << i;
    }
    SQLRETURN rc = SQLExecute(s);
    if (!SQL_SUCCEEDED(rc)) c.collect(SQL_HANDLE_STMT, s);
    ASSERT_TRUE(SQL_SUCCEEDED(rc)) << c.error_text();
    // compared in the store itself: the row sent as parameters equals the row sent as literals
    mssx_connection direct(e.dir, mssx_login{"sa", "Secret#1", false, "conv"});
    auto out = direct.execute("SELECT * FROM all_types ORDER BY id");
    ASSERT_TRUE(out.errors.empty());
    auto& r = out.results.at(0);
    ASSERT_EQ(r.rows.size(), 2u);
    for (size_t i = 1; i < r.columns.size(); ++i)
        EXPECT_EQ(mssx_text(r.columns[i].type, r.rows[1][i]), mssx_text(r.columns[i].type, r.rows[0][i]))
            << r.columns[i].name;
}

TEST_F(TdsOdbc, ServesSeveralConnectionsAtOnceAndLargeValues)
{
    {
        tds_odbc_client c;
        ASSERT_TRUE(c.connect(e.port, "sa", "Secret#1", "conv")) << c.error_text();
        ASSERT_TRUE(c.exec("CREATE TABLE big (id int NOT NULL, b varbinary(max) NULL, s nvarchar(max) NULL)"))
            << c.error_text();
    }
    // a 10 MiB value in each direction
    std::string blob(10u * 1024u * 1024u, '\0');
    for (size_t i = 0; i < blob.size(); ++i) blob[i] = static_cast<char>((i * 7919u) >> 3);
    {
        tds_odbc_client c;
        ASSERT_TRUE(c.connect(e.port, "sa", "Secret#1", "conv"));
        SQLHSTMT s = c.stmt();
        SQLLEN ind = static_cast<SQLLEN>(blob.size());
        ASSERT_TRUE(SQL_SUCCEEDED(SQLPrepare(s, (SQLCHAR*)"INSERT INTO big (id, b) VALUES (1, ?)", SQL_NTS)));
        ASSERT_TRUE(SQL_SUCCEEDED(SQLBindParameter(s, 1, SQL_PARAM_INPUT, SQL_C_BINARY, SQL_LONGVARBINARY, blob.size(),
                                                   0, blob.data(), ind, &ind)));
        SQLRETURN rc = SQLExecute(s);
        if (!SQL_SUCCEEDED(rc)) c.collect(SQL_HANDLE_STMT, s);
        ASSERT_TRUE(SQL_SUCCEEDED(rc)) << c.error_text();
        {
            mssx_connection direct(e.dir, mssx_login{"sa", "Secret#1", false, "conv"});
            auto out = direct.execute("SELECT b FROM big WHERE id = 1");
            ASSERT_TRUE(out.errors.empty());
            auto* stored = std::get_if<mssx_blob>(&out.results.at(0).rows.at(0).at(0));
            ASSERT_NE(stored, nullptr);
            EXPECT_TRUE(stored->bytes == blob);
        }
        ASSERT_TRUE(c.exec("SELECT b FROM big WHERE id = 1"));
        ASSERT_TRUE(SQL_SUCCEEDED(SQLFetch(c.current())));
        auto back = c.text(1, SQL_C_BINARY);
        ASSERT_TRUE(back.has_value());
        EXPECT_EQ(back->size(), blob.size());
        EXPECT_TRUE(*back == blob);
    }
    // eight clients at once, each writing and reading its own rows
    std::atomic<int> good{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t)
        threads.emplace_back([&, t] {
            tds_odbc_client c;
            if (!c.connect(e.port, "sa", "Secret#1", "conv")) return;
            bool ok = true;
            for (int k = 0; k < 20 && ok; ++k)
                ok = c.exec("INSERT INTO big (id, s) VALUES (" + std::to_string(100 + t) + ", N'v" + std::to_string(k) +
                            "')");
            ok = ok && c.exec("SELECT COUNT(*) FROM big WHERE id = " + std::to_string(100 + t));
            if (ok) {
                auto r = c.rows();
                ok = r.size() == 1 && r[0][0] == "20";
            }
            if (ok) ++good;
        });
    for (auto& th : threads) th.join();
    EXPECT_EQ(good.load(), 8);
    EXPECT_EQ(e.stop(), 0);
}

TEST_F(TdsOdbc, CatalogFunctionsAnswerFromTheCatalog)
{
    e.setup(
        "CREATE TABLE parent (pid int NOT NULL, sub int NOT NULL, label nvarchar(10) NULL, CONSTRAINT pk_parent "
        "PRIMARY KEY (pid, sub));"
        "CREATE TABLE kid (kid int NOT NULL PRIMARY KEY, pid int NOT NULL, sub int NOT NULL, note varchar(5) NULL,"
        " CONSTRAINT fk_kid_parent FOREIGN KEY (pid, sub) REFERENCES parent (pid, sub) ON DELETE CASCADE);"
        "CREATE UNIQUE INDEX ux_kid_note ON kid (note); INSERT INTO parent VALUES (1, 1, N'a'), (1, 2, N'b')",
        "conv");
    tds_odbc_client c;
    ASSERT_TRUE(c.connect(e.port, "sa", "Secret#1", "conv")) << c.error_text();
    auto call = [&](SQLRETURN rc) {
        if (!SQL_SUCCEEDED(rc)) c.collect(SQL_HANDLE_STMT, c.current());
        EXPECT_TRUE(SQL_SUCCEEDED(rc)) << c.error_text();
        return c.rows();
    };
    auto tables =
        call(SQLTables(c.stmt(), nullptr, 0, nullptr, 0, (SQLCHAR*)"%", SQL_NTS, (SQLCHAR*)"'TABLE'", SQL_NTS));
    ASSERT_EQ(tables.size(), 2u);
    EXPECT_EQ(tables[0][2], "kid");
    EXPECT_EQ(tables[1][2], "parent");

    auto pk = call(SQLPrimaryKeys(c.stmt(), nullptr, 0, nullptr, 0, (SQLCHAR*)"parent", SQL_NTS));
    ASSERT_EQ(pk.size(), 2u);
    EXPECT_EQ(pk[0][3], "pid");
    EXPECT_EQ(pk[0][4], "1");
    EXPECT_EQ(pk[1][3], "sub");
    EXPECT_EQ(pk[1][4], "2");
    EXPECT_EQ(pk[1][5], "pk_parent");

    auto fk = call(
        SQLForeignKeys(c.stmt(), nullptr, 0, nullptr, 0, nullptr, 0, nullptr, 0, nullptr, 0, (SQLCHAR*)"kid", SQL_NTS));
    ASSERT_EQ(fk.size(), 2u);
    EXPECT_EQ(fk[0][2], "parent");
    EXPECT_EQ(fk[0][3], "pid");
    EXPECT_EQ(fk[0][7], "pid");
    EXPECT_EQ(fk[1][7], "sub");
    EXPECT_EQ(fk[1][8], "2");
    EXPECT_EQ(fk[0][10], std::to_string(SQL_CASCADE)) << "delete rule";
    EXPECT_EQ(fk[0][9], "1") << "update rule: NO ACTION as the server's sp_fkeys reports it";
    EXPECT_EQ(fk[0][11], "fk_kid_parent");

    auto st =
        call(SQLStatistics(c.stmt(), nullptr, 0, nullptr, 0, (SQLCHAR*)"parent", SQL_NTS, SQL_INDEX_ALL, SQL_QUICK));
    ASSERT_EQ(st.size(), 3u);
    EXPECT_EQ(st[0][6], std::to_string(SQL_TABLE_STAT));
    EXPECT_EQ(st[0][10], "2") << "rows of the table";
    EXPECT_EQ(st[1][5], "pk_parent");
    EXPECT_EQ(st[1][3], "0") << "unique";
    EXPECT_EQ(st[2][8], "sub");
    auto unique_only =
        call(SQLStatistics(c.stmt(), nullptr, 0, nullptr, 0, (SQLCHAR*)"kid", SQL_NTS, SQL_INDEX_UNIQUE, SQL_QUICK));
    EXPECT_EQ(unique_only.size(), 3u); // the table row, the key, the unique index

    auto types = call(SQLGetTypeInfo(c.stmt(), SQL_ALL_TYPES));
    std::vector<std::string> names;
    int previous = -1000;
    for (auto& t : types) {
        names.push_back(t[0].value_or(""));
        int dt = std::stoi(t[1].value_or("0"));
        EXPECT_LE(previous, dt) << "ordered by DATA_TYPE";
        previous = dt;
    }
    for (const char* n : {"int", "nvarchar", "datetime2", "decimal", "varbinary", "uniqueidentifier", "datetimeoffset"})
        EXPECT_NE(std::find(names.begin(), names.end(), n), names.end()) << n;
    auto ints = call(SQLGetTypeInfo(c.stmt(), SQL_INTEGER));
    ASSERT_EQ(ints.size(), 1u);
    EXPECT_EQ(ints[0][0], "int");

    auto best = call(SQLSpecialColumns(c.stmt(), SQL_BEST_ROWID, nullptr, 0, nullptr, 0, (SQLCHAR*)"parent", SQL_NTS,
                                       SQL_SCOPE_SESSION, SQL_NULLABLE));
    ASSERT_EQ(best.size(), 2u);
    EXPECT_EQ(best[0][1], "pid");
    EXPECT_EQ(best[1][1], "sub");
    EXPECT_EQ(best[0][2], std::to_string(SQL_INTEGER));
}

TEST_F(TdsOdbc, NorthwindReadsWholeAndEqualThroughTheEndpoint)
{
    const char* root = std::getenv("TVX_FIXTURES");
    std::string script = std::string(root ? root : "../shared/fixtures") + "/northwind/instnwnd.sql";
    if (!std::filesystem::exists(script)) GTEST_SKIP() << "the Northwind script is not there";
    {
        std::ifstream in(script, std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        mssx_connection load(e.dir, mssx_login{"sa", "Secret#1", false, ""});
        for (auto& b : mssx_split_batches(ss.str()))
            for (int k = 0; k < b.repeat; ++k) load.execute(b.text);
    }
    mssx_connection direct(e.dir, mssx_login{"sa", "Secret#1", false, "Northwind"});
    tds_odbc_client c;
    ASSERT_TRUE(c.connect(e.port, "sa", "Secret#1", "Northwind")) << c.error_text();
    auto tables = direct.schema_tables({std::nullopt, std::nullopt, std::nullopt, std::string("TABLE")});
    ASSERT_GE(tables.rows.size(), 10u);
    for (auto& t : tables.rows) {
        std::string name = "[" + std::get<std::string>(t[1]) + "].[" + std::get<std::string>(t[2]) + "]";
        auto want = direct.execute("SELECT * FROM " + name);
        ASSERT_TRUE(want.errors.empty()) << name;
        auto& w = want.results.at(0);
        ASSERT_TRUE(c.exec("SELECT * FROM " + name)) << name << c.error_text();
        auto got = c.rows();
        ASSERT_EQ(got.size(), w.rows.size()) << name;
        for (size_t r = 0; r < got.size(); ++r)
            for (size_t i = 0; i < w.columns.size(); ++i) {
                const mssx_type& type = w.columns[i].type;
                ASSERT_EQ(got[r][i].has_value(), !mssx_is_null(w.rows[r][i])) << name << " " << w.columns[i].name;
                if (!got[r][i]) continue;
                EXPECT_EQ(got[r][i]->rfind("<error", 0), std::string::npos) << name << " " << w.columns[i].name;
                // text, whole numbers and binary read back exactly as stored
                std::string stored = mssx_text(type, w.rows[r][i]);
                if (type.is_string() || (type.is_integer() && type.name != "bit"))
                    EXPECT_EQ(*got[r][i], stored) << name << " " << w.columns[i].name << " row " << r;
                else if (type.is_binary()) {
                    std::string lower = stored;
                    for (auto& ch : lower) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
                    EXPECT_EQ(*got[r][i], lower) << name << " " << w.columns[i].name << " row " << r;
                }
            }
    }
}

// What a server says of its columns reaches the driver: NOT NULL and the
// identity column, with values equal; a NOT NULL column read through an outer
// join holds NULLs and is nullable there.
TEST_F(TdsOdbc, NullabilityAndTheIdentityColumnReachTheDriver)
{
    tds_odbc_client c;
    ASSERT_TRUE(c.connect(e.port, "sa", "Secret#1", "conv")) << c.error_text();
    ASSERT_TRUE(
        c.exec("CREATE TABLE fixed_cols (id int IDENTITY(5,1) NOT NULL PRIMARY KEY, n bigint NOT NULL,"
               " b bit NOT NULL, m money NOT NULL, f float NOT NULL, d datetime NOT NULL, s smallint NULL)"))
        << c.error_text();
    ASSERT_TRUE(
        c.exec("INSERT INTO fixed_cols (n, b, m, f, d, s) VALUES (-9223372036854775808, 1,"
               " -922337203685477.5808, 2.5, '1753-01-01 00:00:00.003', NULL)"))
        << c.error_text();
    ASSERT_TRUE(c.exec("SELECT id, n, b, m, f, d, s FROM fixed_cols")) << c.error_text();
    const SQLSMALLINT expected_nullable[] = {SQL_NO_NULLS, SQL_NO_NULLS, SQL_NO_NULLS, SQL_NO_NULLS,
                                             SQL_NO_NULLS, SQL_NO_NULLS, SQL_NULLABLE};
    for (SQLUSMALLINT col = 1; col <= 7; ++col) {
        SQLLEN nullable = -1, auto_unique = -1;
        SQLColAttribute(c.current(), col, SQL_DESC_NULLABLE, nullptr, 0, nullptr, &nullable);
        SQLColAttribute(c.current(), col, SQL_DESC_AUTO_UNIQUE_VALUE, nullptr, 0, nullptr, &auto_unique);
        EXPECT_EQ(nullable, expected_nullable[col - 1]) << "column " << col;
        EXPECT_EQ(auto_unique, col == 1 ? SQL_TRUE : SQL_FALSE) << "column " << col;
    }
    auto rows = c.rows();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0][0], "5");
    EXPECT_EQ(rows[0][1], "-9223372036854775808");
    EXPECT_EQ(rows[0][2], "1");
    EXPECT_EQ(rows[0][3], "-922337203685477.5808");
    EXPECT_EQ(rows[0][4], "2.5");
    EXPECT_EQ(rows[0][5], "1753-01-01 00:00:00.003");
    EXPECT_FALSE(rows[0][6].has_value());

    ASSERT_TRUE(
        c.exec("SELECT o.id, f.n FROM (SELECT 1 AS id UNION ALL SELECT 2) o"
               " LEFT JOIN fixed_cols f ON f.id = o.id + 4 ORDER BY o.id"))
        << c.error_text();
    rows = c.rows();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0][1], "-9223372036854775808");
    EXPECT_FALSE(rows[1][1].has_value());
}

// A client of TDS 7.1 reads text, ntext and image columns (their table name
// comes in that version's form).
TEST_F(TdsOdbc, LegacyLobColumnsReadByATds71Client)
{
    tds_odbc_client setup;
    ASSERT_TRUE(setup.connect(e.port, "sa", "Secret#1", "conv")) << setup.error_text();
    ASSERT_TRUE(setup.exec("CREATE TABLE legacy (id int NOT NULL, t text NULL, nt ntext NULL, i image NULL)"));
    ASSERT_TRUE(setup.exec("INSERT INTO legacy VALUES (1, 'plain', N'\xC3\xBC\xC3\xA9', 0xCAFE)"));
    tds_odbc_client old;
    ASSERT_TRUE(old.connect(e.port, "sa", "Secret#1", "conv", "7.1")) << old.error_text();
    ASSERT_TRUE(old.exec("SELECT id, t, nt, i FROM legacy")) << old.error_text();
    auto rows = old.rows();
    ASSERT_EQ(rows.size(), 1u) << old.error_text();
    EXPECT_EQ(rows[0][0], "1");
    EXPECT_EQ(rows[0][1], "plain");
    EXPECT_EQ(rows[0][2], "\xC3\xBC\xC3\xA9");
    EXPECT_EQ(rows[0][3], "cafe");
}
