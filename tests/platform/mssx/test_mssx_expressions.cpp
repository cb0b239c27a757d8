// Expressions of the embedded SQL Server against the answers SQL Server's
// documented rules give, one case a row.
#include <gtest/gtest.h>
#include "mssx_test_server.h"
#include "platform/mssx/mssx_expr_functions.h"

namespace {

struct expression_case {
    const char* expression;
    const char* value; // as the client shows it; "NULL" for a null
    const char* type;  // the result column's type, or "" when not checked
};

class MssxExpressions : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        server_ = std::make_unique<mssx_test_server>("expressions");
        mssx_connection c(server_->dir, server_->sa());
        auto out = c.execute(
            "CREATE DATABASE x\nUSE x\n"
            "CREATE TABLE o (id int NOT NULL, m money NULL, sm smallmoney NULL, d decimal(10,2) NULL, n numeric(12,4) "
            "NULL, "
            "f float NULL, s nvarchar(20) NULL, dt datetime NULL, dd date NULL, d2 datetime2 NULL)\n"
            "INSERT INTO o VALUES (1, 1164.30, 10.0001, 0.10, 1.0001, 0.1, N'abc12', '2020-03-04 13:05:06.123', "
            "'2020-03-04', '2020-03-04 13:05:06.1234567')\n"
            "INSERT INTO o VALUES (2, 1164.30, 20.0002, 0.20, 2.0002, 0.2, N'ABX', '2021-12-25 00:00:00', "
            "'2021-12-25', '2021-12-25 08:00:00')\n"
            "INSERT INTO o VALUES (3, NULL, NULL, 0.30, NULL, 0.3, N'a%b', NULL, NULL, NULL)\n"
            "INSERT INTO o VALUES (4, 922337203685477.5807, 214748.3647, 99999999.99, 99999999.9999, 1e300, N'z]', "
            "NULL, NULL, NULL)\n");
        ASSERT_TRUE(out.errors.empty()) << out.errors.front().what();
        // values beyond the 15 digits a double holds, and money whose binary products drift
        out = c.execute(
            "USE x\n"
            "CREATE TABLE big (id int NOT NULL, a decimal(38,0) NULL, b decimal(38,0) NULL, "
            "c decimal(20,2) NULL, d decimal(20,2) NULL, qty int NULL, price money NULL)\n"
            "INSERT INTO big VALUES (1, 123456789012345678901234567890, 987654321098765432109876543210, "
            "12345678901234567.50, 12345678901234568.50, 3, 33.37)\n"
            "INSERT INTO big VALUES (2, -5, 5, 99999999999999999.50, 100000000000000000.50, 7, 14.30)\n"
            "INSERT INTO big VALUES (3, NULL, NULL, NULL, NULL, NULL, NULL)\n");
        ASSERT_TRUE(out.errors.empty()) << out.errors.front().what();
    }
    static void TearDownTestSuite() { server_.reset(); }

    static std::pair<std::string, std::string> eval(const std::string& select)
    {
        mssx_connection c(server_->dir, server_->sa("x"));
        auto out = c.execute(select);
        if (!out.errors.empty()) return {"Msg " + std::to_string(out.errors.front().number), ""};
        const mssx_result& r = out.results.at(0);
        if (r.rows.empty()) return {"no row", ""};
        return {mssx_cell(r, 0, 0), r.columns[0].type.sql_text()};
    }

    static void check(const std::vector<expression_case>& cases, const std::string& from)
    {
        for (const auto& c : cases) {
            auto [value, type] = eval(std::string("SELECT ") + c.expression + from);
            EXPECT_EQ(value, c.value) << c.expression;
            if (*c.type) {
                EXPECT_EQ(type, c.type) << c.expression;
            }
        }
    }

    static std::unique_ptr<mssx_test_server> server_;
};
std::unique_ptr<mssx_test_server> MssxExpressions::server_;

} // namespace

