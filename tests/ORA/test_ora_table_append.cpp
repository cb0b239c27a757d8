// Rows written through ora_table and read back value by value.
#include "ora_target_fixture.h"

#include <fstream>
#include <regex>

#include "ORA/ora_exception.h"
#include "ORA/ora_table.h"
#include "TK/tk_exception.h"
#include "TK/tk_logger.h"
#include "platform/eora/eora_session.h"
#include "platform/oci/oci.h"

namespace {

SYSTEMTIME when(int y, int mo, int d, int h, int mi, int s, int ms)
{
    SYSTEMTIME st{};
    st.wYear = static_cast<WORD>(y);
    st.wMonth = static_cast<WORD>(mo);
    st.wDay = static_cast<WORD>(d);
    st.wHour = static_cast<WORD>(h);
    st.wMinute = static_cast<WORD>(mi);
    st.wSecond = static_cast<WORD>(s);
    st.wMilliseconds = static_cast<WORD>(ms);
    return st;
}

ole_variant bytes(const std::vector<unsigned char>& b)
{
    ole_variant v;
    v = b;
    return v;
}

std::vector<unsigned char> bytes_of(const udb_field& f)
{
    BYTE* p = nullptr;
    const size_t n = f.get_bytes(&p);
    return n > 0 && p ? std::vector<unsigned char>(p, p + n) : std::vector<unsigned char>();
}

bool is_null(const udb_field& f) { return f.get_type() == VT_EMPTY || f.get_type() == VT_NULL; }

std::wstring long_text(size_t n)
{
    const std::wstring piece = L"Grüße, 漢字 ";
    std::wstring s;
    while (s.size() < n) s += piece;
    s += L"\U0001F642";
    return s;
}

std::vector<unsigned char> long_bytes(size_t n)
{
    std::vector<unsigned char> b(n);
    for (size_t i = 0; i < n; ++i) b[i] = static_cast<unsigned char>((i * 7 + 3) & 0xFF);
    return b;
}

udb_schema value_schema()
{
    udb_schema s;
    s.push_back(make_column(L"ID", VT_I4, 4, true));
    s.push_back(make_column(L"NAME", VT_BSTR, 40, true));
    s.push_back(make_column(L"NOTE", VT_BSTR, 100));
    s.push_back(make_column(L"DOC", VT_BSTR, 0));
    s.push_back(make_column(L"PIC", VT_BLOB, 0));
    s.push_back(make_column(L"RAWV", VT_BLOB, 8));
    s.push_back(make_column(L"AT", VT_DATE, 0, false, ole_variant(), t_ftd::hint_date_timestamp));
    s.push_back(make_column(L"D", VT_DATE, 0));
    s.push_back(make_column(L"AMT", VT_DECIMAL, 0, false, ole_variant(), t_ftd::decimal_hint(12, 3)));
    s.push_back(make_column(L"F8", VT_R8, 8));
    s.push_back(make_column(L"BIG", VT_I8, 8));
    return s;
}

struct row_values {
    int id;
    std::wstring name, note, doc;
    std::vector<unsigned char> pic, rawv;
    SYSTEMTIME at, d;
    std::wstring amt;
    double f8;
    long long big;
};

std::unique_ptr<udb_record> make_record(const row_values& v)
{
    auto r = std::make_unique<udb_record>();
    r->push_back(make_field(L"ID", ole_variant(v.id)));
    r->push_back(make_field(L"NAME", ole_variant(v.name)));
    r->push_back(make_field(L"NOTE", v.note.empty() ? ole_variant() : ole_variant(v.note)));
    r->push_back(make_field(L"DOC", v.doc.empty() ? ole_variant() : ole_variant(v.doc)));
    r->push_back(make_field(L"PIC", v.pic.empty() ? ole_variant() : bytes(v.pic)));
    r->push_back(make_field(L"RAWV", v.rawv.empty() ? ole_variant() : bytes(v.rawv)));
    r->push_back(make_field(L"AT", ole_variant(v.at)));
    r->push_back(make_field(L"D", ole_variant(v.d)));
    const ole_variant amt = ole_variant::from_wstring(v.amt, VT_DECIMAL);
    r->push_back(make_field(L"AMT", amt));
    r->push_back(make_field(L"F8", ole_variant(v.f8)));
    r->push_back(make_field(L"BIG", ole_variant(static_cast<int64_t>(v.big))));
    return r;
}

std::vector<row_values> sample_rows()
{
    return {
        {1,
         L"plain",
         L"note",
         L"short clob",
         {1, 2, 3},
         {0, 255, 16},
         when(2020, 1, 31, 8, 5, 9, 250),
         when(2021, 2, 28, 23, 59, 58, 0),
         L"1234.567",
         0.5,
         9007199254740993LL},
        {2,
         L"",
         L"",
         long_text(70000),
         long_bytes(70000),
         {},
         when(1999, 12, 31, 0, 0, 0, 1),
         when(2000, 1, 1, 0, 0, 0, 0),
         L"-0.001",
         -1.25e10,
         -5},
        {3,
         L"Ünïcødé 漢字 \U0001F642",
         L"it's \"quoted\"",
         L"",
         {},
         {7},
         when(2024, 2, 29, 12, 30, 45, 999),
         when(2024, 2, 29, 12, 30, 45, 0),
         L"0",
         1e-7,
         0},
    };
}

void check_rows(ora_target_test& t, ora_database& db, const std::wstring& name, const std::vector<row_values>& sent)
{
    std::unique_ptr<udb_recordset> rs = db.get_table(name, L"SELECT * FROM " + name + L" ORDER BY \"ID\"", 1);
    size_t n = 0;
    while (!rs->is_eof()) {
        udb_record* r = rs->get_item();
        ASSERT_NE(r, nullptr);
        ASSERT_LT(n, sent.size());
        const row_values& v = sent[n];
        SCOPED_TRACE("row " + std::to_string(v.id));
        EXPECT_EQ((*r)[0].to_long(), v.id);
        // The empty string is NULL in Oracle.
        if (v.name.empty())
            EXPECT_TRUE(is_null((*r)[1]));
        else
            EXPECT_EQ((*r)[1].to_wstring(), v.name);
        if (v.note.empty())
            EXPECT_TRUE(is_null((*r)[2]));
        else
            EXPECT_EQ((*r)[2].to_wstring(), v.note);
        if (v.doc.empty())
            EXPECT_TRUE(is_null((*r)[3]));
        else
            EXPECT_TRUE((*r)[3].to_wstring() == v.doc) << "CLOB differs, length " << (*r)[3].to_wstring().size();
        EXPECT_EQ(bytes_of((*r)[4]), v.pic);
        EXPECT_EQ(bytes_of((*r)[5]), v.rawv);
        SYSTEMTIME at{}, d{};
        (*r)[6].get_systemtime(at);
        (*r)[7].get_systemtime(d);
        EXPECT_EQ(at.wYear, v.at.wYear);
        EXPECT_EQ(at.wDay, v.at.wDay);
        EXPECT_EQ(at.wSecond, v.at.wSecond);
        EXPECT_EQ(at.wMilliseconds, v.at.wMilliseconds);
        EXPECT_EQ(d.wHour, v.d.wHour);
        EXPECT_EQ(d.wSecond, v.d.wSecond);
        const ole_variant amt = ole_variant::from_wstring(v.amt, VT_DECIMAL);
        EXPECT_EQ((*r)[8].to_double(), amt.to_double());
        EXPECT_DOUBLE_EQ((*r)[9].to_double(), v.f8);
        // NUMBER without precision reads back as a double: compare on the server, exactly.
        EXPECT_EQ(t.value(L"SELECT COUNT(*) FROM " + name + L" WHERE \"ID\" = " + std::to_wstring(v.id) +
                          L" AND \"BIG\" = " + std::to_wstring(v.big)),
                  L"1");
        rs->next();
        ++n;
    }
    EXPECT_EQ(n, sent.size());
}

} // namespace

