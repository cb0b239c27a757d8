#include "tarvex/wizard/sel_file_page.h"

#include <algorithm>
#include <cwchar>
#include <vector>

#include "GUI2/file_dialog.h"
#include "GUI2/wizard_shell.h"
#include "TK/tk_logger.h"
#include "TK/tk_text.h"
#include "tarvex/error_handler.h"
#include "tarvex/tarvex_convertor.h"

namespace {

using namespace ui_rc;

const ui_dialog_resource dialog106(
    106,
    ui_dialog_template{
        L"",
        317,
        143,
        {
            ltext(L"Enter SQL Server database name and conversion settings. Drop down the combo box", -1, 7, 2, 300, 8),
            ltext(L"to see all available databases (you must have sufficient permissions).", -1, 7, 11, 300, 8),
            ltext(L"&MS SQL database:", -1, 7, 26, 80, 8),
            combobox(1302, 90, 24, 150, 100, CBS_DROPDOWN),
            ltext(L"&Logfile (leave blank to disable logging):", -1, 7, 42, 200, 8),
            edittext(1005, 7, 52, 240, 13),
            pushbutton(L"Browse...", 1105, 252, 52, 55, 14),
            groupbox(L" How to process existing tables: ", -1, 7, 70, 120, 58),
            radiobutton(L"&Overwrite", 1329, 15, 82, 100, 10),
            radiobutton(L"M&erge", 1330, 15, 96, 100, 10),
            radiobutton(L"&Skip", 1331, 15, 110, 100, 10),
            checkbox(L"&View tables owned by the user", 1203, 135, 74, 170, 10),
            checkbox(L"&Convert table definitions only", 1228, 135, 88, 170, 10),
            checkbox(L"S&kip converting indexes", 1226, 135, 102, 170, 10),
            checkbox(L"Make names &uppercase", 1202, 135, 116, 170, 10),
        }});

UINT check_of(bool value) { return value ? BST_CHECKED : BST_UNCHECKED; }

} // namespace

sel_file_page::sel_file_page()
{
    SetHeaderTitle(L"Step 3 of 5");
    SetHeaderSubTitle(L"Select SQL Server database");
}

bool sel_file_page::page_init()
{
    tk_logger::log(1, "sel_file_page::page_init");
    tarvex_convertor& conv = tarvex_convertor::ref();
    tk_logger::log(1, "view_owned=%d", conv.is_view_owned() ? 1 : 0);
    CheckDlgButton(ctl_view_owned, check_of(conv.is_view_owned()));
    CheckDlgButton(ctl_definitions_only, check_of(conv.tab_def));
    CheckDlgButton(ctl_skip_indexes, check_of(conv.skip_idx));
    CheckDlgButton(ctl_uppercase, check_of(conv.uppercase));
    if (!conv.log_file.empty()) SetDlgItemText(ctl_log_file, to_unicode(conv.log_file));
    if (!combo) {
        combo = GetDlgItem(ctl_database);
        ::SendMessageW(combo, CB_RESETCONTENT);
    }
    // A mode without a button of its own (a hand-edited value) shows none checked
    // and is kept as it is unless the user picks one.
    if (conv.mode <= 2)
        CheckRadioButton(ctl_overwrite, ctl_skip, ctl_overwrite + static_cast<int>(conv.mode));
    else
        for (int id = ctl_overwrite; id <= ctl_skip; ++id) CheckDlgButton(id, BST_UNCHECKED);
    if (!conv.src.empty()) ::SetWindowTextW(combo, conv.src.c_str());
    return true;
}

bool sel_file_page::ProcessWindowMessage(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam, LRESULT& result)
{
    if (msg == WM_COMMAND) {
        const int id = LOWORD(wparam);
        const WORD code = HIWORD(wparam);
        if (id == ctl_database && code == CBN_DROPDOWN) {
            on_dropdown();
            result = 0;
            return true;
        }
        if (id == ctl_database && code == CBN_SELCHANGE) {
            on_sel_change();
            result = 0;
            return true;
        }
        if (code == BN_CLICKED) {
            switch (id) {
            case ctl_browse:
                on_browse();
                result = 0;
                return true;
            case ctl_view_owned:
            case ctl_definitions_only:
            case ctl_skip_indexes:
            case ctl_uppercase:
                invert_chbox(id);
                result = 0;
                return true;
            case ctl_overwrite:
            case ctl_overwrite + 1:
            case ctl_skip:
                CheckRadioButton(ctl_overwrite, ctl_skip, id);
                result = 0;
                return true;
            default:
                break;
            }
        }
    }
    return wizard_page::ProcessWindowMessage(hwnd, msg, wparam, lparam, result);
}

