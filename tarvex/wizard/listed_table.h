// Finding a table of a selection (a loaded profile, an earlier visit) in the
// source's list, whatever the owner filter the list was made with: names with
// an owner ("owner.table", "[owner].[table]") and plain ones (the login's own
// schema under the filter) name one table when owner and table agree.
#pragma once
#include <string>
#include <vector>

// The position in `list` of the entry naming `name`, or -1.
int find_listed_table(const std::vector<std::wstring>& list, const std::wstring& name);
