// The custom query dialog: a SELECT statement stored under a table name.
#pragma once
#include <string>

#include "platform/ui/ui.h"

class set_query_dlg : public ui_dialog {
public:
    static constexpr int IDD = 128;
    static constexpr int help_topic = 1022;

    // editing: the dialog changes a query the user made before, and says so in its caption.
    set_query_dlg(const std::wstring& name, const std::wstring& query, bool editing = false);

    bool ProcessWindowMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult) override;

    // Whether a query text passes: empty, or SELECT (any case) after leading blanks.
    static bool is_select(const std::wstring& text);

    // The dialog's result after OK.
    std::wstring name;
    std::wstring query;

private:
    bool editing_;
    void on_init();
    void on_test_query();
    void on_ok();
    void on_cancel();
};
