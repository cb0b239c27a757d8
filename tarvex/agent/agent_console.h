// The agent's console: progress on standard output, fatal messages on standard
// error, and the process-wide silent flag that outlives the driver.
#pragma once
#include <string>

#include "tarvex/conversion_front_end.h"
#include "tarvex/error_handler.h"

namespace agent_console {

// Ends the program with an exit code. It unwinds to main, so every object is
// destroyed on the way; it derives from no standard exception, so no guard of
// the run catches it.
struct program_exit {
    int code;
};

void set_silent(bool value);
bool is_silent();

// Logs the text, writes it to standard error unless silent, ends the program with -1.
[[noreturn]] void fatal_exit(const std::string& text);

void write_out(const std::string& text);
void write_err(const std::string& text);

} // namespace agent_console

class console_front_end : public conversion_front_end {
public:
    void progress(const std::wstring& text) override;
    bool convert_all_when_empty() const override { return true; }
    bool checks_missing_tables() const override { return true; }
    void table_missing(const std::wstring& name) override;
    void run_failed(const std::exception& e) override;
};

class console_error_handler : public error_handler {
public:
    console_error_handler();
    void handle(const tk_exception& e, bool may_continue) override;
};
