#include <gtest/gtest.h>
#include "mssx_test_server.h"

namespace {

// PRINT lines and the first error number of a batch, as one text.
std::string printed(const mssx_outcome& out)
{
    std::string s;
    for (auto& m : out.messages)
        if (m.rfind("(", 0) != 0) s += m + ";";
    for (auto& e : out.errors) s += "Msg " + std::to_string(e.number) + ";";
    return s;
}

} // namespace

// One batch and what it prints, one row per construct.
TEST(MssxControlFlow, BatchesPrintWhatSqlServerPrints)
{
    struct {
        const char* batch;
        const char* printed;
    } cases[] = {
        {"DECLARE @i int = 0\nWHILE @i < 3\nBEGIN\n  SET @i = @i + 1\n  PRINT @i\nEND", "1;2;3;"},
        {"DECLARE @i int = 0 WHILE @i < 3 SET @i = @i + 1 PRINT @i", "3;"},
        {"DECLARE @i int = 0\nWHILE 1 = 1\nBEGIN\n  SET @i = @i + 1\n  IF @i = 2 CONTINUE\n  IF @i > 4 BREAK\n  "
         "PRINT @i\nEND\nPRINT 'done'",
         "1;3;4;done;"},
        // BREAK leaves the innermost loop only
        {"DECLARE @a int = 0, @b int\nWHILE @a < 2 BEGIN SET @a += 1 SET @b = 0 WHILE 1 = 1 BEGIN SET @b += 1 IF @b "
         "= 3 BREAK END PRINT CAST(@a AS varchar(3)) + '-' + CAST(@b AS varchar(3)) END",
         "1-3;2-3;"},
        {"WHILE 1 = 0 PRINT 'never'\nPRINT 'after'", "after;"},
        {"IF 1 = 1 PRINT 'yes' ELSE PRINT 'no'", "yes;"},
        {"IF 1 = 0 BEGIN PRINT 'a' PRINT 'b' END ELSE BEGIN PRINT 'c' PRINT 'd' END", "c;d;"},
        {"PRINT 'one'\nRETURN\nPRINT 'two'", "one;"},
        {"DECLARE @i int = 0 WHILE @i < 10 BEGIN SET @i += 1 IF @i = 2 RETURN PRINT @i END PRINT 'end'", "1;"},
        // a declaration run again by its loop keeps the value; one that sets a value sets it each time
        {"DECLARE @i int = 0 WHILE @i < 2 BEGIN DECLARE @k int DECLARE @z int = 5 SET @i += 1 SET @k = ISNULL(@k, 0) "
         "+ 10 SET @z += 1 PRINT CAST(@k AS varchar(3)) + '/' + CAST(@z AS varchar(3)) END",
         "10/6;20/6;"},
        {"SELECT @v = 1", "Msg 137;"},
        {"BREAK", "Msg 135;"},
        {"PRINT 'x' IF 1 = 1 CONTINUE", "Msg 136;"},
        {"PRINT 'x' RETURN 5", "Msg 178;"},
        {"PRINT 'x' DECLARE @a int DECLARE @a int", "Msg 134;"},
        {"DECLARE @e int INSERT INTO nothere VALUES (1) SET @e = @@ERROR PRINT @e PRINT @@ERROR", "208;0;Msg 208;"},
        {"DECLARE @s nvarchar(20) = N'ab' SET @s += N'cd' SET @s += @s PRINT @s", "abcdabcd;"},
        {"DECLARE @n int = 7 SET @n -= 2 SET @n *= 3 SET @n /= 2 PRINT @n", "7;"},
    };
    mssx_test_server srv("flow");
    mssx_connection c(srv.dir, srv.sa());
    for (auto& k : cases) EXPECT_EQ(printed(c.execute(k.batch)), k.printed) << k.batch;
}

TEST(MssxControlFlow, RowcountCountsTheLastStatementsRows)
{
    mssx_test_server srv("rowcount");
    mssx_connection c(srv.dir, srv.sa());
    ASSERT_TRUE(c.execute("CREATE TABLE t (a int)").errors.empty());
    auto out = c.execute(
        "INSERT INTO t VALUES (1), (2), (3)\nPRINT @@ROWCOUNT\nUPDATE t SET a = a + 1 WHERE a > 1\n"
        "PRINT @@ROWCOUNT\nSELECT a FROM t\nPRINT @@ROWCOUNT\nDECLARE @n int\nSET @n = 5\n"
        "PRINT @@ROWCOUNT");
    EXPECT_EQ(printed(out), "3;2;3;1;");
}

