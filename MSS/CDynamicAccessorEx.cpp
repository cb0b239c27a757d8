#include "MSS/CDynamicAccessorEx.h"

#include <cstring>

#include "TK/tk_logger.h"

namespace {

constexpr DBPROPID prop_sequential_stream = 0x89; // DBPROP_ISequentialStream

DBBYTEOFFSET align8(DBBYTEOFFSET n) { return (n + 7) & ~static_cast<DBBYTEOFFSET>(7); }

bool is_binary_vt(VARTYPE vt) { return vt == VT_BLOB || vt == VT_BLOB_OBJECT || vt == VT_BYTE_ARRAY; }

// Whether the rowset says it takes long values through stream objects.
bool supports_streams(IUnknown* rowset)
{
    tk_logger::log(1, "Testing streams support... ");
    ole_com_ptr<IRowsetInfo> info;
    if (FAILED(rowset->QueryInterface(IID_IRowsetInfo, info.out())) || !info.p) return false;
    ULONG n = 0;
    DBPROPSET* sets = nullptr;
    if (FAILED(info->GetProperties(0, nullptr, &n, &sets)) || !sets) return false;
    bool found = false;
    for (ULONG i = 0; i < n; ++i) {
        for (ULONG k = 0; k < sets[i].cProperties; ++k) {
            DBPROP& p = sets[i].rgProperties[k];
            if (p.dwPropertyID == prop_sequential_stream && p.vValue.vt == VT_BOOL && p.vValue.boolVal) found = true;
            VariantClear(&p.vValue);
        }
        CoTaskMemFree(sets[i].rgProperties);
    }
    CoTaskMemFree(sets);
    return found;
}

} // namespace

CDynamicAccessorEx::CDynamicAccessorEx()
{
    stream_object_.dwFlags = STGM_READ;
    stream_object_.iid = IID_ISequentialStream;
}

CDynamicAccessorEx::~CDynamicAccessorEx() { release(); }

void CDynamicAccessorEx::release()
{
    if (accessor_.p && handle_) accessor_->ReleaseAccessor(handle_, nullptr);
    handle_ = 0;
    accessor_.release();
    bindings_.clear();
    columns_.clear();
    names_.clear();
    buffer_.clear();
}

void CDynamicAccessorEx::Bind(size_t index, DBORDINAL nOrdinal, DBTYPE wType, DBLENGTH nLength, BYTE nPrecision,
                              BYTE nScale, DBBYTEOFFSET nDataOffset, DBBYTEOFFSET nLengthOffset,
                              DBBYTEOFFSET nStatusOffset)
{
    tk_logger::log(1, "CDynamicAccessorEx::Bind");
    tk_logger::log(1, "nOrdinal=%d, wType=%d, nLength=%d, nPrecision=%d, nScale=%d, nDataOffset=%d",
                   static_cast<int>(nOrdinal), static_cast<int>(wType), static_cast<int>(nLength), nPrecision, nScale,
                   static_cast<int>(nDataOffset));
    if (index >= bindings_.size()) bindings_.resize(index + 1);
    DBBINDING& b = bindings_[index];
    b = DBBINDING{};
    b.iOrdinal = nOrdinal;
    b.wType = wType;
    b.cbMaxLen = nLength;
    b.bPrecision = nPrecision;
    b.bScale = nScale;
    b.obValue = nDataOffset;
    b.dwPart = DBPART_VALUE;
    b.obLength = nLengthOffset;
    b.dwPart |= DBPART_LENGTH;
    b.obStatus = nStatusOffset;
    b.dwPart |= DBPART_STATUS;
    b.dwMemOwner = DBMEMOWNER_CLIENTOWNED;
    b.eParamIO = DBPARAMIO_NOTPARAM;
}

void CDynamicAccessorEx::BindEx(size_t index, DBORDINAL nOrdinal, DBTYPE wType, DBLENGTH nLength, BYTE nPrecision,
                                BYTE nScale, DBBYTEOFFSET nDataOffset, DBBYTEOFFSET nLengthOffset,
                                DBBYTEOFFSET nStatusOffset, const DBOBJECT& object, bool no_value)
{
    tk_logger::log(1, "CDynamicAccessorEx::BindEx");
    Bind(index, nOrdinal, wType, nLength, nPrecision, nScale, nDataOffset, nLengthOffset, nStatusOffset);
    stream_object_ = object;
    bindings_[index].pObject = &stream_object_;
    if (no_value) bindings_[index].dwPart &= ~DBPART_VALUE;
}

