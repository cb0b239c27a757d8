#include "platform/ui/ui_property_sheet.h"

#include <QCloseEvent>
#include <QDialog>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <map>
#include <mutex>

#include "platform/ui/ui_module.h"
#include "platform/ui/ui_window_object.h"

using namespace ui_detail;

// --- Page handles ---------------------------------------------------------------------

namespace {

std::mutex g_pages_mutex;
std::map<HPROPSHEETPAGE, std::unique_ptr<ui_sheet_page_object>>& page_handles()
{
    static std::map<HPROPSHEETPAGE, std::unique_ptr<ui_sheet_page_object>> m;
    return m;
}

bool live_page(HPROPSHEETPAGE p)
{
    std::lock_guard<std::mutex> lock(g_pages_mutex);
    return page_handles().count(p) != 0;
}

} // namespace

HPROPSHEETPAGE CreatePropertySheetPageW(const PROPSHEETPAGEW* page)
{
    if (!page || page->dwSize < sizeof(PROPSHEETPAGEW)) return nullptr;
    auto obj = std::make_unique<ui_sheet_page_object>();
    obj->psp = *page;
    if (page->pszTitle) obj->title = page->pszTitle;
    if (page->pszHeaderTitle) obj->header_title = page->pszHeaderTitle;
    if (page->pszHeaderSubTitle) obj->header_subtitle = page->pszHeaderSubTitle;
    // The copy's texts point into the handle itself.
    obj->psp.pszTitle = obj->title.c_str();
    obj->psp.pszHeaderTitle = obj->header_title.c_str();
    obj->psp.pszHeaderSubTitle = obj->header_subtitle.c_str();
    HPROPSHEETPAGE h = obj.get();
    std::lock_guard<std::mutex> lock(g_pages_mutex);
    page_handles().emplace(h, std::move(obj));
    return h;
}

BOOL DestroyPropertySheetPage(HPROPSHEETPAGE page)
{
    std::unique_ptr<ui_sheet_page_object> gone;
    std::lock_guard<std::mutex> lock(g_pages_mutex);
    auto it = page_handles().find(page);
    if (it == page_handles().end()) return FALSE;
    gone = std::move(it->second);
    page_handles().erase(it);
    return TRUE;
}

ui_sheet_state::~ui_sheet_state()
{
    for (auto& e : pages) DestroyPropertySheetPage(e.handle);
}

// --- Pages --------------------------------------------------------------------------

ui_property_page::ui_property_page(int template_id)
{
    m_psp.dwFlags = PSP_USECALLBACK;
    m_psp.hInstance = ui_instance();
    m_psp.pszTemplate = template_id;
    m_psp.lParam = reinterpret_cast<LPARAM>(this);
}

ui_property_page::~ui_property_page()
{
    try {
        invoke([this] {
            if (ui_window_object* o = lookup(m_hWnd)) {
                o->target = nullptr;
                o->wrapper = nullptr;
                destroy_window(m_hWnd, true);
            }
        });
    } catch (...) {}
    m_hWnd = nullptr;
}

void ui_property_page::SetHeaderTitle(const std::wstring& title)
{
    header_title_ = title;
    m_psp.pszHeaderTitle = header_title_.c_str();
    m_psp.dwFlags |= PSP_USEHEADERTITLE;
}

void ui_property_page::SetHeaderSubTitle(const std::wstring& subtitle)
{
    header_subtitle_ = subtitle;
    m_psp.pszHeaderSubTitle = header_subtitle_.c_str();
    m_psp.dwFlags |= PSP_USEHEADERSUBTITLE;
}

// --- The sheet window ----------------------------------------------------------------------

void sheet_store_result(ui_property_sheet* sheet, INT_PTR result);

namespace {

class sheet_widget : public QDialog {
public:
    using QDialog::QDialog;
    void reject() override { command(IDCANCEL); } // Escape
    void accept() override {}

protected:
    void closeEvent(QCloseEvent* e) override
    {
        e->ignore();
        command(IDCANCEL);
    }
    void keyPressEvent(QKeyEvent* e) override
    {
        if (e->key() == Qt::Key_F1) {
            if (HWND h = handle_of(this)) boundary([h] { dispatch(h, WM_HELP, 0, 0); });
            return;
        }
        QDialog::keyPressEvent(e);
    }

private:
    void command(int id)
    {
        if (HWND h = handle_of(this))
            boundary([h, id] { dispatch(h, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(id), BN_CLICKED), 0); });
    }
};

