#include "tarvex/wizard/wizard_error_handler.h"

#include <cstdio>
#include <cstdlib>
#include <mutex>

#include "GUI2/dlg_error_continue.h"
#include "GUI2/dlg_error_ex.h"
#include "GUI2/wizard_shell.h"
#include "TK/tk_logger.h"
#include "TK/tk_text.h"

namespace {

std::mutex g_exit_mutex;
std::function<void(int)> g_exit;

[[noreturn]] void end_process(int code)
{
    std::function<void(int)> fn;
    {
        std::lock_guard<std::mutex> lock(g_exit_mutex);
        fn = g_exit;
    }
    if (fn) fn(code);
    // The log is written line by line and the registry atomically: nothing is
    // left half written when the process ends here.
    std::fflush(nullptr);
    std::_Exit(code);
}

} // namespace

wizard_error_handler::wizard_error_handler() : error_handler(g_ora_error_count, g_ora_error_table)
{
    load_err_map(g_odb_error_count, g_odb_error_table);
}

void wizard_error_handler::set_exit_function(std::function<void(int)> fn)
{
    std::lock_guard<std::mutex> lock(g_exit_mutex);
    g_exit = std::move(fn);
}

void wizard_error_handler::handle(const tk_exception& e, bool may_continue)
{
    tk_logger::log(2, "error_handler::handle");
    if (e.level == TK_LEVEL_INTERNAL) {
        tk_logger::log(1, "dlg_error_ex::ctor");
        tk_logger::log(3, "Internal error:\n%s", e.what());
        dlg_error_ex<114> dlg(to_unicode(std::string(e.what()), -1));
        dlg.DoModal(GetActiveWindow());
        end_process(-1);
    }
    const std::string text = build_message(e);                         // logged, and on one line
    if (wizard_shell::is_initialized()) wizard_shell::add_error(text); // keeps the first 20
    if (e.level == TK_LEVEL_STOP) {
        tk_logger::log(1, "Got 1-level error");
        if (!is_quiet()) {
            tk_logger::log(1, "Step 1");
            wizard_shell::error(text);
        }
        tk_logger::log(1, "Step 2");
        if (!may_continue) throw tk_final_exception();
        return;
    }
    tk_logger::log(1, "Got 0-level error");
    if (is_quiet()) return;
    dlg_error_continue<115> dlg(to_unicode(text, -1));
    const INT_PTR answer = dlg.DoModal(GetActiveWindow());
    if (answer == dlg_error_continue_base::k_abort && !may_continue) throw tk_final_exception();
    set_quiet(dlg.dont_show_again());
}
