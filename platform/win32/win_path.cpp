#include "platform/win32/win_path.h"

#include <filesystem>
#include <system_error>

#include "platform/win32/win_codepage.h"
#include "platform/win32/win_error.h"

namespace fs = std::filesystem;

namespace {

template <class S>
win_path_parts<S> split_any(const S& path)
{
    using C = typename S::value_type;
    win_path_parts<S> parts;
    size_t slash = path.rfind(static_cast<C>('/'));
    size_t name_start = slash == S::npos ? 0 : slash + 1;
    parts.dir = path.substr(0, name_start);
    S last = path.substr(name_start);
    size_t dot = last.rfind(static_cast<C>('.'));
    if (dot == S::npos) {
        parts.name = last;
    } else {
        parts.name = last.substr(0, dot);
        parts.ext = last.substr(dot);
    }
    return parts;
}

template <class S>
S make_any(const S& drive, const S& dir, const S& name, const S& ext)
{
    using C = typename S::value_type;
    S out = drive + dir;
    if (!dir.empty() && dir.back() != static_cast<C>('/')) out += static_cast<C>('/');
    out += name;
    if (!ext.empty()) {
        if (ext.front() != static_cast<C>('.')) out += static_cast<C>('.');
        out += ext;
    }
    return out;
}

std::optional<fs::path> absolute_of(const fs::path& p)
{
    std::error_code ec;
    fs::path abs = fs::absolute(p, ec);
    if (ec) {
        SetLastError(win_error_from_errno(ec.value()));
        return std::nullopt;
    }
    return abs.lexically_normal();
}

} // namespace

std::optional<std::string> full_path(const std::string& path)
{
    auto abs = absolute_of(fs::path(path));
    if (!abs) return std::nullopt;
    return abs->string();
}

std::optional<std::wstring> full_wpath(const std::wstring& path)
{
    // File names are bytes in the ANSI page; the library's own conversion would
    // depend on the C locale.
    auto narrow = wide_to_mb(CP_ACP, path);
    if (!narrow) return std::nullopt;
    auto abs = full_path(*narrow);
    if (!abs) return std::nullopt;
    return mb_to_wide(CP_ACP, *abs, false);
}

win_path_parts<std::string> split_path(const std::string& path) { return split_any(path); }
win_path_parts<std::wstring> split_wpath(const std::wstring& path) { return split_any(path); }

std::string make_path(const std::string& drive, const std::string& dir, const std::string& name, const std::string& ext)
{
    return make_any(drive, dir, name, ext);
}

std::wstring make_wpath(const std::wstring& drive, const std::wstring& dir, const std::wstring& name,
                        const std::wstring& ext)
{
    return make_any(drive, dir, name, ext);
}
