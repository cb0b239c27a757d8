// SQL Server literals, type names, decimal checks and the keyword comparer.
#include "MSS/icomparer.h"
#include "MSS/mss_database.h"
#include "MSS/mss_engine.h"
#include "MSS/mss_fast_load.h"
#include "MSS/mss_util.h"
#include "MSS/mss_view_rewrite.h"
#include "OLE/ole_date.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

ole_variant decimal(const wchar_t* text) { return ole_variant::from_wstring(text, VT_DECIMAL); }

t_ftd decimal_column(uint8_t precision, uint8_t scale, bool not_null = false)
{
    return t_ftd(0, L"d", VT_DECIMAL, not_null, false, ole_variant(), t_ftd::decimal_hint(precision, scale), L"");
}

} // namespace

TEST(MssUtil, LiteralsByType)
{
    EXPECT_EQ(to_mssql_str(L"O'Brien", VT_BSTR), L"N'O''Brien'"); // no engine: Unicode strings
    {
        mss_engine engine(true);
        engine.unicode_strings = false;
        EXPECT_EQ(to_mssql_str(L"O'Brien", VT_BSTR), L"'O''Brien'");
        engine.unicode_strings = true;
        EXPECT_EQ(to_mssql_str(L"O'Brien", VT_BSTR), L"N'O''Brien'");
    }
    EXPECT_EQ(to_mssql_str(L"12.5", VT_R8), L"12.5");
    EXPECT_EQ(to_mssql_str(L"-7", VT_I4), L"-7");
    EXPECT_EQ(to_mssql_str(L"", VT_BSTR), L"''");
    EXPECT_EQ(to_mssql_str(L"", VT_I4), L"''");
    // Text that is not a number never goes bare into the statement.
    EXPECT_EQ(to_mssql_str(L"1; DROP TABLE t", VT_I4), L"N'1; DROP TABLE t'");
    // A GUID behind its keyword is sent as the bare braced text.
    EXPECT_EQ(to_mssql_str(L"guid {6F9619FF-8B86-D011-B42D-00C04FC964FF}", VT_BSTR),
              L"'{6F9619FF-8B86-D011-B42D-00C04FC964FF}'");
}

TEST(MssUtil, DateAndBinaryLiterals)
{
    EXPECT_EQ(to_mssql_str(L"2020-02-29 13:45:10", VT_DATE), L"'2020-02-29 13:45:10'");
    EXPECT_EQ(to_mssql_str(L"2020-02-29 13:45:10.250", VT_DATE), L"'2020-02-29 13:45:10.250'");
    EXPECT_EQ(to_mssql_str(L"0000-00-00", VT_DATE), L"'1899-12-30'");
    EXPECT_EQ(to_mssql_str(L"it's", VT_DATE), L"'it''s'"); // not a date: quoted as it is
    EXPECT_EQ(to_mssql_str(L"0x1F2E", VT_BLOB), L"0x1F2E");
    EXPECT_EQ(to_mssql_str(L"0x1F2E", VT_BYTE_ARRAY), L"0x1F2E");
    EXPECT_EQ(to_mssql_str(L"1x12", VT_BLOB), L"'1x12'");
    EXPECT_EQ(to_mssql_str(L"0xZZ", VT_BLOB_OBJECT), L"'0xZZ'");
    EXPECT_EQ(to_mssql_str(L"ABC", VT_BLOB), L"'ABC'");
    EXPECT_EQ(to_mssql_str(L"123", VT_BLOB), L"123");
    EXPECT_EQ(to_mssql_str(L"A", VT_BLOB), L"A"); // shorter than 2: as it is
    EXPECT_EQ(to_mssql_str(L"it's", VT_BLOB), L"'it''s'");
}

TEST(MssUtil, SafeVariantClampsDatesAndDoubles)
{
    const ole_variant old_date = ole_date(L"1600-05-01 10:00:00").to_variant();
    const ole_variant clamped = mssql_get_safe_variant(old_date);
    EXPECT_EQ(clamped.date_parts.wYear, 9999);
    EXPECT_EQ(clamped.date_parts.wMonth, 12);
    EXPECT_EQ(clamped.date_parts.wDay, 30);
    const ole_variant good = ole_date(L"1753-01-01").to_variant();
    EXPECT_EQ(mssql_get_safe_variant(good).date_parts.wYear, 1753);
    EXPECT_DOUBLE_EQ(mssql_get_safe_variant(ole_variant(1e-320)).value.dblVal, 2.23e-308);
    EXPECT_DOUBLE_EQ(mssql_get_safe_variant(ole_variant(-1e-320)).value.dblVal, -2.23e-308);
    EXPECT_DOUBLE_EQ(mssql_get_safe_variant(ole_variant(HUGE_VAL)).value.dblVal, 1.79e308);
    EXPECT_DOUBLE_EQ(mssql_get_safe_variant(ole_variant(0.0)).value.dblVal, 0.0);
    EXPECT_DOUBLE_EQ(mssql_get_safe_variant(ole_variant(-12.5)).value.dblVal, -12.5);
    EXPECT_EQ(mssql_get_safe_variant(ole_variant(7)).value.lVal, 7);
}

