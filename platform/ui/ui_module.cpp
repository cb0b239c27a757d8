#include "platform/ui/ui_module.h"

#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QThread>

#include <cstdlib>
#include <mutex>

#include <cstdio>
#include "platform/ui/ui_automation.h"
#include "platform/ui/ui_window_object.h"
#include "platform/win32/win_clipboard.h"

namespace {

// QApplication keeps references to argc and argv for its whole life.
int g_argc = 1;
char g_arg0[] = "tarvex";
char* g_argv[] = {g_arg0, nullptr};

std::unique_ptr<QApplication> g_app; // when the framework made the application
bool g_running = false;
int g_modules = 0; // modules initialised (user-interface thread only)
QtMessageHandler g_previous_handler = nullptr;

// The offscreen platform says on every window that it cannot pass size hints on;
// that is its nature, not a problem of ours.
void filter_qt_messages(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    if (text.contains(QLatin1String("propagateSizeHints")) || text.contains(QLatin1String("does not support raise()")))
        return;
    if (g_previous_handler) g_previous_handler(type, context, text);
}

} // namespace

ui_module::~ui_module()
{
    if (initialized_) Term();
}

HRESULT ui_module::Init(HINSTANCE /*instance*/)
{
    if (initialized_) return S_OK;
    // A module started while another runs (a test driving the program's entry)
    // shares the framework; the first one sets it up and the last one ends it.
    if (g_modules == 0) {
        if (!QApplication::instance()) {
            // A program started without any display still runs (nothing is seen).
            const bool has_display = std::getenv("DISPLAY") || std::getenv("WAYLAND_DISPLAY");
            if (!std::getenv("QT_QPA_PLATFORM") && !has_display) setenv("QT_QPA_PLATFORM", "offscreen", 1);
            g_previous_handler = qInstallMessageHandler(filter_qt_messages);
            g_app = std::make_unique<QApplication>(g_argc, g_argv);
        }
        if (!qobject_cast<QApplication*>(QCoreApplication::instance())) {
            g_app.reset();
            return E_FAIL;
        }
        QApplication::setQuitOnLastWindowClosed(false);
        set_clipboard_hook([](const std::wstring& text) {
            bool ok = false;
            ui_detail::invoke([&] {
                if (QClipboard* cb = QGuiApplication::clipboard()) {
                    cb->setText(ui_detail::qstr(text));
                    ok = true;
                }
            });
            return ok;
        });
        g_running = true;
    }
    ++g_modules;
    initialized_ = true;
    return S_OK;
}

void ui_module::Term()
{
    if (!initialized_) return;
    initialized_ = false;
    if (--g_modules > 0) return;
    set_clipboard_hook(nullptr);
    // Windows left open are closed, then deferred deletions run.
    QCoreApplication::sendPostedEvents();
    ui_detail::help_shutdown();
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (HWND h = ui_detail::handle_of(w)) ui_detail::destroy_window(h, true);
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    g_running = false;
    if (g_app) {
        g_app.reset();
        qInstallMessageHandler(g_previous_handler);
    }
}

bool ui_is_ui_thread()
{
    QCoreApplication* app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

bool ui_is_running() { return g_running && QCoreApplication::instance(); }

void ui_pump_events(int ms)
{
    if (!ui_is_running()) return;
    if (!ui_is_ui_thread()) {
        QThread::msleep(static_cast<unsigned long>(ms));
        return;
    }
    QElapsedTimer t;
    t.start();
    do {
        QCoreApplication::processEvents(QEventLoop::AllEvents, ms);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        if (t.elapsed() < ms) QThread::msleep(1);
    } while (t.elapsed() < ms);
}

namespace ui_detail {

namespace {
std::mutex g_sink_mutex;
std::function<void(std::exception_ptr)> g_uncaught_sink;
} // namespace

bool invoke(const std::function<void()>& f)
{
    if (!ui_is_running()) return false;
    if (ui_is_ui_thread()) {
        f();
        return true;
    }
    std::exception_ptr error;
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [&] {
            try {
                f();
            } catch (...) {
                error = std::current_exception();
            }
        },
        Qt::BlockingQueuedConnection);
    if (error) std::rethrow_exception(error);
    return true;
}

void post(std::function<void()> f)
{
    if (!ui_is_running()) return;
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [f = std::move(f)] { boundary(f); }, Qt::QueuedConnection);
}

int& dispatch_depth()
{
    static int depth = 0; // user-interface thread only
    return depth;
}

void boundary(const std::function<void()>& f)
{
    ++dispatch_depth();
    try {
        f();
    } catch (...) {
        report_uncaught(std::current_exception());
    }
    --dispatch_depth();
}

void set_uncaught_sink(std::function<void(std::exception_ptr)> sink)
{
    std::lock_guard<std::mutex> lock(g_sink_mutex);
    g_uncaught_sink = std::move(sink);
}

} // namespace ui_detail

void ui_set_uncaught_handler(std::function<void(std::exception_ptr)> handler)
{
    ui_detail::set_uncaught_sink(std::move(handler));
}

namespace ui_detail {
void automation_store_uncaught(std::exception_ptr e);

void report_uncaught(std::exception_ptr e)
{
    if (automation_active()) {
        automation_store_uncaught(e);
        return;
    }
    std::function<void(std::exception_ptr)> sink;
    {
        std::lock_guard<std::mutex> lock(g_sink_mutex);
        sink = g_uncaught_sink;
    }
    try {
        if (sink) {
            sink(e);
            return;
        }
        std::rethrow_exception(e);
    } catch (const std::exception& x) {
        std::fprintf(stderr, "Unhandled exception in a window handler: %s\n", x.what());
    } catch (...) {
        std::fprintf(stderr, "Unhandled exception in a window handler\n");
    }
}
} // namespace ui_detail
