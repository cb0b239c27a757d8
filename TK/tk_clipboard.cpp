#include "TK/tk_clipboard.h"

#include "TK/tk_logger.h"
#include "platform/win32/win_clipboard.h"
#include "platform/win32/win_error.h"

void tk_copy_to_clipboard2(const std::wstring& text)
{
    tk_logger::log(2, L"tk_copy_to_clipboard2(%s)", text.c_str());
    if (clipboard_set_text(text))
        tk_logger::log(2, "OpenClipboard succeeded");
    else
        tk_logger::log(2, "GetLastError() returns %08X", static_cast<unsigned>(GetLastError()));
}
