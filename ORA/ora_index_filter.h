// The condition of a SQL Server filtered index, written in Oracle SQL.
#pragma once
#include <functional>
#include <optional>
#include <string>

#include "UDB/t_ftd.h"

// The target column of a source column name; null when the table has none.
using ora_filter_column = std::function<const t_ftd*(const std::wstring& source_name)>;

// The filter as an Oracle condition over the target's columns, or nothing when
// it holds what Oracle SQL cannot say with the same meaning (a function, a
// binary or empty text constant, a text constant compared with a non-text
// column, a column the target lacks).
std::optional<std::wstring> ora_index_filter(const std::wstring& tsql, const ora_filter_column& column_of);
