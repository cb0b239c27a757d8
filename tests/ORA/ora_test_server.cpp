#include "tests/ORA/ora_test_server.h"
#include <sqlite3.h>
#include <unistd.h>
#include "ORA/ora_query_results.h"
#include "platform/eora/eora_session.h"

void ora_server_test::SetUp()
{
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir = std::filesystem::temp_directory_path() /
          ("tvx_ora_" + std::to_string(getpid()) + "_" + info->test_suite_name() + "_" + info->name());
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    eora::session::create_service((dir / "ORCL.db").string(), "manager");
    engine = std::make_unique<ora_engine>();
    db = engine->open_db(data_source(), L"SYSTEM", L"manager");
}

void ora_server_test::TearDown()
{
    db.reset();
    engine.reset();
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
}

std::wstring ora_server_test::data_source() const { return L"//file:" + dir.wstring() + L":1521/ORCL"; }

void ora_server_test::exec(const std::wstring& sql) { db->query(sql); }

std::vector<std::vector<std::wstring>> ora_server_test::rows(const std::wstring& sql)
{
    std::vector<std::vector<std::wstring>> out;
    ora_query_results rs(0, sql);
    while (!rs.is_eof()) {
        udb_record* rec = rs.get_item();
        std::vector<std::wstring> row;
        for (size_t i = 0; i < rec->size(); ++i) {
            const udb_field& f = rec->at(i);
            row.push_back(f.get_type() == VT_EMPTY ? std::wstring(L"<null>") : f.to_wstring());
        }
        out.push_back(row);
    }
    return out;
}

void ora_server_test::set_banner(const std::string& banner)
{
    sqlite3* h = nullptr;
    ASSERT_EQ(sqlite3_open((dir / "ORCL.db").string().c_str(), &h), SQLITE_OK);
    sqlite3_stmt* st = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(h, "UPDATE _ora_settings SET value=? WHERE name='banner'", -1, &st, nullptr),
              SQLITE_OK);
    sqlite3_bind_text(st, 1, banner.c_str(), -1, SQLITE_TRANSIENT);
    EXPECT_EQ(sqlite3_step(st), SQLITE_DONE);
    sqlite3_finalize(st);
    sqlite3_close(h);
}
