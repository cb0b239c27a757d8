// The table page with custom queries: SELECT statements stored under a table
// name, selected or only defined, added and edited through the query dialog.
#pragma once
#include <algorithm>
#include <string>

#include "GUI2/wizard_shell.h"
#include "TK/tk_logger.h"
#include "platform/win32/win_compare.h"
#include "tarvex/wizard/sel_tables_page.h"
#include "tarvex/wizard/set_query_dlg.h"

template <class Driver, int QueryHelp, int MapHelp>
class sel_tables_page_ex : public sel_tables_page {
public:
    static constexpr int map_help_topic = MapHelp;
    static constexpr int query_help_topic = QueryHelp;

    using sel_tables_page::sel_tables_page;

    // A pair with a SELECT text that neither list holds becomes a selected
    // query; a pair without one selects that table.
    void load_selection(const query_list& pairs) override
    {
        for (const auto& pair : pairs) {
            if (pair.second.empty()) {
                const int at = find_table(IDC_AVAILABLE, pair.first);
                if (at >= 0) move_to_selected(at);
            } else if (!holds(IDC_AVAILABLE, pair.first) && !holds(IDC_SELECTED, pair.first)) {
                add_item(IDC_SELECTED, pair.first);
                selected_queries.push_back(pair);
            }
        }
    }

    // Defined queries that are not selected go to the available list.
    void load_available(const query_list& pairs)
    {
        for (const auto& pair : pairs) {
            if (pair.second.empty() || holds(IDC_AVAILABLE, pair.first) || holds(IDC_SELECTED, pair.first)) continue;
            add_item(IDC_AVAILABLE, pair.first);
            unselected_queries.push_back(pair);
        }
    }

    bool is_query(const std::wstring& name) override
    {
        return find(selected_queries, name) != selected_queries.end() ||
               find(unselected_queries, name) != unselected_queries.end();
    }
    void select_query(const std::wstring& name) override { move(unselected_queries, selected_queries, name); }
    void unselect_query(const std::wstring& name) override { move(selected_queries, unselected_queries, name); }

    // A refused name brings the dialog back with the user's input; it comes
    // back from a message of its own, after the refused dialog is gone.
    static constexpr UINT WM_QUERY_AGAIN = WM_APP + 0x106;

    bool ProcessWindowMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult) override
    {
        if (uMsg == WM_QUERY_AGAIN) {
            const pending again = again_;
            query_dialog(again.old_name, again.name, again.text, again.owner);
            lResult = 0;
            return true;
        }
        return sel_tables_page::ProcessWindowMessage(hWnd, uMsg, wParam, lParam, lResult);
    }

    void on_add_query() override { query_dialog(std::wstring(), std::wstring(), std::wstring(), GetActiveWindow()); }

    void on_edit_query() override
    {
        tk_logger::log(1, "sel_tables_page_ex::on_edit_query");
        const LRESULT sel = SendDlgItemMessage(IDC_SELECTED, LB_GETCURSEL);
        if (sel == LB_ERR) {
            tk_logger::log(1, "Nothing is selected!");
            return;
        }
        const std::wstring name = item_text(IDC_SELECTED, static_cast<int>(sel));
        auto it = find(selected_queries, name);
        if (it == selected_queries.end()) {
            tk_logger::log(1, "It's not a query, show type mapping");
            show_type_mapping(name);
            return;
        }
        query_dialog(name, it->first, it->second, GetActiveWindow());
    }

    query_list selected_queries;
    query_list unselected_queries;

protected:
    struct pending {
        std::wstring old_name; // empty: a new query
        std::wstring name;
        std::wstring text;
        HWND owner = nullptr;
    };

    // Shows the query dialog once; OK adds the query (old_name empty) or
    // replaces the selected query old_name.
    void query_dialog(const std::wstring& old_name, const std::wstring& name, const std::wstring& text, HWND owner)
    {
        set_query_dlg dlg(name, text, !old_name.empty());
        if (dlg.DoModal(owner) != IDOK) return;
        // A query may not share its name with a table or query of either list:
        // the name becomes the target table's.
        const bool renamed = old_name.empty() || !same_name(dlg.name, old_name);
        if (renamed && (holds(IDC_SELECTED, dlg.name) || holds(IDC_AVAILABLE, dlg.name))) {
            wizard_shell::message(L"Duplicate table name. Try again.");
            again_ = pending{old_name, dlg.name, dlg.query, owner};
            PostMessage(WM_QUERY_AGAIN);
            return;
        }
        if (old_name.empty()) {
            add_item(IDC_SELECTED, dlg.name);
            selected_queries.emplace_back(dlg.name, dlg.query);
            return;
        }
        auto it = find(selected_queries, old_name);
        if (it == selected_queries.end()) return;
        *it = {dlg.name, dlg.query};
        const int at = static_cast<int>(SendDlgItemMessage(IDC_SELECTED, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                                           reinterpret_cast<LPARAM>(old_name.c_str())));
        if (at >= 0) SendDlgItemMessage(IDC_SELECTED, LB_DELETESTRING, static_cast<WPARAM>(at));
        add_item(IDC_SELECTED, dlg.name);
    }

    pending again_;

    static bool same_name(const std::wstring& a, const std::wstring& b)
    {
        return CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a.c_str(), static_cast<int>(a.size()), b.c_str(),
                              static_cast<int>(b.size())) == CSTR_EQUAL;
    }
    static query_list::iterator find(query_list& list, const std::wstring& name)
    {
        return std::find_if(list.begin(), list.end(), [&](const auto& p) { return p.first == name; });
    }
    static void move(query_list& from, query_list& to, const std::wstring& name)
    {
        auto it = find(from, name);
        if (it == from.end()) return;
        to.push_back(*it);
        from.erase(it);
    }
};
