#include "MSS/mss_engine.h"
#include "MSS/odb_record.h"

#include <gtest/gtest.h>

#include "TK/tk_exception.h"

namespace {

DBCOLUMNINFO column(DBTYPE type, DBLENGTH size, const wchar_t* name = L"c")
{
    DBCOLUMNINFO c{};
    c.pwszName = const_cast<wchar_t*>(name);
    c.wType = type;
    c.ulColumnSize = size;
    return c;
}

} // namespace

TEST(OdbRecord, VartypesAndHintsOutsideThe2008Mode)
{
    struct row {
        DBTYPE in;
        VARTYPE vt;
        uint32_t hint;
    };
    const row table[] = {{DBTYPE_I2, VT_I2, 0},           {DBTYPE_I4, VT_I4, 0},
                         {DBTYPE_R4, VT_R4, 0},           {DBTYPE_R8, VT_R8, 0},
                         {DBTYPE_CY, VT_CY, 0},           {DBTYPE_DATE, VT_DATE, 0},
                         {DBTYPE_DBDATE, VT_DATE, 0},     {DBTYPE_BSTR, VT_BSTR, 0},
                         {DBTYPE_STR, VT_BSTR, 0},        {DBTYPE_WSTR, VT_BSTR, 0},
                         {DBTYPE_GUID, VT_BSTR, 1},       {DBTYPE_BOOL, VT_BOOL, 0},
                         {DBTYPE_DECIMAL, VT_DECIMAL, 0}, {DBTYPE_NUMERIC, VT_DECIMAL, 0},
                         {DBTYPE_I1, VT_I1, 0},           {DBTYPE_UI1, VT_UI1, 0},
                         {DBTYPE_UI2, VT_UI2, 0},         {DBTYPE_UI4, VT_UI4, 0},
                         {DBTYPE_I8, VT_I8, 0},           {DBTYPE_UI8, VT_UI8, 0},
                         {DBTYPE_DBTIME, VT_DATE, 0},     {DBTYPE_DBTIMESTAMP, VT_DATE, 0},
                         {DBTYPE_XML, VT_BSTR, 11},       {DBTYPE_DBTIME2, VT_DATE, 0},
                         {DBTYPE_BYTES, VT_BLOB, 0},      {DBTYPE_VARIANT, VT_BSTR, 0},
                         {DBTYPE_UDT, VT_BLOB, 0},        {DBTYPE_DBTIMESTAMPOFFSET, VT_BSTR, 12},
                         {DBTYPE_NULL, VT_BLOB, 0},       {200, VT_BLOB, 0}};
    for (const row& r : table) {
        uint32_t hint = 0;
        EXPECT_EQ(odb_record::get_vartype(r.in, 0, 0, hint), r.vt) << r.in;
        EXPECT_EQ(hint, r.hint) << r.in;
    }
}

TEST(OdbRecord, DatesAndTimesIn2008Mode)
{
    mss_engine engine(true);
    engine.connected = true;
    engine.initializer.native = true;
    engine.version = 5;
    uint32_t hint = 0;
    EXPECT_EQ(odb_record::get_vartype(DBTYPE_DBDATE, 0, 0, hint), VT_DATE);
    EXPECT_EQ(hint, 2u);
    hint = 0;
    odb_record::get_vartype(DBTYPE_DBTIME2, 0, 0, hint);
    EXPECT_EQ(hint, 3u);
    t_ftd d(0, L"d", VT_DATE, false, false, ole_variant(), 2, L"");
    EXPECT_EQ(odb_record::get_oledb_type(d), DBTYPE_DATE);
    d.dw_reserved = 3;
    EXPECT_EQ(odb_record::get_oledb_type(d), DBTYPE_DBTIME2);
    engine.version = 4;
    hint = 0;
    odb_record::get_vartype(DBTYPE_DBDATE, 0, 0, hint);
    EXPECT_EQ(hint, 0u);
    EXPECT_EQ(odb_record::get_oledb_type(d), DBTYPE_DBTIMESTAMP);
    engine.version = 5;
    engine.initializer.native = false;
    hint = 0;
    odb_record::get_vartype(DBTYPE_DBDATE, 0, 0, hint);
    EXPECT_EQ(hint, 0u);
}

