#include "platform/eora/eora_select_parse.h"
#include "platform/eora/eora_error.h"
#include "platform/eora/eora_session.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

using eora::term;

// Tokens of a text, without the end marker the parser never reads.
struct tokens {
    std::vector<eora::token> t;
    explicit tokens(const std::string& sql) : t(eora::tokenize(sql, 30)) {}
    size_t end() const { return t.size() - 1; }
};

eora::select_query parse(const std::string& sql)
{
    tokens k(sql);
    return eora::parse_select(k.t, 0, k.end());
}

int parse_error(const std::string& sql)
{
    try {
        parse(sql);
    } catch (const eora::eora_error& e) {
        return e.number();
    }
    return 0;
}

int expressions_error(const std::string& sql)
{
    tokens k(sql);
    try {
        eora::parse_expressions(k.t, 0, k.end());
    } catch (const eora::eora_error& e) {
        return e.number();
    }
    return 0;
}

// The terms of an expression as kind:text, one string.
std::string shape(const eora::expr& x)
{
    std::string out;
    for (const term& t : x.terms) {
        if (!out.empty()) out += ' ';
        switch (t.k) {
        case term::kind::keyword:
            out += "kw:" + t.text;
            break;
        case term::kind::name: {
            out += "name:";
            for (size_t i = 0; i < t.parts.size(); ++i) out += (i ? "." : "") + t.parts[i];
            break;
        }
        case term::kind::string:
            out += "str:" + t.text;
            break;
        case term::kind::number:
            out += "num:" + t.text;
            break;
        case term::kind::bind:
            out += "bind:" + t.text;
            break;
        case term::kind::op:
            out += "op:" + t.text;
            break;
        case term::kind::call: {
            out += "call:" + t.text + "(";
            for (size_t i = 0; i < t.args.size(); ++i) out += (i ? " | " : "") + shape(t.args[i]);
            out += ")";
            break;
        }
        case term::kind::group: {
            out += "(";
            for (size_t i = 0; i < t.args.size(); ++i) out += (i ? " | " : "") + shape(t.args[i]);
            out += ")";
            break;
        }
        case term::kind::subquery:
            out += "subquery";
            break;
        case term::kind::rowid:
            out += "rowid";
            break;
        case term::kind::rowid_match:
            out += std::string("rowid=") + (t.bind_value ? "bind:" : "str:") + t.text;
            break;
        case term::kind::sequence:
            out += "seq:" + t.parts[0] + "." + t.parts[1] + (t.currval ? ".CURRVAL" : ".NEXTVAL");
            break;
        case term::kind::sysdate:
            out += "sysdate";
            break;
        case term::kind::user:
            out += "user";
            break;
        }
    }
    return out;
}

TEST(EoraSelectParse, ClausesOfOneSelect)
{
    auto q = parse(
        "select distinct a, t.b as bee, count(*) n, 'x' || c from scott.emp t "
        "where a > 1 and b is not null group by a, t.b having count(*) > 1 "
        "order by 2 desc, a nulls first;");
    ASSERT_EQ(q.operands.size(), 1u);
    ASSERT_FALSE(q.operands[0].nested);
    const auto& c = q.operands[0].core;
    EXPECT_EQ(c.quantifier, "DISTINCT");
    ASSERT_EQ(c.items.size(), 4u);
    EXPECT_EQ(shape(c.items[0].value), "name:A");
    EXPECT_EQ(c.items[0].alias, "");
    EXPECT_EQ(shape(c.items[1].value), "name:T.B");
    EXPECT_EQ(c.items[1].alias, "BEE");
    EXPECT_TRUE(c.items[1].as);
    EXPECT_EQ(shape(c.items[2].value), "call:COUNT(op:*)");
    EXPECT_EQ(c.items[2].alias, "N");
    EXPECT_FALSE(c.items[2].as);
    EXPECT_EQ(shape(c.items[3].value), "str:x op:|| name:C");
    EXPECT_EQ(c.items[3].alias, "");

    ASSERT_TRUE(c.has_from);
    ASSERT_EQ(c.from.size(), 1u);
    EXPECT_EQ(c.from[0].table.owner, "SCOTT");
    EXPECT_EQ(c.from[0].table.name, "EMP");
    EXPECT_EQ(c.from[0].table.alias, "T");
    EXPECT_TRUE(c.from[0].joins.empty());

    ASSERT_TRUE(c.has_where);
    EXPECT_EQ(shape(c.where), "name:A op:> num:1 kw:AND name:B kw:IS kw:NOT kw:NULL");
    ASSERT_EQ(c.group_by.size(), 2u);
    EXPECT_EQ(shape(c.group_by[1]), "name:T.B");
    ASSERT_TRUE(c.has_having);
    EXPECT_EQ(shape(c.having), "call:COUNT(op:*) op:> num:1");

    ASSERT_EQ(q.order_by.size(), 2u);
    EXPECT_EQ(shape(q.order_by[0].value), "num:2");
    EXPECT_EQ(q.order_by[0].direction, "DESC");
    EXPECT_EQ(q.order_by[0].nulls, "");
    EXPECT_EQ(shape(q.order_by[1].value), "name:A");
    EXPECT_EQ(q.order_by[1].direction, "");
    EXPECT_EQ(q.order_by[1].nulls, "FIRST");
    EXPECT_FALSE(q.for_update);
}

