// A value that the user's type mapping cannot convert. Its own type lets the run
// report it once for the table and go on with the next table.
#pragma once
#include "TK/tk_exception.h"

class mutator_conversion_exception : public tk_exception {
public:
    mutator_conversion_exception() : tk_exception("Data conversion is not supported for given type mapping", 0) {}
};
