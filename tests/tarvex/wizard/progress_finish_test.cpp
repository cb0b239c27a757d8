// The welcome, progress and finish pages: a whole conversion run from the
// wizard, its outcome, and the profile saved and loaded again.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "TK/tk_text.h"
#include "platform/eora/eora_inject.h"
#include "tarvex/wizard/finish_page.h"
#include "tarvex/wizard/progress_page.h"
#include "tarvex/wizard/welcome_page.h"
#include "tests/tarvex/wizard/wizard_env.h"

namespace fs = std::filesystem;

namespace {

const std::wstring k_success =
    L"Wizard has migrated your MS SQL database to\nOracle server successfully.\n\nClick "
    L"'Finish' to exit the wizard.";
const std::wstring k_failure =
    L"There were some errors while converting the database.\nClick 'Finish' to exit the wizard.";

std::string test_data(const std::string& name)
{
    const char* root = std::getenv("TVX_TEST_DATA");
    return std::string(root ? root : "tests/data") + "/" + name;
}

std::string q(const std::string& owner, const std::string& table) { return "\"" + owner + "\".\"" + table + "\""; }

class progress_display : public ui_test {};
class welcome : public ui_test {};

TEST_F(progress_display, percent_is_the_tables_done_and_the_current_tables_share)
{
    EXPECT_EQ(progress_page::percent(1, 10, 50, 100), 15u);
    EXPECT_EQ(progress_page::percent(0, 0, 5, 10), 0u) << "no tables: the bar stays at 0";
    EXPECT_EQ(progress_page::percent(0, 3, 0, 0), 0u);
    EXPECT_EQ(progress_page::percent(2, 3, 0, 0), 66u);
    EXPECT_EQ(progress_page::percent(3, 3, 0, 0), 100u);
    // 45 million of 90 million rows of the only table: half, not a wrapped product.
    EXPECT_EQ(progress_page::percent(0, 1, 45000000u, 90000000u), 50u);
    EXPECT_LE(progress_page::percent(5, 3, 10, 10), 100u);
}

TEST_F(progress_display, status_line_names_the_table_and_fits_its_room)
{
    EXPECT_EQ(progress_page::status_text(L""), L"");
    EXPECT_EQ(progress_page::status_text(L"[dbo].[Gadgets]"), L"Processing table '[dbo].[Gadgets]'");
    const std::wstring longer = progress_page::status_text(std::wstring(400, L'x'));
    EXPECT_EQ(longer.size(), 255u);
    EXPECT_EQ(longer.substr(0, 18), L"Processing table '");
}

class wizard_run_base : public ui_test {
protected:
    explicit wizard_run_base(bool wizard_errors) : env(wizard_errors) {}

    void SetUp() override
    {
        ui_test::SetUp();
        env.servers.create_database(k_db);
        env.servers.load_file(k_db, test_data("tarvex/gadgets.sql"));
        env.servers.create_user("scott", "tiger");
        tarvex_convertor& d = env.driver();
        env.servers.configure(d, k_db, "scott", "tiger");
        d.set_view_owned(false);
        d.uppercase = false;
        d.mode = 0;
        d.selected_tables = {L"[dbo].[Gadgets]", L"[dbo].[Gadget Parts]"};
        finish.set_profile_ext(L"tvx");
    }

    // Shows the progress page and waits for the jump to the finish page.
    bool run()
    {
        env.show({&progress, &finish});
        return env.pump_until([this] { return finish.m_hWnd && env.active_page() == finish.m_hWnd; }, 120000);
    }

    void TearDown() override
    {
        eora::clear_injections();
        ui_test::TearDown();
    }

