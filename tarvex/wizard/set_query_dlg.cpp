#include "tarvex/wizard/set_query_dlg.h"

#include "GUI2/wizard_shell.h"
#include "TK/tk_logger.h"
#include "TK/tk_text.h"
#include "platform/win32/win_compare.h"
#include "tarvex/tarvex_convertor.h"

namespace {

constexpr int IDC_NAME = 1019;
constexpr int IDC_QUERY = 1020;
constexpr int IDC_TEST = 129;
constexpr size_t max_query_chars = 10000;
constexpr int max_name_chars = 2048;
const std::wstring blanks = L"\t\n\r ";

const ui_dialog_resource dialog128(
    set_query_dlg::IDD, {L"Add Query",
                         300,
                         186,
                         {
                             ui_rc::ltext(L"&Store as Table:", -1, 7, 9, 60, 8),
                             ui_rc::edittext(IDC_NAME, 70, 7, 223, 13),
                             ui_rc::ltext(L"&Query:", -1, 7, 27, 60, 8),
                             ui_rc::edittext(IDC_QUERY, 7, 38, 286, 120,
                                             ES_MULTILINE | ES_AUTOVSCROLL | ES_AUTOHSCROLL | WS_VSCROLL | WS_HSCROLL),
                             ui_rc::pushbutton(L"&Test Query", IDC_TEST, 7, 165, 60, 14),
                             ui_rc::defpushbutton(L"OK", IDOK, 123, 165, 54, 14),
                             ui_rc::pushbutton(L"Cancel", IDCANCEL, 181, 165, 54, 14),
                             ui_rc::pushbutton(L"Help", IDHELP, 239, 165, 54, 14),
                         }});

} // namespace

set_query_dlg::set_query_dlg(const std::wstring& n, const std::wstring& q, bool editing)
    : ui_dialog(IDD), name(n), query(q), editing_(editing)
{
    tk_logger::log(1, "set_query_dlg::set_query_dlg");
}

bool set_query_dlg::is_select(const std::wstring& text)
{
    // Only the start matters, so a longer text is judged by its first part.
    const std::wstring head = text.substr(0, max_query_chars);
    if (head.empty()) return true;
    const size_t start = head.find_first_not_of(blanks);
    if (start == std::wstring::npos) return false;
    const std::wstring word = head.substr(start, 6);
    return word.size() == 6 &&
           CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, word.c_str(), 6, L"SELECT", 6) == CSTR_EQUAL;
}

bool set_query_dlg::ProcessWindowMessage(HWND, UINT uMsg, WPARAM wParam, LPARAM, LRESULT& lResult)
{
    if (uMsg == WM_INITDIALOG) {
        on_init();
        lResult = TRUE;
        return true;
    }
    if (uMsg == WM_HELP) {
        // F1 is the Help button.
        wizard_shell::display_help(help_topic);
        lResult = TRUE;
        return true;
    }
    if (uMsg != WM_COMMAND || HIWORD(wParam) != BN_CLICKED) return false;
    lResult = 0;
    switch (LOWORD(wParam)) {
    case IDC_TEST:
        on_test_query();
        return true;
    case IDOK:
        on_ok();
        return true;
    case IDCANCEL:
        on_cancel();
        return true;
    case IDHELP:
        wizard_shell::display_help(help_topic);
        return true;
    default:
        return false;
    }
}

void set_query_dlg::on_init()
{
    tk_logger::log(1, "set_query_dlg::on_init");
    if (editing_) SetWindowText(L"Edit Query");
    SetDlgItemText(IDC_NAME, name);
    SetDlgItemText(IDC_QUERY, query);
    CenterWindow();
    BringWindowToTop();
}

void set_query_dlg::on_test_query()
{
    // The whole text is tested: a cut statement would not be the one stored.
    const std::wstring text = GetDlgItemText(IDC_QUERY);
    if (!is_select(text)) {
        wizard_shell::error(L"The query must start with SELECT.");
        return;
    }
    // The server runs the query; what it says of a query it refuses is the
    // user's guide (a missing table is not a syntax error).
    std::wstring refusal;
    try {
        tarvex_convertor& driver = tarvex_convertor::ref();
        driver.open_source(driver.src)->query(text).reset();
    } catch (const tk_exception& e) {
        tk_logger::log(2, "Query test failed: %s", e.what());
        refusal = tk_trim(to_unicode(std::string(e.what())));
        if (refusal.empty()) refusal = L"(the server gave no text)";
    }
    if (refusal.empty())
        wizard_shell::message(L"The query is correct.");
    else
        wizard_shell::error(L"The server refused the query:\n\n" + refusal +
                            L"\n\nCorrect the query and test it again.");
}

void set_query_dlg::on_ok()
{
    tk_logger::log(1, "set_query_dlg::on_ok");
    const std::wstring n = GetDlgItemText(IDC_NAME, max_name_chars);
    const std::wstring q = GetDlgItemText(IDC_QUERY);
    if (n.empty()) {
        wizard_shell::message(L"Table name is empty!");
        return;
    }
    if (!is_select(q)) {
        wizard_shell::error(L"The query must start with SELECT.");
        return;
    }
    if (q.empty()) {
        wizard_shell::error(L"Query is empty!");
        return;
    }
    name = n;
    query = q;
    EndDialog(IDOK);
}

void set_query_dlg::on_cancel()
{
    tk_logger::log(1, "set_query_dlg::on_cancel");
    EndDialog(IDCANCEL);
}