HRESULT CDynamicAccessorEx::BindColumns(IUnknown* rowset, const udb_schema& schema, DBLENGTH long_threshold,
                                        bool mode_2008, int32_t version)
{
    tk_logger::log(1, "CDynamicAccessorEx::BindColumns");
    release();
    if (!rowset) return E_INVALIDARG;
    ole_com_ptr<IColumnsInfo> info;
    HRESULT hr = rowset->QueryInterface(IID_IColumnsInfo, info.out());
    if (FAILED(hr)) return hr;
    DBORDINAL n = 0;
    DBCOLUMNINFO* cols = nullptr;
    OLECHAR* strings = nullptr;
    hr = info->GetColumnInfo(&n, &cols, &strings);
    if (FAILED(hr)) return hr;
    columns_.assign(cols, cols + n);
    for (DBORDINAL i = 0; i < n; ++i) {
        names_.emplace_back(cols[i].pwszName ? cols[i].pwszName : L"");
        columns_[i].pwszName = nullptr; // the strings buffer is freed below
    }
    CoTaskMemFree(cols);
    CoTaskMemFree(strings);
    const bool streams = supports_streams(rowset);

    // Only the columns the records fill are bound; the others take their defaults.
    const size_t count = std::min<size_t>(n, schema.size());
    DBBYTEOFFSET offset = 0;
    for (size_t i = 0; i < count; ++i) {
        const DBCOLUMNINFO& c = columns_[i];
        const t_ftd& f = schema[i];
        const DBORDINAL ordinal = c.iOrdinal ? c.iOrdinal : i + 1;
        DBTYPE type = DBTYPE_WSTR;
        DBLENGTH length = 0;
        BYTE precision = c.bPrecision, scale = c.bScale;
        const bool long_column = c.ulColumnSize > long_threshold || (c.dwFlags & DBCOLUMNFLAGS_ISLONG) != 0;
        const bool text_column = c.wType == DBTYPE_STR || c.wType == DBTYPE_WSTR || c.wType == DBTYPE_XML;
        bool stream = false;
        if (f.vartype == VT_DATE) {
            if (mode_2008) {
                tk_logger::log(1, "Adjusting date/time columns (schema[i]->dw_reserved=%d)",
                               static_cast<int>(f.dw_reserved));
                if (f.dw_reserved == t_ftd::hint_date_only) {
                    tk_logger::log(1, "Got pure DATE");
                    type = DBTYPE_DBDATE;
                } else if (f.dw_reserved == t_ftd::hint_time_only) {
                    tk_logger::log(1, "Got pure TIME");
                    type = DBTYPE_DBTIME2;
                } else {
                    tk_logger::log(1, "Got DATETIME");
                    type = DBTYPE_DBTIMESTAMP;
                }
            } else {
                type = DBTYPE_DBTIMESTAMP;
            }
        } else if (is_binary_vt(f.vartype) || c.wType == DBTYPE_BYTES || (long_column && text_column)) {
            // Binary values always go through a stream: the writer hands them over that way.
            stream = true;
        } else {
            switch (f.vartype) {
            case VT_I2:
            case VT_I1:
                type = DBTYPE_I2;
                break;
            case VT_I4:
            case VT_UI2:
            case VT_INT:
                type = DBTYPE_I4;
                break;
            case VT_R4:
            case VT_R8:
                type = DBTYPE_R8;
                break;
            case VT_CY:
                type = DBTYPE_CY;
                break;
            case VT_BOOL:
                type = DBTYPE_BOOL;
                break;
            case VT_UI1:
                type = DBTYPE_UI1;
                break;
            case VT_UI4:
            case VT_I8:
            case VT_UINT:
                type = version > 2 ? DBTYPE_I8 : DBTYPE_WSTR;
                break;
            case VT_UI8:
                type = version > 2 ? DBTYPE_UI8 : DBTYPE_WSTR;
                break;
            case VT_DECIMAL:
                type = DBTYPE_NUMERIC;
                if (f.dw_reserved != 0) {
                    precision = static_cast<BYTE>((f.dw_reserved >> 8) & 0xFF);
                    scale = static_cast<BYTE>(f.dw_reserved & 0xFF);
                }
                break;
            default:
                type = c.wType == DBTYPE_STR ? DBTYPE_STR : DBTYPE_WSTR;
                break;
            }
        }
        if (stream) {
            if (!streams) {
                tk_logger::log(3, "The rowset takes no stream objects for long data");
                release();
                return E_NOINTERFACE;
            }
            tk_logger::log(1, "Binding BLOB (column #%d)", static_cast<int>(ordinal));
            const DBBYTEOFFSET status_at = offset, length_at = offset + 8, value_at = offset + 16;
            BindEx(i, ordinal, DBTYPE_IUNKNOWN, sizeof(IUnknown*), precision, scale, value_at, length_at, status_at,
                   stream_object_, false);
            offset = align8(value_at + sizeof(IUnknown*));
            continue;
        }
        tk_logger::log(1, "Column ordinal %d: - Binding as native data type", static_cast<int>(ordinal));
        switch (type) {
        case DBTYPE_I2:
        case DBTYPE_BOOL:
            length = 2;
            break;
        case DBTYPE_I4:
            length = 4;
            break;
        case DBTYPE_R8:
        case DBTYPE_CY:
        case DBTYPE_I8:
        case DBTYPE_UI8:
            length = 8;
            break;
        case DBTYPE_UI1:
            length = 1;
            break;
        case DBTYPE_DBDATE:
            length = sizeof(DBDATE);
            break;
        case DBTYPE_DBTIME2:
            length = sizeof(DBTIME2);
            break;
        case DBTYPE_DBTIMESTAMP:
            length = sizeof(DBTIMESTAMP);
            break;
        case DBTYPE_NUMERIC:
            length = sizeof(DB_NUMERIC);
            break;
        default: {
            // Text: room for the longest value of the column (a GUID's text
            // is longer than its 16 bytes), and the terminator.
            DBLENGTH chars = std::max<DBLENGTH>(c.ulColumnSize, f.size);
            if (c.wType == DBTYPE_GUID || f.dw_reserved == t_ftd::hint_bstr_guid) chars = std::max<DBLENGTH>(chars, 38);
            if (chars == 0 || chars > long_threshold) chars = long_threshold;
            length = type == DBTYPE_STR ? chars + 1 : (chars + 1) * sizeof(WCHAR);
            break;
        }
        }
        const DBBYTEOFFSET status_at = offset, length_at = offset + 8, value_at = offset + 16;
        Bind(i, ordinal, type, length, precision, scale, value_at, length_at, status_at);
        offset = align8(value_at + length);
    }
    buffer_.assign(offset / 8 + 1, 0);

    hr = rowset->QueryInterface(IID_IAccessor, accessor_.out());
    if (FAILED(hr)) {
        tk_logger::log(3, "Failed to create Accessor!!!");
        return hr;
    }
    std::vector<DBBINDSTATUS> status(bindings_.size(), DBBINDSTATUS_OK);
    hr = accessor_->CreateAccessor(DBACCESSOR_ROWDATA, bindings_.size(), bindings_.data(), 0, &handle_, status.data());
    if (FAILED(hr)) {
        for (size_t i = 0; i < status.size(); ++i)
            if (status[i] != DBBINDSTATUS_OK)
                tk_logger::log(3, "Binding entry %d failed. Status: %d", static_cast<int>(i),
                               static_cast<int>(status[i]));
        tk_logger::log(3, "Failed to create Accessor!!!");
        handle_ = 0;
        return hr;
    }
    return S_OK;
}

