// The built agent converting between the embedded servers: what it prints, its
// exit status, and the rows that arrived.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "agent_process.h"
#include "conversion_env.h"

namespace fs = std::filesystem;

namespace {

const char* k_source = R"(
CREATE TABLE A (id int NOT NULL, c nvarchar(20) NULL, n decimal(10,2) NULL, CONSTRAINT PK_A PRIMARY KEY (id))
GO
CREATE INDEX IX_A_c ON A (c)
GO
CREATE TABLE B (id int NOT NULL, t varchar(10) NULL)
GO
CREATE TABLE [Straße] (k int NOT NULL, v nvarchar(10) NULL)
GO
INSERT A VALUES (1, N'eins', 1.5)
INSERT A VALUES (2, N'zwei', NULL)
INSERT A VALUES (3, N'drei 😀', -2.25)
INSERT [Straße] VALUES (7, N'über')
GO
)";

const std::string k_dup =
    "Error:\ndbo.A, record #2: Duplicate field values being used for an unique index were found. See "
    "'Troubleshooting' article of the product documentation for solution.\n";

class agent_conversion : public ::testing::Test {
protected:
    void SetUp() override
    {
        env.create_database("db");
        env.run_script("db", k_source);
        env.create_user("scott", "tiger");
    }

    std::vector<std::string> args(std::vector<std::string> extra, bool with_tables = false) const
    {
        std::vector<std::string> a{
            "--src=db",       "--dest=ORCL",   "--mssqlh=file:" + env.mss_dir(), "--oraclh=file:" + env.ora_dir(),
            "--oraclu=scott", "--oraclp=tiger"};
        if (with_tables) a.push_back("--tab_file=" + tab_file({"dbo.A", "dbo.B"}));
        a.insert(a.end(), extra.begin(), extra.end());
        return a;
    }

    std::string tab_file(const std::vector<std::string>& names, const std::string& head = "",
                         const std::string& eol = "\n") const
    {
        std::string path = env.dir() + "/tables.txt";
        std::ofstream out(path, std::ios::binary);
        out << head;
        for (const auto& n : names) out << n << eol;
        return path;
    }

    void expect_a_and_b(const std::string& owner)
    {
        expect_same_rows(env, "db", "SELECT * FROM [dbo].[A]", "\"" + owner + "\".\"A\"");
        expect_same_rows(env, "db", "SELECT * FROM [dbo].[B]", "\"" + owner + "\".\"B\"");
    }

    conversion_env env;
};

const std::string k_full_run =
    "Converting database 'db' (2 tables)\n"
    "Converting table '[dbo].[A]' (3 records)\n"
    "Creating schema if necessary: 'dbo'\n"
    "Converting table '[dbo].[B]' (0 records)\n"
    "Creating schema if necessary: 'dbo'\n";

} // namespace

TEST_F(agent_conversion, refused_oracle_login_reports_and_fails)
{
    auto a = args({});
    a[5] = "--oraclp=wrong";
    agent_result r = run_agent(a);
    EXPECT_EQ(r.out, "Error:\nInvalid user name or password.\n");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.status, 255);
}

TEST_F(agent_conversion, missing_source_database_stops_before_any_table)
{
    auto a = args({});
    a[0] = "--src=nosuch";
    agent_result r = run_agent(a);
    EXPECT_EQ(r.err, "Database 'nosuch' does not exist\n");
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.status, 255);
    EXPECT_TRUE(env.oracle_tables("dbo").empty());
}

TEST_F(agent_conversion, full_run_by_table_file_prints_progress_and_copies_every_value)
{
    agent_result r = run_agent(args({}, true));
    EXPECT_EQ(r.out, k_full_run.substr(0, k_full_run.find('\n') + 1) +
                         "Converting table 'dbo.A' (3 records)\nCreating schema if necessary: 'dbo'\n"
                         "Converting table 'dbo.B' (0 records)\nCreating schema if necessary: 'dbo'\n"
                         "Conversion ended. Tables converted: 2, failed: 0. Records copied: 3, refused: 0.\n");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.status, 0);
    expect_a_and_b("dbo");
}

TEST_F(agent_conversion, full_run_without_table_file_converts_every_table)
{
    agent_result r = run_agent(args({}));
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out.substr(0, 36), "Converting database 'db' (3 tables)\n");
    EXPECT_NE(r.out.find("Converting table '[dbo].[A]' (3 records)\nCreating schema if necessary: 'dbo'\n"
                         "Converting table '[dbo].[B]' (0 records)\nCreating schema if necessary: 'dbo'\n"),
              std::string::npos);
    expect_a_and_b("dbo");
    expect_same_rows(env, "db", "SELECT * FROM [dbo].[Straße]", "\"dbo\".\"Straße\"");
}

