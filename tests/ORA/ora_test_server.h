// An embedded Oracle service in a folder of its own, reached through the engine.
#pragma once
#include <gtest/gtest.h>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>
#include "ORA/ora_database.h"
#include "ORA/ora_engine.h"

class ora_server_test : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    std::wstring data_source() const;
    // Runs one statement through the database.
    void exec(const std::wstring& sql);
    // Replaces the banner the service reports in V$VERSION.
    void set_banner(const std::string& banner);
    // Every row of a query, each value as text ("<null>" for NULL).
    std::vector<std::vector<std::wstring>> rows(const std::wstring& sql);

    std::filesystem::path dir;
    std::unique_ptr<ora_engine> engine;
    std::unique_ptr<ora_database> db;
};
