// Text longer than a literal carries goes as a bind of its column's kind:
// LONG for a LONG column, character data for every other one, so that what
// the column holds arrives, and Oracle's ORA-01704 and ORA-01461 never come.
#include "ora_target_fixture.h"

#include "ORA/ora_table.h"
#include "platform/eora/eora_session.h"

namespace {

std::wstring repeat(wchar_t c, size_t n) { return std::wstring(n, c); }

udb_record record_of(int id, const std::wstring& column, const std::wstring& text)
{
    udb_record r;
    r.push_back(make_field(L"ID", ole_variant(id)));
    r.push_back(make_field(column, ole_variant(text)));
    return r;
}

TEST_F(ora_target_test, a_long_column_takes_2500_characters_of_5000_bytes_inserted_and_updated)
{
    udb_schema s;
    s.push_back(make_column(L"ID", VT_I4, 4, true));
    s.push_back(make_column(L"L", VT_BSTR, 0, false, ole_variant(), t_ftd::hint_bstr_long));
    udb_indexes ix;
    ix.push_back(udb_index(L"PK_LL", true, true, {L"ID"}));
    std::unique_ptr<udb_recordset> t = db->create_table(L"\"S\".\"LL\"", s, ix);
    ASSERT_EQ(value(L"SELECT DATA_TYPE FROM ALL_TAB_COLUMNS WHERE TABLE_NAME = 'LL' AND COLUMN_NAME = 'L'"), L"LONG");
    // Fewer characters than a literal's 4000, but more bytes.
    const std::wstring first = repeat(L'\u00e9', 2500);
    const std::wstring second = repeat(L'\u4e2d', 1400) + L"\U0001F642";
    udb_record r = record_of(1, L"L", first);
    t->append_record(&r);
    EXPECT_TRUE(value(L"SELECT \"L\" FROM \"S\".\"LL\" WHERE \"ID\" = 1") == first);
    udb_record u = record_of(1, L"L", second);
    t->update(&u);
    EXPECT_TRUE(value(L"SELECT \"L\" FROM \"S\".\"LL\" WHERE \"ID\" = 1") == second);
}

TEST_F(ora_target_test, a_varchar2_of_a_single_byte_database_takes_text_over_4000_utf8_bytes)
{
    // A WE8MSWIN1252 service: é is one byte there, two in UTF-8 and UTF-16.
    db.reset();
    engine.reset();
    const std::filesystem::path latin = dir / "latin";
    std::filesystem::create_directories(latin);
    eora::session::create_service((latin / "LATIN.db").string(), "manager", "WE8MSWIN1252");
    engine = std::make_unique<ora_engine>();
    engine->b_owned_by_user = false;
    db = engine->open_db(L"file:" + (latin / "LATIN").wstring(), L"SYSTEM", L"manager");
    db->b_array_insert = false;
    db->create_schema(L"S");
    run(L"CREATE TABLE \"S\".\"LV\" (\"ID\" NUMBER(10) PRIMARY KEY, \"V\" VARCHAR2(4000))");
    auto t = std::make_unique<ora_table>(db.get(), L"S.LV", nullptr, 0);
    const std::wstring text = repeat(L'\u00e9', 2500) + L" fin";
    udb_record r = record_of(1, L"V", text);
    t->append_record(&r);
    EXPECT_TRUE(value(L"SELECT \"V\" FROM \"S\".\"LV\" WHERE \"ID\" = 1") == text);
    const std::wstring other = repeat(L'\u00fc', 3999);
    udb_record u = record_of(1, L"V", other);
    t->update(&u);
    EXPECT_TRUE(value(L"SELECT \"V\" FROM \"S\".\"LV\" WHERE \"ID\" = 1") == other);
}

} // namespace

namespace {

TEST_F(ora_target_test, national_text_keeps_what_a_single_byte_database_lacks_row_by_row_and_in_arrays)
{
    db.reset();
    engine.reset();
    const std::filesystem::path latin = dir / "latin";
    std::filesystem::create_directories(latin);
    eora::session::create_service((latin / "LATIN.db").string(), "manager", "WE8MSWIN1252");
    engine = std::make_unique<ora_engine>();
    engine->b_owned_by_user = false;
    db = engine->open_db(L"file:" + (latin / "LATIN").wstring(), L"SYSTEM", L"manager");
    db->create_schema(L"S");
    run(L"CREATE TABLE \"S\".\"NT\" (\"ID\" NUMBER(10), \"N\" NVARCHAR2(100))");
    const std::wstring text = L"\u6f22\u5b57 \u0436 caf\u00e9 \U0001F600";
    for (bool array_insert : {false, true}) {
        SCOPED_TRACE(array_insert);
        db->b_array_insert = array_insert;
        {
            auto t = std::make_unique<ora_table>(db.get(), L"S.NT", nullptr, ora_table::mode_no_indexes);
            udb_record r = record_of(array_insert ? 2 : 1, L"N", text);
            t->append_record(&r);
        }
        EXPECT_TRUE(value(L"SELECT \"N\" FROM \"S\".\"NT\" WHERE \"ID\" = " +
                          std::wstring(array_insert ? L"2" : L"1")) == text);
    }
}

} // namespace

namespace {

TEST_F(ora_target_test, the_array_insert_gives_a_long_column_its_whole_value)
{
    db->b_array_insert = true;
    udb_schema s;
    s.push_back(make_column(L"ID", VT_I4, 4, true));
    s.push_back(make_column(L"L", VT_BSTR, 0, false, ole_variant(), t_ftd::hint_bstr_long));
    udb_indexes none;
    // More characters than a character bind of 4000 holds.
    const std::wstring text = repeat(L'\u00e9', 2500) + repeat(L'x', 3000) + L" end";
    {
        std::unique_ptr<udb_recordset> t = db->create_table(L"\"S\".\"AL\"", s, none);
        ASSERT_EQ(value(L"SELECT DATA_TYPE FROM ALL_TAB_COLUMNS WHERE TABLE_NAME = 'AL' AND COLUMN_NAME = 'L'"),
                  L"LONG");
        udb_record r = record_of(1, L"L", text);
        t->append_record(&r);
        udb_record small = record_of(2, L"L", L"short");
        t->append_record(&small);
    }
    EXPECT_TRUE(value(L"SELECT \"L\" FROM \"S\".\"AL\" WHERE \"ID\" = 1") == text);
    EXPECT_EQ(value(L"SELECT \"L\" FROM \"S\".\"AL\" WHERE \"ID\" = 2"), L"short");
}

} // namespace
