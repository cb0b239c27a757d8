// The table selection page: available and selected source tables in two
// sorted list boxes, moved between them one by one or all at once.
#pragma once
#include <string>
#include <utility>
#include <vector>

#include "GUI2/wizard_page.h"

class sel_tables_page : public wizard_page<127, 3, 0x20> {
public:
    using query_list = std::vector<std::pair<std::wstring, std::wstring>>;
    enum {
        IDD = 127,
        IDC_INFO = 1337,
        IDC_AVAILABLE_LABEL = 1334,
        IDC_AVAILABLE = 1317,
        IDC_SELECTED_LABEL = 1312,
        IDC_SELECTED = 1318,
        IDC_ADD = 1101,
        IDC_ADD_ALL = 1102,
        IDC_REMOVE = 1111,
        IDC_REMOVE_ALL = 1110,
        IDC_ADD_QUERY = 1114,
        IDC_UP = 1117,
        IDC_DOWN = 1118,
    };

    sel_tables_page(bool reorder, const std::wstring& confirmation);

    bool ProcessWindowMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult) override;

    // Selects what the pairs name: a query (non-empty text) or a table.
    virtual void load_selection(const query_list& pairs);
    virtual bool is_query(const std::wstring& name);
    virtual void select_query(const std::wstring& name);
    virtual void unselect_query(const std::wstring& name);
    virtual void show_type_mapping(const std::wstring& name);
    virtual void on_add_query() {}
    virtual void on_edit_query() {}

    void do_page_init();
    void on_add();
    void on_add_all();
    void on_delete();
    void on_del_all();

    // The texts of a list box, in its order.
    std::vector<std::wstring> items(int id) const;
    // The position of the entry naming this table in a list box, or -1. Names
    // match exactly (letter case aside), or by owner and table when one side
    // is written "owner.table" and the other "[owner].[table]".
    int find_table(int id, const std::wstring& name) const;
    // Whether a list box holds the name, compared without regard to letter case.
    bool holds(int id, const std::wstring& name) const;

    std::vector<std::wstring> names; // all source tables, later the selected plain tables
    bool reorder;
    HWND list_available = nullptr;
    HWND list_selected = nullptr;
    std::wstring confirmation;

protected:
    std::wstring item_text(int id, int index) const;
    // Adds a text to a list box and widens its scroll extent to it.
    void add_item(int id, const std::wstring& text);
    void move_to_selected(int index);
    void move_to_available(int index);
    void select_at(int id, int index);
    int text_width(const std::wstring& text) const;
};
