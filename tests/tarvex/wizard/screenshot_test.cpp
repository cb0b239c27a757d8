// The wizard on a real X server (Xvfb, started here): a whole walk with a
// conversion, a screenshot of every page and dialog into the build folder, the
// closed combo boxes one line high, and the help window at the page's topic.
// The walk runs in a child process of this program, since the window system
// is chosen once per process.
#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <QTest>
#include <QWidget>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <thread>

#include "tarvex/wizard/wizard_art.h"
#include "tests/tarvex/wizard/wizard_tour.h"

extern char** environ;

namespace fs = std::filesystem;

namespace {

fs::path screenshot_dir() { return fs::read_symlink("/proc/self/exe").parent_path() / "screenshots"; }

// Starts a program with these extra variables; its output goes to /dev/null when quiet.
pid_t spawn(const std::vector<std::string>& args, const std::map<std::string, std::string>& vars, bool quiet)
{
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        const std::string entry = *e;
        if (!vars.count(entry.substr(0, entry.find('=')))) env.push_back(entry);
    }
    for (const auto& [k, v] : vars) env.push_back(k + "=" + v);
    std::vector<char*> argv, envp;
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    for (const auto& e : env) envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (quiet) {
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    }
    pid_t pid = 0;
    const int rc = posix_spawnp(&pid, args[0].c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    return rc == 0 ? pid : -1;
}

// Waits for the process at most `ms`; its exit status, or -1 while it still runs.
int wait_for(pid_t pid, int ms)
{
    for (int waited = 0;; waited += 20) {
        int status = 0;
        const pid_t r = waitpid(pid, &status, WNOHANG);
        if (r == pid)
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
        if (r < 0) return 255;
        if (waited >= ms) return -1;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

void stop(pid_t pid)
{
    kill(pid, SIGTERM);
    if (wait_for(pid, 5000) == -1) {
        kill(pid, SIGKILL);
        wait_for(pid, 5000);
    }
}

// An X server of our own on a display number nobody uses (unix socket only).
class xvfb {
public:
    bool start()
    {
        for (int display = 91; display < 131 && pid_ <= 0; ++display) {
            const std::string lock = "/tmp/.X" + std::to_string(display) + "-lock";
            const std::string socket = "/tmp/.X11-unix/X" + std::to_string(display);
            if (fs::exists(lock) || fs::exists(socket)) continue;
            const pid_t pid = spawn(
                {"Xvfb", ":" + std::to_string(display), "-screen", "0", "1280x1024x24", "-nolisten", "tcp"}, {}, true);
            if (pid <= 0) return false; // no Xvfb at all
            // Ready once its socket is there; gone when the number was taken meanwhile.
            for (int waited = 0; waited < 10000; waited += 50) {
                if (wait_for(pid, 0) != -1) break;
                if (fs::exists(socket)) {
                    pid_ = pid;
                    display_ = ":" + std::to_string(display);
                    break;
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            }
            if (pid_ <= 0 && wait_for(pid, 0) == -1) stop(pid);
        }
        return pid_ > 0;
    }
    ~xvfb()
    {
        if (pid_ > 0) stop(pid_);
    }
    const std::string& display() const { return display_; }

private:
    pid_t pid_ = -1;
    std::string display_;
};

std::string asan_options()
{
    const char* given = std::getenv("ASAN_OPTIONS");
    return std::string(given && *given ? std::string(given) + ":" : "") + "detect_leaks=0";
}

TEST(screenshot, every_page_and_dialog_on_a_real_x_server)
{
    xvfb server;
    if (!server.start()) GTEST_SKIP() << "Xvfb could not be started: no screenshots";
    fs::remove_all(screenshot_dir());
    fs::create_directories(screenshot_dir());
    const pid_t walk =
        spawn({fs::read_symlink("/proc/self/exe").string(),
               "--gtest_filter=screenshot_walk.DISABLED_every_page_and_dialog", "--gtest_also_run_disabled_tests"},
              // The X client libraries keep their caches to the end of the process;
              // the same walk runs offscreen with leak checks (the layout tests).
              {{"DISPLAY", server.display()}, {"QT_QPA_PLATFORM", "xcb"}, {"ASAN_OPTIONS", asan_options()}}, false);
    ASSERT_GT(walk, 0);
    int status = wait_for(walk, 300000);
    if (status == -1) {
        stop(walk);
        FAIL() << "the walk did not end within 300 s";
    }
    EXPECT_EQ(status, 0) << "the walk on the X server failed (its output is above)";
    for (const char* suffix : {"", "_125"})
        for (const char* name : {"welcome", "sql_server", "wait_animation", "oracle", "database", "database_list_open",
                                 "tables", "custom_query", "type_mapping", "type_mapping_decimal", "progress", "finish",
                                 "internal_error", "continue_or_abort", "help_sql_server"})
            EXPECT_TRUE(fs::exists(screenshot_dir() / (std::string(name) + suffix + ".png"))) << name << suffix;
}

// --- The walk itself, run by the test above on its X server --------------------------

class screenshot_walk : public ui_test {};

void save_pixmap(const QPixmap& shot, const std::string& name)
{
    EXPECT_TRUE(shot.save(QString::fromStdString((screenshot_dir() / (name + ".png")).string()))) << name;
}

// Waits (on events, bounded) until the X server shows the window, then has it
// painted now: the picture read back from the server comes after that paint,
// as the server answers one client's requests in order.
void painted(QWidget* window)
{
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window, 10000)) << "never shown by the X server";
    // Lists lay their entries out on a timer of their own: done now.
    for (QAbstractItemView* view : window->findChildren<QAbstractItemView*>()) view->doItemsLayout();
    window->repaint();
    QCoreApplication::processEvents();
}

// The window on the screen as the X server shows it, popups included.
void save(QWidget* window, const std::string& name, QWidget* popup = nullptr)
{
    painted(window);
    if (popup) painted(popup);
    QScreen* screen = QGuiApplication::primaryScreen();
    ASSERT_NE(screen, nullptr);
    const QRect g = window->frameGeometry();
    const QPixmap shot = screen->grabWindow(0, g.x(), g.y(), g.width(), g.height());
    save_pixmap(shot, name);
}

void check_combos(const wizard_tour_visit& v)
{
    for (HWND c : ui_automation::controls(v.window)) {
        auto* cb = qobject_cast<QComboBox*>(ui_automation::widget(c));
        if (!cb) continue;
        const int line = QFontMetrics(cb->font()).height();
        EXPECT_GE(cb->height(), line) << v.name;
        EXPECT_LE(cb->height(), 2 * line) << v.name << ": a closed combo box is one line high";
    }
}

// The program's own pictures, enlarged four times so that they can be looked at.
void save_art()
{
    auto save_image = [](const ui_image& img, const std::string& name) {
        QImage q(img.width, img.height, QImage::Format_ARGB32);
        for (int y = 0; y < img.height; ++y)
            for (int x = 0; x < img.width; ++x)
                q.setPixel(x, y,
                           img.argb[static_cast<size_t>(y) * static_cast<size_t>(img.width) + static_cast<size_t>(x)]);
        save_pixmap(QPixmap::fromImage(q.scaled(img.width * 4, img.height * 4)), name);
    };
    save_image(wizard_program_icon(48), "art_program_icon");
    for (int k = 0; k < 8; ++k) save_image(wizard_wait_frame(k, 8, 32), "art_wait_frame_" + std::to_string(k));
}

// One walk at the desktop's font scaled by `scale`; every picture's name ends with `suffix`.
void walk_at(double scale, const std::string& suffix)
{
    const QFont saved = QApplication::font();
    QFont font = saved;
    if (font.pointSizeF() > 0)
        font.setPointSizeF(font.pointSizeF() * scale);
    else
        font.setPixelSize(static_cast<int>(font.pixelSize() * scale + 0.5));
    QApplication::setFont(font);
    const std::map<std::string, std::string> topics = {
        {"welcome", "welcome.html"},           {"sql_server", "sql_server.html"}, {"oracle", "oracle.html"},
        {"database", "database.html"},         {"tables", "tables.html"},         {"custom_query", "custom_query.html"},
        {"type_mapping", "type_mapping.html"},
    };
    wizard_env env(true);
    EXPECT_TRUE(run_wizard_tour(env, [&](const wizard_tour_visit& v) {
        QWidget* window = ui_automation::widget(v.window)->window();
        const bool on_screen =
            !v.page || reinterpret_cast<HWND>(SendMessageW(v.sheet, PSM_GETCURRENTPAGEHWND)) == v.window;
        if (v.name == "wait_animation" || (v.name == "progress" && on_screen))
            save_pixmap(window->grab(), v.name + suffix); // at once: its worker moves on in a moment
        else if (!on_screen)
            save_pixmap(ui_automation::widget(v.window)->grab(),
                        v.name + suffix); // a page the run has left: its area alone
        else
            save(window, v.name + suffix);
        check_combos(v);
        if (v.name == "database") {
            // The list drops down below the box and covers nothing but itself.
            auto* cb = qobject_cast<QComboBox*>(ui_automation::widget(GetDlgItem(v.window, 1302)));
            ASSERT_NE(cb, nullptr);
            cb->showPopup();
            save(window, "database_list_open" + suffix, cb->view()->window());
            cb->hidePopup();
            EXPECT_TRUE(IsDlgButtonChecked(v.window, 1203) != BST_CHECKED) << "the list's arrow reached a check box";
        }
        const auto topic = topics.find(v.name);
        if (topic == topics.end()) return;
        if (v.page)
            SendMessageW(v.sheet, PSM_PRESSBUTTON, PSBTN_HELP);
        else
            ui_automation::click(v.window, IDHELP);
        EXPECT_EQ(fs::path(ui_automation::help_window_topic()).filename().string(), topic->second) << v.name;
        if (QWidget* help = ui_automation::help_window()) save(help, "help_" + v.name + suffix);
        ui_automation::close_help_window();
    }));
    QApplication::setFont(saved);
}

TEST_F(screenshot_walk, DISABLED_every_page_and_dialog)
{
    ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("xcb"));
    save_art();
    walk_at(1.0, "");
    walk_at(1.25, "_125");
}

} // namespace
