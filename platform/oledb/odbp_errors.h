// Error records of the provider: every failing call leaves an error object
// with one record per server message (description, source, SQLSTATE, native
// number) on the calling thread.
#pragma once
#include <string>
#include <vector>
#include "platform/mssx/mssx_error.h"
#include "platform/oledb/oledb.h"

struct odbp_error_record {
    HRESULT hr;
    long native;
    std::string sqlstate;
    std::wstring description;
};

// The HRESULT of a server error: in a command (or of a connect).
HRESULT odbp_hresult_of(int native, bool connecting);

// Sets the thread's error object to the records and returns hr.
HRESULT odbp_fail(HRESULT hr, const std::vector<odbp_error_record>& records, const std::wstring& source);
// One server error: the HRESULT from its number.
HRESULT odbp_fail(const mssx_error& e, bool connecting, const std::wstring& source);
HRESULT odbp_fail(const std::vector<mssx_error>& errors, bool connecting, const std::wstring& source);
// A provider error of our own (no server number).
HRESULT odbp_fail(HRESULT hr, const std::wstring& description, const std::wstring& source);
// Clears the thread's error object (every provider method does so on entry).
void odbp_clear_error();

extern const wchar_t* const kOdbpNativeSource;
extern const wchar_t* const kOdbpGenericSource;
