#include "tests/platform/oci/oci_fixture.h"

#include <unistd.h>

using namespace oci_test;

TEST_F(OciTest, CreateInsertSelect)
{
    exec("CREATE USER \"APP\" identified externally");
    exec("ALTER USER \"APP\" quota unlimited on \"USERS\"");
    exec(
        "CREATE TABLE \"APP\".\"T1\" (\"ID\" NUMBER(10,0) NOT NULL, \"NAME\" VARCHAR2(10) DEFAULT 'x' , \"AMT\" "
        "NUMBER(8,2), \"D\" DATE)");
    exec(
        "INSERT /*+ APPEND */ INTO \"APP\".\"T1\" (\"ID\", \"NAME\", \"AMT\", \"D\") VALUES(1, 'it''s', 12.345, "
        "to_date('2020-02-29 13:14:15', 'YYYY-MM-DD HH24:MI:SS'))");
    auto rows = c.rows("SELECT * FROM \"APP\".\"T1\"");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0][0], "1");
    EXPECT_EQ(rows[0][1], "it's");
    EXPECT_EQ(rows[0][2], "12.35");
    EXPECT_EQ(rows[0][3], "2020-02-29 13:14:15");
}
