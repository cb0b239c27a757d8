#include <gtest/gtest.h>
#include <sys/stat.h>
#include "mssx_test_server.h"

TEST(MssxScripts, StatementsAfterUseInTheSameBatchRunInTheNewDatabase)
{
    mssx_test_server srv("use_batch");
    mssx_connection c(srv.dir, srv.sa());
    auto out = c.execute("CREATE DATABASE Shop");
    ASSERT_TRUE(out.errors.empty());
    out = c.execute(
        "USE Shop\nCREATE TABLE t (id int NOT NULL, name nvarchar(10) NULL)\nINSERT INTO t VALUES (1, N'one')\n"
        "SET NOCOUNT ON\nINSERT INTO t VALUES (2, N'two')\nSELECT COUNT(*) FROM t");
    ASSERT_TRUE(out.errors.empty()) << out.errors.front().what();
    EXPECT_EQ(c.database(), "Shop");
    ASSERT_EQ(out.results.size(), 1u);
    EXPECT_EQ(mssx_cell(out.results[0], 0, 0), "2");
    // and back: the session settings survive the switch
    out = c.execute("USE master; USE Shop; SELECT name FROM t WHERE id = 2");
    ASSERT_TRUE(out.errors.empty()) << out.errors.front().what();
    EXPECT_EQ(mssx_cell(out.results.at(0), 0, 0), "two");
    auto r = srv.query("Shop", "SELECT name FROM t ORDER BY id");
    ASSERT_EQ(r.rows.size(), 2u);
    EXPECT_EQ(mssx_cell(r, 0, 0), "one");
}