TEST(MssUtil, DecimalRanges)
{
    const t_ftd c52 = decimal_column(5, 2);
    EXPECT_EQ(gen_dec_value(&c52, false), L"999.99");
    EXPECT_EQ(gen_dec_value(&c52, true), L"-999.99");
    const t_ftd c50 = decimal_column(5, 0);
    EXPECT_EQ(gen_dec_value(&c50, false), L"99999.");
    EXPECT_THROW(gen_dec_value(nullptr, false), tk_mail_assertion);

    EXPECT_TRUE(dec_is_out_of_range(decimal(L"12345.6"), c52));
    EXPECT_FALSE(dec_is_out_of_range(decimal(L"1000.5"), c52));
    EXPECT_FALSE(check_dec_str_prec_scale(L"1000.5", 5, 2));
    EXPECT_TRUE(check_dec_str_prec_scale(L"999.5", 5, 2));
    // More fraction digits than the column keeps are rounded by the server.
    EXPECT_FALSE(dec_is_out_of_range(decimal(L"12.555"), c52));
    // The sign is not a digit.
    EXPECT_TRUE(check_dec_str_prec_scale(L"-999.5", 4, 1));
    // All digits behind the point: the 0 before it is no digit of the value.
    const t_ftd c33 = decimal_column(3, 3);
    EXPECT_FALSE(dec_is_out_of_range(decimal(L"0.123"), c33));
    EXPECT_FALSE(dec_is_out_of_range(decimal(L"-0.5"), c33));
    EXPECT_TRUE(check_dec_str_prec_scale(L"0.123", 3, 3));
    EXPECT_TRUE(check_dec_str_prec_scale(L"-0.123", 3, 3));
    EXPECT_FALSE(check_dec_str_prec_scale(L"1.5", 3, 3));
    EXPECT_FALSE(dec_is_out_of_range(decimal(L"1.5"), c33)); // too wide, found by the text check
    // Unknown precision: nothing is out of range.
    EXPECT_FALSE(dec_is_out_of_range(decimal(L"123456789.5"), decimal_column(0, 0)));
    EXPECT_THROW(dec_is_out_of_range(ole_variant(1.5), c52), tk_mail_assertion);
}

TEST(MssUtil, FieldLiterals)
{
    const t_ftd c52 = decimal_column(5, 2);
    const udb_field big(L"d", 0, decimal(L"12345.6"));
    EXPECT_EQ(mss_get_fld_append_str(&big, &c52), L"999.99");
    const udb_field small_neg(L"d", 0, decimal(L"-12345.6"));
    EXPECT_EQ(mss_get_fld_append_str(&small_neg, &c52), L"-999.99");
    const udb_field wide(L"d", 0, decimal(L"1000.5"));
    EXPECT_EQ(mss_get_fld_append_str(&wide, &c52), L"0");
    const udb_field fits(L"d", 0, decimal(L"-12.25"));
    EXPECT_EQ(mss_get_fld_append_str(&fits, &c52), L"-12.25");
    const t_ftd c33 = decimal_column(3, 3);
    const udb_field fraction(L"d", 0, decimal(L"0.125"));
    EXPECT_EQ(mss_get_fld_append_str(&fraction, &c33), L"0.125");
    const t_ftd unknown = decimal_column(0, 0);
    EXPECT_EQ(mss_get_fld_append_str(&wide, &unknown), L"1000.5");

    const udb_field null_field(L"n", 0, ole_variant());
    const t_ftd nullable_int(4, L"n", VT_I4, false, false, ole_variant(), 0, L"");
    EXPECT_EQ(mss_get_fld_append_str(&null_field, &nullable_int), L"NULL");
    const t_ftd not_null_int(4, L"n", VT_I4, true, false, ole_variant(), 0, L"");
    EXPECT_EQ(mss_get_fld_append_str(&null_field, &not_null_int), L"''");
    const t_ftd with_default(4, L"n", VT_I4, true, false, ole_variant(42), 0, L"");
    EXPECT_EQ(mss_get_fld_append_str(&null_field, &with_default), L"42");
    const udb_field empty_text(L"s", 0, ole_variant(std::wstring()));
    const t_ftd text(10, L"s", VT_BSTR, false, false, ole_variant(), 0, L"");
    EXPECT_EQ(mss_get_fld_append_str(&empty_text, &text), L"''");
    EXPECT_THROW(mss_get_fld_append_str(nullptr, &text), tk_mail_assertion);
    EXPECT_THROW(mss_get_fld_append_str(&empty_text, nullptr), tk_mail_assertion);
}

