// The agent converting from the embedded SQL Server reached over the network
// (its TDS endpoint, through unixODBC and FreeTDS) gives the same Oracle
// tables, value by value and in their definitions, as from the same server
// reached as a folder (file:).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <thread>

#include "agent_process.h"
#include "conversion_env.h"
#include "platform/mssx/tds/tds_listener.h"

namespace {

// Every row of a query, each as one line of text; sorted, so rows compare as multisets.
std::vector<std::string> lines(conversion_env& env, const std::string& sql)
{
    std::vector<std::string> out;
    for (const auto& row : env.oracle_query(sql).rows) {
        std::string line;
        for (const auto& v : row)
            line += (v.kind == eora::value::vk::null ? std::string("<NULL>")
                                                     : std::to_string(static_cast<int>(v.kind)) + ":" + v.s) +
                    " | ";
        out.push_back(line);
    }
    std::sort(out.begin(), out.end());
    return out;
}

// What the conversion left in Oracle: the dictionary rows of the converted
// schemas and every row of every table.
std::map<std::string, std::vector<std::string>> oracle_state(conversion_env& env)
{
    const std::string converted = " WHERE OWNER NOT IN ('SYSTEM', 'SYS')";
    std::map<std::string, std::vector<std::string>> state;
    for (const char* view : {"ALL_TAB_COLUMNS", "ALL_CONSTRAINTS", "ALL_CONS_COLUMNS", "ALL_INDEXES", "ALL_SEQUENCES",
                             "ALL_TRIGGERS", "ALL_VIEWS"}) {
        std::string owner_col = std::string(view) == "ALL_SEQUENCES" ? "SEQUENCE_OWNER" : "OWNER";
        state[view] =
            lines(env, std::string("SELECT * FROM ") + view + " WHERE " + owner_col + " NOT IN ('SYSTEM', 'SYS')");
    }
    state["ALL_IND_COLUMNS"] = lines(env, "SELECT * FROM ALL_IND_COLUMNS WHERE TABLE_OWNER NOT IN ('SYSTEM', 'SYS')");
    for (const auto& row : env.oracle_query("SELECT OWNER, TABLE_NAME FROM ALL_TABLES" + converted).rows) {
        std::string table = "\"" + row.at(0).s + "\".\"" + row.at(1).s + "\"";
        state[table] = lines(env, "SELECT * FROM " + table);
    }
    return state;
}

class agent_over_odbc : public ::testing::Test {
protected:
    // Loads the script into both servers and converts `db` once through each.
    void convert_both(const std::string& script, const std::string& db)
    {
        // one source, copied, so that defaults such as getdate() hold the same values in both
        local.load_file("master", script);
        std::filesystem::remove_all(remote.mss_dir());
        std::filesystem::copy(local.mss_dir(), remote.mss_dir(), std::filesystem::copy_options::recursive);
        for (conversion_env* env : {&local, &remote}) env->create_user("scott", "tiger");
        tds_listener endpoint(remote.mss_dir(), "127.0.0.1", 0);
        std::thread serving([&] { endpoint.serve(); });
        agent_result a =
            run_agent({"--src=" + db, "--dest=ORCL", "--mssqlh=file:" + local.mss_dir(), "--mssqlu=sa", "--mssqlp=sa",
                       "--oraclh=file:" + local.ora_dir(), "--oraclu=scott", "--oraclp=tiger"});
        agent_result b = run_agent(
            {"--src=" + db, "--dest=ORCL", "--mssqlh=127.0.0.1," + std::to_string(endpoint.port()), "--mssqlu=sa",
             "--mssqlp=sa", "--oraclh=file:" + remote.ora_dir(), "--oraclu=scott", "--oraclp=tiger"});
        endpoint.stop();
        serving.join();
        // Anything reported on the way (a value the target cannot hold) makes the run end with 2.
        EXPECT_EQ(a.status, a.out.find("Error:") == std::string::npos ? 0 : 2) << a.out << a.err;
        EXPECT_EQ(b.status, a.status) << b.out << b.err;
        EXPECT_EQ(b.err, a.err);
        // An error that only the network route meets is a value it could not read.
        if (a.out.find("Error") == std::string::npos) {
            EXPECT_EQ(b.out.find("Error"), std::string::npos) << b.out;
        }
    }

