#include "mss_test_server.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "platform/mssx/mssx_connection.h"
#include "platform/mssx/mssx_lexer.h"

namespace fs = std::filesystem;

namespace {

std::string make_dir()
{
    std::string tmpl = (fs::temp_directory_path() / "tvx_mss_XXXXXX").string();
    if (!mkdtemp(tmpl.data())) throw std::runtime_error("cannot create a temporary folder");
    return tmpl + "/server";
}

} // namespace

mss_test_server mss_test_server::fresh()
{
    mss_test_server s;
    s.dir = make_dir();
    mssx_server::create(s.dir, s.sa_password);
    s.host = L"file:" + std::wstring(s.dir.begin(), s.dir.end());
    return s;
}

void mss_test_server::run(const std::string& script, const std::string& database) const
{
    mssx_login login;
    login.user = "sa";
    login.password = sa_password;
    login.database = database;
    mssx_connection conn(dir, login);
    for (const mssx_batch& b : mssx_split_batches(script))
        for (int i = 0; i < b.repeat; ++i) {
            const mssx_outcome out = conn.execute(b.text);
            if (!out.errors.empty())
                throw std::runtime_error("line " + std::to_string(b.first_line) + ": " + out.errors.front().what());
        }
}

mss_test_server& mss_test_server::shared()
{
    static mss_test_server server = [] {
        mss_test_server s = fresh();
        const char* fixtures = std::getenv("TVX_FIXTURES");
        const fs::path script = fs::path(fixtures ? fixtures : "/work/shared/fixtures") / "northwind" / "instnwnd.sql";
        std::ifstream in(script, std::ios::binary);
        if (!in) return s;
        std::stringstream text;
        text << in.rdbuf();
        s.run(text.str());
        s.northwind = true;
        return s;
    }();
    return server;
}
