// Every table, key and index of a generated real-world schema arrives through
// the agent, with every value, read back through a second connection.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "agent_process.h"
#include "conversion_env.h"
#include "real_schema_source.h"

namespace {

using rows_t = std::vector<std::string>;

class conversion_keys : public ::testing::Test {
protected:
    void SetUp() override
    {
        env.create_database("db");
        env.create_user("scott", "tiger");
    }

    agent_result convert(const std::vector<std::string>& extra = {})
    {
        std::vector<std::string> a{
            "--src=db",       "--dest=ORCL",   "--mssqlh=file:" + env.mss_dir(), "--oraclh=file:" + env.ora_dir(),
            "--oraclu=scott", "--oraclp=tiger"};
        a.insert(a.end(), extra.begin(), extra.end());
        return run_agent(a);
    }

    // "TYPE(length)" of each column of a table, in column order.
    rows_t column_types(const std::string& owner, const std::string& table)
    {
        rows_t out;
        for (const auto& r : env.oracle_query("SELECT COLUMN_NAME, DATA_TYPE, DATA_LENGTH FROM ALL_TAB_COLUMNS WHERE "
                                              "OWNER = '" +
                                              owner + "' AND TABLE_NAME = '" + table + "' ORDER BY COLUMN_ID")
                                 .rows)
            out.push_back(r[0].s + " " + r[1].s + "(" + r[2].s + ")");
        return out;
    }

    rows_t index_names(const std::string& owner, const std::string& table)
    {
        return env.oracle_list("SELECT INDEX_NAME FROM ALL_INDEXES WHERE TABLE_OWNER = '" + owner +
                               "' AND TABLE_NAME = '" + table + "' ORDER BY INDEX_NAME");
    }

    conversion_env env;
};

} // namespace

TEST_F(conversion_keys, binary_keys_and_indexes_arrive_as_raw_with_every_byte)
{
    env.run_script("db", real_schema::binary_tables());
    agent_result r = convert();
    EXPECT_EQ(r.err, "");

    EXPECT_EQ(column_types("dbo", "Bin"),
              (rows_t{"k RAW(16)", "vb RAW(64)", "rv RAW(8)", "h RAW(892)", "big BLOB(4000)", "im BLOB(4000)"}));
    EXPECT_EQ(index_names("dbo", "Bin"), (rows_t{"IX_Bin_rv", "IX_Bin_vb", "PK_Bin", "UX_Bin_h"}));
    EXPECT_EQ(index_names("dbo", "HKey"), (rows_t{"PK_HKey"}));
    EXPECT_EQ(index_names("dbo", "VKey"), (rows_t{"PK_VKey"}));
    EXPECT_EQ(env.oracle_list("SELECT CONSTRAINT_TYPE FROM ALL_CONSTRAINTS WHERE OWNER = 'dbo' AND "
                              "CONSTRAINT_NAME = 'PK_HKey'"),
              rows_t{"P"});
    expect_same_rows(env, "db", "SELECT * FROM Bin", "\"dbo\".\"Bin\"");
    expect_same_rows(env, "db", "SELECT * FROM HKey", "\"dbo\".\"HKey\"");
    expect_same_rows(env, "db", "SELECT * FROM VKey WHERE DATALENGTH(v) > 0", "\"dbo\".\"VKey\"");

    // Oracle keeps an empty RAW as NULL: the one key that would get one is reported for its record, and only it.
    EXPECT_NE(r.out.find("[dbo].[VKey], record #2:"), std::string::npos) << r.out;
    size_t errors = 0;
    for (size_t p = r.out.find("Error:"); p != std::string::npos; p = r.out.find("Error:", p + 1)) ++errors;
    EXPECT_EQ(errors, 1u) << r.out;

    // The key holds: a second row with the same binary key is refused.
    EXPECT_THROW(env.oracle_exec("INSERT INTO \"dbo\".\"HKey\" (\"h\", \"n\") VALUES (HEXTORAW('2F312F'), 9)"),
                 std::exception);
}

