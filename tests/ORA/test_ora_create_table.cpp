// Table creation against the embedded Oracle: the dictionary shows what the
// source schema asked for; identity survives long names and re-runs.
#include "ora_target_fixture.h"

#include "ORA/ora_indexes_initializer.h"
#include "ORA/ora_schema_initializer.h"
#include "ORA/ora_table.h"
#include "ORA/ora_util.h"
#include "TK/tk_exception.h"
#include "TK/tk_text.h"
#include "platform/oci/oci.h"

namespace {

udb_schema mixed_schema()
{
    udb_schema s;
    t_ftd id = make_column(L"ID", VT_I4, 4, true, ole_variant(5));
    id.b_auto_num = true;
    s.push_back(id);
    s.push_back(make_column(L"K2", VT_I2, 2, true));
    s.push_back(make_column(L"NAME", VT_BSTR, 50, true, ole_variant(std::wstring(L"x"))));
    s.push_back(make_column(L"DOC", VT_BSTR, 0, true));
    s.push_back(make_column(L"BIN", VT_BLOB, 16));
    s.push_back(make_column(L"PIC", VT_BLOB, 0));
    s.push_back(
        make_column(L"AMT", VT_DECIMAL, 0, false, ole_variant(std::wstring(L"1.5")), t_ftd::decimal_hint(10, 2)));
    s.push_back(make_column(L"F8", VT_R8, 8));
    s.push_back(make_column(L"AT", VT_DATE, 0, false, ole_variant(), t_ftd::hint_date_timestamp));
    s.push_back(make_column(L"D", VT_DATE, 0));
    s.push_back(make_column(L"FLAG", VT_BOOL, 2));
    s.push_back(make_column(L"BIG", VT_I8, 8));
    return s;
}

udb_indexes mixed_indexes()
{
    udb_indexes ix;
    ix.push_back(udb_index(L"PK_T", true, true, {L"K2", L"ID"}));
    ix.push_back(udb_index(L"UX_T", true, false, {L"NAME"}));
    ix.push_back(udb_index(L"IX_T", false, false, {L"F8", L"D"}));
    return ix;
}

} // namespace

TEST_F(ora_target_test, create_table_gives_the_mapped_columns_keys_and_identity)
{
    udb_schema s = mixed_schema();
    udb_indexes ix = mixed_indexes();
    std::unique_ptr<udb_recordset> t = db->create_table(L"\"S\".\"T\"", s, ix);
    ASSERT_NE(t, nullptr);
    EXPECT_TRUE(db->is_table_exist(L"S.T"));

    const auto cols = rows(
        L"SELECT COLUMN_NAME, DATA_TYPE, NULLABLE, DATA_DEFAULT FROM ALL_TAB_COLUMNS WHERE "
        L"OWNER='S' AND TABLE_NAME='T' ORDER BY COLUMN_ID");
    const std::vector<std::vector<std::wstring>> expected = {
        {L"ID", L"NUMBER", L"Y", L"<NULL>"},       {L"K2", L"NUMBER", L"N", L"<NULL>"},
        {L"NAME", L"NVARCHAR2", L"N", L"'x' "},    {L"DOC", L"CLOB", L"Y", L"<NULL>"},
        {L"BIN", L"RAW", L"Y", L"<NULL>"},         {L"PIC", L"BLOB", L"Y", L"<NULL>"},
        {L"AMT", L"NUMBER", L"Y", L"1.5"},         {L"F8", L"NUMBER", L"Y", L"<NULL>"},
        {L"AT", L"TIMESTAMP(6)", L"Y", L"<NULL>"}, {L"D", L"DATE", L"Y", L"<NULL>"},
        {L"FLAG", L"NUMBER", L"Y", L"<NULL>"},     {L"BIG", L"NUMBER", L"Y", L"<NULL>"},
    };
    ASSERT_EQ(cols.size(), expected.size());
    for (size_t i = 0; i < cols.size(); ++i) {
        EXPECT_EQ(cols[i][0], expected[i][0]);
        EXPECT_EQ(cols[i][1], expected[i][1]) << cols[i][0];
        // K2 is NOT NULL in the source; the primary key keeps ID NOT NULL too.
        if (cols[i][0] != L"ID") {
            EXPECT_EQ(cols[i][2], expected[i][2]) << cols[i][0];
        }
        EXPECT_EQ(tk_trim(cols[i][3]), tk_trim(expected[i][3])) << cols[i][0];
    }

    // The primary key with its columns in key order.
    const auto pk = rows(
        L"SELECT a.CONSTRAINT_NAME, a.COLUMN_NAME FROM ALL_CONS_COLUMNS a, ALL_CONSTRAINTS b WHERE "
        L"a.OWNER='S' AND a.TABLE_NAME='T' AND a.CONSTRAINT_NAME=b.CONSTRAINT_NAME AND "
        L"b.CONSTRAINT_TYPE='P' ORDER BY a.POSITION");
    ASSERT_EQ(pk.size(), 2u);
    EXPECT_EQ(pk[0][1], L"K2");
    EXPECT_EQ(pk[1][1], L"ID");
    // The identity objects, named after the quoted table name.
    EXPECT_EQ(value(L"SELECT COUNT(*) FROM USER_SEQUENCES WHERE SEQUENCE_NAME='A_S_._T__0'"), L"1");
    EXPECT_EQ(value(L"SELECT COUNT(*) FROM USER_TRIGGERS WHERE TRIGGER_NAME='A_S_._T___TRIGGER'"), L"1");

    // The table as opened for writing sees the same keys, in key order.
    auto* table = dynamic_cast<ora_table*>(t.get());
    ASSERT_NE(table, nullptr);
    ASSERT_TRUE(table->indexes.find2(L"PK_T"));
    EXPECT_EQ(table->indexes.get_index(L"PK_T").fields, (std::vector<std::wstring>{L"K2", L"ID"}));
    ASSERT_TRUE(table->indexes.find2(L"IX_T"));
    EXPECT_EQ(table->indexes.get_index(L"IX_T").fields, (std::vector<std::wstring>{L"F8", L"D"}));
}

