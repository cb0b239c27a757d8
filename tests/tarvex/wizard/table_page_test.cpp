// The table page and the custom query dialog, driven offscreen against the
// embedded servers: what the user picks must be what reaches the driver, and
// what a conversion then writes into Oracle.
#include <gtest/gtest.h>

#include <algorithm>

#include "../conversion_env.h"
#include "GUI2/wizard_page.h"
#include "GUI2/wizard_shell.h"
#include "TK/tk_text.h"
#include "platform/ui/ui.h"
#include "platform/ui/ui_automation.h"
#include "table_page_env.h"
#include "tarvex/wizard/set_query_dlg.h"
#include "tarvex/wizard/tvx_sel_tables_page.h"

using ui_automation::click;
using ui_automation::double_click_item;
using ui_automation::queue_modal;
using ui_automation::select_item;
using ui_automation::set_text;

namespace {

using pairs = std::vector<std::pair<std::wstring, std::wstring>>;

class table_page : public table_page_env {
protected:
    std::vector<std::wstring> available() { return page->items(tvx_sel_tables_page::IDC_AVAILABLE); }
    std::vector<std::wstring> selected() { return page->items(tvx_sel_tables_page::IDC_SELECTED); }
    int cursel(int id) { return static_cast<int>(SendDlgItemMessageW(*page, id, LB_GETCURSEL)); }

    // Answers the next query dialog with a name and a text, then OK.
    void answer_query(const std::wstring& name, const std::wstring& text)
    {
        queue_modal([name, text](HWND dlg) {
            set_text(dlg, 1019, name);
            set_text(dlg, 1020, text);
            click(dlg, IDOK);
        });
    }
};

} // namespace

TEST_F(table_page, lists_every_source_table_and_moves_them_one_by_one_or_all)
{
    open();
    EXPECT_EQ(available(), (std::vector<std::wstring>{L"[dbo].[Customers]", L"[dbo].[Items]", L"[dbo].[Orders]"}));
    EXPECT_TRUE(selected().empty());
    EXPECT_EQ(cursel(tvx_sel_tables_page::IDC_AVAILABLE), 0);
    EXPECT_TRUE(IsWindowVisible(GetDlgItem(*page, tvx_sel_tables_page::IDC_ADD_QUERY)));
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(*page, tvx_sel_tables_page::IDC_UP)));
    EXPECT_EQ(page->GetDlgItemText(tvx_sel_tables_page::IDC_AVAILABLE_LABEL), L"&Available tables:");

    // Add takes the selected entry and keeps the selection at its place.
    select_item(*page, tvx_sel_tables_page::IDC_AVAILABLE, 1);
    click(*page, tvx_sel_tables_page::IDC_ADD);
    EXPECT_EQ(selected(), std::vector<std::wstring>{L"[dbo].[Items]"});
    EXPECT_EQ(cursel(tvx_sel_tables_page::IDC_AVAILABLE), 1);
    // A double click adds too; past the end the last entry is selected.
    double_click_item(*page, tvx_sel_tables_page::IDC_AVAILABLE, 1);
    EXPECT_EQ(selected(), (std::vector<std::wstring>{L"[dbo].[Items]", L"[dbo].[Orders]"}));
    EXPECT_EQ(cursel(tvx_sel_tables_page::IDC_AVAILABLE), 0);
    click(*page, tvx_sel_tables_page::IDC_ADD);
    EXPECT_TRUE(available().empty());
    EXPECT_EQ(cursel(tvx_sel_tables_page::IDC_SELECTED), 0);

    select_item(*page, tvx_sel_tables_page::IDC_SELECTED, 2);
    click(*page, tvx_sel_tables_page::IDC_REMOVE);
    EXPECT_EQ(available(), std::vector<std::wstring>{L"[dbo].[Orders]"});
    EXPECT_EQ(cursel(tvx_sel_tables_page::IDC_SELECTED), 1);
    click(*page, tvx_sel_tables_page::IDC_REMOVE_ALL);
    EXPECT_EQ(available().size(), 3u);
    EXPECT_TRUE(selected().empty());
    click(*page, tvx_sel_tables_page::IDC_ADD_ALL);
    EXPECT_EQ(selected().size(), 3u);
    EXPECT_TRUE(available().empty());
}

