#include "UDB/t_ftd.h"

#include "TK/tk_logger.h"

namespace {

bool is_text_type(VARTYPE vt) { return vt == VT_BSTR || vt == VT_LPSTR || vt == VT_LPWSTR; }

bool is_binary_type(VARTYPE vt) { return vt == VT_BLOB || vt == VT_BLOB_OBJECT || vt == (VT_ARRAY | VT_UI1); }

// The target can hold the source when its size is unknown or large enough.
bool fits(uint32_t src_size, uint32_t dest_size) { return dest_size == 0 || dest_size >= src_size; }

// A large-object column as the target's catalog names it: its declared size is no limit.
bool is_target_lob(const t_ftd& column)
{
    const std::wstring& type = column.native_type;
    return type == L"CLOB" || type == L"NCLOB" || type == L"BLOB";
}

} // namespace

t_ftd::t_ftd(uint32_t size, const std::wstring& name, VARTYPE vartype, bool not_null, bool auto_num,
             const ole_variant& default_value, uint32_t hint, const std::wstring& native_type)
    : size(size),
      name(name),
      vartype(vartype),
      native_type(native_type),
      b_auto_num(auto_num),
      b_not_null(not_null),
      default_value(default_value),
      dw_reserved(hint)
{
    tk_logger::log(1, "t_ftd::ctor2");
    tk_logger::log(1, L"\tfield name='%s', vartype=%d, size=%d, b_not_null=%d, reserved=%d", name.c_str(),
                   static_cast<int>(vartype), static_cast<int>(size), static_cast<int>(not_null),
                   static_cast<int>(hint));
}

bool t_ftd::is_binary() const { return is_binary_type(vartype); }

bool t_ftd::is_numeric() const
{
    switch (vartype) {
    case VT_I2:
    case VT_I4:
    case VT_R4:
    case VT_R8:
    case VT_CY:
    case VT_BOOL:
    case VT_DECIMAL:
    case VT_I1:
    case VT_UI1:
    case VT_UI2:
    case VT_UI4:
    case VT_I8:
    case VT_UI8:
        return true;
    default:
        return false;
    }
}

uint8_t t_ftd::get_precision() const { return static_cast<uint8_t>((dw_reserved >> 8) & 0xFF); }

bool t_ftd::conform_to(const t_ftd& dest) const
{
    tk_logger::log(1, "t_ftd::conform_to");
    tk_logger::log(1, "t_ftd::operator ==");
    const VARTYPE s = vartype;
    const VARTYPE d = dest.vartype;
    // A LOB takes a value of any size, whatever size the catalog declares for it.
    const uint32_t dest_size = is_target_lob(dest) ? 0 : dest.size;
    if ((s == VT_DECIMAL && d == VT_CY) || (s == VT_CY && d == VT_DECIMAL)) return true;
    // A date, time and offset text goes into the column that keeps all three.
    if (s == VT_BSTR && dw_reserved == hint_bstr_timestamp_tz && d == VT_DATE &&
        dest.native_type.find(L"WITH TIME ZONE") != std::wstring::npos)
        return true;
    if (s == d && !(s == VT_BSTR && size != dest_size)) return true;
    switch (d) {
    case VT_I2:
    case VT_I4:
    case VT_R4:
    case VT_R8:
    case VT_CY:
        return is_numeric();
    case VT_DATE:
        return s == VT_DATE || (s == VT_BSTR && size == 19);
    case VT_BOOL:
    case VT_DECIMAL:
    case VT_I1:
    case VT_UI1:
    case VT_UI2:
    case VT_UI4:
    case VT_I8:
    case VT_UI8:
    case VT_INT:
    case VT_UINT:
        return is_numeric();
    default:
        break;
    }
    if (is_text_type(d)) {
        if (is_text_type(s)) return fits(size, dest_size);
        return !is_binary_type(s);
    }
    if (is_binary_type(d)) {
        if (is_text_type(s) || is_binary_type(s)) return fits(size, dest_size);
        return true;
    }
    return false;
}
