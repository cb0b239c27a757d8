// Time to read every Northwind table through the SQL Server source classes
// (catalog, keys, indexes and all rows), on an embedded server.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "MSS/mss_database.h"
#include "MSS/mss_engine.h"
#include "platform/mssx/mssx_connection.h"
#include "platform/mssx/mssx_lexer.h"

namespace fs = std::filesystem;

int main()
{
    const char* fixtures = std::getenv("TVX_FIXTURES");
    const fs::path script = fs::path(fixtures ? fixtures : "/work/shared/fixtures") / "northwind" / "instnwnd.sql";
    std::ifstream in(script, std::ios::binary);
    if (!in) {
        std::printf("Northwind fixture not found: %s\n", script.c_str());
        return 0;
    }
    std::stringstream text;
    text << in.rdbuf();
    std::string tmpl = (fs::temp_directory_path() / "tvx_bench_XXXXXX").string();
    if (!mkdtemp(tmpl.data())) return 1;
    const std::string dir = tmpl + "/server";
    mssx_server::create(dir, "Bench-pw1");
    {
        mssx_login login;
        login.user = "sa";
        login.password = "Bench-pw1";
        mssx_connection conn(dir, login);
        for (const mssx_batch& b : mssx_split_batches(text.str())) conn.execute(b.text);
    }

    mss_engine engine(false);
    const auto t0 = std::chrono::steady_clock::now();
    engine.connect(L"file:" + std::wstring(dir.begin(), dir.end()), L"sa", L"Bench-pw1", true);
    std::unique_ptr<mss_database> db(engine.open_db(L"Northwind", 0));
    size_t tables = 0, rows = 0;
    for (const std::wstring& name : db->get_tables()) {
        std::unique_ptr<udb_recordset> t = db->get_table1(name, 1);
        for (t->reset(); !t->is_eof(); t->next()) ++rows;
        ++tables;
    }
    const double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    std::printf("connect, open and read %zu tables, %zu rows: %.3f s\n", tables, rows, secs);
    fs::remove_all(tmpl);
    return 0;
}
