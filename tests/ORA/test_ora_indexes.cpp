// Primary keys and indexes built on tables of the embedded Oracle.
#include <gtest/gtest.h>
#include "ORA/ora_exception.h"
#include "ORA/ora_indexes_initializer.h"
#include "ORA/ora_validator.h"
#include "TK/tk_exception.h"
#include "platform/oci/oci.h"
#include "tests/ORA/ora_test_server.h"

namespace {

udb_schema schema_of(std::initializer_list<t_ftd> cols)
{
    udb_schema s;
    for (const auto& c : cols) s.push_back(c);
    return s;
}

t_ftd text(const wchar_t* name, uint32_t size)
{
    return t_ftd(size, name, VT_BSTR, false, false, ole_variant(), 0, L"");
}
t_ftd num(const wchar_t* name) { return t_ftd(0, name, VT_I4, false, false, ole_variant(), 0, L""); }

} // namespace

class OraIndexes : public ora_server_test {
protected:
    void SetUp() override
    {
        ora_server_test::SetUp();
        validator = std::make_unique<ora_in_validator>();
    }
    void TearDown() override
    {
        validator.reset();
        ora_server_test::TearDown();
    }
    std::unique_ptr<ora_in_validator> validator;
};

TEST(OraIndexBuilder, NeedsTheRunValidator)
{
    udb_schema s;
    udb_indexes none;
    t_names_map names;
    EXPECT_THROW(ora_indexes_initializer(L"T", s, none, names), tk_mail_assertion);
}

TEST(OraIndexBuilder, ColumnsThatCanBeIndexed)
{
    EXPECT_TRUE(ora_indexes_initializer::can_be_part_of_index(text(L"A", 2000)));
    EXPECT_FALSE(ora_indexes_initializer::can_be_part_of_index(text(L"A", 0)));
    EXPECT_FALSE(ora_indexes_initializer::can_be_part_of_index(text(L"A", 2001)));
    EXPECT_FALSE(
        ora_indexes_initializer::can_be_part_of_index(t_ftd(0, L"B", 65, false, false, ole_variant(), 0, L"")));
    EXPECT_FALSE(
        ora_indexes_initializer::can_be_part_of_index(t_ftd(0, L"B", 70, false, false, ole_variant(), 0, L"")));
    EXPECT_TRUE(ora_indexes_initializer::can_be_part_of_index(num(L"N")));
}

TEST_F(OraIndexes, StatementTexts)
{
    exec(L"CREATE TABLE T (A NVARCHAR2(10), B NVARCHAR2(10), C NUMBER(10,0), L CLOB)");
    udb_schema s = schema_of({text(L"A", 10), text(L"B", 10), num(L"C"), text(L"L", 0)});
    udb_indexes src;
    src.push_back(udb_index(L"UX_BA", true, false, {L"b", L"a"}));
    src.push_back(udb_index(L"PK_T", false, true, {L"A", L"B"}));
    src.push_back(udb_index(L"UX_C", true, false, {L"C"}));
    src.push_back(udb_index(L"IX_CA", false, false, {L"C", L"A"}));
    src.push_back(udb_index(L"IX_L", false, false, {L"C", L"L"}));
    src.push_back(udb_index(L"IX_MISSING", false, false, {L"NOPE"}));
    src.push_back(udb_index(L"IX_EMPTY", false, false, {}));
    t_names_map names;
    ora_indexes_initializer init(L"T", s, src, names);
    const udb_indexes& idx = init.get_indexes();
    ASSERT_EQ(idx.size(), 5u); // the CLOB index and the one on a missing column are dropped
    EXPECT_EQ(init.get_pk_pos(), 1);
    EXPECT_EQ(init.make_index_sql(idx[0]), L""); // equal to the key, in another order
    EXPECT_EQ(init.make_index_sql(idx[1]), L"ALTER TABLE \"T\" ADD CONSTRAINT \"PK_T\" PRIMARY KEY (\"A\",\"B\")");
    EXPECT_EQ(init.make_index_sql(idx[2]), L"CREATE UNIQUE INDEX \"UX_C\" ON \"T\" (\"C\")");
    EXPECT_EQ(init.make_index_sql(idx[3]), L"CREATE INDEX \"IX_CA\" ON \"T\" (\"C\",\"A\")");
    EXPECT_EQ(init.make_index_sql(idx[4]), L"");
    init.build_indexes();
    auto names_read = rows(L"select INDEX_NAME from user_indexes where TABLE_NAME='T' order by INDEX_NAME");
    std::vector<std::wstring> flat;
    for (auto& r : names_read) flat.push_back(r[0]);
    EXPECT_NE(std::find(flat.begin(), flat.end(), L"IX_CA"), flat.end());
    EXPECT_NE(std::find(flat.begin(), flat.end(), L"UX_C"), flat.end());
    EXPECT_EQ(std::find(flat.begin(), flat.end(), L"UX_BA"), flat.end());
}

