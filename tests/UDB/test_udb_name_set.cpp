// The name set and the name pairs answer as a comparison with every name does.
#include <gtest/gtest.h>

#include <algorithm>

#include "UDB/udb_name_compare.h"
#include "UDB/udb_name_pairs.h"
#include "UDB/udb_name_set.h"
#include "platform/win32/win_compare.h"

namespace {

// Names that are or are not the same by the comparison: case, accents composed
// and not, width, ligatures, ignorable characters, quotes, dots, NULs.
std::vector<std::wstring> tricky_names()
{
    return {L"EMP",
            L"emp",
            L"Emp",
            L"EMP ",
            L" EMP",
            L"\"EMP\"",
            L"\"emp\"",
            L"\"SCOTT\".\"EMP\"",
            L"SCOTT.EMP",
            L"scott.emp",
            L"\uFF25\uFF2D\uFF30", // full-width EMP
            L"\uFF45\uFF4D\uFF50",
            L"STRASSE",
            L"strasse",
            L"Stra\u00DFe",
            L"STRASSE_\u00C4",
            L"strasse_\u00E4",
            L"strasse_a\u0308",
            L"\u00C9toile",
            L"E\u0301TOILE",
            L"etoile",
            L"\u00C5",
            L"A\u030A",
            L"\u212B", // angstrom sign
            L"\u2126", // ohm sign
            L"\u03A9",
            L"\u03C9",
            L"\uFB01le",
            L"file",
            L"FILE",
            L"\u03A3\u0391\u03A3",
            L"\u03C3\u03B1\u03C2",
            L"i",
            L"I",
            L"\u0130",
            L"\u0131",
            L"A\u00ADB", // soft hyphen
            L"AB",
            L"ab",
            L"A\u200BB", // zero-width space
            L"A-B",
            L"A_B",
            L"\uFF71", // half-width katakana A
            L"\u30A2",
            L"\u3042",
            std::wstring(L"A\0B", 3),
            std::wstring(L"A\0C", 3),
            std::wstring(L"a\0", 2),
            L"A",
            L"a",
            L"",
            L"\"",
            L"\"\"",
            L"ORDER",
            L"order",
            L"PRIMARY",
            L"primary2",
            L"\U0001D400", // mathematical bold A
            L"\U0001F600"};
}

bool same_up_to_nul(const std::wstring& a, const std::wstring& b)
{
    return CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a.c_str(), -1, b.c_str(), -1) == CSTR_EQUAL;
}

void expect_set_answers_as_comparison()
{
    const auto names = tricky_names();
    // One name at a time, and all of them together.
    for (const auto& n : names) {
        udb_name_set one;
        one.push_back(n);
        for (const auto& probe : names) {
            EXPECT_EQ(one.contains(probe), udb_same_name(n, probe))
                << "set {" << n.size() << "} probe " << probe.size();
            EXPECT_EQ(one.contains_up_to_nul(probe), same_up_to_nul(n, probe));
        }
    }
    // A name with a NUL before or after one that is the same as it, or as its part before the NUL.
    for (const auto& held : names) {
        if (held.find(L'\0') == std::wstring::npos) continue;
        for (const auto& other : names)
            for (const bool first : {true, false}) {
                udb_name_set two;
                two.push_back(first ? held : other);
                two.push_back(first ? other : held);
                for (const auto& probe : names) {
                    EXPECT_EQ(two.contains(probe), udb_same_name(held, probe) || udb_same_name(other, probe));
                    EXPECT_EQ(two.contains_up_to_nul(probe),
                              same_up_to_nul(held, probe) || same_up_to_nul(other, probe));
                }
            }
    }
    // All of them, in both orders.
    for (const bool reversed : {false, true}) {
        udb_name_set all;
        if (reversed)
            for (auto it = names.rbegin(); it != names.rend(); ++it) all.push_back(*it);
        else
            for (const auto& n : names) all.push_back(n);
        size_t in = 0;
        for (const auto& probe : names) {
            const bool want =
                std::any_of(names.begin(), names.end(), [&](const auto& n) { return udb_same_name(n, probe); });
            const bool want_c =
                std::any_of(names.begin(), names.end(), [&](const auto& n) { return same_up_to_nul(n, probe); });
            EXPECT_EQ(all.contains(probe), want);
            EXPECT_EQ(all.contains_up_to_nul(probe), want_c);
            in += want ? 1 : 0;
        }
        EXPECT_EQ(in, names.size()) << "every name is in a set of all of them";
    }
    udb_name_set all;
    for (const auto& n : names) all.push_back(n);
    for (const std::wstring probe : {L"DEPT", L"EMP2", L"\u00C9TOILES", L"B"}) {
        EXPECT_FALSE(all.contains(probe));
        EXPECT_FALSE(all.contains_up_to_nul(probe));
    }
}

} // namespace

