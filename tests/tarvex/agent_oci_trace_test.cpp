// The agent's OCI calls as a real client library sees them: a conversion with
// national, database-set and binary LOB columns through the stand-in library,
// which logs every call. The log shows no define on a handle a prepare or a
// free dropped, no refused handle, every LOB write in its column's form, and
// the server round trips counted by kind.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "agent_process.h"
#include "conversion_env.h"

namespace fs = std::filesystem;

namespace {

// One line of the trace: the function, its fields and its status.
struct call {
    std::string name;
    std::map<std::string, std::string> f;
    std::string text; // a prepare's statement
    long rc = 0;
};

std::vector<call> read_trace(const std::string& path)
{
    std::vector<call> out;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) {
        call c;
        // name, fields, [a prepare's text,] status: separated by tabs.
        std::vector<std::string> parts;
        std::istringstream cols(line);
        for (std::string part; std::getline(cols, part, '\t');) parts.push_back(part);
        if (parts.size() < 3) continue;
        c.name = parts.front();
        if (parts.back().rfind("rc=", 0) == 0) c.rc = std::stol(parts.back().substr(3));
        if (parts.size() > 3) c.text = parts[2];
        std::istringstream words(parts[1]);
        for (std::string w; words >> w;) {
            const size_t eq = w.find('=');
            if (eq != std::string::npos) c.f[w.substr(0, eq)] = w.substr(eq + 1);
        }
        out.push_back(std::move(c));
    }
    return out;
}

std::map<std::string, long> read_totals(const std::string& path)
{
    std::map<std::string, long> out;
    std::ifstream in(path);
    std::string kind;
    long n = 0;
    while (in >> kind >> n) out[kind] = n;
    return out;
}

constexpr long oci_invalid_handle = -2;
constexpr unsigned long stmt_handle_type = 4;

// A text of `chars` characters of every UTF-8 width, for the script.
std::string wide_text(size_t chars)
{
    static const char* const parts[] = {"a", "\xC3\xA9", "\xE6\xBC\xA2", "\xF0\x9F\x98\x80", " "};
    std::string s;
    for (size_t i = 0; i < chars; ++i) s += parts[(i * 7 + i / 13) % 5];
    return s;
}

std::string hex_bytes(size_t n)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string s = "0x";
    for (size_t i = 0; i < n; ++i) {
        const unsigned v = static_cast<unsigned>((i * 37 + 11) & 0xFF);
        s += digits[v >> 4];
        s += digits[v & 15];
    }
    return s;
}