ui_sheet_state* state_of(HWND h)
{
    ui_window_object* o = lookup(h);
    return (o && o->sheet) ? o->sheet.get() : nullptr;
}

HWND make_button(HWND sheet, QWidget* parent, QBoxLayout* row, int id, const wchar_t* text)
{
    auto* b = new mnemonic_button<QPushButton>(parent);
    b->setText(qstr(text));
    b->setAutoDefault(false);
    // The sheet's buttons are 50 x 14 dialog units, as the system draws them.
    b->setMinimumSize(dlu_x(50), dlu_y(14));
    row->addWidget(b);
    auto obj = std::make_unique<ui_window_object>();
    obj->kind = ui_window_kind::control;
    obj->control = ui_control_kind::push_button;
    obj->id = id;
    obj->parent = sheet;
    obj->text = text;
    obj->widget = b;
    HWND h = register_window(std::move(obj));
    QObject::connect(b, &QPushButton::clicked, b, [h] { boundary([h] { notify_command(h, BN_CLICKED); }); });
    return h;
}

void set_shown(HWND h, bool shown)
{
    if (ui_window_object* o = lookup(h); o && o->widget) o->widget->setVisible(shown);
}

void set_enabled(HWND h, bool enabled)
{
    if (ui_window_object* o = lookup(h); o && o->widget) o->widget->setEnabled(enabled);
}

bool is_enabled(HWND h)
{
    ui_window_object* o = lookup(h);
    return o && o->widget && o->widget->isEnabled();
}

QPushButton* button_of(HWND h)
{
    ui_window_object* o = lookup(h);
    return o ? qobject_cast<QPushButton*>(o->widget.data()) : nullptr;
}

void apply_buttons(ui_sheet_state& st)
{
    const DWORD f = st.wizard_buttons;
    set_enabled(st.back, f & PSWIZB_BACK);
    set_enabled(st.next, f & PSWIZB_NEXT);
    const bool finish = f & (PSWIZB_FINISH | PSWIZB_DISABLEDFINISH);
    set_shown(st.finish, finish);
    set_enabled(st.finish, f & PSWIZB_FINISH);
    set_shown(st.next, !finish);
    // Enter presses Next, or Finish on the last page.
    if (QPushButton* b = button_of(finish ? st.finish : st.next)) b->setDefault(true);
    if (QPushButton* b = button_of(finish ? st.next : st.finish)) b->setDefault(false);
}

// Tab goes through the page's controls in template order, then Back, Next,
// Finish, Cancel and Help.
void chain_tab_order(ui_sheet_state& st, ui_window_object* page)
{
    std::vector<QWidget*> chain;
    for (HWND c : page->children)
        if (ui_window_object* co = lookup(c); co && co->widget && co->kind == ui_window_kind::control)
            chain.push_back(co->widget);
    for (HWND b : {st.back, st.next, st.finish, st.cancel, st.help})
        if (ui_window_object* bo = lookup(b); bo && bo->widget) chain.push_back(bo->widget);
    for (size_t i = 0; i + 1 < chain.size(); ++i) QWidget::setTabOrder(chain[i], chain[i + 1]);
}

// The page's first control that Tab would reach; the default button when it has none.
void focus_first_field(ui_sheet_state& st, ui_window_object* page)
{
    for (HWND c : page->children) {
        ui_window_object* co = lookup(c);
        if (!co || !co->widget || co->kind != ui_window_kind::control) continue;
        QWidget* w = co->widget;
        if (!(w->focusPolicy() & Qt::TabFocus) || !w->isEnabled() || w->isHidden()) continue;
        w->setFocus(Qt::TabFocusReason);
        return;
    }
    for (HWND b : {st.next, st.finish})
        if (QPushButton* pb = button_of(b); pb && pb->isVisible() && pb->isEnabled()) {
            pb->setFocus(Qt::TabFocusReason);
            return;
        }
}

LRESULT notify_page(HWND sheet, HWND page, UINT code)
{
    if (!lookup(page)) return 0;
    PSHNOTIFY n;
    n.hdr.hwndFrom = sheet;
    n.hdr.idFrom = 0;
    n.hdr.code = code;
    return dispatch(page, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&n));
}

