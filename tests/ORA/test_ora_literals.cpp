// Every mapped type and literal goes into a column of its mapped type and reads back unchanged.
#include <gtest/gtest.h>

#include "OLE/ole_date.h"
#include "ORA/ora_query_results.h"
#include "ORA/ora_util.h"
#include "UDB/udb_field.h"
#include "tests/ORA/ora_test_server.h"

namespace {

struct lit_case {
    VARTYPE vt;
    uint32_t size;
    uint32_t hint;
    std::wstring value;    // the value as the model prints it
    std::wstring expected; // read back, as text
};

} // namespace

using OraLiterals = ora_server_test;

TEST_F(OraLiterals, RoundTripThroughMappedColumns)
{
    const lit_case cases[] = {
        {VT_I2, 0, 0, L"-32768", L""},
        {VT_UI1, 0, 0, L"255", L""},
        {VT_I4, 0, 0, L"-2147483647", L""},
        {VT_UI2, 0, 0, L"65535", L""},
        {VT_INT, 0, 0, L"7", L""},
        {VT_BOOL, 0, 0, L"1", L""},
        {VT_I1, 0, 0, L"-7", L""},
        {VT_I8, 0, 0, L"-123456789012", L""},
        {VT_UI4, 0, 0, L"4294967295", L""},
        {VT_UI8, 0, 0, L"18446744073709551615", L""},
        {VT_UINT, 0, 0, L"4000000000", L""},
        {VT_R8, 0, 0, L"12.5", L""},
        {VT_R4, 0, 0, L"-0.25", L""},
        {VT_R8, 0, 0, L"1.2500000000000000e+001", L""},
        {VT_R4, 0, 0, L"5.000000e-001", L""},
        {VT_CY, 0, 0, L"1234.5678", L""},
        {VT_DECIMAL, 0, t_ftd::decimal_hint(12, 3), L"-123456789.125", L""},
        {VT_DATE, 0, 0, L"2016-12-31 14:05:07", L"2016-12-31 14:05:07"},
        {VT_DATE, 0, 1, L"2016-12-31 14:05:07.250", L"2016-12-31 14:05:07.250"},
        {VT_DATE, 0, 2, L"2016-12-31", L"2016-12-31"},
        {VT_BSTR, 40, 0, L"O'Brien \u00fc\u4e2d \"q\"", L"O'Brien \u00fc\u4e2d \"q\""},
        {VT_BSTR, 2000, 0, std::wstring(2000, L'x'), std::wstring(2000, L'x')},
        {VT_BSTR, 0, 0, L"clob text \u00e9", L"clob text \u00e9"},
        {VT_BSTR, 0, 10, L"long text \u00e9", L"long text \u00e9"},
        {VT_BSTR, 0, 11, L"<a b='1'/>", L"<a b='1'/>"},
        {VT_BSTR, 38, 1, L"{6F9619FF-8B86-D011-B42D-00C04FC964FF}", L"{6F9619FF-8B86-D011-B42D-00C04FC964FF}"},
        {VT_LPWSTR, 10, 0, L"wide", L"wide"},
        {65, 16, 0, L"0x00FF10AB", L"0x00FF10AB"},
        {0x2011, 4, 0, L"0x0102", L"0x0102"},
        {65, 0, 0, L"0xCAFE", L"0xCAFE"},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(n);
        const std::wstring table = L"L" + std::to_wstring(n++);
        const t_ftd col(c.size, L"V", c.vt, false, false, ole_variant(), c.hint, L"");
        exec(L"CREATE TABLE " + table + L" (V " + get_ora_native_type(col, false) + L")");
        const std::wstring insert =
            L"INSERT INTO " + table + L" (V) VALUES (" + to_oracle_str(c.value, c.vt, true) + L")";
        SCOPED_TRACE(insert);
        ASSERT_NO_THROW(exec(insert));
        ora_query_results rs(0, L"SELECT V FROM " + table);
        ASSERT_FALSE(rs.is_eof());
        udb_record* r = rs.get_item();
        ASSERT_NE(r, nullptr);
        std::wstring got = r->at(0).to_wstring();
        if (c.vt == VT_DATE) {
            // Compare calendar parts: the model prints milliseconds unpadded.
            SYSTEMTIME st{};
            r->at(0).get_systemtime(st);
            auto pad = [](int v, size_t w) {
                std::wstring t = std::to_wstring(v);
                return std::wstring(t.size() < w ? w - t.size() : 0, L'0') + t;
            };
            got = pad(st.wYear, 4) + L"-" + pad(st.wMonth, 2) + L"-" + pad(st.wDay, 2) + L" " + pad(st.wHour, 2) +
                  L":" + pad(st.wMinute, 2) + L":" + pad(st.wSecond, 2) + L"." + pad(st.wMilliseconds, 3);
            std::wstring want = c.expected.size() == 10 ? c.expected + L" 00:00:00" : c.expected;
            if (want.size() == 19) want += L".000";
            EXPECT_EQ(got, want);
        } else if (c.expected.empty()) {
            // Numbers: the value, whatever type the column reads back as.
            if (c.vt == VT_DECIMAL) {
                EXPECT_EQ(r->at(0).get_type(), VT_DECIMAL);
            }
            EXPECT_DOUBLE_EQ(r->at(0).to_double(), std::stod(c.value));
        } else {
            EXPECT_EQ(got, c.expected);
        }
    }
}

