// The statements a conversion run sends, in order, with the answers it reads.
#include "tests/platform/oci/oci_fixture.h"

using namespace oci_test;

namespace {

const char* kTable = "\"APP\".\"ORDERS\"";

class ShapesTest : public OciTest {
protected:
    void SetUp() override
    {
        OciTest::SetUp();
        exec("CREATE USER \"APP\" identified externally");
        exec("ALTER USER \"APP\" quota unlimited on \"USERS\"");
        exec(
            std::string("CREATE TABLE ") + kTable +
            " (\"ID\" NUMBER(10,0) NOT NULL, \"CODE\" VARCHAR2(20) DEFAULT 'it''s' , \"QTY\" NUMBER DEFAULT 0 NOT NULL,"
            " \"NOTE\" CLOB, \"PIC\" BLOB, \"AT\" TIMESTAMP(3))");
    }
};

} // namespace

TEST_F(ShapesTest, CatalogReadsBeforeTheRun)
{
    int ora = -1;
    c.rows("select VIEW_NAME, TEXT from SYS.USER_VIEWS", &ora);
    EXPECT_EQ(ora, 0) << c.error();
    c.rows(
        "SELECT a.constraint_name FROM user_cons_columns a, user_constraints b WHERE "
        "a.constraint_name=b.constraint_name AND b.constraint_type='P'",
        &ora);
    EXPECT_EQ(ora, 0) << c.error();
    c.rows("select index_name FROM user_indexes", &ora);
    EXPECT_EQ(ora, 0) << c.error();
    auto v = c.rows("select * from v$version", &ora);
    ASSERT_EQ(ora, 0) << c.error();
    ASSERT_FALSE(v.empty());
    EXPECT_NE(v[0][0].find("11.2.0.4.0"), std::string::npos);
    auto t = c.rows(
        "select OWNER, TABLE_NAME, IOT_TYPE from all_tables where TEMPORARY='N' and NESTED='NO' and IOT_TYPE IS NULL "
        "OR IOT_TYPE='IOT'",
        &ora);
    ASSERT_EQ(ora, 0) << c.error();
    ASSERT_EQ(t.size(), 1u);
    EXPECT_EQ(t[0][0], "APP");
    EXPECT_EQ(t[0][1], "ORDERS");
    EXPECT_EQ(t[0][2], "<null>");
}

TEST_F(ShapesTest, ExistingUserAndDroppedTable)
{
    EXPECT_EQ(c.run("CREATE USER \"APP\" identified externally"), 1920);
    exec(std::string("DROP TABLE ") + kTable + " CASCADE CONSTRAINTS");
    EXPECT_EQ(c.run(std::string("DROP TABLE ") + kTable + " CASCADE CONSTRAINTS"), 942);
    EXPECT_EQ(c.run("CREATE TABLE \"NOBODY\".\"T\" (\"A\" NUMBER)"), 1918);
}