void sel_file_page::on_dropdown()
{
    tk_logger::log(1, "sel_file_page::on_dropdown");
    tarvex_convertor& conv = tarvex_convertor::ref();
    if (!list_filled) {
        try {
            std::vector<std::wstring> names;
            conv.get_contents(names);
            for (const auto& name : names)
                ::SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
            list_filled = true;
        } catch (const tk_exception& e) {
            // Tried again at the next drop-down.
            wizard_shell::error(std::string(e.what()));
        }
    }
    if (!conv.src.empty()) {
        const LRESULT index = ::SendMessageW(combo, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                             reinterpret_cast<LPARAM>(conv.src.c_str()));
        if (index != CB_ERR) ::SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(index));
    }
}

void sel_file_page::on_sel_change()
{
    tk_logger::log(1, "sel_file_page::on_sel_change");
    tarvex_convertor& conv = tarvex_convertor::ref();
    // Choosing the database the tables were chosen for again keeps them (Back, then the list).
    const LRESULT at = SendDlgItemMessage(ctl_database, CB_GETCURSEL);
    std::wstring chosen;
    if (at != CB_ERR) {
        const LRESULT len = SendDlgItemMessage(ctl_database, CB_GETLBTEXTLEN, static_cast<WPARAM>(at));
        chosen.assign(static_cast<size_t>(std::max<LRESULT>(len, 0)) + 1, L'\0');
        SendDlgItemMessage(ctl_database, CB_GETLBTEXT, static_cast<WPARAM>(at),
                           reinterpret_cast<LPARAM>(chosen.data()));
        chosen.resize(std::wcslen(chosen.c_str()));
    }
    if (!chosen.empty() && tk_compare_no_case(to_utf8(chosen), to_utf8(conv.src)) == 0) return;
    clear_selection(conv);
}

void sel_file_page::clear_selection(tarvex_convertor& conv)
{
    conv.selected_tables.clear();
    conv.selected_queries.clear();
    conv.selected_views.clear();
    conv.available_queries.clear();
}

void sel_file_page::on_browse()
{
    std::wstring filter = L"Log Files (.log)|*.log|All Files (*.*)|*.*|";
    for (auto& c : filter)
        if (c == L'|') c = L'\0';
    // A log is most often a new file: a name that does not exist yet is taken.
    open_file_dialog dialog(m_hWnd, std::make_pair(filter, std::wstring(L"Select Log File")),
                            GetDlgItemText(ctl_log_file, max_text), false);
    if (dialog.show()) SetDlgItemText(ctl_log_file, dialog.get_path());
}

void sel_file_page::store_file_info()
{
    tk_logger::log(1, "sel_file_page::store_file_info");
    tarvex_convertor& conv = tarvex_convertor::ref();
    conv.set_view_owned(IsDlgButtonChecked(ctl_view_owned) == BST_CHECKED);
    conv.tab_def = IsDlgButtonChecked(ctl_definitions_only) == BST_CHECKED;
    conv.skip_idx = IsDlgButtonChecked(ctl_skip_indexes) == BST_CHECKED;
    conv.uppercase = IsDlgButtonChecked(ctl_uppercase) == BST_CHECKED;
    if (combo && ::IsWindow(combo)) {
        std::wstring text = CWindow(combo).GetWindowText();
        if (text.size() > static_cast<size_t>(max_text)) text.resize(static_cast<size_t>(max_text));
        tk_logger::log(1, L"text=%s", text.c_str());
        // A name typed over another database's must not keep that database's tables.
        if (tk_compare_no_case(to_utf8(text), to_utf8(conv.src)) != 0) clear_selection(conv);
        conv.src = text;
    } else {
        tk_logger::log(2, "Failed to exract text of selected item");
        conv.src.clear();
    }
    for (int id = ctl_overwrite; id <= ctl_skip; ++id)
        if (IsDlgButtonChecked(id) == BST_CHECKED) {
            conv.mode = static_cast<uint32_t>(id - ctl_overwrite);
            break;
        }
    conv.set_logfile(to_ansi(GetDlgItemText(ctl_log_file, max_text)));
}

bool sel_file_page::store_checked()
{
    try {
        store_file_info();
        return true;
    } catch (const tk_exception& e) {
        // A log file that cannot be written: said here, and the user corrects it.
        wizard_shell::error(std::string(e.what()));
        return false;
    }
}

int sel_file_page::on_next()
{
    tk_logger::log(1, "sel_file_page::on_next");
    tarvex_convertor& conv = tarvex_convertor::ref();
    tk_logger::log(1, "mssql_server.b_view_owned=%d", conv.is_view_owned() ? 1 : 0);
    if (!store_checked()) return -1;
    if (conv.src.empty()) {
        wizard_shell::message(std::wstring(L"You should enter MS SQL database name"));
        return -1;
    }
    try {
        if (conv.mssql_server.is_db_exist(conv.src)) return 0;
    } catch (const tk_exception& e) {
        error_handler* h = error_handler::find();
        wizard_shell::error(h ? h->get_text(e) : std::string(e.what()));
        return -1;
    }
    wizard_shell::message(std::wstring(L"MS SQL database does not exist"));
    return -1;
}

int sel_file_page::on_back() { return store_checked() ? 0 : -1; }

void sel_file_page::on_help() { wizard_shell::display_help(1016); }
