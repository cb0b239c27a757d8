// The program's own pictures, drawn here: its icon (a SQL Server database
// handing its tables to an Oracle one) and the frames of the wait animation
// (a ring of dots, one bright dot going round).
#pragma once
#include "platform/ui/ui_resources.h"

// The icon at size x size pixels.
ui_image wizard_program_icon(int size);
// Frame `frame` of `frames`, size x size pixels.
ui_image wizard_wait_frame(int frame, int frames, int size);
