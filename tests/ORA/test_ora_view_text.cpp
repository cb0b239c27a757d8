// View texts: comments, brackets, trailing semicolons, clauses Oracle adds.
#include <gtest/gtest.h>

#include "ORA/ora_database.h"

namespace {

// A database object that reads no views and needs no connection.
ora_database& offline_db()
{
    static ora_database db(L"offline", udb_database::mode_skip_views);
    return db;
}

} // namespace

TEST(ora_view_text, remove_comments_cuts_comments_outside_quotes)
{
    ora_database& db = offline_db();
    EXPECT_EQ(db.remove_comments(L"x"), L"x");
    EXPECT_EQ(db.remove_comments(L"select a from t -- trailing"), L"select a from t ");
    EXPECT_EQ(db.remove_comments(L"select a -- first\nfrom t"), L"select a \nfrom t");
    EXPECT_EQ(db.remove_comments(L"select '--not a comment' from t"), L"select '--not a comment' from t");
}

TEST(ora_view_text, apostrophe_inside_a_comment_does_not_invert_quotes)
{
    ora_database& db = offline_db();
    // Without ignoring quotes in comments, the second comment would survive
    // and the literal after it would be cut.
    EXPECT_EQ(db.remove_comments(L"select a -- don't\nfrom t -- x\nwhere b = '--'"),
              L"select a \nfrom t \nwhere b = '--'");
}

TEST(ora_view_text, three_dashes_leave_no_stray_dash)
{
    ora_database& db = offline_db();
    EXPECT_EQ(db.remove_comments(L"select a ---note\n- b from t"), L"select a \n- b from t");
}

TEST(ora_view_text, refine_view_out_removes_the_listed_clauses_only)
{
    ora_database& db = offline_db();
    EXPECT_EQ(db.refine_view_out(L"select * from t WITH CHECK OPTION"), L"select * from t ");
    EXPECT_EQ(db.refine_view_out(L"select * from t with read only -- c"), L"select * from t  ");
    EXPECT_EQ(db.refine_view_out(L"select * from t With Read Only"), L"select * from t With Read Only");
}

TEST(ora_view_text, refine_view_in_brackets_distinctrow_and_semicolons)
{
    ora_database& db = offline_db();
    db.b_uppercase = false;
    EXPECT_EQ(db.refine_view_in(L"select DISTINCTROW [a] from [t];"), L"select  \"a\" from \"t\" ");
    EXPECT_EQ(db.refine_view_in(L"select a from t; "), L"select a from t  ");
    EXPECT_EQ(db.refine_view_in(L"select a from t;  "), L"select a from t   ");
    EXPECT_EQ(db.refine_view_in(L";"), L" ");
    db.b_uppercase = true;
    EXPECT_EQ(db.refine_view_in(L"select [a] from [t]"), L"select a from t");
    db.b_uppercase = false;
}
