// Base of the conversion driver: a job for a worker thread with the run's
// names, flags and log file.
#pragma once
#include <atomic>
#include <string>

#include "TK/tk_thread_functor.h"

class tk_converter : public tk_thread_functor {
public:
    tk_converter();

    virtual void set_silent(bool value);

    // Names the trace log and switches logging on; refuses folders, read-only
    // files and missing folders with a level-1 tk_exception. The name is kept
    // in log_file even when refused.
    void set_logfile(const std::string& name);

    std::atomic<bool> finished{false}; // read by the interface thread while the run writes it
    bool silent = false;
    std::wstring src;  // SQL Server database
    std::wstring dest; // Oracle database (service)
    std::string log_file;
};
