// A connection keeps the table definitions it read lately: every change of the
// dictionary, by this connection or another one, and a rollback, must still be
// seen by the next statement.
#include <gtest/gtest.h>

#include "tests/platform/mssx/mssx_test_server.h"

namespace {

std::vector<std::string> column_names(const mssx_result& r)
{
    std::vector<std::string> out;
    for (auto& c : r.columns) out.push_back(c.name);
    return out;
}

// The error numbers of one batch, in order.
std::vector<int> errors_of(mssx_connection& c, const std::string& sql)
{
    std::vector<int> out;
    for (auto& e : c.execute(sql).errors) out.push_back(e.number);
    return out;
}

std::vector<std::string> rows_of(mssx_connection& c, const std::string& sql)
{
    mssx_outcome out = c.execute(sql);
    if (!out.errors.empty()) throw out.errors.front();
    std::vector<std::string> rows;
    const mssx_result& r = out.results.at(0);
    for (size_t i = 0; i < r.rows.size(); ++i) {
        std::string line;
        for (size_t k = 0; k < r.columns.size(); ++k) line += (k ? "|" : "") + mssx_cell(r, i, k);
        rows.push_back(line);
    }
    return rows;
}

} // namespace

TEST(MssxTableCache, ChangesOfThisConnectionAreSeen)
{
    mssx_test_server srv("tcache_own");
    ASSERT_TRUE(srv.run_script("CREATE DATABASE cat").empty());
    mssx_connection a(srv.dir, srv.sa("cat"));

    ASSERT_TRUE(errors_of(a, "CREATE TABLE t (id int NOT NULL)").empty());
    ASSERT_TRUE(errors_of(a, "INSERT INTO t VALUES (1)").empty());
    EXPECT_EQ(errors_of(a, "INSERT INTO t (id, extra) VALUES (2, 'x')"), std::vector<int>{207});
    ASSERT_TRUE(errors_of(a, "ALTER TABLE t ADD extra nvarchar(5) NULL").empty());
    EXPECT_TRUE(errors_of(a, "INSERT INTO t (id, extra) VALUES (2, 'x')").empty());
    EXPECT_EQ(column_names(a.open_table("t")), (std::vector<std::string>{"id", "extra"}));

    // Dropped and made again with other columns.
    ASSERT_TRUE(errors_of(a, "DROP TABLE t").empty());
    EXPECT_EQ(errors_of(a, "INSERT INTO t VALUES (1, 'y')"), std::vector<int>{208});
    ASSERT_TRUE(errors_of(a, "CREATE TABLE t (code nchar(2) NOT NULL CONSTRAINT pk_t PRIMARY KEY)").empty());
    EXPECT_TRUE(errors_of(a, "INSERT INTO t VALUES ('ab')").empty());
    EXPECT_EQ(column_names(a.open_table("t")), (std::vector<std::string>{"code"}));
    auto pk = a.schema_primary_keys(mssx_restrictions{std::nullopt, std::string("dbo"), std::string("t")});
    ASSERT_EQ(pk.rows.size(), 1u);

    // A view made under a name looked up before.
    EXPECT_EQ(errors_of(a, "INSERT INTO v VALUES ('cd')"), std::vector<int>{208});
    ASSERT_TRUE(errors_of(a, "CREATE VIEW v AS SELECT code FROM t").empty());
    EXPECT_EQ(errors_of(a, "INSERT INTO v VALUES ('cd')"), std::vector<int>{4405});
}

TEST(MssxTableCache, ChangesOfAnotherConnectionAreSeen)
{
    mssx_test_server srv("tcache_other");
    ASSERT_TRUE(srv.run_script("CREATE DATABASE cat").empty());
    mssx_connection a(srv.dir, srv.sa("cat"));
    mssx_connection b(srv.dir, srv.sa("cat"));

    // Looked up while missing, then made by the other connection.
    EXPECT_EQ(errors_of(a, "INSERT INTO t VALUES (1)"), std::vector<int>{208});
    ASSERT_TRUE(errors_of(b, "CREATE TABLE t (id int NOT NULL)").empty());
    EXPECT_TRUE(errors_of(a, "INSERT INTO t VALUES (1)").empty());
    auto none = a.schema_primary_keys(mssx_restrictions{std::nullopt, std::string("dbo"), std::string("t")});
    EXPECT_TRUE(none.rows.empty());

    ASSERT_TRUE(errors_of(b, "ALTER TABLE t ADD extra nvarchar(5) NULL").empty());
    ASSERT_TRUE(errors_of(b, "ALTER TABLE t ADD CONSTRAINT pk_t PRIMARY KEY (id)").empty());
    EXPECT_TRUE(errors_of(a, "INSERT INTO t (id, extra) VALUES (2, 'x')").empty());
    EXPECT_EQ(column_names(a.open_table("t")), (std::vector<std::string>{"id", "extra"}));
    auto pk = a.schema_primary_keys(mssx_restrictions{std::nullopt, std::string("dbo"), std::string("t")});
    ASSERT_EQ(pk.rows.size(), 1u);

    ASSERT_TRUE(errors_of(b, "DROP TABLE t").empty());
    EXPECT_EQ(errors_of(a, "INSERT INTO t VALUES (3, 'z')"), std::vector<int>{208});
    ASSERT_TRUE(errors_of(b, "CREATE TABLE t (code nchar(2) NULL)").empty());
    EXPECT_TRUE(errors_of(a, "INSERT INTO t VALUES ('ab')").empty());
    EXPECT_EQ(rows_of(a, "SELECT * FROM t"), (std::vector<std::string>{"ab"}));
}

