// Oracle's rules that decide whether data survives, each with its ORA number.
#include "tests/platform/oci/oci_fixture.h"

using namespace oci_test;

namespace {

class RulesTest : public OciTest {
protected:
    void SetUp() override
    {
        OciTest::SetUp();
        exec(
            "CREATE TABLE \"R\" (\"V\" VARCHAR2(5), \"NV\" NVARCHAR2(3), \"C\" CHAR(4), \"N\" NUMBER(5,2), "
            "\"I\" NUMBER(3), \"NN\" VARCHAR2(10) NOT NULL, \"D\" DATE, \"T\" TIMESTAMP(2), \"RW\" RAW(2), \"ANY\" "
            "NUMBER)");
    }
    int insert(const std::string& cols, const std::string& vals)
    {
        return c.run("INSERT INTO \"R\" (\"NN\", " + cols + ") VALUES('x', " + vals + ")");
    }
    std::string one(const std::string& col)
    {
        auto r = c.rows("SELECT " + col + " FROM \"R\"");
        return r.size() == 1 ? r[0][0] : "<" + std::to_string(r.size()) + " rows>";
    }
};

} // namespace

TEST_F(RulesTest, EmptyStringIsNull)
{
    EXPECT_EQ(c.run("INSERT INTO \"R\" (\"NN\") VALUES('')"), 1400);
    EXPECT_EQ(c.error(), "ORA-01400: cannot insert NULL into (\"SYSTEM\".\"R\".\"NN\")");
    ASSERT_EQ(insert("\"V\"", "''"), 0);
    EXPECT_EQ(one("\"V\""), "<null>");
    EXPECT_TRUE(c.rows("SELECT \"NN\" FROM \"R\" WHERE \"V\" = ''").empty());
}

TEST_F(RulesTest, TextLengths)
{
    EXPECT_EQ(insert("\"V\"", "'abcdef'"), 12899);
    EXPECT_EQ(c.error(), "ORA-12899: value too large for column \"SYSTEM\".\"R\".\"V\" (actual: 6, maximum: 5)");
    // Byte semantics for VARCHAR2, characters for NVARCHAR2.
    EXPECT_EQ(insert("\"V\"", "'\xc3\xa9\xc3\xa9\xc3\xa9'"), 12899);
    ASSERT_EQ(insert("\"NV\"", "'\xc3\xa9\xc3\xa9\xc3\xa9'"), 0) << c.error();
    EXPECT_EQ(insert("\"NV\"", "'abcd'"), 12899);
    ASSERT_EQ(c.run("DELETE FROM \"R\""), 0);
    ASSERT_EQ(insert("\"C\"", "'ab'"), 0);
    EXPECT_EQ(one("\"C\""), "ab  ");
    EXPECT_EQ(c.run("INSERT INTO \"R\" (\"NN\") VALUES('" + std::string(4001, 'a') + "')"), 1704);
}

TEST_F(RulesTest, NumberPrecisionAndScale)
{
    ASSERT_EQ(insert("\"N\", \"I\", \"ANY\"", "123.456, 12.5, 0.5"), 0) << c.error();
    EXPECT_EQ(one("\"N\""), "123.46");
    EXPECT_EQ(one("\"I\""), "13");
    EXPECT_EQ(one("\"ANY\""), ".5");
    ASSERT_EQ(c.run("DELETE FROM \"R\""), 0);
    EXPECT_EQ(insert("\"N\"", "1000"), 1438);
    EXPECT_EQ(c.error(), "ORA-01438: value larger than specified precision allowed for this column");
    EXPECT_EQ(insert("\"I\"", "-999.5"), 1438);
    EXPECT_EQ(insert("\"ANY\"", "1e126"), 1426);
    EXPECT_EQ(insert("\"ANY\"", "'12a'"), 1722);
    ASSERT_EQ(insert("\"ANY\"", "-1.5E-3"), 0);
    EXPECT_EQ(one("\"ANY\""), "-.0015");
    ASSERT_EQ(c.run("DELETE FROM \"R\""), 0);
    // Exact decimals, never through binary floating point.
    ASSERT_EQ(insert("\"ANY\"", "12345678901234567890.123456789"), 0);
    EXPECT_EQ(one("\"ANY\""), "12345678901234567890.123456789");
}