TEST_F(ora_target_test, create_table_text_for_a_mixed_schema)
{
    udb_schema s;
    s.push_back(make_column(L"ID", VT_I4, 4));
    s.push_back(make_column(L"NAME", VT_BSTR, 50, true, ole_variant(std::wstring(L"x"))));
    s.push_back(make_column(L"DOC", VT_BSTR, 0, true, ole_variant(std::wstring(L"d"))));
    t_ftd raw = make_column(L"RAWS", VT_ARRAY | VT_UI1, 0, true);
    s.push_back(raw);
    t_ftd custom = make_column(L"N", VT_I4, 4);
    custom.native_type = L"NUMBER(12,0)";
    s.push_back(custom);
    // A date function as the source default.
    s.push_back(
        make_column(L"STAMP", VT_DATE, 0, true, ole_variant(std::wstring(L"getdate()")), t_ftd::hint_date_function));
    udb_indexes none;
    ora_schema_initializer init(L"\"S\".\"X\"", s, none, false);
    EXPECT_EQ(init.get_create_table_sql(),
              L"CREATE TABLE \"S\".\"X\" (\"ID\" NUMBER(10,0), \"NAME\" NVARCHAR2(50)  DEFAULT 'x' NOT NULL, "
              L"\"DOC\" CLOB, \"RAWS\" BLOB, \"N\" NUMBER(12,0), \"STAMP\" TIMESTAMP DEFAULT sysdate NOT NULL)");
}

TEST_F(ora_target_test, identity_survives_an_overwrite_of_a_long_named_table)
{
    const std::wstring name = L"\"S\".\"ORDER_DETAIL_HISTORY_2019\"";
    for (int pass = 0; pass < 2; ++pass) {
        if (db->is_table_exist(name)) db->delete_tab(name);
        udb_schema s;
        t_ftd id = make_column(L"ID", VT_I4, 4, true);
        id.b_auto_num = true;
        s.push_back(id);
        s.push_back(make_column(L"V", VT_BSTR, 10));
        udb_indexes none;
        db->create_table(name, s, none);
        // A row without its identity value gets one from the trigger.
        run(L"INSERT INTO " + name + L" (\"V\") VALUES('a')");
        EXPECT_EQ(value(L"SELECT COUNT(*) FROM " + name + L" WHERE \"ID\" IS NOT NULL"), L"1") << "pass " << pass;
    }
    // Two sequences: the second run could not reuse the first name and took the next suffix.
    const auto seqs = rows(L"SELECT SEQUENCE_NAME FROM USER_SEQUENCES ORDER BY SEQUENCE_NAME");
    ASSERT_EQ(seqs.size(), 2u);
    EXPECT_NE(seqs[0][0], seqs[1][0]);
    for (const auto& r : seqs) EXPECT_LE(r[0].size(), 30u);
    EXPECT_EQ(seqs[0][0].substr(seqs[0][0].size() - 2), L"_0");
    EXPECT_EQ(seqs[1][0].substr(seqs[1][0].size() - 2), L"_1");
}