TEST_F(ora_target_test, every_value_kind_reads_back_unchanged)
{
    udb_schema s = value_schema();
    udb_indexes ix;
    ix.push_back(udb_index(L"PK_V", true, true, {L"ID"}));
    std::unique_ptr<udb_recordset> t = db->create_table(L"\"S\".\"V\"", s, ix);
    const auto sent = sample_rows();
    for (const auto& v : sent) {
        auto rec = make_record(v);
        t->append_record(rec.get());
    }
    t.reset();
    check_rows(*this, *db, L"\"S\".\"V\"", sent);
    // The empty NAME dropped the NOT NULL of its column.
    EXPECT_EQ(value(L"SELECT NULLABLE FROM ALL_TAB_COLUMNS WHERE OWNER='S' AND TABLE_NAME='V' AND COLUMN_NAME='NAME'"),
              L"Y");
}

TEST_F(ora_target_test, a_second_null_in_a_not_null_column_keeps_its_row)
{
    udb_schema s;
    s.push_back(make_column(L"ID", VT_I4, 4, true));
    s.push_back(make_column(L"D", VT_DATE, 0, true));
    s.push_back(make_column(L"V", VT_BSTR, 20, true));
    udb_indexes ix;
    ix.push_back(udb_index(L"PK_N", true, true, {L"ID"}));
    std::unique_ptr<udb_recordset> t = db->create_table(L"\"S\".\"N\"", s, ix);
    for (int i = 1; i <= 3; ++i) {
        udb_record r;
        r.push_back(make_field(L"ID", ole_variant(i)));
        r.push_back(make_field(L"D", ole_variant()));
        r.push_back(make_field(L"V", ole_variant(std::wstring())));
        t->append_record(&r);
    }
    EXPECT_EQ(value(L"SELECT COUNT(*) FROM \"S\".\"N\""), L"3");
    // The type stays what it was: the drop does not restate it.
    EXPECT_EQ(value(L"SELECT DATA_TYPE FROM ALL_TAB_COLUMNS WHERE OWNER='S' AND TABLE_NAME='N' AND COLUMN_NAME='D'"),
              L"DATE");
    // A NULL key is refused by the server and reported for the record.
    udb_record bad;
    bad.push_back(make_field(L"ID", ole_variant()));
    bad.push_back(make_field(L"D", ole_variant()));
    bad.push_back(make_field(L"V", ole_variant(std::wstring(L"x"))));
    EXPECT_THROW(t->append_record(&bad), ora_exception);
}