TEST(MssxScripts, ServerAndDatabaseFilesAreReadableByTheirOwnerOnly)
{
    mssx_test_server srv("modes");
    {
        mssx_connection c(srv.dir, srv.sa());
        ASSERT_TRUE(c.execute("CREATE DATABASE Shop").errors.empty());
        ASSERT_TRUE(c.execute("USE Shop; CREATE TABLE t (a int)").errors.empty());
    }
    int seen = 0;
    for (auto& f : std::filesystem::directory_iterator(srv.dir)) {
        struct stat st {};
        ASSERT_EQ(::stat(f.path().c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0600u) << f.path();
        ++seen;
    }
    EXPECT_GE(seen, 2); // server.sqlite, shop.sqlite
}

namespace {

// A script in the style of the published sample databases: USE in a batch,
// alias types by sp_addtype, money literals with $, CHECK constraints with
// character classes, defaults.
const char* kSampleStyle = R"SQL(USE master
GO
IF EXISTS (SELECT * FROM sysdatabases WHERE name='Books')
    DROP DATABASE Books
GO
CREATE DATABASE Books
GO
USE Books
execute sp_addtype id, 'varchar(11)', 'NOT NULL'
execute sp_addtype tid, 'varchar(6)', 'NOT NULL'
execute sp_addtype empid, 'char(9)', 'NOT NULL'
GO
CREATE TABLE authors
(
   au_id          id
         CHECK (au_id like '[0-9][0-9][0-9]-[0-9][0-9]-[0-9][0-9][0-9][0-9]')
         CONSTRAINT UPKCL_auidind PRIMARY KEY CLUSTERED,
   au_lname       varchar(40)       NOT NULL,
   phone          char(12)          NOT NULL DEFAULT ('UNKNOWN'),
   zip            char(5)               NULL
         CHECK (zip like '[0-9][0-9][0-9][0-9][0-9]'),
   contract       bit               NOT NULL
)
GO
CREATE TABLE titles
(
   title_id       tid
         CONSTRAINT UPKCL_titleidind PRIMARY KEY CLUSTERED,
   title          varchar(80)       NOT NULL,
   price          money                 NULL,
   advance        money                 NULL,
   royalty        int                   NULL,
   pubdate        datetime          NOT NULL DEFAULT (getdate())
)
GO
CREATE TABLE employee
(
   emp_id         empid
         CONSTRAINT PK_emp_id PRIMARY KEY NONCLUSTERED
         CONSTRAINT CK_emp_id CHECK (emp_id LIKE '[A-Z][A-Z][A-Z][1-9][0-9][0-9][0-9][0-9][FM]' or emp_id LIKE '[A-Z]-[A-Z][1-9][0-9][0-9][0-9][0-9][FM]'),
   fname          varchar(20)       NOT NULL
)
GO
raiserror('Now at the inserts to authors....',0,1)
GO
insert authors values('409-56-7008', 'Bennet', '415 658-9932', '94705', 1)
insert authors values('213-46-8915', 'Green', '415 986-7020', '94618', 1)
insert authors (au_id, au_lname, zip, contract) values('998-72-3567', 'Ringer', NULL, 0)
GO
insert titles values ('BU1032', 'The Busy Executive''s Database Guide', $19.99, $5000.00, 10, '06/12/91')
insert titles values ('PC1035', 'But Is It User Friendly?', $22.95, $7000.00, 16, '06/30/91')
insert titles (title_id, title, pubdate) values ('PC9999', 'Net Etiquette', '10/23/2000')
GO
insert employee values ('PMA42628M', 'Paolo')
insert employee values ('M-R38834F', 'Martine')
GO
CHECKPOINT
GO
UPDATE STATISTICS titles
GO
)SQL";

// A script as a SQL Server tool's "generate scripts" writes it.
const char* kGeneratedStyle = R"SQL(USE [master]
GO
CREATE DATABASE [Shop]
GO
ALTER DATABASE [Shop] SET COMPATIBILITY_LEVEL = 150
GO
ALTER DATABASE [Shop] SET ANSI_NULL_DEFAULT OFF 
GO
ALTER DATABASE [Shop] SET RECOVERY SIMPLE 
GO
USE [Shop]
GO
/****** Object:  UserDefinedDataType [dbo].[Phone]    Script Date: 1/2/2024 10:00:00 AM ******/
IF NOT EXISTS (SELECT * FROM sys.types st JOIN sys.schemas ss ON st.schema_id = ss.schema_id WHERE st.name = N'Phone' AND ss.name = N'dbo')
CREATE TYPE [dbo].[Phone] FROM [nvarchar](24) NULL
GO
/****** Object:  Table [dbo].[OrderLines]    Script Date: 1/2/2024 10:00:00 AM ******/
SET ANSI_NULLS ON
GO
SET QUOTED_IDENTIFIER ON
GO
IF NOT EXISTS (SELECT * FROM sys.objects WHERE object_id = OBJECT_ID(N'[dbo].[OrderLines]') AND type in (N'U'))
BEGIN
CREATE TABLE [dbo].[OrderLines](
	[LineID] [int] IDENTITY(1,1) NOT NULL,
	[Product] [nvarchar](40) NOT NULL,
	[Contact] [dbo].[Phone] NULL,
	[Qty] [smallint] NOT NULL,
	[UnitPrice] [money] NOT NULL,
	[Discount] [decimal](4, 2) NOT NULL,
	[LineTotal]  AS ([Qty]*[UnitPrice]),
 CONSTRAINT [PK_OrderLines] PRIMARY KEY CLUSTERED 
(
	[LineID] ASC
)WITH (PAD_INDEX = OFF, STATISTICS_NORECOMPUTE = OFF, IGNORE_DUP_KEY = OFF, ALLOW_ROW_LOCKS = ON, ALLOW_PAGE_LOCKS = ON) ON [PRIMARY]
) ON [PRIMARY]
END
GO
SET IDENTITY_INSERT [dbo].[OrderLines] ON 
GO
INSERT [dbo].[OrderLines] ([LineID], [Product], [Contact], [Qty], [UnitPrice], [Discount]) VALUES (1, N'Chai', N'(171) 555-2222', 12, 18.0000, CAST(0.15 AS Decimal(4, 2)))
GO
INSERT [dbo].[OrderLines] ([LineID], [Product], [Contact], [Qty], [UnitPrice], [Discount]) VALUES (2, N'Chang', NULL, 10, 19.0000, CAST(0.00 AS Decimal(4, 2)))
GO
INSERT [dbo].[OrderLines] ([LineID], [Product], [Contact], [Qty], [UnitPrice], [Discount]) VALUES (3, N'Aniseed Syrup', NULL, 3, 10.0000, CAST(0.05 AS Decimal(4, 2)))
GO
SET IDENTITY_INSERT [dbo].[OrderLines] OFF
GO
IF NOT EXISTS (SELECT * FROM sys.objects WHERE object_id = OBJECT_ID(N'[dbo].[DF_OrderLines_Qty]') AND type = 'D')
BEGIN
ALTER TABLE [dbo].[OrderLines] ADD  CONSTRAINT [DF_OrderLines_Qty]  DEFAULT ((1)) FOR [Qty]
END
GO
IF NOT EXISTS (SELECT * FROM sys.check_constraints WHERE object_id = OBJECT_ID(N'[dbo].[CK_Discount]') AND parent_object_id = OBJECT_ID(N'[dbo].[OrderLines]'))
ALTER TABLE [dbo].[OrderLines]  WITH CHECK ADD  CONSTRAINT [CK_Discount] CHECK  (([Discount]>=(0) AND [Discount]<=(1)))
GO
ALTER TABLE [dbo].[OrderLines] CHECK CONSTRAINT [CK_Discount]
GO
IF NOT EXISTS (SELECT * FROM sys.views WHERE object_id = OBJECT_ID(N'[dbo].[Totals]'))
EXEC dbo.sp_executesql @statement = N'CREATE VIEW [dbo].[Totals] AS
SELECT [Product], [LineTotal] FROM [dbo].[OrderLines]' 
GO
IF NOT EXISTS (SELECT * FROM sys.objects WHERE object_id = OBJECT_ID(N'[dbo].[trg_OrderLines]') AND type in (N'TR'))
EXEC dbo.sp_executesql @statement = N'CREATE TRIGGER [dbo].[trg_OrderLines] ON [dbo].[OrderLines] AFTER INSERT AS
BEGIN
	SET NOCOUNT ON;
END' 
GO
CREATE FUNCTION [dbo].[LineValue](@qty smallint, @price money)
RETURNS money
AS
BEGIN
	RETURN @qty * @price
END
GO
EXEC sys.sp_addextendedproperty @name=N'MS_Description', @value=N'Lines of the orders' , @level0type=N'SCHEMA',@level0name=N'dbo', @level1type=N'TABLE',@level1name=N'OrderLines'
GO
EXEC sys.sp_addextendedproperty @name=N'MS_Description', @value=N'Price of one unit' , @level0type=N'SCHEMA',@level0name=N'dbo', @level1type=N'TABLE',@level1name=N'OrderLines', @level2type=N'COLUMN',@level2name=N'UnitPrice'
GO
USE [master]
GO
ALTER DATABASE [Shop] SET  READ_WRITE 
GO
)SQL";