TEST_F(ora_target_test, tables_with_the_same_safe_name_keep_their_own_triggers)
{
    for (const wchar_t* n : {L"\"S\".\"A-B\"", L"\"S\".\"A_B\""}) {
        udb_schema s;
        t_ftd id = make_column(L"ID", VT_I4, 4, true);
        id.b_auto_num = true;
        s.push_back(id);
        s.push_back(make_column(L"V", VT_BSTR, 10));
        udb_indexes none;
        db->create_table(n, s, none);
    }
    EXPECT_EQ(value(L"SELECT COUNT(*) FROM USER_TRIGGERS"), L"2");
    for (const wchar_t* n : {L"\"S\".\"A-B\"", L"\"S\".\"A_B\""}) {
        run(std::wstring(L"INSERT INTO ") + n + L" (\"V\") VALUES('a')");
        EXPECT_EQ(value(std::wstring(L"SELECT COUNT(*) FROM ") + n + L" WHERE \"ID\" = 1"), L"1") << n;
    }
}

TEST_F(ora_target_test, no_privilege_for_a_sequence_is_reported_and_the_table_goes_on)
{
    std::vector<std::wstring> reported;
    db->error_sink.set_handler([&](const tk_exception& e, const std::wstring& context) {
        EXPECT_EQ(e.level, 0);
        EXPECT_STREQ(e.what(), "Insufficient privileges to create sequence.\nAuto increment will not be converted.");
        reported.push_back(context);
    });
    oci_test_inject_error("CREATE SEQUENCE", 1031);
    udb_schema s;
    t_ftd id = make_column(L"ID", VT_I4, 4, true);
    id.b_auto_num = true;
    s.push_back(id);
    s.push_back(make_column(L"V", VT_BSTR, 10));
    udb_indexes ix;
    ix.push_back(udb_index(L"PK_P", true, true, {L"ID"}));
    std::unique_ptr<udb_recordset> t = db->create_table(L"\"S\".\"P\"", s, ix);
    oci_test_clear_injections();
    ASSERT_EQ(reported.size(), 1u);
    EXPECT_EQ(reported[0], L"\"S\".\"P\"");
    EXPECT_TRUE(db->is_table_exist(L"S.P"));
    EXPECT_EQ(value(L"SELECT COUNT(*) FROM ALL_CONSTRAINTS WHERE OWNER='S' AND TABLE_NAME='P' AND "
                    L"CONSTRAINT_TYPE='P'"),
              L"1");
    EXPECT_EQ(value(L"SELECT COUNT(*) FROM USER_TRIGGERS"), L"0");
}

TEST_F(ora_target_test, renamed_columns_reach_the_names_map_and_an_existing_table_is_only_opened)
{
    udb_schema s;
    s.push_back(make_column(L"1st col", VT_I4, 4));
    s.push_back(make_column(L"b$", VT_I4, 4));
    udb_indexes none;
    db->b_uppercase = true;
    db->create_table(L"\"S\".\"M\"", s, none);
    EXPECT_EQ(db->names_map.get_fn_mapped_name(L"\"S\".\"M\"", L"1st col", true), L"A1ST COL");
    EXPECT_EQ(db->names_map.get_fn_mapped_name(L"\"S\".\"M\"", L"b$", true), L"B_");
    // Creating it again runs no DDL: an injected failure of CREATE TABLE stays unused.
    oci_test_inject_error("CREATE TABLE", 955);
    EXPECT_NO_THROW(db->create_table(L"\"S\".\"M\"", s, none));
    oci_test_clear_injections();
}

TEST_F(ora_target_test, identity_names_of_a_non_ascii_table_fit_in_30_bytes)
{
    const std::wstring name = L"\"S\".\"ÜBERSICHT_DER_ÄNDERUNGEN\"";
    udb_schema s;
    t_ftd id = make_column(L"ID", VT_I4, 4, true);
    id.b_auto_num = true;
    s.push_back(id);
    s.push_back(make_column(L"V", VT_BSTR, 10));
    udb_indexes none;
    db->create_table(name, s, none);
    run(L"INSERT INTO " + name + L" (\"V\") VALUES('a')");
    EXPECT_EQ(value(L"SELECT \"ID\" FROM " + name), L"1");
}

