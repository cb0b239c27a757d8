// The agent's option errors: every one is judged before a server is contacted.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "agent_process.h"
#include "tarvex/agent/agent_cmd_line.h"

namespace fs = std::filesystem;

namespace {

const std::string k_usage = agent_usage_text() + "\n";

fs::path temp_dir()
{
    fs::path d = fs::temp_directory_path() / ("tvx_agent_opts_" + std::to_string(getpid()));
    fs::create_directories(d);
    return d;
}

} // namespace

TEST(agent_options, usage_errors_print_the_usage_on_stderr_and_exit_255)
{
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {}, {"--help", "--src=x"}, {"--src=db", "--dest=orcl", "--bogus"}, {"--help", "--silent"}}) {
        agent_result r = run_agent(args);
        EXPECT_EQ(r.status, 255);
        EXPECT_EQ(r.err, k_usage);
        EXPECT_EQ(r.out, "");
    }
    agent_result silent = run_agent({"--silent", "--bogus"});
    EXPECT_EQ(silent.status, 255);
    EXPECT_EQ(silent.err, "");
    EXPECT_EQ(silent.out, "");

    std::vector<std::string> many;
    for (int i = 0; i < 21; ++i) many.push_back("--x" + std::to_string(i));
    agent_result r = run_agent(many);
    EXPECT_EQ(r.status, 255);
    EXPECT_EQ(r.err, k_usage);
}

TEST(agent_options, required_settings_and_mode_values)
{
    agent_result r = run_agent({"--dest=orcl"});
    EXPECT_EQ(r.err, "You should enter MS SQL database name\n");
    EXPECT_EQ(r.status, 255);
    r = run_agent({"--src=db"});
    EXPECT_EQ(r.err, "You should enter Oracle database name\n");
    EXPECT_EQ(r.status, 255);
    for (const char* mode :
         {"--mode=3", "--mode=01", "--mode=+1", "--mode=-1", "--mode=", "--mode=99999999999999999999"}) {
        r = run_agent({"--src=db", "--dest=o", mode});
        EXPECT_EQ(r.err, "Invalid merge/overwrite mode\n") << mode;
        EXPECT_EQ(r.status, 255);
    }
    r = run_agent({"--src=db", "--dest=o", "--mode=3", "--silent"});
    EXPECT_EQ(r.err, "Invalid merge/overwrite mode\n");
    r = run_agent({"--src=db", "--dest=o", "--silent", "--mode=3"});
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.status, 255);
}

TEST(agent_options, missing_files_and_refused_log_names)
{
    const fs::path dir = temp_dir();
    const std::string missing_tab =
        "Table names file does not exist.\nPlease verify the correct path/name was given.\n";
    agent_result r = run_agent({"--src=db", "--dest=o", "--tab_file=" + (dir / "missing.txt").string()});
    EXPECT_EQ(r.err, missing_tab);
    EXPECT_EQ(r.status, 255);
    r = run_agent({"--bogus", "--tab_file=" + (dir / "missing.txt").string(), "--src=db", "--dest=o"});
    EXPECT_EQ(r.err, missing_tab);
    r = run_agent({"--src=db", "--dest=o", "--tab_file=" + dir.string()}); // a folder is no list file
    EXPECT_EQ(r.err, missing_tab);

    r = run_agent({"--profile=" + (dir / "missing.tvx").string(), "--src=db"});
    EXPECT_EQ(r.out, "Error:\nProfile does not exist. Please verify the correct path/name was given.\n");
    EXPECT_EQ(r.status, 255);

    r = run_agent({"--logfile=" + dir.string(), "--src=a", "--dest=b"});
    EXPECT_EQ(r.out, "Error:\nLogfile name specifies an existing path.\n");
    EXPECT_EQ(r.status, 255);
    r = run_agent({"--logfile=" + (dir / "nope" / "x.log").string(), "--src=a", "--dest=b"});
    EXPECT_EQ(r.out, "Error:\nLogfile path does not exist. Please verify the correct path was given.\n");
    EXPECT_EQ(r.status, 255);

    // A profile whose type mappings cannot be read stops before any connection.
    const fs::path bad = dir / "bad.tvx";
    std::ofstream(bad) << "[Selected Tables]\n\n[Available Queries]\n\n[Selected Views]\n\n"
                          "[Type Mappings]\ntables:\n    fields:\n";
    r = run_agent({"--profile=" + bad.string(), "--src=db", "--dest=o"});
    EXPECT_EQ(r.err, "Profile cannot be loaded: its type mappings are invalid.\n");
    EXPECT_EQ(r.status, 255);
    fs::remove_all(dir);
}

TEST(agent_options, log_files_that_cannot_be_written_are_refused_before_any_connection)
{
    const fs::path dir = temp_dir() / "log";
    fs::create_directories(dir);
    const std::string long_name = (dir / std::string(300, 'l')).string() + ".log";
    for (const std::string& name : {std::string("/dev/full"), std::string("/proc/version"), long_name}) {
        agent_result r = run_agent({"--logfile=" + name, "--src=a", "--dest=b"});
        EXPECT_EQ(r.out.rfind("Error:\nLogfile cannot be written: ", 0), 0u) << name << ": " << r.out;
        EXPECT_EQ(r.status, 255) << name;
    }
    // A profile's log file is judged alike.
    const fs::path profile = dir / "full.tvx";
    std::ofstream(profile) << "[Generic settings]\nlogfile=/dev/full\n\n[Selected Tables]\n\n[Available Queries]\n\n"
                              "[Selected Views]\n\n";
    agent_result r = run_agent({"--profile=" + profile.string(), "--src=a", "--dest=b"});
    EXPECT_EQ(r.out.rfind("Error:\nLogfile cannot be written: ", 0), 0u) << r.out;
    EXPECT_EQ(r.status, 255);
    // A writable name is taken as before.
    r = run_agent({"--logfile=" + (dir / "ok.log").string(), "--src=a", "--dest=b", "--mode=7"});
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "Invalid merge/overwrite mode\n");
    fs::remove_all(dir);
}

TEST(agent_options, a_profile_mode_outside_0_to_2_is_refused_like_the_option)
{
    const fs::path dir = temp_dir() / "mode";
    fs::create_directories(dir);
    for (const char* mode : {"3", "5", "12", "-1", "x", "01"}) {
        const fs::path profile = dir / "mode.tvx";
        std::ofstream(profile) << "[Generic settings]\nsrc=db\ndest=o\nmode=" << mode
                               << "\n\n[Selected Tables]\n\n[Available Queries]\n\n[Selected Views]\n\n";
        agent_result r = run_agent({"--profile=" + profile.string()});
        EXPECT_EQ(r.err, "Invalid merge/overwrite mode\n") << mode;
        EXPECT_EQ(r.out, "") << mode;
        EXPECT_EQ(r.status, 255) << mode;
    }
    fs::remove_all(dir);
}
