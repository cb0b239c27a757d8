#include <memory>
#include <string>
#include <vector>

#include "tests/platform/ui/ui_test_support.h"

namespace {

constexpr int k_dialog = 9001;
constexpr int k_name = 100, k_flag = 101, k_auto = 102, k_list = 103, k_combo = 104, k_memo = 105, k_bar = 106;
constexpr int k_radio_a = 110, k_radio_b = 111;

const ui_dialog_resource g_template(k_dialog, {L"Test dialog",
                                               200,
                                               150,
                                               {
                                                   ui_rc::ltext(L"&Name:", -1, 5, 5, 40, 8),
                                                   ui_rc::edittext(k_name, 50, 5, 100, 12),
                                                   ui_rc::checkbox(L"&Flag", k_flag, 5, 20, 60, 10),
                                                   ui_rc::checkbox(L"&Auto", k_auto, 70, 20, 60, 10, true),
                                                   ui_rc::radiobutton(L"A", k_radio_a, 5, 32, 30, 10),
                                                   ui_rc::radiobutton(L"B", k_radio_b, 40, 32, 30, 10),
                                                   ui_rc::listbox(k_list, 5, 45, 90, 50, LBS_NOTIFY | LBS_SORT),
                                                   ui_rc::combobox(k_combo, 100, 45, 90, 60, CBS_DROPDOWN | CBS_SORT),
                                                   ui_rc::edittext(k_memo, 5, 100, 150, 30, ES_MULTILINE | WS_VSCROLL),
                                                   ui_rc::progress(k_bar, 5, 135, 100, 8),
                                                   ui_rc::defpushbutton(L"OK", IDOK, 140, 130, 25, 12),
                                                   ui_rc::pushbutton(L"Cancel", IDCANCEL, 170, 130, 25, 12),
                                               }});

// Records what reaches it; OK and Cancel end the dialog.
class recording_dialog : public ui_dialog {
public:
    recording_dialog() : ui_dialog(k_dialog) {}
    bool ProcessWindowMessage(HWND, UINT msg, WPARAM w, LPARAM, LRESULT& result) override
    {
        if (msg == WM_INITDIALOG) {
            SetDlgItemText(k_name, L"initial");
            inits++;
            result = TRUE;
            return true;
        }
        if (msg == WM_COMMAND) {
            commands.emplace_back(LOWORD(w), HIWORD(w));
            if (LOWORD(w) == IDOK || LOWORD(w) == IDCANCEL) {
                name_at_end = GetDlgItemText(k_name);
                EndDialog(LOWORD(w));
            }
            return true;
        }
        return false;
    }
    int inits = 0;
    std::vector<std::pair<int, int>> commands;
    std::wstring name_at_end;
};

bool has_command(const recording_dialog& d, int id, int code)
{
    for (const auto& c : d.commands)
        if (c.first == id && c.second == code) return true;
    return false;
}

class ui_dialog_test : public ui_test {};

} // namespace

TEST_F(ui_dialog_test, modal_dialog_gets_init_commands_and_ends_with_the_given_result)
{
    recording_dialog dlg;
    ui_automation::queue_modal([&](HWND h) {
        EXPECT_EQ(GetActiveWindow(), h);
        EXPECT_EQ(CWindow(h).GetWindowText(), L"Test dialog");
        EXPECT_EQ(CWindow(h).GetDlgItemText(k_name), L"initial");
        ui_automation::set_text(h, k_name, L"typed");
        ui_automation::click(h, IDOK);
    });
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(dlg.inits, 1);
    EXPECT_EQ(dlg.name_at_end, L"typed");
    EXPECT_TRUE(has_command(dlg, k_name, EN_CHANGE));
    EXPECT_FALSE(IsWindow(dlg.m_hWnd)) << "the window is gone after the loop";
    EXPECT_EQ(dlg.m_hWnd, nullptr);
}

TEST_F(ui_dialog_test, escape_and_close_box_are_cancel_and_a_missing_template_fails)
{
    recording_dialog dlg;
    ui_automation::queue_modal([&](HWND h) { SendMessageW(h, WM_CLOSE); });
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    EXPECT_TRUE(has_command(dlg, IDCANCEL, BN_CLICKED));

    ui_dialog missing(424242);
    EXPECT_EQ(missing.DoModal(), -1);
}

TEST_F(ui_dialog_test, a_modal_loop_without_handler_is_ended_and_reported)
{
    recording_dialog dlg;
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    ASSERT_EQ(ui_automation::unexpected_modals().size(), 1u);
    EXPECT_EQ(ui_automation::unexpected_modals()[0], L"Test dialog");
    ui_automation::end(); // the expected report is not a failure of this test
    ui_automation::begin();
}