std::vector<std::vector<std::string>> cells(const mssx_result& r)
{
    std::vector<std::vector<std::string>> out;
    for (size_t i = 0; i < r.rows.size(); ++i) {
        out.emplace_back();
        for (size_t k = 0; k < r.columns.size(); ++k) out.back().push_back(mssx_cell(r, i, k));
    }
    return out;
}

} // namespace

TEST(MssxScripts, SampleDatabaseStyleScriptLoadsUnchanged)
{
    mssx_test_server srv("sample_style");
    auto errors = srv.run_script(kSampleStyle);
    for (auto& e : errors) ADD_FAILURE() << e.number << ": " << e.what();
    using rows = std::vector<std::vector<std::string>>;
    EXPECT_EQ(cells(srv.query("Books", "SELECT au_id, au_lname, phone, zip, contract FROM authors ORDER BY au_id")),
              (rows{{"213-46-8915", "Green", "415 986-7020", "94618", "1"},
                    {"409-56-7008", "Bennet", "415 658-9932", "94705", "1"},
                    {"998-72-3567", "Ringer", "UNKNOWN     ", "NULL", "0"}}));
    EXPECT_EQ(
        cells(srv.query("Books",
                        "SELECT title_id, title, price, advance, royalty, pubdate FROM titles ORDER BY title_id")),
        (rows{{"BU1032", "The Busy Executive's Database Guide", "19.9900", "5000.0000", "10", "1991-06-12 00:00:00"},
              {"PC1035", "But Is It User Friendly?", "22.9500", "7000.0000", "16", "1991-06-30 00:00:00"},
              {"PC9999", "Net Etiquette", "NULL", "NULL", "NULL", "2000-10-23 00:00:00"}}));
    EXPECT_EQ(cells(srv.query("Books", "SELECT emp_id, fname FROM employee ORDER BY emp_id")),
              (rows{{"M-R38834F", "Martine"}, {"PMA42628M", "Paolo"}}));
    // the CHECK constraints with character classes still refuse what does not match
    mssx_connection c(srv.dir, srv.sa("Books"));
    auto out = c.execute("insert authors values('40-56-7008', 'Bad', '0', '94705', 1)");
    ASSERT_EQ(out.errors.size(), 1u);
    EXPECT_EQ(out.errors[0].number, 547);
    out = c.execute("insert authors values('111-22-3333', 'Bad', '0', '9470A', 1)");
    ASSERT_EQ(out.errors.size(), 1u);
    EXPECT_EQ(out.errors[0].number, 547);
    // the alias types: the columns report their base type, sys.types the alias
    auto info = srv.query(
        "Books",
        "SELECT COLUMN_NAME, DATA_TYPE, CHARACTER_MAXIMUM_LENGTH, IS_NULLABLE FROM INFORMATION_SCHEMA.COLUMNS "
        "WHERE TABLE_NAME = 'authors' AND COLUMN_NAME = 'au_id'");
    EXPECT_EQ(cells(info), (rows{{"au_id", "varchar", "11", "NO"}}));
    out = c.execute("EXEC sp_columns @table_name = 'titles', @column_name = 'title_id'");
    ASSERT_TRUE(out.errors.empty());
    ASSERT_EQ(out.results.at(0).rows.size(), 1u);
    EXPECT_EQ(mssx_cell(out.results[0], 0, 5), "varchar");
    auto types = srv.query(
        "Books",
        "SELECT name, max_length, is_nullable, is_user_defined FROM sys.types WHERE is_user_defined = 1 ORDER BY name");
    EXPECT_EQ(cells(types), (rows{{"empid", "9", "0", "1"}, {"id", "11", "0", "1"}, {"tid", "6", "0", "1"}}));
    // loading it again starts over: the database is dropped and made anew
    errors = srv.run_script(kSampleStyle);
    EXPECT_TRUE(errors.empty());
    EXPECT_EQ(srv.query("Books", "SELECT COUNT(*) FROM titles").rows.at(0).at(0), mssx_value(int64_t(3)));
}

