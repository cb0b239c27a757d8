// Loading a script into the embedded SQL Server and reading a table back
// through the provider's rowset path.
#include <unistd.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/mssx/mssx_connection.h"
#include "platform/mssx/mssx_lexer.h"

namespace {
double seconds_since(std::chrono::steady_clock::time_point t)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t).count();
}
} // namespace

int main(int argc, char** argv)
{
    const char* fixtures = std::getenv("TVX_FIXTURES");
    std::string script =
        argc > 1 ? argv[1] : std::string(fixtures ? fixtures : "../shared/fixtures") + "/northwind/instnwnd.sql";
    std::ifstream in(script, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "cannot read %s\n", script.c_str());
        return 1;
    }
    std::stringstream ss;
    ss << in.rdbuf();
    auto dir = std::filesystem::temp_directory_path() / ("bench_oledb_load_" + std::to_string(::getpid()));
    std::filesystem::remove_all(dir);
    mssx_server::create(dir.string(), "pw");
    auto start = std::chrono::steady_clock::now();
    size_t batches = 0, errors = 0;
    {
        mssx_connection c(dir.string(), {"sa", "pw", false, ""});
        for (auto& b : mssx_split_batches(ss.str())) {
            errors += c.execute(b.text).errors.size();
            ++batches;
        }
    }
    std::printf("script: %zu batches, %zu errors, %.3f s\n", batches, errors, seconds_since(start));
    mssx_connection n(dir.string(), {"sa", "pw", false, "Northwind"});
    start = std::chrono::steady_clock::now();
    size_t rows = 0;
    for (int i = 0; i < 100; ++i) rows += n.open_table("[dbo].[Order Details]").rows.size();
    std::printf("open_table [Order Details] x100: %zu rows, %.3f ms per open\n", rows, seconds_since(start) * 10);
    std::filesystem::remove_all(dir);
    return errors ? 1 : 0;
}