TEST_F(ui_dialog_test, check_boxes_flip_only_when_automatic_and_radio_buttons_are_set_by_the_owner)
{
    recording_dialog dlg;
    ASSERT_NE(dlg.Create(), nullptr);
    HWND h = dlg.m_hWnd;
    ui_automation::click(h, k_flag);
    EXPECT_EQ(IsDlgButtonChecked(h, k_flag), BST_UNCHECKED) << "a plain check box waits for its owner";
    EXPECT_TRUE(has_command(dlg, k_flag, BN_CLICKED));
    ui_automation::click(h, k_auto);
    EXPECT_EQ(IsDlgButtonChecked(h, k_auto), BST_CHECKED);

    EXPECT_TRUE(CheckRadioButton(h, k_radio_a, k_radio_b, k_radio_b));
    EXPECT_EQ(IsDlgButtonChecked(h, k_radio_a), BST_UNCHECKED);
    EXPECT_EQ(IsDlgButtonChecked(h, k_radio_b), BST_CHECKED);
    ui_automation::click(h, k_radio_a);
    EXPECT_EQ(IsDlgButtonChecked(h, k_radio_a), BST_UNCHECKED) << "a plain radio button waits for its owner";

    EXPECT_FALSE(CheckDlgButton(h, 4711, BST_CHECKED)) << "no such control";
    EnableWindow(GetDlgItem(h, k_flag), FALSE);
    const size_t before = dlg.commands.size();
    ui_automation::click(h, k_flag);
    EXPECT_EQ(dlg.commands.size(), before) << "a disabled button cannot be clicked";
    dlg.DestroyWindow();
    EXPECT_FALSE(IsWindow(h));
}

TEST_F(ui_dialog_test, sorted_list_box_orders_without_case_and_finds_exact_names)
{
    recording_dialog dlg;
    ASSERT_NE(dlg.Create(), nullptr);
    CWindow list(dlg.GetDlgItem(k_list));
    for (const wchar_t* s : {L"orders", L"Customers", L"employees", L"Categories"})
        list.SendMessage(LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(s));
    ASSERT_EQ(list.SendMessage(LB_GETCOUNT), 4);
    std::vector<std::wstring> order;
    for (int i = 0; i < 4; ++i) {
        const auto len = list.SendMessage(LB_GETTEXTLEN, static_cast<WPARAM>(i));
        std::wstring t(static_cast<size_t>(len) + 1, L'\0');
        list.SendMessage(LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(t.data()));
        t.resize(static_cast<size_t>(len));
        order.push_back(t);
    }
    EXPECT_EQ(order, (std::vector<std::wstring>{L"Categories", L"Customers", L"employees", L"orders"}));
    EXPECT_EQ(list.SendMessage(LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(L"ORDERS")), 3);
    EXPECT_EQ(list.SendMessage(LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(L"order")),
              LB_ERR);
    EXPECT_EQ(list.SendMessage(LB_GETCURSEL), LB_ERR);
    list.SendMessage(LB_SETCURSEL, 2);
    EXPECT_EQ(list.SendMessage(LB_GETCURSEL), 2);
    EXPECT_EQ(list.SendMessage(LB_DELETESTRING, 0), 3);
    EXPECT_EQ(list.SendMessage(LB_DELETESTRING, 7), LB_ERR);
    list.SendMessage(LB_SETHORIZONTALEXTENT, 321);
    EXPECT_EQ(list.SendMessage(LB_GETHORIZONTALEXTENT), 321);

    ui_automation::double_click_item(dlg, k_list, 1);
    EXPECT_TRUE(has_command(dlg, k_list, LBN_DBLCLK));
    EXPECT_EQ(list.SendMessage(LB_GETCURSEL), 1);
}

TEST_F(ui_dialog_test, combo_box_edit_field_list_and_selection)
{
    recording_dialog dlg;
    ASSERT_NE(dlg.Create(), nullptr);
    CWindow combo(dlg.GetDlgItem(k_combo));
    combo.SetWindowText(L"typed db");
    combo.SendMessage(CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"pubs"));
    combo.SendMessage(CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"Northwind"));
    EXPECT_EQ(combo.GetWindowText(), L"typed db") << "adding entries keeps the edit field";
    EXPECT_EQ(combo.SendMessage(CB_GETCURSEL), CB_ERR);
    EXPECT_EQ(combo.SendMessage(CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(L"PUBS")), 1);
    combo.SendMessage(CB_SETCURSEL, 1);
    EXPECT_EQ(combo.GetWindowText(), L"pubs");
    ui_automation::set_text(dlg, k_combo, L"pu");
    EXPECT_EQ(combo.SendMessage(CB_GETCURSEL), CB_ERR) << "typing leaves no entry selected";
    ui_automation::drop_down(dlg, k_combo);
    EXPECT_TRUE(has_command(dlg, k_combo, CBN_DROPDOWN));
    ui_automation::select_item(dlg, k_combo, 0);
    EXPECT_TRUE(has_command(dlg, k_combo, CBN_SELCHANGE));
    EXPECT_EQ(combo.GetWindowText(), L"Northwind");
    combo.SendMessage(CB_RESETCONTENT);
    EXPECT_EQ(combo.SendMessage(CB_GETCOUNT), 0);
    EXPECT_EQ(combo.GetWindowText(), L"");
}

