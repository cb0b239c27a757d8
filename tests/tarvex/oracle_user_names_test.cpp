// The Oracle user of each source schema: named by Oracle's rules, one per schema.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "tarvex/oracle_user_names.h"

TEST(oracle_user_names, each_schema_gets_a_user_oracle_takes_and_none_shares_one)
{
    struct case_t {
        std::vector<std::wstring> schemas;
        bool uppercase;
        std::vector<std::wstring> users; // in the order of the schemas
    };
    const case_t cases[] = {
        {{L"dbo", L"sales"}, false, {L"dbo", L"sales"}},
        {{L"dbo", L"Sales"}, true, {L"DBO", L"SALES"}},
        // A name Oracle takes keeps it, whatever comes first; the refused one is numbered.
        {{L"it's", L"it_s"}, false, {L"it_s00000", L"it_s"}},
        {{L"it_s", L"it's"}, false, {L"it_s", L"it_s00000"}},
        {{L"1st"}, false, {L"A1st"}},
        {{L"a_very_long_schema_name_over_thirty_bytes"}, false, {L"a_very_long_schema_name_over_"}},
        {{L"abcdefghijabcdefghijabcdefghij_one", L"abcdefghijabcdefghijabcdefghij_two"},
         false,
         {L"abcdefghijabcdefghijabcdefghi", L"abcdefghijabcdefghijabcd00000"}},
        {{L"m\u00fcller_\u00fcber_gr\u00f6\u00dfe_schema_lang"},
         false,
         {L"m\u00fcller_\u00fcber_gr\u00f6\u00dfe_schema_"}},
    };
    for (const auto& c : cases) {
        oracle_user_names names;
        names.plan(c.schemas, c.uppercase);
        std::set<std::wstring> seen;
        for (size_t i = 0; i < c.schemas.size(); ++i) {
            EXPECT_EQ(names.user_of(c.schemas[i]), c.users[i]) << c.schemas[i].size();
            EXPECT_TRUE(seen.insert(names.user_of(c.schemas[i])).second);
        }
    }
}

TEST(oracle_user_names, a_schema_met_later_gets_a_name_no_planned_schema_has)
{
    oracle_user_names names;
    names.plan({L"it_s", L"dbo", L"", L"dbo"}, false);
    EXPECT_EQ(names.user_of(L""), L"");
    EXPECT_EQ(names.user_of(L"it's"), L"it_s00000");
    EXPECT_EQ(names.user_of(L"it\"s"), L"it_s00001");
    EXPECT_EQ(names.user_of(L"it's"), L"it_s00000"); // asked again: the same user
    names.clear();
    names.plan({L"it's"}, false);
    EXPECT_EQ(names.user_of(L"it's"), L"it_s");
}
