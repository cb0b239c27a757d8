#include "MSS/odb_record.h"

#include <cstring>
#include <cwctype>

#include "MSS/mss_engine.h"
#include "MSS/odb_accessor.h"
#include "OLE/ole_date.h"
#include "OLE/ole_decimal_text.h"
#include "OLE/ole_long_value.h"
#include "TK/tk_exception.h"
#include "TK/tk_logger.h"
#include "TK/tk_text.h"

namespace {

bool in_2008_mode()
{
    const mss_engine* e = mss_engine::find();
    return e && e->is_2008_mode();
}

std::wstring column_name(const DBCOLUMNINFO& c) { return c.pwszName ? std::wstring(c.pwszName) : std::wstring(); }

bool starts_no_case(const std::wstring& s, const wchar_t* prefix)
{
    const size_t n = std::wcslen(prefix);
    if (s.size() < n) return false;
    for (size_t i = 0; i < n; ++i)
        if (std::towlower(static_cast<wint_t>(s[i])) != std::towlower(static_cast<wint_t>(prefix[i]))) return false;
    return true;
}

// A numeric(38) value can have more significant digits than a DECIMAL's 96
// bits hold; rounding it would change the value (and may overflow its column),
// so such a value keeps its exact text, which the writer puts in as a number.
bool is_number_type(VARTYPE vt)
{
    switch (vt) {
    case VT_I1:
    case VT_UI1:
    case VT_I2:
    case VT_UI2:
    case VT_I4:
    case VT_UI4:
    case VT_I8:
    case VT_UI8:
    case VT_R4:
    case VT_R8:
    case VT_CY:
    case VT_DECIMAL:
        return true;
    default:
        return false;
    }
}

// The whole text is one number, as the provider writes numbers.
bool is_number_text(const std::wstring& text)
{
    DOUBLE ignored = 0;
    return SUCCEEDED(VarR8FromStr(text.c_str(), LANG_EN_US_LCID, 0, &ignored));
}

ole_variant decimal_value(const std::wstring& text)
{
    ole_variant value = ole_variant::from_wstring(text, VT_DECIMAL);
    const std::wstring exact = ole_canonical_decimal(text);
    if (exact.empty() || (value.value.vt == VT_DECIMAL && ole_canonical_decimal(value.to_wstring()) == exact))
        return value;
    tk_logger::log(2, L"Decimal value %s is beyond the 28 digits of a DECIMAL: kept as its exact text", text.c_str());
    return ole_variant(exact);
}

} // namespace

std::wstring odb_field::to_wstring() const
{
    tk_logger::log(1, "odb_field::to_wstring");
    return ole_variant::to_wstring();
}

VARTYPE odb_record::get_vartype(DBTYPE type, DBLENGTH, DBCOLUMNFLAGS, uint32_t& hint)
{
    tk_logger::log(1, "odb_record::get_vartype(%d)", static_cast<int>(type));
    switch (type) {
    case DBTYPE_I2:
        return VT_I2;
    case DBTYPE_I4:
        return VT_I4;
    case DBTYPE_R4:
        return VT_R4;
    case DBTYPE_R8:
        return VT_R8;
    case DBTYPE_CY:
        return VT_CY;
    case DBTYPE_DATE:
    case DBTYPE_DBDATE:
        if (in_2008_mode()) hint = t_ftd::hint_date_only;
        return VT_DATE;
    case DBTYPE_BSTR:
    case DBTYPE_STR:
    case DBTYPE_WSTR:
        return VT_BSTR;
    case DBTYPE_GUID:
        hint = t_ftd::hint_bstr_guid;
        return VT_BSTR;
    case DBTYPE_BOOL:
        return VT_BOOL;
    case DBTYPE_DECIMAL:
    case DBTYPE_NUMERIC:
        return VT_DECIMAL;
    case DBTYPE_I1:
        return VT_I1;
    case DBTYPE_UI1:
        return VT_UI1;
    case DBTYPE_UI2:
        return VT_UI2;
    case DBTYPE_UI4:
        return VT_UI4;
    case DBTYPE_I8:
        return VT_I8;
    case DBTYPE_UI8:
        return VT_UI8;
    case DBTYPE_DBTIME:
    case DBTYPE_DBTIMESTAMP:
        return VT_DATE;
    case DBTYPE_XML:
        tk_logger::log(1, "Got DBTYPE_XML, set dw_reserved = 11");
        hint = t_ftd::hint_bstr_xml;
        return VT_BSTR;
    case DBTYPE_DBTIME2:
        if (in_2008_mode()) hint = t_ftd::hint_time_only;
        return VT_DATE;
    case DBTYPE_DBTIMESTAMPOFFSET:
        // Its text keeps the offset, which a VT_DATE cannot hold.
        hint = t_ftd::hint_bstr_timestamp_tz;
        return VT_BSTR;
    case DBTYPE_VARIANT:
        return VT_BSTR; // the value's own text
    default:
        return VT_BLOB;
    }
}

