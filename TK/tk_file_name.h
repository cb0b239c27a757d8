// A path taken apart into drive, folder, name and extension.
#pragma once
#include <string>

class tk_file_name {
public:
    // An empty path stands for the program's own folder, with an empty name.
    explicit tk_file_name(const std::string& path);
    explicit tk_file_name(const char* path);

    void initialize(const char* path);
    std::string get_path() const;
    // Drive and directory.
    std::string get_folder() const;

    std::string ext;   // with its point
    std::string drive; // always empty here
    std::string name;
    std::string dir; // ends with "/"
};
