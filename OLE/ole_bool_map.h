// How booleans read and print: mode 1 as -1/0, any other mode as 1/0.
#pragma once
#include "TK/tk_singleton.h"

#include <cstdint>

class ole_bool_map : public tk_singleton<ole_bool_map> {
public:
    explicit ole_bool_map(int32_t m) : mode(m) {}

    int32_t mode;
};