TEST(udb_name_set, answers_as_the_comparison_with_every_name)
{
    expect_set_answers_as_comparison();
    // The cases the comparison makes equal are equal in the set too.
    udb_name_set s;
    s.push_back(L"STRASSE_\u00C4");
    s.push_back(L"\u00C9toile");
    s.push_back(std::wstring(L"A\0B", 3));
    EXPECT_TRUE(s.contains(L"strasse_\u00E4"));
    EXPECT_TRUE(s.contains(L"e\u0301toile"));
    EXPECT_FALSE(s.contains(L"Etoile"));
    EXPECT_FALSE(s.contains(L"A"));
    EXPECT_TRUE(s.contains_up_to_nul(L"a")) << "read as a C string, A\\0B is A";
    EXPECT_FALSE(s.contains_up_to_nul(L"AB"));
}

TEST(udb_name_set, follows_a_change_of_collation_locale)
{
    udb_name_set s;
    s.push_back(L"\u0130");
    s.push_back(L"\u0131");
    for (const char* locale : {"tr", "de", "ja", ""}) {
        set_collation_locale(locale);
        expect_set_answers_as_comparison();
        for (const std::wstring probe : {L"i", L"I", L"\u0130", L"\u0131"}) {
            const bool want = udb_same_name(L"\u0130", probe) || udb_same_name(L"\u0131", probe);
            EXPECT_EQ(s.contains(probe), want) << locale;
        }
    }
    set_collation_locale("");
}

TEST(udb_name_set, keeps_names_in_order_and_clears)
{
    udb_name_set s;
    EXPECT_TRUE(s.empty());
    EXPECT_FALSE(s.contains(L""));
    s.push_back(L"B");
    s.push_back(L"a");
    s.push_back(L"B");
    EXPECT_EQ(s.size(), 3u);
    EXPECT_EQ(std::vector<std::wstring>(s.begin(), s.end()), (std::vector<std::wstring>{L"B", L"a", L"B"}));
    EXPECT_TRUE(s.contains(L"A"));
    s.clear();
    EXPECT_FALSE(s.contains(L"A"));
    s.push_back(L"C");
    EXPECT_TRUE(s.contains(L"c"));
}

TEST(udb_name_pairs, answers_as_comparing_both_parts_with_every_pair)
{
    const auto names = tricky_names();
    udb_name_pairs pairs;
    std::vector<std::pair<std::wstring, std::wstring>> list;
    // Pairs of neighbours: a part that ends where the other begins must not match another split.
    for (size_t i = 0; i + 1 < names.size(); i += 2) {
        pairs.add(names[i], names[i + 1]);
        list.emplace_back(names[i], names[i + 1]);
    }
    pairs.add(L"AB", L"C");
    list.emplace_back(L"AB", L"C");
    EXPECT_EQ(pairs.size(), list.size());
    for (const auto& a : names) {
        for (const auto& b : names) {
            const bool want = std::any_of(list.begin(), list.end(), [&](const auto& p) {
                return udb_same_name(p.first, a) && udb_same_name(p.second, b);
            });
            EXPECT_EQ(pairs.contains(a, b), want);
        }
    }
    EXPECT_TRUE(pairs.contains(L"ab", L"c"));
    EXPECT_FALSE(pairs.contains(L"A", L"BC"));
    EXPECT_FALSE(pairs.contains(L"ABC", L""));
    pairs.clear();
    EXPECT_FALSE(pairs.contains(L"ab", L"c"));
}