TEST_F(ShapesTest, SequenceTriggerAndKeys)
{
    exec("CREATE SEQUENCE \"ORDERS_SEQ\" INCREMENT BY 1 START WITH 1 MAXVALUE 1.0E28 MINVALUE 1 NOCYCLE NOCACHE ORDER");
    EXPECT_EQ(c.run("CREATE SEQUENCE \"ORDERS_SEQ\" INCREMENT BY 1 START WITH 1 MAXVALUE 1.0E28 MINVALUE 1 NOCYCLE "
                    "NOCACHE ORDER"),
              955);
    exec(
        std::string("CREATE OR REPLACE TRIGGER \"ORDERS_TRG\" BEFORE INSERT ON ") + kTable +
        " FOR EACH ROW WHEN (new.\"ID\" IS NULL) BEGIN select \"ORDERS_SEQ\".nextval into :new.\"ID\" from dual; END;");
    exec(std::string("ALTER TABLE ") + kTable + " ADD CONSTRAINT \"ORDERS_PK\" PRIMARY KEY (\"ID\")");
    EXPECT_EQ(c.run(std::string("ALTER TABLE ") + kTable + " ADD CONSTRAINT \"ORDERS_PK2\" PRIMARY KEY (\"ID\")"),
              2260);
    exec(std::string("CREATE UNIQUE INDEX \"ORDERS_UX\" ON ") + kTable +
         " (CASE WHEN \"CODE\" IS NOT NULL AND \"QTY\" IS NOT NULL THEN \"CODE\" || ',' || \"QTY\" END)");
    exec(std::string("CREATE INDEX \"ORDERS_IX\" ON ") + kTable + " (\"CODE\",\"QTY\")");
    EXPECT_EQ(c.run(std::string("CREATE INDEX \"ORDERS_IX2\" ON ") + kTable + " (\"CODE\",\"QTY\")"), 1408);
    EXPECT_EQ(c.run(std::string("CREATE INDEX \"ORDERS_IX\" ON ") + kTable + " (\"QTY\")"), 955);

    // Identity from the trigger, then the unique expression index.
    exec(std::string("INSERT /*+ APPEND */ INTO ") + kTable + " (\"CODE\", \"QTY\") VALUES('a', 1)");
    exec(std::string("INSERT /*+ APPEND */ INTO ") + kTable + " (\"ID\", \"CODE\", \"QTY\") VALUES(NULL, 'b', 1)");
    EXPECT_EQ(c.run(std::string("INSERT INTO ") + kTable + " (\"CODE\", \"QTY\") VALUES('a', 1)"), 1);
    EXPECT_NE(c.error().find("(SYSTEM.ORDERS_UX)"), std::string::npos) << c.error();
    EXPECT_EQ(c.run(std::string("INSERT INTO ") + kTable + " (\"ID\", \"CODE\", \"QTY\") VALUES(2, 'c', 1)"), 1);
    EXPECT_NE(c.error().find("(APP.ORDERS_PK)"), std::string::npos) << c.error();
    auto ids = c.rows(std::string("SELECT \"ID\", \"CODE\" FROM ") + kTable + " ORDER BY 1");
    ASSERT_EQ(ids.size(), 2u);
    EXPECT_EQ(ids[0][0], "1");
    EXPECT_EQ(ids[1][0], "2");

    // Read-back of the keys and indexes.
    const std::string cond = "concat(owner,concat('.',table_name)) = 'APP.ORDERS'";
    auto n = c.rows("SELECT COUNT(*) FROM ALL_TAB_COLUMNS WHERE " + cond);
    ASSERT_EQ(n.size(), 1u);
    EXPECT_EQ(n[0][0], "6");
    auto cols = c.rows("SELECT COLUMN_NAME, DATA_TYPE FROM ALL_TAB_COLUMNS WHERE " + cond);
    ASSERT_EQ(cols.size(), 6u);
    EXPECT_EQ(cols[5][1], "TIMESTAMP(3)");
    auto defs = c.rows("select COLUMN_NAME, DATA_DEFAULT, DATA_TYPE from ALL_TAB_COLUMNS where " + cond);
    ASSERT_EQ(defs.size(), 6u);
    EXPECT_EQ(defs[1][1], "'it''s' ");
    EXPECT_EQ(defs[2][1], "0 ");
    int ora = -1;
    c.rows("select COLUMN_NAME, COMMENTS from USER_COL_COMMENTS where table_name = 'APP.ORDERS'", &ora);
    EXPECT_EQ(ora, 0);
    auto pk = c.rows(
        "SELECT count(*) FROM all_constraints WHERE concat(concat(owner,'.'),table_name)='APP.ORDERS' AND "
        "constraint_type='P'");
    EXPECT_EQ(pk[0][0], "1");
    auto pkc = c.rows(
        "SELECT DISTINCT a.constraint_name, a.column_name FROM all_cons_columns a, all_constraints b WHERE "
        "concat(concat(a.owner,'.'),a.table_name)='APP.ORDERS' AND a.constraint_name=b.constraint_name AND "
        "b.constraint_type='P' ORDER BY a.constraint_name");
    ASSERT_EQ(pkc.size(), 1u);
    EXPECT_EQ(pkc[0][0], "ORDERS_PK");
    EXPECT_EQ(pkc[0][1], "ID");
    auto ix = c.rows(
        "SELECT DISTINCT all_indexes.index_name, all_indexes.uniqueness, all_ind_columns.column_name FROM "
        "all_ind_columns, all_indexes where concat(all_ind_columns.table_owner,concat('.',all_ind_columns.table_name)) "
        "= "
        "'APP.ORDERS' AND all_indexes.generated='N' AND all_ind_columns.index_name = all_indexes.index_name AND "
        "all_ind_columns.table_name = all_indexes.table_name ORDER BY all_indexes.index_name",
        &ora);
    ASSERT_EQ(ora, 0) << c.error();
    ASSERT_EQ(ix.size(), 4u);
    EXPECT_EQ(ix[0][0], "ORDERS_IX");
    EXPECT_EQ(ix[0][1], "NONUNIQUE");
    EXPECT_EQ(ix[2][0], "ORDERS_PK");
    EXPECT_EQ(ix[2][1], "UNIQUE");
    EXPECT_EQ(ix[3][0], "ORDERS_UX");
    EXPECT_EQ(ix[3][2].rfind("SYS_NC", 0), 0u);
    auto fk =
        c.rows("select count(*) from ALL_CONSTRAINTS where R_CONSTRAINT_NAME='ORDERS_PK' and CONSTRAINT_TYPE='R'");
    EXPECT_EQ(fk[0][0], "0");
    c.rows(
        "select concat(concat(a.OWNER,'.'),a.TABLE_NAME),a.CONSTRAINT_NAME,a.DELETE_RULE,b.COLUMN_NAME FROM "
        "ALL_CONSTRAINTS a, "
        "ALL_CONS_COLUMNS b WHERE a.CONSTRAINT_NAME=b.CONSTRAINT_NAME and a.CONSTRAINT_TYPE='R' and "
        "a.R_CONSTRAINT_NAME='ORDERS_PK'",
        &ora);
    EXPECT_EQ(ora, 0) << c.error();
    auto cnt = c.rows(std::string("SELECT COUNT(*) FROM ") + kTable);
    EXPECT_EQ(cnt[0][0], "2");
    auto cntq = c.rows(std::string("SELECT COUNT(*) FROM (SELECT \"ID\" FROM ") + kTable + " WHERE \"ID\" > 1)");
    EXPECT_EQ(cntq[0][0], "1");
}

