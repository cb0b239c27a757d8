#include <gtest/gtest.h>

#include "TK/tk_exception.h"
#include "UDB/udb_indexes.h"
#include "UDB/udb_relationships.h"

namespace {

TEST(udb_indexes, merge_rules_of_push_back)
{
    udb_indexes list;
    list.push_back(udb_index(L"IX", false, false, {L"A"}));
    list.push_back(udb_index(L"ix", true, true, {L"B", L"C"}));
    ASSERT_EQ(list.size(), 1u);
    EXPECT_TRUE(list[0].b_primary);
    EXPECT_EQ(list[0].name, L"ix");
    EXPECT_EQ(list[0].fields, (std::vector<std::wstring>{L"B", L"C"}));
    list.push_back(udb_index(L"IX", false, false, {L"Z"}));
    EXPECT_TRUE(list[0].b_primary);
    EXPECT_EQ(list[0].fields.size(), 2u);

    list.push_back(udb_index(L"U", false, false, {L"A"}));
    list.push_back(udb_index(L"U", true, false, {L"D"}));
    ASSERT_EQ(list.size(), 2u);
    EXPECT_TRUE(list[1].b_unique);
    EXPECT_EQ(list[1].fields, (std::vector<std::wstring>{L"D"}));
    list.push_back(udb_index(L"U", false, false, {L"E"}));
    EXPECT_TRUE(list[1].b_unique);
    EXPECT_EQ(list[1].fields, (std::vector<std::wstring>{L"D"}));
    // A primary key still upgrades a unique index.
    list.push_back(udb_index(L"U", false, true, {L"F"}));
    EXPECT_TRUE(list[1].b_primary);
}

TEST(udb_indexes, lookups)
{
    udb_indexes list;
    EXPECT_TRUE(list.is_acceptable_name(L"X"));
    EXPECT_THROW(list.get_index(L"X"), tk_mail_assertion);
    list.push_back(udb_index(L"PK_T", true, true, {L"ID"}));
    list.push_back(udb_index(L"IX_T", false, false, {L"Name", L"ID"}));
    EXPECT_TRUE(list.find2(L"pk_t"));
    EXPECT_FALSE(list.is_acceptable_name(L"Ix_T"));
    EXPECT_EQ(list.get_index(L"ix_t").fields.size(), 2u);
    EXPECT_THROW(list.get_index(L"none"), tk_mail_assertion);
    EXPECT_TRUE(list.is_idx_field(L"Name", false));
    EXPECT_FALSE(list.is_idx_field(L"NAME", false)) << "column names compare exactly here";
    EXPECT_FALSE(list.is_idx_field(L"Name", true));
    EXPECT_TRUE(list.is_idx_field(L"ID", true));
}

TEST(udb_index, column_tests)
{
    const udb_index idx(L"I", false, false, {L"A", L"B", L"C"});
    EXPECT_TRUE(idx.starts_with_fields({}));
    EXPECT_TRUE(idx.starts_with_fields({L"a", L"B"}));
    EXPECT_FALSE(idx.starts_with_fields({L"B", L"A"}));
    EXPECT_FALSE(idx.starts_with_fields({L"A", L"B", L"C", L"D"}));
    EXPECT_TRUE(idx.consists_of_fields({L"C", L"A", L"B"}));
    EXPECT_FALSE(idx.consists_of_fields({L"A", L"B"}));
    EXPECT_FALSE(idx.consists_of_fields({L"a", L"B", L"C"}));
}

TEST(udb_relationships, lookups)
{
    udb_relationships rels;
    EXPECT_TRUE(rels.is_acceptable_name(L"FK"));
    EXPECT_THROW(rels.get_index(L"FK"), tk_mail_assertion);
    rels.push_back(
        udb_relationship(L"FK_EMP_DEPT", L"PK_DEPT", L"EMP", L"DEPT", {L"DEPTNO"}, {L"ID"}, L" ON DELETE CASCADE"));
    EXPECT_FALSE(rels.is_acceptable_name(L"fk_emp_dept"));
    const udb_relationship& r = rels.get_index(L"fk_emp_dept");
    EXPECT_EQ(r.rule, L" ON DELETE CASCADE");
    EXPECT_EQ(r.parent_table, L"DEPT");
    EXPECT_EQ(r.parent_fields, (std::vector<std::wstring>{L"ID"}));
}

} // namespace