TEST(EoraSelectParse, JoinsSubqueriesAndSetOperators)
{
    auto q = parse(
        "select * from a x left outer join b on x.id = b.id join c using (id, k), "
        "(select id from d) dd, \"dual\" "
        "union all select 1 from dual minus (select 2 from dual) order by 1 for update of a nowait");
    ASSERT_EQ(q.operands.size(), 3u);
    ASSERT_EQ(q.set_ops.size(), 2u);
    EXPECT_EQ(q.set_ops[0], "UNION ALL");
    EXPECT_EQ(q.set_ops[1], "MINUS");
    ASSERT_TRUE(q.operands[2].nested);
    EXPECT_EQ(q.operands[2].nested->operands.size(), 1u);
    EXPECT_TRUE(q.for_update);
    EXPECT_EQ(q.order_by.size(), 1u);

    const auto& c = q.operands[0].core;
    ASSERT_EQ(c.items.size(), 1u);
    EXPECT_EQ(shape(c.items[0].value), "op:*");
    ASSERT_EQ(c.from.size(), 3u);
    const auto& f = c.from[0];
    EXPECT_EQ(f.table.name, "A");
    EXPECT_EQ(f.table.alias, "X");
    ASSERT_EQ(f.joins.size(), 2u);
    EXPECT_EQ(f.joins[0].words, (std::vector<std::string>{"LEFT", "OUTER"}));
    EXPECT_EQ(f.joins[0].table.name, "B");
    EXPECT_EQ(f.joins[0].table.alias, "");
    ASSERT_TRUE(f.joins[0].has_on);
    EXPECT_EQ(shape(f.joins[0].on), "name:X.ID op:= name:B.ID");
    EXPECT_TRUE(f.joins[1].words.empty());
    EXPECT_FALSE(f.joins[1].has_on);
    EXPECT_EQ(f.joins[1].using_columns, (std::vector<std::string>{"ID", "K"}));

    ASSERT_TRUE(c.from[1].table.query);
    EXPECT_EQ(c.from[1].table.alias, "DD");
    EXPECT_EQ(c.from[2].table.name, "dual");
    EXPECT_TRUE(c.from[2].table.quoted);
}

TEST(EoraSelectParse, TermsThatTranslateDifferently)
{
    auto q = parse(
        "select rowid, s.nextval, scott.s.currval, sysdate, user, nvl(a, :b), "
        "concat(concat(a, b), c), (1 + 2) * 3 from t "
        "where rowid = :r and exists (select 1 from u where u.x = t.x) and k in (1, 2)");
    const auto& c = q.operands[0].core;
    ASSERT_EQ(c.items.size(), 8u);
    EXPECT_EQ(shape(c.items[0].value), "rowid");
    EXPECT_EQ(shape(c.items[1].value), "seq:.S.NEXTVAL");
    EXPECT_EQ(shape(c.items[2].value), "seq:SCOTT.S.CURRVAL");
    EXPECT_EQ(shape(c.items[3].value), "sysdate");
    EXPECT_EQ(shape(c.items[4].value), "user");
    EXPECT_EQ(shape(c.items[5].value), "call:NVL(name:A | bind:B)");
    EXPECT_EQ(shape(c.items[6].value), "call:CONCAT(call:CONCAT(name:A | name:B) | name:C)");
    EXPECT_EQ(shape(c.items[7].value), "(num:1 op:+ num:2) op:* num:3");
    EXPECT_EQ(shape(c.where), "rowid=bind:R kw:AND kw:EXISTS subquery kw:AND name:K kw:IN (num:1 | num:2)");
    const auto& sub = c.where.terms[3];
    ASSERT_TRUE(sub.query);
    EXPECT_EQ(shape(sub.query->operands[0].core.where), "name:U.X op:= name:T.X");
}

