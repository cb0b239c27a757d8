// The Oracle connection page: host, port, user and password, read from and
// stored into the converter's settings. The service name is the page's own part.
#pragma once
#include <string>

#include "GUI2/wizard_page.h"
#include "TK/tk_logger.h"

template <class t_converter, int ID = 132, DWORD BTN = 3, DWORD FLAGS = 0x20>
class ora_settings_page2 : public wizard_page<ID, BTN, FLAGS> {
public:
    static constexpr int ctl_host = 1003;
    static constexpr int ctl_port = 1004;
    static constexpr int ctl_user = 1012;
    static constexpr int ctl_password = 1013;
    static constexpr int max_text = 260;

    bool page_init() override
    {
        tk_logger::log(2, "ora_settings_page2<t_converter>::page_init");
        t_converter& conv = t_converter::ref();
        this->SetDlgItemText(ctl_host, conv.oracle_host);
        this->SetDlgItemText(ctl_port, conv.oracle_port);
        this->SetDlgItemText(ctl_user, conv.oracle_user);
        this->SetDlgItemText(ctl_password, conv.oracle_password);
        return true;
    }

    virtual void store_settings()
    {
        tk_logger::log(2, "oracle_settings_page2<t_converter>::store_settings");
        t_converter::ref().store_oracle_settings(
            this->GetDlgItemText(ctl_host, max_text), this->GetDlgItemText(ctl_user, max_text),
            this->GetDlgItemText(ctl_password, max_text), this->GetDlgItemText(ctl_port, max_text));
    }
};