TEST(MssxScripts, GeneratedScriptLoadsUnchanged)
{
    mssx_test_server srv("generated_style");
    auto errors = srv.run_script(kGeneratedStyle);
    for (auto& e : errors) ADD_FAILURE() << e.number << ": " << e.what();
    using rows = std::vector<std::vector<std::string>>;
    EXPECT_EQ(
        cells(srv.query(
            "Shop",
            "SELECT LineID, Product, Contact, Qty, UnitPrice, Discount, LineTotal FROM OrderLines ORDER BY LineID")),
        (rows{{"1", "Chai", "(171) 555-2222", "12", "18.0000", "0.15", "216.0000"},
              {"2", "Chang", "NULL", "10", "19.0000", "0.00", "190.0000"},
              {"3", "Aniseed Syrup", "NULL", "3", "10.0000", "0.05", "30.0000"}}));
    // the computed column is an ordinary column to a reader, and follows its row
    auto info = srv.query("Shop",
                          "SELECT COLUMN_NAME, DATA_TYPE FROM INFORMATION_SCHEMA.COLUMNS WHERE TABLE_NAME = "
                          "'OrderLines' ORDER BY ORDINAL_POSITION");
    EXPECT_EQ(cells(info), (rows{{"LineID", "int"},
                                 {"Product", "nvarchar"},
                                 {"Contact", "nvarchar"},
                                 {"Qty", "smallint"},
                                 {"UnitPrice", "money"},
                                 {"Discount", "decimal"},
                                 {"LineTotal", "money"}}));
    mssx_connection c(srv.dir, srv.sa("Shop"));
    auto out = c.execute(
        "UPDATE OrderLines SET Qty = 2 WHERE LineID = 3\nINSERT INTO OrderLines (Product, UnitPrice, Discount) VALUES "
        "(N'Tofu', $23.25, 0)\n"
        "SELECT LineTotal FROM OrderLines WHERE LineID >= 3 ORDER BY LineID");
    ASSERT_TRUE(out.errors.empty()) << out.errors.front().what();
    EXPECT_EQ(cells(out.results.at(0)), (rows{{"20.0000"}, {"23.2500"}}));
    out = c.execute("INSERT INTO OrderLines (Product, UnitPrice, Discount, LineTotal) VALUES (N'x', 1, 0, 5)");
    ASSERT_EQ(out.errors.size(), 1u);
    EXPECT_EQ(out.errors[0].number, 271);
    out = c.execute("INSERT INTO OrderLines (Product, UnitPrice, Discount) VALUES (N'x', 1, 1.5)");
    ASSERT_EQ(out.errors.size(), 1u);
    EXPECT_EQ(out.errors[0].number, 547);
    // the view, the trigger and the function are kept
    auto objects =
        srv.query("Shop", "SELECT name, type FROM sys.objects WHERE type IN ('V', 'TR', 'FN') ORDER BY name");
    EXPECT_EQ(cells(objects), (rows{{"LineValue", "FN"}, {"Totals", "V"}, {"trg_OrderLines", "TR"}}));
    EXPECT_EQ(cells(srv.query("Shop", "SELECT SUM(LineTotal) FROM Totals")), (rows{{"449.2500"}}));
}

