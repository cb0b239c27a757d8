// The Continue/Abort dialog of errors the user may go on from, with its
// "Do not show this dialog box again" check box.
#pragma once
#include <string>

#include "platform/ui/ui.h"

class dlg_error_continue_base : public ui_dialog {
public:
    static constexpr int k_text = 1320;
    static constexpr int k_abort = IDOK;        // 1
    static constexpr int k_continue = IDCANCEL; // 2, also the Escape key
    static constexpr int k_dont_show = 1222;

    dlg_error_continue_base(int id, const std::wstring& text);
    bool ProcessWindowMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult) override;

    bool dont_show_again() const { return dont_show_; }

private:
    std::wstring text_;
    bool dont_show_ = false;
};

template <int ID>
class dlg_error_continue : public dlg_error_continue_base {
public:
    enum { IDD = ID };
    explicit dlg_error_continue(const std::wstring& text) : dlg_error_continue_base(ID, text) {}
};
