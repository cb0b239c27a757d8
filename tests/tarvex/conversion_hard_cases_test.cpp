// A generated database of the cases real databases hit (names over 30 bytes and
// with a dot, national and CJK texts, date-time types with offsets and fractions,
// sql_variant, LOBs merged twice, mapped defaults): one agent run converts every
// table, and every value is compared with its source after the program ended.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "agent_process.h"
#include "conversion_env.h"

namespace {

std::string repeat(const std::string& piece, size_t n)
{
    std::string s;
    for (size_t i = 0; i < n; ++i) s += piece;
    return s;
}

// Names of 30 characters and of 31 to 60 bytes.
const std::string k_umlaut_table = repeat("Ä", 18) + "_Tabelle"; // 26 characters, 44 bytes
const std::string k_umlaut_column = repeat("Ö", 30);             // 30 characters, 60 bytes
const std::string k_thirty = "abcdefghijabcdefghijabcdefghij";   // 30 characters, 30 bytes
const std::string k_dotted = "abc._defghijabcdefghijabcdefghijxyz";

std::string generated_source()
{
    const std::string cjk = repeat("漢字かな한글", 250); // 1500 characters
    const std::string national = "Grüße, Ærøskøbing, ĞŞİ, Ελληνικά, Кириллица, עברית";
    std::string s;
    s += "CREATE TABLE [" + k_umlaut_table + "] (id int IDENTITY(1,1) NOT NULL, [" + k_umlaut_column +
         "] nvarchar(40) NULL, n int NULL, CONSTRAINT [PK_" + k_umlaut_table + "] PRIMARY KEY (id))\nGO\n";
    s += "CREATE INDEX [IX_" + k_umlaut_table + "_n] ON [" + k_umlaut_table + "] (n)\nGO\n";
    for (int i = 1; i <= 3; ++i)
        s += "INSERT [" + k_umlaut_table + "] ([" + k_umlaut_column + "], n) VALUES (N'Zeile " + std::to_string(i) +
             " äöü', " + std::to_string(i * 10) + ")\n";
    s += "GO\nCREATE TABLE [" + k_thirty + "] (k int NOT NULL, v nvarchar(10) NULL)\nGO\n";
    s += "INSERT [" + k_thirty + "] VALUES (30, N'dreißig')\nGO\n";
    s += "CREATE TABLE [" + k_dotted + "] (k int NOT NULL, v nvarchar(10) NULL)\nGO\n";
    s += "INSERT [" + k_dotted + "] VALUES (1, N'Punkt')\nGO\n";
    s += "CREATE TABLE Texte (id int NOT NULL, de nvarchar(100) NULL, ascii varchar(50) NULL, "
         "cjk nvarchar(1500) NULL, CONSTRAINT PK_Texte PRIMARY KEY (id))\nGO\n";
    s += "INSERT Texte VALUES (1, N'" + national + "', 'plain', N'" + cjk + "')\n";
    s += "INSERT Texte VALUES (2, N'" + cjk.substr(0, 90) + "', NULL, NULL)\nGO\n";
    s += "CREATE TABLE Zeiten (id int NOT NULL, dto datetimeoffset(7) NULL, dto3 datetimeoffset(3) NULL, "
         "dt datetime NULL DEFAULT getdate(), dt2 datetime2(3) NULL, tm time(0) NULL, v sql_variant NULL, "
         "CONSTRAINT PK_Zeiten PRIMARY KEY (id))\nGO\n";
    s += "INSERT Zeiten VALUES (1, '2024-02-29 13:45:12.1234567 +05:30', '2001-01-01 00:00:00.999 -03:30', "
         "'2023-05-06 07:08:09.123', '2023-05-06 07:08:09.457', '13:45:12', N'" +
         national + "')\n";
    s += "INSERT Zeiten VALUES (2, '1753-01-01 00:00:00.0000000 +14:00', NULL, '1999-12-31 23:59:59.997', "
         "'9999-12-31 23:59:59.999', '23:59:59', 12345)\n";
    s += "INSERT Zeiten VALUES (3, NULL, NULL, NULL, NULL, NULL, NULL)\nGO\n";
    s += "CREATE TABLE Lobs (id int NOT NULL, vm varchar(max) NULL, nm nvarchar(max) NULL, t text NULL, "
         "nt ntext NULL, x xml NULL, bm varbinary(max) NULL, im image NULL, CONSTRAINT PK_Lobs PRIMARY KEY (id))\nGO\n";
    s += "INSERT Lobs VALUES (1, '" + std::string(9000, 'v') + "', N'" + repeat("ü", 6000) +
         "', 'text', N'ntext ß', '<a>1</a>', 0x0102FF, 0xCAFE)\n";
    s += "INSERT Lobs VALUES (2, NULL, NULL, NULL, NULL, NULL, NULL, NULL)\nGO\n";
    s += "CREATE TABLE Vorgaben (id int NOT NULL, txt nvarchar(20) NULL DEFAULT 'unbekannt', "
         "d datetime NULL DEFAULT '2024-01-02', stamp datetime NULL DEFAULT getdate(), "
         "CONSTRAINT PK_Vorgaben PRIMARY KEY (id))\nGO\n";
    s += "INSERT Vorgaben (id, txt, d, stamp) VALUES (1, N'eins', '2023-05-06 07:08:09', '2023-05-06 07:08:09')\nGO\n";
    return s;
}

std::string field(const std::string& name, const std::string& type, const std::string& def, int length)
{
    return "      - name:" + name + "\n        new_name: " + name + "\n        status: changed\n        type: " + type +
           "\n        default_value: " + def + "\n        character_set: \n        length: " + std::to_string(length) +
           "\n        scale: 0\n        precision: 0\n";
}

bool starts_with(const std::string& s, const std::string& head) { return s.compare(0, head.size(), head) == 0; }

class hard_cases : public ::testing::Test {
protected:
    void SetUp() override
    {
        env.create_database("db");
        env.run_script("db", generated_source());
        env.create_user("scott", "tiger");
        profile = env.dir() + "/hard.tvx";
    }

