#include "MSS/mss_no_perm_exception.h"

mss_no_perm_exception::mss_no_perm_exception(const std::wstring& user, const std::wstring& database)
    : tk_exception(L"User '" + user + L"' does not have permission to access database '" + database + L"'", 0)
{}
