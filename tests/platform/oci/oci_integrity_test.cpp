// Foreign keys and the indexes of keys, enforced with Oracle's numbers and texts.
#include "tests/platform/oci/oci_fixture.h"

using namespace oci_test;

namespace {

class IntegrityTest : public OciTest {
protected:
    void SetUp() override
    {
        OciTest::SetUp();
        exec("CREATE TABLE \"P\" (\"ID\" NUMBER(5), \"K2\" VARCHAR2(5), \"NAME\" VARCHAR2(10))");
        exec("ALTER TABLE \"P\" ADD CONSTRAINT \"P_PK\" PRIMARY KEY (\"ID\")");
        exec("ALTER TABLE \"P\" ADD CONSTRAINT \"P_U\" UNIQUE (\"ID\", \"K2\")");
        exec("INSERT INTO \"P\" VALUES(1, 'a', 'one')");
        exec("INSERT INTO \"P\" VALUES(2, 'b', 'two')");
        exec("CREATE TABLE \"C\" (\"ID\" NUMBER(5), \"PID\" NUMBER(5), \"PK2\" VARCHAR2(5))");
    }
    std::string count(const std::string& table) { return c.rows("SELECT COUNT(*) FROM \"" + table + "\"")[0][0]; }
};

} // namespace

TEST_F(IntegrityTest, ChildRowsNeedAParent)
{
    exec("ALTER TABLE \"C\" ADD CONSTRAINT \"C_P\" FOREIGN KEY (\"PID\") REFERENCES \"P\" (\"ID\")");
    ASSERT_EQ(c.run("INSERT INTO \"C\" VALUES(10, 1, NULL)"), 0) << c.error();
    EXPECT_EQ(c.run("INSERT INTO \"C\" VALUES(11, 3, NULL)"), 2291);
    EXPECT_EQ(c.error(), "ORA-02291: integrity constraint (SYSTEM.C_P) violated - parent key not found");
    // NULL references nothing and is not checked.
    ASSERT_EQ(c.run("INSERT INTO \"C\" VALUES(12, NULL, NULL)"), 0) << c.error();
    EXPECT_EQ(c.run("UPDATE \"C\" SET \"PID\" = 7 WHERE \"ID\" = 10"), 2291);
    ASSERT_EQ(c.run("UPDATE \"C\" SET \"PID\" = 2 WHERE \"ID\" = 10"), 0) << c.error();
    // A refused statement is undone whole; the transaction keeps what came before it.
    auto r = c.rows("SELECT \"ID\", \"PID\" FROM \"C\" ORDER BY \"ID\"");
    ASSERT_EQ(r.size(), 2u);
    EXPECT_EQ(r[0][1], "2");
    EXPECT_EQ(r[1][1], "<null>");
}

TEST_F(IntegrityTest, ParentsWithChildrenStay)
{
    exec("ALTER TABLE \"C\" ADD CONSTRAINT \"C_P\" FOREIGN KEY (\"PID\") REFERENCES \"P\" (\"ID\")");
    exec("INSERT INTO \"C\" VALUES(10, 1, NULL)");
    EXPECT_EQ(c.run("DELETE FROM \"P\" WHERE \"ID\" = 1"), 2292);
    EXPECT_EQ(c.error(), "ORA-02292: integrity constraint (SYSTEM.C_P) violated - child record found");
    EXPECT_EQ(c.run("UPDATE \"P\" SET \"ID\" = 5 WHERE \"ID\" = 1"), 2292);
    // A refused statement is undone whole, also the rows it had already deleted.
    exec("INSERT INTO \"P\" VALUES(3, 'c', 'three')");
    exec("INSERT INTO \"C\" VALUES(11, 3, NULL)");
    EXPECT_EQ(c.run("DELETE FROM \"P\" WHERE \"ID\" >= 2"), 2292);
    EXPECT_EQ(count("P"), "3");
    // A key set to itself changes nothing; a parent without children goes.
    ASSERT_EQ(c.run("UPDATE \"P\" SET \"ID\" = 1, \"NAME\" = 'uno' WHERE \"ID\" = 1"), 0) << c.error();
    ASSERT_EQ(c.run("DELETE FROM \"P\" WHERE \"ID\" = 2"), 0) << c.error();
    EXPECT_EQ(count("P"), "2");
    ASSERT_EQ(c.run("DELETE FROM \"C\""), 0) << c.error();
    ASSERT_EQ(c.run("DELETE FROM \"P\""), 0) << c.error();
}

