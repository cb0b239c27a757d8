#include "TK/tk_file_exist.h"

#include "TK/tk_logger.h"
#include "platform/win32/win_codepage.h"
#include "platform/win32/win_file.h"

bool tk_is_file_exist(const std::string& path, int mode)
{
    tk_logger::log(1, "tk_is_file_exist(%s)", path.c_str());
    bool ok = file_open_test(path, mode == TK_FILE_READ_WRITE ? win_open_mode::read_write : win_open_mode::read);
    if (!ok) tk_logger::log(2, "File not exists!");
    return ok;
}

bool tk_is_file_exist(const std::wstring& path, int mode)
{
    tk_logger::log(1, L"tk_is_file_exist(%s)", path.c_str());
    win_open_mode how = win_open_mode::read;
    if (mode == TK_FILE_READ_WRITE)
        how = win_open_mode::read_write;
    else if (mode == TK_FILE_CREATE_ALWAYS)
        how = win_open_mode::create_always;
    auto narrow = wide_to_mb(CP_ACP, path);
    bool ok = narrow && file_open_test(*narrow, how);
    if (!ok) tk_logger::log(2, "File not exists!");
    return ok;
}

bool tk_is_path_exist(const std::string& folder)
{
    tk_logger::log(1, "tk_is_path_exist(%s)", folder.c_str());
    // A test of the folder itself: changing into it would move the working
    // folder of every other thread meanwhile.
    return is_directory(folder);
}
