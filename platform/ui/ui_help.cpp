// HTML Help over a folder of HTML topics: the help file named in the call is
// the set's contents page, and "topics.map" beside it gives the topic file of
// each help context id (one "id file" pair a line, '#' starts a comment).
// Topics show in a help window of the program's own.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QScreen>
#include <QShortcut>
#include <QTextBrowser>
#include <QTextStream>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>

#include "platform/ui/ui_automation.h"
#include "platform/ui/ui_window.h"
#include "platform/ui/ui_window_object.h"

using namespace ui_detail;

namespace {

QPointer<QTextBrowser> g_browser; // user-interface thread only
// The help window's own size, as far as the screen beside the wizard has room for it.
const QSize k_help_size(640, 520);

// The topic file of a context id, or an empty text when the set has none.
QString topic_of(const QString& contents, DWORD_PTR id)
{
    const QFileInfo entry(contents);
    QFile map(entry.dir().filePath(QStringLiteral("topics.map")));
    if (!map.open(QIODevice::ReadOnly | QIODevice::Text)) return {};
    QTextStream in(&map);
    while (!in.atEnd()) {
        const QString line = in.readLine().trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#'))) continue;
        const QStringList parts = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        bool ok = false;
        if (parts.size() == 2 && parts[0].toULongLong(&ok) == id && ok) {
            const QString file = entry.dir().filePath(parts[1]);
            return QFileInfo::exists(file) ? file : QString();
        }
    }
    return {};
}

// The help window: reused from call to call, a window of the innermost modal
// window when there is one (a modal sheet blocks every other window).
QTextBrowser* help_browser(const QString& contents)
{
    HWND active = GetActiveWindow();
    ui_window_object* ao = lookup(active);
    QWidget* owner = (ao && ao->widget) ? ao->widget->window() : nullptr;
    QWidget* window = g_browser ? g_browser->window() : nullptr;
    if (window && owner != window && window->parentWidget() != owner)
        window->setParent(owner, window->windowFlags() | Qt::Window);
    if (g_browser) return g_browser;
    auto* w = new QWidget(owner, Qt::Window);
    w->setAttribute(Qt::WA_DeleteOnClose, false);
    auto* v = new QVBoxLayout(w);
    v->setContentsMargins(4, 4, 4, 4);
    auto* row = new QHBoxLayout();
    auto* back = new QToolButton(w);
    back->setText(QStringLiteral("Back"));
    auto* forward = new QToolButton(w);
    forward->setText(QStringLiteral("Forward"));
    auto* home = new QToolButton(w);
    home->setText(QStringLiteral("Contents"));
    row->addWidget(back);
    row->addWidget(forward);
    row->addWidget(home);
    row->addStretch(1);
    v->addLayout(row);
    auto* browser = new QTextBrowser(w);
    browser->setOpenLinks(true);
    browser->setOpenExternalLinks(true);
    v->addWidget(browser, 1);
    QObject::connect(back, &QToolButton::clicked, browser, &QTextBrowser::backward);
    QObject::connect(forward, &QToolButton::clicked, browser, &QTextBrowser::forward);
    QObject::connect(home, &QToolButton::clicked, browser,
                     [browser, contents] { browser->setSource(QUrl::fromLocalFile(contents)); });
    QObject::connect(browser, &QTextBrowser::backwardAvailable, back, &QToolButton::setEnabled);
    QObject::connect(browser, &QTextBrowser::forwardAvailable, forward, &QToolButton::setEnabled);
    QObject::connect(browser, &QTextBrowser::sourceChanged, w,
                     [w, browser] { w->setWindowTitle(browser->documentTitle() + QStringLiteral(" - Help")); });
    back->setEnabled(false);
    forward->setEnabled(false);
    w->resize(k_help_size);
    // Escape closes it, as it closes a dialog.
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), w);
    escape->setContext(Qt::WidgetWithChildrenShortcut);
    QObject::connect(escape, &QShortcut::activated, w, &QWidget::hide);
    // No window handle: it owns no other window, and goes with the window it
    // belongs to (or with the framework, see help_shutdown).
    g_browser = browser;
    return browser;
}

