// A generated database holding each kind of value that once arrived altered
// converts, through the agent, value by value equal on every route: from the
// folder to the folder, from the server's network endpoint through the ODBC
// driver, and into Oracle through the loaded client library; into a UTF-8
// database and into one of code page 1252. Read back through a second
// connection.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <thread>

#include "agent_process.h"
#include "conversion_env.h"
#include "platform/eora/eora_privileges.h"
#include "platform/mssx/tds/tds_listener.h"

namespace fs = std::filesystem;

namespace {

constexpr size_t k_mib = size_t{1} << 20;
const std::string k_db = "Cases";
const std::string k_guid_text = "guid{6F9619FF-8B86-D011-B42D-00C04FC964FF}";
const std::string k_cjk_emoji = "\xE6\xBC\xA2\xE5\xAD\x97 \xF0\x9F\x98\x80";

std::string repeat(const std::string& unit, size_t n)
{
    std::string s;
    s.reserve(unit.size() * n);
    for (size_t i = 0; i < n; ++i) s += unit;
    return s;
}

// 2 MiB of text with quotes, Latin-1, CJK and an emoji; as a T-SQL literal its quotes double.
std::string big_text()
{
    const std::string unit = "it's \xC3\xA9 \xE4\xB8\xAD \xF0\x9F\x98\x80 ";
    return repeat(unit, 2 * k_mib / unit.size() + 1);
}

std::string quoted(const std::string& s)
{
    std::string out;
    for (char c : s) {
        out += c;
        if (c == '\'') out += '\'';
    }
    return out;
}

// Offsets at both ends and the half hour, in the years that once arrived as other dates.
const std::vector<std::string> k_offsets = {"0001-01-01 00:00:00.0000000 -14:00", "0001-02-02 03:04:05.1234567 +14:00",
                                            "0009-09-09 09:09:09.9999999 -14:00", "0012-12-31 23:59:59.0000001 +14:00",
                                            "0012-01-13 12:00:00.5000000 -00:30", "0100-01-01 00:00:00.0000000 +14:00",
                                            "9999-12-31 23:59:59.9999999 -14:00", "9999-12-31 23:59:59.9999999 +14:00"};

std::string source_script()
{
    std::string s = "CREATE DATABASE " + k_db + "\nGO\nUSE " + k_db + "\nGO\n";
    // A long value in a mapped, renamed column, and the rows after it.
    s += "CREATE TABLE B (id int NOT NULL PRIMARY KEY, doc nvarchar(max) NULL, n int NULL)\nGO\n"
         "INSERT B VALUES (1, N'" +
         quoted(big_text()) +
         "', 1)\nGO\n"
         "INSERT B VALUES (2, N'kurz', 2)\nINSERT B VALUES (3, NULL, 3)\nGO\n";
    s += "CREATE TABLE O (id int NOT NULL PRIMARY KEY, o datetimeoffset(7) NULL)\nGO\n";
    for (size_t i = 0; i < k_offsets.size(); ++i)
        s += "INSERT O VALUES (" + std::to_string(i + 1) + ", '" + k_offsets[i] + "')\n";
    s += "GO\n";
    s += "CREATE TABLE N (id int NOT NULL PRIMARY KEY, nt nvarchar(max) NULL, nx ntext NULL, x xml NULL)\nGO\n"
         "INSERT N VALUES (1, N'" +
         repeat(k_cjk_emoji, 1000) + "', N'" + k_cjk_emoji + "', N'<r>" + k_cjk_emoji +
         "</r>')\nINSERT N VALUES (2, NULL, NULL, NULL)\nGO\n";
    s += "CREATE TABLE G (id int NOT NULL PRIMARY KEY, v varchar(60) NULL, nv nvarchar(60) NULL)\nGO\n"
         "INSERT G VALUES (1, '" +
         k_guid_text + "', N'" + k_guid_text + "')\nGO\n";
    s += "CREATE TABLE V (id int NOT NULL PRIMARY KEY, v sql_variant NULL)\nGO\n"
         "INSERT V VALUES (1, CAST(0.1 AS float))\nINSERT V VALUES (2, CAST(924788.195 AS float))\n"
         "INSERT V VALUES (3, CAST(12.5 AS decimal(38,10)))\nINSERT V VALUES (4, CAST(12.3456 AS money))\n"
         "INSERT V VALUES (5, CAST('2024-02-29 13:45:12.1234567' AS datetime2(7)))\nGO\n";
    s += "CREATE TABLE F (id int NOT NULL PRIMARY KEY, d2 datetime2(7) NULL, o datetimeoffset(7) NULL, "
         "t time(7) NULL)\nGO\n"
         "INSERT F VALUES (1, '2024-02-29 13:45:12.1234567', '2024-02-29 13:45:12.1234567 +05:30', "
         "'13:45:12.1234567')\nGO\n";
    s += "CREATE TABLE Z (id int NOT NULL PRIMARY KEY, t nvarchar(40) NULL, v varchar(40) NULL)\nGO\n"
         "INSERT Z VALUES (1, N'a' + NCHAR(0) + N'b''c', 'd' + CHAR(0) + 'e')\nGO\n";
    return s;
}

// What each table must hold, row by row in key order, each value as text.
std::map<std::string, std::vector<std::vector<std::string>>> expected()
{
    std::map<std::string, std::vector<std::vector<std::string>>> e;
    e["SELECT \"id\", \"Body\", \"n\" FROM \"dbo\".\"B\" ORDER BY \"id\""] = {
        {"1", big_text(), "1"}, {"2", "kurz", "2"}, {"3", "NULL", "3"}};
    auto& o = e["SELECT \"o\" FROM \"dbo\".\"O\" ORDER BY \"id\""];
    for (const std::string& v : k_offsets) o.push_back({v});
    e["SELECT \"nt\", \"nx\", \"x\" FROM \"dbo\".\"N\" ORDER BY \"id\""] = {
        {repeat(k_cjk_emoji, 1000), k_cjk_emoji, "<r>" + k_cjk_emoji + "</r>"}, {"NULL", "NULL", "NULL"}};
    e["SELECT \"v\", \"nv\" FROM \"dbo\".\"G\""] = {{k_guid_text, k_guid_text}};
    e["SELECT \"v\" FROM \"dbo\".\"V\" ORDER BY \"id\""] = {
        {"0.1"}, {"924788.195"}, {"12.5000000000"}, {"12.3456"}, {"2024-02-29 13:45:12.1234567"}};
    e["SELECT \"d2\", \"o\", \"t\" FROM \"dbo\".\"F\""] = {
        {"2024-02-29 13:45:12.1234567", "2024-02-29 13:45:12.1234567 +05:30", "1900-01-01 13:45:12.1234567"}};
    e["SELECT \"t\", \"v\" FROM \"dbo\".\"Z\""] = {{std::string("a\0b'c", 5), std::string("d\0e", 3)}};
    return e;
}

// A service folder with the service ORCL in a character set and the user scott.
std::string make_target(const std::string& dir, const std::string& charset)
{
    fs::create_directories(dir);
    const std::string file = dir + "/" + conversion_env::service + ".db";
    eora::session::create_service(file, conversion_env::system_password, charset);
    eora::session s(file, "SYSTEM", conversion_env::system_password);
    std::string grants;
    for (std::string_view p : eora::priv::converter_set()) grants += (grants.empty() ? "" : ", ") + std::string(p);
    for (const std::string& sql :
         {std::string("CREATE USER \"SCOTT\" IDENTIFIED BY \"tiger\""),
          std::string("ALTER USER \"SCOTT\" QUOTA UNLIMITED ON \"USERS\""), "GRANT " + grants + " TO \"SCOTT\""})
        s.execute(*s.prepare(sql), {});
    return file;
}

// A profile that converts the database with the long column renamed and mapped.
std::string profile(const std::string& source_host, bool windows_auth, const std::string& target_host)
{
    return "[Available Queries]\n\n[Generic settings]\nsrc=" + k_db +
           "\ndest=ORCL\nlogfile=\nskip indexes=0\nonly definitions=0\nmode=0\n\n[MS SQL Server settings]\nserver=" +
           source_host + "\nlogin=sa\npassword=sa\nwindows authentication=" + (windows_auth ? "1" : "0") +
           "\n\n[Oracle settings]\nhost=" + target_host +
           "\npassword=tiger\nport=1521\nuser=scott\nuppercase=0\n\n[Selected Tables]\n\n[Selected Views]\n\n"
           "[Type Mappings]\ndatabase:\ntables:\n  - name: [dbo].[B]\n    new_name: [dbo].[B]\n    fields:\n"
           "      - name:doc\n        new_name: Body\n        status: changed\n        type: NCLOB\n"
           "        default_value: \n        character_set: \n        length: 0\n        scale: 0\n"
           "        precision: 0\n    properties:\n";
}

class every_route_value : public ::testing::TestWithParam<const char*> {
protected:
    every_route_value() : env(GetParam()) {}

