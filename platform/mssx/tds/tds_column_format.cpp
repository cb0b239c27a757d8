#include "platform/mssx/tds/tds_column_format.h"
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include "platform/mssx/tds/tds_constants.h"
#include "platform/mssx/tds/tds_datetime.h"
#include "platform/mssx/tds/tds_text.h"

namespace {

// SQL_Latin1_General_CP1_CI_AS: LCID 0x0409, ignore case, kana and width; sort id 52.
constexpr unsigned char kCollation[5] = {0x09, 0x04, 0xD0, 0x00, 0x34};
constexpr uint32_t kMaxCharBytes = 8000;
constexpr uint32_t kLegacyLobLength = 0x7FFFFFFF;

uint8_t decimal_bytes(int precision)
{
    if (precision <= 9) return 5;
    if (precision <= 19) return 9;
    if (precision <= 28) return 13;
    return 17;
}

uint8_t time_bytes(int scale) { return scale <= 2 ? 3 : scale <= 4 ? 4 : 5; }

int64_t as_int(const mssx_value& v)
{
    if (auto p = std::get_if<int64_t>(&v)) return *p;
    if (auto d = std::get_if<double>(&v)) return static_cast<int64_t>(*d);
    if (auto s = std::get_if<std::string>(&v)) return std::strtoll(s->c_str(), nullptr, 10);
    return 0;
}

double as_double(const mssx_value& v)
{
    if (auto d = std::get_if<double>(&v)) return *d;
    if (auto p = std::get_if<int64_t>(&v)) return static_cast<double>(*p);
    if (auto s = std::get_if<std::string>(&v)) return std::strtod(s->c_str(), nullptr);
    return 0;
}

std::string as_text(const mssx_type& t, const mssx_value& v)
{
    // A sql_variant's stored text carries its base type: the value's own text goes out.
    if (t.name == "sql_variant") return mssx_text(t, v);
    if (auto s = std::get_if<std::string>(&v)) return *s;
    if (auto b = std::get_if<mssx_blob>(&v)) return b->bytes;
    return mssx_text(t, v);
}

// An exact number as its scaled magnitude and sign; false when it does not fit in p digits.
bool scaled_integer(const mssx_type& t, const mssx_value& v, int precision, int scale, unsigned __int128& mag,
                    bool& negative)
{
    std::string text;
    if (auto p = std::get_if<int64_t>(&v))
        text = std::to_string(*p);
    else if (auto d = std::get_if<double>(&v)) {
        char b[80];
        std::snprintf(b, sizeof b, "%.*f", scale, *d);
        text = b;
    } else
        text = as_text(t, v);
    std::string norm;
    if (!mssx_normalize_decimal(text, precision, scale, norm)) return false;
    negative = !norm.empty() && norm[0] == '-';
    mag = 0;
    for (char c : norm)
        if (c >= '0' && c <= '9') mag = mag * 10 + static_cast<unsigned>(c - '0');
    if (mag == 0) negative = false;
    return true;
}

void write_le(tds_writer& w, unsigned __int128 v, size_t n)
{
    for (size_t i = 0; i < n; ++i) {
        w.u8(static_cast<uint8_t>(v & 0xFF));
        v >>= 8;
    }
}

void write_plp(tds_writer& w, std::string_view data)
{
    w.u64(data.size());
    if (!data.empty()) {
        w.u32(static_cast<uint32_t>(data.size()));
        w.bytes(data);
    }
    w.u32(0);
}

void write_guid(tds_writer& w, const std::string& text)
{
    std::string hex;
    for (char c : text)
        if (std::isxdigit(static_cast<unsigned char>(c))) hex += c;
    hex.resize(32, '0');
    unsigned char b[16];
    for (int i = 0; i < 16; ++i)
        b[i] = static_cast<unsigned char>(std::strtoul(hex.substr(static_cast<size_t>(i) * 2, 2).c_str(), nullptr, 16));
    // the first three groups are little-endian on the wire
    const int order[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
    w.u8(16);
    for (int i : order) w.u8(b[i]);
}

void write_sized(tds_writer& w, const tds_column_format& f, std::string_view data)
{
    if (f.plp)
        write_plp(w, data);
    else {
        w.u16(static_cast<uint16_t>(data.size()));
        w.bytes(data);
    }
}

void write_legacy_lob(tds_writer& w, std::string_view data)
{
    w.u8(tds::kTextPtrLength);
    w.bytes(std::string(tds::kTextPtrLength, '\0')); // text pointer: this server has no pages to point at
    w.bytes(std::string(8, '\0'));                   // timestamp
    w.u32(static_cast<uint32_t>(data.size()));
    w.bytes(data);
}

} // namespace

tds_column_format tds_format_of(const mssx_type& t, uint32_t version)
{
    tds_column_format f;
    const std::string& n = t.name;
    bool plp_ok = version >= tds::kTds72;
    bool dates_ok = version >= tds::kTds73A;
    auto set = [&](tds_kind k, uint8_t type, uint32_t len) {
        f.kind = k;
        f.type = type;
        f.length = len;
    };
    auto character = [&](bool wide, bool fixed, int64_t chars) {
        uint32_t unit = wide ? 2 : 1;
        if (chars > 0 && static_cast<uint64_t>(chars) * unit <= kMaxCharBytes) {
            set(wide ? tds_kind::nchar : tds_kind::char8,
                wide ? (fixed ? tds::kNCharType : tds::kNVarcharType)
                     : (fixed ? tds::kBigCharType : tds::kBigVarChrType),
                static_cast<uint32_t>(chars) * unit);
        } else if (plp_ok) {
            set(wide ? tds_kind::nchar : tds_kind::char8, wide ? tds::kNVarcharType : tds::kBigVarChrType,
                tds::kMaxLengthPlp);
            f.plp = true;
        } else
            set(wide ? tds_kind::ntext : tds_kind::text8, wide ? tds::kNTextType : tds::kTextType, kLegacyLobLength);
    };
    if (n == "bit")
        set(tds_kind::integer, tds::kBitNType, 1);
    else if (n == "tinyint")
        set(tds_kind::integer, tds::kIntNType, 1);
    else if (n == "smallint")
        set(tds_kind::integer, tds::kIntNType, 2);
    else if (n == "int" || n == "ole_ui2")
        set(tds_kind::integer, tds::kIntNType, n == "int" ? 4 : 4);
    else if (n == "bigint" || n == "ole_ui4" || n == "ole_ui8")
        set(tds_kind::integer, tds::kIntNType, 8);
    else if (n == "decimal" || n == "numeric") {
        int p = t.precision > 0 ? t.precision : 38;
        set(tds_kind::decimal, n == "decimal" ? tds::kDecimalNType : tds::kNumericNType, decimal_bytes(p));
        f.precision = static_cast<uint8_t>(p);
        f.scale = static_cast<uint8_t>(t.scale);
    } else if (n == "money")
        set(tds_kind::money, tds::kMoneyNType, 8);
    else if (n == "smallmoney")
        set(tds_kind::money, tds::kMoneyNType, 4);
    else if (n == "float")
        set(tds_kind::floating, tds::kFltNType, 8);
    else if (n == "real")
        set(tds_kind::floating, tds::kFltNType, 4);
    else if (n == "char" || n == "varchar")
        character(false, n == "char", t.length);
    else if (n == "nchar" || n == "nvarchar")
        character(true, n == "nchar", t.length);
    else if (n == "text")
        set(tds_kind::text8, tds::kTextType, kLegacyLobLength);
    else if (n == "ntext")
        set(tds_kind::ntext, tds::kNTextType, kLegacyLobLength);
    else if (n == "image")
        set(tds_kind::image, tds::kImageType, kLegacyLobLength);
    else if (n == "xml") {
        if (plp_ok) {
            set(tds_kind::xml, tds::kXmlType, tds::kMaxLengthPlp);
            f.plp = true;
        } else
            set(tds_kind::ntext, tds::kNTextType, kLegacyLobLength);
    } else if (n == "binary" || n == "varbinary" || n == "rowversion" || n == "timestamp") {
        bool fixed = n != "varbinary";
        int64_t len = n == "rowversion" || n == "timestamp" ? 8 : t.length;
        if (len > 0 && len <= kMaxCharBytes)
            set(tds_kind::binary, fixed ? tds::kBigBinaryType : tds::kBigVarBinType, static_cast<uint32_t>(len));
        else if (plp_ok) {
            set(tds_kind::binary, tds::kBigVarBinType, tds::kMaxLengthPlp);
            f.plp = true;
        } else
            set(tds_kind::image, tds::kImageType, kLegacyLobLength);
    } else if (n == "uniqueidentifier")
        set(tds_kind::guid, tds::kGuidType, 16);
    else if (n == "datetime" || n == "ole_date")
        set(tds_kind::datetime, tds::kDatetimNType, 8);
    else if (n == "smalldatetime")
        set(tds_kind::smalldatetime, tds::kDatetimNType, 4);
    else if (n == "date" || n == "time" || n == "datetime2" || n == "datetimeoffset") {
        if (!dates_ok)
            character(true, false, 34); // down-level clients get the text form, as from the server
        else if (n == "date")
            set(tds_kind::date, tds::kDateNType, 3);
        else {
            f.scale = static_cast<uint8_t>(t.scale);
            uint32_t tb = time_bytes(t.scale);
            if (n == "time")
                set(tds_kind::time, tds::kTimeNType, tb);
            else if (n == "datetime2")
                set(tds_kind::datetime2, tds::kDatetime2NType, tb + 3);
            else
                set(tds_kind::datetimeoffset, tds::kDatetimeOffsetNType, tb + 5);
            f.scale = static_cast<uint8_t>(t.scale);
        }
    } else if (n == "hierarchyid" || n == "geometry" || n == "geography") {
        character(false, false, -1);
        f.kind = tds_kind::binary;
        f.type = plp_ok ? tds::kBigVarBinType : tds::kImageType;
        if (!plp_ok) f.kind = tds_kind::image;
    } else
        character(true, false, 4000); // sql_variant and anything else: its text
    return f;
}

void tds_write_collation(tds_writer& w) { w.bytes(std::string_view(reinterpret_cast<const char*>(kCollation), 5)); }

tds_column_format tds_not_null_format(const tds_column_format& f)
{
    tds_column_format x = f;
    auto fixed = [&](uint8_t type) {
        x.type = type;
        x.fixed = true;
    };
    switch (f.kind) {
    case tds_kind::integer:
        if (f.type == tds::kBitNType)
            fixed(tds::kBitType);
        else
            fixed(f.length == 1   ? tds::kInt1Type
                  : f.length == 2 ? tds::kInt2Type
                  : f.length == 4 ? tds::kInt4Type
                                  : tds::kInt8Type);
        break;
    case tds_kind::money:
        fixed(f.length == 4 ? tds::kMoney4Type : tds::kMoneyType);
        break;
    case tds_kind::floating:
        fixed(f.length == 4 ? tds::kFlt4Type : tds::kFlt8Type);
        break;
    case tds_kind::datetime:
        fixed(tds::kDatetimeType);
        break;
    case tds_kind::smalldatetime:
        fixed(tds::kDatetim4Type);
        break;
    default:
        break;
    }
    return x;
}

void tds_write_type_info(tds_writer& w, const tds_column_format& f, uint32_t tds_version)
{
    w.u8(f.type);
    if (f.fixed) return; // the type byte says it all
    switch (f.type) {
    case tds::kBitNType:
    case tds::kIntNType:
    case tds::kFltNType:
    case tds::kMoneyNType:
    case tds::kDatetimNType:
    case tds::kGuidType:
        w.u8(static_cast<uint8_t>(f.length));
        break;
    case tds::kDecimalNType:
    case tds::kNumericNType:
        w.u8(static_cast<uint8_t>(f.length));
        w.u8(f.precision);
        w.u8(f.scale);
        break;
    case tds::kDateNType:
        break;
    case tds::kTimeNType:
    case tds::kDatetime2NType:
    case tds::kDatetimeOffsetNType:
        w.u8(f.scale);
        break;
    case tds::kBigCharType:
    case tds::kBigVarChrType:
    case tds::kNCharType:
    case tds::kNVarcharType:
        w.u16(static_cast<uint16_t>(f.length));
        tds_write_collation(w);
        break;
    case tds::kBigBinaryType:
    case tds::kBigVarBinType:
        w.u16(static_cast<uint16_t>(f.length));
        break;
    case tds::kTextType:
    case tds::kNTextType:
    case tds::kImageType:
        w.u32(f.length);
        if (f.type != tds::kImageType) tds_write_collation(w);
        // the table name, none known for a result column: parts since 7.2, one name before
        if (tds_version >= tds::kTds72) w.u8(1);
        w.us_varchar("");
        break;
    case tds::kXmlType:
        w.u8(0); // no schema collection
        break;
    default:
        break;
    }
}

void tds_write_value(tds_writer& w, const tds_column_format& f, const mssx_type& t, const mssx_value& v)
{
    if (mssx_is_null(v)) {
        if (f.plp)
            w.u64(tds::kPlpNull);
        else if (f.kind == tds_kind::text8 || f.kind == tds_kind::ntext || f.kind == tds_kind::image)
            w.u8(0);
        else if (f.kind == tds_kind::char8 || f.kind == tds_kind::nchar || f.kind == tds_kind::binary)
            w.u16(tds::kCharNull);
        else
            w.u8(0);
        return;
    }
    switch (f.kind) {
    case tds_kind::integer: {
        int64_t n = as_int(v);
        if (f.type == tds::kBitNType || f.type == tds::kBitType) n = n != 0;
        if (!f.fixed) w.u8(static_cast<uint8_t>(f.length));
        write_le(w, static_cast<unsigned __int128>(static_cast<uint64_t>(n)), f.length);
        return;
    }
    case tds_kind::floating: {
        double d = as_double(v);
        if (!f.fixed) w.u8(static_cast<uint8_t>(f.length));
        if (f.length == 4) {
            float x = static_cast<float>(d);
            uint32_t bits;
            std::memcpy(&bits, &x, 4);
            w.u32(bits);
        } else {
            uint64_t bits;
            std::memcpy(&bits, &d, 8);
            w.u64(bits);
        }
        return;
    }
    case tds_kind::decimal: {
        unsigned __int128 mag = 0;
        bool neg = false;
        if (!scaled_integer(t, v, f.precision, f.scale, mag, neg)) mag = 0;
        w.u8(static_cast<uint8_t>(f.length));
        w.u8(neg ? 0 : 1);
        write_le(w, mag, f.length - 1u);
        return;
    }
    case tds_kind::money: {
        unsigned __int128 mag = 0;
        bool neg = false;
        scaled_integer(t, v, 38, 4, mag, neg);
        // two's complement in unsigned arithmetic: the lowest money value has no positive twin
        uint64_t units = static_cast<uint64_t>(mag);
        if (neg) units = ~units + 1;
        if (!f.fixed) w.u8(static_cast<uint8_t>(f.length));
        if (f.length == 4)
            w.u32(static_cast<uint32_t>(units));
        else {
            w.u32(static_cast<uint32_t>(units >> 32));
            w.u32(static_cast<uint32_t>(units));
        }
        return;
    }
    case tds_kind::char8:
        write_sized(w, f, tds_cp1252(as_text(t, v)));
        return;
    case tds_kind::nchar:
        write_sized(w, f, tds_utf16le(as_text(t, v)));
        return;
    case tds_kind::binary:
        write_sized(w, f, as_text(t, v));
        return;
    case tds_kind::text8:
        write_legacy_lob(w, tds_cp1252(as_text(t, v)));
        return;
    case tds_kind::ntext:
        write_legacy_lob(w, tds_utf16le(as_text(t, v)));
        return;
    case tds_kind::image:
        write_legacy_lob(w, as_text(t, v));
        return;
    case tds_kind::xml:
        write_plp(w, tds_utf16le(as_text(t, v)));
        return;
    case tds_kind::guid:
        write_guid(w, as_text(t, v));
        return;
    case tds_kind::date:
    case tds_kind::time:
    case tds_kind::datetime2:
    case tds_kind::datetimeoffset:
    case tds_kind::datetime:
    case tds_kind::smalldatetime: {
        tds_datetime d = tds_parse_stored_datetime(as_text(t, v));
        tds_writer body;
        switch (f.kind) {
        case tds_kind::date:
            tds_put_date(body, d);
            break;
        case tds_kind::time:
            tds_put_time(body, d, f.scale);
            break;
        case tds_kind::datetime2:
            tds_put_time(body, d, f.scale);
            tds_put_date(body, d);
            break;
        case tds_kind::datetimeoffset:
            tds_put_datetimeoffset(body, d, f.scale);
            break;
        case tds_kind::datetime:
            tds_put_datetime(body, d);
            break;
        default:
            tds_put_smalldatetime(body, d);
            break;
        }
        if (!f.fixed) w.u8(static_cast<uint8_t>(body.size()));
        w.bytes(body.buffer());
        return;
    }
    }
}
