// The agent's console behaviour when the source fails inside the run: the
// error block reaches standard output, nothing is converted, and the run is
// not reported as completed (so the program exits with -1).
#include <gtest/gtest.h>

#include "conversion_env.h"
#include "tarvex/agent/agent_console.h"

namespace {

class agent_run_guard : public ::testing::Test {
protected:
    void SetUp() override
    {
        create_source();
        env.create_user("scott", "tiger");
    }
    void create_source()
    {
        env.create_database("Shop");
        env.run_script("Shop",
                       "CREATE TABLE dbo.Items (Id int PRIMARY KEY, Name nvarchar(20))\nGO\n"
                       "INSERT INTO dbo.Items VALUES (1, N'bolt')\nGO\n");
    }

    tk_logger logger{nullptr, false, 3, false};
    conversion_env env;
    console_error_handler handler;
    console_front_end console;
};

} // namespace

TEST_F(agent_run_guard, a_source_that_cannot_be_opened_inside_the_run_is_reported_and_converts_nothing)
{
    tarvex_convertor driver(tarvex_convertor::settings_source::agent_defaults);
    driver.set_front_end(&console);
    env.configure(driver, "Shop", "scott", "tiger");
    ASSERT_TRUE(driver.mssql_server.is_db_exist(driver.src));

    // The database goes away between the agent's check and the run's own open.
    env.run_script("master", "DROP DATABASE Shop\nGO\n");
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    driver();
    const std::string out = testing::internal::GetCapturedStdout();
    const std::string err = testing::internal::GetCapturedStderr();

    EXPECT_FALSE(driver.run_completed());
    EXPECT_NE(out.find("Error:\n"), std::string::npos) << out;
    EXPECT_NE(out.find("Cannot open database \"Shop\""), std::string::npos) << out;
    EXPECT_EQ(out.find("Converting database"), std::string::npos) << out;
    EXPECT_TRUE(err.empty()) << err;
    EXPECT_TRUE(env.oracle_tables("dbo").empty());

    // The same driver converts once the database is back.
    create_source();
    driver();
    EXPECT_TRUE(driver.run_completed());
    expect_same_rows(env, "Shop", "SELECT * FROM dbo.Items", "\"dbo\".\"Items\"");
}
