#include "tests/tarvex/wizard/wizard_tour.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <map>

#include "GUI2/dlg_error_continue.h"
#include "GUI2/dlg_error_ex.h"
#include "tarvex/mapping_type_files.h"
#include "tarvex/wizard/connect_worker.h"
#include "tarvex/wizard/finish_page.h"
#include "tarvex/wizard/mssql_settings_page.h"
#include "tarvex/wizard/oracle_settings_page.h"
#include "tarvex/wizard/progress_page.h"
#include "tarvex/wizard/sel_file_page.h"
#include "tarvex/wizard/tvx_sel_tables_page.h"
#include "tarvex/wizard/welcome_page.h"

namespace {

int index_ending_with(HWND dialog, int id, const std::wstring& tail)
{
    const LRESULT n = SendDlgItemMessageW(dialog, id, LB_GETCOUNT);
    for (LRESULT k = 0; k < n; ++k) {
        std::wstring text(static_cast<size_t>(SendDlgItemMessageW(dialog, id, LB_GETTEXTLEN, k)) + 1, L'\0');
        SendDlgItemMessageW(dialog, id, LB_GETTEXT, k, reinterpret_cast<LPARAM>(text.data()));
        text.resize(wcslen(text.c_str()));
        if (text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0)
            return static_cast<int>(k);
    }
    return -1;
}

} // namespace