    // A profile of the whole database with the mapped defaults and the mode given.
    void write_profile(int mode)
    {
        std::ofstream(profile, std::ios::binary)
            << "[Available Queries]\n\n[Generic settings]\nsrc=db\ndest=ORCL\nlogfile=\nskip indexes=0\n"
               "only definitions=0\nmode="
            << mode << "\n\n[MS SQL Server settings]\nserver=file:" << env.mss_dir()
            << "\nwindows authentication=1\n\n[Oracle settings]\nhost=file:" << env.ora_dir()
            << "\npassword=tiger\nport=1521\nuser=scott\nuppercase=0\n\n[Selected Tables]\n\n[Selected Views]\n\n"
               "[Type Mappings]\ndatabase:\ntables:\n  - name: [dbo].[Vorgaben]\n    new_name: [dbo].[Vorgaben]\n"
               "    fields:\n"
            << field("txt", "NVARCHAR2", "'unbekannt'", 20)
            << field("d", "DATE", "to_date('2024-01-02', 'YYYY-MM-DD')", 0) << field("stamp", "TIMESTAMP", "sysdate", 0)
            << "    properties:\n";
    }

    agent_result run(int mode)
    {
        write_profile(mode);
        return run_agent({"--profile=" + profile});
    }

    std::string table_starting(const std::string& head)
    {
        std::string found;
        for (const auto& t : env.oracle_tables("dbo"))
            if (starts_with(t, head)) found = t;
        return found;
    }

