#include <gtest/gtest.h>
#include <sstream>
#include <vector>

#include "platform/win32/win_line_reader.h"

namespace {
std::vector<std::string> lines_of(const std::string& text)
{
    std::istringstream in(text);
    win_line_reader reader(in);
    std::vector<std::string> out;
    std::string line;
    while (reader.next(line)) out.push_back(line);
    return out;
}
} // namespace

TEST(WinLineReader, MarkAndLineEndsOfWindowsFiles)
{
    const std::vector<std::string> expected{"a", "", "b c"};
    EXPECT_EQ(lines_of("a\n\nb c\n"), expected);
    EXPECT_EQ(lines_of("a\r\n\r\nb c\r\n"), expected);
    EXPECT_EQ(lines_of("\xef\xbb\xbf"
                       "a\r\n\r\nb c"),
              expected);
    // Only one mark, only at the start; a CR inside a line stays.
    EXPECT_EQ(lines_of("x\n\xef\xbb\xbfy\r\r\n"), (std::vector<std::string>{"x", "\xef\xbb\xbfy\r"}));
    EXPECT_TRUE(lines_of("").empty());
}