TEST(MssxScripts, NewStatementsOfScriptsRun)
{
    mssx_test_server srv("statements");
    mssx_connection c(srv.dir, srv.sa());
    ASSERT_TRUE(c.execute("CREATE DATABASE d").errors.empty());
    auto out = c.execute(
        "USE d\nCREATE TABLE t (a int, b nvarchar(10))\nINSERT INTO t VALUES (1, N'x'), (2, N'y'), (3, N'z')\n"
        "DROP TABLE IF EXISTS nothere\n"
        ";WITH big AS (SELECT a, b FROM t WHERE a > 1), bigger (n) AS (SELECT a FROM big WHERE a > 2)\n"
        "SELECT n FROM bigger");
    ASSERT_TRUE(out.errors.empty()) << out.errors.front().what();
    ASSERT_EQ(out.results.size(), 1u);
    EXPECT_EQ(cells(out.results[0]), (std::vector<std::vector<std::string>>{{"3"}}));
    out = c.execute("DROP TABLE IF EXISTS t\nSELECT COUNT(*) FROM sys.tables WHERE name = 't'");
    ASSERT_TRUE(out.errors.empty());
    EXPECT_EQ(mssx_cell(out.results.at(0), 0, 0), "0");
    // RAISERROR: low severities are messages, higher ones errors with the text filled in
    out = c.execute(
        "RAISERROR('step %d of %s', 10, 1, 2, N'three')\nRAISERROR(N'went wrong: %s', 16, 1, N'disk')\nPRINT 'after'");
    ASSERT_EQ(out.errors.size(), 1u);
    EXPECT_EQ(out.errors[0].number, 50000);
    EXPECT_STREQ(out.errors[0].what(), "went wrong: disk");
    EXPECT_EQ(out.messages, (std::vector<std::string>{"step 2 of three", "after"}));
    // what the embedded server still refuses says so, and runs nothing of the batch's other statements
    out = c.execute("GRANT SELECT ON t TO public");
    ASSERT_EQ(out.errors.size(), 1u);
    EXPECT_NE(std::string(out.errors[0].what()).find("not supported by the embedded server"), std::string::npos);
    out = c.execute("ALTER DATABASE d MODIFY FILE (NAME = d, SIZE = 10MB)");
    ASSERT_EQ(out.errors.size(), 1u);
    EXPECT_NE(std::string(out.errors[0].what()).find("not supported by the embedded server"), std::string::npos);
}

TEST(MssxScripts, ABatchWithASyntaxErrorRunsNoneOfItsStatements)
{
    mssx_test_server srv("compile");
    mssx_connection c(srv.dir, srv.sa());
    ASSERT_TRUE(c.execute("CREATE TABLE t (a int)").errors.empty());
    for (const char* batch : {"INSERT INTO t VALUES (1)\nINSERT INTO t VALUES (2)\nSELEC 1",
                              "INSERT INTO t VALUES (1)\nSELECT * FROM t WHERE (a = 1",
                              "INSERT INTO t VALUES (1)\nINSERT INTO t VALUES (2) garbage"}) {
        auto out = c.execute(batch);
        ASSERT_EQ(out.errors.size(), 1u) << batch;
        EXPECT_EQ(out.errors[0].number / 10, 10) << batch; // 102, 105 ...
        EXPECT_TRUE(out.results.empty());
        EXPECT_EQ(srv.query("master", "SELECT COUNT(*) FROM t").rows.at(0).at(0), mssx_value(int64_t(0))) << batch;
    }
}
