// Type mappings through a whole run: the defaults a mapping sets are the created
// columns' defaults, whether they come from a profile or from the mapping dialog's
// steps; a mapping that cannot convert a table is reported once.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

#include "TK/tk_text.h"
#include "agent_process.h"
#include "common/map_list.h"
#include "conversion_env.h"

namespace {

const char* k_source = R"(
CREATE TABLE D (id int NOT NULL, txt nvarchar(20) NULL DEFAULT 'unbekannt', d datetime NULL DEFAULT '2024-01-02',
                stamp datetime NULL DEFAULT getdate(), n int NULL DEFAULT 5, CONSTRAINT PK_D PRIMARY KEY (id))
GO
INSERT D (id, txt, d, stamp, n) VALUES (1, N'eins', '2023-05-06 07:08:09', '2023-05-06 07:08:09', 1)
INSERT D (id, txt, d, stamp, n) VALUES (2, NULL, NULL, NULL, NULL)
GO
CREATE TABLE M (id int NOT NULL, w datetime NULL)
GO
INSERT M VALUES (1, '2020-01-01 00:00:00')
INSERT M VALUES (2, '2021-01-01 00:00:00')
INSERT M VALUES (3, '2022-01-01 00:00:00')
GO
CREATE TABLE N (id int NOT NULL, v nvarchar(5) NULL)
GO
INSERT N VALUES (1, N'a')
INSERT N VALUES (2, N'b')
GO
)";

// The Oracle default text of one column, as the catalog keeps it.
std::string oracle_default(conversion_env& env, const std::string& owner, const std::string& table,
                           const std::string& column)
{
    const auto rows = env.oracle_query("SELECT DATA_DEFAULT FROM ALL_TAB_COLUMNS WHERE OWNER = '" + owner +
                                       "' AND TABLE_NAME = '" + table + "' AND COLUMN_NAME = '" + column + "'");
    if (rows.rows.size() != 1) return "<no column " + column + ">";
    if (rows.rows[0][0].is_null()) return "<none>";
    std::string s = rows.rows[0][0].s;
    while (!s.empty() && (s.back() == ' ' || s.back() == '\n')) s.pop_back();
    return s;
}

std::string profile_text(conversion_env& env, const std::string& tables, const std::string& mappings)
{
    return "[Available Queries]\n\n[Generic settings]\nsrc=db\ndest=ORCL\nlogfile=\nskip indexes=0\n"
           "only definitions=0\nmode=0\n\n[MS SQL Server settings]\nserver=file:" +
           env.mss_dir() + "\nwindows authentication=1\n\n[Oracle settings]\nhost=file:" + env.ora_dir() +
           "\npassword=tiger\nport=1521\nuser=scott\nuppercase=0\n\n[Selected Tables]\n" + tables +
           "\n[Selected Views]\n\n[Type Mappings]\ndatabase:\ntables:\n" + mappings;
}

std::string field(const std::string& name, const std::string& new_name, const std::string& type, const std::string& def,
                  int length, int precision = 0, int scale = 0)
{
    return "      - name:" + name + "\n        new_name: " + new_name +
           "\n        status: changed\n        type: " + type + "\n        default_value: " + def +
           "\n        character_set: \n        length: " + std::to_string(length) +
           "\n        scale: " + std::to_string(scale) + "\n        precision: " + std::to_string(precision) + "\n";
}

size_t occurrences(const std::string& text, const std::string& what)
{
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size())) ++n;
    return n;
}

class conversion_mapping : public ::testing::Test {
protected:
    void SetUp() override
    {
        env.create_database("db");
        env.run_script("db", k_source);
        env.create_user("scott", "tiger");
    }

    // A row of the target given only its key takes every default.
    void expect_defaults_fill_a_new_row(const std::string& table, const std::string& text_column)
    {
        env.oracle_exec("INSERT INTO " + table + " (\"id\") VALUES (9)");
        const auto rows = env.oracle_query("SELECT \"" + text_column +
                                           "\", \"d\", "
                                           "\"stamp\", \"n\" FROM " +
                                           table + " WHERE \"id\" = 9");
        ASSERT_EQ(rows.rows.size(), 1u);
        EXPECT_EQ(rows.rows[0][0].s, "unbekannt"); // no quotes stored with it
        EXPECT_EQ(rows.rows[0][1].s.substr(0, 19), "2024-01-02 00:00:00");
        EXPECT_FALSE(rows.rows[0][2].is_null()); // the server's clock
        EXPECT_EQ(rows.rows[0][3].s, "5");
    }

    conversion_env env;
};

} // namespace