TEST_F(MssxExpressions, AggregatesOverExactNumbersAreExact)
{
    check(
        {
            {"SUM(m)", "2328.6000", "money"},
            {"SUM(sm)", "30.0003", "money"},
            {"SUM(d)", "0.60", "decimal(38,2)"},
            {"AVG(d)", "0.200000", "decimal(38,6)"},
            {"SUM(n)", "3.0003", "decimal(38,4)"},
            {"AVG(n)", "1.500150", "decimal(38,6)"},
            {"SUM(m * 2)", "4657.2000", "money"},
            {"SUM(d * 3)", "1.80", ""},
            {"SUM(DISTINCT m)", "1164.3000", "money"},
            {"MIN(m) + MAX(m)", "2328.6000", "money"},
            {"COUNT(m)", "2", "int"},
        },
        " FROM o WHERE id < 4");
    // every digit of a total beyond what a double holds
    check(
        {
            {"SUM(m)", "922337203687806.1807", "money"},
            {"SUM(d)", "100000000.59", "decimal(38,2)"},
            {"SUM(n)", "100000003.0002", "decimal(38,4)"},
        },
        " FROM o");
}

TEST_F(MssxExpressions, ArithmeticFollowsThePrecisionAndScaleRules)
{
    check(
        {
            {"1.5 * 2.25", "3.375", "numeric(6,3)"},
            {"10.0 / 3", "3.333333333333", "numeric(14,12)"},
            {"CAST(1 AS decimal(10,2)) / 3", "0.3333333333333", "decimal(21,13)"},
            {"0.1 + 0.2", "0.3", "numeric(2,1)"},
            {"12.50 - 0.125", "12.375", "numeric(6,3)"},
            {"7 / 2", "3", ""},
            {"CAST(19.99 AS money) * 3", "59.9700", "money"},
        },
        "");
}

TEST_F(MssxExpressions, CastCutsAndRoundsAsTheServerDoes)
{
    check(
        {
            {"CAST(12.345 AS decimal(5,1))", "12.3", "decimal(5,1)"},
            {"CAST(12.35 AS decimal(5,1))", "12.4", "decimal(5,1)"},
            {"CAST(-2.675 AS decimal(5,2))", "-2.68", "decimal(5,2)"},
            {"CAST(2.675 AS numeric(5,2))", "2.68", "numeric(5,2)"},
            {"CAST(123.4 AS decimal(3,1))", "Msg 8115", ""},
            {"CAST('12.3456' AS money)", "12.3456", "money"},
            {"CAST(N'abcdef' AS nvarchar(3))", "abc", "nvarchar(3)"},
            {"CAST('abc' AS char(5)) + '|'", "abc  |", ""},
            {"CAST(N'ääää' AS nvarchar(2))", "ää", "nvarchar(2)"},
            {"CAST(2.7 AS int)", "2", ""},
            {"CAST(-2.7 AS int)", "-2", ""},
            {"CAST('2.7' AS int)", "Msg 245", ""},
            {"CAST('abc' AS int)", "Msg 245", ""},
            {"CAST(300 AS tinyint)", "Msg 220", ""},
            {"CAST('NaN' AS float)", "Msg 8114", ""},
            {"CAST('Infinity' AS float)", "Msg 8114", ""},
            {"CAST('-inf' AS float)", "Msg 8114", ""},
            {"CAST('1.5e3' AS float)", "1500", "float"},
            {"CAST(d AS varchar(10))", "0.10", ""},
        },
        " FROM o WHERE id = 1");
}

