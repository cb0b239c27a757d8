// A value could not be converted from its type to the requested one.
#pragma once
#include "TK/tk_exception.h"

class ole_cast_exception : public tk_exception {
public:
    ole_cast_exception() : tk_exception("Cannot cast from source type to destination type", TK_LEVEL_STOP) {}
    ole_cast_exception(const ole_cast_exception&) = default;
};
