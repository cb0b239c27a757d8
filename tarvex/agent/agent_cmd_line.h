// The agent's command line: options into the driver's settings.
#pragma once
#include <string>

class tarvex_convertor;

// True when every argument was recognised and the required settings are
// there; option errors end the process through fatal_exit.
bool parse_cmd_line(int argc, const char* const* argv, tarvex_convertor& driver);

// The usage text, version line first.
std::string agent_usage_text();

// Replaces the driver's selected tables by the names of the list file.
void process_tab_file(const char* path, tarvex_convertor& driver);
