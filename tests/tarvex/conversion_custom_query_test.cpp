// A custom query that adds up money converts into Oracle with every digit of
// its totals, read back from the embedded Oracle.
#include <gtest/gtest.h>

#include "conversion_env.h"

namespace {

const std::string k_db = "ledger";

} // namespace

TEST(custom_query_conversion, sums_over_money_arrive_with_every_digit)
{
    tk_logger logger{nullptr, false, 3, false};
    conversion_env env;
    env.create_database(k_db);
    // a thousand dimes (a binary sum drifts off 100) and totals beyond what a double holds
    std::string script =
        "CREATE TABLE Sales (Id int NOT NULL PRIMARY KEY, Region nvarchar(10) NOT NULL, Amount money NOT NULL, "
        "Rate decimal(20,6) NOT NULL)\nGO\n";
    for (int i = 1; i <= 1000; ++i)
        script += "INSERT INTO Sales VALUES (" + std::to_string(i) + ", N'North', $0.10, 0.000001)\n";
    script +=
        "INSERT INTO Sales VALUES (1001, N'South', 123456789012.3456, 12345678901234.123456)\n"
        "INSERT INTO Sales VALUES (1002, N'South', $0.0001, 0.000001)\n"
        "INSERT INTO Sales VALUES (1003, N'South', 1164.30, 0.5)\nGO\n";
    env.run_script(k_db, script);
    env.create_user("scott", "tiger");
    recording_handler handler;
    recording_front_end front;
    tarvex_convertor d(tarvex_convertor::settings_source::agent_defaults);
    d.set_front_end(&front);
    env.configure(d, k_db, "scott", "tiger");
    d.selected_queries.emplace_back(L"Totals",
                                    L"SELECT Region, SUM(Amount) AS Total, AVG(Amount) AS Mean, SUM(Rate) AS Rates "
                                    L"FROM dbo.Sales GROUP BY Region");
    d();
    EXPECT_TRUE(d.run_completed());
    EXPECT_TRUE(handler.errors.empty());
    ora_rows rows = env.oracle_query(
        "SELECT \"Region\", \"Total\", \"Mean\", \"Rates\" FROM \"SCOTT\".\"Totals\" ORDER BY \"Region\"");
    ASSERT_EQ(rows.rows.size(), 2u);
    EXPECT_EQ(rows.rows[0][0].s, "North");
    EXPECT_EQ(canonical_number(rows.rows[0][1].s), "100");
    EXPECT_EQ(canonical_number(rows.rows[0][2].s), "0.1");
    EXPECT_EQ(canonical_number(rows.rows[0][3].s), "0.001");
    EXPECT_EQ(rows.rows[1][0].s, "South");
    EXPECT_EQ(canonical_number(rows.rows[1][1].s), "123456790176.6457");
    EXPECT_EQ(canonical_number(rows.rows[1][2].s), "41152263392.2152");
    EXPECT_EQ(canonical_number(rows.rows[1][3].s), "12345678901234.623457");
}

TEST(custom_query_conversion, exact_conditions_and_long_decimals_arrive_with_every_digit)
{
    tk_logger logger{nullptr, false, 3, false};
    conversion_env env;
    env.create_database(k_db);
    // 14.30 * 7 is 100.10 exactly (in binary 100.10000000000001, which passes "> 100.10"), and
    // the decimal(20,2) values are beyond what a double tells apart
    env.run_script(k_db,
                   "CREATE TABLE Lines (Id int NOT NULL PRIMARY KEY, Price money NOT NULL, Qty int NOT NULL, "
                   "Big decimal(38,0) NOT NULL, Part decimal(20,2) NOT NULL)\nGO\n"
                   "INSERT INTO Lines VALUES (1, 33.37, 3, 123456789012345678901234567890, 12345678901234567.50)\n"
                   "INSERT INTO Lines VALUES (2, 14.30, 7, 987654321098765432109876543210, 99999999999999999.50)\n"
                   "INSERT INTO Lines VALUES (3, 99.99, 1, 5, 100000000000000000.50)\n"
                   "INSERT INTO Lines VALUES (4, 1.00, 1, 987654321098765432109876543210, 99999999999999998.49)\nGO\n");
    env.create_user("scott", "tiger");
    recording_handler handler;
    recording_front_end front;
    tarvex_convertor d(tarvex_convertor::settings_source::agent_defaults);
    d.set_front_end(&front);
    env.configure(d, k_db, "scott", "tiger");
    d.selected_queries.emplace_back(L"Lines",
                                    L"SELECT Id, Price * Qty AS Line, Big * 3 + 1 AS Big3, Part + 0.01 AS Part1 "
                                    L"FROM dbo.Lines WHERE Price * Qty > 100.10 OR Part < 99999999999999999.50");
    d();
    EXPECT_TRUE(d.run_completed());
    EXPECT_TRUE(handler.errors.empty());
    ora_rows rows =
        env.oracle_query("SELECT \"Id\", \"Line\", \"Big3\", \"Part1\" FROM \"SCOTT\".\"Lines\" ORDER BY \"Id\"");
    ASSERT_EQ(rows.rows.size(), 2u);
    EXPECT_EQ(canonical_number(rows.rows[0][0].s), "1");
    EXPECT_EQ(canonical_number(rows.rows[0][1].s), "100.11");
    EXPECT_EQ(canonical_number(rows.rows[0][2].s), "370370367037037036703703703671");
    EXPECT_EQ(canonical_number(rows.rows[0][3].s), "12345678901234567.51");
    EXPECT_EQ(canonical_number(rows.rows[1][0].s), "4");
    EXPECT_EQ(canonical_number(rows.rows[1][1].s), "1");
    EXPECT_EQ(canonical_number(rows.rows[1][2].s), "2962962963296296296329629629631");
    EXPECT_EQ(canonical_number(rows.rows[1][3].s), "99999999999999998.5");
}

// A query's time and datetime2 columns keep every digit, as a table's do.
TEST(custom_query_conversion, times_and_timestamps_keep_every_fraction_digit)
{
    tk_logger logger{nullptr, false, 3, false};
    conversion_env env;
    env.create_database(k_db);
    env.run_script(k_db,
                   "CREATE TABLE Shifts (Id int NOT NULL PRIMARY KEY, Starts time(7) NOT NULL, "
                   "At datetime2(7) NOT NULL)\nGO\n"
                   "INSERT INTO Shifts VALUES (1, '23:59:59.9999999', '0001-01-01 00:00:00.0000001')\nGO\n");
    env.create_user("scott", "tiger");
    recording_handler handler;
    recording_front_end front;
    tarvex_convertor d(tarvex_convertor::settings_source::agent_defaults);
    d.set_front_end(&front);
    env.configure(d, k_db, "scott", "tiger");
    d.selected_queries.emplace_back(L"Times", L"SELECT Id, Starts, At FROM dbo.Shifts");
    d();
    EXPECT_TRUE(d.run_completed());
    EXPECT_TRUE(handler.errors.empty());
    ora_rows rows = env.oracle_query("SELECT \"Starts\", \"At\" FROM \"SCOTT\".\"Times\"");
    ASSERT_EQ(rows.rows.size(), 1u);
    EXPECT_EQ(rows.rows[0][0].s, "1900-01-01 23:59:59.9999999");
    EXPECT_EQ(rows.rows[0][1].s, "0001-01-01 00:00:00.0000001");
}