TEST_F(OraIndexes, UniqueIndexOverNullableColumns)
{
    exec(L"CREATE TABLE U (A NVARCHAR2(10), B NVARCHAR2(10))");
    udb_schema s = schema_of({text(L"A", 10), text(L"B", 10)});
    udb_indexes src;
    src.push_back(udb_index(L"UX_AB", true, false, {L"A", L"B"}));
    t_names_map names;
    ora_indexes_initializer init(L"U", s, src, names);
    EXPECT_EQ(init.make_index_sql(init.get_indexes()[0]), L"CREATE UNIQUE INDEX \"UX_AB\" ON \"U\" (\"A\",\"B\")");
    init.build_indexes();
    exec(L"INSERT INTO U VALUES ('a,b', 'c')");
    exec(L"INSERT INTO U VALUES ('a', 'b,c')"); // no collision through joined text
    exec(L"INSERT INTO U VALUES (NULL, NULL)");
    exec(L"INSERT INTO U VALUES (NULL, NULL)"); // a key NULL in every part is not indexed
    exec(L"INSERT INTO U VALUES (NULL, 'x')");
    // A key with one NULL part is compared, as SQL Server's unique index and Oracle's compare it.
    for (const wchar_t* dup : {L"INSERT INTO U VALUES ('a', 'b,c')", L"INSERT INTO U VALUES (NULL, 'x')"}) {
        try {
            exec(dup);
            ADD_FAILURE() << "a duplicate key must be refused";
        } catch (const ora_exception& e) {
            EXPECT_EQ(e.ora_number(), 1u);
        }
    }
}

