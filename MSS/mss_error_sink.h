// Where the SQL Server writer reports an error that it goes on from: a
// handler set by whoever drives it, the trace log when nobody listens.
#pragma once
#include <functional>
#include <string>

#include "TK/tk_exception.h"

class mss_error_sink {
public:
    // The handler gets the error and its context ("Foreign key 'FK_X'", "View 'V'").
    // It may throw (tk_final_exception) to end the run.
    using handler = std::function<void(const tk_exception& error, const std::wstring& context)>;

    void set_handler(handler h) { on_error = std::move(h); }
    void report(const tk_exception& error, const std::wstring& context) const;

private:
    handler on_error;
};
