#include "MSS/mss_util.h"

#include <cmath>
#include <cwctype>

#include "MSS/mss_engine.h"
#include "OLE/ole_date.h"
#include "OLE/ole_guid_extractor.h"
#include "TK/tk_exception.h"
#include "TK/tk_logger.h"
#include "UDB/udb_custom_conversion.h"
#include "platform/win32/win_compare.h"

namespace {

bool unicode_strings()
{
    const mss_engine* e = mss_engine::find();
    return e ? e->unicode_strings : true;
}

bool is_binary_vt(VARTYPE vt) { return vt == VT_BLOB || vt == VT_BLOB_OBJECT || vt == VT_BYTE_ARRAY; }

void replace_all(std::wstring& text, const std::wstring& from, const std::wstring& to)
{
    for (size_t pos = text.find(from); pos != std::wstring::npos; pos = text.find(from, pos + to.size()))
        text.replace(pos, from.size(), to);
}

std::wstring binary_literal(const std::wstring& text)
{
    tk_logger::log(1, "GOT BLOB!!!");
    if (text.size() < 2) return text;
    bool bare = false;
    if (std::iswdigit(static_cast<wint_t>(text[0]))) {
        if (text[1] == L'x' || text[1] == L'X') {
            bare = text[0] == L'0';
            for (size_t i = 2; bare && i < text.size(); ++i) bare = std::iswxdigit(static_cast<wint_t>(text[i])) != 0;
        } else {
            bare = true;
            for (size_t i = 1; bare && i < text.size(); ++i) bare = std::iswdigit(static_cast<wint_t>(text[i])) != 0;
        }
    }
    if (bare) return text;
    // Anything else is sent as a string; its quotes are doubled so it stays one.
    std::wstring quoted = text;
    replace_all(quoted, L"'", L"''");
    return L"'" + quoted + L"'";
}

int decimal_precision(const t_ftd& column) { return static_cast<int>((column.dw_reserved >> 8) & 0xFF); }
int decimal_scale(const t_ftd& column) { return static_cast<int>(column.dw_reserved & 0xFF); }

} // namespace

// A text that the server reads as a number: sign, digits, one point, exponent.
bool mss_is_number_literal(const std::wstring& s)
{
    size_t i = 0;
    if (i < s.size() && (s[i] == L'-' || s[i] == L'+')) ++i;
    bool digits = false;
    while (i < s.size() && std::iswdigit(static_cast<wint_t>(s[i]))) {
        ++i;
        digits = true;
    }
    if (i < s.size() && s[i] == L'.') {
        ++i;
        while (i < s.size() && std::iswdigit(static_cast<wint_t>(s[i]))) {
            ++i;
            digits = true;
        }
    }
    if (digits && i < s.size() && (s[i] == L'e' || s[i] == L'E')) {
        ++i;
        if (i < s.size() && (s[i] == L'-' || s[i] == L'+')) ++i;
        bool exp = false;
        while (i < s.size() && std::iswdigit(static_cast<wint_t>(s[i]))) {
            ++i;
            exp = true;
        }
        digits = exp;
    }
    return digits && i == s.size();
}

std::wstring to_mssql_str(const std::wstring& src, VARTYPE vt)
{
    const bool unicode = unicode_strings();
    tk_logger::log(1, L"to_mssql_str(%s), unicode=%d", src.c_str(), unicode ? 1 : 0);
    if (src.empty()) return L"''";
    std::wstring text = src;
    if (vt == VT_DATE) {
        const ole_date date(text);
        if (date.is_valid()) text = date.to_wstring(true);
        if (text.find(L"0000-00-00") != std::wstring::npos) {
            tk_logger::log(1, "Null date has been found");
            replace_all(text, L"0000-00-00", L"1899-12-30");
        }
    } else if (is_binary_vt(vt)) {
        return binary_literal(text);
    } else if (vt == VT_BSTR) {
        const ole_guid_extractor guid(text);
        if (guid.valid) {
            tk_logger::log(1, "BSTR IS AN GUID");
            return L"'" + guid.get_guid() + L"'";
        }
    }
    // Only numbers go bare; any other text of a non-string type is quoted
    // so that it can never become part of the statement.
    const bool quoted = vt == VT_BSTR || vt == VT_DATE || !mss_is_number_literal(text);
    replace_all(text, L"'", L"''");
    if (!quoted) return text;
    return ((vt != VT_DATE && unicode) ? L"N'" : L"'") + text + L"'";
}

