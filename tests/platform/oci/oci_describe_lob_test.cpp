// Describe answers, the insert with RETURNING ROWID, LOB writes through
// FOR UPDATE locators, and array binds.
#include "tests/platform/oci/oci_fixture.h"

#include <cstring>

using namespace oci_test;

namespace {

struct stmt {
    client& c;
    OCIStmt* h = nullptr;
    explicit stmt(client& cl, const std::string& sql) : c(cl)
    {
        OCIHandleAlloc(c.env, reinterpret_cast<void**>(&h), OCI_HTYPE_STMT, 0, nullptr);
        std::u16string t = u16(sql);
        OCIStmtPrepare(h, c.err, reinterpret_cast<const OraText*>(t.data()), static_cast<ub4>(t.size() * 2),
                       OCI_NTV_SYNTAX, OCI_DEFAULT);
    }
    ~stmt() { OCIHandleFree(h, OCI_HTYPE_STMT); }
    stmt(const stmt&) = delete;
    stmt& operator=(const stmt&) = delete;
    sword exec(ub4 iters, ub4 mode = OCI_DEFAULT)
    {
        return OCIStmtExecute(c.svc, h, c.err, iters, 0, nullptr, nullptr, mode);
    }
};

struct described {
    ub2 type, size;
    sb2 precision;
    sb1 scale;
    ub1 is_null;
    std::string name;
};

described describe(client& c, OCIStmt* h, ub4 pos)
{
    described d{};
    OCIParam* p = nullptr;
    EXPECT_EQ(OCIParamGet(h, OCI_HTYPE_STMT, c.err, reinterpret_cast<void**>(&p), pos), OCI_SUCCESS);
    OCIAttrGet(p, OCI_DTYPE_PARAM, &d.type, nullptr, OCI_ATTR_DATA_TYPE, c.err);
    OCIAttrGet(p, OCI_DTYPE_PARAM, &d.size, nullptr, OCI_ATTR_DATA_SIZE, c.err);
    OCIAttrGet(p, OCI_DTYPE_PARAM, &d.precision, nullptr, OCI_ATTR_PRECISION, c.err);
    OCIAttrGet(p, OCI_DTYPE_PARAM, &d.scale, nullptr, OCI_ATTR_SCALE, c.err);
    OCIAttrGet(p, OCI_DTYPE_PARAM, &d.is_null, nullptr, OCI_ATTR_IS_NULL, c.err);
    const OraText* name = nullptr;
    ub4 len = 0;
    OCIAttrGet(p, OCI_DTYPE_PARAM, &name, &len, OCI_ATTR_NAME, c.err);
    d.name = narrow(std::u16string(reinterpret_cast<const char16_t*>(name), len / 2));
    return d;
}

// Capacity and answer of the dynamic out-bind for ROWIDs.
struct rowid_sink {
    char16_t buf[64];
    ub4 len = sizeof buf;
    sb2 ind = -1;
    ub2 rcode = 0;
    std::vector<std::string> got;
};

sb4 in_cb(void*, OCIBind*, ub4, ub4, void** bufpp, ub4* alenp, ub1* piecep, void** indpp)
{
    static sb2 null_ind = -1;
    *bufpp = nullptr;
    *alenp = 0;
    *piecep = OCI_ONE_PIECE;
    *indpp = &null_ind;
    return OCI_CONTINUE;
}

sb4 out_cb(void* ctx, OCIBind*, ub4, ub4, void** bufpp, ub4** alenpp, ub1* piecep, void** indpp, ub2** rcodepp)
{
    auto* s = static_cast<rowid_sink*>(ctx);
    if (!s->got.empty() || s->ind == 0) s->got.push_back(narrow(std::u16string(s->buf, s->len / 2)));
    s->len = sizeof s->buf;
    *bufpp = s->buf;
    *alenpp = &s->len;
    *piecep = OCI_ONE_PIECE;
    *indpp = &s->ind;
    *rcodepp = &s->rcode;
    return OCI_CONTINUE;
}

} // namespace