    void expect_same_oracle()
    {
        auto want = oracle_state(local);
        auto got = oracle_state(remote);
        EXPECT_GT(want.size(), 8u);
        for (const auto& [what, rows] : want) {
            auto it = got.find(what);
            if (it == got.end()) {
                ADD_FAILURE() << what << " did not arrive over ODBC";
                continue;
            }
            EXPECT_EQ(it->second.size(), rows.size()) << what;
            for (size_t i = 0; i < rows.size() && i < it->second.size(); ++i)
                if (rows[i] != it->second[i]) {
                    ADD_FAILURE() << what << ":\n  file: " << rows[i] << "\n  odbc: " << it->second[i];
                    break;
                }
        }
        for (const auto& [what, rows] : got)
            if (!want.count(what)) ADD_FAILURE() << what << " arrived only over ODBC";
    }

    tk_logger logger{nullptr, false, 3, false};
    conversion_env local, remote;
};

} // namespace

TEST_F(agent_over_odbc, the_sample_database_arrives_as_from_the_folder)
{
    convert_both(std::string(TVX_SAMPLES) + "/tvx_sample.sql", "TvxSample");
    expect_same_oracle();
    EXPECT_GT(remote.oracle_count("\"dbo\".\"Numbers\""), 0);
}

TEST_F(agent_over_odbc, northwind_arrives_as_from_the_folder)
{
    const char* root = std::getenv("TVX_FIXTURES");
    std::filesystem::path p =
        std::filesystem::path(root ? root : "/work/shared/fixtures") / "northwind" / "instnwnd.sql";
    if (!std::filesystem::exists(p)) GTEST_SKIP() << "Northwind fixture not present";
    convert_both(p.string(), "Northwind");
    expect_same_oracle();
    EXPECT_EQ(remote.oracle_count("\"dbo\".\"Order Details\""), local.oracle_count("\"dbo\".\"Order Details\""));
}

// Long values read in pieces through the driver arrive whole: national text of
// over 32,767 characters and of over a mebibyte, long text and binary.
TEST_F(agent_over_odbc, long_values_arrive_whole_through_the_driver)
{
    auto repeat = [](const std::string& unit, size_t times) {
        std::string s;
        s.reserve(unit.size() * times);
        for (size_t i = 0; i < times; ++i) s += unit;
        return s;
    };
    // 100,002 characters, two of them outside the BMP; then 1.2 million
    const std::string national = repeat("\xC3\xA9\xE6\xBC\xA2x", 33334) + "\xF0\x9F\x98\x80";
    const std::string national_big = repeat("a\xC3\xBC\xE5\xAD\x97", 400000);
    const std::string plain = repeat("0123456789", 120000) + "end";
    std::string hex;
    for (int i = 0; i < 70000; ++i) hex += "0123456789ABCDEF"[i % 16];
    const std::string script =
        "CREATE DATABASE LongVals\nGO\nUSE LongVals\nGO\n"
        "CREATE TABLE dbo.L (id int NOT NULL PRIMARY KEY, nt nvarchar(max) NULL,"
        " t varchar(max) NULL, b varbinary(max) NULL)\nGO\n"
        "INSERT INTO dbo.L VALUES (1, N'" +
        national + "', '" + plain + "', 0x" + hex + ")\nGO\nINSERT INTO dbo.L VALUES (2, N'" + national_big +
        "', NULL, NULL)\nGO\n";
    const std::string path = local.dir() + "/long_values.sql";
    {
        std::ofstream out(path, std::ios::binary);
        out << script;
    }
    convert_both(path, "LongVals");
    expect_same_rows(remote, "LongVals", "SELECT * FROM dbo.L", "\"dbo\".\"L\"");
    expect_same_oracle();
    const ora_rows r = remote.oracle_query("SELECT \"nt\" FROM \"dbo\".\"L\" ORDER BY \"id\"");
    ASSERT_EQ(r.rows.size(), 2u);
    EXPECT_EQ(r.rows[0][0].s, national);
    EXPECT_EQ(r.rows[1][0].s, national_big);
}

