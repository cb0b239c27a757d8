// ALTER TABLE parsed into its structure, and the statements run whole on the server.
#include <gtest/gtest.h>
#include "mssx_test_server.h"
#include "platform/mssx/mssx_alter_table.h"
#include "platform/mssx/mssx_error.h"

namespace {

mssx_alter_table parse(const std::string& sql)
{
    auto toks = mssx_lex(sql, true);
    return mssx_parse_alter_table(toks, sql, 0, toks.size() - 1);
}

// "number: text" of the error parsing gives, or "" when it parses.
std::string parse_error(const std::string& sql)
{
    try {
        parse(sql);
    } catch (const mssx_error& e) {
        return std::to_string(e.number) + ": " + e.what();
    }
    return "";
}

std::string joined(const std::vector<std::string>& v)
{
    std::string s;
    for (auto& x : v) s += (s.empty() ? "" : "|") + x;
    return s;
}

} // namespace

TEST(AlterTableParser, ColumnsAndTheirTypes)
{
    auto a = parse("ALTER TABLE [dbo].[T] ADD extra nvarchar(5) NULL");
    EXPECT_EQ(a.action, mssx_alter_action::add_column);
    EXPECT_EQ(joined(a.table), "dbo|T");
    EXPECT_EQ(a.column, "extra");
    EXPECT_EQ(a.type.name, "nvarchar");
    EXPECT_EQ(joined(a.type.args), "5");
    EXPECT_EQ(a.nullable, std::optional<bool>(true));

    a = parse("alter table db..T add n decimal(10, 2) not null");
    EXPECT_EQ(joined(a.table), "db|dbo|T");
    EXPECT_EQ(joined(a.type.args), "10|2");
    EXPECT_EQ(a.nullable, std::optional<bool>(false));

    a = parse("ALTER TABLE T ADD n money");
    EXPECT_FALSE(a.nullable.has_value());
    EXPECT_TRUE(a.type.args.empty());

    a = parse("ALTER TABLE [hr_t] ALTER COLUMN [b] varchar(10) collate Latin1_General_CS_AS NOT NULL");
    EXPECT_EQ(a.action, mssx_alter_action::alter_column);
    EXPECT_EQ(a.column, "b");
    EXPECT_EQ(a.type.name, "varchar");
    EXPECT_EQ(a.collation, "Latin1_General_CS_AS");
    EXPECT_EQ(a.nullable, std::optional<bool>(false));

    a = parse("ALTER TABLE T ALTER COLUMN a uniqueidentifier");
    EXPECT_TRUE(a.collation.empty());
    EXPECT_FALSE(a.nullable.has_value());
}

TEST(AlterTableParser, Keys)
{
    auto a = parse("ALTER TABLE [dbo].[p] ADD PRIMARY KEY([a], [b])");
    EXPECT_EQ(a.action, mssx_alter_action::add_key);
    EXPECT_TRUE(a.primary);
    EXPECT_TRUE(a.constraint.empty());
    EXPECT_FALSE(a.clustered.has_value());
    EXPECT_EQ(joined(a.columns), "a|b");

    // as a tool's generated script writes it
    a = parse(
        "ALTER TABLE [dbo].[O] ADD  CONSTRAINT [PK_O] PRIMARY KEY CLUSTERED ([id] ASC, [n] DESC)"
        "WITH (PAD_INDEX = OFF, STATISTICS_NORECOMPUTE = OFF) ON [PRIMARY]");
    EXPECT_EQ(a.constraint, "PK_O");
    EXPECT_EQ(a.clustered, std::optional<bool>(true));
    EXPECT_EQ(joined(a.columns), "id|n");

    a = parse("ALTER TABLE t ADD CONSTRAINT u UNIQUE NONCLUSTERED (x)");
    EXPECT_FALSE(a.primary);
    EXPECT_EQ(a.clustered, std::optional<bool>(false));
    EXPECT_EQ(joined(a.columns), "x");
}