TEST_F(RulesTest, DatesAndTimestamps)
{
    ASSERT_EQ(insert("\"D\", \"T\"",
                     "to_date('2001-02-03', 'YYYY-MM-DD'), to_timestamp('2001-02-03 04:05:06.789', 'YYYY-MM-DD "
                     "HH24:MI:SS.FF3')"),
              0)
        << c.error();
    EXPECT_EQ(one("\"D\""), "2001-02-03 00:00:00");
    EXPECT_EQ(one("\"T\""), "2001-02-03 04:05:06.79");
    EXPECT_EQ(insert("\"D\"", "to_date('2001-02-03 04:05:06.5', 'YYYY-MM-DD HH24:MI:SS')"), 1830);
    EXPECT_EQ(insert("\"D\"", "to_date('2001-13-03', 'YYYY-MM-DD')"), 1843);
    EXPECT_EQ(insert("\"D\"", "to_date('2001-02-30', 'YYYY-MM-DD')"), 1847);
    EXPECT_EQ(insert("\"D\"", "to_date('abc', 'YYYY')"), 1858);
    EXPECT_EQ(insert("\"D\"", "to_date('10:11:12', 'HH24-MI-SS')"), 0) << c.error();
    auto d = c.rows("SELECT \"D\" FROM \"R\" WHERE \"D\" LIKE '%10:11:12'");
    ASSERT_EQ(d.size(), 1u);
    EXPECT_EQ(d[0][0].substr(8), "01 10:11:12");
    EXPECT_EQ(insert("\"D\"", "42"), 932);
}

TEST_F(RulesTest, RawFromHex)
{
    ASSERT_EQ(insert("\"RW\"", "'00FF'"), 0);
    EXPECT_EQ(one("\"RW\""), "00FF");
    EXPECT_EQ(insert("\"RW\"", "'0G'"), 1465);
    EXPECT_EQ(insert("\"RW\"", "'001122'"), 12899);
}

TEST_F(RulesTest, IdentifiersAndNamespaces)
{
    EXPECT_EQ(c.run("CREATE TABLE \"" + std::string(31, 'A') + "\" (\"A\" NUMBER)"), 972);
    EXPECT_EQ(c.run("CREATE TABLE lower_case (col1 number)"), 0);
    EXPECT_EQ(c.rows("SELECT TABLE_NAME FROM USER_TABLES WHERE TABLE_NAME='LOWER_CASE'").size(), 1u);
    EXPECT_EQ(c.rows("SELECT COLUMN_NAME FROM USER_TAB_COLUMNS WHERE COLUMN_NAME='COL1'").size(), 1u);
    EXPECT_EQ(c.run("CREATE SEQUENCE lower_case"), 955);
    exec("CREATE TABLE \"Mixed\" (\"a\" NUMBER)");
    EXPECT_EQ(c.run("SELECT * FROM mixed"), 942);
    EXPECT_EQ(c.run("CREATE TABLE \"L2\" (\"A\" LONG, \"B\" LONG RAW)"), 1754);
    EXPECT_EQ(c.run("CREATE TABLE \"BAD\" (\"A\" WIBBLE)"), 902);
    EXPECT_EQ(c.run("CREATE TABLE \"BAD\" (\"A\" NUMBER, \"A\" NUMBER)"), 957);
    EXPECT_EQ(c.run("CREATE INDEX \"LIX\" ON \"R\" (\"NOPE\")"), 904);
    EXPECT_EQ(c.run("ALTER TABLE \"R\" ADD CONSTRAINT \"K1\" UNIQUE (\"V\")"), 0);
    EXPECT_EQ(c.run("ALTER TABLE \"R\" ADD CONSTRAINT \"K1\" UNIQUE (\"NV\")"), 2264);
    EXPECT_EQ(c.run("ALTER TABLE \"R\" ADD CONSTRAINT \"K2\" UNIQUE (\"V\")"), 2261);
}