// Dates, times and offsets over ODBC are read by their parts: early years
// keep their year, every fraction digit and the extreme offsets arrive; a
// sql_variant's float arrives as the shortest text that reads back as it.
TEST_F(agent_over_odbc, dates_times_offsets_and_variants_arrive_whole)
{
    const std::string script = local.dir() + "/dates.sql";
    std::ofstream(script, std::ios::binary) << R"(CREATE DATABASE Dates
GO
USE Dates
GO
CREATE TABLE D (id int NOT NULL PRIMARY KEY, o datetimeoffset(7) NULL, o0 datetimeoffset(0) NULL,
                d2 datetime2(7) NULL, t time(7) NULL, t0 time(0) NULL, dt date NULL)
GO
INSERT D VALUES (1, '0001-02-02 03:04:05.1234567 +01:00', '0001-01-01 00:00:00 -14:00', '0001-01-01 00:00:00.0000001',
                 '00:00:00.0000001', '00:00:00', '0001-01-01')
INSERT D VALUES (2, '0009-09-09 09:09:09.9999999 +14:00', '0009-12-31 23:59:59 +14:00', '0009-09-09 09:09:09.1234567',
                 '23:59:59.9999999', '23:59:59', '0009-09-09')
INSERT D VALUES (3, '0012-12-31 23:59:59.0000001 -00:30', '0012-01-13 12:00:00 -00:30', '0012-12-31 23:59:59.9999999',
                 '12:34:56.7654321', '12:34:56', '0012-12-31')
INSERT D VALUES (4, '0100-01-01 00:00:00.0000000 -14:00', '0100-02-28 01:02:03 +05:45', '0100-01-01 00:00:00',
                 '01:02:03.1000000', '01:02:03', '0100-01-01')
INSERT D VALUES (5, '9999-12-31 23:59:59.9999999 +14:00', '9999-12-31 23:59:59 -14:00', '9999-12-31 23:59:59.9999999',
                 '23:59:59.9999999', '23:59:59', '9999-12-31')
INSERT D VALUES (6, NULL, NULL, NULL, NULL, NULL, NULL)
GO
CREATE TABLE V (id int NOT NULL PRIMARY KEY, v sql_variant NULL)
GO
INSERT V VALUES (1, CAST(0.1 AS float))
INSERT V VALUES (2, CAST(924788.195 AS float))
INSERT V VALUES (3, CAST(12.5 AS decimal(38,10)))
INSERT V VALUES (4, CAST(12.3456 AS money))
INSERT V VALUES (5, CAST('2024-02-29 13:45:12.1234567' AS datetime2(7)))
INSERT V VALUES (6, N'漢字 😀')
GO
)";
    convert_both(script, "Dates");
    expect_same_oracle();
    auto column = [&](const std::string& name) {
        std::vector<std::string> out;
        for (const auto& row : remote.oracle_query("SELECT \"" + name + "\" FROM \"dbo\".\"D\" ORDER BY \"id\"").rows)
            out.push_back(row.at(0).is_null() ? "NULL" : row.at(0).s);
        return out;
    };
    EXPECT_EQ(column("o"),
              (std::vector<std::string>{"0001-02-02 03:04:05.1234567 +01:00", "0009-09-09 09:09:09.9999999 +14:00",
                                        "0012-12-31 23:59:59.0000001 -00:30", "0100-01-01 00:00:00.0000000 -14:00",
                                        "9999-12-31 23:59:59.9999999 +14:00", "NULL"}));
    EXPECT_EQ(column("o0"), (std::vector<std::string>{"0001-01-01 00:00:00 -14:00", "0009-12-31 23:59:59 +14:00",
                                                      "0012-01-13 12:00:00 -00:30", "0100-02-28 01:02:03 +05:45",
                                                      "9999-12-31 23:59:59 -14:00", "NULL"}));
    EXPECT_EQ(column("d2"), (std::vector<std::string>{"0001-01-01 00:00:00.0000001", "0009-09-09 09:09:09.1234567",
                                                      "0012-12-31 23:59:59.9999999", "0100-01-01 00:00:00.0000000",
                                                      "9999-12-31 23:59:59.9999999", "NULL"}));
    EXPECT_EQ(column("t"), (std::vector<std::string>{"1900-01-01 00:00:00.0000001", "1900-01-01 23:59:59.9999999",
                                                     "1900-01-01 12:34:56.7654321", "1900-01-01 01:02:03.1000000",
                                                     "1900-01-01 23:59:59.9999999", "NULL"}));
    EXPECT_EQ(column("t0"),
              (std::vector<std::string>{"1900-01-01 00:00:00", "1900-01-01 23:59:59", "1900-01-01 12:34:56",
                                        "1900-01-01 01:02:03", "1900-01-01 23:59:59", "NULL"}));
    std::vector<std::string> variants;
    for (const auto& row : remote.oracle_query("SELECT \"v\" FROM \"dbo\".\"V\" ORDER BY \"id\"").rows)
        variants.push_back(row.at(0).is_null() ? "NULL" : row.at(0).s);
    EXPECT_EQ(variants, (std::vector<std::string>{"0.1", "924788.195", "12.5000000000", "12.3456",
                                                  "2024-02-29 13:45:12.1234567", "漢字 😀"}));
    EXPECT_EQ(column("dt"),
              (std::vector<std::string>{"0001-01-01 00:00:00", "0009-09-09 00:00:00", "0012-12-31 00:00:00",
                                        "0100-01-01 00:00:00", "9999-12-31 00:00:00", "NULL"}));
}