TEST_F(OraIndexes, AFilteredUniqueIndexAppliesItsFilterToEachKeyColumn)
{
    exec(
        L"CREATE TABLE F (\"id\" NUMBER(10,0), \"code\" NUMBER(10,0), \"Active Flag\" NUMBER(3,0), "
        L"\"kind\" NVARCHAR2(5), \"d\" DATE)");
    udb_schema s = schema_of({num(L"id"), num(L"code"), num(L"Active Flag"), text(L"kind", 5),
                              t_ftd(0, L"d", VT_DATE, false, false, ole_variant(), 0, L"")});
    auto filtered = [](const wchar_t* name, bool unique, std::vector<std::wstring> cols, const wchar_t* filter) {
        udb_index ix(name, unique, false, std::move(cols));
        ix.filter = filter;
        return ix;
    };
    udb_indexes src;
    src.push_back(filtered(L"ux", true, {L"code"}, L"([Active Flag]=(1))"));
    src.push_back(filtered(L"ux2", true, {L"code", L"kind"}, L"([kind]='b' OR [kind]=N'a''s') AND id IS NOT NULL"));
    src.push_back(filtered(L"ix", false, {L"kind"}, L"([kind]<>'x')"));
    src.push_back(filtered(L"ux_fn", true, {L"id"}, L"([d]>getdate())"));
    src.push_back(filtered(L"ux_date", true, {L"kind"}, L"([d]>'2020-01-01')"));
    src.push_back(filtered(L"ux_empty", true, {L"kind"}, L"([kind]<>'')"));
    t_names_map names;
    ora_indexes_initializer init(L"F", s, src, names);
    const udb_indexes& idx = init.get_indexes();
    ASSERT_EQ(idx.size(), 3u);
    EXPECT_EQ(init.make_index_sql(idx[0]),
              L"CREATE UNIQUE INDEX \"ux\" ON \"F\" (CASE WHEN (\"Active Flag\" = (1)) THEN \"code\" END)");
    EXPECT_EQ(init.make_index_sql(idx[1]),
              L"CREATE UNIQUE INDEX \"ux2\" ON \"F\" (CASE WHEN (\"kind\" = 'b' OR \"kind\" = 'a''s') AND \"id\" "
              L"IS NOT NULL THEN \"code\" END, CASE WHEN (\"kind\" = 'b' OR \"kind\" = 'a''s') AND \"id\" IS NOT "
              L"NULL THEN \"kind\" END)");
    // Not unique: the whole index.
    EXPECT_EQ(init.make_index_sql(idx[2]), L"CREATE INDEX \"ix\" ON \"F\" (\"kind\")");
    // A function, a date read from text and an empty text have no Oracle condition of the same meaning.
    EXPECT_EQ(init.get_notes(),
              (std::vector<std::wstring>{
                  L"Index 'ux_fn' of table F is not created: its filter ([d]>getdate()) cannot be written in Oracle "
                  L"SQL\n",
                  L"Index 'ux_date' of table F is not created: its filter ([d]>'2020-01-01') cannot be written in "
                  L"Oracle SQL\n",
                  L"Index 'ux_empty' of table F is not created: its filter ([kind]<>'') cannot be written in Oracle "
                  L"SQL\n"}));
    init.build_indexes();
    exec(L"INSERT INTO F VALUES (1, 5, 1, 'a', NULL)");
    exec(L"INSERT INTO F VALUES (2, 5, 0, 'a', NULL)"); // outside the filter: kept
    exec(L"INSERT INTO F VALUES (3, 5, 0, 'b', NULL)");
    try {
        exec(L"INSERT INTO F VALUES (4, 5, 1, 'c', NULL)");
        ADD_FAILURE() << "a key the filter holds must be unique";
    } catch (const ora_exception& e) {
        EXPECT_EQ(e.ora_number(), 1u);
    }
}

TEST_F(OraIndexes, SingleColumnKeyRefusesDuplicates)
{
    exec(L"CREATE TABLE K (ID NUMBER(10,0), NAME NVARCHAR2(20))");
    udb_schema s = schema_of({num(L"ID"), text(L"NAME", 20)});
    udb_indexes src;
    src.push_back(udb_index(L"IX_NAME", false, false, {L"NAME"}));
    src.push_back(udb_index(L"PK_K", false, true, {L"ID"}));
    src.push_back(udb_index(L"UX_ID", true, false, {L"ID"})); // the key itself: skipped
    t_names_map names;
    ora_indexes_initializer init(L"K", s, src, names);
    EXPECT_EQ(init.make_index_sql(init.get_indexes()[1]),
              L"ALTER TABLE \"K\" ADD CONSTRAINT \"PK_K\" PRIMARY KEY (\"ID\")");
    init.build_indexes();
    exec(L"INSERT INTO K VALUES (1, 'a')");
    exec(L"INSERT INTO K VALUES (2, 'a')");
    try {
        exec(L"INSERT INTO K VALUES (1, 'b')");
        FAIL() << "the key must refuse a duplicate";
    } catch (const ora_exception& e) {
        EXPECT_EQ(e.ora_number(), 1u);
    }
    EXPECT_TRUE(rows(L"select INDEX_NAME from user_indexes where INDEX_NAME='UX_ID'").empty());
}

