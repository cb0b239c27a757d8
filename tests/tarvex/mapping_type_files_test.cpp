// The type lists of the mapping dialog, read from "ora.map" and "ora.typ".
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include <unistd.h>

#include "ORA/ora_engine.h"
#include "TK/tk_exception.h"
#include "tarvex/mapping_type_files.h"
#include "tarvex/ora_db_mutator.h"

namespace {

class type_files : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir =
            std::filesystem::temp_directory_path() / ("tvx_types_" + std::to_string(::getpid()) + "_" +
                                                      ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir);
        mapping_type_files::set_folder(dir.string());
    }
    void TearDown() override
    {
        mapping_type_files::set_folder("");
        std::filesystem::remove_all(dir);
    }
    void write(const char* name, const std::string& text) { std::ofstream(dir / name, std::ios::binary) << text; }
    std::filesystem::path dir;
};

} // namespace

TEST_F(type_files, lists_come_from_the_two_files_of_the_target_side)
{
    write("ora.map", "NUMBER:\r\n  - NUMBER\r\n  - FLOAT\r\n\r\nDATE:\n  - DATE\n");
    write("ora.typ", "NUMBER:\n  - PRECISION\n  - SCALE\nNVARCHAR2:\n  - LENGTH\n");
    ora_db_mutator db;
    EXPECT_EQ(db.get_mapped_types(L"NUMBER"), (std::vector<std::wstring>{L"NUMBER", L"FLOAT"}));
    EXPECT_EQ(db.get_mapped_types(L"DATE"), std::vector<std::wstring>{L"DATE"});
    EXPECT_TRUE(db.get_mapped_types(L"BLOB").empty());
    EXPECT_EQ(db.get_type_attributes(L"NVARCHAR2"), std::vector<std::wstring>{L"LENGTH"});
    EXPECT_EQ(db.get_type_attributes(L"NUMBER"), (std::vector<std::wstring>{L"PRECISION", L"SCALE"}));

    // Read once: a changed file is not seen again within the run.
    write("ora.map", "NUMBER:\n  - BLOB\n");
    EXPECT_EQ(db.get_mapped_types(L"NUMBER"), (std::vector<std::wstring>{L"NUMBER", L"FLOAT"}));
}

TEST_F(type_files, a_missing_file_is_reported_with_its_name_and_tried_again_later)
{
    write("ora.typ", "NUMBER:\n  - PRECISION\n");
    ora_db_mutator db;
    try {
        db.get_mapped_types(L"NUMBER");
        FAIL() << "no exception";
    } catch (const tk_exception& e) {
        EXPECT_STREQ(e.what(), "Cannot find ora.map. Custom type mapping is not available.");
        EXPECT_EQ(e.level, 1);
    }
    EXPECT_EQ(db.get_type_attributes(L"NUMBER"), std::vector<std::wstring>{L"PRECISION"});
    write("ora.map", "NUMBER:\n  - NUMBER\n");
    EXPECT_EQ(db.get_mapped_types(L"NUMBER"), std::vector<std::wstring>{L"NUMBER"});

    std::filesystem::remove(dir / "ora.typ");
    mapping_type_files::reset();
    try {
        db.get_type_attributes(L"NUMBER");
        FAIL() << "no exception";
    } catch (const tk_exception& e) {
        EXPECT_STREQ(e.what(), "Cannot find ora.typ. Custom type mapping is not available.");
    }
}

TEST(shipped_type_files, every_default_type_of_the_driver_is_offered_with_itself_first)
{
    const char* data = std::getenv("TVX_TEST_DATA");
    ASSERT_NE(data, nullptr);
    mapping_type_files::set_folder(std::string(data) + "/../../common");
    ora_db_mutator db;
    for (const wchar_t* type : {L"NUMBER", L"DATE", L"TIMESTAMP", L"NVARCHAR2", L"CLOB", L"LONG", L"RAW", L"BLOB"}) {
        const auto list = db.get_mapped_types(type);
        ASSERT_FALSE(list.empty()) << type;
        EXPECT_EQ(list.front(), type);
        // Every type offered must be one the target side knows how to write.
        for (const auto& t : list) EXPECT_TRUE(ora_engine::get_ora_supported_types().count(t)) << t;
    }
    EXPECT_EQ(db.get_type_attributes(L"NVARCHAR2"), std::vector<std::wstring>{L"LENGTH"});
    EXPECT_EQ(db.get_type_attributes(L"NUMBER"), (std::vector<std::wstring>{L"PRECISION", L"SCALE"}));
    EXPECT_TRUE(db.get_type_attributes(L"CLOB").empty());
    mapping_type_files::set_folder("");
}
