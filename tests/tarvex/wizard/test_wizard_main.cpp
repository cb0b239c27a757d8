#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "TK/tk_text.h"
#include "tarvex/tarvex_convertor.h"
#include "tarvex/wizard/wizard_error_handler.h"
#include "tarvex/wizard/wizard_main.h"
#include "tests/platform/ui/ui_test_support.h"
#include "tests/tarvex/conversion_env.h"

namespace {

constexpr int k_welcome = 103, k_progress = 107, k_finish = 116;

int page_id(HWND sheet) { return GetDlgCtrlID(reinterpret_cast<HWND>(SendMessageW(sheet, PSM_GETCURRENTPAGEHWND))); }

// The modal loop of a connection's wait animation: its worker closes it.
void wait_for_animation(HWND h)
{
    ui_pump_until([h] { return !IsWindowVisible(h); }, 60000);
}

// Serves the modal loops of a run in whatever order they come: a wait
// animation may never loop at all when its worker ends first.
void queue_run(const std::function<void(HWND)>& on_sheet, int loops = 3)
{
    for (int i = 0; i < loops; ++i)
        ui_automation::queue_modal([on_sheet](HWND h) {
            if (GetDlgItem(h, ID_WIZFINISH))
                on_sheet(h);
            else
                wait_for_animation(h);
        });
}

// The program's entry against a pair of embedded servers, with the registry in
// a file of the test's own.
class wizard_main_test : public ui_test {
protected:
    void SetUp() override
    {
        ui_test::SetUp();
        registry_ = servers_.dir() + "/registry.reg";
        ::setenv("TVX_REGISTRY_FILE", registry_.c_str(), 1);
        servers_.create_database(k_db);
        const char* root = std::getenv("TVX_TEST_DATA");
        servers_.load_file(k_db, std::string(root ? root : "tests/data") + "/tarvex/gadgets.sql");
        servers_.create_user("scott", "tiger");
    }
    void TearDown() override
    {
        ::unsetenv("TVX_REGISTRY_FILE");
        ui_test::TearDown();
    }

    // Settings for a run, kept in the registry and, when asked, in a profile.
    void store_settings(const std::string& profile = std::string(), const std::string& mss_host = std::string())
    {
        tk_logger logger(nullptr, false, 3, false);
        tarvex_convertor d(tarvex_convertor::settings_source::registry);
        servers_.configure(d, k_db, "scott", "tiger");
        if (!mss_host.empty()) d.store_mssql_settings(to_unicode(mss_host), L"", L"");
        d.set_view_owned(false);
        d.uppercase = false;
        d.selected_tables = {L"[dbo].[Gadgets]"};
        if (!profile.empty()) {
            ASSERT_TRUE(d.save_profile(to_unicode(profile)));
        }
        ASSERT_TRUE(d.serialize(true));
    }

    int win_main(const std::string& cmd_line)
    {
        std::string line = cmd_line;
        return WinMain(ui_instance(), nullptr, line.data(), SW_SHOWNORMAL);
    }

    static constexpr const char* k_db = "gadgets";
    conversion_env servers_;
    std::string registry_;
};

} // namespace

TEST_F(wizard_main_test, caption_and_common_controls_check)
{
    EXPECT_EQ(wizard_caption(), L"Dremlow 5.5");
    EXPECT_FALSE(check_common_controls(0x5004F)) << "5.79";
    ASSERT_EQ(ui_automation::message_boxes().size(), 1u);
    EXPECT_EQ(ui_automation::message_boxes()[0].text,
              L"Incorrect version of comctl32.dll. Microsoft Internet Explorer 5\nor later is required to proceed "
              L"with the application.");
    EXPECT_EQ(ui_automation::message_boxes()[0].caption, L"Error") << "before the wizard is on screen";
    EXPECT_TRUE(check_common_controls(0x50050)) << "5.80";
    EXPECT_EQ(ui_automation::message_boxes().size(), 1u);
}

