// Where the Oracle side reports an error that it goes on from: the driver's
// error handler during a run, the trace log when nobody listens.
#pragma once
#include <functional>
#include <string>

#include "TK/tk_exception.h"

class ora_error_sink {
public:
    // The handler gets the error and its context ("Foreign key 'FK_X'", a table name...).
    // It may throw (tk_final_exception) to end the run.
    using handler = std::function<void(const tk_exception& error, const std::wstring& context)>;

    void set_handler(handler h) { on_error = std::move(h); }
    void report(const tk_exception& error, const std::wstring& context) const;

private:
    handler on_error;
};