// sql_variant values keep their value on both routes: a float or real as the
// fewest digits that read back, a decimal or money with its exact digits,
// date-times with all their digits, text and a uniqueidentifier.
TEST_F(agent_over_odbc, sql_variant_values_arrive_equal_on_both_routes)
{
    const std::string script = local.dir() + "/variants.sql";
    std::ofstream(script, std::ios::binary) << R"(CREATE DATABASE Variants
GO
USE Variants
GO
CREATE TABLE V (id int NOT NULL PRIMARY KEY, v sql_variant NULL)
GO
INSERT V VALUES (1, 42)
INSERT V VALUES (2, CAST(9000000000 AS bigint))
INSERT V VALUES (3, CAST(0.1 AS float))
INSERT V VALUES (4, CAST(0.1 AS real))
INSERT V VALUES (5, 1234567890123456789012345678.0123456789)
INSERT V VALUES (6, CAST(123456.7891 AS money))
INSERT V VALUES (7, N'日本語のテキスト')
INSERT V VALUES (9, CAST('6F9619FF-8B86-D011-B42D-00C04FC964FF' AS uniqueidentifier))
INSERT V VALUES (10, CAST('2021-03-04 05:06:07.1234567' AS datetime2(7)))
INSERT V VALUES (11, CAST('2021-03-04' AS date))
INSERT V VALUES (12, NULL)
INSERT V VALUES (13, CAST(924788.195 AS float))
GO
)";
    convert_both(script, "Variants");
    expect_same_oracle();
    const std::vector<std::string> want = {"42",
                                           "9000000000",
                                           "0.1",
                                           "0.1",
                                           "1234567890123456789012345678.0123456789",
                                           "123456.7891",
                                           "日本語のテキスト",
                                           "{6F9619FF-8B86-D011-B42D-00C04FC964FF}",
                                           "2021-03-04 05:06:07.1234567",
                                           "2021-03-04",
                                           "NULL",
                                           "924788.195"};
    for (conversion_env* env : {&local, &remote}) {
        std::vector<std::string> got;
        for (const auto& row : env->oracle_query("SELECT \"v\" FROM \"dbo\".\"V\" ORDER BY \"id\"").rows)
            got.push_back(row.at(0).is_null() ? "NULL" : row.at(0).s);
        EXPECT_EQ(got, want) << (env == &local ? "file:" : "over ODBC");
    }
}
