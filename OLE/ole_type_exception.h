// A text could not be converted to the requested value type.
#pragma once
#include "TK/tk_exception.h"

class ole_type_exception : public tk_exception {
public:
    ole_type_exception() : tk_exception("The operating type is not supported yet", TK_LEVEL_STOP) {}
    ole_type_exception(const ole_type_exception&) = default;
};
