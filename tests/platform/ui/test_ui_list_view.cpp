#include <string>
#include <vector>

#include "tests/platform/ui/ui_test_support.h"

namespace {

constexpr int k_dialog = 9003, k_view = 1316;

const ui_dialog_resource g_template(k_dialog, {L"Edit Table", 200, 120, {ui_rc::listview(k_view, 5, 5, 190, 100)}});

struct change {
    UINT code;
    int item;
    UINT old_state;
    UINT new_state;
};

// Refuses to let row `locked` lose the selection while `lock` is set.
class view_dialog : public ui_dialog {
public:
    view_dialog() : ui_dialog(k_dialog) {}
    bool ProcessWindowMessage(HWND, UINT msg, WPARAM, LPARAM l, LRESULT& result) override
    {
        if (msg != WM_NOTIFY) return false;
        const auto* hdr = reinterpret_cast<const NMHDR*>(l);
        if (hdr->code == NM_DBLCLK) {
            double_clicked = reinterpret_cast<const NMITEMACTIVATE*>(l)->iItem;
            return true;
        }
        const auto* n = reinterpret_cast<const NMLISTVIEW*>(l);
        changes.push_back({hdr->code, n->iItem, n->uOldState, n->uNewState});
        result = 0;
        if (hdr->code == LVN_ITEMCHANGING && lock && n->iItem == locked && (n->uOldState & LVIS_SELECTED) &&
            !(n->uNewState & LVIS_SELECTED))
            result = 1;
        return true;
    }
    std::vector<change> changes;
    bool lock = false;
    int locked = -1;
    int double_clicked = -1;
};

void add_column(HWND view, int at, const wchar_t* text)
{
    LVCOLUMNW c;
    c.mask = LVCF_TEXT | LVCF_WIDTH;
    c.cx = 60;
    std::wstring t = text;
    c.pszText = t.data();
    SendMessageW(view, LVM_INSERTCOLUMNW, static_cast<WPARAM>(at), reinterpret_cast<LPARAM>(&c));
}

void add_row(HWND view, int at, const std::wstring& name, const std::wstring& type)
{
    LVITEMW it;
    it.mask = LVIF_TEXT;
    it.iItem = at;
    std::wstring n = name;
    it.pszText = n.data();
    const auto row = SendMessageW(view, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&it));
    LVITEMW sub;
    sub.iSubItem = 1;
    std::wstring t = type;
    sub.pszText = t.data();
    SendMessageW(view, LVM_SETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&sub));
}

std::wstring text_of(HWND view, int row, int column)
{
    std::wstring buffer(64, L'\0');
    LVITEMW it;
    it.iSubItem = column;
    it.pszText = buffer.data();
    it.cchTextMax = 64;
    const auto n = SendMessageW(view, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&it));
    return buffer.substr(0, static_cast<size_t>(n));
}

void set_state(HWND view, int row, UINT state, UINT mask)
{
    LVITEMW it;
    it.state = state;
    it.stateMask = mask;
    SendMessageW(view, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&it));
}

class ui_list_view_test : public ui_test {};

} // namespace

TEST_F(ui_list_view_test, rows_inserted_at_the_top_keep_their_texts_and_check_boxes)
{
    view_dialog dlg;
    ASSERT_NE(dlg.Create(), nullptr);
    HWND view = dlg.GetDlgItem(k_view);
    SendMessageW(view, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
    add_column(view, 0, L"");
    add_column(view, 1, L"Field Name");
    // Built from the last to the first, each at the top: the list shows the schema order.
    add_row(view, 0, L"c", L"DATE");
    add_row(view, 0, L"b", L"NUMBER");
    add_row(view, 0, L"a", L"VARCHAR2(10)");
    ASSERT_EQ(SendMessageW(view, LVM_GETITEMCOUNT), 3);
    EXPECT_EQ(text_of(view, 0, 0), L"a");
    EXPECT_EQ(text_of(view, 2, 1), L"DATE");
    EXPECT_EQ(SendMessageW(view, LVM_GETITEMSTATE, 1, LVIS_STATEIMAGEMASK), INDEXTOSTATEIMAGEMASK(1));

    dlg.changes.clear();
    set_state(view, -1, INDEXTOSTATEIMAGEMASK(2), LVIS_STATEIMAGEMASK);
    EXPECT_EQ(SendMessageW(view, LVM_GETITEMSTATE, 2, LVIS_STATEIMAGEMASK), INDEXTOSTATEIMAGEMASK(2));
    int changed = 0;
    for (const auto& c : dlg.changes)
        if (c.code == LVN_ITEMCHANGED && c.new_state == INDEXTOSTATEIMAGEMASK(2)) ++changed;
    EXPECT_EQ(changed, 3) << "program changes are notified too";

    dlg.changes.clear();
    ui_automation::set_list_view_check(dlg, k_view, 1, false);
    ASSERT_EQ(dlg.changes.size(), 2u);
    EXPECT_EQ(dlg.changes[1].code, LVN_ITEMCHANGED);
    EXPECT_EQ(dlg.changes[1].item, 1);
    EXPECT_EQ(dlg.changes[1].old_state & LVIS_STATEIMAGEMASK, INDEXTOSTATEIMAGEMASK(2));
    EXPECT_EQ(dlg.changes[1].new_state & LVIS_STATEIMAGEMASK, INDEXTOSTATEIMAGEMASK(1));
}

TEST_F(ui_list_view_test, a_refused_change_keeps_the_selected_row)
{
    view_dialog dlg;
    ASSERT_NE(dlg.Create(), nullptr);
    HWND view = dlg.GetDlgItem(k_view);
    add_column(view, 0, L"Field Name");
    add_row(view, 0, L"b", L"");
    add_row(view, 0, L"a", L"");
    set_state(view, 0, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    EXPECT_EQ(SendMessageW(view, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED), 0);

    dlg.lock = true;
    dlg.locked = 0;
    dlg.changes.clear();
    ui_automation::select_item(dlg, k_view, 1);
    EXPECT_EQ(SendMessageW(view, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED), 0);
    ASSERT_EQ(dlg.changes.size(), 1u) << "only the refused question";
    EXPECT_EQ(dlg.changes[0].code, LVN_ITEMCHANGING);

    dlg.lock = false;
    dlg.changes.clear();
    ui_automation::select_item(dlg, k_view, 1);
    EXPECT_EQ(SendMessageW(view, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED), 1);
    ASSERT_EQ(dlg.changes.size(), 4u);
    EXPECT_EQ(dlg.changes[2].code, LVN_ITEMCHANGED);
    EXPECT_EQ(dlg.changes[2].item, 0);
    EXPECT_FALSE(dlg.changes[2].new_state & LVIS_SELECTED);
    EXPECT_EQ(dlg.changes[3].item, 1);
    EXPECT_TRUE(dlg.changes[3].new_state & LVIS_SELECTED);

    ui_automation::double_click_item(dlg, k_view, 0);
    EXPECT_EQ(dlg.double_clicked, 0);
}
