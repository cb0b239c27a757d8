// Message boxes.
#pragma once
#include "platform/ui/ui_types.h"

// Shows a modal message box owned by `owner` (null: none) and answers the button
// chosen (IDOK, IDYES, IDNO...). Callable from any thread.
int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type);
