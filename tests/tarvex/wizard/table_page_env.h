// A wizard sheet holding the table page (and a stand-in progress page) over a
// driver connected to both embedded servers, with a small shop database.
#pragma once
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "../conversion_env.h"
#include "GUI2/wizard_page.h"
#include "GUI2/wizard_shell.h"
#include "platform/ui/ui.h"
#include "platform/ui/ui_automation.h"
#include "tarvex/mapping_type_files.h"
#include "tarvex/wizard/tvx_sel_tables_page.h"

class table_page_env : public ::testing::Test {
protected:
    const std::string db = "shop";

    void SetUp() override
    {
        env.create_database(db);
        env.run_script(db, R"(CREATE TABLE [dbo].[Customers] (
    Id int NOT NULL PRIMARY KEY, Name nvarchar(40) NULL, Big bigint NULL, Note nvarchar(100) NULL DEFAULT ('none'),
    Vip bit NULL, Paid money NULL)
GO
INSERT INTO [dbo].[Customers] VALUES (1, N'Ann', 9007199254740993, N'first', 1, 922337203685477.5807)
INSERT INTO [dbo].[Customers] VALUES (2, N'Bob', 3, NULL, 0, -12.3456)
INSERT INTO [dbo].[Customers] VALUES (3, N'Cid', -9223372036854775807, N'third', NULL, NULL)
GO
CREATE TABLE [dbo].[Items] (Id int NOT NULL PRIMARY KEY, Name nvarchar(30) NOT NULL, Price decimal(10,2) NULL,
    Added datetime NULL)
GO
INSERT INTO [dbo].[Items] VALUES (1, N'Pen', 2.50, '2020-01-02 03:04:05')
INSERT INTO [dbo].[Items] VALUES (2, N'Desk', 120.00, NULL)
INSERT INTO [dbo].[Items] VALUES (3, N'Ink', 7.25, '1999-12-31 23:59:59')
GO
CREATE TABLE [dbo].[Orders] (Id int NOT NULL, Item int NOT NULL, Qty smallint NULL)
GO
INSERT INTO [dbo].[Orders] VALUES (10, 1, 5)
INSERT INTO [dbo].[Orders] VALUES (11, 3, NULL)
GO
)");
        env.create_user("scott", "tiger");
        ASSERT_EQ(module.Init(nullptr), S_OK);
        // The progress page is not part of this test: an empty stand-in, for
        // this test only (the program's own template is put back afterwards).
        saved_progress_template = ui_find_dialog(107);
        ui_register_dialog(107, {L"", 317, 143, {}});
        ui_automation::begin();
        const char* data = std::getenv("TVX_TEST_DATA");
        mapping_type_files::set_folder(std::string(data ? data : "tests/data") + "/../../common");
        driver = std::make_unique<tarvex_convertor>(tarvex_convertor::settings_source::agent_defaults);
        driver->set_front_end(&front);
        env.configure(*driver, db, "scott", "tiger");
    }

    void TearDown() override
    {
        close();
        driver.reset();
        mapping_type_files::set_folder("");
        if (saved_progress_template) ui_register_dialog(107, *saved_progress_template);
        for (auto& e : ui_automation::take_uncaught()) {
            try {
                std::rethrow_exception(e);
            } catch (const std::exception& x) {
                ADD_FAILURE() << "exception in a window handler: " << x.what();
            }
        }
        EXPECT_EQ(ui_automation::pending_modals(), 0);
        ui_automation::end();
        module.Term();
    }

    // A sheet whose first page is the table page, as the wizard shows it.
    void open()
    {
        shell = std::make_unique<wizard_shell>(L"Dremlow 5.5", 0, 0, 0);
        page = std::make_unique<tvx_sel_tables_page>();
        progress = std::make_unique<wizard_page<107, 3, 0x20>>();
        shell->AddPage(page->Create());
        shell->AddPage(progress->Create());
        ASSERT_NE(shell->Create(), nullptr);
        ui_automation::pump(20);
        ASSERT_TRUE(page->IsWindow());
    }
    void close()
    {
        if (shell && shell->IsWindow()) shell->DestroyWindow();
        progress.reset();
        page.reset();
        shell.reset();
    }
    void reopen()
    {
        close();
        open();
    }

    // Next as the user presses it: 107 when the sheet went to the progress
    // page, -1 when it stayed on the table page.
    int next()
    {
        shell->PressButton(PSBTN_NEXT);
        const HWND active = shell->GetActivePage();
        if (progress->IsWindow() && active == progress->m_hWnd) return 107;
        return active == page->m_hWnd ? -1 : 0;
    }

    // A run on this thread, as the progress page starts it.
    void convert() { (*driver)(); }

    std::vector<std::wstring> box_texts()
    {
        std::vector<std::wstring> out;
        for (const auto& b : ui_automation::message_boxes()) out.push_back(b.text);
        return out;
    }
    void queue_answer(int answer) { ui_automation::queue_message_box_answer(answer); }

    static std::wstring GetWindowTextW_(HWND w) { return CWindow(w).GetWindowText(); }
    static std::wstring GetDlgItemText_(HWND w, int id) { return CWindow(w).GetDlgItemText(id); }

    conversion_env env;
    recording_handler handler;
    recording_front_end front;
    ui_module module;
    std::unique_ptr<tarvex_convertor> driver;
    std::unique_ptr<wizard_shell> shell;
    std::unique_ptr<tvx_sel_tables_page> page;
    std::unique_ptr<wizard_page<107, 3, 0x20>> progress;
    std::shared_ptr<const ui_dialog_template> saved_progress_template;
};
