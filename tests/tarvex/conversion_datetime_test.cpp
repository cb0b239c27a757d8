// Date-time values keep what they hold: an offset, a fraction, a fixed date part
// for a time of day, and a sql_variant's text.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "agent_process.h"
#include "conversion_env.h"

namespace {

const char* k_source = R"(
CREATE TABLE T (id int NOT NULL, dto datetimeoffset(7) NULL, dto0 datetimeoffset(0) NULL, v sql_variant NULL,
                dt datetime NULL DEFAULT getdate(), tm time(0) NULL, tm3 time(3) NULL,
                CONSTRAINT PK_T PRIMARY KEY (id))
GO
INSERT T VALUES (1, '2024-02-29 13:45:12.1234567 +05:30', '2024-02-29 13:45:12 -08:00', N'Grüße 漢字',
                 '2023-05-06 07:08:09.123', '13:45:12', '23:59:58.997')
INSERT T VALUES (2, '0001-01-01 00:00:00.0000000 -14:00', '9999-12-31 23:59:59 +14:00', 42,
                 '1999-12-31 23:59:59.997', '00:00:00', '00:00:00.000')
INSERT T VALUES (3, NULL, NULL, NULL, NULL, NULL, NULL)
GO
)";

class conversion_datetime : public ::testing::Test {
protected:
    void SetUp() override
    {
        env.create_database("db");
        env.run_script("db", k_source);
        env.create_user("scott", "tiger");
    }

    std::vector<std::string> args() const
    {
        return {"--src=db",       "--dest=ORCL",   "--mssqlh=file:" + env.mss_dir(), "--oraclh=file:" + env.ora_dir(),
                "--oraclu=scott", "--oraclp=tiger"};
    }

    std::string type_of(const std::string& column)
    {
        const auto t = env.oracle_list(
            "SELECT DATA_TYPE FROM ALL_TAB_COLUMNS WHERE OWNER = 'dbo' AND TABLE_NAME = 'T' "
            "AND COLUMN_NAME = '" +
            column + "'");
        return t.size() == 1 ? t[0] : "<none>";
    }

    // One column of every row, by key, as the target holds it; `chars` cuts each text.
    std::vector<std::string> column(const std::string& expression, size_t chars = std::string::npos)
    {
        std::vector<std::string> out;
        for (const auto& row : env.oracle_query("SELECT " + expression + " FROM \"dbo\".\"T\" ORDER BY \"id\"").rows)
            out.push_back(row.at(0).is_null() ? "NULL" : row.at(0).s.substr(0, chars));
        return out;
    }

    // The same column as the source holds it.
    std::vector<std::string> source_column(const std::string& expression)
    {
        std::vector<std::string> out;
        mssx_result r = env.source_query("db", "SELECT " + expression + " FROM T ORDER BY id");
        for (const auto& row : r.rows)
            out.push_back(mssx_is_null(row.at(0)) ? "NULL" : mssx_text(r.columns.at(0).type, row.at(0)));
        return out;
    }

    conversion_env env;
};

} // namespace

