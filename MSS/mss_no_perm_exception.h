// Raised when a login cannot open a chosen database.
#pragma once
#include <string>

#include "TK/tk_exception.h"

class mss_no_perm_exception : public tk_exception {
public:
    mss_no_perm_exception(const std::wstring& user, const std::wstring& database);
    mss_no_perm_exception(const mss_no_perm_exception&) = default;
};
