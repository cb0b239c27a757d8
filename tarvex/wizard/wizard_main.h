// The entry of the wizard program tarvex.
#pragma once
#include <cstdint>
#include <string>

#include "platform/ui/ui.h"

// Builds the process-wide objects, runs the wizard (or, with a profile path as
// the command line, connects to both servers and opens on the progress page)
// and tears everything down. Answers the sheet's result, -1 when a quick launch
// cannot connect or the common controls are refused, 0 after an exception.
int WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR cmd_line, int show);

// The common-controls check: true for version 5.80 (0x50050) or later; otherwise
// the error box says why.
bool check_common_controls(uint32_t version);

// "Dremlow 5.5": the product title and version.
std::wstring wizard_caption();
