// The agent converting into an Oracle reached through the client library
// loaded at run time (the stand-in library, serving an embedded service
// folder): without a client, with one that lacks a function, and whole
// conversions that must equal, value by value and in every catalog entry,
// the same conversion into file:.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "agent_process.h"
#include "conversion_env.h"
#include "platform/eora/eora_privileges.h"
#include "real_schema_source.h"

namespace fs = std::filesystem;

namespace {

// The target as the agent reaches a real server: host, port and service.
const std::vector<std::string> k_remote_target{"--oraclh=127.0.0.1", "--port=1521", "--dest=ORCL", "--oraclu=scott",
                                               "--oraclp=tiger"};

// No client anywhere the program looks.
env_changes without_client(const std::string& empty_dir)
{
    return {{"TVX_OCI_LIBRARY", std::nullopt}, {"ORACLE_HOME", std::nullopt}, {"LD_LIBRARY_PATH", empty_dir}};
}

// A second embedded Oracle folder with service ORCL and user scott.
class remote_folder {
public:
    explicit remote_folder(const std::string& dir) : dir_(dir)
    {
        fs::create_directories(dir_);
        eora::session::create_service(file(), conversion_env::system_password);
        eora::session s(file(), "SYSTEM", conversion_env::system_password);
        std::string grants;
        for (std::string_view p : eora::priv::converter_set()) grants += (grants.empty() ? "" : ", ") + std::string(p);
        for (const std::string& sql :
             {std::string("CREATE USER \"SCOTT\" IDENTIFIED BY \"tiger\""),
              std::string("ALTER USER \"SCOTT\" QUOTA UNLIMITED ON \"USERS\""), "GRANT " + grants + " TO \"SCOTT\""})
            s.execute(*s.prepare(sql), {});
    }
    std::string file() const { return dir_ + "/" + conversion_env::service + ".db"; }
    const std::string& dir() const { return dir_; }

private:
    std::string dir_;
};

using row_texts = std::vector<std::string>;

// Every row of a query on one service file, each value with its kind.
std::vector<row_texts> all_rows(const std::string& file, const std::string& sql)
{
    eora::session s(file, "SYSTEM", conversion_env::system_password);
    auto st = s.prepare(sql);
    eora::exec_result r = s.execute(*st, {});
    std::vector<row_texts> out;
    while (r.cur && r.cur->next()) {
        row_texts row;
        for (const auto& v : r.cur->row()) row.push_back(std::to_string(static_cast<int>(v.kind)) + ":" + v.s);
        out.push_back(std::move(row));
    }
    return out;
}

// The catalog (tables, columns, keys, indexes, sequences, triggers, users)
// and every row of every table must be the same in both services. Gives the
// number of rows compared.
size_t expect_same_oracle(const std::string& a, const std::string& b)
{
    const char* catalog[] = {
        "SELECT OWNER, TABLE_NAME FROM ALL_TABLES ORDER BY 1, 2",
        "SELECT OWNER, TABLE_NAME, COLUMN_NAME, DATA_TYPE, DATA_LENGTH, DATA_PRECISION, DATA_SCALE, NULLABLE, "
        "COLUMN_ID, DATA_DEFAULT FROM ALL_TAB_COLUMNS ORDER BY 1, 2, 9",
        "SELECT OWNER, CONSTRAINT_NAME, CONSTRAINT_TYPE, TABLE_NAME, SEARCH_CONDITION, R_OWNER, R_CONSTRAINT_NAME, "
        "INDEX_NAME FROM ALL_CONSTRAINTS ORDER BY 1, 2",
        "SELECT OWNER, CONSTRAINT_NAME, TABLE_NAME, COLUMN_NAME, POSITION FROM ALL_CONS_COLUMNS ORDER BY 1, 2, 5",
        "SELECT OWNER, INDEX_NAME, INDEX_TYPE, TABLE_OWNER, TABLE_NAME, UNIQUENESS FROM ALL_INDEXES ORDER BY 1, 2",
        "SELECT INDEX_OWNER, INDEX_NAME, TABLE_NAME, COLUMN_NAME, COLUMN_POSITION FROM ALL_IND_COLUMNS "
        "ORDER BY 1, 2, 5",
        "SELECT SEQUENCE_OWNER, SEQUENCE_NAME, MIN_VALUE, MAX_VALUE, INCREMENT_BY, CYCLE_FLAG, LAST_NUMBER "
        "FROM ALL_SEQUENCES ORDER BY 1, 2",
        "SELECT OWNER, TRIGGER_NAME, TABLE_OWNER, TABLE_NAME, TRIGGER_BODY FROM ALL_TRIGGERS ORDER BY 1, 2",
        "SELECT USERNAME FROM ALL_USERS ORDER BY 1",
    };
    for (const char* sql : catalog) {
        auto ra = all_rows(a, sql);
        EXPECT_FALSE(ra.empty()) << sql;
        EXPECT_EQ(ra, all_rows(b, sql)) << sql;
    }
    size_t compared = 0;
    for (const auto& t : all_rows(a, "SELECT OWNER, TABLE_NAME FROM ALL_TABLES")) {
        const std::string name = "\"" + t[0].substr(2) + "\".\"" + t[1].substr(2) + "\"";
        auto ra = all_rows(a, "SELECT * FROM " + name);
        auto rb = all_rows(b, "SELECT * FROM " + name);
        std::sort(ra.begin(), ra.end());
        std::sort(rb.begin(), rb.end());
        EXPECT_EQ(ra.size(), rb.size()) << name;
        for (size_t i = 0; i < std::min(ra.size(), rb.size()); ++i) EXPECT_EQ(ra[i], rb[i]) << name << " row " << i;
        compared += ra.size();
    }
    return compared;
}

class agent_oracle_client : public ::testing::Test {
protected:
    std::vector<std::string> args(const std::string& db, const std::vector<std::string>& target) const
    {
        std::vector<std::string> a{"--src=" + db, "--mssqlh=file:" + env.mss_dir()};
        a.insert(a.end(), target.begin(), target.end());
        return a;
    }

