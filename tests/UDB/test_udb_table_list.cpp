// The table list finds a name where a comparison with every entry, first to
// last, finds it: the same position, also as names come and go.
#include <gtest/gtest.h>

#include "UDB/udb_name_compare.h"
#include "UDB/udb_table_list.h"
#include "platform/win32/win_compare.h"

namespace {

std::vector<std::wstring> tricky_names()
{
    return {L"EMP",
            L"emp",
            L"Emp ",
            L"\"EMP\"",
            L"SCOTT.EMP",
            L"scott.emp",
            L"\uFF25\uFF2D\uFF30",
            L"STRASSE",
            L"Stra\u00DFe",
            L"\u00C9toile",
            L"E\u0301TOILE",
            L"\u00C5",
            L"A\u030A",
            L"\u212B",
            L"\u03A3\u0391\u03A3",
            L"\u03C3\u03B1\u03C2",
            L"i",
            L"I",
            L"\u0130",
            L"\u0131",
            L"A\u00ADB",
            L"AB",
            L"ab",
            L"A\u200BB",
            std::wstring(L"A\0B", 3),
            std::wstring(L"a\0", 2),
            L"a",
            L"",
            L"\"\""};
}

// The position the comparison with each entry gives, -1 when none.
long linear_find(const std::vector<std::wstring>& names, const std::wstring& name, bool case_sensitive)
{
    for (size_t i = 0; i < names.size(); ++i)
        if (case_sensitive ? names[i] == name : udb_same_name(names[i], name)) return static_cast<long>(i);
    return -1;
}

void expect_same_as_linear(const udb_table_list& list, const std::string& when)
{
    for (bool cs : {true, false})
        for (const auto& probe : tricky_names())
            EXPECT_EQ(list.find(probe, cs), linear_find(list.names(), probe, cs))
                << when << (cs ? " exact " : " same name ") << std::string(probe.begin(), probe.end());
}

} // namespace

TEST(udb_table_list, finds_the_first_entry_as_a_comparison_with_each_does)
{
    udb_table_list list;
    expect_same_as_linear(list, "empty");
    // Names arrive between look-ups, each one twice, in another case the second time.
    for (const auto& name : tricky_names()) {
        list.push_back(name);
        expect_same_as_linear(list, "growing");
    }
    for (const auto& name : tricky_names()) list.push_back(name);
    expect_same_as_linear(list, "doubled");

    // Entries removed from the front, the middle and the end move the others up.
    for (size_t pos : {size_t(0), size_t(7), list.size() - 1, size_t(3)}) {
        list.erase(pos);
        expect_same_as_linear(list, "after erase");
    }
    list.clear();
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(list.find(L"EMP", true), -1);
    EXPECT_EQ(list.find(L"EMP", false), -1);
    list = {L"B", L"emp", L"EMP"};
    EXPECT_EQ(list.find(L"EMP", true), 2);
    EXPECT_EQ(list.find(L"EMP", false), 1);
}

TEST(udb_table_list, follows_a_change_of_the_collation_locale)
{
    udb_table_list list;
    for (const auto& name : tricky_names()) list.push_back(name);
    for (const char* locale : {"tr", "de", "ja", ""}) {
        set_collation_locale(locale);
        expect_same_as_linear(list, locale);
    }
    set_collation_locale("");
}
