// Files, folders and the running program's own path.
#pragma once
#include <optional>
#include <string>
#include "platform/win32/win_types.h"

// How file_open_test opens: the access of CreateFile with OPEN_EXISTING, or
// CREATE_ALWAYS (creates or empties the file).
enum class win_open_mode { read, read_write, create_always };

// Opens and closes at once; false for a folder or a failure, with the last error set.
bool file_open_test(const std::string& path, win_open_mode mode);

// An existing folder that may be entered.
bool is_directory(const std::string& path);

// The current folder; empty with the last error set when it cannot be read.
std::optional<std::string> get_cwd();
bool change_dir(const std::string& path);

// The running program's full path (from /proc/self/exe).
std::optional<std::string> module_path();
