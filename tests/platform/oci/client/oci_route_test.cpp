// The product's OCI calls routed to the client library loaded at run time
// (here the stand-in library): one environment reaches the embedded Oracle
// and the loaded client in turn, errors pass through as the library gives
// them, and LOBs are written and read through it.
#include "tests/platform/oci/oci_fixture.h"

#include <cstdlib>

using namespace oci_test;

namespace {

const char* const loaded_ds = "//127.0.0.1:1521/ORCL";

// Every test of this program uses the stand-in library, named before the
// first connection loads it; TVX_OCI_TEST_DIR says which folder it serves.
class oci_route : public ::testing::Test {
protected:
    void SetUp() override
    {
        setenv("TVX_OCI_LIBRARY", TVX_OCI_STANDIN, 1);
        setenv("TVX_OCI_TEST_DIR", remote.dir.c_str(), 1);
    }
    void TearDown() override { unsetenv("TVX_OCI_TEST_DIR"); }

    // The rows of a query read straight from a service folder, as SYSTEM.
    static std::vector<std::string> read_back(const service_dir& d, const std::string& sql)
    {
        eora::session s((d.dir / "ORCL.db").string(), "SYSTEM", "manager");
        auto st = s.prepare(sql);
        eora::exec_result r = s.execute(*st, {});
        std::vector<std::string> out;
        while (r.cur && r.cur->next()) {
            std::string row;
            for (const auto& v : r.cur->row())
                row += (row.empty() ? "" : "|") + (v.is_null() ? std::string("<null>") : v.s);
            out.push_back(row);
        }
        return out;
    }

    static void disconnect(client& c)
    {
        EXPECT_EQ(OCISessionEnd(c.svc, c.err, c.ses, OCI_DEFAULT), OCI_SUCCESS) << c.error();
        EXPECT_EQ(OCIServerDetach(c.srv, c.err, OCI_DEFAULT), OCI_SUCCESS) << c.error();
    }

    service_dir local;  // reached as file:
    service_dir remote; // reached through the loaded library
};

struct stmt {
    client& c;
    OCIStmt* h = nullptr;
    stmt(client& cl, const std::string& sql) : c(cl)
    {
        EXPECT_EQ(OCIHandleAlloc(c.env, reinterpret_cast<void**>(&h), OCI_HTYPE_STMT, 0, nullptr), OCI_SUCCESS);
        std::u16string t = u16(sql);
        EXPECT_EQ(OCIStmtPrepare(h, c.err, reinterpret_cast<const OraText*>(t.data()), static_cast<ub4>(t.size() * 2),
                                 OCI_NTV_SYNTAX, OCI_DEFAULT),
                  OCI_SUCCESS);
    }
    ~stmt() { OCIHandleFree(h, OCI_HTYPE_STMT); }
    stmt(const stmt&) = delete;
    stmt& operator=(const stmt&) = delete;
    sword exec(ub4 iters, ub4 mode = OCI_DEFAULT)
    {
        return OCIStmtExecute(c.svc, h, c.err, iters, 0, nullptr, nullptr, mode);
    }
};

} // namespace

