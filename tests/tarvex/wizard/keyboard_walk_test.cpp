// The whole wizard driven by the keyboard alone, as a user without a mouse
// drives it: Tab, Enter, the arrow keys, Alt with the labels' access keys and
// Escape, from the welcome page to Finish, with a table and a custom query
// converted; Back from the table page and Next again keep both.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <QWidget>

#include <cstdlib>
#include <functional>
#include <map>

#include "TK/tk_text.h"
#include "tarvex/mapping_type_files.h"
#include "tarvex/wizard/finish_page.h"
#include "tarvex/wizard/mssql_settings_page.h"
#include "tarvex/wizard/oracle_settings_page.h"
#include "tarvex/wizard/progress_page.h"
#include "tarvex/wizard/sel_file_page.h"
#include "tarvex/wizard/tvx_sel_tables_page.h"
#include "tarvex/wizard/welcome_page.h"
#include "tests/tarvex/wizard/wizard_env.h"

namespace {

class keyboard_walk : public ui_test {};

// The control whose widget holds the focus widget (a combo box's own edit field counts as the box).
int focus_owner(HWND window)
{
    QWidget* f = QApplication::focusWidget();
    if (!f) return 0;
    for (HWND c : ui_automation::controls(window)) {
        QWidget* w = ui_automation::widget(c);
        if (w && (w == f || w->isAncestorOf(f))) return GetDlgCtrlID(c);
    }
    const int id = GetDlgCtrlID(GetFocus());
    return id;
}

void key(Qt::Key k, Qt::KeyboardModifiers m = Qt::NoModifier)
{
    QWidget* w = QApplication::focusWidget();
    if (!w) w = QApplication::activeWindow();
    ASSERT_NE(w, nullptr) << "no window has the keyboard";
    QTest::keyClick(w, k, m);
}

void type(const char* text)
{
    QWidget* w = QApplication::focusWidget();
    ASSERT_NE(w, nullptr);
    QTest::keyClicks(w, QString::fromUtf8(text));
}

void alt(Qt::Key k) { key(k, Qt::AltModifier); }

// Waits until the window has the keyboard: a dialog just shown, or its owner
// once the dialog is gone (which hands the keyboard back by itself).
bool keyboard_in(HWND window, bool ask = true)
{
    QWidget* w = ui_automation::widget(window);
    if (!w) return false;
    if (ask) w->window()->activateWindow();
    return ui_pump_until([w] { return QApplication::activeWindow() == w->window(); }, 10000);
}

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

} // namespace

