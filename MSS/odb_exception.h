// OLE DB failures, and the rule that turns a failed OLE DB call into one.
#pragma once
#include <string>
#include <utility>

#include "TK/tk_exception.h"
#include "platform/oledb/oledb.h"

class odb_exception : public tk_exception {
public:
    std::wstring source;
    long native_error = 0; // the server's error number, when a record gave one

    static constexpr long k_msg_read_failed = 823;
    static constexpr long k_msg_inconsistent_page = 824;
    // The server could not read the database's storage: every later read fails alike.
    bool is_storage_failure() const
    {
        return native_error == k_msg_read_failed || native_error == k_msg_inconsistent_page;
    }

    // From a failed HRESULT and the thread's current error object.
    odb_exception(HRESULT h, bool from_check);
    // From a ready message (the writer side).
    explicit odb_exception(const std::string& text);
    odb_exception(const odb_exception&) = default;
    ~odb_exception() override = default;

    // Text of the thread's current OLE DB error, without building an exception.
    static std::wstring GetErrorString();

    // The generic text used when the provider gave no description.
    static const char* generic_text();

private:
    void extract_from_records2(IErrorRecords* records, bool from_check);
    static std::pair<std::wstring, std::wstring> error_info_dispatcher(IErrorInfo* info);
    static std::wstring extract_from_records1(IErrorRecords* records);
};

// The call-check rule: FAILED(h) is logged and thrown as odb_exception.
// The call is evaluated exactly once by the caller.
HRESULT odb_check(HRESULT h);
