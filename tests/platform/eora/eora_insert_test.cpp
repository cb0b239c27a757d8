#include "platform/eora/eora_error.h"
#include "platform/eora/eora_session.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

// INSERT column lists in any order, checked as Oracle checks them.
class EoraInsert : public ::testing::Test {
protected:
    std::filesystem::path dir;
    std::unique_ptr<eora::session> s;

    void SetUp() override
    {
        dir =
            std::filesystem::temp_directory_path() / ("eora_insert_" + std::to_string(::getpid()) + "_" +
                                                      ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
        const std::string file = (dir / "ORCL.db").string();
        eora::session::create_service(file, "manager");
        s = std::make_unique<eora::session>(file, "SYSTEM", "manager");
        run("create table t (a number(5), b varchar2(5), c number(5) default 7, d varchar2(5))");
    }
    void TearDown() override
    {
        s.reset();
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }

    std::vector<std::string> run(const std::string& sql)
    {
        auto st = s->prepare(sql);
        auto r = s->execute(*st, {});
        std::vector<std::string> rows;
        if (!r.cur) return rows;
        while (r.cur->next()) {
            std::string row;
            for (const auto& v : r.cur->row()) row += (v.is_null() ? "<null>" : v.s) + "|";
            rows.push_back(row);
        }
        return rows;
    }

    int error_of(const std::string& sql)
    {
        try {
            run(sql);
        } catch (const eora::eora_error& e) {
            return e.number();
        }
        return 0;
    }
};

TEST_F(EoraInsert, ColumnListsInAnyOrderFillTheNamedColumns)
{
    run("insert into t (a, b, c, d) values (1, 'b1', 3, 'd1')");
    run("insert into t (d, c, b, a) values ('d2', 4, 'b2', 2)");
    run("insert into t (b, d, a) values ('b3', 'd3', 3)");
    run("insert into t (c, d) values (5, 'd4')");
    run("insert into t (a, c, b) values (5, 6, 'b5')");
    run("insert into t (\"D\", a) values ('d6', 6)");
    EXPECT_EQ(run("select a, b, c, d from t order by rowid"),
              (std::vector<std::string>{"1|b1|3|d1|", "2|b2|4|d2|", "3|b3|7|d3|", "<null>|<null>|5|d4|",
                                        "5|b5|6|<null>|", "6|<null>|7|d6|"}));
    EXPECT_EQ(error_of("insert into t (a, b, a) values (1, 'x', 2)"), 957);
    EXPECT_EQ(error_of("insert into t (a, b, c, d, a) values (1, 'x', 2, 'y', 3)"), 957);
    EXPECT_EQ(error_of("insert into t (b, a, b) values ('x', 1, 'y')"), 957);
    EXPECT_EQ(error_of("insert into t (a, nosuch) values (1, 2)"), 904);
    EXPECT_EQ(error_of("insert into t (d, e) values ('x', 2)"), 904);
    EXPECT_EQ(run("select count(*) from t"), (std::vector<std::string>{"6|"}));
}

// Every literal an INSERT carries, stored as before: numbers at their
// precision and scale, rounding, dates by their picture, and the errors.
TEST_F(EoraInsert, LiteralsAreStoredExactlyAsTheColumnTakesThem)
{
    struct literal_case {
        const char* type;
        const char* literal;
        const char* stored; // nullptr when `error` is raised instead
        int error;
    };
    const literal_case cases[] = {
        {"number(5,2)", "999.994", "999.99", 0},
        {"number(5,2)", "999.995", nullptr, 1438},
        {"number(5,2)", "-999.995", nullptr, 1438},
        {"number(5,2)", "-999.994", "-999.99", 0},
        {"number(5,2)", "0.005", ".01", 0},
        {"number(5,2)", "-0.004", "0", 0},
        {"number(5,2)", "1e2", "100", 0},
        {"number(5,2)", "'12.5'", "12.5", 0},
        {"number(5,2)", "' 7 '", "7", 0},
        {"number(5,2)", "'abc'", nullptr, 1722},
        {"number(5,2)", "TO_NUMBER('-3.456')", "-3.46", 0},
        {"number(5,-2)", "12351", "12400", 0},
        {"number(5,-2)", "9999951", nullptr, 1438},
        {"number(10)", "-2147483648.5", "-2147483649", 0},
        {"number(19)", "9223372036854775807", "9223372036854775807", 0},
        {"number(20)", "-99999999999999999999", "-99999999999999999999", 0},
        {"number", "123456789012345678901234567890123456789012", "1.2345678901234567890123456789012345679E+41", 0},
        {"number", ".1234567890123456789", ".1234567890123456789", 0},
        {"number", "-.5", "-.5", 0},
        {"number", "+-+4", "-4", 0},
        {"number", "1e125", "1E+125", 0},
        {"number", "1e126", nullptr, 1426},
        {"number", "1e-130", "1E-130", 0},
        {"number", "1e-131", "0", 0},
        {"number", "0.000000000000001", ".000000000000001", 0},
        {"float(10)", "12345", "12350", 0},
        {"binary_double", "0.1", ".1", 0},
        {"number", "TO_DATE('2024-01-01','YYYY-MM-DD')", nullptr, 932},
        {"date", "TO_DATE('2024-02-29 23:59:59','YYYY-MM-DD HH24:MI:SS')", "2024-02-29 23:59:59", 0},
        {"date", "TO_DATE('31-12-9999','DD-MM-YYYY')", "9999-12-31 00:00:00", 0},
        {"date", "TO_DATE('01-01--4712','DD-MM-SYYYY')", "-4712-01-01 00:00:00", 0},
        {"date", "TO_DATE('2023-02-29','YYYY-MM-DD')", nullptr, 1847},
        {"date", "TO_DATE('2023-13-01','YYYY-MM-DD')", nullptr, 1843},
        {"date", "TO_DATE('2023-01-01x','YYYY-MM-DD')", nullptr, 1830},
        {"date", "TO_DATE('2023-JAN-01','YYYY-MM-DD')", nullptr, 1858},
        {"date", "TO_DATE('2023-01-01','YYYY-MON-DD')", nullptr, 1861},
        {"date", "TO_DATE('01-JAN-2024','DD-MON-YYYY Q')", "2024-01-01 00:00:00", 0},
        {"date", "TO_DATE('01-JAN-2024 5','DD-MON-YYYY Q')", nullptr, 1821},
        {"date", "TO_DATE('2024x01','YYYY\"x\"MM')", "2024-01-01 00:00:00", 0},
        {"date", "TO_DATE('2024-march-05','yyyy-month-dd')", "2024-03-05 00:00:00", 0},
        {"date", "TO_DATE('2024-01-01 12:30:00 AM','YYYY-MM-DD HH:MI:SS AM')", "2024-01-01 00:30:00", 0},
        {"date", "TO_DATE('2024-01-01 01:30:00 PM','YYYY-MM-DD HH12:MI:SS P.M.')", "2024-01-01 13:30:00", 0},
        {"date", "TO_TIMESTAMP('2024-01-01 10:11:12.7','YYYY-MM-DD HH24:MI:SS.FF')", "2024-01-01 10:11:12", 0},
        {"date", "TO_TIMESTAMP_TZ('2024-01-01 10:00:00 -05:30','YYYY-MM-DD HH24:MI:SS TZH:TZM')", "2024-01-01 10:00:00",
         0},
        {"date", "'15-JAN-24'", "2024-01-15 00:00:00", 0},
        {"date", "'15-XYZ-24'", nullptr, 1843},
        {"date", "12", nullptr, 932},
        {"timestamp(3)", "TO_TIMESTAMP('2024-01-01 10:11:12.123456789','YYYY-MM-DD HH24:MI:SS.FF')",
         "2024-01-01 10:11:12.123", 0},
        {"timestamp(3)", "TO_TIMESTAMP('2024-12-31 23:59:59.9995','YYYY-MM-DD HH24:MI:SS.FF')",
         "2025-01-01 00:00:00.000", 0},
        {"timestamp(3)", "TO_DATE('2024-01-01 10:11:12.9','YYYY-MM-DD HH24:MI:SS.FF')", "2024-01-01 10:11:12.000", 0},
        {"timestamp(9)", "TO_TIMESTAMP('2024-01-01 10:11:12.000000001','YYYY-MM-DD HH24:MI:SS.FF9')",
         "2024-01-01 10:11:12.000000001", 0},
        {"timestamp(0)", "TO_TIMESTAMP('2024-01-01 10:11:12.5','YYYY-MM-DD HH24:MI:SS.FF')", "2024-01-01 10:11:13", 0},
        {"timestamp with time zone", "TO_TIMESTAMP_TZ('2024-01-01 10:00:00 -05:30','YYYY-MM-DD HH24:MI:SS TZH:TZM')",
         "2024-01-01 10:00:00.000000 -05:30", 0},
        {"timestamp with time zone", "TO_TIMESTAMP_TZ('2024-01-01 10:00:00 -00:30','YYYY-MM-DD HH24:MI:SS TZH:TZM')",
         "2024-01-01 10:00:00.000000 -00:30", 0},
        {"timestamp with time zone", "TO_TIMESTAMP('2024-01-01 10:00:00','YYYY-MM-DD HH24:MI:SS')",
         "2024-01-01 10:00:00.000000 +00:00", 0},
        {"timestamp with time zone", "TO_TIMESTAMP('2024-01-01 10:00:00 -05:30','YYYY-MM-DD HH24:MI:SS TZH:TZM')",
         "2024-01-01 10:00:00.000000 +00:00", 0},
        {"timestamp(3) with time zone",
         "TO_TIMESTAMP_TZ('2024-01-01 10:00:00.1239 +05:45','YYYY-MM-DD HH24:MI:SS.FF TZH:TZM')",
         "2024-01-01 10:00:00.124 +05:45", 0},
        {"varchar2(5)", "'abcde'", "abcde", 0},
        {"varchar2(5)", "'abcdef'", nullptr, 12899},
        {"varchar2(5)", "12.50", "12.5", 0},
        {"varchar2(5)", "123456", nullptr, 12899},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.type) + " <- " + c.literal);
        const std::string table = "x" + std::to_string(n++);
        run("create table " + table + " (c " + c.type + ")");
        const std::string insert = "insert into " + table + " (c) values (" + c.literal + ")";
        if (c.stored) {
            EXPECT_EQ(error_of(insert), 0);
            EXPECT_EQ(run("select c from " + table), (std::vector<std::string>{std::string(c.stored) + "|"}));
        } else {
            EXPECT_EQ(error_of(insert), c.error);
            EXPECT_TRUE(run("select c from " + table).empty());
        }
    }
}

// The same picture serves many rows: each row is read by it afresh.
TEST_F(EoraInsert, OnePictureReadsEveryRowByItself)
{
    run("create table d (k number, c date)");
    const char* days[] = {"2024-01-31", "2023-02-28", "1999-12-31", "2000-02-29", "0001-01-01"};
    for (int i = 0; i < 5; ++i)
        run("insert into d (k, c) values (" + std::to_string(i) + ", TO_DATE('" + days[i] + "','YYYY-MM-DD'))");
    EXPECT_EQ(error_of("insert into d (k, c) values (5, TO_DATE('2023-02-29','YYYY-MM-DD'))"), 1847);
    run("insert into d (k, c) values (6, TO_DATE('2023-03-01','YYYY-MM-DD'))");
    EXPECT_EQ(run("select k, c from d order by k"),
              (std::vector<std::string>{"0|2024-01-31 00:00:00|", "1|2023-02-28 00:00:00|", "2|1999-12-31 00:00:00|",
                                        "3|2000-02-29 00:00:00|", "4|0001-01-01 00:00:00|", "6|2023-03-01 00:00:00|"}));
}

} // namespace