TEST_F(OraLiterals, TimeOnlyValuesKeepTheirTimeAndEveryFractionDigit)
{
    // A time(7): its text is "hh:mm:ss.fffffff", 16 characters.
    const t_ftd col(16, L"V", VT_DATE, false, false, ole_variant(), 3, L"");
    EXPECT_EQ(get_ora_native_type(col, false), L"TIMESTAMP(7)");
    exec(L"CREATE TABLE TM (V " + get_ora_native_type(col, false) + L", W " + get_ora_native_type(col, false) +
         L", X " + get_ora_native_type(col, false) + L")");
    SYSTEMTIME fine{};
    fine.wHour = 13;
    fine.wMinute = 45;
    fine.wSecond = 12;
    fine.wMilliseconds = 123;
    const udb_field x(L"X", 16, ole_variant(fine, 456700));
    exec(L"INSERT INTO TM (V, W, X) VALUES (" + to_oracle_str(L"08:30:15", VT_DATE, true) + L", " +
         to_oracle_str(L"23:59:58.1254567", VT_DATE, true) + L", " + to_oracle_str(&x, true) + L")");
    const auto got = rows(L"SELECT V, W, X FROM TM");
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0][0], L"1900-01-01 08:30:15");
    EXPECT_EQ(got[0][1], L"1900-01-01 23:59:58.1254567");
    EXPECT_EQ(got[0][2], L"1900-01-01 13:45:12.1234567");
}

