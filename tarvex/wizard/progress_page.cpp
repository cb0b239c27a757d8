#include "tarvex/wizard/progress_page.h"

#include "GUI2/wizard_shell.h"
#include "TK/tk_logger.h"
#include "tarvex/tarvex_convertor.h"
#include "tarvex/wizard/connect_worker.h"

namespace {

using namespace ui_rc;

const ui_dialog_resource dialog107(
    107, ui_dialog_template{
             L"",
             317,
             143,
             {
                 ltext(L"Database conversion is in progress. Please wait until the wizard completes", -1, 7, 2, 300, 8),
                 ltext(L"migrating your MS SQL database to Oracle.", -1, 7, 11, 300, 8),
                 edittext(1016, 7, 24, 303, 80, ES_MULTILINE | ES_AUTOVSCROLL | ES_READONLY | WS_VSCROLL),
                 ltext(L"", 1323, 7, 110, 303, 8),
                 progress(1321, 7, 122, 303, 12),
             }});

} // namespace

void progress_page::front_end::progress(const std::wstring& text)
{
    // The run goes on from table to table through here: the place to stop it.
    if (stop.load()) throw tk_final_exception();
    wizard_shell::write_log(text);
}

void progress_page::front_end::start_timer() { wizard_shell::set_timer(200); }

void progress_page::front_end::run_failed(const std::exception& e)
{
    tk_logger::log(3, "Error:\n%s", e.what());
    if (wizard_shell* shell = wizard_shell::find()) shell->add_error(e.what());
    wizard_shell::error(std::string(e.what()));
}

progress_page::progress_page() : tk_thread(false)
{
    SetHeaderTitle(L"Step 5 of 5");
    SetHeaderSubTitle(L"Database conversion is in progress");
}

progress_page::~progress_page()
{
    stop_run();
    if (tarvex_convertor* conv = tarvex_convertor::find()) conv->set_front_end(nullptr);
}

tk_thread_functor* progress_page::create_functor() { return &tarvex_convertor::ref(); }

bool progress_page::page_init()
{
    tk_logger::log(2, "progress_page::page_init");
    ::PostMessageW(GetParent(), PSM_SETWIZBUTTONS, 0, 0);
    SendDlgItemMessage(ctl_bar, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
    SendDlgItemMessage(ctl_bar, PBM_SETPOS, 0);
    HWND log = GetDlgItem(ctl_log);
    ::SendMessageW(log, EM_SETSEL, 0, -1);
    ::SendMessageW(log, EM_SCROLLCARET);
    ::SetWindowTextW(log, L"");
    ::SendMessageW(log, EM_LIMITTEXT, 1000000);
    ::SendMessageW(log, EM_SETREADONLY, TRUE);
    // One run per wizard: a page shown again while its run goes on does not start another.
    if (is_running()) return true;
    wizard_end.stop.store(false);
    tarvex_convertor::ref().set_front_end(&wizard_end);
    if (!start()) wizard_shell::error(std::wstring(L"Cannot start the conversion."));
    return true;
}

bool progress_page::ProcessWindowMessage(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam, LRESULT& result)
{
    if (msg == WM_TIMER) {
        update();
        result = 0;
        return true;
    }
    return wizard_page::ProcessWindowMessage(hwnd, msg, wparam, lparam, result);
}

uint32_t progress_page::percent(uint32_t tables_done, uint32_t tables_total, uint32_t records_done,
                                uint32_t records_total)
{
    if (tables_total == 0) return 0;
    // Wide enough that a table of tens of millions of rows cannot wrap around.
    uint64_t p = uint64_t{tables_done} * 100 / tables_total;
    if (records_total != 0) p += (uint64_t{records_done} * 100 / records_total) / tables_total;
    return static_cast<uint32_t>(p > 100 ? 100 : p);
}

std::wstring progress_page::status_text(const std::wstring& table)
{
    if (table.empty()) return std::wstring();
    std::wstring text = L"Processing table '" + table + L"'";
    if (text.size() > static_cast<size_t>(status_chars)) text.resize(static_cast<size_t>(status_chars));
    return text;
}

void progress_page::update()
{
    tarvex_convertor& conv = tarvex_convertor::ref();
    // The flag first: once the run is seen finished, the counters read after it
    // are its final ones, not a table's midway through.
    const bool finished = conv.finished.load(std::memory_order_acquire);
    const uint32_t p =
        percent(conv.tables_done.load(), conv.tables_total.load(), conv.records_done.load(), conv.records_total.load());
    SendDlgItemMessage(ctl_bar, PBM_SETPOS, p);
    if (finished) {
        wizard_shell::kill_timer();
        ::SendMessageW(GetParent(), PSM_SETCURSELID, 0, finish_page_id);
    }
    SetDlgItemText(ctl_status, status_text(conv.get_current_name()));
}

void progress_page::stop_run()
{
    if (!is_running()) return;
    tk_logger::log(2, "progress_page::stop_run");
    wizard_end.stop.store(true);
    wait_for_worker(*this);
}

bool progress_page::on_cancel()
{
    if (!wizard_page::on_cancel()) return false;
    // The driver and the target tables must not be left to a run cut off midway.
    stop_run();
    return true;
}

void progress_page::on_help() { wizard_shell::display_help(); }
