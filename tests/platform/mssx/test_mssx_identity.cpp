#include <gtest/gtest.h>
#include "mssx_test_server.h"

namespace {

std::string errors_of(const mssx_outcome& out)
{
    std::string s;
    for (auto& e : out.errors) s += std::to_string(e.number) + " " + e.what() + "\n";
    return s;
}

int first_error(const mssx_outcome& out) { return out.errors.empty() ? 0 : out.errors.front().number; }

class MssxIdentityTypes : public ::testing::TestWithParam<std::string> {};

} // namespace

// Every type an identity may have: generated values, explicit values while
// IDENTITY_INSERT is on, and the seed moving past them.
TEST_P(MssxIdentityTypes, GeneratesTakesExplicitValuesAndMovesPastThem)
{
    mssx_test_server srv("ident");
    mssx_connection c(srv.dir, srv.sa());
    std::string type = GetParam();
    auto out = c.execute("CREATE TABLE t (id " + type + " IDENTITY(5,3) NOT NULL PRIMARY KEY, s varchar(10) NULL)");
    ASSERT_EQ(errors_of(out), "");
    out = c.execute("INSERT INTO t (s) VALUES ('a'); INSERT INTO t (s) VALUES ('b')");
    ASSERT_EQ(errors_of(out), "");
    // explicit values only while IDENTITY_INSERT is on
    EXPECT_EQ(first_error(c.execute("INSERT INTO t (id, s) VALUES (50, 'x')")), 544);
    out = c.execute(
        "SET IDENTITY_INSERT t ON; INSERT INTO t (id, s) VALUES (100, 'c'); INSERT INTO t (id, s) "
        "VALUES (20, 'd')");
    ASSERT_EQ(errors_of(out), "");
    EXPECT_EQ(first_error(c.execute("INSERT INTO t (s) VALUES ('y')")), 545);
    EXPECT_EQ(first_error(c.execute("INSERT INTO t VALUES (7, 'y')")), 8101);
    out = c.execute("SET IDENTITY_INSERT t OFF; INSERT INTO t (s) VALUES ('e')");
    ASSERT_EQ(errors_of(out), "");
    auto r = srv.query("master", "SELECT id, s FROM t ORDER BY s");
    ASSERT_EQ(r.rows.size(), 5u);
    const char* want[][2] = {{"5", "a"}, {"8", "b"}, {"100", "c"}, {"20", "d"}, {"103", "e"}};
    for (size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(mssx_cell(r, i, 0), want[i][0]) << type << " row " << i;
        EXPECT_EQ(mssx_cell(r, i, 1), want[i][1]) << type << " row " << i;
    }
    EXPECT_EQ(mssx_cell(srv.query("master", "SELECT last_value FROM sys.identity_columns"), 0, 0), "103");
}

INSTANTIATE_TEST_SUITE_P(AllTypes, MssxIdentityTypes,
                         ::testing::Values("tinyint", "smallint", "int", "bigint", "decimal(10,0)", "numeric(18,0)",
                                           "decimal(38,0)", "numeric"),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                             std::string n;
                             for (char ch : info.param)
                                 if (std::isalnum(static_cast<unsigned char>(ch))) n += ch;
                             return n;
                         });

TEST(MssxIdentity, ANewValueBeyondTheTypeIsAnOverflow)
{
    struct {
        const char* type;
        const char* seed;
        int rows_ok;
    } cases[] = {{"tinyint", "254", 2}, {"smallint", "32766", 2}, {"decimal(3,0)", "998", 2}, {"int", "2147483647", 1}};
    for (auto& k : cases) {
        mssx_test_server srv("ident_over");
        mssx_connection c(srv.dir, srv.sa());
        ASSERT_EQ(errors_of(c.execute(std::string("CREATE TABLE t (id ") + k.type + " IDENTITY(" + k.seed +
                                      ",1), s int NULL)")),
                  "");
        for (int i = 0; i < k.rows_ok; ++i)
            ASSERT_EQ(errors_of(c.execute("INSERT INTO t (s) VALUES (1)")), "") << k.type;
        EXPECT_EQ(first_error(c.execute("INSERT INTO t (s) VALUES (1)")), 8115) << k.type;
        EXPECT_EQ(mssx_cell(srv.query("master", "SELECT COUNT(*) FROM t"), 0, 0), std::to_string(k.rows_ok));
    }
}

TEST(MssxIdentity, OnlyWholeNumberTypesMayBeIdentities)
{
    mssx_test_server srv("ident_types");
    mssx_connection c(srv.dir, srv.sa());
    for (const char* type : {"decimal(10,2)", "money", "smallmoney", "float", "bit", "varchar(10)"})
        EXPECT_EQ(first_error(c.execute(std::string("CREATE TABLE t (id ") + type + " IDENTITY(1,1))")), 2749) << type;
    EXPECT_EQ(errors_of(c.execute("CREATE TABLE t (id numeric(12,0) IDENTITY(1,1))")), "");
}
