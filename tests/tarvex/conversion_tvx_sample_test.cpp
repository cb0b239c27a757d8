// The project's sample database (examples/sample_db) converted whole by the
// driver and compared table by table, value by value.
#include <gtest/gtest.h>

#include "conversion_env.h"

namespace {

class tvx_sample_conversion : public ::testing::Test {
protected:
    void SetUp() override
    {
        env.load_file("master", std::string(TVX_SAMPLES) + "/tvx_sample.sql");
        env.create_user("scott", "tiger");
    }
    void convert()
    {
        tarvex_convertor d(tarvex_convertor::settings_source::agent_defaults);
        d.set_front_end(&front);
        env.configure(d, "TvxSample", "scott", "tiger");
        d();
        EXPECT_TRUE(d.run_completed());
    }

    tk_logger logger{nullptr, false, 3, false};
    conversion_env env;
    recording_handler handler;
    recording_front_end front;
};

} // namespace

TEST_F(tvx_sample_conversion, every_table_of_both_schemas_arrives_value_by_value)
{
    convert();
    std::set<std::string> compared = expect_every_table_converted(env, "TvxSample");
    EXPECT_EQ(compared.size(), 7u);
    EXPECT_EQ(env.oracle_tables("sales"), std::set<std::string>{"Orders"});
    // Only the float limits, which Oracle cannot hold, are reported.
    EXPECT_EQ(handler.errors.size(), 2u);
    for (const auto& e : handler.errors)
        if (e.message.rfind("[dbo].[Numbers], record #", 0) != 0 || e.message.find("\"Ratio\"") == std::string::npos)
            ADD_FAILURE() << "reported: " << e.message;
}

// The first two rows hold the widest values of every numeric type: 38-digit
// decimals and the limits of float and real.
TEST_F(tvx_sample_conversion, the_extreme_numbers_arrive_unchanged)
{
    convert();
    // Oracle's NUMBER ends below 1E126: the float limits of rows 1 and 2 arrive
    // as NULL, and each is reported for its record.
    expect_same_rows(env, "TvxSample", "SELECT * FROM dbo.Numbers", "\"dbo\".\"Numbers\"");
    std::vector<std::string> reported;
    for (const auto& e : handler.errors) reported.push_back(e.message);
    EXPECT_EQ(reported, (std::vector<std::string>{
                            "[dbo].[Numbers], record #1: A number beyond the range of an Oracle NUMBER was not "
                            "stored: \"Ratio\" (-1.7976931348623157e+308, written as NULL)",
                            "[dbo].[Numbers], record #2: A number beyond the range of an Oracle NUMBER was not "
                            "stored: \"Ratio\" (1.7976931348623157e+308, written as NULL)",
                        }));
}

// Row 100 holds the year 1 in a datetime2 column, later rows the years 401 to 3601.
TEST_F(tvx_sample_conversion, a_date_of_the_first_century_keeps_its_year)
{
    convert();
    expect_same_rows(env, "TvxSample", "SELECT * FROM dbo.Moments", "\"dbo\".\"Moments\"");
    const auto first = env.oracle_list("SELECT \"Precise\" FROM \"dbo\".\"Moments\" WHERE \"Id\" = 100");
    ASSERT_EQ(first.size(), 1u);
    EXPECT_EQ(first[0].substr(0, 10), "0001-01-01");
}
