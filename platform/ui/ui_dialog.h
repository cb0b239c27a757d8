// Dialogs built from a registered dialog template (see ui_resources.h).
#pragma once
#include "platform/ui/ui_window.h"

// Base of every dialog: derive, override ProcessWindowMessage for WM_INITDIALOG
// and WM_COMMAND, and end the dialog with EndDialog.
class ui_dialog : public CWindow, public ui_message_target {
public:
    explicit ui_dialog(int template_id) : m_template_id(template_id) {}
    // Destroys the window if it still exists.
    ~ui_dialog() override;
    ui_dialog(const ui_dialog&) = delete;
    ui_dialog& operator=(const ui_dialog&) = delete;

    // Runs the dialog modally, owned by `owner` (null: the active window), and
    // answers the value given to EndDialog; -1 when the template is missing.
    // From a worker thread the dialog runs on the user-interface thread while the
    // caller waits. WM_INITDIALOG gets init_param as its lParam.
    INT_PTR DoModal(HWND owner = nullptr, LPARAM init_param = 0);
    // Creates the dialog modeless and shows it; null when the template is missing.
    HWND Create(HWND owner = nullptr, LPARAM init_param = 0);
    // Ends a modal dialog with the result (also before its loop has started:
    // the loop then returns at once). A modeless dialog is hidden.
    BOOL EndDialog(INT_PTR result);

    int template_id() const { return m_template_id; }

    // Unhandled by default: escape and the close box send WM_COMMAND IDCANCEL,
    // which does nothing unless the dialog handles it.
    bool ProcessWindowMessage(HWND, UINT, WPARAM, LPARAM, LRESULT&) override { return false; }

protected:
    int m_template_id;
};
