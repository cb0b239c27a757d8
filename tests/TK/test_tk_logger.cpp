#include <gtest/gtest.h>
#include <sys/stat.h>
#include <regex>
#include <thread>

#include "TK/tk_logger.h"
#include "TK/tk_module.h"
#include "tk_test_support.h"

using tk_test::read_file;
using tk_test::temp_dir;
using tk_test::write_file;

TEST(TkLogger, NothingIsWrittenWhileOffOrBelowTheLevel)
{
    temp_dir tmp;
    const std::string path = tmp.file("t.log");
    tk_logger logger(path.c_str(), false, 3, false);
    tk_logger::log(3, "off %d", 1);
    EXPECT_FALSE(std::filesystem::exists(path));
    logger.set_enabled(true);
    tk_logger::log(2, "detail %d", 2);
    tk_logger::log(1, L"trace %s", L"x");
    EXPECT_FALSE(std::filesystem::exists(path));
    tk_logger::log(3, "user %d", 3);
    tk_logger::log(4, "above %s", "x");
    EXPECT_EQ(read_file(path), "user 3\r\nabove x\r\n");
}

TEST(TkLogger, FileIsEmptiedOnceThenAppended)
{
    temp_dir tmp;
    const std::string first = tmp.file("a.log");
    const std::string second = tmp.file("b.log");
    write_file(first, "old content\r\n");
    write_file(second, "kept\r\n");
    tk_logger logger(nullptr, false, 3, false);
    logger.set_file_name(first.c_str());
    logger.set_enabled(true);
    EXPECT_EQ(read_file(first), "old content\r\n");
    tk_logger::log(3, "one");
    tk_logger::log(3, "two");
    EXPECT_EQ(read_file(first), "one\r\ntwo\r\n");
    // Another file later is appended to without being emptied.
    logger.set_file_name(second.c_str());
    tk_logger::log(3, "three");
    EXPECT_EQ(read_file(second), "kept\r\nthree\r\n");
    EXPECT_THROW(logger.set_file_name(nullptr), tk_mail_assertion);
}

