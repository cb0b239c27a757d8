// The embedded Oracle's OCI refuses what a real client refuses: handles that
// are not live, defines on handles a prepare dropped, LOB writes and reads in
// the other character set form, and amounts in the wrong units.
#include "oci_fixture.h"

using namespace oci_test;

namespace {

struct stmt {
    client& c;
    OCIStmt* h = nullptr;
    stmt(client& cl, const std::string& sql) : c(cl)
    {
        OCIHandleAlloc(c.env, reinterpret_cast<void**>(&h), OCI_HTYPE_STMT, 0, nullptr);
        prepare(sql);
    }
    ~stmt() { OCIHandleFree(h, OCI_HTYPE_STMT); }
    stmt(const stmt&) = delete;
    stmt& operator=(const stmt&) = delete;
    sword prepare(const std::string& sql)
    {
        std::u16string t = u16(sql);
        return OCIStmtPrepare(h, c.err, reinterpret_cast<const OraText*>(t.data()), static_cast<ub4>(t.size() * 2),
                              OCI_NTV_SYNTAX, OCI_DEFAULT);
    }
    sword exec() { return OCIStmtExecute(c.svc, h, c.err, 1, 0, nullptr, nullptr, OCI_DEFAULT); }
};

struct locator {
    OCILobLocator* p = nullptr;
    explicit locator(client& c) { OCIDescriptorAlloc(c.env, reinterpret_cast<void**>(&p), OCI_DTYPE_LOB, 0, nullptr); }
    ~locator() { OCIDescriptorFree(p, OCI_DTYPE_LOB); }
    locator(const locator&) = delete;
    locator& operator=(const locator&) = delete;
};

class OciStrictTest : public OciTest {
protected:
    void SetUp() override
    {
        OciTest::SetUp();
        exec("CREATE TABLE \"L\" (\"ID\" NUMBER(10), \"C\" CLOB, \"N\" NCLOB, \"B\" BLOB)");
        exec("INSERT INTO \"L\" VALUES(1, EMPTY_CLOB(), EMPTY_CLOB(), EMPTY_BLOB())");
    }

    // Selects row 1's three locators for update into c, n and b.
    void select_locators(stmt& sel, locator& c_loc, locator& n_loc, locator& b_loc)
    {
        OCIDefine* d[3] = {};
        ASSERT_EQ(
            OCIDefineByPos(sel.h, &d[0], c.err, 1, &c_loc.p, 0, SQLT_CLOB, nullptr, nullptr, nullptr, OCI_DEFAULT),
            OCI_SUCCESS);
        ASSERT_EQ(
            OCIDefineByPos(sel.h, &d[1], c.err, 2, &n_loc.p, 0, SQLT_CLOB, nullptr, nullptr, nullptr, OCI_DEFAULT),
            OCI_SUCCESS);
        ASSERT_EQ(
            OCIDefineByPos(sel.h, &d[2], c.err, 3, &b_loc.p, 0, SQLT_BLOB, nullptr, nullptr, nullptr, OCI_DEFAULT),
            OCI_SUCCESS);
        ASSERT_EQ(sel.exec(), OCI_SUCCESS) << c.error();
    }

    sword write_text(locator& loc, const std::u16string& text, ub4 amount, ub1 form)
    {
        return OCILobWrite(c.svc, c.err, loc.p, &amount, 1, const_cast<char16_t*>(text.data()),
                           static_cast<ub4>(text.size() * 2), OCI_ONE_PIECE, nullptr, nullptr, OCI_UTF16ID, form);
    }