TEST_F(table_page, next_hands_the_selection_to_the_driver_and_only_that_is_converted)
{
    open();
    select_item(*page, tvx_sel_tables_page::IDC_AVAILABLE, 2);
    click(*page, tvx_sel_tables_page::IDC_ADD);
    answer_query(L"BigCustomers", L"\r\n\t select Id, Name FROM dbo.Customers WHERE Big > 5");
    click(*page, tvx_sel_tables_page::IDC_ADD_QUERY);
    EXPECT_EQ(selected(), (std::vector<std::wstring>{L"[dbo].[Orders]", L"BigCustomers"}));

    EXPECT_EQ(next(), 107);
    EXPECT_EQ(driver->selected_tables, std::vector<std::wstring>{L"[dbo].[Orders]"});
    EXPECT_EQ(driver->selected_queries,
              (pairs{{L"BigCustomers", L"\r\n\t select Id, Name FROM dbo.Customers WHERE Big > 5"}}));
    EXPECT_TRUE(driver->available_queries.empty());

    convert();
    // A table keeps its owner as the Oracle schema; a query has none and goes to the user's.
    EXPECT_EQ(env.oracle_tables("dbo"), std::set<std::string>{"Orders"});
    EXPECT_EQ(env.oracle_tables("SCOTT"), std::set<std::string>{"BigCustomers"});
    expect_same_rows(env, db, "SELECT * FROM [dbo].[Orders]", "\"dbo\".\"Orders\"");
    expect_same_rows(env, db, "SELECT Id, Name FROM dbo.Customers WHERE Big > 5", "\"SCOTT\".\"BigCustomers\"");
}

TEST_F(table_page, the_query_dialog_refuses_what_cannot_be_a_query_and_keeps_the_input)
{
    open();
    std::vector<std::wstring> seen;
    queue_modal([&](HWND dlg) {
        click(dlg, IDOK); // empty name
        set_text(dlg, 1019, L"Q1");
        set_text(dlg, 1020, L"  UPDATE Items SET Qty = 0");
        click(dlg, IDOK);
        click(dlg, 129); // Test Query on a text that is not a SELECT
        set_text(dlg, 1020, L"   ");
        click(dlg, IDOK);
        set_text(dlg, 1020, L"");
        click(dlg, IDOK);
        set_text(dlg, 1020, L"SELECT * FROM NoSuchTable");
        click(dlg, 129);
        set_text(dlg, 1020, L"select Name from dbo.Items");
        click(dlg, 129);
        seen.push_back(GetWindowTextW_(dlg));
        click(dlg, IDCANCEL);
    });
    click(*page, tvx_sel_tables_page::IDC_ADD_QUERY);
    EXPECT_EQ(box_texts(), (std::vector<std::wstring>{
                               L"Table name is empty!",
                               L"The query must start with SELECT.",
                               L"The query must start with SELECT.",
                               L"The query must start with SELECT.",
                               L"Query is empty!",
                               L"The server refused the query:\n\nInvalid object name 'NoSuchTable'.\n\n"
                               L"Correct the query and test it again.",
                               L"The query is correct.",
                           }));
    EXPECT_EQ(seen, std::vector<std::wstring>{L"Add Query"});
    EXPECT_TRUE(selected().empty()); // Cancel adds nothing
    EXPECT_TRUE(set_query_dlg::is_select(L"\t\r\n select 1"));
    EXPECT_FALSE(set_query_dlg::is_select(L"SELEC"));
    EXPECT_TRUE(set_query_dlg::is_select(L""));
}

