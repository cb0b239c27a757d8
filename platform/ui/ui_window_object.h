// Inside the window framework: what a window handle points to, and the helpers
// the framework's sources share. Only the framework's own sources include this.
#pragma once
#include <QFont>
#include <QImage>
#include <QPixmap>
#include <QPointer>
#include <QShortcutEvent>
#include <QWidget>

#include <exception>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/ui/ui_property_sheet.h"
#include "platform/ui/ui_resources.h"
#include "platform/ui/ui_window.h"

class QTimer;
class QDialog;

enum class ui_window_kind { control, dialog, page, sheet };

// A page handle: a copy of the page record with its texts.
struct ui_sheet_page_object {
    PROPSHEETPAGEW psp;
    std::wstring title;
    std::wstring header_title;
    std::wstring header_subtitle;
};

struct ui_sheet_page_entry {
    HPROPSHEETPAGE handle = nullptr; // the sheet's: destroyed with the sheet
    HWND window = nullptr;
};

class QLabel;
class QFrame;

struct ui_sheet_state {
    ~ui_sheet_state(); // destroys the page handles
    std::vector<ui_sheet_page_entry> pages;
    int current = -1;
    DWORD wizard_buttons = PSWIZB_NEXT;
    PROPSHEETHEADERW header;
    std::wstring caption;
    ui_property_sheet* owner = nullptr;
    QPointer<QWidget> area; // the pages, the header and the watermark
    QPointer<QFrame> header_line;
    QPointer<QLabel> header_title;
    QPointer<QLabel> header_subtitle;
    QPointer<QLabel> header_bitmap;
    QPointer<QFrame> header_frame;
    QPointer<QLabel> watermark;
    HWND back = nullptr, next = nullptr, finish = nullptr, cancel = nullptr, help = nullptr;
};

// What a handle stands for. Handles are serial numbers, not addresses (see
// register_window), so the object is only reached through lookup().
struct ui_window_object {
    HWND self = nullptr;
    QMetaObject::Connection destroyed_connection;
    ui_window_kind kind = ui_window_kind::control;
    ui_control_kind control = ui_control_kind::static_text;
    int id = 0;
    DWORD style = 0;
    QPointer<QWidget> widget;
    HWND parent = nullptr;
    std::vector<HWND> children;
    ui_message_target* target = nullptr; // dialogs, pages, sheets
    CWindow* wrapper = nullptr;          // its m_hWnd is cleared when the window goes
    std::map<UINT_PTR, std::unique_ptr<QTimer>> timers;
    std::wstring text; // texts of statics, buttons and group boxes as given (with '&')
    int text_limit = 0;
    int horizontal_extent = 0;
    int range_min = 0, range_max = 100;
    HICON icon = nullptr;
    HFONT font = nullptr;
    DWORD list_view_ex_style = 0;
    // Modal dialogs and sheets.
    bool modal = false;
    bool in_loop = false;
    bool end_requested = false;
    INT_PTR result = 0;
    std::unique_ptr<ui_sheet_state> sheet;

    ui_window_object();
    ~ui_window_object();
};

namespace ui_detail {

// A button whose access key clicks it at once, as the dialog manager does (the
// widget's own answer is a delayed, animated click).
template <class Button>
class mnemonic_button : public Button {
public:
    using Button::Button;

protected:
    bool event(QEvent* e) override
    {
        if (e->type() == QEvent::Shortcut && !static_cast<QShortcutEvent*>(e)->isAmbiguous()) {
            if (!this->isEnabled()) return true;
            this->setFocus(Qt::ShortcutFocusReason);
            this->click();
            return true;
        }
        return Button::event(e);
    }
};

// The live window behind a handle, or null. Only the user-interface thread may
// use the object.
ui_window_object* lookup(HWND h);
HWND handle_of(const QWidget* w);
HWND register_window(std::unique_ptr<ui_window_object> obj);
// Forgets the window and its children (timers stop, wrappers cleared, final
// messages sent); the widget itself is deleted when delete_widget.
void destroy_window(HWND h, bool delete_widget);

// Runs f on the user-interface thread and waits for it; exceptions are carried
// back to the caller. Does nothing (and answers false) without a framework.
bool invoke(const std::function<void()>& f);
// Queues f for the user-interface thread.
void post(std::function<void()> f);
// Runs f at an event-loop boundary: exceptions are caught and reported.
void boundary(const std::function<void()>& f);
void report_uncaught(std::exception_ptr e);
void set_uncaught_sink(std::function<void(std::exception_ptr)> sink);

// Delivers a message on the user-interface thread (no marshalling).
LRESULT dispatch(HWND h, UINT msg, WPARAM w, LPARAM l);
// The built-in processing of a window kind.
LRESULT control_proc(ui_window_object* o, HWND h, UINT msg, WPARAM w, LPARAM l);
LRESULT sheet_proc(ui_window_object* o, HWND h, UINT msg, WPARAM w, LPARAM l);
LRESULT dialog_proc(ui_window_object* o, HWND h, UINT msg, WPARAM w, LPARAM l);
// Sends WM_COMMAND with the control's id and the code to its parent.
void notify_command(HWND control, WORD code);
// Sends WM_NOTIFY to the control's parent; answers the result.
LRESULT notify_parent(HWND control, NMHDR* hdr);

// Builds the controls of a template on a widget (children of `parent`).
void build_controls(HWND parent, QWidget* surface, const ui_dialog_template& t);
// Pixels of dialog units.
int dlu_x(int x);
int dlu_y(int y);
QString qstr(const std::wstring& s);
std::wstring wstr(const QString& s);
// A label's text: '&' marks a mnemonic, "&&" a literal '&'.
QString display_text(const std::wstring& s);
// A static's text as its label shows it: with the access key when it has a buddy.
QString label_text(const QLabel* label, const std::wstring& s);
QPixmap pixmap_of(const ui_image& image, int cx = 0, int cy = 0);
QImage qimage_of(const ui_image& image);

// Modal loops (dialogs and sheets): runs the automation's handler once the loop runs.
void schedule_modal_handler(HWND h);
void push_modal(HWND h);
void pop_modal(HWND h);
// Ends the loop of a modal window (sheets: as Cancel without asking).
void force_end_modal(HWND h);

// The sheet's own processing.
void sheet_force_close(HWND sheet, INT_PTR result);
bool automation_active();
void automation_record_help(const std::wstring& call);

int& dispatch_depth();

// Closes the help window (at the framework's end).
void help_shutdown();
// A window is going: the help window it holds moves on to its owner.
void help_owner_closing(QWidget* owner);

void automation_store_uncaught(std::exception_ptr e);

// A file dialog as the automation sees it.
struct file_dialog_request {
    bool save = false;
    HWND owner = nullptr;
    std::wstring title;
    std::wstring initial_file;
    std::wstring initial_dir;
    std::vector<std::wstring> filter; // display text, pattern, display text, pattern...
    DWORD flags = 0;
};
bool automation_file_dialog(const file_dialog_request& request, std::wstring& path);
int automation_message_box(HWND owner, const std::wstring& text, const std::wstring& caption, UINT type);
int message_box_default(UINT type);
void list_view_select(HWND h, int index);
void list_view_double_click(HWND h, int index);
void list_view_user_check(HWND h, int index, bool checked);

QFont font_of(HFONT font);
// The list view's widget and its messages.
QWidget* make_list_view(QWidget* surface);
void connect_list_view(QWidget* w, HWND h);
LRESULT list_view_proc(ui_window_object* o, UINT msg, WPARAM w, LPARAM l);

} // namespace ui_detail
