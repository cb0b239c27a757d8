// Every table, key and index of a generated real-world schema arrives through
// the agent, with every value, read back through a second connection.
#include <gtest/gtest.h>

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
        std::vector<std::string> a{"--src=db", "--dest=ORCL", "--mssqlh=file:" + env.mss_dir(),
                                   "--oraclh=file:" + env.ora_dir(), "--oraclu=scott", "--oraclp=tiger"};
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

    EXPECT_EQ(column_types("dbo", "Bin"), (rows_t{"k RAW(16)", "vb RAW(64)", "rv RAW(8)", "h RAW(892)",
                                                   "big BLOB(4000)", "im BLOB(4000)"}));
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