TEST(AlterTableParser, ForeignKeys)
{
    auto a = parse(
        "ALTER TABLE [dbo].[ch] WITH NOCHECK ADD CONSTRAINT [fk_a] FOREIGN KEY ([x], y) "
        "REFERENCES [dbo].[p]([a], b) ON DELETE CASCADE ON UPDATE NO ACTION NOT FOR REPLICATION");
    EXPECT_EQ(a.action, mssx_alter_action::add_foreign_key);
    EXPECT_EQ(a.with_check, std::optional<bool>(false));
    EXPECT_EQ(a.constraint, "fk_a");
    EXPECT_EQ(joined(a.columns), "x|y");
    EXPECT_EQ(joined(a.ref_table), "dbo|p");
    EXPECT_EQ(joined(a.ref_columns), "a|b");
    EXPECT_EQ(a.on_delete, "CASCADE");
    EXPECT_EQ(a.on_update, "NO ACTION");

    a = parse("ALTER TABLE c ADD FOREIGN KEY (x) REFERENCES p ON UPDATE SET NULL ON DELETE SET DEFAULT");
    EXPECT_FALSE(a.with_check.has_value());
    EXPECT_TRUE(a.ref_columns.empty());
    EXPECT_EQ(a.on_update, "SET NULL");
    EXPECT_EQ(a.on_delete, "SET DEFAULT");
}

TEST(AlterTableParser, ChecksDefaultsAndDrops)
{
    auto a = parse(
        "ALTER TABLE [dbo].[OrderLines]  WITH CHECK ADD  CONSTRAINT [CK_Discount] CHECK  "
        "(([Discount]>=(0) AND [Discount]<=(1)))");
    EXPECT_EQ(a.action, mssx_alter_action::add_check);
    EXPECT_EQ(a.with_check, std::optional<bool>(true));
    EXPECT_EQ(a.expression, "(([Discount]>=(0) AND [Discount]<=(1)))");

    a = parse("ALTER TABLE [dbo].[OrderLines] ADD  CONSTRAINT [DF_Qty]  DEFAULT ((1)) FOR [Qty]");
    EXPECT_EQ(a.action, mssx_alter_action::add_default);
    EXPECT_EQ(a.expression, "((1))");
    EXPECT_EQ(a.column, "Qty");
    EXPECT_EQ(parse("ALTER TABLE t ADD DEFAULT (getdate()) FOR d").expression, "(getdate())");

    a = parse("ALTER TABLE t DROP CONSTRAINT a, [b]");
    EXPECT_EQ(a.action, mssx_alter_action::drop_constraint);
    EXPECT_EQ(joined(a.names), "a|b");
    EXPECT_EQ(joined(parse("ALTER TABLE t DROP x").names), "x");
    a = parse("ALTER TABLE t DROP COLUMN c1, c2");
    EXPECT_EQ(a.action, mssx_alter_action::drop_column);
    EXPECT_EQ(joined(a.names), "c1|c2");

    a = parse("ALTER TABLE c NOCHECK CONSTRAINT ALL");
    EXPECT_EQ(a.action, mssx_alter_action::enable_constraints);
    EXPECT_TRUE(a.all);
    EXPECT_FALSE(a.enable);
    a = parse("ALTER TABLE c WITH CHECK CHECK CONSTRAINT CK_q, FK_r");
    EXPECT_TRUE(a.enable);
    EXPECT_FALSE(a.all);
    EXPECT_EQ(a.with_check, std::optional<bool>(true));
    EXPECT_EQ(joined(a.names), "CK_q|FK_r");
}

