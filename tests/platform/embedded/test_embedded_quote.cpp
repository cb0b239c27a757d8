#include <gtest/gtest.h>

#include <sqlite3.h>

#include "platform/embedded/embedded_quote.h"

using embedded::quote_ident;
using embedded::quote_literal;

TEST(EmbeddedQuote, QuotesInsideAreDoubled)
{
    EXPECT_EQ(quote_ident("plain"), "\"plain\"");
    EXPECT_EQ(quote_ident("say \"hi\""), "\"say \"\"hi\"\"\"");
    EXPECT_EQ(quote_ident("\""), "\"\"\"\"");
    EXPECT_EQ(quote_ident(""), "\"\"");
    EXPECT_EQ(quote_literal("O'Brien"), "'O''Brien'");
    EXPECT_EQ(quote_literal("''"), "''''''");
    // the other kind of quote is left alone
    EXPECT_EQ(quote_ident("O'Brien"), "\"O'Brien\"");
    EXPECT_EQ(quote_literal("a\"b"), "'a\"b'");
}

// What SQLite makes of the quoted text is the name or text itself, whatever it holds.
TEST(EmbeddedQuote, SqliteReadsBackExactlyWhatWasQuoted)
{
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(":memory:", &db), SQLITE_OK);
    const std::string names[] = {"x", "a \"b\" c", "'; DROP TABLE t; --", "\"\"", "日本語 name", "end\""};
    for (const std::string& n : names) {
        std::string sql = "SELECT " + quote_literal(n) + " AS " + quote_ident(n);
        sqlite3_stmt* st = nullptr;
        ASSERT_EQ(sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr), SQLITE_OK) << sql;
        ASSERT_EQ(sqlite3_step(st), SQLITE_ROW);
        EXPECT_EQ(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)), n);
        EXPECT_EQ(sqlite3_column_name(st, 0), n);
        sqlite3_finalize(st);
    }
    sqlite3_close(db);
}
