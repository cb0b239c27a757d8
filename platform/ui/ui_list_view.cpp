// The list view (report mode): rows of texts, an optional check box per row and
// single selection, with the LVN_ITEMCHANGING / LVN_ITEMCHANGED notifications of
// every state change, whether a user or the program made it.
#include <QHeaderView>
#include <QMouseEvent>
#include <QTreeWidget>

#include "platform/ui/ui_window_object.h"

using namespace ui_detail;

namespace {

class list_view_widget : public QTreeWidget {
public:
    explicit list_view_widget(QWidget* parent) : QTreeWidget(parent)
    {
        setRootIsDecorated(false);
        setSelectionMode(QAbstractItemView::SingleSelection);
        setSelectionBehavior(QAbstractItemView::SelectRows);
        setAllColumnsShowFocus(true);
        setUniformRowHeights(true);
        setHeaderLabels({});
    }

    int selected_row() const
    {
        const auto sel = selectedItems();
        return sel.isEmpty() ? -1 : indexOfTopLevelItem(sel.front());
    }

    bool checkboxes = false;
    // Columns inserted so far: the tree starts with one column of its own,
    // which is not one of the list's.
    int columns = 0;
    int quiet = 0; // > 0 while the program itself changes the view

protected:
    QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex& index, const QEvent* event) const override;
};

UINT check_bits(QTreeWidgetItem* item, bool checkboxes)
{
    if (!checkboxes || !item) return 0;
    return INDEXTOSTATEIMAGEMASK(item->checkState(0) == Qt::Checked ? 2 : 1);
}

UINT state_of(list_view_widget* lv, int row)
{
    QTreeWidgetItem* item = lv->topLevelItem(row);
    if (!item) return 0;
    UINT s = check_bits(item, lv->checkboxes);
    if (item->isSelected()) s |= LVIS_SELECTED;
    if (lv->currentItem() == item) s |= LVIS_FOCUSED;
    return s;
}

LRESULT send_item_notify(HWND h, UINT code, int row, UINT old_state, UINT new_state)
{
    NMLISTVIEW n;
    n.hdr.code = code;
    n.iItem = row;
    n.uOldState = old_state;
    n.uNewState = new_state;
    n.uChanged = LVIF_STATE;
    return notify_parent(h, &n.hdr);
}

list_view_widget* view_of(HWND h)
{
    ui_window_object* o = lookup(h);
    return o ? dynamic_cast<list_view_widget*>(o->widget.data()) : nullptr;
}

// Moves the selection to `row` (-1: none), asking the owner first; false when refused.
bool change_selection(HWND h, list_view_widget* lv, int row)
{
    const int old = lv->selected_row();
    if (old == row) return true;
    const UINT old_state_before = old >= 0 ? state_of(lv, old) : 0;
    if (old >= 0 && send_item_notify(h, LVN_ITEMCHANGING, old, old_state_before,
                                     old_state_before & ~(LVIS_SELECTED | LVIS_FOCUSED)) != 0)
        return false;
    lv = view_of(h);
    if (!lv) return false;
    const UINT new_state_before = row >= 0 ? state_of(lv, row) : 0;
    if (row >= 0 && send_item_notify(h, LVN_ITEMCHANGING, row, new_state_before,
                                     new_state_before | LVIS_SELECTED | LVIS_FOCUSED) != 0)
        return false;
    lv = view_of(h);
    if (!lv) return false;
    {
        // The items' selected flags follow the selection model's signals: not blocked.
        ++lv->quiet;
        lv->clearSelection();
        if (QTreeWidgetItem* item = lv->topLevelItem(row)) {
            lv->setCurrentItem(item);
            item->setSelected(true);
        }
        --lv->quiet;
        lv->viewport()->update();
    }
    if (old >= 0)
        send_item_notify(h, LVN_ITEMCHANGED, old, old_state_before, view_of(h) ? state_of(view_of(h), old) : 0);
    if (row >= 0 && view_of(h)) send_item_notify(h, LVN_ITEMCHANGED, row, new_state_before, state_of(view_of(h), row));
    return true;
}