TEST(MssxTableCache, IdentityFollowsRowsOfBothConnectionsAndTruncate)
{
    mssx_test_server srv("tcache_ident");
    ASSERT_TRUE(srv.run_script("CREATE DATABASE cat").empty());
    mssx_connection a(srv.dir, srv.sa("cat"));
    mssx_connection b(srv.dir, srv.sa("cat"));
    ASSERT_TRUE(errors_of(a, "CREATE TABLE t (id int IDENTITY(10,5) NOT NULL, v int)").empty());

    ASSERT_TRUE(errors_of(a, "INSERT INTO t (v) VALUES (1), (2)").empty());
    ASSERT_TRUE(errors_of(b, "INSERT INTO t (v) VALUES (3)").empty());
    ASSERT_TRUE(errors_of(a, "INSERT INTO t (v) VALUES (4)").empty());
    EXPECT_EQ(rows_of(a, "SELECT id, v FROM t ORDER BY v"), (std::vector<std::string>{"10|1", "15|2", "20|3", "25|4"}));

    ASSERT_TRUE(errors_of(a, "TRUNCATE TABLE t").empty());
    ASSERT_TRUE(errors_of(a, "INSERT INTO t (v) VALUES (5)").empty());
    ASSERT_TRUE(errors_of(b, "INSERT INTO t (v) VALUES (6)").empty());
    ASSERT_TRUE(errors_of(a, "INSERT INTO t (v) VALUES (7)").empty());
    EXPECT_EQ(rows_of(b, "SELECT id, v FROM t ORDER BY v"), (std::vector<std::string>{"10|5", "15|6", "20|7"}));
}

TEST(MssxTableCache, WhatARolledBackBatchMadeIsForgotten)
{
    mssx_test_server srv("tcache_rollback");
    ASSERT_TRUE(srv.run_script("CREATE DATABASE cat").empty());
    mssx_connection a(srv.dir, srv.sa("cat"));

    // The table is read by the INSERT, then the batch is undone by a syntax error found as it runs.
    EXPECT_FALSE(
        errors_of(a, "CREATE TABLE r (id int)\nINSERT INTO r VALUES (1)\nEXEC sp_executesql N'SELEC x'").empty());
    EXPECT_EQ(errors_of(a, "INSERT INTO r VALUES (2)"), std::vector<int>{208});
    ASSERT_TRUE(errors_of(a, "CREATE TABLE r (a nvarchar(3), b int)").empty());
    EXPECT_TRUE(errors_of(a, "INSERT INTO r VALUES ('x', 2)").empty());
    EXPECT_EQ(rows_of(a, "SELECT * FROM r"), (std::vector<std::string>{"x|2"}));
}

TEST(MssxTableCache, ObjectNamesFollowAnIdGivenToAnotherObject)
{
    mssx_test_server srv("tcache_names");
    ASSERT_TRUE(srv.run_script("CREATE DATABASE cat").empty());
    mssx_connection a(srv.dir, srv.sa("cat"));
    mssx_connection b(srv.dir, srv.sa("cat"));
    ASSERT_TRUE(errors_of(a, "CREATE TABLE t (id int IDENTITY(1,1) NOT NULL, v int)").empty());
    const std::string id = rows_of(a, "SELECT OBJECT_ID('t')").at(0);
    const std::string names = "SELECT OBJECT_NAME(" + id + "), OBJECT_SCHEMA_NAME(" + id + ")";
    EXPECT_EQ(rows_of(a, names), std::vector<std::string>{"t|dbo"});
    // The view names each row's table as the client's identity query reads it.
    const std::string ident = "SELECT name FROM sys.identity_columns WHERE OBJECT_NAME(object_id)='";
    EXPECT_EQ(rows_of(a, ident + "t'"), std::vector<std::string>{"id"});

    // The last object's id goes to the next one made: by this connection, then by the other one.
    ASSERT_TRUE(errors_of(a, "DROP TABLE t\nCREATE TABLE u (id int IDENTITY(1,1) NOT NULL)").empty());
    ASSERT_EQ(rows_of(a, "SELECT OBJECT_ID('u')").at(0), id);
    EXPECT_EQ(rows_of(a, names), std::vector<std::string>{"u|dbo"});
    EXPECT_EQ(rows_of(a, ident + "u'"), std::vector<std::string>{"id"});
    EXPECT_TRUE(rows_of(a, ident + "t'").empty());

    // Within one batch, after the names were read in an earlier one.
    EXPECT_EQ(rows_of(a, "DROP TABLE u\nCREATE TABLE v (id int IDENTITY(1,1) NOT NULL)\n" + names),
              std::vector<std::string>{"v|dbo"});
    ASSERT_EQ(rows_of(a, "SELECT OBJECT_ID('v')").at(0), id);

    ASSERT_TRUE(errors_of(b, "CREATE SCHEMA s2").empty());
    ASSERT_TRUE(errors_of(b, "DROP TABLE v\nCREATE TABLE s2.w (k int IDENTITY(5,1) NOT NULL)").empty());
    ASSERT_EQ(rows_of(b, "SELECT OBJECT_ID('s2.w')").at(0), id);
    EXPECT_EQ(rows_of(a, names), std::vector<std::string>{"w|s2"});
    EXPECT_EQ(rows_of(a, ident + "w'"), std::vector<std::string>{"k"});
    EXPECT_TRUE(rows_of(a, ident + "v'").empty());
}
