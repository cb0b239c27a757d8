#include "MSS/odb_recordset.h"
#include "fake_rowset.h"
#include "same_value.h"

#include <gtest/gtest.h>

#include "TK/tk_exception.h"
#include "UDB/udb_value_exception.h"

#include <string>
#include <vector>

namespace {

std::vector<std::vector<fake_value>> int_rows(int n)
{
    std::vector<std::vector<fake_value>> rows;
    for (int i = 1; i <= n; ++i) rows.push_back({fake_value(std::to_wstring(i))});
    return rows;
}

// Reads every row; returns the first column's values.
std::vector<std::wstring> read_all(odb_recordset& rs)
{
    std::vector<std::wstring> out;
    for (rs.reset(); !rs.is_eof(); rs.next()) out.push_back(rs.get_item()->at(0).to_wstring());
    return out;
}

std::string assertion_text(const char* file, int line) { return make_err_meggase(file, line); }

} // namespace

TEST(OdbRecordset, FetchesFiveRowsAtATime)
{
    for (int n : {0, 5, 6, 11}) {
        auto* fake = new fake_rowset({{L"id", DBTYPE_I4, 4}}, int_rows(n));
        odb_recordset rs(fake);
        const std::vector<std::wstring> got = read_all(rs);
        ASSERT_EQ(got.size(), static_cast<size_t>(n));
        for (int i = 0; i < n; ++i) EXPECT_EQ(got[i], std::to_wstring(i + 1));
        EXPECT_EQ(rs.row_no, static_cast<uint32_t>(n));
        // One fetch per five rows; the end shows as a fetch that brings none.
        EXPECT_EQ(fake->next_rows_calls, n / 5 + (n % 5 != 0) + 1) << n;
        EXPECT_EQ(rs.schema.size(), 1u);
        EXPECT_EQ(rs.schema[0].vartype, VT_I4);
        fake->Release();
    }
}

TEST(OdbRecordset, ResetTwiceStartsAgainFromTheFirstRow)
{
    auto* fake = new fake_rowset({{L"id", DBTYPE_I4, 4}}, int_rows(7));
    odb_recordset rs(fake);
    rs.reset();
    rs.reset();
    EXPECT_EQ(rs.get_item()->at(0).to_wstring(), L"1");
    EXPECT_EQ(read_all(rs).size(), 7u);
    EXPECT_EQ(read_all(rs).size(), 7u);
    fake->Release();
}

TEST(OdbRecordset, MisuseRaisesTheAssertions)
{
    auto* fake = new fake_rowset({{L"id", DBTYPE_I4, 4}}, int_rows(0));
    odb_recordset rs(fake);
    rs.reset();
    EXPECT_TRUE(rs.is_eof());
    try {
        rs.next();
        FAIL();
    } catch (const tk_mail_assertion& e) {
        EXPECT_EQ(std::string(e.what()), assertion_text("..\\MSS/odb_recs", 79));
    }
    try {
        rs.get_item();
        FAIL();
    } catch (const tk_mail_assertion& e) {
        EXPECT_EQ(std::string(e.what()), assertion_text("..\\MSS/odb_recs", 100));
    }
    try {
        rs.append_record(nullptr);
        FAIL();
    } catch (const tk_mail_assertion& e) {
        EXPECT_EQ(std::string(e.what()), assertion_text("odb_recs", 55));
    }
    fake->Release();
}

TEST(OdbRecordset, NoColumnsIsAnEmptyResult)
{
    auto* fake = new fake_rowset({}, {});
    odb_recordset rs(fake);
    rs.reset();
    EXPECT_TRUE(rs.is_eof());
    EXPECT_EQ(fake->next_rows_calls, 0);
    fake->Release();
}