    // The whole text a character LOB holds, read in one piece in `form`.
    std::u16string read_text(locator& loc, ub1 form)
    {
        std::u16string back(64, u'\0');
        ub4 amount = static_cast<ub4>(back.size());
        EXPECT_EQ(OCILobRead(c.svc, c.err, loc.p, &amount, 1, back.data(), static_cast<ub4>(back.size() * 2), nullptr,
                             nullptr, OCI_UTF16ID, form),
                  OCI_SUCCESS)
            << c.error();
        back.resize(amount);
        return back;
    }
};

TEST_F(OciStrictTest, handles_that_are_not_live_are_refused)
{
    // Freed: every call on it, and a second free, is refused.
    OCIStmt* freed = nullptr;
    ASSERT_EQ(OCIHandleAlloc(c.env, reinterpret_cast<void**>(&freed), OCI_HTYPE_STMT, 0, nullptr), OCI_SUCCESS);
    ASSERT_EQ(OCIHandleFree(freed, OCI_HTYPE_STMT), OCI_SUCCESS);
    const std::u16string sql = u"SELECT 1 FROM DUAL";
    EXPECT_EQ(OCIStmtPrepare(freed, c.err, reinterpret_cast<const OraText*>(sql.data()),
                             static_cast<ub4>(sql.size() * 2), OCI_NTV_SYNTAX, OCI_DEFAULT),
              OCI_INVALID_HANDLE);
    EXPECT_EQ(OCIStmtExecute(c.svc, freed, c.err, 1, 0, nullptr, nullptr, OCI_DEFAULT), OCI_INVALID_HANDLE);
    EXPECT_EQ(OCIHandleFree(freed, OCI_HTYPE_STMT), OCI_INVALID_HANDLE);

    // A descriptor freed twice, and a freed locator passed to a LOB call.
    OCILobLocator* loc = nullptr;
    ASSERT_EQ(OCIDescriptorAlloc(c.env, reinterpret_cast<void**>(&loc), OCI_DTYPE_LOB, 0, nullptr), OCI_SUCCESS);
    ASSERT_EQ(OCIDescriptorFree(loc, OCI_DTYPE_LOB), OCI_SUCCESS);
    EXPECT_EQ(OCIDescriptorFree(loc, OCI_DTYPE_LOB), OCI_INVALID_HANDLE);
    ub4 length = 0;
    EXPECT_EQ(OCILobGetLength(c.svc, c.err, loc, &length), OCI_INVALID_HANDLE);

    // Never allocated, and a live handle under another type.
    long not_a_handle = 0;
    EXPECT_EQ(
        OCIStmtPrepare(reinterpret_cast<OCIStmt*>(&not_a_handle), c.err, reinterpret_cast<const OraText*>(sql.data()),
                       static_cast<ub4>(sql.size() * 2), OCI_NTV_SYNTAX, OCI_DEFAULT),
        OCI_INVALID_HANDLE);
    stmt live(c, "SELECT 1 FROM DUAL");
    EXPECT_EQ(OCIDescriptorFree(live.h, OCI_DTYPE_LOB), OCI_INVALID_HANDLE);
    EXPECT_EQ(live.exec(), OCI_SUCCESS) << c.error();
}

TEST_F(OciStrictTest, a_define_on_a_handle_a_prepare_dropped_is_refused)
{
    stmt sel(c, "SELECT \"ID\", \"ID\" + 1 FROM \"L\"");
    int32_t first = 0, second = 0;
    OCIDefine* d1 = nullptr;
    OCIDefine* d2 = nullptr;
    ASSERT_EQ(OCIDefineByPos(sel.h, &d1, c.err, 1, &first, 4, SQLT_INT, nullptr, nullptr, nullptr, OCI_DEFAULT),
              OCI_SUCCESS);
    ASSERT_NE(d1, nullptr);
    // A live define of another position is not this one's.
    OCIDefine* reused = d1;
    EXPECT_EQ(OCIDefineByPos(sel.h, &reused, c.err, 2, &second, 4, SQLT_INT, nullptr, nullptr, nullptr, OCI_DEFAULT),
              OCI_ERROR);
    EXPECT_EQ(c.error_code(), 24317);
    // Redefining the same position with its handle moves the value to the new buffer.
    int32_t moved = 0;
    ASSERT_EQ(OCIDefineByPos(sel.h, &d1, c.err, 1, &moved, 4, SQLT_INT, nullptr, nullptr, nullptr, OCI_DEFAULT),
              OCI_SUCCESS);
    ASSERT_EQ(OCIDefineByPos(sel.h, &d2, c.err, 2, &second, 4, SQLT_INT, nullptr, nullptr, nullptr, OCI_DEFAULT),
              OCI_SUCCESS);
    ASSERT_EQ(sel.exec(), OCI_SUCCESS) << c.error();
    EXPECT_EQ(first, 0);
    EXPECT_EQ(moved, 1);
    EXPECT_EQ(second, 2);

    // A prepare drops the statement's defines: their handles are dead.
    ASSERT_EQ(sel.prepare("SELECT \"ID\" FROM \"L\""), OCI_SUCCESS);
    EXPECT_EQ(OCIDefineByPos(sel.h, &d1, c.err, 1, &first, 4, SQLT_INT, nullptr, nullptr, nullptr, OCI_DEFAULT),
              OCI_INVALID_HANDLE);
    // A define of another statement is refused too.
    stmt other(c, "SELECT \"ID\" FROM \"L\"");
    OCIDefine* theirs = nullptr;
    ASSERT_EQ(OCIDefineByPos(other.h, &theirs, c.err, 1, &first, 4, SQLT_INT, nullptr, nullptr, nullptr, OCI_DEFAULT),
              OCI_SUCCESS);
    EXPECT_EQ(OCIDefineByPos(sel.h, &theirs, c.err, 1, &first, 4, SQLT_INT, nullptr, nullptr, nullptr, OCI_DEFAULT),
              OCI_INVALID_HANDLE);
    // A null handle is always a fresh define.
    d1 = nullptr;
    ASSERT_EQ(OCIDefineByPos(sel.h, &d1, c.err, 1, &first, 4, SQLT_INT, nullptr, nullptr, nullptr, OCI_DEFAULT),
              OCI_SUCCESS);
    ASSERT_EQ(sel.exec(), OCI_SUCCESS) << c.error();
    EXPECT_EQ(first, 1);
}

TEST_F(OciStrictTest, a_bind_handle_passed_in_must_be_live_and_is_bound_again_in_place)
{
    stmt ins(c, "INSERT INTO \"L\" (\"ID\") VALUES(:v)");
    int32_t v = 7;
    OCIBind* b = nullptr;
    const std::u16string name = u":v";
    auto bind = [&](OCIBind** bp, int32_t* value) {
        return OCIBindByName(ins.h, bp, c.err, reinterpret_cast<const OraText*>(name.data()),
                             static_cast<sb4>(name.size() * 2), value, 4, SQLT_INT, nullptr, nullptr, nullptr, 0,
                             nullptr, OCI_DEFAULT);
    };
    ASSERT_EQ(bind(&b, &v), OCI_SUCCESS);
    OCIBind* const first = b;
    int32_t w = 8;
    ASSERT_EQ(bind(&b, &w), OCI_SUCCESS);
    EXPECT_EQ(b, first);
    ASSERT_EQ(ins.exec(), OCI_SUCCESS) << c.error();
    EXPECT_EQ(c.rows("SELECT \"ID\" FROM \"L\" ORDER BY \"ID\""),
              (std::vector<std::vector<std::string>>{{"1"}, {"8"}}));
    // After a prepare the handle is gone.
    ASSERT_EQ(ins.prepare("INSERT INTO \"L\" (\"ID\") VALUES(:v)"), OCI_SUCCESS);
    EXPECT_EQ(bind(&b, &v), OCI_INVALID_HANDLE);
}

TEST_F(OciStrictTest, lob_writes_and_reads_go_in_the_form_of_their_column)
{
    stmt sel(c, "SELECT \"C\", \"N\", \"B\" FROM \"L\" WHERE \"ID\" = 1 FOR UPDATE");
    locator cl(c), nl(c), bl(c);
    select_locators(sel, cl, nl, bl);
    ub1 form = 0;
    ASSERT_EQ(OCILobCharSetForm(c.env, c.err, nl.p, &form), OCI_SUCCESS);
    EXPECT_EQ(form, SQLCS_NCHAR);
    ASSERT_EQ(OCILobCharSetForm(c.env, c.err, cl.p, &form), OCI_SUCCESS);
    EXPECT_EQ(form, SQLCS_IMPLICIT);

    const std::u16string text = u"\u6f22\u5b57 \U0001F600 text";
    const ub4 units = static_cast<ub4>(text.size());
    // The other form is refused, and nothing of it is stored.
    EXPECT_EQ(write_text(nl, text, units, SQLCS_IMPLICIT), OCI_ERROR);
    EXPECT_EQ(c.error_code(), 24806);
    EXPECT_EQ(write_text(cl, text, units, SQLCS_NCHAR), OCI_ERROR);
    EXPECT_EQ(c.error_code(), 24806);
    EXPECT_EQ(read_text(nl, SQLCS_NCHAR), u"");
    // Each in its own form.
    ASSERT_EQ(write_text(nl, text, units, SQLCS_NCHAR), OCI_SUCCESS) << c.error();
    ASSERT_EQ(write_text(cl, text, units, SQLCS_IMPLICIT), OCI_SUCCESS) << c.error();
    // A BLOB has no form: OCI ignores what is passed.
    std::string bytes("\x00\x01\xfe", 3);
    ub4 amount = 3;
    ASSERT_EQ(
        OCILobWrite(c.svc, c.err, bl.p, &amount, 1, bytes.data(), 3, OCI_ONE_PIECE, nullptr, nullptr, 0, SQLCS_NCHAR),
        OCI_SUCCESS)
        << c.error();
    ASSERT_EQ(OCITransCommit(c.svc, c.err, OCI_DEFAULT), OCI_SUCCESS);

    stmt rd(c, "SELECT \"C\", \"N\", \"B\" FROM \"L\" WHERE \"ID\" = 1");
    locator c2(c), n2(c), b2(c);
    select_locators(rd, c2, n2, b2);
    EXPECT_EQ(read_text(n2, SQLCS_NCHAR), text);
    EXPECT_EQ(read_text(c2, SQLCS_IMPLICIT), text);
    char16_t some[8];
    amount = 8;
    EXPECT_EQ(
        OCILobRead(c.svc, c.err, n2.p, &amount, 1, some, sizeof some, nullptr, nullptr, OCI_UTF16ID, SQLCS_IMPLICIT),
        OCI_ERROR);
    EXPECT_EQ(c.error_code(), 24806);
}

TEST_F(OciStrictTest, lob_amounts_count_characters_of_text_and_bytes_of_a_blob)
{
    stmt sel(c, "SELECT \"C\", \"N\", \"B\" FROM \"L\" WHERE \"ID\" = 1 FOR UPDATE");
    locator cl(c), nl(c), bl(c);
    select_locators(sel, cl, nl, bl);
    const std::u16string text = u"caf\u00e9 \u4e2d";
    const ub4 units = static_cast<ub4>(text.size());
    // One piece, the amount given in bytes: more than the buffer holds.
    EXPECT_EQ(write_text(cl, text, units * 2, SQLCS_IMPLICIT), OCI_ERROR);
    EXPECT_EQ(c.error_code(), 22993);
    EXPECT_EQ(read_text(cl, SQLCS_IMPLICIT), u"");
    // In characters it goes; an amount below the buffer's writes only that much.
    ASSERT_EQ(write_text(cl, text, units, SQLCS_IMPLICIT), OCI_SUCCESS) << c.error();
    EXPECT_EQ(read_text(cl, SQLCS_IMPLICIT), text);
    ASSERT_EQ(write_text(nl, text, 3, SQLCS_NCHAR), OCI_SUCCESS) << c.error();
    EXPECT_EQ(read_text(nl, SQLCS_NCHAR), u"caf");

    // A BLOB counts bytes.
    std::string bytes("abcdef");
    ub4 amount = 7;
    EXPECT_EQ(OCILobWrite(c.svc, c.err, bl.p, &amount, 1, bytes.data(), 6, OCI_ONE_PIECE, nullptr, nullptr, 0, 0),
              OCI_ERROR);
    EXPECT_EQ(c.error_code(), 22993);
    amount = 6;
    EXPECT_EQ(OCILobWrite(c.svc, c.err, bl.p, &amount, 1, bytes.data(), 6, OCI_ONE_PIECE, nullptr, nullptr, 0, 0),
              OCI_SUCCESS);
    EXPECT_EQ(amount, 6u);
}

TEST_F(OciStrictTest, a_write_in_pieces_sends_the_total_its_first_piece_announced)
{
    stmt sel(c, "SELECT \"C\", \"N\", \"B\" FROM \"L\" WHERE \"ID\" = 1 FOR UPDATE");
    locator cl(c), nl(c), bl(c);
    select_locators(sel, cl, nl, bl);
    std::u16string a = u"first ", b = u"second";
    auto pieces = [&](ub4 total) {
        ub4 amount = total;
        sword rc = OCILobWrite(c.svc, c.err, cl.p, &amount, 1, a.data(), static_cast<ub4>(a.size() * 2),
                               OCI_FIRST_PIECE, nullptr, nullptr, OCI_UTF16ID, SQLCS_IMPLICIT);
        if (rc != OCI_NEED_DATA) return rc;
        amount = total;
        return OCILobWrite(c.svc, c.err, cl.p, &amount, 1, b.data(), static_cast<ub4>(b.size() * 2), OCI_LAST_PIECE,
                           nullptr, nullptr, OCI_UTF16ID, SQLCS_IMPLICIT);
    };
    const ub4 chars = static_cast<ub4>(a.size() + b.size());
    // The total in bytes is not what arrives.
    EXPECT_EQ(pieces(chars * 2), OCI_ERROR);
    EXPECT_EQ(c.error_code(), 22993);
    EXPECT_EQ(read_text(cl, SQLCS_IMPLICIT), u"");
    // The right total, and none (0: streamed until the last piece).
    for (ub4 total : {chars, 0u}) {
        SCOPED_TRACE(total);
        ASSERT_EQ(pieces(total), OCI_SUCCESS) << c.error();
        EXPECT_EQ(read_text(cl, SQLCS_IMPLICIT), a + b);
    }
}

TEST_F(OciStrictTest, a_read_larger_than_its_buffer_comes_in_pieces)
{
    stmt sel(c, "SELECT \"C\", \"N\", \"B\" FROM \"L\" WHERE \"ID\" = 1 FOR UPDATE");
    locator cl(c), nl(c), bl(c);
    select_locators(sel, cl, nl, bl);
    const std::u16string text = u"0123456789abcdefghij\u00e9";
    ASSERT_EQ(write_text(cl, text, static_cast<ub4>(text.size()), SQLCS_IMPLICIT), OCI_SUCCESS) << c.error();
    // Amount 0 (all of it) into a buffer of 8 characters: polled piece by
    // piece, the offsets after the first ignored.
    for (ub4 asked : {0u, static_cast<ub4>(text.size())}) {
        SCOPED_TRACE(asked);
        std::u16string got;
        char16_t buf[8];
        sword rc = OCI_NEED_DATA;
        int calls = 0;
        while (rc == OCI_NEED_DATA && calls < 10) {
            ub4 amount = asked;
            rc = OCILobRead(c.svc, c.err, cl.p, &amount, calls == 0 ? 1 : 99, buf, sizeof buf, nullptr, nullptr,
                            OCI_UTF16ID, SQLCS_IMPLICIT);
            got.append(buf, amount);
            ++calls;
        }
        EXPECT_EQ(rc, OCI_SUCCESS) << c.error();
        EXPECT_EQ(calls, 3);
        EXPECT_EQ(got, text);
    }
}

} // namespace