bool run_wizard_tour(wizard_env& env, const std::function<void(const wizard_tour_visit&)>& visit)
{
    const char* root = std::getenv("TVX_TEST_DATA");
    env.servers.create_database("gadgets");
    env.servers.load_file("gadgets", std::string(root ? root : "tests/data") + "/tarvex/gadgets.sql");
    env.servers.create_user("scott", "tiger");
    // The type lists of the mapping dialog, from the sources.
    mapping_type_files::set_folder(std::string(root ? root : "tests/data") + "/../../common");
    struct folder_reset {
        ~folder_reset() { mapping_type_files::set_folder(""); }
    } reset_folder;
    auto page = [&](const char* name, HWND h) { visit(wizard_tour_visit{name, h, env.shell().m_hWnd, true}); };
    auto dialog = [&](const char* name, HWND h) { visit(wizard_tour_visit{name, h, nullptr, false}); };
    // Each modal loop is served by what the tour does with its dialog, found by the
    // dialog's template: a wait animation whose worker ends before its loop starts
    // runs no loop, and the handler queued for it serves the next one.
    std::map<int, std::function<void(HWND)>> on_dialog;
    auto expect_modal = [&on_dialog](int id, std::function<void(HWND)> act) {
        on_dialog[id] = std::move(act);
        ui_automation::queue_modal([&on_dialog](HWND h) {
            const auto it = on_dialog.find(GetDlgCtrlID(h));
            if (it != on_dialog.end()) it->second(h);
        });
    };

    // The error dialogs, before the sheet (as at start-up) with a long text.
    const std::wstring long_text =
        L"ORA-12541: TNS:no listener. The Oracle server named in the connection "
        L"settings does not answer on the port given; check the host and the port.";
    expect_modal(114, [&](HWND h) {
        dialog("internal_error", h);
        ui_automation::click(h, IDOK);
    });
    dlg_error_ex<114>(long_text).DoModal(nullptr);
    expect_modal(115, [&](HWND h) {
        dialog("continue_or_abort", h);
        ui_automation::click(h, 2);
    });
    dlg_error_continue<115>(long_text).DoModal(nullptr);

    welcome_page welcome;
    welcome.set_profile_ext(L"tvx");
    mssql_settings_page mss;
    oracle_settings_page ora;
    sel_file_page db;
    tvx_sel_tables_page tables;
    tables.SetHeaderTitle(L"Step 4 of 5");
    tables.SetHeaderSubTitle(L"Select tables to convert");
    progress_page progress;
    finish_page finish(
        L"Wizard has migrated your MS SQL database to\nOracle server successfully.\n\n"
        L"Click 'Finish' to exit the wizard.",
        L"There were some errors while converting the database.\nClick 'Finish' to exit the wizard.");
    finish.set_profile_ext(L"tvx");
    env.show({&welcome, &mss, &ora, &db, &tables, &progress, &finish});
    EXPECT_EQ(env.active_page(), welcome.m_hWnd);
    if (env.active_page() != welcome.m_hWnd) return false;
    page("welcome", welcome);

    env.press(PSBTN_NEXT);
    EXPECT_EQ(env.active_page(), mss.m_hWnd);
    if (env.active_page() != mss.m_hWnd) return false;
    ui_automation::set_text(mss, 1014, w(env.file_url(env.servers.mss_dir())));
    ui_automation::click(mss, 1330);
    ui_automation::set_text(mss, 1012, L"sa");
    page("sql_server", mss);
    ui_automation::click(mss, 1329);
    bool animation_seen = false;
    expect_modal(101, [&](HWND h) {
        // Looked at once, while it is up; its worker closes it.
        if (!animation_seen && IsWindowVisible(h)) dialog("wait_animation", h);
        animation_seen = true;
        ui_pump_until([h] { return !IsWindowVisible(h); }, 60000);
    });
    env.press(PSBTN_NEXT);
    EXPECT_EQ(env.active_page(), ora.m_hWnd);
    if (env.active_page() != ora.m_hWnd) return false;

    ui_automation::set_text(ora, 1003, w(env.file_url(env.servers.ora_dir())));
    ui_automation::set_text(ora, 1014, L"ORCL");
    ui_automation::set_text(ora, 1012, L"scott");
    ui_automation::set_text(ora, 1013, L"tiger");
    page("oracle", ora);
    expect_modal(101, on_dialog[101]);
    env.press(PSBTN_NEXT);
    EXPECT_EQ(env.active_page(), db.m_hWnd);
    if (env.active_page() != db.m_hWnd) return false;
    if (!animation_seen) {
        // Both connections were made before their animations came up: one is shown here.
        connect_animation animation(L"Connecting to MS SQL server.\nPlease wait...");
        expect_modal(101, [&](HWND h) {
            dialog("wait_animation", h);
            animation.close();
        });
        animation.DoModal(nullptr);
    }

    ui_automation::drop_down(db, 1302);
    ui_automation::set_text(db, 1302, L"gadgets");
    if (IsDlgButtonChecked(db, 1203) == BST_CHECKED) ui_automation::click(db, 1203);
    page("database", db);
    env.press(PSBTN_NEXT);
    EXPECT_EQ(env.active_page(), tables.m_hWnd);
    if (env.active_page() != tables.m_hWnd) return false;

    const int gadgets = index_ending_with(tables, tvx_sel_tables_page::IDC_AVAILABLE, L"[Gadgets]");
    EXPECT_GE(gadgets, 0);
    if (gadgets < 0) return false;
    ui_automation::select_item(tables, tvx_sel_tables_page::IDC_AVAILABLE, gadgets);
    ui_automation::click(tables, tvx_sel_tables_page::IDC_ADD);
    page("tables", tables);

    expect_modal(128, [&](HWND h) {
        ui_automation::set_text(h, 1019, L"Expensive");
        ui_automation::set_text(h, 1020, L"SELECT Name, Price FROM Gadgets WHERE Price > 100");
        dialog("custom_query", h);
        ui_automation::click(h, IDCANCEL);
    });
    ui_automation::click(tables, tvx_sel_tables_page::IDC_ADD_QUERY);

    expect_modal(135, [&](HWND h) {
        dialog("type_mapping", h);
        // The decimal column shows precision and scale in place of the length.
        ui_automation::select_item(h, 1316, 4);
        dialog("type_mapping_decimal", h);
        ui_automation::click(h, IDCANCEL);
    });
    ui_automation::double_click_item(tables, tvx_sel_tables_page::IDC_SELECTED, 0);

    // An error reported on the way: the finish page then shows its list.
    wizard_shell::add_error(
        "[dbo].[Gadgets], record #3: ORA-01438: value larger than specified precision allowed "
        "for this column");
    env.press(PSBTN_NEXT);
    // The run may be over already; the page is looked at either way.
    page("progress", progress);
    const bool finished = env.pump_until([&] { return finish.m_hWnd && env.active_page() == finish.m_hWnd; }, 120000);
    EXPECT_TRUE(finished);
    if (!finished) return false;
    page("finish", finish);
    env.press(PSBTN_FINISH);
    return true;
}