TEST_F(ora_target_test, records_match_columns_by_derived_name)
{
    udb_schema s;
    s.push_back(make_column(L"ID", VT_I4, 4));
    s.push_back(make_column(L"NAME", VT_BSTR, 20));
    udb_indexes none;
    db->b_uppercase = true;
    std::unique_ptr<udb_recordset> t = db->create_table(L"\"S\".\"F\"", s, none);
    // More fields than columns, in another order and case: the extra one is ignored.
    udb_record more;
    more.push_back(make_field(L"extra", ole_variant(7)));
    more.push_back(make_field(L"name", ole_variant(std::wstring(L"n1"))));
    more.push_back(make_field(L"id", ole_variant(1)));
    t->append_record(&more);
    // Fewer fields: only those are written.
    udb_record fewer;
    fewer.push_back(make_field(L"id", ole_variant(2)));
    t->append_record(&fewer);
    EXPECT_EQ(rows(L"SELECT \"ID\", \"NAME\" FROM \"S\".\"F\" ORDER BY \"ID\""),
              (std::vector<std::vector<std::wstring>>{{L"1", L"n1"}, {L"2", L"<NULL>"}}));
    // A field the table lacks.
    udb_record wrong;
    wrong.push_back(make_field(L"nope", ole_variant(3)));
    try {
        t->append_record(&wrong);
        FAIL() << "no exception";
    } catch (const ora_exception&) {
        FAIL() << "not an Oracle error";
    } catch (const tk_exception& e) {
        EXPECT_STREQ(e.what(), "The structure of data source does not conform to the destination table.");
        EXPECT_EQ(e.level, 0);
    }
}