TEST_F(conversion_keys, each_schema_arrives_as_its_own_user_under_a_name_oracle_takes)
{
    env.run_script("db", real_schema::schema_tables());
    agent_result r = convert();
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(r.out.find("Error"), std::string::npos) << r.out;

    // Each schema's table went to the user named for that schema, and no two schemas share one.
    const std::vector<std::pair<std::string, std::string>> users{
        {real_schema::k_quote_schema, "it_s00000"},
        {real_schema::k_quote_peer, "it_s"},
        {real_schema::k_long_schema, "schema_name_of_forty_bytes_ab"},
        {real_schema::k_long_peer, "schema_name_of_forty_byt00000"},
        {real_schema::k_digit_schema, "A1st"},
    };
    for (const auto& [schema, user] : users) {
        EXPECT_EQ(env.oracle_tables(user), (std::set<std::string>{"t"})) << schema;
        EXPECT_EQ(env.oracle_list("SELECT COUNT(*) FROM ALL_USERS WHERE USERNAME = '" + user + "'"), rows_t{"1"});
        expect_same_rows(env, "db", "SELECT * FROM [" + schema + "].[t]", "\"" + user + "\".\"t\"");
        // Reported once, with both names.
        const std::string line = "Schema '" + schema + "' is Oracle user '" + user + "'\n";
        if (schema == real_schema::k_quote_peer) {
            EXPECT_EQ(r.out.find("Schema '" + schema + "'"), std::string::npos) << r.out;
        } else {
            const size_t at = r.out.find(line);
            EXPECT_NE(at, std::string::npos) << line << r.out;
            EXPECT_EQ(r.out.find(line, at + 1), std::string::npos) << r.out;
        }
    }

    // ROWID is no column name Oracle takes: it arrives renamed and reported; RowId keeps its name.
    auto columns_of = [&](const std::string& table) {
        return env.oracle_list("SELECT COLUMN_NAME FROM ALL_TAB_COLUMNS WHERE OWNER = 'dbo' AND TABLE_NAME = '" +
                               table + "' ORDER BY COLUMN_ID");
    };
    EXPECT_EQ(columns_of("Addr_upper"), (rows_t{"id", "ROWID00000", "doc"}));
    EXPECT_EQ(columns_of("Addr_mixed"), (rows_t{"id", "RowId", "doc"}));
    EXPECT_NE(r.out.find("Column 'ROWID' of table \"dbo\".\"Addr_upper\" is named 'ROWID00000'\n"), std::string::npos)
        << r.out;
    EXPECT_EQ(r.out.find("Column 'RowId'"), std::string::npos) << r.out;
    table_map map;
    map.renamed["ROWID"] = "ROWID00000";
    expect_same_rows(env, "db", "SELECT * FROM Addr_upper", "\"dbo\".\"Addr_upper\"", map);
    expect_same_rows(env, "db", "SELECT * FROM Addr_mixed", "\"dbo\".\"Addr_mixed\"");

    // A second run into the same target finds the same users and overwrites their tables.
    agent_result again = convert();
    EXPECT_EQ(again.status, 0) << again.out;
    EXPECT_EQ(again.out.find("Error"), std::string::npos) << again.out;
    for (const auto& [schema, user] : users)
        expect_same_rows(env, "db", "SELECT * FROM [" + schema + "].[t]", "\"" + user + "\".\"t\"");
}