TEST(OdbRecordset, BindSizesAndTypes)
{
    std::vector<fake_column> cols = {{L"i", DBTYPE_I4, 4},
                                     {L"d", DBTYPE_DBTIMESTAMP, 16},
                                     {L"g", DBTYPE_GUID, 16},
                                     {L"s", DBTYPE_WSTR, 10},
                                     {L"b", DBTYPE_BYTES, 3},
                                     {L"m", DBTYPE_WSTR, 0xFFFFFFFFu},
                                     {L"o", DBTYPE_DBTIMESTAMPOFFSET, 20}};
    auto* fake = new fake_rowset(cols, {});
    odb_recordset rs(fake);
    const auto& b = rs.accessor;
    ASSERT_EQ(b.n_cols, 7u);
    EXPECT_EQ(b.bindings[0].cbMaxLen, 26 * sizeof(WCHAR));
    EXPECT_EQ(b.bindings[1].cbMaxLen, 51 * sizeof(WCHAR));
    EXPECT_EQ(b.bindings[2].cbMaxLen, 51 * sizeof(WCHAR));
    EXPECT_EQ(b.bindings[3].cbMaxLen, 11 * sizeof(WCHAR));
    EXPECT_EQ(b.bindings[4].cbMaxLen, 14u);
    EXPECT_EQ(b.bindings[4].wType, DBTYPE_BYTES);
    EXPECT_EQ(b.bindings[5].cbMaxLen, odb_accessor::column_cap);
    // datetimeoffset comes back as text of up to 34 characters.
    EXPECT_GE(b.bindings[6].cbMaxLen, 35 * sizeof(WCHAR));
    for (int i : {0, 1, 2, 3, 5, 6}) EXPECT_EQ(b.bindings[i].wType, DBTYPE_WSTR) << i;
    // Descriptor sizes: GUID 38, bounded binary its bytes, text its length.
    EXPECT_EQ(rs.schema[2].size, 38u);
    EXPECT_EQ(rs.schema[2].dw_reserved, 1u);
    EXPECT_EQ(rs.schema[4].size, 3u);
    EXPECT_EQ(rs.schema[4].vartype, VT_BLOB);
    EXPECT_EQ(rs.schema[1].dw_reserved, 1u);
    EXPECT_EQ(rs.schema[3].size, 10u);
    fake->Release();

    // Long binary columns (image, varbinary(max), geometry) have no length a key could use; a hierarchyid has.
    std::vector<fake_column> binaries = {{L"im", DBTYPE_BYTES, 2147483647, DBCOLUMNFLAGS_ISLONG},
                                         {L"vm", DBTYPE_BYTES, 0xFFFFFFFFu, DBCOLUMNFLAGS_ISLONG},
                                         {L"geo", DBTYPE_UDT, 0xFFFFFFFFu, DBCOLUMNFLAGS_ISLONG},
                                         {L"h", DBTYPE_UDT, 892},
                                         {L"rv", DBTYPE_BYTES, 8, DBCOLUMNFLAGS_ISROWVER}};
    auto* bin = new fake_rowset(binaries, {});
    odb_recordset rs_bin(bin);
    const std::vector<uint32_t> sizes{0, 0, 0, 892, 8};
    for (size_t i = 0; i < sizes.size(); ++i) {
        EXPECT_EQ(rs_bin.schema[i].vartype, VT_BLOB) << i;
        EXPECT_EQ(rs_bin.schema[i].size, sizes[i]) << i;
    }
    bin->Release();

    std::vector<fake_column> wide(20, fake_column{L"x", DBTYPE_WSTR, 0xFFFFFFFFu});
    auto* many = new fake_rowset(wide, {});
    odb_recordset rs2(many);
    for (uint32_t i = 0; i < 20; ++i) EXPECT_EQ(rs2.accessor.bindings[i].cbMaxLen, 25000000u);
    many->Release();
}

