#include <gtest/gtest.h>
#include <filesystem>
#include <fstream>
#include "mssx_test_server.h"
#include "platform/mssx/mssx_bulk_file.h"

namespace {

std::string rows_text(const std::vector<std::vector<std::optional<std::string>>>& rows)
{
    std::string s;
    for (auto& r : rows) {
        for (size_t i = 0; i < r.size(); ++i) s += (i ? "," : "") + (r[i] ? *r[i] : std::string("<null>"));
        s += ";";
    }
    return s;
}

std::string utf16le(const std::string& ascii)
{
    std::string out;
    for (char ch : ascii) {
        out += ch;
        out += '\0';
    }
    return out;
}

} // namespace

// A data file and its terminators as the options write them, and the rows read, one row per case.
TEST(MssxBulkFile, RowsAndFieldsCutAtTheirTerminators)
{
    struct {
        std::string bytes;
        const char* field;
        const char* row;
        bool widechar;
        int code_page;
        int64_t first_row;
        const char* rows;
    } cases[] = {
        {"1\ta\r\n2\tb\r\n", "\\t", "\\n", false, 0, 1, "1,a;2,b;"},
        // '\n' means CR LF: a lone LF stays in the field
        {"1\ta\nb\r\n", "\\t", "\\n", false, 0, 1, "1,a\nb;"},
        {"1|a\n2|b\n", "|", "0x0a", false, 0, 1, "1,a;2,b;"},
        {"id,name\r\n1,x\r\n2,\r\n", ",", "\\n", false, 0, 2, "1,x;2,<null>;"},
        {"1\ta", "\\t", "\\n", false, 0, 1, "1,a;"}, // the last row may end with the file
        {"\xFF\xFE" + utf16le("1\tab\r\n2\tc\r\n"), "\\t", "\\n", true, 0, 1, "1,ab;2,c;"},
        {"1\tcaf\xE9\r\n", "\\t", "\\n", false, 1252, 1, "1,caf\xC3\xA9;"},
        {"1\tcaf\xC3\xA9\r\n", "\\t", "\\n", false, 65001, 1, "1,caf\xC3\xA9;"},
    };
    for (auto& k : cases) {
        mssx_bulk_format f;
        f.field_terminator = mssx_bulk_terminator(k.field, false);
        f.row_terminator = mssx_bulk_terminator(k.row, true);
        f.widechar = k.widechar;
        f.code_page = k.code_page;
        f.first_row = k.first_row;
        EXPECT_EQ(rows_text(mssx_read_bulk_file(k.bytes, 2, f)), k.rows) << k.bytes;
    }
    mssx_bulk_format f;
    EXPECT_THROW(mssx_read_bulk_file("1\r\n2\r\n3", 2, f), mssx_error); // a row cut short by the end of the file
}

TEST(MssxBulkInsert, LoadsAFileFromTheDataFolderWholeOrNotAtAll)
{
    mssx_test_server srv("bulk");
    std::string data = srv.dir + "/data";
    std::filesystem::create_directories(data);
    std::ofstream(data + "/people.txt", std::ios::binary) << "7\tAnn\t2020-01-02\t0A0B\r\n8\tBo\t\t\r\n";
    std::ofstream(data + "/people.wide", std::ios::binary) << "\xFF\xFE" << utf16le("1|Cy|2021-03-04|FF\r\n");
    std::ofstream(data + "/bad.txt", std::ios::binary) << "1\tok\t2020-01-01\t00\r\n2\tno\tnot a date\t00\r\n";
    mssx_connection c(srv.dir, srv.sa());
    c.set_data_dir(data);
    auto out = c.execute(
        "CREATE TABLE q (id int IDENTITY(1,1), name nvarchar(10) NOT NULL, born date NULL, tag "
        "varbinary(4) NULL)");
    ASSERT_TRUE(out.errors.empty()) << out.errors.front().what();
    out = c.execute("BULK INSERT q FROM 'people.txt' WITH (FIELDTERMINATOR = '\\t', ROWTERMINATOR = '\\n')");
    ASSERT_TRUE(out.errors.empty()) << out.errors.front().what();
    out = c.execute(
        "BULK INSERT dbo.q FROM 'people.wide' WITH (DATAFILETYPE = 'widechar', FIELDTERMINATOR = '|', "
        "KEEPIDENTITY)");
    ASSERT_TRUE(out.errors.empty()) << out.errors.front().what();
    auto r = c.execute("SELECT id, name, born, tag FROM q ORDER BY name").results.at(0);
    ASSERT_EQ(r.rows.size(), 3u);
    // identities from the file are not kept unless asked (KEEPIDENTITY kept 1)
    std::string got;
    for (size_t i = 0; i < r.rows.size(); ++i)
        got +=
            mssx_cell(r, i, 0) + "," + mssx_cell(r, i, 1) + "," + mssx_cell(r, i, 2) + "," + mssx_cell(r, i, 3) + ";";
    EXPECT_EQ(got, "1,Ann,2020-01-02,0A0B;2,Bo,NULL,NULL;1,Cy,2021-03-04,FF;");
    // a value that does not convert: the statement fails and no row of the file is there
    out = c.execute("BULK INSERT q FROM 'bad.txt'");
    ASSERT_EQ(out.errors.size(), 1u);
    EXPECT_EQ(out.errors[0].number, 4864);
    EXPECT_EQ(mssx_cell(c.execute("SELECT COUNT(*) FROM q").results.at(0), 0, 0), "3");
    out = c.execute("BULK INSERT q FROM 'missing.txt'");
    ASSERT_EQ(out.errors.size(), 1u);
    EXPECT_EQ(out.errors[0].number, 4860);
    out = c.execute("BULK INSERT q FROM 'people.txt' WITH (FORMATFILE = 'f.fmt') PRINT 'next'");
    ASSERT_EQ(out.errors.size(), 1u);
    EXPECT_NE(std::string(out.errors[0].what()).find("not supported by the embedded server"), std::string::npos);
    EXPECT_EQ(out.messages.back(), "next");
}