TEST_F(conversion_keys, a_filtered_unique_index_keeps_its_filter_and_every_row)
{
    env.run_script("db", real_schema::filter_tables());
    agent_result r = convert();
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out.find("Error"), std::string::npos) << r.out;
    // Every row arrived, also the two outside the filter that share a key with a row inside it.
    expect_same_rows(env, "db", "SELECT * FROM Flt", "\"dbo\".\"Flt\"");

    EXPECT_EQ(index_names("dbo", "Flt"), (rows_t{"IX_Flt_kind", "PK_Flt", "UX_Flt_code", "UX_Flt_kind"}));
    EXPECT_EQ(env.oracle_list("SELECT INDEX_TYPE || ' ' || UNIQUENESS FROM ALL_INDEXES WHERE TABLE_OWNER = 'dbo' AND "
                              "INDEX_NAME = 'UX_Flt_code'"),
              rows_t{"FUNCTION-BASED NORMAL UNIQUE"});
    // The filter that has no Oracle condition of the same meaning: not created, and said so.
    EXPECT_NE(r.out.find("Index 'UX_Flt_since' of table \"dbo\".\"Flt\" is not created: its filter"), std::string::npos)
        << r.out;

    // The filter still holds for an application's rows, through a second connection.
    env.oracle_exec("INSERT INTO \"dbo\".\"Flt\" (\"id\", \"code\", \"active\", \"kind\") VALUES (6, 5, 0, 'c')");
    EXPECT_THROW(
        env.oracle_exec("INSERT INTO \"dbo\".\"Flt\" (\"id\", \"code\", \"active\", \"kind\") VALUES (7, 5, 1, 'z')"),
        std::exception);
    EXPECT_THROW(
        env.oracle_exec("INSERT INTO \"dbo\".\"Flt\" (\"id\", \"code\", \"active\", \"kind\") VALUES (8, 5, 0, 'a')"),
        std::exception);
    EXPECT_EQ(env.oracle_count("\"dbo\".\"Flt\""), 6);
}

TEST_F(conversion_keys, clock_and_guid_defaults_serve_an_application_insert)
{
    env.run_script("db", real_schema::default_tables());
    agent_result r = convert();
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(r.out.find("Error"), std::string::npos) << r.out;
    expect_same_rows(env, "db", "SELECT * FROM Dflt", "\"dbo\".\"Dflt\"");

    const auto defaults = env.oracle_query(
        "SELECT COLUMN_NAME, DATA_DEFAULT FROM ALL_TAB_COLUMNS WHERE OWNER = 'dbo' AND TABLE_NAME = 'Dflt' ORDER BY "
        "COLUMN_ID");
    std::map<std::string, std::string> def;
    for (const auto& row : defaults.rows) def[row[0].s] = row[1].is_null() ? "" : row[1].s;
    EXPECT_EQ(def["d1"].substr(0, 14), "TRUNC(SYSDATE)");
    EXPECT_EQ(def["d2"].substr(0, 14), "TRUNC(SYSDATE)");
    EXPECT_EQ(def["d3"].substr(0, 12), "SYSTIMESTAMP");
    EXPECT_EQ(def["d4"].substr(0, 29), "SYS_EXTRACT_UTC(SYSTIMESTAMP)");
    EXPECT_EQ(def["d6"].substr(0, 29), "SYS_EXTRACT_UTC(SYSTIMESTAMP)");
    EXPECT_NE(def["g"].find("SYS_GUID()"), std::string::npos) << def["g"];
    EXPECT_EQ(def["n"], "");
    // The one default Oracle gets no expression for is named on the console, with its table and text.
    EXPECT_NE(r.out.find("Default (abs(-3)) of column 'n' of table \"dbo\".\"Dflt\" is not carried over\n"),
              std::string::npos)
        << r.out;
    EXPECT_EQ(r.out.find("Default (", r.out.find("Default (abs") + 1), std::string::npos) << r.out;

    // An application's insert that names only the key, through a second connection.
    env.oracle_exec("INSERT INTO \"dbo\".\"Dflt\" (\"id\") VALUES (3)");
    const auto row = env.oracle_query(
        "SELECT \"d1\", \"d2\", \"d3\", \"d4\", \"d5\", \"d6\", \"g\", \"k\", \"t\" FROM "
        "\"dbo\".\"Dflt\" WHERE \"id\" = 3");
    ASSERT_EQ(row.rows.size(), 1u);
    const auto& v = row.rows[0];
    for (size_t i = 0; i < v.size(); ++i) EXPECT_FALSE(v[i].is_null()) << i;
    EXPECT_EQ(v[0].s.substr(10), " 00:00:00");
    EXPECT_EQ(v[1].s.substr(10), " 00:00:00");
    EXPECT_TRUE(std::regex_match(v[6].s, std::regex(R"(\{[0-9A-F]{8}(-[0-9A-F]{4}){3}-[0-9A-F]{12}\})"))) << v[6].s;
    // The same text form as the GUIDs copied from the source.
    const auto copied = env.oracle_list("SELECT \"g\" FROM \"dbo\".\"Dflt\" WHERE \"id\" = 1");
    ASSERT_EQ(copied.size(), 1u);
    EXPECT_TRUE(std::regex_match(copied[0], std::regex(R"(\{[0-9A-F]{8}(-[0-9A-F]{4}){3}-[0-9A-F]{12}\})")))
        << copied[0];
    EXPECT_EQ(v[7].s, "7");
    EXPECT_EQ(v[8].s, "none");
}

