// Reader of the small list files: "key:" lines and "- value" lines below them.
#pragma once
#include <map>
#include <set>
#include <string>
#include <vector>

class tk_yaml_config {
public:
    // Appends each value to its key's list (values before any key go to the
    // key ""), except values in `excluded`. False when the file cannot be
    // opened; a text that is not UTF-8 throws tk_exception_ex (level 0).
    static bool load(const char* file, std::map<std::wstring, std::vector<std::wstring>>& out,
                     const std::set<std::wstring>& excluded);
};
