// Copying text to the clipboard.
#pragma once
#include <string>

// Logs the outcome; never throws.
void tk_copy_to_clipboard2(const std::wstring& text);
