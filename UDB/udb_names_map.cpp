#include "UDB/udb_names_map.h"

#include "TK/tk_logger.h"
#include "TK/tk_text.h"
#include "UDB/udb_name_compare.h"
#include "platform/win32/win_compare.h"

namespace {

bool starts_with(const std::wstring& text, const std::wstring& head) { return text.compare(0, head.size(), head) == 0; }

bool ends_with(const std::wstring& text, const std::wstring& tail)
{
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// Letters and digits make up a word; "_" does not.
bool is_word_char(wchar_t c) { return IsCharAlphaNumericW(c) != FALSE; }

} // namespace

void udb_names_map::add_tn_mapping(const std::wstring& source, const std::wstring& target)
{
    tk_logger::log(2, L"udb_names_map::add_tn_mapping(%s,%s)", source.c_str(), target.c_str());
    table_map.add(source, target);
}

void udb_names_map::add_fn_map(const std::wstring& table, const t_names_map& columns)
{
    tk_logger::log(2, L"udb_names_map::add_fn_map(%s)", table.c_str());
    field_maps.emplace(table, columns);
}

std::wstring udb_names_map::get_tn_mapped_name(const std::wstring& table, bool exact) const
{
    tk_logger::log(1, L"udb_names_map::get_tn_mapped_name(%s)", table.c_str());
    for (const auto& [source, target] : table_map) {
        tk_logger::log(1, L"Comparing with (%s,%s)", source.c_str(), target.c_str());
        if (exact ? source == table : udb_same_name(source, table)) {
            tk_logger::log(1, L"Got mapped name: %s", target.c_str());
            return target;
        }
    }
    return table;
}

std::wstring udb_names_map::get_fn_mapped_name(const std::wstring& table, const std::wstring& column, bool exact) const
{
    tk_logger::log(1, L"udb_names_map::get_fn_mapped_name(%s,%s)", table.c_str(), column.c_str());
    const auto it = field_maps.find(table);
    if (it == field_maps.end()) {
        tk_logger::log(1, L"Table '%s' not found", table.c_str());
        return column;
    }
    return it->second.get_mapped_name(column, exact);
}

std::wstring udb_names_map::do_global_replace1(const std::wstring& text, const std::wstring& prefix,
                                               const std::wstring& suffix) const
{
    tk_logger::log(2, L"udb_names_map::do_global_replace1(%s)", text.c_str());
    std::wstring result = do_global_replace2(text, table_map, prefix, suffix);
    for (const auto& [table, columns] : field_maps) result = do_global_replace2(result, columns, prefix, suffix);
    return result;
}

std::wstring udb_names_map::do_global_replace2(const std::wstring& text, const t_names_map& map,
                                               const std::wstring& prefix, const std::wstring& suffix)
{
    tk_logger::log(2, L"udb_names_map::do_global_replace2(%s)", text.c_str());
    std::wstring work = text;
    for (const auto& [key, target] : map) {
        // An empty key would match between every two characters and never advance.
        if (key.empty()) continue;
        std::wstring repl;
        if (!prefix.empty() && !starts_with(target, prefix)) repl += prefix;
        repl += target;
        if (!suffix.empty() && !ends_with(target, suffix)) repl += suffix;
        tk_logger::log(1, L"Testing pair ('%s','%s')", key.c_str(), repl.c_str());

        int pos = tk_find_no_case(work, key, 0, key.size());
        while (pos >= 0) {
            tk_logger::log(1, L"'%s' was found at pos=%d", key.c_str(), static_cast<int>(pos));
            const std::size_t p = static_cast<std::size_t>(pos);
            const std::size_t end = p + key.size();
            const bool word_start = p == 0 || !is_word_char(work[p - 1]);
            const bool word_end = end >= work.size() || !is_word_char(work[end]);
            std::size_t next;
            if (word_start && word_end) {
                work.replace(p, key.size(), repl);
                next = p + repl.size(); // never rescan what was put in
            } else {
                next = p + key.size();
            }
            pos = tk_find_no_case(work, key, next, key.size());
        }
    }
    return work;
}
