// Runs the built agent as a child process and collects what it printed.
#pragma once
#include <string>
#include <vector>

struct agent_result {
    std::string out;
    std::string err;
    int status = -1; // exit status as the shell shows it
};

agent_result run_agent(const std::vector<std::string>& args, const std::string& cwd = "");