TEST_F(wizard_main_test, without_a_command_line_the_wizard_starts_on_the_welcome_page)
{
    ui_automation::queue_modal([](HWND sheet) {
        EXPECT_EQ(CWindow(sheet).GetWindowText(), L"Dremlow 5.5");
        EXPECT_EQ(page_id(sheet), k_welcome);
        EXPECT_EQ(SendMessageW(sheet, PSM_IDTOINDEX, 0, k_progress), 5) << "the five first pages, then progress";
        EXPECT_EQ(SendMessageW(sheet, PSM_IDTOINDEX, 0, k_finish), 6);
        EXPECT_EQ(SendMessageW(sheet, PSM_INDEXTOID, 4), 127) << "the table page";
        ui_automation::queue_message_box_answer(IDYES);
        ui_automation::click(sheet, IDCANCEL);
    });
    EXPECT_EQ(win_main(""), 0);
    const auto boxes = ui_automation::message_boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, L"Are you sure you want to exit the wizard?");
}

TEST_F(wizard_main_test, quick_launch_connects_and_converts_from_the_progress_page)
{
    const std::string profile = servers_.dir() + "/run.tvx";
    store_settings(profile);
    // The profile's connection settings are those the quick launch uses: the
    // registry points elsewhere.
    {
        tk_logger logger(nullptr, false, 3, false);
        tarvex_convertor d(tarvex_convertor::settings_source::registry);
        d.store_mssql_settings(L"file:" + to_unicode(servers_.dir()) + L"/elsewhere", L"", L"");
        d.src = L"elsewhere";
        ASSERT_TRUE(d.serialize(true));
    }
    queue_run([](HWND sheet) {
        EXPECT_EQ(page_id(sheet), k_progress);
        ui_pump_until([sheet] { return page_id(sheet) == k_finish; }, 120000);
        ASSERT_EQ(page_id(sheet), k_finish);
        ui_pump_until([sheet] { return IsWindowEnabled(GetDlgItem(sheet, ID_WIZFINISH)) != FALSE; }, 60000);
        ui_automation::click(sheet, ID_WIZFINISH);
    });
    EXPECT_EQ(win_main(profile), 1);
    EXPECT_TRUE(ui_automation::message_boxes().empty());
    expect_same_rows(servers_, k_db, "SELECT * FROM [dbo].[Gadgets]", "\"dbo\".\"Gadgets\"");
}

TEST_F(wizard_main_test, quick_launch_that_cannot_connect_returns_minus_one_without_the_wizard)
{
    const std::string profile = servers_.dir() + "/bad.tvx";
    store_settings(profile, "file:" + servers_.dir() + "/no-such-server");
    bool sheet_shown = false;
    queue_run([&](HWND) { sheet_shown = true; }, 1);
    EXPECT_EQ(win_main(profile), -1);
    const auto boxes = ui_automation::message_boxes();
    ASSERT_EQ(boxes.size(), 1u) << "the connection error";
    EXPECT_FALSE(sheet_shown);
}

TEST_F(wizard_main_test, a_quoted_command_line_is_a_file_name_with_quotes_and_fails_to_load)
{
    const std::string profile = servers_.dir() + "/run.tvx";
    store_settings(profile);
    EXPECT_EQ(win_main("\"" + profile + "\""), -1) << "the quotes belong to the name: no such file";
    const auto boxes = ui_automation::message_boxes();
    ASSERT_EQ(boxes.size(), 1u) << "reported through the error handler";
    EXPECT_EQ(boxes[0].text, L"Profile does not exist. Please verify the correct path/name was given.");
    EXPECT_EQ(boxes[0].caption, L"Error") << "before the wizard is on screen";
}

namespace {

// What each Oracle schema a run could write into holds.
std::set<std::string> oracle_state(conversion_env& env)
{
    std::set<std::string> out;
    for (const char* owner : {"dbo", "DBO", "SCOTT"})
        for (const auto& t : env.oracle_tables(owner)) out.insert(std::string(owner) + "." + t);
    return out;
}

} // namespace

