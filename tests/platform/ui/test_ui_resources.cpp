#include <atomic>
#include <thread>

#include "tests/platform/ui/ui_test_support.h"

namespace {

constexpr int k_dialog = 9004, k_label = 100, k_icon_ctl = 101;
constexpr int k_icon = 9501, k_bitmap = 9502;

const ui_dialog_resource g_template(k_dialog, {L"Pictures",
                                               120,
                                               60,
                                               {ui_rc::ltext(L"A &label", k_label, 5, 5, 100, 10),
                                                ui_rc::icon(k_icon, k_icon_ctl, 5, 20)}});

// Ends itself while it is being set up, or when told from its message handler.
class quick_dialog : public ui_dialog {
public:
    quick_dialog() : ui_dialog(k_dialog) {}
    bool ProcessWindowMessage(HWND, UINT msg, WPARAM, LPARAM l, LRESULT&) override
    {
        if (msg == WM_INITDIALOG) {
            init_param = l;
            ui_thread = ui_is_ui_thread();
            if (end_at_once) EndDialog(77);
            return true;
        }
        return false;
    }
    bool end_at_once = false;
    LPARAM init_param = 0;
    bool ui_thread = false;
};

class ui_resource_test : public ui_test {
protected:
    static void SetUpTestSuite()
    {
        ui_register_icon(k_icon, ui_make_image(16, 16, 0xff00ff00, 0xff000000));
        ui_register_bitmap(k_bitmap, ui_make_image(8, 4, 0xffffffff, 0xff0000ff, 1));
    }
};

} // namespace

TEST_F(ui_resource_test, images_load_as_handles_and_are_freed_once)
{
    HICON icon = LoadImageIcon(ui_instance(), k_icon, 32, 32);
    ASSERT_NE(icon, nullptr);
    auto img = ui_image_of(icon);
    ASSERT_NE(img, nullptr);
    EXPECT_EQ(img->width, 32) << "scaled to the size asked for";
    EXPECT_EQ(ui_image_of(LoadIconW(ui_instance(), k_icon))->width, 16);
    EXPECT_EQ(LoadIconW(ui_instance(), 4242), nullptr) << "no such resource";
    EXPECT_TRUE(DestroyIcon(icon));
    EXPECT_FALSE(DestroyIcon(icon));
    EXPECT_EQ(ui_image_of(icon), nullptr);

    HBITMAP bmp = LoadBitmapW(ui_instance(), k_bitmap);
    ASSERT_NE(bmp, nullptr);
    const auto b = ui_image_of(bmp);
    EXPECT_EQ(b->width * b->height, static_cast<int>(b->argb.size()));
    EXPECT_EQ(b->argb[0], 0xff0000ffu) << "the border";
    EXPECT_FALSE(DestroyIcon(reinterpret_cast<HICON>(bmp))) << "a bitmap is no icon";
    EXPECT_TRUE(DeleteObject(bmp));
    EXPECT_FALSE(DeleteObject(bmp));
}

TEST_F(ui_resource_test, fonts_measure_text_and_labels_keep_their_mnemonic_text)
{
    quick_dialog dlg;
    ASSERT_NE(dlg.Create(), nullptr);
    EXPECT_EQ(dlg.GetDlgItemText(k_label), L"A &label") << "the text as given";
    EXPECT_EQ(dlg.GetDlgItemText(k_label, 3), L"A &");

    HDC dc = GetDC(dlg);
    const int dpi = GetDeviceCaps(dc, LOGPIXELSY);
    EXPECT_GT(dpi, 0);
    HFONT font = CreateFontW(-13 * dpi / 72, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0,
                             VARIABLE_PITCH | FF_SWISS, L"Segoe UI");
    ASSERT_NE(font, nullptr);
    SelectObject(dc, font);
    SIZE narrow, wide;
    ASSERT_TRUE(GetTextExtentPoint32W(dc, L"ii", 2, &narrow));
    ASSERT_TRUE(GetTextExtentPoint32W(dc, L"[dbo].[A much longer table name]", 32, &wide));
    EXPECT_GT(wide.cx, narrow.cx);
    EXPECT_GT(wide.cy, 0);
    EXPECT_EQ(ReleaseDC(dlg, dc), 1);
    EXPECT_FALSE(GetTextExtentPoint32W(dc, L"x", 1, &wide)) << "a released context";

    dlg.SendDlgItemMessage(k_label, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    EXPECT_EQ(dlg.SendDlgItemMessage(k_label, WM_GETFONT), reinterpret_cast<LRESULT>(font));
    EXPECT_TRUE(DeleteObject(font));
    dlg.DestroyWindow();
}

TEST_F(ui_resource_test, a_dialog_ended_while_it_is_set_up_never_loops_and_a_worker_runs_one_on_the_ui_thread)
{
    quick_dialog early;
    early.end_at_once = true;
    EXPECT_EQ(early.DoModal(nullptr, 1234), 77);
    EXPECT_EQ(early.init_param, 1234);
    EXPECT_EQ(ui_automation::pending_modals(), 0);

    quick_dialog dlg;
    std::atomic<INT_PTR> result{0};
    std::atomic<bool> done{false};
    ui_automation::queue_modal([&](HWND h) {
        EXPECT_EQ(GetActiveWindow(), h);
        dlg.EndDialog(5);
    });
    std::thread worker([&] {
        result = dlg.DoModal();
        done = true;
    });
    ui_pump_until([&] { return done.load(); }, 10000);
    worker.join();
    EXPECT_EQ(result.load(), 5);
    EXPECT_TRUE(dlg.ui_thread) << "the dialog lives on the user-interface thread";
}

TEST_F(ui_resource_test, controls_on_a_page_out_of_sight_are_not_visible_but_keep_their_state)
{
    const ui_dialog_resource p1(9105, {L"", 100, 60, {ui_rc::edittext(1000, 5, 5, 50, 12)}});
    const ui_dialog_resource p2(9106,
                                {L"", 100, 60, {ui_rc::hidden(ui_rc::pushbutton(L"Add Query", 1114, 5, 5, 50, 14))}});
    ui_property_page a(9105), b(9106);
    ui_property_sheet sheet(L"Sheet");
    sheet.AddPage(a.Create());
    sheet.AddPage(b.Create());
    ASSERT_NE(sheet.Create(), nullptr);
    SendMessageW(sheet, PSM_SETWIZBUTTONS, 0, PSWIZB_NEXT);
    EXPECT_TRUE(IsWindowVisible(a.GetDlgItem(1000)));
    a.SetDlgItemText(1000, L"kept");
    sheet.PressButton(PSBTN_NEXT);
    EXPECT_FALSE(IsWindowVisible(a.GetDlgItem(1000)));
    EXPECT_EQ(a.GetDlgItemText(1000), L"kept");
    HWND add = b.GetDlgItem(1114);
    EXPECT_FALSE(IsWindowVisible(add)) << "hidden in the template";
    ShowWindow(add, SW_SHOW);
    EXPECT_TRUE(IsWindowVisible(add));
    EXPECT_FALSE(EnableWindow(add, FALSE)) << "was enabled";
    EXPECT_FALSE(IsWindowEnabled(add));
    SendMessageW(sheet, PSM_SETHEADERTITLEW, 1, reinterpret_cast<LPARAM>(L"Step 4 of 5"));
    EXPECT_EQ(SendMessageW(sheet, PSM_INDEXTOID, 1), 9106);
    sheet.DestroyWindow();
    EXPECT_EQ(a.m_hWnd, nullptr);
}