bool is_exterior(const ui_sheet_state& st, const PROPSHEETPAGEW& psp)
{
    return (st.header.dwFlags & PSH_WIZARD97) && (psp.dwFlags & PSP_HIDEHEADER);
}

// Where the sheet puts its parts: one size for every page (the largest), the
// header above the interior pages, the watermark at the left of exterior ones.
struct sheet_geometry {
    int width = 0, height = 0;
    int header_height = 0;
    QRect interior;
    int watermark_width = 0;
};

sheet_geometry measure(const ui_sheet_state& st)
{
    int iw = 0, ih = 0, ew = 0, eh = 0;
    for (const ui_sheet_page_entry& e : st.pages) {
        if (!live_page(e.handle)) continue;
        auto t = ui_find_dialog(e.handle->psp.pszTemplate);
        if (!t) continue;
        if (is_exterior(st, e.handle->psp)) {
            ew = std::max(ew, dlu_x(t->cx));
            eh = std::max(eh, dlu_y(t->cy));
        } else {
            iw = std::max(iw, dlu_x(t->cx));
            ih = std::max(ih, dlu_y(t->cy));
        }
    }
    sheet_geometry g;
    if (st.header.dwFlags & PSH_WIZARD97) {
        QFont bold = st.header_title ? st.header_title->font() : QFont();
        const QFontMetrics title(bold);
        const QFontMetrics sub(st.header_subtitle ? st.header_subtitle->font() : QFont());
        g.header_height = dlu_y(5) + title.height() + dlu_y(2) + sub.height() + dlu_y(5);
        if (st.header_bitmap && !st.header_bitmap->pixmap().isNull())
            g.header_height = std::max(g.header_height, st.header_bitmap->pixmap().height() + 2 * dlu_y(3));
        g.header_height += 2; // the etched line under it
    }
    const int mx = dlu_x(4), my = dlu_y(4);
    g.interior = QRect(mx, g.header_height + my, iw, ih);
    g.width = std::max(ew, iw + 2 * mx);
    g.height = std::max(eh, ih > 0 ? g.interior.bottom() + 1 + my : 0);
    if (st.watermark && !st.watermark->pixmap().isNull()) {
        // The picture is drawn for the classic 6-pixel dialog unit; it grows with the font.
        g.watermark_width = st.watermark->pixmap().width() * dlu_x(4) / 6;
    }
    return g;
}

void layout_sheet(HWND sheet)
{
    ui_sheet_state* st = state_of(sheet);
    if (!st || !st->area) return;
    const sheet_geometry g = measure(*st);
    st->area->setFixedSize(g.width, g.height);
    if (st->header_frame) st->header_frame->setGeometry(0, 0, g.width, std::max(0, g.header_height - 2));
    if (st->header_line) st->header_line->setGeometry(0, std::max(0, g.header_height - 2), g.width, 2);
    if (st->watermark) st->watermark->setGeometry(0, 0, g.watermark_width, g.height);
    for (const ui_sheet_page_entry& e : st->pages) {
        ui_window_object* po = lookup(e.window);
        if (!po || !po->widget || !live_page(e.handle)) continue;
        if (is_exterior(*st, e.handle->psp))
            po->widget->setGeometry(0, 0, g.width, g.height);
        else
            po->widget->setGeometry(g.interior);
    }
}

// The page's window, made on its first activation.
HWND page_window(HWND sheet, int index)
{
    ui_sheet_state* st = state_of(sheet);
    if (!st || index < 0 || index >= static_cast<int>(st->pages.size())) return nullptr;
    ui_sheet_page_entry& e = st->pages[static_cast<size_t>(index)];
    if (lookup(e.window)) return e.window;
    if (!live_page(e.handle)) return nullptr;
    const PROPSHEETPAGEW& psp = e.handle->psp;
    auto t = ui_find_dialog(psp.pszTemplate);
    if (!t || !st->area) return nullptr;
    auto* w = new QWidget(st->area);
    w->hide();
    auto* page = reinterpret_cast<ui_property_page*>(psp.lParam);
    auto obj = std::make_unique<ui_window_object>();
    obj->kind = ui_window_kind::page;
    obj->id = psp.pszTemplate;
    obj->widget = w;
    obj->parent = sheet;
    obj->target = page;
    obj->wrapper = page;
    obj->text = t->caption;
    HWND h = register_window(std::move(obj));
    if (page) page->m_hWnd = h;
    e.window = h;
    build_controls(h, w, *t);
    layout_sheet(sheet);
    dispatch(h, WM_INITDIALOG, 0, reinterpret_cast<LPARAM>(&e.handle->psp));
    return lookup(h) ? h : nullptr;
}

