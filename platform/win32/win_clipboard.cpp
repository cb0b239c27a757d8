#include "platform/win32/win_clipboard.h"

#include <mutex>

#include "platform/win32/win_error.h"

namespace {
std::mutex g_mutex;
std::function<bool(const std::wstring&)> g_hook;
} // namespace

void set_clipboard_hook(std::function<bool(const std::wstring&)> hook)
{
    std::lock_guard lock(g_mutex);
    g_hook = std::move(hook);
}

bool clipboard_set_text(const std::wstring& text)
{
    std::function<bool(const std::wstring&)> hook;
    {
        std::lock_guard lock(g_mutex);
        hook = g_hook;
    }
    if (!hook || !hook(text)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    return true;
}