namespace {

TEST_F(OciStrictTest, a_define_is_freed_once_by_whoever_frees_it_first)
{
    int32_t value = 0;
    OCIDefine* d = nullptr;
    {
        stmt sel(c, "SELECT \"ID\" FROM \"L\"");
        ASSERT_EQ(OCIDefineByPos(sel.h, &d, c.err, 1, &value, 4, SQLT_INT, nullptr, nullptr, nullptr, OCI_DEFAULT),
                  OCI_SUCCESS);
        // Freed before its statement: the position has no define any more.
        EXPECT_EQ(OCIHandleFree(d, OCI_HTYPE_DEFINE), OCI_SUCCESS);
        EXPECT_EQ(OCIHandleFree(d, OCI_HTYPE_DEFINE), OCI_INVALID_HANDLE);
        ASSERT_EQ(sel.exec(), OCI_SUCCESS) << c.error();
        EXPECT_EQ(value, 0);
        d = nullptr;
        ASSERT_EQ(OCIDefineByPos(sel.h, &d, c.err, 1, &value, 4, SQLT_INT, nullptr, nullptr, nullptr, OCI_DEFAULT),
                  OCI_SUCCESS);
    }
    // Its statement freed it.
    EXPECT_EQ(OCIHandleFree(d, OCI_HTYPE_DEFINE), OCI_INVALID_HANDLE);
}

} // namespace

