// CREATE TABLE parsed into its structure, and what the server makes of it.
#include <gtest/gtest.h>
#include "mssx_test_server.h"
#include "platform/mssx/mssx_connection_impl.h"
#include "platform/mssx/mssx_create_table.h"
#include "platform/mssx/mssx_error.h"

namespace {

mssx_create_table parse(const std::string& sql)
{
    auto toks = mssx_lex(sql, true);
    return mssx_parse_create_table(toks, sql, 0, toks.size() - 1);
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

TEST(CreateTableParser, ColumnsWithTheirOptions)
{
    auto c = parse(
        "CREATE TABLE [dbo].[Orders](\n"
        "  [id] [int] IDENTITY(100, -2) NOT FOR REPLICATION NOT NULL,\n"
        "  [code] nvarchar(10) COLLATE Latin1_General_CS_AS NULL,\n"
        "  [price] sys.decimal(10, 2) NOT NULL CONSTRAINT [DF_price] DEFAULT ((0)),\n"
        "  [made] datetime DEFAULT getdate(),\n"
        "  [g] uniqueidentifier ROWGUIDCOL NOT NULL DEFAULT (newid()),\n"
        "  [total] AS ([price] * (2)) PERSISTED NOT NULL,\n"
        ") ON [PRIMARY] TEXTIMAGE_ON [PRIMARY]");
    EXPECT_EQ(joined(c.table), "dbo|Orders");
    ASSERT_EQ(c.elements.size(), 6u);
    for (auto& item : c.elements) ASSERT_TRUE(item.column);
    const auto& id = *c.elements[0].column;
    EXPECT_EQ(id.name, "id");
    EXPECT_EQ(id.type.name, "int");
    EXPECT_TRUE(id.identity);
    EXPECT_EQ(id.seed, 100);
    EXPECT_EQ(id.increment, -2);
    EXPECT_EQ(id.nullable, std::optional<bool>(false));
    const auto& code = *c.elements[1].column;
    EXPECT_EQ(joined(code.type.args), "10");
    EXPECT_EQ(code.collation, "Latin1_General_CS_AS");
    EXPECT_EQ(code.nullable, std::optional<bool>(true));
    const auto& price = *c.elements[2].column;
    EXPECT_EQ(price.type.name, "decimal");
    EXPECT_EQ(joined(price.type.args), "10|2");
    ASSERT_EQ(price.constraints.size(), 1u);
    EXPECT_EQ(price.constraints[0].kind, mssx_constraint_kind::default_value);
    EXPECT_EQ(price.constraints[0].name, "DF_price");
    EXPECT_EQ(price.constraints[0].expression, "((0))");
    const auto& made = *c.elements[3].column;
    EXPECT_FALSE(made.nullable.has_value());
    EXPECT_EQ(made.constraints.at(0).expression, "(getdate())");
    EXPECT_EQ(c.elements[4].column->constraints.at(0).expression, "(newid())");
    const auto& total = *c.elements[5].column;
    EXPECT_EQ(total.computed, "([price] * (2))");
    EXPECT_TRUE(total.type.name.empty());
    EXPECT_EQ(total.nullable, std::optional<bool>(false));
}

TEST(CreateTableParser, ColumnAndTableConstraints)
{
    auto c = parse(
        "CREATE TABLE ch (a int NOT NULL PRIMARY KEY NONCLUSTERED, b int NULL UNIQUE, "
        "p int NULL REFERENCES par (k) ON DELETE SET NULL, q int NULL CHECK (q > 0), "
        "CONSTRAINT fk FOREIGN KEY (b, q) REFERENCES other.par (x, y) ON UPDATE CASCADE ON DELETE NO ACTION, "
        "CONSTRAINT ck CHECK NOT FOR REPLICATION ([a] < [b]), UNIQUE CLUSTERED (q DESC, p ASC) "
        "WITH (IGNORE_DUP_KEY = OFF) ON [PRIMARY])");
    ASSERT_EQ(c.elements.size(), 7u);
    const auto& a = c.elements[0].column->constraints.at(0);
    EXPECT_EQ(a.kind, mssx_constraint_kind::key);
    EXPECT_TRUE(a.primary);
    EXPECT_EQ(a.clustered, std::optional<bool>(false));
    EXPECT_TRUE(a.columns.empty()); // the column it is declared on
    EXPECT_FALSE(c.elements[1].column->constraints.at(0).primary);
    const auto& p = c.elements[2].column->constraints.at(0);
    EXPECT_EQ(p.kind, mssx_constraint_kind::foreign_key);
    EXPECT_TRUE(p.columns.empty());
    EXPECT_EQ(joined(p.ref_table), "par");
    EXPECT_EQ(joined(p.ref_columns), "k");
    EXPECT_EQ(p.on_delete, "SET NULL");
    EXPECT_EQ(c.elements[3].column->constraints.at(0).expression, "(q > 0)");
    ASSERT_FALSE(c.elements[4].column);
    const auto& fk = c.elements[4].constraint;
    EXPECT_EQ(fk.name, "fk");
    EXPECT_EQ(joined(fk.columns), "b|q");
    EXPECT_EQ(joined(fk.ref_table), "other|par");
    EXPECT_EQ(joined(fk.ref_columns), "x|y");
    EXPECT_EQ(fk.on_update, "CASCADE");
    EXPECT_EQ(fk.on_delete, "NO ACTION");
    EXPECT_EQ(c.elements[5].constraint.expression, "([a] < [b])");
    const auto& uq = c.elements[6].constraint;
    EXPECT_EQ(uq.clustered, std::optional<bool>(true));
    EXPECT_EQ(joined(uq.columns), "q|p");
}

TEST(CreateTableParser, MalformedStatementsGiveTheSyntaxErrorNearTheFaultyToken)
{
    struct row {
        const char* sql;
        const char* error;
    };
    const row rows[] = {
        {"CREATE TABLE", "102: Incorrect syntax near the end of the batch."},
        {"CREATE TABLE t", "102: Incorrect syntax near the end of the batch."},
        {"CREATE TABLE t a int", "102: Incorrect syntax near 'a'."},
        {"CREATE TABLE t (a int", "102: Incorrect syntax near the end of the batch."},
        {"CREATE TABLE t ()", "102: Incorrect syntax near ')'."},
        {"CREATE TABLE t (a)", "102: Incorrect syntax near ')'."},
        {"CREATE TABLE t (a int, , b int)", "102: Incorrect syntax near ','."},
        {"CREATE TABLE t (PRIMARY KEY (a))", "102: Incorrect syntax near ')'."},
        {"CREATE TABLE t (a int NOT x)", "156: Incorrect syntax near the keyword 'NOT'."},
        {"CREATE TABLE t (a int FOO)", "102: Incorrect syntax near 'FOO'."},
        {"CREATE TABLE t (a int IDENTITY(1))", "102: Incorrect syntax near ')'."},
        {"CREATE TABLE t (a int IDENTITY(1, 2, 3))", "102: Incorrect syntax near ')'."},
        {"CREATE TABLE t (a int IDENTITY(x, 1))", "102: Incorrect syntax near 'x'."},
        {"CREATE TABLE t (a int IDENTITY(1.5, 1))", "102: Incorrect syntax near '1.5'."},
        {"CREATE TABLE t (a int IDENTITY(99999999999999999999, 1))",
         "102: Incorrect syntax near '99999999999999999999'."},
        {"CREATE TABLE t (a int PRIMARY (a))", "102: Incorrect syntax near '('."},
        {"CREATE TABLE t (a int, PRIMARY KEY)", "102: Incorrect syntax near ')'."},
        {"CREATE TABLE t (a int, UNIQUE (a b))", "102: Incorrect syntax near 'b'."},
        {"CREATE TABLE t (a int, FOREIGN KEY (a) par)", "102: Incorrect syntax near 'par'."},
        {"CREATE TABLE t (a int, CONSTRAINT r REFERENCES par)", "156: Incorrect syntax near the keyword 'REFERENCES'."},
        {"CREATE TABLE t (a int REFERENCES par ON DELETE SET x)", "102: Incorrect syntax near 'x'."},
        {"CREATE TABLE t (a int CHECK a > 0)", "102: Incorrect syntax near 'a'."},
        {"CREATE TABLE t (a int CHECK ())", "102: Incorrect syntax near ')'."},
        {"CREATE TABLE t (a int DEFAULT)", "102: Incorrect syntax near ')'."},
        {"CREATE TABLE t (a int, b int, CONSTRAINT d DEFAULT 1 FOR b)",
         "156: Incorrect syntax near the keyword 'DEFAULT'."},
        {"CREATE TABLE t (a int, CHECK (a > 0) b)", "102: Incorrect syntax near 'b'."},
        {"CREATE TABLE t (a AS)", "102: Incorrect syntax near ')'."},
        {"CREATE TABLE t (a int COLLATE)", "102: Incorrect syntax near ')'."},
        {"CREATE TABLE t (a int) extra", "102: Incorrect syntax near 'extra'."},
    };
    for (const auto& r : rows) EXPECT_EQ(parse_error(r.sql), r.error) << r.sql;
}

TEST(CreateTableStatements, WhatTheStructureDescribesIsWhatTheCatalogKeeps)
{
    mssx_test_server server("create_table");
    ASSERT_TRUE(server.run_script("CREATE DATABASE C\nGO\n").empty());
    mssx_connection c(server.dir, server.sa("C"));
    auto error_of = [&](const std::string& sql) {
        auto out = c.execute(sql);
        return out.errors.empty() ? 0 : out.errors.front().number;
    };
    ASSERT_EQ(error_of("CREATE TABLE par (k int NOT NULL CONSTRAINT pk_par PRIMARY KEY, n nvarchar(5) NULL)"), 0);
    ASSERT_EQ(error_of("CREATE TABLE ch (id int IDENTITY(10, 5), k int NULL REFERENCES par ON DELETE CASCADE, "
                       "price money NOT NULL DEFAULT $1.50, twice AS (price * 2), CHECK (price >= 0))"),
              0);
    auto t = c.catalog().load_table("dbo", "ch");
    ASSERT_TRUE(t);
    ASSERT_EQ(t->columns.size(), 4u);
    EXPECT_TRUE(t->columns[0].identity);
    EXPECT_FALSE(t->columns[0].nullable);
    EXPECT_EQ(t->columns[0].seed, 10);
    EXPECT_EQ(t->columns[0].increment, 5);
    ASSERT_EQ(t->fks.size(), 1u);
    EXPECT_EQ(joined(t->fks[0].ref_columns), "k"); // the referenced table's key
    EXPECT_EQ(t->fks[0].on_delete, "CASCADE");
    EXPECT_EQ(t->fks[0].on_update, "NO ACTION");
    EXPECT_EQ(t->columns[2].default_text, "((1.50))");
    EXPECT_EQ(t->columns[3].computed, "(price * 2)");
    ASSERT_EQ(t->checks.size(), 1u);
    EXPECT_EQ(error_of("INSERT INTO par VALUES (1, N'a')"), 0);
    EXPECT_EQ(error_of("INSERT INTO ch (k) VALUES (1)"), 0);
    EXPECT_EQ(error_of("INSERT INTO ch (k, price) VALUES (1, -1)"), 547);
    auto r = server.query("C", "SELECT id, price, twice FROM ch");
    ASSERT_EQ(r.rows.size(), 1u);
    EXPECT_EQ(mssx_cell(r, 0, 0), "10");
    EXPECT_EQ(mssx_cell(r, 0, 1), "1.5000");
    EXPECT_EQ(mssx_cell(r, 0, 2), "3.0000");

    // the catalog's refusals come after the statement parsed whole
    EXPECT_EQ(error_of("CREATE TABLE ch (a int)"), 2714);
    EXPECT_EQ(error_of("CREATE TABLE nosuch.t (a int)"), 2760);
    EXPECT_EQ(error_of("CREATE TABLE ch (a int"), 102);
    EXPECT_EQ(error_of("CREATE TABLE d (a int, a int)"), 2705);
    EXPECT_EQ(error_of("CREATE TABLE d (a int PRIMARY KEY, b int PRIMARY KEY)"), 8110);
    EXPECT_EQ(error_of("CREATE TABLE d (a int, PRIMARY KEY (b))"), 1911);
    EXPECT_EQ(error_of("CREATE TABLE d (a int, FOREIGN KEY (b) REFERENCES par (k))"), 1769);
    EXPECT_EQ(error_of("CREATE TABLE d (a int REFERENCES nosuch (k))"), 1767);
    EXPECT_EQ(error_of("CREATE TABLE d (a int, b int, FOREIGN KEY (a, b) REFERENCES par (k))"), 8139);
    EXPECT_EQ(error_of("CREATE TABLE d (a float IDENTITY)"), 2749);
    EXPECT_FALSE(c.catalog().find_object("dbo", "d"));
}

TEST(CreateTableStatements, XmlSchemaCollectionsAndTypedXmlColumns)
{
    mssx_test_server server("xml_schema");
    mssx_connection c(server.dir, server.sa());
    const std::string xsd =
        "<xsd:schema xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\"><xsd:element name=\"a\" "
        "type=\"xsd:string\"/></xsd:schema>";
    auto out = c.execute("CREATE XML SCHEMA COLLECTION dbo.Docs AS N'" + xsd + "'");
    ASSERT_TRUE(out.errors.empty()) << out.errors.front().what();
    EXPECT_EQ(c.execute("CREATE XML SCHEMA COLLECTION Docs AS N'<x/>'").errors.at(0).number, 2714);
    out = c.execute("CREATE TABLE t (id int, a xml(CONTENT dbo.Docs) NULL, b xml(Docs), c xml(DOCUMENT dbo.Docs))");
    ASSERT_TRUE(out.errors.empty()) << out.errors.front().what();
    auto t = c.catalog().load_table("dbo", "t");
    ASSERT_TRUE(t);
    for (size_t i = 1; i < 4; ++i) EXPECT_EQ(t->columns[i].type.name, "xml") << i;
    ASSERT_TRUE(c.execute("INSERT INTO t VALUES (1, N'<a>x</a>', N'<a>y</a>', N'<a>z</a>')").errors.empty());
    auto r = c.execute("SELECT a, b, c FROM t").results.at(0);
    EXPECT_EQ(mssx_cell(r, 0, 0), "<a>x</a>");
    EXPECT_EQ(mssx_cell(r, 0, 2), "<a>z</a>");
    // the text is kept as given
    auto kept = c.state().db.prepare("SELECT definition FROM mssx_xml_schema_collections WHERE name = 'Docs'");
    ASSERT_TRUE(kept.step());
    EXPECT_EQ(kept.text(0), xsd);
    kept.reset();
    EXPECT_TRUE(c.execute("DROP XML SCHEMA COLLECTION dbo.Docs").errors.empty());
    EXPECT_EQ(c.execute("DROP XML SCHEMA COLLECTION dbo.Docs").errors.at(0).number, 3701);
}

TEST(CreateTableParser, ADefaultKeepsABlankBetweenTwoWords)
{
    auto c =
        parse("CREATE TABLE t (d date DEFAULT CAST(GETDATE() AS date), e date DEFAULT (CONVERT(date, GETDATE())))");
    ASSERT_EQ(c.elements.size(), 2u);
    EXPECT_EQ(c.elements[0].column->constraints.at(0).expression, "(cast(getdate() AS date))");
    EXPECT_EQ(c.elements[1].column->constraints.at(0).expression, "(convert(date,getdate()))");
}