TEST_F(conversion_keys, decimals_of_scale_equal_to_precision_keep_both)
{
    env.run_script("db", real_schema::default_tables());
    agent_result r = convert();
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(env.oracle_list("SELECT DATA_PRECISION || ',' || DATA_SCALE FROM ALL_TAB_COLUMNS WHERE OWNER = 'dbo' "
                              "AND TABLE_NAME = 'Dec4' ORDER BY COLUMN_ID"),
              (rows_t{"10,0", "4,4", "9,9", "38,38"}));
    expect_same_rows(env, "db", "SELECT * FROM Dec4", "\"dbo\".\"Dec4\"");
    // The scale holds: a value of the precision's size is refused as Oracle refuses it.
    EXPECT_THROW(env.oracle_exec("INSERT INTO \"dbo\".\"Dec4\" (\"id\", \"a\") VALUES (9, 1)"), std::exception);
}

TEST(conversion_national, long_national_text_into_a_utf8_national_service_arrives_with_every_value)
{
    conversion_env env;
    // The same service, made with a national character set of three bytes a character.
    const std::string file = env.ora_dir() + "/" + conversion_env::service + ".db";
    std::filesystem::remove(file);
    eora::session::create_service(file, conversion_env::system_password, "AL32UTF8", "UTF8");
    env.create_database("db");
    env.create_user("scott", "tiger");
    const std::string wide(1999, 'w');
    std::string cjk;
    for (int i = 0; i < 1333; ++i) cjk += "漢";
    env.run_script("db",
                   "CREATE TABLE Nat (id int NOT NULL, a nvarchar(1333) NULL, b nvarchar(2000) NULL, "
                   "c nvarchar(4000) NULL, CONSTRAINT PK_Nat PRIMARY KEY (id))\nGO\n"
                   "INSERT Nat VALUES (1, N'" +
                       cjk + "', N'" + wide + "é', N'" + wide + wide + "ü')\nINSERT Nat VALUES (2, N'" + cjk + "', N'" +
                       cjk + "', N'" + cjk + cjk + cjk + "')\nINSERT Nat VALUES (3, NULL, N'', NULL)\nGO\n");
    agent_result r = run_agent({"--src=db", "--dest=ORCL", "--mssqlh=file:" + env.mss_dir(),
                                "--oraclh=file:" + env.ora_dir(), "--oraclu=scott", "--oraclp=tiger"});
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(r.out.find("Error"), std::string::npos) << r.out;
    // 1333 characters fit in 4000 bytes of UTF8; 2000 and 4000 do not and become LOBs.
    const auto types = env.oracle_list(
        "SELECT DATA_TYPE FROM ALL_TAB_COLUMNS WHERE OWNER = 'dbo' AND TABLE_NAME = "
        "'Nat' ORDER BY COLUMN_ID");
    ASSERT_EQ(types.size(), 4u);
    EXPECT_EQ(types[1], "NVARCHAR2");
    EXPECT_NE(types[2].find("CLOB"), std::string::npos) << types[2];
    EXPECT_NE(types[3].find("CLOB"), std::string::npos) << types[3];
    expect_same_rows(env, "db", "SELECT * FROM Nat", "\"dbo\".\"Nat\"");
}