int index_of_id(ui_sheet_state& st, LRESULT id)
{
    for (size_t i = 0; i < st.pages.size(); ++i) {
        if (live_page(st.pages[i].handle) && st.pages[i].handle->psp.pszTemplate == id) return static_cast<int>(i);
    }
    return -1;
}

void show_page(HWND sheet, int index)
{
    ui_sheet_state* st = state_of(sheet);
    if (!st) return;
    ui_sheet_page_entry& e = st->pages[static_cast<size_t>(index)];
    ui_window_object* po = lookup(e.window);
    if (!po || !po->widget || !st->area) return;
    st->current = index;
    for (const ui_sheet_page_entry& other : st->pages) {
        ui_window_object* oo = lookup(other.window);
        if (oo && oo->widget && oo != po) oo->widget->hide();
    }
    const PROPSHEETPAGEW& psp = e.handle->psp;
    const bool wizard97 = st->header.dwFlags & PSH_WIZARD97;
    const bool exterior = is_exterior(*st, psp);
    const bool hide_header = !wizard97 || exterior;
    if (st->header_frame) st->header_frame->setVisible(!hide_header);
    if (st->header_line) st->header_line->setVisible(!hide_header);
    // An exterior page is drawn on the window colour with the watermark at its
    // left, where its own template leaves room for it.
    st->area->setBackgroundRole(exterior ? QPalette::Base : QPalette::Window);
    if (st->watermark) st->watermark->setVisible(exterior && !st->watermark->pixmap().isNull());
    po->widget->show();
    po->widget->raise();
    chain_tab_order(*st, po);
    if (st->header_title)
        st->header_title->setText((psp.dwFlags & PSP_USEHEADERTITLE) ? qstr(e.handle->header_title) : QString());
    if (st->header_subtitle)
        st->header_subtitle->setText((psp.dwFlags & PSP_USEHEADERSUBTITLE) ? qstr(e.handle->header_subtitle)
                                                                           : QString());
    set_enabled(st->help, psp.dwFlags & PSP_HASHELP);
    focus_first_field(*st, po);
}

// Activates the page at `index`; a page that refuses (-1) passes on in the
// direction of travel, a page that answers a dialog id passes on to that page.
bool activate(HWND sheet, int index, int direction)
{
    ui_sheet_state* st = state_of(sheet);
    if (!st) return false;
    for (size_t guard = 0; guard <= st->pages.size() * 2 + 1; ++guard) {
        st = state_of(sheet);
        if (!st || index < 0 || index >= static_cast<int>(st->pages.size())) return false;
        HWND page = page_window(sheet, index);
        if (!page) {
            index += direction;
            continue;
        }
        const LRESULT r = notify_page(sheet, page, PSN_SETACTIVE);
        st = state_of(sheet);
        if (!st) return false;
        if (r == 0) {
            show_page(sheet, index);
            return true;
        }
        if (r == -1) {
            index += direction;
            continue;
        }
        index = index_of_id(*st, r);
    }
    return false;
}

HWND current_page(ui_sheet_state& st)
{
    if (st.current < 0 || st.current >= static_cast<int>(st.pages.size())) return nullptr;
    HWND h = st.pages[static_cast<size_t>(st.current)].window;
    return lookup(h) ? h : nullptr;
}

void close_sheet(HWND sheet, INT_PTR result)
{
    ui_window_object* o = lookup(sheet);
    if (!o) return;
    o->result = result;
    o->end_requested = true;
    if (o->in_loop) {
        static_cast<QDialog*>(o->widget.data())->QDialog::done(0);
        return;
    }
    // A modeless sheet goes away at once.
    if (o->sheet && o->sheet->owner) sheet_store_result(o->sheet->owner, result);
    destroy_window(sheet, true);
}

