// Files, folders and the running program's own path.
#pragma once
#include <cstdio>
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

// Opens a file for writing that only its owner may read or write (it may hold
// passwords), creating it when missing: emptied first, or appended to. Null
// with the last error set when it cannot be opened.
std::FILE* open_private_file(const std::string& path, bool append);

// Why a file cannot be written: opens it for appending as the log does and
// writes nothing, so a name too long, a read-only file system or a file that
// takes no writes fail now. Empty when it can be written.
std::string file_write_refusal(const std::string& path);

// Replaces the file's contents as one step: the data goes into a new file
// beside it (owner access only), flushed to disk, then renamed over the old
// one, so a failed save never destroys the file it replaces.
bool replace_private_file(const std::string& path, const std::string& data);
