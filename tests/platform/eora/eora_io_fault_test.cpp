#include "platform/eora/eora_io_error.h"
#include "tests/platform/eora/eora_test_service.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sqlite3.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <fstream>

namespace {

namespace fs = std::filesystem;

class EoraIoFault : public eora_test::service {
protected:
    void SetUp() override
    {
        eora_test::service::SetUp();
        run("create table t (id number, v varchar2(200))");
        for (int i = 0; i < 200; ++i)
            run("insert into t values (" + std::to_string(i) + ", '" + std::string(150, 'a' + i % 26) + "')");
        run("commit");
    }
    // The error of a statement, which must fail.
    static eora::eora_error failure(eora::session& on, const std::string& sql)
    {
        try {
            run_on(on, sql);
        } catch (const eora::eora_error& e) {
            return e;
        }
        ADD_FAILURE() << "succeeded: " << sql;
        return eora::eora_error(0, "");
    }
    void expect_names_the_file(const eora::eora_error& e)
    {
        EXPECT_NE(e.text().find("ORA-01110: data file 4: '" + file + "'"), std::string::npos) << e.text();
    }
    int logon_error()
    {
        try {
            eora::session again(file, "SYSTEM", "manager");
        } catch (const eora::eora_error& e) {
            return e.number();
        }
        return 0;
    }
};

TEST_F(EoraIoFault, ADeletedServiceFileIsReportedAndNeverMadeAgain)
{
    fs::remove(file);
    auto e = failure(*s, "insert into t values (1000, 'after')");
    EXPECT_EQ(e.number(), 1116);
    EXPECT_EQ(e.text().rfind("ORA-01116: error in opening database file 4", 0), 0u) << e.text();
    expect_names_the_file(e);
    EXPECT_NE(e.text().find("ORA-27041: unable to open file"), std::string::npos) << e.text();
    // Every later statement gets the same answer, a commit too.
    EXPECT_EQ(failure(*s, "select count(*) from t").number(), 1116);
    EXPECT_THROW(s->commit(), eora::eora_error);
    s.reset();
    EXPECT_FALSE(fs::exists(file));
    EXPECT_EQ(logon_error(), 12514);
    EXPECT_FALSE(fs::exists(file));
}

TEST_F(EoraIoFault, AFilePutInTheServicesPlaceIsNotWrittenTo)
{
    fs::rename(file, file + ".moved");
    {
        std::ofstream(file) << "something else";
    }
    EXPECT_EQ(failure(*s, "update t set v = 'x'").number(), 1116);
    s.reset();
    std::ifstream in(file);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(text, "something else");
}

TEST_F(EoraIoFault, AFileCutShortIsReportedAndLeftAsItIs)
{
    s.reset();
    s = std::make_unique<eora::session>(file, "SYSTEM", "manager");
    const auto whole = fs::file_size(file);
    ASSERT_GT(whole, 16384u);
    constexpr std::uintmax_t k_kept = 8192;
    fs::resize_file(file, k_kept);
    auto e = failure(*s, "insert into t values (1000, 'after')");
    EXPECT_EQ(e.number(), 1200);
    EXPECT_EQ(e.text().rfind("ORA-01200: actual file size of 1 is smaller than correct size of " +
                                 std::to_string(whole / 8192) + " blocks",
                             0),
              0u)
        << e.text();
    expect_names_the_file(e);
    s.reset();
    // Not rebuilt from the log at the end, nor by the next logon, which is refused.
    EXPECT_EQ(fs::file_size(file), k_kept);
    EXPECT_EQ(logon_error(), 1200);
    EXPECT_EQ(fs::file_size(file), k_kept);
    fs::resize_file(file, 0);
    EXPECT_EQ(logon_error(), 1115);
    EXPECT_EQ(fs::file_size(file), 0u);
}

TEST_F(EoraIoFault, ADamagedFileIsReportedAsACorruptBlock)
{
    s.reset();
    const auto size = fs::file_size(file);
    {
        // The rows of t are the last pages written.
        std::fstream f(file, std::ios::in | std::ios::out | std::ios::binary);
        f.seekp(static_cast<std::streamoff>(size - 3 * 4096 + 8));
        const std::string junk(3 * 4096 - 16, '\xA5');
        f.write(junk.data(), static_cast<std::streamsize>(junk.size()));
    }
    s = std::make_unique<eora::session>(file, "SYSTEM", "manager");
    auto e = failure(*s, "select sum(length(v)) from t");
    EXPECT_EQ(e.number(), 1578);
    EXPECT_EQ(e.text().rfind("ORA-01578: ORACLE data block corrupted (file # 4", 0), 0u) << e.text();
}

// Marks a file immutable for its lifetime (the file system refuses every write to it); needs the right to.
class immutable {
public:
    explicit immutable(const std::string& file) : file_(file) { ok_ = set(true); }
    ~immutable()
    {
        if (ok_) set(false);
    }
    immutable(const immutable&) = delete;
    immutable& operator=(const immutable&) = delete;
    bool ok() const { return ok_; }

private:
    bool set(bool on)
    {
        const int fd = ::open(file_.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) return false;
        int flags = 0;
        bool done = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
        if (done) {
            flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
            done = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
        }
        ::close(fd);
        return done;
    }
    std::string file_;
    bool ok_ = false;
};

TEST_F(EoraIoFault, AFileThatCannotBeWrittenIsReportedAsOracleReportsIt)
{
    s.reset();
    immutable guard(file);
    if (!guard.ok()) GTEST_SKIP() << "the file system or the user cannot make a file immutable";
    int number = 0;
    std::string text;
    try {
        eora::session ro(file, "SYSTEM", "manager");
        run_on(ro, "insert into t values (1000, 'after')");
        run_on(ro, "commit");
    } catch (const eora::eora_error& e) {
        number = e.number();
        text = e.text();
    }
    EXPECT_EQ(number, 372) << text;
    EXPECT_EQ(text.rfind("ORA-00372: file 4 cannot be modified at this time", 0), 0u) << text;
    EXPECT_NE(text.find("ORA-01110: data file 4: '" + file + "'"), std::string::npos) << text;
}

// Each failure SQLite reports of the file, as Oracle numbers it.
TEST(EoraIoError, SqliteFailuresBecomeOraclesIoErrors)
{
    struct mapping {
        int rc, number;
        const char* os;
    };
    const mapping table[] = {
        {SQLITE_IOERR_READ, 1115, "ORA-27072"},  {SQLITE_IOERR_SHORT_READ, 1115, "ORA-27072"},
        {SQLITE_IOERR_WRITE, 1114, "ORA-27072"}, {SQLITE_IOERR_FSYNC, 1114, "ORA-27072"},
        {SQLITE_IOERR, 1114, "ORA-27072"},       {SQLITE_READONLY, 372, nullptr},
        {SQLITE_READONLY_DBMOVED, 372, nullptr}, {SQLITE_CORRUPT, 1578, nullptr},
        {SQLITE_NOTADB, 1578, nullptr},          {SQLITE_CANTOPEN, 1116, "ORA-27041"},
    };
    for (const auto& m : table) {
        EXPECT_TRUE(eora::is_io_failure(m.rc)) << m.rc;
        const eora::eora_error e = eora::io_error(m.rc, "/data/ORCL.db");
        EXPECT_EQ(e.number(), m.number) << m.rc;
        EXPECT_NE(e.text().find("\nORA-01110: data file 4: '/data/ORCL.db'"), std::string::npos) << e.text();
        if (m.os) {
            EXPECT_NE(e.text().find(m.os), std::string::npos) << e.text();
        }
    }
    EXPECT_EQ(eora::io_error(SQLITE_READONLY, "f").text().rfind("ORA-00372: file 4 cannot be modified at this time", 0),
              0u);
    for (int rc : {SQLITE_BUSY, SQLITE_FULL, SQLITE_CONSTRAINT, SQLITE_ERROR}) EXPECT_FALSE(eora::is_io_failure(rc));
}

} // namespace
