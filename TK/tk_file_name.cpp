#include "TK/tk_file_name.h"

#include "TK/tk_exception.h"
#include "TK/tk_logger.h"
#include "TK/tk_module.h"
#include "platform/win32/win_path.h"

tk_file_name::tk_file_name(const std::string& path)
{
    tk_logger::log(1, "tk_file_name::ctor(%s)", path.c_str());
    initialize(path.c_str());
}

tk_file_name::tk_file_name(const char* path)
{
    tk_logger::log(1, "tk_file_name::ctor(%s)", path ? path : "(null)");
    initialize(path);
}

void tk_file_name::initialize(const char* path)
{
    if (!path) throw tk_mail_assertion("tk_fname", 31);
    const bool own = *path == '\0';
    auto full = full_path(own ? get_module_file_name() : std::string(path));
    if (!full) throw tk_mail_assertion("tk_fname", 39);
    auto parts = split_path(*full);
    drive = parts.drive;
    dir = parts.dir;
    name = own ? std::string() : parts.name;
    ext = parts.ext;
}

std::string tk_file_name::get_path() const { return make_path(drive, dir, name, ext); }

std::string tk_file_name::get_folder() const { return drive + dir; }
