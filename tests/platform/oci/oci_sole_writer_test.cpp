// A session that commits row after row alone keeps the service file between
// commits; sessions attaching later, from this process or another, still get
// in, see what was committed, and meet the same lock rules as before.
#include "tests/platform/oci/oci_fixture.h"

#include <poll.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

using namespace oci_test;

namespace {

constexpr int run_rows = 40; // more than a session commits before it keeps the file

// Whether a plain SQLite connection, which waits for nothing, can read the file.
bool foreign_reader_gets_in(const service_dir& dir)
{
    sqlite3* db = nullptr;
    sqlite3_open_v2((dir.dir / "ORCL.db").string().c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    const int rc = sqlite3_exec(db, "SELECT COUNT(*) FROM _ora_settings", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    return rc == SQLITE_OK;
}

void insert_rows(client& c, int from, int to)
{
    for (int i = from; i < to; ++i)
        ASSERT_EQ(c.run("INSERT INTO \"W\" VALUES(" + std::to_string(i) + ")", OCI_COMMIT_ON_SUCCESS), 0) << c.error();
}

} // namespace

TEST_F(OciTest, RowCommitsKeepTheFileUntilAnotherSessionAttaches)
{
    exec("CREATE TABLE \"W\" (\"V\" NUMBER)");
    insert_rows(c, 0, run_rows);
    EXPECT_FALSE(foreign_reader_gets_in(svc_dir)) << "a run of row commits leaves the file shared";

    // The idle holder gives the file back as the second session attaches.
    eora::session::set_lock_timeout_ms(100);
    client other;
    ASSERT_EQ(other.connect(svc_dir.ds(), "system", "manager"), OCI_SUCCESS) << other.error();
    EXPECT_TRUE(foreign_reader_gets_in(svc_dir));
    EXPECT_EQ(other.rows("SELECT COUNT(*) FROM \"W\"")[0][0], std::to_string(run_rows));
    ASSERT_EQ(other.run("INSERT INTO \"W\" VALUES(-1)", OCI_COMMIT_ON_SUCCESS), 0) << other.error();
    // Neither takes the file while the other is attached.
    insert_rows(c, run_rows, 2 * run_rows);
    EXPECT_TRUE(foreign_reader_gets_in(svc_dir));
    EXPECT_EQ(c.rows("SELECT COUNT(*) FROM \"W\"")[0][0], std::to_string(2 * run_rows + 1));

    // Uncommitted changes still hold off the other session's DDL.
    exec("INSERT INTO \"W\" VALUES(-2)");
    EXPECT_EQ(other.run("DROP TABLE \"W\" CASCADE CONSTRAINTS"), 54);
    exec("COMMIT");
    eora::session::set_lock_timeout_ms(3000);
    EXPECT_EQ(other.rows("SELECT COUNT(*) FROM \"W\"")[0][0], std::to_string(2 * run_rows + 2));
}

TEST_F(OciTest, AHolderInATransactionGivesTheFileBackAtItsCommit)
{
    exec("CREATE TABLE \"W\" (\"V\" NUMBER)");
    insert_rows(c, 0, run_rows);
    exec("INSERT INTO \"W\" VALUES(-1)"); // left open
    sword attached = OCI_ERROR;
    std::string rows;
    std::thread t([&] {
        client other;
        attached = other.connect(svc_dir.ds(), "system", "manager");
        if (attached == OCI_SUCCESS) rows = other.rows("SELECT COUNT(*) FROM \"W\"")[0][0];
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    exec("COMMIT");
    t.join();
    EXPECT_EQ(attached, OCI_SUCCESS);
    EXPECT_EQ(rows, std::to_string(run_rows + 1));
}

TEST(OciSoleWriter, ASessionOfAnotherProcessGetsInWhileTheHolderCommits)
{
    service_dir dir;
    {
        client c;
        ASSERT_EQ(c.connect(dir.ds(), "system", "manager"), OCI_SUCCESS);
        ASSERT_EQ(c.run("CREATE TABLE \"W\" (\"V\" NUMBER)", OCI_COMMIT_ON_SUCCESS), 0);
    }
    int ready[2], stop[2];
    ASSERT_EQ(pipe(ready), 0);
    ASSERT_EQ(pipe(stop), 0);
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        close(ready[0]);
        close(stop[1]);
        client c;
        if (c.connect(dir.ds(), "system", "manager") != OCI_SUCCESS) _exit(2);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        for (int i = 0; std::chrono::steady_clock::now() < deadline; ++i) {
            if (c.run("INSERT INTO \"W\" VALUES(" + std::to_string(i) + ")", OCI_COMMIT_ON_SUCCESS) != 0) _exit(3);
            if (i == run_rows) {
                char x = 'r';
                if (write(ready[1], &x, 1) != 1) _exit(4);
            }
            pollfd p{stop[0], POLLIN, 0};
            if (i > run_rows && poll(&p, 1, 0) == 1) _exit(0);
        }
        _exit(5);
    }
    close(ready[1]);
    close(stop[0]);
    char x = 0;
    ASSERT_EQ(read(ready[0], &x, 1), 1);
    client c;
    const sword attached = c.connect(dir.ds(), "system", "manager");
    const int ora = attached == OCI_SUCCESS ? c.run("INSERT INTO \"W\" VALUES(-1)", OCI_COMMIT_ON_SUCCESS) : -1;
    const auto rows = c.rows("SELECT COUNT(*) FROM \"W\" WHERE \"V\" >= 0");
    x = 's';
    EXPECT_EQ(write(stop[1], &x, 1), 1);
    int status = 0;
    waitpid(pid, &status, 0);
    close(ready[0]);
    close(stop[1]);
    ASSERT_EQ(attached, OCI_SUCCESS) << c.error();
    EXPECT_EQ(ora, 0) << c.error();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_GT(std::stoi(rows[0][0]), run_rows);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the holder's commits failed: " << status;
}

// A commit asked for with nothing open ends a unit of work, such as a table's
// rows: what the row commits left in the log is synced then.
TEST_F(OciTest, ACommitWithNothingOpenSyncsTheRowsBeforeIt)
{
    exec("CREATE TABLE \"W\" (\"V\" NUMBER)");
    const long before = eora::session::disk_syncs();
    insert_rows(c, 0, run_rows);
    EXPECT_EQ(eora::session::disk_syncs(), before);
    ASSERT_EQ(OCITransCommit(c.svc, c.err, OCI_DEFAULT), OCI_SUCCESS);
    EXPECT_EQ(eora::session::disk_syncs(), before + 1);
    EXPECT_TRUE(foreign_reader_gets_in(svc_dir)) << "the file stays held after the unit of work";
    ASSERT_EQ(OCITransCommit(c.svc, c.err, OCI_DEFAULT), OCI_SUCCESS);
    EXPECT_EQ(eora::session::disk_syncs(), before + 1);
}