TEST_F(oci_route, one_environment_reaches_file_then_the_loaded_client_then_file_again)
{
    client c;
    ASSERT_EQ(c.connect("file:" + local.dir.string(), "system", "manager"), OCI_SUCCESS) << c.error();
    ASSERT_EQ(c.run("CREATE TABLE \"T\" (\"V\" VARCHAR2(20))"), 0) << c.error();
    ASSERT_EQ(c.run("INSERT INTO \"T\" VALUES ('embedded')", OCI_COMMIT_ON_SUCCESS), 0) << c.error();
    disconnect(c);

    // The same handles, now through the library.
    ASSERT_EQ(c.connect(loaded_ds, "system", "manager"), OCI_SUCCESS) << c.error();
    ASSERT_EQ(c.run("CREATE TABLE \"T\" (\"V\" VARCHAR2(20))"), 0) << c.error();
    ASSERT_EQ(c.run("INSERT INTO \"T\" VALUES ('loaded')"), 0) << c.error();
    ASSERT_EQ(OCITransCommit(c.svc, c.err, OCI_DEFAULT), OCI_SUCCESS) << c.error();
    ASSERT_EQ(c.run("INSERT INTO \"T\" VALUES ('rolled back')"), 0) << c.error();
    ASSERT_EQ(OCITransRollback(c.svc, c.err, OCI_DEFAULT), OCI_SUCCESS) << c.error();
    EXPECT_EQ(c.rows("SELECT \"V\" FROM \"T\""), (std::vector<std::vector<std::string>>{{"loaded"}}));
    // An error of the library reads back through the same error handle.
    EXPECT_EQ(c.run("SELECT * FROM \"NOSUCH\""), 942);
    EXPECT_EQ(c.error(), "ORA-00942: table or view does not exist");
    disconnect(c);

    ASSERT_EQ(c.connect("file:" + local.dir.string(), "system", "manager"), OCI_SUCCESS) << c.error();
    ASSERT_EQ(c.run("INSERT INTO \"T\" VALUES ('embedded again')", OCI_COMMIT_ON_SUCCESS), 0) << c.error();
    EXPECT_EQ(c.rows("SELECT \"V\" FROM \"T\" ORDER BY \"V\""),
              (std::vector<std::vector<std::string>>{{"embedded"}, {"embedded again"}}));
    disconnect(c);

    // Each folder holds what was sent to it, read by a second connection.
    EXPECT_EQ(read_back(local, "SELECT \"V\" FROM SYSTEM.\"T\" ORDER BY \"V\""),
              (std::vector<std::string>{"embedded", "embedded again"}));
    EXPECT_EQ(read_back(remote, "SELECT \"V\" FROM SYSTEM.\"T\""), std::vector<std::string>{"loaded"});
}

TEST_F(oci_route, a_refused_login_passes_through_with_its_number_and_text)
{
    client c;
    EXPECT_EQ(c.connect(loaded_ds, "system", "wrong"), OCI_ERROR);
    EXPECT_EQ(c.error_code(), 1017);
    EXPECT_EQ(c.error(), "ORA-01017: invalid username/password; logon denied");
    // An unknown service, and no service folder at all.
    client d;
    EXPECT_EQ(d.connect("//127.0.0.1:1521/NOSUCH", "system", "manager"), OCI_ERROR);
    EXPECT_EQ(d.error_code(), 12514);
    unsetenv("TVX_OCI_TEST_DIR");
    client e;
    EXPECT_EQ(e.connect(loaded_ds, "system", "manager"), OCI_ERROR);
    EXPECT_EQ(e.error_code(), 12541);
    EXPECT_EQ(e.error(), "ORA-12541: TNS:no listener");
}