TEST_F(conversion_datetime, offsets_fractions_times_and_variants_arrive_whole)
{
    agent_result r = run_agent(args());
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(r.out.find("Error"), std::string::npos) << r.out;

    EXPECT_EQ(type_of("dto"), "TIMESTAMP(7) WITH TIME ZONE");
    EXPECT_EQ(type_of("dto0"), "TIMESTAMP(0) WITH TIME ZONE");
    EXPECT_EQ(column("\"dto\""), source_column("dto"));
    EXPECT_EQ(column("\"dto\""), (std::vector<std::string>{"2024-02-29 13:45:12.1234567 +05:30",
                                                           "0001-01-01 00:00:00.0000000 -14:00", "NULL"}));
    EXPECT_EQ(column("\"dto0\""), source_column("dto0"));

    // The variant's text, national characters included.
    EXPECT_EQ(column("\"v\""), (std::vector<std::string>{"Grüße 漢字", "42", "NULL"}));
    EXPECT_EQ(column("\"v\""), source_column("CAST(v AS nvarchar(4000))"));

    // A getdate() default no longer makes a DATE: the milliseconds stay, the default too.
    EXPECT_EQ(type_of("dt").rfind("TIMESTAMP", 0), 0u) << type_of("dt");
    EXPECT_EQ(column("\"dt\"", 23),
              (std::vector<std::string>{"2023-05-06 07:08:09.123", "1999-12-31 23:59:59.997", "NULL"}));
    EXPECT_EQ(env.oracle_list("SELECT DATA_DEFAULT FROM ALL_TAB_COLUMNS WHERE OWNER = 'dbo' AND TABLE_NAME = 'T' "
                              "AND COLUMN_NAME = 'dt'"),
              std::vector<std::string>{"sysdate"});
    env.oracle_exec("INSERT INTO \"dbo\".\"T\" (\"id\") VALUES (4)");
    EXPECT_EQ(env.oracle_list("SELECT COUNT(*) FROM \"dbo\".\"T\" WHERE \"id\" = 4 AND \"dt\" IS NOT NULL"),
              std::vector<std::string>{"1"});

    // A time of day has SQL Server's date part, whatever the month of the run.
    EXPECT_EQ(column("\"tm\"", 19),
              (std::vector<std::string>{"1900-01-01 13:45:12", "1900-01-01 00:00:00", "NULL", "NULL"}));
    EXPECT_EQ(column("\"tm3\"", 19),
              (std::vector<std::string>{"1900-01-01 23:59:58", "1900-01-01 00:00:00", "NULL", "NULL"}));
}

TEST_F(conversion_datetime, a_type_mapping_can_still_choose_date)
{
    const std::string profile = env.dir() + "/setup.tvx";
    std::ofstream(profile, std::ios::binary)
        << "[Available Queries]\n\n[Generic settings]\nsrc=db\ndest=ORCL\nlogfile=\nskip indexes=0\n"
           "only definitions=0\nmode=0\n\n[MS SQL Server settings]\nserver=file:"
        << env.mss_dir() << "\nwindows authentication=1\n\n[Oracle settings]\nhost=file:" << env.ora_dir()
        << "\npassword=tiger\nport=1521\nuser=scott\nuppercase=0\n\n[Selected Tables]\ndbo.T\n\n"
           "[Selected Views]\n\n[Type Mappings]\ndatabase:\ntables:\n"
           "  - name: [dbo].[T]\n    new_name: [dbo].[T]\n    fields:\n"
           "      - name:dt\n        new_name: dt\n        status: changed\n        type: DATE\n"
           "        default_value: sysdate\n        character_set: \n        length: 0\n        scale: 0\n"
           "        precision: 0\n    properties:\n";
    agent_result r = run_agent({"--profile=" + profile});
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(r.out.find("Error"), std::string::npos) << r.out;
    EXPECT_EQ(type_of("dt"), "DATE");
    EXPECT_EQ(env.oracle_list("SELECT DATA_DEFAULT FROM ALL_TAB_COLUMNS WHERE OWNER = 'dbo' AND TABLE_NAME = 'T' "
                              "AND COLUMN_NAME = 'dt'"),
              std::vector<std::string>{"sysdate"});
    // A DATE keeps whole seconds: the fraction is the mapping's choice.
    const auto dates = column("\"dt\"", 19);
    ASSERT_EQ(dates.size(), 3u);
    EXPECT_EQ(dates[0], "2023-05-06 07:08:09");
    EXPECT_EQ(dates[2], "NULL");
}