    static constexpr const char* k_db = "gadgets";
    wizard_env env;
    progress_page progress;
    finish_page finish{k_success, k_failure};
};

class wizard_run : public wizard_run_base {
protected:
    wizard_run() : wizard_run_base(false) {}
};

// Errors presented as the wizard presents them.
class wizard_run_presented : public wizard_run_base {
protected:
    wizard_run_presented() : wizard_run_base(true) {}
};

const char* const k_refused =
    "[dbo].[Gadget Parts], record #2: Duplicate field values being used for an unique index were found. See "
    "'Troubleshooting' article of the product documentation for solution.";

TEST_F(wizard_run_presented, a_refused_record_is_asked_about_the_rest_arrives_and_the_finish_page_lists_it)
{
    env.driver().selected_tables = {L"[dbo].[Gadget Parts]", L"[dbo].[Gadgets]"};
    eora::inject_error("P-002", 1);
    std::wstring asked;
    ui_automation::queue_modal([&asked](HWND dlg) {
        asked = item_text(dlg, 1320);
        ui_automation::click(dlg, 2); // Continue
    });
    ASSERT_TRUE(run());
    EXPECT_EQ(asked, w(k_refused));
    expect_same_rows(env.servers, k_db, "SELECT * FROM [dbo].[Gadget Parts] WHERE NOT (GadgetID = 100 AND Amount = 1)",
                     q("dbo", "Gadget Parts"));
    expect_same_rows(env.servers, k_db, "SELECT * FROM [dbo].[Gadgets]", q("dbo", "Gadgets"));
    HWND h = finish.m_hWnd;
    EXPECT_EQ(item_text(h, 1314), k_failure);
    EXPECT_EQ(item_text(h, 1016), w(k_refused) + L"\r\n\r\n");
}

TEST_F(wizard_run_presented, abort_stops_the_run_at_the_refused_record)
{
    env.driver().selected_tables = {L"[dbo].[Gadget Parts]", L"[dbo].[Gadgets]"};
    eora::inject_error("P-002", 1);
    ui_automation::queue_modal([](HWND dlg) { ui_automation::click(dlg, 1); }); // Abort
    ASSERT_TRUE(run());
    EXPECT_FALSE(env.driver().run_completed());
    EXPECT_EQ(env.servers.oracle_tables("dbo"), std::set<std::string>{"Gadget Parts"}) << "Gadgets never started";
    EXPECT_EQ(env.servers.oracle_count(q("dbo", "Gadget Parts")), 1) << "the row before the refused one";
    EXPECT_EQ(item_text(finish.m_hWnd, 1314), k_failure);
    EXPECT_EQ(item_text(finish.m_hWnd, 1016), w(k_refused) + L"\r\n\r\n");
}

TEST_F(wizard_run, converts_the_selected_tables_and_ends_on_the_success_text)
{
    ASSERT_TRUE(run());
    EXPECT_FALSE(progress.is_running());
    EXPECT_TRUE(env.driver().finished.load());
    expect_same_rows(env.servers, k_db, "SELECT * FROM [dbo].[Gadgets]", q("dbo", "Gadgets"));
    expect_same_rows(env.servers, k_db, "SELECT * FROM [dbo].[Gadget Parts]", q("dbo", "Gadget Parts"));
    EXPECT_EQ(env.servers.oracle_tables("dbo"), (std::set<std::string>{"Gadgets", "Gadget Parts"}));

    const std::wstring log = item_text(progress.m_hWnd, 1016);
    EXPECT_NE(log.find(L"Converting database 'gadgets' (2 tables)"), std::wstring::npos) << to_utf8(log);
    EXPECT_EQ(SendDlgItemMessageW(progress.m_hWnd, 1321, PBM_GETPOS), 0) << "the run ends with its counters cleared";

    HWND h = finish.m_hWnd;
    EXPECT_EQ(item_text(h, 1314), k_success);
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(h, 1016)));
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(env.shell().m_hWnd, IDCANCEL)));
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(env.shell().m_hWnd, IDHELP)));
    EXPECT_TRUE(env.recorded().errors.empty());
    EXPECT_TRUE(ui_automation::take_uncaught().empty());
}

