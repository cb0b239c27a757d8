// Runs of the agent that cannot reach their end: a target that takes nothing
// more stops the run after one report, and any run that did not complete
// exits with -1.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include <sqlite3.h>

#include "agent_process.h"
#include "conversion_env.h"
#include "platform/oci/oci.h"
#include "tarvex/agent/agent_main.h"

namespace {

constexpr int k_rows = 300;
constexpr size_t k_width = 1900;

// The text of row i: wide enough that a few dozen rows fill a page budget.
std::string row_text(int i)
{
    std::string t = std::to_string(i) + ":";
    while (t.size() < k_width) t += static_cast<char>('a' + (i + t.size()) % 26);
    return t;
}

int64_t page_count(const std::string& file)
{
    sqlite3* db = nullptr;
    int64_t n = -1;
    if (sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db, "PRAGMA page_count", -1, &st, nullptr) == SQLITE_OK &&
            sqlite3_step(st) == SQLITE_ROW)
            n = sqlite3_column_int64(st, 0);
        sqlite3_finalize(st);
    }
    sqlite3_close(db);
    return n;
}

size_t count_of(const std::string& text, const std::string& what)
{
    size_t n = 0;
    for (size_t p = text.find(what); p != std::string::npos; p = text.find(what, p + 1)) ++n;
    return n;
}

class agent_stop : public ::testing::Test {
protected:
    void SetUp() override
    {
        env.create_database("db");
        std::string script =
            "CREATE TABLE Big (id int NOT NULL PRIMARY KEY, t varchar(1900) NOT NULL)\nGO\n"
            "CREATE TABLE Small (id int NOT NULL, v int NULL)\nGO\n"
            "INSERT Small VALUES (1, 10)\nGO\n";
        for (int i = 1; i <= k_rows; ++i)
            script += "INSERT Big VALUES (" + std::to_string(i) + ", '" + row_text(i) + "')\n";
        script += "GO\n";
        env.run_script("db", script);
        env.create_user("scott", "tiger");
    }
    void TearDown() override { oci_test_clear_injections(); }

    std::vector<std::string> args() const
    {
        return {"--src=db",       "--dest=ORCL",   "--mssqlh=file:" + env.mss_dir(), "--oraclh=file:" + env.ora_dir(),
                "--oraclu=scott", "--oraclp=tiger"};
    }

    conversion_env env;
};

} // namespace

