// COM runtime stand-in: IUnknown, GUIDs, per-thread initialisation, a class
// registry behind CoCreateInstance, task memory and the thread error object.
#pragma once
#include <cstddef>
#include <functional>
#include "platform/win32/win_types.h"

struct GUID {
    DWORD Data1;
    WORD Data2;
    WORD Data3;
    BYTE Data4[8];
};
typedef GUID IID;
typedef GUID CLSID;
typedef const GUID& REFGUID;
typedef const IID& REFIID;
typedef const CLSID& REFCLSID;

constexpr bool operator==(const GUID& a, const GUID& b)
{
    if (a.Data1 != b.Data1 || a.Data2 != b.Data2 || a.Data3 != b.Data3) return false;
    for (int i = 0; i < 8; ++i)
        if (a.Data4[i] != b.Data4[i]) return false;
    return true;
}
inline bool IsEqualGUID(REFGUID a, REFGUID b) { return a == b; }
inline bool IsEqualIID(REFIID a, REFIID b) { return a == b; }
inline bool IsEqualCLSID(REFCLSID a, REFCLSID b) { return a == b; }

namespace tvx_com_detail {
constexpr unsigned hex_digit(char c)
{
    return c >= '0' && c <= '9'   ? unsigned(c - '0')
           : c >= 'a' && c <= 'f' ? unsigned(c - 'a' + 10)
           : c >= 'A' && c <= 'F' ? unsigned(c - 'A' + 10)
                                  : throw "bad hex digit in GUID text";
}
constexpr unsigned long long hex_at(const char* s, int pos, int n)
{
    unsigned long long v = 0;
    for (int i = 0; i < n; ++i) v = v * 16 + hex_digit(s[pos + i]);
    return v;
}
} // namespace tvx_com_detail

// A GUID from its registry text "XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX" (no braces),
// evaluated at compile time.
consteval GUID tvx_guid(const char (&s)[37])
{
    using tvx_com_detail::hex_at;
    if (s[8] != '-' || s[13] != '-' || s[18] != '-' || s[23] != '-') throw "bad GUID text";
    GUID g{};
    g.Data1 = DWORD(hex_at(s, 0, 8));
    g.Data2 = WORD(hex_at(s, 9, 4));
    g.Data3 = WORD(hex_at(s, 14, 4));
    g.Data4[0] = BYTE(hex_at(s, 19, 2));
    g.Data4[1] = BYTE(hex_at(s, 21, 2));
    for (int i = 0; i < 6; ++i) g.Data4[2 + i] = BYTE(hex_at(s, 24 + 2 * i, 2));
    return g;
}

inline constexpr IID IID_NULL = {};
inline constexpr IID IID_IUnknown = tvx_guid("00000000-0000-0000-C000-000000000046");
inline constexpr IID IID_IErrorInfo = tvx_guid("1CF2B120-547D-101B-8E65-08002B2BD119");
inline constexpr IID IID_ISequentialStream = tvx_guid("0C733A30-2A1C-11CE-ADE5-00AA0044773D");

// Failure codes of the runtime.
constexpr HRESULT REGDB_E_CLASSNOTREG = static_cast<HRESULT>(0x80040154u);
constexpr HRESULT CLASS_E_NOAGGREGATION = static_cast<HRESULT>(0x80040110u);
constexpr HRESULT CO_E_NOTINITIALIZED = static_cast<HRESULT>(0x800401F0u);
constexpr HRESULT RPC_E_CHANGED_MODE = static_cast<HRESULT>(0x80010106u);
constexpr HRESULT STG_E_INVALIDPOINTER = static_cast<HRESULT>(0x80030009u);
constexpr HRESULT STG_E_ACCESSDENIED = static_cast<HRESULT>(0x80030005u);
constexpr HRESULT STG_E_READFAULT = static_cast<HRESULT>(0x8003001Eu);

constexpr DWORD CLSCTX_INPROC_SERVER = 0x1;
constexpr DWORD CLSCTX_INPROC_HANDLER = 0x2;
constexpr DWORD CLSCTX_LOCAL_SERVER = 0x4;
constexpr DWORD CLSCTX_REMOTE_SERVER = 0x10;
constexpr DWORD CLSCTX_ALL = CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER;
constexpr DWORD CLSCTX_SERVER = CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER;

constexpr DWORD COINIT_MULTITHREADED = 0x0;
constexpr DWORD COINIT_APARTMENTTHREADED = 0x2;

constexpr DWORD STGM_READ = 0x0;
constexpr DWORD STGM_WRITE = 0x1;
constexpr DWORD STGM_READWRITE = 0x2;

// Objects are ordinary reference-counted C++ objects: no apartments, no
// marshalling. The virtual destructor lets an implementation delete itself
// through its most basic interface.
struct IUnknown {
    virtual HRESULT QueryInterface(REFIID riid, void** ppv) = 0;
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;

protected:
    virtual ~IUnknown() = default;
};

struct ISequentialStream : IUnknown {
    virtual HRESULT Read(void* pv, ULONG cb, ULONG* pcbRead) = 0;
    virtual HRESULT Write(const void* pv, ULONG cb, ULONG* pcbWritten) = 0;
};

struct IErrorInfo : IUnknown {
    virtual HRESULT GetGUID(GUID* pGUID) = 0;
    virtual HRESULT GetSource(BSTR* pBstrSource) = 0;
    virtual HRESULT GetDescription(BSTR* pBstrDescription) = 0;
    virtual HRESULT GetHelpFile(BSTR* pBstrHelpFile) = 0;
    virtual HRESULT GetHelpContext(DWORD* pdwHelpContext) = 0;
};

// Per-thread initialisation: S_OK on the first call of a thread, S_FALSE on
// the following ones; CoUninitialize undoes one call.
HRESULT CoInitialize(void* reserved);
HRESULT CoInitializeEx(void* reserved, DWORD coinit);
void CoUninitialize();

HRESULT CoCreateInstance(REFCLSID rclsid, IUnknown* pUnkOuter, DWORD dwClsContext, REFIID riid, void** ppv);

void* CoTaskMemAlloc(size_t cb);
void* CoTaskMemRealloc(void* pv, size_t cb);
void CoTaskMemFree(void* pv);

// The calling thread's error object. GetErrorInfo hands it over and clears it
// (S_FALSE when there is none); SetErrorInfo replaces it (null clears it).
HRESULT GetErrorInfo(ULONG dwReserved, IErrorInfo** pperrinfo);
HRESULT SetErrorInfo(ULONG dwReserved, IErrorInfo* perrinfo);

// A plain error object with a source and a description (used where no richer
// error object is built). Returns it with one reference.
IErrorInfo* tvx_create_error_info(const GUID& guid, const wchar_t* source, const wchar_t* description);

// The class registry. A factory creates a new object and returns the asked
// interface with one reference, or an error code.
using tvx_class_factory = std::function<HRESULT(REFIID riid, void** ppv)>;
void tvx_com_register_class(REFCLSID clsid, tvx_class_factory factory);
// Removes a class: CoCreateInstance of it then fails with REGDB_E_CLASSNOTREG
// (how tests play "provider not installed"). Returns whether it was there.
bool tvx_com_unregister_class(REFCLSID clsid);
bool tvx_com_is_registered(REFCLSID clsid);
// When on, CoCreateInstance on a thread that never initialised COM fails with
// CO_E_NOTINITIALIZED (off by default).
void tvx_com_set_strict(bool strict);

// Registers the classes that ship with the platform (the SQL Server
// providers, the service component, the conversion object); defined by the
// OLE DB stand-in and run once, on the first CoCreateInstance.
void tvx_register_platform_classes();