TEST(OdbRecordset, ValuesNullsAndLostValues)
{
    std::vector<fake_column> cols = {{L"s", DBTYPE_WSTR, 5},
                                     {L"n", DBTYPE_WSTR, 5},
                                     {L"b", DBTYPE_BYTES, 3},
                                     {L"e", DBTYPE_WSTR, 5},
                                     {L"z", DBTYPE_WSTR, 5}};
    std::vector<std::vector<fake_value>> rows = {
        {fake_value(L"ab"), fake_value::null(), fake_value::binary({1, 0xAB, 0xFF}), fake_value(L""),
         fake_value(std::wstring(L"a\0b", 3))},
        {fake_value(L"toolongvalue"), fake_value(L"x"), fake_value::status(DBSTATUS_E_CANTCONVERTVALUE),
         fake_value(L"y"), fake_value(L"z")}};
    auto* fake = new fake_rowset(cols, rows);
    odb_recordset rs(fake);
    rs.table_name = L"t";
    rs.reset();
    udb_record* r = rs.get_item();
    EXPECT_EQ(r->at(0).to_wstring(), L"ab");
    EXPECT_EQ(r->at(1).get_type(), VT_EMPTY);
    EXPECT_EQ(r->at(1).name, L"n");
    EXPECT_EQ(r->at(2).get_type(), VT_BYTE_ARRAY);
    EXPECT_EQ(r->at(2).size, 3);
    EXPECT_EQ(r->at(3).get_type(), VT_BSTR);
    EXPECT_EQ(r->at(3).to_wstring(), L"");
    EXPECT_EQ(r->at(4).to_wstring(), std::wstring(L"a\0b", 3));
    // Both rows came in one fetch: the second row's two losses are counted.
    EXPECT_EQ(rs.lost_values, 2u);
    rs.next();
    r = rs.get_item();
    EXPECT_EQ(r->at(0).get_type(), VT_EMPTY);
    EXPECT_EQ(r->at(2).get_type(), VT_EMPTY);
    EXPECT_EQ(r->at(3).to_wstring(), L"y");
    EXPECT_EQ(rs.lost_values, 2u);
    rs.next();
    EXPECT_TRUE(rs.is_eof());
    fake->Release();
}

TEST(OdbRecordset, ATableReaderRefusesARowWithALostValueAndNamesTheColumn)
{
    std::vector<fake_column> cols = {{L"s", DBTYPE_WSTR, 5}, {L"b", DBTYPE_BYTES, 3}};
    std::vector<std::vector<fake_value>> rows = {{fake_value(L"ab"), fake_value::binary({1})},
                                                 {fake_value(L"cd"), fake_value::status(DBSTATUS_E_CANTCONVERTVALUE)},
                                                 {fake_value(L"ef"), fake_value::binary({3})}};
    auto* fake = new fake_rowset(cols, rows);
    odb_recordset rs(fake);
    rs.refuse_lost_values = true;
    rs.reset();
    EXPECT_EQ(rs.get_item()->at(0).to_wstring(), L"ab");
    rs.next();
    try {
        rs.get_item();
        ADD_FAILURE() << "a row with a lost value was handed out";
    } catch (const udb_value_exception& e) {
        EXPECT_EQ(std::string(e.what()).rfind("Column 'b': ", 0), 0u) << e.what();
        EXPECT_EQ(e.level, TK_LEVEL_CONTINUE);
    }
    // The reader goes on with the next row.
    rs.next();
    EXPECT_EQ(rs.get_item()->at(0).to_wstring(), L"ef");
    fake->Release();
}

