// An existing table read back from the catalog: columns, defaults, keys,
// indexes and the foreign keys that reference it.
#include "ora_target_fixture.h"

#include <algorithm>

#include "ORA/ora_table.h"
#include "TK/tk_exception.h"

TEST_F(ora_target_test, existing_table_reads_back_columns_defaults_keys_and_indexes)
{
    run(L"CREATE TABLE \"S\".\"E\" (\"K1\" NUMBER(10,0) DEFAULT 42  NOT NULL, \"K2\" NVARCHAR2(50) DEFAULT "
        L"'it''s' NOT NULL, \"C\" DATE DEFAULT sysdate, \"D\" LONG, \"Z\" TIMESTAMP(6) WITH TIME ZONE, "
        L"\"F\" TIMESTAMP(3), \"G\" VARCHAR2(10) DEFAULT 'x', \"H\" NVARCHAR2(10) DEFAULT NULL)");
    run(L"ALTER TABLE \"S\".\"E\" ADD CONSTRAINT \"PK_E\" PRIMARY KEY (\"K2\",\"K1\")");
    run(L"CREATE INDEX \"IX_E\" ON \"S\".\"E\" (\"G\",\"F\")");
    run(L"CREATE TABLE \"S\".\"CHILD\" (\"A\" NUMBER(10,0), \"B\" NVARCHAR2(50))");
    run(L"ALTER TABLE \"S\".\"CHILD\" ADD CONSTRAINT \"FK_C\" FOREIGN KEY (\"B\",\"A\") REFERENCES \"S\".\"E\" "
        L"(\"K2\",\"K1\") ON DELETE CASCADE");
    db->get_tables();

    std::unique_ptr<udb_recordset> rs = db->get_table1(L"\"S\".\"E\"", 8);
    auto& t = dynamic_cast<ora_table&>(*rs);
    std::vector<std::wstring> names;
    for (size_t i = 0; i < t.schema.size(); ++i) names.push_back(t.schema[i].name);
    // The TIMESTAMP WITH TIME ZONE column is read as a timestamp that keeps its type; TIMESTAMP(3) too.
    EXPECT_EQ(names, (std::vector<std::wstring>{L"K1", L"K2", L"C", L"D", L"Z", L"F", L"G", L"H"}));
    EXPECT_EQ(t.schema.get_field1(L"Z").native_type, L"TIMESTAMP(6) WITH TIME ZONE");
    EXPECT_EQ(t.schema.get_field1(L"K2").size, 50u);
    EXPECT_EQ(t.schema.get_field1(L"H").size, 10u);
    EXPECT_EQ(t.schema.get_field1(L"K1").default_value.to_long(), 42);
    EXPECT_EQ(t.schema.get_field1(L"K2").default_value.to_wstring(), L"it's");
    EXPECT_EQ(t.schema.get_field1(L"G").default_value.to_wstring(), L"x");
    EXPECT_EQ(t.schema.get_field1(L"H").default_value.value.vt, VT_EMPTY);
    EXPECT_EQ(t.schema.get_field1(L"C").default_value.to_wstring(), L"sysdate");
    EXPECT_EQ(t.schema.get_field1(L"C").dw_reserved, 9u);
    EXPECT_EQ(t.schema.get_field1(L"D").native_type, L"LONG");
    EXPECT_FALSE(t.is_lob(3));

    ASSERT_TRUE(t.indexes.find2(L"PK_E"));
    const udb_index& pk = t.indexes.get_index(L"PK_E");
    EXPECT_TRUE(pk.b_primary);
    EXPECT_EQ(pk.fields, (std::vector<std::wstring>{L"K2", L"K1"}));
    ASSERT_TRUE(t.indexes.find2(L"IX_E"));
    EXPECT_EQ(t.indexes.get_index(L"IX_E").fields, (std::vector<std::wstring>{L"G", L"F"}));
    EXPECT_EQ(t.indexes.size(), 2u);

    ASSERT_EQ(db->relationships.size(), 1u);
    const udb_relationship& fk = db->relationships[0];
    EXPECT_EQ(fk.name, L"FK_C");
    EXPECT_EQ(fk.referenced_key, L"PK_E");
    EXPECT_EQ(fk.child_table, L"S.CHILD");
    EXPECT_EQ(fk.parent_table, L"S.E");
    EXPECT_EQ(fk.rule, L"ON DELETE CASCADE");
}