TEST(OdbRecord, WriterTypes)
{
    mss_engine engine(true);
    auto ftd = [](VARTYPE vt, uint32_t hint = 0, const wchar_t* native = L"", bool auto_num = false) {
        return t_ftd(0, L"c", vt, false, auto_num, ole_variant(), hint, native);
    };
    EXPECT_EQ(odb_record::get_oledb_type(ftd(VT_DECIMAL, 0x0C02)), DBTYPE_NUMERIC);
    EXPECT_EQ(odb_record::get_oledb_type(ftd(VT_DECIMAL, 0)), DBTYPE_R8);
    EXPECT_EQ(odb_record::get_oledb_type(ftd(VT_BSTR, 0, L"VarChar(10)")), DBTYPE_STR);
    EXPECT_EQ(odb_record::get_oledb_type(ftd(VT_BSTR, 0, L"nvarchar(10)")), DBTYPE_WSTR);
    EXPECT_EQ(odb_record::get_oledb_type(ftd(VT_UI8, 0, L"", true)), DBTYPE_I8);
    EXPECT_EQ(odb_record::get_oledb_type(ftd(VT_UI8)), DBTYPE_R8);
    EXPECT_EQ(odb_record::get_oledb_type(ftd(VT_I1)), DBTYPE_I2);
    EXPECT_EQ(odb_record::get_oledb_type(ftd(VT_UI2)), DBTYPE_I4);
    EXPECT_EQ(odb_record::get_oledb_type(ftd(VT_R4)), DBTYPE_R8);
    EXPECT_EQ(odb_record::get_oledb_type(ftd(VT_BLOB)), DBTYPE_BYTES);
    EXPECT_EQ(odb_record::get_oledb_type(ftd(VT_DATE, 2)), DBTYPE_DBTIMESTAMP);
    EXPECT_EQ(odb_record::get_oledb_type(ftd(VT_EMPTY)), DBTYPE_WSTR);
    engine.unicode_strings = false;
    EXPECT_EQ(odb_record::get_oledb_type(ftd(VT_BSTR, 0, L"nvarchar(10)")), DBTYPE_STR);
    EXPECT_EQ(odb_record::get_oledb_type(ftd(VT_EMPTY)), DBTYPE_STR);
}

TEST(OdbRecord, FieldsFromText)
{
    auto f = odb_record::get_field(column(DBTYPE_DECIMAL, 19), L"-12.50");
    EXPECT_EQ(f->get_type(), VT_DECIMAL);
    EXPECT_DOUBLE_EQ(f->to_double(), -12.5);
    f = odb_record::get_field(column(DBTYPE_DBTIMESTAMP, 16), L"2016-01-31 23:59:59.123");
    EXPECT_EQ(f->get_type(), VT_DATE);
    f = odb_record::get_field(column(DBTYPE_DBDATE, 6), L"2016-01-31");
    EXPECT_EQ(f->get_type(), VT_DATE);
    f = odb_record::get_field(column(DBTYPE_WSTR, 10), L"");
    EXPECT_EQ(f->get_type(), VT_BSTR);
    f = odb_record::get_field(column(DBTYPE_I4, 4), nullptr);
    EXPECT_EQ(f->get_type(), VT_EMPTY);
    EXPECT_EQ(f->name, L"c");
    EXPECT_EQ(f->size, 4);
    // Hex text decodes; any other text keeps its own bytes.
    f = odb_record::get_field(column(DBTYPE_UDT, 8), L"0x0A0B");
    BYTE* data = nullptr;
    ASSERT_EQ(f->get_bytes(&data), 2u);
    EXPECT_EQ(data[0], 0x0A);
    EXPECT_EQ(data[1], 0x0B);
    // A date, time and offset, and a variant, keep their text.
    f = odb_record::get_field(column(DBTYPE_DBTIMESTAMPOFFSET, 20), L"2020-01-02 03:04:05 +01:00");
    EXPECT_EQ(f->get_type(), VT_BSTR);
    EXPECT_EQ(f->to_wstring(), L"2020-01-02 03:04:05 +01:00");
    f = odb_record::get_field(column(DBTYPE_VARIANT, 8016), L"Grüße");
    EXPECT_EQ(f->get_type(), VT_BSTR);
    EXPECT_EQ(f->to_wstring(), L"Grüße");
    EXPECT_FALSE(odb_record::is_hex_text(L"abc"));
    EXPECT_TRUE(odb_record::is_hex_text(L"\\xff00"));
    EXPECT_FALSE(odb_record::is_hex_text(L"0x"));
}

// A number column's text that is not one whole number, or a number beyond
// the column type's range, is refused rather than read by its leading digits.
TEST(OdbRecord, TextThatIsNoValueOfTheColumnsTypeIsRefused)
{
    EXPECT_EQ(odb_record::get_field(column(DBTYPE_I4, 4), L"-42")->to_wstring(), L"-42");
    EXPECT_DOUBLE_EQ(odb_record::get_field(column(DBTYPE_R8, 8), L"1.5E+300")->to_double(), 1.5e300);
    for (const wchar_t* bad : {L"12abc", L"00FF10", L"abc", L"1 2"})
        EXPECT_THROW(odb_record::get_field(column(DBTYPE_I4, 4), bad), tk_exception) << bad;
    EXPECT_THROW(odb_record::get_field(column(DBTYPE_R8, 8), L"inf"), tk_exception);
    EXPECT_THROW(odb_record::get_field(column(DBTYPE_DECIMAL, 19), L"1.2.3"), tk_exception);
    // Beyond the column type's range.
    EXPECT_THROW(odb_record::get_field(column(DBTYPE_I2, 2), L"70000"), tk_exception);
}