TEST(MssUtil, NativeTypeNames)
{
    t_ftd c(50, L"c", VT_BSTR, false, false, ole_variant(), 0, L"");
    EXPECT_EQ(get_mss_native_type1(c, false), L"nvarchar(50) ");
    EXPECT_EQ(get_mss_native_type1(c, true), L"nvarchar");
    c.size = 5000;
    EXPECT_EQ(get_mss_native_type1(c, false), L"nvarchar(max)");
    c.size = 0;
    EXPECT_EQ(get_mss_native_type1(c, true), L"nvarchar(max)");
    {
        mss_engine engine(true);
        engine.unicode_strings = false;
        c.size = 20;
        EXPECT_EQ(get_mss_native_type1(c, false), L"varchar(20) ");
        c.vartype = VT_VARIANT;
        EXPECT_EQ(get_mss_native_type1(c, false), L"varchar(max)");
    }
    const auto name = [](VARTYPE vt, uint32_t size = 4, uint32_t hint = 0) {
        return get_mss_native_type1(t_ftd(size, L"x", vt, false, false, ole_variant(), hint, L""), false);
    };
    EXPECT_EQ(name(VT_I2), L"smallint");
    EXPECT_EQ(name(VT_UI4), L"int");
    EXPECT_EQ(name(VT_R4), L"real");
    EXPECT_EQ(name(VT_R8), L"float");
    EXPECT_EQ(name(VT_CY), L"smallmoney");
    EXPECT_EQ(name(VT_DATE, 16, 2), L"datetime"); // no native provider connected
    EXPECT_EQ(name(VT_BOOL), L"bit");
    EXPECT_EQ(name(VT_DECIMAL, 0, t_ftd::decimal_hint(38, 2)), L"numeric");
    EXPECT_EQ(name(VT_UI1), L"tinyint");
    EXPECT_EQ(name(VT_I8), L"bigint");
    EXPECT_EQ(name(VT_BLOB, 100), L"varbinary(100) ");
    EXPECT_EQ(name(VT_BLOB, 9000), L"varbinary(max)");
    EXPECT_EQ(name(VT_VARIANT), L"nvarchar(max)");
}

TEST(MssUtil, KeywordComparer)
{
    const icomparer now(L"now");
    EXPECT_EQ(now.compare(L"select NOW() x", 7), 0);
    EXPECT_NE(now.compare(L"select nor() x", 7), 0);
    EXPECT_EQ(now.compare(L"x now", 2), -1); // would end at the end of the text
    EXPECT_EQ(now.compare(L"x now ", 2), 0);
    EXPECT_EQ(now.compare(L"ab", 5), -1);
}

TEST(MssUtil, ForeignKeyRules)
{
    EXPECT_TRUE(mss_database::is_valid_fk_props(L"ON DELETE CASCADE ON UPDATE NO ACTION"));
    EXPECT_TRUE(mss_database::is_valid_fk_props(L"on update set null on delete set default"));
    EXPECT_FALSE(mss_database::is_valid_fk_props(L"ON DELETE CASCADE"));
    EXPECT_FALSE(mss_database::is_valid_fk_props(L"ON DELETE CASCADE ON UPDATE RESTRICT"));
    EXPECT_FALSE(mss_database::is_valid_fk_props(L""));
}

TEST(MssUtil, NumericFromText)
{
    DB_NUMERIC n{};
    ASSERT_TRUE(mss_numeric_from_text(L"-12.345", 10, 2, n));
    EXPECT_EQ(n.sign, 0);
    EXPECT_EQ(n.scale, 2);
    EXPECT_EQ(n.val[0] + 256 * n.val[1], 1235); // rounded half away from zero
    ASSERT_TRUE(mss_numeric_from_text(L"999.99", 5, 2, n));
    EXPECT_EQ(n.sign, 1);
    EXPECT_EQ(n.val[0] + 256 * n.val[1] + 65536 * n.val[2], 99999);
    EXPECT_FALSE(mss_numeric_from_text(L"999.995", 5, 2, n)); // rounds beyond the precision
    EXPECT_FALSE(mss_numeric_from_text(L"12a", 5, 2, n));
    EXPECT_FALSE(mss_numeric_from_text(L"", 5, 2, n));
    ASSERT_TRUE(mss_numeric_from_text(L"-0.001", 5, 2, n));
    EXPECT_EQ(n.sign, 1); // rounds to zero, which has no sign
}

TEST(MssUtil, ViewTextRewriting)
{
    // The first word is never rewritten; quoted text never is.
    EXPECT_EQ(mss_rewrite_view_text(L"now() from x"), L"now() from x");
    EXPECT_EQ(mss_rewrite_view_text(L"select 'a`b' , `c`"), L"select 'a`b' , [c]");
    EXPECT_EQ(mss_rewrite_view_text(L"select IFNULL(a,1), x from t"), L"select ISNULL(a,1), x from t");
    EXPECT_EQ(mss_rewrite_view_text(L"select from_unixtime(t.c) as d from t"),
              L"select DateAdd(ss,(t.c),'01-01-1970') as d from t");
    // Nested parentheses: the suffix replaces the ")" of the rewritten call.
    EXPECT_EQ(mss_rewrite_view_text(L"select isnull(f(a)) from t"), L"select (f(a)) is null from t");
    EXPECT_EQ(mss_rewrite_view_text(L""), L"");
    EXPECT_EQ(mss_rewrite_view_text(L"select now"), L"select now"); // too short to compare
}
