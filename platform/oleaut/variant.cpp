// VariantInit, VariantClear and VariantCopy: the VARIANT owns its BSTR or array.
#include "platform/com/com.h"
#include "platform/oleaut/oleauto.h"

#include <cstring>

namespace {

// Base types a VARIANT may hold by value.
bool valid_base(VARTYPE base)
{
    switch (base) {
    case VT_EMPTY:
    case VT_NULL:
    case VT_I2:
    case VT_I4:
    case VT_R4:
    case VT_R8:
    case VT_CY:
    case VT_DATE:
    case VT_BSTR:
    case VT_DISPATCH:
    case VT_ERROR:
    case VT_BOOL:
    case VT_UNKNOWN:
    case VT_DECIMAL:
    case VT_I1:
    case VT_UI1:
    case VT_UI2:
    case VT_UI4:
    case VT_I8:
    case VT_UI8:
    case VT_INT:
    case VT_UINT:
    case VT_RECORD:
        return true;
    default:
        return false;
    }
}

bool valid_vt(VARTYPE vt)
{
    const VARTYPE base = vt & VT_TYPEMASK;
    if (vt & VT_ARRAY) // arrays of VARIANT are allowed, of EMPTY/NULL not
        return (base == VT_VARIANT || valid_base(base)) && base != VT_EMPTY && base != VT_NULL;
    if (vt & VT_BYREF) return base == VT_VARIANT || (valid_base(base) && base != VT_EMPTY && base != VT_NULL);
    if (vt & ~VT_TYPEMASK) return false;
    return valid_base(base);
}

} // namespace

void VariantInit(VARIANT* pvarg)
{
    if (!pvarg) return;
    pvarg->vt = VT_EMPTY;
    pvarg->wReserved1 = pvarg->wReserved2 = pvarg->wReserved3 = 0;
}

HRESULT VariantClear(VARIANT* pvarg)
{
    if (!pvarg) return E_INVALIDARG;
    const VARTYPE vt = pvarg->vt;
    if (!valid_vt(vt)) return DISP_E_BADVARTYPE;
    if (!(vt & VT_BYREF)) {
        if (vt & VT_ARRAY) {
            const HRESULT hr = SafeArrayDestroy(pvarg->parray);
            if (FAILED(hr)) return hr;
        } else if (vt == VT_BSTR) {
            SysFreeString(pvarg->bstrVal);
        } else if (vt == VT_UNKNOWN && pvarg->punkVal) {
            pvarg->punkVal->Release();
        }
    }
    std::memset(pvarg, 0, sizeof(VARIANT));
    pvarg->vt = VT_EMPTY;
    return S_OK;
}

HRESULT VariantCopy(VARIANT* pvargDest, const VARIANT* pvargSrc)
{
    if (!pvargDest || !pvargSrc) return E_INVALIDARG;
    if (pvargDest == pvargSrc) return S_OK;
    const VARTYPE vt = pvargSrc->vt;
    if (!valid_vt(vt)) return DISP_E_BADVARTYPE;
    // Build the copy aside so a failure leaves the destination cleared, not half set.
    VARIANT copy;
    std::memcpy(&copy, pvargSrc, sizeof(VARIANT));
    if (!(vt & VT_BYREF)) {
        if (vt & VT_ARRAY) {
            SAFEARRAY* arr = nullptr;
            const HRESULT hr = SafeArrayCopy(pvargSrc->parray, &arr);
            if (FAILED(hr)) return hr;
            copy.parray = arr;
        } else if (vt == VT_BSTR && pvargSrc->bstrVal) {
            copy.bstrVal = SysAllocStringLen(pvargSrc->bstrVal, SysStringLen(pvargSrc->bstrVal));
            if (!copy.bstrVal) return E_OUTOFMEMORY;
        } else if (vt == VT_UNKNOWN && pvargSrc->punkVal) {
            pvargSrc->punkVal->AddRef();
        }
    }
    const HRESULT hr = VariantClear(pvargDest);
    if (FAILED(hr)) {
        VariantClear(&copy);
        return hr;
    }
    std::memcpy(pvargDest, &copy, sizeof(VARIANT));
    return S_OK;
}
