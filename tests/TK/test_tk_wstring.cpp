#include <gtest/gtest.h>

#include "TK/tk_exception.h"
#include "TK/tk_file_wname.h"
#include "TK/tk_module.h"
#include "TK/tk_text.h"
#include "TK/tk_wstring.h"

TEST(TkWstring, TrimMatchReplaceUpperSplit)
{
    tk_wstring s(L"  a b  ");
    EXPECT_EQ(s.ltrim(), L"a b  ");
    EXPECT_EQ(s.rtrim(), L"a b");
    tk_wstring empty;
    EXPECT_TRUE(empty.starts_with(L"", true));
    tk_wstring abc(L"abc");
    EXPECT_TRUE(abc.ends_with(L"ABC", false));
    EXPECT_FALSE(abc.ends_with(L"ABC", true));
    EXPECT_FALSE(abc.starts_with(L"abcd", false));
    EXPECT_TRUE(tk_wstring(L"\u00c9t\u00e9 table").starts_with(L"\u00e9T\u00c9", false));
    tk_wstring aba(L"aba");
    EXPECT_EQ(aba.replace_all(L"a", L"aa"), L"aabaa");
    EXPECT_EQ(aba, L"aabaa");
    tk_wstring same(L"xyz");
    EXPECT_EQ(same.replace_all(L"", L"q"), L"xyz");
    tk_wstring view(L"NO_ACTION_X");
    EXPECT_EQ(view.replace_all(L"_", L" "), L"NO ACTION X");
    tk_wstring up(L"stra\u00dfe caf\u00e9");
    EXPECT_EQ(up.to_upper(), L"STRA\u00dfE CAF\u00c9"); // one character at a time
    std::vector<std::wstring> parts{L"stale"};
    EXPECT_TRUE(tk_wstring(L"a,,b,").split(L',', parts));
    EXPECT_EQ(parts, (std::vector<std::wstring>{L"a", L"", L"b", L""}));
    EXPECT_TRUE(tk_wstring(L"").split(L',', parts));
    EXPECT_TRUE(parts.empty());
}

TEST(TkFileWname, SplitsWidePathsAndClears)
{
    tk_file_wname f(L"/d\u00e9/fichier.tar.gz");
    EXPECT_EQ(f.dir, L"/d\u00e9/");
    EXPECT_EQ(f.name, L"fichier.tar");
    EXPECT_EQ(f.ext, L".gz");
    EXPECT_EQ(f.get_path(), L"/d\u00e9/fichier.tar.gz");
    tk_file_wname own(L"");
    EXPECT_EQ(own.name, L"");
    EXPECT_EQ(own.get_folder(), to_unicode(get_module_dir()));
    f.clear();
    EXPECT_EQ(f.get_path(), L"");
    EXPECT_THROW(tk_file_wname(static_cast<const wchar_t*>(nullptr)), tk_mail_assertion);
}