TEST(agent_oci_trace, lob_columns_are_written_in_their_form_and_no_dropped_define_is_used_again)
{
    conversion_env env;
    env.create_database("db");
    std::string script =
        "CREATE TABLE D (id int NOT NULL PRIMARY KEY, n nvarchar(max) NULL, c varchar(max) NULL, "
        "b varbinary(max) NULL)\nGO\n";
    for (int id = 1; id <= 4; ++id) {
        const size_t len = static_cast<size_t>(id) * 3000;
        script += "INSERT D VALUES (" + std::to_string(id) + ", N'" + wide_text(len) + "', '" +
                  std::string(len, static_cast<char>('a' + id)) + "', " + hex_bytes(len) + ")\nGO\n";
    }
    // Rows with their LOB values in other columns than the rows before.
    script += "INSERT D VALUES (5, NULL, 'only c', NULL)\nGO\nINSERT D VALUES (6, N'only n', NULL, 0x01)\nGO\n";
    script +=
        "CREATE TABLE E (id int NOT NULL PRIMARY KEY, memo ntext NULL)\nGO\n"
        "INSERT E VALUES (1, N'memo \xE6\xBC\xA2')\nGO\n";
    env.run_script("db", script);
    env.create_user("scott", "tiger");
    const std::string remote = env.dir() + "/remote";
    fs::create_directories(remote);
    eora::session::create_service(remote + "/ORCL.db", conversion_env::system_password);
    {
        eora::session s(remote + "/ORCL.db", "SYSTEM", conversion_env::system_password);
        for (const char* sql : {"CREATE USER \"SCOTT\" IDENTIFIED BY \"tiger\"",
                                "ALTER USER \"SCOTT\" QUOTA UNLIMITED ON \"USERS\"", "GRANT DBA TO \"SCOTT\""})
            s.execute(*s.prepare(sql), {});
        s.commit();
    }
    const std::string trace = env.dir() + "/oci.trace";
    const std::string totals = env.dir() + "/oci.trips";
    // The national text of D goes to an NCLOB, whatever the default mapping of its type.
    const std::string profile = env.dir() + "/setup.tvx";
    std::ofstream(profile, std::ios::binary)
        << "[Available Queries]\n\n[Generic settings]\nsrc=db\ndest=ORCL\nlogfile=\nskip indexes=0\n"
           "only definitions=0\nmode=0\n\n[MS SQL Server settings]\nserver=file:"
        << env.mss_dir()
        << "\nwindows authentication=1\n\n[Oracle settings]\nhost=127.0.0.1\npassword=tiger\nport=1521\n"
           "user=scott\nuppercase=0\n\n[Selected Tables]\ndbo.D\ndbo.E\n\n[Selected Views]\n\n"
           "[Type Mappings]\ndatabase:\ntables:\n  - name: [dbo].[D]\n    new_name: [dbo].[D]\n    fields:\n"
           "      - name:n\n        new_name: n\n        status: changed\n        type: NCLOB\n"
           "        default_value: \n        character_set: \n        length: 0\n        scale: 0\n"
           "        precision: 0\n    properties:\n";
    agent_result r = run_agent({"--profile=" + profile}, "",
                               {{"TVX_OCI_LIBRARY", TVX_OCI_STANDIN},
                                {"TVX_OCI_TEST_DIR", remote},
                                {"TVX_OCI_TRACE", trace},
                                {"TVX_OCI_ROUND_TRIPS", totals}});
    ASSERT_EQ(r.status, 0) << r.out << r.err;

    const std::vector<call> calls = read_trace(trace);
    ASSERT_GT(calls.size(), 100u);
    // Defines live from the define to the statement's next prepare or its free.
    std::map<std::string, std::set<std::string>> live;
    size_t redefines = 0;
    std::map<unsigned long, size_t> writes_by_form;
    for (size_t i = 0; i < calls.size(); ++i) {
        const call& c = calls[i];
        std::string what = "call " + std::to_string(i) + ": " + c.name;
        for (const auto& [k, v] : c.f) what += " " + k + "=" + v;
        SCOPED_TRACE(what);
        EXPECT_NE(c.rc, oci_invalid_handle);
        if (c.name == "OCIStmtPrepare") {
            live[c.f.at("stmt")].clear();
        } else if (c.name == "OCIHandleFree" && std::stoul(c.f.at("type")) == stmt_handle_type) {
            live.erase(c.f.at("h"));
        } else if (c.name == "OCIDefineByPos") {
            std::set<std::string>& defs = live[c.f.at("stmt")];
            if (c.f.at("in") != "0") {
                ++redefines;
                EXPECT_TRUE(defs.count(c.f.at("in")))
                    << "a define on handle " << c.f.at("in") << " that its statement no longer has";
            }
            if (c.rc == 0) defs.insert(c.f.at("out"));
        } else if (c.name == "OCILobWrite") {
            const unsigned long form = std::stoul(c.f.at("lobform"));
            // A BLOB has no form; a character LOB is written in its column's.
            if (form != 0) {
                EXPECT_EQ(std::stoul(c.f.at("csfrm")), form);
            }
            EXPECT_EQ(c.rc == 0 || c.rc == 99, true) << c.rc;
            ++writes_by_form[form];
        }
    }
    EXPECT_EQ(redefines, 0u);
    // Every LOB column of the target got its values through writes in its form.
    std::set<unsigned long> forms_wanted;
    {
        eora::session s(remote + "/ORCL.db", "SYSTEM", conversion_env::system_password);
        auto st = s.prepare("SELECT DATA_TYPE FROM ALL_TAB_COLUMNS WHERE OWNER = 'dbo' AND DATA_TYPE LIKE '%LOB'");
        eora::exec_result q = s.execute(*st, {});
        while (q.cur && q.cur->next())
            forms_wanted.insert(q.cur->row()[0].s == "BLOB" ? 0 : q.cur->row()[0].s == "NCLOB" ? 2 : 1);
    }
    EXPECT_EQ(forms_wanted, (std::set<unsigned long>{0, 1, 2}));
    for (unsigned long form : forms_wanted) EXPECT_GT(writes_by_form[form], 0u) << "form " << form;

    // The round trips by kind, as a real client makes them.
    const std::map<std::string, long> trips = read_totals(totals);
    EXPECT_GT(trips.at("session"), 0);
    EXPECT_GT(trips.at("execute"), 0);
    EXPECT_GT(trips.at("commit"), 0);
    long lob_trips = 0;
    for (const call& c : calls)
        if (c.name == "OCILobWrite" || c.name == "OCILobRead" || c.name == "OCILobGetLength") ++lob_trips;
    EXPECT_EQ(trips.at("lob"), lob_trips);
}