TEST_F(conversion_mapping, defaults_from_a_profile_are_the_created_columns_defaults)
{
    const std::string profile = env.dir() + "/setup.tvx";
    std::ofstream(profile, std::ios::binary)
        << profile_text(env, "dbo.D\n",
                        "  - name: [dbo].[D]\n    new_name: [dbo].[D]\n    fields:\n" +
                            field("txt", "Text", "NVARCHAR2", "'unbekannt'", 20) +
                            field("d", "d", "DATE", "to_date('2024-01-02', 'YYYY-MM-DD')", 0) +
                            field("stamp", "stamp", "TIMESTAMP", "sysdate", 0) +
                            field("n", "n", "NUMBER", "5", 0, 10, 0) + "    properties:\n");
    agent_result r = run_agent({"--profile=" + profile});
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(r.out.find("Error"), std::string::npos) << r.out;

    EXPECT_EQ(oracle_default(env, "dbo", "D", "Text"), "'unbekannt'");
    EXPECT_EQ(oracle_default(env, "dbo", "D", "d"), "to_date('2024-01-02', 'YYYY-MM-DD')");
    EXPECT_EQ(oracle_default(env, "dbo", "D", "stamp"), "sysdate");
    EXPECT_EQ(oracle_default(env, "dbo", "D", "n"), "5");
    table_map map;
    map.renamed["txt"] = "Text";
    expect_same_rows(env, "db", "SELECT * FROM [dbo].[D]", "\"dbo\".\"D\"", map);
    expect_defaults_fill_a_new_row("\"dbo\".\"D\"", "Text");
}

TEST_F(conversion_mapping, defaults_from_the_mapping_dialogs_steps_are_the_created_columns_defaults)
{
    recording_handler handler;
    recording_front_end front;
    tarvex_convertor driver(tarvex_convertor::settings_source::agent_defaults);
    driver.set_front_end(&front);
    env.configure(driver, "db", "scott", "tiger");

    // As the dialog does: the rows with the driver's proposals, the user's edits, OK.
    map_list<tarvex_convertor> list(driver, L"[dbo].[D]");
    list.load();
    std::map<std::wstring, std::wstring> proposed;
    for (size_t row = 0; row < list.size(); ++row) {
        map_entry e = list.shown(row);
        proposed[list.column(row).name] = e.default_value;
        if (list.column(row).name == L"txt") e.name = L"Text";     // renamed only: the proposed default stays
        if (list.column(row).name == L"n") e.default_value = L"7"; // a default of the user's own
        list.save(row, e);
    }
    EXPECT_EQ(proposed[L"txt"], L"'unbekannt'");
    EXPECT_EQ(proposed[L"stamp"], L"sysdate");
    ASSERT_TRUE(list.store(L""));

    driver.selected_tables = {L"[dbo].[D]"};
    driver();
    EXPECT_TRUE(driver.run_completed());
    EXPECT_TRUE(handler.errors.empty()) << handler.errors.front().message;

    EXPECT_EQ(oracle_default(env, "dbo", "D", "Text"), "'unbekannt'");
    EXPECT_EQ(oracle_default(env, "dbo", "D", "d"), to_utf8(proposed[L"d"]));
    EXPECT_EQ(oracle_default(env, "dbo", "D", "stamp"), "sysdate");
    EXPECT_EQ(oracle_default(env, "dbo", "D", "n"), "7");
    table_map map;
    map.renamed["txt"] = "Text";
    expect_same_rows(env, "db", "SELECT * FROM [dbo].[D]", "\"dbo\".\"D\"", map);
    env.oracle_exec("INSERT INTO \"dbo\".\"D\" (\"id\") VALUES (8)");
    EXPECT_EQ(env.oracle_list("SELECT \"n\" FROM \"dbo\".\"D\" WHERE \"id\" = 8"), std::vector<std::string>{"7"});
    EXPECT_EQ(env.oracle_list("SELECT \"Text\" FROM \"dbo\".\"D\" WHERE \"id\" = 8"),
              std::vector<std::string>{"unbekannt"});
    const auto dates = env.oracle_list("SELECT \"d\" FROM \"dbo\".\"D\" WHERE \"id\" = 8");
    ASSERT_EQ(dates.size(), 1u);
    EXPECT_EQ(dates[0].substr(0, 19), "2024-01-02 00:00:00");
}

TEST_F(conversion_mapping, a_mapping_that_cannot_convert_a_table_is_reported_once_and_the_next_table_follows)
{
    const std::string profile = env.dir() + "/setup.tvx";
    std::ofstream(profile, std::ios::binary)
        << profile_text(env, "dbo.M\ndbo.N\n",
                        "  - name: [dbo].[M]\n    new_name: [dbo].[M]\n    fields:\n" +
                            field("w", "w", "NUMBER", "", 0, 5, 0) + "    properties:\n");
    agent_result r = run_agent({"--profile=" + profile});
    EXPECT_EQ(r.status, 2) << r.out << r.err;
    EXPECT_NE(r.out.find("Tables converted: 1, failed: 1."), std::string::npos) << r.out;
    EXPECT_EQ(occurrences(r.out, "Data conversion is not supported for given type mapping"), 1u) << r.out;
    EXPECT_EQ(occurrences(r.out, "Error:"), 1u) << r.out;
    EXPECT_NE(r.out.find("Converting table 'dbo.N' (2 records)"), std::string::npos) << r.out;
    expect_same_rows(env, "db", "SELECT * FROM [dbo].[N]", "\"dbo\".\"N\"");
    EXPECT_EQ(env.oracle_count("\"dbo\".\"M\""), 0);
}
