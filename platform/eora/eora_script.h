// Splits a SQL script into statements the way an Oracle command-line tool
// does: ';' ends a SQL statement, a line holding only '/' ends a PL/SQL
// block (triggers), quotes and comments are respected.
#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace eora {

std::vector<std::string> split_script(std::string_view script);

} // namespace eora