    void expect_every_value_equal()
    {
        const std::string umlauts = table_starting("ÄÄÄ");
        ASSERT_FALSE(umlauts.empty());
        EXPECT_LE(umlauts.size(), 30u);
        std::string column;
        for (const auto& c : env.oracle_list("SELECT COLUMN_NAME FROM ALL_TAB_COLUMNS WHERE OWNER = 'dbo' AND "
                                             "TABLE_NAME = '" +
                                             umlauts + "'"))
            if (starts_with(c, "ÖÖ")) column = c;
        ASSERT_FALSE(column.empty());
        EXPECT_LE(column.size(), 30u);
        table_map map;
        map.renamed[k_umlaut_column] = column;
        expect_same_rows(env, "db", "SELECT * FROM [dbo].[" + k_umlaut_table + "]", "\"dbo\".\"" + umlauts + "\"", map);
        expect_same_rows(env, "db", "SELECT * FROM [dbo].[" + k_thirty + "]", "\"dbo\".\"" + k_thirty + "\"");
        const std::string dotted = table_starting("abc_");
        ASSERT_FALSE(dotted.empty());
        expect_same_rows(env, "db", "SELECT * FROM [dbo].[" + k_dotted + "]", "\"dbo\".\"" + dotted + "\"");
        expect_same_rows(env, "db", "SELECT * FROM [dbo].[Texte]", "\"dbo\".\"Texte\"");
        expect_same_rows(env, "db", "SELECT * FROM [dbo].[Zeiten]", "\"dbo\".\"Zeiten\"");
        expect_same_rows(env, "db", "SELECT * FROM [dbo].[Lobs]", "\"dbo\".\"Lobs\"");
        expect_same_rows(env, "db", "SELECT * FROM [dbo].[Vorgaben]", "\"dbo\".\"Vorgaben\"");
    }

    conversion_env env;
    std::string profile;
};

} // namespace

TEST_F(hard_cases, every_table_converts_with_every_value_equal_and_merges_twice)
{
    agent_result first = run(0);
    EXPECT_EQ(first.status, 0) << first.out << first.err;
    EXPECT_EQ(first.out.find("Error"), std::string::npos) << first.out;
    EXPECT_EQ(first.err, "");
    EXPECT_EQ(env.oracle_tables("dbo").size(), 7u);
    expect_every_value_equal();

    // The offsets, fractions and fixed date part, beyond what the row comparison reads.
    EXPECT_EQ(env.oracle_list("SELECT \"dto\" FROM \"dbo\".\"Zeiten\" WHERE \"id\" = 1"),
              std::vector<std::string>{"2024-02-29 13:45:12.1234567 +05:30"});
    EXPECT_EQ(env.oracle_list("SELECT \"dto3\" FROM \"dbo\".\"Zeiten\" WHERE \"id\" = 1"),
              std::vector<std::string>{"2001-01-01 00:00:00.999 -03:30"});
    const auto time = env.oracle_list("SELECT \"tm\" FROM \"dbo\".\"Zeiten\" WHERE \"id\" = 1");
    ASSERT_EQ(time.size(), 1u);
    EXPECT_EQ(time[0].substr(0, 19), "1900-01-01 13:45:12");
    // The mapped defaults and the kept date-function default.
    env.oracle_exec("INSERT INTO \"dbo\".\"Vorgaben\" (\"id\") VALUES (2)");
    const auto row = env.oracle_query("SELECT \"txt\", \"d\", \"stamp\" FROM \"dbo\".\"Vorgaben\" WHERE \"id\" = 2");
    ASSERT_EQ(row.rows.size(), 1u);
    EXPECT_EQ(row.rows[0][0].s, "unbekannt");
    EXPECT_EQ(row.rows[0][1].s.substr(0, 19), "2024-01-02 00:00:00");
    EXPECT_FALSE(row.rows[0][2].is_null());
    env.oracle_exec("DELETE FROM \"dbo\".\"Vorgaben\" WHERE \"id\" = 2");

    // Merged twice into the tables the first run made, emptied each time.
    for (int round = 0; round < 2; ++round) {
        for (const auto& t : env.oracle_tables("dbo")) env.oracle_exec("DELETE FROM \"dbo\".\"" + t + "\"");
        agent_result merge = run(1);
        EXPECT_EQ(merge.status, 0) << merge.out << merge.err;
        EXPECT_EQ(merge.out.find("Error"), std::string::npos) << "merge " << round << ": " << merge.out;
        expect_every_value_equal();
    }
}
