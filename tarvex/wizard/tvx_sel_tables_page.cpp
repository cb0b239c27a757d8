#include "tarvex/wizard/tvx_sel_tables_page.h"

#include "TK/tk_logger.h"
#include "common/types_map_dlg.h"
#include "tarvex/error_handler.h"

tvx_sel_tables_page::tvx_sel_tables_page()
    : sel_tables_page_ex(false, L"There are no tables selected. Continue anyway?")
{}

bool tvx_sel_tables_page::page_init()
{
    SetDlgItemText(IDC_INFO,
                   L"Select MS SQL tables to convert into Oracle format. Double click on an item in\r\n"
                   L"'Selected tables' list to edit it.");
    SetDlgItemText(IDC_AVAILABLE_LABEL, L"&Available tables:");
    SetDlgItemText(IDC_SELECTED_LABEL, L"&Selected tables:");
    tarvex_convertor& driver = tarvex_convertor::ref();
    names.clear();
    try {
        driver.get_all_tables(names);
    } catch (const tk_exception& e) {
        // The page still opens: its queries and the way back stay usable.
        names.clear();
        wizard_shell::error(std::string(e.what()));
    }
    do_page_init();
    show_ctrl(IDC_ADD_QUERY, true);
    selected_queries.clear();
    unselected_queries.clear();
    load_selection(driver.selected_queries);
    // Tables chosen earlier (a previous visit, a loaded profile) stay chosen.
    for (const auto& table : driver.selected_tables) {
        const int at = find_table(IDC_AVAILABLE, table);
        if (at >= 0) move_to_selected(at);
    }
    load_available(driver.available_queries);
    std::vector<std::wstring> wanted = driver.selected_tables;
    for (const auto& [name, text] : driver.selected_queries)
        if (text.empty()) wanted.push_back(name);
    if (!names.empty()) report_missing(wanted);
    // The hints are about the source giving no table at all, not about every
    // table having been selected already.
    // Each hint stands on its own: the second one holds whether or not the first was given.
    if (names.empty() && driver.is_view_owned())
        wizard_shell::message(
            L"There are no tables available for the user specified. Try to uncheck 'View tables "
            L"owned by the user' checkbox on 'Step 3 of 5' wizard page.");
    if (names.empty() && !driver.is_connect_as_dbo())
        wizard_shell::message(
            L"There are no tables available for the user specified. Try to connect as "
            L"database owner using the appropriate checkbox on 'Step 1 of 5' wizard page.");
    return true;
}

int tvx_sel_tables_page::on_next()
{
    if (SendDlgItemMessage(IDC_AVAILABLE, LB_GETCOUNT) > 0 && SendDlgItemMessage(IDC_SELECTED, LB_GETCOUNT) == 0 &&
        !confirmation.empty() && !wizard_shell::question(confirmation, MB_DEFBUTTON2))
        return -1;
    store_selection();
    return progress_page;
}

int tvx_sel_tables_page::on_back()
{
    store_selection();
    return 0;
}

void tvx_sel_tables_page::store_selection()
{
    names.clear();
    for (const auto& name : items(IDC_SELECTED))
        if (!is_query(name)) names.push_back(name);
    tarvex_convertor& driver = tarvex_convertor::ref();
    driver.selected_tables = names;
    driver.selected_queries = selected_queries;
    driver.available_queries = unselected_queries;
}

void tvx_sel_tables_page::report_missing(const std::vector<std::wstring>& wanted)
{
    std::wstring missing;
    for (const auto& name : wanted) {
        if (find_table(IDC_SELECTED, name) >= 0 || is_query(name)) continue;
        missing += L"\n    " + name;
    }
    if (missing.empty()) return;
    std::wstring text =
        L"These tables of the selection are not in the source database's list and will not be "
        L"converted:" +
        missing;
    if (tarvex_convertor::ref().is_view_owned())
        text +=
            L"\n\nThe list shows only the tables owned by the user: to see the others, uncheck 'View tables "
            L"owned by the user' on 'Step 3 of 5' wizard page.";
    wizard_shell::message(text);
}

void tvx_sel_tables_page::on_help() { wizard_shell::display_help(help_topic); }

void tvx_sel_tables_page::show_type_mapping(const std::wstring& name)
{
    tk_logger::log(2, "Ready for types mapping");
    types_map_dlg<tarvex_convertor, map_help_topic> dlg(tarvex_convertor::ref(), name);
    try {
        dlg.run(GetActiveWindow());
    } catch (const tk_exception& e) {
        try {
            error_handler::ref().handle(e, true);
        } catch (const tk_final_exception&) {}
    }
}
