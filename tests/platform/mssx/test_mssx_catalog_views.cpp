// The catalog views are rebuilt only when the catalog changed, and the schema
// rowsets restricted to one table answer for that table alone: both must still
// see every change, whoever made it.
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/platform/mssx/mssx_test_server.h"

namespace {

std::vector<std::string> column(const mssx_result& r, size_t col)
{
    std::vector<std::string> out;
    for (size_t i = 0; i < r.rows.size(); ++i) out.push_back(mssx_cell(r, i, col));
    return out;
}

mssx_result first(mssx_connection& c, const std::string& sql)
{
    mssx_outcome out = c.execute(sql);
    if (!out.errors.empty()) throw out.errors.front();
    return out.results.at(0);
}

} // namespace

TEST(MssxCatalogViews, FollowChangesOfThisAndOtherConnections)
{
    mssx_test_server srv("catviews");
    ASSERT_TRUE(srv.run_script("CREATE DATABASE cat").empty());
    mssx_connection a(srv.dir, srv.sa("cat"));
    mssx_connection b(srv.dir, srv.sa("cat"));
    const std::string tables = "SELECT name FROM sys.tables ORDER BY name";

    EXPECT_TRUE(first(a, tables).rows.empty());
    ASSERT_TRUE(a.execute("CREATE TABLE one (id int IDENTITY(10,1) PRIMARY KEY, v int)").errors.empty());
    EXPECT_EQ(column(first(a, tables), 0), (std::vector<std::string>{"one"}));
    EXPECT_EQ(column(first(a, tables), 0), (std::vector<std::string>{"one"}));

    // Another connection's table, column and database.
    ASSERT_TRUE(b.execute("CREATE TABLE two (id int)").errors.empty());
    EXPECT_EQ(column(first(a, tables), 0), (std::vector<std::string>{"one", "two"}));
    ASSERT_TRUE(b.execute("ALTER TABLE two ADD extra nvarchar(5) NULL").errors.empty());
    EXPECT_EQ(column(first(a,
                           "SELECT c.name FROM sys.columns c JOIN sys.tables t ON t.object_id=c.object_id "
                           "WHERE t.name='two' ORDER BY c.column_id"),
                     0),
              (std::vector<std::string>{"id", "extra"}));
    ASSERT_TRUE(b.execute("CREATE DATABASE later").errors.empty());
    auto dbs = column(first(a, "SELECT name FROM sys.databases"), 0);
    EXPECT_NE(std::find(dbs.begin(), dbs.end(), "later"), dbs.end());

    // Rows move the identity's last value, by this connection and by the other one.
    ASSERT_TRUE(a.execute("INSERT INTO one (v) VALUES (1)").errors.empty());
    EXPECT_EQ(mssx_cell(first(a, "SELECT last_value FROM sys.identity_columns"), 0, 0), "10");
    ASSERT_TRUE(b.execute("INSERT INTO one (v) VALUES (2)").errors.empty());
    EXPECT_EQ(mssx_cell(first(a, "SELECT last_value FROM sys.identity_columns"), 0, 0), "11");

    ASSERT_TRUE(b.execute("DROP TABLE one").errors.empty());
    EXPECT_EQ(column(first(a, tables), 0), (std::vector<std::string>{"two"}));
}

