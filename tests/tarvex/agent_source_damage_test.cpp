// A source database whose file is damaged: the agent says it cannot be read
// (not that a statement's syntax is wrong, nor that access is denied) and
// ends the run once with exit 255.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <sqlite3.h>

#include "agent_process.h"
#include "conversion_env.h"
#include "platform/mssx/mssx_server.h"

namespace fs = std::filesystem;

namespace {

const std::string k_db = "damaged";
constexpr int k_rows = 3000;

class agent_source_damage : public ::testing::Test {
protected:
    void SetUp() override
    {
        env.create_database(k_db);
        // B first, so that its pages come before the long run of A's.
        std::string script =
            "CREATE TABLE B (id int NOT NULL PRIMARY KEY)\nGO\nINSERT B VALUES (1)\nGO\n"
            "CREATE TABLE A (id int NOT NULL PRIMARY KEY, t varchar(900) NOT NULL)\nGO\n";
        for (int i = 1; i <= k_rows; ++i)
            script += "INSERT A VALUES (" + std::to_string(i) + ", '" + std::string(900, 'x') + "')\n";
        script += "GO\n";
        env.run_script(k_db, script);
        env.create_user("scott", "tiger");
        file = mssx_server(env.mss_dir()).database_file(k_db);
        // Every page in the file itself, none waiting in its log.
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
        EXPECT_EQ(sqlite3_exec(db, "PRAGMA wal_checkpoint(TRUNCATE)", nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_close(db);
    }

    agent_result run()
    {
        return run_agent({"--src=" + k_db, "--dest=ORCL", "--mssqlh=file:" + env.mss_dir(),
                          "--oraclh=file:" + env.ora_dir(), "--oraclu=scott", "--oraclp=tiger"});
    }

    conversion_env env;
    std::string file;
};

} // namespace

TEST_F(agent_source_damage, pages_overwritten_in_the_middle_of_a_table_stop_the_run_as_a_read_error)
{
    const auto size = fs::file_size(file);
    ASSERT_GT(size, 2'000'000u);
    {
        std::fstream f(file, std::ios::in | std::ios::out | std::ios::binary);
        f.seekp(static_cast<std::streamoff>(size / 2));
        const std::string junk(200'000, '\xA5');
        f.write(junk.data(), static_cast<std::streamsize>(junk.size()));
    }
    const agent_result r = run();
    EXPECT_EQ(r.status, 255) << r.out << r.err;
    EXPECT_EQ(r.out.find("Incorrect syntax"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("I/O error reading the database: database disk image is malformed"), std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("The source database cannot be read"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Conversion stopped."), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("Error:", r.out.find("Error:") + 1), std::string::npos) << "one report:\n" << r.out;
}

TEST_F(agent_source_damage, a_file_cut_short_is_a_database_that_cannot_be_read_not_one_without_access)
{
    fs::resize_file(file, fs::file_size(file) / 2);
    const agent_result r = run();
    EXPECT_EQ(r.status, 255) << r.out << r.err;
    EXPECT_EQ(r.out.find("does not have permission"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("The source database 'damaged' cannot be read: "), std::string::npos) << r.out;
    EXPECT_TRUE(env.oracle_tables("dbo").empty());
}