ole_variant mssql_get_safe_variant(const ole_variant& value)
{
    tk_logger::log(1, "mssql_get_safe_variant");
    if (value.value.vt == VT_DATE) {
        const WORD year = value.date_parts.wYear;
        if (year >= 1753 && year <= 9999) return value;
        tk_logger::log(1, "Skip date-out-of-range");
        return ole_date(L"9999-12-30").to_variant();
    }
    if (value.value.vt == VT_R8) {
        const double d = value.value.dblVal;
        if (d == 0.0 || std::isnan(d)) return value;
        constexpr double lo = 2.23e-308, hi = 1.79e308;
        if (d > 0) return ole_variant(d < lo ? lo : (d > hi ? hi : d));
        return ole_variant(d > -lo ? -lo : (d < -hi ? -hi : d));
    }
    return value;
}

bool dec_is_out_of_range(const ole_variant& value, const t_ftd& column)
{
    tk_logger::log(1, "dec_is_out_of_range");
    if (value.value.vt != VT_DECIMAL) throw tk_mail_assertion("mss_util", 22);
    const std::wstring text = value.to_wstring();
    const int scale = value.value.decVal.scale;
    const bool negative = !text.empty() && text[0] == L'-';
    const int digits =
        static_cast<int>(text.size()) - (text.find(L'.') != std::wstring::npos ? 1 : 0) - (negative ? 1 : 0);
    tk_logger::log(1, L"Got decimal: %s, scale=%d, prec=%d", text.c_str(), scale, digits);
    if (column.dw_reserved == 0) return false;
    // Fraction digits beyond the column's scale are rounded by the server;
    // they never make a value too large, and neither does the 0 of "0.5".
    const int col_scale = decimal_scale(column);
    int int_digits = digits - scale;
    const size_t first = negative ? 1 : 0;
    for (size_t i = first; i < text.size() && text[i] == L'0' && int_digits > 0; ++i) --int_digits;
    return int_digits + std::min(scale, col_scale) > decimal_precision(column);
}

bool check_dec_str_prec_scale(const std::wstring& text, int precision, int scale)
{
    tk_logger::log(1, L"check_dec_str_prec_scale(%s,%d,%d)", text.c_str(), precision - scale, scale);
    std::wstring int_part;
    const size_t point = text.find(L'.');
    if (point != std::wstring::npos) {
        tk_logger::log(1, "Decimal point is found");
        int_part = text.substr(0, point);
    } else {
        tk_logger::log(1, "Decimal point is not found");
        int_part = text;
    }
    // Neither the sign nor leading zeros are digits of the value.
    if (!int_part.empty() && (int_part[0] == L'-' || int_part[0] == L'+')) int_part.erase(0, 1);
    int_part.erase(
        0, int_part.find_first_not_of(L'0') == std::wstring::npos ? int_part.size() : int_part.find_first_not_of(L'0'));
    const int this_prec = static_cast<int>(int_part.size());
    const int this_scale = point == std::wstring::npos ? 0 : static_cast<int>(text.size() - point - 1);
    tk_logger::log(1, "this_prec=%d, this_scale=%d", this_prec, this_scale);
    if (this_prec > precision - scale) {
        tk_logger::log(1, "Precision is out of range");
        return false;
    }
    return true;
}

std::wstring gen_dec_value(const t_ftd* column, bool negative)
{
    if (!column) throw tk_mail_assertion("mss_util", 50);
    tk_logger::log(1, "gen_dec_value");
    const int precision = decimal_precision(*column), scale = decimal_scale(*column);
    std::wstring text = negative ? L"-" : L"";
    text.append(static_cast<size_t>(std::max(precision - scale, 0)), L'9');
    text += L'.';
    text.append(static_cast<size_t>(scale), L'9');
    return text;
}