TEST_F(MssxExpressions, ConvertWritesAndReadsTheCommonDateStyles)
{
    check(
        {
            {"CONVERT(varchar(30), dt, 0)", "Mar  4 2020  1:05PM", ""},
            {"CONVERT(varchar(30), dt, 100)", "Mar  4 2020  1:05PM", ""},
            {"CONVERT(varchar(10), dt, 101)", "03/04/2020", ""},
            {"CONVERT(varchar(10), dt, 103)", "04/03/2020", ""},
            {"CONVERT(char(8), dt, 112)", "20200304", ""},
            {"CONVERT(varchar(19), dt, 120)", "2020-03-04 13:05:06", ""},
            {"CONVERT(varchar(30), dt, 121)", "2020-03-04 13:05:06.123", ""},
            {"CONVERT(varchar(30), dt, 126)", "2020-03-04T13:05:06.123", ""},
            {"CONVERT(varchar(30), dd, 103)", "04/03/2020", ""},
            {"CONVERT(varchar(30), dd, 0)", "Mar  4 2020", ""},
            {"CONVERT(varchar(30), d2, 121)", "2020-03-04 13:05:06.1234567", ""},
            {"CONVERT(varchar(10), dt, 999)", "2020-03-04", ""},
            {"CONVERT(datetime, '25/12/2021', 103)", "2021-12-25 00:00:00", "datetime"},
            {"CONVERT(datetime, '12/25/2021', 101)", "2021-12-25 00:00:00", "datetime"},
            {"CONVERT(date, '20211225', 112)", "2021-12-25", "date"},
            {"CONVERT(datetime, '2021-12-25T10:11:12.5', 126)", "2021-12-25 10:11:12.500", "datetime"},
            {"CONVERT(datetime, 'not a date', 103)", "Msg 241", ""},
        },
        " FROM o WHERE id = 1");
    // midnight and one hour past noon in style 0; 126 leaves a zero fraction out
    check(
        {
            {"CONVERT(varchar(30), dt, 0)", "Dec 25 2021 12:00AM", ""},
            {"CONVERT(varchar(30), dt, 126)", "2021-12-25T00:00:00", ""},
        },
        " FROM o WHERE id = 2");
}

TEST_F(MssxExpressions, LikeKnowsCharacterClassesAndEscapes)
{
    const std::vector<std::pair<const char*, const char*>> cases = {
        {"s LIKE '[a-c]%[0-9]'", "1"}, // abc12
        {"s LIKE '[^x]B_'", "2"},      // ABX
        {"s LIKE 'a!%b' ESCAPE '!'", "3"},
        {"s LIKE 'a[%]b'", "3"},
        {"s LIKE '_]'", "4"},
        {"s LIKE 'ab_'", "2"}, // any case
        {"s LIKE '[0-9]%'", "none"},
        {"s LIKE '%[0-9][0-9]'", "1"},
        {"s NOT LIKE '%[a-z]%'", "none"},
        {"s LIKE 'abc12%%'", "1"},
    };
    for (auto& [cond, want] : cases) {
        mssx_connection c(server_->dir, server_->sa("x"));
        auto out = c.execute(std::string("SELECT id FROM o WHERE ") + cond + " ORDER BY id");
        ASSERT_TRUE(out.errors.empty()) << cond << ": " << out.errors.front().what();
        std::string got;
        for (size_t i = 0; i < out.results.at(0).rows.size(); ++i)
            got += (got.empty() ? "" : ",") + mssx_cell(out.results[0], i, 0);
        EXPECT_EQ(got.empty() ? "none" : got, want) << cond;
    }
    EXPECT_TRUE(mssx_like("a-b", "a[-]b", std::nullopt));
    EXPECT_TRUE(mssx_like("", "%", std::nullopt));
    EXPECT_FALSE(mssx_like("abc", "ab", std::nullopt));
    EXPECT_TRUE(mssx_like("Ünïcode", "üNÏ%", std::nullopt));
    EXPECT_TRUE(mssx_like("aXbXc", "a%b%c", std::nullopt));
    EXPECT_FALSE(mssx_like("aXbXd", "a%b%c", std::nullopt));
}

