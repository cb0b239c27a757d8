#include <gtest/gtest.h>
#include "mssx_test_server.h"

namespace {

// The counter of a new database.
constexpr uint64_t kFirstCounter = 2000;

int first_error(const mssx_outcome& out) { return out.errors.empty() ? 0 : out.errors.front().number; }

// The 8 bytes of a rowversion, most significant first, as a number.
uint64_t counter_of(const mssx_value& v)
{
    const auto& b = std::get<mssx_blob>(v).bytes;
    EXPECT_EQ(b.size(), 8u);
    uint64_t n = 0;
    for (unsigned char ch : b) n = n << 8 | ch;
    return n;
}

std::map<std::string, uint64_t> versions(const mssx_test_server& srv, const std::string& table)
{
    std::map<std::string, uint64_t> m;
    auto r = srv.query("master", "SELECT k, rv FROM " + table);
    for (auto& row : r.rows) m[std::get<std::string>(row[0])] = counter_of(row[1]);
    return m;
}

} // namespace

TEST(MssxRowversion, EveryInsertAndUpdateTakesTheDatabasesNextValue)
{
    mssx_test_server srv("rowversion");
    mssx_connection c(srv.dir, srv.sa());
    ASSERT_TRUE(c.execute("CREATE TABLE a (k varchar(5) NOT NULL, rv rowversion, n int NULL)").errors.empty());
    ASSERT_TRUE(c.execute("CREATE TABLE b (k varchar(5) NOT NULL, rv timestamp)").errors.empty());
    auto out = c.execute(
        "INSERT INTO a (k, n) VALUES ('a1', 1), ('a2', 2)\nINSERT INTO b (k) VALUES ('b1')\n"
        "INSERT INTO a VALUES ('a3', DEFAULT, 3)\nINSERT INTO b VALUES ('b2', NULL)");
    ASSERT_TRUE(out.errors.empty()) << out.errors.front().what();
    auto va = versions(srv, "a");
    auto vb = versions(srv, "b");
    // one counter for the database, moved on row by row
    EXPECT_EQ(va["a2"], va["a1"] + 1);
    EXPECT_EQ(vb["b1"], va["a2"] + 1);
    EXPECT_EQ(va["a3"], vb["b1"] + 1);
    EXPECT_EQ(vb["b2"], va["a3"] + 1);
    EXPECT_EQ(va["a1"], kFirstCounter + 1);
    // @@DBTS is the last value given
    auto dbts = srv.query("master", "SELECT @@DBTS");
    EXPECT_EQ(counter_of(dbts.rows.at(0).at(0)), vb["b2"]);

    // an update gives each changed row a new value, the others keep theirs
    ASSERT_TRUE(c.execute("UPDATE a SET n = n + 10 WHERE k <> 'a2'").errors.empty());
    auto after = versions(srv, "a");
    EXPECT_EQ(after["a2"], va["a2"]);
    EXPECT_GT(after["a1"], vb["b2"]);
    EXPECT_GT(after["a3"], vb["b2"]);
    EXPECT_NE(after["a1"], after["a3"]);

    // a new connection goes on from the stored counter
    mssx_connection other(srv.dir, srv.sa());
    ASSERT_TRUE(other.execute("INSERT INTO b (k) VALUES ('b3')").errors.empty());
    EXPECT_EQ(versions(srv, "b")["b3"], std::max(after["a1"], after["a3"]) + 1);
}

TEST(MssxRowversion, TheServerAloneWritesTheValues)
{
    mssx_test_server srv("rowversion_refused");
    mssx_connection c(srv.dir, srv.sa());
    ASSERT_TRUE(c.execute("CREATE TABLE a (k varchar(5) NOT NULL, rv rowversion)").errors.empty());
    ASSERT_TRUE(c.execute("INSERT INTO a (k) VALUES ('x')").errors.empty());
    struct {
        const char* batch;
        int error;
    } cases[] = {
        {"INSERT INTO a (k, rv) VALUES ('y', 0x0000000000000001)", 273},
        {"UPDATE a SET rv = 0x01", 272},
        {"ALTER TABLE a ADD rv2 timestamp", 2738},
        {"CREATE TABLE c (r1 rowversion, r2 rowversion)", 2738},
    };
    for (auto& k : cases) EXPECT_EQ(first_error(c.execute(k.batch)), k.error) << k.batch;
    EXPECT_EQ(mssx_cell(srv.query("master", "SELECT COUNT(*) FROM a"), 0, 0), "1");
}

TEST(MssxRowversion, AColumnAddedToATableWithRowsGivesEachRowAValue)
{
    mssx_test_server srv("rowversion_add");
    mssx_connection c(srv.dir, srv.sa());
    ASSERT_TRUE(c.execute("CREATE TABLE a (k varchar(5) NOT NULL)").errors.empty());
    ASSERT_TRUE(c.execute("INSERT INTO a VALUES ('x'), ('y')").errors.empty());
    auto out = c.execute("ALTER TABLE a ADD rv rowversion");
    ASSERT_TRUE(out.errors.empty()) << out.errors.front().what();
    auto v = versions(srv, "a");
    ASSERT_EQ(v.size(), 2u);
    EXPECT_NE(v["x"], v["y"]);
    EXPECT_GT(v["x"], kFirstCounter);
    auto col = srv.query("master", "SELECT is_nullable FROM sys.columns WHERE name = 'rv'");
    EXPECT_EQ(mssx_cell(col, 0, 0), "0");
}

// Rows written through the provider's bulk path take the server's values, whatever they carry.
TEST(MssxRowversion, BulkRowsTakeTheServersValues)
{
    mssx_test_server srv("rowversion_bulk");
    mssx_connection c(srv.dir, srv.sa());
    ASSERT_TRUE(c.execute("CREATE TABLE a (k varchar(5) NOT NULL, rv rowversion)").errors.empty());
    c.bulk_insert("a", {mssx_value(std::string("x")), mssx_value(mssx_blob{std::string(8, '\x01')})}, false);
    c.bulk_insert("a", {mssx_value(std::string("y")), std::nullopt}, false);
    auto v = versions(srv, "a");
    EXPECT_EQ(v["x"], kFirstCounter + 1);
    EXPECT_EQ(v["y"], kFirstCounter + 2);
}