TEST(OdbRecord, DecimalsBeyondTheDecimalKeepTheirExactText)
{
    // 28 significant digits fit a DECIMAL and stay one.
    auto f = odb_record::get_field(column(DBTYPE_NUMERIC, 19), L"-1234567890123456789012345678");
    EXPECT_EQ(f->get_type(), VT_DECIMAL);
    EXPECT_EQ(f->to_wstring(), L"-1234567890123456789012345678");
    // 38 digits overflow the 96 bits: the exact text, not NULL.
    f = odb_record::get_field(column(DBTYPE_NUMERIC, 19), L"-99999999999999999999999999999999999999");
    EXPECT_EQ(f->get_type(), VT_BSTR);
    EXPECT_EQ(f->to_wstring(), L"-99999999999999999999999999999999999999");
    // 38 digits with 10 places would be rounded up to 29 digits: the exact text.
    f = odb_record::get_field(column(DBTYPE_NUMERIC, 19), L"9999999999999999999999999999.9999999999");
    EXPECT_EQ(f->get_type(), VT_BSTR);
    EXPECT_EQ(f->to_wstring(), L"9999999999999999999999999999.9999999999");
    // More places than the DECIMAL's 28, in canonical form.
    f = odb_record::get_field(column(DBTYPE_DECIMAL, 19), L"0.00000000000000000000000000001230");
    EXPECT_EQ(f->get_type(), VT_BSTR);
    EXPECT_EQ(f->to_wstring(), L"0.0000000000000000000000000000123");
    // Trailing zeros of the scale are no loss.
    f = odb_record::get_field(column(DBTYPE_NUMERIC, 19), L"12.5000000000");
    EXPECT_EQ(f->get_type(), VT_DECIMAL);
}

TEST(OdbRecord, YearsOfTheFirstCenturyKeepTheirValue)
{
    auto f = odb_record::get_field(column(DBTYPE_DBTIMESTAMP, 16), L"0001-01-01 00:00:00.0000000");
    ASSERT_EQ(f->get_type(), VT_DATE);
    EXPECT_EQ(f->date_parts.wYear, 1);
    EXPECT_EQ(f->to_wstring(), L"0001-01-01");
    f = odb_record::get_field(column(DBTYPE_DBDATE, 6), L"0099-12-31");
    EXPECT_EQ(f->to_wstring(), L"0099-12-31");
    f = odb_record::get_field(column(DBTYPE_DBTIMESTAMP, 16), L"0401-02-04 01:02:03.7654321");
    EXPECT_EQ(f->to_wstring(), L"0401-02-04 01:02:03.7654321");
}

TEST(OdbRecord, EveryFractionDigitOfATimestampOrATimeIsKept)
{
    auto f = odb_record::get_field(column(DBTYPE_DBTIMESTAMP, 16), L"2024-02-29 13:45:12.1234567");
    ASSERT_EQ(f->get_type(), VT_DATE);
    EXPECT_EQ(f->date_parts.wMilliseconds, 123);
    EXPECT_EQ(f->date_sub_ms_ns, 456700u);
    EXPECT_EQ(f->to_wstring(), L"2024-02-29 13:45:12.1234567");
    f = odb_record::get_field(column(DBTYPE_DBTIMESTAMP, 16), L"2024-02-29 00:00:00.0000001");
    EXPECT_EQ(f->to_wstring(), L"2024-02-29 00:00:00.0000001");
    f = odb_record::get_field(column(DBTYPE_DBTIME2, 12), L"23:59:59.9999999");
    ASSERT_EQ(f->get_type(), VT_DATE);
    EXPECT_EQ(f->date_parts.wYear, 0);
    EXPECT_EQ(f->date_parts.wHour, 23);
    EXPECT_EQ(f->date_parts.wMilliseconds, 999);
    EXPECT_EQ(f->date_sub_ms_ns, 999900u);
    // A copy keeps them too.
    const ole_variant copy = *f;
    EXPECT_EQ(copy.date_sub_ms_ns, 999900u);
    EXPECT_EQ(copy.to_wstring(), L"0000-00-00 23:59:59.9999999");
}