TEST_F(keyboard_walk, every_page_from_welcome_to_finish_with_the_keyboard_only)
{
    wizard_env env(true);
    const char* root = std::getenv("TVX_TEST_DATA");
    env.servers.create_database("gadgets");
    env.servers.load_file("gadgets", std::string(root ? root : "tests/data") + "/tarvex/gadgets.sql");
    env.servers.create_user("scott", "tiger");
    mapping_type_files::set_folder(std::string(root ? root : "tests/data") + "/../../common");
    struct folder_reset {
        ~folder_reset() { mapping_type_files::set_folder(""); }
    } reset_folder;

    // Modal loops are served by what the test expects of each dialog, by its template.
    std::map<int, std::function<void(HWND)>> on_dialog;
    on_dialog[101] = [](HWND h) { ui_pump_until([h] { return !IsWindowVisible(h); }, 60000); };
    auto expect_modal = [&on_dialog] {
        ui_automation::queue_modal([&on_dialog](HWND h) {
            const auto it = on_dialog.find(GetDlgCtrlID(h));
            if (it != on_dialog.end()) it->second(h);
        });
    };

    welcome_page welcome;
    welcome.set_profile_ext(L"tvx");
    mssql_settings_page mss;
    oracle_settings_page ora;
    sel_file_page db;
    tvx_sel_tables_page tables;
    tables.SetHeaderTitle(L"Step 4 of 5");
    tables.SetHeaderSubTitle(L"Select tables to convert");
    progress_page progress;
    finish_page finish(L"Wizard has migrated your MS SQL database to\nOracle server successfully.",
                       L"There were some errors while converting the database.");
    finish.set_profile_ext(L"tvx");
    env.show({&welcome, &mss, &ora, &db, &tables, &progress, &finish});
    const HWND sheet = env.shell().m_hWnd;
    ASSERT_TRUE(keyboard_in(sheet));
    // A page is ready for the keyboard once it is on screen with the buttons it posts.
    auto on_page = [&](wizard_page_base& page) {
        const DWORD buttons = page.wizard_buttons();
        return env.pump_until([&] { return env.active_page() == page.m_hWnd; }, 60000) &&
               env.pump_until(
                   [&] {
                       return QApplication::focusWidget() != nullptr &&
                              is_enabled(sheet, ID_WIZBACK) == ((buttons & PSWIZB_BACK) != 0) &&
                              (is_enabled(sheet, ID_WIZNEXT) || is_enabled(sheet, ID_WIZFINISH)) ==
                                  ((buttons & (PSWIZB_NEXT | PSWIZB_FINISH)) != 0);
                   },
                   10000);
    };

    // Welcome: the focus on its one field; Enter presses the default Next.
    ASSERT_TRUE(on_page(welcome));
    EXPECT_EQ(focus_owner(welcome), 1115);
    key(Qt::Key_Return);

    // SQL Server: the server field first; the access keys of labels and buttons.
    ASSERT_TRUE(on_page(mss));
    EXPECT_EQ(focus_owner(mss), 1014);
    type(("file:" + env.servers.mss_dir()).c_str());
    alt(Qt::Key_Q); // S&QL Server authentication
    EXPECT_TRUE(is_checked(mss, 1330));
    EXPECT_TRUE(is_enabled(mss, 1012));
    alt(Qt::Key_L); // &Login:
    EXPECT_EQ(focus_owner(mss), 1012);
    type("sa");
    alt(Qt::Key_W); // &Windows authentication
    EXPECT_TRUE(is_checked(mss, 1329));
    EXPECT_FALSE(is_enabled(mss, 1012));
    alt(Qt::Key_S); // MS &SQL Server:
    EXPECT_EQ(focus_owner(mss), 1014);
    // Tab: the page in order, the radio group once, then Back, Next, Cancel, Help.
    std::vector<int> order;
    for (int i = 0; i < 6; ++i) {
        key(Qt::Key_Tab);
        order.push_back(focus_owner(mss));
    }
    EXPECT_EQ(order, (std::vector<int>{1329, 1202, ID_WIZBACK, ID_WIZNEXT, IDCANCEL, IDHELP}));
    key(Qt::Key_Tab);
    EXPECT_EQ(focus_owner(mss), 1014) << "round again to the first field";
    key(Qt::Key_Backtab);
    EXPECT_EQ(focus_owner(mss), IDHELP);
    // The arrows move within the radio group and choose.
    alt(Qt::Key_W);
    key(Qt::Key_Down);
    EXPECT_TRUE(is_checked(mss, 1330));
    key(Qt::Key_Up);
    EXPECT_TRUE(is_checked(mss, 1329));
    expect_modal(); // the connection's wait animation
    key(Qt::Key_Return);

    // Oracle: Escape asks, and No keeps the wizard.
    ASSERT_TRUE(on_page(ora)) << "page " << GetDlgCtrlID(env.active_page()) << " focus "
                              << (QApplication::focusWidget() ? 1 : 0) << " back " << is_enabled(sheet, ID_WIZBACK)
                              << " boxes " << env.boxes().size()
                              << (env.boxes().empty() ? std::string() : to_ansi(env.boxes().back()));
    EXPECT_EQ(focus_owner(ora), 1003);
    key(Qt::Key_Escape);
    auto boxes = env.boxes();
    ASSERT_FALSE(boxes.empty());
    EXPECT_EQ(boxes.back(), L"Are you sure you want to exit the wizard?");
    EXPECT_EQ(env.active_page(), ora.m_hWnd);
    type(("file:" + env.servers.ora_dir()).c_str());
    alt(Qt::Key_D); // &Database name:
    type("ORCL");
    alt(Qt::Key_U); // &Username:
    type("scott");
    alt(Qt::Key_P); // &Password:
    EXPECT_EQ(focus_owner(ora), 1013);
    type("tiger");
    expect_modal();
    key(Qt::Key_Return);

    // Database and options.
    ASSERT_TRUE(on_page(db));
    EXPECT_EQ(focus_owner(db), 1302);
    type("gadgets");
    if (is_checked(db, 1203)) alt(Qt::Key_V); // &View tables owned by the user
    EXPECT_FALSE(is_checked(db, 1203));
    if (is_checked(db, 1202)) alt(Qt::Key_U); // Make names &uppercase
    EXPECT_FALSE(is_checked(db, 1202));
    alt(Qt::Key_E); // M&erge
    EXPECT_TRUE(is_checked(db, 1330));
    key(Qt::Key_Up);
    EXPECT_TRUE(is_checked(db, 1329)) << "overwrite";
    EXPECT_FALSE(is_checked(db, 1330));
    key(Qt::Key_Return);

    // Tables: a table added, a query typed and tested, the editors opened by Enter.
    ASSERT_TRUE(on_page(tables));
    EXPECT_EQ(focus_owner(tables), tvx_sel_tables_page::IDC_AVAILABLE);
    const auto available = list_items(tables, tvx_sel_tables_page::IDC_AVAILABLE);
    const auto gadgets = std::find(available.begin(), available.end(), L"[dbo].[Gadgets]");
    ASSERT_NE(gadgets, available.end());
    key(Qt::Key_Home);
    for (auto it = available.begin(); it != gadgets; ++it) key(Qt::Key_Down);
    key(Qt::Key_Return); // Enter on an available table adds it, as a double click does
    EXPECT_EQ(list_items(tables, tvx_sel_tables_page::IDC_SELECTED), std::vector<std::wstring>{L"[dbo].[Gadgets]"});

    bool query_seen = false;
    on_dialog[128] = [&](HWND dlg) {
        query_seen = true;
        ASSERT_TRUE(keyboard_in(dlg));
        EXPECT_EQ(focus_owner(dlg), 1019);
        type("Expensive");
        alt(Qt::Key_Q); // &Query:
        type("SELECT Name, Price FROM Gadgets");
        key(Qt::Key_Return); // a new line in a multi-line field, not OK
        type("WHERE Price > 100");
        EXPECT_TRUE(IsWindowVisible(dlg));
        EXPECT_EQ(item_text(dlg, 1020), L"SELECT Name, Price FROM Gadgets\r\nWHERE Price > 100");
        alt(Qt::Key_T);      // &Test Query
        alt(Qt::Key_S);      // &Store as Table:
        key(Qt::Key_Return); // OK, the default button
    };
    // Add Query shares its access key with a label: Tab reaches it.
    for (int i = 0; i < 12 && focus_owner(tables) != tvx_sel_tables_page::IDC_ADD_QUERY; ++i) key(Qt::Key_Tab);
    ASSERT_EQ(focus_owner(tables), tvx_sel_tables_page::IDC_ADD_QUERY);
    expect_modal();
    key(Qt::Key_Space);
    EXPECT_TRUE(query_seen);
    ASSERT_TRUE(keyboard_in(sheet, false));
    boxes = env.boxes();
    ASSERT_FALSE(boxes.empty());
    EXPECT_EQ(boxes.back(), L"The query is correct.");
    const std::vector<std::wstring> chosen{L"[dbo].[Gadgets]", L"Expensive"};
    EXPECT_EQ(list_items(tables, tvx_sel_tables_page::IDC_SELECTED), chosen);

    // Enter on a selected table opens its type mapping; Escape closes it.
    bool mapping_seen = false;
    on_dialog[135] = [&](HWND dlg) {
        mapping_seen = true;
        ASSERT_TRUE(keyboard_in(dlg));
        key(Qt::Key_Escape);
    };
    alt(Qt::Key_S); // &Selected tables:
    EXPECT_EQ(focus_owner(tables), tvx_sel_tables_page::IDC_SELECTED);
    key(Qt::Key_Home);
    expect_modal();
    key(Qt::Key_Return);
    EXPECT_TRUE(mapping_seen) << "cursel " << SendDlgItemMessageW(tables, 1318, LB_GETCURSEL) << " boxes "
                              << env.boxes().size() << " pending " << ui_automation::pending_modals();
    ASSERT_TRUE(keyboard_in(sheet, false));

    // Back and Next again: the selection and the query's text are kept.
    alt(Qt::Key_B);
    ASSERT_TRUE(on_page(db));
    key(Qt::Key_Return);
    ASSERT_TRUE(on_page(tables));
    EXPECT_EQ(list_items(tables, tvx_sel_tables_page::IDC_SELECTED), chosen);
    bool edit_seen = false;
    on_dialog[128] = [&](HWND dlg) {
        edit_seen = true;
        EXPECT_EQ(item_text(dlg, 1019), L"Expensive");
        EXPECT_EQ(item_text(dlg, 1020), L"SELECT Name, Price FROM Gadgets\r\nWHERE Price > 100");
        ASSERT_TRUE(keyboard_in(dlg));
        key(Qt::Key_Escape);
    };
    alt(Qt::Key_S);
    key(Qt::Key_End);
    expect_modal();
    key(Qt::Key_Return); // the query's own editor
    EXPECT_TRUE(edit_seen);
    ASSERT_TRUE(keyboard_in(sheet, false));

    // Next (by its access key: Enter in the list opens the editor) runs the conversion.
    alt(Qt::Key_N);
    ASSERT_TRUE(on_page(finish));
    ASSERT_TRUE(env.pump_until([&] { return is_enabled(sheet, ID_WIZFINISH); }));
    EXPECT_NE(item_text(finish, 1314).find(L"successfully"), std::wstring::npos) << item_text(finish, 1314);
    key(Qt::Key_Return); // Finish is the default on the last page
    EXPECT_TRUE(env.pump_until([&] { return !IsWindow(sheet); }, 10000)) << "Finish closed the wizard";
    expect_same_rows(env.servers, "gadgets", "SELECT * FROM [dbo].[Gadgets]", "\"dbo\".\"Gadgets\"");
    expect_same_rows(env.servers, "gadgets", "SELECT Name, Price FROM Gadgets WHERE Price > 100",
                     "\"SCOTT\".\"Expensive\"");
    ui_automation::end(); // handlers left for loops that ended before they ran
    ui_automation::begin();
}
