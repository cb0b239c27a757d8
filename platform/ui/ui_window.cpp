#include "platform/ui/ui_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QFocusEvent>
#include <QFontMetrics>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollBar>
#include <QTextBlock>
#include <QTimer>

#include <algorithm>
#include <mutex>
#include <unordered_map>

#include "platform/ui/ui_module.h"
#include "platform/ui/ui_window_object.h"

ui_window_object::ui_window_object() = default;
ui_window_object::~ui_window_object() = default;

namespace ui_detail {

namespace {

// Handles are the objects' addresses; the map owns the objects. Changed on the
// user-interface thread only; the lock lets other threads ask IsWindow.
std::mutex g_windows_mutex;
std::unordered_map<HWND, std::unique_ptr<ui_window_object>> g_windows;

const char* const k_handle_property = "tvx_hwnd";

} // namespace

ui_window_object* lookup(HWND h)
{
    if (!h) return nullptr;
    std::lock_guard<std::mutex> lock(g_windows_mutex);
    auto it = g_windows.find(h);
    return it == g_windows.end() ? nullptr : it->second.get();
}

HWND handle_of(const QWidget* w)
{
    if (!w) return nullptr;
    const QVariant v = w->property(k_handle_property);
    if (!v.isValid()) return nullptr;
    HWND h = reinterpret_cast<HWND>(static_cast<uintptr_t>(v.toULongLong()));
    return lookup(h) ? h : nullptr;
}

HWND register_window(std::unique_ptr<ui_window_object> obj)
{
    // Handles are never reused: a message or signal still on its way to a window
    // that is gone must not reach a newer window at the same address.
    static uintptr_t serial = 0; // user-interface thread only
    HWND h = reinterpret_cast<HWND>(++serial << 4);
    obj->self = h;
    QWidget* w = obj->widget;
    if (obj->parent) {
        if (ui_window_object* p = lookup(obj->parent)) p->children.push_back(h);
    }
    {
        std::lock_guard<std::mutex> lock(g_windows_mutex);
        g_windows.emplace(h, std::move(obj));
    }
    if (w) {
        w->setProperty(k_handle_property, QVariant::fromValue(static_cast<qulonglong>(reinterpret_cast<uintptr_t>(h))));
        // A widget deleted with its parent takes its handle along.
        ui_window_object* o = lookup(h);
        o->destroyed_connection = QObject::connect(w, &QObject::destroyed, [h] { destroy_window(h, false); });
    }
    return h;
}

void destroy_window(HWND h, bool delete_widget)
{
    ui_window_object* o = lookup(h);
    if (!o) return;
    const std::vector<HWND> children = o->children;
    for (HWND c : children) destroy_window(c, false);
    for (auto& t : o->timers) t.second->stop();
    if (o->wrapper && o->wrapper->m_hWnd == h) o->wrapper->m_hWnd = nullptr;
    if (ui_window_object* p = lookup(o->parent))
        p->children.erase(std::remove(p->children.begin(), p->children.end(), h), p->children.end());
    QObject::disconnect(o->destroyed_connection);
    ui_message_target* target = o->target;
    QPointer<QWidget> w = o->widget;
    std::unique_ptr<ui_window_object> gone;
    {
        std::lock_guard<std::mutex> lock(g_windows_mutex);
        auto it = g_windows.find(h);
        gone = std::move(it->second);
        g_windows.erase(it);
    }
    gone.reset();
    if (w) {
        w->setProperty(k_handle_property, QVariant());
        if (delete_widget) {
            help_owner_closing(w);
            w->hide();
            if (dispatch_depth() > 0)
                w->deleteLater();
            else
                delete w.data();
        }
    }
    if (target) target->OnFinalMessage(h);
}

QString qstr(const std::wstring& s) { return QString::fromStdWString(s); }
std::wstring wstr(const QString& s) { return s.toStdWString(); }

QString display_text(const std::wstring& s)
{
    QString out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == L'&') {
            if (i + 1 < s.size() && s[i + 1] == L'&') {
                out += QLatin1Char('&');
                ++i;
            }
            continue;
        }
        out += QString::fromStdWString(std::wstring(1, s[i]));
    }
    return out;
}

QString label_text(const QLabel* label, const std::wstring& s)
{
    // With a buddy the '&' marks the access key, which the label underlines.
    return label && label->buddy() ? qstr(s) : display_text(s);
}

namespace {

// Dialog units follow the dialog font, as on Windows: a horizontal unit is a
// quarter of the average letter width, a vertical one an eighth of the line
// height. Templates laid out for the classic 8-point font (6 x 13 pixels)
// then keep their texts whole in whatever font the desktop gives.
struct dialog_base_units {
    int x = 6;
    int y = 13;
};

dialog_base_units base_units()
{
    // Kept for the last font asked about: the desktop's font may change between
    // dialogs (a larger font makes every dialog larger, not its texts cut).
    static QString key; // user-interface thread only
    static dialog_base_units units;
    if (!QApplication::instance()) return dialog_base_units{};
    const QFont font = QApplication::font();
    if (font.key() != key) {
        key = font.key();
        units = dialog_base_units{};
        const QFontMetrics fm(font);
        const QString letters = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
        units.x = std::max(units.x, (fm.horizontalAdvance(letters) / 26 + 1) / 2);
        units.y = std::max(units.y, fm.height());
    }
    return units;
}

} // namespace

int dlu_x(int x) { return x * base_units().x / 4; }
int dlu_y(int y) { return y * base_units().y / 8; }

LRESULT dispatch(HWND h, UINT msg, WPARAM w, LPARAM l)
{
    ui_window_object* o = lookup(h);
    if (!o) return 0;
    if (o->target) {
        LRESULT r = 0;
        if (o->target->ProcessWindowMessage(h, msg, w, l, r)) return r;
        o = lookup(h); // the handler may have destroyed the window
        if (!o) return 0;
    }
    switch (o->kind) {
    case ui_window_kind::control:
        return control_proc(o, h, msg, w, l);
    case ui_window_kind::sheet:
        return sheet_proc(o, h, msg, w, l);
    case ui_window_kind::dialog:
    case ui_window_kind::page:
        return dialog_proc(o, h, msg, w, l);
    }
    return 0;
}

