// A user's whole walk through the wizard, page by page, against the embedded
// servers: what arrives in Oracle, in the registry and in a saved profile.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "TK/tk_text.h"
#include "tarvex/wizard/finish_page.h"
#include "tarvex/wizard/mssql_settings_page.h"
#include "tarvex/wizard/oracle_settings_page.h"
#include "tarvex/wizard/progress_page.h"
#include "tarvex/wizard/sel_file_page.h"
#include "tarvex/wizard/tvx_sel_tables_page.h"
#include "tarvex/wizard/welcome_page.h"
#include "tests/tarvex/wizard/wizard_env.h"

namespace fs = std::filesystem;

namespace {

class wizard_walk : public ui_test {};

std::vector<std::wstring> list_items(HWND dialog, int id)
{
    std::vector<std::wstring> out;
    const LRESULT n = SendDlgItemMessageW(dialog, id, LB_GETCOUNT);
    for (LRESULT k = 0; k < n; ++k) {
        std::wstring text(static_cast<size_t>(SendDlgItemMessageW(dialog, id, LB_GETTEXTLEN, k)), L'\0');
        SendDlgItemMessageW(dialog, id, LB_GETTEXT, k, reinterpret_cast<LPARAM>(text.data()));
        out.push_back(text.c_str());
    }
    return out;
}

int index_ending_with(const std::vector<std::wstring>& items, const std::wstring& tail)
{
    for (size_t k = 0; k < items.size(); ++k)
        if (items[k].size() >= tail.size() && items[k].compare(items[k].size() - tail.size(), tail.size(), tail) == 0)
            return static_cast<int>(k);
    return -1;
}

void set_check(HWND dialog, int id, bool want)
{
    if (is_checked(dialog, id) != want) ui_automation::click(dialog, id);
}

TEST_F(wizard_walk, every_page_in_turn_converts_the_chosen_table_and_keeps_the_settings)
{
    const char* root = std::getenv("TVX_TEST_DATA");
    wizard_env env(true);
    env.servers.create_database("gadgets");
    env.servers.load_file("gadgets", std::string(root ? root : "tests/data") + "/tarvex/gadgets.sql");
    env.servers.create_user("scott", "tiger");
    const std::string profile = env.servers.dir() + "/walk.tvx";
    {
        welcome_page welcome;
        welcome.set_profile_ext(L"tvx");
        mssql_settings_page mss;
        oracle_settings_page ora;
        sel_file_page db;
        tvx_sel_tables_page tables;
        progress_page progress;
        finish_page finish(L"success", L"errors");
        finish.set_profile_ext(L"tvx");
        env.show({&welcome, &mss, &ora, &db, &tables, &progress, &finish});
        ASSERT_EQ(env.active_page(), welcome.m_hWnd);

        env.press(PSBTN_NEXT);
        ASSERT_EQ(env.active_page(), mss.m_hWnd);
        ui_automation::set_text(mss, 1014, w(env.file_url(env.servers.mss_dir())));
        ui_automation::click(mss, 1329);
        ui_automation::queue_modal([](HWND) {});
        env.press(PSBTN_NEXT);
        ASSERT_EQ(env.active_page(), ora.m_hWnd);

        ui_automation::set_text(ora, 1003, w(env.file_url(env.servers.ora_dir())));
        ui_automation::set_text(ora, 1014, L"ORCL");
        ui_automation::set_text(ora, 1012, L"scott");
        ui_automation::set_text(ora, 1013, L"tiger");
        ui_automation::queue_modal([](HWND) {});
        env.press(PSBTN_NEXT);
        ASSERT_EQ(env.active_page(), db.m_hWnd);

        ui_automation::drop_down(db, 1302);
        ui_automation::set_text(db, 1302, L"gadgets");
        set_check(db, 1203, false);     // every owner's tables
        set_check(db, 1202, false);     // names as they are
        ui_automation::click(db, 1330); // merge
        env.press(PSBTN_NEXT);
        ASSERT_EQ(env.active_page(), tables.m_hWnd);

        const int gadgets = index_ending_with(list_items(tables, 1317), L"[Gadgets]");
        ASSERT_GE(gadgets, 0);
        ui_automation::select_item(tables, 1317, gadgets);
        ui_automation::click(tables, 1101);
        ASSERT_EQ(list_items(tables, 1318).size(), 1u);
        env.press(PSBTN_NEXT);
        ASSERT_TRUE(env.pump_until([&] { return finish.m_hWnd && env.active_page() == finish.m_hWnd; }, 120000));

        EXPECT_EQ(item_text(finish, 1314), L"success");
        EXPECT_NE(item_text(progress, 1016).find(L"Converting database 'gadgets' (1 table)"), std::wstring::npos)
            << to_utf8(item_text(progress, 1016));
        ui_automation::queue_file_dialog_answer(w(profile));
        ui_automation::click(finish, 1116);
        env.press(PSBTN_FINISH);
        EXPECT_FALSE(IsWindow(env.shell().m_hWnd));
    }
    expect_same_rows(env.servers, "gadgets", "SELECT * FROM [dbo].[Gadgets]", "\"dbo\".\"Gadgets\"");
    EXPECT_EQ(env.servers.oracle_tables("dbo"), std::set<std::string>{"Gadgets"});

    env.drop_driver();
    const std::string reg = env.registry_text();
    for (const std::string& value :
         {std::string("\"src\"=\"gadgets\""), std::string("\"dest\"=\"ORCL\""), std::string("\"oracleu\"=\"scott\""),
          std::string("\"mode\"=dword:00000001"), std::string("\"uppercase\"=dword:00000000"),
          std::string("\"view_owned\"=dword:00000000")})
        EXPECT_NE(reg.find(value), std::string::npos) << value << " in\n" << reg;

    ASSERT_TRUE(fs::exists(profile));
    std::ifstream in(profile);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_NE(text.str().find("Gadgets"), std::string::npos) << text.str();
    EXPECT_NE(text.str().find("gadgets"), std::string::npos) << text.str();
}

} // namespace
