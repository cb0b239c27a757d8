#include "platform/oledb/odbp_errors.h"
#include <memory>
#include "platform/oledb/odbp_object.h"
#include "platform/oledb/odbp_text.h"

const wchar_t* const kOdbpNativeSource = L"SQL Server Native Client 11.0 (embedded)";
const wchar_t* const kOdbpGenericSource = L"OLE DB Provider for SQL Server (embedded)";

namespace {

class sql_error_info final : public ISQLErrorInfo, public odbp_object {
public:
    sql_error_info(std::string state, long native) : state_(std::move(state)), native_(native) {}
    ODBP_IUNKNOWN_METHODS
    HRESULT QueryInterface(REFIID riid, void** ppv) override
    {
        if (!ppv) return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_ISQLErrorInfo) return give(static_cast<ISQLErrorInfo*>(this), ppv);
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    HRESULT GetSQLInfo(BSTR* pbstrSQLState, LONG* plNativeError) override
    {
        if (pbstrSQLState) {
            std::wstring w = odbp_widen(state_);
            *pbstrSQLState = SysAllocStringLen(w.data(), static_cast<UINT>(w.size()));
        }
        if (plNativeError) *plNativeError = static_cast<LONG>(native_);
        return S_OK;
    }

private:
    std::string state_;
    long native_;
};

class error_records final : public IErrorInfo, public IErrorRecords, public odbp_object {
public:
    error_records(std::vector<odbp_error_record> r, std::wstring source)
        : records_(std::move(r)), source_(std::move(source))
    {}
    ODBP_IUNKNOWN_METHODS
    HRESULT QueryInterface(REFIID riid, void** ppv) override
    {
        if (!ppv) return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IErrorInfo) return give(static_cast<IErrorInfo*>(this), ppv);
        if (riid == IID_IErrorRecords) return give(static_cast<IErrorRecords*>(this), ppv);
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    // IErrorInfo: the first record
    HRESULT GetGUID(GUID* p) override
    {
        if (!p) return E_INVALIDARG;
        *p = IID_NULL;
        return S_OK;
    }
    HRESULT GetSource(BSTR* p) override { return bstr(source_, p); }
    HRESULT GetDescription(BSTR* p) override
    {
        return bstr(records_.empty() ? std::wstring() : records_[0].description, p);
    }
    HRESULT GetHelpFile(BSTR* p) override
    {
        if (p) *p = nullptr;
        return E_NOTIMPL;
    }
    HRESULT GetHelpContext(DWORD* p) override
    {
        if (p) *p = 0;
        return E_NOTIMPL;
    }

    // IErrorRecords
    HRESULT AddErrorRecord(ERRORINFO* info, DWORD, DISPPARAMS*, IUnknown*, DWORD) override
    {
        if (!info) return E_INVALIDARG;
        records_.push_back({info->hrError, static_cast<long>(info->dwMinor), "", L""});
        return S_OK;
    }
    HRESULT GetBasicErrorInfo(ULONG n, ERRORINFO* info) override
    {
        if (!info) return E_INVALIDARG;
        if (n >= records_.size()) return DB_E_BADRECORDNUM_LOCAL;
        *info = ERRORINFO{records_[n].hr, static_cast<DWORD>(records_[n].native), CLSID_SQLNCLI11, IID_NULL, 0};
        return S_OK;
    }
    HRESULT GetCustomErrorObject(ULONG n, REFIID riid, IUnknown** pp) override
    {
        if (!pp) return E_INVALIDARG;
        *pp = nullptr;
        if (n >= records_.size()) return DB_E_BADRECORDNUM_LOCAL;
        if (riid != IID_ISQLErrorInfo && riid != IID_IUnknown) return S_OK; // no such custom object
        if (records_[n].sqlstate.empty()) return S_OK;
        auto* o = new sql_error_info(records_[n].sqlstate, records_[n].native);
        HRESULT hr = o->QueryInterface(riid, reinterpret_cast<void**>(pp));
        o->Release();
        return hr;
    }
    HRESULT GetErrorInfo(ULONG n, LCID, IErrorInfo** pp) override
    {
        if (!pp) return E_INVALIDARG;
        *pp = nullptr;
        if (n >= records_.size()) return DB_E_BADRECORDNUM_LOCAL;
        *pp = tvx_create_error_info(IID_NULL, source_.c_str(), records_[n].description.c_str());
        return S_OK;
    }
    HRESULT GetErrorParameters(ULONG, DISPPARAMS*) override { return E_NOTIMPL; }
    HRESULT GetRecordCount(ULONG* pc) override
    {
        if (!pc) return E_INVALIDARG;
        *pc = static_cast<ULONG>(records_.size());
        return S_OK;
    }

private:
    static constexpr HRESULT DB_E_BADRECORDNUM_LOCAL = static_cast<HRESULT>(0x80040E01u);
    static HRESULT bstr(const std::wstring& s, BSTR* p)
    {
        if (!p) return E_INVALIDARG;
        *p = SysAllocStringLen(s.data(), static_cast<UINT>(s.size()));
        return S_OK;
    }
    std::vector<odbp_error_record> records_;
    std::wstring source_;
};

} // namespace

HRESULT odbp_hresult_of(int n, bool connecting)
{
    switch (n) {
    case 208:
        return DB_E_NOTABLE;
    case 18456:
        return DB_SEC_E_AUTH_FAILED;
    case 2627:
    case 2601:
    case 547:
    case 515:
        return DB_E_INTEGRITYVIOLATION;
    case 245:
    case 8114:
    case 241:
    case 8169:
    case 235:
    case 257:
        return DB_E_CANTCONVERTVALUE;
    case 8115:
    case 220:
    case 242:
        return DB_E_DATAOVERFLOW;
    case 229:
    case 262:
        return DB_SEC_E_PERMISSIONDENIED;
    case 2714:
        return DB_E_DUPLICATETABLEID;
    case 4060:
    case 17:
        return E_FAIL;
    default:
        return connecting ? E_FAIL : DB_E_ERRORSINCOMMAND;
    }
}

void odbp_clear_error() { SetErrorInfo(0, nullptr); }

HRESULT odbp_fail(HRESULT hr, const std::vector<odbp_error_record>& records, const std::wstring& source)
{
    auto* e = new error_records(records, source);
    SetErrorInfo(0, static_cast<IErrorInfo*>(e));
    e->Release();
    return hr;
}

HRESULT odbp_fail(const std::vector<mssx_error>& errors, bool connecting, const std::wstring& source)
{
    std::vector<odbp_error_record> recs;
    for (auto& e : errors)
        recs.push_back(
            {odbp_hresult_of(e.number, connecting), e.number, mssx_sqlstate(e.number), odbp_widen(e.what())});
    return odbp_fail(recs.empty() ? E_FAIL : recs.front().hr, recs, source);
}

HRESULT odbp_fail(const mssx_error& e, bool connecting, const std::wstring& source)
{
    return odbp_fail(std::vector<mssx_error>{e}, connecting, source);
}

HRESULT odbp_fail(HRESULT hr, const std::wstring& description, const std::wstring& source)
{
    return odbp_fail(hr, std::vector<odbp_error_record>{{hr, 0, "", description}}, source);
}
