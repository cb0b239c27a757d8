// Long values on their whole way: read from the embedded SQL Server in pieces,
// written to the embedded Oracle in pieces, committed with their row, and a
// value that cannot be read or written reported for its record. Read back
// through a second connection, value by value.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <optional>

#include "agent_process.h"
#include "conversion_env.h"
#include "platform/eora/eora_inject.h"
#include "platform/mssx/mssx_connection.h"
#include "platform/mssx/mssx_server.h"

#include <sqlite3.h>

namespace {

const std::string k_db = "lobs";

const char* k_source = R"(
CREATE TABLE L (id int NOT NULL, t nvarchar(max) NULL, v varchar(max) NULL, b varbinary(max) NULL,
                CONSTRAINT PK_L PRIMARY KEY (id))
GO
)";

// A text of `chars` characters mixing ASCII, Latin, CJK and characters beyond
// the BMP (four UTF-8 bytes, a surrogate pair in UTF-16), so that a piece
// boundary falls inside every kind of sequence somewhere.
std::string make_text(size_t chars)
{
    static const char* const parts[] = {"a", "b", "\xC3\xA4", "\xE4\xB8\xAD", "\xF0\x9F\x98\x80", "z", " "};
    std::string out;
    out.reserve(chars * 2);
    uint32_t x = 12345;
    for (size_t i = 0; i < chars; ++i) {
        x = x * 1103515245u + 12345u;
        out += parts[(x >> 16) % 7];
    }
    return out;
}

std::string make_ascii(size_t chars)
{
    std::string out(chars, 'x');
    for (size_t i = 0; i < chars; ++i) out[i] = static_cast<char>('A' + (i * 7 + i / 1000) % 26);
    return out;
}

// Every byte value, in an order that does not repeat with any piece size.
std::string make_bytes(size_t n)
{
    std::string out(n, '\0');
    uint32_t x = 777;
    for (size_t i = 0; i < n; ++i) {
        x = x * 1664525u + 1013904223u;
        out[i] = static_cast<char>(x >> 24);
    }
    return out;
}

class lob_conversion : public ::testing::Test {
protected:
    void SetUp() override
    {
        env.create_database(k_db);
        env.run_script(k_db, k_source);
        env.create_user("scott", "tiger");
    }
    void TearDown() override { eora::clear_injections(); }

    // One row through the server's bulk path (no literal limits on its size).
    void insert_row(int id, const std::optional<std::string>& t, const std::optional<std::string>& v,
                    const std::optional<std::string>& b)
    {
        mssx_login login;
        login.integrated = true;
        login.database = k_db;
        mssx_connection conn(env.mss_dir(), login);
        std::vector<std::optional<mssx_value>> values(4);
        values[0].emplace(int64_t{id});
        if (t) values[1].emplace(*t);
        if (v) values[2].emplace(*v);
        if (b) values[3].emplace(mssx_blob{*b});
        conn.bulk_insert("dbo.L", values, false);
    }

    std::unique_ptr<tarvex_convertor> driver()
    {
        auto d = std::make_unique<tarvex_convertor>(tarvex_convertor::settings_source::agent_defaults);
        d->set_front_end(&front);
        env.configure(*d, k_db, "scott", "tiger");
        d->selected_tables = {L"[dbo].[L]"};
        return d;
    }

    std::vector<std::string> messages() const
    {
        std::vector<std::string> out;
        for (const auto& e : handler.errors) out.push_back(e.message);
        return out;
    }

    // The ids that arrived, in order, read through a connection of their own.
    std::vector<std::string> arrived_ids()
    {
        return env.oracle_list("SELECT \"id\" FROM \"dbo\".\"L\" ORDER BY \"id\"");
    }

    conversion_env env;
    recording_handler handler;
    recording_front_end front;
};

TEST_F(lob_conversion, values_longer_than_a_piece_arrive_whole_and_equal)
{
    // Over the size that is read whole into a field, and several pieces long.
    const std::string t = make_text(1'500'000);
    const std::string v = make_ascii(3'000'001);
    const std::string b = make_bytes(2'500'003);
    insert_row(1, t, v, b);
    insert_row(2, std::string("kurz"), std::nullopt, std::string("\x00\xFF", 2));
    insert_row(3, std::nullopt, std::string(), std::nullopt);
    auto d = driver();
    (*d)();
    EXPECT_TRUE(d->run_completed());
    EXPECT_EQ(messages(), std::vector<std::string>{});
    expect_same_rows(env, k_db, "SELECT * FROM [dbo].[L]", "\"dbo\".\"L\"");
    const ora_rows rows = env.oracle_query("SELECT \"t\", \"v\", \"b\" FROM \"dbo\".\"L\" WHERE \"id\" = 1");
    ASSERT_EQ(rows.rows.size(), 1u);
    EXPECT_TRUE(rows.rows[0][0].s == t);
    EXPECT_TRUE(rows.rows[0][1].s == v);
    EXPECT_TRUE(rows.rows[0][2].s == b);
}

