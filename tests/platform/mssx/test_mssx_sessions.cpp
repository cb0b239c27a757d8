#include <gtest/gtest.h>
#include "mssx_test_server.h"
#include "platform/mssx/mssx_connection_impl.h"

// While one session's batch holds its database's write lock (a long batch in progress), another
// session's reads of that database and its work in another database go on.
TEST(MssxSessions, ALongBatchHoldsUpNoReaderAndNoOtherDatabase)
{
    mssx_test_server srv("sessions");
    mssx_connection setup(srv.dir, srv.sa());
    ASSERT_TRUE(setup.execute("CREATE DATABASE A").errors.empty());
    ASSERT_TRUE(setup.execute("CREATE DATABASE B").errors.empty());
    ASSERT_TRUE(setup.execute("USE A; CREATE TABLE t (a int); INSERT INTO t VALUES (1), (2)").errors.empty());
    ASSERT_TRUE(setup.execute("USE B; CREATE TABLE u (a int)").errors.empty());

    mssx_connection writer(srv.dir, srv.sa("A"));
    writer.state().db.exec("BEGIN IMMEDIATE");
    writer.state().db.exec("INSERT INTO \"dbo.t\" VALUES (3)");

    mssx_connection reader(srv.dir, srv.sa("A"));
    auto out = reader.execute("DECLARE @n int SELECT @n = COUNT(*) FROM t IF @n > 0 SELECT @n, MAX(a) FROM t");
    ASSERT_TRUE(out.errors.empty()) << out.errors.front().what();
    EXPECT_EQ(mssx_cell(out.results.at(0), 0, 0), "2"); // what was committed
    out = reader.execute("SELECT COUNT(*) FROM sys.tables");
    ASSERT_TRUE(out.errors.empty()) << out.errors.front().what();

    mssx_connection other(srv.dir, srv.sa("B"));
    out = other.execute("INSERT INTO u VALUES (1); SELECT COUNT(*) FROM u");
    ASSERT_TRUE(out.errors.empty()) << out.errors.front().what();
    EXPECT_EQ(mssx_cell(out.results.at(0), 0, 0), "1");

    writer.state().db.exec("COMMIT");
    out = reader.execute("SELECT COUNT(*) FROM t");
    ASSERT_TRUE(out.errors.empty());
    EXPECT_EQ(mssx_cell(out.results.at(0), 0, 0), "3");
}
