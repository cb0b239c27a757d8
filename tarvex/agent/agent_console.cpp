#include "tarvex/agent/agent_console.h"

#include <atomic>
#include <cstdio>

#include "TK/tk_logger.h"
#include "TK/tk_text.h"

namespace agent_console {

namespace {
std::atomic<bool> g_silent{false};

void write(std::FILE* f, const std::string& text)
{
    std::fwrite(text.data(), 1, text.size(), f);
    std::fflush(f);
}
} // namespace

void set_silent(bool value) { g_silent.store(value); }
bool is_silent() { return g_silent.load(); }

void write_out(const std::string& text) { write(stdout, text); }
void write_err(const std::string& text) { write(stderr, text); }

void fatal_exit(const std::string& text)
{
    tk_logger::log(3, "%s", text.c_str());
    if (!is_silent()) write_err(text + "\n");
    throw agent_console::program_exit{-1};
}

} // namespace agent_console

void console_front_end::progress(const std::wstring& text)
{
    if (!agent_console::is_silent()) agent_console::write_out(to_ansi(text));
}

void console_front_end::table_missing(const std::wstring& name)
{
    if (!agent_console::is_silent()) agent_console::write_err("Table " + to_ansi(name) + " not exists\n");
}

void console_front_end::run_failed(const std::exception& e)
{
    tk_logger::log(3, "ERROR:\n%s", e.what());
    if (!agent_console::is_silent()) agent_console::write_err(std::string("ERROR:\n") + e.what() + "\n");
}

console_error_handler::console_error_handler() : error_handler(g_ora_error_count, g_ora_error_table)
{
    load_err_map(g_odb_error_count, g_odb_error_table);
}

void console_error_handler::handle(const tk_exception& e, bool /*may_continue*/)
{
    tk_logger::log(2, "error_handler::handle");
    if (e.level == TK_LEVEL_INTERNAL) {
        tk_logger::log(3, "Internal error:\n%s", e.what());
        agent_console::write_out(std::string("Internal error: ") + e.what() + "\n");
        throw agent_console::program_exit{-1};
    }
    const std::string message = build_message(e);
    if (!is_quiet()) agent_console::write_out("Error:\n" + message + "\n");
    if (e.level == TK_LEVEL_STOP) {
        tk_logger::log(1, "Got 1-level error");
        throw agent_console::program_exit{-1};
    }
    tk_logger::log(1, "Got 0-level error");
}
