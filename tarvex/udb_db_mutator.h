// The user's type mappings of a whole database: one table mutator per changed table.
#pragma once
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "TK/tk_logger.h"
#include "UDB/udb_indexes.h"
#include "UDB/udb_profile.h"
#include "UDB/udb_schema.h"
#include "tarvex/mapping_type_files.h"
#include "tarvex/udb_properties.h"

template <class TableMutator>
class udb_db_mutator : public udb_properties {
public:
    using native_type_t = typename TableMutator::native_type_t;
    using type_map = std::map<std::wstring, std::vector<std::wstring>>;
    // Brings a table name to one canonical spelling, so that "[dbo].[T]" and
    // "dbo.T" find the same mutator.
    using canonical_fn = std::function<std::wstring(const std::wstring&)>;

    udb_db_mutator() = default;

    udb_properties* get_child(const std::wstring& name) override { return get_table_mutator(name); }
    udb_properties* get_child_by_target(const std::wstring& name) override { return get_table_mutator_by_target(name); }

    // Exact name first, then the canonical forms of both sides.
    virtual TableMutator* get_table_mutator(const std::wstring& source_name)
    {
        auto it = by_source.find(source_name);
        if (it != by_source.end()) return it->second.get();
        if (!canonical) return nullptr;
        const std::wstring wanted = canonical(source_name);
        for (auto& [key, tm] : by_source)
            if (canonical(key) == wanted) return tm.get();
        return nullptr;
    }
    virtual TableMutator* get_table_mutator_by_target(const std::wstring& target_name)
    {
        auto it = by_target.find(target_name);
        return it == by_target.end() ? nullptr : it->second;
    }

    // Rewrites the table's indexes and schema; answers the target name.
    std::wstring modify1(const std::wstring& name, udb_schema& schema, udb_indexes& indexes)
    {
        tk_logger::log(2, L"udb_db_mutator::modify1(%s)", name.c_str());
        TableMutator* tm = get_table_mutator(name);
        if (!tm) return name;
        tm->modify3(indexes);
        return tm->modify1(schema, name);
    }

    void clear()
    {
        by_target.clear();
        by_source.clear();
    }

    TableMutator* add_table_mutator(const std::wstring& source_name, const std::wstring& target_name)
    {
        auto it = by_source.find(source_name);
        TableMutator* tm;
        if (it != by_source.end()) {
            tm = it->second.get();
        } else {
            auto owned = std::make_unique<TableMutator>(target_name);
            tm = owned.get();
            by_source.emplace(source_name, std::move(owned));
            by_target.emplace(target_name, tm);
        }
        tm->new_name = target_name;
        return tm;
    }

    virtual void get_native_type_info(t_ftd& f, native_type_t& nt) = 0;

    // Nothing in the run reads the type map; the mapping dialog brings its own files.
    virtual const type_map& get_type_map() const
    {
        static const type_map empty;
        return empty;
    }

    // The mapping dialog's choices: the types a column of the given default
    // type may take, and the size attributes of a type (LENGTH, PRECISION,
    // SCALE). The file names come from the target side.
    virtual const char* mapped_types_file() const { return nullptr; }
    virtual const char* type_attributes_file() const { return nullptr; }
    std::vector<std::wstring> get_mapped_types(const std::wstring& type) const
    {
        tk_logger::log(1, L"udb_db_mutator<F>::get_mapped_types(%s)", type.c_str());
        return mapping_type_files::lookup(mapped_types_file(), type, "Gonna load typesmap.cfg");
    }
    std::vector<std::wstring> get_type_attributes(const std::wstring& type) const
    {
        return mapping_type_files::lookup(type_attributes_file(), type);
    }

    // The "Type Mappings" section of a profile.
    bool store_profile(udb_profile& profile);
    bool load_profile(udb_profile& profile);

    std::map<std::wstring, std::unique_ptr<TableMutator>> by_source;
    std::map<std::wstring, TableMutator*> by_target;
    canonical_fn canonical;
};

namespace tvx_type_mapping {

inline const wchar_t* section() { return L"Type Mappings"; }

// Line breaks would split a value over several lines of the section.
inline std::wstring one_line(std::wstring text)
{
    for (auto& c : text)
        if (c == L'\r' || c == L'\n') c = L' ';
    return text;
}

inline bool starts_with(const std::wstring& line, const wchar_t* prefix)
{
    return line.compare(0, std::char_traits<wchar_t>::length(prefix), prefix) == 0;
}

// The value after a fixed prefix, trimmed.
std::wstring value_after(const std::wstring& line, const wchar_t* prefix);

// Key and value of a line that cut at every colon gives exactly two pieces.
bool split_pair(const std::wstring& line, std::wstring& key, std::wstring& value);

int32_t to_number(const std::wstring& text);

} // namespace tvx_type_mapping

