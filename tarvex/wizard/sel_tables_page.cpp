#include "tarvex/wizard/sel_tables_page.h"

#include "MSS/mss_split_tab_name.h"
#include "TK/tk_logger.h"
#include "platform/win32/win_compare.h"
#include "tarvex/wizard/listed_table.h"

namespace {

const ui_dialog_resource dialog127(
    sel_tables_page::IDD,
    {L"",
     317,
     143,
     {
         ui_rc::ltext(L"", sel_tables_page::IDC_INFO, 7, 2, 303, 18),
         ui_rc::ltext(L"", sel_tables_page::IDC_AVAILABLE_LABEL, 7, 24, 120, 8),
         ui_rc::listbox(sel_tables_page::IDC_AVAILABLE, 7, 34, 120, 104,
                        LBS_NOTIFY | LBS_SORT | WS_VSCROLL | WS_HSCROLL | WS_BORDER | WS_TABSTOP),
         ui_rc::pushbutton(L"A&dd >", sel_tables_page::IDC_ADD, 133, 38, 52, 14),
         ui_rc::pushbutton(L"Add a&ll >", sel_tables_page::IDC_ADD_ALL, 133, 56, 52, 14),
         ui_rc::pushbutton(L"< &Remove", sel_tables_page::IDC_REMOVE, 133, 80, 52, 14),
         ui_rc::pushbutton(L"< Re&move all", sel_tables_page::IDC_REMOVE_ALL, 133, 98, 52, 14),
         ui_rc::hidden(ui_rc::pushbutton(L"&Add Query", sel_tables_page::IDC_ADD_QUERY, 133, 122, 52, 14)),
         // Both lists alike, the page's margins even: this program shows no reorder buttons.
         ui_rc::ltext(L"", sel_tables_page::IDC_SELECTED_LABEL, 190, 24, 120, 8),
         ui_rc::listbox(sel_tables_page::IDC_SELECTED, 190, 34, 120, 104,
                        LBS_NOTIFY | LBS_SORT | WS_VSCROLL | WS_HSCROLL | WS_BORDER | WS_TABSTOP),
         ui_rc::hidden(ui_rc::pushbutton(L"Up", sel_tables_page::IDC_UP, 298, 50, 16, 14)),
         ui_rc::hidden(ui_rc::pushbutton(L"Dn", sel_tables_page::IDC_DOWN, 298, 70, 16, 14)),
     }});

bool same_no_case(const std::wstring& a, const std::wstring& b)
{
    return CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a.c_str(), static_cast<int>(a.size()), b.c_str(),
                          static_cast<int>(b.size())) == CSTR_EQUAL;
}

} // namespace

sel_tables_page::sel_tables_page(bool reorder_, const std::wstring& confirmation_)
    : reorder(reorder_), confirmation(confirmation_)
{}

bool sel_tables_page::ProcessWindowMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult)
{
    if (uMsg == WM_COMMAND) {
        const int id = LOWORD(wParam);
        const WORD code = HIWORD(wParam);
        lResult = 0;
        if (code == BN_CLICKED) {
            switch (id) {
            case IDC_ADD:
                on_add();
                return true;
            case IDC_ADD_ALL:
                on_add_all();
                return true;
            case IDC_REMOVE:
                on_delete();
                return true;
            case IDC_REMOVE_ALL:
                on_del_all();
                return true;
            case IDC_ADD_QUERY:
                on_add_query();
                return true;
            default:
                break;
            }
        }
        if (code == LBN_DBLCLK && id == IDC_AVAILABLE) {
            on_add();
            return true;
        }
        if (code == LBN_DBLCLK && id == IDC_SELECTED) {
            on_edit_query();
            return true;
        }
    }
    return wizard_page::ProcessWindowMessage(hWnd, uMsg, wParam, lParam, lResult);
}

void sel_tables_page::load_selection(const query_list& pairs)
{
    for (const auto& [name, text] : pairs) {
        if (!text.empty()) continue;
        const int at = find_table(IDC_AVAILABLE, name);
        if (at >= 0) move_to_selected(at);
    }
}

bool sel_tables_page::is_query(const std::wstring&) { return false; }
void sel_tables_page::select_query(const std::wstring&) {}
void sel_tables_page::unselect_query(const std::wstring&) {}
void sel_tables_page::show_type_mapping(const std::wstring&) {}

std::wstring sel_tables_page::item_text(int id, int index) const
{
    const LRESULT len = SendDlgItemMessage(id, LB_GETTEXTLEN, static_cast<WPARAM>(index));
    if (len == LB_ERR) return std::wstring();
    std::wstring text(static_cast<size_t>(len) + 1, L'\0');
    const LRESULT got =
        SendDlgItemMessage(id, LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.data()));
    text.resize(got == LB_ERR ? 0 : static_cast<size_t>(got));
    return text;
}

std::vector<std::wstring> sel_tables_page::items(int id) const
{
    std::vector<std::wstring> out;
    const LRESULT count = SendDlgItemMessage(id, LB_GETCOUNT);
    for (LRESULT i = 0; i < count; ++i) out.push_back(item_text(id, static_cast<int>(i)));
    return out;
}

