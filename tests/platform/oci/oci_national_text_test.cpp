// Text in the database character set and national text: what literals, N'...'
// literals and binds of either form keep, and the 4000-byte literal limit.
#include "tests/platform/oci/oci_fixture.h"

using namespace oci_test;

namespace {

// UTF-8 of Greek, Latin-1 and CJK letters and an emoji.
const std::string k_mixed = "\xCE\xA9\xCE\xBC\xC3\xA9\xE4\xB8\xAD\xE6\x96\x87\xF0\x9F\x98\x80";
// The same as a Latin-1 database keeps it.
const std::string k_mixed_latin1 = "\xC2\xBF\xC2\xBF\xC3\xA9\xC2\xBF\xC2\xBF\xC2\xBF";

std::string cjk(size_t n)
{
    std::string s;
    for (size_t i = 0; i < n; ++i) s += "\xE4\xB8\xAD";
    return s;
}

// Inserts `value` bound by name into column `col` of table T, national or not.
int insert_bound(client& c, const std::string& col, const std::string& value, bool national)
{
    OCIStmt* st = nullptr;
    OCIHandleAlloc(c.env, reinterpret_cast<void**>(&st), OCI_HTYPE_STMT, 0, nullptr);
    std::u16string sql = u16("INSERT INTO \"T\" (\"" + col + "\") VALUES(:v1)");
    OCIStmtPrepare(st, c.err, reinterpret_cast<const OraText*>(sql.data()), static_cast<ub4>(sql.size() * 2),
                   OCI_NTV_SYNTAX, OCI_DEFAULT);
    std::u16string v = u16(value), name = u":v1";
    OCIBind* b = nullptr;
    OCIBindByName(st, &b, c.err, reinterpret_cast<const OraText*>(name.data()), static_cast<sb4>(name.size() * 2),
                  v.data(), static_cast<sb4>(v.size() * 2), SQLT_CHR, nullptr, nullptr, nullptr, 0, nullptr,
                  OCI_DEFAULT);
    ub1 form = national ? SQLCS_NCHAR : SQLCS_IMPLICIT;
    OCIAttrSet(b, OCI_HTYPE_BIND, &form, 0, OCI_ATTR_CHARSET_FORM, c.err);
    sword rc = OCIStmtExecute(c.svc, st, c.err, 1, 0, nullptr, nullptr, OCI_COMMIT_ON_SUCCESS);
    OCIHandleFree(st, OCI_HTYPE_STMT);
    return rc == OCI_ERROR ? c.error_code() : 0;
}

// A service whose database character set is Latin-1.
struct latin1_service {
    std::filesystem::path dir;
    explicit latin1_service(const char* charset = "WE8ISO8859P1")
    {
        dir = std::filesystem::temp_directory_path() /
              ("eora_latin1_" + std::to_string(::getpid()) + "_" + std::to_string(service_dir::counter()++));
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
        eora::session::create_service((dir / "ORCL.db").string(), "manager", charset);
    }
    ~latin1_service()
    {
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
    std::string ds() const { return "//file:" + dir.string() + ":1521/ORCL"; }
};

} // namespace

TEST_F(OciTest, NationalLiteralIsTextAndTheLiteralLimitIs4000Bytes)
{
    exec("CREATE TABLE \"T\" (\"V\" VARCHAR2(4000), \"NV\" NVARCHAR2(2000))");
    exec("INSERT INTO \"T\" (\"NV\") VALUES(N'" + k_mixed + "')");
    exec("INSERT INTO \"T\" (\"NV\") VALUES(n'it''s')");
    EXPECT_EQ(c.run("INSERT INTO \"T\" (\"V\") VALUES('" + std::string(4000, 'a') + "')"), 0);
    EXPECT_EQ(c.run("INSERT INTO \"T\" (\"V\") VALUES('" + std::string(4001, 'a') + "')"), 1704);
    // 1500 CJK letters: 4500 bytes of AL32UTF8, too long for any literal, fine for the column.
    EXPECT_EQ(c.run("INSERT INTO \"T\" (\"NV\") VALUES('" + cjk(1500) + "')"), 1704);
    EXPECT_EQ(c.run("INSERT INTO \"T\" (\"NV\") VALUES(N'" + cjk(1500) + "')"), 1704);
    EXPECT_EQ(insert_bound(c, "NV", cjk(1500), true), 0) << c.error();
    exec("COMMIT");
    auto rows = c.rows("SELECT \"NV\" FROM \"T\" WHERE \"NV\" IS NOT NULL ORDER BY LENGTH(\"NV\")");
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0][0], "it's");
    EXPECT_EQ(rows[1][0], k_mixed);
    EXPECT_EQ(rows[2][0], cjk(1500));
}