// datetime2(n) becomes TIMESTAMP(n) and time(n) a TIMESTAMP(n) on SQL Server's
// date of a time, with every digit the source keeps.
TEST_F(conversion_datetime, every_fraction_digit_of_datetime2_and_time_arrives)
{
    env.run_script("db", R"(
CREATE TABLE F (id int NOT NULL, d7 datetime2(7) NULL, d3 datetime2(3) NULL, d0 datetime2(0) NULL,
                t7 time(7) NULL, t4 time(4) NULL, CONSTRAINT PK_F PRIMARY KEY (id))
GO
INSERT F VALUES (1, '2024-02-29 13:45:12.1234567', '2024-02-29 13:45:12.123', '2024-02-29 13:45:12',
                 '13:45:12.1234567', '23:59:59.9999')
INSERT F VALUES (2, '0001-01-01 00:00:00.0000001', '0001-01-01 00:00:00.001', '0001-01-01 00:00:00',
                 '00:00:00.0000001', '00:00:00.0001')
INSERT F VALUES (3, '9999-12-31 23:59:59.9999999', '9999-12-31 23:59:59.999', '9999-12-31 23:59:59',
                 '23:59:59.9999999', '12:00:00')
INSERT F VALUES (4, NULL, NULL, NULL, NULL, NULL)
GO
)");
    agent_result r = run_agent(args());
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(r.out.find("Error"), std::string::npos) << r.out;
    auto type_in_f = [&](const std::string& column) {
        const auto t = env.oracle_list(
            "SELECT DATA_TYPE FROM ALL_TAB_COLUMNS WHERE OWNER = 'dbo' AND TABLE_NAME = 'F' AND COLUMN_NAME = '" +
            column + "'");
        return t.size() == 1 ? t[0] : "<none>";
    };
    EXPECT_EQ(type_in_f("d7"), "TIMESTAMP(7)");
    EXPECT_EQ(type_in_f("d3"), "TIMESTAMP(3)");
    EXPECT_EQ(type_in_f("d0"), "TIMESTAMP(0)");
    EXPECT_EQ(type_in_f("t7"), "TIMESTAMP(7)");
    EXPECT_EQ(type_in_f("t4"), "TIMESTAMP(4)");
    auto target = [&](const std::string& column) {
        std::vector<std::string> out;
        for (const auto& row : env.oracle_query("SELECT \"" + column + "\" FROM \"dbo\".\"F\" ORDER BY \"id\"").rows)
            out.push_back(row.at(0).is_null() ? "NULL" : row.at(0).s);
        return out;
    };
    EXPECT_EQ(target("d7"), (std::vector<std::string>{"2024-02-29 13:45:12.1234567", "0001-01-01 00:00:00.0000001",
                                                      "9999-12-31 23:59:59.9999999", "NULL"}));
    EXPECT_EQ(target("d3"), (std::vector<std::string>{"2024-02-29 13:45:12.123", "0001-01-01 00:00:00.001",
                                                      "9999-12-31 23:59:59.999", "NULL"}));
    EXPECT_EQ(target("d0"),
              (std::vector<std::string>{"2024-02-29 13:45:12", "0001-01-01 00:00:00", "9999-12-31 23:59:59", "NULL"}));
    EXPECT_EQ(target("t7"), (std::vector<std::string>{"1900-01-01 13:45:12.1234567", "1900-01-01 00:00:00.0000001",
                                                      "1900-01-01 23:59:59.9999999", "NULL"}));
    EXPECT_EQ(target("t4"), (std::vector<std::string>{"1900-01-01 23:59:59.9999", "1900-01-01 00:00:00.0001",
                                                      "1900-01-01 12:00:00.0000", "NULL"}));
}

// A sql_variant's value arrives as the text of the value it holds: a float as
// the shortest text that reads back as the same number, a decimal, money and
// a date-time with all their digits.
TEST_F(conversion_datetime, a_sql_variant_keeps_its_value)
{
    env.run_script("db", R"(
CREATE TABLE V (id int NOT NULL, v sql_variant NULL, CONSTRAINT PK_V PRIMARY KEY (id))
GO
INSERT V VALUES (1, CAST(0.1 AS float))
INSERT V VALUES (2, CAST(924788.195 AS float))
INSERT V VALUES (3, CAST(-1.7976931348623157E+308 AS float))
INSERT V VALUES (4, CAST(12.5 AS decimal(38,10)))
INSERT V VALUES (5, CAST(12.3456 AS money))
INSERT V VALUES (6, CAST('2024-02-29 13:45:12.1234567' AS datetime2(7)))
INSERT V VALUES (7, CAST(5E-324 AS float))
GO
)");
    agent_result r = run_agent(args());
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(r.out.find("Error"), std::string::npos) << r.out;
    std::vector<std::string> got;
    for (const auto& row : env.oracle_query("SELECT \"v\" FROM \"dbo\".\"V\" ORDER BY \"id\"").rows)
        got.push_back(row.at(0).is_null() ? "NULL" : row.at(0).s);
    EXPECT_EQ(got, (std::vector<std::string>{"0.1", "924788.195", "-1.7976931348623157e+308", "12.5000000000",
                                             "12.3456", "2024-02-29 13:45:12.1234567", "5e-324"}));
}
