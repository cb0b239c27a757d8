#include <atomic>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "GUI2/wizard_page.h"
#include "GUI2/wizard_shell.h"
#include "TK/tk_exception.h"
#include "TK/tk_module.h"
#include "tests/platform/ui/ui_test_support.h"

namespace {

constexpr int k_page_a = 9201, k_page_b = 9202, k_page_c = 9203;

const ui_dialog_resource g_a(k_page_a, {L"", 200, 100, {ui_rc::checkbox(L"&Check", 1202, 5, 5, 80, 10)}});
const ui_dialog_resource g_b(k_page_b, {L"", 200, 100, {ui_rc::ltext(L"b", 1000, 5, 5, 80, 10)}});
const ui_dialog_resource g_c(k_page_c, {L"",
                                        200,
                                        100,
                                        {ui_rc::edittext(wizard_shell::k_log_box_id, 5, 5, 180, 80,
                                                         ES_MULTILINE | ES_READONLY | WS_VSCROLL)}});

std::vector<std::string> g_calls;

class page_a : public wizard_page<k_page_a, PSWIZB_NEXT, PSP_HASHELP | PSP_HIDEHEADER> {
public:
    bool page_init() override
    {
        g_calls.push_back("a:init");
        return true;
    }
    void on_help() override { g_calls.push_back("a:help"); }
};

class page_b : public wizard_page<k_page_b, PSWIZB_BACK | PSWIZB_NEXT, PSP_HASHELP> {
public:
    bool page_init() override
    {
        g_calls.push_back("b:init");
        return enabled;
    }
    bool enabled = false;
};

class page_c : public wizard_page<k_page_c, PSWIZB_FINISH, 0> {
public:
    page_c()
    {
        SetHeaderTitle(L"Step 5 of 5");
        SetHeaderSubTitle(L"Database conversion is in progress");
    }
    bool page_init() override
    {
        g_calls.push_back("c:init");
        return true;
    }
    bool ProcessWindowMessage(HWND h, UINT msg, WPARAM w, LPARAM l, LRESULT& r) override
    {
        if (msg == WM_TIMER) {
            ticks.push_back(w);
            return true;
        }
        return wizard_page::ProcessWindowMessage(h, msg, w, l, r);
    }
    std::vector<WPARAM> ticks;
};

class wizard_shell_test : public ui_test {
protected:
    void SetUp() override
    {
        ui_test::SetUp();
        g_calls.clear();
    }
};

} // namespace

TEST_F(wizard_shell_test, boxes_before_the_sheet_is_shown_have_plain_captions)
{
    wizard_shell shell(L"Dremlow 5.5", 0, 0, 0);
    EXPECT_FALSE(wizard_shell::is_initialized());
    wizard_shell::error(std::wstring(L"bad"));
    wizard_shell::message(L"note");
    EXPECT_FALSE(wizard_shell::question(L"Sure?", MB_DEFBUTTON2));
    const auto boxes = ui_automation::message_boxes();
    ASSERT_EQ(boxes.size(), 3u);
    EXPECT_EQ(boxes[0].caption, L"Error");
    EXPECT_EQ(boxes[0].type & MB_ICONMASK, MB_ICONSTOP);
    EXPECT_EQ(boxes[0].owner, nullptr);
    EXPECT_EQ(boxes[1].caption, L"Message");
    EXPECT_EQ(boxes[1].type & MB_ICONMASK, MB_ICONINFORMATION);
    EXPECT_EQ(boxes[2].caption, L"Question");
    EXPECT_EQ(boxes[2].type & MB_TYPEMASK, MB_YESNO);
    // No page shown yet: nothing to write into, and no failure.
    EXPECT_NO_THROW(wizard_shell::write_log(L"early\r\n"));
}

TEST_F(wizard_shell_test, pages_run_in_order_skip_refusals_and_cancel_asks_first)
{
    wizard_shell shell(L"Dremlow 5.5", 0, 0, 0);
    page_a a;
    page_b b;
    page_c c;
    shell.AddPage(a.Create());
    shell.AddPage(b.Create());
    shell.AddPage(c.Create());
    ui_automation::queue_modal([&](HWND h) {
        EXPECT_TRUE(wizard_shell::is_initialized());
        EXPECT_EQ(CWindow(h).GetWindowText(), L"Dremlow 5.5");
        EXPECT_EQ(shell.get_current_page(), a.m_hWnd);
        ui_automation::pump(10); // the posted button state
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(h, ID_WIZBACK)));
        EXPECT_TRUE(IsWindowEnabled(GetDlgItem(h, ID_WIZNEXT)));
        ui_automation::key_help(h);
        EXPECT_EQ(a.invert_chbox(1202), 1);
        EXPECT_EQ(a.invert_chbox(1202), 0);
        EXPECT_THROW(a.invert_chbox(4711), tk_mail_assertion);

        ui_automation::click(h, ID_WIZNEXT);
        EXPECT_EQ(shell.get_current_page(), c.m_hWnd) << "b refused its activation";
        ui_automation::pump(10);
        EXPECT_TRUE(IsWindowVisible(GetDlgItem(h, ID_WIZFINISH)));

        wizard_shell::write_log(L"line 1\r\n");
        wizard_shell::write_log(L"line 2\r\n");
        EXPECT_EQ(c.GetDlgItemText(wizard_shell::k_log_box_id), L"line 1\r\nline 2\r\n");

        wizard_shell::set_timer(10);
        EXPECT_THROW(wizard_shell::set_timer(10), tk_mail_assertion);
        ui_pump_until([&] { return c.ticks.size() >= 2; }, 3000);
        wizard_shell::kill_timer();
        ASSERT_GE(c.ticks.size(), 2u);
        EXPECT_EQ(c.ticks[0], wizard_shell::k_timer_id) << "the shell's timer reaches the page on screen";

        // Cancel: No keeps the wizard, Yes closes it.
        ui_automation::queue_message_box_answer(IDNO);
        ui_automation::click(h, IDCANCEL);
        EXPECT_TRUE(IsWindow(h));
        ui_automation::queue_message_box_answer(IDYES);
        ui_automation::click(h, IDCANCEL);
    });
    EXPECT_EQ(shell.DoModal(), 0);
    EXPECT_EQ(g_calls, (std::vector<std::string>{"a:init", "a:help", "b:init", "c:init"}));
    const auto boxes = ui_automation::message_boxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].text, L"Are you sure you want to exit the wizard?");
    EXPECT_EQ(boxes[0].caption, L"Dremlow 5.5 Question");
    EXPECT_EQ(boxes[0].type & MB_DEFMASK, MB_DEFBUTTON2);
}