TEST_F(conversion_keys, names_oracle_keeps_apart_arrive_apart)
{
    env.run_script("db", real_schema::naming_tables());
    agent_result r = convert();
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(r.out.find("Error"), std::string::npos) << r.out;
    // twelve NOT NULL columns: twelve constraints of their own, each checked
    EXPECT_EQ(env.oracle_list("SELECT COUNT(*) FROM ALL_TAB_COLUMNS WHERE OWNER = 'dbo' AND TABLE_NAME = 'Wide' "
                              "AND NULLABLE = 'N'"),
              rows_t{"12"});
    EXPECT_THROW(env.oracle_exec("INSERT INTO \"dbo\".\"Wide\" (\"c1\") VALUES (99)"), std::exception);
    // an index, a key and a unique index named like tables, beside those tables
    EXPECT_EQ(index_names("dbo", "Lines"), (rows_t{"Lines", "Twin", "Wide"}));
    expect_same_rows(env, "db", "SELECT * FROM Wide", "\"dbo\".\"Wide\"");
    expect_same_rows(env, "db", "SELECT * FROM Lines", "\"dbo\".\"Lines\"");
    expect_same_rows(env, "db", "SELECT * FROM Twin", "\"dbo\".\"Twin\"");

    // the same database upper-cased into the target that holds it in its own case: both arrive, apart
    agent_result upper = convert({"--uppercase"});
    EXPECT_EQ(upper.status, 0) << upper.out << upper.err;
    EXPECT_EQ(upper.out.find("Error"), std::string::npos) << upper.out;
    for (const char* table : {"\"dbo\".\"Wide\"", "\"DBO\".\"WIDE\"", "\"dbo\".\"Lines\"", "\"DBO\".\"LINES\""})
        EXPECT_GT(env.oracle_count(table), 0) << table;
    // its index, key and unique index arrive too (an index name the other schema holds may be numbered)
    EXPECT_EQ(index_names("DBO", "LINES").size(), 3u);
    EXPECT_EQ(index_names("dbo", "Lines"), (rows_t{"Lines", "Twin", "Wide"}));
}

TEST_F(conversion_keys, a_sequence_that_cannot_take_its_first_name_is_reported_with_the_name_it_took)
{
    env.run_script("db",
                   "CREATE TABLE Ident (id int IDENTITY(1,1) NOT NULL PRIMARY KEY, v int NULL)\nGO\n"
                   "INSERT Ident (v) VALUES (1)\nINSERT Ident (v) VALUES (2)\nGO\n");
    // the name the table's sequence takes first is held by another object of the converting user
    eora::session scott(env.ora_dir() + "/ORCL.db", "scott", "tiger");
    scott.execute(*scott.prepare("CREATE SEQUENCE \"dbo.Ident_0\""), {});
    scott.commit();
    agent_result r = convert();
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("Sequence of table dbo.Ident is named 'dbo.Ident_1'"), std::string::npos) << r.out;
    // the sequence it took serves an application insert past the rows that arrived
    env.oracle_exec("INSERT INTO \"dbo\".\"Ident\" (\"v\") VALUES (3)");
    EXPECT_EQ(env.oracle_list("SELECT \"id\" FROM \"dbo\".\"Ident\" WHERE \"v\" = 3"), rows_t{"3"});
}
