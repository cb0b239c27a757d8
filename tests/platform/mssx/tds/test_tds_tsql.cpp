// FreeTDS's own command-line client against the endpoint.
#include <gtest/gtest.h>
#include "tds_test_endpoint.h"

namespace {

std::string tsql(const tds_test_endpoint& e, const std::string& user, const std::string& pw, const std::string& db,
                 const std::string& script)
{
    std::string dir = e.dir + "_client";
    std::filesystem::create_directories(dir);
    std::ofstream(dir + "/freetds.conf") << "[global]\n";
    std::ofstream(dir + "/in.sql") << script;
    std::string env = "env FREETDSCONF=" + dir + "/freetds.conf TDSVER=7.4 ";
    std::string cmd = env + TSQL_PATH + std::string(" -H 127.0.0.1 -p ") + std::to_string(e.port) + " -U " + user +
                      " -P '" + pw + "'" + (db.empty() ? std::string() : " -D " + db) + " < " + dir + "/in.sql";
    std::string out = tds_run_command(cmd);
    std::filesystem::remove_all(dir);
    return out;
}

} // namespace

TEST(TdsTsql, RunsQueriesAndPrintsRows)
{
    tds_test_endpoint e("tsql");
    e.setup("CREATE DATABASE shop");
    e.setup(
        "CREATE TABLE items (id int NOT NULL PRIMARY KEY, name nvarchar(20) NULL, price money NULL);"
        "INSERT INTO items VALUES (1, N'Zürich tea', 12.5), (2, NULL, NULL)",
        "shop");
    e.start();
    std::string out = tsql(e, "sa", "Secret#1", "shop",
                           "SELECT id, name, price FROM items ORDER BY id\ngo\nSELECT COUNT(*) AS n FROM items\ngo\n"
                           "SELECT * FROM missing\ngo\n");
    EXPECT_NE(out.find("id\tname\tprice\n1\tZürich tea\t12.5000\n2\tNULL\tNULL\n(2 rows affected)"), std::string::npos)
        << out;
    EXPECT_NE(out.find("n\n2\n(1 row affected)"), std::string::npos) << out;
    EXPECT_NE(out.find("Msg 208 (severity 16"), std::string::npos) << out;
    EXPECT_NE(out.find("Invalid object name 'missing'."), std::string::npos) << out;
    EXPECT_EQ(e.stop(), 0);
}

TEST(TdsTsql, RefusesWrongPasswordAndUnknownDatabase)
{
    tds_test_endpoint e("tsql_login");
    e.start();
    std::string bad = tsql(e, "sa", "nope", "", "SELECT 1\ngo\n");
    EXPECT_NE(bad.find("Msg 18456 (severity 14"), std::string::npos) << bad;
    EXPECT_NE(bad.find("Login failed for user 'sa'."), std::string::npos) << bad;
    std::string nodb = tsql(e, "sa", "Secret#1", "nowhere", "SELECT 1\ngo\n");
    EXPECT_NE(nodb.find("Msg 4060 (severity 11"), std::string::npos) << nodb;
    EXPECT_NE(nodb.find("Cannot open database \"nowhere\" requested by the login. The login failed."),
              std::string::npos)
        << nodb;
    EXPECT_EQ(e.stop(), 0);
}