TEST_F(IntegrityTest, CompositeKeysAreCheckedOnlyWhenWhole)
{
    exec("ALTER TABLE \"C\" ADD CONSTRAINT \"C_PU\" FOREIGN KEY (\"PID\", \"PK2\") REFERENCES \"P\" (\"ID\", \"K2\")");
    ASSERT_EQ(c.run("INSERT INTO \"C\" VALUES(10, 1, 'a')"), 0) << c.error();
    EXPECT_EQ(c.run("INSERT INTO \"C\" VALUES(11, 1, 'b')"), 2291);
    EXPECT_EQ(c.error(), "ORA-02291: integrity constraint (SYSTEM.C_PU) violated - parent key not found");
    // Oracle checks a composite key only when none of its columns is NULL.
    ASSERT_EQ(c.run("INSERT INTO \"C\" VALUES(12, 9, NULL)"), 0) << c.error();
    ASSERT_EQ(c.run("INSERT INTO \"C\" VALUES(13, NULL, 'z')"), 0) << c.error();
    EXPECT_EQ(c.run("UPDATE \"P\" SET \"K2\" = 'x' WHERE \"ID\" = 1"), 2292);
}

TEST_F(IntegrityTest, DeleteRulesCascadeOrSetNull)
{
    exec("ALTER TABLE \"C\" ADD CONSTRAINT \"C_P\" FOREIGN KEY (\"PID\") REFERENCES \"P\" (\"ID\") ON DELETE CASCADE");
    exec("CREATE TABLE \"G\" (\"ID\" NUMBER(5), \"CID\" NUMBER(5))");
    exec("ALTER TABLE \"C\" ADD CONSTRAINT \"C_PK\" PRIMARY KEY (\"ID\")");
    exec("ALTER TABLE \"G\" ADD CONSTRAINT \"G_C\" FOREIGN KEY (\"CID\") REFERENCES \"C\" (\"ID\") ON DELETE SET NULL");
    exec("INSERT INTO \"C\" VALUES(10, 1, NULL)");
    exec("INSERT INTO \"C\" VALUES(11, 1, NULL)");
    exec("INSERT INTO \"C\" VALUES(20, 2, NULL)");
    exec("INSERT INTO \"G\" VALUES(100, 10)");
    exec("INSERT INTO \"G\" VALUES(200, 20)");
    ASSERT_EQ(c.run("DELETE FROM \"P\" WHERE \"ID\" = 1"), 0) << c.error();
    auto r = c.rows("SELECT \"ID\" FROM \"C\"");
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(r[0][0], "20");
    r = c.rows("SELECT \"ID\", \"CID\" FROM \"G\" ORDER BY \"ID\"");
    ASSERT_EQ(r.size(), 2u);
    EXPECT_EQ(r[0][1], "<null>");
    EXPECT_EQ(r[1][1], "20");
}

TEST_F(IntegrityTest, DroppedTablesTakeTheirChecksAlong)
{
    exec("ALTER TABLE \"C\" ADD CONSTRAINT \"C_P\" FOREIGN KEY (\"PID\") REFERENCES \"P\" (\"ID\")");
    exec("INSERT INTO \"C\" VALUES(10, 1, NULL)");
    exec("COMMIT");
    // The child goes: its parent's rows are free again.
    ASSERT_EQ(c.run("DROP TABLE \"C\""), 0) << c.error();
    ASSERT_EQ(c.run("DELETE FROM \"P\" WHERE \"ID\" = 1"), 0) << c.error();
    // The parent goes with CASCADE CONSTRAINTS: the child's rows are free.
    exec("CREATE TABLE \"C\" (\"ID\" NUMBER(5), \"PID\" NUMBER(5), \"PK2\" VARCHAR2(5))");
    exec("ALTER TABLE \"C\" ADD CONSTRAINT \"C_P\" FOREIGN KEY (\"PID\") REFERENCES \"P\" (\"ID\")");
    EXPECT_EQ(c.run("DROP TABLE \"P\""), 2449);
    ASSERT_EQ(c.run("DROP TABLE \"P\" CASCADE CONSTRAINTS"), 0) << c.error();
    ASSERT_EQ(c.run("INSERT INTO \"C\" VALUES(1, 99, NULL)"), 0) << c.error();
}

