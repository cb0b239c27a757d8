// SAFEARRAY: a header with cDims bounds, the element type kept just before it,
// and one block of elements. BSTR and VARIANT elements are owned by the array.
#include "platform/oleaut/oleauto.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace {

// The block before the header holds the element type (as Windows does).
constexpr size_t prefix_bytes = 16;

VARTYPE& vartype_of(SAFEARRAY* psa) { return *reinterpret_cast<VARTYPE*>(reinterpret_cast<char*>(psa) - prefix_bytes); }

VARTYPE vartype_of(const SAFEARRAY* psa) { return vartype_of(const_cast<SAFEARRAY*>(psa)); }

ULONG element_size(VARTYPE vt)
{
    switch (vt) {
    case VT_I1:
    case VT_UI1:
        return 1;
    case VT_I2:
    case VT_UI2:
    case VT_BOOL:
        return 2;
    case VT_I4:
    case VT_UI4:
    case VT_R4:
    case VT_INT:
    case VT_UINT:
    case VT_ERROR:
        return 4;
    case VT_R8:
    case VT_CY:
    case VT_DATE:
    case VT_I8:
    case VT_UI8:
        return 8;
    case VT_BSTR:
        return sizeof(BSTR);
    case VT_UNKNOWN:
    case VT_DISPATCH:
        return sizeof(void*);
    case VT_DECIMAL:
        return sizeof(DECIMAL);
    case VT_VARIANT:
        return sizeof(VARIANT);
    default:
        return 0;
    }
}

USHORT features_of(VARTYPE vt)
{
    switch (vt) {
    case VT_BSTR:
        return FADF_HAVEVARTYPE | FADF_BSTR;
    case VT_VARIANT:
        return FADF_HAVEVARTYPE | FADF_VARIANT;
    case VT_UNKNOWN:
        return FADF_HAVEVARTYPE | FADF_UNKNOWN;
    case VT_DISPATCH:
        return FADF_HAVEVARTYPE | FADF_DISPATCH;
    default:
        return FADF_HAVEVARTYPE;
    }
}

// Element count over all dimensions; false when it does not fit in memory.
bool element_count(const SAFEARRAY* psa, size_t& count)
{
    size_t n = 1;
    for (USHORT i = 0; i < psa->cDims; ++i) {
        const size_t c = psa->rgsabound[i].cElements;
        if (c != 0 && n > std::numeric_limits<size_t>::max() / c) return false;
        n *= c;
    }
    if (psa->cbElements != 0 && n > std::numeric_limits<size_t>::max() / psa->cbElements) return false;
    count = n;
    return true;
}

size_t element_count(const SAFEARRAY* psa)
{
    size_t n = 0;
    element_count(psa, n);
    return n;
}

SAFEARRAY* allocate_header(VARTYPE vt, UINT cDims)
{
    const size_t bytes = prefix_bytes + sizeof(SAFEARRAY) + (cDims - 1) * sizeof(SAFEARRAYBOUND);
    char* block = static_cast<char*>(std::calloc(1, bytes));
    if (!block) return nullptr;
    SAFEARRAY* psa = reinterpret_cast<SAFEARRAY*>(block + prefix_bytes);
    vartype_of(psa) = vt;
    psa->cDims = static_cast<USHORT>(cDims);
    psa->fFeatures = features_of(vt);
    psa->cbElements = element_size(vt);
    return psa;
}

void free_header(SAFEARRAY* psa) { std::free(reinterpret_cast<char*>(psa) - prefix_bytes); }

// Releases what the elements [from, to) own, leaving the bytes zeroed.
void release_elements(SAFEARRAY* psa, size_t from, size_t to)
{
    if (!psa->pvData) return;
    if (psa->fFeatures & FADF_BSTR) {
        BSTR* p = static_cast<BSTR*>(psa->pvData);
        for (size_t i = from; i < to; ++i) {
            SysFreeString(p[i]);
            p[i] = nullptr;
        }
    } else if (psa->fFeatures & FADF_VARIANT) {
        VARIANT* p = static_cast<VARIANT*>(psa->pvData);
        for (size_t i = from; i < to; ++i) VariantClear(&p[i]);
    }
}

// Copies count elements deeply; on failure the target's copied elements are released.
HRESULT copy_elements(const SAFEARRAY* src, SAFEARRAY* dst, size_t count)
{
    if (count == 0) return S_OK;
    if (src->fFeatures & FADF_BSTR) {
        const BSTR* s = static_cast<const BSTR*>(src->pvData);
        BSTR* d = static_cast<BSTR*>(dst->pvData);
        for (size_t i = 0; i < count; ++i) {
            if (s[i] && !(d[i] = SysAllocStringLen(s[i], SysStringLen(s[i])))) {
                release_elements(dst, 0, i);
                return E_OUTOFMEMORY;
            }
        }
    } else if (src->fFeatures & FADF_VARIANT) {
        const VARIANT* s = static_cast<const VARIANT*>(src->pvData);
        VARIANT* d = static_cast<VARIANT*>(dst->pvData);
        for (size_t i = 0; i < count; ++i) {
            VariantInit(&d[i]);
            const HRESULT hr = VariantCopy(&d[i], &s[i]);
            if (FAILED(hr)) {
                release_elements(dst, 0, i);
                return hr;
            }
        }
    } else {
        std::memcpy(dst->pvData, src->pvData, count * src->cbElements);
    }
    return S_OK;
}

