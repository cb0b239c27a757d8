// The rows of the type-mapping dialog: one per source column, with the values
// the driver proposes (the row's initial values) and the user's edits, and the
// step that moves the edits into the driver's mutators.
#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "TK/tk_exception.h"
#include "TK/tk_logger.h"
#include "UDB/udb_schema.h"
#include "tarvex/ora_native_type.h"

// What the detail fields say about one column.
struct map_entry {
    static constexpr int32_t checked = 1;
    static constexpr int32_t unchecked = 2;

    std::wstring name;
    std::wstring type;
    std::wstring default_value;
    std::wstring character_set; // not shown; kept from a stored mapping
    int32_t length = 0;
    int32_t precision = 0;
    int32_t scale = 0;
    int32_t state = checked;

    bool same_values(const map_entry& o) const
    {
        return name == o.name && type == o.type && default_value == o.default_value && length == o.length &&
               precision == o.precision && scale == o.scale;
    }
    ora_native_type native_type() const
    {
        ora_native_type nt;
        nt.name = type;
        nt.default_value = default_value;
        nt.character_set = character_set;
        nt.length = length;
        nt.precision = precision;
        nt.scale = scale;
        return nt;
    }
};

namespace map_list_detail {

// Precision and scale of a sized type text such as NUMBER(19,0); false when it has none.
inline bool sized_number(const std::wstring& text, int32_t& precision, int32_t& scale)
{
    const auto open = text.find(L'(');
    const auto comma = text.find(L',', open);
    const auto close = text.find(L')', comma);
    if (open == std::wstring::npos || comma == std::wstring::npos || close == std::wstring::npos) return false;
    try {
        precision = std::stoi(text.substr(open + 1, comma - open - 1));
        scale = std::stoi(text.substr(comma + 1, close - comma - 1));
    } catch (const std::exception&) {
        return false;
    }
    return true;
}

} // namespace map_list_detail

template <class Driver>
class map_list {
    Driver& driver_;

public:
    map_list(Driver& driver, const std::wstring& source_table) : driver_(driver), source_table(source_table) {}

    // Reads the table's columns and any mapping stored for it; answers the
    // target table name to show.
    std::wstring load()
    {
        schema = driver_.get_schema(source_table);
        initial.clear();
        entries.clear();
        cells.clear();
        for (size_t i = 0; i < schema.size(); ++i) {
            t_ftd f = schema[i];
            ora_native_type nt;
            driver_.get_native_type_info(f, nt);
            // The driver's own text carries the integer precision it creates
            // (NUMBER(19,0)); a bare NUMBER would carry the values as doubles.
            int32_t p = 0, s = 0;
            if (nt.precision == 0 && nt.scale == 0 && map_list_detail::sized_number(f.native_type, p, s)) {
                nt.precision = p;
                nt.scale = s;
            }
            map_entry e;
            e.name = f.name;
            e.type = nt.name;
            e.default_value = nt.default_value;
            e.character_set = nt.character_set;
            e.length = nt.length;
            e.precision = nt.precision;
            e.scale = nt.scale;
            initial[f.name] = e;
            cells.push_back(nt.to_text());
        }
        std::wstring shown = source_table;
        if (auto* tm = driver_.get_table_mutator(source_table)) {
            if (!tm->new_name.empty()) shown = tm->new_name;
            for (const auto& [column, fm] : tm->by_source) {
                map_entry e;
                e.name = fm->new_name.empty() ? column : fm->new_name;
                e.type = fm->native_type.name;
                e.default_value = fm->native_type.default_value;
                e.character_set = fm->native_type.character_set;
                e.length = fm->native_type.length;
                e.precision = fm->native_type.precision;
                e.scale = fm->native_type.scale;
                e.state = fm->status == 2 ? map_entry::unchecked : map_entry::checked;
                entries[column] = e;
            }
        }
        return shown;
    }

    size_t size() const { return schema.size(); }

