// Type mapping, literals and name helpers of the Oracle side.
#include <gtest/gtest.h>
#include "ORA/ora_util.h"
#include "TK/tk_exception.h"
#include "UDB/t_ftd.h"
#include "UDB/udb_field.h"

namespace {

t_ftd col(VARTYPE vt, uint32_t size = 0, uint32_t hint = 0)
{
    return t_ftd(size, L"C", vt, false, false, ole_variant(), hint, L"");
}

t_ftd with_default(VARTYPE vt, const std::wstring& def, uint32_t size = 0, uint32_t hint = 0)
{
    return t_ftd(size, L"C", vt, false, false, ole_variant(def), hint, L"");
}

std::wstring def_of(VARTYPE vt, const std::wstring& def, uint32_t size = 0, uint32_t hint = 0)
{
    const t_ftd f = with_default(vt, def, size, hint);
    return make_ora_def_val(&f);
}

} // namespace

TEST(OraUtil, NativeTypeTable)
{
    EXPECT_EQ(get_ora_native_type(col(VT_I2), false), L"NUMBER(5,0)");
    EXPECT_EQ(get_ora_native_type(col(VT_UI1), false), L"NUMBER(5,0)");
    EXPECT_EQ(get_ora_native_type(col(VT_I4), false), L"NUMBER(10,0)");
    EXPECT_EQ(get_ora_native_type(col(VT_INT), true), L"NUMBER");
    EXPECT_EQ(get_ora_native_type(col(VT_BOOL), false), L"NUMBER(3,0)");
    EXPECT_EQ(get_ora_native_type(col(VT_I8), false), L"NUMBER");
    EXPECT_EQ(get_ora_native_type(col(VT_DECIMAL, 0, t_ftd::decimal_hint(10, 2)), false), L"NUMBER(10,2)");
    EXPECT_EQ(get_ora_native_type(col(VT_DECIMAL, 0, t_ftd::decimal_hint(10, 12)), false), L"NUMBER");
    EXPECT_EQ(get_ora_native_type(col(VT_DECIMAL, 0, 0), false), L"NUMBER");
    EXPECT_EQ(get_ora_native_type(col(VT_DATE, 0, 1), false), L"TIMESTAMP");
    EXPECT_EQ(get_ora_native_type(col(VT_DATE, 0, 2), false), L"DATE");
    EXPECT_EQ(get_ora_native_type(col(VT_BSTR, 2000), false), L"NVARCHAR2(2000) ");
    EXPECT_EQ(get_ora_native_type(col(VT_BSTR, 2000), true), L"NVARCHAR2");
    EXPECT_EQ(get_ora_native_type(col(VT_BSTR, 2001), false), L"CLOB");
    EXPECT_EQ(get_ora_native_type(col(VT_BSTR, 0), false), L"CLOB");
    EXPECT_EQ(get_ora_native_type(col(VT_BSTR, 0, 10), false), L"LONG");
    // Long national text and XML: a national LOB; short national text stays NVARCHAR2.
    EXPECT_EQ(get_ora_native_type(col(VT_BSTR, 0, t_ftd::hint_bstr_national), false), L"NCLOB");
    EXPECT_EQ(get_ora_native_type(col(VT_BSTR, 4001, t_ftd::hint_bstr_national), false), L"NCLOB");
    EXPECT_EQ(get_ora_native_type(col(VT_BSTR, 0, t_ftd::hint_bstr_xml), false), L"NCLOB");
    EXPECT_EQ(get_ora_native_type(col(VT_BSTR, 40, t_ftd::hint_bstr_national), false), L"NVARCHAR2(40) ");
    // A time of day and a timestamp keep the digits of their fraction.
    EXPECT_EQ(get_ora_native_type(col(VT_DATE, 16, t_ftd::hint_time_only), false), L"TIMESTAMP(7)");
    EXPECT_EQ(get_ora_native_type(col(VT_DATE, 8, t_ftd::hint_time_only), false), L"TIMESTAMP(0)");
    EXPECT_EQ(get_ora_native_type(col(VT_DATE, 27, t_ftd::hint_date_function), false), L"TIMESTAMP(7)");
    EXPECT_EQ(get_ora_native_type(col(VT_DATE, 27, 0), false), L"DATE");
    EXPECT_EQ(get_ora_native_type(col(65, 2000), false), L"RAW(2000)");
    EXPECT_EQ(get_ora_native_type(col(65, 2001), false), L"BLOB");
    // Text and binary forms the table does not list map with their families.
    EXPECT_EQ(get_ora_native_type(col(VT_LPWSTR, 10), false), L"NVARCHAR2(10) ");
    EXPECT_EQ(get_ora_native_type(col(VT_LPSTR, 0), false), L"CLOB");
    EXPECT_EQ(get_ora_native_type(col(0x2011, 16), false), L"RAW(16)");
    EXPECT_EQ(get_ora_native_type(col(70, 0), false), L"BLOB");
    EXPECT_THROW(get_ora_native_type(col(VT_EMPTY), false), tk_mail_assertion);
}