bool sel_tables_page::holds(int id, const std::wstring& name) const
{
    for (const auto& item : items(id))
        if (same_no_case(item, name)) return true;
    return false;
}

int sel_tables_page::find_table(int id, const std::wstring& name) const { return find_listed_table(items(id), name); }

int sel_tables_page::text_width(const std::wstring& text) const
{
    HDC dc = ::GetDC(m_hWnd);
    if (!dc) return 0;
    HGDIOBJ old = ::SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessage(WM_GETFONT)));
    SIZE size;
    ::GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    ::SelectObject(dc, old);
    ::ReleaseDC(m_hWnd, dc);
    return static_cast<int>(size.cx);
}

void sel_tables_page::add_item(int id, const std::wstring& text)
{
    SendDlgItemMessage(id, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    const int width = text_width(text);
    if (width > static_cast<int>(SendDlgItemMessage(id, LB_GETHORIZONTALEXTENT)))
        SendDlgItemMessage(id, LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(width));
}

void sel_tables_page::do_page_init()
{
    tk_logger::log(2, "sel_tables_page::do_page_init");
    list_available = GetDlgItem(IDC_AVAILABLE);
    list_selected = GetDlgItem(IDC_SELECTED);
    SendDlgItemMessage(IDC_AVAILABLE, LB_RESETCONTENT);
    SendDlgItemMessage(IDC_SELECTED, LB_RESETCONTENT);
    SendDlgItemMessage(IDC_AVAILABLE, LB_SETHORIZONTALEXTENT, 0);
    SendDlgItemMessage(IDC_SELECTED, LB_SETHORIZONTALEXTENT, 0);
    for (const auto& name : names) add_item(IDC_AVAILABLE, name);
    if (!names.empty()) SendDlgItemMessage(IDC_AVAILABLE, LB_SETCURSEL, 0);
}

void sel_tables_page::move_to_selected(int index)
{
    const std::wstring name = item_text(IDC_AVAILABLE, index);
    add_item(IDC_SELECTED, name);
    SendDlgItemMessage(IDC_AVAILABLE, LB_DELETESTRING, static_cast<WPARAM>(index));
    if (is_query(name)) select_query(name);
}

void sel_tables_page::move_to_available(int index)
{
    const std::wstring name = item_text(IDC_SELECTED, index);
    add_item(IDC_AVAILABLE, name);
    SendDlgItemMessage(IDC_SELECTED, LB_DELETESTRING, static_cast<WPARAM>(index));
    if (is_query(name)) unselect_query(name);
}

void sel_tables_page::select_at(int id, int index)
{
    const LRESULT count = SendDlgItemMessage(id, LB_GETCOUNT);
    if (count <= 0) return;
    if (index >= count) index = static_cast<int>(count) - 1;
    SendDlgItemMessage(id, LB_SETCURSEL, static_cast<WPARAM>(index));
}

void sel_tables_page::on_add()
{
    tk_logger::log(2, "sel_tables_page::on_add");
    const LRESULT sel = SendDlgItemMessage(IDC_AVAILABLE, LB_GETCURSEL);
    if (sel == LB_ERR) return;
    move_to_selected(static_cast<int>(sel));
    if (SendDlgItemMessage(IDC_AVAILABLE, LB_GETCOUNT) > 0) {
        select_at(IDC_AVAILABLE, static_cast<int>(sel));
    } else {
        ::SetFocus(GetDlgItem(IDC_SELECTED));
        select_at(IDC_SELECTED, 0);
    }
}

void sel_tables_page::on_add_all()
{
    tk_logger::log(2, "sel_tables_page::on_add_all");
    while (SendDlgItemMessage(IDC_AVAILABLE, LB_GETCOUNT) > 0) move_to_selected(0);
    ::SetFocus(GetDlgItem(IDC_SELECTED));
    select_at(IDC_SELECTED, 0);
}

void sel_tables_page::on_delete()
{
    tk_logger::log(2, "sel_tables_page::on_delete");
    const LRESULT sel = SendDlgItemMessage(IDC_SELECTED, LB_GETCURSEL);
    if (sel == LB_ERR) return;
    move_to_available(static_cast<int>(sel));
    if (SendDlgItemMessage(IDC_SELECTED, LB_GETCOUNT) > 0) {
        select_at(IDC_SELECTED, static_cast<int>(sel));
    } else {
        ::SetFocus(GetDlgItem(IDC_AVAILABLE));
        select_at(IDC_AVAILABLE, 0);
    }
}

void sel_tables_page::on_del_all()
{
    tk_logger::log(2, "sel_tables_page::on_del_all");
    while (SendDlgItemMessage(IDC_SELECTED, LB_GETCOUNT) > 0) move_to_available(0);
    ::SetFocus(GetDlgItem(IDC_AVAILABLE));
    select_at(IDC_AVAILABLE, 0);
}