TEST_F(table_page, a_query_named_like_a_table_of_either_list_is_refused_and_asked_again)
{
    open();
    click(*page, tvx_sel_tables_page::IDC_ADD); // [dbo].[Customers]
    std::vector<std::pair<std::wstring, std::wstring>> shown_again;
    queue_modal([](HWND dlg) {
        set_text(dlg, 1019, L"[DBO].[customers]");
        set_text(dlg, 1020, L"SELECT 1");
        click(dlg, IDOK);
    });
    queue_modal([&](HWND dlg) {
        shown_again.emplace_back(GetDlgItemText_(dlg, 1019), GetDlgItemText_(dlg, 1020));
        set_text(dlg, 1019, L"Totals");
        click(dlg, IDOK);
    });
    click(*page, tvx_sel_tables_page::IDC_ADD_QUERY);
    ui_automation::pump(50); // the dialog comes back
    EXPECT_EQ(shown_again, (std::vector<std::pair<std::wstring, std::wstring>>{{L"[DBO].[customers]", L"SELECT 1"}}));
    EXPECT_EQ(box_texts(), std::vector<std::wstring>{L"Duplicate table name. Try again."});
    EXPECT_EQ(selected(), (std::vector<std::wstring>{L"[dbo].[Customers]", L"Totals"}));
    EXPECT_EQ(page->selected_queries, (pairs{{L"Totals", L"SELECT 1"}}));

    // A table still in the available list is taken too: both would become one Oracle table.
    queue_modal([](HWND dlg) {
        set_text(dlg, 1019, L"[dbo].[Items]");
        set_text(dlg, 1020, L"SELECT 2");
        click(dlg, IDOK);
    });
    queue_modal([](HWND dlg) { click(dlg, IDCANCEL); });
    click(*page, tvx_sel_tables_page::IDC_ADD_QUERY);
    ui_automation::pump(50);
    EXPECT_EQ(box_texts().size(), 2u);
    EXPECT_EQ(selected(), (std::vector<std::wstring>{L"[dbo].[Customers]", L"Totals"}));
    EXPECT_EQ(page->selected_queries.size(), 1u);
}

TEST_F(table_page, a_removed_query_keeps_its_text_and_comes_back_as_an_available_query)
{
    open();
    answer_query(L"Cheap", L"SELECT * FROM dbo.Items WHERE Price < 10");
    click(*page, tvx_sel_tables_page::IDC_ADD_QUERY);
    select_item(*page, tvx_sel_tables_page::IDC_SELECTED, 0);
    click(*page, tvx_sel_tables_page::IDC_REMOVE);
    EXPECT_NE(std::find(available().begin(), available().end(), L"Cheap"), available().end());
    EXPECT_EQ(page->unselected_queries, (pairs{{L"Cheap", L"SELECT * FROM dbo.Items WHERE Price < 10"}}));

    // Nothing selected but tables available: the user is asked; No stays.
    queue_answer(IDNO);
    EXPECT_EQ(next(), -1);
    EXPECT_EQ(box_texts().back(), L"There are no tables selected. Continue anyway?");
    queue_answer(IDYES);
    EXPECT_EQ(next(), 107);
    EXPECT_TRUE(driver->selected_tables.empty());
    EXPECT_TRUE(driver->selected_queries.empty());
    EXPECT_EQ(driver->available_queries, (pairs{{L"Cheap", L"SELECT * FROM dbo.Items WHERE Price < 10"}}));

    // The next visit shows it available again; Add selects it with its text.
    reopen();
    const auto av = available();
    auto at = std::find(av.begin(), av.end(), L"Cheap");
    ASSERT_NE(at, av.end());
    select_item(*page, tvx_sel_tables_page::IDC_AVAILABLE, static_cast<int>(at - av.begin()));
    click(*page, tvx_sel_tables_page::IDC_ADD);
    EXPECT_EQ(page->selected_queries, (pairs{{L"Cheap", L"SELECT * FROM dbo.Items WHERE Price < 10"}}));
    EXPECT_EQ(next(), 107);
    convert();
    expect_same_rows(env, db, "SELECT * FROM dbo.Items WHERE Price < 10", "\"SCOTT\".\"Cheap\"");
}