TEST_F(oci_route, lobs_are_written_in_parts_and_read_back_through_the_loaded_client)
{
    client c;
    ASSERT_EQ(c.connect(loaded_ds, "system", "manager"), OCI_SUCCESS) << c.error();
    ASSERT_EQ(c.run("CREATE TABLE \"DOCS\" (\"ID\" NUMBER(5), \"BODY\" CLOB, \"PIC\" BLOB)"), 0) << c.error();
    ASSERT_EQ(c.run("INSERT INTO \"DOCS\" VALUES (1, EMPTY_CLOB(), EMPTY_BLOB())", OCI_COMMIT_ON_SUCCESS), 0)
        << c.error();

    std::u16string text;
    for (int i = 0; i < 5000; ++i) text += static_cast<char16_t>(u'a' + i % 26);
    text[0] = u'\u00e9';
    text += u"\U0001F600 \u4e2d";
    std::string bytes;
    for (int i = 0; i < 70000; ++i) bytes += static_cast<char>(i * 7 % 256);
    {
        stmt sel(c, "SELECT \"BODY\", \"PIC\" FROM \"DOCS\" WHERE \"ID\" = 1 FOR UPDATE");
        OCILobLocator* clob = nullptr;
        OCILobLocator* blob = nullptr;
        ASSERT_EQ(OCIDescriptorAlloc(c.env, reinterpret_cast<void**>(&clob), OCI_DTYPE_LOB, 0, nullptr), OCI_SUCCESS);
        ASSERT_EQ(OCIDescriptorAlloc(c.env, reinterpret_cast<void**>(&blob), OCI_DTYPE_LOB, 0, nullptr), OCI_SUCCESS);
        OCIDefine* d1 = nullptr;
        OCIDefine* d2 = nullptr;
        ASSERT_EQ(OCIDefineByPos(sel.h, &d1, c.err, 1, &clob, 0, SQLT_CLOB, nullptr, nullptr, nullptr, OCI_DEFAULT),
                  OCI_SUCCESS);
        ASSERT_EQ(OCIDefineByPos(sel.h, &d2, c.err, 2, &blob, 0, SQLT_BLOB, nullptr, nullptr, nullptr, OCI_DEFAULT),
                  OCI_SUCCESS);
        ASSERT_EQ(sel.exec(1), OCI_SUCCESS) << c.error();
        // Two writes each, the second at the offset where the first ended.
        const size_t half = 2500;
        ub4 amt = static_cast<ub4>(half);
        ASSERT_EQ(OCILobWrite(c.svc, c.err, clob, &amt, 1, text.data(), amt * 2, OCI_ONE_PIECE, nullptr, nullptr, 0,
                              SQLCS_IMPLICIT),
                  OCI_SUCCESS)
            << c.error();
        amt = static_cast<ub4>(text.size() - half);
        ASSERT_EQ(OCILobWrite(c.svc, c.err, clob, &amt, static_cast<ub4>(half + 1), text.data() + half, amt * 2,
                              OCI_ONE_PIECE, nullptr, nullptr, 0, SQLCS_IMPLICIT),
                  OCI_SUCCESS)
            << c.error();
        amt = 40000;
        ASSERT_EQ(OCILobWrite(c.svc, c.err, blob, &amt, 1, bytes.data(), amt, OCI_ONE_PIECE, nullptr, nullptr, 0, 0),
                  OCI_SUCCESS)
            << c.error();
        amt = static_cast<ub4>(bytes.size() - 40000);
        ASSERT_EQ(OCILobWrite(c.svc, c.err, blob, &amt, 40001, bytes.data() + 40000, amt, OCI_ONE_PIECE, nullptr,
                              nullptr, 0, 0),
                  OCI_SUCCESS)
            << c.error();
        ASSERT_EQ(OCITransCommit(c.svc, c.err, OCI_DEFAULT), OCI_SUCCESS) << c.error();
        EXPECT_EQ(OCIDescriptorFree(clob, OCI_DTYPE_LOB), OCI_SUCCESS);
        EXPECT_EQ(OCIDescriptorFree(blob, OCI_DTYPE_LOB), OCI_SUCCESS);
    }
    {
        stmt rd(c, "SELECT \"BODY\", \"PIC\" FROM \"DOCS\"");
        OCILobLocator* l1 = nullptr;
        OCILobLocator* l2 = nullptr;
        OCIDescriptorAlloc(c.env, reinterpret_cast<void**>(&l1), OCI_DTYPE_LOB, 0, nullptr);
        OCIDescriptorAlloc(c.env, reinterpret_cast<void**>(&l2), OCI_DTYPE_LOB, 0, nullptr);
        OCIDefine* d1 = nullptr;
        OCIDefine* d2 = nullptr;
        OCIDefineByPos(rd.h, &d1, c.err, 1, &l1, 0, SQLT_CLOB, nullptr, nullptr, nullptr, OCI_DEFAULT);
        OCIDefineByPos(rd.h, &d2, c.err, 2, &l2, 0, SQLT_BLOB, nullptr, nullptr, nullptr, OCI_DEFAULT);
        ASSERT_EQ(rd.exec(1), OCI_SUCCESS) << c.error();
        ub4 len = 0;
        ASSERT_EQ(OCILobGetLength(c.svc, c.err, l1, &len), OCI_SUCCESS);
        EXPECT_EQ(len, text.size());
        std::u16string back(text.size() + 10, u'\0');
        ub4 amt = 0;
        ASSERT_EQ(OCILobRead(c.svc, c.err, l1, &amt, 1, back.data(), static_cast<ub4>(back.size() * 2), nullptr,
                             nullptr, 0, SQLCS_IMPLICIT),
                  OCI_SUCCESS);
        back.resize(amt);
        EXPECT_TRUE(back == text) << "CLOB differs; " << back.size() << " characters came back";
        ub1 form = 0;
        ASSERT_EQ(OCILobCharSetForm(c.env, c.err, l1, &form), OCI_SUCCESS);
        EXPECT_EQ(form, SQLCS_IMPLICIT);
        std::string raw(bytes.size() + 10, '\0');
        amt = 0;
        ASSERT_EQ(
            OCILobRead(c.svc, c.err, l2, &amt, 1, raw.data(), static_cast<ub4>(raw.size()), nullptr, nullptr, 0, 0),
            OCI_SUCCESS);
        raw.resize(amt);
        EXPECT_TRUE(raw == bytes) << "BLOB differs; " << raw.size() << " bytes came back";
        OCIDescriptorFree(l1, OCI_DTYPE_LOB);
        OCIDescriptorFree(l2, OCI_DTYPE_LOB);
    }
    EXPECT_EQ(OCISessionEnd(c.svc, c.err, c.ses, OCI_DEFAULT), OCI_SUCCESS);
    // What a second connection finds in the served folder.
    EXPECT_TRUE(read_back(remote, "SELECT \"BODY\" FROM SYSTEM.\"DOCS\"") == std::vector<std::string>{narrow(text)});
    EXPECT_TRUE(read_back(remote, "SELECT \"PIC\" FROM SYSTEM.\"DOCS\"") == std::vector<std::string>{bytes});
}

