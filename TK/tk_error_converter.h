// Turns an exception's code into a user text through a table.
#pragma once
#include <map>
#include <string>

struct tk_error_entry {
    int code;
    const char* text;
};

class tk_error_converter {
public:
    tk_error_converter(int count, const tk_error_entry* table);

    // A code already present keeps its first text.
    void load_map(int count, const tk_error_entry* table);
    // The text of a code, or "" when the code is unknown.
    std::string convert(int code) const;

private:
    std::map<int, std::string> map_;
};
