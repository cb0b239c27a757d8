// Long and national texts through the driver into the embedded Oracle: texts
// longer than an Oracle literal carries and national texts in a database whose
// own character set lacks their characters arrive whole, read back through a
// second connection and compared value by value.
#include <gtest/gtest.h>

#include "conversion_env.h"

namespace {

const std::string k_db = "texts";

std::string repeat(const std::string& unit, size_t n)
{
    std::string s;
    for (size_t i = 0; i < n; ++i) s += unit;
    return s;
}

// Greek, Latin-1, CJK and an emoji, with a quote.
const std::string k_mixed = "\xCE\xA9\xCE\xBC\xC3\xA9 it''s \xE4\xB8\xAD\xE6\x96\x87\xF0\x9F\x98\x80";

std::string source_script()
{
    const std::string cjk = repeat("\xE4\xB8\xAD", 1500);
    // 1500 characters with quotes, Latin-1 and CJK: 2700 bytes of UTF-8 in a literal that doubles its quotes.
    const std::string quoted = repeat("a''\xC3\xA9\xE6\x96\x87", 300) + repeat("x", 300);
    return "CREATE TABLE dbo.Texts (id int NOT NULL PRIMARY KEY, cjk nvarchar(1500) NULL, mixed nvarchar(50) NULL, "
           "fixed nchar(4) NULL, plain varchar(100) NULL)\nGO\n"
           "INSERT dbo.Texts VALUES (1, N'" +
           cjk + "', N'" + k_mixed +
           "', N'\xCE\xA9\xC3\xA9', 'abc')\n"
           "INSERT dbo.Texts VALUES (2, N'" +
           quoted +
           "', N'plain ascii', N'ab', 'it''s')\n"
           "INSERT dbo.Texts VALUES (3, NULL, NULL, NULL, NULL)\n"
           "INSERT dbo.Texts VALUES (4, N'" +
           repeat("\xE4\xB8\xAD", 1333) +
           "z', N'\xF0\x9F\x98\x80', N'x', 'z')\n"
           "GO\n";
}

class national_text_conversion : public ::testing::TestWithParam<const char*> {
protected:
    national_text_conversion() : env(GetParam()) {}
    void SetUp() override
    {
        env.create_database(k_db);
        env.run_script(k_db, source_script());
        env.create_user("scott", "tiger");
    }

    tk_logger logger{nullptr, false, 3, false};
    conversion_env env;
    recording_handler handler;
    recording_front_end front;
};

} // namespace

TEST_P(national_text_conversion, every_text_arrives_whole)
{
    tarvex_convertor d(tarvex_convertor::settings_source::agent_defaults);
    d.set_front_end(&front);
    env.configure(d, k_db, "scott", "tiger");
    d();
    EXPECT_TRUE(d.run_completed());
    for (const auto& e : handler.errors) ADD_FAILURE() << e.message;
    EXPECT_EQ(env.oracle_count("\"dbo\".\"Texts\""), 4);
    expect_same_rows(env, k_db, "SELECT * FROM dbo.Texts", "\"dbo\".\"Texts\"");

    // A merge into the table goes the same way.
    env.oracle_exec("DELETE FROM \"dbo\".\"Texts\"");
    d.mode = 1;
    d();
    EXPECT_TRUE(d.run_completed());
    EXPECT_TRUE(handler.errors.empty());
    expect_same_rows(env, k_db, "SELECT * FROM dbo.Texts", "\"dbo\".\"Texts\"");
}

// The embedded Oracle's usual character set, and one that holds Latin-1 only.
INSTANTIATE_TEST_SUITE_P(charsets, national_text_conversion,
                         ::testing::Values("AL32UTF8", "WE8ISO8859P1", "WE8MSWIN1252"));

// Long national text and XML become NCLOB: every character arrives whatever
// the database's own character set holds.
TEST_P(national_text_conversion, long_national_text_and_xml_arrive_whole_in_nclob)
{
    const std::string cjk_emoji = "\xE6\xBC\xA2\xE5\xAD\x97 \xF0\x9F\x98\x80";
    env.run_script(k_db,
                   "CREATE TABLE dbo.Long (id int NOT NULL PRIMARY KEY, nt nvarchar(max) NULL, nx ntext NULL, "
                   "x xml NULL, v varchar(max) NULL)\nGO\n"
                   "INSERT dbo.Long VALUES (1, N'" +
                       repeat(cjk_emoji, 1200) + "', N'" + repeat(cjk_emoji, 700) + "', N'<r a=\"" + cjk_emoji + "\">" +
                       repeat(cjk_emoji, 900) +
                       "</r>', 'plain')\n"
                       "INSERT dbo.Long VALUES (2, N'" +
                       cjk_emoji + "', N'" + cjk_emoji + "', N'<r>" + cjk_emoji +
                       "</r>', NULL)\n"
                       "INSERT dbo.Long VALUES (3, NULL, NULL, NULL, NULL)\nGO\n");
    tarvex_convertor d(tarvex_convertor::settings_source::agent_defaults);
    d.set_front_end(&front);
    env.configure(d, k_db, "scott", "tiger");
    d.selected_tables = {L"[dbo].[Long]"};
    d();
    EXPECT_TRUE(d.run_completed());
    for (const auto& e : handler.errors) ADD_FAILURE() << e.message;
    for (const char* column : {"nt", "nx", "x"})
        EXPECT_EQ(env.oracle_list("SELECT DATA_TYPE FROM ALL_TAB_COLUMNS WHERE OWNER = 'dbo' AND TABLE_NAME = 'Long' "
                                  "AND COLUMN_NAME = '" +
                                  std::string(column) + "'"),
                  std::vector<std::string>{"NCLOB"})
            << column;
    EXPECT_EQ(env.oracle_list("SELECT DATA_TYPE FROM ALL_TAB_COLUMNS WHERE OWNER = 'dbo' AND TABLE_NAME = 'Long' "
                              "AND COLUMN_NAME = 'v'"),
              std::vector<std::string>{"CLOB"});
    expect_same_rows(env, k_db, "SELECT * FROM dbo.Long", "\"dbo\".\"Long\"");
    const ora_rows rows = env.oracle_query("SELECT \"nt\", \"nx\" FROM \"dbo\".\"Long\" WHERE \"id\" = 1");
    ASSERT_EQ(rows.rows.size(), 1u);
    EXPECT_TRUE(rows.rows[0][0].s == repeat(cjk_emoji, 1200));
    EXPECT_TRUE(rows.rows[0][1].s == repeat(cjk_emoji, 700));
}
