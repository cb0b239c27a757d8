// The database and options page against a connected embedded SQL Server.
#include <gtest/gtest.h>

#include <fstream>

#include "TK/tk_text.h"
#include "tarvex/wizard/oracle_settings_page.h"
#include "tarvex/wizard/sel_file_page.h"
#include "tests/tarvex/wizard/wizard_env.h"

namespace {

class database_page : public ui_test {
protected:
    void SetUp() override
    {
        ui_test::SetUp();
        env.servers.create_database("alpha");
        env.servers.create_database("beta");
        tarvex_convertor& d = env.driver();
        d.windows_auth = true;
        d.store_mssql_settings(w(env.file_url(env.servers.mss_dir())), L"", L"");
        d.connect_mssql_server();
    }

    void show()
    {
        env.show({&page, &next});
        h = page.m_hWnd;
        ASSERT_TRUE(IsWindow(h));
    }

    std::vector<std::wstring> combo_items()
    {
        std::vector<std::wstring> out;
        const LRESULT n = SendDlgItemMessageW(h, 1302, CB_GETCOUNT);
        for (LRESULT k = 0; k < n; ++k) {
            std::wstring text(static_cast<size_t>(SendDlgItemMessageW(h, 1302, CB_GETLBTEXTLEN, k)), L'\0');
            SendDlgItemMessageW(h, 1302, CB_GETLBTEXT, k, reinterpret_cast<LPARAM>(text.data()));
            out.push_back(text.c_str());
        }
        return out;
    }