// The round trips a conversion of `rows` rows of one table takes through the
// stand-in library, by kind.
std::map<std::string, long> trips_for(const std::string& table_ddl, const std::string& row_values, int rows)
{
    conversion_env env;
    env.create_database("db");
    std::string script = table_ddl + "\nGO\n";
    for (int id = 1; id <= rows; ++id)
        script += "INSERT T VALUES (" + std::to_string(id) + ", " + row_values + ")\nGO\n";
    env.run_script("db", script);
    const std::string remote = env.dir() + "/remote";
    fs::create_directories(remote);
    eora::session::create_service(remote + "/ORCL.db", conversion_env::system_password);
    {
        eora::session s(remote + "/ORCL.db", "SYSTEM", conversion_env::system_password);
        for (const char* sql : {"CREATE USER \"SCOTT\" IDENTIFIED BY \"tiger\"",
                                "ALTER USER \"SCOTT\" QUOTA UNLIMITED ON \"USERS\"", "GRANT DBA TO \"SCOTT\""})
            s.execute(*s.prepare(sql), {});
        s.commit();
    }
    const std::string totals = env.dir() + "/oci.trips";
    agent_result r = run_agent(
        {"--src=db", "--mssqlh=file:" + env.mss_dir(), "--oraclh=127.0.0.1", "--port=1521", "--dest=ORCL",
         "--oraclu=scott", "--oraclp=tiger"},
        "", {{"TVX_OCI_LIBRARY", TVX_OCI_STANDIN}, {"TVX_OCI_TEST_DIR", remote}, {"TVX_OCI_ROUND_TRIPS", totals}});
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    return read_totals(totals);
}

// What each row more costs, by kind, between a run of 5 rows and one of 15.
std::map<std::string, double> per_row(const std::string& ddl, const std::string& values)
{
    const std::map<std::string, long> few = trips_for(ddl, values, 5), more = trips_for(ddl, values, 15);
    std::map<std::string, double> out;
    for (const auto& [kind, n] : more) out[kind] = static_cast<double>(n - few.at(kind)) / 10.0;
    return out;
}

TEST(agent_oci_trace, a_row_takes_one_round_trip_and_a_lob_row_one_a_piece_besides)
{
    // Without LOBs: the insert alone, its commit travelling with it.
    const auto narrow = per_row("CREATE TABLE T (id int NOT NULL PRIMARY KEY, name varchar(20) NULL)", "'abc'");
    EXPECT_EQ(narrow,
              (std::map<std::string, double>{{"session", 0}, {"execute", 1}, {"fetch", 0}, {"commit", 0}, {"lob", 0}}));
    // Two LOB values of one piece each: the insert, the locators' query, a
    // write for each value and the row's commit.
    const auto lob = per_row("CREATE TABLE T (id int NOT NULL PRIMARY KEY, c varchar(max) NULL, b varbinary(max) NULL)",
                             "'text', 0x0102");
    EXPECT_EQ(lob,
              (std::map<std::string, double>{{"session", 0}, {"execute", 2}, {"fetch", 0}, {"commit", 1}, {"lob", 2}}));
}

} // namespace