TEST_F(agent_conversion, view_owned_and_uppercase_put_the_tables_in_the_login_schema)
{
    // The login's own tables are named without their owner.
    agent_result r = run_agent(args({"--view_owned", "--uppercase", "--tab_file=" + tab_file({"A", "B"})}));
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out,
              "Converting database 'db' (2 tables)\n"
              "Converting table 'A' (3 records)\n"
              "Converting table 'B' (0 records)\n"
              "Conversion ended. Tables converted: 2, failed: 0. Records copied: 3, refused: 0.\n");
    expect_a_and_b("SCOTT");
    EXPECT_TRUE(env.oracle_tables("dbo").empty());
    EXPECT_TRUE(env.oracle_tables("DBO").empty());
}

TEST_F(agent_conversion, a_table_missing_at_the_source_goes_to_stderr_and_counts_as_failed)
{
    auto a = args({});
    a.push_back("--tab_file=" + tab_file({"dbo.A", "dbo.X"}));
    agent_result r = run_agent(a);
    EXPECT_EQ(r.out,
              "Converting database 'db' (2 tables)\n"
              "Converting table 'dbo.A' (3 records)\n"
              "Creating schema if necessary: 'dbo'\n"
              "Conversion ended. Tables converted: 1, failed: 1. Records copied: 3, refused: 0.\n");
    EXPECT_EQ(r.err, "Table dbo.X not exists\n");
    EXPECT_EQ(r.status, 2);
    expect_same_rows(env, "db", "SELECT * FROM [dbo].[A]", "\"dbo\".\"A\"");
    EXPECT_EQ(env.oracle_tables("dbo"), std::set<std::string>{"A"});
}

TEST_F(agent_conversion, modes_on_existing_targets)
{
    ASSERT_EQ(run_agent(args({}, true)).status, 0);
    env.oracle_exec("DELETE FROM \"dbo\".\"A\" WHERE \"id\" <> 2");

    // Skip: nothing is added to the existing table, which is reported as it holds fewer rows than the source.
    agent_result skip = run_agent(args({"--mode=2"}, true));
    EXPECT_EQ(skip.status, 2);
    EXPECT_NE(skip.out.find("Error:\ndbo.A: The existing table \"dbo\".\"A\" was kept (skip mode), but it holds 1 "
                            "records where the source has 3"),
              std::string::npos)
        << skip.out;
    EXPECT_NE(skip.out.find("Tables converted: 1, failed: 1."), std::string::npos) << skip.out;
    EXPECT_EQ(env.oracle_count("\"dbo\".\"A\""), 1);

    // Merge: row 2 is already there and is refused; the others are added.
    agent_result merge = run_agent(args({"--mode=1"}, true));
    EXPECT_EQ(merge.status, 2);
    EXPECT_NE(merge.out.find(k_dup), std::string::npos) << merge.out;
    expect_same_rows(env, "db", "SELECT * FROM [dbo].[A]", "\"dbo\".\"A\"");

    // Merge into a table of another shape: refused, B still converted.
    env.oracle_exec("DROP TABLE \"dbo\".\"A\"");
    env.oracle_exec("CREATE TABLE \"dbo\".\"A\" (\"x\" VARCHAR2(3))");
    env.oracle_exec("DROP TABLE \"dbo\".\"B\"");
    agent_result refused = run_agent(args({"--mode=1"}, true));
    EXPECT_EQ(refused.status, 2);
    EXPECT_NE(refused.out.find("Tables converted: 1, failed: 1."), std::string::npos) << refused.out;
    EXPECT_NE(refused.out.find("Error:\ndbo.A: The structure of data source does not conform to the destination "
                               "table.\n"),
              std::string::npos)
        << refused.out;
    EXPECT_EQ(env.oracle_count("\"dbo\".\"A\""), 0);
    EXPECT_EQ(env.oracle_tables("dbo"), (std::set<std::string>{"A", "B"}));

    // Overwrite: A is built again from the source.
    agent_result overwrite = run_agent(args({"--mode=0"}, true));
    EXPECT_EQ(overwrite.status, 0);
    EXPECT_EQ(overwrite.out.find("Error:"), std::string::npos) << overwrite.out;
    expect_a_and_b("dbo");
}