    // Converts `db` into file: and, through the stand-in library, into a
    // second folder; both runs must print the same and end the same.
    void convert_both_ways(const std::string& db)
    {
        env.create_user("scott", "tiger");
        remote_folder remote(env.dir() + "/remote");
        agent_result local = run_agent(args(
            db, {"--oraclh=file:" + env.ora_dir(), "--port=1521", "--dest=ORCL", "--oraclu=scott", "--oraclp=tiger"}));
        agent_result loaded = run_agent(args(db, k_remote_target), "",
                                        {{"TVX_OCI_LIBRARY", TVX_OCI_STANDIN}, {"TVX_OCI_TEST_DIR", remote.dir()}});
        // Anything reported on the way (a value the target cannot hold) makes the run end with 2.
        const int expected = local.out.find("Error:") == std::string::npos ? 0 : 2;
        EXPECT_EQ(local.status, expected) << local.out << local.err;
        EXPECT_EQ(loaded.status, local.status);
        EXPECT_EQ(loaded.out, local.out);
        EXPECT_EQ(loaded.err, local.err);
        size_t rows = expect_same_oracle(env.ora_dir() + "/ORCL.db", remote.file());
        EXPECT_GT(rows, 0u);
    }

    conversion_env env;
};

} // namespace

TEST_F(agent_oracle_client, without_a_client_another_host_is_the_missing_client)
{
    env.create_database("db");
    const std::string empty = env.dir() + "/nolib";
    fs::create_directories(empty);
    agent_result r = run_agent(args("db", k_remote_target), "", without_client(empty));
    EXPECT_EQ(r.out,
              "Error:\nThe Oracle client and networking components were not found. These components are "
              "supplied by the Oracle Corporation and are part of the Oracle Version 7.3.4 (or later) "
              "client software installation. You will be unable to use this program until these "
              "components have been installed.\n");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.status, 255);
    // file: hosts need no client.
    env.create_user("scott", "tiger");
    r = run_agent(args("db", {"--oraclh=file:" + env.ora_dir(), "--dest=ORCL", "--oraclu=scott", "--oraclp=tiger"}), "",
                  without_client(empty));
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(r.out,
              "Converting database 'db' (0 tables)\n"
              "Conversion ended. Tables converted: 0, failed: 0. Records copied: 0, refused: 0.\n");
}

