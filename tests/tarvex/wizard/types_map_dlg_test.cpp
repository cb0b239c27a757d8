// The type-mapping dialog, driven offscreen: what the user edits must reach
// the driver's mutators, and a conversion must then write it into Oracle.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "common/types_map_dlg.h"
#include "table_page_env.h"

using ui_automation::click;
using ui_automation::queue_modal;
using ui_automation::set_list_view_check;
using ui_automation::set_text;

namespace {

using dialog = types_map_dlg<tarvex_convertor, 1024>;
namespace res = types_map_resource;

class mapping_dialog : public table_page_env {
protected:
    // Runs the dialog on a table; `act` works inside it.
    INT_PTR run(const std::wstring& table, std::function<void(HWND)> act)
    {
        queue_modal(std::move(act));
        dialog dlg(*driver, table);
        return dlg.run();
    }

    static int count(HWND dlg) { return static_cast<int>(SendDlgItemMessageW(dlg, res::IDC_LIST, LVM_GETITEMCOUNT)); }
    static std::wstring cell(HWND dlg, int row, int sub)
    {
        std::wstring buf(256, L'\0');
        LVITEMW item;
        item.iSubItem = sub;
        item.pszText = buf.data();
        item.cchTextMax = static_cast<int>(buf.size());
        SendDlgItemMessageW(dlg, res::IDC_LIST, LVM_GETITEMTEXTW, static_cast<WPARAM>(row),
                            reinterpret_cast<LPARAM>(&item));
        buf.resize(std::wcslen(buf.c_str()));
        return buf;
    }
    static bool checked(HWND dlg, int row)
    {
        const LRESULT state =
            SendDlgItemMessageW(dlg, res::IDC_LIST, LVM_GETITEMSTATE, static_cast<WPARAM>(row), LVIS_STATEIMAGEMASK);
        return (static_cast<UINT>(state) & LVIS_STATEIMAGEMASK) == INDEXTOSTATEIMAGEMASK(2);
    }
    static int selected(HWND dlg)
    {
        return static_cast<int>(
            SendDlgItemMessageW(dlg, res::IDC_LIST, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
    }
    // Selects a row as a click on it does.
    static void pick(HWND dlg, int row) { ui_automation::select_item(dlg, res::IDC_LIST, row); }
    static std::vector<std::wstring> types(HWND dlg)
    {
        std::vector<std::wstring> out;
        const LRESULT n = SendDlgItemMessageW(dlg, res::IDC_TYPE, CB_GETCOUNT);
        for (LRESULT i = 0; i < n; ++i) {
            std::wstring buf(static_cast<size_t>(SendDlgItemMessageW(dlg, res::IDC_TYPE, CB_GETLBTEXTLEN, i)) + 1,
                             L'\0');
            SendDlgItemMessageW(dlg, res::IDC_TYPE, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(buf.data()));
            buf.resize(std::wcslen(buf.c_str()));
            out.push_back(buf);
        }
        return out;
    }
    static void choose_type(HWND dlg, const std::wstring& type)
    {
        const auto list = types(dlg);
        auto it = std::find(list.begin(), list.end(), type);
        ASSERT_NE(it, list.end()) << "type not offered";
        ui_automation::select_item(dlg, res::IDC_TYPE, static_cast<int>(it - list.begin()));
    }
    static bool visible(HWND dlg, int id) { return IsWindowVisible(GetDlgItem(dlg, id)) != FALSE; }
};

} // namespace

TEST_F(mapping_dialog, shows_the_table_as_the_driver_would_create_it_and_stores_nothing_unchanged)
{
    std::vector<std::wstring> names, cells, defaults;
    std::wstring table, first_name, first_types;
    bool all_checked = true;
    ASSERT_EQ(run(L"[dbo].[Customers]",
                  [&](HWND dlg) {
                      table = GetDlgItemText_(dlg, res::IDC_TABLE);
                      for (int i = 0; i < count(dlg); ++i) {
                          names.push_back(cell(dlg, i, 1));
                          cells.push_back(cell(dlg, i, 2));
                          defaults.push_back(cell(dlg, i, 3));
                          all_checked = all_checked && checked(dlg, i);
                      }
                      EXPECT_EQ(selected(dlg), 0);
                      first_name = GetDlgItemText_(dlg, res::IDC_NAME);
                      // NUMBER takes precision and scale, not a length.
                      EXPECT_TRUE(visible(dlg, res::IDC_PREC));
                      EXPECT_TRUE(visible(dlg, res::IDC_SCALE));
                      EXPECT_FALSE(visible(dlg, res::IDC_LENGTH));
                      pick(dlg, 1);
                      EXPECT_EQ(GetDlgItemText_(dlg, res::IDC_LENGTH), L"40");
                      EXPECT_TRUE(visible(dlg, res::IDC_LENGTH));
                      EXPECT_FALSE(visible(dlg, res::IDC_PREC));
                      click(dlg, IDOK);
                  }),
              IDOK);
    EXPECT_EQ(table, L"[dbo].[Customers]");
    EXPECT_EQ(names, (std::vector<std::wstring>{L"Id", L"Name", L"Big", L"Note", L"Vip", L"Paid"}));
    EXPECT_EQ(cells[0], L"NUMBER(11,0)");
    EXPECT_EQ(cells[1], L"NVARCHAR2(40)");
    EXPECT_EQ(cells[2], L"NUMBER(19,0)");
    EXPECT_EQ(defaults[3], L"'none'");
    EXPECT_TRUE(all_checked);
    EXPECT_EQ(first_name, L"Id");
    EXPECT_TRUE(driver->by_source.empty()); // OK without a change stores nothing
}

TEST_F(mapping_dialog, edits_reach_the_mutators_and_the_converted_table)
{
    ASSERT_EQ(run(L"[dbo].[Customers]",
                  [&](HWND dlg) {
                      set_text(dlg, res::IDC_TABLE, L"Clients");
                      pick(dlg, 1); // Name: renamed and widened
                      set_text(dlg, res::IDC_NAME, L"FullName");
                      set_text(dlg, res::IDC_LENGTH, L"60");
                      pick(dlg, 2); // Big: renamed only, its values must stay exact
                      set_text(dlg, res::IDC_NAME, L"Amount");
                      pick(dlg, 4); // Vip and Paid: renamed only
                      set_text(dlg, res::IDC_NAME, L"IsVip");
                      pick(dlg, 5);
                      set_text(dlg, res::IDC_NAME, L"PaidSum");
                      pick(dlg, 0);
                      set_list_view_check(dlg, res::IDC_LIST, 3, false); // Note: dropped
                      click(dlg, IDOK);
                  }),
              IDOK);
    auto* tm = driver->get_table_mutator(L"[dbo].[Customers]");
    ASSERT_NE(tm, nullptr);
    EXPECT_EQ(tm->new_name, L"Clients");
    ASSERT_EQ(tm->by_source.size(), 5u);
    EXPECT_EQ(tm->get_field_mutator(L"Name")->new_name, L"FullName");
    EXPECT_EQ(tm->get_field_mutator(L"Name")->native_type.length, 60);
    EXPECT_EQ(tm->get_field_mutator(L"Name")->native_type.name, L"NVARCHAR2");
    EXPECT_EQ(tm->get_field_mutator(L"Big")->new_name, L"Amount");
    EXPECT_EQ(tm->get_field_mutator(L"Note")->status, 2);
    EXPECT_EQ(tm->get_field_mutator(L"Note")->new_name, L"Note"); // its own values, not the selected row's

    driver->selected_tables = {L"[dbo].[Customers]"};
    convert();
    EXPECT_EQ(env.oracle_tables("SCOTT"), std::set<std::string>{"Clients"});
    table_map map;
    map.renamed = {{"Name", "FullName"}, {"Big", "Amount"}, {"Vip", "IsVip"}, {"Paid", "PaidSum"}};
    map.dropped = {"Note"};
    expect_same_rows(env, db, "SELECT * FROM [dbo].[Customers]", "\"SCOTT\".\"Clients\"", map);
    EXPECT_EQ(env.oracle_list("SELECT \"Amount\" FROM \"SCOTT\".\"Clients\" WHERE \"Id\" = 1"),
              std::vector<std::string>{"9007199254740993"});
}

TEST_F(mapping_dialog, a_changed_type_is_converted_and_reopening_shows_the_stored_edits)
{
    ASSERT_EQ(run(L"[dbo].[Items]",
                  [&](HWND dlg) {
                      pick(dlg, 2); // Price decimal(10,2) -> text
                      EXPECT_EQ(GetDlgItemText_(dlg, res::IDC_PREC), L"10");
                      EXPECT_EQ(GetDlgItemText_(dlg, res::IDC_SCALE), L"2");
                      choose_type(dlg, L"NVARCHAR2");
                      EXPECT_TRUE(visible(dlg, res::IDC_LENGTH));
                      EXPECT_FALSE(visible(dlg, res::IDC_SCALE));
                      set_text(dlg, res::IDC_LENGTH, L"20");
                      pick(dlg, 3); // Added datetime -> TIMESTAMP
                      choose_type(dlg, L"TIMESTAMP");
                      click(dlg, IDOK);
                  }),
              IDOK);
    std::wstring type_shown, length_shown;
    ASSERT_EQ(run(L"[dbo].[Items]",
                  [&](HWND dlg) {
                      pick(dlg, 2);
                      const LRESULT i = SendDlgItemMessageW(dlg, res::IDC_TYPE, CB_GETCURSEL);
                      type_shown = types(dlg).at(static_cast<size_t>(i));
                      length_shown = GetDlgItemText_(dlg, res::IDC_LENGTH);
                      click(dlg, IDCANCEL);
                  }),
              IDCANCEL);
    EXPECT_EQ(type_shown, L"NVARCHAR2");
    EXPECT_EQ(length_shown, L"20");

    driver->selected_tables = {L"[dbo].[Items]"};
    convert();
    EXPECT_TRUE(handler.errors.empty()) << handler.errors.front().message;
    EXPECT_EQ(env.oracle_list("SELECT \"Price\" FROM \"dbo\".\"Items\" ORDER BY \"Id\""),
              (std::vector<std::string>{"2.50", "120.00", "7.25"}));
    EXPECT_EQ(env.oracle_list("SELECT \"Name\" FROM \"dbo\".\"Items\" ORDER BY \"Id\""),
              (std::vector<std::string>{"Pen", "Desk", "Ink"}));
    EXPECT_EQ(env.oracle_count("\"dbo\".\"Items\""), 3);
}

TEST_F(mapping_dialog, a_row_with_an_empty_name_cannot_be_left)
{
    int stayed = -1;
    ASSERT_EQ(run(L"[dbo].[Orders]",
                  [&](HWND dlg) {
                      set_text(dlg, res::IDC_NAME, L"");
                      pick(dlg, 1);
                      stayed = selected(dlg);
                      click(dlg, IDOK); // still empty: the dialog stays
                      set_text(dlg, res::IDC_NAME, L"OrderId");
                      click(dlg, IDOK);
                  }),
              IDOK);
    EXPECT_EQ(stayed, 0);
    EXPECT_EQ(box_texts(),
              (std::vector<std::wstring>{L"Name cannot be empty. Try again.", L"Name cannot be empty. Try again."}));
    EXPECT_EQ(driver->get_table_mutator(L"[dbo].[Orders]")->get_field_mutator(L"Id")->new_name, L"OrderId");
}

TEST_F(mapping_dialog, size_fields_follow_the_attributes_of_the_chosen_type)
{
    const auto dir = std::filesystem::temp_directory_path() / ("tvx_typ_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "ora.map") << "NUMBER:\n  - NUMBER\n  - FLOAT\n  - CHAR\nNVARCHAR2:\n  - NVARCHAR2\n";
    std::ofstream(dir / "ora.typ") << "NUMBER:\n  - precision\n  - Scale\nFLOAT:\n  - PRECISION\nCHAR:\n  - length\n";
    mapping_type_files::set_folder(dir.string());
    ASSERT_EQ(run(L"[dbo].[Orders]",
                  [&](HWND dlg) {
                      EXPECT_EQ(types(dlg), (std::vector<std::wstring>{L"NUMBER", L"FLOAT", L"CHAR"}));
                      EXPECT_TRUE(visible(dlg, res::IDC_PREC_LABEL));
                      choose_type(dlg, L"FLOAT"); // precision without scale: neither shows
                      EXPECT_FALSE(visible(dlg, res::IDC_PREC));
                      EXPECT_FALSE(visible(dlg, res::IDC_SCALE_LABEL));
                      EXPECT_FALSE(visible(dlg, res::IDC_LENGTH));
                      choose_type(dlg, L"CHAR");
                      EXPECT_TRUE(visible(dlg, res::IDC_LENGTH_LABEL));
                      EXPECT_FALSE(visible(dlg, res::IDC_PREC));
                      click(dlg, IDCANCEL);
                  }),
              IDCANCEL);
    EXPECT_TRUE(driver->by_source.empty());
    std::filesystem::remove_all(dir);
}

TEST_F(mapping_dialog, a_missing_type_map_is_reported_and_no_dialog_opens)
{
    mapping_type_files::set_folder(env.dir());
    open();
    click(*page, tvx_sel_tables_page::IDC_ADD);
    ui_automation::double_click_item(*page, tvx_sel_tables_page::IDC_SELECTED, 0);
    ASSERT_EQ(handler.errors.size(), 1u);
    EXPECT_EQ(handler.errors[0].level, 1);
    EXPECT_EQ(handler.errors[0].message, "Cannot find ora.map. Custom type mapping is not available.");
    EXPECT_TRUE(ui_automation::unexpected_modals().empty());
}

TEST_F(mapping_dialog, a_dropped_column_stays_dropped_on_reopening_and_through_a_profile)
{
    ASSERT_EQ(run(L"[dbo].[Customers]",
                  [&](HWND dlg) {
                      set_list_view_check(dlg, res::IDC_LIST, 3, false);
                      pick(dlg, 5);
                      set_text(dlg, res::IDC_NAME, L"PaidSum");
                      click(dlg, IDOK);
                  }),
              IDOK);
    std::vector<bool> boxes;
    ASSERT_EQ(run(L"[dbo].[Customers]",
                  [&](HWND dlg) {
                      for (int i = 0; i < count(dlg); ++i) boxes.push_back(checked(dlg, i));
                      click(dlg, IDCANCEL);
                  }),
              IDCANCEL);
    EXPECT_EQ(boxes, (std::vector<bool>{true, true, true, false, true, true}));

    // What the agent would load from the profile the wizard saves.
    udb_profile profile;
    ASSERT_TRUE(driver->ora_db_mutator::store_profile(profile));
    driver->clear();
    ASSERT_TRUE(driver->ora_db_mutator::load_profile(profile));
    auto* tm = driver->get_table_mutator(L"[dbo].[Customers]");
    ASSERT_NE(tm, nullptr);
    EXPECT_EQ(tm->get_field_mutator(L"Note")->status, 2);
    EXPECT_EQ(tm->get_field_mutator(L"Paid")->new_name, L"PaidSum");

    driver->selected_tables = {L"[dbo].[Customers]"};
    convert();
    EXPECT_EQ(env.oracle_list("SELECT \"Name\" FROM \"dbo\".\"Customers\" ORDER BY \"Id\""),
              (std::vector<std::string>{"Ann", "Bob", "Cid"}));
    EXPECT_EQ(env.oracle_list("SELECT \"PaidSum\" FROM \"dbo\".\"Customers\" WHERE \"Id\" = 2"),
              std::vector<std::string>{"-12.3456"});
    EXPECT_FALSE(env.oracle_query("SELECT * FROM \"dbo\".\"Customers\"").columns.empty());
    for (const auto& c : env.oracle_query("SELECT * FROM \"dbo\".\"Customers\"").columns) EXPECT_NE(c.name, "Note");
}

TEST_F(mapping_dialog, each_dialog_and_the_page_open_their_own_help_topic)
{
    open();
    click(*page, tvx_sel_tables_page::IDC_ADD);
    queue_modal([](HWND dlg) {
        click(dlg, IDHELP);
        click(dlg, IDCANCEL);
    });
    click(*page, tvx_sel_tables_page::IDC_ADD_QUERY);
    queue_modal([](HWND dlg) {
        click(dlg, IDHELP);
        click(dlg, IDCANCEL);
    });
    ui_automation::double_click_item(*page, tvx_sel_tables_page::IDC_SELECTED, 0);
    shell->PressButton(PSBTN_HELP);
    const auto calls = ui_automation::help_calls();
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_NE(calls[0].find(L"|15|1022"), std::wstring::npos);
    EXPECT_NE(calls[1].find(L"|15|1024"), std::wstring::npos);
    EXPECT_NE(calls[2].find(L"|15|1017"), std::wstring::npos);
}

TEST_F(mapping_dialog, the_list_shows_each_edit_once_the_row_is_left_and_again_on_reopening)
{
    std::vector<std::wstring> after_edit, reopened;
    auto row = [](HWND dlg, int r) {
        return std::vector<std::wstring>{cell(dlg, r, 1), cell(dlg, r, 2), cell(dlg, r, 3)};
    };
    ASSERT_EQ(run(L"[dbo].[Items]",
                  [&](HWND dlg) {
                      pick(dlg, 2); // Price decimal(10,2) -> NVARCHAR2(20) named Cost, default 'n/a'
                      set_text(dlg, res::IDC_NAME, L"Cost");
                      choose_type(dlg, L"NVARCHAR2");
                      set_text(dlg, res::IDC_LENGTH, L"20");
                      set_text(dlg, res::IDC_DEFAULT, L"'n/a'");
                      pick(dlg, 0);
                      after_edit = row(dlg, 2);
                      click(dlg, IDOK);
                  }),
              IDOK);
    EXPECT_EQ(after_edit, (std::vector<std::wstring>{L"Cost", L"NVARCHAR2(20)", L"'n/a'"}));
    ASSERT_EQ(run(L"[dbo].[Items]",
                  [&](HWND dlg) {
                      reopened = row(dlg, 2);
                      click(dlg, IDCANCEL);
                  }),
              IDCANCEL);
    EXPECT_EQ(reopened, after_edit);
}