TEST_F(RulesTest, RefusesWhatItDoesNotUnderstand)
{
    EXPECT_EQ(c.run("FROBNICATE everything"), 900);
    EXPECT_EQ(c.run("CREATE TABLE \"X\" (\"A\" NUMBER) garbage"), 933);
    EXPECT_EQ(c.run("SELECT \"NOPE\" FROM \"R\""), 904);
    EXPECT_EQ(c.error(), "ORA-00904: \"NOPE\": invalid identifier");
    EXPECT_EQ(c.run("SELECT * FROM \"MISSING\""), 942);
    EXPECT_EQ(c.error(), "ORA-00942: table or view does not exist");
    EXPECT_EQ(c.run("INSERT INTO \"R\" (\"NN\") VALUES('a'"), 907);
    EXPECT_EQ(c.run("INSERT INTO \"R\" (\"NN\", \"V\") VALUES('a')"), 947);
    EXPECT_EQ(c.run("SELECT 'abc FROM dual"), 1756);
}

TEST_F(RulesTest, InjectedErrorsHitTheNextMatchingStatement)
{
    oci_test_inject_error("DROP TABLE", 54);
    EXPECT_EQ(c.run("SELECT * FROM \"R\""), 0);
    EXPECT_EQ(c.run("DROP TABLE \"R\" CASCADE CONSTRAINTS"), 54);
    EXPECT_EQ(c.error(), "ORA-00054: resource busy and acquire with NOWAIT specified or timeout expired");
    EXPECT_EQ(c.rows("SELECT COUNT(*) FROM \"R\"").size(), 1u);
    EXPECT_EQ(c.run("DROP TABLE \"R\" CASCADE CONSTRAINTS"), 0);
    oci_test_inject_error("", 12345);
    EXPECT_EQ(c.run("SELECT * FROM dual"), 12345);
    EXPECT_EQ(c.error(), "ORA-12345: Message 12345 not found;  product=RDBMS; facility=ORA");
}

TEST_F(RulesTest, CommitsAndRollbacks)
{
    ASSERT_EQ(insert("\"V\"", "'a'"), 0);
    exec("ROLLBACK");
    EXPECT_EQ(c.rows("SELECT COUNT(*) FROM \"R\"")[0][0], "0");
    ASSERT_EQ(c.run("INSERT INTO \"R\" (\"NN\") VALUES('b')", OCI_COMMIT_ON_SUCCESS), 0);
    ASSERT_EQ(insert("\"V\"", "'c'"), 0);
    // A second session sees only committed rows.
    client other;
    ASSERT_EQ(other.connect(svc_dir.ds(), "SYSTEM", "manager"), OCI_SUCCESS) << other.error();
    EXPECT_EQ(other.rows("SELECT COUNT(*) FROM \"R\"")[0][0], "1");
    // Ending the session rolls back what was not committed.
    OCISessionEnd(c.svc, c.err, c.ses, OCI_DEFAULT);
    EXPECT_EQ(other.rows("SELECT COUNT(*) FROM \"R\"")[0][0], "1");
}