TEST_F(ui_dialog_test, multi_line_edit_appends_at_the_caret_within_its_limit)
{
    recording_dialog dlg;
    ASSERT_NE(dlg.Create(), nullptr);
    CWindow memo(dlg.GetDlgItem(k_memo));
    memo.SendMessage(EM_LIMITTEXT, 10);
    memo.SendMessage(EM_SETSEL, 0x7FFFFFFF, 0x7FFFFFFF);
    memo.SendMessage(EM_REPLACESEL, 0, reinterpret_cast<LPARAM>(L"line 1\r\n"));
    memo.SendMessage(EM_SETSEL, 0x7FFFFFFF, 0x7FFFFFFF);
    memo.SendMessage(EM_REPLACESEL, 0, reinterpret_cast<LPARAM>(L"line 2"));
    EXPECT_EQ(memo.GetWindowText().size(), 10u) << "the limit holds";
    EXPECT_EQ(memo.GetWindowText().substr(0, 6), L"line 1");
    memo.SendMessage(EM_SETSEL, 0, -1);
    memo.SendMessage(EM_REPLACESEL, 0, reinterpret_cast<LPARAM>(L"x"));
    EXPECT_EQ(memo.GetWindowText(), L"x") << "a selection is replaced";

    // GetWindowTextW never writes past the buffer it is given.
    std::wstring buffer(4, L'#');
    buffer.push_back(L'!');
    EXPECT_EQ(GetWindowTextW(dlg.GetDlgItem(k_name), buffer.data(), 4), 3);
    EXPECT_EQ(buffer.substr(0, 3), L"ini");
    EXPECT_EQ(buffer[3], L'\0');
    EXPECT_EQ(buffer[4], L'!');
}

TEST_F(ui_dialog_test, progress_bar_keeps_its_position_inside_the_range)
{
    recording_dialog dlg;
    ASSERT_NE(dlg.Create(), nullptr);
    CWindow bar(dlg.GetDlgItem(k_bar));
    EXPECT_EQ(bar.SendMessage(PBM_SETPOS, 15), 0);
    EXPECT_EQ(bar.SendMessage(PBM_GETPOS), 15);
    EXPECT_EQ(bar.SendMessage(PBM_SETPOS, 250), 15);
    EXPECT_EQ(bar.SendMessage(PBM_GETPOS), 100);
    bar.SendMessage(PBM_SETRANGE, 0, MAKELPARAM(10, 20));
    bar.SendMessage(PBM_SETPOS, 5);
    EXPECT_EQ(bar.SendMessage(PBM_GETPOS), 10);
}

TEST_F(ui_dialog_test, a_window_made_after_a_modal_dialog_closed_inside_a_handler_survives_its_deferred_deletion)
{
    // The modal dialogs end inside a button handler, so their widgets are
    // deleted later; what is made afterwards must not go with them.
    class launcher : public recording_dialog {
    public:
        bool ProcessWindowMessage(HWND h, UINT msg, WPARAM w, LPARAM l, LRESULT& r) override
        {
            if (msg == WM_COMMAND && LOWORD(w) == k_flag) {
                for (int i = 0; i < 3; ++i) {
                    recording_dialog inner;
                    results.push_back(inner.DoModal());
                }
                made = std::make_unique<recording_dialog>();
                made->Create();
                return true;
            }
            return recording_dialog::ProcessWindowMessage(h, msg, w, l, r);
        }
        std::vector<INT_PTR> results;
        std::unique_ptr<recording_dialog> made;
    } dlg;
    ASSERT_NE(dlg.Create(), nullptr);
    for (int i = 0; i < 3; ++i) ui_automation::queue_modal([](HWND h) { ui_automation::click(h, IDOK); });
    ui_automation::click(dlg, k_flag);
    ui_automation::pump(20);
    EXPECT_EQ(dlg.results, (std::vector<INT_PTR>{IDOK, IDOK, IDOK}));
    ASSERT_NE(dlg.made, nullptr);
    EXPECT_TRUE(IsWindow(dlg.made->m_hWnd));
    EXPECT_EQ(dlg.made->GetDlgItemText(k_name), L"initial");
    dlg.made.reset();
    dlg.DestroyWindow();
}
