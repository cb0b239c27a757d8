// The statements the SQL-Server-as-target writer sends.
#include <gtest/gtest.h>
#include <atomic>
#include <thread>
#include "mssx_test_server.h"

namespace {

class TargetStatements : public ::testing::Test {
protected:
    void SetUp() override
    {
        server = std::make_unique<mssx_test_server>("target");
        auto errors = server->run_script("CREATE DATABASE W\nGO\n");
        ASSERT_TRUE(errors.empty());
        conn = std::make_unique<mssx_connection>(server->dir, server->sa("W"));
    }
    int error_of(const std::string& sql)
    {
        auto out = conn->execute(sql);
        return out.errors.empty() ? 0 : out.errors.front().number;
    }
    std::string one(const std::string& sql)
    {
        auto out = conn->execute(sql);
        if (!out.errors.empty()) return "error " + std::to_string(out.errors.front().number);
        auto& r = out.results.at(0);
        return mssx_is_null(r.rows.at(0).at(0)) ? "NULL" : mssx_text(r.columns[0].type, r.rows[0][0]);
    }
    std::unique_ptr<mssx_test_server> server;
    std::unique_ptr<mssx_connection> conn;
};

} // namespace

TEST_F(TargetStatements, SchemaCreatedOnlyWhenAbsent)
{
    const std::string t4 =
        "IF NOT EXISTS (SELECT  schema_name FROM    information_schema.schemata WHERE   schema_name = 'hr' ) BEGIN "
        "EXEC sp_executesql N'CREATE SCHEMA [hr]' END";
    EXPECT_EQ(error_of(t4), 0);
    EXPECT_EQ(error_of(t4), 0);
    EXPECT_TRUE(conn->catalog().schema_exists("hr"));
    EXPECT_EQ(error_of("CREATE SCHEMA hr"), 2714);
}

TEST_F(TargetStatements, AlterColumnChangesTypeAndResetsNullability)
{
    ASSERT_EQ(error_of("CREATE TABLE [hr_t] ([a] nvarchar(36) NOT NULL, [b] varchar(10) NULL); INSERT INTO [hr_t]([a], "
                       "[b]) VALUES( N'6F9619FF-8B86-D011-B42D-00C04FC964FF', 'x')"),
              0);
    EXPECT_EQ(error_of("ALTER TABLE [hr_t] ALTER COLUMN [a] uniqueidentifier"), 0);
    auto t = conn->catalog().load_table("dbo", "hr_t");
    EXPECT_EQ(t->columns[0].type.name, "uniqueidentifier");
    EXPECT_TRUE(t->columns[0].nullable); // without NOT NULL the column becomes nullable
    EXPECT_EQ(one("SELECT a FROM hr_t"), "{6F9619FF-8B86-D011-B42D-00C04FC964FF}");
    EXPECT_EQ(error_of("ALTER TABLE [hr_t] ALTER COLUMN [b] varchar(10) collate Latin1_General_CS_AS NOT NULL"), 0);
    EXPECT_EQ(one("SELECT COUNT(*) FROM hr_t WHERE b = 'X'"), "0"); // now case-sensitive
    EXPECT_EQ(error_of("INSERT INTO hr_t(a) VALUES (NULL)"), 515);
}

TEST_F(TargetStatements, PrimaryKeysIndexesAndForeignKeys)
{
    ASSERT_EQ(error_of("CREATE TABLE [dbo].[p] ([a] int NOT NULL, [b] int NULL, [c] int NULL)"), 0);
    EXPECT_EQ(error_of("ALTER TABLE [dbo].[p] ADD PRIMARY KEY([a], [b])"), 8111);
    EXPECT_EQ(error_of("ALTER TABLE [dbo].[p] ADD PRIMARY KEY([a])"), 0);
    EXPECT_EQ(error_of("CREATE UNIQUE INDEX [ix_bc] ON [dbo].[p]([b], [c]) WHERE [b] IS NOT NULL AND [c] IS NOT NULL"),
              0);
    EXPECT_EQ(error_of("CREATE INDEX [ix_bc] ON [dbo].[p]([c])"), 1913);
    EXPECT_EQ(error_of("CREATE CLUSTERED INDEX [c_clust_idx] ON [p]([c])"), 1902); // the primary key is clustered
    EXPECT_EQ(error_of("INSERT INTO p VALUES (1, NULL, NULL); INSERT INTO p VALUES (2, NULL, NULL)"),
              0); // filtered index
    EXPECT_EQ(error_of("INSERT INTO p VALUES (3, 1, 1); INSERT INTO p VALUES (4, 1, 1)"), 2601);
    ASSERT_EQ(error_of("CREATE TABLE [dbo].[ch] ([x] int NULL, [y] int NULL)"), 0);
    EXPECT_EQ(error_of("ALTER TABLE [dbo].[ch] ADD CONSTRAINT [fk_c] FOREIGN KEY ([y]) REFERENCES [dbo].[p]([c])"),
              1776);
    EXPECT_EQ(error_of("ALTER TABLE [dbo].[ch] ADD CONSTRAINT [fk_a] FOREIGN KEY ([x]) REFERENCES [dbo].[p]([a]) ON "
                       "DELETE CASCADE ON UPDATE NO ACTION"),
              0);
    EXPECT_EQ(error_of("INSERT INTO ch VALUES (9, NULL)"), 547);
    EXPECT_EQ(error_of("INSERT INTO ch VALUES (1, NULL)"), 0);
    EXPECT_EQ(error_of("DROP TABLE [dbo].[p]"), 3726);
    EXPECT_EQ(error_of("DROP TABLE [dbo].[ch]"), 0);
    EXPECT_EQ(error_of("DROP TABLE [dbo].[ch]"), 3701);
}

