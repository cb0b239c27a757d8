#include "MSS/mss_engine.h"
#include "MSS/mss_split_tab_name.h"
#include "MSS/mss_table.h"
#include "MSS/mss_validator.h"

#include <gtest/gtest.h>

namespace {

std::pair<std::wstring, std::wstring> split(const std::wstring& name)
{
    std::wstring table, owner;
    EXPECT_TRUE(mss_split_tab_name(name, table, owner));
    return {table, owner};
}

using P = std::pair<std::wstring, std::wstring>;

} // namespace

TEST(MssEngine, VersionCodes)
{
    EXPECT_EQ(mss_engine::version_from_text(L"Microsoft SQL Server 2008 R2 (RTM) - 10.50.1600.1 (X64)"), 5);
    EXPECT_EQ(mss_engine::version_from_text(L"Microsoft SQL Server  2000 - 8.00.2039 (Intel X86)"), 3);
    EXPECT_EQ(mss_engine::version_from_text(L"Microsoft SQL Server  7.00 - 7.00.623 (Intel X86)"), 2);
    EXPECT_EQ(mss_engine::version_from_text(L"Microsoft SQL Server 2005 - 9.00.5000.00 (X64)"), 4);
    EXPECT_EQ(mss_engine::version_from_text(L"Microsoft SQL Server 2016 (SP2) - 13.0.5026.0 (X64)"), 12);
    EXPECT_EQ(mss_engine::version_from_text(L"Microsoft SQL Server 2017 (RTM) - 14.0.1000.169 (X64)"), 13);
    EXPECT_EQ(mss_engine::version_from_text(L"Microsoft SQL Server 2019 (RTM) - 15.0.2000.5 (X64)"), 13);
    EXPECT_EQ(mss_engine::version_from_text(L"Microsoft SQL Server 2022 (RTM) - 16.0.1000.6 (X64)"), 13);
    EXPECT_EQ(mss_engine::version_from_text(L"Microsoft SQL Azure (RTM) - 12.0.2000.8"), 100);
    EXPECT_EQ(mss_engine::version_from_text(L"Microsoft SQL Server 2012"), 1); // 25 characters
    EXPECT_EQ(mss_engine::version_from_text(L"Microsoft SQL Server vNext - 99.0 (something long)"), 1);
    EXPECT_EQ(mss_engine::version_from_text(L""), 1);
}

TEST(MssEngine, SplitTableNames)
{
    EXPECT_EQ(split(L"[dbo].[Order.Lines]"), P(L"Order.Lines", L"dbo"));
    EXPECT_EQ(split(L"ab"), P(L"ab", L""));
    EXPECT_EQ(split(L"[x]"), P(L"x", L""));
    EXPECT_EQ(split(L"[a]]].[b]].c]"), P(L"b].c", L"a]"));
    EXPECT_EQ(split(L"[a]].[b]].c]"), P(L"a].[b].c", L""));
    // Without an engine a dotted plain name is one table name.
    EXPECT_EQ(split(L"dbo.T"), P(L"dbo.T", L""));
    mss_engine engine(true);
    EXPECT_EQ(split(L"dbo.T"), P(L"dbo.T", L""));
    engine.b_view_owned = false;
    EXPECT_EQ(split(L"dbo.T"), P(L"T", L"dbo"));
    EXPECT_EQ(split(L"T"), P(L"T", L""));
}

TEST(MssEngine, SafeTableNames)
{
    mss_engine engine(true);
    EXPECT_EQ(mss_engine::get_safe_tname(L"t"), L"[dbo].[t]");
    engine.user = L"SA";
    EXPECT_EQ(mss_engine::get_safe_tname(L"t"), L"[dbo].[t]");
    engine.user = L"bob";
    EXPECT_EQ(mss_engine::get_safe_tname(L"t"), L"[bob].[t]");
    EXPECT_EQ(mss_engine::get_safe_tname(L"[x].[y]"), L"[x].[y]");
    EXPECT_EQ(mss_engine::get_safe_tname(L"[y]"), L"[bob].[y]");
    EXPECT_EQ(mss_engine::get_safe_tname(L"a]b"), L"[bob].[a]]b]");
    EXPECT_EQ(mss_engine::get_safe_tname(L"[s].[a]]b]"), L"[s].[a]]b]");
    engine.set_as_dbo(true);
    EXPECT_EQ(mss_engine::get_safe_tname(L"t"), L"[dbo].[t]");
}

