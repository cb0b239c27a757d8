// Identity columns over many runs: an overwrite takes the table's sequence and
// trigger with it and gives the indexes their names again, and in every mode
// the sequence ends past the greatest value in the table, also after a run
// that left the table half filled.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "conversion_env.h"
#include "platform/eora/eora_inject.h"
#include "tarvex/agent/agent_main.h"

namespace {

const std::string k_db = "ident";

struct agent_run {
    int status;
    std::string out;
};

class identity_sequence : public ::testing::Test {
protected:
    void SetUp() override
    {
        env.create_database(k_db);
        env.run_script(k_db,
                       "CREATE TABLE T (id int IDENTITY(1,1) NOT NULL, v nvarchar(20) NULL, CONSTRAINT PK_T "
                       "PRIMARY KEY (id))\nGO\nCREATE INDEX IX_T_v ON T (v)\nGO\n"
                       "INSERT T (v) VALUES (N'eins')\nINSERT T (v) VALUES (N'zwei')\nINSERT T (v) VALUES (N'drei')\n"
                       "GO\n");
        env.create_user("scott", "tiger");
    }
    void TearDown() override { eora::clear_injections(); }

    // One agent run in this process, as the command line gives it.
    agent_run run(const std::vector<std::string>& extra)
    {
        std::vector<std::string> a{"TVXAGENT",
                                   "--src=" + k_db,
                                   "--dest=ORCL",
                                   "--mssqlh=file:" + env.mss_dir(),
                                   "--oraclh=file:" + env.ora_dir(),
                                   "--oraclu=scott",
                                   "--oraclp=tiger"};
        a.insert(a.end(), extra.begin(), extra.end());
        std::vector<char*> argv;
        for (auto& s : a) argv.push_back(s.data());
        testing::internal::CaptureStdout();
        const int status = agent_main(static_cast<int>(argv.size()), argv.data());
        return {status, testing::internal::GetCapturedStdout()};
    }

    std::vector<std::string> sequences() { return env.oracle_list("SELECT SEQUENCE_NAME FROM ALL_SEQUENCES"); }
    std::vector<std::string> triggers()
    {
        return env.oracle_list("SELECT TRIGGER_NAME FROM ALL_TRIGGERS WHERE TABLE_OWNER = 'dbo' AND TABLE_NAME = 'T'");
    }
    std::vector<std::string> indexes()
    {
        return env.oracle_list(
            "SELECT INDEX_NAME FROM ALL_INDEXES WHERE TABLE_OWNER = 'dbo' AND TABLE_NAME = 'T' ORDER BY INDEX_NAME");
    }
    // An application's insert without the key, through a connection of its own; gives the key it got.
    std::string insert_without_key(const std::string& v)
    {
        env.oracle_exec("INSERT INTO \"dbo\".\"T\" (\"v\") VALUES ('" + v + "')");
        const auto ids = env.oracle_list("SELECT \"id\" FROM \"dbo\".\"T\" WHERE \"v\" = '" + v + "'");
        return ids.size() == 1 ? ids[0] : "(" + std::to_string(ids.size()) + " rows)";
    }
    // The state a run leaves when it ends in the middle of the table: the table
    // and its sequence made, the first rows in with their own keys.
    void interrupted_after_two_rows()
    {
        ASSERT_EQ(run({"--mode=0", "--tab_def"}).status, 0);
        env.oracle_exec("INSERT INTO \"dbo\".\"T\" (\"id\", \"v\") VALUES (1, 'eins')");
        env.oracle_exec("INSERT INTO \"dbo\".\"T\" (\"id\", \"v\") VALUES (2, 'zwei')");
    }

    std::string tab_file()
    {
        const std::string path = env.dir() + "/tables.txt";
        std::FILE* f = std::fopen(path.c_str(), "w");
        if (f) {
            std::fputs("T\n", f);
            std::fclose(f);
        }
        return path;
    }

    conversion_env env;
};

} // namespace

TEST_F(identity_sequence, a_table_overwritten_105_times_keeps_one_sequence_and_its_index_names)
{
    for (int k = 0; k < 105; ++k) {
        const agent_run r = run({"--mode=0"});
        ASSERT_EQ(r.status, 0) << "run " << k << ":\n" << r.out;
        ASSERT_EQ(r.out.find("Error:"), std::string::npos) << "run " << k << ":\n" << r.out;
    }
    EXPECT_EQ(sequences().size(), 1u);
    EXPECT_EQ(triggers().size(), 1u);
    EXPECT_EQ(indexes(), (std::vector<std::string>{"IX_T_v", "PK_T"}));
    expect_same_rows(env, k_db, "SELECT * FROM T", "\"dbo\".\"T\"");
    EXPECT_EQ(insert_without_key("neu"), "4");
}

