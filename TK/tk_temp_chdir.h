// Changes the working folder for the lifetime of the object.
#pragma once
#include <string>

class tk_temp_chdir {
public:
    // An empty folder means the program's own folder.
    explicit tk_temp_chdir(const std::string& folder);
    ~tk_temp_chdir();
    tk_temp_chdir(const tk_temp_chdir&) = delete;
    tk_temp_chdir& operator=(const tk_temp_chdir&) = delete;

    void initialize(const std::string& folder);

    bool ok = false;   // the change succeeded
    std::string saved; // the folder before the change
};