// A loop filling a table: every iteration's row arrives, none twice.
TEST(MssxControlFlow, AWhileLoopFillsANumbersTable)
{
    mssx_test_server srv("numbers");
    mssx_connection c(srv.dir, srv.sa());
    auto out = c.execute(
        "SET NOCOUNT ON\nCREATE TABLE Numbers (n int NOT NULL PRIMARY KEY)\nDECLARE @i int = 1\n"
        "WHILE @i <= 2000\nBEGIN\n  INSERT INTO Numbers VALUES (@i)\n  SET @i = @i + 1\nEND");
    ASSERT_TRUE(out.errors.empty()) << out.errors.front().what();
    auto r = srv.query("master", "SELECT COUNT(*), MIN(n), MAX(n), SUM(n) FROM Numbers");
    EXPECT_EQ(mssx_cell(r, 0, 0), "2000");
    EXPECT_EQ(mssx_cell(r, 0, 1), "1");
    EXPECT_EQ(mssx_cell(r, 0, 2), "2000");
    EXPECT_EQ(mssx_cell(r, 0, 3), "2001000");
}

// A loop that never ends stops at the limit with an error and runs nothing more of its batch.
TEST(MssxControlFlow, ALoopBeyondTheLimitEndsTheBatch)
{
    mssx_test_server srv("limit");
    mssx_connection c(srv.dir, srv.sa());
    c.set_loop_limit(50);
    ASSERT_TRUE(c.execute("CREATE TABLE t (a int)").errors.empty());
    auto out = c.execute(
        "SET NOCOUNT ON DECLARE @i int = 0 WHILE 1 = 1 BEGIN SET @i += 1 INSERT INTO t VALUES (@i) "
        "END PRINT 'after'");
    ASSERT_EQ(out.errors.size(), 1u);
    EXPECT_NE(std::string(out.errors[0].what()).find("limit"), std::string::npos);
    EXPECT_TRUE(out.messages.empty());
    EXPECT_EQ(mssx_cell(srv.query("master", "SELECT COUNT(*) FROM t"), 0, 0), "50");
    // the next batch runs as usual
    out = c.execute("DECLARE @i int = 0 WHILE @i < 40 SET @i += 1 PRINT @i");
    EXPECT_EQ(printed(out), "40;");
}

// A statement the server does not run is refused alone: the statements around it run.
TEST(MssxControlFlow, StatementsNotRunAreRefusedAlone)
{
    mssx_test_server srv("not_run");
    mssx_connection c(srv.dir, srv.sa());
    ASSERT_TRUE(c.execute("CREATE TABLE t (a int); CREATE TABLE s (a int)").errors.empty());
    for (const char* stmt : {"DBCC CHECKIDENT ('t', RESEED, 0)", "WAITFOR DELAY '00:00:01'", "GOTO done",
                             "MERGE t USING s ON t.a = s.a WHEN MATCHED THEN UPDATE SET a = 1 WHEN NOT MATCHED "
                             "THEN INSERT (a) VALUES (s.a);",
                             "GRANT SELECT, INSERT ON t TO public", "SAVE TRANSACTION x",
                             "BACKUP DATABASE d TO "
                             "DISK = 'x'"}) {
        auto out = c.execute(std::string("PRINT 'before'\n") + stmt + "\nPRINT 'after'");
        ASSERT_EQ(out.errors.size(), 1u) << stmt;
        EXPECT_NE(std::string(out.errors[0].what()).find("is not supported by the embedded server"), std::string::npos)
            << stmt << ": " << out.errors[0].what();
        EXPECT_EQ(out.messages, (std::vector<std::string>{"before", "after"})) << stmt;
    }
    EXPECT_EQ(mssx_cell(c.execute("SELECT COUNT(*) FROM t").results.at(0), 0, 0), "0");
    // THROW raises its error and ends the batch
    auto out = c.execute("PRINT 'a' THROW 51000, 'stop here', 1; PRINT 'b'");
    ASSERT_EQ(out.errors.size(), 1u);
    EXPECT_EQ(out.errors[0].number, 51000);
    EXPECT_STREQ(out.errors[0].what(), "stop here");
    EXPECT_EQ(out.messages, std::vector<std::string>{"a"});
}