TEST(OciConnect, DataSourcesAndLogins)
{
    service_dir dir;
    {
        client c;
        EXPECT_EQ(c.connect(dir.ds(), "system", "wrong"), OCI_ERROR);
        EXPECT_EQ(c.error(), "ORA-01017: invalid username/password; logon denied");
    }
    {
        client c;
        EXPECT_EQ(c.connect("//file:" + dir.dir.string() + ":1521/NOSUCH", "system", "manager"), OCI_ERROR);
        EXPECT_EQ(c.error_code(), 12514);
    }
    {
        client c;
        EXPECT_EQ(c.connect("//db1:1521/ORCL", "system", "manager"), OCI_ERROR);
        EXPECT_EQ(c.error(), "ORA-12541: TNS:no listener");
    }
    {
        client c;
        EXPECT_EQ(c.connect("ORCL", "system", "manager"), OCI_ERROR);
        EXPECT_EQ(c.error_code(), 12154);
    }
    {
        client c;
        EXPECT_EQ(c.connect("file:" + dir.dir.string(), "system", "manager"), OCI_SUCCESS) << c.error();
    }
    {
        oci_test_inject_error("ORCL", 12500);
        client c;
        EXPECT_EQ(c.connect(dir.ds(), "system", "manager"), OCI_ERROR);
        EXPECT_EQ(c.error_code(), 12500);
    }
    EXPECT_TRUE(oci_client_present());
    oci_test_set_client_missing(true);
    EXPECT_FALSE(oci_client_present());
    oci_test_set_client_missing(false);
    EXPECT_EQ(OCIHandleAlloc(nullptr, nullptr, OCI_HTYPE_STMT, 0, nullptr), OCI_INVALID_HANDLE);
}

TEST(OciConnect, NewUsersLogOnWithCaseSensitivePasswords)
{
    service_dir dir;
    {
        client c;
        ASSERT_EQ(c.connect(dir.ds(), "system", "manager"), OCI_SUCCESS);
        EXPECT_EQ(c.run("CREATE USER app IDENTIFIED BY Secret"), 0);
        EXPECT_EQ(c.run("GRANT CREATE SESSION, CREATE TABLE TO app"), 0);
    }
    {
        client c;
        EXPECT_EQ(c.connect(dir.ds(), "app", "secret"), OCI_ERROR);
        ASSERT_EQ(c.connect(dir.ds(), "app", "Secret"), OCI_SUCCESS) << c.error();
        EXPECT_EQ(c.run("CREATE TABLE t (c NUMBER)"), 0);
        EXPECT_EQ(c.rows("SELECT TABLE_NAME FROM USER_TABLES")[0][0], "T");
    }
}

// Nested CONCATs are read as one flat concatenation: the same text in every
// nesting, NULL counting as empty, also in the dictionary lookups by
// "owner.table" that use the dictionary's name indexes.
TEST_F(RulesTest, NestedConcatKeepsItsText)
{
    auto one_value = [&](const std::string& expr) {
        auto r = c.rows("SELECT " + expr + " FROM DUAL");
        return r.size() == 1 ? r[0][0] : "<" + std::to_string(r.size()) + " rows>";
    };
    EXPECT_EQ(one_value("concat('a', concat('b', 'c'))"), "abc");
    EXPECT_EQ(one_value("concat(concat('a', 'b'), 'c')"), "abc");
    EXPECT_EQ(one_value("concat(concat('a', NULL), concat(NULL, 'd'))"), "ad");
    EXPECT_EQ(one_value("upper(concat(concat('x', 'y'), lower(concat('Z', concat('W', 'v')))))"), "XYZWV");
    EXPECT_EQ(one_value("concat(concat(1, 2), 3)"), "123");
    EXPECT_EQ(one_value("concat(NULL, concat(NULL, NULL))"), "<null>");

    exec("CREATE TABLE \"S\" (\"A\" NUMBER)");
    for (const char* cond :
         {"concat(owner,concat('.',table_name)) = 'SYSTEM.S'", "concat(concat(owner,'.'),table_name) = 'SYSTEM.S'",
          "concat(concat(t.owner,'.'),t.table_name) = 'SYSTEM.S'"}) {
        auto r = c.rows(std::string("SELECT t.table_name, t.column_name FROM all_tab_columns t WHERE ") + cond);
        ASSERT_EQ(r.size(), 1u) << cond;
        EXPECT_EQ(r[0][0], "S");
        EXPECT_EQ(r[0][1], "A");
    }
    EXPECT_TRUE(c.rows("SELECT 1 FROM all_tab_columns WHERE concat(owner,concat('.',table_name)) = 'SYSTEMS'").empty());
}