template <class TableMutator>
bool udb_db_mutator<TableMutator>::store_profile(udb_profile& profile)
{
    using namespace tvx_type_mapping;
    const std::wstring s = section();
    profile.add_line(s, L"database:");
    for (const auto& [key, value] : properties) profile.add_line(s, L"  " + key + L": " + one_line(value));
    profile.add_line(s, L"tables:");
    for (const auto& [source, tm] : by_source) {
        profile.add_line(s, L"  - name: " + source);
        profile.add_line(s, L"    new_name: " + tm->new_name);
        profile.add_line(s, L"    fields:");
        for (const auto& [column, fm] : tm->by_source) {
            const auto& nt = fm->native_type;
            profile.add_line(s, L"      - name:" + column);
            profile.add_line(s, L"        new_name: " + fm->new_name);
            profile.add_line(s, std::wstring(L"        status: ") + (fm->status == 2 ? L"deleted" : L"changed"));
            profile.add_line(s, L"        type: " + one_line(nt.name));
            profile.add_line(s, L"        default_value: " + one_line(nt.default_value));
            profile.add_line(s, L"        character_set: " + one_line(nt.character_set));
            profile.add_line(s, L"        length: " + std::to_wstring(nt.length));
            profile.add_line(s, L"        scale: " + std::to_wstring(nt.scale));
            profile.add_line(s, L"        precision: " + std::to_wstring(nt.precision));
        }
        profile.add_line(s, L"    properties:");
        for (const auto& [key, value] : tm->properties)
            profile.add_line(s, L"        " + key + L": " + one_line(value));
    }
    return true;
}

template <class TableMutator>
bool udb_db_mutator<TableMutator>::load_profile(udb_profile& profile)
{
    using namespace tvx_type_mapping;
    clear();
    auto sec = profile.line_sections.find(section());
    if (sec == profile.line_sections.end() || sec->second.empty()) return true;
    std::vector<std::wstring> lines;
    for (const auto& raw : sec->second) {
        std::wstring line = raw;
        if (!line.empty() && line.back() == L'\r') line.pop_back(); // a hand-edited file with Windows line ends
        lines.push_back(std::move(line));
    }

    struct column_entry {
        std::wstring target;
        bool dropped = false;
        bool has_type = false;
        native_type_t nt;
    };
    struct table_entry {
        std::wstring target;
        std::map<std::wstring, column_entry> columns;
        std::map<std::wstring, std::wstring> props;
    };
    std::map<std::wstring, std::wstring> db_props;
    std::map<std::wstring, table_entry> tables;

    size_t i = 0;
    if (lines[0] == L"database:") {
        for (i = 1; i < lines.size() && starts_with(lines[i], L"  "); ++i) {
            std::wstring key, value;
            if (split_pair(lines[i], key, value)) db_props[key] = value;
        }
    }
    if (i >= lines.size() || lines[i] != L"tables:") {
        tk_logger::log(2, "Type mappings do not begin as expected: nothing applied");
        return true;
    }

    enum class st { none, table, new_name, fields, column, attribute, properties };
    st state = st::none;
    table_entry* table = nullptr;
    column_entry* column = nullptr;
    auto fail = [&](const std::wstring& line) {
        tk_logger::log(3, L"Type mappings: unexpected line '%s', nothing applied", line.c_str());
        return false;
    };
    for (++i; i < lines.size(); ++i) {
        const std::wstring& line = lines[i];
        if (starts_with(line, L"  - name:")) {
            const std::wstring name = value_after(line, L"  - name:");
            table = &tables[name]; // every table block counts, a rename alone too
            column = nullptr;
            state = st::table;
        } else if (!table) {
            return fail(line);
        } else if (starts_with(line, L"    properties:")) {
            state = st::properties;
        } else if (state == st::properties && starts_with(line, L"        ")) {
            std::wstring key, value;
            if (split_pair(line, key, value)) table->props[key] = value;
        } else if (starts_with(line, L"    new_name:")) {
            if (state != st::table) return fail(line);
            table->target = value_after(line, L"    new_name:");
            state = st::new_name;
        } else if (starts_with(line, L"    fields:")) {
            if (state != st::table && state != st::new_name && state != st::column && state != st::attribute)
                return fail(line);
            column = nullptr;
            state = st::fields;
        } else if (starts_with(line, L"      - name:")) {
            if (state != st::fields && state != st::column && state != st::attribute) return fail(line);
            column = &table->columns[value_after(line, L"      - name:")];
            state = st::column;
        } else if ((state == st::column || state == st::attribute) && column && starts_with(line, L"        ")) {
            if (starts_with(line, L"        new_name:"))
                column->target = value_after(line, L"        new_name:");
            else if (starts_with(line, L"        status:"))
                column->dropped = value_after(line, L"        status:") == L"deleted";
            else if (starts_with(line, L"        type:")) {
                column->nt.name = value_after(line, L"        type:");
                column->has_type = true;
            } else if (starts_with(line, L"        default_value:"))
                column->nt.default_value = value_after(line, L"        default_value:");
            else if (starts_with(line, L"        character_set:"))
                column->nt.character_set = value_after(line, L"        character_set:");
            else if (starts_with(line, L"        length:"))
                column->nt.length = to_number(value_after(line, L"        length:"));
            else if (starts_with(line, L"        scale:"))
                column->nt.scale = to_number(value_after(line, L"        scale:"));
            else if (starts_with(line, L"        precision:"))
                column->nt.precision = to_number(value_after(line, L"        precision:"));
            else
                return fail(line);
            state = st::attribute;
        } else {
            return fail(line);
        }
    }
    // A column without a type would become text of no type at all.
    for (const auto& [name, t] : tables)
        for (const auto& [col, c] : t.columns)
            if (!c.has_type) return fail(L"      - name:" + col);

    properties = db_props;
    for (auto& [source, t] : tables) {
        TableMutator* tm = add_table_mutator(source, t.target.empty() ? source : t.target);
        for (auto& [col, c] : t.columns) {
            auto* fm = tm->update_field(col, c.target.empty() ? col : c.target, c.nt);
            if (c.dropped) fm->status = 2;
        }
        for (auto& [key, value] : t.props) tm->properties[key] = value;
    }
    return true;
}