TEST_F(ora_target_test, a_table_name_with_an_apostrophe_reads_back)
{
    run(L"CREATE TABLE \"S\".\"O'NEIL\" (\"A\" NUMBER(10,0))");
    run(L"ALTER TABLE \"S\".\"O'NEIL\" ADD CONSTRAINT \"PK_O\" PRIMARY KEY (\"A\")");
    db->get_tables();
    std::unique_ptr<udb_recordset> rs = db->get_table1(L"\"S\".\"O'NEIL\"", 8);
    EXPECT_EQ(rs->schema.size(), 1u);
    EXPECT_TRUE(rs->indexes.find2(L"PK_O"));
}

TEST_F(ora_target_test, merging_into_a_table_with_unfetchable_columns)
{
    run(L"CREATE TABLE \"S\".\"X\" (\"A\" NUMBER(10,0), \"B\" BINARY_DOUBLE, \"C\" CLOB)");
    db->get_tables();
    std::unique_ptr<udb_recordset> rs = db->get_table1(L"\"S\".\"X\"", 8);
    auto& t = dynamic_cast<ora_table&>(*rs);
    ASSERT_EQ(t.schema.size(), 3u);
    EXPECT_FALSE(t.is_lob(1));
    EXPECT_TRUE(t.is_lob(2));
    udb_record r;
    r.push_back(make_field(L"A", ole_variant(1)));
    r.push_back(make_field(L"B", ole_variant(2.5)));
    r.push_back(make_field(L"C", ole_variant(std::wstring(L"text"))));
    t.append_record(&r);
    EXPECT_EQ(rows(L"SELECT \"A\", \"B\", \"C\" FROM \"S\".\"X\""),
              (std::vector<std::vector<std::wstring>>{{L"1", L"2.5", L"text"}}));
}

TEST_F(ora_target_test, foreign_keys_get_their_unique_constraint)
{
    run(L"CREATE TABLE \"S\".\"P\" (\"ID\" NUMBER(10,0), \"CODE\" NVARCHAR2(5))");
    run(L"CREATE INDEX \"IX_P\" ON \"S\".\"P\" (\"CODE\")");
    run(L"CREATE TABLE \"S\".\"Q\" (\"PCODE\" NVARCHAR2(5))");
    db->get_tables();
    udb_relationships rels;
    rels.push_back(udb_relationship(L"FK_Q", L"", L"S.Q", L"S.P", {L"PCODE"}, {L"CODE"}, L" on delete cascade"));
    db->create_relationships(rels);
    // The non-unique index did not count: a unique constraint was added.
    EXPECT_EQ(value(L"SELECT COUNT(*) FROM ALL_CONSTRAINTS WHERE OWNER='S' AND TABLE_NAME='P' AND "
                    L"CONSTRAINT_TYPE='U'"),
              L"1");
    EXPECT_EQ(value(L"SELECT DELETE_RULE FROM ALL_CONSTRAINTS WHERE OWNER='S' AND TABLE_NAME='Q' AND "
                    L"CONSTRAINT_TYPE='R'"),
              L"CASCADE");
}

TEST_F(ora_target_test, update_by_key_changes_the_other_columns_only)
{
    run(L"CREATE TABLE \"S\".\"U\" (\"K\" NUMBER(10,0), \"V\" NVARCHAR2(10))");
    run(L"ALTER TABLE \"S\".\"U\" ADD CONSTRAINT \"PK_U\" PRIMARY KEY (\"K\")");
    run(L"INSERT INTO \"S\".\"U\" (\"K\", \"V\") VALUES(1, 'old')");
    run(L"CREATE TABLE \"S\".\"W\" (\"K\" NUMBER(10,0), \"V\" NVARCHAR2(10))");
    run(L"INSERT INTO \"S\".\"W\" (\"K\", \"V\") VALUES(1, 'old')");
    db->get_tables();
    udb_record r;
    r.push_back(make_field(L"K", ole_variant(1)));
    r.push_back(make_field(L"V", ole_variant(std::wstring(L"new"))));
    db->get_table1(L"S.U", 8)->update(&r);
    EXPECT_EQ(value(L"SELECT \"V\" FROM \"S\".\"U\" WHERE \"K\" = 1"), L"new");
    // Without a primary or unique key nothing is updated.
    db->get_table1(L"S.W", 8)->update(&r);
    EXPECT_EQ(value(L"SELECT \"V\" FROM \"S\".\"W\" WHERE \"K\" = 1"), L"old");
}

