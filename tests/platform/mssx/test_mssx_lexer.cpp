#include <gtest/gtest.h>
#include "platform/mssx/mssx_error.h"
#include "platform/mssx/mssx_lexer.h"
#include "platform/mssx/mssx_translator.h"

namespace {

int lex_error(const std::string& s)
{
    try {
        mssx_lex(s, true);
    } catch (const mssx_error& e) {
        return e.number;
    }
    return 0;
}

mssx_translate_env plain_env()
{
    mssx_translate_env env;
    env.version = "Microsoft SQL Server 2022 (RTM)";
    env.resolve_table = [](const std::vector<std::string>& parts) {
        if (parts.back() == "missing") throw mssx_error(208, "Invalid object name 'missing'.");
        return "\"dbo." + parts.back() + "\"";
    };
    env.is_char_column = [](const std::string& c) { return c == "FirstName" || c == "LastName"; };
    env.variable = [](const std::string& n) -> std::optional<std::string> {
        if (n == "@n") return std::string("3");
        return std::nullopt;
    };
    return env;
}

std::string tr(const std::string& sql)
{
    auto toks = mssx_lex(sql, true);
    return mssx_translate(toks, 0, toks.size() - 1, plain_env());
}

int tr_error(const std::string& sql)
{
    try {
        tr(sql);
    } catch (const mssx_error& e) {
        return e.number;
    }
    return 0;
}

} // namespace

TEST(MssxLexer, TokensQuotesAndComments)
{
    auto t = mssx_lex(
        "SELECT [a]]b], \"c\"\"d\", N'x''y', 'z', 0x0aFF, 12.5e3, @v, @@VERSION -- rest\n/* a /* nested */ comment */ "
        "<> !=",
        true);
    ASSERT_EQ(t.size(), 19u);
    EXPECT_TRUE(t[0].is_word("SELECT"));
    EXPECT_EQ(t[1].kind, mssx_tok::qident);
    EXPECT_EQ(t[1].text, "a]b");
    EXPECT_EQ(t[3].text, "c\"d");
    EXPECT_EQ(t[5].kind, mssx_tok::nstring);
    EXPECT_EQ(t[5].text, "x'y");
    EXPECT_EQ(t[7].kind, mssx_tok::string);
    EXPECT_EQ(t[9].kind, mssx_tok::binary);
    EXPECT_EQ(t[9].text, std::string("\x0A\xFF", 2));
    EXPECT_EQ(t[11].text, "12.5e3");
    EXPECT_EQ(t[13].kind, mssx_tok::variable);
    EXPECT_EQ(t[15].text, "@@VERSION");
    EXPECT_TRUE(t[16].is_op("<>"));
    EXPECT_TRUE(t[17].is_op("!="));
    EXPECT_EQ(t[16].line, 2);
    auto off = mssx_lex("\"text\"", false);
    EXPECT_EQ(off[0].kind, mssx_tok::string);
    EXPECT_EQ(lex_error("SELECT 'open"), 105);
    EXPECT_EQ(lex_error("SELECT [open"), 105);
    EXPECT_EQ(lex_error("/* open"), 113);
}

TEST(MssxLexer, BatchesSplitAtGoLinesOnly)
{
    auto b = mssx_split_batches(
        "\xEF\xBB\xBFSELECT 1\ngo\nSELECT 'a\nGO\nb'\n  GO 3  \nSELECT 2 -- GO\n/*\nGO\n*/\nGO -- done\nSELECT "
        "[x\nGO\n]");
    ASSERT_EQ(b.size(), 4u);
    EXPECT_EQ(b[0].text, "SELECT 1\n");
    EXPECT_EQ(b[1].text, "SELECT 'a\nGO\nb'\n");
    EXPECT_EQ(b[1].first_line, 3);
    EXPECT_EQ(b[1].repeat, 3);
    EXPECT_EQ(b[2].first_line, 7);
    EXPECT_NE(b[2].text.find("*/"), std::string::npos);
    EXPECT_EQ(b[3].text, "SELECT [x\nGO\n]\n");
    EXPECT_TRUE(mssx_split_batches("GO\nGO\n").empty());
}

