#include <string>
#include <vector>

#include "tests/platform/ui/ui_test_support.h"

namespace {

const ui_dialog_resource g_p1(9101, {L"", 100, 60, {ui_rc::ltext(L"one", 1000, 5, 5, 50, 10)}});
const ui_dialog_resource g_p2(9102, {L"", 100, 60, {ui_rc::ltext(L"two", 1000, 5, 5, 50, 10)}});
const ui_dialog_resource g_p3(9103, {L"", 100, 60, {ui_rc::ltext(L"three", 1000, 5, 5, 50, 10)}});

std::vector<std::wstring> g_trace;

// A page that answers the notifications as it is told and records them.
class scripted_page : public ui_property_page {
public:
    scripted_page(int id, std::wstring name) : ui_property_page(id), name_(std::move(name)) {}
    bool ProcessWindowMessage(HWND, UINT msg, WPARAM, LPARAM l, LRESULT& result) override
    {
        if (msg != WM_NOTIFY) return false;
        const auto* hdr = reinterpret_cast<const NMHDR*>(l);
        result = 0;
        switch (hdr->code) {
        case PSN_SETACTIVE:
            g_trace.push_back(name_ + L":active");
            result = set_active;
            break;
        case PSN_KILLACTIVE:
            g_trace.push_back(name_ + L":kill");
            result = kill_active;
            break;
        case PSN_WIZNEXT:
            g_trace.push_back(name_ + L":next");
            result = next;
            break;
        case PSN_WIZBACK:
            g_trace.push_back(name_ + L":back");
            break;
        case PSN_WIZFINISH:
            g_trace.push_back(name_ + L":finish");
            result = finish;
            break;
        case PSN_QUERYCANCEL:
            g_trace.push_back(name_ + L":cancel?");
            result = query_cancel;
            break;
        case PSN_HELP:
            g_trace.push_back(name_ + L":help");
            break;
        default:
            break;
        }
        return true;
    }
    LRESULT set_active = 0, kill_active = 0, next = 0, finish = 0, query_cancel = 0;

private:
    std::wstring name_;
};

class ui_sheet_test : public ui_test {
protected:
    void SetUp() override
    {
        ui_test::SetUp();
        g_trace.clear();
    }
};

HWND current(HWND sheet) { return reinterpret_cast<HWND>(SendMessageW(sheet, PSM_GETCURRENTPAGEHWND)); }

} // namespace

TEST_F(ui_sheet_test, next_back_and_finish_follow_the_pages_answers)
{
    scripted_page p1(9101, L"p1"), p2(9102, L"p2"), p3(9103, L"p3");
    ui_property_sheet sheet(L"Wizard");
    for (ui_property_page* p : {static_cast<ui_property_page*>(&p1), static_cast<ui_property_page*>(&p2),
                                static_cast<ui_property_page*>(&p3)})
        sheet.AddPage(p->Create());
    p2.set_active = -1; // skipped in the direction of travel
    p3.finish = 1;      // refuses once
    ui_automation::queue_modal([&](HWND h) {
        EXPECT_EQ(current(h), p1.m_hWnd);
        SendMessageW(h, PSM_SETWIZBUTTONS, 0, PSWIZB_NEXT);
        sheet.PressButton(PSBTN_NEXT);
        EXPECT_EQ(current(h), p3.m_hWnd);
        EXPECT_TRUE(IsWindow(p2.m_hWnd)) << "a skipped page still got its window";
        SendMessageW(h, PSM_SETWIZBUTTONS, 0, PSWIZB_BACK | PSWIZB_FINISH);
        EXPECT_FALSE(IsWindowVisible(GetDlgItem(h, ID_WIZNEXT)));
        EXPECT_TRUE(IsWindowVisible(GetDlgItem(h, ID_WIZFINISH)));
        sheet.PressButton(PSBTN_BACK);
        EXPECT_EQ(current(h), p1.m_hWnd) << "Back skips the refusing page too";
        SendMessageW(h, PSM_SETCURSELID, 0, 9103);
        sheet.PressButton(PSBTN_FINISH);
        EXPECT_TRUE(IsWindow(h)) << "the page refused Finish";
        p3.finish = 0;
        sheet.PressButton(PSBTN_FINISH);
    });
    EXPECT_EQ(sheet.DoModal(), 1);
    EXPECT_EQ(g_trace, (std::vector<std::wstring>{L"p1:active", L"p1:kill", L"p1:next", L"p2:active", L"p3:active",
                                                  L"p3:kill", L"p3:back", L"p2:active", L"p1:active", L"p1:kill",
                                                  L"p3:active", L"p3:finish", L"p3:finish"}));
    EXPECT_EQ(p1.m_hWnd, nullptr) << "page windows end with the sheet";
}

TEST_F(ui_sheet_test, next_may_jump_to_a_page_by_id_or_stay)
{
    scripted_page p1(9101, L"p1"), p2(9102, L"p2"), p3(9103, L"p3");
    ui_property_sheet sheet(L"Wizard");
    sheet.AddPage(p1.Create());
    sheet.AddPage(p2.Create());
    ASSERT_NE(sheet.Create(), nullptr);
    sheet.AddPage(p3.Create()); // added to the existing window
    SendMessageW(sheet, PSM_SETWIZBUTTONS, 0, PSWIZB_NEXT | PSWIZB_BACK);
    p1.next = -1;
    sheet.PressButton(PSBTN_NEXT);
    EXPECT_EQ(current(sheet), p1.m_hWnd);
    p1.next = 9103;
    sheet.PressButton(PSBTN_NEXT);
    EXPECT_EQ(current(sheet), p3.m_hWnd);
    EXPECT_EQ(p2.m_hWnd, nullptr) << "the page jumped over never got a window";
    p3.kill_active = 1;
    sheet.PressButton(PSBTN_BACK);
    EXPECT_EQ(current(sheet), p3.m_hWnd) << "a page may refuse to be left";
    sheet.DestroyWindow();
}

TEST_F(ui_sheet_test, cancel_asks_the_page_and_disabled_buttons_do_nothing)
{
    scripted_page p1(9101, L"p1");
    ui_property_sheet sheet(L"Wizard");
    sheet.AddPage(p1.Create());
    HWND h = sheet.Create();
    ASSERT_NE(h, nullptr);
    SendMessageW(h, PSM_SETWIZBUTTONS, 0, 0);
    sheet.PressButton(PSBTN_NEXT);
    EXPECT_EQ(g_trace, (std::vector<std::wstring>{L"p1:active"}));
    p1.query_cancel = 1;
    sheet.PressButton(PSBTN_CANCEL);
    EXPECT_TRUE(IsWindow(h));
    ui_automation::key_help(h);
    EXPECT_EQ(g_trace.back(), L"p1:help");
    p1.query_cancel = 0;
    SendMessageW(h, WM_CLOSE); // the close box is Cancel
    EXPECT_FALSE(IsWindow(h));
    EXPECT_EQ(sheet.modeless_result(), 0);
}

TEST_F(ui_sheet_test, a_sheet_without_pages_cannot_run_and_unused_handles_are_freed)
{
    ui_property_sheet empty(L"Nothing");
    EXPECT_EQ(empty.DoModal(), -1);
    scripted_page p1(9101, L"p1");
    HPROPSHEETPAGE h = p1.Create();
    EXPECT_TRUE(DestroyPropertySheetPage(h));
    EXPECT_FALSE(DestroyPropertySheetPage(h)) << "a handle is freed once";
}
