// A value of one record that could not be read from the source or written to
// the target whole. Its own type lets the run report it for the record (with
// the column named) and go on with the rest of the table.
#pragma once
#include <string>

#include "TK/tk_exception.h"

class udb_value_exception : public tk_exception {
public:
    udb_value_exception(const std::wstring& column, const std::wstring& what)
        : tk_exception(L"Column '" + column + L"': " + what, TK_LEVEL_CONTINUE)
    {}
};
