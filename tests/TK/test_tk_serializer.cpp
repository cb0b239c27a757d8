#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>
#include <cstdlib>

#include "TK/tk_exception.h"
#include "TK/tk_serializer.h"
#include "tk_test_support.h"

namespace {

struct temp_registry {
    tk_test::temp_dir tmp;
    std::string file = tmp.file("registry.reg");
    temp_registry() { ::setenv("TVX_REGISTRY_FILE", file.c_str(), 1); }
    ~temp_registry() { ::unsetenv("TVX_REGISTRY_FILE"); }
};

const char* const k_key = "Software\\Maker\\Product";

// The owner opens and closes the key, as the driver does.
class settings : public tk_serializer {
public:
    settings() : tk_serializer(k_key) {}
    bool open() { return key.open(HKEY_CURRENT_USER, path.c_str(), nullptr, 0, KEY_ALL_ACCESS, nullptr) == 0; }
    void close() { key.close(); }
    tk_reg_key& raw() { return key; }
};

} // namespace

TEST(TkSerializer, EveryKindRoundTripsThroughANewKey)
{
    temp_registry reg;
    {
        settings s;
        ASSERT_TRUE(s.open());
        DWORD mode = 2;
        bool flag = true;
        std::string log(300, 'L');
        std::wstring name = L"caf\u00e9 \u4e2d\U0001F600";
        EXPECT_TRUE(s.serialize("mode", mode, true));
        EXPECT_TRUE(s.serialize("uppercase", flag, true));
        EXPECT_TRUE(s.serialize("log_file", log, true));
        EXPECT_TRUE(s.serialize(L"src", name, true));
    }
    settings s;
    ASSERT_TRUE(s.open());
    DWORD mode = 0;
    bool flag = false;
    std::string log;
    std::wstring name;
    EXPECT_TRUE(s.serialize("MODE", mode, false));
    EXPECT_EQ(mode, 2u);
    EXPECT_TRUE(s.serialize("uppercase", flag, false));
    EXPECT_TRUE(flag);
    EXPECT_TRUE(s.serialize("log_file", log, false));
    EXPECT_EQ(log, std::string(300, 'L'));
    EXPECT_TRUE(s.serialize(L"Src", name, false));
    EXPECT_EQ(name, L"caf\u00e9 \u4e2d\U0001F600");
}

TEST(TkSerializer, MissingWrongKindAndClosedKeepTheDefault)
{
    temp_registry reg;
    settings s;
    ASSERT_TRUE(s.open());
    DWORD mode = 5;
    std::string text = "default";
    std::wstring wide = L"default";
    EXPECT_FALSE(s.serialize("never", mode, false));
    EXPECT_EQ(mode, 5u);
    EXPECT_FALSE(s.serialize("never", text, false));
    EXPECT_EQ(text, "default");
    // Text read as a number, number read as text: both refused.
    std::string stored = "abc";
    ASSERT_TRUE(s.serialize("text", stored, true));
    EXPECT_FALSE(s.serialize("text", mode, false));
    EXPECT_EQ(mode, 5u);
    DWORD seven = 7;
    ASSERT_TRUE(s.serialize("num", seven, true));
    EXPECT_FALSE(s.serialize("num", text, false));
    EXPECT_FALSE(s.serialize(L"num", wide, false));
    EXPECT_EQ(wide, L"default");
    // A DWORD 7 loads as true.
    bool flag = false;
    EXPECT_TRUE(s.serialize("num", flag, false));
    EXPECT_TRUE(flag);
    s.close();
    const std::string before = tk_test::read_file(reg.file);
    EXPECT_FALSE(s.serialize("mode", seven, true));
    EXPECT_FALSE(s.serialize("num", flag, false));
    EXPECT_EQ(tk_test::read_file(reg.file), before);
}

TEST(TkRegKey, ChecksAreInternalErrors)
{
    temp_registry reg;
    settings s;
    tk_reg_key& k = s.raw();
    EXPECT_THROW(k.open(nullptr, "x", nullptr, 0, KEY_ALL_ACCESS, nullptr), tk_mail_assertion);
    EXPECT_THROW(k.set_value(DWORD{1}, "x"), tk_mail_assertion);
    try {
        k.set_value(static_cast<const char*>(nullptr), "x");
        FAIL();
    } catch (const tk_mail_assertion& e) {
        EXPECT_EQ(e.message, make_err_meggase("tk_regk", 156));
    }
    DWORD v = 0;
    EXPECT_THROW(k.get_value(v, nullptr), tk_mail_assertion);
    EXPECT_THROW(k.get_value(static_cast<char*>(nullptr), "x", nullptr), tk_mail_assertion);
    EXPECT_EQ(k.close(), 0);
    DWORD disp = 0;
    ASSERT_EQ(k.open(HKEY_CURRENT_USER, k_key, nullptr, 0, KEY_ALL_ACCESS, nullptr, &disp), 0);
    EXPECT_EQ(disp, REG_CREATED_NEW_KEY);
    // Empty text: stored as its NUL alone, loads as empty.
    ASSERT_EQ(k.set_value("", "empty"), 0);
    std::string out = "x";
    EXPECT_TRUE(s.serialize("empty", out, false));
    EXPECT_EQ(out, "");
}

TEST(TkSerializer, ProcessesWritingAtOnceLoseNoValue)
{
    temp_registry reg;
    constexpr int k_writers = 4;
    constexpr int k_values = 25;
    std::vector<pid_t> children;
    for (int w = 0; w < k_writers; ++w) {
        pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            settings s;
            bool ok = s.open();
            for (int i = 0; ok && i < k_values; ++i) {
                DWORD v = static_cast<DWORD>(w * 1000 + i);
                ok = s.serialize(("w" + std::to_string(w) + "_" + std::to_string(i)).c_str(), v, true);
            }
            ::_exit(ok ? 0 : 1);
        }
        children.push_back(pid);
    }
    for (pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    settings s;
    ASSERT_TRUE(s.open());
    for (int w = 0; w < k_writers; ++w) {
        for (int i = 0; i < k_values; ++i) {
            DWORD v = 0;
            ASSERT_TRUE(s.serialize(("W" + std::to_string(w) + "_" + std::to_string(i)).c_str(), v, false));
            EXPECT_EQ(v, static_cast<DWORD>(w * 1000 + i));
        }
    }
}