    void SetUp() override
    {
        const std::string script = env.dir() + "/cases.sql";
        std::ofstream(script, std::ios::binary) << source_script();
        env.load_file("master", script);
        env.create_user("scott", "tiger");
    }

    // Runs the agent with a profile; the run must report nothing.
    void convert(const std::string& profile_text, const env_changes& changes = {})
    {
        const std::string path = env.dir() + "/run.tvx";
        std::ofstream(path, std::ios::binary) << profile_text;
        agent_result r = run_agent({"--profile=" + path}, "", changes);
        EXPECT_EQ(r.status, 0) << r.out << r.err;
        EXPECT_EQ(r.out.find("Error"), std::string::npos) << r.out;
    }

    // Every expected value, read through a session of its own on the service file.
    void expect_arrived(const std::string& service_file, const std::string& route)
    {
        eora::session s(service_file, "SYSTEM", conversion_env::system_password);
        for (const auto& [sql, rows] : expected()) {
            auto st = s.prepare(sql);
            eora::exec_result r = s.execute(*st, {});
            ASSERT_TRUE(r.cur) << sql;
            size_t n = 0;
            while (r.cur->next()) {
                const std::vector<eora::value> row = r.cur->row();
                ASSERT_LT(n, rows.size()) << route << ": " << sql;
                ASSERT_EQ(row.size(), rows[n].size()) << route << ": " << sql;
                for (size_t i = 0; i < row.size(); ++i) {
                    const std::string got = row[i].is_null() ? "NULL" : row[i].s;
                    // Shown cut: a 2 MiB difference would drown the report.
                    EXPECT_TRUE(got == rows[n][i])
                        << route << ": " << sql << " row " << n << " column " << i << "\n  got:  " << got.substr(0, 80)
                        << "\n  want: " << rows[n][i].substr(0, 80);
                }
                ++n;
            }
            EXPECT_EQ(n, rows.size()) << route << ": " << sql;
        }
        for (const char* column : {"Body", "nt", "nx", "x"}) {
            auto st = s.prepare("SELECT DATA_TYPE FROM ALL_TAB_COLUMNS WHERE OWNER = 'dbo' AND COLUMN_NAME = '" +
                                std::string(column) + "'");
            eora::exec_result r = s.execute(*st, {});
            ASSERT_TRUE(r.cur && r.cur->next()) << column;
            EXPECT_EQ(r.cur->row().at(0).s, "NCLOB") << route << ": " << column;
        }
    }

