#include <atomic>
#include <thread>

#include "tests/platform/ui/ui_test_support.h"

namespace {

constexpr int k_dialog = 9002;
constexpr int k_text = 100;

const ui_dialog_resource g_template(k_dialog, {L"Threads", 100, 50, {ui_rc::ltext(L"", k_text, 5, 5, 90, 10)}});

class timer_dialog : public ui_dialog {
public:
    timer_dialog() : ui_dialog(k_dialog) {}
    bool ProcessWindowMessage(HWND, UINT msg, WPARAM w, LPARAM l, LRESULT&) override
    {
        if (msg == WM_TIMER && w == 7) ++ticks;
        if (msg == WM_APP) posted.push_back(static_cast<int>(l));
        return msg == WM_TIMER || msg == WM_APP;
    }
    int ticks = 0;
    std::vector<int> posted;
};

class ui_thread_test : public ui_test {};

} // namespace

TEST_F(ui_thread_test, a_worker_sets_texts_and_ends_a_modal_dialog_through_the_ui_thread)
{
    timer_dialog dlg;
    std::atomic<bool> done{false};
    std::thread worker;
    ui_automation::queue_modal([&](HWND h) {
        worker = std::thread([&, h] {
            EXPECT_FALSE(ui_is_ui_thread());
            SetDlgItemTextW(h, k_text, L"from the worker");
            EXPECT_EQ(CWindow(h).GetDlgItemText(k_text), L"from the worker");
            dlg.EndDialog(42);
            done = true;
        });
        ui_pump_until([&] { return done.load(); }, 5000);
    });
    EXPECT_EQ(dlg.DoModal(), 42);
    worker.join();
    EXPECT_TRUE(done);
}

TEST_F(ui_thread_test, posted_messages_arrive_in_order_and_timers_tick_until_killed)
{
    timer_dialog dlg;
    ASSERT_NE(dlg.Create(), nullptr);
    std::thread worker([&] {
        for (int i = 1; i <= 3; ++i) PostMessageW(dlg.m_hWnd, WM_APP, 0, i);
    });
    worker.join();
    EXPECT_TRUE(dlg.posted.empty()) << "posted messages wait for the loop";
    ui_automation::pump(20);
    EXPECT_EQ(dlg.posted, (std::vector<int>{1, 2, 3}));

    EXPECT_EQ(SetTimer(dlg.m_hWnd, 7, 10), 7u);
    ui_pump_until([&] { return dlg.ticks >= 3; }, 3000);
    EXPECT_GE(dlg.ticks, 3);
    EXPECT_TRUE(KillTimer(dlg.m_hWnd, 7));
    ui_automation::pump(5);
    const int after = dlg.ticks;
    ui_automation::pump(60);
    EXPECT_EQ(dlg.ticks, after);
    EXPECT_FALSE(KillTimer(dlg.m_hWnd, 7));

    HWND gone = dlg.m_hWnd;
    dlg.DestroyWindow();
    EXPECT_FALSE(PostMessageW(gone, WM_APP, 0, 9));
    EXPECT_EQ(SetTimer(gone, 7, 10), 0u);
}

TEST_F(ui_thread_test, an_exception_in_a_handler_stops_at_the_event_loop)
{
    class throwing_dialog : public ui_dialog {
    public:
        throwing_dialog() : ui_dialog(k_dialog) {}
        bool ProcessWindowMessage(HWND, UINT msg, WPARAM, LPARAM, LRESULT&) override
        {
            if (msg == WM_APP) throw std::runtime_error("boom");
            return false;
        }
    } dlg;
    ASSERT_NE(dlg.Create(), nullptr);
    PostMessageW(dlg.m_hWnd, WM_APP);
    ui_automation::pump(20);
    auto caught = ui_automation::take_uncaught();
    ASSERT_EQ(caught.size(), 1u);
    EXPECT_THROW(std::rethrow_exception(caught[0]), std::runtime_error);
    // A direct send from the ui thread hands the exception to the caller.
    EXPECT_THROW(SendMessageW(dlg.m_hWnd, WM_APP), std::runtime_error);
}

TEST_F(ui_thread_test, a_second_module_shares_the_framework_and_leaves_it_running)
{
    {
        ui_module inner;
        EXPECT_EQ(inner.Init(nullptr), S_OK);
        EXPECT_TRUE(ui_is_running());
        inner.Term();
    }
    EXPECT_TRUE(ui_is_running()) << "the first module still holds it";
    timer_dialog dlg;
    EXPECT_NE(dlg.Create(), nullptr);
    dlg.DestroyWindow();
}