TEST_F(wizard_main_test, quick_launch_with_a_mode_outside_0_to_2_ends_the_program_and_converts_nothing)
{
    store_settings(); // the registry's servers hold the table
    conversion_env other;
    other.create_database(k_db);
    const char* root = std::getenv("TVX_TEST_DATA");
    other.load_file(k_db, std::string(root ? root : "tests/data") + "/tarvex/gadgets.sql");
    other.create_user("scott", "tiger");
    const std::string profile = servers_.dir() + "/mode7.tvx";
    {
        tk_logger logger(nullptr, false, 3, false);
        tarvex_convertor d(tarvex_convertor::settings_source::agent_defaults);
        other.configure(d, k_db, "scott", "tiger");
        d.selected_tables = {L"[dbo].[Gadgets]"};
        d.mode = 7;
        ASSERT_TRUE(d.save_profile(to_unicode(profile)));
    }
    const auto before_registry = oracle_state(servers_), before_profile = oracle_state(other);
    bool sheet_shown = false;
    queue_run([&](HWND) { sheet_shown = true; }, 1);
    EXPECT_EQ(win_main(profile), -1);
    EXPECT_FALSE(sheet_shown);
    const auto boxes = ui_automation::message_boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_NE(boxes[0].text.find(L"mode '7' is invalid"), std::wstring::npos) << boxes[0].text;
    EXPECT_EQ(oracle_state(servers_), before_registry);
    EXPECT_EQ(oracle_state(other), before_profile);
    EXPECT_TRUE(oracle_state(servers_).empty());
    ui_automation::end(); // the modal handler queued for a sheet that never came
    ui_automation::begin();
}

TEST_F(wizard_main_test, quick_launch_refuses_a_file_that_is_no_profile)
{
    store_settings();
    for (const std::string& text :
         {std::string(), std::string("just some text\n"), std::string("[Generic settings]\nsrc=gadgets\nmode=0\n")}) {
        const std::string profile = servers_.dir() + "/not_a_profile.tvx";
        std::ofstream(profile) << text;
        ui_automation::clear_message_boxes();
        EXPECT_EQ(win_main(profile), -1) << text;
        const auto boxes = ui_automation::message_boxes();
        ASSERT_EQ(boxes.size(), 1u) << text;
        EXPECT_NE(boxes[0].text.find(L"[Selected Tables]"), std::wstring::npos) << boxes[0].text;
    }
    EXPECT_TRUE(oracle_state(servers_).empty());
}

TEST_F(wizard_main_test, quick_launch_takes_what_the_profile_leaves_out_from_defaults_not_from_the_registry)
{
    store_settings(); // a working Oracle in the registry
    const std::string profile = servers_.dir() + "/no_oracle.tvx";
    {
        tk_logger logger(nullptr, false, 3, false);
        tarvex_convertor d(tarvex_convertor::settings_source::agent_defaults);
        servers_.configure(d, k_db, "scott", "tiger");
        d.selected_tables = {L"[dbo].[Gadgets]"};
        ASSERT_TRUE(d.save_profile(to_unicode(profile)));
    }
    // The profile names no Oracle at all.
    std::ifstream in(profile);
    std::string kept, line, section;
    while (std::getline(in, line)) {
        if (!line.empty() && line[0] == '[') section = line;
        if (section == "[Oracle settings]" && line.rfind("uppercase=", 0) != 0 && line[0] != '[') continue;
        kept += line + "\n";
    }
    in.close();
    std::ofstream(profile) << kept;
    bool sheet_shown = false;
    queue_run([&](HWND) { sheet_shown = true; }, 3);
    EXPECT_EQ(win_main(profile), -1) << "no Oracle to connect to";
    EXPECT_FALSE(sheet_shown);
    EXPECT_TRUE(oracle_state(servers_).empty()) << "the registry's Oracle was not written into";
    ui_automation::end();
    ui_automation::begin();
}