QItemSelectionModel::SelectionFlags list_view_widget::selectionCommand(const QModelIndex& index,
                                                                       const QEvent* event) const
{
    if (quiet || !event) return QTreeWidget::selectionCommand(index, event);
    // A user's click or key: the owner is asked, and the change is made here.
    HWND h = handle_of(this);
    if (h && index.isValid() && index.row() != selected_row()) {
        const int row = index.row();
        boundary([h, row] {
            if (list_view_widget* lv = view_of(h)) change_selection(h, lv, row);
        });
    }
    return QItemSelectionModel::NoUpdate;
}

void set_check(HWND h, list_view_widget* lv, int row, bool checked, bool ask)
{
    QTreeWidgetItem* item = lv->topLevelItem(row);
    if (!item || !lv->checkboxes) return;
    const UINT before = state_of(lv, row);
    const UINT after = (before & ~LVIS_STATEIMAGEMASK) | INDEXTOSTATEIMAGEMASK(checked ? 2 : 1);
    if (before == after) return;
    if (ask && send_item_notify(h, LVN_ITEMCHANGING, row, before, after) != 0) return;
    lv = view_of(h);
    if (!lv || !(item = lv->topLevelItem(row))) return;
    {
        ++lv->quiet;
        const QSignalBlocker block(lv);
        item->setCheckState(0, checked ? Qt::Checked : Qt::Unchecked);
        --lv->quiet;
    }
    send_item_notify(h, LVN_ITEMCHANGED, row, before, after);
}

std::wstring item_text(list_view_widget* lv, int row, int column)
{
    QTreeWidgetItem* item = lv->topLevelItem(row);
    return item ? wstr(item->text(column)) : std::wstring();
}

} // namespace

