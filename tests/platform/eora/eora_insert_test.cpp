#include "platform/eora/eora_error.h"
#include "platform/eora/eora_session.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

// INSERT column lists in any order, checked as Oracle checks them.
class EoraInsert : public ::testing::Test {
protected:
    std::filesystem::path dir;
    std::unique_ptr<eora::session> s;

    void SetUp() override
    {
        dir =
            std::filesystem::temp_directory_path() / ("eora_insert_" + std::to_string(::getpid()) + "_" +
                                                      ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
        const std::string file = (dir / "ORCL.db").string();
        eora::session::create_service(file, "manager");
        s = std::make_unique<eora::session>(file, "SYSTEM", "manager");
        run("create table t (a number(5), b varchar2(5), c number(5) default 7, d varchar2(5))");
    }
    void TearDown() override
    {
        s.reset();
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }

    std::vector<std::string> run(const std::string& sql)
    {
        auto st = s->prepare(sql);
        auto r = s->execute(*st, {});
        std::vector<std::string> rows;
        if (!r.cur) return rows;
        while (r.cur->next()) {
            std::string row;
            for (const auto& v : r.cur->row()) row += (v.is_null() ? "<null>" : v.s) + "|";
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

TEST_F(EoraInsert, ColumnListsInAnyOrderFillTheNamedColumns)
{
    run("insert into t (a, b, c, d) values (1, 'b1', 3, 'd1')");
    run("insert into t (d, c, b, a) values ('d2', 4, 'b2', 2)");
    run("insert into t (b, d, a) values ('b3', 'd3', 3)");
    run("insert into t (c, d) values (5, 'd4')");
    run("insert into t (a, c, b) values (5, 6, 'b5')");
    run("insert into t (\"D\", a) values ('d6', 6)");
    EXPECT_EQ(run("select a, b, c, d from t order by rowid"),
              (std::vector<std::string>{"1|b1|3|d1|", "2|b2|4|d2|", "3|b3|7|d3|", "<null>|<null>|5|d4|",
                                        "5|b5|6|<null>|", "6|<null>|7|d6|"}));
    EXPECT_EQ(error_of("insert into t (a, b, a) values (1, 'x', 2)"), 957);
    EXPECT_EQ(error_of("insert into t (a, b, c, d, a) values (1, 'x', 2, 'y', 3)"), 957);
    EXPECT_EQ(error_of("insert into t (b, a, b) values ('x', 1, 'y')"), 957);
    EXPECT_EQ(error_of("insert into t (a, nosuch) values (1, 2)"), 904);
    EXPECT_EQ(error_of("insert into t (d, e) values ('x', 2)"), 904);
    EXPECT_EQ(run("select count(*) from t"), (std::vector<std::string>{"6|"}));
}

} // namespace