std::wstring mss_get_fld_append_str(const udb_field* field, const t_ftd* column)
{
    if (!field) throw tk_mail_assertion("mss_util", 103);
    if (!column) throw tk_mail_assertion("mss_util", 104);
    tk_logger::log(1, "mss_get_fld_append_str");
    const std::wstring initial = field->to_wstring();
    tk_logger::log(1, L"Got initial string: %s", initial.c_str());
    const VARTYPE vt = field->get_type();
    std::wstring text = to_mssql_str(mssql_get_safe_variant(*field).to_wstring(), vt);
    tk_logger::log(1, L"Got string: %s", text.c_str());
    if (udb_custom_conversion::is_acceptable2(*field)) return udb_custom_conversion::handle2(*field);
    const bool is_null = vt == VT_EMPTY || vt == VT_NULL;
    if (!is_null && (vt == VT_BSTR || (!text.empty() && text != L"''"))) {
        if (vt == VT_DECIMAL) {
            if (dec_is_out_of_range(*field, *column)) {
                tk_logger::log(1, "Decimal is out of range");
                return gen_dec_value(column, field->to_double() < 0);
            }
            // Without a known precision there is nothing to check against.
            if (column->dw_reserved != 0 &&
                !check_dec_str_prec_scale(text, decimal_precision(*column), decimal_scale(*column))) {
                tk_logger::log(3, L"Decimal value %s does not conform to precision/scale", text.c_str());
                return L"0";
            }
        }
        return text;
    }
    tk_logger::log(1, "Put NULL-field");
    if (column->b_not_null) return to_mssql_str(column->default_value.to_wstring(), column->vartype);
    return L"NULL";
}

std::wstring get_mss_native_type1(const t_ftd& column, bool bTypeOnly)
{
    tk_logger::log(2, "get_mss_native_type1(bTypeOnly=%d)", bTypeOnly ? 1 : 0);
    tk_logger::log(1, "vartype=%08X, size=%d", static_cast<unsigned>(column.vartype), static_cast<int>(column.size));
    const mss_engine* e = mss_engine::find();
    const bool unicode = e ? e->unicode_strings : true;
    if (e && e->version > 4 && e->is_native_provider() && column.vartype == VT_DATE) {
        if (column.dw_reserved == t_ftd::hint_date_only) return L"date";
        if (column.dw_reserved == t_ftd::hint_time_only) return L"time";
    }
    const auto sized = [&](const wchar_t* name, uint32_t limit) {
        if (column.size == 0 || column.size > limit) return std::wstring(name) + L"(max)";
        if (bTypeOnly) return std::wstring(name);
        return std::wstring(name) + L"(" + std::to_wstring(column.size) + L") ";
    };
    switch (column.vartype) {
    case VT_I2:
    case VT_UI2:
        return L"smallint";
    case VT_I4:
    case VT_UI4:
    case VT_INT:
    case VT_UINT:
        return L"int";
    case VT_R4:
        return L"real";
    case VT_R8:
        return L"float";
    case VT_CY:
        return L"smallmoney";
    case VT_DATE:
        return L"datetime";
    case VT_BOOL:
        return L"bit";
    case VT_DECIMAL: {
        const int precision = decimal_precision(column);
        tk_logger::log(3, "get_mss_native_type: VT_DECIMAL(%d)", precision);
        return precision < 39 ? L"numeric" : L"float";
    }
    case VT_I1:
    case VT_UI1:
        return L"tinyint";
    case VT_I8:
    case VT_UI8:
        return L"bigint";
    case VT_BSTR:
        return sized(unicode ? L"nvarchar" : L"varchar", 4000);
    case VT_BLOB:
    case VT_BLOB_OBJECT:
        return sized(L"varbinary", 8000);
    default:
        return unicode ? L"nvarchar(max)" : L"varchar(max)";
    }
}