void notify_command(HWND control, WORD code)
{
    ui_window_object* o = lookup(control);
    if (!o || !o->parent) return;
    dispatch(o->parent, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(o->id), code), reinterpret_cast<LPARAM>(control));
}

LRESULT notify_parent(HWND control, NMHDR* hdr)
{
    ui_window_object* o = lookup(control);
    if (!o || !o->parent) return 0;
    hdr->hwndFrom = control;
    hdr->idFrom = static_cast<UINT_PTR>(o->id);
    return dispatch(o->parent, WM_NOTIFY, static_cast<WPARAM>(o->id), reinterpret_cast<LPARAM>(hdr));
}

namespace {

// --- Widgets -----------------------------------------------------------------

// Check boxes and radio buttons the owner sets itself do not flip on a click.
class check_box_widget : public mnemonic_button<QCheckBox> {
public:
    check_box_widget(bool automatic, QWidget* parent) : mnemonic_button<QCheckBox>(parent), automatic_(automatic) {}

protected:
    void nextCheckState() override
    {
        if (automatic_) QCheckBox::nextCheckState();
    }

private:
    bool automatic_;
};

// Radio buttons that follow one another in a template form a group, as the
// dialog manager groups them: the group is one Tab stop (Tab reaches its checked
// button) and the arrow keys move through it, clicking the button reached.
class radio_button_widget : public mnemonic_button<QRadioButton> {
public:
    radio_button_widget(bool automatic, int group, QWidget* parent)
        : mnemonic_button<QRadioButton>(parent), automatic_(automatic), group_(group)
    {
        setAutoExclusive(automatic);
    }

protected:
    void nextCheckState() override
    {
        if (automatic_) QRadioButton::nextCheckState();
    }

    void focusInEvent(QFocusEvent* e) override
    {
        QRadioButton::focusInEvent(e);
        const bool by_tab = e->reason() == Qt::TabFocusReason || e->reason() == Qt::BacktabFocusReason;
        if (!by_tab || skipping_ || isChecked()) return;
        for (radio_button_widget* m : members())
            if (m != this && m->isChecked() && m->isEnabled() && m->isVisible()) {
                m->setFocus(e->reason());
                return;
            }
    }

