// Path names: absolute form, and the split into drive, folder, name and extension.
#pragma once
#include <optional>
#include <string>

// The parts of a path the way the Windows path splitter gives them. Linux has
// no drive, so `drive` stays empty; `dir` ends with "/"; `ext` keeps its dot.
template <class S>
struct win_path_parts {
    S drive;
    S dir;
    S name;
    S ext;
};

// Absolute and lexically normal; the file need not exist. Fails only when the
// current folder cannot be read (last error set).
std::optional<std::string> full_path(const std::string& path);
std::optional<std::wstring> full_wpath(const std::wstring& path);

win_path_parts<std::string> split_path(const std::string& path);
win_path_parts<std::wstring> split_wpath(const std::wstring& path);

// Joins the parts; adds "/" after a folder that lacks it and "." before an
// extension that lacks it.
std::string make_path(const std::string& drive, const std::string& dir, const std::string& name,
                      const std::string& ext);
std::wstring make_wpath(const std::wstring& drive, const std::wstring& dir, const std::wstring& name,
                        const std::wstring& ext);