TEST_F(MssxExpressions, CaseInBothFormsWithElse)
{
    check(
        {
            {"CASE id WHEN 1 THEN 'one' WHEN 2 THEN 'two' ELSE 'other' END", "one", ""},
            {"CASE WHEN m > 1000 THEN 'big' ELSE 'small' END", "big", ""},
            {"CASE WHEN s LIKE '[0-9]%' THEN 1 ELSE 0 END", "0", ""},
            {"CASE id WHEN 7 THEN 'seven' END", "NULL", ""},
        },
        " FROM o WHERE id = 1");
    // CASE inside an IF condition and a SET of a variable
    mssx_connection c(server_->dir, server_->sa("x"));
    auto out = c.execute(
        "DECLARE @v nvarchar(10)\nSET @v = CASE WHEN 1 = 2 THEN N'no' ELSE N'yes' END\n"
        "IF (CASE WHEN @v = N'yes' THEN 1 ELSE 0 END) = 1 SELECT @v ELSE SELECT N'wrong'");
    ASSERT_TRUE(out.errors.empty()) << out.errors.front().what();
    EXPECT_EQ(mssx_cell(out.results.at(0), 0, 0), "yes");
}

TEST_F(MssxExpressions, NotANumberIsRefusedOnTheWayIn)
{
    mssx_connection c(server_->dir, server_->sa("x"));
    for (const char* v : {"'NaN'", "'Infinity'", "'-Infinity'", "'inf'"}) {
        auto out = c.execute(std::string("INSERT INTO o (id, f) VALUES (9, ") + v + ")");
        ASSERT_EQ(out.errors.size(), 1u) << v;
        EXPECT_EQ(out.errors[0].number, 8114) << v;
        EXPECT_STREQ(out.errors[0].what(), "Error converting data type varchar to float.");
    }
    EXPECT_EQ(eval("SELECT COUNT(*) FROM o WHERE id = 9").first, "0");
}

TEST_F(MssxExpressions, ExactArithmeticBeyondFifteenDigits)
{
    check(
        {
            {"a + b", "1111111110111111111011111111100", "decimal(38,0)"},
            {"a - b", "-864197532086419753208641975320", "decimal(38,0)"},
            {"a * 2", "246913578024691357802469135780", "decimal(38,0)"},
            {"a % 11", "7", "decimal(10,0)"},
            {"-c", "-12345678901234567.50", "decimal(20,2)"},
            {"c * 2", "24691357802469135.00", "decimal(31,2)"},
            {"c + d", "24691357802469136.00", "decimal(21,2)"},
            {"(c - 0.50) * 10", "123456789012345670.00", "decimal(32,2)"},
            {"d - c", "1.00", "decimal(21,2)"},
            // precision 40 comes down to 38 at the cost of the scale: the half rounds up
            {"a + 0.5", "123456789012345678901234567891", "decimal(38,0)"},
            {"price * qty", "100.1100", "money"},
            {"c + 123456789012345678.25", "135802467913580245.75", "decimal(21,2)"},
            {"a * b", "Msg 8115", ""},
            {"c / 0", "Msg 8134", ""},
            {"a + NULL", "NULL", ""},
        },
        " FROM big WHERE id = 1");
    check(
        {
            {"SUM(a)", "123456789012345678901234567885", "decimal(38,0)"},
            {"SUM(a + b)", "1111111110111111111011111111100", "decimal(38,0)"},
            {"SUM(price * qty)", "200.2100", "money"},
            {"SUM(c)", "112345678901234567.00", "decimal(38,2)"},
        },
        " FROM big");
}

