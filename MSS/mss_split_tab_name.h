// Takes a plain, "owner.table" or canonical "[owner].[table]" name apart.
#pragma once
#include <string>

// Always true. Doubled "]]" inside a bracketed part stand for one ']' and
// are not taken for the "].[" separator.
bool mss_split_tab_name(const std::wstring& name, std::wstring& table, std::wstring& owner);
