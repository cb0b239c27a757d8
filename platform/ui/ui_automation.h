// Driving the window framework without a user: what tests (and nothing else)
// use to answer modal loops, message boxes and file dialogs and to act on
// controls as a user would. Everything here runs on the user-interface thread.
#pragma once
#include <exception>
#include <functional>
#include <string>
#include <vector>

#include "platform/ui/ui_types.h"

class QWidget;

namespace ui_automation {

// Turns automation on (message boxes, file dialogs and modal loops are answered
// from the queues below instead of waiting for a user) and clears all queues
// and records. end() turns it off.
void begin();
void end();
bool active();

// One shown message box.
struct message_box_record {
    HWND owner = nullptr;
    std::wstring text;
    std::wstring caption;
    UINT type = 0;
    int answer = 0;
};
// Answers for the next message boxes, in order; with none queued a box answers
// its default button (MB_DEFBUTTON2 gives the second: IDNO for MB_YESNO).
void queue_message_box_answer(int answer);
std::vector<message_box_record> message_boxes();
void clear_message_boxes();

// One shown file dialog.
struct file_dialog_record {
    bool save = false;
    HWND owner = nullptr;
    std::wstring title;
    std::wstring initial_file;
    std::wstring initial_dir;
    std::wstring current_dir; // the working directory while the dialog was up
    std::vector<std::wstring> filter;
    DWORD flags = 0;
};
// The path the next file dialog answers; an empty path answers Cancel. With none
// queued a dialog answers Cancel.
void queue_file_dialog_answer(const std::wstring& path);
std::vector<file_dialog_record> file_dialogs();

// A handler for the next modal loop (dialog DoModal, property sheet DoModal),
// called with its window once the loop runs. Handlers are used in order, so a
// handler that opens a nested modal loop gets it served by the next one. A loop
// still running when its handler returns gets 30 s to end (a worker may end
// it) before it is closed and recorded. With none queued the loop is ended at once (a dialog with IDCANCEL, a sheet as
// by Cancel without asking) and the fact is recorded.
void queue_modal(std::function<void(HWND)> handler);
int pending_modals();
std::vector<std::wstring> unexpected_modals(); // window captions

// Exceptions that reached the event loop from a window's message handler (they
// are caught there so they never cross the window system).
std::vector<std::exception_ptr> take_uncaught();

// Help calls (HtmlHelpW), as "file|command|data".
std::vector<std::wstring> help_calls();
// The topic file the program's help window shows (empty when it is not on
// screen), its window (null when there is none), and hiding it.
std::wstring help_window_topic();
QWidget* help_window();
void close_help_window();

// Acting on controls like a user (each sends the notifications a user's action
// sends).
void click(HWND dialog, int id);
void click(HWND control);
void set_text(HWND dialog, int id, const std::wstring& text); // typing: EN_CHANGE
void select_item(HWND dialog, int id, int index);             // list/combo selection: xBN_SELCHANGE
void double_click_item(HWND dialog, int id, int index);       // list box or list view
void drop_down(HWND dialog, int id);                          // combo: CBN_DROPDOWN
void focus(HWND dialog, int id);                              // EN_SETFOCUS and the like
void key_help(HWND window);                                   // F1: WM_HELP to the top-level window
void set_list_view_check(HWND dialog, int id, int index, bool checked);
// Runs pending events for a while (timers, posted messages).
void pump(int ms);

// What a window is drawn with, for tests that look at geometry and pixels
// (user-interface thread only); null for a handle that is no window.
QWidget* widget(HWND h);
// The controls made from a window's template (a dialog's or a page's), in
// template order.
std::vector<HWND> controls(HWND dialog);

} // namespace ui_automation