bool dimension_ok(const SAFEARRAY* psa, UINT nDim) { return psa && nDim >= 1 && nDim <= psa->cDims; }

// Bounds are kept in reverse order: dimension 1 is the last entry.
const SAFEARRAYBOUND& bound_of(const SAFEARRAY* psa, UINT nDim) { return psa->rgsabound[psa->cDims - nDim]; }

} // namespace

SAFEARRAY* SafeArrayCreate(VARTYPE vt, UINT cDims, const SAFEARRAYBOUND* rgsabound)
{
    if (cDims == 0 || cDims > 0xFFFF || !rgsabound || element_size(vt) == 0) return nullptr;
    SAFEARRAY* psa = allocate_header(vt, cDims);
    if (!psa) return nullptr;
    // The caller's bounds are in dimension order; store them reversed.
    for (UINT i = 0; i < cDims; ++i) psa->rgsabound[cDims - 1 - i] = rgsabound[i];
    size_t n = 0;
    if (!element_count(psa, n)) {
        free_header(psa);
        return nullptr;
    }
    if (n > 0) {
        psa->pvData = std::calloc(n, psa->cbElements);
        if (!psa->pvData) {
            free_header(psa);
            return nullptr;
        }
    }
    return psa;
}

SAFEARRAY* SafeArrayCreateVector(VARTYPE vt, LONG lLbound, ULONG cElements)
{
    const SAFEARRAYBOUND bound{cElements, lLbound};
    return SafeArrayCreate(vt, 1, &bound);
}

HRESULT SafeArrayRedim(SAFEARRAY* psa, const SAFEARRAYBOUND* psaboundNew)
{
    if (!psa || !psaboundNew) return E_INVALIDARG;
    if (psa->cLocks > 0) return DISP_E_ARRAYISLOCKED;
    const size_t old_count = element_count(psa);
    // The first stored bound is the last dimension, the one that may change.
    const SAFEARRAYBOUND saved = psa->rgsabound[0];
    psa->rgsabound[0] = *psaboundNew;
    size_t new_count = 0;
    if (!element_count(psa, new_count)) {
        psa->rgsabound[0] = saved;
        return E_OUTOFMEMORY;
    }
    if (new_count == old_count) return S_OK;
    if (new_count < old_count) release_elements(psa, new_count, old_count);
    if (new_count == 0) {
        std::free(psa->pvData);
        psa->pvData = nullptr;
        return S_OK;
    }
    void* grown = std::realloc(psa->pvData, new_count * psa->cbElements);
    if (!grown) {
        psa->rgsabound[0] = saved;
        return E_OUTOFMEMORY;
    }
    psa->pvData = grown;
    if (new_count > old_count)
        std::memset(static_cast<char*>(grown) + old_count * psa->cbElements, 0,
                    (new_count - old_count) * psa->cbElements);
    return S_OK;
}

HRESULT SafeArrayDestroy(SAFEARRAY* psa)
{
    if (!psa) return S_OK;
    if (psa->cLocks > 0) return DISP_E_ARRAYISLOCKED;
    release_elements(psa, 0, element_count(psa));
    std::free(psa->pvData);
    free_header(psa);
    return S_OK;
}

HRESULT SafeArrayCopy(const SAFEARRAY* psa, SAFEARRAY** ppsaOut)
{
    if (!ppsaOut) return E_INVALIDARG;
    *ppsaOut = nullptr;
    if (!psa) return S_OK;
    SAFEARRAY* copy = allocate_header(vartype_of(psa), psa->cDims);
    if (!copy) return E_OUTOFMEMORY;
    copy->fFeatures = psa->fFeatures;
    copy->cbElements = psa->cbElements;
    for (USHORT i = 0; i < psa->cDims; ++i) copy->rgsabound[i] = psa->rgsabound[i];
    const size_t n = element_count(psa);
    if (n > 0 && psa->pvData) {
        copy->pvData = std::calloc(n, psa->cbElements);
        if (!copy->pvData) {
            free_header(copy);
            return E_OUTOFMEMORY;
        }
        const HRESULT hr = copy_elements(psa, copy, n);
        if (FAILED(hr)) {
            std::free(copy->pvData);
            free_header(copy);
            return hr;
        }
    }
    *ppsaOut = copy;
    return S_OK;
}

HRESULT SafeArrayGetLBound(const SAFEARRAY* psa, UINT nDim, LONG* plLbound)
{
    if (!psa || !plLbound) return E_INVALIDARG;
    if (!dimension_ok(psa, nDim)) return DISP_E_BADINDEX;
    *plLbound = bound_of(psa, nDim).lLbound;
    return S_OK;
}