TEST(AlterTableParser, MalformedStatementsGiveTheSyntaxErrorNearTheFaultyToken)
{
    struct row {
        const char* sql;
        const char* error;
    };
    const row rows[] = {
        {"ALTER TABLE", "102: Incorrect syntax near the end of the batch."},
        {"ALTER TABLE t", "102: Incorrect syntax near the end of the batch."},
        {"ALTER TABLE t RENAME x", "102: Incorrect syntax near 'RENAME'."},
        {"ALTER TABLE t ADD", "102: Incorrect syntax near the end of the batch."},
        {"ALTER TABLE t ADD c", "102: Incorrect syntax near the end of the batch."},
        {"ALTER TABLE t ADD c int NULL extra", "102: Incorrect syntax near 'extra'."},
        {"ALTER TABLE t ADD c int NOT x", "156: Incorrect syntax near the keyword 'NOT'."},
        {"ALTER TABLE t ADD c decimal(10, 2", "102: Incorrect syntax near the end of the batch."},
        {"ALTER TABLE t ADD CONSTRAINT k c int", "102: Incorrect syntax near 'c'."},
        {"ALTER TABLE t ADD PRIMARY (a)", "102: Incorrect syntax near '('."},
        {"ALTER TABLE t ADD PRIMARY KEY a", "102: Incorrect syntax near 'a'."},
        {"ALTER TABLE t ADD PRIMARY KEY ()", "102: Incorrect syntax near ')'."},
        {"ALTER TABLE t ADD UNIQUE (a b)", "102: Incorrect syntax near 'b'."},
        {"ALTER TABLE t ADD FOREIGN (a) REFERENCES p", "102: Incorrect syntax near '('."},
        {"ALTER TABLE t ADD FOREIGN KEY (a) p", "102: Incorrect syntax near 'p'."},
        {"ALTER TABLE t ADD FOREIGN KEY (a) REFERENCES p ON INSERT CASCADE",
         "156: Incorrect syntax near the keyword 'INSERT'."},
        {"ALTER TABLE t ADD FOREIGN KEY (a) REFERENCES p ON DELETE SET x", "102: Incorrect syntax near 'x'."},
        {"ALTER TABLE t ADD FOREIGN KEY (a) REFERENCES p ON DELETE NO x", "102: Incorrect syntax near 'x'."},
        {"ALTER TABLE t ADD CHECK a > 0", "102: Incorrect syntax near 'a'."},
        {"ALTER TABLE t ADD CHECK ()", "102: Incorrect syntax near ')'."},
        {"ALTER TABLE t ADD CHECK (a > 0", "102: Incorrect syntax near the end of the batch."},
        {"ALTER TABLE t ADD DEFAULT 1", "102: Incorrect syntax near the end of the batch."},
        {"ALTER TABLE t ADD DEFAULT FOR c", "156: Incorrect syntax near the keyword 'FOR'."},
        {"ALTER TABLE t ADD DEFAULT 1 FOR", "102: Incorrect syntax near the end of the batch."},
        {"ALTER TABLE t DROP", "102: Incorrect syntax near the end of the batch."},
        {"ALTER TABLE t DROP CONSTRAINT a,", "102: Incorrect syntax near the end of the batch."},
        {"ALTER TABLE t DROP CONSTRAINT a b", "102: Incorrect syntax near 'b'."},
        {"ALTER TABLE t ALTER c int", "102: Incorrect syntax near 'c'."},
        {"ALTER TABLE t ALTER COLUMN c", "102: Incorrect syntax near the end of the batch."},
        {"ALTER TABLE t ALTER COLUMN c int COLLATE", "102: Incorrect syntax near the end of the batch."},
        {"ALTER TABLE t WITH ADD CHECK (a > 0)", "156: Incorrect syntax near the keyword 'ADD'."},
        {"ALTER TABLE t CHECK ALL", "156: Incorrect syntax near the keyword 'ALL'."},
        {"ALTER TABLE t NOCHECK CONSTRAINT", "102: Incorrect syntax near the end of the batch."},
    };
    for (const auto& r : rows) EXPECT_EQ(parse_error(r.sql), r.error) << r.sql;
    // the statement ends where its extent ends, whatever follows
    const std::string two = "ALTER TABLE t DROP CONSTRAINT a; SELECT 1";
    auto toks = mssx_lex(two, true);
    EXPECT_EQ(joined(mssx_parse_alter_table(toks, two, 0, 6).names), "a");
    EXPECT_THROW(mssx_parse_alter_table(toks, two, 0, 7), mssx_error);
}

