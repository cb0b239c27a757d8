// A fresh embedded Oracle per test, connected through the engine as the run connects.
#pragma once
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "ORA/ora_database.h"
#include "ORA/ora_engine.h"
#include "ORA/ora_validator.h"
#include "UDB/udb_record.h"
#include "UDB/udb_schema.h"

class ora_target_test : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

public:
    // Every row of a query, each value as text ("<NULL>" for NULL).
    std::vector<std::vector<std::wstring>> rows(const std::wstring& sql);
    // The single value of a one-row query.
    std::wstring value(const std::wstring& sql);
    void run(const std::wstring& sql);

    std::filesystem::path dir;
    std::unique_ptr<ora_engine> engine;
    std::unique_ptr<ora_database> db;
    std::unique_ptr<ora_in_validator> in_validator;
};

// Builders of source schemas and records.
t_ftd make_column(const std::wstring& name, VARTYPE vt, uint32_t size, bool not_null = false,
                  const ole_variant& def = ole_variant(), uint32_t hint = 0);
std::unique_ptr<udb_field> make_field(const std::wstring& name, const ole_variant& value, int32_t size = 0);
