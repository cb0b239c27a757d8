// Source-to-target names of tables and of each table's columns.
#pragma once
#include <map>
#include <string>

#include "UDB/t_names_map.h"

class udb_names_map {
public:
    t_names_map table_map;
    std::map<std::wstring, t_names_map> field_maps; // by source table name

    void add_tn_mapping(const std::wstring& source, const std::wstring& target);
    // A table's column map is registered once; later ones are ignored.
    void add_fn_map(const std::wstring& table, const t_names_map& columns);
    std::wstring get_tn_mapped_name(const std::wstring& table, bool exact) const;
    std::wstring get_fn_mapped_name(const std::wstring& table, const std::wstring& column, bool exact) const;
    // Renames every mapped table, then every mapped column, inside an SQL text.
    std::wstring do_global_replace1(const std::wstring& text, const std::wstring& prefix,
                                    const std::wstring& suffix) const;
    // Whole-word replacement of each source name of map by its target.
    static std::wstring do_global_replace2(const std::wstring& text, const t_names_map& map, const std::wstring& prefix,
                                           const std::wstring& suffix);
};
