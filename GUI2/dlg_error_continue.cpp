#include "GUI2/dlg_error_continue.h"

#include "GUI2/dlg_error_ex.h"
#include "TK/tk_logger.h"

namespace {

constexpr int k_error_icon = IDI_HAND; // the system's stop sign, from the desktop's theme

const ui_dialog_resource g_dialog(
    115,
    {L"Error",
     260,
     110,
     {
         ui_rc::icon(k_error_icon, -1, 10, 10),
         ui_rc::ltext(L"", dlg_error_continue_base::k_text, 40, 10, 210, 55),
         ui_rc::checkbox(L"&Do not show this dialog box again", dlg_error_continue_base::k_dont_show, 40, 70, 210, 10),
         ui_rc::defpushbutton(L"Continue", dlg_error_continue_base::k_continue, 120, 88, 60, 14),
         ui_rc::pushbutton(L"Abort", dlg_error_continue_base::k_abort, 190, 88, 60, 14),
     }});

} // namespace

dlg_error_continue_base::dlg_error_continue_base(int id, const std::wstring& text) : ui_dialog(id), text_(text)
{
    tk_logger::log(1, "dlg_error_continue::ctor");
}

bool dlg_error_continue_base::ProcessWindowMessage(HWND, UINT uMsg, WPARAM wParam, LPARAM, LRESULT& lResult)
{
    if (uMsg == WM_INITDIALOG) {
        tk_logger::log(1, "dlg_error_continue::on_init");
        SetWindowText(error_dialog_caption());
        SetDlgItemText(k_text, text_);
        CenterWindow();
        BringWindowToTop();
        lResult = TRUE;
        return true;
    }
    if (uMsg != WM_COMMAND || HIWORD(wParam) != BN_CLICKED) return false;
    switch (LOWORD(wParam)) {
    case k_abort:
        EndDialog(k_abort);
        return true;
    case k_continue:
        EndDialog(k_continue);
        return true;
    case k_dont_show: {
        const UINT now = IsDlgButtonChecked(k_dont_show) == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED;
        CheckDlgButton(k_dont_show, now);
        dont_show_ = now == BST_CHECKED;
        return true;
    }
    default:
        return false;
    }
}