TEST_F(wizard_run, a_run_that_refused_a_record_never_ends_on_the_success_text)
{
    // Errors here go to a handler that collects nothing for the page: the outcome comes from the run itself.
    env.driver().selected_tables = {L"[dbo].[Gadget Parts]", L"[dbo].[Gadgets]"};
    eora::inject_error("P-002", 1);
    ASSERT_TRUE(run());
    EXPECT_TRUE(env.driver().run_completed());
    EXPECT_EQ(env.driver().get_summary().records_refused(), 1u);
    EXPECT_EQ(item_text(finish.m_hWnd, 1314), k_failure);
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(finish.m_hWnd, 1016))) << "no texts to list";
}

TEST_F(wizard_run, no_tables_selected_still_reaches_the_finish_page)
{
    env.driver().selected_tables.clear();
    ASSERT_TRUE(run());
    EXPECT_TRUE(env.servers.oracle_tables("dbo").empty());
    EXPECT_EQ(item_text(finish.m_hWnd, 1314), k_success);
}

TEST_F(wizard_run, errors_collected_during_the_run_are_listed_one_per_paragraph)
{
    // Errors reported before the finish page shows: only the first 20 are kept.
    env.driver().selected_tables = {L"[dbo].[Gadgets]"};
    for (int k = 0; k < 22; ++k) env.shell().add_error("error " + std::to_string(k) + "\nsecond line");
    ASSERT_TRUE(run());
    HWND h = finish.m_hWnd;
    EXPECT_EQ(item_text(h, 1314), k_failure);
    EXPECT_TRUE(IsWindowVisible(GetDlgItem(h, 1016)));
    std::wstring want;
    for (int k = 0; k < 20; ++k) want += L"error " + std::to_wstring(k) + L" second line\r\n\r\n";
    EXPECT_EQ(item_text(h, 1016), want);
}

TEST_F(progress_display, a_run_ended_by_a_standard_exception_is_collected_for_the_finish_page)
{
    wizard_env env;
    progress_page::front_end front;
    front.run_failed(std::runtime_error("out of memory"));
    EXPECT_EQ(env.shell().get_errors(), std::vector<std::string>{"out of memory"});
    EXPECT_EQ(env.boxes(), std::vector<std::wstring>{L"out of memory"});
    // A stop asked for ends the run at its next progress line.
    front.stop.store(true);
    EXPECT_THROW(front.progress(L"Converting table 'x'\n"), tk_final_exception);
}

TEST_F(wizard_run, cancel_during_the_run_stops_it_before_the_wizard_closes)
{
    tarvex_convertor& d = env.driver();
    // Enough tables that the run is still going when Cancel comes.
    std::string script;
    for (int t = 0; t < 40; ++t) {
        script += "CREATE TABLE [dbo].[Bulk" + std::to_string(t) + "] (id INT PRIMARY KEY, name NVARCHAR(40))\nGO\n";
        for (int r = 0; r < 30; ++r)
            script += "INSERT INTO [dbo].[Bulk" + std::to_string(t) + "] VALUES (" + std::to_string(r) + ", N'row " +
                      std::to_string(r) + "')\n";
        script += "GO\n";
    }
    env.servers.run_script(k_db, script);
    d.selected_tables.clear();
    for (int t = 0; t < 40; ++t) d.selected_tables.push_back(L"[dbo].[Bulk" + std::to_wstring(t) + L"]");
    env.show({&progress, &finish});
    ASSERT_TRUE(env.pump_until([&d] { return d.tables_done.load() >= 1; }));
    // During the run only Cancel is left to the user.
    HWND sheet = env.shell().m_hWnd;
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(sheet, ID_WIZBACK)));
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(sheet, ID_WIZNEXT)));
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(sheet, IDCANCEL)));
    ui_automation::queue_message_box_answer(IDYES);
    env.press(PSBTN_CANCEL);
    EXPECT_FALSE(progress.is_running()) << "Cancel returns once the run has ended";
    EXPECT_TRUE(d.finished.load());
    EXPECT_FALSE(IsWindow(env.shell().m_hWnd)) << "the wizard closed";
    const auto boxes = env.boxes();
    ASSERT_FALSE(boxes.empty());
    EXPECT_EQ(boxes[0], L"Are you sure you want to exit the wizard?");
    EXPECT_LT(env.servers.oracle_tables("dbo").size(), 40u) << "the run stopped early";
    EXPECT_FALSE(d.run_completed());
}