HRESULT SafeArrayGetUBound(const SAFEARRAY* psa, UINT nDim, LONG* plUbound)
{
    if (!psa || !plUbound) return E_INVALIDARG;
    if (!dimension_ok(psa, nDim)) return DISP_E_BADINDEX;
    const SAFEARRAYBOUND& b = bound_of(psa, nDim);
    const int64_t ub = static_cast<int64_t>(b.lLbound) + static_cast<int64_t>(b.cElements) - 1;
    if (ub > std::numeric_limits<LONG>::max()) return DISP_E_OVERFLOW;
    *plUbound = static_cast<LONG>(ub);
    return S_OK;
}

UINT SafeArrayGetDim(const SAFEARRAY* psa) { return psa ? psa->cDims : 0; }

UINT SafeArrayGetElemsize(const SAFEARRAY* psa) { return psa ? psa->cbElements : 0; }

HRESULT SafeArrayGetVartype(const SAFEARRAY* psa, VARTYPE* pvt)
{
    if (!psa || !pvt) return E_INVALIDARG;
    *pvt = vartype_of(psa);
    return S_OK;
}

HRESULT SafeArrayLock(SAFEARRAY* psa)
{
    if (!psa) return E_INVALIDARG;
    if (psa->cLocks == std::numeric_limits<ULONG>::max()) return E_UNEXPECTED;
    ++psa->cLocks;
    return S_OK;
}

HRESULT SafeArrayUnlock(SAFEARRAY* psa)
{
    if (!psa) return E_INVALIDARG;
    if (psa->cLocks == 0) return E_UNEXPECTED;
    --psa->cLocks;
    return S_OK;
}

HRESULT SafeArrayAccessData(SAFEARRAY* psa, void** ppvData)
{
    if (!psa || !ppvData) return E_INVALIDARG;
    const HRESULT hr = SafeArrayLock(psa);
    if (FAILED(hr)) return hr;
    *ppvData = psa->pvData;
    return S_OK;
}

HRESULT SafeArrayUnaccessData(SAFEARRAY* psa) { return SafeArrayUnlock(psa); }

namespace {

// Offset in elements of rgIndices (one index per dimension, dimension order).
bool element_offset(const SAFEARRAY* psa, const LONG* rgIndices, size_t& offset)
{
    size_t off = 0;
    for (UINT d = 1; d <= psa->cDims; ++d) {
        const SAFEARRAYBOUND& b = bound_of(psa, d);
        const int64_t rel = static_cast<int64_t>(rgIndices[d - 1]) - b.lLbound;
        if (rel < 0 || rel >= static_cast<int64_t>(b.cElements)) return false;
        off = off * b.cElements + static_cast<size_t>(rel);
    }
    offset = off;
    return true;
}

} // namespace

HRESULT SafeArrayGetElement(SAFEARRAY* psa, const LONG* rgIndices, void* pv)
{
    if (!psa || !rgIndices || !pv) return E_INVALIDARG;
    size_t off = 0;
    if (!element_offset(psa, rgIndices, off)) return DISP_E_BADINDEX;
    const char* src = static_cast<const char*>(psa->pvData) + off * psa->cbElements;
    if (psa->fFeatures & FADF_BSTR) {
        BSTR s = *reinterpret_cast<const BSTR*>(src);
        BSTR copy = s ? SysAllocStringLen(s, SysStringLen(s)) : nullptr;
        if (s && !copy) return E_OUTOFMEMORY;
        *static_cast<BSTR*>(pv) = copy;
        return S_OK;
    }
    if (psa->fFeatures & FADF_VARIANT) {
        VARIANT* out = static_cast<VARIANT*>(pv);
        VariantInit(out);
        return VariantCopy(out, reinterpret_cast<const VARIANT*>(src));
    }
    std::memcpy(pv, src, psa->cbElements);
    return S_OK;
}

HRESULT SafeArrayPutElement(SAFEARRAY* psa, const LONG* rgIndices, const void* pv)
{
    if (!psa || !rgIndices || !pv) return E_INVALIDARG;
    size_t off = 0;
    if (!element_offset(psa, rgIndices, off)) return DISP_E_BADINDEX;
    char* dst = static_cast<char*>(psa->pvData) + off * psa->cbElements;
    if (psa->fFeatures & FADF_BSTR) {
        // pv is the BSTR itself; its length keeps embedded NULs.
        BSTR s = const_cast<BSTR>(static_cast<const OLECHAR*>(pv));
        BSTR copy = s ? SysAllocStringLen(s, SysStringLen(s)) : nullptr;
        if (s && !copy) return E_OUTOFMEMORY;
        BSTR& slot = *reinterpret_cast<BSTR*>(dst);
        SysFreeString(slot);
        slot = copy;
        return S_OK;
    }
    if (psa->fFeatures & FADF_VARIANT)
        return VariantCopy(reinterpret_cast<VARIANT*>(dst), static_cast<const VARIANT*>(pv));
    std::memcpy(dst, pv, psa->cbElements);
    return S_OK;
}