TEST(AlterTableStatements, DropsEveryNamedConstraintOrNone)
{
    mssx_test_server server("alter_drop");
    ASSERT_TRUE(server.run_script("CREATE DATABASE A\nGO\n").empty());
    mssx_connection c(server.dir, server.sa("A"));
    auto errors = [&](const std::string& sql) {
        auto out = c.execute(sql);
        return out.errors.empty() ? 0 : out.errors.front().number;
    };
    ASSERT_EQ(errors("CREATE TABLE t (a int NOT NULL, b int NULL CONSTRAINT df DEFAULT 5, "
                     "CONSTRAINT pk PRIMARY KEY (a), CONSTRAINT ck CHECK (b > 0))"),
              0);
    // one unknown name: nothing goes
    EXPECT_EQ(errors("ALTER TABLE t DROP CONSTRAINT ck, nosuch"), 3728);
    EXPECT_EQ(errors("INSERT INTO t (a, b) VALUES (1, -1)"), 547);
    // every named constraint goes
    EXPECT_EQ(errors("ALTER TABLE t DROP CONSTRAINT ck, df, pk"), 0);
    EXPECT_EQ(errors("INSERT INTO t (a, b) VALUES (1, -1)"), 0);
    EXPECT_EQ(errors("INSERT INTO t (a) VALUES (1)"), 0); // no key and no default any more
    auto out = c.execute("SELECT COUNT(*) FROM t WHERE b IS NULL");
    ASSERT_TRUE(out.errors.empty());
    EXPECT_EQ(mssx_text(out.results.at(0).columns[0].type, out.results[0].rows.at(0).at(0)), "1");
    auto t = c.catalog().load_table("dbo", "t");
    ASSERT_TRUE(t);
    EXPECT_TRUE(t->checks.empty());
    EXPECT_FALSE(t->primary_key());
    EXPECT_TRUE(t->columns[1].default_name.empty());

    // refused plainly rather than taken for a constraint named COLUMN
    out = c.execute("ALTER TABLE t DROP COLUMN b");
    ASSERT_EQ(out.errors.size(), 1u);
    EXPECT_STREQ(out.errors[0].what(), "ALTER TABLE DROP COLUMN is not supported by the embedded server.");
    // a DEFAULT without FOR at the end of the batch is a syntax error, not a read past the statement
    EXPECT_EQ(errors("ALTER TABLE t ADD DEFAULT 1"), 102);
    EXPECT_EQ(errors("ALTER TABLE t ADD CONSTRAINT df2 DEFAULT 7 FOR b; INSERT INTO t (a) VALUES (2)"), 0);
    out = c.execute("SELECT b FROM t WHERE a = 2");
    ASSERT_TRUE(out.errors.empty());
    EXPECT_EQ(mssx_text(out.results.at(0).columns[0].type, out.results[0].rows.at(0).at(0)), "7");
}

TEST(AlterTableStatements, ForeignKeyWithoutActionsTakesNoAction)
{
    mssx_test_server server("alter_fk");
    ASSERT_TRUE(server.run_script("CREATE DATABASE A\nGO\n").empty());
    mssx_connection c(server.dir, server.sa("A"));
    auto out = c.execute(
        "CREATE TABLE p (k int NOT NULL PRIMARY KEY); CREATE TABLE ch (k int NULL); "
        "ALTER TABLE ch ADD CONSTRAINT fk FOREIGN KEY (k) REFERENCES p; "
        "ALTER TABLE ch ADD CONSTRAINT fk2 FOREIGN KEY (k) REFERENCES p (k) ON UPDATE CASCADE");
    ASSERT_TRUE(out.errors.empty()) << out.errors.front().what();
    auto t = c.catalog().load_table("dbo", "ch");
    ASSERT_TRUE(t);
    ASSERT_EQ(t->fks.size(), 2u);
    EXPECT_EQ(t->fks[0].ref_columns, std::vector<std::string>{"k"});
    EXPECT_EQ(t->fks[0].on_delete, "NO ACTION");
    EXPECT_EQ(t->fks[0].on_update, "NO ACTION");
    EXPECT_EQ(t->fks[1].on_delete, "NO ACTION");
    EXPECT_EQ(t->fks[1].on_update, "CASCADE");
}

TEST(AlterTableParser, AddTakesSeveralItemsEachAsWritten)
{
    auto a = parse(
        "ALTER TABLE t ADD c int NOT NULL CONSTRAINT df_c DEFAULT 0, d AS (c + 1) PERSISTED, "
        "CONSTRAINT ck CHECK (c >= 0), e varchar(5) NULL DEFAULT 'x' WITH VALUES");
    EXPECT_EQ(a.action, mssx_alter_action::add_column);
    ASSERT_TRUE(a.column_spec);
    EXPECT_EQ(a.column_spec->constraints.size(), 1u);
    EXPECT_EQ(a.column_spec->constraints[0].name, "df_c");
    EXPECT_EQ(a.column_spec->constraints[0].expression, "((0))");
    ASSERT_EQ(a.more.size(), 3u);
    EXPECT_EQ(a.more[0].action, mssx_alter_action::add_column);
    EXPECT_EQ(a.more[0].column_spec->computed, "(c + 1)");
    EXPECT_EQ(a.more[1].action, mssx_alter_action::add_check);
    EXPECT_EQ(a.more[1].constraint, "ck");
    EXPECT_EQ(a.more[2].column, "e");
    EXPECT_TRUE(a.more[2].column_spec->with_values);
    EXPECT_EQ(joined(a.more[2].table), "t");
    EXPECT_EQ(parse_error("ALTER TABLE t ADD c int,"), "102: Incorrect syntax near the end of the batch.");
}

