#include <gtest/gtest.h>

#include "UDB/udb_names_map.h"

namespace {

t_names_map make_map(std::initializer_list<std::pair<const wchar_t*, const wchar_t*>> pairs)
{
    t_names_map m;
    for (const auto& [k, v] : pairs) m.add(k, v);
    return m;
}

TEST(t_names_map, first_mapping_wins_and_misses_fall_back)
{
    t_names_map m = make_map({{L"EMP", L"EMPLOYEE"}, {L"EMP", L"OTHER"}});
    EXPECT_EQ(m.get_mapped_name(L"EMP", true), L"EMPLOYEE");
    EXPECT_EQ(m.get_mapped_name(L"emp", true), L"emp");
    EXPECT_EQ(m.get_mapped_name(L"emp", false), L"EMPLOYEE");
    EXPECT_EQ(m.get_mapped_name(L"DEPT", false), L"DEPT");
}

TEST(udb_names_map, table_and_column_lookups)
{
    udb_names_map nm;
    nm.add_tn_mapping(L"EMP", L"EMP_T");
    EXPECT_EQ(nm.get_tn_mapped_name(L"emp", true), L"emp");
    EXPECT_EQ(nm.get_tn_mapped_name(L"emp", false), L"EMP_T");

    nm.add_fn_map(L"EMP", make_map({{L"id", L"ID_"}}));
    nm.add_fn_map(L"EMP", make_map({{L"id", L"SECOND"}})); // ignored
    EXPECT_EQ(nm.get_fn_mapped_name(L"EMP", L"id", true), L"ID_");
    EXPECT_EQ(nm.get_fn_mapped_name(L"EMP", L"ID", true), L"ID");
    EXPECT_EQ(nm.get_fn_mapped_name(L"EMP", L"ID", false), L"ID_");
    // The table key is exact whatever the flag.
    EXPECT_EQ(nm.get_fn_mapped_name(L"emp", L"id", false), L"id");
    EXPECT_EQ(nm.get_fn_mapped_name(L"DEPT", L"id", true), L"id");
}

TEST(udb_names_map, add_fn_map_stores_a_copy)
{
    udb_names_map nm;
    t_names_map cols = make_map({{L"a", L"A"}});
    nm.add_fn_map(L"T", cols);
    cols.add(L"b", L"B");
    EXPECT_EQ(nm.get_fn_mapped_name(L"T", L"b", true), L"b");
}

std::wstring replace(const std::wstring& text, const t_names_map& m, const std::wstring& p = L"",
                     const std::wstring& s = L"")
{
    return udb_names_map::do_global_replace2(text, m, p, s);
}

TEST(udb_names_map, whole_word_replacement)
{
    const t_names_map id = make_map({{L"ID", L"EMP_ID"}});
    // "_" is no word character, so ID inside ID_2 is a word; XID is not.
    EXPECT_EQ(replace(L"SELECT ID, XID, ID_2 FROM T", id), L"SELECT EMP_ID, XID, EMP_ID_2 FROM T");
    EXPECT_EQ(replace(L"select id from t where id=1", id), L"select EMP_ID from t where EMP_ID=1");
    EXPECT_EQ(replace(L"ID", id), L"EMP_ID");
    EXPECT_EQ(replace(L"IDS IDID ID9 9ID", id), L"IDS IDID ID9 9ID");
    // Letters of other scripts are word characters too.
    EXPECT_EQ(replace(L"\u00E9ID ID\u00E9", id), L"\u00E9ID ID\u00E9");
}

TEST(udb_names_map, a_name_that_is_a_prefix_of_another)
{
    const t_names_map m = make_map({{L"EMP", L"E1"}, {L"EMPNO", L"E2"}});
    EXPECT_EQ(replace(L"SELECT EMPNO FROM EMP", m), L"SELECT E2 FROM E1");
}

TEST(udb_names_map, literals_and_quoted_identifiers_are_replaced_too)
{
    const t_names_map m = make_map({{L"NAME", L"ENAME"}});
    EXPECT_EQ(replace(L"SELECT [NAME], \"NAME\" FROM T WHERE X = 'NAME'", m),
              L"SELECT [ENAME], \"ENAME\" FROM T WHERE X = 'ENAME'");
}

TEST(udb_names_map, replacement_is_never_rescanned)
{
    EXPECT_EQ(replace(L"ID ID", make_map({{L"ID", L"ID ID"}})), L"ID ID ID ID");
    EXPECT_EQ(replace(L"a ID b", make_map({{L"ID", L"IDX"}})), L"a IDX b");
}

TEST(udb_names_map, later_pairs_see_earlier_replacements)
{
    // Map order is A before B: A -> B, then B -> C.
    EXPECT_EQ(replace(L"A", make_map({{L"A", L"B"}, {L"B", L"C"}})), L"C");
}

TEST(udb_names_map, prefix_and_suffix_are_not_doubled)
{
    const t_names_map m = make_map({{L"a", L"X"}, {L"b", L"\"Y\""}});
    EXPECT_EQ(replace(L"a b", m, L"\"", L"\""), L"\"X\" \"Y\"");
}

TEST(udb_names_map, empty_key_changes_nothing) { EXPECT_EQ(replace(L"abc", make_map({{L"", L"X"}})), L"abc"); }

TEST(udb_names_map, global_replace_uses_tables_then_columns)
{
    udb_names_map nm;
    nm.add_tn_mapping(L"Emp", L"EMPLOYEES");
    nm.add_fn_map(L"Emp", make_map({{L"id", L"EMP_ID"}}));
    nm.add_fn_map(L"Dept", make_map({{L"dname", L"DEPT_NAME"}}));
    EXPECT_EQ(nm.do_global_replace1(L"SELECT e.id, d.dname FROM emp e, dept d", L"", L""),
              L"SELECT e.EMP_ID, d.DEPT_NAME FROM EMPLOYEES e, dept d");
}

} // namespace
