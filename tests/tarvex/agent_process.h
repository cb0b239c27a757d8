// Runs the built agent as a child process and collects what it printed.
#pragma once
#include <optional>
#include <string>
#include <utility>
#include <vector>

struct agent_result {
    std::string out;
    std::string err;
    int status = -1;      // exit status as the shell shows it
    long max_rss_kib = 0; // the agent's peak resident memory
};

// Changes to the agent's environment: a value sets the variable, none unsets it.
using env_changes = std::vector<std::pair<std::string, std::optional<std::string>>>;

agent_result run_agent(const std::vector<std::string>& args, const std::string& cwd = "", const env_changes& env = {});