// Records are refilled row after row: every value must be the one a record
// made afresh for that row holds, whatever the row before it held (a NULL,
// another length of bytes, a value that could not be read, a renamed field).
TEST(OdbRecordset, ReusedRecordsHoldExactlyEachRowsValues)
{
    const std::vector<fake_column> cols = {
        {L"i", DBTYPE_I4, 4},           {L"r", DBTYPE_R8, 8},     {L"m", DBTYPE_CY, 8},    {L"d", DBTYPE_NUMERIC, 19},
        {L"t", DBTYPE_DBTIMESTAMP, 16}, {L"s", DBTYPE_WSTR, 8},   {L"b", DBTYPE_BYTES, 4}, {L"f", DBTYPE_BOOL, 2},
        {L"g", DBTYPE_GUID, 16},        {L"w", DBTYPE_DBDATE, 6}, {L"x", DBTYPE_I8, 8},    {L"u", DBTYPE_UI4, 4}};
    const fake_value null = fake_value::null();
    const fake_value lost = fake_value::status(DBSTATUS_E_CANTCONVERTVALUE);
    const std::vector<std::vector<fake_value>> rows = {
        {L"-2147483648", L"-0", L"922337203685477.5807", L"9999999999.123456789012345678", L"9999-12-31 23:59:59.997",
         L"", fake_value::binary({0, 0, 0, 0}), L"1", L"{6F9619FF-8B86-D011-B42D-00C04FC964FF}", L"0001-01-01",
         L"999999999999999999", L"4294967295"},
        {null, null, null, null, null, null, null, null, null, null, null, null},
        {L"2147483647", L"1.7976931348623157e+308", L"-922337203685477.5807", L"-0.0000", L"0001-01-01 00:00:00",
         std::wstring(L"a\0b", 3), fake_value::binary({}), L"0", L"", L"9999-12-31", L"-9223372036854775808", L"0"},
        {L"0", L"4.9406564584124654e-324", L"0.0001", L"12345678901234567890123456789012345678",
         L"1900-01-01 00:00:00.0031", L"abc", fake_value::binary({0xFF}), lost, lost, L"2024-02-29", L"-1", L"7"},
        {L"12abc", L"2.2250738585072014e-308", L"12.5", L"0.0000000000000000000000000001", lost, L"Gr\u00fc\u00dfe",
         fake_value::binary({1, 0, 2}), L"1", L"{00000000-0000-0000-0000-000000000000}", null, L"0", null},
    };
    // Twelve rows: fetches of five, five and two, so records are refilled twice.
    std::vector<std::vector<fake_value>> all;
    for (int k = 0; k < 12; ++k) all.push_back(rows[static_cast<size_t>((k * 3) % 5)]);
    auto* fake = new fake_rowset(cols, all);
    odb_recordset rs(fake);
    DBORDINAL n = 0;
    DBCOLUMNINFO* info = nullptr;
    OLECHAR* strings = nullptr;
    ASSERT_EQ(fake->GetColumnInfo(&n, &info, &strings), S_OK);
    size_t row = 0;
    for (rs.reset(); !rs.is_eof(); rs.next(), ++row) {
        udb_record* r = rs.get_item();
        ASSERT_EQ(r->size(), cols.size());
        for (size_t c = 0; c < cols.size(); ++c) {
            const fake_value& v = all[row][c];
            const udb_field& got = r->at(c);
            EXPECT_EQ(got.name, cols[c].name);
            std::unique_ptr<odb_field> fresh;
            if (!v.text || v.forced_status != DBSTATUS_S_OK) {
                fresh = std::make_unique<odb_field>(cols[c].name, static_cast<int32_t>(cols[c].size), ole_variant());
            } else if (cols[c].type == DBTYPE_BYTES) {
                fresh = std::make_unique<odb_field>(cols[c].name, static_cast<int32_t>(v.bytes.size()),
                                                    ole_variant(v.bytes.data(), v.bytes.size()));
            } else {
                try {
                    fresh = odb_record::get_field(info[c], v.text->c_str(), v.text->size());
                } catch (const tk_exception&) {
                    fresh =
                        std::make_unique<odb_field>(cols[c].name, static_cast<int32_t>(cols[c].size), ole_variant());
                }
            }
            EXPECT_EQ(got.size, fresh->size) << "row " << row << " column " << c;
            EXPECT_TRUE(same_value(got, *fresh)) << "row " << row << " column " << c << "\n reused: " << value_bits(got)
                                                 << "\n fresh:  " << value_bits(*fresh);
        }
        // Whoever holds the record may rename its fields; the next rows keep the column names.
        r->at(0).name = L"renamed";
    }
    EXPECT_EQ(row, all.size());
    CoTaskMemFree(info);
    CoTaskMemFree(strings);
    fake->Release();
}
