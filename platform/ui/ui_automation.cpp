#include "platform/ui/ui_automation.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTimer>

#include <atomic>
#include <deque>
#include <filesystem>
#include <mutex>

#include "platform/ui/ui_module.h"
#include "platform/ui/ui_window_object.h"

using namespace ui_detail;

namespace {

std::atomic<bool> g_active{false};
std::mutex g_mutex;
std::deque<int> g_box_answers;
std::vector<ui_automation::message_box_record> g_boxes;
std::deque<std::wstring> g_file_answers;
std::vector<ui_automation::file_dialog_record> g_files;
std::deque<std::function<void(HWND)>> g_modals;
std::vector<std::wstring> g_unexpected;
std::vector<std::exception_ptr> g_uncaught;
std::vector<std::wstring> g_help;

void clear_all()
{
    std::lock_guard<std::mutex> lock(g_mutex);
    g_box_answers.clear();
    g_boxes.clear();
    g_file_answers.clear();
    g_files.clear();
    g_modals.clear();
    g_unexpected.clear();
    g_uncaught.clear();
    g_help.clear();
}

std::wstring caption_of(HWND h)
{
    ui_window_object* o = lookup(h);
    return o ? o->text : std::wstring();
}

bool loop_running(HWND h)
{
    ui_window_object* o = lookup(h);
    return o && o->in_loop && !o->end_requested;
}

void run_modal(HWND h)
{
    std::function<void(HWND)> handler;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        if (!g_modals.empty()) {
            handler = std::move(g_modals.front());
            g_modals.pop_front();
        }
    }
    if (!handler) {
        {
            std::lock_guard<std::mutex> lock(g_mutex);
            g_unexpected.push_back(caption_of(h));
        }
        force_end_modal(h);
        return;
    }
    try {
        handler(h);
    } catch (...) {
        automation_store_uncaught(std::current_exception());
    }
    // What the handler started may end the loop later (posted messages, a worker).
    ui_pump_until([h] { return !loop_running(h); }, 30000);
    if (loop_running(h)) {
        {
            std::lock_guard<std::mutex> lock(g_mutex);
            g_unexpected.push_back(L"left open: " + caption_of(h));
        }
        force_end_modal(h);
    }
}

QWidget* widget_of(HWND h)
{
    ui_window_object* o = lookup(h);
    return o ? o->widget.data() : nullptr;
}

} // namespace

namespace ui_detail {

bool automation_active() { return g_active.load(); }

void automation_store_uncaught(std::exception_ptr e)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    g_uncaught.push_back(e);
}

void automation_record_help(const std::wstring& call)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    g_help.push_back(call);
}

void schedule_modal_handler(HWND h)
{
    if (!automation_active()) return;
    QWidget* w = widget_of(h);
    if (!w) return;
    QTimer::singleShot(0, w, [h] { boundary([h] { run_modal(h); }); });
}

int automation_message_box(HWND owner, const std::wstring& text, const std::wstring& caption, UINT type)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    int answer = message_box_default(type);
    if (!g_box_answers.empty()) {
        answer = g_box_answers.front();
        g_box_answers.pop_front();
    }
    g_boxes.push_back({owner, text, caption, type, answer});
    return answer;
}

bool automation_file_dialog(const file_dialog_request& r, std::wstring& path)
{
    std::error_code ec;
    const std::wstring cwd = std::filesystem::current_path(ec).wstring();
    std::lock_guard<std::mutex> lock(g_mutex);
    g_files.push_back({r.save, r.owner, r.title, r.initial_file, r.initial_dir, cwd, r.filter, r.flags});
    while (!g_file_answers.empty()) {
        path = g_file_answers.front();
        g_file_answers.pop_front();
        if (path.empty()) return false;
        // The dialog itself refuses a file that must exist and does not.
        if ((r.flags & 0x1000u) && !std::filesystem::exists(std::filesystem::path(path), ec)) continue;
        return true;
    }
    return false;
}

} // namespace ui_detail

namespace ui_automation {

void begin()
{
    clear_all();
    g_active = true;
}

void end()
{
    g_active = false;
    clear_all();
}

bool active() { return g_active.load(); }

void queue_message_box_answer(int answer)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    g_box_answers.push_back(answer);
}

std::vector<message_box_record> message_boxes()
{
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_boxes;
}

void clear_message_boxes()
{
    std::lock_guard<std::mutex> lock(g_mutex);
    g_boxes.clear();
}

void queue_file_dialog_answer(const std::wstring& path)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    g_file_answers.push_back(path);
}