TEST_F(agent_oracle_client, a_client_that_lacks_a_function_is_named_and_nothing_is_written)
{
    env.create_database("db");
    env.run_script("db", "CREATE TABLE A (id int NOT NULL)\nGO\nINSERT A VALUES (1)\nGO\n");
    remote_folder remote(env.dir() + "/remote");
    agent_result r = run_agent(args("db", k_remote_target), "",
                               {{"TVX_OCI_LIBRARY", TVX_OCI_STANDIN_PARTIAL}, {"TVX_OCI_TEST_DIR", remote.dir()}});
    EXPECT_EQ(r.status, 255);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out.rfind("Error:\nThe Oracle client and networking components were not found.", 0), 0u) << r.out;
    EXPECT_NE(r.out.find(std::string("The Oracle client library ") + TVX_OCI_STANDIN_PARTIAL +
                         " cannot be used: it has no function OCILobWrite."),
              std::string::npos)
        << r.out;
    EXPECT_TRUE(all_rows(remote.file(), "SELECT TABLE_NAME FROM ALL_TABLES").empty());
}

TEST_F(agent_oracle_client, a_refused_login_through_the_client_is_reported_as_by_the_server)
{
    env.create_database("db");
    remote_folder remote(env.dir() + "/remote");
    auto a = args("db", k_remote_target);
    a.back() = "--oraclp=wrong";
    agent_result r = run_agent(a, "", {{"TVX_OCI_LIBRARY", TVX_OCI_STANDIN}, {"TVX_OCI_TEST_DIR", remote.dir()}});
    EXPECT_EQ(r.out, "Error:\nInvalid user name or password.\n");
    EXPECT_EQ(r.status, 255);
}

TEST_F(agent_oracle_client, the_sample_database_arrives_as_through_file)
{
    env.load_file("master", std::string(TVX_SAMPLES) + "/tvx_sample.sql");
    convert_both_ways("TvxSample");
}

TEST_F(agent_oracle_client, northwind_arrives_as_through_file)
{
    const char* root = std::getenv("TVX_FIXTURES");
    const fs::path script = fs::path(root ? root : "/work/shared/fixtures") / "northwind" / "instnwnd.sql";
    if (!fs::exists(script)) GTEST_SKIP() << "Northwind fixture not present";
    env.load_file("master", script.string());
    convert_both_ways("Northwind");
}

TEST_F(agent_oracle_client, a_generated_real_schema_arrives_as_through_file)
{
    // Binary keys, schemas Oracle refuses as written, filtered unique indexes, clock and GUID defaults.
    env.create_database("Real");
    env.run_script("Real",
                   real_schema::binary_tables() + real_schema::schema_tables() + real_schema::filter_tables() +
                       real_schema::default_tables() + real_schema::naming_tables() +
                       "CREATE TABLE Ident (id int IDENTITY(1,1) NOT NULL PRIMARY KEY, v nvarchar(5) NULL)\nGO\n"
                       "INSERT Ident (v) VALUES (N'a')\nINSERT Ident (v) VALUES (N'b')\nGO\n");
    env.create_user("scott", "tiger");
    remote_folder remote(env.dir() + "/remote");
    agent_result local = run_agent(args(
        "Real", {"--oraclh=file:" + env.ora_dir(), "--port=1521", "--dest=ORCL", "--oraclu=scott", "--oraclp=tiger"}));
    agent_result loaded = run_agent(args("Real", k_remote_target), "",
                                    {{"TVX_OCI_LIBRARY", TVX_OCI_STANDIN}, {"TVX_OCI_TEST_DIR", remote.dir()}});
    EXPECT_EQ(loaded.out, local.out);
    EXPECT_EQ(loaded.status, local.status);
    // The one record Oracle cannot keep (an empty binary key) is the only error either way.
    EXPECT_NE(loaded.out.find("[dbo].[VKey], record #2:"), std::string::npos) << loaded.out;
    EXPECT_EQ(loaded.out.find("Error", loaded.out.find("Error") + 1), std::string::npos) << loaded.out;
    // The defaults differ by the moment and the GUID: compare the tables without them.
    env.oracle_exec("DELETE FROM \"dbo\".\"Dflt\"");
    eora::session r(remote.file(), "SYSTEM", conversion_env::system_password);
    r.execute(*r.prepare("DELETE FROM \"dbo\".\"Dflt\""), {});
    r.commit();
    EXPECT_GT(expect_same_oracle(env.ora_dir() + "/ORCL.db", remote.file()), 25u);
}
