// Nesting of parentheses is bounded by the server's limit and refused with its error.
#include <gtest/gtest.h>
#include "mssx_test_server.h"
#include "platform/mssx/mssx_translator.h"

namespace {

std::string nested(size_t depth, const std::string& inner)
{
    return std::string(depth, '(') + inner + std::string(depth, ')');
}

mssx_outcome run(const mssx_test_server& server, const std::string& sql)
{
    mssx_connection c(server.dir, server.sa());
    return c.execute(sql);
}

} // namespace

TEST(MssxNesting, ParenthesesUpToTheLimitAreAnswered)
{
    mssx_test_server server("nesting_ok");
    auto out = run(server, "SELECT " + nested(kMssxMaxNesting - 1, "1 + 2") + " * 2");
    ASSERT_TRUE(out.errors.empty()) << out.errors.front().what();
    EXPECT_EQ(mssx_cell(out.results.at(0), 0, 0), "6");
    // exact arithmetic nests its calls as deep as the parentheses
    out = run(server, "SELECT " + nested(kMssxMaxNesting - 2, "CAST(1.5 AS decimal(5,1)) + 1.25"));
    ASSERT_TRUE(out.errors.empty()) << out.errors.front().what();
    EXPECT_EQ(mssx_cell(out.results.at(0), 0, 0), "2.75");
}

TEST(MssxNesting, DeeperNestingIsMsg191AndTheBatchRunsNothing)
{
    mssx_test_server server("nesting_deep");
    for (size_t depth : {kMssxMaxNesting + 1, size_t(8000), size_t(100000)}) {
        auto out = run(server, "CREATE TABLE t (a int NULL)\nSELECT " + nested(depth, "1"));
        ASSERT_EQ(out.errors.size(), 1u) << depth;
        EXPECT_EQ(out.errors[0].number, 191) << depth;
        EXPECT_NE(std::string(out.errors[0].what()).find("nested too deeply"), std::string::npos);
        // the table of the same batch was not made
        auto probe = run(server, "SELECT COUNT(*) FROM t");
        ASSERT_EQ(probe.errors.size(), 1u);
        EXPECT_EQ(probe.errors[0].number, 208);
    }
}

TEST(MssxNesting, TranslationRefusesDeepNestingItself)
{
    // the translator is reached from constraints and computed columns too
    auto toks = mssx_lex("SELECT " + nested(kMssxMaxNesting + 1, "1"), true);
    mssx_translate_env env;
    try {
        (void)mssx_translate(toks, 0, toks.size() - 1, env);
        FAIL() << "no error";
    } catch (const mssx_error& e) {
        EXPECT_EQ(e.number, 191);
    }
    // unbalanced parentheses stay a syntax error
    toks = mssx_lex("SELECT ((1)", true);
    try {
        (void)mssx_translate(toks, 0, toks.size() - 1, env);
        FAIL() << "no error";
    } catch (const mssx_error& e) {
        EXPECT_EQ(e.number, 102);
    }
}

TEST(MssxNesting, LongFlatExpressionsAreAnswered)
{
    mssx_test_server server("nesting_flat");
    std::string sum = "0";
    for (int i = 0; i < 500; ++i) sum += " + (1)";
    auto out = run(server, "SELECT " + sum);
    ASSERT_TRUE(out.errors.empty()) << out.errors.front().what();
    EXPECT_EQ(mssx_cell(out.results.at(0), 0, 0), "500");
}

TEST(MssxNesting, WhatSqliteCannotParseIsMsg191Too)
{
    mssx_test_server server("nesting_exact");
    mssx_connection c(server.dir, server.sa());
    auto out = c.execute("CREATE TABLE d (v decimal(10,2) NULL)\nINSERT INTO d VALUES (1.00)");
    ASSERT_TRUE(out.errors.empty());
    // each level of exact arithmetic is a call of its own inside SQLite
    std::string e = "v";
    for (size_t i = 0; i + 1 < kMssxMaxNesting; ++i) e = "(" + e + " * 1.0 + 0.5)";
    out = c.execute("SELECT " + e + " FROM d");
    if (out.errors.empty()) {
        EXPECT_FALSE(out.results.at(0).rows.empty());
    } else {
        EXPECT_EQ(out.errors[0].number, 191) << out.errors[0].what();
    }
    // a flat sum longer than SQLite's expression depth
    std::string sum = "v";
    for (int i = 0; i < 1500; ++i) sum += " + 1";
    out = c.execute("SELECT " + sum + " FROM d");
    ASSERT_EQ(out.errors.size(), 1u);
    EXPECT_EQ(out.errors[0].number, 191) << out.errors[0].what();
}

TEST(MssxNesting, LongChainsAreRefusedWithoutExhaustingTheStack)
{
    mssx_test_server server("nesting_chain");
    std::string sum = "1";
    for (int i = 0; i < 100000; ++i) sum += " + 1";
    auto out = run(server, "SELECT " + sum);
    ASSERT_EQ(out.errors.size(), 1u);
    EXPECT_EQ(out.errors[0].number, 191);
    std::string ors = "1 = 0";
    for (size_t i = 0; i < kMssxMaxChain + 1; ++i) ors += " OR 1 = 0";
    out = run(server, "SELECT 1 WHERE " + ors);
    ASSERT_EQ(out.errors.size(), 1u);
    EXPECT_EQ(out.errors[0].number, 191);
}

TEST(MssxNesting, ChainsAreCountedStatementByStatement)
{
    mssx_test_server server("nesting_statements");
    // thousands of statements with operators in one batch are each a short chain
    std::string batch = "DECLARE @n int = 0\n";
    for (int i = 0; i < 3000; ++i) batch += "SET @n = @n + 1 * 1\n";
    batch += "SELECT @n, 1 + 2";
    for (int i = 0; i < 300; ++i) batch += ", 1 + 2";
    auto out = run(server, batch);
    ASSERT_TRUE(out.errors.empty()) << out.errors.front().what();
    EXPECT_EQ(mssx_cell(out.results.at(0), 0, 0), "3000");
}
