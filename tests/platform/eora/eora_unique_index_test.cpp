// Unique indexes of the embedded Oracle refuse what Oracle's refuse: a key whose
// parts are all NULL is not indexed, a key with one NULL part is still compared,
// on columns and on expressions (function-based indexes) alike.
#include "platform/eora/eora_error.h"
#include "platform/eora/eora_session.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

class EoraUniqueIndex : public ::testing::Test {
protected:
    std::filesystem::path dir;
    std::unique_ptr<eora::session> s;

    void SetUp() override
    {
        dir =
            std::filesystem::temp_directory_path() / ("eora_unique_" + std::to_string(::getpid()) + "_" +
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

struct insert_case {
    const char* values;
    int error; // 0: accepted
};

// The same answers for each kind of unique index over (a, b).
const insert_case k_two_part_cases[] = {
    {"(1, 1, 1)", 0},       {"(1, 1, 1)", 1}, // the same key
    {"(1, NULL, 1)", 0},                      //
    {"(1, NULL, 1)", 1},                      // one NULL part: still compared
    {"(NULL, 1, 1)", 0},                      //
    {"(NULL, 1, 1)", 1},                      //
    {"(NULL, NULL, 1)", 0},                   // every part NULL: not indexed
    {"(NULL, NULL, 1)", 0},                   //
    {"(2, NULL, 1)", 0},                      // another key
    {"(NULL, 2, 1)", 0},                      //
    {"(0, NULL, 1)", 0},                      // zero is no NULL
    {"(NULL, 0, 1)", 0},                      //
};

} // namespace

TEST_F(EoraUniqueIndex, EveryKindOfUniqueIndexComparesKeysWithANullPart)
{
    const char* const indexes[] = {
        "create unique index ux on t (a, b)",
        "alter table t add constraint uk unique (a, b)",
        "create unique index ux on t (case when f = 1 then a end, case when f = 1 then b end)",
    };
    for (const char* index : indexes) {
        run("create table t (a number(5), b number(5), f number(1))");
        run(index);
        for (const auto& c : k_two_part_cases)
            EXPECT_EQ(error_of(std::string("insert into t (a, b, f) values ") + c.values), c.error)
                << index << ": " << c.values;
        // An update into a key that is there is refused too.
        EXPECT_EQ(error_of("update t set a = 1 where a = 2"), 1) << index;
        run("drop table t");
    }
}

TEST_F(EoraUniqueIndex, AFilteredKeyIndexesOnlyTheRowsOfItsFilter)
{
    run("create table t (id number(5), code number(5), active number(1))");
    run("create unique index ux on t (case when active = 1 then code end)");
    run("insert into t values (1, 5, 1)");
    // Outside the filter: any number of rows with the same code.
    run("insert into t values (2, 5, 0)");
    run("insert into t values (3, 5, 0)");
    run("insert into t values (4, 5, NULL)");
    EXPECT_EQ(error_of("insert into t values (5, 5, 1)"), 1);
    EXPECT_EQ(error_of("update t set active = 1 where id = 2"), 1);
    run("insert into t values (6, 6, 1)");
    EXPECT_EQ(run("select count(*) from t"), std::vector<std::string>{"5|"});
    EXPECT_EQ(run("select index_type, uniqueness from user_indexes where index_name = 'UX'"),
              std::vector<std::string>{"FUNCTION-BASED NORMAL|UNIQUE|"});
}

TEST_F(EoraUniqueIndex, RawKeysHoldTheirBytesAndRefuseDuplicates)
{
    run("create table r (k raw(16) not null, v raw(64), constraint pk_r primary key (k))");
    run("create index ix_r on r (v)");
    run("insert into r values (hextoraw('000102030405060708090A0B0C0D0E0F'), hextoraw('CAFE'))");
    run("insert into r values ('FF0102030405060708090A0B0C0D0E00', '00')");
    EXPECT_EQ(error_of("insert into r values (hextoraw('000102030405060708090A0B0C0D0E0F'), NULL)"), 1);
    // An empty RAW is NULL, which a key refuses.
    EXPECT_EQ(error_of("insert into r values ('', '01')"), 1400);
    // The values read back are the bytes stored.
    std::vector<std::string> hex_rows;
    for (const auto& row : run("select k, v from r order by k")) {
        std::string h;
        for (unsigned char c : row)
            h += c == '|' ? std::string("|") : std::string(1, "0123456789ABCDEF"[c >> 4]) + "0123456789ABCDEF"[c & 15];
        hex_rows.push_back(h);
    }
    EXPECT_EQ(hex_rows, (std::vector<std::string>{"000102030405060708090A0B0C0D0E0F|CAFE|",
                                                  "FF0102030405060708090A0B0C0D0E00|00|"}));
    EXPECT_EQ(run("select data_type, data_length from user_tab_columns where table_name = 'R' order by column_id"),
              (std::vector<std::string>{"RAW|16|", "RAW|64|"}));
}
