// Source name -> target name; the first mapping of a source name wins.
#pragma once
#include <map>
#include <string>

class t_names_map : public std::map<std::wstring, std::wstring> {
public:
    void add(const std::wstring& source, const std::wstring& target);
    // The target of the first matching source name (exact, or by the name
    // comparison); the name itself when none matches.
    std::wstring get_mapped_name(const std::wstring& name, bool exact) const;
};
