#include "GUI2/wizard_page.h"

#include "GUI2/wizard_shell.h"
#include "TK/tk_exception.h"
#include "TK/tk_logger.h"

wizard_page_base::wizard_page_base(int id, DWORD buttons, DWORD flags) : ui_property_page(id), buttons_(buttons)
{
    m_psp.dwFlags |= flags | PSP_USECALLBACK;
}

wizard_page_base::~wizard_page_base()
{
    tk_logger::log(2, "wizard_page::dtor");
    if (IsWindow()) DestroyWindow();
    if (m_font) DeleteObject(m_font);
}

bool wizard_page_base::ProcessWindowMessage(HWND hWnd, UINT uMsg, WPARAM /*wParam*/, LPARAM lParam, LRESULT& lResult)
{
    if (uMsg != WM_NOTIFY) return false;
    const auto* hdr = reinterpret_cast<const NMHDR*>(lParam);
    lResult = 0;
    if (!hdr) return true;
    // Only the page itself and its sheet may drive the page.
    if (hdr->hwndFrom != hWnd && hdr->hwndFrom != ::GetParent(hWnd)) return true;
    switch (hdr->code) {
    case PSN_SETACTIVE:
        lResult = OnSetActive() ? 0 : -1;
        break;
    case PSN_KILLACTIVE:
        lResult = on_kill_active() ? 0 : 1;
        break;
    case PSN_HELP:
        on_help();
        break;
    case PSN_WIZBACK:
        lResult = on_back();
        break;
    case PSN_WIZNEXT:
        lResult = on_next();
        break;
    case PSN_WIZFINISH:
        lResult = on_wizard_finish() ? 0 : 1;
        break;
    case PSN_QUERYCANCEL:
        lResult = on_cancel() ? 0 : 1;
        break;
    default: // apply, reset, initial focus, accelerators, get object and the rest
        break;
    }
    return true;
}

BOOL wizard_page_base::OnSetActive()
{
    tk_logger::log(1, "wizard_page::OnSetActive");
    ::PostMessageW(GetParent(), PSM_SETWIZBUTTONS, 0, static_cast<LPARAM>(buttons_));
    if (wizard_shell* shell = wizard_shell::find()) {
        shell->first_show();
        shell->set_current_page(m_hWnd);
    }
    return page_init() ? TRUE : FALSE;
}

bool wizard_page_base::on_cancel()
{
    tk_logger::log(2, "wizard_page::on_cancel");
    return wizard_shell::question(L"Are you sure you want to exit the wizard?", MB_DEFBUTTON2);
}

int wizard_page_base::invert_chbox(int id)
{
    tk_logger::log(1, "wizard_page::invert_chbox(%d)", id);
    const UINT now = IsDlgButtonChecked(id) == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED;
    if (!CheckDlgButton(id, now)) throw tk_mail_assertion("..\\GUI2/g_wiz_pg", 123);
    return now == BST_CHECKED ? 1 : 0;
}

void wizard_page_base::show_ctrl(int id, bool show)
{
    tk_logger::log(1, "wizard_page::show_ctrl(%d=%d)", id, show ? 1 : 0);
    ::ShowWindow(GetDlgItem(id), show ? SW_SHOW : SW_HIDE);
}
