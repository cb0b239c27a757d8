// `tvxsql serve`: the TDS endpoint of an embedded server folder.
#pragma once
#include <string>
#include <vector>

// args: DIR [--host H] --port N. Returns the exit code.
int tvxsql_serve(const std::vector<std::string>& args);