bool odb_record::is_hex_text(const std::wstring& text)
{
    size_t start = 0;
    if (text.size() >= 2 && (text[0] == L'0' || text[0] == L'\\') && (text[1] == L'x' || text[1] == L'X')) start = 2;
    const size_t digits = text.size() - start;
    if (digits == 0 || digits % 2 != 0) return false;
    for (size_t i = start; i < text.size(); ++i)
        if (!std::iswxdigit(static_cast<wint_t>(text[i]))) return false;
    return true;
}

std::unique_ptr<odb_field> odb_record::get_field(const DBCOLUMNINFO& column, const wchar_t* text)
{
    return get_field(column, text, text ? std::wcslen(text) : 0);
}

namespace {

// The value of a column's non-empty text by the general parsers. Throws
// tk_exception for text its type cannot take.
ole_variant general_value(const DBCOLUMNINFO& column, VARTYPE vt, const std::wstring& value_text)
{
    ole_variant value;
    if (column.wType == DBTYPE_DATE || column.wType == DBTYPE_DBTIMESTAMP) {
        value = ole_date(value_text).to_variant();
    } else if (vt == VT_BLOB && !odb_record::is_hex_text(value_text)) {
        // Not a binary image: keep the text's own bytes rather than decode garbage.
        const std::string bytes = to_utf8(value_text);
        tk_logger::log(3, L"Column '%s': value is not hexadecimal, its text is stored as bytes",
                       column_name(column).c_str());
        value = ole_variant(reinterpret_cast<const BYTE*>(bytes.data()), bytes.size());
    } else if (is_number_type(vt) && !is_number_text(value_text)) {
        // Read by its leading digits it would arrive altered ("12abc" as 12).
        throw tk_exception(L"The value of column '" + column_name(column) + L"' is not a number", 0);
    } else if (vt == VT_DECIMAL) {
        value = decimal_value(value_text);
    } else {
        value = ole_variant::from_wstring(value_text, vt);
    }
    const VARTYPE got = value.value.vt;
    if ((got == VT_EMPTY || got == VT_NULL) && vt != VT_BSTR)
        throw tk_exception(L"The value of column '" + column_name(column) + L"' cannot be read as its type", 0);
    return value;
}

// The shadows of a value an attach leaves as they were.
void clear_shadows(ole_variant& v)
{
    v.i8_value = 0;
    v.ui8_value = 0;
    std::memset(&v.date_parts, 0, sizeof(v.date_parts));
}

// Reads a column's text into out: text in the provider's own form straight,
// any other by the general parsers. Throws tk_exception as general_value.
void read_value(const DBCOLUMNINFO& column, VARTYPE vt, odb_text_form form, const std::wstring& text, ole_variant& out)
{
    if (vt == VT_BSTR) {
        // Empty text stays an empty string, not NULL.
        clear_shadows(out);
        out.attach_wstring(text);
        return;
    }
    if (text.empty()) {
        out = ole_variant();
        return;
    }
    if (odb_read_text(form, vt, text.data(), text.size(), out)) return;
    out = general_value(column, vt, text);
}

} // namespace

std::unique_ptr<odb_field> odb_record::get_field(const DBCOLUMNINFO& column, const wchar_t* text, size_t length)
{
    const std::wstring value_text = text ? std::wstring(text, length) : std::wstring();
    tk_logger::log(1, L"odb_record::get_field(%s)", value_text.c_str());
    uint32_t hint = 0;
    const VARTYPE vt = get_vartype(column.wType, column.ulColumnSize, column.dwFlags, hint);
    ole_variant value;
    read_value(column, vt, odb_text_form_of(column.wType, vt), value_text, value);
    return std::make_unique<odb_field>(column_name(column), static_cast<int32_t>(column.ulColumnSize), value);
}

std::vector<odb_record::column_plan> odb_record::plan_columns(uint32_t n, const DBCOLUMNINFO* cols)
{
    std::vector<column_plan> plan(n);
    for (uint32_t i = 0; i < n; ++i) {
        const DBCOLUMNINFO& c = cols[i];
        column_plan& p = plan[i];
        p.name = column_name(c);
        p.size = static_cast<int32_t>(c.ulColumnSize);
        uint32_t hint = 0;
        p.vt = get_vartype(c.wType, c.ulColumnSize, c.dwFlags, hint);
        p.form = odb_text_form_of(c.wType, p.vt);
    }
    return plan;
}

