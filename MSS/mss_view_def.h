// The SELECT text of a SQL Server view, taken from its catalog definition.
#pragma once
#include <optional>
#include <string>

// Every run of CR, LF, TAB and blank outside '...' and "..." becomes one blank.
std::wstring collapse_blanks(const std::wstring& text);

// The definition's text from its first " as select" on, with TOP 100 PERCENT,
// WITH SCHEMABINDING and the brackets of regular identifiers removed outside
// literals; with `view_owned` also the leading "dbo." qualifiers. No value
// when the definition holds no " as select".
std::optional<std::wstring> mss_view_select_text(const std::wstring& definition, bool view_owned);
