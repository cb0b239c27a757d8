#include "TK/tk_module.h"

#include "TK/tk_exception.h"
#include "TK/tk_file_name.h"
#include "TK/tk_logger.h"
#include "platform/win32/win_codepage.h"
#include "platform/win32/win_file.h"

std::string get_module_file_name()
{
    auto path = module_path();
    if (!path)
        throw tk_mail_assertion("tk_utils", 116);
    return *path;
}

std::wstring tk_get_module_wpath()
{
    auto path = module_path();
    if (!path)
        throw tk_mail_assertion("tk_utils", 129);
    auto wide = mb_to_wide(CP_ACP, *path, false);
    if (!wide)
        throw tk_mail_assertion("tk_utils", 129);
    return *wide;
}

std::string get_module_dir() { return tk_file_name(get_module_file_name()).get_folder(); }
