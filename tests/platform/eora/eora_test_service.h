// A scratch service of the embedded Oracle for one test, removed at its end.
#pragma once
#include "platform/eora/eora_error.h"
#include "platform/eora/eora_session.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace eora_test {

class service : public ::testing::Test {
protected:
    std::filesystem::path dir;
    std::string file;
    std::unique_ptr<eora::session> s;

    void SetUp() override
    {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir = std::filesystem::temp_directory_path() /
              ("eora_" + std::to_string(::getpid()) + "_" + info->test_suite_name() + "_" + info->name());
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
        file = (dir / "ORCL.db").string();
        eora::session::create_service(file, "manager");
        s = std::make_unique<eora::session>(file, "SYSTEM", "manager");
    }
    void TearDown() override
    {
        s.reset();
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }

    // The rows of a statement, each as its values joined by '|'.
    static std::vector<std::string> run_on(eora::session& on, const std::string& sql,
                                           const std::vector<eora::value>& binds = {})
    {
        auto st = on.prepare(sql);
        auto r = on.execute(*st, binds);
        std::vector<std::string> rows;
        if (!r.cur) return rows;
        while (r.cur->next()) {
            std::string row;
            for (const auto& v : r.cur->row()) row += (v.is_null() ? "<null>" : v.s) + "|";
            rows.push_back(row);
        }
        return rows;
    }
    std::vector<std::string> run(const std::string& sql, const std::vector<eora::value>& binds = {})
    {
        return run_on(*s, sql, binds);
    }
    // The ORA number a statement fails with, 0 when it succeeds.
    static int error_on(eora::session& on, const std::string& sql)
    {
        try {
            run_on(on, sql);
        } catch (const eora::eora_error& e) {
            return e.number();
        }
        return 0;
    }
    int error_of(const std::string& sql) { return error_on(*s, sql); }
};

} // namespace eora_test
