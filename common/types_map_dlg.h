// The type-mapping dialog of one source table: target table name and, per
// column, target name, Oracle type, default, sizes, and whether it is kept.
#pragma once
#include <cwchar>
#include <string>
#include <vector>

#include "GUI2/wizard_shell.h"
#include "TK/tk_logger.h"
#include "common/map_list.h"
#include "common/types_map_resource.h"
#include "platform/ui/ui.h"
#include "platform/win32/win_compare.h"

template <class Driver, int HelpTopic>
class types_map_dlg : public ui_dialog {
    Driver& driver_;

public:
    enum {
        IDD = types_map_resource::IDD,
        IDC_LIST = types_map_resource::IDC_LIST,
        IDC_TABLE = types_map_resource::IDC_TABLE,
        IDC_NAME = types_map_resource::IDC_NAME,
        IDC_TYPE = types_map_resource::IDC_TYPE,
        IDC_DEFAULT = types_map_resource::IDC_DEFAULT,
        IDC_LENGTH = types_map_resource::IDC_LENGTH,
        IDC_PREC = types_map_resource::IDC_PREC,
        IDC_SCALE = types_map_resource::IDC_SCALE,
        IDC_LENGTH_LABEL = types_map_resource::IDC_LENGTH_LABEL,
        IDC_PREC_LABEL = types_map_resource::IDC_PREC_LABEL,
        IDC_SCALE_LABEL = types_map_resource::IDC_SCALE_LABEL,
    };
    static constexpr int max_chars = 1024;

    types_map_dlg(Driver& driver, const std::wstring& table) : ui_dialog(IDD), driver_(driver), rows(driver, table)
    {
        tk_logger::log(1, "types_map_dlg::types_map_dlg");
        types_map_resource::register_dialog();
    }

    // Reads the table and both type files first, so that a failure leaves
    // before the dialog opens; then runs the dialog modally.
    INT_PTR run(HWND owner = nullptr)
    {
        shown_table_name = rows.load();
        for (size_t i = 0; i < rows.size(); ++i) rows.choices(i);
        driver_.get_type_attributes(std::wstring());
        return DoModal(owner ? owner : GetActiveWindow());
    }

    bool ProcessWindowMessage(HWND, UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult) override
    {
        switch (uMsg) {
        case WM_INITDIALOG:
            on_init();
            lResult = TRUE;
            return true;
        case WM_NOTIFY: {
            const auto* hdr = reinterpret_cast<const NMHDR*>(lParam);
            if (!hdr || static_cast<int>(hdr->idFrom) != IDC_LIST) return false;
            const auto* nm = reinterpret_cast<const NMLISTVIEW*>(lParam);
            if (hdr->code == LVN_ITEMCHANGING) {
                lResult = on_item_changing(*nm) ? FALSE : TRUE;
                return true;
            }
            if (hdr->code == LVN_ITEMCHANGED) {
                on_item_changed(*nm);
                lResult = 0;
                return true;
            }
            return false;
        }
        case WM_HELP:
            // F1 is the Help button.
            wizard_shell::display_help(HelpTopic);
            lResult = TRUE;
            return true;
        case WM_COMMAND:
            lResult = 0;
            if (LOWORD(wParam) == IDC_TYPE && HIWORD(wParam) == CBN_SELCHANGE) {
                if (!filling_) show_ctrl(selected_type());
                return true;
            }
            if (HIWORD(wParam) != BN_CLICKED) return false;
            switch (LOWORD(wParam)) {
            case IDOK:
                on_ok();
                return true;
            case IDCANCEL:
                tk_logger::log(1, "types_map_dlg::on_cancel");
                EndDialog(IDCANCEL);
                return true;
            case IDHELP:
                wizard_shell::display_help(HelpTopic);
                return true;
            default:
                return false;
            }
        default:
            return false;
        }
    }

