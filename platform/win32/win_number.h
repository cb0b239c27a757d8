// Numbers from text, always with "." as the decimal point whatever the locale.
#pragma once
#include <cstdint>
#include <string_view>

// The whole text must be the number (leading blanks allowed, as strtod does).
// False for anything else and for a value out of range.
bool parse_double_c(std::string_view text, double& out);
bool parse_int64(std::string_view text, int64_t& out, int base = 10);
bool parse_uint64(std::string_view text, uint64_t& out, int base = 10);