TEST_F(OciTest, DescribeAnswersPerType)
{
    exec(
        "CREATE TABLE \"TYPES\" (\"V\" VARCHAR2(30) NOT NULL, \"NV\" NVARCHAR2(10), \"C\" CHAR(3), \"NC\" NCHAR(4), "
        "\"N\" NUMBER(12,3), \"NP\" NUMBER, \"F\" FLOAT(63), \"BF\" BINARY_FLOAT, \"BD\" BINARY_DOUBLE, \"D\" DATE, "
        "\"TS\" TIMESTAMP, \"TZ\" TIMESTAMP(3) WITH TIME ZONE, \"LTZ\" TIMESTAMP WITH LOCAL TIME ZONE, "
        "\"IYM\" INTERVAL YEAR TO MONTH, \"IDS\" INTERVAL DAY TO SECOND, \"R\" RAW(16), \"L\" LONG, \"CL\" CLOB, "
        "\"NCL\" NCLOB, \"BL\" BLOB, \"BFI\" BFILE, \"RI\" ROWID, \"X\" XMLTYPE)");
    stmt s(c, "SELECT * FROM \"TYPES\"");
    ASSERT_EQ(s.exec(0), OCI_SUCCESS) << c.error();
    ub4 n = 0;
    OCIAttrGet(s.h, OCI_HTYPE_STMT, &n, nullptr, OCI_ATTR_PARAM_COUNT, c.err);
    ASSERT_EQ(n, 23u);
    struct want {
        const char* name;
        ub2 type, size;
        sb2 p;
        sb1 s;
        ub1 nul;
    };
    const want w[] = {{"V", 1, 30, 0, 0, 0},       {"NV", 1, 20, 0, 0, 1},     {"C", 96, 3, 0, 0, 1},
                      {"NC", 96, 8, 0, 0, 1},      {"N", 2, 22, 12, 3, 1},     {"NP", 2, 22, 0, -127, 1},
                      {"F", 2, 22, 63, -127, 1},   {"BF", 100, 4, 0, 0, 1},    {"BD", 101, 8, 0, 0, 1},
                      {"D", 12, 7, 0, 0, 1},       {"TS", 187, 11, 0, 6, 1},   {"TZ", 188, 13, 0, 3, 1},
                      {"LTZ", 232, 11, 0, 6, 1},   {"IYM", 189, 5, 2, 0, 1},   {"IDS", 190, 11, 2, 6, 1},
                      {"R", 23, 16, 0, 0, 1},      {"L", 8, 0, 0, 0, 1},       {"CL", 112, 4000, 0, 0, 1},
                      {"NCL", 112, 4000, 0, 0, 1}, {"BL", 113, 4000, 0, 0, 1}, {"BFI", 114, 4000, 0, 0, 1},
                      {"RI", 104, 10, 0, 0, 1},    {"X", 108, 2000, 0, 0, 1}};
    for (ub4 i = 0; i < n; ++i) {
        described d = describe(c, s.h, i + 1);
        SCOPED_TRACE(w[i].name);
        EXPECT_EQ(d.name, w[i].name);
        EXPECT_EQ(d.type, w[i].type);
        EXPECT_EQ(d.size, w[i].size);
        EXPECT_EQ(d.precision, w[i].p);
        EXPECT_EQ(d.scale, w[i].s);
        EXPECT_EQ(d.is_null, w[i].nul);
    }
    auto types = c.rows("SELECT DATA_TYPE FROM USER_TAB_COLUMNS WHERE TABLE_NAME='TYPES' ORDER BY COLUMN_ID");
    ASSERT_EQ(types.size(), 23u);
    EXPECT_EQ(types[10][0], "TIMESTAMP(6)");
    EXPECT_EQ(types[11][0], "TIMESTAMP(3) WITH TIME ZONE");
    EXPECT_EQ(types[14][0], "INTERVAL DAY(2) TO SECOND(6)");
    EXPECT_EQ(types[16][0], "LONG");
    stmt cnt(c, "SELECT COUNT(*) FROM \"TYPES\"");
    ASSERT_EQ(cnt.exec(0), OCI_SUCCESS);
    described d = describe(c, cnt.h, 1);
    EXPECT_EQ(d.type, 2);
    EXPECT_EQ(d.scale, -127);
}