TEST_F(table_page, editing_a_query_replaces_its_name_and_text)
{
    open();
    answer_query(L"Q", L"SELECT Id FROM dbo.Items");
    click(*page, tvx_sel_tables_page::IDC_ADD_QUERY);
    std::wstring shown_name, shown_text;
    queue_modal([&](HWND dlg) {
        shown_name = GetDlgItemText_(dlg, 1019);
        shown_text = GetDlgItemText_(dlg, 1020);
        set_text(dlg, 1019, L"ItemNames");
        set_text(dlg, 1020, L"SELECT Id, Name FROM dbo.Items");
        click(dlg, IDOK);
    });
    double_click_item(*page, tvx_sel_tables_page::IDC_SELECTED, 0);
    EXPECT_EQ(shown_name, L"Q");
    EXPECT_EQ(shown_text, L"SELECT Id FROM dbo.Items");
    EXPECT_EQ(selected(), std::vector<std::wstring>{L"ItemNames"});

    // An edit may keep its own name in other letters, but not take a table's.
    queue_modal([](HWND dlg) {
        set_text(dlg, 1019, L"[dbo].[orders]");
        click(dlg, IDOK);
    });
    std::wstring again;
    queue_modal([&](HWND dlg) {
        again = GetDlgItemText_(dlg, 1019);
        set_text(dlg, 1019, L"ITEMNAMES");
        click(dlg, IDOK);
    });
    double_click_item(*page, tvx_sel_tables_page::IDC_SELECTED, 0);
    ui_automation::pump(50);
    EXPECT_EQ(again, L"[dbo].[orders]");
    EXPECT_EQ(box_texts(), std::vector<std::wstring>{L"Duplicate table name. Try again."});
    EXPECT_EQ(selected(), std::vector<std::wstring>{L"ITEMNAMES"});
    EXPECT_EQ(page->selected_queries, (pairs{{L"ITEMNAMES", L"SELECT Id, Name FROM dbo.Items"}}));
    // Back to the name the conversion below expects.
    queue_modal([](HWND dlg) {
        set_text(dlg, 1019, L"ItemNames");
        click(dlg, IDOK);
    });
    double_click_item(*page, tvx_sel_tables_page::IDC_SELECTED, 0);
    EXPECT_EQ(next(), 107);
    EXPECT_EQ(driver->selected_queries, (pairs{{L"ItemNames", L"SELECT Id, Name FROM dbo.Items"}}));
}

TEST_F(table_page, a_visit_brings_back_what_the_driver_holds_in_either_spelling)
{
    // As a loaded profile leaves them: tables written owner.table, a query, an available query.
    driver->selected_tables = {L"dbo.Orders"};
    driver->selected_queries = {{L"[dbo].[Items]", L""}, {L"Sums", L"SELECT 1"}, {L"[dbo].[Orders]", L"SELECT 2"}};
    driver->available_queries = {{L"Later", L"SELECT 3"}, {L"[dbo].[Customers]", L"SELECT 4"}};
    open();
    EXPECT_EQ(selected(), (std::vector<std::wstring>{L"[dbo].[Items]", L"[dbo].[Orders]", L"Sums"}));
    EXPECT_EQ(available(), (std::vector<std::wstring>{L"[dbo].[Customers]", L"Later"}));
    EXPECT_EQ(page->selected_queries, (pairs{{L"Sums", L"SELECT 1"}}));
    EXPECT_EQ(page->unselected_queries, (pairs{{L"Later", L"SELECT 3"}}));
    EXPECT_EQ(next(), 107);
    EXPECT_EQ(driver->selected_tables, (std::vector<std::wstring>{L"[dbo].[Items]", L"[dbo].[Orders]"}));
}

TEST_F(table_page, a_double_click_on_a_selected_table_opens_its_type_mapping)
{
    open();
    click(*page, tvx_sel_tables_page::IDC_ADD);
    std::wstring caption, table;
    queue_modal([&](HWND dlg) {
        caption = GetWindowTextW_(dlg);
        table = GetDlgItemText_(dlg, 1003);
        click(dlg, IDCANCEL);
    });
    double_click_item(*page, tvx_sel_tables_page::IDC_SELECTED, 0);
    EXPECT_EQ(caption, L"Edit Table");
    EXPECT_EQ(table, L"[dbo].[Customers]");
    EXPECT_TRUE(driver->by_source.empty());
}

TEST_F(table_page, a_source_without_tables_tells_which_settings_to_change)
{
    env.create_database("empty");
    driver->src = L"empty";
    driver->set_view_owned(true);
    driver->set_as_dbo(false);
    open();
    EXPECT_TRUE(available().empty());
    EXPECT_EQ(box_texts(), (std::vector<std::wstring>{
                               L"There are no tables available for the user specified. Try to uncheck 'View tables "
                               L"owned by the user' checkbox on 'Step 3 of 5' wizard page.",
                               L"There are no tables available for the user specified. Try to connect as database "
                               L"owner using the appropriate checkbox on 'Step 1 of 5' wizard page.",
                           }));
    // Without view-owned, the owner hint still shows, alone; as owner, none does.
    ui_automation::clear_message_boxes();
    driver->set_view_owned(false);
    reopen();
    EXPECT_EQ(box_texts(), (std::vector<std::wstring>{
                               L"There are no tables available for the user specified. Try to connect as database "
                               L"owner using the appropriate checkbox on 'Step 1 of 5' wizard page.",
                           }));
    ui_automation::clear_message_boxes();
    driver->set_as_dbo(true);
    reopen();
    EXPECT_TRUE(box_texts().empty());
    driver->set_as_dbo(false);
    // Every table already selected is no reason for the hints.
    ui_automation::clear_message_boxes();
    driver->src = L"shop";
    driver->selected_tables = {L"[dbo].[Customers]", L"[dbo].[Items]", L"[dbo].[Orders]"};
    reopen();
    EXPECT_TRUE(available().empty());
    EXPECT_TRUE(box_texts().empty());
}