TEST_F(agent_conversion, a_refused_record_is_reported_and_silent_mode_logs_it_only)
{
    ASSERT_EQ(run_agent(args({}, true)).status, 0);
    env.oracle_exec("DELETE FROM \"dbo\".\"A\" WHERE \"id\" <> 2");
    agent_result r = run_agent(args({"--mode=1"}, true));
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out,
              "Converting database 'db' (2 tables)\nConverting table 'dbo.A' (3 records)\n"
              "Creating schema if necessary: 'dbo'\n" +
                  k_dup +
                  "Converting table 'dbo.B' (0 records)\nCreating schema if necessary: 'dbo'\n"
                  "Conversion ended. Tables converted: 2, failed: 0. Records copied: 2, refused: 1.\n");
    EXPECT_EQ(env.oracle_count("\"dbo\".\"A\""), 3);

    env.oracle_exec("DELETE FROM \"dbo\".\"A\" WHERE \"id\" <> 2");
    const std::string log = env.dir() + "/run.log";
    agent_result quiet = run_agent(args({"--mode=1", "--silent", "--logfile=" + log}, true));
    EXPECT_EQ(quiet.status, 2);
    EXPECT_EQ(quiet.out, "");
    EXPECT_EQ(quiet.err, "");
    std::ifstream in(log, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    const std::string text = ss.str();
    EXPECT_NE(text.find("Conversion started on "), std::string::npos) << text;
    EXPECT_NE(text.find("Error:\ndbo.A, record #2: Duplicate field values being used for an unique index were "
                        "found.\nSee 'Troubleshooting' article of the product documentation\nfor solution."),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("Conversion ended on "), std::string::npos);
    // The summary reaches the log also when the console is silent.
    EXPECT_NE(text.find("Conversion ended. Tables converted: 2, failed: 0. Records copied: 2, refused: 1."),
              std::string::npos)
        << text;
    EXPECT_EQ(env.oracle_count("\"dbo\".\"A\""), 3);
}

TEST_F(agent_conversion, definitions_only_and_skipped_indexes)
{
    ASSERT_EQ(run_agent(args({"--tab_def"}, true)).status, 0);
    EXPECT_EQ(env.oracle_tables("dbo"), (std::set<std::string>{"A", "B"}));
    EXPECT_EQ(env.oracle_count("\"dbo\".\"A\""), 0);
    EXPECT_EQ(env.oracle_list("SELECT INDEX_NAME FROM ALL_INDEXES WHERE TABLE_OWNER = 'dbo' AND TABLE_NAME = 'A' "
                              "ORDER BY INDEX_NAME"),
              (std::vector<std::string>{"IX_A_c", "PK_A"}));

    ASSERT_EQ(run_agent(args({"--skip_idx"}, true)).status, 0);
    expect_a_and_b("dbo");
    EXPECT_EQ(env.oracle_list("SELECT INDEX_NAME FROM ALL_INDEXES WHERE TABLE_OWNER = 'dbo' AND TABLE_NAME = 'A' "
                              "AND INDEX_NAME = 'IX_A_c'"),
              std::vector<std::string>{});
}

TEST_F(agent_conversion, profile_with_a_type_mapping_drops_the_column)
{
    const std::string profile = env.dir() + "/setup.tvx";
    std::ofstream(profile, std::ios::binary) << "[Available Queries]\n\n"
                                                "[Generic settings]\nsrc=db\ndest=ORCL\nlogfile=\nskip indexes=0\n"
                                                "only definitions=0\nmode=0\n\n"
                                                "[MS SQL Server settings]\nserver=file:"
                                             << env.mss_dir()
                                             << "\nwindows authentication=1\n\n"
                                                "[Oracle settings]\nhost=file:"
                                             << env.ora_dir()
                                             << "\npassword=tiger\nport=1521\nuser=scott\nuppercase=0\n\n"
                                                "[Selected Tables]\ndbo.A\n\n[Selected Views]\n\n"
                                                "[Type Mappings]\ndatabase:\ntables:\n"
                                                "  - name: [dbo].[A]\n    new_name: [dbo].[A]\n    fields:\n"
                                                "      - name:c\n        new_name: c\n        status: deleted\n"
                                                "        type: NVARCHAR2\n        length: 40\n        scale: 0\n"
                                                "        precision: 0\n    properties:\n";
    agent_result r = run_agent({"--profile=" + profile});
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(r.out,
              "Converting database 'db' (1 table)\nConverting table 'dbo.A' (3 records)\n"
              "Creating schema if necessary: 'dbo'\n"
              "Conversion ended. Tables converted: 1, failed: 0. Records copied: 3, refused: 0.\n");
    table_map map;
    map.dropped.insert("c");
    expect_same_rows(env, "db", "SELECT * FROM [dbo].[A]", "\"dbo\".\"A\"", map);
    // The index on the dropped column went with it.
    EXPECT_EQ(env.oracle_list("SELECT INDEX_NAME FROM ALL_INDEXES WHERE TABLE_OWNER = 'dbo' AND INDEX_NAME = 'IX_A_c'"),
              std::vector<std::string>{});
}

TEST_F(agent_conversion, table_file_with_bom_crlf_and_a_non_ascii_name)
{
    auto a = args({});
    a.push_back("--tab_file=" + tab_file({"", "dbo.Straße", "dbo.B"}, "\xEF\xBB\xBF", "\r\n"));
    agent_result r = run_agent(a);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out,
              "Converting database 'db' (2 tables)\nConverting table 'dbo.Straße' (1 record)\n"
              "Creating schema if necessary: 'dbo'\nConverting table 'dbo.B' (0 records)\n"
              "Creating schema if necessary: 'dbo'\n"
              "Conversion ended. Tables converted: 2, failed: 0. Records copied: 1, refused: 0.\n");
    expect_same_rows(env, "db", "SELECT * FROM [dbo].[Straße]", "\"dbo\".\"Straße\"");
}
