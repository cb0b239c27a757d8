#include <gtest/gtest.h>
#include <cerrno>
#include <thread>

#include "platform/win32/win_error.h"

TEST(WinError, LastErrorIsPerThread)
{
    SetLastError(5);
    std::thread([] {
        EXPECT_EQ(GetLastError(), 0u);
        SetLastError(87);
    }).join();
    EXPECT_EQ(GetLastError(), 5u);
}

TEST(WinError, SystemMessagesEndWithCrLf)
{
    EXPECT_EQ(win_system_message(2), "The system cannot find the file specified.\r\n");
    EXPECT_EQ(win_system_message(1113),
              "No mapping for the Unicode character exists in the target multi-byte code page.\r\n");
    EXPECT_EQ(win_system_message(0x12345), "");
}

TEST(WinError, ErrnoMapsToWin32Numbers)
{
    EXPECT_EQ(win_error_from_errno(ENOENT), 2u);
    EXPECT_EQ(win_error_from_errno(EPERM), 5u);
    EXPECT_EQ(win_error_from_errno(EILSEQ), 1113u);
    DWORD other = win_error_from_errno(EPIPE);
    EXPECT_EQ(other, WIN_ERRNO_FLAG | EPIPE);
    std::string text = win_system_message(other);
    ASSERT_GE(text.size(), 3u);
    EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
}
