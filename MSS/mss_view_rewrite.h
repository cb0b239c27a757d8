// The rewriting of a view's SELECT text written for another server into
// SQL Server syntax: backquoted names, date functions, IFNULL, character-set
// introducers. Quoted literals are never changed.
#pragma once
#include <string>

std::wstring mss_rewrite_view_text(const std::wstring& text);