TEST_F(wizard_run, save_settings_writes_a_profile_the_welcome_page_loads_again)
{
    ASSERT_TRUE(run());
    const std::wstring base = w(env.servers.dir() + "/saved");
    ui_automation::queue_file_dialog_answer(base);
    ui_automation::click(finish.m_hWnd, 1116);
    const auto dialogs = ui_automation::file_dialogs();
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_TRUE(dialogs[0].save);
    EXPECT_EQ(dialogs[0].title, L"Select Profile File");
    EXPECT_EQ(dialogs[0].filter,
              (std::vector<std::wstring>{L"Profile Files (.tvx)", L"*.tvx", L"All Files (*.*)", L"*.*"}));
    const fs::path saved = env.servers.dir() + "/saved.tvx";
    ASSERT_TRUE(fs::exists(saved));

    // A folder that does not exist: said, not passed for saved.
    ui_automation::queue_file_dialog_answer(w(env.servers.dir() + "/missing/other.tvx"));
    ui_automation::click(finish.m_hWnd, 1116);
    ASSERT_EQ(env.boxes().size(), 1u);
    EXPECT_NE(env.boxes()[0].find(L"could not be saved"), std::wstring::npos);
}

TEST_F(welcome, load_settings_brings_a_saved_profile_back_and_reports_one_it_cannot_load)
{
    wizard_env env;
    tarvex_convertor& d = env.driver();
    d.src = L"gadgets";
    d.mode = 1;
    d.selected_tables = {L"[dbo].[Gadgets]"};
    const std::wstring saved = w(env.servers.dir() + "/saved.tvx");
    ASSERT_TRUE(d.save_profile(saved));
    d.src = L"other";
    d.mode = 2;
    d.selected_tables.clear();

    welcome_page welcome;
    welcome.set_profile_ext(L"tvx");
    finish_page finish{k_success, k_failure};
    env.show({&welcome, &finish});
    ui_automation::queue_file_dialog_answer(saved);
    ui_automation::click(welcome.m_hWnd, 1115);
    const auto dialogs = ui_automation::file_dialogs();
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_FALSE(dialogs[0].save);
    EXPECT_EQ(dialogs[0].title, L"Select Profile File");
    EXPECT_EQ(d.src, L"gadgets");
    EXPECT_EQ(d.mode, 1u);
    EXPECT_EQ(d.selected_tables, std::vector<std::wstring>{L"dbo.Gadgets"});

    // A profile whose log file cannot be written: said on the page, nothing
    // escapes to the window system.
    d.log_file = env.servers.dir() + "/missing/trace.log";
    d.src = L"elsewhere";
    const std::wstring broken = w(env.servers.dir() + "/broken.tvx");
    ASSERT_TRUE(d.save_profile(broken));
    d.src = L"gadgets";
    ui_automation::queue_file_dialog_answer(broken);
    ui_automation::click(welcome.m_hWnd, 1115);
    EXPECT_EQ(env.boxes(),
              std::vector<std::wstring>{L"Logfile path does not exist.\nPlease verify the correct path was given."});
    EXPECT_TRUE(ui_automation::take_uncaught().empty());
}

TEST_F(welcome, an_extension_of_the_wrong_length_is_an_internal_error)
{
    wizard_env env;
    welcome_page welcome;
    welcome.set_profile_ext(L"tv");
    finish_page finish{k_success, k_failure};
    env.show({&welcome, &finish});
    ui_automation::click(welcome.m_hWnd, 1115);
    EXPECT_TRUE(ui_automation::file_dialogs().empty()) << "no dialog for a broken filter";
    ASSERT_EQ(env.boxes().size(), 1u);
    EXPECT_NE(env.boxes()[0].find(L"Internal error"), std::wstring::npos);
}

} // namespace
