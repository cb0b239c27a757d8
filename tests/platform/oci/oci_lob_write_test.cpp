// LOB values written in several calls, larger than a value kept in memory: they are
// stored in place, and every way of reading them back gives the same bytes.
#include "oci_fixture.h"
#include "platform/eora/eora_lob_writer.h"

using namespace oci_test;

namespace {

struct stmt {
    client& c;
    OCIStmt* h = nullptr;
    stmt(client& cl, const std::string& sql) : c(cl)
    {
        OCIHandleAlloc(c.env, reinterpret_cast<void**>(&h), OCI_HTYPE_STMT, 0, nullptr);
        std::u16string t = u16(sql);
        OCIStmtPrepare(h, c.err, reinterpret_cast<const OraText*>(t.data()), static_cast<ub4>(t.size() * 2),
                       OCI_NTV_SYNTAX, OCI_DEFAULT);
    }
    ~stmt() { OCIHandleFree(h, OCI_HTYPE_STMT); }
    stmt(const stmt&) = delete;
    stmt& operator=(const stmt&) = delete;
    sword exec() { return OCIStmtExecute(c.svc, h, c.err, 1, 0, nullptr, nullptr, OCI_DEFAULT); }
};

struct locator {
    OCILobLocator* p = nullptr;
    explicit locator(client& c) { OCIDescriptorAlloc(c.env, reinterpret_cast<void**>(&p), OCI_DTYPE_LOB, 0, nullptr); }
    ~locator() { OCIDescriptorFree(p, OCI_DTYPE_LOB); }
    locator(const locator&) = delete;
    locator& operator=(const locator&) = delete;
};

// Text of `units` UTF-16 units: ASCII, Latin, CJK and surrogate pairs.
std::u16string make_text(size_t units)
{
    static const std::u16string parts[] = {u"a", u"\u00e4", u"\u4e2d", u"\U0001F600", u"z"};
    std::u16string out;
    uint32_t x = 99;
    while (out.size() < units) {
        x = x * 1103515245u + 12345u;
        out += parts[(x >> 16) % 5];
    }
    return out;
}

std::string make_bytes(size_t n)
{
    std::string out(n, '\0');
    uint32_t x = 5;
    for (auto& ch : out) {
        x = x * 1664525u + 1013904223u;
        ch = static_cast<char>(x >> 24);
    }
    return out;
}

// Writes `data` (UTF-16 units as bytes for a CLOB) in pieces of `piece` bytes.
sword write_in_pieces(client& c, OCILobLocator* loc, const char* data, size_t bytes, size_t piece, bool text)
{
    ub1 kind = OCI_FIRST_PIECE;
    for (size_t at = 0;;) {
        const size_t n = std::min(piece, bytes - at);
        if (at + n == bytes) kind = kind == OCI_FIRST_PIECE ? OCI_ONE_PIECE : OCI_LAST_PIECE;
        ub4 amount = kind == OCI_ONE_PIECE ? static_cast<ub4>(text ? n / 2 : n) : 0;
        const sword rc = OCILobWrite(c.svc, c.err, loc, &amount, 1, const_cast<char*>(data + at), static_cast<ub4>(n),
                                     kind, nullptr, nullptr, text ? OCI_UTF16ID : 0, SQLCS_IMPLICIT);
        at += n;
        if (kind == OCI_ONE_PIECE || kind == OCI_LAST_PIECE || rc != OCI_NEED_DATA) return rc;
        kind = OCI_NEXT_PIECE;
    }
}

std::u16string read_text(client& c, OCILobLocator* loc)
{
    ub4 length = 0;
    EXPECT_EQ(OCILobGetLength(c.svc, c.err, loc, &length), OCI_SUCCESS) << c.error();
    std::u16string out(length, u'\0');
    ub4 amount = 0;
    EXPECT_EQ(OCILobRead(c.svc, c.err, loc, &amount, 1, out.data(), length * 2, nullptr, nullptr, OCI_UTF16ID,
                         SQLCS_IMPLICIT),
              OCI_SUCCESS)
        << c.error();
    out.resize(amount);
    return out;
}

std::string read_bytes(client& c, OCILobLocator* loc)
{
    ub4 length = 0;
    EXPECT_EQ(OCILobGetLength(c.svc, c.err, loc, &length), OCI_SUCCESS) << c.error();
    std::string out(length, '\0');
    ub4 amount = 0;
    EXPECT_EQ(OCILobRead(c.svc, c.err, loc, &amount, 1, out.data(), length, nullptr, nullptr, 0, 0), OCI_SUCCESS)
        << c.error();
    out.resize(amount);
    return out;
}

class OciLobWrites : public OciTest {
protected:
    // Both values above what is kept in memory.
    const std::u16string text = make_text(eora::lob_writer::inline_max / 2 + 300'001);
    const std::string bytes = make_bytes(eora::lob_writer::inline_max + 1'000'003);

    // Reads the row through a second session: what was committed.
    void expect_committed(const std::u16string& c_value, const std::string& b_value)
    {
        client other;
        ASSERT_EQ(other.connect(svc_dir.ds(), "system", "manager"), OCI_SUCCESS) << other.error();
        stmt rd(other, "SELECT \"C\", \"B\", \"TAIL\" FROM \"LP\" WHERE \"ID\" = 1");
        locator cl(other), bl(other);
        OCIDefine* d1 = nullptr;
        OCIDefine* d2 = nullptr;
        OCIDefine* d3 = nullptr;
        char16_t tail[16] = {};
        OCIDefineByPos(rd.h, &d1, other.err, 1, &cl.p, 0, SQLT_CLOB, nullptr, nullptr, nullptr, OCI_DEFAULT);
        OCIDefineByPos(rd.h, &d2, other.err, 2, &bl.p, 0, SQLT_BLOB, nullptr, nullptr, nullptr, OCI_DEFAULT);
        OCIDefineByPos(rd.h, &d3, other.err, 3, tail, sizeof tail, SQLT_STR, nullptr, nullptr, nullptr, OCI_DEFAULT);
        ASSERT_EQ(rd.exec(), OCI_SUCCESS) << other.error();
        const std::u16string c_back = read_text(other, cl.p);
        EXPECT_EQ(c_back.size(), c_value.size());
        EXPECT_TRUE(c_back == c_value) << narrow(c_back.substr(0, 20));
        const std::string b_back = read_bytes(other, bl.p);
        EXPECT_EQ(b_back.size(), b_value.size());
        EXPECT_TRUE(b_back == b_value);
        EXPECT_EQ(narrow(tail), "end");
    }
};

TEST_F(OciLobWrites, LargeValuesArriveWholeAndReadTheSameEveryWay)
{
    // A column with a value after the LOBs: their room is then built in memory.
    exec("CREATE TABLE \"LP\" (\"ID\" NUMBER, \"C\" CLOB, \"B\" BLOB, \"TAIL\" VARCHAR2(10))");
    exec("INSERT INTO \"LP\" VALUES(1, EMPTY_CLOB(), EMPTY_BLOB(), 'end')");
    stmt sel(c, "SELECT \"C\", \"B\" FROM \"LP\" WHERE \"ID\" = 1 FOR UPDATE");
    locator cl(c), bl(c);
    OCIDefine* d1 = nullptr;
    OCIDefine* d2 = nullptr;
    OCIDefineByPos(sel.h, &d1, c.err, 1, &cl.p, 0, SQLT_CLOB, nullptr, nullptr, nullptr, OCI_DEFAULT);
    OCIDefineByPos(sel.h, &d2, c.err, 2, &bl.p, 0, SQLT_BLOB, nullptr, nullptr, nullptr, OCI_DEFAULT);
    ASSERT_EQ(sel.exec(), OCI_SUCCESS) << c.error();
    // An odd piece size, so pieces end inside surrogate pairs' neighbours.
    ASSERT_EQ(write_in_pieces(c, cl.p, reinterpret_cast<const char*>(text.data()), text.size() * 2, 1'000'002, true),
              OCI_SUCCESS)
        << c.error();
    ASSERT_EQ(write_in_pieces(c, bl.p, bytes.data(), bytes.size(), 999'999, false), OCI_SUCCESS) << c.error();
    // The writing locators read what their row holds.
    EXPECT_TRUE(read_text(c, cl.p) == text);
    EXPECT_TRUE(read_bytes(c, bl.p) == bytes);
    char16_t some[5] = {};
    ub4 amount = 5;
    ASSERT_EQ(
        OCILobRead(c.svc, c.err, cl.p, &amount, 1001, some, sizeof some, nullptr, nullptr, OCI_UTF16ID, SQLCS_IMPLICIT),
        OCI_SUCCESS);
    EXPECT_TRUE(std::u16string(some, amount) == text.substr(1000, 5));
    exec("COMMIT");
    expect_committed(text, bytes);
}

TEST_F(OciLobWrites, RewritingOneValueKeepsTheLargeValueBesideIt)
{
    // The LOBs last: nothing of them is built in memory.
    exec("CREATE TABLE \"LP\" (\"ID\" NUMBER, \"TAIL\" VARCHAR2(10), \"C\" CLOB, \"B\" BLOB)");
    exec("INSERT INTO \"LP\" VALUES(1, 'end', EMPTY_CLOB(), EMPTY_BLOB())");
    {
        stmt sel(c, "SELECT \"B\" FROM \"LP\" WHERE \"ID\" = 1 FOR UPDATE");
        locator bl(c);
        OCIDefine* d = nullptr;
        OCIDefineByPos(sel.h, &d, c.err, 1, &bl.p, 0, SQLT_BLOB, nullptr, nullptr, nullptr, OCI_DEFAULT);
        ASSERT_EQ(sel.exec(), OCI_SUCCESS) << c.error();
        ASSERT_EQ(write_in_pieces(c, bl.p, bytes.data(), bytes.size(), 1 << 20, false), OCI_SUCCESS) << c.error();
    }
    // The large text is written after it, then replaced by a short one.
    stmt sel(c, "SELECT \"C\" FROM \"LP\" WHERE \"ID\" = 1 FOR UPDATE");
    locator cl(c);
    OCIDefine* d = nullptr;
    OCIDefineByPos(sel.h, &d, c.err, 1, &cl.p, 0, SQLT_CLOB, nullptr, nullptr, nullptr, OCI_DEFAULT);
    ASSERT_EQ(sel.exec(), OCI_SUCCESS) << c.error();
    ASSERT_EQ(write_in_pieces(c, cl.p, reinterpret_cast<const char*>(text.data()), text.size() * 2, 1 << 20, true),
              OCI_SUCCESS)
        << c.error();
    exec("COMMIT");
    expect_committed(text, bytes);
    const std::u16string short_text = u"kurz \u00e4\u4e2d";
    ASSERT_EQ(
        write_in_pieces(c, cl.p, reinterpret_cast<const char*>(short_text.data()), short_text.size() * 2, 6, true),
        OCI_SUCCESS)
        << c.error();
    exec("COMMIT");
    expect_committed(short_text, bytes);
}

TEST_F(OciLobWrites, AFailedLargeWriteLeavesTheValueItReplaced)
{
    exec("CREATE TABLE \"LP\" (\"ID\" NUMBER, \"TAIL\" VARCHAR2(10), \"C\" CLOB, \"B\" BLOB)");
    exec("INSERT INTO \"LP\" VALUES(1, 'end', 'before', EMPTY_BLOB())");
    exec("COMMIT");
    stmt sel(c, "SELECT \"C\" FROM \"LP\" WHERE \"ID\" = 1 FOR UPDATE");
    locator cl(c);
    OCIDefine* d = nullptr;
    OCIDefineByPos(sel.h, &d, c.err, 1, &cl.p, 0, SQLT_CLOB, nullptr, nullptr, nullptr, OCI_DEFAULT);
    ASSERT_EQ(sel.exec(), OCI_SUCCESS) << c.error();
    oci_test_inject_error("OCILobWrite SYSTEM.LP.C next piece", 1013);
    EXPECT_EQ(write_in_pieces(c, cl.p, reinterpret_cast<const char*>(text.data()), text.size() * 2, 1 << 20, true),
              OCI_ERROR);
    EXPECT_EQ(c.error_code(), 1013);
    exec("ROLLBACK");
    expect_committed(u"before", "");
}

} // namespace
