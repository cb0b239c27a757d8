// The type lists the mapping dialog offers: which Oracle types a column may
// take ("ora.map") and which sizes each type has ("ora.typ"). Each file is read
// once per run, on first use, and shared by every dialog.
#pragma once
#include <map>
#include <string>
#include <vector>

class mapping_type_files {
public:
    using type_map = std::map<std::wstring, std::vector<std::wstring>>;

    // The folder the files are read from: the program's own unless set.
    static void set_folder(const std::string& folder);
    static std::string folder();

    // The values listed under `key` in `file` (empty when the key is absent).
    // A file that cannot be read raises tk_exception (level 1) and is tried
    // again on the next call. `load_line` is logged before the file is read.
    static std::vector<std::wstring> lookup(const char* file, const std::wstring& key, const char* load_line = nullptr);

    // Forgets every file read so far.
    static void reset();
};
