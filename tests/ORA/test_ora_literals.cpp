// Every mapped type and literal goes into a column of its mapped type and reads back unchanged.
#include <gtest/gtest.h>
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

TEST_F(OraLiterals, TimeOnlyValuesKeepTheirTime)
{
    const t_ftd col(0, L"V", VT_DATE, false, false, ole_variant(), 3, L"");
    exec(L"CREATE TABLE TM (V " + get_ora_native_type(col, false) + L", W " + get_ora_native_type(col, false) + L")");
    exec(L"INSERT INTO TM (V, W) VALUES (" + to_oracle_str(L"08:30:15", VT_DATE, true) + L", " +
         to_oracle_str(L"23:59:58.125", VT_DATE, true) + L")");
    ora_query_results rs(0, L"SELECT V, W FROM TM");
    ASSERT_FALSE(rs.is_eof());
    udb_record* r = rs.get_item();
    ASSERT_NE(r, nullptr);
    SYSTEMTIME v{}, w{};
    r->at(0).get_systemtime(v);
    r->at(1).get_systemtime(w);
    EXPECT_EQ(v.wHour, 8);
    EXPECT_EQ(v.wMinute, 30);
    EXPECT_EQ(v.wSecond, 15);
    EXPECT_EQ(w.wHour, 23);
    EXPECT_EQ(w.wSecond, 58);
    EXPECT_EQ(w.wMilliseconds, 0); // a DATE column keeps whole seconds
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