void go(HWND sheet, int direction)
{
    ui_sheet_state* st = state_of(sheet);
    if (!st) return;
    HWND cur = current_page(*st);
    if (!cur) return;
    if (notify_page(sheet, cur, PSN_KILLACTIVE) != 0) return;
    const LRESULT r = notify_page(sheet, cur, direction > 0 ? PSN_WIZNEXT : PSN_WIZBACK);
    st = state_of(sheet);
    if (!st || r == -1) return;
    const int target = r == 0 ? st->current + direction : index_of_id(*st, r);
    if (target < 0) return;
    activate(sheet, target, direction);
}

void finish(HWND sheet)
{
    ui_sheet_state* st = state_of(sheet);
    if (!st) return;
    HWND cur = current_page(*st);
    if (cur && notify_page(sheet, cur, PSN_WIZFINISH) != 0) return;
    close_sheet(sheet, 1);
}

void cancel(HWND sheet)
{
    ui_sheet_state* st = state_of(sheet);
    if (!st) return;
    HWND cur = current_page(*st);
    if (cur && notify_page(sheet, cur, PSN_QUERYCANCEL) != 0) return;
    st = state_of(sheet);
    if (!st) return;
    for (auto& e : st->pages) {
        if (lookup(e.window)) notify_page(sheet, e.window, PSN_RESET);
    }
    close_sheet(sheet, 0);
}

void help(HWND sheet)
{
    ui_sheet_state* st = state_of(sheet);
    if (!st) return;
    if (HWND cur = current_page(*st)) notify_page(sheet, cur, PSN_HELP);
}

void press(HWND sheet, int button)
{
    ui_sheet_state* st = state_of(sheet);
    if (!st) return;
    HWND b = nullptr;
    switch (button) {
    case PSBTN_BACK:
        b = st->back;
        break;
    case PSBTN_NEXT:
        b = st->next;
        break;
    case PSBTN_FINISH:
        b = st->finish;
        break;
    case PSBTN_CANCEL:
        b = st->cancel;
        break;
    case PSBTN_HELP:
        b = st->help;
        break;
    default:
        return;
    }
    // A button the user could not press does nothing.
    if (!is_enabled(b)) return;
    dispatch(sheet, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(GetDlgCtrlID(b)), BN_CLICKED),
             reinterpret_cast<LPARAM>(b));
}

} // namespace

namespace ui_detail {

void sheet_force_close(HWND sheet, INT_PTR result) { close_sheet(sheet, result); }

LRESULT sheet_proc(ui_window_object* o, HWND h, UINT msg, WPARAM w, LPARAM l)
{
    ui_sheet_state* st = o->sheet.get();
    if (!st) return 0;
    switch (msg) {
    case WM_COMMAND:
        switch (LOWORD(w)) {
        case ID_WIZBACK:
            go(h, -1);
            break;
        case ID_WIZNEXT:
            go(h, +1);
            break;
        case ID_WIZFINISH:
            finish(h);
            break;
        case IDCANCEL:
            cancel(h);
            break;
        case IDHELP:
            help(h);
            break;
        default:
            break;
        }
        return 0;
    case WM_HELP:
        help(h);
        return TRUE;
    case WM_CLOSE:
        cancel(h);
        return 0;
    case WM_SETTEXT:
        o->text = l ? reinterpret_cast<const wchar_t*>(l) : L"";
        if (o->widget) o->widget->setWindowTitle(qstr(o->text));
        return TRUE;
    case WM_GETTEXT:
    case WM_GETTEXTLENGTH:
    case WM_SETICON:
        return dialog_proc(o, h, msg, w, l);
    case PSM_SETWIZBUTTONS:
        st->wizard_buttons = static_cast<DWORD>(l);
        apply_buttons(*st);
        return 0;
    case PSM_ADDPAGE: {
        auto page = reinterpret_cast<HPROPSHEETPAGE>(l);
        if (!live_page(page)) return FALSE;
        st->pages.push_back(ui_sheet_page_entry{page, nullptr});
        layout_sheet(h);
        return TRUE;
    }
    case PSM_SETCURSEL:
    case PSM_SETCURSELID: {
        int index = -1;
        if (msg == PSM_SETCURSELID) {
            index = index_of_id(*st, l);
        } else if (l) {
            for (size_t i = 0; i < st->pages.size(); ++i)
                if (st->pages[i].handle == reinterpret_cast<HPROPSHEETPAGE>(l)) index = static_cast<int>(i);
        } else {
            index = static_cast<int>(w);
        }
        if (index < 0 || index >= static_cast<int>(st->pages.size())) return FALSE;
        if (HWND cur = current_page(*st); cur && notify_page(h, cur, PSN_KILLACTIVE) != 0) return FALSE;
        return activate(h, index, +1) ? TRUE : FALSE;
    }
    case PSM_GETCURRENTPAGEHWND:
        return reinterpret_cast<LRESULT>(current_page(*st));
    case PSM_PRESSBUTTON:
        press(h, static_cast<int>(w));
        return 0;
    case PSM_SETTITLEW:
        return sheet_proc(o, h, WM_SETTEXT, 0, l);
    case PSM_IDTOINDEX:
        return index_of_id(*st, l);
    case PSM_INDEXTOID: {
        const size_t i = static_cast<size_t>(w);
        if (i >= st->pages.size() || !live_page(st->pages[i].handle)) return 0;
        return st->pages[i].handle->psp.pszTemplate;
    }
    case PSM_SETHEADERTITLEW:
    case PSM_SETHEADERSUBTITLEW: {
        const size_t i = static_cast<size_t>(w);
        if (i >= st->pages.size() || !live_page(st->pages[i].handle)) return 0;
        ui_sheet_page_object* p = st->pages[i].handle;
        const std::wstring text = l ? reinterpret_cast<const wchar_t*>(l) : L"";
        if (msg == PSM_SETHEADERTITLEW) {
            p->header_title = text;
            p->psp.pszHeaderTitle = p->header_title.c_str();
            p->psp.dwFlags |= PSP_USEHEADERTITLE;
        } else {
            p->header_subtitle = text;
            p->psp.pszHeaderSubTitle = p->header_subtitle.c_str();
            p->psp.dwFlags |= PSP_USEHEADERSUBTITLE;
        }
        if (static_cast<int>(i) == st->current) show_page(h, st->current);
        return 0;
    }
    default:
        return 0;
    }
}

} // namespace ui_detail

