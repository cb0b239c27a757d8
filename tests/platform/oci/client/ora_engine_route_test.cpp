// One engine, as the wizard keeps it, connected to the embedded Oracle, then
// through the loaded client library (the stand-in), then back.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "ORA/ora_database.h"
#include "ORA/ora_engine.h"
#include "ORA/ora_exception.h"
#include "ORA/ora_query_results.h"
#include "platform/eora/eora_session.h"

namespace fs = std::filesystem;

namespace {

class ora_engine_route : public ::testing::Test {
protected:
    void SetUp() override
    {
        const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        root = fs::temp_directory_path() / ("tvx_ora_route_" + std::to_string(getpid()) + "_" + name);
        fs::remove_all(root);
        for (const char* d : {"local", "remote"}) {
            fs::create_directories(root / d);
            eora::session::create_service((root / d / "ORCL.db").string(), "manager");
        }
        setenv("TVX_OCI_LIBRARY", TVX_OCI_STANDIN, 1);
        setenv("TVX_OCI_TEST_DIR", (root / "remote").c_str(), 1);
    }
    void TearDown() override
    {
        unsetenv("TVX_OCI_TEST_DIR");
        std::error_code ec;
        fs::remove_all(root, ec);
    }

    std::vector<std::string> read_back(const char* folder, const std::string& sql)
    {
        eora::session s((root / folder / "ORCL.db").string(), "SYSTEM", "manager");
        auto st = s.prepare(sql);
        eora::exec_result r = s.execute(*st, {});
        std::vector<std::string> out;
        while (r.cur && r.cur->next()) out.push_back(r.cur->row().at(0).s);
        return out;
    }

    static std::vector<std::wstring> first_column(const std::wstring& sql)
    {
        std::vector<std::wstring> out;
        ora_query_results rs(0, sql);
        while (!rs.is_eof()) out.push_back(rs.get_item()->at(0).to_wstring());
        return out;
    }

    fs::path root;
};

} // namespace

TEST_F(ora_engine_route, one_engine_goes_to_file_then_to_the_loaded_client_then_back)
{
    ora_engine engine;
    const std::wstring local = L"file:" + (root / "local").wstring();
    auto db = engine.open_db(local, L"SYSTEM", L"manager", L"1521", L"ORCL");
    db->query(L"CREATE TABLE \"T\" (\"V\" NVARCHAR2(20))");
    db->query(L"INSERT INTO \"T\" VALUES ('file one')");
    ASSERT_EQ(OCITransCommit(engine.get_svc(), engine.get_err(), OCI_DEFAULT), OCI_SUCCESS);

    db = engine.open_db(L"127.0.0.1", L"SYSTEM", L"manager", L"1521", L"ORCL");
    EXPECT_EQ(db->name, L"//127.0.0.1:1521/ORCL");
    EXPECT_EQ(engine.get_version(), 0x0B0200u);
    EXPECT_FALSE(db->is_table_exist(L"T"));
    db->query(L"CREATE TABLE \"T\" (\"V\" NVARCHAR2(20))");
    db->query(L"INSERT INTO \"T\" VALUES ('loaded \u00fc')");
    ASSERT_EQ(OCITransCommit(engine.get_svc(), engine.get_err(), OCI_DEFAULT), OCI_SUCCESS);
    EXPECT_EQ(first_column(L"SELECT \"V\" FROM \"T\""), std::vector<std::wstring>{L"loaded \u00fc"});
    EXPECT_EQ(engine.get_records_cnt(L"T"), 1u);

    db = engine.open_db(local, L"SYSTEM", L"manager", L"1521", L"ORCL");
    db->query(L"INSERT INTO \"T\" VALUES ('file two')");
    ASSERT_EQ(OCITransCommit(engine.get_svc(), engine.get_err(), OCI_DEFAULT), OCI_SUCCESS);
    EXPECT_EQ(engine.get_records_cnt(L"T"), 2u);
    db.reset();

    EXPECT_EQ(read_back("local", "SELECT \"V\" FROM SYSTEM.\"T\" ORDER BY \"V\""),
              (std::vector<std::string>{"file one", "file two"}));
    EXPECT_EQ(read_back("remote", "SELECT \"V\" FROM SYSTEM.\"T\""), std::vector<std::string>{"loaded \xc3\xbc"});
}

TEST_F(ora_engine_route, a_refused_login_keeps_the_librarys_number_and_text)
{
    ora_engine engine;
    try {
        engine.open_db(L"127.0.0.1", L"SYSTEM", L"wrong", L"1521", L"ORCL");
        FAIL() << "a wrong password must be refused";
    } catch (const ora_exception& e) {
        EXPECT_EQ(e.code, 0x100000u | 1017u);
        EXPECT_STREQ(e.what(), "ORA-01017: invalid username/password; logon denied");
    }
    // The engine connects afterwards, through the library and without it.
    auto db = engine.open_db(L"127.0.0.1", L"SYSTEM", L"manager", L"1521", L"ORCL");
    EXPECT_EQ(engine.get_version(), 0x0B0200u);
    db = engine.open_db(L"file:" + (root / "local").wstring(), L"SYSTEM", L"manager", L"1521", L"ORCL");
    EXPECT_EQ(engine.get_version(), 0x0B0200u);
}