    const t_ftd& column(size_t row) const
    {
        if (row >= schema.size()) throw tk_mail_assertion("..\\common/map_list", 229);
        return schema[row];
    }
    const map_entry& initial_of(size_t row) const { return initial.at(column(row).name); }
    const map_entry* entry_of(size_t row) const
    {
        auto it = entries.find(column(row).name);
        return it == entries.end() ? nullptr : &it->second;
    }
    // What the detail fields show for a row: the user's entry, else the initial values.
    map_entry shown(size_t row) const
    {
        const map_entry* e = entry_of(row);
        return e ? *e : initial_of(row);
    }
    bool is_checked(size_t row) const
    {
        const map_entry* e = entry_of(row);
        return !e || e->state != map_entry::unchecked;
    }
    // The "Field Type" cell: the sized type text of the driver's mapping.
    const std::wstring& type_cell(size_t row) const
    {
        column(row);
        return cells.at(row);
    }
    // The same cell once the user has edited the row: the type the row now takes.
    std::wstring shown_type_cell(size_t row) const
    {
        const map_entry* e = entry_of(row);
        return e ? e->native_type().to_text() : type_cell(row);
    }

    // The types a row may take: those the type map lists for the column's
    // default type, the default type itself always among them (first when the
    // map does not name it), so that a type can always be chosen.
    std::vector<std::wstring> choices(size_t row) const
    {
        const std::wstring& type = initial_of(row).type;
        std::vector<std::wstring> list = driver_.get_mapped_types(type);
        bool present = false;
        for (const auto& t : list) present = present || t == type;
        if (!present && !type.empty()) list.insert(list.begin(), type);
        return list;
    }

    // Stores the row's values when they differ from its initial ones. A row
    // that already has an entry takes the values even when they are the initial
    // ones again, so that undoing an edit is not lost; its box state stays.
    void save(size_t row, const map_entry& values)
    {
        const std::wstring& name = column(row).name;
        map_entry e = values;
        auto it = entries.find(name);
        e.state = it == entries.end() ? map_entry::checked : it->second.state;
        if (it == entries.end() && e.same_values(initial_of(row))) return;
        if (e.character_set.empty()) e.character_set = initial_of(row).character_set;
        entries[name] = e;
    }

    // The row's box changed: its entry is stored with the new state.
    void set_state(size_t row, const map_entry& values, bool box_checked)
    {
        map_entry e = values;
        if (e.character_set.empty()) e.character_set = initial_of(row).character_set;
        e.state = box_checked ? map_entry::checked : map_entry::unchecked;
        entries[column(row).name] = e;
    }

    // Moves the edits into the driver's mutators; false when there was nothing to store.
    bool store(const std::wstring& new_table_name)
    {
        const std::wstring target = new_table_name.empty() ? source_table : new_table_name;
        if (target == source_table && entries.empty()) return false;
        // A mapping stored under another spelling of the table's name is the one to change.
        std::wstring key = source_table;
        if (driver_.get_table_mutator(source_table) && !driver_.by_source.count(source_table))
            for (const auto& [k, tm] : driver_.by_source)
                if (tm.get() == driver_.get_table_mutator(source_table)) key = k;
        auto* tm = driver_.add_table_mutator(key, target);
        for (size_t row = 0; row < schema.size(); ++row) {
            const std::wstring& name = schema[row].name;
            auto it = entries.find(name);
            if (it == entries.end()) continue;
            auto* fm = tm->update_field(name, it->second.name, it->second.native_type());
            fm->status = it->second.state;
            // A column whose type the user left alone keeps its values as
            // they are: only a chosen type converts them (a renamed money
            // column would otherwise pass through a double).
            if (same_type(it->second, initial_of(row))) {
                fm->new_ole_type = VT_NULL;
                fm->new_ole_flags = schema[row].dw_reserved;
            }
            tk_logger::log(1, L"Updating field #%d: '%s'", static_cast<int>(row), fm->new_name.c_str());
            tk_logger::log(1, "fm->new_ole_type=%d, fm->new_ole_flags=%d", static_cast<int>(fm->new_ole_type),
                           static_cast<int>(fm->new_ole_flags));
        }
        return true;
    }

    std::wstring source_table;
    udb_schema schema;
    std::map<std::wstring, map_entry> initial; // by source column name
    std::map<std::wstring, map_entry> entries; // the user's edits, by source column name

private:
    static bool same_type(const map_entry& a, const map_entry& b)
    {
        return a.type == b.type && a.length == b.length && a.precision == b.precision && a.scale == b.scale;
    }

    std::vector<std::wstring> cells;
};
