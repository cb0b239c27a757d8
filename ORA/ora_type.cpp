#include "ORA/ora_type.h"
#include "ORA/ora_engine.h"
#include "ORA/ora_text.h"
#include "ORA/ora_util.h"
#include "TK/tk_exception.h"
#include "TK/tk_logger.h"

namespace {

constexpr ub4 lob_chunk = 32768;
constexpr uint32_t long_size = 1000000;

std::wstring text_of(const std::vector<char16_t>& buf, size_t from = 0)
{
    return ora_from_u16(buf.data() + from, ora_u16_len(buf.data() + from, buf.size() - from));
}

} // namespace

// ---- ora_type

ora_type::ora_type(OCIParam* param, uint16_t type) : data_type(type)
{
    tk_logger::log(1, "ora_type::ctor(%d)", static_cast<int>(type));
    ora_engine& eng = ora_eng();
    OraText* col = nullptr;
    ub4 col_len = 0;
    eng.check_err(OCIAttrGet(param, OCI_DTYPE_PARAM, &col, &col_len, OCI_ATTR_NAME, eng.get_err()));
    if (col) name = ora_from_u16(reinterpret_cast<const char16_t*>(col), col_len / sizeof(char16_t));
    tk_logger::log(1, L"AS WCHAR*: %s", name.c_str());
    ub1 is_null = 1;
    eng.check_err(OCIAttrGet(param, OCI_DTYPE_PARAM, &is_null, nullptr, OCI_ATTR_IS_NULL, eng.get_err()));
    nullable = is_null != 0;
}

// The define handle is the statement's: OCI frees it with the statement, or
// with the statement's next prepare; freeing it here again would free it twice.
ora_type::~ora_type() = default;

void ora_type::read_data_size(OCIParam* param)
{
    ora_engine& eng = ora_eng();
    ub2 size = 0;
    eng.check_err(OCIAttrGet(param, OCI_DTYPE_PARAM, &size, nullptr, OCI_ATTR_DATA_SIZE, eng.get_err()));
    data_size = size;
}

void ora_type::define_buffer(OCIStmt* stmt, ub4 pos, void* buf, sb4 len, ub2 type, ub2* rlen, bool set_csid)
{
    ora_engine& eng = ora_eng();
    // A null handle: OCI makes the define for this statement.
    def = nullptr;
    eng.check_err(OCIDefineByPos(stmt, &def, eng.get_err(), pos, buf, len, type, &ind, rlen, nullptr, OCI_DEFAULT));
    if (set_csid) {
        ub2 csid = OCI_UTF16ID;
        eng.check_err(OCIAttrSet(def, OCI_HTYPE_DEFINE, &csid, 0, OCI_ATTR_CHARSET_ID, eng.get_err()));
    }
}

void ora_type::log_truncation() const
{
    if (ind > 0)
        tk_logger::log(3, L"Value of column '%s' was truncated to %d characters", name.c_str(),
                       static_cast<int>(data_size));
}

VARTYPE ora_type::get_vartype() const
{
    tk_logger::log(1, "ora_type::get_vartype(ctype=%d)", static_cast<int>(ext_type));
    switch (ext_type) {
    case 2:
    case 4:
    case 6:
    case 7:
        return VT_R8;
    case 3:
        return VT_I4;
    case 12:
    case 187:
    case 188:
    case 231:
    case 232:
        return VT_DATE;
    case 23:
    case 24:
    case 113:
    case 114:
        return VT_BLOB;
    default:
        return VT_BSTR;
    }
}

t_ftd ora_type::get_ftd() const
{
    tk_logger::log(1, "ora_type::get_ftd");
    const VARTYPE vt = get_vartype();
    tk_logger::log(1, L"Got field '%s', type=%d, vartype=%d, lenght=%d, nullable=%d", name.c_str(),
                   static_cast<int>(ext_type), static_cast<int>(vt), static_cast<int>(data_size),
                   static_cast<int>(nullable));
    return t_ftd(data_size, name, vt, !nullable, false, ole_variant(), vt == VT_DATE ? 1u : 0u, L"");
}

// ---- ora_string

ora_string::ora_string(OCIParam* param, uint16_t type) : ora_type(param, type)
{
    read_data_size(param);
    ext_type = SQLT_STR;
    buf.assign(data_size + 1, 0);
}

void ora_string::define(OCIStmt* stmt, ub4 pos)
{
    define_buffer(stmt, pos, buf.data(), static_cast<sb4>(data_size * 2 + 2), SQLT_STR, nullptr, true);
}

ole_variant ora_string::to_variant()
{
    // Kept as UTF-16 text: no detour through a narrow code page.
    const std::wstring text = text_of(buf);
    tk_logger::log(1, L"ora_string::to_variant: %s", text.c_str());
    return ole_variant(text);
}

// ---- ora_number