TEST_F(OraIndexes, ExistingIndexesAreToleratedOtherErrorsAreNot)
{
    exec(L"CREATE TABLE E (A NUMBER(10,0), B NUMBER(10,0))");
    exec(L"CREATE INDEX \"IX_OLD\" ON \"E\" (\"A\")");
    exec(L"ALTER TABLE \"E\" ADD CONSTRAINT \"PK_OLD\" PRIMARY KEY (\"B\")");
    udb_schema s = schema_of({num(L"A"), num(L"B")});
    udb_indexes src;
    src.push_back(udb_index(L"IX_A", false, false, {L"A"})); // ORA-01408
    src.push_back(udb_index(L"PK_E", false, true, {L"B"}));  // ORA-02260/02261 family
    t_names_map names;
    {
        ora_indexes_initializer init(L"E", s, src, names);
        oci_test_inject_error("PK_E", 2261);
        EXPECT_NO_THROW(init.build_indexes());
        oci_test_clear_injections();
    }
    udb_indexes other;
    other.push_back(udb_index(L"IX_B2", false, false, {L"B"}));
    ora_indexes_initializer init2(L"E", s, other, names);
    oci_test_inject_error("IX_B2", 955);
    EXPECT_THROW(init2.build_indexes(), ora_exception);
    oci_test_clear_injections();
}

TEST_F(OraIndexes, NamesAreValidatedAcrossTables)
{
    exec(L"CREATE TABLE OLD (A NUMBER(10,0))");
    exec(L"CREATE INDEX IX_A ON OLD (A)");
    validator.reset();
    validator = std::make_unique<ora_in_validator>();
    EXPECT_FALSE(validator->is_acceptable(L"ix_a")); // an existing index, any case
    EXPECT_FALSE(validator->is_acceptable(L"Primary"));
    EXPECT_TRUE(validator->is_acceptable(L"IX_NEW"));

    exec(L"CREATE TABLE T1 (\"NEW_A\" NUMBER(10,0))");
    exec(L"CREATE TABLE T2 (\"NEW_A\" NUMBER(10,0))");
    udb_schema s = schema_of({num(L"NEW_A")});
    t_names_map names;
    names.add(L"a", L"NEW_A"); // the column got a new name at creation
    udb_indexes src;
    src.push_back(udb_index(L"1_IX", false, false, {L"a"}));
    ora_indexes_initializer first(L"T1", s, src, names);
    ora_indexes_initializer second(L"T2", s, src, names);
    const std::wstring n1 = first.get_indexes()[0].name;
    const std::wstring n2 = second.get_indexes()[0].name;
    EXPECT_NE(n1, n2);
    EXPECT_EQ(n1.substr(0, 5), L"A1_IX");
    // Each renaming is a line for the console, with both names.
    EXPECT_EQ(first.get_notes(), std::vector<std::wstring>{L"Index '1_IX' of table T1 is named '" + n1 + L"'\n"});
    EXPECT_EQ(second.get_notes(), std::vector<std::wstring>{L"Index '1_IX' of table T2 is named '" + n2 + L"'\n"});
    EXPECT_EQ(first.get_indexes()[0].fields, std::vector<std::wstring>{L"NEW_A"});
    first.build_indexes();
    second.build_indexes();
    EXPECT_EQ(rows(L"select INDEX_NAME from user_indexes where INDEX_NAME='" + n2 + L"'").size(), 1u);
}

TEST_F(OraIndexes, SafeNamesAreAcceptedByTheServer)
{
    ora_validator v;
    const std::wstring table = v.get_safe_name(L"order details of the year 2016 - archive");
    EXPECT_EQ(table.size(), 29u);
    exec(L"CREATE TABLE \"" + table + L"\" (\"" + v.get_safe_name(L"1st-column") + L"\" NUMBER(10,0))");
    const std::wstring thirty(30, L'X');
    EXPECT_TRUE(v.is_acceptable(thirty));
    exec(L"CREATE TABLE " + thirty + L" (A NUMBER(10,0))");
    EXPECT_THROW(exec(L"CREATE TABLE " + thirty + L"Y (A NUMBER(10,0))"), ora_exception);
    EXPECT_EQ(rows(L"select COLUMN_NAME from user_tab_columns where TABLE_NAME='" + table + L"'")[0][0],
              L"A1st_column");
}
