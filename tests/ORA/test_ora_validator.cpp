// Oracle name rules.
#include <gtest/gtest.h>

#include <algorithm>

#include "ORA/ora_validator.h"
#include "UDB/udb_schema.h"
#include "platform/win32/win_compare.h"

TEST(OraValidator, LengthLettersAndSymbols)
{
    ora_validator v;
    EXPECT_TRUE(v.is_acceptable(std::wstring(30, L'A')));
    EXPECT_FALSE(v.is_acceptable(std::wstring(31, L'A')));
    EXPECT_TRUE(v.is_acceptable(L"\"" + std::wstring(28, L'a') + L"\""));
    EXPECT_FALSE(v.is_acceptable(L"\"" + std::wstring(29, L'a') + L"\""));
    EXPECT_FALSE(v.is_acceptable(L""));
    EXPECT_FALSE(v.is_acceptable(L"1ABC"));
    EXPECT_FALSE(v.is_acceptable(L"A$B"));
    EXPECT_FALSE(v.is_acceptable(L"A-B"));
    EXPECT_TRUE(v.is_acceptable(L"A B.C#D_1"));
    EXPECT_TRUE(v.is_acceptable(L"\u00c9t\u00e9"));
    // Oracle forbids a double quote inside a quoted name, and an empty one.
    EXPECT_TRUE(v.is_acceptable(L"\"a b\""));
    EXPECT_FALSE(v.is_acceptable(L"\"\""));
    EXPECT_FALSE(v.is_acceptable(L"\"a\"b\""));
    v.restricted_names.push_back(L"ORDER");
    EXPECT_FALSE(v.is_acceptable(L"order"));
}

TEST(OraValidator, SafeNames)
{
    ora_validator v;
    EXPECT_EQ(v.get_safe_name(L"1abc"), L"A1abc");
    EXPECT_EQ(v.get_safe_name(L"a-b$c"), L"a_b_c");
    const std::wstring forty(40, L'N');
    EXPECT_EQ(v.get_safe_name(forty), std::wstring(29, L'N'));
    v.add_existing_name(std::wstring(29, L'N'));
    EXPECT_EQ(v.get_safe_name(forty), std::wstring(24, L'N') + L"00000");
    v.add_existing_name(std::wstring(24, L'N') + L"00000");
    EXPECT_EQ(v.get_safe_name(forty), std::wstring(24, L'N') + L"00001");
}

TEST(OraValidator, ColumnAndTableValidators)
{
    udb_schema s;
    s.push_back(t_ftd(10, L"NAME", VT_BSTR, false, false, ole_variant(), 0, L""));
    ora_fn_validator fn(s);
    EXPECT_TRUE(fn.is_duplicated(L"name"));
    ora_fn_validator fn2(std::vector<std::wstring>{L"X"});
    EXPECT_TRUE(fn2.is_duplicated(L"X"));

    ora_tn_validator tn({L"SCOTT.EMP"}, {L"DEPT"});
    EXPECT_TRUE(tn.is_duplicated(L"dept"));
    EXPECT_TRUE(tn.is_acceptable(L"SCOTT.EMP"));
    EXPECT_TRUE(tn.is_acceptable(L"\"SCOTT\".\"EMP\""));
    EXPECT_FALSE(tn.is_acceptable(L"SCOTT.1EMP"));
    EXPECT_FALSE(tn.is_acceptable(L"1SCOTT.EMP"));
    EXPECT_EQ(tn.get_safe_name(L"SCOTT.1EMP"), L"\"SCOTT\".\"A1EMP\"");
    EXPECT_EQ(tn.get_safe_name(L"my-table"), L"my_table");
}

TEST(OraValidator, LengthsAreBytesAndSafeNamesEndOnACharacter)
{
    ora_validator v;
    const std::wstring umlauts(15, L'\u00c4'); // 15 characters, 30 bytes
    EXPECT_TRUE(v.is_acceptable(umlauts));
    EXPECT_FALSE(v.is_acceptable(umlauts + L"A"));
    EXPECT_FALSE(v.is_acceptable(std::wstring(18, L'\u00c4') + L"_Tabelle"));
    // Three-byte and four-byte characters count as such.
    EXPECT_TRUE(v.is_acceptable(L"A" + std::wstring(9, L'\u6f22') + L"BB"));
    EXPECT_FALSE(v.is_acceptable(L"A" + std::wstring(10, L'\u6f22')));

    // 29 bytes at most, cut between characters: 14 umlauts (28 bytes), not 14 and a half.
    const std::wstring safe = v.get_safe_name(std::wstring(18, L'\u00c4') + L"_Tabelle");
    EXPECT_EQ(safe, std::wstring(14, L'\u00c4'));
    // Taken, it gets a number within the 30 bytes: 12 umlauts (24 bytes) and five digits.
    v.add_existing_name(safe);
    EXPECT_EQ(v.get_safe_name(std::wstring(18, L'\u00c4') + L"_Tabelle"), std::wstring(12, L'\u00c4') + L"00000");
    // A character Oracle refuses becomes an underscore before the cut, so it costs one byte.
    EXPECT_EQ(v.get_safe_name(L"A\U0001F600" + std::wstring(40, L'b')), L"A_" + std::wstring(27, L'b'));
}