TEST_F(identity_sequence, tables_of_the_login_schema_keep_their_index_names_over_overwrites)
{
    // Here the indexes live in the connected user's schema, where the run finds every name taken at its start.
    for (int k = 0; k < 3; ++k) {
        const agent_run r = run({"--mode=0", "--view_owned", "--tab_file=" + tab_file()});
        ASSERT_EQ(r.status, 0) << "run " << k << ":\n" << r.out;
    }
    EXPECT_EQ(env.oracle_list("SELECT INDEX_NAME FROM ALL_INDEXES WHERE TABLE_OWNER = 'SCOTT' AND TABLE_NAME = 'T' "
                              "ORDER BY INDEX_NAME"),
              (std::vector<std::string>{"IX_T_v", "PK_T"}));
    EXPECT_EQ(sequences().size(), 1u);
}

TEST_F(identity_sequence, a_merge_after_an_interrupted_run_moves_the_sequence_past_the_rows)
{
    interrupted_after_two_rows();
    const agent_run r = run({"--mode=1"});
    // The two rows already there are refused as duplicates; the third arrives.
    EXPECT_EQ(r.status, 2) << r.out;
    EXPECT_NE(r.out.find("Records copied: 1, refused: 2."), std::string::npos) << r.out;
    expect_same_rows(env, k_db, "SELECT * FROM T", "\"dbo\".\"T\"");
    EXPECT_EQ(sequences().size(), 1u);
    EXPECT_EQ(insert_without_key("neu"), "4");
}

TEST_F(identity_sequence, skip_after_an_interrupted_run_reports_the_partial_table_and_moves_its_sequence)
{
    interrupted_after_two_rows();
    const agent_run r = run({"--mode=2"});
    EXPECT_EQ(r.status, 2) << r.out;
    EXPECT_NE(r.out.find("Error:\n[dbo].[T]: The existing table \"dbo\".\"T\" was kept (skip mode), but it holds 2 "
                         "records where the source has 3"),
              std::string::npos)
        << r.out;
    EXPECT_EQ(env.oracle_count("\"dbo\".\"T\""), 2);
    EXPECT_EQ(sequences().size(), 1u);
    EXPECT_EQ(insert_without_key("neu"), "3");

    // A whole table kept again: nothing to report, the sequence already past its rows stays.
    const std::vector<std::string> before = sequences();
    env.oracle_exec("DELETE FROM \"dbo\".\"T\" WHERE \"v\" = 'neu'");
    env.oracle_exec("INSERT INTO \"dbo\".\"T\" (\"id\", \"v\") VALUES (3, 'drei')");
    const agent_run again = run({"--mode=2"});
    EXPECT_EQ(again.status, 0) << again.out;
    EXPECT_EQ(sequences(), before);
    EXPECT_EQ(insert_without_key("danach"), "4");
}

TEST_F(identity_sequence, a_sequence_that_cannot_be_created_is_reported_for_the_table)
{
    // Every name the sequence could take is held by another object.
    for (int i = 0; i < 100; ++i) env.oracle_exec("CREATE SEQUENCE \"SCOTT\".\"A_dbo_._T__" + std::to_string(i) + "\"");
    const agent_run r = run({"--mode=0"});
    EXPECT_EQ(r.status, 2) << r.out;
    EXPECT_NE(r.out.find("Error:\n\"dbo\".\"T\": No sequence could be created for the identity column 'id'"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("Tables converted: 0, failed: 1."), std::string::npos) << r.out;
    expect_same_rows(env, k_db, "SELECT * FROM T", "\"dbo\".\"T\"");
}

TEST_F(identity_sequence, a_trigger_that_cannot_be_created_is_reported_for_the_table)
{
    eora::inject_error("CREATE OR REPLACE TRIGGER", 4098);
    const agent_run r = run({"--mode=0"});
    EXPECT_EQ(r.status, 2) << r.out;
    EXPECT_NE(r.out.find("Error:\n\"dbo\".\"T\": ORA-04098"), std::string::npos) << r.out;
    expect_same_rows(env, k_db, "SELECT * FROM T", "\"dbo\".\"T\"");
}
