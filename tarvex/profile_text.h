// Section names and value forms of the profile file.
#pragma once
#include <string>

namespace profile_text {

inline constexpr const wchar_t* selected_tables = L"Selected Tables";
inline constexpr const wchar_t* available_queries = L"Available Queries";
inline constexpr const wchar_t* selected_views = L"Selected Views";
inline constexpr const wchar_t* generic = L"Generic settings";
inline constexpr const wchar_t* oracle = L"Oracle settings";
inline constexpr const wchar_t* mssql = L"MS SQL Server settings";

// A multi-line SQL text on one line: "\r\n", then "\n", then "\r" become blanks.
std::wstring flatten(const std::wstring& text);

// "1" / "0".
inline const wchar_t* flag(bool value) { return value ? L"1" : L"0"; }

// Empty leaves the setting alone; "1" is true; anything else false.
void read_strict_flag(const std::wstring& value, bool& setting);

} // namespace profile_text