void sheet_store_result(ui_property_sheet* sheet, INT_PTR result) { sheet->m_result = result; }

// --- ui_property_sheet -----------------------------------------------------------------------

ui_property_sheet::ui_property_sheet(const std::wstring& caption, UINT start_page) : m_caption(caption)
{
    m_psh.dwFlags = PSH_WIZARD97 | PSH_NOAPPLYNOW;
    m_psh.hInstance = ui_instance();
    m_psh.nStartPage = start_page;
}

ui_property_sheet::~ui_property_sheet()
{
    try {
        invoke([this] {
            if (ui_window_object* o = lookup(m_hWnd)) {
                o->target = nullptr;
                o->wrapper = nullptr;
                if (o->sheet) o->sheet->owner = nullptr;
                destroy_window(m_hWnd, true);
            }
        });
    } catch (...) {}
    m_hWnd = nullptr;
    for (HPROPSHEETPAGE p : m_pages) DestroyPropertySheetPage(p);
}

BOOL ui_property_sheet::AddPage(HPROPSHEETPAGE page)
{
    if (!page) return FALSE;
    if (IsWindow()) return static_cast<BOOL>(SendMessage(PSM_ADDPAGE, 0, reinterpret_cast<LPARAM>(page)));
    m_pages.push_back(page);
    return TRUE;
}

void ui_property_sheet::SetTitle(const std::wstring& caption)
{
    m_caption = caption;
    if (IsWindow()) SetWindowText(caption);
}