    bool focusNextPrevChild(bool next) override
    {
        // Past the other buttons of the group.
        skipping_ = true;
        bool moved = false;
        for (size_t guard = 0; guard <= members().size(); ++guard) {
            moved = QRadioButton::focusNextPrevChild(next);
            auto* r = dynamic_cast<radio_button_widget*>(QApplication::focusWidget());
            if (!moved || !r || r == this || r->parentWidget() != parentWidget() || r->group_ != group_) break;
        }
        skipping_ = false;
        // Entering the next group lands on its checked button.
        if (auto* r = dynamic_cast<radio_button_widget*>(QApplication::focusWidget()); r && r->group_ != group_) {
            QFocusEvent again(QEvent::FocusIn, next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
            r->focusInEvent(&again);
        }
        return moved;
    }

    void keyPressEvent(QKeyEvent* e) override
    {
        const int key = e->key();
        const int step = (key == Qt::Key_Down || key == Qt::Key_Right) ? 1
                         : (key == Qt::Key_Up || key == Qt::Key_Left)  ? -1
                                                                       : 0;
        if (step == 0 || e->modifiers() != Qt::NoModifier) {
            QRadioButton::keyPressEvent(e);
            return;
        }
        const std::vector<radio_button_widget*> group = members();
        const auto self = std::find(group.begin(), group.end(), this);
        const int n = static_cast<int>(group.size());
        int at = static_cast<int>(self - group.begin());
        for (int k = 1; k < n; ++k) {
            radio_button_widget* m = group[static_cast<size_t>(((at + step * k) % n + n) % n)];
            if (!m->isEnabled() || !m->isVisible()) continue;
            m->setFocus(Qt::OtherFocusReason);
            m->click();
            break;
        }
        e->accept();
    }

private:
    std::vector<radio_button_widget*> members() const
    {
        std::vector<radio_button_widget*> out;
        if (!parentWidget()) return out;
        for (QObject* c : parentWidget()->children())
            if (auto* r = dynamic_cast<radio_button_widget*>(c); r && r->group_ == group_) out.push_back(r);
        return out;
    }

    bool automatic_;
    int group_;
    static inline bool skipping_ = false; // user-interface thread only
};

// A list box answers Enter on its current entry as a double click: the
// keyboard's way to what a double click opens.
class list_box_widget : public QListWidget {
public:
    using QListWidget::QListWidget;

protected:
    void keyPressEvent(QKeyEvent* e) override
    {
        const bool enter = e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter;
        if (enter && e->modifiers() == Qt::NoModifier && currentItem()) {
            // The entry with the caret is the one Enter acts on.
            if (!currentItem()->isSelected()) setCurrentItem(currentItem(), QItemSelectionModel::ClearAndSelect);
            if (HWND h = handle_of(this)) boundary([h] { notify_command(h, LBN_DBLCLK); });
            e->accept();
            return;
        }
        QListWidget::keyPressEvent(e);
    }
};

class combo_widget : public QComboBox {
public:
    using QComboBox::QComboBox;
    void showPopup() override
    {
        if (HWND h = handle_of(this)) boundary([h] { notify_command(h, CBN_DROPDOWN); });
        QComboBox::showPopup();
    }
};

template <class Base>
class focus_notifying : public Base {
public:
    focus_notifying(WORD code, QWidget* parent) : Base(parent), code_(code) {}

protected:
    void focusInEvent(QFocusEvent* e) override
    {
        Base::focusInEvent(e);
        if (HWND h = handle_of(this)) boundary([h, c = code_] { notify_command(h, c); });
    }

private:
    WORD code_;
};

using line_edit_widget = focus_notifying<QLineEdit>;
using text_edit_widget = focus_notifying<QPlainTextEdit>;

void on_clicked(QAbstractButton* b, HWND h)
{
    QObject::connect(b, &QAbstractButton::clicked, b, [h] { boundary([h] { notify_command(h, BN_CLICKED); }); });
}

// --- Text of a control -----------------------------------------------------------

// A multi-line edit holds lines ended by "\r\n"; the widget keeps "\n" alone.
QString edit_lines(QString text) { return text.replace(QLatin1String("\r\n"), QLatin1String("\n")); }

std::wstring control_text(ui_window_object* o)
{
    QWidget* w = o->widget;
    if (!w) return o->text;
    switch (o->control) {
    case ui_control_kind::edit:
        if (auto* e = qobject_cast<QLineEdit*>(w)) return wstr(e->text());
        if (auto* e = qobject_cast<QPlainTextEdit*>(w))
            return wstr(e->toPlainText().replace(QLatin1Char('\n'), QLatin1String("\r\n")));
        break;
    case ui_control_kind::combo_box:
        if (auto* c = qobject_cast<QComboBox*>(w)) return wstr(c->currentText());
        break;
    default:
        break;
    }
    return o->text;
}

void set_control_text(ui_window_object* o, const std::wstring& text)
{
    QWidget* w = o->widget;
    o->text = text;
    if (!w) return;
    switch (o->control) {
    case ui_control_kind::edit:
        if (auto* e = qobject_cast<QLineEdit*>(w))
            e->setText(qstr(text));
        else if (auto* e = qobject_cast<QPlainTextEdit*>(w))
            e->setPlainText(edit_lines(qstr(text)));
        break;
    case ui_control_kind::combo_box:
        if (auto* c = qobject_cast<QComboBox*>(w)) {
            if (c->isEditable())
                c->setEditText(qstr(text));
            else
                c->setCurrentIndex(c->findText(qstr(text), Qt::MatchFixedString));
        }
        break;
    case ui_control_kind::static_text:
    case ui_control_kind::hyperlink:
        if (auto* l = qobject_cast<QLabel*>(w)) l->setText(label_text(l, text));
        break;
    case ui_control_kind::group_box:
        if (auto* g = qobject_cast<QGroupBox*>(w)) g->setTitle(display_text(text));
        break;
    case ui_control_kind::push_button:
    case ui_control_kind::check_box:
    case ui_control_kind::radio_button:
        if (auto* b = qobject_cast<QAbstractButton*>(w)) b->setText(qstr(text));
        break;
    default:
        if (w->isWindow()) w->setWindowTitle(qstr(text));
        break;
    }
}

LRESULT copy_out(const std::wstring& text, WPARAM count, LPARAM buffer)
{
    auto* out = reinterpret_cast<wchar_t*>(buffer);
    if (!out || count == 0) return 0;
    const size_t n = std::min<size_t>(text.size(), count - 1);
    std::copy_n(text.data(), n, out);
    out[n] = L'\0';
    return static_cast<LRESULT>(n);
}

// Where a sorted list puts a new entry: after every entry that does not sort after it.
int sorted_position(const QStringList& items, const QString& text)
{
    int pos = 0;
    while (pos < items.size() && QString::compare(items[pos], text, Qt::CaseInsensitive) <= 0) ++pos;
    return pos;
}

QStringList items_of(QComboBox* c)
{
    QStringList l;
    for (int i = 0; i < c->count(); ++i) l << c->itemText(i);
    return l;
}

QStringList items_of(QListWidget* lw)
{
    QStringList l;
    for (int i = 0; i < lw->count(); ++i) l << lw->item(i)->text();
    return l;
}

// The first entry after `start` (wrapping) that equals (exact) or begins with `text`,
// without regard to letter case; -1 when none.
int find_entry(const QStringList& items, WPARAM start, LPARAM text, bool exact)
{
    if (!text || items.isEmpty()) return -1;
    const QString t = QString::fromWCharArray(reinterpret_cast<const wchar_t*>(text));
    const int n = static_cast<int>(items.size());
    const int first =
        (static_cast<intptr_t>(start) < 0 || static_cast<int>(start) >= n) ? 0 : static_cast<int>(start) + 1;
    for (int k = 0; k < n; ++k) {
        const int i = (first + k) % n;
        const bool match = exact ? QString::compare(items[i], t, Qt::CaseInsensitive) == 0
                                 : items[i].startsWith(t, Qt::CaseInsensitive);
        if (match) return i;
    }
    return -1;
}

QString text_arg(LPARAM l) { return l ? QString::fromWCharArray(reinterpret_cast<const wchar_t*>(l)) : QString(); }

LRESULT combo_proc(ui_window_object* o, QComboBox* c, UINT msg, WPARAM w, LPARAM l)
{
    const QSignalBlocker block(c);
    switch (msg) {
    case CB_ADDSTRING: {
        const QString t = text_arg(l);
        const int pos = (o->style & CBS_SORT) ? sorted_position(items_of(c), t) : c->count();
        const QString keep = c->isEditable() ? c->currentText() : QString();
        c->insertItem(pos, t);
        if (c->isEditable()) c->setEditText(keep);
        return pos;
    }
    case CB_INSERTSTRING: {
        int pos = static_cast<int>(static_cast<intptr_t>(w));
        if (pos < 0 || pos > c->count()) pos = c->count();
        const QString keep = c->isEditable() ? c->currentText() : QString();
        c->insertItem(pos, text_arg(l));
        if (c->isEditable()) c->setEditText(keep);
        return pos;
    }
    case CB_DELETESTRING: {
        const int i = static_cast<int>(w);
        if (i < 0 || i >= c->count()) return CB_ERR;
        c->removeItem(i);
        return c->count();
    }
    case CB_RESETCONTENT:
        c->clear();
        if (c->isEditable()) c->setEditText(QString());
        return 0;
    case CB_GETCOUNT:
        return c->count();
    case CB_GETCURSEL: {
        const int i = c->currentIndex();
        if (i < 0) return CB_ERR;
        // Typing into the edit field leaves no entry selected.
        if (c->isEditable() && c->currentText() != c->itemText(i)) return CB_ERR;
        return i;
    }
    case CB_SETCURSEL: {
        const int i = static_cast<int>(static_cast<intptr_t>(w));
        if (i < 0 || i >= c->count()) {
            c->setCurrentIndex(-1);
            if (c->isEditable()) c->setEditText(QString());
            return CB_ERR;
        }
        c->setCurrentIndex(i);
        return i;
    }
    case CB_GETLBTEXT: {
        const int i = static_cast<int>(w);
        if (i < 0 || i >= c->count() || !l) return CB_ERR;
        const std::wstring t = wstr(c->itemText(i));
        auto* out = reinterpret_cast<wchar_t*>(l);
        std::copy(t.begin(), t.end(), out);
        out[t.size()] = L'\0';
        return static_cast<LRESULT>(t.size());
    }
    case CB_GETLBTEXTLEN: {
        const int i = static_cast<int>(w);
        if (i < 0 || i >= c->count()) return CB_ERR;
        return static_cast<LRESULT>(wstr(c->itemText(i)).size());
    }
    case CB_FINDSTRINGEXACT:
        return find_entry(items_of(c), w, l, true);
    case CB_FINDSTRING:
        return find_entry(items_of(c), w, l, false);
    case CB_SELECTSTRING: {
        const int i = find_entry(items_of(c), w, l, false);
        if (i >= 0) c->setCurrentIndex(i);
        return i;
    }
    case CB_SHOWDROPDOWN:
        if (w)
            c->showPopup();
        else
            c->hidePopup();
        return TRUE;
    case CB_GETDROPPEDSTATE:
        return c->view() && c->view()->isVisible() ? TRUE : FALSE;
    case CB_LIMITTEXT:
        o->text_limit = static_cast<int>(w);
        if (c->lineEdit()) c->lineEdit()->setMaxLength(w ? static_cast<int>(w) : 32767);
        return TRUE;
    default:
        return 0;
    }
}

LRESULT list_proc(ui_window_object* o, QListWidget* lw, UINT msg, WPARAM w, LPARAM l)
{
    const QSignalBlocker block(lw);
    switch (msg) {
    case LB_ADDSTRING: {
        const QString t = text_arg(l);
        const int pos = (o->style & LBS_SORT) ? sorted_position(items_of(lw), t) : lw->count();
        lw->insertItem(pos, t);
        return pos;
    }
    case LB_INSERTSTRING: {
        int pos = static_cast<int>(static_cast<intptr_t>(w));
        if (pos < 0 || pos > lw->count()) pos = lw->count();
        lw->insertItem(pos, text_arg(l));
        return pos;
    }
    case LB_DELETESTRING: {
        const int i = static_cast<int>(w);
        if (i < 0 || i >= lw->count()) return LB_ERR;
        delete lw->takeItem(i);
        return lw->count();
    }
    case LB_RESETCONTENT:
        lw->clear();
        return 0;
    case LB_GETCOUNT:
        return lw->count();
    case LB_SETCURSEL: {
        const int i = static_cast<int>(static_cast<intptr_t>(w));
        if (i < 0 || i >= lw->count()) {
            lw->setCurrentRow(-1);
            lw->clearSelection();
            return i == -1 ? 0 : LB_ERR;
        }
        lw->setCurrentRow(i);
        return i;
    }
    case LB_GETCURSEL: {
        const auto sel = lw->selectedItems();
        return sel.isEmpty() ? LB_ERR : lw->row(sel.front());
    }
    case LB_GETTEXT: {
        const int i = static_cast<int>(w);
        if (i < 0 || i >= lw->count() || !l) return LB_ERR;
        const std::wstring t = wstr(lw->item(i)->text());
        auto* out = reinterpret_cast<wchar_t*>(l);
        std::copy(t.begin(), t.end(), out);
        out[t.size()] = L'\0';
        return static_cast<LRESULT>(t.size());
    }
    case LB_GETTEXTLEN: {
        const int i = static_cast<int>(w);
        if (i < 0 || i >= lw->count()) return LB_ERR;
        return static_cast<LRESULT>(wstr(lw->item(i)->text()).size());
    }
    case LB_FINDSTRINGEXACT:
        return find_entry(items_of(lw), w, l, true);
    case LB_FINDSTRING:
        return find_entry(items_of(lw), w, l, false);
    case LB_SELECTSTRING: {
        const int i = find_entry(items_of(lw), w, l, false);
        if (i >= 0) lw->setCurrentRow(i);
        return i;
    }
    case LB_SETHORIZONTALEXTENT:
        o->horizontal_extent = static_cast<int>(w);
        return 0;
    case LB_GETHORIZONTALEXTENT:
        return o->horizontal_extent;
    default:
        return 0;
    }
}

// The text of a multi-line edit is kept within its limit, counted as Windows
// counts it: each line break is two characters.
void insert_limited(ui_window_object* o, QPlainTextEdit* e, const QString& text)
{
    QString t = text;
    if (o->text_limit > 0) {
        QTextCursor cur = e->textCursor();
        const int breaks = e->document()->blockCount() - 1;
        const int len = e->document()->characterCount() - 1 + breaks - (cur.selectionEnd() - cur.selectionStart());
        const int room = std::max(0, o->text_limit - len);
        if (t.size() > room) {
            t.truncate(room);
            if (t.endsWith(QLatin1Char('\r'))) t.chop(1);
        }
    }
    e->insertPlainText(edit_lines(t));
}

LRESULT edit_proc(ui_window_object* o, QWidget* w, UINT msg, WPARAM wp, LPARAM l)
{
    auto* line = qobject_cast<QLineEdit*>(w);
    auto* text = qobject_cast<QPlainTextEdit*>(w);
    const QSignalBlocker block(w);
    switch (msg) {
    case EM_SETSEL: {
        const int start = static_cast<int>(static_cast<intptr_t>(wp));
        const int end = static_cast<int>(l);
        if (line) {
            const int n = static_cast<int>(line->text().size());
            if (start < 0) {
                line->deselect();
                return 0;
            }
            const int e = (end < 0 || end > n) ? n : end;
            const int s = std::min(start, n);
            line->setSelection(s, e - s);
        } else if (text) {
            QTextCursor cur = text->textCursor();
            const int n = text->document()->characterCount() - 1;
            if (start < 0) {
                cur.clearSelection();
            } else {
                const int e = (end < 0 || end > n) ? n : end;
                cur.setPosition(std::min(start, n));
                cur.setPosition(e, QTextCursor::KeepAnchor);
            }
            text->setTextCursor(cur);
        }
        return 0;
    }
    case EM_GETSEL: {
        int s = 0, e = 0;
        if (line) {
            s = line->hasSelectedText() ? line->selectionStart() : line->cursorPosition();
            e = line->hasSelectedText() ? s + static_cast<int>(line->selectedText().size()) : s;
        } else if (text) {
            s = text->textCursor().selectionStart();
            e = text->textCursor().selectionEnd();
        }
        return static_cast<LRESULT>(MAKELONG(static_cast<WORD>(s), static_cast<WORD>(e)));
    }
    case EM_REPLACESEL:
        if (line)
            line->insert(text_arg(l));
        else if (text)
            insert_limited(o, text, text_arg(l));
        return 0;
    case EM_SCROLLCARET:
        if (text) text->ensureCursorVisible();
        return TRUE;
    case EM_SETREADONLY:
        if (line)
            line->setReadOnly(wp != 0);
        else if (text)
            text->setReadOnly(wp != 0);
        return TRUE;
    case EM_LIMITTEXT:
        o->text_limit = static_cast<int>(wp);
        if (line) line->setMaxLength(wp ? static_cast<int>(wp) : 32767);
        return 0;
    case EM_GETLIMITTEXT:
        return o->text_limit;
    case EM_GETLINECOUNT:
        return text ? text->document()->blockCount() : 1;
    default:
        return 0;
    }
}

} // namespace

LRESULT control_proc(ui_window_object* o, HWND /*h*/, UINT msg, WPARAM w, LPARAM l)
{
    QWidget* widget = o->widget;
    switch (msg) {
    case WM_SETTEXT:
        set_control_text(o, l ? reinterpret_cast<const wchar_t*>(l) : L"");
        return TRUE;
    case WM_GETTEXT:
        return copy_out(control_text(o), w, l);
    case WM_GETTEXTLENGTH:
        return static_cast<LRESULT>(control_text(o).size());
    case WM_SETFONT:
        o->font = reinterpret_cast<HFONT>(w);
        if (widget) widget->setFont(font_of(o->font));
        return 0;
    case WM_GETFONT:
        return reinterpret_cast<LRESULT>(o->font);
    default:
        break;
    }
    if (!widget) return 0;
    switch (o->control) {
    case ui_control_kind::check_box:
    case ui_control_kind::radio_button:
    case ui_control_kind::push_button: {
        auto* b = qobject_cast<QAbstractButton*>(widget);
        if (!b) return 0;
        if (msg == BM_GETCHECK) return b->isChecked() ? BST_CHECKED : BST_UNCHECKED;
        if (msg == BM_SETCHECK) {
            const QSignalBlocker block(b);
            auto* r = qobject_cast<QRadioButton*>(b);
            const bool exclusive = r && r->autoExclusive();
            if (exclusive) r->setAutoExclusive(false);
            b->setChecked(w == BST_CHECKED);
            if (exclusive) r->setAutoExclusive(true);
            return 0;
        }
        if (msg == BM_CLICK) {
            b->click();
            return 0;
        }
        return 0;
    }
    case ui_control_kind::edit:
        return edit_proc(o, widget, msg, w, l);
    case ui_control_kind::combo_box:
        if (auto* c = qobject_cast<QComboBox*>(widget)) return combo_proc(o, c, msg, w, l);
        return 0;
    case ui_control_kind::list_box:
        if (auto* lw = qobject_cast<QListWidget*>(widget)) return list_proc(o, lw, msg, w, l);
        return 0;
    case ui_control_kind::progress_bar: {
        auto* p = qobject_cast<QProgressBar*>(widget);
        if (!p) return 0;
        const int old = p->value() < o->range_min ? o->range_min : p->value();
        auto set = [&](int v) { p->setValue(std::clamp(v, o->range_min, std::max(o->range_min, o->range_max))); };
        switch (msg) {
        case PBM_SETRANGE:
            o->range_min = LOWORD(static_cast<uintptr_t>(l));
            o->range_max = HIWORD(static_cast<uintptr_t>(l));
            p->setRange(o->range_min, std::max(o->range_min, o->range_max));
            return MAKELONG(0, 100);
        case PBM_SETRANGE32:
            o->range_min = static_cast<int>(static_cast<intptr_t>(w));
            o->range_max = static_cast<int>(l);
            p->setRange(o->range_min, std::max(o->range_min, o->range_max));
            return 0;
        case PBM_SETPOS:
            set(static_cast<int>(static_cast<intptr_t>(w)));
            return old;
        case PBM_DELTAPOS:
            set(old + static_cast<int>(static_cast<intptr_t>(w)));
            return old;
        case PBM_GETPOS:
            return old;
        default:
            return 0;
        }
    }
    case ui_control_kind::icon:
    case ui_control_kind::bitmap: {
        auto* lab = qobject_cast<QLabel*>(widget);
        if (!lab) return 0;
        if (msg == STM_SETICON || (msg == STM_SETIMAGE && w == IMAGE_ICON)) {
            HICON old = o->icon;
            o->icon = reinterpret_cast<HICON>(msg == STM_SETICON ? static_cast<LPARAM>(w) : l);
            auto img = ui_image_of(o->icon);
            if (img)
                lab->setPixmap(pixmap_of(*img, lab->width(), lab->height()));
            else
                lab->clear();
            return reinterpret_cast<LRESULT>(old);
        }
        if (msg == STM_SETIMAGE && w == IMAGE_BITMAP) {
            auto img = ui_image_of(reinterpret_cast<HBITMAP>(l));
            if (img) lab->setPixmap(pixmap_of(*img, lab->width(), lab->height()));
            return 0;
        }
        if (msg == STM_GETICON) return reinterpret_cast<LRESULT>(o->icon);
        return 0;
    }
    default:
        break;
    }
    if (o->control == ui_control_kind::list_view) return list_view_proc(o, msg, w, l);
    return 0;
}

LRESULT dialog_proc(ui_window_object* o, HWND h, UINT msg, WPARAM w, LPARAM l)
{
    QWidget* widget = o->widget;
    switch (msg) {
    case WM_SETTEXT:
        o->text = l ? reinterpret_cast<const wchar_t*>(l) : L"";
        if (widget && widget->isWindow()) widget->setWindowTitle(qstr(o->text));
        return TRUE;
    case WM_GETTEXT:
        return copy_out(o->text, w, l);
    case WM_GETTEXTLENGTH:
        return static_cast<LRESULT>(o->text.size());
    case WM_SETICON: {
        HICON old = o->icon;
        o->icon = reinterpret_cast<HICON>(l);
        if (widget) {
            if (auto img = ui_image_of(o->icon)) widget->setWindowIcon(QIcon(pixmap_of(*img)));
        }
        return reinterpret_cast<LRESULT>(old);
    }
    case WM_CLOSE:
        // As the dialog manager does: the close box is Cancel.
        if (o->kind == ui_window_kind::dialog) dispatch(h, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        return 0;
    case WM_SETFONT:
        o->font = reinterpret_cast<HFONT>(w);
        return 0;
    case WM_GETFONT:
        return reinterpret_cast<LRESULT>(o->font);
    default:
        return 0;
    }
}

// --- Building controls from a template ------------------------------------------------

bool takes_focus(ui_control_kind k)
{
    switch (k) {
    case ui_control_kind::edit:
    case ui_control_kind::combo_box:
    case ui_control_kind::list_box:
    case ui_control_kind::list_view:
    case ui_control_kind::push_button:
    case ui_control_kind::check_box:
    case ui_control_kind::radio_button:
        return true;
    default:
        return false;
    }
}

void build_controls(HWND parent, QWidget* surface, const ui_dialog_template& t)
{
    std::vector<std::pair<ui_control_kind, QWidget*>> built;
    int radio_group = 0;
    bool after_radio = false;
    for (const ui_control_template& c : t.controls) {
        if (c.kind == ui_control_kind::radio_button && !after_radio) ++radio_group;
        after_radio = c.kind == ui_control_kind::radio_button;
        auto obj = std::make_unique<ui_window_object>();
        obj->kind = ui_window_kind::control;
        obj->control = c.kind;
        obj->id = c.id;
        obj->style = c.style;
        obj->parent = parent;
        obj->text = c.text;
        QWidget* w = nullptr;
        switch (c.kind) {
        case ui_control_kind::static_text: {
            auto* lab = new QLabel(display_text(c.text), surface);
            lab->setWordWrap(true);
            lab->setAlignment((c.style & 3) == SS_CENTER  ? Qt::AlignHCenter | Qt::AlignTop
                              : (c.style & 3) == SS_RIGHT ? Qt::AlignRight | Qt::AlignTop
                                                          : Qt::AlignLeft | Qt::AlignTop);
            w = lab;
            break;
        }
        case ui_control_kind::hyperlink: {
            auto* lab = new QLabel(display_text(c.text), surface);
            lab->setOpenExternalLinks(true);
            lab->setTextFormat(Qt::AutoText);
            w = lab;
            break;
        }
        case ui_control_kind::group_box:
            w = new QGroupBox(display_text(c.text), surface);
            break;
        case ui_control_kind::push_button: {
            auto* b = new mnemonic_button<QPushButton>(surface);
            b->setText(qstr(c.text));
            b->setAutoDefault(false);
            if ((c.style & BS_TYPEMASK) == BS_DEFPUSHBUTTON) b->setDefault(true);
            w = b;
            break;
        }
        case ui_control_kind::check_box: {
            auto* b = new check_box_widget((c.style & BS_TYPEMASK) == BS_AUTOCHECKBOX, surface);
            b->setText(qstr(c.text));
            w = b;
            break;
        }
        case ui_control_kind::radio_button: {
            auto* b = new radio_button_widget((c.style & BS_TYPEMASK) == BS_AUTORADIOBUTTON, radio_group, surface);
            b->setText(qstr(c.text));
            w = b;
            break;
        }
        case ui_control_kind::edit:
            if (c.style & ES_MULTILINE) {
                auto* e = new text_edit_widget(EN_SETFOCUS, surface);
                e->setPlainText(qstr(c.text));
                e->setReadOnly(c.style & ES_READONLY);
                e->setVerticalScrollBarPolicy((c.style & WS_VSCROLL) ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
                w = e;
            } else {
                auto* e = new line_edit_widget(EN_SETFOCUS, surface);
                e->setText(qstr(c.text));
                e->setReadOnly(c.style & ES_READONLY);
                if (c.style & ES_PASSWORD) e->setEchoMode(QLineEdit::Password);
                w = e;
            }
            break;
        case ui_control_kind::combo_box: {
            auto* cb = new combo_widget(surface);
            cb->setEditable((c.style & 3) == CBS_DROPDOWN);
            if (cb->lineEdit()) cb->setInsertPolicy(QComboBox::NoInsert);
            w = cb;
            break;
        }
        case ui_control_kind::list_box: {
            auto* lw = new list_box_widget(surface);
            lw->setSelectionMode(QAbstractItemView::SingleSelection);
            w = lw;
            break;
        }
        case ui_control_kind::progress_bar: {
            auto* p = new QProgressBar(surface);
            p->setRange(0, 100);
            p->setValue(0);
            p->setTextVisible(false);
            w = p;
            break;
        }
        case ui_control_kind::icon:
        case ui_control_kind::bitmap: {
            auto* lab = new QLabel(surface);
            auto img = c.kind == ui_control_kind::icon ? ui_find_icon(c.image) : ui_find_bitmap(c.image);
            if (img) lab->setPixmap(pixmap_of(*img));
            w = lab;
            break;
        }
        case ui_control_kind::list_view: {
            w = make_list_view(surface);
            break;
        }
        }
        int height = std::max(1, dlu_y(c.cy));
        if (auto* cb = qobject_cast<QComboBox*>(w)) {
            // A drop-down's template height is its open list; the closed box is one line.
            const int closed = cb->sizeHint().height();
            const int row = std::max(1, QFontMetrics(cb->font()).height() + 2);
            cb->setMaxVisibleItems(std::max(1, (height - closed) / row));
            height = closed;
        }
        w->setGeometry(dlu_x(c.x), dlu_y(c.y), std::max(1, dlu_x(c.cx)), height);
        if (c.hidden) w->setVisible(false);
        if (c.disabled) w->setEnabled(false);
        obj->widget = w;
        built.emplace_back(c.kind, w);
        HWND h = register_window(std::move(obj));
        // User actions become the notifications of the Windows controls.
        switch (c.kind) {
        case ui_control_kind::push_button:
        case ui_control_kind::check_box:
        case ui_control_kind::radio_button:
            on_clicked(static_cast<QAbstractButton*>(w), h);
            break;
        case ui_control_kind::edit:
            if (auto* e = qobject_cast<QLineEdit*>(w))
                QObject::connect(e, &QLineEdit::textEdited, e,
                                 [h] { boundary([h] { notify_command(h, EN_CHANGE); }); });
            break;
        case ui_control_kind::combo_box: {
            auto* cb = static_cast<QComboBox*>(w);
            QObject::connect(cb, &QComboBox::activated, cb,
                             [h] { boundary([h] { notify_command(h, CBN_SELCHANGE); }); });
            if (cb->lineEdit())
                QObject::connect(cb->lineEdit(), &QLineEdit::textEdited, cb,
                                 [h] { boundary([h] { notify_command(h, CBN_EDITCHANGE); }); });
            break;
        }
        case ui_control_kind::list_box: {
            auto* lw = static_cast<QListWidget*>(w);
            QObject::connect(lw, &QListWidget::itemDoubleClicked, lw,
                             [h] { boundary([h] { notify_command(h, LBN_DBLCLK); }); });
            QObject::connect(lw, &QListWidget::itemSelectionChanged, lw,
                             [h] { boundary([h] { notify_command(h, LBN_SELCHANGE); }); });
            break;
        }
        case ui_control_kind::list_view:
            connect_list_view(w, h);
            break;
        default:
            break;
        }
    }
    // A label's access key moves to the control after it, as the dialog manager does.
    for (size_t i = 0; i < built.size(); ++i) {
        auto* label = built[i].first == ui_control_kind::static_text ? qobject_cast<QLabel*>(built[i].second) : nullptr;
        if (!label) continue;
        for (size_t j = i + 1; j < built.size(); ++j) {
            if (!takes_focus(built[j].first)) continue;
            label->setBuddy(built[j].second);
            label->setText(label_text(label, t.controls[i].text));
            break;
        }
    }
}

} // namespace ui_detail

using namespace ui_detail;

// --- The calls -------------------------------------------------------------------

LRESULT SendMessageW(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam)
{
    LRESULT r = 0;
    invoke([&] { r = dispatch(hwnd, msg, wparam, lparam); });
    return r;
}

BOOL PostMessageW(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam)
{
    if (!IsWindow(hwnd)) return FALSE;
    post([=] { dispatch(hwnd, msg, wparam, lparam); });
    return TRUE;
}

BOOL IsWindow(HWND hwnd) { return lookup(hwnd) ? TRUE : FALSE; }

BOOL DestroyWindow(HWND hwnd)
{
    BOOL ok = FALSE;
    invoke([&] {
        ui_window_object* o = lookup(hwnd);
        if (!o) return;
        if (o->modal && o->in_loop) {
            // A modal window is ended first; its owner's DoModal then destroys it.
            force_end_modal(hwnd);
            ok = TRUE;
            return;
        }
        destroy_window(hwnd, true);
        ok = TRUE;
    });
    return ok;
}

HWND GetParent(HWND hwnd)
{
    HWND p = nullptr;
    invoke([&] {
        if (ui_window_object* o = lookup(hwnd)) p = o->parent;
    });
    return p;
}

HWND GetDlgItem(HWND dialog, int id)
{
    HWND found = nullptr;
    invoke([&] {
        ui_window_object* o = lookup(dialog);
        if (!o) return;
        for (HWND c : o->children) {
            ui_window_object* co = lookup(c);
            if (co && co->id == id && co->kind == ui_window_kind::control) {
                found = c;
                return;
            }
        }
    });
    return found;
}

int GetDlgCtrlID(HWND hwnd)
{
    int id = 0;
    invoke([&] {
        if (ui_window_object* o = lookup(hwnd)) id = o->id;
    });
    return id;
}

HWND GetDesktopWindow()
{
    // Never registered: no window of ours. Odd, so no serial handle equals it.
    return reinterpret_cast<HWND>(static_cast<uintptr_t>(0x7));
}

HWND SetFocus(HWND hwnd)
{
    HWND before = nullptr;
    invoke([&] {
        before = handle_of(QApplication::focusWidget());
        if (ui_window_object* o = lookup(hwnd)) {
            if (o->widget) o->widget->setFocus(Qt::OtherFocusReason);
        }
    });
    return before;
}

HWND GetFocus()
{
    HWND h = nullptr;
    invoke([&] { h = handle_of(QApplication::focusWidget()); });
    return h;
}

BOOL EnableWindow(HWND hwnd, BOOL enable)
{
    BOOL was_disabled = FALSE;
    invoke([&] {
        ui_window_object* o = lookup(hwnd);
        if (!o || !o->widget) return;
        was_disabled = o->widget->isEnabled() ? FALSE : TRUE;
        o->widget->setEnabled(enable != FALSE);
    });
    return was_disabled;
}

BOOL IsWindowEnabled(HWND hwnd)
{
    BOOL r = FALSE;
    invoke([&] {
        ui_window_object* o = lookup(hwnd);
        r = (o && o->widget && o->widget->isEnabled()) ? TRUE : FALSE;
    });
    return r;
}

BOOL ShowWindow(HWND hwnd, int cmd)
{
    BOOL was_visible = FALSE;
    invoke([&] {
        ui_window_object* o = lookup(hwnd);
        if (!o || !o->widget) return;
        was_visible = o->widget->isHidden() ? FALSE : TRUE;
        o->widget->setVisible(cmd != SW_HIDE);
    });
    return was_visible;
}

BOOL IsWindowVisible(HWND hwnd)
{
    BOOL r = FALSE;
    invoke([&] {
        ui_window_object* o = lookup(hwnd);
        if (!o || !o->widget) return;
        // Shown itself and within every parent up to its window.
        r = (!o->widget->isHidden() && o->widget->isVisibleTo(o->widget->window())) ? TRUE : FALSE;
    });
    return r;
}

BOOL SetWindowTextW(HWND hwnd, LPCWSTR text)
{
    return IsWindow(hwnd)
               ? static_cast<BOOL>(SendMessageW(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text ? text : L"")))
               : FALSE;
}

int GetWindowTextLengthW(HWND hwnd) { return static_cast<int>(SendMessageW(hwnd, WM_GETTEXTLENGTH)); }

int GetWindowTextW(HWND hwnd, LPWSTR buffer, int count)
{
    if (!buffer || count <= 0) return 0;
    buffer[0] = L'\0';
    return static_cast<int>(
        SendMessageW(hwnd, WM_GETTEXT, static_cast<WPARAM>(count), reinterpret_cast<LPARAM>(buffer)));
}

BOOL SetDlgItemTextW(HWND dialog, int id, LPCWSTR text)
{
    HWND c = GetDlgItem(dialog, id);
    return c ? SetWindowTextW(c, text) : FALSE;
}

UINT GetDlgItemTextW(HWND dialog, int id, LPWSTR buffer, int count)
{
    HWND c = GetDlgItem(dialog, id);
    if (!c) {
        if (buffer && count > 0) buffer[0] = L'\0';
        return 0;
    }
    return static_cast<UINT>(GetWindowTextW(c, buffer, count));
}

BOOL CheckDlgButton(HWND dialog, int id, UINT check)
{
    HWND c = GetDlgItem(dialog, id);
    if (!c) return FALSE;
    SendMessageW(c, BM_SETCHECK, check);
    return TRUE;
}

UINT IsDlgButtonChecked(HWND dialog, int id)
{
    HWND c = GetDlgItem(dialog, id);
    return c ? static_cast<UINT>(SendMessageW(c, BM_GETCHECK)) : 0;
}

BOOL CheckRadioButton(HWND dialog, int first, int last, int check)
{
    BOOL ok = FALSE;
    for (int id = first; id <= last; ++id) {
        if (CheckDlgButton(dialog, id, id == check ? BST_CHECKED : BST_UNCHECKED)) ok = TRUE;
    }
    return ok;
}

LRESULT SendDlgItemMessageW(HWND dialog, int id, UINT msg, WPARAM wparam, LPARAM lparam)
{
    HWND c = GetDlgItem(dialog, id);
    return c ? SendMessageW(c, msg, wparam, lparam) : 0;
}

BOOL CenterWindow(HWND hwnd, HWND center_on)
{
    BOOL ok = FALSE;
    invoke([&] {
        ui_window_object* o = lookup(hwnd);
        if (!o || !o->widget) return;
        QWidget* w = o->widget;
        QRect area;
        ui_window_object* c = lookup(center_on);
        if (c && c->widget)
            area = c->widget->window()->frameGeometry();
        else if (w->parentWidget())
            area = w->parentWidget()->window()->frameGeometry();
        else if (QScreen* s = QGuiApplication::primaryScreen())
            area = s->availableGeometry();
        if (area.isValid()) w->move(area.center() - QPoint(w->width() / 2, w->height() / 2));
        ok = TRUE;
    });
    return ok;
}

BOOL BringWindowToTop(HWND hwnd)
{
    BOOL ok = FALSE;
    invoke([&] {
        ui_window_object* o = lookup(hwnd);
        if (!o || !o->widget) return;
        o->widget->window()->raise();
        o->widget->window()->activateWindow();
        ok = TRUE;
    });
    return ok;
}

BOOL SetForegroundWindow(HWND hwnd) { return BringWindowToTop(hwnd); }

BOOL GetClientRect(HWND hwnd, RECT* rect)
{
    BOOL ok = FALSE;
    invoke([&] {
        ui_window_object* o = lookup(hwnd);
        if (!o || !o->widget || !rect) return;
        *rect = RECT{0, 0, o->widget->width(), o->widget->height()};
        ok = TRUE;
    });
    return ok;
}

BOOL GetWindowRect(HWND hwnd, RECT* rect)
{
    BOOL ok = FALSE;
    invoke([&] {
        ui_window_object* o = lookup(hwnd);
        if (!o || !o->widget || !rect) return;
        const QRect g(o->widget->mapToGlobal(QPoint(0, 0)), o->widget->size());
        *rect = RECT{g.left(), g.top(), g.left() + g.width(), g.top() + g.height()};
        ok = TRUE;
    });
    return ok;
}

UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT elapse, void* /*timer_proc*/)
{
    UINT_PTR r = 0;
    invoke([&] {
        ui_window_object* o = lookup(hwnd);
        if (!o) return;
        auto& t = o->timers[id];
        if (!t) {
            t = std::make_unique<QTimer>();
            QObject::connect(t.get(), &QTimer::timeout, t.get(),
                             [hwnd, id] { boundary([&] { dispatch(hwnd, WM_TIMER, id, 0); }); });
        }
        t->start(static_cast<int>(std::max<UINT>(elapse, 1)));
        r = id ? id : 1;
    });
    return r;
}