TEST(EoraSelectParse, ExpressionsOfAConditionOrIndex)
{
    tokens k("upper(a) desc, b || 'x'");
    auto list = eora::parse_expressions(k.t, 0, k.end());
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(shape(list[0]), "call:UPPER(name:A) kw:DESC");
    EXPECT_EQ(shape(list[1]), "name:B op:|| str:x");
    // Oracle ends a DELETE or UPDATE condition at ORDER BY.
    EXPECT_EQ(expressions_error("a = 1 order by a"), 933);
    EXPECT_EQ(expressions_error("a = (1"), 907);
    EXPECT_EQ(expressions_error("a = 1)"), 933);
}

TEST(EoraSelectParse, MalformedQueriesRaiseOraclesNumbers)
{
    struct {
        const char* sql;
        int ora;
    } cases[] = {
        {"select a from t where (a = 1", 907},
        {"select (", 907},
        {"select * from (select a from t", 907},
        {"select nvl(a, b from t", 907},
        {"select nvl(a, b from t) from u", 933},
        {"select a from t where a = 1)", 933},
        {"select a from t @ link", 933},
        {"select a from t; select b from u", 933},
        {"select a from t order a", 933},
        {"select a from t group a", 933},
        {"select a from t order by a where b = 1", 933},
        {"with x as (select 1 from dual) select * from x", 933},
        {"select * from t left x", 933},
        {"select * from t join u using a", 933},
        {"select * from", 921},
        {"select * from t left join", 921},
        {"select a from t union", 921},
        {"select * from t connect by prior a = b", 933}, // CONNECT reads as the table's alias
        {"select * from t x connect by prior a = b", 900},
        {"select a from t x start with a = 1", 900},
        {"select connect from t", 900},
        {"select a from t where a in (select b from u x connect by prior b = a)", 900},
    };
    for (const auto& c : cases) EXPECT_EQ(parse_error(c.sql), c.ora) << c.sql;
    EXPECT_EQ(parse_error("select a from t;"), 0);
}

TEST(EoraSelectParse, MissingExpressionsAndMissingFrom)
{
    struct {
        const char* sql;
        int ora;
    } cases[] = {
        {"select from t", 936},
        {"select a, from t", 936},
        {"select a + from t", 936},
        {"select a * from t", 936},
        {"select a || from t", 936},
        {"select nvl(a, ) from t", 936},
        {"select * from t where", 936},
        {"select * from t where a =", 936},
        {"select * from t where a = 1 and", 936},
        {"select * from t where not", 936},
        {"select a from t group by", 936},
        {"select a from t order by a,", 936},
        {"select * from t join u on", 936},
        {"select 1", 923},
        {"select sysdate where 1 = 1", 923},
        {"select a b c from t", 923},
        {"select a from t union select b", 923},
        {"select * from t", 0},
        {"select t.*, u.a from t, u", 0},
        {"select count(*) from t", 0},
        {"select a b, 1 c, date '2020-01-01' d, - a from t", 0},
        {"select a from t order by a desc nulls last", 0},
    };
    for (const auto& c : cases) EXPECT_EQ(parse_error(c.sql), c.ora) << c.sql;
    try {
        parse("select a, from t");
        ADD_FAILURE() << "accepted";
    } catch (const eora::eora_error& e) {
        EXPECT_EQ(e.text(), "ORA-00936: missing expression");
    }
    try {
        parse("select 1");
        ADD_FAILURE() << "accepted";
    } catch (const eora::eora_error& e) {
        EXPECT_EQ(e.text(), "ORA-00923: FROM keyword not found where expected");
    }
}

