#include <gtest/gtest.h>

#include "platform/embedded/embedded_token.h"

using embedded::token;
using embedded::token_kind;

namespace {
token make(token_kind k, std::string text)
{
    token t;
    t.kind = k;
    t.text = std::move(text);
    return t;
}
} // namespace

TEST(EmbeddedToken, WordMatchesKeywordInAnyCaseAndWholeOnly)
{
    EXPECT_TRUE(make(token_kind::ident, "select").is_word("SELECT"));
    EXPECT_TRUE(make(token_kind::ident, "SeLeCt").is_word("SELECT"));
    EXPECT_FALSE(make(token_kind::ident, "SELECTS").is_word("SELECT"));
    EXPECT_FALSE(make(token_kind::ident, "SEL").is_word("SELECT"));
    EXPECT_FALSE(make(token_kind::ident, "").is_word("SELECT"));
    // a quoted name or a text is never a keyword
    EXPECT_FALSE(make(token_kind::qident, "SELECT").is_word("SELECT"));
    EXPECT_FALSE(make(token_kind::string, "SELECT").is_word("SELECT"));
}

TEST(EmbeddedToken, KeywordOfAFoldingDialectIsExact)
{
    EXPECT_TRUE(make(token_kind::ident, "FROM").is_kw("FROM"));
    EXPECT_FALSE(make(token_kind::ident, "from").is_kw("FROM"));
    EXPECT_FALSE(make(token_kind::qident, "FROM").is_kw("FROM"));
    EXPECT_TRUE(make(token_kind::op, "<>").is_op("<>"));
    EXPECT_FALSE(make(token_kind::string, "<>").is_op("<>"));
    EXPECT_TRUE(make(token_kind::qident, "a b").is_name());
    EXPECT_FALSE(make(token_kind::bind, "A").is_name());
}
