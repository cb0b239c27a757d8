#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/win32/win_registry.h"

namespace fs = std::filesystem;

namespace {

// Points the store at a file of its own for one test.
struct temp_registry {
    fs::path dir;
    std::string file;
    temp_registry()
    {
        std::string tmpl = (fs::temp_directory_path() / "tvx_reg_XXXXXX").string();
        dir = ::mkdtemp(tmpl.data());
        file = (dir / "sub" / "registry.reg").string();
        ::setenv("TVX_REGISTRY_FILE", file.c_str(), 1);
    }
    ~temp_registry()
    {
        ::unsetenv("TVX_REGISTRY_FILE");
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
    std::string text() const
    {
        std::ifstream in(file, std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }
};

HKEY open_key(const char* path, DWORD* disp = nullptr)
{
    HKEY k = nullptr;
    EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, disp), 0);
    return k;
}

} // namespace

TEST(WinRegistry, CreateThenOpenAndPrivateFile)
{
    temp_registry reg;
    DWORD disp = 0;
    HKEY k = open_key("Software\\Maker\\Product", &disp);
    EXPECT_EQ(disp, REG_CREATED_NEW_KEY);
    EXPECT_EQ(RegCloseKey(k), 0);
    k = open_key("SOFTWARE\\maker\\PRODUCT", &disp);
    EXPECT_EQ(disp, REG_OPENED_EXISTING_KEY);
    RegCloseKey(k);
    struct stat st {};
    ASSERT_EQ(::stat(reg.file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_NE(reg.text().find("[HKEY_CURRENT_USER\\Software\\Maker\\Product]"), std::string::npos);
    EXPECT_EQ(RegCloseKey(k), ERROR_INVALID_HANDLE);
    HKEY other = nullptr;
    EXPECT_EQ(RegCreateKeyExA(reinterpret_cast<HKEY>(uintptr_t{0x80000002}), "x", 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &other, nullptr),
              ERROR_INVALID_HANDLE);
}

TEST(WinRegistry, TextAndNumberRoundTripWithSizeRules)
{
    temp_registry reg;
    HKEY k = open_key("Software\\Maker\\Product");
    const wchar_t* wide = L"\u00e9\u4e2d \"q\"\\\n";
    ASSERT_EQ(RegSetValueExW(k, L"Src", 0, REG_SZ, reinterpret_cast<const BYTE*>(wide),
                             static_cast<DWORD>((wcslen(wide) + 1) * sizeof(wchar_t))),
              0);
    DWORD number = 0x2a;
    ASSERT_EQ(RegSetValueExA(k, "mode", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), 4), 0);
    RegCloseKey(k);

    k = open_key("software\\maker\\product");
    DWORD type = 0;
    DWORD size = 0;
    ASSERT_EQ(RegQueryValueExW(k, L"SRC", nullptr, &type, nullptr, &size), 0);
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(size, (wcslen(wide) + 1) * sizeof(wchar_t));
    std::wstring back(wcslen(wide) + 1, L'x');
    DWORD small = 4;
    EXPECT_EQ(RegQueryValueExW(k, L"src", nullptr, &type, reinterpret_cast<BYTE*>(back.data()), &small),
              ERROR_MORE_DATA);
    EXPECT_EQ(small, size);
    ASSERT_EQ(RegQueryValueExW(k, L"src", nullptr, &type, reinterpret_cast<BYTE*>(back.data()), &size), 0);
    EXPECT_STREQ(back.c_str(), wide);
    // The narrow form gives the ANSI (UTF-8) bytes and their NUL.
    ASSERT_EQ(RegQueryValueExA(k, "src", nullptr, &type, nullptr, &size), 0);
    EXPECT_EQ(size, std::string("\xc3\xa9\xe4\xb8\xad \"q\"\\\n").size() + 1);
    DWORD got = 0;
    size = 4;
    ASSERT_EQ(RegQueryValueExA(k, "MODE", nullptr, &type, reinterpret_cast<BYTE*>(&got), &size), 0);
    EXPECT_EQ(type, REG_DWORD);
    EXPECT_EQ(got, 0x2au);
    EXPECT_EQ(RegQueryValueExA(k, "absent", nullptr, &type, nullptr, &size), ERROR_FILE_NOT_FOUND);
    RegCloseKey(k);
    EXPECT_NE(reg.text().find("\"mode\"=dword:0000002a"), std::string::npos);
}

TEST(WinRegistry, HandEditedFileIsReadAndForeignLinesKept)
{
    temp_registry reg;
    fs::create_directories(fs::path(reg.file).parent_path());
    std::ofstream(reg.file, std::ios::binary) << "\xef\xbb\xbf; tvx registry 1\r\n"
                                                 "[HKEY_CURRENT_USER\\Software\\Maker\\Product]\r\n"
                                                 "\"flag\"=dword:00000007\r\n"
                                                 "@=\"unknown line\"\r\n"
                                                 "\"log_file\"=\"/tmp/x.log\"\r\n";
    HKEY k = open_key("Software\\Maker\\Product");
    registry_value v;
    ASSERT_EQ(registry_get(k, L"flag", v), 0);
    EXPECT_EQ(v.type, REG_DWORD);
    EXPECT_EQ(v.number, 7u);
    ASSERT_EQ(registry_get(k, L"log_file", v), 0);
    EXPECT_EQ(v.text, L"/tmp/x.log");
    registry_value n;
    n.type = REG_SZ;
    n.text = L"new";
    ASSERT_EQ(registry_set(k, L"added", n), 0);
    RegCloseKey(k);
    EXPECT_NE(reg.text().find("@=\"unknown line\""), std::string::npos);
    EXPECT_NE(reg.text().find("\"added\"=\"new\""), std::string::npos);
}

TEST(WinRegistry, BadArgumentsAndKinds)
{
    temp_registry reg;
    HKEY k = open_key("Software\\Maker\\Product");
    DWORD size = 0;
    BYTE buf[4];
    EXPECT_EQ(RegQueryValueExA(k, "x", nullptr, nullptr, buf, nullptr), ERROR_INVALID_PARAMETER);
    DWORD two = 2;
    EXPECT_EQ(RegSetValueExA(k, "x", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&two), 2), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegSetValueExA(k, "x", 0, 3 /* binary */, buf, 4), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegQueryValueExA(reinterpret_cast<HKEY>(uintptr_t{0x77}), "x", nullptr, nullptr, nullptr, &size),
              ERROR_INVALID_HANDLE);
    // A text set without its NUL is read back whole.
    const char raw[3] = {'a', 'b', 'c'};
    ASSERT_EQ(RegSetValueExA(k, "t", 0, REG_SZ, reinterpret_cast<const BYTE*>(raw), 3), 0);
    registry_value v;
    ASSERT_EQ(registry_get(k, L"t", v), 0);
    EXPECT_EQ(v.text, L"abc");
    RegCloseKey(k);
}