    wizard_env env;
    sel_file_page page;
    oracle_settings_page next;
    HWND h = nullptr;
};

TEST_F(database_page, shows_the_driver_options_mode_log_file_and_database)
{
    tarvex_convertor& d = env.driver();
    d.set_view_owned(false);
    d.tab_def = true;
    d.skip_idx = false;
    d.uppercase = true;
    d.mode = 1;
    d.src = L"alpha";
    d.log_file = env.servers.dir() + "/trace.log";
    show();
    EXPECT_FALSE(is_checked(h, 1203));
    EXPECT_TRUE(is_checked(h, 1228));
    EXPECT_FALSE(is_checked(h, 1226));
    EXPECT_TRUE(is_checked(h, 1202));
    EXPECT_FALSE(is_checked(h, 1329));
    EXPECT_TRUE(is_checked(h, 1330));
    EXPECT_FALSE(is_checked(h, 1331));
    EXPECT_EQ(item_text(h, 1302), L"alpha");
    EXPECT_EQ(item_text(h, 1005), w(d.log_file));
    EXPECT_EQ(SendDlgItemMessageW(h, 1302, CB_GETCOUNT), 0) << "the list is read on the first drop-down only";
}

TEST_F(database_page, drop_down_lists_the_databases_once_and_selects_the_current_one)
{
    env.driver().src = L"BETA";
    show();
    ui_automation::drop_down(h, 1302);
    std::vector<std::wstring> items = combo_items();
    std::vector<std::wstring> server;
    env.driver().get_contents(server);
    EXPECT_EQ(items, server);
    EXPECT_NE(std::find(items.begin(), items.end(), L"alpha"), items.end());
    const auto beta = std::find(items.begin(), items.end(), L"beta");
    ASSERT_NE(beta, items.end());
    EXPECT_EQ(SendDlgItemMessageW(h, 1302, CB_GETCURSEL), beta - items.begin()) << "found without regard to case";
    EXPECT_TRUE(page.is_list_filled());
    ui_automation::drop_down(h, 1302);
    EXPECT_EQ(combo_items(), items) << "not read twice";
}

TEST_F(database_page, a_failed_list_read_is_shown_and_tried_again)
{
    show();
    env.driver().mssql_server.connected = false; // the engine refuses to list
    ui_automation::drop_down(h, 1302);
    EXPECT_EQ(env.boxes().size(), 1u);
    EXPECT_FALSE(page.is_list_filled());
    env.driver().mssql_server.connected = true;
    ui_automation::drop_down(h, 1302);
    EXPECT_TRUE(page.is_list_filled());
    EXPECT_GE(combo_items().size(), 2u);
}

TEST_F(database_page, a_new_selection_empties_every_selection_list)
{
    tarvex_convertor& d = env.driver();
    d.selected_tables = {L"[dbo].[a]"};
    d.selected_queries = {{L"q", L"SELECT 1"}};
    d.selected_views = {{L"v", L"SELECT 2"}};
    d.available_queries = {{L"u", L"SELECT 3"}};
    show();
    ui_automation::drop_down(h, 1302);
    ui_automation::select_item(h, 1302, 0);
    EXPECT_TRUE(d.selected_tables.empty());
    EXPECT_TRUE(d.selected_queries.empty());
    EXPECT_TRUE(d.selected_views.empty());
    EXPECT_TRUE(d.available_queries.empty());
}

TEST_F(database_page, choosing_the_same_database_again_keeps_what_was_chosen_for_it)
{
    tarvex_convertor& d = env.driver();
    show();
    ui_automation::drop_down(h, 1302);
    const auto items = combo_items();
    ASSERT_GE(items.size(), 2u);
    d.src = items[0]; // as Next, then Back from the table page left it
    d.selected_tables = {L"[dbo].[a]"};
    d.selected_queries = {{L"q", L"SELECT 1"}};
    ui_automation::select_item(h, 1302, 0);
    EXPECT_EQ(d.selected_tables, std::vector<std::wstring>{L"[dbo].[a]"});
    EXPECT_EQ(d.selected_queries.size(), 1u);
    ui_automation::select_item(h, 1302, 1); // another database: a fresh start
    EXPECT_TRUE(d.selected_tables.empty());
    EXPECT_TRUE(d.selected_queries.empty());
}

TEST_F(database_page, typing_another_database_drops_the_tables_chosen_for_the_old_one)
{
    tarvex_convertor& d = env.driver();
    d.src = L"alpha";
    d.selected_tables = {L"[dbo].[a]"};
    d.available_queries = {{L"u", L"SELECT 3"}};
    show();
    ui_automation::set_text(h, 1302, L"ALPHA");
    env.press(PSBTN_NEXT);
    ASSERT_EQ(env.active_page(), next.m_hWnd);
    EXPECT_EQ(d.selected_tables, std::vector<std::wstring>{L"[dbo].[a]"}) << "the same database, in other letters";
    env.press(PSBTN_BACK);
    ui_automation::set_text(h, 1302, L"beta");
    env.press(PSBTN_NEXT);
    EXPECT_EQ(env.active_page(), next.m_hWnd);
    EXPECT_EQ(d.src, L"beta");
    EXPECT_TRUE(d.selected_tables.empty());
    EXPECT_TRUE(d.available_queries.empty());
}

TEST_F(database_page, next_goes_on_only_for_a_database_the_server_has_and_the_registry_keeps_the_options)
{
    show();
    ui_automation::set_text(h, 1302, L"");
    env.press(PSBTN_NEXT);
    EXPECT_EQ(env.active_page(), h);
    ui_automation::set_text(h, 1302, L"gamma");
    env.press(PSBTN_NEXT);
    EXPECT_EQ(env.active_page(), h);
    EXPECT_EQ(env.boxes(),
              (std::vector<std::wstring>{L"You should enter MS SQL database name", L"MS SQL database does not exist"}));

    // Typed, never dropped down.
    ui_automation::set_text(h, 1302, L"alpha");
    ui_automation::click(h, 1331);
    ui_automation::click(h, 1228);
    ui_automation::click(h, 1226);
    const bool upper = is_checked(h, 1202);
    ui_automation::click(h, 1202);
    env.press(PSBTN_NEXT);
    EXPECT_EQ(env.active_page(), next.m_hWnd);
    tarvex_convertor& d = env.driver();
    EXPECT_EQ(d.src, L"alpha");
    EXPECT_EQ(d.mode, 2u);
    EXPECT_TRUE(d.tab_def);
    EXPECT_TRUE(d.skip_idx);
    EXPECT_EQ(d.uppercase, !upper);
    env.shell().DestroyWindow();
    env.drop_driver();
    const std::string reg = env.registry_text();
    EXPECT_NE(reg.find("\"src\"=\"alpha\""), std::string::npos) << reg;
    EXPECT_NE(reg.find("\"mode\"=dword:00000002"), std::string::npos) << reg;
    EXPECT_NE(reg.find("\"tab_def\"=dword:00000001"), std::string::npos) << reg;
    EXPECT_NE(reg.find("\"skip_idx\"=dword:00000001"), std::string::npos) << reg;
}

TEST_F(database_page, a_failing_existence_check_is_shown_and_keeps_the_page)
{
    show();
    ui_automation::set_text(h, 1302, L"alpha");
    env.driver().mssql_server.connected = false;
    env.press(PSBTN_NEXT);
    EXPECT_EQ(env.active_page(), h);
    EXPECT_EQ(env.boxes().size(), 1u);
    EXPECT_TRUE(ui_automation::take_uncaught().empty());
}

TEST_F(database_page, a_log_file_that_cannot_be_written_is_said_on_the_page)
{
    show();
    ui_automation::set_text(h, 1302, L"alpha");
    ui_automation::set_text(h, 1005, w(env.servers.dir() + "/missing/trace.log"));
    env.press(PSBTN_NEXT);
    EXPECT_EQ(env.active_page(), h);
    ASSERT_EQ(env.boxes().size(), 1u);
    EXPECT_EQ(env.boxes()[0], L"Logfile path does not exist.\nPlease verify the correct path was given.");
    EXPECT_TRUE(ui_automation::take_uncaught().empty());
    EXPECT_FALSE(env.logger.is_enabled());

    const std::string good = env.servers.dir() + "/trace.log";
    ui_automation::set_text(h, 1005, w(good));
    env.press(PSBTN_NEXT);
    EXPECT_EQ(env.active_page(), next.m_hWnd);
    EXPECT_TRUE(env.logger.is_enabled());
    EXPECT_EQ(env.logger.get_file_name(), good);

    // Back again with the box emptied: logging goes on into the same file.
    env.press(PSBTN_BACK);
    ASSERT_EQ(env.active_page(), h);
    ui_automation::set_text(h, 1005, L"");
    env.press(PSBTN_NEXT);
    EXPECT_EQ(env.active_page(), next.m_hWnd);
    EXPECT_TRUE(env.logger.is_enabled());
    EXPECT_EQ(env.logger.get_file_name(), good);
}

TEST_F(database_page, a_mode_without_a_button_checks_none_and_is_kept)
{
    env.driver().mode = 7;
    show();
    EXPECT_FALSE(is_checked(h, 1329));
    EXPECT_FALSE(is_checked(h, 1330));
    EXPECT_FALSE(is_checked(h, 1331));
    EXPECT_EQ(page.on_back(), 0);
    EXPECT_EQ(env.driver().mode, 7u);
    ui_automation::click(h, 1330);
    EXPECT_EQ(page.on_back(), 0);
    EXPECT_EQ(env.driver().mode, 1u);
}

TEST_F(database_page, browse_puts_the_chosen_log_file_in_the_box)
{
    show();
    ui_automation::set_text(h, 1005, w(env.servers.dir() + "/old.log"));
    const std::string chosen_file = env.servers.dir() + "/chosen.log";
    std::ofstream(chosen_file) << "";
    const std::wstring chosen = w(chosen_file);
    ui_automation::queue_file_dialog_answer(chosen);
    ui_automation::click(h, 1105);
    EXPECT_EQ(item_text(h, 1005), chosen);
    const auto dialogs = ui_automation::file_dialogs();
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_FALSE(dialogs[0].save);
    EXPECT_EQ(dialogs[0].title, L"Select Log File");
    EXPECT_EQ(dialogs[0].filter,
              (std::vector<std::wstring>{L"Log Files (.log)", L"*.log", L"All Files (*.*)", L"*.*"}));
    EXPECT_EQ(dialogs[0].initial_file, L"old");
    // Cancelled: the box keeps its text.
    ui_automation::click(h, 1105);
    EXPECT_EQ(item_text(h, 1005), chosen);
    // A new log is the usual case: a name that does not exist yet is taken.
    const std::wstring fresh = w(env.servers.dir() + "/fresh.log");
    ui_automation::queue_file_dialog_answer(fresh);
    ui_automation::click(h, 1105);
    EXPECT_EQ(item_text(h, 1005), fresh);
}

} // namespace
