#include "platform/eora/eora_privileges.h"
#include "tests/platform/eora/eora_test_service.h"

#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdlib>

namespace {

class EoraCli : public eora_test::service {
protected:
    void SetUp() override
    {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir = std::filesystem::temp_directory_path() / ("eora_cli_" + std::to_string(::getpid()) + "_" + info->name());
        std::filesystem::remove_all(dir);
        file = (dir / "ORCL.db").string();
        ASSERT_EQ(cli("create-service " + dir.string() + " orcl manager"), 0);
        s = std::make_unique<eora::session>(file, "SYSTEM", "manager");
    }
    // The client's exit status.
    int cli(const std::string& args)
    {
        const std::string cmd = std::string(TVX_ORA_CLI) + " " + args + " >/dev/null 2>&1";
        const int rc = std::system(cmd.c_str());
        return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    }
    std::vector<std::string> privileges_of(const std::string& user)
    {
        return run("select privilege from dba_sys_privs where grantee = '" + user + "' order by privilege");
    }
};

TEST_F(EoraCli, CreateUserGrantsWhatAConversionNeedsUnlessToldOtherwise)
{
    ASSERT_EQ(cli("create-user " + dir.string() + " orcl manager scott tiger"), 0);
    std::vector<std::string> expected;
    for (std::string_view p : eora::priv::converter_set()) expected.push_back(std::string(p) + "|");
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(privileges_of("SCOTT"), expected);
    EXPECT_NO_THROW(eora::session(file, "SCOTT", "tiger"));

    ASSERT_EQ(cli("create-user " + dir.string() + " orcl manager bare pw --no-grants"), 0);
    EXPECT_TRUE(privileges_of("BARE").empty());
    try {
        eora::session refused(file, "BARE", "pw");
        ADD_FAILURE() << "a user without grants logged on";
    } catch (const eora::eora_error& e) {
        EXPECT_EQ(e.number(), 1045);
    }

    ASSERT_EQ(cli("create-user " + dir.string() + " orcl manager few pw --grant 'CREATE SESSION, CREATE TABLE'"), 0);
    EXPECT_EQ(privileges_of("FEW"), (std::vector<std::string>{"CREATE SESSION|", "CREATE TABLE|"}));
    // An unknown privilege is refused, and the usage is shown for an unknown option.
    EXPECT_NE(cli("create-user " + dir.string() + " orcl manager odd pw --grant 'CREATE NOTHING'"), 0);
    EXPECT_TRUE(privileges_of("ODD").empty());
    EXPECT_EQ(cli("create-user " + dir.string() + " orcl manager other pw --grants"), 2);
}

TEST_F(EoraCli, CreateServiceTakesTheCharacterSets)
{
    ASSERT_EQ(cli("create-service " + dir.string() + " win manager --charset WE8MSWIN1252 --ncharset utf8"), 0);
    eora::session win((dir / "WIN.db").string(), "SYSTEM", "manager");
    EXPECT_EQ(run_on(win,
                     "select value from nls_database_parameters where parameter in ('NLS_CHARACTERSET', "
                     "'NLS_NCHAR_CHARACTERSET') order by parameter"),
              (std::vector<std::string>{"WE8MSWIN1252|", "UTF8|"}));
    EXPECT_NE(cli("create-service " + dir.string() + " bad manager --ncharset WE8MSWIN1252"), 0);
    EXPECT_FALSE(std::filesystem::exists(dir / "BAD.db"));
    EXPECT_EQ(cli("create-service " + dir.string() + " odd manager --charset"), 2);
}

// The mode bits of a file or folder.
unsigned mode_of(const std::filesystem::path& p)
{
    struct stat st {};
    EXPECT_EQ(::stat(p.c_str(), &st), 0) << p;
    return st.st_mode & 0777;
}

TEST_F(EoraCli, FoldersAndFilesAreTheOwnersOnlyWhateverTheUmask)
{
    const std::filesystem::path nested = dir / "a" / "b";
    const mode_t before = ::umask(0);
    const int rc = cli("create-service " + nested.string() + " open manager");
    std::unique_ptr<eora::session> open;
    try {
        open = std::make_unique<eora::session>((nested / "OPEN.db").string(), "SYSTEM", "manager");
        run_on(*open, "create table t (c clob)");
        run_on(*open, "insert into t values (empty_clob())");
    } catch (...) {
        ::umask(before);
        throw;
    }
    ::umask(before);
    ASSERT_EQ(rc, 0);
    EXPECT_EQ(mode_of(dir / "a"), 0700u);
    EXPECT_EQ(mode_of(nested), 0700u);
    for (const char* suffix : {"", "-wal", "-shm", "-lock"}) {
        const auto f = nested / (std::string("OPEN.db") + suffix);
        if (*suffix == '\0' || std::filesystem::exists(f)) {
            EXPECT_EQ(mode_of(f), 0600u) << f;
        }
    }
    EXPECT_TRUE(std::filesystem::exists(nested / "OPEN.db-lock"));
    open.reset();
}

} // namespace
