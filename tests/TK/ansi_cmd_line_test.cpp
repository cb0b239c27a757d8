#include <gtest/gtest.h>

#include "TK/ansi_cmd_line.h"
#include "TK/tk_exception.h"

namespace {

const tk_cmd_option k_table[] = {{0, "--dest="}, {1, "--help"}, {2, "--mode="}, {3, "--silent"}, {-1, ""}};

struct scanned {
    int code;
    std::string value;
};

std::vector<scanned> scan(std::vector<const char*> args)
{
    std::vector<scanned> out;
    ansi_cmd_line cmd(static_cast<int>(args.size()), args.data(), k_table);
    for (; cmd.has_more(); cmd.next()) out.push_back({cmd.get_code(), cmd.get_value()});
    return out;
}

} // namespace

TEST(ansi_cmd_line, matches_prefixes_in_table_order_and_takes_the_rest_as_value)
{
    auto r = scan({"prog", "--dest=orcl", "--mode=", "--silentXYZ", "--help"});
    ASSERT_EQ(r.size(), 4u);
    EXPECT_EQ(r[0].code, 0);
    EXPECT_EQ(r[0].value, "orcl");
    EXPECT_EQ(r[1].code, 2);
    EXPECT_EQ(r[1].value, "");
    EXPECT_EQ(r[2].code, 3); // a flag ignores what follows its prefix
    EXPECT_EQ(r[3].code, 1);
}

TEST(ansi_cmd_line, unrecognised_arguments_are_collected_without_a_limit)
{
    std::vector<const char*> args{"prog"};
    std::vector<std::string> bogus;
    for (int i = 0; i < 30; ++i) bogus.push_back("--bogus" + std::to_string(i));
    for (auto& b : bogus) args.push_back(b.c_str());
    args.push_back("--dest=x");
    ansi_cmd_line cmd(static_cast<int>(args.size()), args.data(), k_table);
    int count = 0;
    for (; cmd.has_more(); cmd.next()) count += cmd.get_code() == -1;
    EXPECT_EQ(count, 30);
    ASSERT_EQ(cmd.get_unrecognized().size(), 30u);
    EXPECT_EQ(cmd.get_unrecognized()[29], "--bogus29");
}

TEST(ansi_cmd_line, reading_past_the_end_is_an_internal_error)
{
    const char* args[] = {"prog"};
    ansi_cmd_line cmd(1, args, k_table);
    EXPECT_FALSE(cmd.has_more());
    EXPECT_THROW(cmd.next(), tk_mail_assertion);
    try {
        cmd.get_code();
        FAIL();
    } catch (const tk_mail_assertion& e) {
        EXPECT_EQ(e.message, make_err_meggase("tk_cmdli", 147));
    }
    EXPECT_THROW(cmd.get_value(), tk_mail_assertion);
}
