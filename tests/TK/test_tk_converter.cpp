#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "TK/tk_converter.h"
#include "TK/tk_exception.h"
#include "TK/tk_file_exist.h"
#include "TK/tk_logger.h"
#include "TK/tk_temp_chdir.h"
#include "tk_test_support.h"

using tk_test::read_file;
using tk_test::temp_dir;
using tk_test::write_file;

namespace {
std::string refusal(tk_converter& c, const std::string& name)
{
    try {
        c.set_logfile(name);
    } catch (const tk_exception& e) {
        EXPECT_EQ(e.level, 1);
        return e.message;
    }
    return "";
}
} // namespace

TEST(TkConverter, SetLogfileSwitchesLoggingOn)
{
    temp_dir tmp;
    tk_logger logger(nullptr, false, 3, false);
    tk_converter conv;
    EXPECT_FALSE(conv.finished.load());
    EXPECT_FALSE(conv.silent);
    const std::string path = tmp.file("run.log");
    write_file(path, "previous run\r\n");
    conv.set_logfile(path);
    EXPECT_EQ(conv.log_file, path);
    EXPECT_TRUE(logger.is_enabled());
    tk_logger::log(2, "hidden");
    tk_logger::log(3, "Conversion started");
    EXPECT_EQ(read_file(path), "Conversion started\r\n");
}

TEST(TkConverter, SetLogfileRefusesBadNamesAndKeepsThem)
{
    temp_dir tmp;
    tk_logger logger(nullptr, false, 3, false);
    tk_converter conv;
    conv.set_logfile("");
    EXPECT_FALSE(logger.is_enabled());
    EXPECT_EQ(refusal(conv, tmp.path.string()), "Logfile name specifies an existing path.");
    EXPECT_EQ(conv.log_file, tmp.path.string());
    const std::string missing = tmp.file("no/such/dir/x.log");
    EXPECT_EQ(refusal(conv, missing), "Logfile path does not exist.\nPlease verify the correct path was given.");
    EXPECT_EQ(conv.log_file, missing);
    if (::geteuid() != 0) {
        const std::string ro = tmp.file("ro.log");
        write_file(ro, "x");
        ::chmod(ro.c_str(), 0444);
        EXPECT_EQ(refusal(conv, ro), "Logfile name specifies an existing read-only file.");
    }
    EXPECT_FALSE(logger.is_enabled());
}

TEST(TkConverter, RelativeLogNameIsFixedAtSetTime)
{
    temp_dir tmp;
    tk_logger logger(nullptr, false, 3, false);
    tk_converter conv;
    {
        tk_temp_chdir here(tmp.path.string());
        ASSERT_TRUE(here.ok);
        conv.set_logfile("rel.log");
    }
    EXPECT_EQ(conv.log_file, "rel.log");
    tk_logger::log(3, "line");
    EXPECT_EQ(read_file(tmp.file("rel.log")), "line\r\n");
}

TEST(TkConverter, SetLogfileWithoutLoggerDoesNothing)
{
    tk_converter conv;
    conv.set_logfile("/no/such/folder/x.log");
    EXPECT_EQ(conv.log_file, "");
}

TEST(TkFileExist, FoldersAreNotFilesAndModesCount)
{
    temp_dir tmp;
    EXPECT_FALSE(tk_is_file_exist(tmp.path.string(), TK_FILE_READ));
    EXPECT_TRUE(tk_is_path_exist(tmp.path.string()));
    const std::string f = tmp.file("f.txt");
    EXPECT_FALSE(tk_is_file_exist(f, TK_FILE_READ));
    EXPECT_FALSE(tk_is_path_exist(f));
    write_file(f, "data");
    EXPECT_TRUE(tk_is_file_exist(f, TK_FILE_READ));
    EXPECT_TRUE(tk_is_file_exist(f, TK_FILE_READ_WRITE));
    // The wide create mode empties the file.
    EXPECT_TRUE(tk_is_file_exist(std::wstring(f.begin(), f.end()), TK_FILE_CREATE_ALWAYS));
    EXPECT_EQ(read_file(f), "");
    const std::wstring made = L"\u00e9.txt";
    {
        tk_temp_chdir here(tmp.path.string());
        EXPECT_TRUE(tk_is_file_exist(made, TK_FILE_CREATE_ALWAYS));
    }
    EXPECT_TRUE(std::filesystem::exists(tmp.path / "\xc3\xa9.txt"));
}

TEST(TkTempChdir, RestoresTheFolder)
{
    temp_dir tmp;
    auto before = std::filesystem::current_path();
    {
        tk_temp_chdir here(tmp.path.string());
        EXPECT_TRUE(here.ok);
        EXPECT_EQ(here.saved, before.string());
        EXPECT_EQ(std::filesystem::current_path(), tmp.path);
    }
    EXPECT_EQ(std::filesystem::current_path(), before);
    {
        tk_temp_chdir bad(tmp.file("missing"));
        EXPECT_FALSE(bad.ok);
    }
    EXPECT_EQ(std::filesystem::current_path(), before);
}