namespace ui_detail {

QWidget* make_list_view(QWidget* surface) { return new list_view_widget(surface); }

void connect_list_view(QWidget* w, HWND h)
{
    auto* lv = static_cast<list_view_widget*>(w);
    // A user's click on a check box.
    QObject::connect(lv, &QTreeWidget::itemChanged, lv, [h](QTreeWidgetItem* item, int column) {
        list_view_widget* v = view_of(h);
        if (!v || v->quiet || column != 0 || !v->checkboxes) return;
        const int row = v->indexOfTopLevelItem(item);
        const bool checked = item->checkState(0) == Qt::Checked;
        {
            const QSignalBlocker block(v);
            item->setCheckState(0, checked ? Qt::Unchecked : Qt::Checked); // back, then through the owner
        }
        boundary([h, row, checked] {
            if (list_view_widget* vv = view_of(h)) set_check(h, vv, row, checked, true);
        });
    });
    QObject::connect(lv, &QTreeWidget::itemDoubleClicked, lv, [h](QTreeWidgetItem* item, int) {
        boundary([h, item] {
            list_view_widget* v = view_of(h);
            if (!v) return;
            NMITEMACTIVATE n;
            n.hdr.code = NM_DBLCLK;
            n.iItem = v->indexOfTopLevelItem(item);
            notify_parent(h, &n.hdr);
        });
    });
}

void list_view_select(HWND h, int index)
{
    if (list_view_widget* lv = view_of(h)) change_selection(h, lv, index);
}

void list_view_double_click(HWND h, int index)
{
    list_view_widget* lv = view_of(h);
    if (!lv) return;
    change_selection(h, lv, index);
    NMITEMACTIVATE n;
    n.hdr.code = NM_DBLCLK;
    n.iItem = index;
    notify_parent(h, &n.hdr);
}

void list_view_user_check(HWND h, int index, bool checked)
{
    if (list_view_widget* lv = view_of(h)) set_check(h, lv, index, checked, true);
}

LRESULT list_view_proc(ui_window_object* o, UINT msg, WPARAM w, LPARAM l)
{
    auto* lv = dynamic_cast<list_view_widget*>(o->widget.data());
    if (!lv) return 0;
    HWND h = o->self;
    const int count = lv->topLevelItemCount();
    switch (msg) {
    case LVM_SETEXTENDEDLISTVIEWSTYLE: {
        const DWORD old = o->list_view_ex_style;
        const DWORD mask = w ? static_cast<DWORD>(w) : 0xFFFFFFFFu;
        o->list_view_ex_style = (old & ~mask) | (static_cast<DWORD>(l) & mask);
        lv->checkboxes = o->list_view_ex_style & LVS_EX_CHECKBOXES;
        ++lv->quiet;
        for (int i = 0; i < count; ++i) {
            QTreeWidgetItem* item = lv->topLevelItem(i);
            if (lv->checkboxes) {
                item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
                if (item->data(0, Qt::CheckStateRole).isNull()) item->setCheckState(0, Qt::Unchecked);
            } else {
                item->setData(0, Qt::CheckStateRole, QVariant());
            }
        }
        --lv->quiet;
        return old;
    }
    case LVM_GETEXTENDEDLISTVIEWSTYLE:
        return o->list_view_ex_style;
    case LVM_INSERTCOLUMNW: {
        auto* col = reinterpret_cast<const LVCOLUMNW*>(l);
        if (!col) return -1;
        QStringList labels;
        QTreeWidgetItem* header = lv->headerItem();
        const int columns = lv->columns;
        for (int i = 0; i < columns; ++i) labels << header->text(i);
        int at = static_cast<int>(w);
        if (at < 0 || at > columns) at = columns;
        labels.insert(at, (col->mask & LVCF_TEXT) && col->pszText ? QString::fromWCharArray(col->pszText) : QString());
        lv->columns = static_cast<int>(labels.size());
        lv->setColumnCount(lv->columns);
        lv->setHeaderLabels(labels);
        if (col->mask & LVCF_WIDTH) lv->setColumnWidth(at, col->cx);
        return at;
    }
    case LVM_SETCOLUMNWIDTH: {
        const int c = static_cast<int>(w);
        if (c < 0 || c >= lv->columnCount()) return FALSE;
        const int width = static_cast<int>(l);
        if (width == LVSCW_AUTOSIZE || width == LVSCW_AUTOSIZE_USEHEADER) {
            lv->resizeColumnToContents(c);
            // Some room beside the text, as the system leaves it.
            lv->setColumnWidth(c, lv->columnWidth(c) + QFontMetrics(lv->font()).averageCharWidth());
            if (width == LVSCW_AUTOSIZE_USEHEADER)
                lv->setColumnWidth(c, std::max(lv->columnWidth(c), lv->header()->sectionSizeHint(c)));
        } else {
            lv->setColumnWidth(c, width);
        }
        return TRUE;
    }
    case LVM_INSERTITEMW: {
        auto* it = reinterpret_cast<const LVITEMW*>(l);
        if (!it || it->iSubItem != 0) return -1;
        const int at = (it->iItem < 0 || it->iItem > count) ? count : it->iItem;
        ++lv->quiet;
        auto* item = new QTreeWidgetItem();
        if ((it->mask & LVIF_TEXT) && it->pszText) item->setText(0, QString::fromWCharArray(it->pszText));
        if (it->mask & LVIF_PARAM)
            item->setData(0, Qt::UserRole, QVariant::fromValue(static_cast<qlonglong>(it->lParam)));
        if (lv->checkboxes) {
            item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
            item->setCheckState(0, Qt::Unchecked);
        }
        lv->insertTopLevelItem(at, item);
        --lv->quiet;
        return at;
    }
    case LVM_SETITEMTEXTW:
    case LVM_SETITEMW: {
        auto* it = reinterpret_cast<const LVITEMW*>(l);
        const int row = msg == LVM_SETITEMTEXTW ? static_cast<int>(w) : (it ? it->iItem : -1);
        QTreeWidgetItem* item = lv->topLevelItem(row);
        if (!it || !item) return FALSE;
        if (msg == LVM_SETITEMTEXTW || (it->mask & LVIF_TEXT)) {
            if (it->iSubItem >= lv->columnCount()) lv->setColumnCount(it->iSubItem + 1);
            ++lv->quiet;
            item->setText(it->iSubItem, it->pszText ? QString::fromWCharArray(it->pszText) : QString());
            --lv->quiet;
        }
        if (msg == LVM_SETITEMW && (it->mask & LVIF_PARAM))
            item->setData(0, Qt::UserRole, QVariant::fromValue(static_cast<qlonglong>(it->lParam)));
        if (msg == LVM_SETITEMW && (it->mask & LVIF_STATE)) {
            LVITEMW s = *it;
            list_view_proc(o, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&s));
        }
        return TRUE;
    }
    case LVM_GETITEMTEXTW: {
        auto* it = reinterpret_cast<LVITEMW*>(l);
        if (!it || !it->pszText || it->cchTextMax <= 0) return 0;
        const std::wstring t = item_text(lv, static_cast<int>(w), it->iSubItem);
        const size_t n = std::min<size_t>(t.size(), static_cast<size_t>(it->cchTextMax - 1));
        std::copy_n(t.data(), n, it->pszText);
        it->pszText[n] = L'\0';
        return static_cast<LRESULT>(n);
    }
    case LVM_GETITEMW: {
        auto* it = reinterpret_cast<LVITEMW*>(l);
        if (!it) return FALSE;
        QTreeWidgetItem* item = lv->topLevelItem(it->iItem);
        if (!item) return FALSE;
        if ((it->mask & LVIF_TEXT) && it->pszText && it->cchTextMax > 0) {
            const std::wstring t = item_text(lv, it->iItem, it->iSubItem);
            const size_t n = std::min<size_t>(t.size(), static_cast<size_t>(it->cchTextMax - 1));
            std::copy_n(t.data(), n, it->pszText);
            it->pszText[n] = L'\0';
        }
        if (it->mask & LVIF_PARAM) it->lParam = static_cast<LPARAM>(item->data(0, Qt::UserRole).toLongLong());
        if (it->mask & LVIF_STATE) it->state = state_of(lv, it->iItem) & it->stateMask;
        return TRUE;
    }
    case LVM_GETITEMCOUNT:
        return count;
    case LVM_DELETEITEM: {
        const int row = static_cast<int>(w);
        if (row < 0 || row >= count) return FALSE;
        ++lv->quiet;
        delete lv->takeTopLevelItem(row);
        --lv->quiet;
        return TRUE;
    }
    case LVM_DELETEALLITEMS:
        ++lv->quiet;
        lv->clear();
        --lv->quiet;
        return TRUE;
    case LVM_SETITEMSTATE: {
        auto* it = reinterpret_cast<const LVITEMW*>(l);
        if (!it) return FALSE;
        const int first = static_cast<intptr_t>(w) < 0 ? 0 : static_cast<int>(w);
        const int last = static_cast<intptr_t>(w) < 0 ? count - 1 : static_cast<int>(w);
        if (first > last || last >= count) return static_cast<intptr_t>(w) < 0 ? TRUE : FALSE;
        for (int row = first; row <= last; ++row) {
            if (it->stateMask & LVIS_STATEIMAGEMASK) {
                const UINT img = (it->state & LVIS_STATEIMAGEMASK) >> 12;
                if (img == 1 || img == 2) set_check(h, lv, row, img == 2, true);
                lv = view_of(h);
                if (!lv) return FALSE;
            }
            if (it->stateMask & LVIS_SELECTED) {
                const bool select = it->state & LVIS_SELECTED;
                const bool is = lv->topLevelItem(row)->isSelected();
                if (select && !is)
                    change_selection(h, lv, row);
                else if (!select && is)
                    change_selection(h, lv, -1);
                lv = view_of(h);
                if (!lv) return FALSE;
            }
            if ((it->stateMask & LVIS_FOCUSED) && (it->state & LVIS_FOCUSED)) {
                ++lv->quiet;
                lv->setCurrentItem(lv->topLevelItem(row), 0, QItemSelectionModel::NoUpdate);
                --lv->quiet;
            }
        }
        return TRUE;
    }
    case LVM_GETITEMSTATE:
        return static_cast<LRESULT>(state_of(lv, static_cast<int>(w)) & static_cast<UINT>(l));
    case LVM_GETNEXTITEM: {
        const int start = static_cast<int>(static_cast<intptr_t>(w));
        for (int row = start + 1; row < count; ++row) {
            const UINT s = state_of(lv, row);
            if ((static_cast<UINT>(l) & LVNI_SELECTED) && !(s & LVIS_SELECTED)) continue;
            if ((static_cast<UINT>(l) & LVNI_FOCUSED) && !(s & LVIS_FOCUSED)) continue;
            return row;
        }
        return -1;
    }
    case LVM_ENSUREVISIBLE:
        if (QTreeWidgetItem* item = lv->topLevelItem(static_cast<int>(w))) {
            lv->scrollToItem(item);
            return TRUE;
        }
        return FALSE;
    default:
        return 0;
    }
}

} // namespace ui_detail
