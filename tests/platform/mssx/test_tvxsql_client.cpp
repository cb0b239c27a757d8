#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>
#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include "mssx_test_server.h"

namespace {

struct run_result {
    int code;
    std::string out;
};

run_result run(const std::string& args)
{
    std::string cmd = std::string(TVXSQL_PATH) + " " + args + " 2>&1";
    FILE* p = popen(cmd.c_str(), "r");
    run_result r{-1, {}};
    if (!p) return r;
    std::array<char, 4096> buf;
    size_t n;
    while ((n = fread(buf.data(), 1, buf.size(), p)) > 0) r.out.append(buf.data(), n);
    int st = pclose(p);
    r.code = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return r;
}

std::string temp_dir(const std::string& tag)
{
    auto d = std::filesystem::temp_directory_path() / ("tvx_tvxsql_" + tag + "_" + std::to_string(::getpid()));
    std::filesystem::remove_all(d);
    return d.string();
}

} // namespace

TEST(TvxsqlClient, LoadsNorthwindAndPrintsAlignedRows)
{
    std::string script = mssx_fixture("northwind/instnwnd.sql");
    if (!std::filesystem::exists(script)) GTEST_SKIP() << "the Northwind script is not there";
    std::string dir = temp_dir("nw");
    ASSERT_EQ(run("create " + dir + " -P pw").code, 0);
    auto load = run(dir + " -U sa -P pw -i " + script);
    EXPECT_EQ(load.code, 0) << load.out;
    auto q = run(
        dir + " -U sa -P pw -d Northwind -Q \"SELECT TOP 2 ShipperID, CompanyName FROM Shippers ORDER BY ShipperID\"");
    EXPECT_EQ(q.code, 0);
    EXPECT_NE(q.out.find("ShipperID CompanyName   \n--------- --------------\n1         Speedy Express\n"),
              std::string::npos)
        << q.out;
    EXPECT_NE(q.out.find("(2 rows affected)"), std::string::npos);
    std::filesystem::remove_all(dir);
}

TEST(TvxsqlClient, ReportsEachFailingBatchAndGoesOn)
{
    std::string dir = temp_dir("err");
    ASSERT_EQ(run("create " + dir).code, 0);
    std::string script = dir + "/s.sql";
    std::ofstream(script) << "CREATE TABLE t (a int)\nGO\nINSERT INTO t VALUES (1)\nSELEC 1\nGO\nINSERT INTO nope "
                             "VALUES (1)\nGO\nINSERT INTO t VALUES (2)\nGO\n";
    auto r = run(dir + " -U sa -P sa -i " + script);
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.out.find("Msg 102, Level 15, State 1, Line 4\nIncorrect syntax near 'SELEC'."), std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("Msg 208, Level 16, State 1, Line 6\nInvalid object name 'nope'."), std::string::npos)
        << r.out;
    // the batch with the syntax error ran none of its statements
    auto q = run(dir + " -U sa -P sa -Q \"SELECT COUNT(*), MAX(a) FROM t\"");
    EXPECT_NE(q.out.find("\n1 2\n"), std::string::npos) << q.out;
    EXPECT_EQ(run(dir + " -U sa -P wrong -Q \"SELECT 1\"").code, 1);
    EXPECT_EQ(run("").code, 1);
    std::filesystem::remove_all(dir);
}

// A script with sqlcmd's variables, :on error exit and carriage returns inside a literal.
TEST(TvxsqlClient, RunsScriptsAsSqlcmdReadsThem)
{
    std::string dir = temp_dir("sqlcmd");
    ASSERT_EQ(run("create " + dir).code, 0);
    std::string script = dir + "/s.sql";
    std::ofstream(script, std::ios::binary)
        << ":setvar tab Items\r\nCREATE TABLE $(tab) (id int, s varchar(20), k varchar(10))\r\nGO\r\n"
           "INSERT INTO $(tab) VALUES (1, 'a\r\nb', '$(kind)')\r\nGO\r\n"
           "CREATE INDEX \"ix'); --\" ON $(tab) (id)\r\nGO\r\n"
           ":on error exit\r\nINSERT INTO nothere VALUES (1)\r\nGO\r\nINSERT INTO $(tab) VALUES (2, 'never', "
           "'')\r\nGO\r\n";
    auto r = run(dir + " -U sa -P sa -v kind=red -i " + script);
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.out.find("Invalid object name 'nothere'."), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("Msg 102"), std::string::npos) << r.out;
    mssx_connection c(dir, {"sa", "sa", false, ""});
    auto out = c.execute("SELECT id, s, k FROM Items ORDER BY id");
    ASSERT_TRUE(out.errors.empty());
    ASSERT_EQ(out.results.at(0).rows.size(), 1u); // the script stopped at the failing batch
    EXPECT_EQ(mssx_cell(out.results[0], 0, 1), "a\r\nb");
    EXPECT_EQ(mssx_cell(out.results[0], 0, 2), "red");
    out = c.execute("SELECT name FROM sys.indexes WHERE name LIKE 'ix%'");
    ASSERT_TRUE(out.errors.empty());
    EXPECT_EQ(mssx_cell(out.results.at(0), 0, 0), "ix'); --");
    std::filesystem::remove_all(dir);
}