TEST(MssxCatalogViews, RowsetsRestrictedToOneTableAnswerForItAlone)
{
    mssx_test_server srv("catrowsets");
    ASSERT_TRUE(srv.run_script("CREATE DATABASE cat").empty());
    ASSERT_TRUE(
        srv.run_script("CREATE SCHEMA s2\nGO\n"
                       "CREATE TABLE dbo.parent (id int NOT NULL CONSTRAINT pk_parent PRIMARY KEY)\n"
                       "CREATE TABLE s2.parent (id int NOT NULL CONSTRAINT pk_parent2 PRIMARY KEY, k int NOT NULL)\n"
                       "CREATE UNIQUE INDEX ux_k ON s2.parent (k)\n"
                       "CREATE TABLE dbo.child (id int, p int, CONSTRAINT fk_child FOREIGN KEY (p) REFERENCES "
                       "dbo.parent (id))\n"
                       "CREATE TABLE s2.kid (id int, p int, q int, CONSTRAINT fk_kid FOREIGN KEY (p) REFERENCES "
                       "dbo.parent (id), "
                       "CONSTRAINT fk_kid2 FOREIGN KEY (q) REFERENCES s2.parent (k))\n",
                       "cat")
            .empty());
    mssx_connection c(srv.dir, srv.sa("cat"));
    using R = mssx_restrictions;

    // Keys that point at dbo.parent, from both schemas; FK_NAME is column 16.
    auto to_parent = c.schema_foreign_keys(R{std::nullopt, std::string("dbo"), std::string("parent")});
    EXPECT_EQ(column(to_parent, 16), (std::vector<std::string>{"fk_child", "fk_kid"}));
    EXPECT_EQ(column(to_parent, 15), (std::vector<std::string>{"pk_parent", "pk_parent"}));
    // Keys that point at s2.parent name its unique index.
    auto to_s2 = c.schema_foreign_keys(R{std::nullopt, std::string("s2"), std::string("PARENT")});
    EXPECT_EQ(column(to_s2, 16), (std::vector<std::string>{"fk_kid2"}));
    EXPECT_EQ(column(to_s2, 15), (std::vector<std::string>{"ux_k"}));
    // Keys of one table.
    auto of_kid = c.schema_foreign_keys(
        R{std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::string("s2"), std::string("kid")});
    EXPECT_EQ(column(of_kid, 16), (std::vector<std::string>{"fk_kid", "fk_kid2"}));
    EXPECT_EQ(c.schema_foreign_keys(R{}).rows.size(), 3u);

    // Primary keys and indexes: the same table name in two schemas stays apart.
    auto pk = c.schema_primary_keys(R{std::nullopt, std::string("s2"), std::string("parent")});
    EXPECT_EQ(column(pk, 7), (std::vector<std::string>{"pk_parent2"}));
    EXPECT_EQ(c.schema_primary_keys(R{std::nullopt, std::nullopt, std::string("parent")}).rows.size(), 2u);
    auto ix = c.schema_indexes(R{std::nullopt, std::string("s2"), std::nullopt, std::nullopt, std::string("parent")});
    EXPECT_EQ(column(ix, 5), (std::vector<std::string>{"pk_parent2", "ux_k"}));
    EXPECT_TRUE(c.schema_indexes(R{std::nullopt, std::string("s2"), std::nullopt, std::nullopt, std::string("nothing")})
                    .rows.empty());
}