ora_number::ora_number(OCIParam* param, uint16_t type) : ora_type(param, type)
{
    read_data_size(param);
    ext_type = SQLT_STR;
    buf.assign(510 / sizeof(char16_t), 0);
    ora_engine& eng = ora_eng();
    sb2 prec = 0;
    sb1 sc = 0;
    eng.check_err(OCIAttrGet(param, OCI_DTYPE_PARAM, &prec, nullptr, OCI_ATTR_PRECISION, eng.get_err()));
    eng.check_err(OCIAttrGet(param, OCI_DTYPE_PARAM, &sc, nullptr, OCI_ATTR_SCALE, eng.get_err()));
    precision = prec > 0 ? static_cast<uint32_t>(prec) : 0;
    scale = sc > 0 ? static_cast<uint32_t>(sc) : 0;
    tk_logger::log(1, "Prec=%d, scale=%d", static_cast<int>(precision), static_cast<int>(scale));
    if (type == 100 || type == 101) // BINARY_FLOAT, BINARY_DOUBLE
        vartype = VT_R8;
    else
        vartype = get_refined_num_type(precision, scale);
}

void ora_number::define(OCIStmt* stmt, ub4 pos)
{
    define_buffer(stmt, pos, buf.data(), static_cast<sb4>(buf.size() * sizeof(char16_t)), SQLT_STR, nullptr, true);
}

t_ftd ora_number::get_ftd() const
{
    tk_logger::log(1, "ora_number::get_ftd");
    tk_logger::log(1, L"Got field '%s', type=%d, lenght=%d, nullable=%d", name.c_str(), static_cast<int>(vartype),
                   static_cast<int>(data_size), static_cast<int>(nullable));
    const uint32_t hint = vartype == VT_DECIMAL ? (precision << 8 | scale) : 0;
    return t_ftd(data_size, name, vartype, !nullable, false, ole_variant(), hint, L"");
}

ole_variant ora_number::to_variant()
{
    const std::wstring text = text_of(buf);
    tk_logger::log(1, L"ora_number::to_variant(buf=%s)", text.c_str());
    return ole_variant::from_wstring(text, vartype);
}

// ---- ora_binary

ora_binary::ora_binary(OCIParam* param, uint16_t type) : ora_type(param, type)
{
    read_data_size(param);
    ext_type = SQLT_BIN;
    buf.assign(data_size, 0);
}

void ora_binary::define(OCIStmt* stmt, ub4 pos)
{
    define_buffer(stmt, pos, buf.data(), static_cast<sb4>(buf.size()), SQLT_BIN, &rlen, false);
}

ole_variant ora_binary::to_variant()
{
    if (buf.empty() && data_size != 0) throw tk_mail_assertion("..\\ORA/ora_type", 103);
    // The value is what the fetch returned, not the whole buffer.
    const size_t n = rlen <= buf.size() ? rlen : buf.size();
    ole_variant v;
    v = std::vector<uint8_t>(buf.begin(), buf.begin() + static_cast<std::ptrdiff_t>(n));
    return v;
}

// ---- ora_lob

ora_lob::ora_lob(OCIParam* param, uint16_t type) : ora_type(param, type)
{
    read_data_size(param);
    ext_type = type;
    ora_engine& eng = ora_eng();
    void* d = nullptr;
    eng.check_err(OCIDescriptorAlloc(eng.get_env(), &d, OCI_DTYPE_LOB, 0, nullptr));
    loc = static_cast<OCILobLocator*>(d);
}

ora_lob::~ora_lob()
{
    if (loc) OCIDescriptorFree(loc, OCI_DTYPE_LOB);
}

void ora_lob::define(OCIStmt* stmt, ub4 pos)
{
    define_buffer(stmt, pos, &loc, static_cast<sb4>(sizeof(OCILobLocator*)), ext_type, nullptr, false);
}

ub4 ora_lob::read_lob(ub4 offset, void* buffer, ub4 buffer_len)
{
    tk_logger::log(1, "ora_lob::read_lob(%d,%d)", static_cast<int>(offset), static_cast<int>(buffer_len));
    ora_engine& eng = ora_eng();
    ub1 form = SQLCS_IMPLICIT;
    ub2 csid = 0;
    if (ext_type == SQLT_CLOB) {
        eng.check_err(OCILobCharSetForm(eng.get_env(), eng.get_err(), loc, &form));
        tk_logger::log(1, "Got charset form: %d", static_cast<int>(form));
        csid = OCI_UTF16ID;
    }
    // One piece: as much as the buffer holds, in characters for a CLOB and
    // bytes for a BLOB. An amount of 0 would start a read in pieces, which
    // ignores the offsets of the calls after it.
    ub4 amt = ext_type == SQLT_CLOB ? buffer_len / static_cast<ub4>(sizeof(char16_t)) : buffer_len;
    eng.check_err(
        OCILobRead(eng.get_svc(), eng.get_err(), loc, &amt, offset, buffer, buffer_len, nullptr, nullptr, csid, form));
    return amt;
}

