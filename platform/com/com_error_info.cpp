// The thread error object and a plain error object.
#include <atomic>
#include <string>
#include "platform/com/com.h"
#include "platform/oleaut/oleauto.h"

namespace {

thread_local IErrorInfo* t_error = nullptr;

// Releases the thread's error object when the thread ends.
struct thread_error_guard {
    ~thread_error_guard()
    {
        if (t_error) {
            t_error->Release();
            t_error = nullptr;
        }
    }
};
thread_local thread_error_guard t_guard;

class plain_error_info final : public IErrorInfo {
public:
    plain_error_info(const GUID& g, std::wstring src, std::wstring desc)
        : guid_(g), source_(std::move(src)), description_(std::move(desc))
    {}

    HRESULT QueryInterface(REFIID riid, void** ppv) override
    {
        if (!ppv) return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IErrorInfo) {
            *ppv = static_cast<IErrorInfo*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override
    {
        ULONG n = --refs_;
        if (n == 0) delete this;
        return n;
    }
    HRESULT GetGUID(GUID* p) override
    {
        if (!p) return E_INVALIDARG;
        *p = guid_;
        return S_OK;
    }
    HRESULT GetSource(BSTR* p) override { return give(source_, p); }
    HRESULT GetDescription(BSTR* p) override { return give(description_, p); }
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

private:
    static HRESULT give(const std::wstring& s, BSTR* p)
    {
        if (!p) return E_INVALIDARG;
        *p = SysAllocStringLen(s.data(), static_cast<UINT>(s.size()));
        return *p ? S_OK : E_OUTOFMEMORY;
    }
    std::atomic<ULONG> refs_{1};
    GUID guid_;
    std::wstring source_;
    std::wstring description_;
};

} // namespace

HRESULT GetErrorInfo(ULONG, IErrorInfo** pperrinfo)
{
    (void)t_guard;
    if (!pperrinfo) return E_INVALIDARG;
    *pperrinfo = t_error;
    t_error = nullptr;
    return *pperrinfo ? S_OK : S_FALSE;
}

HRESULT SetErrorInfo(ULONG, IErrorInfo* perrinfo)
{
    (void)t_guard;
    if (perrinfo) perrinfo->AddRef();
    if (t_error) t_error->Release();
    t_error = perrinfo;
    return S_OK;
}

IErrorInfo* tvx_create_error_info(const GUID& guid, const wchar_t* source, const wchar_t* description)
{
    return new plain_error_info(guid, source ? source : L"", description ? description : L"");
}