odb_record::odb_record(uint32_t n, const BYTE* buffer, const DBCOLUMNINFO* cols, const DBBINDING* binds)
    : odb_record(n, buffer, cols, binds, cols ? plan_columns(n, cols) : std::vector<column_plan>(n))
{}

odb_record::odb_record(uint32_t n, const BYTE* buffer, const DBCOLUMNINFO* cols, const DBBINDING* binds,
                       const std::vector<column_plan>& plan)
    : n_cols(n), row_buffer(buffer), columns(cols), bindings(binds)
{
    tk_logger::log(1, "odb_record::ctor");
    if (!row_buffer) throw tk_mail_assertion("odb_rec", 70);
    if (!bindings) throw tk_mail_assertion("odb_rec", 71);
    fill(plan);
}

void odb_record::refill(uint32_t n, const BYTE* buffer, const DBCOLUMNINFO* cols, const DBBINDING* binds,
                        const std::vector<column_plan>& plan)
{
    tk_logger::log(1, "odb_record::refill");
    if (!buffer) throw tk_mail_assertion("odb_rec", 70);
    if (!binds) throw tk_mail_assertion("odb_rec", 71);
    n_cols = n;
    row_buffer = buffer;
    columns = cols;
    bindings = binds;
    fill(plan);
}

udb_field& odb_record::field_at(uint32_t i, const column_plan& plan)
{
    std::unique_ptr<udb_field>& slot = fields[i];
    if (!slot)
        slot = std::make_unique<odb_field>(plan.name, plan.size, ole_variant());
    else if (slot->name != plan.name)
        slot->name = plan.name; // renamed by whoever had the record before
    slot->size = plan.size;
    return *slot;
}

void odb_record::fill(const std::vector<column_plan>& plan)
{
    if (plan.size() != n_cols) throw tk_mail_assertion("odb_rec", 72);
    lost.clear();
    if (fields.size() != n_cols) {
        fields.clear();
        fields.resize(n_cols);
    }
    bool any_stream = false;
    for (uint32_t i = 0; i < n_cols && !any_stream; ++i) any_stream = bindings[i].wType == DBTYPE_IUNKNOWN;
    // The row's stream objects are ours from here on, whatever happens below.
    struct releaser {
        void operator()(ISequentialStream* p) const { p->Release(); }
    };
    std::vector<std::unique_ptr<ISequentialStream, releaser>> streams(any_stream ? n_cols : 0);
    for (uint32_t i = 0; any_stream && i < n_cols; ++i) {
        DBSTATUS status = 0;
        std::memcpy(&status, row_buffer + bindings[i].obStatus, sizeof(status));
        if (bindings[i].wType == DBTYPE_IUNKNOWN && status == DBSTATUS_S_OK) {
            ISequentialStream* p = nullptr;
            std::memcpy(&p, row_buffer + bindings[i].obValue, sizeof(p));
            streams[i].reset(p);
        }
    }
    for (uint32_t i = 0; i < n_cols; ++i) {
        const DBBINDING& b = bindings[i];
        const DBCOLUMNINFO& c = columns[i];
        const column_plan& p = plan[i];
        DBSTATUS status = 0;
        std::memcpy(&status, row_buffer + b.obStatus, sizeof(status));
        if (status == DBSTATUS_S_OK && b.wType == DBTYPE_IUNKNOWN && !streams[i]) status = DBSTATUS_E_UNAVAILABLE;
        if (status != DBSTATUS_S_OK) {
            tk_logger::log(1, "Field #%d - FAILED, status code=%08X", static_cast<int>(i),
                           static_cast<unsigned>(status));
            if (status != DBSTATUS_S_ISNULL) lost.push_back({i, status});
            ole_variant& null_value = field_at(i, p);
            null_value = ole_variant();
            tk_logger::log(1, "\t<NULL>");
            continue;
        }
        DBLENGTH length = 0;
        std::memcpy(&length, row_buffer + b.obLength, sizeof(length));
        tk_logger::log(1, "Field #%d - OK, length=%d", static_cast<int>(i), static_cast<int>(length));
        if (b.wType == DBTYPE_IUNKNOWN) {
            fields[i] = stream_field(c, length, streams[i].get());
            continue;
        }
        const BYTE* value = row_buffer + b.obValue;
        if (length > b.cbMaxLen) length = b.cbMaxLen;
        if (c.wType == DBTYPE_BYTES) {
            tk_logger::log(1, "Processing VT_BLOB");
            udb_field& f = field_at(i, p);
            f.size = static_cast<int32_t>(length);
            ole_variant& bytes = f;
            if (bytes.value.vt != VT_BYTE_ARRAY)
                bytes = ole_variant(value, static_cast<size_t>(length));
            else
                bytes.attach_binary(value, static_cast<size_t>(length)); // the array's room is reused
        } else {
            // The length word, not a terminator, ends the text: values may hold U+0000.
            text_.resize(length / sizeof(WCHAR));
            if (!text_.empty()) std::memcpy(text_.data(), value, text_.size() * sizeof(WCHAR));
            ole_variant& f = field_at(i, p);
            try {
                read_value(c, p.vt, p.form, text_, f);
            } catch (const tk_exception&) {
                // A text the value type cannot take is lost like a value the
                // provider could not convert: NULL, and reported by the caller.
                lost.push_back({i, DBSTATUS_E_CANTCONVERTVALUE});
                f = ole_variant();
            }
            tk_logger::log(1, L"\t%s", text_.c_str());
        }
    }
}

