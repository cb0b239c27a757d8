// The SQL Server connection page against a server reached over the network:
// the embedded server's TDS endpoint on 127.0.0.1, through the ODBC backend.
// A conversion that way must give what the same conversion from file: gives.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "TK/tk_text.h"
#include "tarvex/wizard/finish_page.h"
#include "tarvex/wizard/mssql_settings_page.h"
#include "tarvex/wizard/oracle_settings_page.h"
#include "tarvex/wizard/progress_page.h"
#include "tarvex/wizard/sel_file_page.h"
#include "tarvex/wizard/tvx_sel_tables_page.h"
#include "tests/platform/mssx/tds/tds_test_endpoint.h"
#include "tests/tarvex/wizard/wizard_env.h"

namespace {

class remote_mssql : public ui_test {};

// The password conversion_env gives sa.
const char* const k_sa_password = "sa";

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

// One walk from the SQL Server page to the finish page, converting Gadgets of
// the database gadgets with SQL Server authentication.
void convert_gadgets(wizard_env& env, const std::string& host)
{
    env.new_driver();
    env.new_shell();
    mssql_settings_page mss;
    oracle_settings_page ora;
    sel_file_page db;
    tvx_sel_tables_page tables;
    progress_page progress;
    finish_page finish(L"success", L"errors");
    env.show({&mss, &ora, &db, &tables, &progress, &finish});
    ASSERT_EQ(env.active_page(), mss.m_hWnd);

    ui_automation::set_text(mss, 1014, w(host));
    ui_automation::click(mss, 1330);
    ui_automation::set_text(mss, 1012, L"sa");
    ui_automation::set_text(mss, 1013, w(k_sa_password));
    ui_automation::queue_modal([](HWND) {});
    env.press(PSBTN_NEXT);
    ASSERT_EQ(env.active_page(), ora.m_hWnd)
        << host << ": " << (env.boxes().empty() ? "" : to_utf8(env.boxes().back()));

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
    EXPECT_EQ(item_text(finish, 1314), L"success") << host << "\n" << to_utf8(item_text(progress, 1016));
    env.press(PSBTN_FINISH);
    EXPECT_FALSE(IsWindow(env.shell().m_hWnd));
}

// The converted table read back through a fresh Oracle session: its columns
// (name and type) and its rows, each value with its kind, in a fixed order.
struct converted_table {
    std::vector<std::string> columns;
    std::vector<std::string> rows;
};

converted_table read_back(conversion_env& servers, const std::string& table)
{
    converted_table out;
    ora_rows r = servers.oracle_query("SELECT * FROM " + table);
    for (const auto& c : r.columns) out.columns.push_back(c.name + " " + std::to_string(static_cast<int>(c.type.k)));
    for (const auto& row : r.rows) {
        std::string text;
        for (const auto& v : row) text += std::to_string(static_cast<int>(v.kind)) + ":" + v.s + " | ";
        out.rows.push_back(text);
    }
    std::sort(out.rows.begin(), out.rows.end());
    return out;
}

TEST_F(remote_mssql, a_conversion_through_the_endpoint_equals_the_one_from_file)
{
    const char* root = std::getenv("TVX_TEST_DATA");
    wizard_env env(true);
    env.servers.create_database("gadgets");
    env.servers.load_file("gadgets", std::string(root ? root : "tests/data") + "/tarvex/gadgets.sql");
    env.servers.create_user("scott", "tiger");
    tds_test_endpoint endpoint(tds_test_endpoint::existing_folder{env.servers.mss_dir()});
    endpoint.start();
    const std::string host = "127.0.0.1," + std::to_string(endpoint.port);

    convert_gadgets(env, host);
    if (HasFatalFailure()) return;
    const converted_table remote = read_back(env.servers, "\"dbo\".\"Gadgets\"");
    // Same conversion again from the folder itself, into an empty schema.
    env.servers.oracle_exec("DROP TABLE \"dbo\".\"Gadgets\"");
    convert_gadgets(env, env.file_url(env.servers.mss_dir()));
    if (HasFatalFailure()) return;
    const converted_table local = read_back(env.servers, "\"dbo\".\"Gadgets\"");

    ASSERT_FALSE(local.rows.empty());
    EXPECT_EQ(remote.columns, local.columns);
    ASSERT_EQ(remote.rows.size(), local.rows.size());
    for (size_t k = 0; k < local.rows.size(); ++k) EXPECT_EQ(remote.rows[k], local.rows[k]) << "row " << k;
    // And both equal the source, value by value.
    expect_same_rows(env.servers, "gadgets", "SELECT * FROM [dbo].[Gadgets]", "\"dbo\".\"Gadgets\"");
    EXPECT_EQ(endpoint.stop(), 0);
}

TEST_F(remote_mssql, a_wrong_password_through_the_endpoint_shows_the_login_error)
{
    wizard_env env(true);
    tds_test_endpoint endpoint(tds_test_endpoint::existing_folder{env.servers.mss_dir()});
    endpoint.start();
    {
        mssql_settings_page page;
        oracle_settings_page next;
        env.show({&page, &next});
        HWND h = page.m_hWnd;
        ui_automation::set_text(h, 1014, w("127.0.0.1," + std::to_string(endpoint.port)));
        ui_automation::click(h, 1330);
        ui_automation::set_text(h, 1012, L"sa");
        ui_automation::set_text(h, 1013, L"not the password");
        ui_automation::queue_modal([](HWND) {});
        env.press(PSBTN_NEXT);
        EXPECT_EQ(env.active_page(), h) << "a refused login keeps the page";
        EXPECT_FALSE(page.is_connected());
        // Login failed (18456) shows the page's text for a refused login, as
        // the same password given to the folder itself does.
        const std::wstring refused = L"Invalid user name or password.";
        EXPECT_EQ(env.boxes(), std::vector<std::wstring>{refused});
        ui_automation::set_text(h, 1014, w(env.file_url(env.servers.mss_dir())));
        ui_automation::queue_modal([](HWND) {});
        env.press(PSBTN_NEXT);
        EXPECT_EQ(env.active_page(), h);
        EXPECT_EQ(env.boxes(), (std::vector<std::wstring>{refused, refused}));

        // The right password through the endpoint goes on.
        ui_automation::set_text(h, 1014, w("127.0.0.1," + std::to_string(endpoint.port)));
        ui_automation::set_text(h, 1013, w(k_sa_password));
        ui_automation::queue_modal([](HWND) {});
        env.press(PSBTN_NEXT);
        EXPECT_EQ(env.active_page(), next.m_hWnd);
        EXPECT_TRUE(page.is_connected());
        EXPECT_EQ(env.boxes().size(), 2u);
        env.shell().DestroyWindow();
    }
    EXPECT_EQ(endpoint.stop(), 0);
}

} // namespace