TEST_F(ora_target_test, out_of_range_floats_and_long_columns)
{
    udb_schema s;
    s.push_back(make_column(L"ID", VT_I4, 4));
    s.push_back(make_column(L"F", VT_R8, 8));
    s.push_back(make_column(L"G", VT_R8, 8, true, ole_variant(std::wstring(L"2.5"))));
    s.push_back(make_column(L"L", VT_BSTR, 0, false, ole_variant(), t_ftd::hint_bstr_long));
    udb_indexes none;
    std::unique_ptr<udb_recordset> t = db->create_table(L"\"S\".\"R\"", s, none);
    udb_record r;
    r.push_back(make_field(L"ID", ole_variant(1)));
    r.push_back(make_field(L"F", ole_variant(1e127)));
    r.push_back(make_field(L"G", ole_variant(-1e127)));
    r.push_back(make_field(L"L", ole_variant(std::wstring(L"long ünïcode text"))));
    // The row goes in; what it could not keep is reported for the record.
    try {
        t->append_record(&r);
        ADD_FAILURE() << "not reported";
    } catch (const ora_exception& e) {
        EXPECT_EQ(e.ora_number(), 1426u);
        EXPECT_EQ(e.level, 0);
        EXPECT_STREQ(e.what(),
                     "A number beyond the range of an Oracle NUMBER was not stored: \"F\" (1e+127, written "
                     "as NULL), \"G\" (-1e+127, written as 2.5000000000000000e+000)");
    }
    EXPECT_EQ(rows(L"SELECT \"F\", \"G\", \"L\" FROM \"S\".\"R\""),
              (std::vector<std::vector<std::wstring>>{{L"<NULL>", L"2.5", L"long ünïcode text"}}));
    // The largest and smallest magnitudes Oracle keeps go in unreported.
    udb_record edge;
    edge.push_back(make_field(L"ID", ole_variant(2)));
    edge.push_back(make_field(L"F", ole_variant(9.99999999999999e125)));
    edge.push_back(make_field(L"G", ole_variant(-1e-130)));
    EXPECT_NO_THROW(t->append_record(&edge));
    // 1E126 itself, and below 1E-130 where Oracle keeps zero: reported too.
    udb_record top;
    top.push_back(make_field(L"ID", ole_variant(4)));
    top.push_back(make_field(L"F", ole_variant(1e126)));
    EXPECT_THROW(t->append_record(&top), ora_exception);
    udb_record tiny;
    tiny.push_back(make_field(L"ID", ole_variant(3)));
    tiny.push_back(make_field(L"F", ole_variant(1e-200)));
    EXPECT_THROW(t->append_record(&tiny), ora_exception);
    EXPECT_EQ(value(L"SELECT COUNT(*) FROM \"S\".\"R\""), L"4");
    EXPECT_EQ(value(L"SELECT COUNT(*) FROM \"S\".\"R\" WHERE \"F\" IS NULL"), L"2");
}

TEST_F(ora_target_test, identity_moves_past_the_copied_values)
{
    udb_schema s;
    t_ftd id = make_column(L"ID", VT_I4, 4, true);
    id.b_auto_num = true;
    s.push_back(id);
    s.push_back(make_column(L"V", VT_BSTR, 10));
    udb_indexes ix;
    ix.push_back(udb_index(L"PK_I", true, true, {L"ID"}));
    std::unique_ptr<udb_recordset> t = db->create_table(L"\"S\".\"I\"", s, ix);
    for (int i : {3, 17, 41}) {
        udb_record r;
        r.push_back(make_field(L"ID", ole_variant(i)));
        r.push_back(make_field(L"V", ole_variant(std::wstring(L"c"))));
        t->append_record(&r);
    }
    dynamic_cast<ora_table&>(*t).flush();
    // The first row inserted after the copy does not collide with a copied key.
    run(L"INSERT INTO \"S\".\"I\" (\"V\") VALUES('new')");
    EXPECT_EQ(value(L"SELECT \"ID\" FROM \"S\".\"I\" WHERE \"V\"='new'"), L"42");
}