TEST_F(ShapesTest, TriggerWithoutSequenceCompilesWithErrors)
{
    OCIStmt* st = nullptr;
    OCIHandleAlloc(c.env, reinterpret_cast<void**>(&st), OCI_HTYPE_STMT, 0, nullptr);
    std::u16string t =
        u16(std::string("CREATE OR REPLACE TRIGGER \"T_TRG\" BEFORE INSERT ON ") + kTable +
            " FOR EACH ROW WHEN (new.\"ID\" IS NULL) BEGIN select \"NO_SEQ\".nextval into :new.\"ID\" from dual; END;");
    OCIStmtPrepare(st, c.err, reinterpret_cast<const OraText*>(t.data()), static_cast<ub4>(t.size() * 2),
                   OCI_NTV_SYNTAX, OCI_DEFAULT);
    EXPECT_EQ(OCIStmtExecute(c.svc, st, c.err, 1, 0, nullptr, nullptr, OCI_DEFAULT), OCI_SUCCESS_WITH_INFO);
    EXPECT_EQ(c.error_code(), 24344);
    OCIHandleFree(st, OCI_HTYPE_STMT);
    EXPECT_EQ(c.run(std::string("INSERT INTO ") + kTable + " (\"CODE\") VALUES('x')"), 4098);
    EXPECT_EQ(c.error(), "ORA-04098: trigger 'SYSTEM.T_TRG' is invalid and failed re-validation");
}

