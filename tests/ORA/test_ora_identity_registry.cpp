// Trigger names of one run: within 30 characters, never shared by two tables.
#include <gtest/gtest.h>

#include "ORA/ora_identity_registry.h"

TEST(ora_identity_registry, trigger_names_fit_and_stay_distinct)
{
    ora_identity_registry reg;
    const std::wstring base = L"A_SCOTT_._A_VERY_LONG_TABLE_NAME";
    const std::wstring first = reg.claim_trigger_name(base, L"\"SCOTT\".\"A_VERY_LONG_TABLE_NAME\"");
    EXPECT_EQ(first, L"A_SCOTT_._A_VERY_LONG__TRIGGER");
    EXPECT_LE(first.size(), 30u);
    // Another table with the same safe name gets a numbered name.
    const std::wstring second = reg.claim_trigger_name(base, L"\"SCOTT\".\"A-VERY-LONG-TABLE-NAME\"");
    EXPECT_NE(second, first);
    EXPECT_LE(second.size(), 30u);
    EXPECT_EQ(second, L"A_SCOTT_._A_VERY_LON1__TRIGGER");
    // The first table created again keeps its own trigger.
    EXPECT_EQ(reg.claim_trigger_name(base, L"SCOTT.A_VERY_LONG_TABLE_NAME"), first);
}

TEST(ora_identity_registry, identities_by_table_without_quotes)
{
    ora_identity_registry reg;
    EXPECT_EQ(reg.find(L"S.T"), nullptr);
    reg.set(L"\"S\".\"T\"", ora_identity_registry::identity{L"SEQ_0", L"ID", L"TRG"});
    ASSERT_NE(reg.find(L"S.T"), nullptr);
    EXPECT_EQ(reg.find(L"S.T")->sequence, L"SEQ_0");
    reg.erase(L"S.T");
    EXPECT_EQ(reg.find(L"\"S\".\"T\""), nullptr);
}

TEST(ora_identity_registry, names_are_cut_by_their_utf8_bytes)
{
    EXPECT_EQ(ora_fit_bytes(L"ABC", 30), L"ABC");
    EXPECT_EQ(ora_fit_bytes(L"ÄÖÜ", 5), L"ÄÖ"); // two bytes each
    EXPECT_EQ(ora_fit_bytes(L"a\U0001F642b", 4), L"a");
    ora_identity_registry reg;
    const std::wstring name = reg.claim_trigger_name(L"A_S_._ÄÖÜÄÖÜÄÖÜÄÖÜÄÖÜ_", L"S.ÄÖÜÄÖÜÄÖÜÄÖÜÄÖÜ");
    EXPECT_EQ(name, L"A_S_._ÄÖÜÄÖÜÄ__TRIGGER");
}