const DBBINDING* CDynamicAccessorEx::binding(DBORDINAL ordinal) const
{
    for (const DBBINDING& b : bindings_)
        if (b.iOrdinal == ordinal) return &b;
    return nullptr;
}

const DBCOLUMNINFO* CDynamicAccessorEx::column_info(DBORDINAL ordinal) const
{
    for (const DBCOLUMNINFO& c : columns_)
        if (c.iOrdinal == ordinal) return &c;
    return ordinal >= 1 && ordinal <= columns_.size() ? &columns_[ordinal - 1] : nullptr;
}

BYTE* CDynamicAccessorEx::value(DBORDINAL ordinal)
{
    const DBBINDING* b = binding(ordinal);
    return b ? buffer() + b->obValue : nullptr;
}

void CDynamicAccessorEx::set_length(DBORDINAL ordinal, DBLENGTH length)
{
    if (const DBBINDING* b = binding(ordinal)) std::memcpy(buffer() + b->obLength, &length, sizeof length);
}

void CDynamicAccessorEx::set_status(DBORDINAL ordinal, DBSTATUS status)
{
    if (const DBBINDING* b = binding(ordinal)) std::memcpy(buffer() + b->obStatus, &status, sizeof status);
}

DBSTATUS CDynamicAccessorEx::get_status(DBORDINAL ordinal) const
{
    DBSTATUS status = DBSTATUS_S_OK;
    if (const DBBINDING* b = binding(ordinal))
        std::memcpy(&status, reinterpret_cast<const BYTE*>(buffer_.data()) + b->obStatus, sizeof status);
    return status;
}
