// What a run reports at its end: the tables and records that arrived and those
// that did not, and whether the run may count as a success.
#include <gtest/gtest.h>

#include <algorithm>

#include "conversion_env.h"
#include "platform/eora/eora_inject.h"

namespace {

const std::string k_db = "outcome";

class run_outcome : public ::testing::Test {
protected:
    void SetUp() override
    {
        env.create_database(k_db);
        env.run_script(k_db,
                       "CREATE TABLE A (id int NOT NULL PRIMARY KEY, v nvarchar(20) NULL)\nGO\n"
                       "CREATE INDEX IX_A_v ON A (v)\nGO\n"
                       "CREATE TABLE B (id int NOT NULL, w int NULL)\nGO\n"
                       "INSERT A VALUES (1, N'eins')\nINSERT A VALUES (2, N'zwei')\nINSERT A VALUES (3, N'drei')\n"
                       "INSERT B VALUES (1, 10)\nINSERT B VALUES (2, 20)\nGO\n");
        env.create_user("scott", "tiger");
        driver = std::make_unique<tarvex_convertor>(tarvex_convertor::settings_source::agent_defaults);
        driver->set_front_end(&front);
        env.configure(*driver, k_db, "scott", "tiger");
        driver->selected_tables = {L"dbo.A", L"dbo.B"};
    }
    void TearDown() override { eora::clear_injections(); }

    void run(uint32_t mode)
    {
        front.lines.clear();
        handler.errors.clear();
        driver->mode = mode;
        (*driver)();
    }

    std::wstring last_line() const { return front.lines.empty() ? std::wstring() : front.lines.back(); }

    tk_logger logger{nullptr, false, 3, false};
    conversion_env env;
    recording_handler handler;
    recording_front_end front;
    std::unique_ptr<tarvex_convertor> driver;
};

} // namespace

TEST_F(run_outcome, a_clean_run_counts_every_table_and_record_and_succeeds)
{
    run(0);
    const run_summary& s = driver->get_summary();
    EXPECT_EQ(s.tables_converted(), 2u);
    EXPECT_EQ(s.tables_failed(), 0u);
    EXPECT_EQ(s.records_copied(), 5u);
    EXPECT_EQ(s.records_refused(), 0u);
    EXPECT_TRUE(driver->run_completed());
    EXPECT_TRUE(driver->run_succeeded());
    EXPECT_EQ(last_line(), L"Conversion ended. Tables converted: 2, failed: 0. Records copied: 5, refused: 0.\n");
    EXPECT_TRUE(handler.errors.empty());
}

TEST_F(run_outcome, a_merge_whose_records_are_all_duplicates_reaches_its_end_but_does_not_succeed)
{
    run(0);
    run(1);
    const run_summary& s = driver->get_summary();
    EXPECT_EQ(s.records_copied(), 2u); // B has no key: its rows arrive twice
    EXPECT_EQ(s.records_refused(), 3u);
    EXPECT_EQ(s.tables_failed(), 0u);
    EXPECT_TRUE(driver->run_completed());
    EXPECT_FALSE(driver->run_succeeded());
    EXPECT_EQ(handler.errors.size(), 3u);
    EXPECT_EQ(last_line(), L"Conversion ended. Tables converted: 2, failed: 0. Records copied: 2, refused: 3.\n");
    EXPECT_EQ(env.oracle_count("\"dbo\".\"A\""), 3);

    // The next run starts from nothing.
    run(0);
    EXPECT_EQ(driver->get_summary().records_refused(), 0u);
    EXPECT_TRUE(driver->run_succeeded());
}

TEST_F(run_outcome, a_table_that_lost_an_index_counts_as_failed)
{
    // The index is refused (its key too long for the block); table and rows still arrive.
    eora::inject_error("CREATE INDEX", 1450);
    run(0);
    const run_summary& s = driver->get_summary();
    EXPECT_EQ(s.tables_converted(), 1u);
    EXPECT_EQ(s.tables_failed(), 1u);
    EXPECT_EQ(s.records_copied(), 5u);
    EXPECT_FALSE(driver->run_succeeded());
    ASSERT_EQ(handler.errors.size(), 1u);
    EXPECT_NE(handler.errors[0].message.find("ORA-01450"), std::string::npos) << handler.errors[0].message;
    expect_same_rows(env, k_db, "SELECT * FROM dbo.A", "\"dbo\".\"A\"");
}

TEST_F(run_outcome, a_table_the_source_lacks_counts_as_failed)
{
    driver->selected_tables = {L"dbo.A", L"dbo.Nowhere"};
    run(0);
    EXPECT_EQ(front.missing, std::vector<std::wstring>{L"dbo.Nowhere"});
    EXPECT_EQ(driver->get_summary().tables_converted(), 1u);
    EXPECT_EQ(driver->get_summary().tables_failed(), 1u);
    EXPECT_FALSE(driver->run_succeeded());
}

TEST_F(run_outcome, a_stopped_run_says_what_arrived_before_the_stop)
{
    // The first row of A meets a full table: no later row or table could arrive.
    eora::inject_error("INTO \"dbo\".\"A\"", 1653);
    run(0);
    EXPECT_FALSE(driver->run_completed());
    EXPECT_FALSE(driver->run_succeeded());
    const run_summary& s = driver->get_summary();
    EXPECT_EQ(s.tables_failed(), 1u);
    EXPECT_EQ(s.tables_converted(), 0u);
    EXPECT_EQ(s.records_refused(), 1u);
    EXPECT_EQ(last_line(), L"Conversion stopped. Tables converted: 0, failed: 1. Records copied: 0, refused: 1.\n");
    ASSERT_EQ(handler.errors.size(), 1u);
    EXPECT_EQ(handler.errors[0].level, TK_LEVEL_STOP);
    EXPECT_TRUE(env.oracle_tables("dbo").count("B") == 0);
}