    map_list<Driver> rows;
    std::wstring shown_table_name;

private:
    HWND list() const { return GetDlgItem(IDC_LIST); }

    void on_init()
    {
        tk_logger::log(1, "types_map_dlg::on_init");
        SetDlgItemText(IDC_TABLE, rows.source_table);
        SendMessageW(list(), LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT,
                     LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
        const wchar_t* headers[] = {L"", L"Field Name", L"Field Type", L"Default value"};
        for (int i = 0; i < 4; ++i) {
            std::wstring text = headers[i];
            LVCOLUMNW col;
            col.mask = LVCF_TEXT | LVCF_SUBITEM | LVCF_WIDTH;
            col.pszText = text.data();
            col.iSubItem = i;
            col.cx = 20;
            SendMessageW(list(), LVM_INSERTCOLUMNW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&col));
            SendMessageW(list(), LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(i), LVSCW_AUTOSIZE_USEHEADER);
        }
        SetDlgItemText(IDC_TABLE, shown_table_name);
        for (size_t i = rows.size(); i-- > 0;) add_item(i);
        // A table edited before shows its stored edits.
        for (size_t i = 0; i < rows.size(); ++i)
            if (rows.entry_of(i)) refresh_row(static_cast<int>(i));
        // Sized again now that the rows are in: a type such as NUMBER(19,0) is
        // wider than its column's header.
        for (int i = 0; i < 4; ++i)
            SendMessageW(list(), LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(i), LVSCW_AUTOSIZE_USEHEADER);
        for (size_t i = 0; i < rows.size(); ++i) set_check(static_cast<int>(i), rows.is_checked(i));
        if (rows.size() > 0) {
            LVITEMW item;
            item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
            item.state = LVIS_SELECTED | LVIS_FOCUSED;
            SendMessageW(list(), LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(&item));
            SendMessageW(list(), LVM_ENSUREVISIBLE, 0, FALSE);
            current_row_ = 0;
            set_available_conversions(0);
            show_item(0);
            show_ctrl(selected_type());
        }
        CenterWindow();
        BringWindowToTop();
        ready_ = true;
    }

