#include "UDB/udb_profile.h"

#include <cstdio>
#include <fstream>
#include <sstream>

#include "TK/tk_exception.h"
#include "TK/tk_file_exist.h"
#include "TK/tk_logger.h"
#include "TK/tk_text.h"
#include "platform/win32/win_error.h"
#include "platform/win32/win_file.h"
#include "platform/win32/win_line_reader.h"

namespace {

const wchar_t* const available_queries = L"Available Queries";
const wchar_t* const selected_tables = L"Selected Tables";
const wchar_t* const selected_views = L"Selected Views";
const wchar_t* const generic_settings = L"Generic settings";

// A line break inside a key, value or raw line would split it into two
// lines of the file; a blank keeps the file loadable.
std::wstring one_line(std::wstring text)
{
    for (auto& c : text)
        if (c == L'\r' || c == L'\n') c = L' ';
    return text;
}

} // namespace

udb_profile::udb_profile()
{
    add_section(available_queries);
    add_section(selected_tables);
    add_section(selected_views);
    add_section(generic_settings);
}

udb_profile::pair_list& udb_profile::section_or_throw(const std::wstring& name)
{
    const auto it = sections.find(name);
    if (it == sections.end()) {
        SetLastError(ERROR_INVALID_DATA);
        throw tk_exception_ex("The file is not a profile: it has no [" + to_ansi(name) + "] section.\n", TK_LEVEL_STOP);
    }
    return it->second;
}

bool udb_profile::holds_nothing() const
{
    for (const auto& [name, pairs] : sections)
        if (!pairs.empty()) return false;
    return line_sections.empty();
}

udb_profile::pair_list& udb_profile::get_available_queries() { return section_or_throw(available_queries); }

udb_profile::pair_list& udb_profile::get_selected_tables() { return section_or_throw(selected_tables); }

udb_profile::pair_list& udb_profile::get_selected_views() { return section_or_throw(selected_views); }

std::wstring udb_profile::get_value(const std::wstring& section, const std::wstring& key) const
{
    const auto it = sections.find(section);
    if (it == sections.end()) return std::wstring();
    for (const auto& [k, v] : it->second)
        if (k == key) return v;
    return std::wstring();
}

void udb_profile::add_section(const std::wstring& section) { sections.try_emplace(section); }

void udb_profile::set_value(const std::wstring& section, const std::wstring& key, const std::wstring& value)
{
    sections[section].emplace_back(key, value);
}

void udb_profile::add_line(const std::wstring& section, const std::wstring& line)
{
    line_sections[section].push_back(line);
}

udb_profile::line_list& udb_profile::get_lines(const std::wstring& section) { return line_sections[section]; }

bool udb_profile::store(const std::wstring& path) const
{
    tk_logger::log(2, L"udb_profile::store)");
    std::string file;
    std::string text;
    try {
        file = to_ansi(path, -1);
        for (const auto& [name, pairs] : sections) {
            text += to_utf8(L"[" + one_line(name) + L"]") + "\n";
            const bool bare_keys = name == selected_tables;
            for (const auto& [key, value] : pairs) {
                if (bare_keys && value.empty())
                    text += to_utf8(one_line(key)) + "\n";
                else
                    text += to_utf8(one_line(key) + L"=" + one_line(value)) + "\n";
            }
            text += "\n";
        }
        for (const auto& [name, lines] : line_sections) {
            text += to_utf8(L"[" + one_line(name) + L"]") + "\n";
            for (const auto& line : lines) text += to_utf8(one_line(line)) + "\n";
        }
    } catch (const tk_exception& e) {
        tk_logger::log(2, "%s", e.what());
        return false;
    }
    if (file.empty()) return false;

    // A failed save never destroys the profile it replaces; the file holds
    // passwords: owner access only.
    return replace_private_file(file, text);
}

void udb_profile::load(const std::wstring& path)
{
    tk_logger::log(2, L"udb_profile::load(%s)", path.c_str());
    std::string file;
    try {
        file = to_ansi(path, -1);
    } catch (const tk_exception&) {
        return;
    }
    if (!tk_is_file_exist(file, TK_FILE_READ))
        throw tk_exception(std::string("Profile does not exist. Please verify the correct path/name was given."), 1);
    std::ifstream in(file, std::ios::binary);
    if (!in) return;
    read(in);
}

void udb_profile::parse(const std::string& bytes)
{
    std::istringstream in(bytes);
    read(in);
}

void udb_profile::read(std::istream& in)
{
    // Files edited on Windows may carry a byte-order mark and CRLF line ends.
    win_line_reader lines(in);
    // A new profile's empty sections stand for nothing the file said: only the
    // file's own sections count, so a file without its lists is told apart.
    if (holds_nothing()) sections.clear();
    std::string raw;
    bool have_section = false;
    std::wstring current;
    while (lines.next(raw)) {
        const std::wstring line = to_unicode(raw);
        const std::wstring trimmed = tk_trim(line);
        if (trimmed.empty()) continue;
        if (trimmed.size() >= 2 && trimmed.front() == L'[' && trimmed.back() == L']') {
            current = trimmed.substr(1, trimmed.size() - 2);
            add_section(current);
            have_section = true;
            continue;
        }
        if (!have_section) {
            tk_logger::log(3, "The file is not a profile: a line before the first section");
            return;
        }
        const std::size_t eq = trimmed.find(L'=');
        if (eq != std::wstring::npos) {
            set_value(current, tk_trim(trimmed.substr(0, eq)), tk_trim(trimmed.substr(eq + 1)));
            // A raw-line section may hold "=" too; its reader decides what the line means.
            add_line(current, line);
        } else {
            add_line(current, line);
            set_value(current, trimmed, std::wstring());
        }
    }
}
