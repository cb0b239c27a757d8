#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/win32/win_error.h"
#include "platform/win32/win_file.h"
#include "platform/win32/win_path.h"

namespace fs = std::filesystem;

namespace {
struct temp_dir {
    fs::path path;
    temp_dir()
    {
        std::string tmpl = (fs::temp_directory_path() / "tvx_win_XXXXXX").string();
        path = ::mkdtemp(tmpl.data());
    }
    ~temp_dir()
    {
        std::error_code ec;
        fs::permissions(path, fs::perms::owner_all, ec);
        fs::remove_all(path, ec);
    }
};
} // namespace

TEST(WinPath, SplitFollowsTheWindowsRules)
{
    auto p = split_path("/dir/file.txt");
    EXPECT_EQ(p.drive, "");
    EXPECT_EQ(p.dir, "/dir/");
    EXPECT_EQ(p.name, "file");
    EXPECT_EQ(p.ext, ".txt");
    p = split_path("/x/a.tar.gz");
    EXPECT_EQ(p.name, "a.tar");
    EXPECT_EQ(p.ext, ".gz");
    p = split_path("/x/.hidden");
    EXPECT_EQ(p.name, "");
    EXPECT_EQ(p.ext, ".hidden");
    p = split_path("/x/back\\slash");
    EXPECT_EQ(p.dir, "/x/");
    EXPECT_EQ(p.name, "back\\slash");
    EXPECT_EQ(make_path("", "/dir", "file", "log"), "/dir/file.log");
    EXPECT_EQ(make_path("", "/dir/", "file", ".log"), "/dir/file.log");
}

TEST(WinPath, FullPathIsAbsoluteAndNormal)
{
    auto cwd = get_cwd();
    ASSERT_TRUE(cwd);
    auto p = full_path("a/../b/./c.txt");
    ASSERT_TRUE(p);
    EXPECT_EQ(*p, (fs::path(*cwd) / "b/c.txt").string());
    auto w = full_wpath(L"/tmp/x/../\u00e9.txt");
    ASSERT_TRUE(w);
    EXPECT_EQ(*w, L"/tmp/\u00e9.txt");
}

TEST(WinFile, OpenTestRefusesFoldersAndReadOnlyWrites)
{
    temp_dir tmp;
    EXPECT_FALSE(file_open_test(tmp.path.string(), win_open_mode::read));
    std::string file = (tmp.path / "ro.txt").string();
    SetLastError(0);
    EXPECT_FALSE(file_open_test(file, win_open_mode::read));
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    std::ofstream(file) << "x";
    ::chmod(file.c_str(), 0444);
    EXPECT_TRUE(file_open_test(file, win_open_mode::read));
    if (::geteuid() != 0) {
        EXPECT_FALSE(file_open_test(file, win_open_mode::read_write));
        EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    }
    std::string made = (tmp.path / "new.txt").string();
    EXPECT_TRUE(file_open_test(made, win_open_mode::create_always));
    EXPECT_TRUE(fs::exists(made));
}

TEST(WinFile, DirectoryTestsAndModulePath)
{
    temp_dir tmp;
    EXPECT_TRUE(is_directory(tmp.path.string()));
    EXPECT_FALSE(is_directory((tmp.path / "missing").string()));
    std::ofstream((tmp.path / "f").string()) << "x";
    EXPECT_FALSE(is_directory((tmp.path / "f").string()));
    auto self = module_path();
    ASSERT_TRUE(self);
    EXPECT_EQ(fs::path(*self).filename(), "test_platform_win32");
}
