#include <gtest/gtest.h>
#include "mssx_test_server.h"

// A default as written, the text the catalog keeps, and the value an INSERT takes from it.
TEST(MssxDefaults, TextKeepsItsWordsApartAndInsertsUseIt)
{
    struct {
        const char* column;
        const char* stored;
        const char* value; // empty: today's date
    } cases[] = {
        {"d date NOT NULL DEFAULT cast(getdate() as date)", "(cast(getdate() as date))", ""},
        {"d date NOT NULL DEFAULT (CAST ( GETDATE() AS date ))", "(cast(getdate() AS date))", ""},
        {"s varchar(20) DEFAULT ('a' + 'b')", "('a' + 'b')", "ab"},
        {"c varchar(30) DEFAULT CONVERT(varchar(30), 'x y')", "(convert(varchar(30),'x y'))", "x y"},
        {"n int DEFAULT 0", "((0))", "0"},
        {"m money DEFAULT -1", "((-1))", "-1.0000"},
        {"u nvarchar(10) DEFAULT N'it''s'", "(N'it''s')", "it's"},
    };
    mssx_test_server srv("defaults");
    mssx_connection c(srv.dir, srv.sa());
    std::string today = mssx_cell(c.execute("SELECT CAST(GETDATE() AS date)").results.at(0), 0, 0);
    for (auto& k : cases) {
        auto out = c.execute(std::string("CREATE TABLE t (id int NULL, ") + k.column + ")");
        ASSERT_TRUE(out.errors.empty()) << k.column << ": " << out.errors.front().what();
        out = c.execute("INSERT INTO t (id) VALUES (1); INSERT INTO t DEFAULT VALUES");
        ASSERT_TRUE(out.errors.empty()) << k.column << ": " << out.errors.front().what();
        auto def = c.execute("SELECT definition FROM sys.default_constraints").results.at(0);
        EXPECT_EQ(mssx_cell(def, 0, 0), k.stored) << k.column;
        auto r = c.execute("SELECT * FROM t").results.at(0);
        ASSERT_EQ(r.rows.size(), 2u);
        for (size_t row = 0; row < 2; ++row)
            EXPECT_EQ(mssx_cell(r, row, 1), *k.value ? std::string(k.value) : today) << k.column;
        ASSERT_TRUE(c.execute("DROP TABLE t").errors.empty());
    }
}