// Puts the help window beside the window it was asked from, on the side with
// room for it, and wholly on that window's screen: it must not hide what it explains.
void place_beside(QWidget* help, QWidget* owner)
{
    QScreen* screen = owner ? owner->screen() : QGuiApplication::primaryScreen();
    if (!screen) return;
    const QRect room = screen->availableGeometry();
    const QRect by = owner ? owner->frameGeometry() : QRect(room.center(), QSize(0, 0));
    // The frame the window manager adds, as far as it is known before showing.
    const QSize frame = help->frameGeometry().size() - help->size();
    const int min_width = 360;
    int width = std::min(k_help_size.width(), room.width() - frame.width());
    const int height = std::min(k_help_size.height(), room.height() - frame.height());
    const int right_room = room.right() - by.right() - frame.width();
    const int left_room = by.left() - room.left() - frame.width();
    int x = 0;
    if (right_room >= std::min(width, min_width)) {
        width = std::min(width, right_room);
        x = by.right() + 1;
    } else if (left_room >= std::min(width, min_width)) {
        width = std::min(width, left_room);
        x = by.left() - width - frame.width();
    } else {
        x = room.right() - width - frame.width(); // no room beside: at the screen's edge
    }
    const int y = std::clamp(by.top(), room.top(), std::max(room.top(), room.bottom() - height - frame.height()));
    help->resize(width, height);
    help->move(std::max(room.left(), x), y);
}

} // namespace

HWND HtmlHelpW(HWND /*caller*/, LPCWSTR file, UINT command, DWORD_PTR data)
{
    if (!file) return nullptr;
    const std::wstring path = file;
    if (ui_detail::automation_active())
        ui_detail::automation_record_help(path + L"|" + std::to_wstring(command) + L"|" + std::to_wstring(data));
    HWND shown = nullptr;
    invoke([&] {
        const QString contents = qstr(path);
        if (!QFileInfo::exists(contents)) return;
        QString topic = contents;
        if (command == HH_HELP_CONTEXT) {
            topic = topic_of(contents, data);
            if (topic.isEmpty()) return;
        } else if (command != HH_DISPLAY_TOPIC) {
            return;
        }
        QTextBrowser* browser = help_browser(contents);
        browser->setSource(QUrl::fromLocalFile(topic));
        QWidget* w = browser->window();
        const bool placing = !w->isVisible();
        ui_window_object* ao = lookup(GetActiveWindow());
        QWidget* owner = ao && ao->widget ? ao->widget->window() : nullptr;
        if (placing) place_beside(w, owner);
        w->show();
        // Once shown its frame is known: placed again with it.
        if (placing) place_beside(w, owner);
        w->raise();
        w->activateWindow();
        shown = GetDesktopWindow();
    });
    return shown;
}

namespace ui_detail {

void help_owner_closing(QWidget* owner)
{
    if (!g_browser || !owner) return;
    QWidget* window = g_browser->window();
    if (window->parentWidget() != owner) return;
    // The help stays on screen when the dialog it was asked from closes.
    const bool shown = window->isVisible();
    QWidget* next = owner->parentWidget() ? owner->parentWidget()->window() : nullptr;
    window->setParent(next, window->windowFlags() | Qt::Window);
    if (shown) window->show();
}

void help_shutdown()
{
    if (g_browser) delete g_browser->window();
}

} // namespace ui_detail

namespace ui_automation {

std::wstring help_window_topic()
{
    std::wstring topic;
    invoke([&] {
        if (g_browser && g_browser->window()->isVisible()) topic = wstr(g_browser->source().toLocalFile());
    });
    return topic;
}

void close_help_window()
{
    invoke([&] {
        if (g_browser) g_browser->window()->hide();
    });
}

QWidget* help_window() { return g_browser ? g_browser->window() : nullptr; }

} // namespace ui_automation