TEST(OraValidator, TableNamesWithADotNeverSplitTheirSafeName)
{
    ora_tn_validator v({}, {});
    const std::wstring name = L"\"dbo\".\"abc._defghijabcdefghijabcdefghijxyz\"";
    EXPECT_FALSE(v.is_acceptable(name));
    const std::wstring safe = v.get_safe_name(name);
    EXPECT_EQ(safe, L"\"dbo\".\"abc__defghijabcdefghijabcdefg\"");
    EXPECT_TRUE(v.is_acceptable(safe));
    // Unqualified, a dot would read as an owner: it goes too.
    EXPECT_EQ(v.get_safe_name(L"\"x._1\""), L"x__1");
    // Taken, the part is numbered, never refused for good.
    v.add_existing_name(L"abc__defghijabcdefghijabcdefg");
    EXPECT_EQ(v.get_safe_name(L"\"dbo\".\"abc._defghijabcdefghijabcdefghijxyz\""),
              L"\"dbo\".\"abc__defghijabcdefghijab00000\"");
}

// Restricted names are looked up, not compared one by one: the answers are
// those of comparing the candidate with each of them as C strings.
TEST(OraValidator, RestrictedNamesAnswerAsComparingWithEachOfThem)
{
    const std::vector<std::wstring> names = {L"EMP",
                                             L"emp",
                                             L"Emp",
                                             L"EMP ",
                                             L"\"EMP\"",
                                             L"\"SCOTT\".\"EMP\"",
                                             L"SCOTT.EMP",
                                             L"\uFF25\uFF2D\uFF30",
                                             L"STRASSE",
                                             L"Stra\u00DFe",
                                             L"STRASSE_\u00C4",
                                             L"strasse_a\u0308",
                                             L"\u00C9toile",
                                             L"E\u0301TOILE",
                                             L"etoile",
                                             L"\u00C5",
                                             L"A\u030A",
                                             L"\u212B",
                                             L"\uFB01le",
                                             L"FILE",
                                             L"\u03A3\u0391\u03A3",
                                             L"\u03C3\u03B1\u03C2",
                                             L"I",
                                             L"\u0131",
                                             L"\u0130",
                                             L"A\u00ADB",
                                             L"AB",
                                             L"A_B",
                                             L"A#B",
                                             std::wstring(L"ORDER\0X", 7),
                                             L"ORDER",
                                             L"PRIMARY"};
    ora_validator open;
    for (size_t count : {size_t{1}, names.size()}) {
        ora_validator v;
        std::vector<std::wstring> restricted(names.begin(), names.begin() + static_cast<long>(count));
        for (const auto& r : restricted) v.restricted_names.push_back(r);
        size_t refused = 0;
        for (const auto& probe : names) {
            const bool listed = std::any_of(restricted.begin(), restricted.end(), [&](const std::wstring& r) {
                return CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, probe.c_str(), -1, r.c_str(), -1) ==
                       CSTR_EQUAL;
            });
            // A quoted name is never refused for being listed.
            const bool quoted = probe.size() >= 2 && probe.front() == L'"' && probe.back() == L'"';
            EXPECT_EQ(v.is_acceptable(probe), open.is_acceptable(probe) && (quoted || !listed)) << count;
            refused += open.is_acceptable(probe) && !quoted && listed ? 1 : 0;
        }
        EXPECT_GT(refused, count == 1 ? 2u : 10u) << "names the rule refuses are there to be refused";
    }
    ora_validator v;
    v.restricted_names.push_back(std::wstring(L"ORDER\0X", 7));
    EXPECT_FALSE(v.is_acceptable(L"order")) << "read as a C string, the listed name is ORDER";
    v.restricted_names.push_back(L"\u00C9TOILE");
    EXPECT_FALSE(v.is_acceptable(L"e\u0301toile"));
    EXPECT_TRUE(v.is_acceptable(L"ETOILE"));
}

TEST(OraValidator, TheRowAddressNameOracleRefusesIsRenamedOthersKeepTheirs)
{
    ora_fn_validator v(std::vector<std::wstring>{L"id", L"ROWID"});
    // Refused as Oracle keeps the name: upper case, quoted or not.
    EXPECT_FALSE(v.is_acceptable(L"ROWID"));
    EXPECT_FALSE(v.is_acceptable(L"\"ROWID\""));
    for (const wchar_t* kept : {L"RowId", L"rowid", L"ROWIDS", L"MY_ROWID", L"\"RowId\""})
        EXPECT_TRUE(v.is_acceptable(kept)) << kept;
    const std::wstring safe = v.get_safe_name(L"ROWID");
    EXPECT_EQ(safe, L"ROWID00000");
    EXPECT_TRUE(v.is_acceptable(safe));
}
