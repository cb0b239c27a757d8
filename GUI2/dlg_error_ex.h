// The internal-error dialog: the text, OK, "Copy to clipboard" and "Send bug".
#pragma once
#include <string>

#include "platform/ui/ui.h"

class dlg_error_ex_base : public ui_dialog {
public:
    static constexpr int k_text = 1320;
    static constexpr int k_copy = 1108;
    static constexpr int k_send_bug = 1112;

    dlg_error_ex_base(int id, const std::wstring& text);
    // Answers the button that closed it: IDOK, 1108 (copied) or 1112 (sent).
    bool ProcessWindowMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult) override;

private:
    std::wstring text_;
};

template <int ID>
class dlg_error_ex : public dlg_error_ex_base {
public:
    enum { IDD = ID };
    explicit dlg_error_ex(const std::wstring& text) : dlg_error_ex_base(ID, text) {}
};

// "<shell caption> Error" once the wizard is on screen, else "Error".
std::wstring error_dialog_caption();
