#include "platform/eora/eora_script.h"

#include <gtest/gtest.h>

TEST(EoraScript, SplitsStatementsAndTriggerBlocks)
{
    auto s = eora::split_script(
        "create table t (a varchar2(10)); -- comment; not a statement\n"
        "insert into t values ('a;b');\n"
        "create or replace trigger x before insert on t for each row\n"
        "begin\n  select s.nextval into :new.a from dual;\nend;\n/\n"
        "insert /*+ APPEND */ into \"T;\" values (1)\n/\n"
        "select 1 from dual");
    ASSERT_EQ(s.size(), 5u);
    EXPECT_EQ(s[0], "create table t (a varchar2(10))");
    EXPECT_EQ(s[1], "insert into t values ('a;b')");
    EXPECT_EQ(s[2].substr(0, 26), "create or replace trigger ");
    EXPECT_EQ(s[2].substr(s[2].size() - 4), "end;");
    EXPECT_EQ(s[3], "insert /*+ APPEND */ into \"T;\" values (1)");
    EXPECT_EQ(s[4], "select 1 from dual");
}
