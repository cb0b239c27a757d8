#include <gtest/gtest.h>
#include <sys/stat.h>
#include <cstdlib>

#include "TK/tk_clipboard.h"
#include "TK/tk_logger.h"
#include "TK/tk_module.h"
#include "TK/tk_send_bug.h"
#include "platform/win32/win_clipboard.h"
#include "tk_test_support.h"

namespace {
// Runs with PATH set to one folder for the length of a test.
struct path_guard {
    std::string saved = std::getenv("PATH") ? std::getenv("PATH") : "";
    explicit path_guard(const std::string& path) { ::setenv("PATH", path.c_str(), 1); }
    ~path_guard() { ::setenv("PATH", saved.c_str(), 1); }
};
} // namespace

TEST(TkSystem, DllVersionOfTheCommonControls)
{
    EXPECT_EQ(get_dll_version(L"comctl32.dll"), 0x60000u);
    EXPECT_EQ(get_dll_version(L"COMCTL32.DLL"), 0x60000u);
    EXPECT_EQ(get_dll_version(L"no_such_library.dll"), 0u);
}

TEST(TkSystem, ClipboardGoesThroughTheHook)
{
    tk_test::temp_dir tmp;
    const std::string log = tmp.file("c.log");
    tk_logger logger(log.c_str(), true, 2, false);
    tk_copy_to_clipboard2(L"x");
    std::wstring got;
    set_clipboard_hook([&got](const std::wstring& t) {
        got = t;
        return true;
    });
    tk_copy_to_clipboard2(L"caf\u00e9");
    set_clipboard_hook(nullptr);
    EXPECT_EQ(got, L"caf\u00e9");
    EXPECT_EQ(tk_test::read_file(log),
              "tk_copy_to_clipboard2(x)\r\nGetLastError() returns 00000005\r\n"
              "tk_copy_to_clipboard2(caf\xc3\xa9)\r\nOpenClipboard succeeded\r\n");
}

TEST(TkSendBug, WithoutAMailClientOnlyLogs)
{
    tk_test::temp_dir tmp;
    path_guard path(tmp.path.string());
    const std::string log = tmp.file("m.log");
    tk_logger logger(log.c_str(), true, 2, false);
    tk_send_bug("tarvex", "report");
    const std::string text = tk_test::read_file(log);
    EXPECT_EQ(text.rfind("tk_send_bug(tarvex|report)\r\n", 0), 0u) << text;
    const std::string tail = "Failed to locate MAPI32.DLL\r\n";
    ASSERT_GE(text.size(), tail.size());
    EXPECT_EQ(text.substr(text.size() - tail.size()), tail);
    EXPECT_EQ(text.find("lpfnMAPISendMail"), std::string::npos);
}

TEST(TkSendBug, MailClientReceivesTheArgumentsExactly)
{
    tk_test::temp_dir tmp;
    const std::string out = tmp.file("argv.txt");
    const std::string script = tmp.file("xdg-email");
    tk_test::write_file(script, "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n--\\n' \"$a\" >> '" + out + "'; done\n");
    ::chmod(script.c_str(), 0755);
    path_guard path(tmp.path.string() + ":/usr/bin:/bin");
    const std::string log = tmp.file("m.log");
    tk_logger logger(log.c_str(), true, 2, false);
    const auto before = std::filesystem::current_path();
    tk_send_bug("tarvex \"1\"; rm -rf x", "Internal error: \ncode=61 $(id) `x` 'q'");
    EXPECT_EQ(std::filesystem::current_path(), before);
    const std::string args = tk_test::read_file(out);
    EXPECT_EQ(args, std::string("--utf8\n--\n--subject\n--\nBug report on tarvex \"1\"; rm -rf x\n--\n--body\n--\n") +
                        "Internal error: \ncode=61 $(id) `x` 'q'\n--\n" + tk_bug_recipient + "\n--\n");
    EXPECT_NE(tk_test::read_file(log).find("lpfnMAPISendMail returns 0\r\n"), std::string::npos);
}