TEST_F(ora_target_test, views_are_created_skipped_or_reported)
{
    run(L"CREATE TABLE \"S\".\"VT\" (\"A\" NUMBER(10,0))");
    std::vector<std::wstring> reported;
    db->error_sink.set_handler([&](const tk_exception&, const std::wstring& context) { reported.push_back(context); });
    udb_database::view_list views = {
        {L"V_OK", L"select [A] from S.VT;"},
        {L"V_SKIP", L" select 1 from dual"},
        {L"V_BAD", L"select nothing from S.NO_SUCH_TABLE"},
    };
    db->create_views(views);
    EXPECT_EQ(value(L"SELECT COUNT(*) FROM USER_VIEWS WHERE VIEW_NAME='V_OK'"), L"1");
    EXPECT_EQ(value(L"SELECT COUNT(*) FROM USER_VIEWS WHERE VIEW_NAME='V_SKIP'"), L"0");
    EXPECT_EQ(reported, (std::vector<std::wstring>{L"View 'V_BAD'"}));
}

// Owner and table are matched one by one: "a.b"."c" and "a"."b.c" are two tables.
TEST_F(ora_target_test, owners_and_tables_holding_dots_are_told_apart)
{
    db->create_schema(L"a.b");
    db->create_schema(L"a");
    run(L"CREATE TABLE \"a.b\".\"c\" (\"X\" NUMBER(10,0) DEFAULT 7 NOT NULL, \"Y\" VARCHAR2(10))");
    run(L"ALTER TABLE \"a.b\".\"c\" ADD CONSTRAINT \"PK_ABC\" PRIMARY KEY (\"X\")");
    run(L"COMMENT ON COLUMN \"a.b\".\"c\".\"Y\" IS 'why'");
    run(L"CREATE TABLE \"a\".\"b.c\" (\"Z\" NVARCHAR2(20) DEFAULT 'z', \"W\" DATE)");
    run(L"ALTER TABLE \"a\".\"b.c\" ADD CONSTRAINT \"PK_A_BC\" PRIMARY KEY (\"Z\")");
    run(L"CREATE INDEX \"IX_A_BC\" ON \"a\".\"b.c\" (\"W\")");
    run(L"COMMENT ON COLUMN \"a\".\"b.c\".\"Z\" IS 'other'");
    db->get_tables();

    struct want {
        std::wstring table;
        std::vector<std::wstring> columns;
        std::wstring default_of_first;
        std::vector<std::wstring> indexes;
        std::wstring comment_column, comment;
    };
    const want cases[] = {
        {L"\"a.b\".\"c\"", {L"X", L"Y"}, L"7", {L"PK_ABC"}, L"Y", L"why"},
        {L"\"a\".\"b.c\"", {L"Z", L"W"}, L"z", {L"IX_A_BC", L"PK_A_BC"}, L"Z", L"other"},
    };
    for (const want& w : cases) {
        SCOPED_TRACE(std::string(w.table.begin(), w.table.end()));
        std::unique_ptr<udb_recordset> rs = db->get_table1(w.table, 8);
        std::vector<std::wstring> names;
        for (size_t i = 0; i < rs->schema.size(); ++i) names.push_back(rs->schema[i].name);
        EXPECT_EQ(names, w.columns);
        ASSERT_FALSE(names.empty());
        EXPECT_EQ(rs->schema.get_field1(names[0]).default_value.to_wstring(), w.default_of_first);
        std::vector<std::wstring> idx;
        for (const udb_index& i : rs->indexes) idx.push_back(i.name);
        std::sort(idx.begin(), idx.end());
        EXPECT_EQ(idx, w.indexes);
        EXPECT_EQ(rs->schema.get_field1(w.comment_column).comment, w.comment);
    }
}
