#include "platform/ui/ui_dialog.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QKeyEvent>
#include <QPointer>

#include "platform/ui/ui_module.h"
#include "platform/ui/ui_window_object.h"

using namespace ui_detail;

namespace {

// Escape, Enter without a default button and the close box become the
// commands the dialog manager sends; the dialog ends only through EndDialog.
class dialog_widget : public QDialog {
public:
    using QDialog::QDialog;

    void reject() override { command(IDCANCEL); }
    void accept() override { command(IDOK); }

protected:
    void closeEvent(QCloseEvent* e) override
    {
        e->ignore();
        if (HWND h = handle_of(this)) boundary([h] { dispatch(h, WM_CLOSE, 0, 0); });
    }
    void keyPressEvent(QKeyEvent* e) override
    {
        if (e->key() == Qt::Key_F1) {
            if (HWND h = handle_of(this)) boundary([h] { dispatch(h, WM_HELP, 0, 0); });
            return;
        }
        QDialog::keyPressEvent(e);
    }

private:
    void command(int id)
    {
        if (HWND h = handle_of(this))
            boundary([h, id] { dispatch(h, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(id), BN_CLICKED), 0); });
    }
};

std::vector<HWND>& modal_stack()
{
    static std::vector<HWND> stack; // user-interface thread only
    return stack;
}

QWidget* owner_widget(HWND owner)
{
    ui_window_object* o = lookup(owner);
    return (o && o->widget) ? o->widget->window() : nullptr;
}

HWND create_dialog(ui_dialog* self, HWND owner, LPARAM init_param, bool modal)
{
    auto t = ui_find_dialog(self->template_id());
    if (!t) return nullptr;
    if (!owner && modal) owner = GetActiveWindow();
    auto* d = new dialog_widget(owner_widget(owner));
    d->setWindowTitle(qstr(t->caption));
    d->setFixedSize(dlu_x(t->cx), dlu_y(t->cy));
    if (modal) d->setWindowModality(Qt::ApplicationModal);
    auto obj = std::make_unique<ui_window_object>();
    obj->kind = ui_window_kind::dialog;
    obj->id = self->template_id();
    obj->widget = d;
    obj->parent = lookup(owner) ? owner : nullptr;
    obj->target = self;
    obj->wrapper = self;
    obj->text = t->caption;
    obj->modal = modal;
    HWND h = register_window(std::move(obj));
    self->m_hWnd = h;
    build_controls(h, d, *t);
    dispatch(h, WM_INITDIALOG, 0, init_param);
    return h;
}

} // namespace

namespace ui_detail {

void push_modal(HWND h) { modal_stack().push_back(h); }

void pop_modal(HWND h)
{
    auto& s = modal_stack();
    s.erase(std::remove(s.begin(), s.end(), h), s.end());
}

void force_end_modal(HWND h)
{
    ui_window_object* o = lookup(h);
    if (!o) return;
    if (o->kind == ui_window_kind::sheet) {
        sheet_force_close(h, 0);
        return;
    }
    o->result = IDCANCEL;
    o->end_requested = true;
    if (o->in_loop) {
        if (auto* d = qobject_cast<QDialog*>(o->widget.data())) d->QDialog::done(0);
    }
}

} // namespace ui_detail

HWND GetActiveWindow()
{
    HWND h = nullptr;
    invoke([&] {
        auto& s = modal_stack();
        for (auto it = s.rbegin(); it != s.rend(); ++it) {
            if (lookup(*it)) {
                h = *it;
                return;
            }
        }
        h = handle_of(QApplication::activeWindow());
    });
    return h;
}

ui_dialog::~ui_dialog()
{
    try {
        invoke([this] {
            if (lookup(m_hWnd)) {
                ui_window_object* o = lookup(m_hWnd);
                o->target = nullptr;
                o->wrapper = nullptr;
                destroy_window(m_hWnd, true);
            }
        });
    } catch (...) {}
    m_hWnd = nullptr;
}

INT_PTR ui_dialog::DoModal(HWND owner, LPARAM init_param)
{
    INT_PTR result = -1;
    invoke([&] {
        HWND h = create_dialog(this, owner, init_param, true);
        ui_window_object* o = lookup(h);
        if (!o) return;
        if (!o->end_requested) {
            o->in_loop = true;
            push_modal(h);
            schedule_modal_handler(h);
            static_cast<QDialog*>(o->widget.data())->exec();
            pop_modal(h);
            o = lookup(h);
        }
        QPointer<QWidget> owner_window = o && o->widget ? o->widget->parentWidget() : nullptr;
        if (o) {
            o->in_loop = false;
            result = o->result;
            destroy_window(h, true);
        }
        // As when a modal dialog ends on Windows: its owner gets the keyboard back.
        if (owner_window && owner_window->isVisible()) owner_window->activateWindow();
    });
    return result;
}

HWND ui_dialog::Create(HWND owner, LPARAM init_param)
{
    HWND h = nullptr;
    invoke([&] {
        h = create_dialog(this, owner, init_param, false);
        if (ui_window_object* o = lookup(h); o && !o->end_requested) o->widget->show();
    });
    return h;
}

BOOL ui_dialog::EndDialog(INT_PTR result)
{
    BOOL ok = FALSE;
    invoke([&] {
        ui_window_object* o = lookup(m_hWnd);
        if (!o) return;
        o->result = result;
        o->end_requested = true;
        if (o->in_loop) {
            if (auto* d = qobject_cast<QDialog*>(o->widget.data())) d->QDialog::done(0);
        } else if (!o->modal && o->widget) {
            o->widget->hide();
        }
        ok = TRUE;
    });
    return ok;
}