TEST_F(TargetStatements, ViewsAreReplacedAndIdentityInsertIsPerTable)
{
    ASSERT_EQ(error_of("CREATE TABLE [t] ([id] int IDENTITY(1,1) NOT NULL, [s] nvarchar(10) NULL)"), 0);
    EXPECT_EQ(error_of("SET IDENTITY_INSERT [t] ON;INSERT INTO [t]([id], [s]) VALUES( 5, N'x')"), 0);
    EXPECT_EQ(error_of("SET IDENTITY_INSERT [t] OFF;"), 0);
    EXPECT_EQ(error_of("INSERT INTO [t]([s]) VALUES( '')"), 0);
    EXPECT_EQ(one("SELECT MAX(id) FROM t"), "6");
    EXPECT_EQ(error_of("INSERT INTO [t]([id], [s]) VALUES( 7, NULL)"), 544);
    EXPECT_EQ(error_of("SET QUOTED_IDENTIFIER OFF; SET IDENTITY_INSERT [t] ON; "), 0);
    EXPECT_EQ(error_of("INSERT INTO [t]([id], [s]) VALUES( 8, \"dq\")"), 0); // double quotes are text now
    EXPECT_EQ(one("SELECT s FROM t WHERE id = 8"), "dq");
    const std::string t9 = "IF OBJECT_ID('v') IS NOT NULL DROP VIEW [v]";
    EXPECT_EQ(error_of(t9), 0);
    EXPECT_EQ(error_of("CREATE VIEW [v] AS SELECT s FROM t WHERE id > 5"), 0);
    EXPECT_EQ(error_of(t9), 0);
    EXPECT_EQ(error_of("CREATE VIEW [v] AS SELECT s, id FROM t"), 0);
    EXPECT_EQ(one("SELECT COUNT(*) FROM v"), "3");
    auto out = conn->execute("UPDATE [t] SET [s]=N'y' WHERE [id]=5 AND [s]=N'x'");
    EXPECT_TRUE(out.errors.empty());
    EXPECT_EQ(out.rows_affected, 1);
}

TEST_F(TargetStatements, UnknownTextIsRefusedNeverIgnored)
{
    EXPECT_EQ(error_of("FROBNICATE ALL THE THINGS"), 102);
    EXPECT_EQ(error_of("SET FANCY_OPTION ON"), 195);
    EXPECT_EQ(error_of("SELECT 'unterminated"), 105);
    EXPECT_EQ(error_of("SELECT NOSUCHFUNC(1)"), 195);
    EXPECT_EQ(error_of("SELECT 1 INTO x"), 102);
    EXPECT_EQ(error_of("SELECT @nope"), 137);
}

TEST_F(TargetStatements, CheckConstraintsRefuseFalseRowsUnlessDisabled)
{
    ASSERT_EQ(error_of("CREATE TABLE c (q int NULL, born datetime NULL, CONSTRAINT CK_q CHECK (q > 0 and (q <= 10)), "
                       "CONSTRAINT CK_born CHECK (born < getdate()))"),
              0);
    EXPECT_EQ(error_of("INSERT INTO c VALUES (5, '1950-01-01')"), 0);
    EXPECT_EQ(error_of("INSERT INTO c VALUES (NULL, NULL)"), 0); // unknown is not false
    EXPECT_EQ(error_of("INSERT INTO c VALUES (11, NULL)"), 547);
    EXPECT_EQ(error_of("INSERT INTO c VALUES (1, '2999-01-01')"), 547);
    EXPECT_EQ(error_of("ALTER TABLE c NOCHECK CONSTRAINT ALL"), 0);
    EXPECT_EQ(error_of("INSERT INTO c VALUES (11, NULL)"), 0);
    EXPECT_EQ(error_of("ALTER TABLE c CHECK CONSTRAINT CK_q"), 0);
    EXPECT_EQ(error_of("INSERT INTO c VALUES (12, NULL)"), 547);
    EXPECT_EQ(error_of("INSERT INTO c VALUES (1, '2999-01-01')"), 0);
}

TEST_F(TargetStatements, ConnectionsOfOneLoginWorkSideBySide)
{
    ASSERT_EQ(error_of("CREATE TABLE shared (id int IDENTITY NOT NULL PRIMARY KEY, who int NOT NULL)"), 0);
    std::atomic<int> failures{0};
    auto worker = [&](int who) {
        mssx_connection c(server->dir, server->sa("W"));
        for (int i = 0; i < 40; ++i) {
            auto out =
                c.execute("INSERT INTO shared(who) VALUES (" + std::to_string(who) + "); SELECT COUNT(*) FROM shared");
            failures += static_cast<int>(out.errors.size());
        }
    };
    std::thread a(worker, 1), b(worker, 2);
    a.join();
    b.join();
    EXPECT_EQ(failures.load(), 0);
    EXPECT_EQ(one("SELECT COUNT(*) FROM shared"), "80");
    EXPECT_EQ(one("SELECT COUNT(DISTINCT id) FROM shared"), "80");
}

TEST_F(TargetStatements, ColumnsNamedLikeWordsOfTheStorage)
{
    ASSERT_EQ(error_of("CREATE TABLE k (Limit int NULL, Offset int NULL, Match nvarchar(5) NULL, Temp int NULL)"), 0);
    EXPECT_EQ(error_of("INSERT INTO k VALUES (1, 2, N'x', 3)"), 0);
    EXPECT_EQ(one("SELECT Limit + Offset + Temp FROM k WHERE Match = 'x'"), "6");
}
