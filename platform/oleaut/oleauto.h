// OLE Automation values on Linux: BSTR, VARIANT, SAFEARRAY, DECIMAL, CY, the
// date number and the Var* conversions. Layouts match the Windows ABI so that
// code copying raw bytes out of a value sees the same bytes.
#pragma once
#include "platform/win32/win_types.h"

#include <cstddef>

typedef float FLOAT;
typedef double DOUBLE;
typedef void* PVOID;
typedef OLECHAR* LPOLESTR;
typedef const OLECHAR* LPCOLESTR;

// Interfaces carried by reference only; platform/com defines them.
struct IUnknown;
struct IDispatch;

enum VARENUM : VARTYPE {
    VT_EMPTY = 0,
    VT_NULL = 1,
    VT_I2 = 2,
    VT_I4 = 3,
    VT_R4 = 4,
    VT_R8 = 5,
    VT_CY = 6,
    VT_DATE = 7,
    VT_BSTR = 8,
    VT_DISPATCH = 9,
    VT_ERROR = 10,
    VT_BOOL = 11,
    VT_VARIANT = 12,
    VT_UNKNOWN = 13,
    VT_DECIMAL = 14,
    VT_I1 = 16,
    VT_UI1 = 17,
    VT_UI2 = 18,
    VT_UI4 = 19,
    VT_I8 = 20,
    VT_UI8 = 21,
    VT_INT = 22,
    VT_UINT = 23,
    VT_VOID = 24,
    VT_HRESULT = 25,
    VT_PTR = 26,
    VT_SAFEARRAY = 27,
    VT_CARRAY = 28,
    VT_USERDEFINED = 29,
    VT_LPSTR = 30,
    VT_LPWSTR = 31,
    VT_RECORD = 36,
    VT_FILETIME = 64,
    VT_BLOB = 65,
    VT_STREAM = 66,
    VT_STORAGE = 67,
    VT_STREAMED_OBJECT = 68,
    VT_STORED_OBJECT = 69,
    VT_BLOB_OBJECT = 70,
    VT_CF = 71,
    VT_CLSID = 72,
    VT_VECTOR = 0x1000,
    VT_ARRAY = 0x2000,
    VT_BYREF = 0x4000,
    VT_RESERVED = 0x8000,
    VT_TYPEMASK = 0x0fff,
};

// Currency: a 64-bit integer scaled by 10,000.
union CY {
    struct {
        ULONG Lo;
        LONG Hi;
    };
    LONGLONG int64;
};
static_assert(sizeof(CY) == 8);

// 96-bit unsigned mantissa, a power-of-ten scale 0..28 and a sign.
constexpr BYTE DECIMAL_NEG = 0x80;
constexpr BYTE DECIMAL_MAX_SCALE = 28;
struct DECIMAL {
    USHORT wReserved; // holds the vt while the DECIMAL sits in a VARIANT
    union {
        struct {
            BYTE scale;
            BYTE sign;
        };
        USHORT signscale;
    };
    ULONG Hi32;
    union {
        struct {
            ULONG Lo32;
            ULONG Mid32;
        };
        ULONGLONG Lo64;
    };
};
static_assert(sizeof(DECIMAL) == 16);

struct SAFEARRAYBOUND {
    ULONG cElements;
    LONG lLbound;
};

// cDims bounds follow the header (rgsabound is allocated to cDims entries).
struct SAFEARRAY {
    USHORT cDims;
    USHORT fFeatures;
    ULONG cbElements;
    ULONG cLocks;
    PVOID pvData;
    SAFEARRAYBOUND rgsabound[1];
};

// fFeatures flags
constexpr USHORT FADF_AUTO = 0x0001;
constexpr USHORT FADF_STATIC = 0x0002;
constexpr USHORT FADF_EMBEDDED = 0x0004;
constexpr USHORT FADF_FIXEDSIZE = 0x0010;
constexpr USHORT FADF_RECORD = 0x0020;
constexpr USHORT FADF_HAVEIID = 0x0040;
constexpr USHORT FADF_HAVEVARTYPE = 0x0080;
constexpr USHORT FADF_BSTR = 0x0100;
constexpr USHORT FADF_UNKNOWN = 0x0200;
constexpr USHORT FADF_DISPATCH = 0x0400;
constexpr USHORT FADF_VARIANT = 0x0800;

struct VARIANT;
typedef VARIANT VARIANTARG;
typedef VARIANT* LPVARIANT;

