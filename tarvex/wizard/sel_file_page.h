// Step 3 of the wizard: the source database, the trace log file and the
// conversion options. The wizard goes on only when the database exists.
#pragma once
#include "GUI2/wizard_page.h"

class sel_file_page : public wizard_page<106, 3, 0x20> {
public:
    static constexpr int ctl_database = 1302;
    static constexpr int ctl_log_file = 1005;
    static constexpr int ctl_browse = 1105;
    static constexpr int ctl_overwrite = 1329; // merge 1330, skip 1331: the mode's number added
    static constexpr int ctl_skip = 1331;
    static constexpr int ctl_view_owned = 1203;
    static constexpr int ctl_definitions_only = 1228;
    static constexpr int ctl_skip_indexes = 1226;
    static constexpr int ctl_uppercase = 1202;
    static constexpr int max_text = 260;

    sel_file_page();

    bool page_init() override;
    int on_next() override;
    int on_back() override;
    void on_help() override;
    bool ProcessWindowMessage(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam, LRESULT& result) override;

    void on_dropdown();
    void on_sel_change();
    void on_browse();
    // The page's values into the driver; a log file the driver refuses raises.
    void store_file_info();

    bool is_list_filled() const { return list_filled; }

private:
    // Empties the tables and queries chosen for the previous database.
    static void clear_selection(class tarvex_convertor& conv);
    // Stores, and reports a refused log file; false keeps the user on the page.
    bool store_checked();

    HWND combo = nullptr;
    bool list_filled = false;
};