std::vector<file_dialog_record> file_dialogs()
{
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_files;
}

void queue_modal(std::function<void(HWND)> handler)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    g_modals.push_back(std::move(handler));
}

int pending_modals()
{
    std::lock_guard<std::mutex> lock(g_mutex);
    return static_cast<int>(g_modals.size());
}

std::vector<std::wstring> unexpected_modals()
{
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_unexpected;
}

std::vector<std::exception_ptr> take_uncaught()
{
    std::lock_guard<std::mutex> lock(g_mutex);
    std::vector<std::exception_ptr> out;
    out.swap(g_uncaught);
    return out;
}

QWidget* widget(HWND h) { return widget_of(h); }

std::vector<HWND> controls(HWND dialog)
{
    std::vector<HWND> out;
    invoke([&] {
        if (ui_window_object* o = lookup(dialog))
            for (HWND c : o->children)
                if (ui_window_object* co = lookup(c); co && co->kind == ui_window_kind::control) out.push_back(c);
    });
    return out;
}

std::vector<std::wstring> help_calls()
{
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_help;
}

void click(HWND dialog, int id) { click(GetDlgItem(dialog, id)); }

void click(HWND control)
{
    invoke([&] {
        if (auto* b = qobject_cast<QAbstractButton*>(widget_of(control)))
            b->click(); // does nothing when disabled, as for a user
    });
}

void set_text(HWND dialog, int id, const std::wstring& text)
{
    HWND h = GetDlgItem(dialog, id);
    invoke([&] {
        QWidget* w = widget_of(h);
        if (auto* e = qobject_cast<QLineEdit*>(w)) {
            e->setText(qstr(text));
            boundary([h] { notify_command(h, EN_CHANGE); });
        } else if (auto* t = qobject_cast<QPlainTextEdit*>(w)) {
            t->setPlainText(qstr(text));
            boundary([h] { notify_command(h, EN_CHANGE); });
        } else if (auto* c = qobject_cast<QComboBox*>(w)) {
            if (c->isEditable()) {
                c->setEditText(qstr(text));
                boundary([h] { notify_command(h, CBN_EDITCHANGE); });
            }
        }
    });
}

void select_item(HWND dialog, int id, int index)
{
    HWND h = GetDlgItem(dialog, id);
    invoke([&] {
        ui_window_object* o = lookup(h);
        if (!o) return;
        QWidget* w = o->widget;
        if (auto* l = qobject_cast<QListWidget*>(w)) {
            l->setCurrentRow(index); // LBN_SELCHANGE through the list's signal
        } else if (auto* c = qobject_cast<QComboBox*>(w)) {
            {
                const QSignalBlocker block(c);
                c->setCurrentIndex(index);
            }
            boundary([h] { notify_command(h, CBN_SELCHANGE); });
        } else if (o->control == ui_control_kind::list_view) {
            boundary([h, index] { list_view_select(h, index); });
        }
    });
}

void double_click_item(HWND dialog, int id, int index)
{
    HWND h = GetDlgItem(dialog, id);
    invoke([&] {
        ui_window_object* o = lookup(h);
        if (!o) return;
        if (auto* l = qobject_cast<QListWidget*>(o->widget.data())) {
            l->setCurrentRow(index);
            boundary([h] { notify_command(h, LBN_DBLCLK); });
        } else if (o->control == ui_control_kind::list_view) {
            boundary([h, index] { list_view_double_click(h, index); });
        }
    });
}

void drop_down(HWND dialog, int id)
{
    HWND h = GetDlgItem(dialog, id);
    invoke([&] { boundary([h] { notify_command(h, CBN_DROPDOWN); }); });
}

void focus(HWND dialog, int id)
{
    HWND h = GetDlgItem(dialog, id);
    invoke([&] {
        ui_window_object* o = lookup(h);
        if (!o || !o->widget) return;
        o->widget->setFocus(Qt::OtherFocusReason);
        // Without an active window no focus event comes: send what it would.
        if (!o->widget->hasFocus() && o->control == ui_control_kind::edit)
            boundary([h] { notify_command(h, EN_SETFOCUS); });
    });
}

void key_help(HWND window)
{
    invoke([&] { boundary([window] { dispatch(window, WM_HELP, 0, 0); }); });
}

void set_list_view_check(HWND dialog, int id, int index, bool checked)
{
    HWND h = GetDlgItem(dialog, id);
    invoke([&] { boundary([h, index, checked] { list_view_user_check(h, index, checked); }); });
}

void pump(int ms) { ui_pump_events(ms); }

} // namespace ui_automation
