// A wide path taken apart into drive, folder, name and extension.
#pragma once
#include <string>

class tk_file_wname {
public:
    // An empty path stands for the program's own folder, with an empty name.
    explicit tk_file_wname(const std::wstring& path);
    explicit tk_file_wname(const wchar_t* path);

    void initialize(const wchar_t* path);
    std::wstring get_path() const;
    // Drive and directory.
    std::wstring get_folder() const;
    void clear();

    std::wstring ext;   // with its point
    std::wstring drive; // always empty here
    std::wstring name;
    std::wstring dir; // ends with "/"
};
