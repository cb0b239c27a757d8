#include "UDB/udb_index.h"

#include <algorithm>

#include "TK/tk_logger.h"
#include "UDB/udb_name_compare.h"

bool udb_index::starts_with_fields(const std::vector<std::wstring>& names) const
{
    tk_logger::log(1, L"udb_index(%s)::starts_with_fields", name.c_str());
    if (names.size() > fields.size()) return false;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (!udb_same_name(fields[i], names[i])) {
            tk_logger::log(1, L"Field '%s' not found", names[i].c_str());
            return false;
        }
    }
    tk_logger::log(1, "starts_with_fields returns true");
    return true;
}

bool udb_index::consists_of_fields(const std::vector<std::wstring>& names) const
{
    tk_logger::log(1, L"udb_index(%s)::consists_of_fields", name.c_str());
    if (names.size() != fields.size()) return false;
    for (const auto& n : names) {
        if (std::find(fields.begin(), fields.end(), n) == fields.end()) {
            tk_logger::log(1, L"Field '%s' not found", n.c_str());
            return false;
        }
    }
    tk_logger::log(1, "consists_of_fields returns true");
    return true;
}
