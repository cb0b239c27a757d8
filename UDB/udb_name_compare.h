// The one rule by which column, table, index and key names are matched:
// case-insensitive in the user's locale.
#pragma once
#include <optional>
#include <string>

bool udb_same_name(const std::wstring& a, const std::wstring& b);
// Equal keys for two names exactly when udb_same_name calls them the same;
// none when the comparison cannot be made.
std::optional<std::string> udb_name_key(const std::wstring& name);
