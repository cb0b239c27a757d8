#include "TK/tk_module.h"

#include "TK/tk_exception.h"
#include "TK/tk_file_name.h"
#include "TK/tk_logger.h"
#include "platform/win32/win_codepage.h"
#include "platform/win32/win_file.h"
#include "platform/win32/win_library.h"

std::string get_module_file_name()
{
    auto path = module_path();
    if (!path) throw tk_mail_assertion("tk_utils", 116);
    return *path;
}

std::wstring tk_get_module_wpath()
{
    auto path = module_path();
    if (!path) throw tk_mail_assertion("tk_utils", 129);
    auto wide = mb_to_wide(CP_ACP, *path, false);
    if (!wide) throw tk_mail_assertion("tk_utils", 129);
    return *wide;
}

std::string get_module_dir() { return tk_file_name(get_module_file_name()).get_folder(); }

uint32_t get_dll_version(const wchar_t* dll)
{
    HMODULE lib = LoadLibraryW(dll);
    if (!lib) {
        tk_logger::log(2, "get_dll_version failed to load DLL");
        return 0;
    }
    uint32_t version = 0;
    auto get_version = reinterpret_cast<DLLGETVERSIONPROC>(GetProcAddress(lib, "DllGetVersion"));
    if (!get_version) {
        tk_logger::log(2, "get_dll_version failed to obtain DllGetVersion");
    } else {
        DLLVERSIONINFO info{};
        info.cbSize = sizeof(info);
        if (SUCCEEDED(get_version(&info))) version = (info.dwMajorVersion << 16) | info.dwMinorVersion;
    }
    FreeLibrary(lib);
    return version;
}
