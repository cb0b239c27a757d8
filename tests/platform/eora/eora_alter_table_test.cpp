#include "platform/eora/eora_error.h"
#include "platform/eora/eora_session.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

// ALTER TABLE read whole before any change, then applied, on a service.
class EoraAlterTable : public ::testing::Test {
protected:
    std::filesystem::path dir;
    std::unique_ptr<eora::session> s;

    void SetUp() override
    {
        dir =
            std::filesystem::temp_directory_path() / ("eora_alter_" + std::to_string(::getpid()) + "_" +
                                                      ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
        std::string file = (dir / "ORCL.db").string();
        eora::session::create_service(file, "manager");
        s = std::make_unique<eora::session>(file, "SYSTEM", "manager");
        for (const char* sql :
             {"create table p (id number(5) not null, name varchar2(10))",
              "create table c (id number(5), p_id number(5), note varchar2(10))", "insert into p values (1, 'one')",
              "insert into p values (2, 'two')", "insert into c values (10, 1, null)",
              "insert into c values (20, 2, 'abcdef')", "commit"})
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

    std::vector<std::string> column(const std::string& table, const std::string& col)
    {
        auto r =
            run("select data_type, data_length, nullable, data_default from user_tab_columns where table_name = '" +
                table + "' and column_name = '" + col + "'");
        return r.empty() ? std::vector<std::string>{} : r[0];
    }
};

using rows = std::vector<std::vector<std::string>>;

TEST_F(EoraAlterTable, KeysAndReferencesAreEnforcedOnceAdded)
{
    run("alter table p add constraint p_pk primary key (id)");
    EXPECT_EQ(error_of("insert into p values (1, 'again')"), 1);
    run("alter table c add unique (id)");
    EXPECT_EQ(error_of("insert into c values (10, 2, 'x')"), 1);
    run("insert into c values (30, 9, 'x')");
    EXPECT_EQ(error_of("alter table c add constraint c_fk foreign key (p_id) references p (id) on delete cascade"),
              2298);
    EXPECT_EQ(error_of("alter table c add foreign key (p_id) references p (name)"), 2270);
    run("delete from c where id = 30");
    run("alter table c add constraint c_fk foreign key (p_id) references p (id) on delete cascade");
    EXPECT_EQ(run("select constraint_name, constraint_type from user_constraints where table_name = 'C' "
                  "and constraint_name = 'C_FK'"),
              (rows{{"C_FK", "R"}}));
}

TEST_F(EoraAlterTable, KeyColumnsMustBeColumnsNamedOnce)
{
    EXPECT_EQ(error_of("alter table p add primary key (nosuch)"), 904);
    EXPECT_EQ(error_of("alter table p add unique (id, name, id)"), 957);
    EXPECT_EQ(error_of("alter table c add foreign key (p_id) references nosuch (id)"), 942);
    EXPECT_EQ(error_of("alter table c add foreign key (p_id) references p (nosuch)"), 904);
    EXPECT_EQ(error_of("alter table nosuch add primary key (id)"), 942);
    EXPECT_EQ(error_of("alter table p modify (nosuch number)"), 904);
}

TEST_F(EoraAlterTable, ModifyChangesTypeDefaultAndNullability)
{
    run("alter table c modify (note varchar2(20) default 'none')");
    EXPECT_EQ(column("C", "NOTE"), (std::vector<std::string>{"VARCHAR2", "20", "Y", "'none'"}));
    EXPECT_EQ(error_of("alter table c modify note varchar2(3)"), 1441);
    EXPECT_EQ(error_of("alter table c modify note number"), 1439);
    EXPECT_EQ(error_of("alter table c modify note not null"), 2296);
    EXPECT_EQ(error_of("alter table c modify note null"), 1451);
    run("alter table c modify id not null");
    EXPECT_EQ(column("C", "ID")[2], "N");
    EXPECT_EQ(error_of("insert into c (id) values (null)"), 1400);
    EXPECT_EQ(error_of("alter table c modify id not null"), 1442);
    run("alter table c modify id null");
    EXPECT_EQ(column("C", "ID")[2], "Y");
    run("insert into c (id) values (null)");
}

TEST_F(EoraAlterTable, MalformedTextChangesNothing)
{
    EXPECT_EQ(error_of("alter table p drop column name"), 940);
    EXPECT_EQ(error_of("alter table p add check (id > 0)"), 904);
    EXPECT_EQ(error_of("alter table p add primary (id)"), 905);
    EXPECT_EQ(error_of("alter table p add primary key id"), 906);
    EXPECT_EQ(error_of("alter table p add unique (id"), 907);
    EXPECT_EQ(error_of("alter table c modify (note varchar2(20)"), 907);
    EXPECT_EQ(error_of("alter table c modify note not"), 908);
    EXPECT_EQ(error_of("alter table c modify note varchar2(20) not null junk"), 933);
    EXPECT_EQ(error_of("alter table p add primary key (id) junk"), 933);
    // The whole text is read before any name is looked up.
    EXPECT_EQ(error_of("alter table nosuch modify (a number"), 907);
    EXPECT_EQ(column("C", "NOTE"), (std::vector<std::string>{"VARCHAR2", "10", "Y", "<null>"}));
    run("insert into p values (1, 'again')");
}

} // namespace
