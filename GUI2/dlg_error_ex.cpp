#include "GUI2/dlg_error_ex.h"

#include "GUI2/wizard_shell.h"
#include "TK/tk_clipboard.h"
#include "TK/tk_logger.h"
#include "TK/tk_send_bug.h"
#include "TK/tk_text.h"

namespace {

constexpr int k_error_icon = IDI_HAND; // the system's stop sign, from the desktop's theme

const ui_dialog_resource g_dialog(
    114, {L"Error",
          260,
          110,
          {
              ui_rc::icon(k_error_icon, -1, 10, 10),
              ui_rc::ltext(L"", dlg_error_ex_base::k_text, 40, 10, 210, 65),
              ui_rc::defpushbutton(L"Send bug", dlg_error_ex_base::k_send_bug, 10, 88, 70, 14),
              ui_rc::pushbutton(L"OK", IDOK, 95, 88, 70, 14),
              ui_rc::pushbutton(L"Copy to clipboard", dlg_error_ex_base::k_copy, 180, 88, 70, 14),
          }});

} // namespace

std::wstring error_dialog_caption()
{
    wizard_shell* shell = wizard_shell::find();
    if (shell && wizard_shell::is_initialized()) return shell->get_caption() + L" Error";
    return L"Error";
}

dlg_error_ex_base::dlg_error_ex_base(int id, const std::wstring& text) : ui_dialog(id), text_(text) {}

bool dlg_error_ex_base::ProcessWindowMessage(HWND, UINT uMsg, WPARAM wParam, LPARAM, LRESULT& lResult)
{
    if (uMsg == WM_INITDIALOG) {
        tk_logger::log(1, "dlg_error_ex::on_init");
        SetWindowText(error_dialog_caption());
        SetDlgItemText(k_text, text_);
        CenterWindow();
        BringWindowToTop();
        ::SetFocus(GetDlgItem(k_send_bug));
        lResult = FALSE;
        return true;
    }
    if (uMsg != WM_COMMAND || HIWORD(wParam) != BN_CLICKED) return false;
    switch (LOWORD(wParam)) {
    case IDOK:
        EndDialog(IDOK);
        return true;
    case k_copy:
        tk_copy_to_clipboard2(text_);
        EndDialog(k_copy);
        return true;
    case k_send_bug: {
        wizard_shell* shell = wizard_shell::find();
        const std::wstring subject = (shell && wizard_shell::is_initialized()) ? shell->get_caption() : L"";
        tk_send_bug(to_ansi(subject).c_str(), to_ansi(text_).c_str());
        EndDialog(k_send_bug);
        return true;
    }
    default:
        return false;
    }
}