namespace {

TEST_F(OciStrictTest, a_query_only_described_has_columns_but_no_rows_to_fetch)
{
    stmt sel(c, "SELECT \"ID\" FROM \"L\"");
    ASSERT_EQ(OCIStmtExecute(c.svc, sel.h, c.err, 0, 0, nullptr, nullptr, OCI_DESCRIBE_ONLY), OCI_SUCCESS) << c.error();
    ub4 columns = 0;
    ASSERT_EQ(OCIAttrGet(sel.h, OCI_HTYPE_STMT, &columns, nullptr, OCI_ATTR_PARAM_COUNT, c.err), OCI_SUCCESS);
    EXPECT_EQ(columns, 1u);
    int32_t id = 0;
    OCIDefine* d = nullptr;
    ASSERT_EQ(OCIDefineByPos(sel.h, &d, c.err, 1, &id, 4, SQLT_INT, nullptr, nullptr, nullptr, OCI_DEFAULT),
              OCI_SUCCESS);
    EXPECT_EQ(OCIStmtFetch(sel.h, c.err, 1, OCI_FETCH_NEXT, OCI_DEFAULT), OCI_ERROR);
    EXPECT_EQ(c.error_code(), 24338);
    // Executed, the same statement gives its row.
    ASSERT_EQ(OCIStmtExecute(c.svc, sel.h, c.err, 0, 0, nullptr, nullptr, OCI_DEFAULT), OCI_SUCCESS) << c.error();
    EXPECT_EQ(OCIStmtFetch(sel.h, c.err, 1, OCI_FETCH_NEXT, OCI_DEFAULT), OCI_SUCCESS) << c.error();
    EXPECT_EQ(id, 1);
}

} // namespace