struct VARIANT {
    union {
        struct {
            VARTYPE vt;
            WORD wReserved1;
            WORD wReserved2;
            WORD wReserved3;
            union {
                LONGLONG llVal;
                LONG lVal;
                BYTE bVal;
                SHORT iVal;
                FLOAT fltVal;
                DOUBLE dblVal;
                VARIANT_BOOL boolVal;
                SCODE scode;
                CY cyVal;
                DATE date;
                BSTR bstrVal;
                IUnknown* punkVal;
                IDispatch* pdispVal;
                SAFEARRAY* parray;
                BYTE* pbVal;
                SHORT* piVal;
                LONG* plVal;
                LONGLONG* pllVal;
                FLOAT* pfltVal;
                DOUBLE* pdblVal;
                VARIANT_BOOL* pboolVal;
                SCODE* pscode;
                CY* pcyVal;
                DATE* pdate;
                BSTR* pbstrVal;
                IUnknown** ppunkVal;
                IDispatch** ppdispVal;
                SAFEARRAY** pparray;
                VARIANT* pvarVal;
                PVOID byref;
                CHAR cVal;
                USHORT uiVal;
                ULONG ulVal;
                ULONGLONG ullVal;
                INT intVal;
                UINT uintVal;
                DECIMAL* pdecVal;
                CHAR* pcVal;
                USHORT* puiVal;
                ULONG* pulVal;
                ULONGLONG* pullVal;
                INT* pintVal;
                UINT* puintVal;
                char* pszVal;     // VT_LPSTR
                wchar_t* pwszVal; // VT_LPWSTR
                struct {
                    PVOID pvRecord;
                    PVOID pRecInfo;
                } brecVal;
            };
        };
        DECIMAL decVal;
    };
};
static_assert(sizeof(VARIANT) == 24);
static_assert(offsetof(VARIANT, vt) == 0 && offsetof(VARIANT, llVal) == 8);

// Flags of VariantChangeType(Ex) and the Var*FromStr functions.
constexpr USHORT VARIANT_NOVALUEPROP = 0x01;
constexpr USHORT VARIANT_ALPHABOOL = 0x02;
constexpr USHORT VARIANT_NOUSEROVERRIDE = 0x04;
constexpr USHORT VARIANT_LOCALBOOL = 0x10;
constexpr ULONG LOCALE_NOUSEROVERRIDE = 0x80000000u;
constexpr ULONG VAR_TIMEVALUEONLY = 0x01;
constexpr ULONG VAR_DATEVALUEONLY = 0x02;

// Locale 1033: English (United States), the only one the stand-in knows.
constexpr LCID LANG_EN_US_LCID = 1033;

// ---- BSTR: a uint32 character count, the characters, a NUL -------------------
BSTR SysAllocString(const OLECHAR* psz);
BSTR SysAllocStringLen(const OLECHAR* pch, UINT cch);
BOOL SysReAllocString(BSTR* pbstr, const OLECHAR* psz);
BOOL SysReAllocStringLen(BSTR* pbstr, const OLECHAR* pch, UINT cch);
void SysFreeString(BSTR bstr);
UINT SysStringLen(BSTR bstr);
UINT SysStringByteLen(BSTR bstr);

// ---- SAFEARRAY ----------------------------------------------------------------
SAFEARRAY* SafeArrayCreate(VARTYPE vt, UINT cDims, const SAFEARRAYBOUND* rgsabound);
SAFEARRAY* SafeArrayCreateVector(VARTYPE vt, LONG lLbound, ULONG cElements);
HRESULT SafeArrayRedim(SAFEARRAY* psa, const SAFEARRAYBOUND* psaboundNew);
HRESULT SafeArrayDestroy(SAFEARRAY* psa);
HRESULT SafeArrayCopy(const SAFEARRAY* psa, SAFEARRAY** ppsaOut);
HRESULT SafeArrayGetLBound(const SAFEARRAY* psa, UINT nDim, LONG* plLbound);
HRESULT SafeArrayGetUBound(const SAFEARRAY* psa, UINT nDim, LONG* plUbound);
UINT SafeArrayGetDim(const SAFEARRAY* psa);
UINT SafeArrayGetElemsize(const SAFEARRAY* psa);
HRESULT SafeArrayGetVartype(const SAFEARRAY* psa, VARTYPE* pvt);
HRESULT SafeArrayAccessData(SAFEARRAY* psa, void** ppvData);
HRESULT SafeArrayUnaccessData(SAFEARRAY* psa);
HRESULT SafeArrayLock(SAFEARRAY* psa);
HRESULT SafeArrayUnlock(SAFEARRAY* psa);
HRESULT SafeArrayGetElement(SAFEARRAY* psa, const LONG* rgIndices, void* pv);
HRESULT SafeArrayPutElement(SAFEARRAY* psa, const LONG* rgIndices, const void* pv);