// sp_columns reads only the tables whose names begin with the pattern's head;
// it must find the tables that sp_tables finds with the same pattern, which
// still tests every table: case, wildcards, the characters that sort between
// upper and lower case letters, and names that are not ASCII.
TEST(MssxCatalogViews, ColumnsOfAPatternAreThoseOfEveryMatchingTable)
{
    mssx_test_server srv("catcolumns");
    ASSERT_TRUE(srv.run_script("CREATE DATABASE cat").empty());
    ASSERT_TRUE(
        srv.run_script(
               "CREATE SCHEMA s2\nGO\n"
               "CREATE TABLE dbo.Ab (c int)\nCREATE TABLE s2.aB (c int)\nCREATE TABLE dbo.Ab1 (c int)\n"
               "CREATE TABLE dbo.AB_c (c int)\nCREATE TABLE dbo.[Ab@] (c int)\nCREATE TABLE dbo.[Ab[x] (c int)\n"
               "CREATE TABLE dbo.[Ab^] (c int)\nCREATE TABLE dbo.[Ab`] (c int)\nCREATE TABLE dbo.Ac (c int)\n"
               "CREATE TABLE dbo.[Äb] (c int)\nCREATE TABLE dbo.[äb] (c int)\nCREATE TABLE dbo.[A b] (c int)\n"
               "CREATE TABLE dbo.[A%b] (c int)\nCREATE TABLE dbo.Bz (c int)\n",
               "cat")
            .empty());
    mssx_connection c(srv.dir, srv.sa("cat"));
    auto names = [&](const std::string& proc, const std::string& pattern, size_t name_col) {
        mssx_outcome out = c.execute("EXEC " + proc + " @table_name = N'" + pattern + "'");
        if (!out.errors.empty()) throw out.errors.front();
        std::vector<std::string> v;
        for (const auto& r : out.results)
            for (size_t i = 0; i < r.rows.size(); ++i)
                v.push_back(mssx_cell(r, i, 1) + "." + mssx_cell(r, i, name_col));
        std::sort(v.begin(), v.end());
        return v;
    };
    for (const std::string p :
         {"ab", "AB", "aB", "Ab_", "ab%", "A_",    "%b",  "A[b]", "Ab[[]x", "Ab@", "AB^", "ab`", "AB`",
          "Äb", "äb", "ÄB", "A b", "A%",  "A[%]b", "Ab1", "Ab10", "B",      "bz",  "zz",  ""}) {
        const auto columns = names("sp_columns", p, 2);
        EXPECT_EQ(columns, names("sp_tables", p, 2)) << p;
    }
    EXPECT_EQ(names("sp_columns", "ab", 2), (std::vector<std::string>{"dbo.Ab", "s2.aB"}));
    EXPECT_EQ(names("sp_columns", "AB`", 2), (std::vector<std::string>{"dbo.Ab`"}));
    EXPECT_EQ(names("sp_columns", "Äb", 2), (std::vector<std::string>{"dbo.Äb"}));
    EXPECT_EQ(names("sp_columns", "Ab_", 2), (std::vector<std::string>{"dbo.Ab1", "dbo.Ab@", "dbo.Ab^", "dbo.Ab`"}));
}

// DESC in an index or key stays with its column: sys.index_columns and the index schema rowset.
TEST(MssxCatalogViews, IndexColumnsKeepTheirDirection)
{
    mssx_test_server srv("index_desc");
    mssx_connection c(srv.dir, srv.sa());
    auto out = c.execute(
        "CREATE TABLE t (a int NOT NULL, b int NOT NULL, d date NULL, CONSTRAINT pk PRIMARY KEY (a "
        "DESC, b))\nCREATE INDEX ix_d ON t (d DESC, a ASC, b)\n"
        "ALTER TABLE t ADD CONSTRAINT uq UNIQUE (b DESC)");
    ASSERT_TRUE(out.errors.empty()) << out.errors.front().what();
    // columns a, b, d are 1, 2, 3
    auto r = c.execute(
        "SELECT i.name, ic.column_id, ic.is_descending_key FROM sys.index_columns ic JOIN sys.indexes i "
        "ON i.object_id = ic.object_id AND i.index_id = ic.index_id ORDER BY i.name, ic.key_ordinal");
    ASSERT_TRUE(r.errors.empty()) << r.errors.front().what();
    std::string got;
    for (size_t i = 0; i < r.results.at(0).rows.size(); ++i)
        got += mssx_cell(r.results[0], i, 0) + ":" + mssx_cell(r.results[0], i, 1) + ":" +
               mssx_cell(r.results[0], i, 2) + " ";
    EXPECT_EQ(got, "ix_d:3:1 ix_d:1:0 ix_d:2:0 pk:1:1 pk:2:0 uq:2:1 ");
    auto rs = c.schema_indexes({});
    std::string coll;
    for (auto& row : rs.rows) {
        size_t name_col = 5, column_col = 17, collation_col = 20;
        ASSERT_GT(row.size(), collation_col);
        coll += std::get<std::string>(row[name_col]) + ":" + std::get<std::string>(row[column_col]) + ":" +
                std::to_string(std::get<int64_t>(row[collation_col])) + " ";
    }
    EXPECT_EQ(coll, "ix_d:d:2 ix_d:a:1 ix_d:b:1 pk:a:2 pk:b:1 uq:b:2 ");
}