TEST_F(wizard_main_test, a_profile_saved_without_the_owner_filter_converts_every_table_where_the_registry_has_it_on)
{
    const std::string profile = servers_.dir() + "/all.tvx";
    {
        tk_logger logger(nullptr, false, 3, false);
        tarvex_convertor d(tarvex_convertor::settings_source::registry);
        servers_.configure(d, k_db, "scott", "tiger");
        d.set_view_owned(false);
        d.uppercase = false;
        d.selected_tables = {L"[dbo].[Gadgets]", L"[dbo].[Gadget Parts]", L"[dbo].[EmptyTable]"};
        ASSERT_TRUE(d.save_profile(to_unicode(profile)));
        d.set_view_owned(true); // the registry as a fresh one has it
        ASSERT_TRUE(d.serialize(true));
    }
    queue_run([](HWND sheet) {
        ui_pump_until([sheet] { return page_id(sheet) == k_finish; }, 120000);
        ASSERT_EQ(page_id(sheet), k_finish);
        HWND finish = reinterpret_cast<HWND>(SendMessageW(sheet, PSM_GETCURRENTPAGEHWND));
        EXPECT_NE(CWindow(finish).GetDlgItemText(1314).find(L"successfully"), std::wstring::npos);
        ui_pump_until([sheet] { return IsWindowEnabled(GetDlgItem(sheet, ID_WIZFINISH)) != FALSE; }, 60000);
        ui_automation::click(sheet, ID_WIZFINISH);
    });
    EXPECT_EQ(win_main(profile), 1);
    EXPECT_TRUE(ui_automation::message_boxes().empty());
    EXPECT_EQ(servers_.oracle_tables("dbo"), (std::set<std::string>{"Gadgets", "Gadget Parts", "EmptyTable"}));
    for (const char* t : {"Gadgets", "Gadget Parts", "EmptyTable"})
        expect_same_rows(servers_, k_db, std::string("SELECT * FROM [dbo].[") + t + "]",
                         std::string("\"dbo\".\"") + t + "\"");
}

TEST_F(wizard_main_test, a_quick_launch_that_converts_only_its_query_never_ends_on_the_success_text)
{
    const std::string profile = servers_.dir() + "/gone.tvx";
    {
        tk_logger logger(nullptr, false, 3, false);
        tarvex_convertor d(tarvex_convertor::settings_source::agent_defaults);
        servers_.configure(d, k_db, "scott", "tiger");
        d.selected_tables = {L"[dbo].[Gone]"};
        d.selected_queries = {{L"Cheap", L"SELECT * FROM dbo.Gadgets"}};
        ASSERT_TRUE(d.save_profile(to_unicode(profile)));
    }
    std::wstring finish_text;
    ui_automation::queue_message_box_answer(IDYES); // told of the missing table first: go on
    for (int i = 0; i < 6; ++i)
        ui_automation::queue_modal([&](HWND h) {
            if (GetDlgItem(h, ID_WIZFINISH)) {
                ui_pump_until([h] { return page_id(h) == k_finish; }, 120000);
                HWND finish = reinterpret_cast<HWND>(SendMessageW(h, PSM_GETCURRENTPAGEHWND));
                finish_text = CWindow(finish).GetDlgItemText(1314);
                ui_pump_until([h] { return IsWindowEnabled(GetDlgItem(h, ID_WIZFINISH)) != FALSE; }, 60000);
                ui_automation::click(h, ID_WIZFINISH);
            } else if (GetDlgCtrlID(h) == 115) {
                ui_automation::click(h, 2); // the missing table: go on with the query
            } else {
                wait_for_animation(h);
            }
        });
    EXPECT_EQ(win_main(profile), 1);
    ASSERT_FALSE(ui_automation::message_boxes().empty());
    EXPECT_NE(ui_automation::message_boxes()[0].text.find(L"dbo.Gone"), std::wstring::npos);
    EXPECT_EQ(finish_text.find(L"successfully"), std::wstring::npos) << "the table never arrived";
    EXPECT_EQ(servers_.oracle_tables("SCOTT"), std::set<std::string>{"Cheap"}) << "the query did";
    ui_automation::end();
    ui_automation::begin();
}

