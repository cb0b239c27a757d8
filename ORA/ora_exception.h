// An Oracle error carried to the error handler: code = 0x100000 | ORA number (low 16 bits).
#pragma once
#include <cstdint>
#include <string>
#include "TK/tk_exception.h"

class ora_exception : public tk_exception {
public:
    static constexpr uint32_t code_mark = 0x100000;

    ora_exception(int32_t ora_code, const std::string& text);
    ora_exception(const ora_exception&) = default;
    ora_exception& operator=(const ora_exception&) = default;

    // The ORA number as the error handler's tables key it (low 16 bits, mark removed).
    uint32_t ora_number() const { return code & 0xFFFF; }
    // Whether the target will refuse every later statement the same way: it is
    // out of space, its files cannot be read or written, a tablespace is missing
    // or closed to the user, or the connection is gone; or the statement that
    // failed was marked so (a user that cannot be created).
    bool refuses_every_row() const;
    void mark_refuses_every_row() { every_row = true; }

private:
    bool every_row = false;
};
