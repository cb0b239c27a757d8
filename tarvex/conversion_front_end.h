// What a run needs from the program that shows it: the agent's console or the wizard.
#pragma once
#include <exception>
#include <string>

class conversion_front_end {
public:
    virtual ~conversion_front_end() = default;

    // A progress line, already formatted (it ends with its own line end).
    virtual void progress(const std::wstring& text) = 0;
    // Called once as the run starts (the wizard's progress timer).
    virtual void start_timer() {}
    // The agent converts every table when nothing is selected; the wizard converts nothing.
    virtual bool convert_all_when_empty() const = 0;
    // The agent tests that a listed table exists before it opens it.
    virtual bool checks_missing_tables() const = 0;
    virtual void table_missing(const std::wstring& name) = 0;
    // A standard exception that ended the run.
    virtual void run_failed(const std::exception& e) = 0;
};
