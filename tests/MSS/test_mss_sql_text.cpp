#include "MSS/mss_sql_text.h"
#include "MSS/mss_view_def.h"

#include <gtest/gtest.h>

TEST(MssSqlText, LiteralsKeepPlainNamesAndEscapeQuotes)
{
    EXPECT_EQ(sql_literal(L"dbo"), L"'dbo'");
    EXPECT_EQ(sql_literal(L""), L"''");
    EXPECT_EQ(sql_literal(L"o'brien"), L"N'o''brien'");
    EXPECT_EQ(sql_literal(L"''"), L"N''''''");
    EXPECT_EQ(sql_literal(L"K\u00e4se"), L"N'K\u00e4se'");
}

TEST(MssSqlText, IdentifiersAreBracketedOnce)
{
    EXPECT_EQ(sql_ident(L"Orders"), L"[Orders]");
    EXPECT_EQ(sql_ident(L"Order Details"), L"[Order Details]");
    EXPECT_EQ(sql_ident(L"a]b"), L"[a]]b]");
    EXPECT_EQ(sql_ident(L"[Orders]"), L"[Orders]");
    EXPECT_EQ(sql_ident(L"[a]]b]"), L"[a]]b]");
    EXPECT_EQ(sql_ident(L"[dbo].[Orders]"), L"[dbo].[Orders]");
    // Not canonical: a lone ']' inside, or an unclosed bracket.
    EXPECT_EQ(sql_ident(L"[a]b]"), L"[[a]]b]]]");
    EXPECT_EQ(sql_ident(L"[abc"), L"[[abc]");
    EXPECT_EQ(sql_ident(L"]"), L"[]]]");
    EXPECT_FALSE(sql_is_bracketed(L"[a].b"));
    EXPECT_TRUE(sql_is_bracketed(L"[]"));
}

TEST(MssSqlText, ConnectionStringValues)
{
    EXPECT_EQ(conn_string_value(L"secret"), L"secret");
    EXPECT_EQ(conn_string_value(L"file:/tmp/x y"), L"file:/tmp/x y");
    EXPECT_EQ(conn_string_value(L"a;b"), L"\"a;b\"");
    EXPECT_EQ(conn_string_value(L"p=\"q\""), L"\"p=\"\"q\"\"\"");
    EXPECT_EQ(conn_string_value(L" pad"), L"\" pad\"");
}

TEST(MssViewDef, CollapseKeepsQuotedText)
{
    EXPECT_EQ(collapse_blanks(L"a \r\n\t b"), L"a b");
    EXPECT_EQ(collapse_blanks(L"x = '  two  ' and \"a  b\"  y"), L"x = '  two  ' and \"a  b\" y");
}

TEST(MssViewDef, SelectTextAsTheCatalogReaderStoresIt)
{
    const std::wstring def = L"CREATE VIEW v AS\r\n  SELECT TOP 100 PERCENT [a] FROM [dbo].[t]";
    EXPECT_EQ(mss_view_select_text(def, true).value(), L"SELECT  a FROM t");
    EXPECT_EQ(mss_view_select_text(def, false).value(), L"SELECT  a FROM dbo.t");
    EXPECT_FALSE(mss_view_select_text(L"CREATE VIEW v AS (SELECT 1 x)", true).has_value());
    EXPECT_EQ(mss_view_select_text(L"create view v with schemabinding as  select 1 as x", true).value(),
              L"select 1 as x");
}

TEST(MssViewDef, LiteralsAndIrregularNamesSurvive)
{
    const std::wstring def =
        L"CREATE VIEW [dbo].[V] AS SELECT [Order Details].[OrderID], x.[a] FROM [dbo].[Order Details] "
        L"WHERE name LIKE '[a-z]%' AND note = 'dbo.x TOP 100 PERCENT' AND xdbo.c = 1";
    EXPECT_EQ(mss_view_select_text(def, true).value(),
              L"SELECT [Order Details].OrderID, x.a FROM [Order Details] "
              L"WHERE name LIKE '[a-z]%' AND note = 'dbo.x TOP 100 PERCENT' AND xdbo.c = 1");
}
