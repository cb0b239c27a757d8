#include <gtest/gtest.h>

#include "TK/tk_exception.h"
#include "TK/tk_file_name.h"
#include "TK/tk_module.h"

TEST(TkFileName, SplitsAndJoins)
{
    tk_file_name f("/dir/file.txt");
    EXPECT_EQ(f.drive, "");
    EXPECT_EQ(f.dir, "/dir/");
    EXPECT_EQ(f.name, "file");
    EXPECT_EQ(f.ext, ".txt");
    EXPECT_EQ(f.get_path(), "/dir/file.txt");
    EXPECT_EQ(f.get_folder(), "/dir/");
    f.ext = "log";
    EXPECT_EQ(f.get_path(), "/dir/file.log");
}

TEST(TkFileName, EmptyPathIsTheProgramFolder)
{
    tk_file_name f("");
    EXPECT_EQ(f.name, "");
    EXPECT_EQ(f.get_folder(), get_module_dir());
    EXPECT_EQ(get_module_file_name().rfind(get_module_dir(), 0), 0u);
    EXPECT_THROW(tk_file_name(static_cast<const char*>(nullptr)), tk_mail_assertion);
}