// A mapping (the dialog stores a type even for a rename) on columns holding
// values longer than a field keeps: each arrives whole, of its own kind or
// converted to the other, a type that cannot hold one refuses that record
// alone, and the rows after it arrive.
TEST_F(lob_conversion, long_values_in_mapped_and_renamed_columns_arrive_and_the_rows_after_them)
{
    constexpr size_t mib = size_t{1} << 20;
    const std::string t = make_text(2 * mib);
    const std::string v = make_ascii(2 * mib + 5);
    const std::string b = make_bytes(2 * mib + 3);
    insert_row(1, t, v, b);
    insert_row(2, std::string("kurz"), std::string("abc"), std::string("\x00\xFF", 2));
    insert_row(3, make_text(mib + 17), std::nullopt, std::nullopt);
    auto d = driver();
    auto* tm = d->add_table_mutator(L"[dbo].[L]", L"[dbo].[L]");
    auto type = [](const wchar_t* name, int length) {
        ora_native_type nt;
        nt.name = name;
        nt.length = length;
        return nt;
    };
    tm->update_field(L"t", L"Text2", type(L"NCLOB", 0));
    tm->update_field(L"v", L"AsBytes", type(L"BLOB", 0));
    tm->update_field(L"b", L"Bytes2", type(L"BLOB", 0));
    (*d)();
    EXPECT_TRUE(d->run_completed());
    EXPECT_EQ(messages(), std::vector<std::string>{});
    EXPECT_EQ(arrived_ids(), (std::vector<std::string>{"1", "2", "3"}));
    const ora_rows rows =
        env.oracle_query("SELECT \"Text2\", \"AsBytes\", \"Bytes2\" FROM \"dbo\".\"L\" ORDER BY \"id\"");
    ASSERT_EQ(rows.rows.size(), 3u);
    EXPECT_TRUE(rows.rows[0][0].s == t);
    EXPECT_TRUE(rows.rows[0][1].s == v);
    EXPECT_TRUE(rows.rows[0][2].s == b);
    EXPECT_EQ(rows.rows[1][0].s, "kurz");
    EXPECT_EQ(rows.rows[1][1].s, "abc");
    EXPECT_TRUE(rows.rows[2][0].s == make_text(mib + 17));
    EXPECT_TRUE(rows.rows[2][1].is_null());

    // A number cannot take a long text: that record alone is refused.
    handler.errors.clear();
    env.run_script(k_db, "UPDATE L SET t = N'42' WHERE id = 2\nGO\n");
    auto again = driver();
    again->add_table_mutator(L"[dbo].[L]", L"[dbo].[L]")->update_field(L"t", L"t", type(L"NUMBER", 0));
    (*again)();
    const std::vector<std::string> errors = messages();
    ASSERT_EQ(errors.size(), 2u) << ::testing::PrintToString(errors);
    EXPECT_NE(errors[0].find("record #1"), std::string::npos) << errors[0];
    EXPECT_NE(errors[1].find("record #3"), std::string::npos) << errors[1];
    EXPECT_EQ(arrived_ids(), (std::vector<std::string>{"2"}));
}

