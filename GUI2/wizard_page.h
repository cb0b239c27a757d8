// Base of every wizard page: binds the page to its dialog resource, the wizard
// buttons it shows and its page flags, and turns the sheet's notifications into
// a few virtual operations.
#pragma once
#include "platform/ui/ui.h"

class wizard_page_base : public ui_property_page {
public:
    // id: dialog resource; buttons: PSWIZB_* posted on activation; flags: PSP_*.
    wizard_page_base(int id, DWORD buttons, DWORD flags);
    ~wizard_page_base() override;

    // Routes WM_NOTIFY to the operations below. A derived page handles its own
    // messages (WM_COMMAND, notifications of its controls) first and passes the
    // rest here.
    bool ProcessWindowMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult) override;

    // Each activation, after the framework's own work; false skips the page.
    virtual bool page_init() { return true; }
    // False keeps the page on screen.
    virtual bool on_kill_active() { return true; }
    // False refuses Finish.
    virtual bool on_wizard_finish() { return true; }
    virtual void on_help() {}
    // 0: the next page; -1: stay; a dialog id: that page.
    virtual int on_next() { return 0; }
    virtual int on_back() { return 0; }
    // True lets the wizard close; by default the user is asked.
    virtual bool on_cancel();

    BOOL OnSetActive();
    // Flips the check box and answers its new state (1 checked, 0 not).
    int invert_chbox(int id);
    void show_ctrl(int id, bool show);

    int dialog_id() const { return m_psp.pszTemplate; }
    DWORD wizard_buttons() const { return buttons_; }

protected:
    HFONT m_font = nullptr; // a font the page made for itself; deleted with the page

private:
    DWORD buttons_;
};

template <int ID, DWORD BTN, DWORD FLAGS>
class wizard_page : public wizard_page_base {
public:
    enum { IDD = ID };
    wizard_page() : wizard_page_base(ID, BTN, FLAGS) {}
};
