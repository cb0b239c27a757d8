// Long text as Oracle takes it: a literal of 4000 bytes at most on every
// statement, counted in bytes of the database character set; a value bound
// as LONG only into a LONG or LOB column.
#include "oci_fixture.h"

using namespace oci_test;

namespace {

// `n` copies of `c` (UTF-8).
std::string repeat(const std::string& c, size_t n)
{
    std::string s;
    for (size_t i = 0; i < n; ++i) s += c;
    return s;
}

class OciLongTextTest : public OciTest {
protected:
    void SetUp() override
    {
        OciTest::SetUp();
        exec(
            "CREATE TABLE \"T\" (\"ID\" NUMBER(10), \"V\" VARCHAR2(4000), \"NV\" NVARCHAR2(2000), \"L\" LONG, "
            "\"C\" CLOB)");
        exec("INSERT INTO \"T\" (\"ID\") VALUES(1)");
    }

    // Binds `text` to :v of `sql` as `dty`, national when asked; the ORA number, 0 on success.
    int run_bound(const std::string& sql, const std::u16string& text, ub2 dty, bool national)
    {
        OCIStmt* st = nullptr;
        OCIHandleAlloc(c.env, reinterpret_cast<void**>(&st), OCI_HTYPE_STMT, 0, nullptr);
        std::u16string t = u16(sql);
        OCIStmtPrepare(st, c.err, reinterpret_cast<const OraText*>(t.data()), static_cast<ub4>(t.size() * 2),
                       OCI_NTV_SYNTAX, OCI_DEFAULT);
        OCIBind* b = nullptr;
        const std::u16string name = u":v";
        OCIBindByName(st, &b, c.err, reinterpret_cast<const OraText*>(name.data()), static_cast<sb4>(name.size() * 2),
                      const_cast<char16_t*>(text.data()), static_cast<sb4>(text.size() * 2), dty, nullptr, nullptr,
                      nullptr, 0, nullptr, OCI_DEFAULT);
        if (national) {
            ub1 form = SQLCS_NCHAR;
            OCIAttrSet(b, OCI_HTYPE_BIND, &form, 0, OCI_ATTR_CHARSET_FORM, c.err);
        }
        const sword rc = OCIStmtExecute(c.svc, st, c.err, 1, 0, nullptr, nullptr, OCI_DEFAULT);
        OCIHandleFree(st, OCI_HTYPE_STMT);
        return rc == OCI_ERROR ? c.error_code() : 0;
    }
};

TEST_F(OciLongTextTest, a_text_literal_over_4000_bytes_is_refused_on_every_statement)
{
    // 2,500 two-byte characters: 5,000 bytes, though only 2,500 characters.
    const std::string wide = "'" + repeat("\u00e9", 2500) + "'";
    const std::string ascii = "'" + repeat("a", 4001) + "'";
    const std::string fits = "'" + repeat("\u00e9", 2000) + "'";
    struct shape {
        const char* what;
        std::string head, tail;
    };
    const shape shapes[] = {
        {"insert", "INSERT INTO \"T\" (\"ID\", \"L\") VALUES(2, ", ")"},
        {"update", "UPDATE \"T\" SET \"L\" = ", ""},
        {"where", "DELETE FROM \"T\" WHERE \"V\" = ", ""},
        {"select", "SELECT ", " FROM DUAL"},
        {"default", "CREATE TABLE \"D\" (\"X\" VARCHAR2(10) DEFAULT ", ")"},
        {"national", "UPDATE \"T\" SET \"NV\" = N", ""},
    };
    for (const shape& s : shapes) {
        SCOPED_TRACE(s.what);
        EXPECT_EQ(c.run(s.head + wide + s.tail), 1704);
        EXPECT_EQ(c.run(s.head + ascii + s.tail), 1704);
    }
    // 4,000 bytes go, on the statements whose column takes them.
    EXPECT_EQ(c.run("UPDATE \"T\" SET \"V\" = " + fits), 0) << c.error();
    EXPECT_EQ(c.rows("SELECT LENGTH(\"V\") FROM \"T\""), (std::vector<std::vector<std::string>>{{"2000"}}));
}

TEST_F(OciLongTextTest, a_literal_is_measured_in_the_bytes_of_the_database_character_set)
{
    service_dir latin;
    eora::session::create_service((latin.dir / "LATIN.db").string(), "manager", "WE8MSWIN1252");
    client l;
    ASSERT_EQ(l.connect("//file:" + latin.dir.string() + ":1521/LATIN", "system", "manager"), OCI_SUCCESS) << l.error();
    ASSERT_EQ(l.run("CREATE TABLE \"T\" (\"V\" VARCHAR2(4000))"), 0) << l.error();
    // One byte a character there: 4,000 of them fit, 4,001 do not.
    EXPECT_EQ(l.run("INSERT INTO \"T\" VALUES('" + repeat("\u00e9", 4000) + "')"), 0) << l.error();
    EXPECT_EQ(l.run("INSERT INTO \"T\" VALUES('" + repeat("\u00e9", 4001) + "')"), 1704);
}

TEST_F(OciLongTextTest, a_value_bound_as_long_goes_only_into_a_long_or_lob_column)
{
    const std::u16string big(2500, u'\u00e9');      // 5,000 bytes in either character set
    const std::u16string national(2000, u'\u4e2d'); // 4,000 bytes in UTF-16
    struct bind_case {
        const char* what;
        std::string column;
        std::u16string text;
        ub2 dty;
        bool national;
        int ora;
    };
    const bind_case cases[] = {
        {"LONG into NVARCHAR2", "NV", u"short", SQLT_LNG, true, 1461},
        {"LONG into VARCHAR2", "V", u"short", SQLT_LNG, false, 1461},
        {"over 4000 bytes into VARCHAR2", "V", big, SQLT_CHR, false, 1461},
        {"LONG into LONG", "L", big, SQLT_LNG, false, 0},
        {"long character value into LONG", "L", big, SQLT_CHR, false, 0},
        {"LONG into CLOB", "C", big, SQLT_LNG, false, 0},
        {"4000 national bytes into NVARCHAR2", "NV", national, SQLT_CHR, true, 0},
        {"4000 bytes into VARCHAR2", "V", std::u16string(2000, u'\u00e9'), SQLT_CHR, false, 0},
    };
    for (const bind_case& k : cases) {
        SCOPED_TRACE(k.what);
        EXPECT_EQ(run_bound("UPDATE \"T\" SET \"" + k.column + "\" = :v", k.text, k.dty, k.national), k.ora)
            << c.error();
        EXPECT_EQ(
            run_bound("INSERT INTO \"T\" (\"ID\", \"" + k.column + "\") VALUES(3, :v)", k.text, k.dty, k.national),
            k.ora)
            << c.error();
        if (k.ora == 0) {
            const auto got = c.rows("SELECT \"" + k.column + "\" FROM \"T\" WHERE \"ID\" = 3");
            ASSERT_EQ(got.size(), 1u);
            EXPECT_TRUE(got[0][0] == narrow(k.text));
        }
        exec("DELETE FROM \"T\" WHERE \"ID\" = 3");
    }
}

} // namespace