TEST_F(wizard_shell_test, a_notification_from_a_foreign_window_reaches_no_page_operation)
{
    wizard_shell shell(L"Dremlow 5.5", 0, 0, 0);
    page_a a;
    shell.AddPage(a.Create());
    ASSERT_NE(shell.Create(), nullptr);
    g_calls.clear();
    PSHNOTIFY n;
    n.hdr.hwndFrom = a.GetDlgItem(1202);
    n.hdr.code = PSN_SETACTIVE;
    EXPECT_EQ(a.SendMessage(WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&n)), 0);
    n.hdr.code = PSN_HELP;
    a.SendMessage(WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&n));
    EXPECT_TRUE(g_calls.empty());
    n.hdr.hwndFrom = shell;
    a.SendMessage(WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&n));
    EXPECT_EQ(g_calls, (std::vector<std::string>{"a:help"}));
    shell.DestroyWindow();
}

TEST_F(wizard_shell_test, the_error_list_keeps_twenty_texts)
{
    wizard_shell shell(L"Dremlow 5.5", 0, 0, 0);
    for (int i = 0; i < 25; ++i) wizard_shell::add_error("error " + std::to_string(i));
    const auto errors = wizard_shell::get_errors();
    ASSERT_EQ(errors.size(), 20u);
    EXPECT_EQ(errors.front(), "error 0");
    EXPECT_EQ(errors.back(), "error 19");
}

TEST_F(wizard_shell_test, the_conversion_worker_starts_the_timer_and_writes_the_log)
{
    wizard_shell shell(L"Dremlow 5.5", 0, 0, 0);
    page_c c;
    shell.AddPage(c.Create());
    ASSERT_NE(shell.Create(), nullptr);
    std::atomic<bool> done{false};
    std::thread worker([&] {
        wizard_shell::set_timer(10);
        wizard_shell::write_log(L"Converting database 'pubs' (3 tables)\n");
        done = true;
    });
    ui_pump_until([&] { return done.load() && c.ticks.size() >= 2; }, 5000);
    worker.join();
    // Joined only once done: the worker waits for this thread to serve its calls.
    std::atomic<bool> killed{false};
    std::thread stopper([&] {
        wizard_shell::kill_timer();
        killed = true;
    });
    ui_pump_until([&] { return killed.load(); }, 5000);
    stopper.join();
    EXPECT_GE(c.ticks.size(), 2u);
    EXPECT_EQ(c.GetDlgItemText(wizard_shell::k_log_box_id), L"Converting database 'pubs' (3 tables)\r\n");
    shell.DestroyWindow();
}

// One test, since the help set sits beside the test program for its time.
TEST_F(wizard_shell_test, help_opens_the_topic_of_the_help_set_beside_the_program_or_says_it_is_missing)
{
    wizard_shell shell(L"Dremlow 5.5", 0, 0, 0);
    const std::filesystem::path dir = std::filesystem::path(tk_get_module_wpath()).parent_path() / L"help";
    const std::filesystem::path contents = dir / L"index.html";
    std::filesystem::remove_all(dir);
    wizard_shell::display_help(1010);
    ASSERT_EQ(ui_automation::message_boxes().size(), 1u);
    EXPECT_EQ(ui_automation::message_boxes()[0].text, L"Help file does not exist. Reinstall the program.");
    EXPECT_TRUE(ui_automation::help_calls().empty());
    ui_automation::clear_message_boxes();

    std::filesystem::create_directories(dir);
    std::ofstream(contents) << "<html><head><title>Contents</title></head><body>contents</body></html>";
    std::ofstream(dir / L"listener.html") << "<html><body>listener</body></html>";
    std::ofstream(dir / L"topics.map") << "# id topic\n1018 listener.html\n1019 gone.html\n";
    wizard_shell::display_help(1018);
    EXPECT_EQ(ui_automation::help_window_topic(), (dir / L"listener.html").wstring());
    wizard_shell::display_help();
    EXPECT_EQ(ui_automation::help_window_topic(), contents.wstring());
    EXPECT_TRUE(ui_automation::message_boxes().empty());
    // A topic the set lacks (no line, or a line naming no file) is a set to reinstall.
    wizard_shell::display_help(1019);
    wizard_shell::display_help(1010);
    ui_automation::close_help_window();
    std::filesystem::remove_all(dir);
    EXPECT_EQ(ui_automation::message_boxes().size(), 2u);
    EXPECT_EQ(ui_automation::help_calls(),
              (std::vector<std::wstring>{contents.wstring() + L"|15|1018", contents.wstring() + L"|0|0",
                                         contents.wstring() + L"|15|1019", contents.wstring() + L"|15|1010"}));
}
