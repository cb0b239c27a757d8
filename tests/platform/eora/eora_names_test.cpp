#include "tests/platform/eora/eora_test_service.h"

#include <set>

namespace {

using EoraNames = eora_test::service;

TEST_F(EoraNames, QuotedNamesThatDifferInCaseAreTwoTables)
{
    run("create table \"Foo\" (\"Id\" number(5), v varchar2(10))");
    run("create table \"FOO\" (\"ID\" number(5), v varchar2(10))");
    EXPECT_EQ(error_of("create table foo (x number)"), 955); // unquoted folds to FOO
    run("insert into \"Foo\" values (1, 'lower')");
    run("insert into foo values (2, 'upper')");
    run("insert into \"FOO\" values (3, 'upper')");
    EXPECT_EQ(run("select \"Id\", v from \"Foo\""), (std::vector<std::string>{"1|lower|"}));
    EXPECT_EQ(run("select id, v from foo order by id"), (std::vector<std::string>{"2|upper|", "3|upper|"}));
    EXPECT_EQ(error_of("select id from \"Foo\""), 904);
    EXPECT_EQ(run("select table_name from user_tables where table_name in ('Foo', 'FOO') order by table_name"),
              (std::vector<std::string>{"FOO|", "Foo|"}));
    run("drop table \"Foo\"");
    EXPECT_EQ(run("select count(*) from foo"), (std::vector<std::string>{"2|"}));
    EXPECT_EQ(error_of("select count(*) from \"Foo\""), 942);
}

TEST_F(EoraNames, QuotedColumnsThatDifferInCaseAreTwoColumns)
{
    run("create table t (\"Name\" varchar2(10), \"NAME\" varchar2(10), \"name\" varchar2(10), \"a.b\" number, "
        "\"A.B\" number, \"x~y\" number)");
    run("insert into t values ('mixed', 'upper', 'lower', 1, 2, 3)");
    EXPECT_EQ(run("select \"name\", name, \"Name\", \"a.b\", \"A.B\", \"x~y\" from t"),
              (std::vector<std::string>{"lower|upper|mixed|1|2|3|"}));
    run("update t set \"Name\" = 'm2' where \"name\" = 'lower'");
    EXPECT_EQ(run("select t.\"Name\", t.name from t"), (std::vector<std::string>{"m2|upper|"}));
    // A result column is named as Oracle names it.
    auto st = s->prepare("select \"Name\", \"a.b\", name from t");
    auto r = s->execute(*st, {});
    ASSERT_EQ(r.cur->columns().size(), 3u);
    EXPECT_EQ(r.cur->columns()[0].name, "Name");
    EXPECT_EQ(r.cur->columns()[1].name, "a.b");
    EXPECT_EQ(r.cur->columns()[2].name, "NAME");
    EXPECT_EQ(r.cur->columns()[0].type.length, 10);
    EXPECT_EQ(error_of("create table u (\"C\" number, c number)"), 957);
    try {
        run("select \"nAME\" from t");
        FAIL() << "an unknown quoted column was accepted";
    } catch (const eora::eora_error& e) {
        EXPECT_EQ(e.number(), 904);
        EXPECT_NE(e.text().find("\"nAME\""), std::string::npos) << e.text();
    }
}

TEST_F(EoraNames, GeneratedConstraintNamesAreUniqueInTheDatabase)
{
    std::string ddl = "create table wide (";
    for (int i = 1; i <= 12; ++i) ddl += (i > 1 ? ", c" : "c") + std::to_string(i) + " number not null";
    ddl += ", constraint wide_pk primary key (c1))";
    run(ddl);
    run("create user other identified by pw");
    run("create table other.narrow (a number not null, b number not null, unique (a))");
    run("alter table wide modify (c12 null)");
    run("alter table wide modify (c12 not null)");
    auto names = run("select constraint_name from all_constraints where owner in ('SYSTEM', 'OTHER')");
    EXPECT_EQ(names.size(), 12u + 1 + 3);
    std::set<std::string> distinct(names.begin(), names.end());
    EXPECT_EQ(distinct.size(), names.size());
    for (const auto& n : names) {
        if (n == "WIDE_PK|") continue;
        EXPECT_EQ(n.rfind("SYS_C", 0), 0u) << n;
        EXPECT_EQ(n.size(), std::string("SYS_C0000001|").size()) << n;
    }
    // Dropped names are not given again.
    run("drop table other.narrow");
    run("create table again (a number not null)");
    auto fresh = run("select constraint_name from user_constraints where table_name = 'AGAIN'");
    ASSERT_EQ(fresh.size(), 1u);
    EXPECT_EQ(distinct.count(fresh[0]), 0u) << fresh[0];
    // A name a user took is passed over.
    const std::string next =
        "SYS_C" + std::string(7 - std::to_string(names.size() + 2).size(), '0') + std::to_string(names.size() + 2);
    run("create table taken (a number, constraint " + next + " unique (a))");
    run("create table after_taken (a number not null, b number not null)");
    auto after = run("select constraint_name from user_constraints where table_name = 'AFTER_TAKEN'");
    ASSERT_EQ(after.size(), 2u);
    EXPECT_NE(after[0], next + "|");
    EXPECT_NE(after[1], next + "|");
}

TEST_F(EoraNames, IndexesAndConstraintsHaveNamespacesOfTheirOwn)
{
    run("create table orders (id number, code varchar2(10))");
    run("create table lines (id number, order_id number)");
    // An index and a constraint may be named like a table.
    run("create index lines on orders (code)");
    run("alter table orders add constraint orders primary key (id)");
    run("alter table lines add constraint lines_fk foreign key (order_id) references orders (id)");
    // Constraints share one namespace per schema.
    EXPECT_EQ(error_of("alter table lines add constraint orders unique (id)"), 2264);
    EXPECT_EQ(error_of("alter table lines add constraint lines_fk unique (order_id)"), 2264);
    // Indexes share one namespace per schema, whatever their table.
    EXPECT_EQ(error_of("create index lines on lines (order_id)"), 955);
    EXPECT_EQ(error_of("create index orders on lines (order_id)"), 955);
    run("create user other identified by pw");
    run("create table other.t (a number)");
    run("create index other.lines on other.t (a)");
    run("insert into orders values (1, 'a')");
    run("insert into lines values (10, 1)");
    EXPECT_EQ(error_of("insert into orders values (1, 'b')"), 1);
    EXPECT_EQ(error_of("insert into lines values (11, 2)"), 2291);
    EXPECT_EQ(run("select index_name, table_name from user_indexes order by index_name, table_name"),
              (std::vector<std::string>{"LINES|ORDERS|", "ORDERS|ORDERS|"}));
    run("drop index lines");
    run("create index lines on lines (order_id)");
    EXPECT_EQ(run("select o.code from orders o, lines l where l.order_id = o.id"), (std::vector<std::string>{"a|"}));
}

TEST_F(EoraNames, UpperCaseRowidIsNoColumnNameAndUnquotedRowidIsThePseudoColumn)
{
    EXPECT_EQ(error_of("create table r (rowid varchar2(10))"), 904);
    EXPECT_EQ(error_of("create table r (\"ROWID\" varchar2(10))"), 904);
    run("create table r (\"RowId\" varchar2(20), \"rowid\" number, doc clob, pic blob)");
    auto st = s->prepare("insert into r values ('text', 7, empty_clob(), empty_blob()) returning rowid into :r");
    auto ins = s->execute(*st, {});
    ASSERT_EQ(ins.rowids.size(), 1u);
    const std::string rid = ins.rowids[0];
    EXPECT_EQ(rid.size(), 18u);
    // The LOB columns are written through the row's locator, as the converter writes them.
    auto sel = s->prepare("select doc, pic from r where rowid = '" + rid + "' for update");
    auto q = s->execute(*sel, {});
    ASSERT_TRUE(q.cur->next());
    ASSERT_TRUE(q.cur->row()[0].lob);
    s->write_lob(*q.cur->row()[0].lob, "clob text", true);
    s->write_lob(*q.cur->row()[1].lob, std::string("\x01\x02", 2), false);
    q.cur.reset();
    s->commit();
    EXPECT_EQ(run("select rowid, \"RowId\", \"rowid\", doc from r"),
              (std::vector<std::string>{rid + "|text|7|clob text|"}));
    EXPECT_EQ(run("select \"RowId\" from r where rowid = '" + rid + "'"), (std::vector<std::string>{"text|"}));
    EXPECT_EQ(run("select count(*) from r where \"rowid\" = 7 and rowid = '" + rid + "'"),
              (std::vector<std::string>{"1|"}));
}

} // namespace
