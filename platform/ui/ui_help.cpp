#include <spawn.h>
#include <sys/wait.h>

#include <filesystem>
#include <string>

#include "platform/ui/ui_window.h"
#include "platform/ui/ui_window_object.h"

extern char** environ;

HWND HtmlHelpW(HWND /*caller*/, LPCWSTR file, UINT command, DWORD_PTR data)
{
    if (!file)
        return nullptr;
    const std::wstring path = file;
    if (ui_detail::automation_active()) {
        ui_detail::automation_record_help(path + L"|" + std::to_wstring(command) + L"|" + std::to_wstring(data));
        return GetDesktopWindow();
    }
    std::error_code ec;
    if (!std::filesystem::exists(std::filesystem::path(ui_detail::qstr(path).toStdString()), ec))
        return nullptr;
    // The desktop's viewer shows the file; no shell is involved.
    const std::string narrow = ui_detail::qstr(path).toStdString();
    std::string program = "xdg-open";
    char* argv[] = {program.data(), const_cast<char*>(narrow.c_str()), nullptr};
    pid_t pid = 0;
    if (posix_spawnp(&pid, "xdg-open", nullptr, nullptr, argv, environ) != 0)
        return nullptr;
    int status = 0;
    waitpid(pid, &status, 0);
    return GetDesktopWindow();
}