TEST_F(oci_route, timestamps_and_described_columns_come_from_the_loaded_client)
{
    client c;
    ASSERT_EQ(c.connect(loaded_ds, "system", "manager"), OCI_SUCCESS) << c.error();
    ASSERT_EQ(c.run("CREATE TABLE \"W\" (\"AT\" TIMESTAMP, \"N\" NUMBER(7,2))"), 0) << c.error();
    ASSERT_EQ(
        c.run("INSERT INTO \"W\" VALUES (to_timestamp('2021-03-04 05:06:07.250', 'YYYY-MM-DD HH24:MI:SS.FF3'), 12.5)",
              OCI_COMMIT_ON_SUCCESS),
        0)
        << c.error();
    stmt rd(c, "SELECT \"AT\", \"N\" FROM \"W\"");
    ASSERT_EQ(rd.exec(0, OCI_DESCRIBE_ONLY), OCI_SUCCESS) << c.error();
    ub4 count = 0;
    ASSERT_EQ(OCIAttrGet(rd.h, OCI_HTYPE_STMT, &count, nullptr, OCI_ATTR_PARAM_COUNT, c.err), OCI_SUCCESS);
    EXPECT_EQ(count, 2u);
    OCIParam* p = nullptr;
    ASSERT_EQ(OCIParamGet(rd.h, OCI_HTYPE_STMT, c.err, reinterpret_cast<void**>(&p), 2), OCI_SUCCESS);
    sb2 precision = 0;
    sb1 scale = 0;
    ASSERT_EQ(OCIAttrGet(p, OCI_DTYPE_PARAM, &precision, nullptr, OCI_ATTR_PRECISION, c.err), OCI_SUCCESS);
    ASSERT_EQ(OCIAttrGet(p, OCI_DTYPE_PARAM, &scale, nullptr, OCI_ATTR_SCALE, c.err), OCI_SUCCESS);
    EXPECT_EQ(precision, 7);
    EXPECT_EQ(scale, 2);
    EXPECT_EQ(OCIDescriptorFree(p, OCI_DTYPE_PARAM), OCI_SUCCESS);

    OCIDateTime* dt = nullptr;
    ASSERT_EQ(OCIDescriptorAlloc(c.env, reinterpret_cast<void**>(&dt), OCI_DTYPE_TIMESTAMP, 0, nullptr), OCI_SUCCESS);
    OCIDefine* d = nullptr;
    ASSERT_EQ(OCIDefineByPos(rd.h, &d, c.err, 1, &dt, 0, SQLT_TIMESTAMP, nullptr, nullptr, nullptr, OCI_DEFAULT),
              OCI_SUCCESS);
    ASSERT_EQ(rd.exec(1), OCI_SUCCESS) << c.error();
    sb2 yr = 0;
    ub1 mo = 0, dy = 0, hh = 0, mi = 0, ss = 0;
    ub4 fsec = 0;
    ASSERT_EQ(OCIDateTimeGetDate(c.env, c.err, dt, &yr, &mo, &dy), OCI_SUCCESS);
    ASSERT_EQ(OCIDateTimeGetTime(c.env, c.err, dt, &hh, &mi, &ss, &fsec), OCI_SUCCESS);
    EXPECT_EQ(std::vector<int>({yr, mo, dy, hh, mi, ss}), std::vector<int>({2021, 3, 4, 5, 6, 7}));
    EXPECT_EQ(fsec, 250000000u);
    EXPECT_EQ(OCIDescriptorFree(dt, OCI_DTYPE_TIMESTAMP), OCI_SUCCESS);
}