TEST_F(ora_target_test, the_last_rows_lobs_survive_the_end_of_the_session)
{
    udb_schema s;
    s.push_back(make_column(L"ID", VT_I4, 4));
    s.push_back(make_column(L"DOC", VT_BSTR, 0));
    s.push_back(make_column(L"PIC", VT_BLOB, 0));
    udb_indexes none;
    const std::wstring doc = long_text(40000);
    const std::vector<unsigned char> pic = long_bytes(66000);
    {
        std::unique_ptr<udb_recordset> t = db->create_table(L"\"S\".\"LOBS\"", s, none);
        udb_record r;
        r.push_back(make_field(L"ID", ole_variant(1)));
        r.push_back(make_field(L"DOC", ole_variant(doc)));
        r.push_back(make_field(L"PIC", bytes(pic)));
        t->append_record(&r);
    }
    // A new session: whatever the first one left uncommitted is gone.
    in_validator.reset();
    db.reset();
    engine.reset();
    engine = std::make_unique<ora_engine>();
    engine->b_owned_by_user = false;
    db = engine->open_db(L"file:" + dir.wstring(), L"SYSTEM", L"manager");
    std::unique_ptr<udb_recordset> rs = db->get_table(L"S.LOBS", L"SELECT \"DOC\", \"PIC\" FROM \"S\".\"LOBS\"", 1);
    ASSERT_FALSE(rs->is_eof());
    udb_record* r = rs->get_item();
    ASSERT_NE(r, nullptr);
    EXPECT_TRUE((*r)[0].to_wstring() == doc);
    EXPECT_EQ(bytes_of((*r)[1]), pic);
}

TEST_F(ora_target_test, decimals_beyond_the_decimal_arrive_with_every_digit)
{
    udb_schema s;
    s.push_back(make_column(L"ID", VT_I4, 4));
    s.push_back(make_column(L"D38", VT_DECIMAL, 0, false, ole_variant(), t_ftd::decimal_hint(38, 0)));
    s.push_back(make_column(L"D38S", VT_DECIMAL, 0, false, ole_variant(), t_ftd::decimal_hint(38, 10)));
    s.push_back(make_column(L"CODE", VT_BSTR, 20));
    udb_indexes none;
    std::unique_ptr<udb_recordset> t = db->create_table(L"\"S\".\"D\"", s, none);
    const std::wstring sent[][3] = {
        {L"-99999999999999999999999999999999999999", L"-9999999999999999999999999999.9999999999", L"0012"},
        {L"12345678901234567890123456789012345678", L"0.0000000001", L"-1.50"},
    };
    int id = 0;
    for (const auto& v : sent) {
        udb_record r;
        r.push_back(make_field(L"ID", ole_variant(++id)));
        // As the source reader keeps them: exact text.
        r.push_back(make_field(L"D38", ole_variant(v[0])));
        r.push_back(make_field(L"D38S", ole_variant(v[1])));
        r.push_back(make_field(L"CODE", ole_variant(v[2])));
        t->append_record(&r);
    }
    // Bare, as a number: a quoted text would be read with the session's number format.
    ora_table& table = dynamic_cast<ora_table&>(*t);
    const auto exact = make_field(L"D38S", ole_variant(std::wstring(L"-1.5")));
    EXPECT_EQ(table.get_fld_append_wstr(2, *exact, table.schema[2]), L"-1.5");
    EXPECT_EQ(table.get_fld_append_wstr(3, *exact, table.schema[3]), L"'-1.5'");
    // A value that fits a DECIMAL goes the usual way.
    udb_record r;
    r.push_back(make_field(L"ID", ole_variant(++id)));
    r.push_back(make_field(L"D38", ole_variant::from_wstring(L"-42", VT_DECIMAL)));
    r.push_back(make_field(L"D38S", ole_variant::from_wstring(L"3.25", VT_DECIMAL)));
    r.push_back(make_field(L"CODE", ole_variant(std::wstring(L"1e5"))));
    t->append_record(&r);
    // Compared as the server writes them, not through a double.
    EXPECT_EQ(rows(L"SELECT TO_CHAR(\"D38\"), TO_CHAR(\"D38S\"), \"CODE\" FROM \"S\".\"D\" ORDER BY \"ID\""),
              (std::vector<std::vector<std::wstring>>{
                  {sent[0][0], sent[0][1], L"0012"},
                  {sent[1][0], L".0000000001", L"-1.50"},
                  {L"-42", L"3.25", L"1e5"},
              }));
}

