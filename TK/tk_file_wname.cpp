#include "TK/tk_file_wname.h"

#include "TK/tk_exception.h"
#include "TK/tk_logger.h"
#include "TK/tk_module.h"
#include "platform/win32/win_path.h"

tk_file_wname::tk_file_wname(const std::wstring& path)
{
    tk_logger::log(1, L"tk_file_name::ctor(%s)", path.c_str());
    initialize(path.c_str());
}

tk_file_wname::tk_file_wname(const wchar_t* path)
{
    tk_logger::log(1, L"tk_file_name::ctor(%s)", path ? path : L"(null)");
    initialize(path);
}

void tk_file_wname::initialize(const wchar_t* path)
{
    if (!path) throw tk_mail_assertion("tk_fname", 83);
    tk_logger::log(1, L"tk_file_wname::initialize(%s)", path);
    const bool own = *path == L'\0';
    auto full = full_wpath(own ? tk_get_module_wpath() : std::wstring(path));
    if (!full) throw tk_mail_assertion("tk_fname", 91);
    auto parts = split_wpath(*full);
    drive = parts.drive;
    dir = parts.dir;
    name = own ? std::wstring() : parts.name;
    ext = parts.ext;
}

std::wstring tk_file_wname::get_path() const { return make_wpath(drive, dir, name, ext); }

std::wstring tk_file_wname::get_folder() const { return drive + dir; }

void tk_file_wname::clear()
{
    ext.clear();
    drive.clear();
    name.clear();
    dir.clear();
}
