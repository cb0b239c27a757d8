// Existence tests for files and folders.
#pragma once
#include <string>

// Modes of tk_is_file_exist.
constexpr int TK_FILE_READ = 0;
constexpr int TK_FILE_READ_WRITE = 1;
// Wide form only: creates the file, or empties an existing one (a probe
// before saving; use it only where overwriting is meant).
constexpr int TK_FILE_CREATE_ALWAYS = 4096;

// True when the file opens for reading (mode 1: reading and writing). A folder is not a file.
bool tk_is_file_exist(const std::string& path, int mode);
bool tk_is_file_exist(const std::wstring& path, int mode);

// True for an existing folder that may be entered.
bool tk_is_path_exist(const std::string& folder);
