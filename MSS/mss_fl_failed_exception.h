// The bulk-insert path cannot be used for a table; its writer falls back to INSERT statements.
#pragma once
#include "TK/tk_exception.h"

class mss_fl_failed_exception : public tk_exception {
public:
    mss_fl_failed_exception() : tk_exception("The bulk-insert path is not available for the table.", 0) {}
};
