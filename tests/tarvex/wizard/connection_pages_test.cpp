// The two connection pages and their wait animation, against the embedded servers.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "platform/oci/oci.h"
#include "tarvex/wizard/mssql_settings_page.h"
#include "tarvex/wizard/oracle_settings_page.h"
#include "tests/tarvex/wizard/wizard_env.h"

namespace fs = std::filesystem;

namespace {

const std::wstring k_no_server =
    L"MS SQL Server does not exist or access denied.\nCheck to verify the correct host was given.";

// The help file beside the test program (the build puts it there).
bool help_file_present()
{
    const fs::path path = fs::read_symlink("/proc/self/exe").parent_path() / "help" / "index.html";
    return fs::exists(path);
}

class mssql_page : public ui_test {};
class oracle_page : public ui_test {};
class wait_animation : public ui_test {};

TEST_F(mssql_page, shows_the_driver_settings_and_greys_the_login_under_windows_authentication)
{
    wizard_env env;
    tarvex_convertor& d = env.driver();
    d.mssql_host = L"file:/somewhere";
    d.mssql_user = L"sa";
    d.mssql_password = L"secret";
    d.windows_auth = true;
    d.set_as_dbo(true);
    mssql_settings_page page;
    oracle_settings_page next;
    env.show({&page, &next});
    HWND h = page.m_hWnd;
    ASSERT_TRUE(IsWindow(h));
    EXPECT_EQ(item_text(h, 1014), L"file:/somewhere");
    EXPECT_EQ(item_text(h, 1012), L"sa");
    EXPECT_EQ(item_text(h, 1013), L"secret");
    EXPECT_TRUE(is_checked(h, 1329));
    EXPECT_FALSE(is_checked(h, 1330));
    EXPECT_FALSE(is_enabled(h, 1012));
    EXPECT_FALSE(is_enabled(h, 1013));
    EXPECT_TRUE(is_checked(h, 1202));

    ui_automation::click(h, 1330);
    EXPECT_TRUE(is_checked(h, 1330));
    EXPECT_FALSE(is_checked(h, 1329));
    EXPECT_TRUE(is_enabled(h, 1012));
    EXPECT_TRUE(is_enabled(h, 1013));
    ui_automation::click(h, 1329);
    EXPECT_FALSE(is_enabled(h, 1012));
    EXPECT_EQ(item_text(h, 1012), L"sa") << "the login stays in its box";
    ui_automation::click(h, 1202);
    EXPECT_FALSE(is_checked(h, 1202));

    // Back stores what the page shows, without connecting.
    ui_automation::set_text(h, 1014, L"file:/elsewhere");
    ui_automation::click(h, 1330);
    ui_automation::set_text(h, 1012, L"reader");
    EXPECT_EQ(page.on_back(), 0);
    EXPECT_EQ(d.mssql_host, L"file:/elsewhere");
    EXPECT_EQ(d.mssql_user, L"reader");
    EXPECT_EQ(d.mssql_password, L"secret");
    EXPECT_FALSE(d.windows_auth);
    EXPECT_FALSE(d.is_connect_as_dbo());
    EXPECT_FALSE(d.mssql_server.connected);
    EXPECT_TRUE(ui_automation::unexpected_modals().empty());
}

TEST_F(mssql_page, next_connects_in_the_worker_and_the_registry_keeps_the_settings)
{
    wizard_env env;
    {
        mssql_settings_page page;
        oracle_settings_page next;
        env.show({&page, &next});
        HWND h = page.m_hWnd;
        ui_automation::set_text(h, 1014, w(env.file_url("/nonexistent/mss")));
        ui_automation::click(h, 1329);
        ui_automation::queue_modal([](HWND) {});
        env.press(PSBTN_NEXT);
        EXPECT_EQ(env.active_page(), h) << "a failed connection keeps the page";
        EXPECT_FALSE(page.is_connected());
        EXPECT_EQ(env.boxes(), std::vector<std::wstring>{k_no_server});

        // The second attempt, on the same page and animation, succeeds.
        ui_automation::set_text(h, 1014, w(env.file_url(env.servers.mss_dir())));
        ui_automation::queue_modal([](HWND) {});
        env.press(PSBTN_NEXT);
        EXPECT_EQ(env.active_page(), next.m_hWnd);
        EXPECT_TRUE(page.is_connected());
        EXPECT_TRUE(env.driver().mssql_server.connected);
        EXPECT_EQ(env.boxes().size(), 1u);
        // Either attempt's animation may never loop (its worker ended first), so
        // a handler may be left over; a loop without one would be recorded here.
        EXPECT_TRUE(ui_automation::unexpected_modals().empty());
        env.shell().DestroyWindow();
    }
    env.drop_driver();
    const std::string reg = env.registry_text();
    EXPECT_NE(reg.find("\"mssqlh\"=\"" + env.file_url(env.servers.mss_dir()) + "\""), std::string::npos) << reg;
    EXPECT_NE(reg.find("\"sec_log\"=dword:00000001"), std::string::npos) << reg;
}

TEST_F(oracle_page, an_empty_service_name_is_refused_before_any_attempt)
{
    wizard_env env;
    tarvex_convertor& d = env.driver();
    d.dest = L"";
    d.store_oracle_settings(L"file:/x", L"scott", L"tiger", L"1522");
    oracle_settings_page page;
    mssql_settings_page other;
    env.show({&page, &other});
    HWND h = page.m_hWnd;
    EXPECT_EQ(item_text(h, 1003), L"file:/x");
    EXPECT_EQ(item_text(h, 1004), L"1522");
    EXPECT_EQ(item_text(h, 1012), L"scott");
    EXPECT_EQ(item_text(h, 1013), L"tiger");
    EXPECT_EQ(item_text(h, 1014), L"");
    env.press(PSBTN_NEXT);
    EXPECT_EQ(env.active_page(), h);
    EXPECT_EQ(env.boxes(), std::vector<std::wstring>{L"You should enter Oracle database name"});
    EXPECT_TRUE(ui_automation::unexpected_modals().empty()) << "no animation was run";
    EXPECT_EQ(d.oracle, nullptr);
}

TEST_F(oracle_page, connects_to_the_service_and_back_stores_without_connecting)
{
    wizard_env env;
    env.servers.create_user("scott", "tiger");
    tarvex_convertor& d = env.driver();
    {
        oracle_settings_page page;
        mssql_settings_page other;
        env.show({&page, &other});
        HWND h = page.m_hWnd;
        EXPECT_EQ(item_text(h, 1004), L"1521") << "the registry's default port";
        ui_automation::set_text(h, 1003, w(env.file_url(env.servers.ora_dir())));
        ui_automation::set_text(h, 1014, L"ORCL");
        ui_automation::set_text(h, 1012, L"scott");
        ui_automation::set_text(h, 1013, L"wrong");
        EXPECT_EQ(page.on_back(), 0);
        EXPECT_EQ(d.dest, L"ORCL");
        EXPECT_EQ(d.oracle_password, L"wrong");
        EXPECT_EQ(d.oracle, nullptr);

        // A refused login: shown once, the page stays.
        ui_automation::queue_modal([](HWND) {});
        env.press(PSBTN_NEXT);
        EXPECT_EQ(env.active_page(), h);
        EXPECT_FALSE(page.is_connected());
        EXPECT_EQ(env.boxes(), std::vector<std::wstring>{L"Invalid user name or password."});

        ui_automation::set_text(h, 1013, L"tiger");
        ui_automation::queue_modal([](HWND) {});
        env.press(PSBTN_NEXT);
        EXPECT_EQ(env.active_page(), other.m_hWnd);
        EXPECT_TRUE(page.is_connected());
        ASSERT_NE(d.oracle, nullptr);
        EXPECT_EQ(d.oracle_host, w(env.file_url(env.servers.ora_dir())));
        env.shell().DestroyWindow();
    }
    env.drop_driver();
    const std::string reg = env.registry_text();
    EXPECT_NE(reg.find("\"dest\"=\"ORCL\""), std::string::npos) << reg;
    EXPECT_NE(reg.find("\"oraclep\"=\"tiger\""), std::string::npos) << reg;
}

TEST_F(oracle_page, a_listener_error_shows_its_text_and_opens_the_listener_help)
{
    ASSERT_TRUE(help_file_present());
    // A client library with no server behind it.
    setenv("TVX_OCI_LIBRARY", TVX_OCI_STANDIN, 1);
    unsetenv("TVX_OCI_TEST_DIR");
    wizard_env env;
    oracle_settings_page page;
    mssql_settings_page other;
    env.show({&page, &other});
    HWND h = page.m_hWnd;
    ui_automation::set_text(h, 1003, L"localhost");
    ui_automation::set_text(h, 1014, L"ORCL");
    ui_automation::queue_modal([](HWND) {});
    env.press(PSBTN_NEXT);
    EXPECT_EQ(env.active_page(), h);
    ASSERT_EQ(env.boxes().size(), 1u);
    EXPECT_EQ(env.boxes()[0],
              L"ORA-12541: no listener. For more information see Troubleshooting\narticle of the "
              L"product documentation.");
    const auto calls = ui_automation::help_calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_NE(calls[0].find(L"|15|1018"), std::wstring::npos) << to_utf8(calls[0]);
    EXPECT_EQ(fs::path(ui_automation::help_window_topic()).filename(), "troubleshooting.html");
    ui_automation::close_help_window();
}

TEST_F(oracle_page, each_page_opens_its_own_help_topic)
{
    ASSERT_TRUE(help_file_present());
    wizard_env env;
    mssql_settings_page mss;
    oracle_settings_page ora;
    env.show({&mss, &ora});
    env.press(PSBTN_HELP);
    ora.on_help();
    const auto calls = ui_automation::help_calls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_NE(calls[0].find(L"|15|1010"), std::wstring::npos) << to_utf8(calls[0]);
    EXPECT_NE(calls[1].find(L"|15|1011"), std::wstring::npos) << to_utf8(calls[1]);
}

TEST_F(oracle_page, both_workers_connect_without_the_pages_on_screen)
{
    // What the quick launch does after loading a profile: the settings are in the driver.
    wizard_env env;
    env.servers.create_user("scott", "tiger");
    tarvex_convertor& d = env.driver();
    d.windows_auth = true;
    d.store_mssql_settings(w(env.file_url(env.servers.mss_dir())), L"", L"");
    d.store_oracle_settings(w(env.file_url(env.servers.ora_dir())), L"scott", L"tiger", L"1521");
    d.dest = L"ORCL";
    mssql_settings_page mss;
    oracle_settings_page ora;
    ui_automation::queue_modal([](HWND) {});
    EXPECT_TRUE(mss.connect());
    ui_automation::queue_modal([](HWND) {});
    EXPECT_TRUE(ora.connect());
    EXPECT_TRUE(d.mssql_server.connected);
    EXPECT_NE(d.oracle, nullptr);
    EXPECT_TRUE(env.boxes().empty());

    // Through a client library with no server behind it.
    setenv("TVX_OCI_LIBRARY", TVX_OCI_STANDIN, 1);
    unsetenv("TVX_OCI_TEST_DIR");
    d.store_oracle_settings(L"localhost", L"scott", L"tiger", L"1521");
    ui_automation::queue_modal([](HWND) {});
    EXPECT_FALSE(ora.connect());
    EXPECT_FALSE(ora.is_connected());
    EXPECT_EQ(env.boxes().size(), 1u);
}

TEST_F(oracle_page, another_host_without_a_client_reports_the_missing_client_and_file_still_connects)
{
    std::string why;
    if (std::getenv("TVX_OCI_LIBRARY") || std::getenv("ORACLE_HOME") || oci_client_serves(u"//localhost", why))
        GTEST_SKIP() << "an Oracle client is there";
    wizard_env env;
    env.servers.create_user("scott", "tiger");
    tarvex_convertor& d = env.driver();
    d.store_oracle_settings(L"localhost", L"scott", L"tiger", L"1521");
    d.dest = L"ORCL";
    oracle_settings_page ora;
    ui_automation::queue_modal([](HWND) {});
    EXPECT_FALSE(ora.connect());
    EXPECT_TRUE(env.boxes().empty());
    ASSERT_EQ(env.recorded().errors.size(), 1u);
    EXPECT_EQ(env.recorded().errors[0].level, 1);
    EXPECT_NE(env.recorded().errors[0].message.find("The Oracle client and networking components were not found."),
              std::string::npos)
        << env.recorded().errors[0].message;

    d.store_oracle_settings(w(env.file_url(env.servers.ora_dir())), L"scott", L"tiger", L"1521");
    ui_automation::queue_modal([](HWND) {});
    EXPECT_TRUE(ora.connect());
    EXPECT_NE(d.oracle, nullptr);
}

// An animation whose worker waits a while, then closes it.
class slow_animation : public connect_animation {
public:
    explicit slow_animation(int ms, bool until_a_tick = false)
        : connect_animation(L"Waiting"), ms_(ms), until_a_tick_(until_a_tick)
    {}
    void operator()() override
    {
        std::this_thread::sleep_for(std::chrono::milliseconds(ms_));
        // On a loaded machine the timer may be late: wait for its first tick
        // (within a generous bound) rather than for a fixed time.
        for (int i = 0; until_a_tick_ && current_frame() < 1 && i < 3000; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        connected.store(true);
        close();
    }

private:
    int ms_;
    bool until_a_tick_;
};

class animation_thread : public tk_thread {
public:
    explicit animation_thread(tk_thread_functor& job) : tk_thread(false), job_(job) {}
    ~animation_thread() override { wait_for_worker(*this); }

protected:
    tk_thread_functor* create_functor() override { return &job_; }

private:
    tk_thread_functor& job_;
};

TEST_F(wait_animation, cycles_its_frames_until_the_worker_closes_it)
{
    register_wait_animation_resources();
    slow_animation anim(600, true);
    animation_thread thread(anim);
    ui_automation::queue_modal([&anim](HWND dlg) {
        EXPECT_EQ(item_text(dlg, 1320), L"Waiting");
        EXPECT_EQ(anim.current_frame(), 0);
    });
    EXPECT_TRUE(run_connect_worker(thread, anim));
    EXPECT_GE(anim.current_frame(), 1) << "the 500 ms timer advanced the icon";
    EXPECT_TRUE(ui_automation::unexpected_modals().empty());
}

TEST_F(wait_animation, escape_does_not_end_the_wait)
{
    register_wait_animation_resources();
    slow_animation anim(300);
    animation_thread thread(anim);
    ui_automation::queue_modal([](HWND dlg) { SendMessageW(dlg, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED)); });
    EXPECT_TRUE(run_connect_worker(thread, anim)) << "only the worker closes the dialog";
    EXPECT_FALSE(thread.is_running());
}

TEST_F(wait_animation, a_worker_done_before_the_dialog_shows_closes_it_at_once)
{
    register_wait_animation_resources();
    slow_animation anim(0);
    anim.reset();
    anim.close();
    // No handler queued: a loop that started would be recorded as unexpected.
    anim.DoModal(nullptr);
    EXPECT_TRUE(ui_automation::unexpected_modals().empty());
    EXPECT_EQ(anim.current_frame(), -1) << "never shown";
}

} // namespace