TEST_F(ora_target_test, dates_of_the_first_century_keep_their_year)
{
    udb_schema s;
    s.push_back(make_column(L"ID", VT_I4, 4));
    s.push_back(make_column(L"AT", VT_DATE, 0, false, ole_variant(), t_ftd::hint_date_timestamp));
    s.push_back(make_column(L"D", VT_DATE, 0));
    udb_indexes none;
    std::unique_ptr<udb_recordset> t = db->create_table(L"\"S\".\"Y\"", s, none);
    const SYSTEMTIME sent[][2] = {
        {when(1, 1, 1, 0, 0, 0, 0), when(1, 1, 1, 0, 0, 0, 0)},
        {when(16, 3, 4, 10, 20, 30, 5), when(49, 12, 31, 23, 59, 59, 0)},
        {when(99, 2, 28, 0, 0, 0, 1), when(75, 6, 1, 12, 0, 0, 0)},
    };
    int id = 0;
    for (const auto& v : sent) {
        udb_record r;
        r.push_back(make_field(L"ID", ole_variant(++id)));
        r.push_back(make_field(L"AT", ole_variant(v[0])));
        r.push_back(make_field(L"D", ole_variant(v[1])));
        t->append_record(&r);
    }
    t.reset();
    std::unique_ptr<udb_recordset> rs = db->get_table(L"\"S\".\"Y\"", L"SELECT * FROM \"S\".\"Y\" ORDER BY \"ID\"", 1);
    size_t n = 0;
    for (; !rs->is_eof() && n < std::size(sent); rs->next(), ++n) {
        udb_record* r = rs->get_item();
        ASSERT_NE(r, nullptr);
        for (int c = 0; c < 2; ++c) {
            SYSTEMTIME got{};
            (*r)[static_cast<size_t>(c) + 1].get_systemtime(got);
            const SYSTEMTIME& want = sent[n][c];
            SCOPED_TRACE("row " + std::to_string(n) + ", column " + std::to_string(c));
            EXPECT_EQ(got.wYear, want.wYear);
            EXPECT_EQ(got.wMonth, want.wMonth);
            EXPECT_EQ(got.wDay, want.wDay);
            EXPECT_EQ(got.wHour, want.wHour);
            EXPECT_EQ(got.wSecond, want.wSecond);
            EXPECT_EQ(got.wMilliseconds, c == 0 ? want.wMilliseconds : 0);
        }
    }
    EXPECT_EQ(n, std::size(sent));
}

TEST_F(ora_target_test, a_null_lob_arrives_as_null_and_an_empty_one_as_empty)
{
    udb_schema s;
    s.push_back(make_column(L"ID", VT_I4, 4));
    s.push_back(make_column(L"DOC", VT_BSTR, 0));
    s.push_back(make_column(L"PIC", VT_BLOB, 0));
    s.push_back(make_column(L"MUST", VT_BSTR, 0, true));
    udb_indexes none;
    std::unique_ptr<udb_recordset> t = db->create_table(L"\"S\".\"LN\"", s, none);
    struct sent_row {
        ole_variant doc, pic, must;
    };
    const sent_row sent[] = {
        {ole_variant(), ole_variant(), ole_variant(std::wstring(L"m"))},
        {ole_variant(std::wstring()), bytes({}), ole_variant(std::wstring(L"m"))},
        {ole_variant(std::wstring(L"text")), bytes({1, 2}), ole_variant()},
    };
    int id = 0;
    for (const auto& v : sent) {
        udb_record r;
        r.push_back(make_field(L"ID", ole_variant(++id)));
        r.push_back(make_field(L"DOC", v.doc));
        r.push_back(make_field(L"PIC", v.pic));
        r.push_back(make_field(L"MUST", v.must));
        t->append_record(&r);
    }
    t.reset();
    EXPECT_EQ(rows(L"SELECT \"ID\" FROM \"S\".\"LN\" WHERE \"DOC\" IS NULL"),
              (std::vector<std::vector<std::wstring>>{{L"1"}}));
    EXPECT_EQ(rows(L"SELECT \"ID\" FROM \"S\".\"LN\" WHERE \"PIC\" IS NULL"),
              (std::vector<std::vector<std::wstring>>{{L"1"}}));
    // The NULL in a NOT NULL LOB column dropped the constraint, as for any column.
    EXPECT_EQ(rows(L"SELECT \"ID\" FROM \"S\".\"LN\" WHERE \"MUST\" IS NULL"),
              (std::vector<std::vector<std::wstring>>{{L"3"}}));
    EXPECT_EQ(rows(L"SELECT \"DOC\" FROM \"S\".\"LN\" WHERE \"ID\" > 1 ORDER BY \"ID\""),
              (std::vector<std::vector<std::wstring>>{{L""}, {L"text"}}));
    EXPECT_EQ(value(L"SELECT COUNT(*) FROM \"S\".\"LN\" WHERE \"ID\" = 3 AND \"PIC\" IS NOT NULL"), L"1");
}