TEST_F(OciTest, InsertReturningRowidThenLobWrites)
{
    exec("CREATE TABLE \"DOCS\" (\"ID\" NUMBER(5), \"BODY\" CLOB, \"PIC\" BLOB)");
    stmt ins(c,
             "INSERT /*+ APPEND */ INTO \"DOCS\" (\"ID\", \"BODY\", \"PIC\") VALUES(7, EMPTY_CLOB(), EMPTY_BLOB()) "
             "RETURNING ROWID INTO :1");
    OCIBind* b = nullptr;
    ASSERT_EQ(OCIBindByPos(ins.h, &b, c.err, 1, nullptr, 64, SQLT_STR, nullptr, nullptr, nullptr, 0, nullptr,
                           OCI_DATA_AT_EXEC),
              OCI_SUCCESS);
    rowid_sink sink;
    OCIBindDynamic(b, c.err, nullptr, in_cb, &sink, out_cb);
    ASSERT_EQ(ins.exec(1, OCI_COMMIT_ON_SUCCESS), OCI_SUCCESS) << c.error();
    ASSERT_EQ(sink.ind, 0);
    std::string rowid = narrow(std::u16string(sink.buf, sink.len / 2));
    ASSERT_EQ(rowid.size(), 18u);

    // A locator read without FOR UPDATE cannot be written.
    {
        stmt sel(c, "SELECT \"BODY\" FROM \"DOCS\" WHERE ROWID='" + rowid + "'");
        OCILobLocator* loc = nullptr;
        OCIDescriptorAlloc(c.env, reinterpret_cast<void**>(&loc), OCI_DTYPE_LOB, 0, nullptr);
        OCIDefine* d = nullptr;
        OCIDefineByPos(sel.h, &d, c.err, 1, &loc, 0, SQLT_CLOB, nullptr, nullptr, nullptr, OCI_DEFAULT);
        ASSERT_EQ(sel.exec(1), OCI_SUCCESS) << c.error();
        std::u16string text = u"abc";
        ub4 amt = 3;
        EXPECT_EQ(
            OCILobWrite(c.svc, c.err, loc, &amt, 1, text.data(), 6, OCI_ONE_PIECE, nullptr, nullptr, 0, SQLCS_IMPLICIT),
            OCI_ERROR);
        EXPECT_EQ(c.error_code(), 22920);
        OCIDescriptorFree(loc, OCI_DTYPE_LOB);
    }
    stmt sel(c, "SELECT \"BODY\", \"PIC\" FROM \"DOCS\" WHERE ROWID='" + rowid + "' FOR UPDATE");
    OCILobLocator* clob = nullptr;
    OCILobLocator* blob = nullptr;
    OCIDescriptorAlloc(c.env, reinterpret_cast<void**>(&clob), OCI_DTYPE_LOB, 0, nullptr);
    OCIDescriptorAlloc(c.env, reinterpret_cast<void**>(&blob), OCI_DTYPE_LOB, 0, nullptr);
    OCIDefine* d1 = nullptr;
    OCIDefine* d2 = nullptr;
    OCIDefineByPos(sel.h, &d1, c.err, 1, &clob, 0, SQLT_CLOB, nullptr, nullptr, nullptr, OCI_DEFAULT);
    OCIDefineByPos(sel.h, &d2, c.err, 2, &blob, 0, SQLT_BLOB, nullptr, nullptr, nullptr, OCI_DEFAULT);
    ASSERT_EQ(sel.exec(1), OCI_SUCCESS) << c.error();
    std::u16string text(3000, u'x');
    text[0] = u'\u00e9';
    text[2999] = u'\u4e2d';
    ub4 amt = static_cast<ub4>(text.size());
    ASSERT_EQ(OCILobWrite(c.svc, c.err, clob, &amt, 1, text.data(), amt * 2, OCI_ONE_PIECE, nullptr, nullptr, 0,
                          SQLCS_IMPLICIT),
              OCI_SUCCESS)
        << c.error();
    std::string bytes("\x00\x01\xff\x7f", 4);
    amt = 4;
    ASSERT_EQ(OCILobWrite(c.svc, c.err, blob, &amt, 1, bytes.data(), 4, OCI_ONE_PIECE, nullptr, nullptr, 0, 0),
              OCI_SUCCESS);
    ASSERT_EQ(OCITransCommit(c.svc, c.err, OCI_DEFAULT), OCI_SUCCESS);
    OCIDescriptorFree(clob, OCI_DTYPE_LOB);
    OCIDescriptorFree(blob, OCI_DTYPE_LOB);

    // Read back value by value.
    stmt rd(c, "SELECT \"BODY\", \"PIC\" FROM \"DOCS\"");
    OCILobLocator* l1 = nullptr;
    OCILobLocator* l2 = nullptr;
    OCIDescriptorAlloc(c.env, reinterpret_cast<void**>(&l1), OCI_DTYPE_LOB, 0, nullptr);
    OCIDescriptorAlloc(c.env, reinterpret_cast<void**>(&l2), OCI_DTYPE_LOB, 0, nullptr);
    // Defines of another statement are not this one's: null handles, made anew.
    d1 = nullptr;
    d2 = nullptr;
    OCIDefineByPos(rd.h, &d1, c.err, 1, &l1, 0, SQLT_CLOB, nullptr, nullptr, nullptr, OCI_DEFAULT);
    OCIDefineByPos(rd.h, &d2, c.err, 2, &l2, 0, SQLT_BLOB, nullptr, nullptr, nullptr, OCI_DEFAULT);
    ASSERT_EQ(rd.exec(1), OCI_SUCCESS) << c.error();
    std::u16string back(4000, u'\0');
    amt = 0;
    ASSERT_EQ(OCILobRead(c.svc, c.err, l1, &amt, 1, back.data(), 8000, nullptr, nullptr, 0, SQLCS_IMPLICIT),
              OCI_SUCCESS);
    back.resize(amt);
    EXPECT_EQ(back, text);
    ub1 form = 0;
    OCILobCharSetForm(c.env, c.err, l1, &form);
    EXPECT_EQ(form, SQLCS_IMPLICIT);
    char raw[16];
    amt = 0;
    ASSERT_EQ(OCILobRead(c.svc, c.err, l2, &amt, 1, raw, sizeof raw, nullptr, nullptr, 0, 0), OCI_SUCCESS);
    EXPECT_EQ(std::string(raw, amt), bytes);
    // Past the end: nothing.
    amt = 0;
    EXPECT_EQ(OCILobRead(c.svc, c.err, l2, &amt, 10, raw, sizeof raw, nullptr, nullptr, 0, 0), OCI_SUCCESS);
    EXPECT_EQ(amt, 0u);
    OCIDescriptorFree(l1, OCI_DTYPE_LOB);
    OCIDescriptorFree(l2, OCI_DTYPE_LOB);

    // A malformed ROWID.
    int ora = 0;
    c.rows("SELECT \"BODY\" FROM \"DOCS\" WHERE ROWID='nonsense' FOR UPDATE", &ora);
    EXPECT_EQ(ora, 1410);
}