TEST(OraUtil, NativeType1)
{
    EXPECT_EQ(get_ora_native_type1(L"NVARCHAR2", 100, 0, 0), L"NVARCHAR2(100)");
    EXPECT_EQ(get_ora_native_type1(L"RAW", 0, 0, 0), L"RAW(0)");
    EXPECT_EQ(get_ora_native_type1(L"VARCHAR2", 4000, 0, 0), L"VARCHAR2");
    EXPECT_EQ(get_ora_native_type1(L"NUMBER", 0, 2, 12), L"NUMBER(12,2)");
    EXPECT_EQ(get_ora_native_type1(L"NUMBER", 0, 5, 3), L"NUMBER");
    EXPECT_EQ(get_ora_native_type1(L"DATE", 7, 0, 0), L"DATE");
}

TEST(OraUtil, Defaults)
{
    EXPECT_EQ(def_of(VT_I4, L"42"), L"42");
    EXPECT_EQ(def_of(VT_I4, L" 42"), L"");
    EXPECT_EQ(def_of(VT_I4, L"(42)"), L"");
    EXPECT_EQ(def_of(VT_I4, L"042"), L"");
    EXPECT_EQ(def_of(VT_R8, L"0.0"), L"0.0");
    EXPECT_EQ(def_of(VT_R8, L"-0"), L"-0");
    EXPECT_EQ(def_of(VT_R8, L"getdate()"), L"");
    EXPECT_EQ(def_of(VT_R8, L"1e200"), L"0");
    EXPECT_EQ(def_of(VT_R8, L"2.5"), L"2.5");
    EXPECT_EQ(def_of(VT_BSTR, L"it's", 10), L"'it''s'");
    EXPECT_EQ(def_of(VT_BSTR, L"abcdef", 3), L"'abc'");
    EXPECT_EQ(def_of(VT_DATE, L"2016-01-31 23:59:59"), L"to_date('2016-01-31 23:59:59', 'YYYY-MM-DD HH24:MI:SS')");
    EXPECT_EQ(def_of(VT_DATE, L"(getdate())", 0, 9), L"sysdate");
    EXPECT_EQ(def_of(VT_I8, L"5"), L"");
    EXPECT_EQ(def_of(VT_I4, L""), L"");
    EXPECT_THROW(make_ora_def_val(nullptr), tk_mail_assertion);
}