TEST_F(lob_conversion, a_failed_lob_write_rolls_its_row_back_and_names_the_record_and_column)
{
    insert_row(1, std::string("first"), std::string("one"), std::string("\x01", 1));
    insert_row(2, std::string("second"), std::string("two"), std::string("\x02", 1));
    insert_row(3, make_text(700'000), std::string("three"), make_bytes(3'000'000));
    auto d = driver();
    // The first LOB write of the first row fails.
    eora::inject_error("OCILobWrite", 1013);
    (*d)();
    EXPECT_TRUE(d->run_completed());
    const std::vector<std::string> m = messages();
    ASSERT_EQ(m.size(), 1u);
    EXPECT_EQ(m[0].rfind("[dbo].[L], record #1: ", 0), 0u) << m[0];
    EXPECT_NE(m[0].find("Column \"t\""), std::string::npos) << m[0];
    // No row of the failed record was committed, not even with empty LOBs.
    EXPECT_EQ(arrived_ids(), (std::vector<std::string>{"2", "3"}));
    expect_same_rows(env, k_db, "SELECT * FROM [dbo].[L] WHERE id <> 1", "\"dbo\".\"L\"");
}

TEST_F(lob_conversion, a_failure_after_the_first_piece_or_in_the_lob_select_rolls_the_row_back)
{
    insert_row(1, std::string("first"), std::string("one"), std::string("\x01", 1));
    insert_row(2, std::string("second"), std::string("two"), make_bytes(3'000'000));
    insert_row(3, std::string("third"), std::string("three"), std::string("\x03", 1));
    auto d = driver();
    // Row 1: the select of its locators fails; row 2: the second piece of "b".
    eora::inject_error("next piece", 1013);
    eora::inject_error("FOR UPDATE", 1013);
    (*d)();
    EXPECT_TRUE(d->run_completed());
    const std::vector<std::string> m = messages();
    ASSERT_EQ(m.size(), 2u);
    EXPECT_EQ(m[0].rfind("[dbo].[L], record #1: ", 0), 0u) << m[0];
    EXPECT_EQ(m[1].rfind("[dbo].[L], record #2: ", 0), 0u) << m[1];
    EXPECT_NE(m[1].find("Column \"b\""), std::string::npos) << m[1];
    EXPECT_EQ(arrived_ids(), (std::vector<std::string>{"3"}));
    expect_same_rows(env, k_db, "SELECT * FROM [dbo].[L] WHERE id = 3", "\"dbo\".\"L\"");
}

TEST_F(lob_conversion, a_row_without_lob_values_is_committed_by_its_insert)
{
    insert_row(1, std::nullopt, std::nullopt, std::nullopt);
    auto d = driver();
    (*d)();
    EXPECT_TRUE(d->run_completed());
    EXPECT_EQ(messages(), std::vector<std::string>{});
    EXPECT_EQ(arrived_ids(), std::vector<std::string>{"1"});
}

// A stored value the source cannot read: a number column holding bytes that
// are no number, put into the server's file behind its back. The agent names
// the record and the column, writes no NULL in its place, and converts the
// other rows; a refused record ends the run as any refused record does.
TEST_F(lob_conversion, a_source_value_that_cannot_be_read_is_reported_for_its_record_through_the_agent)
{
    env.run_script(k_db,
                   "CREATE TABLE N (id int NOT NULL, n int NULL, t nvarchar(max) NULL, CONSTRAINT PK_N "
                   "PRIMARY KEY (id))\nGO\nINSERT INTO N VALUES (1, 10, N'eins')\nINSERT INTO N VALUES (2, 20, "
                   "N'zwei')\nINSERT INTO N VALUES (3, 30, N'drei')\nGO\n");
    {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(mssx_server(env.mss_dir()).database_file(k_db).c_str(), &db), SQLITE_OK);
        char* why = nullptr;
        const int rc = sqlite3_exec(db, "UPDATE \"dbo.N\" SET n = X'00FF10' WHERE id = 2", nullptr, nullptr, &why);
        EXPECT_EQ(rc, SQLITE_OK) << (why ? why : "");
        sqlite3_free(why);
        sqlite3_close(db);
    }
    agent_result r = run_agent({"--src=" + k_db, "--dest=ORCL", "--mssqlh=file:" + env.mss_dir(),
                                "--oraclh=file:" + env.ora_dir(), "--oraclu=scott", "--oraclp=tiger"});
    EXPECT_EQ(r.status, 2) << r.out << r.err;
    const size_t at = r.out.find("Error:\n[dbo].[N], record #2: ");
    ASSERT_NE(at, std::string::npos) << r.out;
    EXPECT_NE(r.out.find("'n'", at), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("Error:", at + 1), std::string::npos) << r.out;
    // The record is not there with a NULL; the others are, value by value.
    EXPECT_EQ(env.oracle_list("SELECT \"id\" FROM \"dbo\".\"N\" ORDER BY \"id\""),
              (std::vector<std::string>{"1", "3"}));
    EXPECT_EQ(env.oracle_list("SELECT COUNT(*) FROM \"dbo\".\"N\" WHERE \"n\" IS NULL"), std::vector<std::string>{"0"});
    expect_same_rows(env, k_db, "SELECT * FROM [dbo].[N] WHERE id <> 2", "\"dbo\".\"N\"");
}

// 100 MiB of text and 100 MiB of binary in one row, through the agent: both
// arrive whole, and the agent's peak memory stays well below the values'
// size. The values are made again for the comparison: a child's peak counts
// what its parent held when it was forked.
TEST_F(lob_conversion, hundred_mebibyte_values_arrive_whole_through_the_agent)
{
    constexpr size_t mib = size_t{1} << 20;
    constexpr size_t size = 100 * mib;
    insert_row(1, std::nullopt, make_ascii(size), make_bytes(size));
    agent_result r = run_agent({"--src=" + k_db, "--dest=ORCL", "--mssqlh=file:" + env.mss_dir(),
                                "--oraclh=file:" + env.ora_dir(), "--oraclu=scott", "--oraclp=tiger"});
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(r.out.find("Error"), std::string::npos) << r.out;
    const double peak_mib = static_cast<double>(r.max_rss_kib) / 1024.0;
    std::printf("agent peak RSS for 100 MiB text + 100 MiB binary in one row: %.1f MiB\n", peak_mib);
    RecordProperty("agent_peak_rss_kib", static_cast<int>(r.max_rss_kib));
#if !defined(__SANITIZE_ADDRESS__)
    // Neither server holds a value twice, nor the converter once: about the
    // size of one value at most. Sanitizer builds use more memory of their own.
    EXPECT_LT(peak_mib, 2.0 * size / mib * 0.75);
#endif
    {
        const ora_rows rows = env.oracle_query("SELECT \"v\", \"b\" FROM \"dbo\".\"L\" WHERE \"id\" = 1");
        ASSERT_EQ(rows.rows.size(), 1u);
        EXPECT_EQ(rows.rows[0][0].s.size(), size);
        EXPECT_TRUE(rows.rows[0][0].s == make_ascii(size));
        EXPECT_EQ(rows.rows[0][1].s.size(), size);
        EXPECT_TRUE(rows.rows[0][1].s == make_bytes(size));
    }
}

} // namespace
