// Statements and what SQL Server stores or answers for them, one case a block,
// kept as scripts under tests/data/mssx/ (they seed the T-SQL fuzz targets too).
//
//   -- case: name of the case
//   <T-SQL, GO between batches>
//   -- expect: 1 | abc | NULL        one line a row of the last result
//   -- expect-types: int | nchar(5)  the types of its columns
//   -- expect-empty                  the last result has no row
//   -- expect-error: 8115            the first error of the case
//
// Each case runs in a database of its own; a case without expect-error must
// raise no error at all.
#include <gtest/gtest.h>
#include <cstdlib>
#include <sstream>
#include "mssx_test_server.h"

namespace {

struct script_case {
    std::string name;
    int line = 0;
    std::string sql;
    std::vector<std::string> rows;
    std::string types;
    bool empty = false;
    int error = 0;
};

std::string trim(const std::string& s)
{
    size_t b = s.find_first_not_of(" \t\r");
    if (b == std::string::npos) return {};
    size_t e = s.find_last_not_of(" \t\r");
    return s.substr(b, e - b + 1);
}

bool take(const std::string& line, const std::string& tag, std::string& rest)
{
    if (!line.starts_with(tag)) return false;
    rest = trim(line.substr(tag.size()));
    return true;
}

std::vector<script_case> parse_cases(const std::string& text)
{
    std::vector<script_case> out;
    std::istringstream in(text);
    std::string line, rest;
    int n = 0;
    while (std::getline(in, line)) {
        ++n;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (take(line, "-- case:", rest)) {
            out.push_back({});
            out.back().name = rest;
            out.back().line = n;
            continue;
        }
        if (out.empty()) continue; // a file's heading
        script_case& c = out.back();
        if (take(line, "-- expect-types:", rest))
            c.types = rest;
        else if (take(line, "-- expect-error:", rest))
            c.error = std::atoi(rest.c_str());
        else if (take(line, "-- expect-empty", rest))
            c.empty = true;
        else if (take(line, "-- expect:", rest))
            c.rows.push_back(rest);
        else
            c.sql += line + "\n";
    }
    return out;
}

std::string joined_row(const mssx_result& r, size_t row)
{
    std::string s;
    for (size_t c = 0; c < r.columns.size(); ++c) s += (c ? " | " : "") + mssx_cell(r, row, c);
    return s;
}

std::string joined_types(const mssx_result& r)
{
    std::string s;
    for (size_t c = 0; c < r.columns.size(); ++c) s += (c ? " | " : "") + r.columns[c].type.sql_text();
    return s;
}

class MssxCases : public ::testing::Test {
protected:
    static void SetUpTestSuite() { server_ = std::make_unique<mssx_test_server>("cases"); }
    static void TearDownTestSuite() { server_.reset(); }

    static void run_file(const std::string& name)
    {
        const char* root = std::getenv("TVX_TEST_DATA");
        ASSERT_NE(root, nullptr);
        std::string path = std::string(root) + "/mssx/" + name;
        std::string text = mssx_read_file(path);
        ASSERT_FALSE(text.empty()) << path;
        auto cases = parse_cases(text);
        ASSERT_FALSE(cases.empty()) << path;
        for (size_t i = 0; i < cases.size(); ++i) run_case(name, i, cases[i]);
    }

    static void run_case(const std::string& file, size_t index, const script_case& k)
    {
        std::string where = file + ":" + std::to_string(k.line) + " (" + k.name + ")";
        ASSERT_TRUE(k.error || k.empty || !k.rows.empty()) << where << ": the case expects nothing";
        std::string db = "case_" + std::to_string(++serial_);
        mssx_connection c(server_->dir, server_->sa());
        auto made = c.execute("CREATE DATABASE " + db + "\nUSE " + db);
        ASSERT_TRUE(made.errors.empty()) << where;
        std::vector<mssx_error> errors;
        std::optional<mssx_result> last;
        for (auto& b : mssx_split_batches(k.sql)) {
            for (int r = 0; r < b.repeat; ++r) {
                mssx_outcome out = c.execute(b.text);
                for (auto& e : out.errors) errors.push_back(e);
                if (!out.results.empty()) {
                    last = std::move(out.results.back());
                    mssx_drain(*last);
                }
            }
        }
        if (k.error) {
            ASSERT_FALSE(errors.empty()) << where << ": no error, expected " << k.error;
            EXPECT_EQ(errors.front().number, k.error) << where << ": " << errors.front().what();
        } else if (!errors.empty()) {
            ADD_FAILURE() << where << ": Msg " << errors.front().number << " " << errors.front().what();
            return;
        }
        if (k.rows.empty() && !k.empty) return;
        ASSERT_TRUE(last) << where << ": no result";
        std::vector<std::string> got;
        for (size_t r = 0; r < last->rows.size(); ++r) got.push_back(joined_row(*last, r));
        EXPECT_EQ(got, k.rows) << where;
        if (!k.types.empty()) {
            EXPECT_EQ(joined_types(*last), k.types) << where;
        }
        (void)index;
    }

    static std::unique_ptr<mssx_test_server> server_;
    static int serial_;
};
std::unique_ptr<mssx_test_server> MssxCases::server_;
int MssxCases::serial_ = 0;

} // namespace

TEST(MssxCaseFormat, BlocksAreReadWithTheirExpectations)
{
    auto cases = parse_cases(
        "-- heading\n-- case: one\nSELECT 1\n-- expect: 1\n-- expect-types: int\n"
        "-- case: two\nSELECT x\nGO\nSELECT y\n-- expect-error: 207\n-- case: three\n"
        "SELECT 1 WHERE 1 = 0\n-- expect-empty\n");
    ASSERT_EQ(cases.size(), 3u);
    EXPECT_EQ(cases[0].name, "one");
    EXPECT_EQ(cases[0].sql, "SELECT 1\n");
    EXPECT_EQ(cases[0].rows, std::vector<std::string>{"1"});
    EXPECT_EQ(cases[0].types, "int");
    EXPECT_EQ(cases[1].sql, "SELECT x\nGO\nSELECT y\n");
    EXPECT_EQ(cases[1].error, 207);
    EXPECT_TRUE(cases[2].empty);
    EXPECT_EQ(cases[2].line, 11);
}

TEST_F(MssxCases, PaddedComparison) { run_file("padded_comparison.sql"); }
TEST_F(MssxCases, WritesRoundToTheColumnType) { run_file("write_rounding.sql"); }
TEST_F(MssxCases, FloatOverflowIsAnError) { run_file("float_overflow.sql"); }
TEST_F(MssxCases, TextLengthsAreUtf16Units) { run_file("text_lengths.sql"); }
TEST_F(MssxCases, CharTypesHoldTheirCodePage) { run_file("code_pages.sql"); }
TEST_F(MssxCases, BinaryReadAsText) { run_file("binary_text.sql"); }
TEST_F(MssxCases, DateFunctions) { run_file("date_functions.sql"); }
TEST_F(MssxCases, BuiltinFunctions) { run_file("builtin_functions.sql"); }
TEST_F(MssxCases, ComputedColumnTypes) { run_file("computed_types.sql"); }
TEST_F(MssxCases, VariantBaseTypes) { run_file("variant_base_types.sql"); }