    void add_item(size_t row)
    {
        tk_logger::log(1, "types_map_dlg::add_item");
        const t_ftd& f = rows.column(row);
        const map_entry& e = rows.initial_of(row);
        tk_logger::log(1, L"Column name: '%s'", f.name.c_str());
        tk_logger::log(1, "native_type.precision=%d, native_type.scale=%d", static_cast<int>(e.precision),
                       static_cast<int>(e.scale));
        tk_logger::log(1, L"Deafult value: '%s'", e.default_value.c_str());
        std::wstring blank;
        LVITEMW item;
        item.mask = LVIF_TEXT;
        item.iItem = 0;
        item.pszText = blank.data();
        const int at = static_cast<int>(SendMessageW(list(), LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
        set_cell(at, 1, f.name);
        set_cell(at, 2, rows.type_cell(row));
        set_cell(at, 3, e.default_value);
    }

    void set_cell(int row, int sub, std::wstring text)
    {
        LVITEMW item;
        item.iSubItem = sub;
        item.pszText = text.data();
        SendMessageW(list(), LVM_SETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
    }

    void set_check(int row, bool checked)
    {
        LVITEMW item;
        item.stateMask = LVIS_STATEIMAGEMASK;
        item.state = INDEXTOSTATEIMAGEMASK(checked ? 2 : 1);
        SendMessageW(list(), LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
    }

    // The row whose details are shown, as the selection notifications tell it.
    int selected_row() const { return current_row_; }

    std::wstring selected_type() const
    {
        const LRESULT i = SendDlgItemMessage(IDC_TYPE, CB_GETCURSEL);
        if (i == CB_ERR) return std::wstring();
        const LRESULT len = SendDlgItemMessage(IDC_TYPE, CB_GETLBTEXTLEN, static_cast<WPARAM>(i));
        if (len <= 0) return std::wstring();
        std::wstring text(static_cast<size_t>(len) + 1, L'\0');
        SendDlgItemMessage(IDC_TYPE, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text.data()));
        text.resize(std::wcslen(text.c_str()));
        return text;
    }

    void set_available_conversions(size_t row)
    {
        tk_logger::log(1, "types_map_dlg::set_available_conversions(%d)", static_cast<int>(row));
        tk_logger::log(1, "schema.size()=%d", static_cast<int>(rows.size()));
        tk_logger::log(1, L"selected_field_type.type=%s", rows.initial_of(row).type.c_str());
        SendDlgItemMessage(IDC_TYPE, CB_RESETCONTENT);
        for (const auto& t : rows.choices(row)) {
            tk_logger::log(1, L"Adding->%s", t.c_str());
            SendDlgItemMessage(IDC_TYPE, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(t.c_str()));
        }
    }

    // Fills the detail fields from the row's entry, else its initial values.
    void show_item(size_t row)
    {
        filling_ = true;
        const map_entry e = rows.shown(row);
        SetDlgItemText(IDC_NAME, e.name);
        LRESULT at = SendDlgItemMessage(IDC_TYPE, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                        reinterpret_cast<LPARAM>(e.type.c_str()));
        if (at == CB_ERR && !e.type.empty()) // a stored type the type map does not list stays choosable
            at = SendDlgItemMessage(IDC_TYPE, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(e.type.c_str()));
        SendDlgItemMessage(IDC_TYPE, CB_SETCURSEL, static_cast<WPARAM>(at));
        SetDlgItemText(IDC_DEFAULT, e.default_value);
        SetDlgItemText(IDC_LENGTH, e.length != 0 ? std::to_wstring(e.length) : std::wstring());
        SetDlgItemText(IDC_PREC, e.precision > 0 ? std::to_wstring(e.precision) : std::wstring());
        SetDlgItemText(IDC_SCALE, e.scale > 0 ? std::to_wstring(e.scale) : std::wstring());
        filling_ = false;
    }

    static int32_t number(const std::wstring& text)
    {
        wchar_t* end = nullptr;
        const long v = std::wcstol(text.c_str(), &end, 10);
        if (end == text.c_str() || v < 0 || v > 0x7fffffffL) return 0;
        return static_cast<int32_t>(v);
    }

    bool get_item(size_t row, map_entry& e)
    {
        tk_logger::log(1, "types_map_dlg::get_item(%d)", static_cast<int>(row));
        e = rows.shown(row);
        e.name = GetDlgItemText(IDC_NAME, max_chars);
        e.type = selected_type().substr(0, max_chars);
        e.default_value = GetDlgItemText(IDC_DEFAULT, max_chars);
        e.length = number(GetDlgItemText(IDC_LENGTH, max_chars));
        e.precision = number(GetDlgItemText(IDC_PREC, max_chars));
        e.scale = number(GetDlgItemText(IDC_SCALE, max_chars));
        if (e.name.empty()) {
            wizard_shell::message(L"Name cannot be empty. Try again.");
            return false;
        }
        return true;
    }

    bool save_item(int row)
    {
        tk_logger::log(1, "types_map_dlg::save_item(%d)", row);
        if (row < 0 || !ready_) return true;
        map_entry e;
        if (!get_item(static_cast<size_t>(row), e)) return false;
        rows.save(static_cast<size_t>(row), e);
        refresh_row(row);
        return true;
    }

    // The list shows what the row now maps to, not what it was opened with.
    void refresh_row(int row)
    {
        const map_entry shown = rows.shown(static_cast<size_t>(row));
        set_cell(row, 1, shown.name);
        set_cell(row, 2, rows.shown_type_cell(static_cast<size_t>(row)));
        set_cell(row, 3, shown.default_value);
        if (!ready_) return;
        for (int i = 1; i < 4; ++i)
            SendMessageW(list(), LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(i), LVSCW_AUTOSIZE_USEHEADER);
    }

    void show_ctrl(const std::wstring& type)
    {
        bool length = false, precision = false, scale = false;
        if (!type.empty()) {
            for (const auto& a : driver_.get_type_attributes(type)) {
                auto is = [&](const wchar_t* w) {
                    return CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a.c_str(), static_cast<int>(a.size()),
                                          w, static_cast<int>(std::wcslen(w))) == CSTR_EQUAL;
                };
                length = length || is(L"LENGTH");
                precision = precision || is(L"PRECISION");
                scale = scale || is(L"SCALE");
            }
        }
        const bool sizes = precision && scale;
        show(IDC_LENGTH_LABEL, length);
        show(IDC_LENGTH, length);
        show(IDC_PREC_LABEL, sizes);
        show(IDC_PREC, sizes);
        show(IDC_SCALE_LABEL, sizes);
        show(IDC_SCALE, sizes);
    }

    void show(int id, bool on)
    {
        tk_logger::log(1, "types_map_dlg::show_ctrl(%d=%d)", id, on ? 1 : 0);
        ::ShowWindow(GetDlgItem(id), on ? SW_SHOW : SW_HIDE);
    }

    // Answers false to keep the selection where it is.
    bool on_item_changing(const NMLISTVIEW& nm)
    {
        tk_logger::log(1, "types_map_dlg::on_item_changing");
        if (!ready_ || !(nm.uChanged & LVIF_STATE)) return true;
        const bool losing = (nm.uOldState & LVIS_SELECTED) && !(nm.uNewState & LVIS_SELECTED);
        if (!losing) return true;
        return save_item(nm.iItem);
    }

    void on_item_changed(const NMLISTVIEW& nm)
    {
        if (!ready_ || nm.iItem < 0 || !(nm.uChanged & LVIF_STATE)) return;
        tk_logger::log(1, "types_map_dlg::on_item_changed");
        const bool now = (nm.uNewState & LVIS_SELECTED) != 0;
        const bool before = (nm.uOldState & LVIS_SELECTED) != 0;
        tk_logger::log(1, "b_selected_now=%d, b_selected_before=%d", now ? 1 : 0, before ? 1 : 0);
        const size_t row = static_cast<size_t>(nm.iItem);
        if (now && !before) {
            tk_logger::log(1, "Row #%d is selected", nm.iItem);
            current_row_ = nm.iItem;
            const t_ftd& f = rows.column(row);
            SetDlgItemText(IDC_NAME, f.name);
            if (f.vartype == VT_BSTR && f.size >= 1 && f.size <= 9999)
                SetDlgItemText(IDC_LENGTH, std::to_wstring(f.size));
            set_available_conversions(row);
            show_item(row);
        }
        const UINT old_image = nm.uOldState & LVIS_STATEIMAGEMASK;
        const UINT new_image = nm.uNewState & LVIS_STATEIMAGEMASK;
        if (old_image != new_image && new_image != 0) {
            const bool checked = new_image == INDEXTOSTATEIMAGEMASK(2);
            // The detail fields belong to the selected row; another row's box
            // keeps that row's own values.
            map_entry e;
            bool ok = true;
            if (nm.iItem == selected_row())
                ok = get_item(row, e);
            else
                e = rows.shown(row);
            if (ok) rows.set_state(row, e, checked);
        }
        show_ctrl(selected_type());
    }

    void on_ok()
    {
        tk_logger::log(1, "types_map_dlg::on_ok");
        tk_logger::log(1, "types_map_dlg::save_to_mutator");
        if (!save_item(selected_row())) return; // the row's name is empty: the user fixes it first
        const std::wstring table = GetDlgItemText(IDC_TABLE, max_chars);
        rows.store(table);
        EndDialog(IDOK);
    }

    bool ready_ = false;
    int current_row_ = -1;
    bool filling_ = false;
};
