// The one rule by which column, table, index and key names are matched:
// case-insensitive in the user's locale.
#pragma once
#include <string>

bool udb_same_name(const std::wstring& a, const std::wstring& b);
