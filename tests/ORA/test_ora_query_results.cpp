// Query results and fetch holders, read back from the embedded Oracle.
#include <gtest/gtest.h>
#include "ORA/ora_exception.h"
#include "ORA/ora_query_results.h"
#include "ORA/ora_text.h"
#include "TK/tk_exception.h"
#include "tests/ORA/ora_test_server.h"

class OraResults : public ora_server_test {
protected:
    // Writes a whole CLOB through the locator the query selects.
    void write_clob(const std::wstring& sql, const std::wstring& value)
    {
        ora_engine& eng = *engine;
        ora_stmt st;
        eng.check_err(st.prepare(sql));
        void* d = nullptr;
        eng.check_err(OCIDescriptorAlloc(eng.get_env(), &d, OCI_DTYPE_LOB, 0, nullptr));
        OCILobLocator* loc = static_cast<OCILobLocator*>(d);
        OCIDefine* def = nullptr;
        sb2 ind = 0;
        eng.check_err(OCIDefineByPos(st.get(), &def, eng.get_err(), 1, &loc, sizeof loc, SQLT_CLOB, &ind, nullptr,
                                     nullptr, OCI_DEFAULT));
        eng.check_err(OCIStmtExecute(eng.get_svc(), st.get(), eng.get_err(), 1, 0, nullptr, nullptr, OCI_DEFAULT));
        std::u16string text = ora_to_u16(value);
        ub4 amt = static_cast<ub4>(text.size());
        eng.check_err(OCILobWrite(eng.get_svc(), eng.get_err(), loc, &amt, 1, text.data(),
                                  static_cast<ub4>(text.size() * 2), OCI_ONE_PIECE, nullptr, nullptr, 0,
                                  SQLCS_IMPLICIT));
        OCIDescriptorFree(loc, OCI_DTYPE_LOB);
    }
};

TEST_F(OraResults, EmptyResultAndCursorRules)
{
    exec(L"CREATE TABLE T (A NUMBER(10,0))");
    {
        ora_query_results rs(0, L"SELECT A FROM T");
        EXPECT_TRUE(rs.is_eof());
        EXPECT_EQ(rs.get_item(), nullptr);
    }
    exec(L"INSERT INTO T VALUES (1)");
    exec(L"INSERT INTO T VALUES (2)");
    ora_query_results rs(0, L"SELECT A FROM T ORDER BY A");
    EXPECT_THROW(rs.initialize(0, L"SELECT A FROM T"), tk_mail_assertion);
    EXPECT_THROW(rs.append_record(nullptr), tk_mail_assertion);
    // get_item fetches by itself when is_eof was not asked.
    udb_record* r1 = rs.get_item();
    ASSERT_NE(r1, nullptr);
    EXPECT_EQ(r1->at(0).to_wstring(), L"1");
    udb_record* r2 = rs.get_item();
    ASSERT_NE(r2, nullptr);
    EXPECT_EQ(r2->at(0).to_wstring(), L"2");
    EXPECT_EQ(rs.get_item(), nullptr);
    EXPECT_THROW(ora_query_results(0, L"SELECT A FROM NOPE"), ora_exception);
}

TEST_F(OraResults, NumberTypesFromPrecisionAndScale)
{
    exec(L"CREATE TABLE N (A NUMBER(2,2), B NUMBER, C NUMBER(10,0), D NUMBER(19,0), E NUMBER(4,0), F FLOAT)");
    exec(L"INSERT INTO N VALUES (.5, -.25, 2147483647, 9223372036854775807, -12, 1.5)");
    ora_query_results rs(0, L"SELECT A, B, C, D, E, F FROM N");
    const udb_schema& s = rs.schema;
    ASSERT_EQ(s.size(), 6u);
    EXPECT_EQ(s.at(0).vartype, VT_DECIMAL);
    EXPECT_EQ(s.at(0).dw_reserved, (3u << 8) | 2u);
    EXPECT_EQ(s.at(1).vartype, VT_R8);
    EXPECT_EQ(s.at(2).vartype, VT_I4);
    EXPECT_EQ(s.at(3).vartype, VT_I8);
    EXPECT_EQ(s.at(4).vartype, VT_I2);
    EXPECT_EQ(s.at(0).name, L"A");
    ASSERT_FALSE(rs.is_eof());
    udb_record* r = rs.get_item();
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->at(0).get_type(), VT_DECIMAL);
    EXPECT_DOUBLE_EQ(r->at(0).to_double(), 0.5);
    EXPECT_DOUBLE_EQ(r->at(1).to_double(), -0.25);
    EXPECT_EQ(r->at(2).to_long(), 2147483647);
    EXPECT_EQ(r->at(3).to_i8(), 9223372036854775807LL);
    EXPECT_EQ(r->at(4).to_long(), -12);
    EXPECT_DOUBLE_EQ(r->at(5).to_double(), 1.5);
    EXPECT_TRUE(rs.is_eof());
}