TEST_F(ora_target_test, floats_and_doubles_read_back_as_the_same_value)
{
    udb_schema s;
    s.push_back(make_column(L"ID", VT_I4, 4));
    s.push_back(make_column(L"R", VT_R4, 4));
    s.push_back(make_column(L"D", VT_R8, 8));
    udb_indexes none;
    std::unique_ptr<udb_recordset> t = db->create_table(L"\"S\".\"FL\"", s, none);
    const std::pair<float, double> sent[] = {
        {16777215.0f, 0.1},
        {0.1f, 1.0 / 3.0},
        {3.4028235e38f, -818573.973312},
        {-1.17549435e-38f, 9007199254740993.0},
        {1e-45f, 123456789012345678.0},
        {3.14159274f, 9.99999999999999e125},
        {-0.0f, -1e-130},
    };
    int id = 0;
    for (const auto& [f, d] : sent) {
        udb_record r;
        r.push_back(make_field(L"ID", ole_variant(++id)));
        r.push_back(make_field(L"R", ole_variant(f)));
        r.push_back(make_field(L"D", ole_variant(d)));
        t->append_record(&r);
    }
    t.reset();
    std::unique_ptr<udb_recordset> rs =
        db->get_table(L"\"S\".\"FL\"", L"SELECT \"R\", \"D\" FROM \"S\".\"FL\" ORDER BY \"ID\"", 1);
    size_t n = 0;
    for (; !rs->is_eof() && n < std::size(sent); rs->next(), ++n) {
        udb_record* r = rs->get_item();
        ASSERT_NE(r, nullptr);
        EXPECT_EQ(static_cast<float>((*r)[0].to_double()), sent[n].first) << "row " << n;
        EXPECT_EQ((*r)[1].to_double(), sent[n].second) << "row " << n;
    }
    EXPECT_EQ(n, std::size(sent));
    // The NUMBER holds the digits the source shows, not a longer binary expansion.
    EXPECT_EQ(rows(L"SELECT TO_CHAR(\"R\"), TO_CHAR(\"D\") FROM \"S\".\"FL\" WHERE \"ID\" <= 2 ORDER BY \"ID\""),
              (std::vector<std::vector<std::wstring>>{{L"16777215", L".1"}, {L".1", L".3333333333333333"}}));
}