TEST_F(OraLiterals, TimestampsKeepEveryFractionDigitOfTheirColumn)
{
    // datetime2(7) is 27 characters, datetime 23, datetime2(0) 19; a size that says nothing keeps Oracle's default.
    const std::pair<uint32_t, const wchar_t*> types[] = {
        {27, L"TIMESTAMP(7)"}, {23, L"TIMESTAMP(3)"}, {19, L"TIMESTAMP(0)"}, {29, L"TIMESTAMP(9)"},
        {0, L"TIMESTAMP"},     {16, L"TIMESTAMP"},    {20, L"TIMESTAMP"},    {30, L"TIMESTAMP"}};
    for (const auto& [size, type] : types)
        EXPECT_EQ(get_ora_native_type(t_ftd(size, L"T", VT_DATE, false, false, ole_variant(), 1, L""), false), type)
            << size;
    EXPECT_EQ(get_ora_native_type(t_ftd(27, L"T", VT_DATE, false, false, ole_variant(), 1, L""), true), L"TIMESTAMP");
    EXPECT_EQ(get_ora_native_type(t_ftd(10, L"T", VT_DATE, false, false, ole_variant(), 2, L""), false), L"DATE");

    exec(L"CREATE TABLE TS (T TIMESTAMP(7), U TIMESTAMP(9))");
    const wchar_t* texts[] = {L"0001-01-01 00:00:00.0000001", L"2024-02-29 13:45:12.1234567",
                              L"9999-12-31 23:59:59.9999999"};
    for (const wchar_t* text : texts) {
        const udb_field f(L"T", 27, ole_date(std::wstring(text)).to_variant());
        exec(L"INSERT INTO TS (T, U) VALUES (" + to_oracle_str(&f, true) + L", " + to_oracle_str(text, VT_DATE, true) +
             L")");
    }
    const auto got = rows(L"SELECT T, U FROM TS ORDER BY T");
    ASSERT_EQ(got.size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(got[i][0], texts[i]);
        EXPECT_EQ(got[i][1], texts[i]);
    }
    // Compared as the values they are, whatever their scales: each finds its own row only.
    auto count = [&](const std::wstring& where) {
        return std::stod(rows(L"SELECT COUNT(*) FROM TS WHERE " + where)[0][0]);
    };
    EXPECT_EQ(count(L"T = U"), 3);
    const std::wstring picture = L"', 'YYYY-MM-DD HH24:MI:SS.FF')";
    EXPECT_EQ(count(L"T = to_timestamp('2024-02-29 13:45:12.1234567" + picture), 1);
    EXPECT_EQ(count(L"T = to_timestamp('2024-02-29 13:45:12.1234568" + picture), 0);
    EXPECT_EQ(count(L"T > to_timestamp('2024-02-29 13:45:12.1234566" + picture), 2);
    EXPECT_EQ(count(L"T < to_timestamp('0001-01-01 00:00:00.0000002" + picture), 1);
}

TEST_F(OraLiterals, TextHoldingAGuidKeywordLandsAsItWas)
{
    const t_ftd col(60, L"G", VT_BSTR, false, false, ole_variant(), 0, L"");
    exec(L"CREATE TABLE G (G " + get_ora_native_type(col, false) + L")");
    const std::wstring text = L"guid{00019FF0-8B86-D011-B42D-00C04FC964FF}";
    udb_field f(L"G", 60, ole_variant(text));
    exec(L"INSERT INTO G (G) VALUES (" + to_oracle_str(&f, true) + L")");
    auto got = rows(L"SELECT G FROM G");
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0][0], text);
}

TEST_F(OraLiterals, DefaultsAreAcceptedByTheServer)
{
    const t_ftd i(0, L"I", VT_I4, false, false, ole_variant(std::wstring(L"42")), 0, L"");
    const t_ftd s(10, L"S", VT_BSTR, false, false, ole_variant(std::wstring(L"it's")), 0, L"");
    const t_ftd d(0, L"D", VT_DATE, false, false, ole_variant(std::wstring(L"getdate()")), 9, L"");
    const t_ftd t(0, L"T", VT_DATE, false, false, ole_variant(std::wstring(L"2001-02-03")), 0, L"");
    std::wstring ddl = L"CREATE TABLE DEF (K NUMBER(10,0)";
    for (const t_ftd* f : {&i, &s, &d, &t})
        ddl += L", " + f->name + L" " + get_ora_native_type(*f, false) + L" DEFAULT " + make_ora_def_val(f);
    exec(ddl + L")");
    exec(L"INSERT INTO DEF (K) VALUES (1)");
    auto got = rows(L"SELECT I, S, D, T FROM DEF");
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0][0], L"42");
    EXPECT_EQ(got[0][1], L"it's");
    EXPECT_NE(got[0][2], L"<null>");
    EXPECT_EQ(got[0][3], L"2001-02-03");
}
