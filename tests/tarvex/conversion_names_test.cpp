// Names Oracle measures in bytes, and source names with a dot: every table of the
// run arrives, under names of at most 30 bytes, with every value.
#include <gtest/gtest.h>

#include <string>

#include "agent_process.h"
#include "conversion_env.h"

namespace {

// 18 two-byte letters: 18 characters, 36 bytes before any suffix.
const std::string k_umlauts = "ÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄÄ";
const std::string k_cut = "ÖÖÖÖÖÖÖÖÖÖÖÖÖÖÖÖÖÖ";

const std::string k_source = "CREATE TABLE [" + k_umlauts + "_Tabelle] (id int IDENTITY(1,1) NOT NULL, [" + k_cut +
                             "_Spalte] nvarchar(10) NULL, [ok] int NULL, CONSTRAINT [PK_" + k_umlauts +
                             "] PRIMARY KEY (id))\nGO\n"
                             "CREATE INDEX [IX_" +
                             k_umlauts + "_ok] ON [" + k_umlauts +
                             "_Tabelle] ([ok])\nGO\n"
                             "INSERT [" +
                             k_umlauts + "_Tabelle] ([" + k_cut +
                             "_Spalte], ok) VALUES (N'eins', 1)\n"
                             "INSERT [" +
                             k_umlauts + "_Tabelle] ([" + k_cut +
                             "_Spalte], ok) VALUES (N'zwei', NULL)\n"
                             "GO\n"
                             // Thirty characters: no byte over.
                             "CREATE TABLE [abcdefghijabcdefghijabcdefghij] (k int NULL)\nGO\n"
                             "INSERT [abcdefghijabcdefghijabcdefghij] VALUES (30)\nGO\n"
                             // A dot then a non-letter, and more than 30 characters.
                             "CREATE TABLE [abc._defghijabcdefghijabcdefghijxyz] (k int NULL, v nvarchar(5) NULL)\nGO\n"
                             "INSERT [abc._defghijabcdefghijabcdefghijxyz] VALUES (1, N'punkt')\nGO\n"
                             "CREATE TABLE [zzz_after] (k int NULL)\nGO\n"
                             "INSERT [zzz_after] VALUES (7)\nGO\n";

size_t utf8_chars(const std::string& s)
{
    size_t n = 0;
    for (unsigned char c : s) n += (c & 0xC0) != 0x80;
    return n;
}

bool starts_with(const std::string& s, const std::string& head) { return s.compare(0, head.size(), head) == 0; }

// A UTF-8 text cut inside a character would not end on a whole character.
bool whole_utf8(const std::string& s)
{
    size_t i = 0;
    while (i < s.size()) {
        const auto c = static_cast<unsigned char>(s[i]);
        const size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        if (n == 0 || i + n > s.size()) return false;
        for (size_t k = 1; k < n; ++k)
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
        i += n;
    }
    return true;
}

void expect_oracle_name(const std::string& name)
{
    EXPECT_LE(name.size(), 30u) << name;
    EXPECT_TRUE(whole_utf8(name)) << name;
}

class conversion_names : public ::testing::Test {
protected:
    void SetUp() override
    {
        env.create_database("db");
        env.run_script("db", k_source);
        env.create_user("scott", "tiger");
    }
    conversion_env env;
};

} // namespace

TEST_F(conversion_names, names_over_30_bytes_and_dotted_names_convert_every_table)
{
    agent_result r = run_agent({"--src=db", "--dest=ORCL", "--mssqlh=file:" + env.mss_dir(),
                                "--oraclh=file:" + env.ora_dir(), "--oraclu=scott", "--oraclp=tiger"});
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(r.out.find("Error"), std::string::npos) << r.out;
    EXPECT_EQ(r.err, "");

    // Every table arrives; each name of the schema fits Oracle's 30 bytes.
    std::string umlaut_table, dotted_table;
    const auto tables = env.oracle_tables("dbo");
    EXPECT_EQ(tables.size(), 4u);
    for (const auto& t : tables) {
        expect_oracle_name(t);
        if (starts_with(t, "ÄÄÄ"))
            umlaut_table = t;
        else if (starts_with(t, "abc_"))
            dotted_table = t;
    }
    EXPECT_TRUE(tables.count("abcdefghijabcdefghijabcdefghij"));
    EXPECT_TRUE(tables.count("zzz_after"));
    ASSERT_FALSE(umlaut_table.empty());
    ASSERT_FALSE(dotted_table.empty());
    // Cut to the bytes, not to a character count: fewer than 29 characters remain.
    EXPECT_LT(utf8_chars(umlaut_table), 29u) << umlaut_table;
    // No dot stays to split the name again.
    EXPECT_EQ(dotted_table.find('.'), std::string::npos) << dotted_table;

    for (const auto& what :
         {std::string("SELECT COLUMN_NAME FROM ALL_TAB_COLUMNS WHERE OWNER = 'dbo'"),
          std::string("SELECT INDEX_NAME FROM ALL_INDEXES WHERE TABLE_OWNER = 'dbo'"),
          std::string("SELECT CONSTRAINT_NAME FROM ALL_CONSTRAINTS WHERE OWNER = 'dbo'"),
          std::string("SELECT SEQUENCE_NAME FROM ALL_SEQUENCES"), std::string("SELECT TRIGGER_NAME FROM ALL_TRIGGERS")})
        for (const auto& name : env.oracle_list(what)) expect_oracle_name(name);

    std::string column;
    for (const auto& c : env.oracle_list(
             "SELECT COLUMN_NAME FROM ALL_TAB_COLUMNS WHERE OWNER = 'dbo' AND TABLE_NAME = '" + umlaut_table + "'"))
        if (starts_with(c, "ÖÖÖ")) column = c;
    ASSERT_FALSE(column.empty());
    table_map map;
    map.renamed[k_cut + "_Spalte"] = column;
    expect_same_rows(env, "db", "SELECT * FROM [dbo].[" + k_umlauts + "_Tabelle]", "\"dbo\".\"" + umlaut_table + "\"",
                     map);
    // The identity goes on from the copied rows under its shortened sequence and trigger names.
    env.oracle_exec("INSERT INTO \"dbo\".\"" + umlaut_table + "\" (\"" + column + "\") VALUES ('drei')");
    EXPECT_EQ(env.oracle_list("SELECT \"id\" FROM \"dbo\".\"" + umlaut_table + "\" WHERE \"" + column + "\" = 'drei'"),
              std::vector<std::string>{"3"});
    // The index of the long name is there under a name of its own.
    EXPECT_EQ(env.oracle_list("SELECT COUNT(*) FROM ALL_INDEXES WHERE TABLE_OWNER = 'dbo' AND TABLE_NAME = '" +
                              umlaut_table + "'"),
              std::vector<std::string>{"2"});

    expect_same_rows(env, "db", "SELECT * FROM [dbo].[abc._defghijabcdefghijabcdefghijxyz]",
                     "\"dbo\".\"" + dotted_table + "\"");
    expect_same_rows(env, "db", "SELECT * FROM [dbo].[abcdefghijabcdefghijabcdefghij]",
                     "\"dbo\".\"abcdefghijabcdefghijabcdefghij\"");
    expect_same_rows(env, "db", "SELECT * FROM [dbo].[zzz_after]", "\"dbo\".\"zzz_after\"");
}