TEST(TkLogger, EnabledAtConstructionEmptiesAtOnceWithPrivateMode)
{
    temp_dir tmp;
    const std::string path = tmp.file("c.log");
    write_file(path, "stale");
    tk_logger logger(path.c_str(), true, 3, false);
    EXPECT_EQ(read_file(path), "");
    struct stat st {};
    ASSERT_EQ(::stat(tmp.file("d.log").c_str(), &st), -1);
    tk_logger other_file_logger_is_not_registered(tmp.file("d.log").c_str(), true, 3, false);
    ASSERT_EQ(::stat(tmp.file("d.log").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST(TkLogger, TimestampAndWideUtf8Lines)
{
    temp_dir tmp;
    const std::string path = tmp.file("w.log");
    tk_logger logger(path.c_str(), true, 3, true);
    tk_logger::log(3, L"Table '%s': %d", L"\u00e9\u4e2d\U0001F600", 7);
    std::string text = read_file(path);
    EXPECT_TRUE(std::regex_match(
        text, std::regex("[0-2][0-9]:[0-5][0-9]:[0-5][0-9] Table '\xc3\xa9\xe4\xb8\xad\xf0\x9f\x98\x80': 7\r\n")))
        << text;
    EXPECT_EQ(text.find('\0'), std::string::npos);
}

TEST(TkLogger, LongWideLineIsCutAtItsCharacterLimit)
{
    temp_dir tmp;
    const std::string path = tmp.file("long.log");
    tk_logger logger(path.c_str(), true, 3, false);
    // Three UTF-8 bytes a character: the whole cut text is kept, not dropped.
    std::wstring long_text(20000, L'\u4e2d');
    tk_logger::log(3, L"%s", long_text.c_str());
    std::string text = read_file(path);
    EXPECT_EQ(text.size(), 3 * (tk_logger::k_wide_line_chars - 1) + 2);
}

TEST(TkLogger, LinesOfTwoThreadsNeverInterleave)
{
    temp_dir tmp;
    const std::string path = tmp.file("threads.log");
    tk_logger logger(path.c_str(), true, 3, false);
    auto work = [](char c) {
        std::string chunk(200, c);
        for (int i = 0; i < 2000; ++i) tk_logger::log(3, "%s", chunk.c_str());
    };
    std::thread a(work, 'a');
    std::thread b(work, 'b');
    a.join();
    b.join();
    std::string text = read_file(path);
    std::istringstream lines(text);
    std::string line;
    int count = 0;
    const std::string la = std::string(200, 'a') + "\r";
    const std::string lb = std::string(200, 'b') + "\r";
    while (std::getline(lines, line)) {
        ASSERT_TRUE(line == la || line == lb) << "garbled line " << count;
        ++count;
    }
    EXPECT_EQ(count, 4000);
}

TEST(TkLogger, DefaultNameIsTheProgramWithLogExtension)
{
    tk_logger logger(nullptr, false, 3, false);
    EXPECT_EQ(logger.get_file_name(), get_module_file_name() + ".log");
    EXPECT_FALSE(logger.is_enabled());
    EXPECT_EQ(logger.get_min_level(), 3);
    // Off until a file is named: nothing appears beside the program.
    tk_logger::log(3, "Conversion started");
    EXPECT_FALSE(std::filesystem::exists(logger.get_file_name()));
}

TEST(TkLogger, AWriteThatFailsIsReportedOnce)
{
    tk_logger logger("/dev/full", true, 3, false);
    testing::internal::CaptureStderr();
    tk_logger::log(3, "first %d", 1);
    tk_logger::log(3, L"second %s", L"ü");
    tk_logger::log(3, "third");
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(err, "Log file '/dev/full' cannot be written: No space left on device\n");
}

TEST(TkLogger, AFileThatCannotBeOpenedLaterIsReportedOnce)
{
    temp_dir tmp;
    const std::string path = tmp.file("gone/t.log");
    tk_logger logger(nullptr, false, 3, false);
    logger.set_file_name(path.c_str());
    logger.set_enabled(true);
    testing::internal::CaptureStderr();
    tk_logger::log(3, "a");
    tk_logger::log(3, "b");
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(err, "Log file '" + path + "' cannot be written: No such file or directory\n");
}

TEST(TkLogger, TheLevelTestFollowsTheRegisteredLoggerOnly)
{
    temp_dir tmp;
    const std::string first = tmp.file("first.log");
    const std::string second = tmp.file("second.log");
    {
        tk_logger logger(first.c_str(), true, 2, false);
        EXPECT_TRUE(tk_logger::traces(2));
        EXPECT_FALSE(tk_logger::traces(1));
        {
            // Not registered: its state changes nothing for the lines.
            tk_logger other(second.c_str(), true, 1, false);
            other.set_enabled(false);
            tk_logger::log(2, "while another exists %d", 1);
            other.set_enabled(true);
            tk_logger::log(1, "below %d", 1);
        }
        tk_logger::log(2, L"after the other %s", L"ended");
        logger.set_enabled(false);
        EXPECT_FALSE(tk_logger::traces(3));
        tk_logger::log(3, "while off");
        logger.set_enabled(true);
        tk_logger::log(3, "on again");
        EXPECT_EQ(read_file(first), "while another exists 1\r\nafter the other ended\r\non again\r\n");
        EXPECT_EQ(read_file(second), "");
    }
    // No logger left: nothing passes, and a new one is followed at once.
    EXPECT_FALSE(tk_logger::traces(1000));
    tk_logger::log(1000, "nobody");
    tk_logger next(second.c_str(), true, 1, false);
    EXPECT_TRUE(tk_logger::traces(1));
    tk_logger::log(1, "next %d", 7);
    EXPECT_EQ(read_file(second), "next 7\r\n");
    EXPECT_EQ(read_file(first), "while another exists 1\r\nafter the other ended\r\non again\r\n");
}
