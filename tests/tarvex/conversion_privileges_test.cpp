// The sample database converted by a user holding exactly the privileges the
// README lists for each mode, and by one lacking any one of them.
#include <gtest/gtest.h>

#include <algorithm>

#include "agent_process.h"
#include "conversion_env.h"

namespace {

constexpr int k_overwrite = 0, k_merge = 1, k_skip = 2;

// As the README lists them ("Converting into a real Oracle").
std::vector<std::string> readme_privileges(int mode)
{
    std::vector<std::string> p = {"CREATE SESSION",   "CREATE USER",      "ALTER USER",          "CREATE ANY TABLE",
                                  "ALTER ANY TABLE",  "CREATE ANY INDEX", "CREATE ANY SEQUENCE", "CREATE ANY TRIGGER",
                                  "INSERT ANY TABLE", "UPDATE ANY TABLE", "SELECT ANY TABLE"};
    if (mode == k_overwrite) p.push_back("DROP ANY TABLE");
    return p;
}

// What a run reports when a privilege it needs is missing.
bool refused_for_privileges(const agent_result& r)
{
    const std::string all = r.out + r.err;
    for (const char* sign : {"ORA-01031", "ORA-00942", "ORA-01045", "ORA-01918", "Insufficient privileges"})
        if (all.find(sign) != std::string::npos) return true;
    return false;
}

class conversion_privileges : public ::testing::TestWithParam<int> {
protected:
    void SetUp() override { env.load_file("master", std::string(TVX_SAMPLES) + "/tvx_sample.sql"); }

    agent_result run(int mode)
    {
        return run_agent({"--src=TvxSample", "--dest=ORCL", "--mssqlh=file:" + env.mss_dir(),
                          "--oraclh=file:" + env.ora_dir(), "--oraclu=scott", "--oraclp=tiger",
                          "--mode=" + std::to_string(mode)});
    }

    conversion_env env;
};

TEST_P(conversion_privileges, the_listed_privileges_convert_the_sample_database_twice)
{
    const int mode = GetParam();
    env.create_user("scott", "tiger", readme_privileges(mode));
    for (int round = 0; round < 2; ++round) {
        agent_result r = run(mode);
        EXPECT_NE(r.status, 255) << r.out << r.err;
        EXPECT_FALSE(refused_for_privileges(r)) << "round " << round << ":\n" << r.out << r.err;
    }
    EXPECT_EQ(expect_every_table_converted(env, "TvxSample").size(), 7u);
    EXPECT_EQ(env.oracle_list("SELECT privilege FROM dba_sys_privs WHERE grantee = 'SCOTT'").size(),
              readme_privileges(mode).size());
}

// Each privilege whose absence the sample database shows, one at a time.
TEST_P(conversion_privileges, a_run_lacking_any_one_is_refused)
{
    const int mode = GetParam();
    const std::vector<std::string> shown = {"CREATE SESSION",   "CREATE USER",      "CREATE ANY TABLE",
                                            "ALTER ANY TABLE",  "CREATE ANY INDEX", "CREATE ANY SEQUENCE",
                                            "INSERT ANY TABLE", "SELECT ANY TABLE", "DROP ANY TABLE"};
    for (const auto& missing : shown) {
        const auto all = readme_privileges(mode);
        if (std::find(all.begin(), all.end(), missing) == all.end()) continue;
        std::vector<std::string> less;
        for (const auto& p : all)
            if (p != missing) less.push_back(p);
        conversion_env fresh;
        fresh.load_file("master", std::string(TVX_SAMPLES) + "/tvx_sample.sql");
        fresh.create_user("scott", "tiger", less);
        std::vector<std::string> a{
            "--src=TvxSample", "--dest=ORCL",    "--mssqlh=file:" + fresh.mss_dir(), "--oraclh=file:" + fresh.ora_dir(),
            "--oraclu=scott",  "--oraclp=tiger", "--mode=" + std::to_string(mode)};
        agent_result r = run_agent(a);
        // Dropping is only asked for by a second overwrite.
        if (missing == "DROP ANY TABLE") r = run_agent(a);
        EXPECT_TRUE(refused_for_privileges(r)) << "without " << missing << ":\n" << r.out << r.err;
    }
}

INSTANTIATE_TEST_SUITE_P(modes, conversion_privileges, ::testing::Values(k_overwrite, k_merge, k_skip));

} // namespace