TEST_F(OciTest, ArrayInsertWithBindsAndStaticRowids)
{
    exec("CREATE TABLE \"ARR\" (\"I\" NUMBER(10), \"S\" NVARCHAR2(5), \"F\" BINARY_DOUBLE, \"D\" DATE)");
    stmt ins(c, "INSERT INTO \"ARR\" (\"I\", \"S\", \"F\", \"D\") VALUES(:1, :2, :3, :4) RETURNING ROWID INTO :5");
    int32_t ints[3] = {1, -2, 3};
    char16_t strs[3][6] = {u"ab", u"", u"\u00e9t\u00e9"};
    double dbl[3] = {0.1, -2.5e10, 3};
    OCIDate dates[3] = {};
    dates[0].OCIDateYYYY = 1999;
    dates[0].OCIDateMM = 12;
    dates[0].OCIDateDD = 31;
    dates[0].OCIDateTime.OCITimeHH = 23;
    dates[0].OCIDateTime.OCITimeMI = 59;
    dates[0].OCIDateTime.OCITimeSS = 58;
    dates[1] = dates[0];
    dates[2] = dates[0];
    sb2 dind[3] = {0, -1, 0};
    char16_t rowids[3][20] = {};
    OCIBind* b = nullptr;
    OCIBindByPos(ins.h, &b, c.err, 1, ints, 4, SQLT_INT, nullptr, nullptr, nullptr, 0, nullptr, OCI_DEFAULT);
    OCIBindByPos(ins.h, &b, c.err, 2, strs, 12, SQLT_STR, nullptr, nullptr, nullptr, 0, nullptr, OCI_DEFAULT);
    OCIBindByPos(ins.h, &b, c.err, 3, dbl, 8, SQLT_BDOUBLE, nullptr, nullptr, nullptr, 0, nullptr, OCI_DEFAULT);
    OCIBindByPos(ins.h, &b, c.err, 4, dates, sizeof(OCIDate), SQLT_ODT, dind, nullptr, nullptr, 0, nullptr,
                 OCI_DEFAULT);
    OCIBindByPos(ins.h, &b, c.err, 5, rowids, 40, SQLT_STR, nullptr, nullptr, nullptr, 0, nullptr, OCI_DEFAULT);
    ASSERT_EQ(ins.exec(3), OCI_SUCCESS) << c.error();
    EXPECT_EQ(narrow(rowids[0]).size(), 18u);
    EXPECT_NE(narrow(rowids[0]), narrow(rowids[1]));
    ASSERT_EQ(OCITransCommit(c.svc, c.err, OCI_DEFAULT), OCI_SUCCESS);
    auto rows = c.rows("SELECT \"I\", \"S\", \"F\", \"D\" FROM \"ARR\" ORDER BY \"I\"");
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0][0], "-2");
    EXPECT_EQ(rows[0][1], "<null>");
    EXPECT_EQ(rows[0][2], "-25000000000");
    EXPECT_EQ(rows[0][3], "<null>");
    EXPECT_EQ(rows[1][1], "ab");
    EXPECT_EQ(rows[1][2], ".1");
    EXPECT_EQ(rows[1][3], "1999-12-31 23:59:58");
    auto one = c.rows("SELECT \"I\" FROM \"ARR\" WHERE ROWID='" + narrow(rowids[2]) + "'");
    ASSERT_EQ(one.size(), 1u);
    EXPECT_EQ(one[0][0], "3");
}

