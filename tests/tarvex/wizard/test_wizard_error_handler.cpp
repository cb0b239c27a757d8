#include <string>
#include <vector>

#include "GUI2/dlg_error_continue.h"
#include "GUI2/wizard_shell.h"
#include "TK/tk_exception.h"
#include "tarvex/wizard/wizard_error_handler.h"
#include "tests/platform/ui/ui_test_support.h"

namespace {

const ui_dialog_resource g_page(9301, {L"", 100, 50, {ui_rc::ltext(L"page", 1000, 5, 5, 50, 10)}});

struct process_ended {
    int code;
};

class wizard_error_handler_test : public ui_test {
protected:
    void SetUp() override
    {
        ui_test::SetUp();
        wizard_error_handler::set_exit_function([](int code) { throw process_ended{code}; });
    }
    void TearDown() override
    {
        wizard_error_handler::set_exit_function(nullptr);
        ui_test::TearDown();
    }
    // The wizard on screen, so that errors are collected for the finish page.
    void show_wizard()
    {
        shell_.AddPage(page_.Create());
        ASSERT_NE(shell_.Create(), nullptr);
        shell_.first_show();
        ASSERT_TRUE(wizard_shell::is_initialized());
    }

    wizard_shell shell_{L"Dremlow 5.5", 0, 0, 0};
    ui_property_page page_{9301};
    wizard_error_handler handler_;
};

tk_exception error_of(const std::string& text, int level, uint32_t code = 0)
{
    tk_exception e(text, level);
    e.code = code;
    return e;
}

} // namespace

TEST_F(wizard_error_handler_test, a_stopping_error_is_shown_collected_and_stops_the_caller)
{
    show_wizard();
    handler_.set_table_context(L"[dbo].[Orders]");
    EXPECT_THROW(handler_.handle(error_of("Value too\nlarge", TK_LEVEL_STOP), false), tk_final_exception);
    const auto boxes = ui_automation::message_boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, L"[dbo].[Orders]: Value too large") << "one line";
    EXPECT_EQ(boxes[0].caption, L"Dremlow 5.5 Error");
    EXPECT_EQ(wizard_shell::get_errors(), (std::vector<std::string>{"[dbo].[Orders]: Value too large"}));

    handler_.clear_context();
    EXPECT_NO_THROW(handler_.handle(error_of("alone", TK_LEVEL_STOP), true));
    EXPECT_EQ(ui_automation::message_boxes().back().text, L"alone") << "no context: no \": \"";
    shell_.DestroyWindow();
}

TEST_F(wizard_error_handler_test, a_mapped_code_shows_its_text_and_the_list_stops_at_twenty)
{
    show_wizard();
    // ORA-12541 is in the Oracle table; its text replaces the exception's own.
    handler_.set_quiet(true);
    for (int i = 0; i < 21; ++i)
        handler_.handle(error_of("raw " + std::to_string(i), TK_LEVEL_CONTINUE, 0x100000 | 12541), true);
    const auto errors = wizard_shell::get_errors();
    ASSERT_EQ(errors.size(), 20u);
    EXPECT_NE(errors[0].find("12541"), std::string::npos) << errors[0];
    EXPECT_EQ(errors[0].find("raw"), std::string::npos);
    EXPECT_TRUE(ui_automation::message_boxes().empty()) << "quiet: nothing shown";
    shell_.DestroyWindow();
}

TEST_F(wizard_error_handler_test, continue_abort_and_do_not_show_again)
{
    // Abort while the caller may not continue: the run stops, the check box is not kept.
    ui_automation::queue_modal([](HWND h) {
        ui_automation::click(h, dlg_error_continue_base::k_dont_show);
        ui_automation::click(h, dlg_error_continue_base::k_abort);
    });
    EXPECT_THROW(handler_.handle(error_of("row failed", TK_LEVEL_CONTINUE), false), tk_final_exception);
    EXPECT_FALSE(handler_.is_quiet());

    // Abort while it may continue goes on like Continue, and the choice is kept.
    ui_automation::queue_modal([](HWND h) {
        EXPECT_EQ(CWindow(h).GetDlgItemText(dlg_error_continue_base::k_text), L"row failed");
        ui_automation::click(h, dlg_error_continue_base::k_dont_show);
        ui_automation::click(h, dlg_error_continue_base::k_abort);
    });
    EXPECT_NO_THROW(handler_.handle(error_of("row failed", TK_LEVEL_CONTINUE), true));
    EXPECT_TRUE(handler_.is_quiet());

    // From now on: no dialog, no box; a stopping error still stops.
    EXPECT_NO_THROW(handler_.handle(error_of("again", TK_LEVEL_CONTINUE), false));
    EXPECT_THROW(handler_.handle(error_of("stop", TK_LEVEL_STOP), false), tk_final_exception);
    EXPECT_TRUE(ui_automation::message_boxes().empty());
    EXPECT_EQ(ui_automation::pending_modals(), 0);
}

TEST_F(wizard_error_handler_test, an_internal_error_shows_its_dialog_then_ends_the_process)
{
    ui_automation::queue_modal([](HWND h) {
        EXPECT_EQ(CWindow(h).GetWindowText(), L"Error");
        ui_automation::click(h, IDOK);
    });
    try {
        handler_.handle(tk_mail_assertion("g_wiz_sh", 260), true);
        FAIL() << "the process goes on";
    } catch (const process_ended& e) {
        EXPECT_EQ(e.code, -1);
    }
    EXPECT_EQ(ui_automation::pending_modals(), 0) << "the dialog was shown";
}
