// The running program's own path.
#pragma once
#include <cstdint>
#include <string>

// The program's full path; failing to find it is an internal error.
std::string get_module_file_name();
std::wstring tk_get_module_wpath();
// Its folder (drive and directory).
std::string get_module_dir();

// (major << 16) | minor from a library's DllGetVersion, or 0.
uint32_t get_dll_version(const wchar_t* dll);
