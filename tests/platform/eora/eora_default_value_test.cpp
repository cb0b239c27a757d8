// DEFAULT expressions of the embedded Oracle are evaluated for every row that
// leaves their column out: the clock, its UTC form, the day, and new GUIDs.
#include "platform/eora/eora_error.h"
#include "platform/eora/eora_session.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <regex>
#include <set>
#include <string>
#include <vector>

namespace {

class EoraDefaultValue : public ::testing::Test {
protected:
    std::filesystem::path dir;
    std::unique_ptr<eora::session> s;

    void SetUp() override
    {
        dir =
            std::filesystem::temp_directory_path() / ("eora_default_" + std::to_string(::getpid()) + "_" +
                                                      ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
        const std::string file = (dir / "ORCL.db").string();
        eora::session::create_service(file, "manager");
        s = std::make_unique<eora::session>(file, "SYSTEM", "manager");
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
};

} // namespace

TEST_F(EoraDefaultValue, ClockAndGuidExpressionsGiveEachRowItsValue)
{
    run("create table d (id number(5), day date default TRUNC(SYSDATE) not null, "
        "stamp timestamp default SYSTIMESTAMP not null, utc timestamp default SYS_EXTRACT_UTC(SYSTIMESTAMP), "
        "utc_day date default TRUNC(CAST(SYS_EXTRACT_UTC(SYSTIMESTAMP) AS DATE)), "
        "g nvarchar2(38) default '{' || REGEXP_REPLACE(RAWTOHEX(SYS_GUID()), '(.{8})(.{4})(.{4})(.{4})(.{12})', "
        "'\\1-\\2-\\3-\\4-\\5') || '}' not null)");
    for (int i = 1; i <= 3; ++i) run("insert into d (id) values (" + std::to_string(i) + ")");
    const auto rows = run("select day, stamp, utc, utc_day, g from d order by id");
    ASSERT_EQ(rows.size(), 3u);
    const std::regex day(R"(\d{4}-\d{2}-\d{2} 00:00:00)");
    const std::regex stamp(R"(\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}\.\d{6})");
    const std::regex guid(R"(\{[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}\})");
    std::set<std::string> guids;
    for (const auto& r : rows) {
        EXPECT_TRUE(std::regex_match(r[0], day)) << r[0];
        EXPECT_TRUE(std::regex_match(r[1], stamp)) << r[1];
        EXPECT_TRUE(std::regex_match(r[2], stamp)) << r[2];
        EXPECT_TRUE(std::regex_match(r[3], day)) << r[3];
        EXPECT_EQ(r[0].substr(0, 10), r[1].substr(0, 10));
        EXPECT_TRUE(std::regex_match(r[4], guid)) << r[4];
        guids.insert(r[4]);
    }
    EXPECT_EQ(guids.size(), 3u) << "every row gets a GUID of its own";
    // A value given is kept.
    run("insert into d (id, g) values (4, 'given')");
    EXPECT_EQ(run("select g from d where id = 4"), (std::vector<std::vector<std::string>>{{"given"}}));
    // The dictionary keeps each expression as written.
    EXPECT_EQ(run("select data_default from user_tab_columns where table_name = 'D' and column_name = 'UTC'"),
              (std::vector<std::vector<std::string>>{{"SYS_EXTRACT_UTC(SYSTIMESTAMP)"}}));
}

TEST_F(EoraDefaultValue, AnExpressionItCannotEvaluateIsRefusedWhenTheTableIsMade)
{
    for (const char* bad : {"TRUNC(SYSDATE, 'XX')", "CAST(SYSDATE AS NUMBER)", "NO_SUCH_FUNCTION(1)"}) {
        try {
            run(std::string("create table bad (d date default ") + bad + ")");
            ADD_FAILURE() << bad;
        } catch (const eora::eora_error& e) {
            EXPECT_NE(e.number(), 0) << bad;
        }
    }
}
