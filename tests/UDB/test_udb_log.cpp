#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "TK/tk_logger.h"
#include "UDB/udb_profile.h"
#include "UDB/udb_recordset.h"
#include "UDB/udb_validator.h"

namespace fs = std::filesystem;

namespace {

class table : public udb_recordset {
public:
    using udb_recordset::udb_recordset;
    void append_record(udb_record*) override {}
};

std::string read_all(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// Runs the misses that the user's log (level 3) reports, with a logger at
// the given minimum level, and answers what reached the file.
std::string run_logged(int min_level)
{
    const fs::path file = fs::temp_directory_path() / ("udb_log_" + std::to_string(::getpid()) + ".log");
    {
        tk_logger logger(file.c_str(), true, min_level, false);
        udb_schema s;
        s.push_back(t_ftd(4, L"ID", VT_I4, false, false, ole_variant(), 0, L""));
        s.find_field(L"id");
        s.get_field_size(L"Pr\u00E9nom");
        s.get_field_type(L"missing");
        table t(L"T");
        t.add_index(udb_index(L"I1", false, false, {L"ID"}));
        t.add_index(udb_index(L"i1", false, false, {L"ID"}));
        udb_validator v(0);
        v.add_existing_name(L"A");
        v.is_duplicated(L"a");
        v.illegal_chars = {L'\u00A7'};
        v.is_acceptable(L"a\u00A7b");
        udb_profile p;
        p.parse("key=value\n");
    }
    std::string text = read_all(file);
    fs::remove(file);
    return text;
}

TEST(udb_log, user_log_gets_the_level_3_lines_only)
{
    const std::string text = run_logged(3);
    EXPECT_NE(text.find("Field 'Pr\xC3\xA9nom' not found\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("Index 'i1' cannot be processed\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("The file is not a profile"), std::string::npos) << text;
    EXPECT_EQ(text.find("Field 'missing' not found"), std::string::npos) << "a level-2 line";
    EXPECT_EQ(text.find("Name is duplicated"), std::string::npos) << "a level-2 line";
    EXPECT_EQ(text.find("udb_schema::find_field"), std::string::npos) << "a level-1 line";
}

TEST(udb_log, trace_lines_carry_their_arguments)
{
    const std::string text = run_logged(1);
    EXPECT_NE(text.find("udb_schema::find_field(id)\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("Processing field #0, ptr="), std::string::npos);
    EXPECT_NE(text.find("Field name: 'ID'\r\n"), std::string::npos);
    EXPECT_NE(text.find("\tfield name='ID', vartype=3, size=4, b_not_null=0, reserved=0\r\n"), std::string::npos);
    EXPECT_NE(text.find("Field 'missing' not found\r\n"), std::string::npos);
    EXPECT_NE(text.find("udb_recordset::add_index(I1, -1)\r\n"), std::string::npos);
    EXPECT_NE(text.find("Name is duplicated\r\n"), std::string::npos);
    EXPECT_NE(text.find("The name contains illegal: \xC2\xA7\r\n"), std::string::npos);
}

} // namespace
