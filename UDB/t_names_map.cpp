#include "UDB/t_names_map.h"

#include "TK/tk_logger.h"
#include "UDB/udb_name_compare.h"

void t_names_map::add(const std::wstring& source, const std::wstring& target)
{
    tk_logger::log(1, L"t_names_map::add(%s,%s)", source.c_str(), target.c_str());
    emplace(source, target);
}

std::wstring t_names_map::get_mapped_name(const std::wstring& name, bool exact) const
{
    tk_logger::log(1, L"t_names_map::get_mapped_name(%s)", name.c_str());
    for (const auto& [source, target] : *this) {
        if (exact ? source == name : udb_same_name(source, name)) {
            tk_logger::log(1, L"Got mapped name: %s", target.c_str());
            return target;
        }
    }
    return name;
}