BOOL KillTimer(HWND hwnd, UINT_PTR id)
{
    BOOL ok = FALSE;
    invoke([&] {
        ui_window_object* o = lookup(hwnd);
        if (!o) return;
        auto it = o->timers.find(id);
        if (it == o->timers.end()) return;
        it->second->stop();
        // Deleted later: the timer may be the one whose tick runs this call.
        it->second.release()->deleteLater();
        o->timers.erase(it);
        ok = TRUE;
    });
    return ok;
}

BOOL InitCommonControlsEx(const INITCOMMONCONTROLSEX* icc)
{
    return (icc && icc->dwSize == sizeof(INITCOMMONCONTROLSEX)) ? TRUE : FALSE;
}

std::wstring CWindow::GetWindowText() const
{
    std::wstring text;
    invoke([&] {
        ui_window_object* o = lookup(m_hWnd);
        if (!o) return;
        if (o->kind == ui_window_kind::control)
            text = control_text(o);
        else
            text = o->text;
    });
    return text;
}

std::wstring CWindow::GetDlgItemText(int id, int max_chars) const
{
    HWND c = ::GetDlgItem(m_hWnd, id);
    std::wstring text = CWindow(c).GetWindowText();
    if (max_chars >= 0 && text.size() > static_cast<size_t>(max_chars)) text.resize(static_cast<size_t>(max_chars));
    return text;
}

BOOL CWindow::DestroyWindow()
{
    const BOOL ok = ::DestroyWindow(m_hWnd);
    m_hWnd = nullptr;
    return ok;
}
