#include "MSS/odb_exception.h"

#include "OLE/ole_com_ptr.h"
#include "TK/tk_logger.h"
#include "TK/tk_text.h"
#include "platform/win32/win_compare.h"

namespace {

std::string narrow(const std::wstring& w)
{
    try {
        return to_utf8(w);
    } catch (...) {
        return std::string();
    }
}

std::wstring take_bstr(BSTR b)
{
    std::wstring s = b ? std::wstring(b, SysStringLen(b)) : std::wstring();
    SysFreeString(b);
    return s;
}

} // namespace

const char* odb_exception::generic_text()
{
    return "Generic error occurred while migrating the data.\n"
           "Please contact your support service for a solution.";
}

odb_exception::odb_exception(const std::string& text) : tk_exception(text, 0) {}

odb_exception::odb_exception(HRESULT h, bool from_check) : tk_exception(0)
{
    tk_logger::log(1, "odb_exception::odb_exception(%08X)", static_cast<unsigned>(h));
    code = 0x80000u | (static_cast<DWORD>(h) & 0xFFFFu);
    ole_com_ptr<IErrorInfo> info;
    if (GetErrorInfo(0, &info) != S_OK || info.empty()) {
        tk_logger::log(2, "dump_error: GetErrorInfo failed");
        return;
    }
    ole_com_ptr<IErrorRecords> records;
    if (FAILED(info.p->QueryInterface(IID_IErrorRecords, records.out())) || records.empty()) {
        auto [src, desc] = error_info_dispatcher(info.p);
        message = narrow(desc);
        source = src;
        return;
    }
    tk_logger::log(2, "Got IErrorRecords");
    extract_from_records2(records.p, from_check);
}

void odb_exception::extract_from_records2(IErrorRecords* records, bool from_check)
{
    tk_logger::log(2, "odb_exception::extract_from_records2(%d)", from_check ? 1 : 0);
    ULONG n = 0;
    if (FAILED(records->GetRecordCount(&n))) n = 0;
    tk_logger::log(1, "Got %d record(s)", static_cast<int>(n));
    message.clear();
    for (ULONG i = 0; i < n; ++i) {
        ERRORINFO basic{};
        records->GetBasicErrorInfo(i, &basic);
        ole_com_ptr<IUnknown> custom;
        records->GetCustomErrorObject(i, IID_ISQLErrorInfo, &custom);
        tk_logger::log(2, "HRESULT:\t0x%08X", static_cast<unsigned>(basic.hrError));
        if (!custom.empty()) {
            ole_com_ptr<ISQLErrorInfo> sql;
            if (SUCCEEDED(custom.p->QueryInterface(IID_ISQLErrorInfo, sql.out())) && !sql.empty()) {
                BSTR state = nullptr;
                LONG native = 0;
                if (SUCCEEDED(sql.p->GetSQLInfo(&state, &native))) {
                    // A state that does not convert is only left out of the trace.
                    const std::string s = narrow(take_bstr(state));
                    tk_logger::log(2, "SQLSTATE:\t%s", s.c_str());
                    tk_logger::log(2, "Native Error:\t%ld", static_cast<long>(native));
                    if (native_error == 0) native_error = native;
                } else {
                    SysFreeString(state);
                }
            }
        }
        ole_com_ptr<IErrorInfo> rec;
        if (SUCCEEDED(records->GetErrorInfo(i, GetUserDefaultLCID(), &rec)) && !rec.empty()) {
            auto [src, desc] = error_info_dispatcher(rec.p);
            message = narrow(desc);
            source = src;
            tk_logger::log(1, "Process %d record: msg=%s, source=%s", static_cast<int>(i), message.c_str(),
                           narrow(source).c_str());
            if (!message.empty()) break;
        }
    }
    if (message.empty()) message = generic_text();
}

std::pair<std::wstring, std::wstring> odb_exception::error_info_dispatcher(IErrorInfo* info)
{
    std::pair<std::wstring, std::wstring> out;
    tk_logger::log(1, "odb_exception::error_info_dispatcher::ctor");
    BSTR src = nullptr;
    BSTR desc = nullptr;
    if (SUCCEEDED(info->GetSource(&src)) && src) {
        tk_logger::log(1, "Processing source");
        out.first = take_bstr(src);
        tk_logger::log(2, L"Source:\t\t%s\n", out.first.c_str());
    }
    if (SUCCEEDED(info->GetDescription(&desc)) && desc) {
        tk_logger::log(1, "Processing description");
        out.second = take_bstr(desc);
        tk_logger::log(2, L"Error message:\t%s", out.second.c_str());
    }
    return out;
}

std::wstring odb_exception::GetErrorString()
{
    tk_logger::log(2, "odb_exception::GetErrorString");
    ole_com_ptr<IErrorInfo> info;
    if (GetErrorInfo(0, &info) == S_OK && !info.empty()) {
        ole_com_ptr<IErrorRecords> records;
        ULONG n = 0;
        if (SUCCEEDED(info.p->QueryInterface(IID_IErrorRecords, records.out())) && !records.empty() &&
            SUCCEEDED(records.p->GetRecordCount(&n)))
            return extract_from_records1(records.p);
    }
    return to_unicode(std::string(generic_text()));
}

std::wstring odb_exception::extract_from_records1(IErrorRecords* records)
{
    tk_logger::log(2, "odb_exception::extract_from_records1");
    const LCID lcid = GetSystemDefaultLCID();
    ULONG n = 0;
    records->GetRecordCount(&n);
    bool dup_key = false;
    std::wstring result;
    for (ULONG i = 0; i < n; ++i) {
        ERRORINFO basic{};
        records->GetBasicErrorInfo(i, &basic);
        tk_logger::log(1, "GetBasicErrorInfo: HRESULT=%08X, Minor Code=%d", static_cast<unsigned>(basic.hrError),
                       static_cast<int>(basic.dwMinor));
        if (basic.dwMinor == 2627) dup_key = true;
        ole_com_ptr<IErrorInfo> rec;
        if (FAILED(records->GetErrorInfo(i, lcid, &rec)) || rec.empty()) {
            tk_logger::log(1, "pIErrorRecords->GetErrorInfo FAILED");
            continue;
        }
        tk_logger::log(1, "pIErrorRecords->GetErrorInfo SUCCEEDED");
        BSTR desc = nullptr;
        if (rec.p->GetDescription(&desc) == S_OK) {
            tk_logger::log(1, "pIErrorRecords->GetDescription SUCCEEDED");
            const std::wstring d = take_bstr(desc);
            if (!result.empty()) result += L"\n";
            result += d;
        } else {
            SysFreeString(desc);
            tk_logger::log(1, "pIErrorRecords->GetDescription FAILED");
        }
    }
    if (!result.empty()) return result;
    if (dup_key) return L"Violation of PRIMARY KEY constraint.\nCannot insert duplicate key in the table.";
    return to_unicode(std::string(generic_text()));
}

HRESULT odb_check(HRESULT h)
{
    if (FAILED(h)) {
        tk_logger::log(2, "Error code: %08X", static_cast<unsigned>(h));
        throw odb_exception(h, true);
    }
    return h;
}