    tk_logger logger{nullptr, false, 3, false};
    conversion_env env;
};

} // namespace

TEST_P(every_route_value, from_the_folder_into_the_folder)
{
    convert(profile("file:" + env.mss_dir(), true, "file:" + env.ora_dir()));
    expect_arrived(env.ora_dir() + "/ORCL.db", "file: to file:");
}

TEST_P(every_route_value, from_the_network_endpoint_through_the_odbc_driver)
{
    tds_listener endpoint(env.mss_dir(), "127.0.0.1", 0);
    std::thread serving([&] { endpoint.serve(); });
    convert(profile("127.0.0.1," + std::to_string(endpoint.port()), false, "file:" + env.ora_dir()));
    endpoint.stop();
    serving.join();
    expect_arrived(env.ora_dir() + "/ORCL.db", "ODBC to file:");
}

TEST_P(every_route_value, into_oracle_through_the_loaded_client_library)
{
    const std::string remote = env.dir() + "/remote";
    const std::string file = make_target(remote, GetParam());
    convert(profile("file:" + env.mss_dir(), true, "127.0.0.1"),
            {{"TVX_OCI_LIBRARY", TVX_OCI_STANDIN}, {"TVX_OCI_TEST_DIR", remote}});
    expect_arrived(file, "file: to the client library");
}

INSTANTIATE_TEST_SUITE_P(charsets, every_route_value, ::testing::Values("AL32UTF8", "WE8MSWIN1252"));

// Oracle keeps no empty string: it arrives as NULL, and a NOT NULL column that
// holds one loses NOT NULL; in a key column, whose NOT NULL stays, the row is
// refused and reported. An empty LOB stays empty.
TEST(empty_string_conversion, arrives_as_null_and_takes_not_null_from_its_column)
{
    tk_logger logger{nullptr, false, 3, false};
    conversion_env env;
    env.create_database("db");
    env.run_script("db",
                   "CREATE TABLE E (k nvarchar(10) NOT NULL PRIMARY KEY, s nvarchar(10) NOT NULL, "
                   "l nvarchar(max) NULL)\nGO\n"
                   "INSERT E VALUES (N'a', N'', N'')\nINSERT E VALUES (N'', N'x', N'y')\n"
                   "INSERT E VALUES (N'b', N'z', NULL)\nGO\n");
    env.create_user("scott", "tiger");
    agent_result r = run_agent({"--src=db", "--dest=ORCL", "--mssqlh=file:" + env.mss_dir(),
                                "--oraclh=file:" + env.ora_dir(), "--oraclu=scott", "--oraclp=tiger"});
    const size_t at = r.out.find("Error:");
    ASSERT_NE(at, std::string::npos) << r.out;
    EXPECT_NE(r.out.find("record #2", at), std::string::npos) << r.out;
    std::vector<std::string> rows;
    for (const auto& row : env.oracle_query("SELECT \"k\", \"s\", \"l\" FROM \"dbo\".\"E\" ORDER BY \"k\"").rows)
        rows.push_back(row.at(0).s + "|" + (row.at(1).is_null() ? "NULL" : row.at(1).s) + "|" +
                       (row.at(2).is_null() ? "NULL" : "'" + row.at(2).s + "'"));
    EXPECT_EQ(rows, (std::vector<std::string>{"a|NULL|''", "b|z|NULL"}));
    auto nullable = [&](const std::string& column) {
        return env.oracle_list(
            "SELECT NULLABLE FROM ALL_TAB_COLUMNS WHERE OWNER = 'dbo' AND TABLE_NAME = 'E' AND "
            "COLUMN_NAME = '" +
            column + "'");
    };
    EXPECT_EQ(nullable("s"), std::vector<std::string>{"Y"});
    EXPECT_EQ(nullable("k"), std::vector<std::string>{"N"});
}