TEST_F(OraResults, NullInEveryHolderKind)
{
    exec(L"CREATE TABLE Z (S NVARCHAR2(10), N NUMBER(10,0), R RAW(16), C CLOB, B BLOB, D DATE, T TIMESTAMP, L LONG)");
    exec(L"INSERT INTO Z VALUES (NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL)");
    ora_query_results rs(0, L"SELECT S, N, R, C, B, D, T, L FROM Z");
    ASSERT_FALSE(rs.is_eof());
    udb_record* r = rs.get_item();
    ASSERT_NE(r, nullptr);
    ASSERT_EQ(r->size(), 8u);
    for (size_t i = 0; i < r->size(); ++i) EXPECT_EQ(r->at(i).get_type(), VT_EMPTY) << i;
    EXPECT_EQ(rs.schema.at(2).vartype, 65);
    EXPECT_EQ(rs.schema.at(3).vartype, VT_BSTR);
    EXPECT_EQ(rs.schema.at(4).vartype, 65);
    EXPECT_EQ(rs.schema.at(5).vartype, VT_DATE);
    EXPECT_EQ(rs.schema.at(5).dw_reserved, 1u);
    EXPECT_EQ(rs.schema.at(7).vartype, VT_BSTR);
}

TEST_F(OraResults, UnicodeTextAndLongClob)
{
    const std::wstring word = L"Ж\u00e9\u4e2d\U0001F600x";
    exec(L"CREATE TABLE U (S NVARCHAR2(20), C CLOB)");
    exec(L"INSERT INTO U VALUES ('" + word + L"', '" + word + L"')");
    auto got = rows(L"SELECT S, C FROM U");
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0][0], word);
    EXPECT_EQ(got[0][1], word);
    // Several 32 KiB chunks.
    std::wstring big;
    while (big.size() < 40000) big += L"éabc中" + std::to_wstring(big.size());
    exec(L"INSERT INTO U (C) VALUES (EMPTY_CLOB())");
    write_clob(L"SELECT C FROM U WHERE S IS NULL FOR UPDATE", big);
    got = rows(L"SELECT C FROM U WHERE S IS NULL");
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0][0].size(), big.size());
    EXPECT_EQ(got[0][0], big);
}

TEST_F(OraResults, RawKeepsItsLengthAndUnfetchableTypesReadAsText)
{
    exec(L"CREATE TABLE R (B RAW(16), X XMLTYPE)");
    exec(L"INSERT INTO R VALUES ('0A0B0C0D', NULL)");
    ora_query_results rs(0, L"SELECT B FROM R");
    ASSERT_FALSE(rs.is_eof());
    udb_record* r = rs.get_item();
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->at(0).to_wstring(), L"0x0A0B0C0D");
    exec(L"DELETE FROM R");
    exec(L"INSERT INTO R (B, X) VALUES ('01', '<a/>')");
    auto got = rows(L"SELECT X FROM R");
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0][0], L"<unsupported type>");
}

TEST_F(OraResults, DatesCarryMilliseconds)
{
    exec(L"CREATE TABLE D (A DATE, B TIMESTAMP)");
    exec(
        L"INSERT INTO D VALUES (to_date('2016-12-31 14:05:07', 'YYYY-MM-DD HH24:MI:SS'), "
        L"to_timestamp('2016-12-31 14:05:07.250', 'YYYY-MM-DD HH24:MI:SS.FF3'))");
    ora_query_results rs(0, L"SELECT A, B FROM D");
    ASSERT_FALSE(rs.is_eof());
    udb_record* r = rs.get_item();
    ASSERT_NE(r, nullptr);
    SYSTEMTIME a{}, b{};
    r->at(0).get_systemtime(a);
    r->at(1).get_systemtime(b);
    EXPECT_EQ(a.wYear, 2016);
    EXPECT_EQ(a.wMonth, 12);
    EXPECT_EQ(a.wDay, 31);
    EXPECT_EQ(a.wHour, 14);
    EXPECT_EQ(a.wSecond, 7);
    EXPECT_EQ(a.wMilliseconds, 0);
    EXPECT_EQ(b.wMilliseconds, 250);
}

TEST_F(OraResults, LongRawRowidAndBinaryDouble)
{
    exec(L"CREATE TABLE M (R LONG RAW, F BINARY_DOUBLE, G BINARY_FLOAT)");
    exec(L"INSERT INTO M VALUES ('0A0B0C', 2.5, -0.5)");
    ora_query_results rs(0, L"SELECT R, F, G, ROWID FROM M");
    ASSERT_EQ(rs.schema.size(), 4u);
    EXPECT_EQ(rs.schema.at(0).vartype, 65);    // LONG RAW reads as binary
    EXPECT_EQ(rs.schema.at(1).vartype, VT_R8); // never an unfetchable text of size 0
    EXPECT_EQ(rs.schema.at(2).vartype, VT_R8);
    EXPECT_EQ(rs.schema.at(3).vartype, VT_BSTR);
    ASSERT_FALSE(rs.is_eof());
    udb_record* r = rs.get_item();
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->at(0).to_wstring(), L"0x0A0B0C");
    EXPECT_DOUBLE_EQ(r->at(1).to_double(), 2.5);
    EXPECT_DOUBLE_EQ(r->at(2).to_double(), -0.5);
    EXPECT_FALSE(r->at(3).to_wstring().empty());
}