TEST_F(RulesTest, CompositeUniqueKeysWithNulls)
{
    exec("CREATE TABLE \"K\" (\"A\" NUMBER, \"B\" NUMBER, \"C\" VARCHAR2(5))");
    exec("ALTER TABLE \"K\" ADD CONSTRAINT \"K_AB\" UNIQUE (\"A\", \"B\")");
    // Rows whose key is NULL throughout never collide.
    ASSERT_EQ(c.run("INSERT INTO \"K\" VALUES(NULL, NULL, 'a')"), 0) << c.error();
    ASSERT_EQ(c.run("INSERT INTO \"K\" VALUES(NULL, NULL, 'b')"), 0) << c.error();
    // Partly NULL keys collide when their other columns are equal.
    ASSERT_EQ(c.run("INSERT INTO \"K\" VALUES(1, NULL, 'c')"), 0) << c.error();
    EXPECT_EQ(c.run("INSERT INTO \"K\" VALUES(1, NULL, 'd')"), 1);
    EXPECT_EQ(c.error(), "ORA-00001: unique constraint (SYSTEM.K_AB) violated");
    ASSERT_EQ(c.run("INSERT INTO \"K\" VALUES(NULL, 1, 'e')"), 0) << c.error();
    EXPECT_EQ(c.run("INSERT INTO \"K\" VALUES(NULL, 1, 'f')"), 1);
    ASSERT_EQ(c.run("INSERT INTO \"K\" VALUES(1, 2, 'g')"), 0) << c.error();
    ASSERT_EQ(c.run("INSERT INTO \"K\" VALUES(2, NULL, 'h')"), 0) << c.error();
    EXPECT_EQ(c.run("INSERT INTO \"K\" VALUES(1, 2, 'i')"), 1);
    EXPECT_EQ(c.run("UPDATE \"K\" SET \"A\" = 1 WHERE \"C\" = 'h'"), 1);
    auto rows = c.rows("SELECT \"C\" FROM \"K\" ORDER BY \"C\"");
    ASSERT_EQ(rows.size(), 6u);
    EXPECT_EQ(rows[5][0], "h");

    // The same rule when the key is built over rows already there.
    exec("CREATE TABLE \"K2\" (\"A\" NUMBER, \"B\" NUMBER)");
    exec("INSERT INTO \"K2\" VALUES(NULL, NULL)");
    exec("INSERT INTO \"K2\" VALUES(NULL, NULL)");
    exec("INSERT INTO \"K2\" VALUES(1, NULL)");
    exec("INSERT INTO \"K2\" VALUES(1, NULL)");
    EXPECT_EQ(c.run("CREATE UNIQUE INDEX \"K2_AB\" ON \"K2\" (\"A\", \"B\")"), 1452);
    EXPECT_EQ(c.error(), "ORA-01452: cannot CREATE UNIQUE INDEX; duplicate keys found");
    EXPECT_EQ(c.run("ALTER TABLE \"K2\" ADD CONSTRAINT \"K2_U\" UNIQUE (\"A\", \"B\")"), 2299);
    exec("DELETE FROM \"K2\" WHERE \"A\" = 1");
    ASSERT_EQ(c.run("CREATE UNIQUE INDEX \"K2_AB\" ON \"K2\" (\"A\", \"B\")"), 0) << c.error();
    ASSERT_EQ(c.run("DROP INDEX \"K2_AB\""), 0) << c.error();
    exec("INSERT INTO \"K2\" VALUES(1, NULL)");
    exec("INSERT INTO \"K2\" VALUES(1, NULL)");
    EXPECT_EQ(c.rows("SELECT COUNT(*) FROM \"K2\"")[0][0], "4");
}

