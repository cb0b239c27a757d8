// Defaults of SQL Server columns that are a function of the moment or a new
// GUID, in the one spelling the Oracle side knows them by.
#pragma once
#include <string>

// "getdate()", "getutcdate()", "sysdatetime()", "sysutcdatetime()",
// "convert(date,<one of those>)" or "newid()" for any spelling of such a
// default (CURRENT_TIMESTAMP, CAST(GETDATE() AS date), [date], blanks,
// brackets around it, NEWSEQUENTIALID()); empty for any other text.
std::wstring mss_default_function(const std::wstring& stored);
