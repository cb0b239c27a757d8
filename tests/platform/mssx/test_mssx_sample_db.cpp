#include <gtest/gtest.h>
#include <filesystem>
#include "mssx_test_server.h"

namespace {

std::string sample_script()
{
    const char* data = std::getenv("TVX_TEST_DATA");
    std::filesystem::path p =
        std::filesystem::path(data ? data : "tests/data") / ".." / ".." / "examples" / "sample_db" / "tvx_sample.sql";
    return p.lexically_normal().string();
}

class SampleDb : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        server = std::make_unique<mssx_test_server>("sample");
        errors = server->run_script(mssx_read_file(sample_script()));
    }
    static void TearDownTestSuite() { server.reset(); }
    static mssx_result query(const std::string& sql) { return server->query("TvxSample", sql); }
    static std::string cell(const mssx_result& r, size_t row, size_t col) { return mssx_cell(r, row, col); }
    static inline std::unique_ptr<mssx_test_server> server;
    static inline std::vector<mssx_error> errors;
};

} // namespace

TEST_F(SampleDb, LoadsWithoutErrors)
{
    ASSERT_TRUE(std::filesystem::exists(sample_script())) << sample_script();
    for (auto& e : errors) ADD_FAILURE() << "Msg " << e.number << ": " << e.what();
    const std::pair<const char*, int> counts[] = {{"dbo.Numbers", 21}, {"dbo.Texts", 21},     {"dbo.Moments", 21},
                                                  {"dbo.Blobs", 10},   {"dbo.Customers", 50}, {"sales.Orders", 200},
                                                  {"dbo.Orders", 10}};
    for (auto& [t, n] : counts)
        EXPECT_EQ(cell(query(std::string("SELECT COUNT(*) FROM ") + t), 0, 0), std::to_string(n)) << t;
}

TEST_F(SampleDb, NumbersAtTheirLimits)
{
    auto r = query(
        "SELECT Small, Big, Dec38, Dec38s, Dec5, Price, SmallPrice, Ratio, Tiny FROM Numbers WHERE Id IN (1, 2) ORDER "
        "BY Id");
    EXPECT_EQ(cell(r, 0, 1), "-9223372036854775808");
    EXPECT_EQ(cell(r, 0, 2), "-99999999999999999999999999999999999999");
    EXPECT_EQ(cell(r, 1, 3), "9999999999999999999999999999.9999999999");
    EXPECT_EQ(cell(r, 0, 5), "-922337203685477.5808");
    EXPECT_EQ(cell(r, 1, 6), "214748.3647");
    EXPECT_EQ(cell(r, 1, 7), "1.7976931348623157e+308");
    EXPECT_EQ(cell(r, 1, 8), "255");
    auto d = query("SELECT Tiny, Dec5, Price, Flag FROM Numbers WHERE Id = 21"); // defaults of each kind
    EXPECT_EQ(cell(d, 0, 0), "0");
    EXPECT_EQ(cell(d, 0, 1), "-1.50");
    EXPECT_EQ(cell(d, 0, 2), "0.0000");
    EXPECT_EQ(cell(d, 0, 3), "1");
}

TEST_F(SampleDb, TextsKeepEmptyStringsNullsAndLetters)
{
    auto r = query("SELECT Label, WideVar, Wide, [Größe Grad] FROM Texts WHERE Code = 'T000'");
    EXPECT_EQ(cell(r, 0, 0), "");
    EXPECT_EQ(cell(r, 0, 1), "");
    EXPECT_EQ(cell(r, 0, 2), "NULL");
    auto d = query("SELECT Label, WideVar FROM Texts WHERE Code = 'DFLT'");
    EXPECT_EQ(cell(d, 0, 0), "");
    EXPECT_EQ(cell(d, 0, 1), "unbekannt");
    auto l = query("SELECT LongWide FROM Texts WHERE Code = 'T018'");
    EXPECT_EQ(cell(l, 0, 0).size(), std::string("Grüße ").size() * 234 - 1);
}

TEST_F(SampleDb, MomentsAndIdentitySteps)
{
    auto r = query("SELECT Id, Day, At, Stamp, Precise, Coarse, Zoned FROM Moments WHERE Id = 110");
    EXPECT_EQ(cell(r, 0, 1), "1907-02-04");
    EXPECT_EQ(cell(r, 0, 2), "01:07:11.1234567");
    EXPECT_EQ(cell(r, 0, 3), "1810-02-04 01:05:13.037");
    EXPECT_EQ(cell(r, 0, 4), "0401-02-04 01:02:03.7654321");
    EXPECT_EQ(cell(r, 0, 6), "2001-02-04 01:04:06.111 +01:15");
    auto last = query("SELECT MAX(Id), COUNT(DISTINCT Guid) FROM Moments");
    EXPECT_EQ(cell(last, 0, 0), "300");
    EXPECT_EQ(cell(last, 0, 1), "21");
}

TEST_F(SampleDb, KeysAcrossTwoSchemas)
{
    mssx_connection c(server->dir, server->sa("TvxSample"));
    auto so = c.catalog().load_table("sales", "Orders");
    auto dor = c.catalog().load_table("dbo", "Orders");
    ASSERT_TRUE(so && dor);
    EXPECT_EQ(so->primary_key()->columns, (std::vector<std::string>{"OrderNo", "Line"}));
    EXPECT_EQ(so->fks.at(0).on_delete, "CASCADE");
    EXPECT_EQ(so->columns[4].default_text, "(N'it''s')");
    EXPECT_EQ(dor->columns.size(), 2u);
    auto cust = c.catalog().load_table("dbo", "Customers");
    EXPECT_EQ(cust->columns[0].name, "Customer Id");
    EXPECT_EQ(cust->indexes.size(), 3u);
    auto notes = query("SELECT COUNT(*) FROM sales.Orders WHERE Note = N'it''s'");
    EXPECT_NE(cell(notes, 0, 0), "0");
    auto dup = c.execute("INSERT INTO dbo.Customers VALUES (99, N'Müller 1', NULL)");
    ASSERT_EQ(dup.errors.size(), 1u);
    EXPECT_EQ(dup.errors[0].number, 2627);
    auto del = c.execute("DELETE FROM dbo.Customers WHERE [Customer Id] = 1");
    EXPECT_TRUE(del.errors.empty());
}
