#include <gtest/gtest.h>

#include "TK/tk_exception.h"
#include "UDB/udb_validator.h"

namespace {

const std::wstring forty = L"ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789abcd";

TEST(udb_validator, acceptable_length_restricted_and_illegal)
{
    udb_validator v(30);
    EXPECT_TRUE(v.is_acceptable(std::wstring(30, L'A')));
    EXPECT_FALSE(v.is_acceptable(std::wstring(31, L'A')));
    v.restricted_names.push_back(L"PRIMARY");
    EXPECT_FALSE(v.is_acceptable(L"primary"));
    EXPECT_TRUE(v.is_acceptable(L"primary2"));
    v.illegal_chars = {L' ', L'-'};
    EXPECT_FALSE(v.is_acceptable(L"A B"));
    EXPECT_FALSE(v.is_acceptable(L"A-B"));

    udb_validator unlimited(0);
    EXPECT_TRUE(unlimited.is_acceptable(std::wstring(5000, L'x')));
}

TEST(udb_validator, duplicates_ignore_case_and_may_repeat)
{
    udb_validator v(0);
    EXPECT_FALSE(v.is_duplicated(L"emp"));
    v.add_existing_name(L"EMP");
    v.add_existing_name(L"EMP");
    EXPECT_EQ(v.taken_names.size(), 2u);
    EXPECT_TRUE(v.is_duplicated(L"emp"));
    EXPECT_TRUE(v.is_duplicated(L"Emp"));
    EXPECT_FALSE(v.is_duplicated(L"EMP2"));
}

TEST(udb_validator, non_ascii_names_compare_without_case)
{
    udb_validator v(0);
    v.add_existing_name(L"STRASSE_\u00C4");
    EXPECT_TRUE(v.is_duplicated(L"strasse_\u00E4"));
}

TEST(udb_validator, safe_name_cuts_to_one_below_the_limit)
{
    udb_validator v(30);
    EXPECT_EQ(v.get_safe_name(forty), forty.substr(0, 29));
    EXPECT_TRUE(v.taken_names.empty()) << "the answer is registered by the caller";
}

TEST(udb_validator, safe_name_numbers_a_taken_cut)
{
    udb_validator v(30);
    v.add_existing_name(forty.substr(0, 29));
    EXPECT_EQ(v.get_safe_name(forty), forty.substr(0, 24) + L"00000");
    v.add_existing_name(forty.substr(0, 24) + L"00000");
    EXPECT_EQ(v.get_safe_name(forty), forty.substr(0, 24) + L"00001");
}

TEST(udb_validator, names_that_collide_after_cutting_get_distinct_answers)
{
    udb_validator v(30);
    const std::wstring a = forty + L"_A";
    const std::wstring b = forty + L"_B";
    const std::wstring first = v.get_safe_name(a);
    v.add_existing_name(first);
    const std::wstring second = v.get_safe_name(b);
    EXPECT_NE(first, second);
    EXPECT_LE(second.size(), 30u);
    EXPECT_TRUE(v.is_acceptable(second));
}

TEST(udb_validator, safe_name_replaces_illegal_characters)
{
    udb_validator v(30);
    v.illegal_chars = {L' ', L'-'};
    EXPECT_EQ(v.get_safe_name(L"ORDER DETAILS-2"), L"ORDER_DETAILS_2");
}

TEST(udb_validator, safe_name_of_a_restricted_short_name_is_numbered)
{
    udb_validator v(30);
    v.restricted_names.push_back(L"USER");
    EXPECT_EQ(v.get_safe_name(L"user"), L"user00000");
}

TEST(udb_validator, tiny_limits_never_wrap)
{
    // A base cut below zero characters must clamp, not wrap around.
    udb_validator six(6);
    six.add_existing_name(L"ABCDE");
    EXPECT_EQ(six.get_safe_name(L"ABCDEFGH"), L"00000");
    udb_validator five(5);
    five.add_existing_name(L"ABCD");
    EXPECT_EQ(five.get_safe_name(L"ABCDEFGH"), L"00000");
    // Below five characters no numbered name fits: internal error at once.
    udb_validator four(4);
    four.add_existing_name(L"ABC");
    EXPECT_THROW(four.get_safe_name(L"ABCDEFGH"), tk_mail_assertion);
}

// A validator that refuses every numbered candidate exhausts the numbers.
class refusing_validator : public udb_validator {
public:
    refusing_validator() : udb_validator(0) {}
    bool is_acceptable(const std::wstring&) const override { return false; }
};

TEST(udb_validator, exhausted_candidates_are_an_internal_error)
{
    refusing_validator v;
    try {
        v.get_safe_name(L"X");
        FAIL() << "no exception";
    } catch (const tk_mail_assertion& e) {
        EXPECT_EQ(e.level, 2);
    }
}

TEST(udb_validator, mapped_pairs_keep_the_first_target)
{
    udb_validator v(0);
    v.add_mapped_pair(L"a", L"A1");
    v.add_mapped_pair(L"a", L"A2");
    EXPECT_EQ(v.mapped_pairs.get_mapped_name(L"a", true), L"A1");
}

} // namespace