TEST(OciCharset, OnlyNationalBindsKeepWhatTheDatabaseCharacterSetLacks)
{
    latin1_service svc;
    client c;
    ASSERT_EQ(c.connect(svc.ds(), "system", "manager"), OCI_SUCCESS) << c.error();
    ASSERT_EQ(c.run("CREATE TABLE \"T\" (\"K\" NUMBER, \"V\" VARCHAR2(4000), \"NV\" NVARCHAR2(100), \"NC\" NCHAR(6))"),
              0);
    // Literals, N'...' ones too, reach the server in the database character set.
    ASSERT_EQ(c.run("INSERT INTO \"T\" (\"K\", \"NV\") VALUES(1, '" + k_mixed + "')", OCI_COMMIT_ON_SUCCESS), 0);
    ASSERT_EQ(c.run("INSERT INTO \"T\" (\"K\", \"NV\") VALUES(2, N'" + k_mixed + "')", OCI_COMMIT_ON_SUCCESS), 0);
    // A bound national text keeps every character; an implicit one does not.
    ASSERT_EQ(c.run("INSERT INTO \"T\" (\"K\") VALUES(3)", OCI_COMMIT_ON_SUCCESS), 0);
    ASSERT_EQ(insert_bound(c, "NV", k_mixed, true), 0) << c.error();
    ASSERT_EQ(insert_bound(c, "NV", k_mixed, false), 0) << c.error();
    ASSERT_EQ(insert_bound(c, "NC", "\xCE\xA9", true), 0) << c.error();
    // A column of the database character set keeps only what the set holds, however bound.
    ASSERT_EQ(insert_bound(c, "V", k_mixed, true), 0) << c.error();
    // Literal limit in bytes of Latin-1: 4000 letters that take 8000 bytes of UTF-8.
    std::string e4000;
    for (int i = 0; i < 4000; ++i) e4000 += "\xC3\xA9";
    EXPECT_EQ(c.run("INSERT INTO \"T\" (\"V\") VALUES('" + e4000 + "')", OCI_COMMIT_ON_SUCCESS), 0) << c.error();
    EXPECT_EQ(c.run("INSERT INTO \"T\" (\"V\") VALUES('" + e4000 + "x')"), 1704);

    client other;
    ASSERT_EQ(other.connect(svc.ds(), "system", "manager"), OCI_SUCCESS);
    auto literal = other.rows("SELECT \"NV\" FROM \"T\" WHERE \"K\" IN (1, 2)");
    ASSERT_EQ(literal.size(), 2u);
    EXPECT_EQ(literal[0][0], k_mixed_latin1);
    EXPECT_EQ(literal[1][0], k_mixed_latin1);
    auto nv = other.rows("SELECT \"NV\" FROM \"T\" WHERE \"NV\" IS NOT NULL");
    ASSERT_EQ(nv.size(), 4u);
    int whole = 0, lost = 0;
    for (const auto& r : nv) {
        whole += r[0] == k_mixed;
        lost += r[0] == k_mixed_latin1;
    }
    EXPECT_EQ(whole, 1);
    EXPECT_EQ(lost, 3);
    EXPECT_EQ(other.rows("SELECT \"NC\" FROM \"T\" WHERE \"NC\" IS NOT NULL")[0][0], "\xCE\xA9     ");
    auto v = other.rows("SELECT \"V\" FROM \"T\" WHERE \"V\" IS NOT NULL AND LENGTH(\"V\") < 100");
    ASSERT_EQ(v.size(), 1u);
    EXPECT_EQ(v[0][0], k_mixed_latin1);
    EXPECT_EQ(other.rows("SELECT COUNT(*) FROM \"T\" WHERE LENGTH(\"V\") = 4000")[0][0], "1");
}

TEST(OciCharset, WindowsLatin1KeepsWhatCodePage1252Holds)
{
    latin1_service svc("WE8MSWIN1252");
    client c;
    ASSERT_EQ(c.connect(svc.ds(), "system", "manager"), OCI_SUCCESS) << c.error();
    ASSERT_EQ(c.run("CREATE TABLE \"T\" (\"V\" VARCHAR2(20), \"NV\" NVARCHAR2(20))"), 0);
    // Euro sign and curly quotes are in the page, unlike Latin-1; Greek is not, and becomes an inverted question mark.
    const std::string text = "\xE2\x82\xAC\xE2\x80\x9Cx\xE2\x80\x9D \xC3\xA9 \xCE\xA9 ?";
    const std::string kept = "\xE2\x82\xAC\xE2\x80\x9Cx\xE2\x80\x9D \xC3\xA9 \xC2\xBF ?";
    ASSERT_EQ(c.run("INSERT INTO \"T\" VALUES('" + text + "', N'" + text + "')", OCI_COMMIT_ON_SUCCESS), 0)
        << c.error();
    ASSERT_EQ(insert_bound(c, "NV", text, true), 0) << c.error();
    client other;
    ASSERT_EQ(other.connect(svc.ds(), "system", "manager"), OCI_SUCCESS);
    auto rows = other.rows("SELECT \"V\", \"NV\" FROM \"T\" WHERE \"V\" IS NOT NULL");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0][0], kept);
    EXPECT_EQ(rows[0][1], kept);
    rows = other.rows("SELECT \"NV\" FROM \"T\" WHERE \"V\" IS NULL");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0][0], text);
    // One byte a character: 4000 euro signs make a literal of 4000 bytes, too long only for the column.
    std::string euros;
    for (int i = 0; i < 4000; ++i) euros += "\xE2\x82\xAC";
    EXPECT_EQ(c.run("INSERT INTO \"T\" (\"V\") VALUES('" + euros + "')"), 12899);
    EXPECT_EQ(c.run("INSERT INTO \"T\" (\"V\") VALUES('" + euros + "x')"), 1704);
}