// ---- VARIANT ------------------------------------------------------------------
void VariantInit(VARIANT* pvarg);
HRESULT VariantClear(VARIANT* pvarg);
HRESULT VariantCopy(VARIANT* pvargDest, const VARIANT* pvargSrc);
HRESULT VariantChangeType(VARIANT* pvargDest, const VARIANT* pvarSrc, USHORT wFlags, VARTYPE vt);
HRESULT VariantChangeTypeEx(VARIANT* pvargDest, const VARIANT* pvarSrc, LCID lcid, USHORT wFlags, VARTYPE vt);

// ---- Date numbers: days since 1899-12-30, the time as a fraction ---------------
INT SystemTimeToVariantTime(const SYSTEMTIME* lpSystemTime, DATE* pvtime);
INT VariantTimeToSystemTime(DATE vtime, SYSTEMTIME* lpSystemTime);
HRESULT VarDateFromStr(const OLECHAR* strIn, LCID lcid, ULONG dwFlags, DATE* pdateOut);
HRESULT VarBstrFromDate(DATE dateIn, LCID lcid, ULONG dwFlags, BSTR* pbstrOut);

// ---- Var* conversions (outputs are written only on S_OK) ------------------------
HRESULT VarI4FromCy(CY cyIn, LONG* plOut);
HRESULT VarI8FromCy(CY cyIn, LONGLONG* pi64Out);
HRESULT VarUI8FromCy(CY cyIn, ULONGLONG* pi64Out);
HRESULT VarR8FromCy(CY cyIn, DOUBLE* pdblOut);
HRESULT VarCyFromI8(LONGLONG i64In, CY* pcyOut);
HRESULT VarCyFromR8(DOUBLE dblIn, CY* pcyOut);
HRESULT VarCyFromDec(const DECIMAL* pdecIn, CY* pcyOut);
HRESULT VarCyFromStr(const OLECHAR* strIn, LCID lcid, ULONG dwFlags, CY* pcyOut);
HRESULT VarBstrFromCy(CY cyIn, LCID lcid, ULONG dwFlags, BSTR* pbstrOut);

HRESULT VarI1FromDec(const DECIMAL* pdecIn, CHAR* pcOut);
HRESULT VarUI1FromDec(const DECIMAL* pdecIn, BYTE* pbOut);
HRESULT VarI2FromDec(const DECIMAL* pdecIn, SHORT* psOut);
HRESULT VarUI2FromDec(const DECIMAL* pdecIn, USHORT* puiOut);
HRESULT VarI4FromDec(const DECIMAL* pdecIn, LONG* plOut);
HRESULT VarUI4FromDec(const DECIMAL* pdecIn, ULONG* pulOut);
HRESULT VarI8FromDec(const DECIMAL* pdecIn, LONGLONG* pi64Out);
HRESULT VarUI8FromDec(const DECIMAL* pdecIn, ULONGLONG* pi64Out);
HRESULT VarR4FromDec(const DECIMAL* pdecIn, FLOAT* pfltOut);
HRESULT VarR8FromDec(const DECIMAL* pdecIn, DOUBLE* pdblOut);
HRESULT VarDecFromI8(LONGLONG i64In, DECIMAL* pdecOut);
HRESULT VarDecFromUI8(ULONGLONG ui64In, DECIMAL* pdecOut);
HRESULT VarDecFromR8(DOUBLE dblIn, DECIMAL* pdecOut);
HRESULT VarDecFromCy(CY cyIn, DECIMAL* pdecOut);
HRESULT VarDecFromStr(const OLECHAR* strIn, LCID lcid, ULONG dwFlags, DECIMAL* pdecOut);
HRESULT VarBstrFromDec(const DECIMAL* pdecIn, LCID lcid, ULONG dwFlags, BSTR* pbstrOut);

HRESULT VarR8FromStr(const OLECHAR* strIn, LCID lcid, ULONG dwFlags, DOUBLE* pdblOut);
HRESULT VarI8FromStr(const OLECHAR* strIn, LCID lcid, ULONG dwFlags, LONGLONG* pi64Out);
HRESULT VarBstrFromR8(DOUBLE dblIn, LCID lcid, ULONG dwFlags, BSTR* pbstrOut);