ole_variant ora_lob::to_variant()
{
    tk_logger::log(1, "ora_lob::to_variant");
    if (ext_type == SQLT_CLOB) {
        tk_logger::log(1, "Got SQLT_CLOB!");
        // Chunks are UTF-16 and the amounts count characters.
        std::u16string text;
        std::vector<char16_t> chunk(lob_chunk / sizeof(char16_t));
        ub4 offset = 1;
        for (;;) {
            ub4 n = read_lob(offset, chunk.data(), lob_chunk);
            tk_logger::log(1, "bytes_read=%d", static_cast<int>(n * 2));
            if (n == 0) break;
            if (n > chunk.size()) n = static_cast<ub4>(chunk.size());
            text.append(chunk.data(), n);
            offset += n;
            // A short piece is the last: no call more to learn that.
            if (n < chunk.size()) break;
        }
        return ole_variant(ora_from_u16(text));
    }
    if (ext_type == SQLT_BLOB) {
        std::vector<uint8_t> data;
        std::vector<uint8_t> chunk(lob_chunk);
        ub4 offset = 1;
        for (;;) {
            ub4 n = read_lob(offset, chunk.data(), lob_chunk);
            if (n == 0) break;
            if (n > chunk.size()) n = static_cast<ub4>(chunk.size());
            data.insert(data.end(), chunk.begin(), chunk.begin() + n);
            offset += n;
            if (n < chunk.size()) break;
        }
        ole_variant v;
        v = data;
        return v;
    }
    throw tk_mail_assertion("ora_type", 0);
}

// ---- ora_date

ora_date::ora_date(OCIParam* param, uint16_t type) : ora_type(param, type)
{
    read_data_size(param);
    ext_type = SQLT_TIMESTAMP;
    ora_engine& eng = ora_eng();
    void* d = nullptr;
    eng.check_err(OCIDescriptorAlloc(eng.get_env(), &d, OCI_DTYPE_TIMESTAMP, 0, nullptr));
    dt = static_cast<OCIDateTime*>(d);
}

ora_date::~ora_date()
{
    if (dt) OCIDescriptorFree(dt, OCI_DTYPE_TIMESTAMP);
}

void ora_date::define(OCIStmt* stmt, ub4 pos)
{
    define_buffer(stmt, pos, &dt, static_cast<sb4>(sizeof(OCIDateTime*)), SQLT_TIMESTAMP, nullptr, false);
}

ole_variant ora_date::to_variant()
{
    ora_engine& eng = ora_eng();
    sb2 yr = 0;
    ub1 mo = 0, dy = 0, hh = 0, mi = 0, ss = 0;
    ub4 fsec = 0;
    eng.check_err(OCIDateTimeGetDate(eng.get_env(), eng.get_err(), dt, &yr, &mo, &dy));
    eng.check_err(OCIDateTimeGetTime(eng.get_env(), eng.get_err(), dt, &hh, &mi, &ss, &fsec));
    SYSTEMTIME st{};
    st.wYear = static_cast<WORD>(yr);
    st.wMonth = mo;
    st.wDay = dy;
    st.wHour = hh;
    st.wMinute = mi;
    st.wSecond = ss;
    constexpr ub4 ns_per_ms = 1000000;
    st.wMilliseconds = static_cast<WORD>(fsec / ns_per_ms);
    tk_logger::log(1, "Got time: %02d:%02d:%02d.%09u", hh, mi, ss, static_cast<unsigned>(fsec));
    return ole_variant(st, fsec % ns_per_ms); // every digit of a TIMESTAMP(9)
}

// ---- ora_str_repr

ora_str_repr::ora_str_repr(OCIParam* param, uint16_t type) : ora_type(param, type)
{
    read_data_size(param);
    ext_type = SQLT_STR;
    switch (type) {
    case 8:
    case 24:
        data_size = long_size;
        break;
    case 11:
    case 104:
    case 105:
        data_size = 255;
        break;
    default:
        data_size = 16;
        break;
    }
    if (is_long_raw()) {
        buf.assign(data_size * 2 + 2, 0);
        buf[0] = u'0';
        buf[1] = u'x';
    } else {
        buf.assign(data_size + 1, 0);
    }
}

VARTYPE ora_str_repr::get_vartype() const
{
    return is_long_raw() ? static_cast<VARTYPE>(VT_BLOB) : ora_type::get_vartype();
}

void ora_str_repr::define(OCIStmt* stmt, ub4 pos)
{
    if (is_long_raw())
        define_buffer(stmt, pos, buf.data() + 2, static_cast<sb4>((buf.size() - 2) * sizeof(char16_t)), SQLT_STR,
                      nullptr, false);
    else
        define_buffer(stmt, pos, buf.data(), static_cast<sb4>(buf.size() * sizeof(char16_t)), SQLT_STR, nullptr, true);
}

ole_variant ora_str_repr::to_variant()
{
    log_truncation();
    if (is_long_raw()) return ole_variant::from_wstring(text_of(buf), VT_BLOB);
    return ole_variant(text_of(buf));
}

// ---- ora_dummy

ora_dummy::ora_dummy(OCIParam* param, uint16_t type) : ora_type(param, type) { ext_type = 0; }

ole_variant ora_dummy::to_variant() { return ole_variant(std::wstring(L"<unsupported type>")); }