TEST_F(IntegrityTest, KeyIndexesCannotBeDropped)
{
    EXPECT_EQ(c.run("DROP INDEX \"P_PK\""), 2429);
    EXPECT_EQ(c.error(), "ORA-02429: cannot drop index used for enforcement of unique/primary key");
    EXPECT_EQ(c.run("DROP INDEX \"P_U\""), 2429);
    // The key still holds.
    EXPECT_EQ(c.run("INSERT INTO \"P\" VALUES(1, 'q', 'dup')"), 1);
    exec("CREATE INDEX \"P_NAME\" ON \"P\" (\"NAME\")");
    ASSERT_EQ(c.run("DROP INDEX \"P_NAME\""), 0) << c.error();
}

TEST_F(IntegrityTest, RowsOfOneTableReferEachOther)
{
    exec("CREATE TABLE \"E\" (\"ID\" NUMBER(5), \"BOSS\" NUMBER(5))");
    exec("ALTER TABLE \"E\" ADD CONSTRAINT \"E_PK\" PRIMARY KEY (\"ID\")");
    exec(
        "ALTER TABLE \"E\" ADD CONSTRAINT \"E_BOSS\" FOREIGN KEY (\"BOSS\") REFERENCES \"E\" (\"ID\") ON DELETE "
        "CASCADE");
    // A row may be its own parent.
    ASSERT_EQ(c.run("INSERT INTO \"E\" VALUES(1, 1)"), 0) << c.error();
    exec("INSERT INTO \"E\" VALUES(2, 1)");
    exec("INSERT INTO \"E\" VALUES(3, 2)");
    exec("INSERT INTO \"E\" VALUES(4, 3)");
    exec("INSERT INTO \"E\" VALUES(5, NULL)");
    EXPECT_EQ(c.run("INSERT INTO \"E\" VALUES(6, 9)"), 2291);
    EXPECT_EQ(c.error(), "ORA-02291: integrity constraint (SYSTEM.E_BOSS) violated - parent key not found");
    // The cascade goes down every generation.
    ASSERT_EQ(c.run("DELETE FROM \"E\" WHERE \"ID\" = 2"), 0) << c.error();
    auto r = c.rows("SELECT \"ID\" FROM \"E\" ORDER BY \"ID\"");
    ASSERT_EQ(r.size(), 2u);
    EXPECT_EQ(r[0][0], "1");
    EXPECT_EQ(r[1][0], "5");
}

TEST_F(IntegrityTest, TruncateKeepsTheReferencesWhole)
{
    exec("ALTER TABLE \"C\" ADD CONSTRAINT \"C_P\" FOREIGN KEY (\"PID\") REFERENCES \"P\" (\"ID\") ON DELETE CASCADE");
    exec("INSERT INTO \"C\" VALUES(10, 1, NULL)");
    exec("COMMIT");
    // Refused even for a rule that cascades: TRUNCATE deletes no children.
    EXPECT_EQ(c.run("TRUNCATE TABLE \"P\""), 2266);
    EXPECT_EQ(c.error(), "ORA-02266: unique/primary keys in table referenced by enabled foreign keys");
    EXPECT_EQ(count("P"), "2");
    EXPECT_EQ(count("C"), "1");
    ASSERT_EQ(c.run("TRUNCATE TABLE \"C\""), 0) << c.error();
    EXPECT_EQ(c.run("TRUNCATE TABLE \"P\""), 2266);
    // A table whose key only its own rows reference empties, and keeps checking afterwards.
    exec("CREATE TABLE \"E\" (\"ID\" NUMBER(5), \"BOSS\" NUMBER(5))");
    exec("ALTER TABLE \"E\" ADD CONSTRAINT \"E_PK\" PRIMARY KEY (\"ID\")");
    exec("ALTER TABLE \"E\" ADD CONSTRAINT \"E_BOSS\" FOREIGN KEY (\"BOSS\") REFERENCES \"E\" (\"ID\")");
    exec("INSERT INTO \"E\" VALUES(1, NULL)");
    exec("INSERT INTO \"E\" VALUES(2, 1)");
    exec("UPDATE \"E\" SET \"BOSS\" = 2 WHERE \"ID\" = 1");
    ASSERT_EQ(c.run("TRUNCATE TABLE \"E\""), 0) << c.error();
    EXPECT_EQ(count("E"), "0");
    EXPECT_EQ(c.run("INSERT INTO \"E\" VALUES(3, 4)"), 2291);
}