TEST_F(MssxExpressions, ConditionsCompareExactly)
{
    struct condition_case {
        const char* condition;
        const char* ids; // the rows of big it keeps
    };
    const condition_case cases[] = {
        // money times int: 14.30 * 7 is 100.10, not 100.10000000000001
        {"price * qty > 100.10", "1"},
        {"price * qty = 100.10", "2"},
        {"price * qty >= 100.10", "1,2"},
        {"price * qty BETWEEN 100.10 AND 100.11", "1,2"},
        {"price * qty NOT BETWEEN 100.10 AND 100.105", "1"},
        {"100.10 < price * qty", "1"},
        {"0.1 + 0.2 = 0.3", "1,2,3"},
        // values that differ in the 17th digit
        {"c < d", "1,2"},
        {"c = 12345678901234567.50", "1"},
        {"c = 12345678901234567.51", ""},
        {"c < 12345678901234567.51", "1"},
        {"c <> 12345678901234567.50", "2"},
        {"c !> 12345678901234567.50", "1"},
        {"c + 1 = d", "1,2"},
        {"c - 0.50 = 12345678901234567", "1"},
        // 30-digit decimal(38,0) values
        {"a + b = 1111111110111111111011111111100", "1"},
        {"a > 123456789012345678901234567889", "1"},
        {"a > 123456789012345678901234567890", ""},
        {"a * 2 > 200000000000000000000000000000", "1"},
        {"a < b", "1,2"},
        {"-a > 0", "2"},
        {"a = -5 AND b = 5", "2"},
        {"NOT (a + b > 0)", "2"},
        {"CASE WHEN c * 2 > 24691357802469134.99 THEN 1 ELSE 0 END = 1", "1,2"},
    };
    mssx_connection c(server_->dir, server_->sa("x"));
    for (const auto& row : cases) {
        auto out = c.execute(std::string("SELECT id FROM big WHERE ") + row.condition + " ORDER BY id");
        ASSERT_TRUE(out.errors.empty()) << row.condition << ": " << out.errors.front().what();
        std::string ids;
        for (size_t i = 0; i < out.results.at(0).rows.size(); ++i)
            ids += (ids.empty() ? "" : ",") + mssx_cell(out.results[0], i, 0);
        EXPECT_EQ(ids, row.ids) << row.condition;
    }
    // an exact total in a condition of an UPDATE
    auto out = c.execute("UPDATE big SET qty = qty WHERE price * qty = 100.10");
    ASSERT_TRUE(out.errors.empty()) << out.errors.front().what();
    EXPECT_EQ(out.rows_affected, 1);
}

TEST_F(MssxExpressions, LeastAndGreatestCompareExactly)
{
    // a value kept whole as text would sort after every number in SQLite's own MIN and MAX
    mssx_connection c(server_->dir, server_->sa("x"));
    auto out = c.execute(
        "CREATE TABLE ext (id int NOT NULL, a decimal(38,0) NULL, m money NULL)\n"
        "INSERT INTO ext VALUES (1, -123456789012345678901234567890, 922337203685477.5807)\n"
        "INSERT INTO ext VALUES (2, 5, -922337203685477.5808)\n"
        "INSERT INTO ext VALUES (3, 123456789012345678901234567889, NULL)\n");
    ASSERT_TRUE(out.errors.empty()) << out.errors.front().what();
    check(
        {
            {"MAX(a)", "123456789012345678901234567889", "decimal(38,0)"},
            {"MIN(a)", "-123456789012345678901234567890", "decimal(38,0)"},
            {"MAX(a - 123456789012345678901234567889)", "0", "decimal(38,0)"},
            {"MIN(DISTINCT a)", "-123456789012345678901234567890", "decimal(38,0)"},
            {"MAX(m)", "922337203685477.5807", "money"},
            {"MIN(m)", "-922337203685477.5808", "money"},
        },
        " FROM ext");
    check({{"MAX(a)", "NULL", ""}}, " FROM ext WHERE id > 3");
    // the exact aggregates are no window functions: with OVER the query runs on SQLite's own
    for (const char* window : {"SUM(m) OVER ()", "MAX(a) OVER (PARTITION BY id)"}) {
        auto [value, type] = eval(std::string("SELECT ") + window + " FROM ext");
        EXPECT_EQ(value.rfind("Msg", 0), std::string::npos) << window << ": " << value;
    }
}