TEST_F(ShapesTest, ModifyToNullable)
{
    exec(std::string("ALTER TABLE ") + kTable + " MODIFY \"QTY\" NUMBER DEFAULT 0 NULL");
    EXPECT_EQ(c.run(std::string("ALTER TABLE ") + kTable + " MODIFY \"QTY\" NULL", OCI_COMMIT_ON_SUCCESS), 1451);
    exec(std::string("INSERT INTO ") + kTable + " (\"ID\", \"QTY\") VALUES(1, NULL)");
    EXPECT_EQ(c.run(std::string("ALTER TABLE ") + kTable + " MODIFY \"QTY\" NOT NULL"), 2296);
}

TEST_F(ShapesTest, UnusedPathsParse)
{
    exec("CREATE TABLE \"APP\".\"PARENT\" (\"A\" NUMBER NOT NULL, \"B\" NUMBER NOT NULL)");
    EXPECT_EQ(c.run("ALTER TABLE \"APP\".\"ORDERS\" ADD FOREIGN KEY (\"ID\", \"QTY\") REFERENCES \"APP\".\"PARENT\" "
                    "(\"A\", \"B\")"),
              2270);
    exec("ALTER TABLE \"APP\".\"PARENT\" ADD CONSTRAINT \"PARENT_UI\" UNIQUE(\"A\", \"B\")");
    exec("INSERT INTO \"APP\".\"ORDERS\" (\"ID\", \"QTY\") VALUES(5, 6)");
    EXPECT_EQ(c.run("ALTER TABLE \"APP\".\"ORDERS\" ADD FOREIGN KEY (\"ID\", \"QTY\") REFERENCES \"APP\".\"PARENT\" "
                    "(\"A\", \"B\") ON DELETE CASCADE"),
              2298);
    exec("INSERT INTO \"APP\".\"PARENT\" (\"A\", \"B\") VALUES(5, 6)");
    exec(
        "ALTER TABLE \"APP\".\"ORDERS\" ADD FOREIGN KEY (\"ID\", \"QTY\") REFERENCES \"APP\".\"PARENT\" (\"A\", \"B\") "
        "ON DELETE CASCADE");
    auto fk = c.rows("select a.DELETE_RULE, a.R_CONSTRAINT_NAME from ALL_CONSTRAINTS a where a.CONSTRAINT_TYPE='R'");
    ASSERT_EQ(fk.size(), 1u);
    EXPECT_EQ(fk[0][0], "CASCADE");
    EXPECT_EQ(fk[0][1], "PARENT_UI");
    exec("CREATE OR REPLACE VIEW \"APP\".\"V1\" AS SELECT \"ID\", \"QTY\" FROM \"APP\".\"ORDERS\"");
    auto views = c.rows("select VIEW_NAME, TEXT from ALL_VIEWS");
    ASSERT_EQ(views.size(), 1u);
    EXPECT_EQ(views[0][1], "SELECT \"ID\", \"QTY\" FROM \"APP\".\"ORDERS\"");
    EXPECT_EQ(c.rows("SELECT \"QTY\" FROM \"APP\".\"V1\"")[0][0], "6");
    exec("UPDATE \"APP\".\"ORDERS\" SET \"CODE\"='z', \"QTY\"=6 WHERE \"ID\"=5 AND \"QTY\"=6");
    EXPECT_EQ(c.rows("SELECT \"CODE\" FROM \"APP\".\"ORDERS\" WHERE \"ID\"=5")[0][0], "z");
    // Dropping the parent takes the foreign key with it.
    EXPECT_EQ(c.run("DROP TABLE \"APP\".\"PARENT\""), 2449);
    exec("DROP TABLE \"APP\".\"PARENT\" CASCADE CONSTRAINTS");
    EXPECT_TRUE(c.rows("select CONSTRAINT_NAME from ALL_CONSTRAINTS where CONSTRAINT_TYPE='R'").empty());
}
