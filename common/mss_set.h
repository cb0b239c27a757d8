// The SQL Server connection page: server, authentication, login and the
// database-owner choice, read from and stored into the converter's settings.
#pragma once
#include <string>

#include "GUI2/wizard_page.h"
#include "TK/tk_logger.h"

template <class t_converter, int ID = 118, DWORD BTN = 3, DWORD FLAGS = 0x20>
class mss_settings_page : public wizard_page<ID, BTN, FLAGS> {
    using base = wizard_page<ID, BTN, FLAGS>;

public:
    static constexpr int ctl_server = 1014;
    static constexpr int ctl_login = 1012;
    static constexpr int ctl_password = 1013;
    static constexpr int ctl_windows_auth = 1329;
    static constexpr int ctl_sql_auth = 1330;
    static constexpr int ctl_as_dbo = 1202;
    static constexpr int max_text = 260;

    bool page_init() override
    {
        tk_logger::log(1, "mssql_settings_page::page_init");
        t_converter& conv = t_converter::ref();
        this->SetDlgItemText(ctl_server, conv.mssql_host);
        this->SetDlgItemText(ctl_login, conv.mssql_user);
        this->SetDlgItemText(ctl_password, conv.mssql_password);
        if (conv.windows_auth)
            on_windows_auth();
        else
            on_sql_auth();
        this->CheckDlgButton(ctl_as_dbo, conv.is_connect_as_dbo() ? BST_CHECKED : BST_UNCHECKED);
        return true;
    }

    bool ProcessWindowMessage(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam, LRESULT& result) override
    {
        if (msg == WM_COMMAND && HIWORD(wparam) == BN_CLICKED) {
            switch (LOWORD(wparam)) {
            case ctl_windows_auth:
                on_windows_auth();
                result = 0;
                return true;
            case ctl_sql_auth:
                on_sql_auth();
                result = 0;
                return true;
            case ctl_as_dbo:
                this->invert_chbox(ctl_as_dbo);
                result = 0;
                return true;
            default:
                break;
            }
        }
        return base::ProcessWindowMessage(hwnd, msg, wparam, lparam, result);
    }

    // The page's values into the converter.
    void store()
    {
        t_converter& conv = t_converter::ref();
        conv.windows_auth = this->IsDlgButtonChecked(ctl_windows_auth) == BST_CHECKED;
        conv.store_mssql_settings(this->GetDlgItemText(ctl_server, max_text), this->GetDlgItemText(ctl_login, max_text),
                                  this->GetDlgItemText(ctl_password, max_text));
        const bool as_dbo = this->IsDlgButtonChecked(ctl_as_dbo) == BST_CHECKED;
        conv.set_as_dbo(as_dbo);
    }

protected:
    // Windows authentication needs no login: the boxes keep their texts, greyed out.
    void on_windows_auth()
    {
        this->CheckRadioButton(ctl_windows_auth, ctl_sql_auth, ctl_windows_auth);
        enable_login(false);
    }
    void on_sql_auth()
    {
        this->CheckRadioButton(ctl_windows_auth, ctl_sql_auth, ctl_sql_auth);
        enable_login(true);
    }
    void enable_login(bool enable)
    {
        ::EnableWindow(this->GetDlgItem(ctl_login), enable ? TRUE : FALSE);
        ::EnableWindow(this->GetDlgItem(ctl_password), enable ? TRUE : FALSE);
    }
};
