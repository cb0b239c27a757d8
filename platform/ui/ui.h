// The window framework: everything a dialog, a page or the program entry uses.
#pragma once
#include "platform/ui/ui_dialog.h"
#include "platform/ui/ui_file_dialog.h"
#include "platform/ui/ui_message_box.h"
#include "platform/ui/ui_messages.h"
#include "platform/ui/ui_module.h"
#include "platform/ui/ui_property_sheet.h"
#include "platform/ui/ui_resources.h"
#include "platform/ui/ui_types.h"
#include "platform/ui/ui_window.h"