HWND ui_property_sheet::create_window(HWND owner, bool modal)
{
    if (m_pages.empty()) return nullptr;
    ui_window_object* owner_obj = lookup(owner);
    auto* d = new sheet_widget(owner_obj && owner_obj->widget ? owner_obj->widget->window() : nullptr);
    if (modal) d->setWindowModality(Qt::ApplicationModal);
    d->setWindowTitle(qstr(m_caption));

    auto st = std::make_unique<ui_sheet_state>();
    st->header = m_psh;
    st->caption = m_caption;
    st->owner = this;

    auto* v = new QVBoxLayout(d);
    v->setContentsMargins(0, 0, 0, 0);
    v->setSpacing(0);
    v->setSizeConstraint(QLayout::SetFixedSize);
    auto* area = new QWidget(d);
    area->setAutoFillBackground(true);
    v->addWidget(area);

    auto* watermark = new QLabel(area);
    watermark->setScaledContents(PSH_STRETCHWATERMARK & m_psh.dwFlags);
    if (auto img = ui_image_of(m_psh.hbmWatermark); img && (m_psh.dwFlags & PSH_WATERMARK))
        watermark->setPixmap(pixmap_of(*img));
    watermark->hide();

    auto* header = new QFrame(area);
    header->setAutoFillBackground(true);
    header->setBackgroundRole(QPalette::Base);
    auto* hrow = new QHBoxLayout(header);
    hrow->setContentsMargins(dlu_x(7), dlu_y(5), dlu_x(4), dlu_y(3));
    auto* texts = new QVBoxLayout();
    texts->setSpacing(dlu_y(2));
    auto* title = new QLabel(header);
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    auto* subtitle = new QLabel(header);
    subtitle->setIndent(dlu_x(8));
    texts->addWidget(title);
    texts->addWidget(subtitle);
    texts->addStretch(1);
    hrow->addLayout(texts, 1);
    auto* header_bitmap = new QLabel(header);
    hrow->addWidget(header_bitmap, 0, Qt::AlignTop);
    if (auto img = ui_image_of(m_psh.hbmHeader); img && (m_psh.dwFlags & PSH_HEADER))
        header_bitmap->setPixmap(pixmap_of(*img));
    auto* header_line = new QFrame(area);
    header_line->setFrameShape(QFrame::HLine);
    header_line->setFrameShadow(QFrame::Sunken);

    auto* line = new QFrame(d);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    v->addWidget(line);

    st->area = area;
    st->header_frame = header;
    st->header_line = header_line;
    st->header_title = title;
    st->header_subtitle = subtitle;
    st->header_bitmap = header_bitmap;
    st->watermark = watermark;
    for (HPROPSHEETPAGE p : m_pages) st->pages.push_back(ui_sheet_page_entry{p, nullptr});
    m_pages.clear();

    auto obj = std::make_unique<ui_window_object>();
    obj->kind = ui_window_kind::sheet;
    obj->widget = d;
    obj->target = this;
    obj->wrapper = this;
    obj->text = m_caption;
    obj->modal = modal;
    obj->parent = nullptr;
    obj->sheet = std::move(st);
    HWND h = register_window(std::move(obj));
    m_hWnd = h;
    ui_sheet_state* s = state_of(h);
    layout_sheet(h);

    auto* buttons = new QHBoxLayout();
    buttons->setContentsMargins(dlu_x(7), dlu_y(5), dlu_x(7), dlu_y(5));
    buttons->setSpacing(dlu_x(4));
    s->help = make_button(h, d, buttons, IDHELP, L"&Help");
    buttons->addStretch(1);
    s->back = make_button(h, d, buttons, ID_WIZBACK, L"< &Back");
    s->next = make_button(h, d, buttons, ID_WIZNEXT, L"&Next >");
    s->finish = make_button(h, d, buttons, ID_WIZFINISH, L"Finish");
    s->cancel = make_button(h, d, buttons, IDCANCEL, L"Cancel");
    v->addLayout(buttons);
    if (!(m_psh.dwFlags & PSH_HASHELP)) set_shown(s->help, false);
    if (auto img = ui_image_of(m_psh.hIcon)) d->setWindowIcon(QIcon(pixmap_of(*img)));
    apply_buttons(*s);

    if (!activate(h, static_cast<int>(m_psh.nStartPage), +1)) {
        destroy_window(h, true);
        m_hWnd = nullptr;
        return nullptr;
    }
    return h;
}

INT_PTR ui_property_sheet::DoModal(HWND owner)
{
    INT_PTR result = -1;
    invoke([&] {
        HWND h = create_window(owner, true);
        ui_window_object* o = lookup(h);
        if (!o) return;
        if (!o->end_requested) {
            o->in_loop = true;
            push_modal(h);
            schedule_modal_handler(h);
            static_cast<QDialog*>(o->widget.data())->exec();
            pop_modal(h);
            o = lookup(h);
        }
        if (o) {
            o->in_loop = false;
            result = o->result;
            destroy_window(h, true);
        }
    });
    m_result = result;
    return result;
}

HWND ui_property_sheet::Create(HWND owner)
{
    HWND h = nullptr;
    invoke([&] {
        h = create_window(owner, false);
        if (ui_window_object* o = lookup(h)) o->widget->show();
    });
    return h;
}