TEST_F(ora_target_test, a_key_too_long_for_the_target_is_reported_and_the_table_keeps_its_rows)
{
    std::vector<std::wstring> reported;
    db->error_sink.set_handler([&](const tk_exception& e, const std::wstring& context) {
        EXPECT_NE(std::string(e.what()).find("ORA-01450: maximum key length (6398) exceeded"), std::string::npos)
            << e.what();
        reported.push_back(context);
    });
    udb_schema s;
    s.push_back(make_column(L"A", VT_BSTR, 2000, true));
    s.push_back(make_column(L"B", VT_BSTR, 2000, true));
    s.push_back(make_column(L"C", VT_BSTR, 2000));
    s.push_back(make_column(L"N", VT_I4, 4, true));
    udb_indexes ix;
    ix.push_back(udb_index(L"PK_L", true, true, {L"A", L"B"}));
    ix.push_back(udb_index(L"UX_L", true, false, {L"B", L"C"}));
    ix.push_back(udb_index(L"IX_L", false, false, {L"N"}));
    std::unique_ptr<udb_recordset> t = db->create_table(L"\"S\".\"L\"", s, ix);
    ASSERT_NE(t, nullptr);
    ASSERT_EQ(reported.size(), 2u);
    EXPECT_EQ(reported[0], L"\"S\".\"L\"");
    EXPECT_EQ(value(L"SELECT COUNT(*) FROM ALL_CONSTRAINTS WHERE OWNER='S' AND TABLE_NAME='L'"), L"3");
    EXPECT_EQ(value(L"SELECT INDEX_NAME FROM ALL_INDEXES WHERE TABLE_NAME='L'"), L"IX_L");
    run(L"INSERT INTO \"S\".\"L\" VALUES('a', 'b', 'c', 1)");
    run(L"INSERT INTO \"S\".\"L\" VALUES('a', 'b', 'c', 2)");
    EXPECT_EQ(value(L"SELECT COUNT(*) FROM \"S\".\"L\""), L"2");
}

TEST_F(ora_target_test, national_text_fits_the_national_character_set_of_the_target)
{
    // Without the NLS parameters the service has AL16UTF16's two bytes a character.
    EXPECT_EQ(engine->national_char_bytes, ora_engine::k_al16utf16_bytes);
    struct case_t {
        uint32_t width;
        uint32_t size;
        const wchar_t* type;
        bool indexed;
    };
    const case_t cases[] = {
        {ora_engine::k_al16utf16_bytes, 2000, L"NVARCHAR2(2000) ", true},
        {ora_engine::k_al16utf16_bytes, 2001, L"CLOB", false},
        {ora_engine::k_utf8_bytes, 1333, L"NVARCHAR2(1333) ", true},
        {ora_engine::k_utf8_bytes, 1334, L"CLOB", false},
        {ora_engine::k_utf8_bytes, 2000, L"CLOB", false},
        {ora_engine::k_utf8_bytes, 4000, L"CLOB", false},
    };
    for (const auto& c : cases) {
        engine->national_char_bytes = c.width;
        const t_ftd col = make_column(L"T", VT_BSTR, c.size);
        EXPECT_EQ(get_ora_native_type(col, false), c.type) << c.width << "/" << c.size;
        EXPECT_EQ(ora_is_lob_stored(col), !c.indexed) << c.width << "/" << c.size;
        EXPECT_EQ(ora_indexes_initializer::can_be_part_of_index(col), c.indexed) << c.width << "/" << c.size;
    }
    // A table with an index on such a column is made with its rows' room, the index left out and said so.
    engine->national_char_bytes = ora_engine::k_utf8_bytes;
    udb_schema s;
    s.push_back(make_column(L"ID", VT_I4, 4, true));
    s.push_back(make_column(L"WIDE", VT_BSTR, 2000));
    udb_indexes ix;
    ix.push_back(udb_index(L"IX_WIDE", false, false, {L"WIDE"}));
    db->create_table(L"\"SYSTEM\".\"NAT\"", s, ix);
    EXPECT_EQ(value(L"SELECT DATA_TYPE FROM ALL_TAB_COLUMNS WHERE TABLE_NAME = 'NAT' AND COLUMN_NAME = 'WIDE'"),
              L"CLOB");
    const auto notes = db->take_notes();
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_NE(notes[0].find(L"Index 'IX_WIDE'"), std::wstring::npos);
    engine->national_char_bytes = ora_engine::k_al16utf16_bytes;
}
