#include <QApplication>
#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QStyle>

#include <set>
#include <vector>

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

namespace {

// The picture of the dialog's icon control, as drawn.
QImage icon_of(HWND dialog)
{
    for (HWND c : ui_automation::controls(dialog))
        if (auto* label = qobject_cast<QLabel*>(ui_automation::widget(c)); label && !label->pixmap().isNull())
            return label->pixmap().toImage().convertToFormat(QImage::Format_ARGB32);
    return QImage();
}

} // namespace

TEST_F(error_dialog_test, both_error_dialogs_show_the_themes_error_icon)
{
    const QImage expected = QApplication::style()
                                ->standardIcon(QStyle::SP_MessageBoxCritical)
                                .pixmap(QApplication::style()->pixelMetric(QStyle::PM_MessageBoxIconSize))
                                .toImage()
                                .convertToFormat(QImage::Format_ARGB32);
    ASSERT_FALSE(expected.isNull());
    std::vector<QImage> shown;
    auto look = [&](HWND h) {
        shown.push_back(icon_of(h));
        SendMessageW(h, WM_CLOSE);
    };
    ui_automation::queue_modal(look);
    dlg_error_continue<115>(L"text").DoModal();
    ui_automation::queue_modal([&](HWND h) {
        shown.push_back(icon_of(h));
        ui_automation::click(h, IDOK);
    });
    dlg_error_ex<114>(L"text").DoModal();
    ASSERT_EQ(shown.size(), 2u);
    for (const QImage& img : shown) {
        ASSERT_FALSE(img.isNull());
        EXPECT_EQ(img.size(), expected.size());
        EXPECT_TRUE(img == expected) << "not the theme's icon";
        std::set<QRgb> colours;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x) colours.insert(img.pixel(x, y));
        EXPECT_GT(colours.size(), 2u) << "a flat square, not an icon";
    }
}
