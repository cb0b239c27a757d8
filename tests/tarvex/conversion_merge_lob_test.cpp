// Merging into a table with LOB columns, as a run before created it: the catalog's
// declared size of a LOB is no limit, so the merge takes every row.
#include <gtest/gtest.h>

#include <string>

#include "agent_process.h"
#include "conversion_env.h"

namespace {

const std::string k_source = R"(
CREATE TABLE L (id int NOT NULL, vm varchar(max) NULL, nm nvarchar(max) NULL, t text NULL, nt ntext NULL,
                x xml NULL, bm varbinary(max) NULL, im image NULL, s nvarchar(20) NULL,
                CONSTRAINT PK_L PRIMARY KEY (id))
GO
INSERT L VALUES (1, 'lang', N'national ÄÖÜ 漢字', 'text', N'ntext ß', '<a>1</a>', 0x0102FF, 0xCAFE, N'kurz')
INSERT L VALUES (2, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL)
INSERT L VALUES (3, ')" + std::string(5000, 'x') +
                             "', N'" +
                             [] {
                                 std::string s;
                                 for (int i = 0; i < 4500; ++i) s += "ü";
                                 return s;
                             }() +
                             R"(', 'e', N'f', '<b/>', 0x00, 0x11, N'')
GO
)";

class conversion_merge_lob : public ::testing::Test {
protected:
    void SetUp() override
    {
        env.create_database("db");
        env.run_script("db", k_source);
        env.create_user("scott", "tiger");
    }

    agent_result run(const std::string& mode)
    {
        return run_agent({"--src=db", "--dest=ORCL", "--mssqlh=file:" + env.mss_dir(), "--oraclh=file:" + env.ora_dir(),
                          "--oraclu=scott", "--oraclp=tiger", "--mode=" + mode});
    }

    conversion_env env;
};

} // namespace

TEST_F(conversion_merge_lob, a_lob_table_created_by_a_run_takes_a_merge)
{
    agent_result first = run("0");
    ASSERT_EQ(first.status, 0) << first.out << first.err;
    expect_same_rows(env, "db", "SELECT * FROM [dbo].[L]", "\"dbo\".\"L\"");
    const auto types = env.oracle_list(
        "SELECT DATA_TYPE FROM ALL_TAB_COLUMNS WHERE OWNER = 'dbo' AND TABLE_NAME = 'L' "
        "AND DATA_TYPE LIKE '%LOB'");
    EXPECT_EQ(types.size(), 7u);

    // Emptied on the target, the merge fills the same table again.
    env.oracle_exec("DELETE FROM \"dbo\".\"L\"");
    agent_result merge = run("1");
    EXPECT_EQ(merge.status, 0) << merge.out << merge.err;
    EXPECT_EQ(merge.out.find("does not conform"), std::string::npos) << merge.out;
    EXPECT_EQ(merge.out.find("Error"), std::string::npos) << merge.out;
    expect_same_rows(env, "db", "SELECT * FROM [dbo].[L]", "\"dbo\".\"L\"");

    // Merged again, the key refuses every row as a duplicate: each is reported, none stored twice.
    agent_result again = run("1");
    EXPECT_EQ(again.status, 2) << again.out << again.err;
    EXPECT_NE(again.out.find("Tables converted: 1, failed: 0. Records copied: 0, refused: 3."), std::string::npos)
        << again.out;
    EXPECT_EQ(again.out.find("does not conform"), std::string::npos) << again.out;
    EXPECT_NE(again.out.find("record #3: Duplicate field values"), std::string::npos) << again.out;
    expect_same_rows(env, "db", "SELECT * FROM [dbo].[L]", "\"dbo\".\"L\"");
}

TEST_F(conversion_merge_lob, a_lob_still_takes_no_binary_into_text)
{
    // A column the merge could only fill wrongly is still refused.
    ASSERT_EQ(run("0").status, 0);
    env.oracle_exec("DROP TABLE \"dbo\".\"L\"");
    env.oracle_exec(
        "CREATE TABLE \"dbo\".\"L\" (\"id\" NUMBER(10,0), \"vm\" CLOB, \"nm\" NCLOB, \"t\" CLOB, "
        "\"nt\" NCLOB, \"x\" CLOB, \"bm\" CLOB, \"im\" BLOB, \"s\" NVARCHAR2(20))");
    agent_result merge = run("1");
    EXPECT_EQ(merge.status, 2) << merge.out << merge.err;
    EXPECT_NE(merge.out.find("The structure of data source does not conform to the destination table."),
              std::string::npos)
        << merge.out;
    EXPECT_EQ(env.oracle_count("\"dbo\".\"L\""), 0);
}