std::unique_ptr<odb_field> odb_record::stream_field(const DBCOLUMNINFO& c, DBLENGTH length, ISequentialStream* stream)
{
    const bool binary = c.wType == DBTYPE_BYTES;
    ole_variant value =
        ole_long_value::make(stream, binary ? ole_long_value::form::bytes : ole_long_value::form::wide_text);
    if (length > odb_accessor::inline_long_bytes) {
        tk_logger::log(1, "Long value of %llu bytes, left in its stream", static_cast<unsigned long long>(length));
        return std::make_unique<odb_field>(column_name(c), static_cast<int32_t>(binary ? length : c.ulColumnSize),
                                           value);
    }
    // A value of ordinary size becomes an ordinary field, as if bound in the row.
    ole_long_value* lv = ole_long_value::of(value);
    if (binary) {
        const std::vector<BYTE> bytes = lv->read_bytes(static_cast<size_t>(length) + 1);
        return std::make_unique<odb_field>(column_name(c), static_cast<int32_t>(bytes.size()),
                                           ole_variant(bytes.data(), bytes.size()));
    }
    const std::wstring text = lv->read_text(static_cast<size_t>(length) / sizeof(WCHAR) + 1);
    // Read into the field itself: a long text is not copied again on the way.
    uint32_t hint = 0;
    const VARTYPE vt = get_vartype(c.wType, c.ulColumnSize, c.dwFlags, hint);
    auto field = std::make_unique<odb_field>(column_name(c), static_cast<int32_t>(c.ulColumnSize), ole_variant());
    read_value(c, vt, odb_text_form_of(c.wType, vt), text, *field);
    return field;
}

DBTYPE odb_record::get_oledb_type(const t_ftd& field)
{
    tk_logger::log(1, "odb_record::get_oledb_type(%d)", static_cast<int>(field.vartype));
    const mss_engine* e = mss_engine::find();
    const bool unicode = e ? e->unicode_strings : true;
    switch (field.vartype) {
    case VT_I2:
    case VT_I1:
        return DBTYPE_I2;
    case VT_I4:
    case VT_UI2:
    case VT_INT:
        return DBTYPE_I4;
    case VT_R4:
    case VT_R8:
        return DBTYPE_R8;
    case VT_CY:
        return DBTYPE_CY;
    case VT_DATE:
        tk_logger::log(1, "Got VT_DATE, flags=%d", static_cast<int>(field.dw_reserved));
        if (in_2008_mode()) {
            if ((field.dw_reserved & 3) == 2) return DBTYPE_DATE;
            if ((field.dw_reserved & 3) == 3) return DBTYPE_DBTIME2;
        }
        return DBTYPE_DBTIMESTAMP;
    case VT_BSTR:
        if (!unicode) return DBTYPE_STR;
        if (starts_no_case(field.native_type, L"varchar") || starts_no_case(field.native_type, L"char") ||
            starts_no_case(field.native_type, L"text"))
            return DBTYPE_STR;
        return DBTYPE_WSTR;
    case VT_BOOL:
        return DBTYPE_BOOL;
    case VT_DECIMAL: {
        const unsigned precision = field.get_precision();
        return precision >= 1 && precision <= 38 ? DBTYPE_NUMERIC : DBTYPE_R8;
    }
    case VT_UI1:
        return DBTYPE_UI1;
    case VT_UI4:
    case VT_I8:
    case VT_UINT:
        return DBTYPE_I8;
    case VT_UI8:
        return field.b_auto_num ? DBTYPE_I8 : DBTYPE_R8;
    case VT_BLOB:
    case VT_BLOB_OBJECT:
        return DBTYPE_BYTES;
    default:
        tk_logger::log(1, "Got string (by default)!");
        return unicode ? DBTYPE_WSTR : DBTYPE_STR;
    }
}
