// LOB values written row by row through `SELECT ... WHERE ROWID='...' FOR
// UPDATE`, as the converter writes them: each lands in the row and column its
// query names, also after another client re-created the table.
#include "oci_fixture.h"

using namespace oci_test;

namespace {

struct lob_row_writer {
    client& c;

    // Selects the row's LOB columns FOR UPDATE and writes `values` into them.
    void write(const std::string& table, const std::vector<std::string>& cols, const std::string& rowid,
               const std::vector<std::string>& values, bool blob_first)
    {
        std::string sql = "SELECT ";
        for (size_t i = 0; i < cols.size(); ++i) sql += (i ? ", \"" : "\"") + cols[i] + "\"";
        sql += " FROM \"SYSTEM\".\"" + table + "\" WHERE ROWID='" + rowid + "' FOR UPDATE";
        OCIStmt* st = nullptr;
        OCIHandleAlloc(c.env, reinterpret_cast<void**>(&st), OCI_HTYPE_STMT, 0, nullptr);
        const std::u16string t = u16(sql);
        ASSERT_EQ(OCIStmtPrepare(st, c.err, reinterpret_cast<const OraText*>(t.data()), static_cast<ub4>(t.size() * 2),
                                 OCI_NTV_SYNTAX, OCI_DEFAULT),
                  OCI_SUCCESS);
        std::vector<OCILobLocator*> locs(cols.size(), nullptr);
        for (size_t i = 0; i < cols.size(); ++i) {
            OCIDescriptorAlloc(c.env, reinterpret_cast<void**>(&locs[i]), OCI_DTYPE_LOB, 0, nullptr);
            OCIDefine* d = nullptr;
            const bool blob = (i == 0) == blob_first;
            OCIDefineByPos(st, &d, c.err, static_cast<ub4>(i + 1), &locs[i], sizeof(OCILobLocator*),
                           blob ? SQLT_BLOB : SQLT_CLOB, nullptr, nullptr, nullptr, OCI_DEFAULT);
        }
        EXPECT_EQ(OCIStmtExecute(c.svc, st, c.err, 1, 0, nullptr, nullptr, OCI_DEFAULT), OCI_SUCCESS) << sql << "\n"
                                                                                                      << c.error();
        for (size_t i = 0; i < cols.size(); ++i) {
            const bool blob = (i == 0) == blob_first;
            std::u16string text = u16(values[i]);
            const char* data = blob ? values[i].data() : reinterpret_cast<const char*>(text.data());
            const ub4 bytes = static_cast<ub4>(blob ? values[i].size() : text.size() * 2);
            ub4 amount = blob ? bytes : bytes / 2;
            EXPECT_EQ(OCILobWrite(c.svc, c.err, locs[i], &amount, 1, const_cast<char*>(data), bytes, OCI_ONE_PIECE,
                                  nullptr, nullptr, blob ? 0 : OCI_UTF16ID, SQLCS_IMPLICIT),
                      OCI_SUCCESS)
                << c.error();
        }
        OCIHandleFree(st, OCI_HTYPE_STMT);
        for (auto* l : locs) OCIDescriptorFree(l, OCI_DTYPE_LOB);
        EXPECT_EQ(c.run("COMMIT"), 0);
    }
};

std::string hex(const std::string& b)
{
    static const char* d = "0123456789ABCDEF";
    std::string out;
    for (unsigned char ch : b) {
        out += d[ch >> 4];
        out += d[ch & 15];
    }
    return out;
}

TEST_F(OciTest, LobsOfEachRowLandInTheRowAndColumnItsQueryNames)
{
    exec("CREATE TABLE T (ID NUMBER(5), B BLOB, C CLOB)");
    for (int i = 0; i < 40; ++i) exec("INSERT INTO T VALUES (" + std::to_string(i) + ", EMPTY_BLOB(), EMPTY_CLOB())");
    exec("COMMIT");
    auto rowids = c.rows("SELECT ROWID, ID FROM T ORDER BY ID");
    ASSERT_EQ(rowids.size(), 40u);
    lob_row_writer w{c};
    for (int i = 0; i < 20; ++i)
        w.write("T", {"B", "C"}, rowids[static_cast<size_t>(i)][0], {"b" + std::to_string(i), "c" + std::to_string(i)},
                true);
    // Another client re-creates the table with its columns in another order.
    {
        client other;
        ASSERT_EQ(other.connect(svc_dir.ds(), "system", "manager"), OCI_SUCCESS) << other.error();
        ASSERT_EQ(other.run("DROP TABLE T"), 0) << other.error();
        ASSERT_EQ(other.run("CREATE TABLE T (C CLOB, ID NUMBER(5), B BLOB)"), 0) << other.error();
        for (int i = 0; i < 40; ++i)
            ASSERT_EQ(other.run("INSERT INTO T VALUES (EMPTY_CLOB(), " + std::to_string(i) + ", EMPTY_BLOB())"), 0);
        ASSERT_EQ(other.run("COMMIT"), 0);
    }
    const std::string old_rowid = rowids[0][0];
    rowids = c.rows("SELECT ROWID, ID FROM T ORDER BY ID");
    ASSERT_EQ(rowids.size(), 40u);
    // The ROWID of a row of the dropped table names no row of the new one.
    int ora = -1;
    EXPECT_TRUE(c.rows("SELECT B FROM \"SYSTEM\".\"T\" WHERE ROWID='" + old_rowid + "' FOR UPDATE", &ora).empty());
    EXPECT_EQ(ora, 0);
    exec("COMMIT");
    for (int i = 0; i < 40; ++i)
        w.write("T", {i % 2 ? "B" : "C", i % 2 ? "C" : "B"}, rowids[static_cast<size_t>(i)][0],
                {i % 2 ? "B" + std::to_string(i) : "C" + std::to_string(i),
                 i % 2 ? "C" + std::to_string(i) : "B" + std::to_string(i)},
                i % 2 == 1);
    client reader;
    ASSERT_EQ(reader.connect(svc_dir.ds(), "system", "manager"), OCI_SUCCESS) << reader.error();
    const auto back = reader.rows("SELECT ID, B, C FROM T ORDER BY ID");
    ASSERT_EQ(back.size(), 40u);
    for (int i = 0; i < 40; ++i) {
        EXPECT_EQ(back[static_cast<size_t>(i)][0], std::to_string(i));
        EXPECT_EQ(back[static_cast<size_t>(i)][1], hex("B" + std::to_string(i)));
        EXPECT_EQ(back[static_cast<size_t>(i)][2], "C" + std::to_string(i));
    }
}

} // namespace