TEST_F(agent_stop, a_full_target_ends_the_run_after_one_report_with_minus_one)
{
    const std::string list = env.dir() + "/tables.txt";
    {
        std::FILE* f = std::fopen(list.c_str(), "w");
        ASSERT_NE(f, nullptr);
        std::fputs("dbo.Big\ndbo.Small\n", f);
        std::fclose(f);
    }
    std::vector<std::string> a = args();
    a.push_back("--tab_file=" + list);
    // Room for the table and a few dozen of its rows, far from all of them.
    const std::string file = env.ora_dir() + "/" + conversion_env::service + ".db";
    eora::session::set_size_limit(file, page_count(file) + 60);
    agent_result r = run_agent(a);

    EXPECT_EQ(r.status, 255) << r.out << r.err;
    EXPECT_EQ(count_of(r.out, "Error:"), 1u) << r.out;
    EXPECT_NE(r.out.find("Error:\ndbo.Big, record #"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("ORA-01653: unable to extend table dbo.Big"), std::string::npos) << r.out;
    // The run ended there: the next table was never reached.
    EXPECT_EQ(r.out.find("Converting table 'dbo.Small'"), std::string::npos) << r.out;
    EXPECT_EQ(env.oracle_tables("dbo").count("Small"), 0u);
    // What arrived before the stop is said last.
    const std::string tail = "Conversion stopped. Tables converted: 0, failed: 1. Records copied: ";
    const size_t at = r.out.rfind(tail);
    ASSERT_NE(at, std::string::npos) << r.out;
    EXPECT_GT(at, r.out.find("ORA-01653")) << r.out;
    EXPECT_EQ(r.out.substr(r.out.size() - 14), ", refused: 1.\n") << r.out;

    // Every row that arrived is whole and equal to its source row.
    ora_rows got = env.oracle_query("SELECT \"id\", \"t\" FROM \"dbo\".\"Big\" ORDER BY \"id\"");
    ASSERT_GT(got.rows.size(), 0u);
    ASSERT_LT(got.rows.size(), static_cast<size_t>(k_rows));
    for (size_t k = 0; k < got.rows.size(); ++k) {
        EXPECT_EQ(got.rows[k][0].s, std::to_string(k + 1));
        EXPECT_EQ(got.rows[k][1].s, row_text(static_cast<int>(k + 1)));
    }
}

TEST_F(agent_stop, a_run_that_fails_after_both_connections_are_open_exits_with_minus_one)
{
    // The target's table list, read only inside the run, fails.
    oci_test_inject_error("from all_tables", 1031);
    std::vector<std::string> a = args();
    a.insert(a.begin(), "TVXAGENT");
    std::vector<char*> argv;
    for (auto& s : a) argv.push_back(s.data());
    testing::internal::CaptureStdout();
    const int status = agent_main(static_cast<int>(argv.size()), argv.data());
    const std::string out = testing::internal::GetCapturedStdout();

    EXPECT_EQ(status, -1) << out;
    EXPECT_NE(out.find("Converting database 'db' (2 tables)\n"), std::string::npos) << out;
    EXPECT_NE(out.find("Error:\n"), std::string::npos) << out;
    EXPECT_NE(out.find("ORA-01031"), std::string::npos) << out;
    EXPECT_EQ(out.find("Converting table"), std::string::npos) << out;
    EXPECT_TRUE(env.oracle_tables("dbo").empty());

    // The same command without the failure completes.
    oci_test_clear_injections();
    testing::internal::CaptureStdout();
    EXPECT_EQ(agent_main(static_cast<int>(argv.size()), argv.data()), 0);
    testing::internal::GetCapturedStdout();
    expect_same_rows(env, "db", "SELECT * FROM dbo.Small", "\"dbo\".\"Small\"");
}

namespace {

struct stop_case {
    const char* statement; // text of the statement that fails
    int ora_number;
    const char* oracle_text; // Oracle's message, shown as it came
    const char* advice;      // the sentence that says what to do
};

} // namespace

TEST_F(agent_stop, errors_that_every_later_table_would_meet_end_the_run_once_with_what_to_do)
{
    const stop_case cases[] = {
        {"CREATE USER", 1031, "ORA-01031", "may not create users: grant it CREATE USER"},
        {"CREATE USER", 65096, "ORA-65096", "connect to the service of a pluggable database instead"},
        {"CREATE TABLE", 959, "ORA-00959", "The tablespace does not exist"},
        {"INTO \"dbo\".\"Big\"", 1950, "ORA-01950", "grant it a quota there"},
        {"INTO \"dbo\".\"Big\"", 1114, "ORA-01114", "cannot read or write its files"},
        {"INTO \"dbo\".\"Big\"", 1578, "ORA-01578", "cannot read or write its files"},
    };
    const std::string list = env.dir() + "/tables.txt";
    {
        std::FILE* f = std::fopen(list.c_str(), "w");
        ASSERT_NE(f, nullptr);
        std::fputs("dbo.Big\ndbo.Small\n", f);
        std::fclose(f);
    }
    std::vector<std::string> a = args();
    a.insert(a.begin(), "TVXAGENT");
    a.push_back("--tab_file=" + list);
    std::vector<char*> argv;
    for (auto& s : a) argv.push_back(s.data());
    for (const stop_case& c : cases) {
        SCOPED_TRACE(c.oracle_text);
        if (env.oracle_tables("dbo").count("Big")) env.oracle_exec("DROP TABLE \"dbo\".\"Big\"");
        if (std::string(c.statement) == "CREATE USER")
            for (const auto& u : env.oracle_list("SELECT USERNAME FROM ALL_USERS WHERE USERNAME = 'dbo'"))
                env.oracle_exec("DROP USER \"" + u + "\" CASCADE");
        oci_test_inject_error(c.statement, c.ora_number);
        testing::internal::CaptureStdout();
        const int status = agent_main(static_cast<int>(argv.size()), argv.data());
        const std::string out = testing::internal::GetCapturedStdout();
        oci_test_clear_injections();

        EXPECT_EQ(status, -1) << out;
        EXPECT_EQ(count_of(out, "Error:"), 1u) << out;
        EXPECT_NE(out.find(c.oracle_text), std::string::npos) << out;
        EXPECT_NE(out.find(c.advice), std::string::npos) << out;
        EXPECT_EQ(out.find("Converting table 'dbo.Small'"), std::string::npos) << out;
        EXPECT_NE(out.find("Conversion stopped. Tables converted: 0, failed: 1."), std::string::npos) << out;
    }
}

TEST_F(agent_stop, a_schema_user_that_exists_is_not_created_again)
{
    // A user without the privilege to create users converts into schemas made beforehand.
    env.oracle_exec("CREATE USER \"dbo\" IDENTIFIED BY x");
    env.oracle_exec("ALTER USER \"dbo\" QUOTA UNLIMITED ON USERS");
    oci_test_inject_error("CREATE USER", 1031);
    std::vector<std::string> a = args();
    a.insert(a.begin(), "TVXAGENT");
    std::vector<char*> argv;
    for (auto& s : a) argv.push_back(s.data());
    testing::internal::CaptureStdout();
    const int status = agent_main(static_cast<int>(argv.size()), argv.data());
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(status, 0) << out;
    expect_same_rows(env, "db", "SELECT * FROM dbo.Small", "\"dbo\".\"Small\"");
}

TEST_F(agent_stop, a_user_without_create_user_stops_once_with_oracles_refusal)
{
    env.oracle_exec("REVOKE CREATE USER FROM scott");
    agent_result r = run_agent(args());
    EXPECT_EQ(r.status, 255) << r.out << r.err;
    EXPECT_EQ(count_of(r.out, "Error:"), 1u) << r.out;
    EXPECT_NE(r.out.find("ORA-01031: insufficient privileges"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("grant it CREATE USER"), std::string::npos) << r.out;
    EXPECT_TRUE(env.oracle_tables("dbo").empty());
}