TEST(MssxLexer, GoCountsOutsideTheServersRangeStopTheScript)
{
    EXPECT_EQ(mssx_split_batches("SELECT 1\nGO 2147483647\n")[0].repeat, 2147483647);
    for (const char* bad : {"SELECT 1\nGO 2147483648\n", "SELECT 1\nGO1997166666666662\n", "SELECT 1\nGO 0\n"}) {
        try {
            mssx_split_batches(bad);
            ADD_FAILURE() << "accepted " << bad;
        } catch (const mssx_error& e) {
            EXPECT_EQ(e.line, 2) << bad;
            EXPECT_NE(std::string(e.what()).find("parsing GO"), std::string::npos);
        }
    }
}

TEST(MssxTranslator, NamesTopLiteralsAndConcatenation)
{
    EXPECT_EQ(tr("SELECT TOP 5 [a], b FROM [dbo].[T] ORDER BY a"),
              " SELECT \"a\", b FROM \"dbo.T\" AS \"T\" ORDER BY a LIMIT 5");
    EXPECT_EQ(tr("SELECT FirstName + ' ' + LastName FROM Employees e"),
              " SELECT FirstName || ' ' || LastName FROM \"dbo.Employees\" e");
    EXPECT_EQ(tr("SELECT 1 + 2"), " SELECT 1 + 2");
    EXPECT_EQ(tr("SELECT N'it''s', 0x0102"), " SELECT 'it''s', X'0102'");
    EXPECT_EQ(
        tr("SELECT x FROM t WHERE d BETWEEN '19970101' AND '19971231'"),
        " SELECT x FROM \"dbo.t\" AS \"t\" WHERE d BETWEEN '1997-01-01 00:00:00.000' AND '1997-12-31 00:00:00.000'");
    EXPECT_EQ(tr("SELECT ISNULL(a, 0), LEN(b), CHARINDEX('x', c), SUBSTRING(d, 1, 2) FROM t"),
              " SELECT IFNULL( a,  0), mssx_len( b), INSTR( c,  'x'), SUBSTR( d,  1,  2) FROM \"dbo.t\" AS \"t\"");
    EXPECT_EQ(tr("SELECT CONVERT(money, a / 3), CAST(b AS int) FROM t"),
              " SELECT mssx_cast( a / 3, 'money', NULL, '', 'mdy'), mssx_cast( b, 'int', NULL, '', 'mdy') FROM "
              "\"dbo.t\" AS \"t\"");
    EXPECT_EQ(
        tr("SELECT t.a FROM t JOIN u ON t.a = u.a"),
        " SELECT \"t\".\"a\" AS \"a\" FROM \"dbo.t\" AS \"t\" JOIN \"dbo.u\" AS \"u\" ON \"t\".\"a\" = \"u\".\"a\"");
    EXPECT_EQ(tr("SELECT @@VERSION, @n"), " SELECT 'Microsoft SQL Server 2022 (RTM)', 3");
    EXPECT_EQ(tr("SELECT * FROM a, (b JOIN c ON b.x = c.x)"),
              " SELECT * FROM \"dbo.a\" AS \"a\", ( \"dbo.b\" AS \"b\" JOIN \"dbo.c\" AS \"c\" ON \"b\".\"x\" = "
              "\"c\".\"x\")");
}

TEST(MssxTranslator, RefusesWhatItCannotRun)
{
    EXPECT_EQ(tr_error("SELECT * FROM missing"), 208);
    EXPECT_EQ(tr_error("SELECT @undeclared"), 137);
    EXPECT_EQ(tr_error("SELECT a *= b"), 102);
    EXPECT_EQ(tr_error("SELECT (a"), 102);
    EXPECT_EQ(tr_error("SELECT ISNULL(a)"), 174);
    EXPECT_EQ(tr_error("SELECT TOP 10 PERCENT a FROM t"), 102);
    EXPECT_EQ(tr_error("SELECT CONVERT(nosuchtype, a)"), 2715);
}