TEST_F(wizard_main_test, a_quick_launch_names_the_tables_it_cannot_find_before_converting_anything)
{
    const std::string profile = servers_.dir() + "/gone.tvx";
    {
        tk_logger logger(nullptr, false, 3, false);
        tarvex_convertor d(tarvex_convertor::settings_source::agent_defaults);
        servers_.configure(d, k_db, "scott", "tiger");
        d.selected_tables = {L"[dbo].[Gadgets]", L"sales.Gadgets", L"[dbo].[Gone]"};
        ASSERT_TRUE(d.save_profile(to_unicode(profile)));
    }
    bool sheet_shown = false;
    for (int i = 0; i < 3; ++i)
        ui_automation::queue_modal([&](HWND h) {
            if (GetDlgItem(h, ID_WIZFINISH))
                sheet_shown = true;
            else
                wait_for_animation(h);
        });
    EXPECT_EQ(win_main(profile), -1) << "No, the default, ends the program";
    EXPECT_FALSE(sheet_shown);
    const auto boxes = ui_automation::message_boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_NE(boxes[0].text.find(L"dbo.Gone"), std::wstring::npos) << boxes[0].text;
    EXPECT_NE(boxes[0].text.find(L"sales.Gadgets"), std::wstring::npos) << "another owner's table is another table";
    EXPECT_EQ(boxes[0].text.find(L"dbo.Gadgets"), std::wstring::npos) << boxes[0].text;
    EXPECT_TRUE(oracle_state(servers_).empty()) << "nothing was converted";
    ui_automation::end();
    ui_automation::begin();
}

TEST_F(wizard_main_test, the_seven_pages_in_order_convert_the_chosen_table)
{
    store_settings(); // connections and database in the registry, as a former run left them
    std::vector<int> pages;
    ui_automation::queue_modal([&](HWND sheet) {
        auto next = [&] {
            ui_automation::pump(20);
            pages.push_back(page_id(sheet));
            // Each page enables Next by a posted message: wait for it as a user would.
            ui_pump_until([sheet] { return IsWindowEnabled(GetDlgItem(sheet, ID_WIZNEXT)) != FALSE; }, 60000);
            ui_automation::click(sheet, ID_WIZNEXT);
            ui_automation::pump(20);
        };
        next(); // welcome
        // A handler left over when an animation needs no loop serves the next one.
        ui_automation::queue_modal(wait_for_animation);
        next(); // SQL Server: connects behind the animation
        ui_automation::queue_modal(wait_for_animation);
        next(); // Oracle
        HWND db = reinterpret_cast<HWND>(SendMessageW(sheet, PSM_GETCURRENTPAGEHWND));
        EXPECT_EQ(CWindow(db).GetDlgItemText(1302), L"gadgets") << "the database from the registry";
        next(); // database and options: the database exists
        HWND tables = reinterpret_cast<HWND>(SendMessageW(sheet, PSM_GETCURRENTPAGEHWND));
        const LRESULT at = SendDlgItemMessageW(tables, 1317, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                               reinterpret_cast<LPARAM>(L"[dbo].[Gadgets]"));
        ASSERT_GE(at, 0) << "the source table is offered";
        ui_automation::select_item(tables, 1317, static_cast<int>(at));
        ui_automation::click(tables, 1101); // Add >
        next();                             // tables: jumps to the progress page
        EXPECT_TRUE(ui_pump_until([sheet] { return page_id(sheet) == k_finish; }, 120000));
        pages.push_back(page_id(sheet));
        ui_pump_until([sheet] { return IsWindowEnabled(GetDlgItem(sheet, ID_WIZFINISH)) != FALSE; }, 60000);
        ui_automation::click(sheet, ID_WIZFINISH);
    });
    EXPECT_EQ(win_main(""), 1);
    EXPECT_EQ(pages, (std::vector<int>{k_welcome, 118, 132, 106, 127, k_finish}));
    EXPECT_TRUE(ui_automation::message_boxes().empty());
    expect_same_rows(servers_, k_db, "SELECT * FROM [dbo].[Gadgets]", "\"dbo\".\"Gadgets\"");
}