TEST_F(OciTest, FetchIntoIntegersTimestampsAndTruncation)
{
    exec("CREATE TABLE \"F\" (\"N\" NUMBER(10), \"T\" TIMESTAMP(3), \"S\" VARCHAR2(20))");
    exec(
        "INSERT INTO \"F\" VALUES(42, to_timestamp('2021-03-04 05:06:07.891', 'YYYY-MM-DD HH24:MI:SS.FF3'), "
        "'abcdefghij')");
    stmt s(c, "SELECT \"N\", \"T\", \"S\" FROM \"F\"");
    int32_t n = 0;
    OCIDateTime* dt = nullptr;
    OCIDescriptorAlloc(c.env, reinterpret_cast<void**>(&dt), OCI_DTYPE_TIMESTAMP, 0, nullptr);
    char16_t small[4];
    sb2 ind = 0;
    OCIDefine* d[3] = {};
    OCIDefineByPos(s.h, &d[0], c.err, 1, &n, 4, SQLT_INT, nullptr, nullptr, nullptr, OCI_DEFAULT);
    OCIDefineByPos(s.h, &d[1], c.err, 2, &dt, 0, SQLT_TIMESTAMP, nullptr, nullptr, nullptr, OCI_DEFAULT);
    OCIDefineByPos(s.h, &d[2], c.err, 3, small, sizeof small, SQLT_STR, &ind, nullptr, nullptr, OCI_DEFAULT);
    EXPECT_EQ(s.exec(1), OCI_SUCCESS_WITH_INFO);
    EXPECT_EQ(n, 42);
    EXPECT_EQ(narrow(small), "abc");
    EXPECT_EQ(ind, 20);
    sb2 y;
    ub1 mo, dd, hh, mi, ss;
    ub4 fs;
    OCIDateTimeGetDate(c.env, c.err, dt, &y, &mo, &dd);
    OCIDateTimeGetTime(c.env, c.err, dt, &hh, &mi, &ss, &fs);
    EXPECT_EQ(y, 2021);
    EXPECT_EQ(mo, 3);
    EXPECT_EQ(dd, 4);
    EXPECT_EQ(hh, 5);
    EXPECT_EQ(mi, 6);
    EXPECT_EQ(ss, 7);
    EXPECT_EQ(fs, 891000000u);
    EXPECT_EQ(OCIStmtFetch(s.h, c.err, 1, OCI_FETCH_NEXT, OCI_DEFAULT), OCI_NO_DATA);
    EXPECT_EQ(OCIStmtFetch(s.h, c.err, 1, OCI_FETCH_NEXT, OCI_DEFAULT), OCI_NO_DATA);
    OCIDescriptorFree(dt, OCI_DTYPE_TIMESTAMP);
}