// ALTER TABLE ... ADD on a table with two rows, one row per case: the statement and the new column's values
// in the rows there and in a row inserted after it (or the error).
TEST(AlterTableStatements, AddedColumnsFillTheRowsThereAsSqlServerDoes)
{
    struct {
        const char* alter;
        const char* values; // the new column in rows 1, 2 and the row inserted after: "v1|v2|v3", or the error
    } cases[] = {
        {"ALTER TABLE t ADD c int NULL DEFAULT 7", "NULL|NULL|7"},
        {"ALTER TABLE t ADD c int NULL DEFAULT 7 WITH VALUES", "7|7|7"},
        {"ALTER TABLE t ADD c int NOT NULL DEFAULT 7", "7|7|7"},
        {"ALTER TABLE t ADD c int NOT NULL CONSTRAINT df_c DEFAULT (3 + 4)", "7|7|7"},
        {"ALTER TABLE t ADD c varchar(20) NOT NULL DEFAULT cast(12 as varchar(20))", "12|12|12"},
        {"ALTER TABLE t ADD c int NOT NULL", "4901"},
        {"ALTER TABLE t ADD c int IDENTITY(10, 5)", "10|15|20"},
        {"ALTER TABLE t ADD c AS (a * 2)", "2|4|6"},
        {"ALTER TABLE t ADD c AS (a * 2) PERSISTED", "2|4|6"},
        {"ALTER TABLE t ADD c AS (a * 2) PERSISTED NOT NULL", "2|4|6"},
        {"ALTER TABLE t ADD c int NULL, d int NOT NULL", "4901"},
        {"ALTER TABLE t ADD c int NULL, CONSTRAINT ck_c CHECK (c > 0)", "NULL|NULL|NULL"},
        {"ALTER TABLE t ADD c int NOT NULL DEFAULT 1, CONSTRAINT uq_c UNIQUE (c)", "1505"},
    };
    for (auto& k : cases) {
        mssx_test_server server("alter_add");
        mssx_connection c(server.dir, server.sa());
        ASSERT_TRUE(c.execute("CREATE TABLE t (a int NOT NULL); INSERT INTO t VALUES (1), (2)").errors.empty());
        auto out = c.execute(k.alter);
        std::string got;
        if (!out.errors.empty())
            got = std::to_string(out.errors[0].number);
        else {
            out = c.execute("INSERT INTO t (a) VALUES (3)");
            EXPECT_TRUE(out.errors.empty()) << k.alter << ": " << out.errors.front().what();
            auto r = c.execute("SELECT c FROM t ORDER BY a").results.at(0);
            for (size_t i = 0; i < r.rows.size(); ++i) got += (i ? "|" : "") + mssx_cell(r, i, 0);
        }
        EXPECT_EQ(got, k.values) << k.alter;
        // a refused ALTER left the table as it was
        if (out.errors.empty()) continue;
        auto t = c.catalog().load_table("dbo", "t");
        ASSERT_TRUE(t);
        EXPECT_EQ(t->columns.size(), 1u) << k.alter;
        EXPECT_EQ(mssx_cell(c.execute("SELECT COUNT(*) FROM t").results.at(0), 0, 0), "2");
        EXPECT_TRUE(c.execute("INSERT INTO t (a) VALUES (3)").errors.empty());
    }
}

TEST(AlterTableStatements, APersistedNotNullComputedColumnTakesInserts)
{
    mssx_test_server server("computed_not_null");
    mssx_connection c(server.dir, server.sa());
    auto out = c.execute("CREATE TABLE t (q int NOT NULL, s int NULL, d AS (q - s) PERSISTED NOT NULL)");
    ASSERT_TRUE(out.errors.empty()) << out.errors.front().what();
    EXPECT_TRUE(c.execute("INSERT INTO t (q, s) VALUES (5, 2)").errors.empty());
    // NULL from the expression is refused, and the row is not there
    out = c.execute("INSERT INTO t (q, s) VALUES (5, NULL)");
    ASSERT_EQ(out.errors.size(), 1u);
    EXPECT_EQ(out.errors[0].number, 515);
    auto r = c.execute("SELECT q, s, d FROM t").results.at(0);
    ASSERT_EQ(r.rows.size(), 1u);
    EXPECT_EQ(mssx_cell(r, 0, 2), "3");
}