TEST(OraUtil, Literals)
{
    EXPECT_EQ(to_oracle_str(L"O'Brien", VT_BSTR, true), L"'O''Brien'");
    EXPECT_EQ(to_oracle_str(L"", VT_BSTR, true), L"''");
    EXPECT_EQ(to_oracle_str(L"", VT_I4, false), L"");
    EXPECT_EQ(to_oracle_str(L"12.5", VT_R8, true), L"12.5");
    EXPECT_EQ(to_oracle_str(L"2016-12-31", VT_DATE, true), L"to_date('2016-12-31', 'YYYY-MM-DD')");
    EXPECT_EQ(to_oracle_str(L"2016-12-31 14:05:00", VT_DATE, true),
              L"to_date('2016-12-31 14:05:00', 'YYYY-MM-DD HH24:MI:SS')");
    // A time of day gets SQL Server's fixed date part, not the run's month.
    EXPECT_EQ(to_oracle_str(L"08:30:15", VT_DATE, true), L"to_date('1900-01-01 08:30:15', 'YYYY-MM-DD HH24-MI-SS')");
    // Fractions cannot go through to_date.
    EXPECT_EQ(to_oracle_str(L"2016-12-31 14:05:00.25", VT_DATE, true),
              L"to_timestamp('2016-12-31 14:05:00.250', 'YYYY-MM-DD HH24:MI:SS.FF3')");
    EXPECT_EQ(to_oracle_str(L"2016-12-31 14:05:00.005", VT_DATE, true),
              L"to_timestamp('2016-12-31 14:05:00.005', 'YYYY-MM-DD HH24:MI:SS.FF3')");
    EXPECT_EQ(to_oracle_str(L"12:30:15.250", VT_DATE, true),
              L"to_timestamp('1900-01-01 12:30:15.250', 'YYYY-MM-DD HH24-MI-SS.FF3')");
    EXPECT_EQ(to_oracle_str(L"not a date", VT_DATE, true), L"");
    EXPECT_EQ(to_oracle_str(L"0x00FF", 65, true), L"'00FF'");
    EXPECT_EQ(to_oracle_str(L"0X00ff", 0x2011, false), L"'00ff'");
    EXPECT_EQ(to_oracle_str(L"FF", 65, true), L"''");
    EXPECT_EQ(to_oracle_str(L"0xZZ", 65, true), L"''");
    EXPECT_EQ(to_oracle_str(L"1", 65, true), L"''");
}

TEST(OraUtil, TextHoldingAGuidKeywordIsKeptAsItIs)
{
    udb_field guid(L"G", 60, ole_variant(std::wstring(L"guid{6F9619FF-8B86-D011-B42D-00C04FC964FF}")));
    EXPECT_EQ(to_oracle_str(&guid, true), L"'guid{6F9619FF-8B86-D011-B42D-00C04FC964FF}'");
    udb_field upper(L"G", 60, ole_variant(std::wstring(L" GUID{6F9619FF-8B86-D011-B42D-00C04FC964FF} ")));
    EXPECT_EQ(to_oracle_str(&upper, false), L" GUID{6F9619FF-8B86-D011-B42D-00C04FC964FF} ");
    udb_field plain(L"T", 60, ole_variant(std::wstring(L"{6F9619FF-8B86-D011-B42D-00C04FC964FF}")));
    EXPECT_EQ(to_oracle_str(&plain, true), L"'{6F9619FF-8B86-D011-B42D-00C04FC964FF}'");
    EXPECT_THROW(to_oracle_str(static_cast<const udb_field*>(nullptr), true), tk_mail_assertion);
}

TEST(OraUtil, VarTypesOfNumbers)
{
    uint32_t p = 2;
    EXPECT_EQ(get_refined_num_type(p, 2), VT_DECIMAL);
    EXPECT_EQ(p, 3u);
    const std::pair<uint32_t, VARTYPE> buckets[] = {{1, VT_I1},  {2, VT_I1},  {3, VT_I2},  {4, VT_I2},
                                                    {5, VT_I4},  {10, VT_I4}, {11, VT_I8}, {20, VT_I8},
                                                    {21, VT_R8}, {38, VT_R8}, {39, VT_R8}, {0, VT_R8}};
    for (const auto& [prec, vt] : buckets) {
        uint32_t q = prec;
        EXPECT_EQ(get_refined_num_type(q, 0), vt) << prec;
    }
    EXPECT_EQ(get_ora_vartype(2), VT_R8);
    EXPECT_EQ(get_ora_vartype(3), VT_I4);
    EXPECT_EQ(get_ora_vartype(187), VT_DATE);
    EXPECT_EQ(get_ora_vartype(184), VT_DATE);
    EXPECT_EQ(get_ora_vartype(113), 65);
    EXPECT_EQ(get_ora_vartype(8), VT_BSTR);
    EXPECT_EQ(get_ora_vartype(104), VT_BSTR);
}

