#include <gtest/gtest.h>

#include "TK/tk_exception.h"
#include "TK/tk_yaml_config.h"
#include "tk_test_support.h"

namespace {
using list_map = std::map<std::wstring, std::vector<std::wstring>>;

list_map load_text(const std::string& bytes, const std::set<std::wstring>& excluded = {})
{
    tk_test::temp_dir tmp;
    const std::string path = tmp.file("ora.map");
    tk_test::write_file(path, bytes);
    list_map out;
    EXPECT_TRUE(tk_yaml_config::load(path.c_str(), out, excluded));
    return out;
}
} // namespace

TEST(TkYamlConfig, SameResultForLfCrlfAndBom)
{
    const list_map expected{{L"NUMBER", {L"a", L"x", L"b"}}};
    EXPECT_EQ(load_text("NUMBER:\n- a\n-  x  \n\nkey\n- b\n"), expected);
    EXPECT_EQ(load_text("NUMBER:\r\n- a\r\n-  x  \r\n\r\nkey\r\n- b\r\n"), expected);
    EXPECT_EQ(load_text("\xef\xbb\xbfNUMBER:\r\n- a\r\n-  x  \r\n\r\nkey\r\n- b"), expected);
}

TEST(TkYamlConfig, KeysValuesAndFilter)
{
    auto out = load_text("- early\n  -x:  \n- in dash key\nVARCHAR2:\n- caf\xc3\xa9\n- skip me\n- \xe4\xb8\xad\n",
                         {L"skip me"});
    EXPECT_EQ(out[L""], (std::vector<std::wstring>{L"early"}));
    EXPECT_EQ(out[L"-x"], (std::vector<std::wstring>{L"in dash key"}));
    EXPECT_EQ(out[L"VARCHAR2"], (std::vector<std::wstring>{L"caf\u00e9", L"\u4e2d"}));
    EXPECT_EQ(out.size(), 3u);
}

TEST(TkYamlConfig, MissingFileAndInvalidUtf8)
{
    list_map out;
    EXPECT_FALSE(tk_yaml_config::load("/no/such/file.map", out, {}));
    tk_test::temp_dir tmp;
    const std::string path = tmp.file("bad.map");
    tk_test::write_file(path, "K:\n- \xc3\x28\n");
    try {
        tk_yaml_config::load(path.c_str(), out, {});
        FAIL() << "no exception";
    } catch (const tk_exception_ex& e) {
        EXPECT_EQ(e.level, 0);
        EXPECT_EQ(e.code, 1113u);
    }
}