TEST(MssEngine, UseBeforeConnectIsAnInternalError)
{
    mss_engine engine(true);
    EXPECT_THROW(engine.get_contents(), tk_mail_assertion);
    EXPECT_THROW(engine.is_db_exist(L"x"), tk_mail_assertion);
    EXPECT_THROW(engine.open_db(L"x", 0), tk_mail_assertion);
    engine.connected = true;
    engine.version = 100;
    try {
        engine.get_contents();
        FAIL();
    } catch (const tk_mail_assertion&) {
        FAIL();
    } catch (const tk_exception& e) {
        EXPECT_EQ(e.level, 1);
        EXPECT_STREQ(e.what(), "Azure SQL does not allow to list databases.\r\nEnter database name directly.");
    }
}

TEST(MssValidator, AcceptableAndSafeNames)
{
    mss_tn_validator v({L"T", L"_T"}, {L"other"});
    EXPECT_EQ(v.get_safe_name(L"T"), L"1_T");
    EXPECT_EQ(v.get_safe_name(L"new"), L"new");
    EXPECT_TRUE(v.is_acceptable(L"_x"));
    EXPECT_TRUE(v.is_acceptable(L"[1abc]"));
    EXPECT_TRUE(v.is_acceptable(L"\u00c4rger"));
    EXPECT_FALSE(v.is_acceptable(L"1abc"));
    EXPECT_THROW(v.is_acceptable(L""), tk_mail_assertion);

    std::vector<std::shared_ptr<t_ftd>> cols = {
        std::make_shared<t_ftd>(4, L"id", VT_I4, true, true, ole_variant(), 0, L"int"),
        std::make_shared<t_ftd>(4, L"9lives", VT_I4, false, false, ole_variant(), 0, L"int")};
    mss_fn_validator f(cols);
    EXPECT_TRUE(f.is_duplicated(L"ID"));
    EXPECT_FALSE(f.is_duplicated(L"9lives"));
}

TEST(MssTable, DefaultValues)
{
    auto col = [](VARTYPE vt, uint32_t size = 10) {
        return t_ftd(size, L"c", vt, false, false, ole_variant(), 0, L"");
    };
    EXPECT_EQ(mss_table::get_def_value(col(VT_I4), L"((0))").to_long(), 0);
    EXPECT_EQ(mss_table::get_def_value(col(VT_I4), L"((0))").value.vt, VT_I4);
    EXPECT_EQ(mss_table::get_def_value(col(VT_I4), L"((-5))").to_long(), -5);
    EXPECT_EQ(mss_table::get_def_value(col(VT_BSTR), L"('it''s')").to_wstring(), L"it's");
    EXPECT_EQ(mss_table::get_def_value(col(VT_BSTR), L"(N'abc')").to_wstring(), L"abc");
    EXPECT_EQ(mss_table::get_def_value(col(VT_BSTR), L"('')").to_wstring(), L"");
    EXPECT_EQ(mss_table::get_def_value(col(VT_BSTR), L"('(x)')").to_wstring(), L"(x)");
    // Expressions and function calls have no constant value.
    EXPECT_EQ(mss_table::get_def_value(col(VT_I4), L"((1)+(2))").value.vt, VT_EMPTY);
    EXPECT_EQ(mss_table::get_def_value(col(VT_BSTR), L"(newid())").value.vt, VT_EMPTY);
    const ole_variant now = mss_table::get_def_value(col(VT_DATE), L"(getdate())");
    EXPECT_EQ(now.value.vt, VT_BSTR);
    EXPECT_EQ(now.to_wstring(), L"getdate()");
    EXPECT_EQ(mss_table::get_def_value(col(VT_DATE), L"(GETUTCDATE())").to_wstring(), L"getutcdate()");
    // Every spelling of the moment's day, and a new GUID on a GUID column, in the one form the target knows.
    EXPECT_EQ(mss_table::get_def_value(col(VT_DATE), L"(CONVERT([date],getdate()))").to_wstring(),
              L"convert(date,getdate())");
    EXPECT_EQ(mss_table::get_def_value(col(VT_DATE), L"CURRENT_TIMESTAMP").to_wstring(), L"getdate()");
    t_ftd guid = col(VT_BSTR);
    guid.size = 38;
    guid.dw_reserved = t_ftd::hint_bstr_guid;
    EXPECT_EQ(mss_table::get_def_value(guid, L"(newid())").to_wstring(), L"newid()");
    EXPECT_EQ(mss_table::get_def_value(col(VT_I4), L"(newid())").value.vt, VT_EMPTY);
    EXPECT_EQ(mss_table::get_def_value(col(VT_DATE), L"('2001-01-31')").value.vt, VT_DATE);
    EXPECT_EQ(mss_table::get_def_value(col(VT_DATE), L"('not a date')").value.vt, VT_EMPTY);
}
