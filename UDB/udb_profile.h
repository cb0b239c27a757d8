// A profile: the whole setup of a conversion in one UTF-8 text file of
// named sections, each either key=value pairs or raw lines.
#pragma once
#include <istream>
#include <map>
#include <string>
#include <utility>
#include <vector>

class udb_profile {
public:
    using pair_list = std::vector<std::pair<std::wstring, std::wstring>>;
    using line_list = std::vector<std::wstring>;

    std::map<std::wstring, pair_list> sections;      // pair sections
    std::map<std::wstring, line_list> line_sections; // raw-line sections

    udb_profile();

    // The three list sections; a missing one throws tk_exception_ex. A profile
    // that held nothing before it was loaded has the sections of its file only.
    pair_list& get_available_queries();
    pair_list& get_selected_tables();
    pair_list& get_selected_views();

    // The value of the first pair with that key; empty when missing.
    std::wstring get_value(const std::wstring& section, const std::wstring& key) const;
    void add_section(const std::wstring& section);
    // Appends; an existing pair with that key is kept as the one get_value finds.
    void set_value(const std::wstring& section, const std::wstring& key, const std::wstring& value);
    void add_line(const std::wstring& section, const std::wstring& line);
    line_list& get_lines(const std::wstring& section);

    // Writes the file; false when it cannot be written completely, in which
    // case a file already at path is left as it was.
    bool store(const std::wstring& path) const;
    // Appends the file's sections to this profile.
    void load(const std::wstring& path);
    // The reading half of load, on the file's bytes.
    void parse(const std::string& bytes);

private:
    void read(std::istream& in);
    bool holds_nothing() const;
    pair_list& section_or_throw(const std::wstring& name);
};