TEST(OraUtil, BindLengthsAndTypes)
{
    EXPECT_EQ(get_ora_len(col(VT_BSTR, 0)), 0u);
    EXPECT_EQ(get_ora_len(col(VT_BSTR, 10)), 22u);
    EXPECT_EQ(get_ora_len(col(VT_I2)), 4u);
    EXPECT_EQ(get_ora_len(col(VT_I8)), 8u);
    EXPECT_EQ(get_ora_len(col(VT_CY)), 48u);
    EXPECT_EQ(get_ora_len(col(VT_DECIMAL, 0, t_ftd::decimal_hint(10, 2))), 60u);
    EXPECT_EQ(get_ora_len(col(VT_DECIMAL, 0, t_ftd::decimal_hint(30, 2))), 66u);
    EXPECT_EQ(get_ora_type(col(VT_I4)), 3);
    EXPECT_EQ(get_ora_type(col(VT_R4)), 4);
    EXPECT_EQ(get_ora_type(col(VT_I8)), 22);
    EXPECT_EQ(get_ora_type(col(VT_BSTR, 5)), 5);
    EXPECT_EQ(get_ora_type(col(VT_DATE)), 156);
    EXPECT_EQ(get_ora_type(col(VT_EMPTY)), 0);
}

TEST(OraUtil, Names)
{
    EXPECT_EQ(ora_split_name(L"\"S\".\"T\""), std::make_pair(std::wstring(L"S"), std::wstring(L"T")));
    EXPECT_EQ(ora_split_name(L"\"T\""), std::make_pair(std::wstring(), std::wstring(L"T")));
    EXPECT_EQ(ora_split_name(L"S.T"), std::make_pair(std::wstring(L"S"), std::wstring(L"T")));
    EXPECT_EQ(ora_split_name(L"S.T.U"), std::make_pair(std::wstring(L"S"), std::wstring(L"T.U")));
    EXPECT_EQ(ora_split_name(L"T"), std::make_pair(std::wstring(), std::wstring(L"T")));
    EXPECT_EQ(ora_simplify_name(L"\"S\".\"T\""), L"S.T");
}

TEST(OraUtil, ClockAndGuidDefaultsBecomeOracleExpressionsOfTheColumnsType)
{
    struct case_t {
        VARTYPE vt;
        uint32_t hint;
        const wchar_t* source; // as the source reader hands it on
        const wchar_t* oracle;
    };
    const wchar_t* const guid =
        L"'{' || REGEXP_REPLACE(RAWTOHEX(SYS_GUID()), '(.{8})(.{4})(.{4})(.{4})(.{12})', "
        L"'\\1-\\2-\\3-\\4-\\5') || '}'";
    const case_t cases[] = {
        // A DATE column (no hint, or a date only) and a TIMESTAMP one (a date function, a timestamp).
        {VT_DATE, 0, L"getdate()", L"sysdate"},
        {VT_DATE, t_ftd::hint_date_function, L"getdate()", L"sysdate"},
        {VT_DATE, t_ftd::hint_date_function, L"sysdatetime()", L"SYSTIMESTAMP"},
        {VT_DATE, t_ftd::hint_date_only, L"sysdatetime()", L"SYSDATE"},
        {VT_DATE, t_ftd::hint_date_function, L"sysutcdatetime()", L"SYS_EXTRACT_UTC(SYSTIMESTAMP)"},
        {VT_DATE, t_ftd::hint_date_function, L"GetUtcDate()", L"SYS_EXTRACT_UTC(SYSTIMESTAMP)"},
        {VT_DATE, t_ftd::hint_date_only, L"getutcdate()", L"CAST(SYS_EXTRACT_UTC(SYSTIMESTAMP) AS DATE)"},
        {VT_DATE, t_ftd::hint_date_only, L"convert(date,getdate())", L"TRUNC(SYSDATE)"},
        {VT_DATE, t_ftd::hint_date_timestamp, L"convert(date,sysdatetime())", L"TRUNC(SYSDATE)"},
        {VT_DATE, t_ftd::hint_date_only, L"convert(date,sysutcdatetime())",
         L"TRUNC(CAST(SYS_EXTRACT_UTC(SYSTIMESTAMP) AS DATE))"},
        {VT_DATE, t_ftd::hint_date_only, L"dateadd(day,1,getdate())", L""},
        // A new GUID, in the braces and groups GUID values arrive in; only for a GUID column.
        {VT_BSTR, t_ftd::hint_bstr_guid, L"newid()", guid},
        {VT_BSTR, 0, L"newid()", L"'newid()'"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(def_of(c.vt, c.source, c.vt == VT_BSTR ? 38 : 0, c.hint), c.oracle) << c.source << " " << c.hint;
}
