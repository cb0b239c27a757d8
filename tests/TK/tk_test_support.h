// Helpers shared by the toolkit's tests.
#pragma once
#include <unistd.h>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace tk_test {

struct temp_dir {
    std::filesystem::path path;
    temp_dir()
    {
        std::string tmpl = (std::filesystem::temp_directory_path() / "tvx_tk_XXXXXX").string();
        path = ::mkdtemp(tmpl.data());
    }
    ~temp_dir()
    {
        std::error_code ec;
        std::filesystem::permissions(path, std::filesystem::perms::owner_all, ec);
        std::filesystem::remove_all(path, ec);
    }
    std::string file(const std::string& name) const { return (path / name).string(); }
};

inline std::string read_file(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

inline void write_file(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

} // namespace tk_test