TEST_F(RulesTest, IndexKeyLengthIsLimited)
{
    exec("CREATE TABLE \"W\" (\"A\" VARCHAR2(4000), \"B\" VARCHAR2(2398), \"C\" NVARCHAR2(1200), \"N\" NUMBER)");
    // 4000 + 2398 fits exactly; one more byte does not.
    ASSERT_EQ(c.run("CREATE INDEX \"W_AB\" ON \"W\" (\"A\", \"B\")"), 0) << c.error();
    EXPECT_EQ(c.run("CREATE INDEX \"W_ABN\" ON \"W\" (\"A\", \"B\", \"N\")"), 1450);
    EXPECT_EQ(c.error(), "ORA-01450: maximum key length (6398) exceeded");
    // National columns count two bytes a character.
    EXPECT_EQ(c.run("ALTER TABLE \"W\" ADD CONSTRAINT \"W_PK\" PRIMARY KEY (\"A\", \"C\")"), 1450);
    EXPECT_EQ(c.run("CREATE TABLE \"W2\" (\"A\" VARCHAR2(4000) PRIMARY KEY, \"B\" VARCHAR2(4000), "
                    "UNIQUE (\"A\", \"B\"))"),
              1450);
    EXPECT_EQ(c.run("SELECT COUNT(*) FROM \"W2\""), 942);
    EXPECT_TRUE(
        c.rows("SELECT \"INDEX_NAME\" FROM \"USER_INDEXES\" WHERE \"TABLE_NAME\" = 'W' AND \"INDEX_NAME\" <> 'W_AB'")
            .empty());
}

TEST_F(RulesTest, ExpressionIndexKeysCountTheColumnsTheyRead)
{
    exec("CREATE TABLE \"X\" (\"A\" NVARCHAR2(2000), \"B\" NVARCHAR2(1200), \"N\" NUMBER)");
    ASSERT_EQ(
        c.run(
            "CREATE UNIQUE INDEX \"X_AN\" ON \"X\" (CASE WHEN \"A\" IS NOT NULL AND \"N\" IS NOT NULL THEN \"A\" END, "
            "CASE WHEN \"A\" IS NOT NULL AND \"N\" IS NOT NULL THEN \"N\" END)"),
        0)
        << c.error();
    EXPECT_EQ(
        c.run(
            "CREATE UNIQUE INDEX \"X_AB\" ON \"X\" (CASE WHEN \"A\" IS NOT NULL AND \"B\" IS NOT NULL THEN \"A\" END, "
            "CASE WHEN \"A\" IS NOT NULL AND \"B\" IS NOT NULL THEN \"B\" END)"),
        1450);
    EXPECT_EQ(c.error(), "ORA-01450: maximum key length (6398) exceeded");
}

TEST_F(RulesTest, TextBecomesADateOnlyThroughAFormat)
{
    // Without TO_DATE, text must follow NLS_DATE_FORMAT 'DD-MON-RR'; ISO text does not.
    EXPECT_EQ(insert("\"D\"", "'2001-02-03'"), 1861);
    EXPECT_EQ(c.error(), "ORA-01861: literal does not match format string");
    EXPECT_EQ(insert("\"T\"", "'2001-02-03 04:05:06'"), 1861);
    EXPECT_EQ(insert("\"D\"", "to_date('2001-02-03')"), 1861);
    EXPECT_EQ(insert("\"D\"", "'03-XYZ-01'"), 1843);
    ASSERT_EQ(insert("\"D\", \"T\"", "'03-FEB-01', '03-feb-01 04.05.06.789 PM'"), 0) << c.error();
    EXPECT_EQ(one("\"D\""), "2001-02-03 00:00:00");
    EXPECT_EQ(one("\"T\""), "2001-02-03 16:05:06.79");
    ASSERT_EQ(c.run("DELETE FROM \"R\""), 0);
    ASSERT_EQ(insert("\"D\"", "to_date('31-DEC-99')"), 0) << c.error();
    EXPECT_EQ(one("\"D\""), "1999-12-31 00:00:00");
    EXPECT_EQ(c.run("UPDATE \"R\" SET \"D\" = '1999-12-31'"), 1861);
}
