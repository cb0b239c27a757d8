#include <gtest/gtest.h>
#include "mssx_test_server.h"
#include "platform/mssx/mssx_sqlcmd.h"

namespace {

std::string texts(const std::vector<mssx_batch>& batches)
{
    std::string s;
    for (auto& b : batches) s += b.text + (b.exit_on_error ? "[exit]" : "") + "|";
    return s;
}

} // namespace

// A script as sqlcmd reads it: the batches the server receives, one row per case.
TEST(MssxSqlcmd, ScriptsSplitIntoWhatTheServerReceives)
{
    struct {
        const char* script;
        const char* batches;
    } cases[] = {
        {":setvar db Shop\nUSE $(db)\nGO\n", "USE Shop\n|"},
        {":SETVAR Db \"My Shop\"\nSELECT '$(db)', N'$(DB)'\nGO\n", "SELECT 'My Shop', N'My Shop'\n|"},
        {":setvar a 1\n:setvar a 2\nSELECT $(a) + $(a)\n", "SELECT 2 + 2\n|"},
        {":setvar v $(w)x\n", "error"},
        {"SELECT $(nope)\n", "error"},
        {"SELECT 1\n:on error exit\nGO\nSELECT 2\n:on error ignore\nGO\n", "SELECT 1\n\n[exit]|SELECT 2\n\n|"},
        {":connect other\n", "error"},
        // carriage returns stay byte for byte, also inside literals
        {"SELECT 'a\r\nb'\r\nGO\r\nSELECT 2\r\n", "SELECT 'a\r\nb'\r\n|SELECT 2\r\n|"},
        // a GO inside a quoted name is no separator
        {"CREATE INDEX \"ix'); --\nGO\" ON t (a)\nGO\n", "CREATE INDEX \"ix'); --\nGO\" ON t (a)\n|"},
        {"CREATE INDEX [ix]]'); --] ON t (a)\nGO\nSELECT 1\n", "CREATE INDEX [ix]]'); --] ON t (a)\n|SELECT 1\n|"},
    };
    for (auto& k : cases) {
        std::string got;
        try {
            got = texts(mssx_split_batches(k.script));
        } catch (const mssx_error&) {
            got = "error";
        }
        EXPECT_EQ(got, k.batches) << k.script;
    }
}

TEST(MssxSqlcmd, VariablesGivenFromOutsideAreSeenAndLinesKeepTheirNumbers)
{
    mssx_sqlcmd_state st;
    st.set("Table", "t1");
    auto b = mssx_split_batches("SELECT 1\n:setvar x 5\nSELECT * FROM $(table) WHERE a = $(x)\nGO\n", &st);
    ASSERT_EQ(b.size(), 1u);
    EXPECT_EQ(b[0].text, "SELECT 1\n\nSELECT * FROM t1 WHERE a = 5\n");
    EXPECT_EQ(st.variables.at("X"), "5");
}

// RAISERROR by severity: a message, an error, refused without WITH LOG, the end of the session.
TEST(MssxSqlcmd, RaiserrorBySeverity)
{
    mssx_test_server srv("raiserror");
    mssx_connection c(srv.dir, srv.sa());
    auto out = c.execute("RAISERROR('m', 10, 1) PRINT 'a'");
    EXPECT_TRUE(out.errors.empty());
    EXPECT_EQ(out.messages, (std::vector<std::string>{"m", "a"}));
    out = c.execute("RAISERROR('e', 16, 1) PRINT 'a'");
    ASSERT_EQ(out.errors.size(), 1u);
    EXPECT_EQ(out.errors[0].severity, 16);
    EXPECT_EQ(out.messages, std::vector<std::string>{"a"});
    out = c.execute("RAISERROR('e', 20, 1) PRINT 'a'");
    ASSERT_EQ(out.errors.size(), 1u);
    EXPECT_EQ(out.errors[0].number, 2754);
    EXPECT_FALSE(c.closed());
    out = c.execute("RAISERROR('fatal', 20, 1) WITH LOG\nPRINT 'a'");
    ASSERT_EQ(out.errors.size(), 1u);
    EXPECT_STREQ(out.errors[0].what(), "fatal");
    EXPECT_EQ(out.errors[0].severity, 20);
    EXPECT_TRUE(out.messages.empty());
    EXPECT_TRUE(c.closed());
    EXPECT_THROW(c.execute("SELECT 1"), mssx_error);
}
