#include "platform/eora/eora_error.h"
#include "platform/eora/eora_session.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

// A session that keeps its queries prepared answers as one that translates
// every query afresh, over the same service.
class EoraQueryReuse : public ::testing::Test {
protected:
    std::filesystem::path dir;
    std::string file;
    std::unique_ptr<eora::session> kept, fresh;

    void SetUp() override
    {
        dir =
            std::filesystem::temp_directory_path() / ("eora_reuse_" + std::to_string(::getpid()) + "_" +
                                                      ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
        file = (dir / "ORCL.db").string();
        eora::session::create_service(file, "manager");
        kept = std::make_unique<eora::session>(file, "SYSTEM", "manager");
        eora::session::set_query_reuse(false);
        fresh = std::make_unique<eora::session>(file, "SYSTEM", "manager");
        eora::session::set_query_reuse(true);
        for (const char* sql :
             {"create table t (id number(5) not null, name varchar2(20), d date, n number(10,2), b blob)",
              "create table u (id number(5), c varchar2(10))",
              "insert into t values (1, 'x', to_date('2020-01-02', 'YYYY-MM-DD'), 1.5, empty_blob())",
              "insert into t values (2, 'y', null, -2, null)", "insert into t values (3, null, null, 3, null)",
              "insert into t values (5, '5', to_date('2021-06-30', 'YYYY-MM-DD'), 5, null)",
              "insert into t values (6, 'it''s', null, 0.25, null)", "insert into u values (1, 'one')",
              "insert into u values (2, 'two')", "commit"})
            run(*kept, sql);
    }
    void TearDown() override
    {
        kept.reset();
        fresh.reset();
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }

    static void run(eora::session& s, const std::string& sql)
    {
        auto st = s.prepare(sql);
        s.execute(*st, {});
    }

    // Columns, rows and the rows LOBs are written through, or the error.
    static std::string answer(eora::session& s, const std::string& sql)
    {
        std::string out;
        try {
            auto st = s.prepare(sql);
            auto r = s.execute(*st, {});
            if (!r.cur) return "no cursor";
            for (const auto& c : r.cur->columns())
                out += c.name + ":" + c.type.dict_name() + "(" + std::to_string(c.type.length) + "," +
                       std::to_string(c.type.precision) + "," + std::to_string(c.type.scale) + ")" +
                       (c.nullable ? "" : " not null") + "|";
            out += "\n";
            while (r.cur->next()) {
                for (const auto& v : r.cur->row()) {
                    out += std::to_string(static_cast<int>(v.kind)) + "=" + v.s;
                    if (v.lob) out += "@" + v.lob->table + "." + v.lob->column + "#" + std::to_string(v.lob->row);
                    out += "|";
                }
                out += "\n";
            }
        } catch (const eora::eora_error& e) {
            out += e.text();
        }
        s.commit(); // a FOR UPDATE holds the file until then
        return out;
    }

    void same(const std::string& sql)
    {
        const std::string want = answer(*fresh, sql);
        EXPECT_EQ(answer(*kept, sql), want) << sql;
        EXPECT_NE(want, "") << sql;
    }

    std::vector<std::string> rowids()
    {
        std::vector<std::string> out;
        auto st = kept->prepare("select rowid from t");
        auto r = kept->execute(*st, {});
        while (r.cur->next()) out.push_back(r.cur->row()[0].s);
        return out;
    }
};

TEST_F(EoraQueryReuse, OneQueryWithOtherLiteralsAnswersAsTranslatedAfresh)
{
    for (const char* v : {"x", "y", "", "it''s", "5", "nosuch", "X"}) {
        same(std::string("select id, name from t where name = '") + v + "' order by id");
        same(std::string("select id from t where name = N'") + v + "' and id > 0");
        same(std::string("select count(*) from t where id = '") + v + "'");
    }
    for (const std::string& r : rowids()) same("select \"B\", \"N\" from t where rowid = '" + r + "' for update");
    // The ROWID of a row of another table, a row that is not there, and one of another shape.
    auto st = kept->prepare("select rowid from u");
    auto u = kept->execute(*st, {});
    ASSERT_TRUE(u.cur->next());
    const std::string other = u.cur->row()[0].s;
    u.cur.reset();
    same("select \"B\", \"N\" from t where rowid = '" + other + "' for update");
    std::string gone = rowids()[0];
    gone[17] = gone[17] == 'z' ? 'y' : 'z';
    same("select \"B\", \"N\" from t where rowid = '" + gone + "' for update");
    for (const char* bad : {"", "AAAA", "AAAAAAAAAAAAAAAAA!"}) {
        same(std::string("select \"B\", \"N\" from t where rowid = '") + bad + "' for update");
        EXPECT_EQ(answer(*kept, std::string("select id from t where rowid = '") + bad + "'"),
                  "ORA-01410: invalid ROWID");
    }
}

TEST_F(EoraQueryReuse, TheSamePlanServesOtherValuesOfAConditionsLiteral)
{
    auto first = kept->prepare("select id from t where name = 'x'");
    auto a = kept->execute(*first, {});
    ASSERT_TRUE(a.cur->next());
    EXPECT_EQ(a.cur->row()[0].s, "1");
    a.cur.reset();
    // While a cursor reads through it, no other statement is prepared for a second value.
    auto second = kept->prepare("select id from t where name = 'y'");
    auto b = kept->execute(*second, {});
    const size_t held = kept->prepared_statements();
    auto third = kept->prepare("select id from t where name = 'it''s'");
    auto c = kept->execute(*third, {});
    // The plan is busy: the third reads through a copy, and the two cursors read apart.
    EXPECT_EQ(kept->prepared_statements(), held + 1);
    ASSERT_TRUE(c.cur->next());
    ASSERT_TRUE(b.cur->next());
    EXPECT_EQ(b.cur->row()[0].s, "2");
    EXPECT_EQ(c.cur->row()[0].s, "6");
    EXPECT_FALSE(b.cur->next());
    EXPECT_FALSE(c.cur->next());
    c.cur.reset();
    b.cur.reset();
    auto fourth = kept->prepare("select id from t where name = '5'");
    auto d = kept->execute(*fourth, {});
    EXPECT_EQ(kept->prepared_statements(), held);
    ASSERT_TRUE(d.cur->next());
    EXPECT_EQ(d.cur->row()[0].s, "5");
}

TEST_F(EoraQueryReuse, BindsAndLiftedLiteralsTakeTheirOwnPlaces)
{
    auto ask = [](eora::session& s, const std::string& sql, const std::vector<eora::value>& binds) {
        std::string out;
        auto st = s.prepare(sql);
        auto r = s.execute(*st, binds);
        while (r.cur->next())
            for (const auto& v : r.cur->row()) out += (v.is_null() ? "<null>" : v.s) + "|";
        return out;
    };
    const std::vector<std::pair<std::string, std::vector<eora::value>>> cases = {
        {"select id from t where name = 'x' and id >= :lo", {eora::value::number("0")}},
        {"select id from t where name = 'y' and id >= :lo", {eora::value::number("0")}},
        {"select id from t where name = 'y' and id >= :lo", {eora::value::number("3")}},
        {"select id from t where id >= :a and name = 'it''s' and id <= :a", {eora::value::number("6")}},
        {"select id from t where id >= :a and name = '5' and id <= :a", {eora::value::number("5")}},
        {"select id from t where id >= :a and name = '5' and id <= :a", {eora::value::number("4")}},
        {"select id, :b from t where name = :b or name = 'x' order by id", {eora::value::text("y")}},
        {"select id, :b from t where name = :b or name = '5' order by id", {eora::value::text("it's")}},
    };
    size_t with_rows = 0;
    for (const auto& [sql, binds] : cases) {
        const std::string want = ask(*fresh, sql, binds);
        EXPECT_EQ(ask(*kept, sql, binds), want) << sql;
        with_rows += want.empty() ? 0 : 1;
    }
    // Two bind values find no row: the bind counts, not only the literal.
    EXPECT_EQ(with_rows, cases.size() - 2);
}

TEST_F(EoraQueryReuse, LiteralsOfOtherKindsAndPlacesKeepTheirOwnMeaning)
{
    for (const char* sql : {
             "select id from t where id = 5",
             "select id from t where id = '5'",
             "select id from t where id = '5.0'",
             "select id from t where id = ' 5'",
             "select id from t where name = 5",
             "select id from t where n = 0.25",
             "select id from t where n = '.25'",
             "select id from t where n = '1.50'",
             "select 'a' from dual",
             "select 'b' from dual",
             "select 'a' x from dual",
             "select '' from dual",
             "select id, 'k' || name from t where name = 'x'",
             "select id, 'q' || name from t where name = 'x'",
             "select id from t where d = to_date('2020-01-02', 'YYYY-MM-DD')",
             "select id from t where d = to_date('02/01/2020', 'DD/MM/YYYY')",
             "select id from t where d = to_date('2021-06-30', 'YYYY-MM-DD')",
             "select to_char(d, 'YYYY') from t where name = 'x'",
             "select to_char(d, 'MM') from t where name = 'x'",
             "select id from t where name = 'x' || 'y'",
             "select id from t where name in ('x', 'y')",
             "select id from t where name in ('5', 'q')",
             "select id from t where name like 'x%'",
             "select id from t where name like '%'",
             "select id from t where id in (select id from u where c = 'one')",
             "select id from t where id in (select id from u where c = 'two')",
             "select (select c from u where u.id = t.id and c = 'one') from t where name = 'x'",
             "select (select c from u where u.id = t.id and c = 'two') from t where name = 'y'",
             "select name from t where name = 'x' union select c from u where c = 'one'",
             "select name from t where name = 'x' union select 'z' from u where c = 'one'",
             "select name, count(*) from t where name = 'x' group by name having name = 'x'",
             "select name, count(*) from t where name = 'x' group by name having name = 'y'",
             "select id from t where name = 'x' order by 'a'",
             "select id from t where case when name = 'x' then 1 end = 1",
             "select id from t where (name = 'x')",
             "select id from t where name = 'x' and id = 1",
             "select id from t where name = 'x' and id = 2",
             "select id from t where rowid = ''",
             "select id from t, u where t.id = u.id and c = 'one'",
             "select id from nosuch where name = 'x'",
             "select nosuch from t where name = 'x'",
             "select id from t where name = ",
         })
        same(sql);
}

TEST_F(EoraQueryReuse, DdlOfThisSessionIsSeenByTheNextQuery)
{
    const std::string q = "select * from t where name = 'x'";
    same(q);
    run(*kept, "alter table t modify (name varchar2(30) default 'zz')");
    same(q);
    same("select * from t where name = 'y'");
    run(*kept, "drop table t");
    same(q);
    run(*kept, "create table t (name varchar2(20), other number(3) not null, more clob)");
    run(*kept, "insert into t values ('x', 7, 'text')");
    run(*kept, "commit");
    same(q);
    same("select * from t where name = 'y'");
    for (const std::string& r : rowids()) same("select more from t where rowid = '" + r + "' for update");
    // A dropped table's ROWID names a row of no table now there.
    same("select more from t where rowid = 'AAAAAAAABAAAAAAAAB' for update");
}

TEST_F(EoraQueryReuse, DdlOfAnotherSessionIsSeenByTheNextQuery)
{
    const std::string q = "select * from t where name = 'x'";
    std::vector<std::string> before = rowids();
    same(q);
    same("select \"B\" from t where rowid = '" + before[0] + "' for update");
    {
        eora::session other(file, "SYSTEM", "manager");
        run(other, "drop table t");
        run(other, "create table t (name varchar2(20), id number(5), b clob)");
        run(other, "insert into t values ('x', 1, 'one')");
        run(other, "insert into t values ('y', 2, 'two')");
        run(other, "commit");
    }
    same(q);
    same("select * from t where name = 'y'");
    same("select \"B\" from t where rowid = '" + before[0] + "' for update");
    for (const std::string& r : rowids()) same("select \"B\" from t where rowid = '" + r + "' for update");
    {
        eora::session other(file, "SYSTEM", "manager");
        run(other, "alter table t modify (id number(9))");
    }
    same(q);
}

TEST_F(EoraQueryReuse, ManyDistinctQueriesKeepABoundedNumberOfStatements)
{
    size_t after_some = 0;
    for (int i = 0; i < 300; ++i) {
        // A number literal is part of a query's text: each one is a query of its own.
        same("select id + " + std::to_string(i) + " from t where name = 'x'");
        if (i == 100) after_some = kept->prepared_statements();
    }
    EXPECT_EQ(kept->prepared_statements(), after_some);
    for (int i = 0; i < 5; ++i) same("select id + " + std::to_string(i) + " from t where name = 'y'");
}

TEST_F(EoraQueryReuse, RowsOfManyTablesKeepABoundedNumberOfStatements)
{
    size_t after_some = 0;
    for (int i = 0; i < 60; ++i) {
        const std::string name = "w" + std::to_string(i);
        run(*kept, "create table " + name + " (k number(5), v varchar2(10), l clob)");
        for (int r = 0; r < 3; ++r)
            run(*kept, "insert into " + name + " values (" + std::to_string(r) + ", 'v" + std::to_string(i) +
                           "', empty_clob())");
        run(*kept, "commit");
        if (i == 20) after_some = kept->prepared_statements();
    }
    EXPECT_EQ(kept->prepared_statements(), after_some);
    // The first table's statement went; its rows are written all the same.
    run(*kept, "insert into w0 values (9, 'again', null)");
    run(*kept, "commit");
    for (int i = 0; i < 60; i += 7) same("select * from w" + std::to_string(i) + " order by k");
    same("select * from w0 where v = 'again'");
}

} // namespace
