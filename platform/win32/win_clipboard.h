// The clipboard: whoever owns a window framework installs a hook that puts text on it.
#pragma once
#include <functional>
#include <string>

void set_clipboard_hook(std::function<bool(const std::wstring&)> hook);
// False without a hook (the last error is then ERROR_ACCESS_DENIED) or when the hook refuses.
bool clipboard_set_text(const std::wstring& text);