TEST_F(ora_target_test, lob_values_in_changing_columns_from_row_to_row_each_reach_their_row)
{
    udb_schema s;
    s.push_back(make_column(L"ID", VT_I4, 4));
    s.push_back(make_column(L"DOC", VT_BSTR, 0));
    s.push_back(make_column(L"PIC", VT_BLOB, 0));
    s.push_back(make_column(L"MEMO", VT_BSTR, 0));
    udb_indexes none;
    std::unique_ptr<udb_recordset> t = db->create_table(L"\"S\".\"LC\"", s, none);
    // Which of the three LOB columns a row fills, by bit; the writer of one
    // row's columns serves the next rows only while they have the same.
    const int patterns[] = {7, 7, 1, 2, 4, 0, 5, 5, 3, 7, 6, 1, 1};
    auto doc_of = [](int id) { return L"doc " + std::to_wstring(id) + L" \u00e9\U0001F642"; };
    auto pic_of = [](int id) { return std::vector<unsigned char>{static_cast<unsigned char>(id), 0, 255}; };
    auto memo_of = [](int id) { return std::wstring(static_cast<size_t>(id) * 100, L'm'); };
    const std::string log_path = (dir / "sql.log").string();
    {
        // The statements sent are in the trace.
        tk_logger logger(log_path.c_str(), true, 2, false);
        int id = 0;
        for (int p : patterns) {
            ++id;
            udb_record r;
            r.push_back(make_field(L"ID", ole_variant(id)));
            r.push_back(make_field(L"DOC", p & 1 ? ole_variant(doc_of(id)) : ole_variant()));
            r.push_back(make_field(L"PIC", p & 2 ? bytes(pic_of(id)) : ole_variant()));
            r.push_back(make_field(L"MEMO", p & 4 ? ole_variant(memo_of(id)) : ole_variant()));
            t->append_record(&r);
        }
        t.reset();
    }
    // Each row's locators are selected for its own LOB columns only.
    std::vector<std::string> selects;
    std::ifstream log(log_path);
    const std::regex rowid(" \\(:rid = '[^']+'\\)");
    for (std::string line; std::getline(log, line);)
        if (line.rfind("Run SQL query: SELECT", 0) == 0)
            selects.push_back(std::regex_replace(line.substr(0, line.find('\r')), rowid, ""));
    std::vector<std::string> expected;
    for (int p : patterns) {
        std::string cols;
        for (const auto& [bit, name] : {std::pair{1, "\"DOC\""}, std::pair{2, "\"PIC\""}, std::pair{4, "\"MEMO\""}})
            if (p & bit) cols += (cols.empty() ? "" : ", ") + std::string(name);
        if (p) expected.push_back("Run SQL query: SELECT " + cols + " FROM \"S\".\"LC\" WHERE ROWID = :rid FOR UPDATE");
    }
    EXPECT_EQ(selects, expected);
    std::unique_ptr<udb_recordset> rs =
        db->get_table(L"S.LC", L"SELECT \"ID\", \"DOC\", \"PIC\", \"MEMO\" FROM \"S\".\"LC\" ORDER BY \"ID\"", 1);
    int n = 0;
    while (!rs->is_eof()) {
        udb_record* r = rs->get_item();
        ASSERT_NE(r, nullptr);
        ASSERT_LT(n, static_cast<int>(std::size(patterns)));
        const int p = patterns[n++];
        SCOPED_TRACE("row " + std::to_string(n));
        EXPECT_EQ((*r)[0].to_long(), n);
        if (p & 1)
            EXPECT_TRUE((*r)[1].to_wstring() == doc_of(n));
        else
            EXPECT_TRUE(is_null((*r)[1]));
        EXPECT_EQ(bytes_of((*r)[2]), p & 2 ? pic_of(n) : std::vector<unsigned char>());
        if (p & 4)
            EXPECT_TRUE((*r)[3].to_wstring() == memo_of(n));
        else
            EXPECT_TRUE(is_null((*r)[3]));
        rs->next();
    }
    EXPECT_EQ(n, static_cast<int>(std::size(patterns)));
}

// Text holding U+0000 goes as a bind: no statement text ever carries a NUL.
TEST_F(ora_target_test, text_holding_nul_is_bound_and_arrives_whole)
{
    udb_schema s;
    s.push_back(make_column(L"ID", VT_I4, 4, true));
    s.push_back(make_column(L"T", VT_BSTR, 40));
    s.push_back(make_column(L"L", VT_BSTR, 0));
    udb_indexes none;
    std::unique_ptr<udb_recordset> t = db->create_table(L"\"S\".\"Z\"", s, none);
    const std::wstring with_nul(L"a\0b'c\0", 6);
    // A statement whose text holds a NUL fails: this one must never be sent.
    oci_test_inject_error(std::string(1, '\0'), 1722);
    auto rec = std::make_unique<udb_record>();
    rec->push_back(make_field(L"ID", ole_variant(1)));
    rec->push_back(make_field(L"T", ole_variant(with_nul)));
    rec->push_back(make_field(L"L", ole_variant(with_nul + L"\u00e9")));
    EXPECT_NO_THROW(t->append_record(rec.get()));
    t.reset();
    oci_test_clear_injections();
    // Read through a session of its own: the engine's text fetch ends at a NUL.
    eora::session second((dir / "ORCL.db").string(), "SYSTEM", "manager");
    auto st = second.prepare("SELECT \"T\", \"L\" FROM \"S\".\"Z\"");
    eora::exec_result r = second.execute(*st, {});
    ASSERT_TRUE(r.cur);
    ASSERT_TRUE(r.cur->next());
    const std::vector<eora::value> row = r.cur->row();
    EXPECT_EQ(row.at(0).s, std::string("a\0b'c\0", 6));
    EXPECT_EQ(row.at(1).s, std::string("a\0b'c\0\xC3\xA9", 8));
    EXPECT_FALSE(r.cur->next());
}
