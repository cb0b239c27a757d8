// Arbitrary batches run by the embedded SQL Server (statement parsing and execution).
#include <unistd.h>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include "platform/mssx/mssx_connection.h"

namespace {
// The server folder lives as long as the process.
struct fuzz_folder {
    std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("tvx_fuzz_mssx_" + std::to_string(::getpid()));
    ~fuzz_folder()
    {
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
};

mssx_connection& connection()
{
    static fuzz_folder folder;
    static std::unique_ptr<mssx_connection> c = [] {
        auto dir = folder.dir;
        std::filesystem::remove_all(dir);
        mssx_server::create(dir.string(), "pw");
        auto conn = std::make_unique<mssx_connection>(dir.string(), mssx_login{"sa", "pw", false, ""});
        conn->set_loop_limit(100); // an endless WHILE ends soon
        conn->execute("CREATE DATABASE f");
        conn->execute("USE f");
        conn->execute(
            "CREATE TABLE t (id int IDENTITY NOT NULL PRIMARY KEY, s nvarchar(10) NULL, d datetime NULL, m money "
            "NULL)");
        return conn;
    }();
    return *c;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 2000) return 0;
    std::string text(reinterpret_cast<const char*>(data), size);
    // keep the fuzzer inside its own database
    if (text.find("USE") != std::string::npos || text.find("use") != std::string::npos) return 0;
    try {
        connection().execute(text);
    } catch (const mssx_error&) {}
    return 0;
}