// Queries whose structure changes the SQLite text, run on a service.
class EoraSelectRun : public ::testing::Test {
protected:
    std::filesystem::path dir;
    std::unique_ptr<eora::session> s;

    void SetUp() override
    {
        dir =
            std::filesystem::temp_directory_path() / ("eora_select_" + std::to_string(::getpid()) + "_" +
                                                      ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
        std::string file = (dir / "ORCL.db").string();
        eora::session::create_service(file, "manager");
        s = std::make_unique<eora::session>(file, "SYSTEM", "manager");
        for (const char* sql :
             {"create table t (a number, b varchar2(10))", "create table u (a number, c varchar2(10))",
              "insert into t values (1, 'x')", "insert into t values (2, null)", "insert into t values (3, 'z')",
              "insert into u values (1, 'one')", "insert into u values (3, 'three')", "commit"})
            run(sql);
    }
    void TearDown() override
    {
        s.reset();
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }

    std::vector<std::vector<std::string>> run(const std::string& sql)
    {
        auto st = s->prepare(sql);
        auto r = s->execute(*st, {});
        std::vector<std::vector<std::string>> rows;
        if (!r.cur) return rows;
        while (r.cur->next()) {
            std::vector<std::string> row;
            for (const auto& v : r.cur->row()) row.push_back(v.is_null() ? "<null>" : v.s);
            rows.push_back(row);
        }
        return rows;
    }

    int error_of(const std::string& sql)
    {
        try {
            run(sql);
        } catch (const eora::eora_error& e) {
            return e.number();
        }
        return 0;
    }
};

using rows = std::vector<std::vector<std::string>>;

TEST_F(EoraSelectRun, NullsFirstAndLastOrderAsWritten)
{
    EXPECT_EQ(run("select b from t order by b nulls first"), (rows{{"<null>"}, {"x"}, {"z"}}));
    EXPECT_EQ(run("select b from t order by b desc nulls last"), (rows{{"z"}, {"x"}, {"<null>"}}));
}

TEST_F(EoraSelectRun, ATableAfterAJoinConditionIsATable)
{
    EXPECT_EQ(run("select t.a, u.c, v.a from t join u on t.a = u.a, u v where v.a = t.a order by 1"),
              (rows{{"1", "one", "1"}, {"3", "three", "3"}}));
}

TEST_F(EoraSelectRun, ClausesTranslateWithTheirOracleMeaning)
{
    EXPECT_EQ(run("select a from t minus select a from u"), (rows{{"2"}}));
    EXPECT_EQ(run("select concat(concat(b, '-'), concat(user, b)) x from t where a = (select min(a) from t)"),
              (rows{{"x-SYSTEMx"}}));
    EXPECT_EQ(run("select count(*) from t where a in (select a from u) and b ^= 'z'"), (rows{{"1"}}));
    auto r = run("select rowid, a from t where a = 3");
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(run("select a from t where rowid = '" + r[0][0] + "'"), (rows{{"3"}}));
    EXPECT_EQ(error_of("delete from t where a = 1 order by a"), 933);
    EXPECT_EQ(error_of("select a from t where (a = 1"), 907);
    EXPECT_EQ(error_of("select a from nosuch"), 942);
    EXPECT_EQ(run("select count(*) from t"), (rows{{"3"}}));
}

TEST_F(EoraSelectRun, IndexKeysOfExpressionsAreMeasuredAndChecked)
{
    run("create table w (k number, v varchar2(4000), n varchar2(3000), l clob)");
    // A CASE's conditions give no key bytes: only what it can return counts.
    run("create index w_case on w (case when v is not null and n is not null then k end)");
    run("create index w_in on w (case when k in (1, 2) then n end)");
    EXPECT_EQ(error_of("create index w_long on w (upper(v), lower(n))"), 1450);
    EXPECT_EQ(error_of("create index w_lob on w (upper(l))"), 2327);
    EXPECT_EQ(error_of("create index w_none on w (upper(nosuch))"), 904);
    EXPECT_EQ(error_of("create index w_open on w (upper(v)"), 907);
    run("insert into w (k, v, n) values (1, 'a', 'b')");
    EXPECT_EQ(run("select count(*) from user_indexes where table_name = 'W'"), (rows{{"2"}}));
}

} // namespace