TEST_F(table_page, a_profile_saved_without_the_owner_filter_selects_every_table_where_the_filter_is_on)
{
    const std::wstring profile = to_unicode(env.dir()) + L"/all.tvx";
    driver->set_view_owned(false);
    driver->selected_tables = {L"[dbo].[Customers]", L"[dbo].[Items]", L"[dbo].[Orders]"};
    ASSERT_TRUE(driver->save_profile(profile));
    driver->selected_tables.clear();
    // Where the profile is loaded the list shows the user's own tables by their plain names.
    driver->set_view_owned(true);
    ASSERT_TRUE(driver->open_profile(profile));
    open();
    EXPECT_EQ(selected(), (std::vector<std::wstring>{L"Customers", L"Items", L"Orders"}));
    EXPECT_TRUE(available().empty());
    EXPECT_TRUE(box_texts().empty()) << "every table was found";
    EXPECT_EQ(next(), 107);
    convert();
    EXPECT_TRUE(handler.errors.empty());
    EXPECT_EQ(env.oracle_tables("SCOTT"), (std::set<std::string>{"Customers", "Items", "Orders"}));
    for (const char* t : {"Customers", "Items", "Orders"})
        expect_same_rows(env, db, std::string("SELECT * FROM [dbo].[") + t + "]",
                         std::string("\"SCOTT\".\"") + t + "\"");
}

TEST_F(table_page, tables_of_the_selection_the_source_does_not_list_are_named_before_anything_is_converted)
{
    driver->set_view_owned(true);
    // Another owner's table, one that is gone, and one that is there.
    driver->selected_tables = {L"sales.Customers", L"dbo.Gone", L"dbo.Orders"};
    open();
    EXPECT_EQ(selected(), std::vector<std::wstring>{L"Orders"});
    const auto boxes = box_texts();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_NE(boxes[0].find(L"sales.Customers"), std::wstring::npos) << boxes[0];
    EXPECT_NE(boxes[0].find(L"dbo.Gone"), std::wstring::npos) << boxes[0];
    EXPECT_EQ(boxes[0].find(L"dbo.Orders"), std::wstring::npos) << boxes[0];
    EXPECT_NE(boxes[0].find(L"uncheck 'View tables owned by the user'"), std::wstring::npos) << boxes[0];
    EXPECT_TRUE(env.oracle_tables("SCOTT").empty());
    EXPECT_TRUE(env.oracle_tables("dbo").empty());
}

TEST_F(table_page, test_query_shows_what_the_server_says_and_an_edited_query_is_captioned_as_an_edit)
{
    open();
    std::vector<std::wstring> captions;
    queue_modal([&](HWND dlg) {
        captions.push_back(GetWindowTextW_(dlg));
        set_text(dlg, 1019, L"Ghosts");
        set_text(dlg, 1020, L"SELECT * FROM dbo.NoSuchTable");
        click(dlg, 129); // Test Query
        set_text(dlg, 1020, L"SELECT Id FROM dbo.Items");
        click(dlg, 129);
        click(dlg, IDOK);
    });
    click(*page, tvx_sel_tables_page::IDC_ADD_QUERY);
    const auto boxes = box_texts();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].find(L"syntax"), std::wstring::npos) << "a missing table is no syntax error: " << boxes[0];
    EXPECT_NE(boxes[0].find(L"NoSuchTable"), std::wstring::npos) << "the server's own text: " << boxes[0];
    EXPECT_EQ(ui_automation::message_boxes()[0].type & MB_ICONMASK, MB_ICONSTOP);
    EXPECT_EQ(boxes[1], L"The query is correct.");

    queue_modal([&](HWND dlg) {
        captions.push_back(GetWindowTextW_(dlg));
        click(dlg, IDCANCEL);
    });
    double_click_item(*page, tvx_sel_tables_page::IDC_SELECTED, 0);
    EXPECT_EQ(captions, (std::vector<std::wstring>{L"Add Query", L"Edit Query"}));
}
