// LOB values written through ora_table, row by row and by the array insert:
// NCLOB text in the national form, CLOB text in the database's, BLOB bytes;
// short values and ones sent in several pieces all read back whole.
#include "ora_target_fixture.h"

#include "ORA/ora_lob_insert.h"
#include "ORA/ora_table.h"

namespace {

std::wstring text_of(size_t n, const std::wstring& piece)
{
    std::wstring s;
    while (s.size() < n) s += piece;
    return s + L"\U0001F642";
}

ole_variant bytes(const std::vector<unsigned char>& b)
{
    ole_variant v;
    v = b;
    return v;
}

struct lob_row {
    int id;
    std::wstring nclob, clob;
    std::vector<unsigned char> blob;
};

class ora_lob_forms_test : public ora_target_test, public ::testing::WithParamInterface<bool> {};

TEST_P(ora_lob_forms_test, nclob_clob_and_blob_values_arrive_whole_in_their_columns)
{
    db->b_array_insert = GetParam();
    run(L"CREATE TABLE \"S\".\"NL\" (\"ID\" NUMBER(10), \"N\" NCLOB, \"C\" CLOB, \"B\" BLOB)");
    // More than one piece of the writer for the long ones.
    const size_t long_chars = ora_lob_insert::lob_piece_chars + 1000;
    std::vector<unsigned char> long_blob(ora_lob_insert::lob_piece_bytes + 77);
    for (size_t i = 0; i < long_blob.size(); ++i) long_blob[i] = static_cast<unsigned char>(i * 13 + 1);
    const std::vector<lob_row> sent = {
        {1, L"\u6f22\u5b57 national", L"plain caf\u00e9", {0, 1, 2, 255}},
        {2, text_of(long_chars, L"\u4e2d\u6587 "), text_of(long_chars, L"ab\u00e9 "), long_blob},
        {3, L"\U0001F600", L"x", {7}},
    };
    {
        // The table as the catalog describes it: NCLOB, CLOB and BLOB columns.
        auto t = std::make_unique<ora_table>(db.get(), L"S.NL", nullptr, ora_table::mode_no_indexes);
        for (const lob_row& row : sent) {
            udb_record r;
            r.push_back(make_field(L"ID", ole_variant(row.id)));
            r.push_back(make_field(L"N", ole_variant(row.nclob)));
            r.push_back(make_field(L"C", ole_variant(row.clob)));
            r.push_back(make_field(L"B", bytes(row.blob)));
            t->append_record(&r);
        }
    }
    std::unique_ptr<udb_recordset> rs =
        db->get_table(L"S.NL", L"SELECT \"ID\", \"N\", \"C\", \"B\" FROM \"S\".\"NL\" ORDER BY \"ID\"", 1);
    size_t n = 0;
    while (!rs->is_eof()) {
        udb_record* r = rs->get_item();
        ASSERT_NE(r, nullptr);
        ASSERT_LT(n, sent.size());
        const lob_row& row = sent[n++];
        SCOPED_TRACE(row.id);
        EXPECT_EQ((*r)[0].to_long(), row.id);
        const std::wstring nclob = (*r)[1].to_wstring(), clob = (*r)[2].to_wstring();
        EXPECT_TRUE(nclob == row.nclob) << nclob.size() << " of " << row.nclob.size();
        EXPECT_TRUE(clob == row.clob) << clob.size() << " of " << row.clob.size();
        BYTE* p = nullptr;
        const size_t len = (*r)[3].get_bytes(&p);
        EXPECT_TRUE(std::vector<unsigned char>(p, p + len) == row.blob) << len << " of " << row.blob.size();
        rs->next();
    }
    EXPECT_EQ(n, sent.size());
}

INSTANTIATE_TEST_SUITE_P(row_by_row_and_array_insert, ora_lob_forms_test, ::testing::Bool());

} // namespace
