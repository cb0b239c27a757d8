// The data conversion object: R8 to NUMERIC, which is all the writer needs.
#include "platform/oledb/odbp_data_convert.h"
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include "platform/mssx/mssx_value.h"
#include "platform/oledb/odbp_object.h"

namespace {

class data_convert final : public IDataConvert, public odbp_object {
public:
    ODBP_IUNKNOWN_METHODS
    HRESULT QueryInterface(REFIID riid, void** ppv) override
    {
        if (!ppv) return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IDataConvert) return give(static_cast<IDataConvert*>(this), ppv);
        *ppv = nullptr;
        return E_NOINTERFACE;
    }

    HRESULT DataConvert(DBTYPE wSrcType, DBTYPE wDstType, DBLENGTH, DBLENGTH* pcbDstLength, void* pSrc, void* pDst,
                        DBLENGTH cbDstMaxLength, DBSTATUS dbsSrcStatus, DBSTATUS* pdbsStatus, BYTE bPrecision,
                        BYTE bScale, DBDATACONVERT) override
    {
        if (wSrcType != DBTYPE_R8 || wDstType != DBTYPE_NUMERIC) return DB_E_UNSUPPORTEDCONVERSION;
        if (dbsSrcStatus == DBSTATUS_S_ISNULL) {
            if (pdbsStatus) *pdbsStatus = DBSTATUS_S_ISNULL;
            if (pcbDstLength) *pcbDstLength = 0;
            return S_OK;
        }
        if (!pSrc || !pDst) return E_INVALIDARG;
        (void)cbDstMaxLength;
        double d = 0;
        std::memcpy(&d, pSrc, sizeof d);
        DB_NUMERIC out{};
        HRESULT hr = r8_to_numeric(d, bPrecision, bScale, out);
        if (FAILED(hr)) {
            if (pdbsStatus) *pdbsStatus = DBSTATUS_E_DATAOVERFLOW;
            return hr;
        }
        std::memcpy(pDst, &out, sizeof out);
        if (pcbDstLength) *pcbDstLength = sizeof(DB_NUMERIC);
        if (pdbsStatus) *pdbsStatus = DBSTATUS_S_OK;
        return S_OK;
    }
    HRESULT CanConvert(DBTYPE wSrcType, DBTYPE wDstType) override
    {
        return wSrcType == DBTYPE_R8 && wDstType == DBTYPE_NUMERIC ? S_OK : S_FALSE;
    }
    HRESULT GetConversionSize(DBTYPE wSrcType, DBTYPE wDstType, DBLENGTH*, DBLENGTH* pcbDstLength, void*) override
    {
        if (wSrcType != DBTYPE_R8 || wDstType != DBTYPE_NUMERIC) return DB_E_UNSUPPORTEDCONVERSION;
        if (pcbDstLength) *pcbDstLength = sizeof(DB_NUMERIC);
        return S_OK;
    }
};

} // namespace

HRESULT r8_to_numeric(double d, BYTE precision, BYTE scale, DB_NUMERIC& out)
{
    if (!std::isfinite(d) || precision < 1 || precision > DB_NUMERIC_MAX_PRECISION || scale > precision)
        return DB_E_DATAOVERFLOW;
    char buf[400];
    std::snprintf(buf, sizeof buf, "%.17g", d);
    std::string norm;
    if (!mssx_normalize_decimal(buf, precision, scale, norm)) return DB_E_DATAOVERFLOW;
    out = DB_NUMERIC{};
    out.precision = precision;
    out.scale = scale;
    out.sign = norm[0] == '-' ? 0 : 1;
    // magnitude as a 128-bit little-endian integer of the digits without the point
    unsigned __int128 v = 0;
    for (char c : norm)
        if (c >= '0' && c <= '9') v = v * 10 + static_cast<unsigned>(c - '0');
    for (int i = 0; i < 16; ++i) {
        out.val[i] = static_cast<BYTE>(v & 0xFF);
        v >>= 8;
    }
    return S_OK;
}

HRESULT odbp_create_data_convert(REFIID riid, void** ppv)
{
    auto* obj = new data_convert();
    HRESULT hr = obj->QueryInterface(riid, ppv);
    obj->Release();
    return hr;
}
