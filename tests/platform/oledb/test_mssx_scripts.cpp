#include <gtest/gtest.h>
#include <sys/stat.h>
#include "mssx_test_server.h"

TEST(MssxScripts, StatementsAfterUseInTheSameBatchRunInTheNewDatabase)
{
    mssx_test_server srv("use_batch");
    mssx_connection c(srv.dir, srv.sa());
    auto out = c.execute("CREATE DATABASE Shop");
    ASSERT_TRUE(out.errors.empty());
    out = c.execute("USE Shop\nCREATE TABLE t (id int NOT NULL, name nvarchar(10) NULL)\nINSERT INTO t VALUES (1, N'one')\n"
                    "SET NOCOUNT ON\nINSERT INTO t VALUES (2, N'two')\nSELECT COUNT(*) FROM t");
    ASSERT_TRUE(out.errors.empty()) << out.errors.front().what();
    EXPECT_EQ(c.database(), "Shop");
    ASSERT_EQ(out.results.size(), 1u);
    EXPECT_EQ(mssx_cell(out.results[0], 0, 0), "2");
    // and back: the session settings survive the switch
    out = c.execute("USE master; USE Shop; SELECT name FROM t WHERE id = 2");
    ASSERT_TRUE(out.errors.empty()) << out.errors.front().what();
    EXPECT_EQ(mssx_cell(out.results.at(0), 0, 0), "two");
    auto r = srv.query("Shop", "SELECT name FROM t ORDER BY id");
    ASSERT_EQ(r.rows.size(), 2u);
    EXPECT_EQ(mssx_cell(r, 0, 0), "one");
}

TEST(MssxScripts, ServerAndDatabaseFilesAreReadableByTheirOwnerOnly)
{
    mssx_test_server srv("modes");
    {
        mssx_connection c(srv.dir, srv.sa());
        ASSERT_TRUE(c.execute("CREATE DATABASE Shop").errors.empty());
        ASSERT_TRUE(c.execute("USE Shop; CREATE TABLE t (a int)").errors.empty());
    }
    int seen = 0;
    for (auto& f : std::filesystem::directory_iterator(srv.dir)) {
        struct stat st {};
        ASSERT_EQ(::stat(f.path().c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0600u) << f.path();
        ++seen;
    }
    EXPECT_GE(seen, 2); // server.sqlite, shop.sqlite
}
