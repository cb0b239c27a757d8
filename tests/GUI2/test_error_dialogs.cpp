#include <QClipboard>
#include <QGuiApplication>

#include "GUI2/dlg_error_continue.h"
#include "GUI2/dlg_error_ex.h"
#include "GUI2/wizard_shell.h"
#include "tests/platform/ui/ui_test_support.h"

namespace {
class error_dialog_test : public ui_test {};
} // namespace

TEST_F(error_dialog_test, continue_dialog_answers_abort_or_continue_and_keeps_the_check_box_choice)
{
    dlg_error_continue<115> dlg(L"Orders, record #3: value too large");
    ui_automation::queue_modal([](HWND h) {
        EXPECT_EQ(CWindow(h).GetWindowText(), L"Error") << "no wizard on screen";
        EXPECT_EQ(CWindow(h).GetDlgItemText(dlg_error_continue_base::k_text), L"Orders, record #3: value too large");
        ui_automation::click(h, dlg_error_continue_base::k_dont_show);
        EXPECT_EQ(IsDlgButtonChecked(h, dlg_error_continue_base::k_dont_show), BST_CHECKED);
        ui_automation::click(h, dlg_error_continue_base::k_dont_show);
        ui_automation::click(h, dlg_error_continue_base::k_dont_show);
        ui_automation::click(h, dlg_error_continue_base::k_abort);
    });
    EXPECT_EQ(dlg.DoModal(), dlg_error_continue_base::k_abort);
    EXPECT_TRUE(dlg.dont_show_again());

    dlg_error_continue<115> again(L"text");
    ui_automation::queue_modal([](HWND h) { SendMessageW(h, WM_CLOSE); }); // the close box and Escape: Continue
    EXPECT_EQ(again.DoModal(), dlg_error_continue_base::k_continue);
    EXPECT_FALSE(again.dont_show_again());
}

TEST_F(error_dialog_test, internal_error_dialog_copies_the_text_and_names_the_wizard_in_its_caption)
{
    wizard_shell shell(L"Dremlow 5.5", 0, 0, 0);
    ui_property_page page(114); // any template: the shell only needs a page to be on screen
    shell.AddPage(page.Create());
    ASSERT_NE(shell.Create(), nullptr);
    shell.first_show();
    dlg_error_ex<114> dlg(L"Internal error: \ncode=41");
    ui_automation::queue_modal([](HWND h) {
        EXPECT_EQ(CWindow(h).GetWindowText(), L"Dremlow 5.5 Error");
        ui_automation::click(h, dlg_error_ex_base::k_copy);
    });
    EXPECT_EQ(dlg.DoModal(), dlg_error_ex_base::k_copy);
    EXPECT_EQ(QGuiApplication::clipboard()->text().toStdWString(), L"Internal error: \ncode=41");
    shell.DestroyWindow();
}
