#include "platform/mssx/tds/tds_param_reader.h"
#include <cstdio>
#include <cstring>
#include "platform/mssx/tds/tds_constants.h"
#include "platform/mssx/tds/tds_datetime.h"
#include "platform/mssx/tds/tds_text.h"

namespace {

mssx_type make(const char* name, int64_t length = 0, int precision = 0, int scale = 0)
{
    mssx_type t;
    t.name = name;
    t.length = length;
    t.precision = precision;
    t.scale = scale;
    return t;
}

std::string decimal_text(unsigned __int128 mag, bool negative, int scale)
{
    std::string digits;
    do {
        digits.insert(digits.begin(), static_cast<char>('0' + static_cast<int>(mag % 10)));
        mag /= 10;
    } while (mag != 0);
    if (scale > 0) {
        if (digits.size() <= static_cast<size_t>(scale))
            digits.insert(0, static_cast<size_t>(scale) + 1 - digits.size(), '0');
        digits.insert(digits.size() - static_cast<size_t>(scale), ".");
    }
    bool zero = digits.find_first_not_of("0.") == std::string::npos;
    return (negative && !zero ? "-" : "") + digits;
}

std::string money_text(int64_t units)
{
    bool neg = units < 0;
    unsigned __int128 mag =
        neg ? static_cast<unsigned __int128>(-(units + 1)) + 1 : static_cast<unsigned __int128>(units);
    return decimal_text(mag, neg, 4);
}

std::string guid_text(std::string_view b)
{
    const int order[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
    std::string s;
    char hex[3];
    for (int i = 0; i < 16; ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10) s += '-';
        std::snprintf(hex, sizeof hex, "%02X", static_cast<unsigned char>(b[static_cast<size_t>(order[i])]));
        s += hex;
    }
    return s;
}

uint64_t read_le(tds_reader& r, size_t n)
{
    uint64_t v = 0;
    for (size_t i = 0; i < n; ++i) v |= static_cast<uint64_t>(r.u8()) << (8 * i);
    return v;
}

int64_t sign_extend(uint64_t v, size_t bytes)
{
    if (bytes >= 8) return static_cast<int64_t>(v);
    uint64_t sign = 1ull << (bytes * 8 - 1);
    return static_cast<int64_t>((v ^ sign) - sign);
}

bool read_plp(tds_reader& r, std::string& out)
{
    uint64_t total = r.u64();
    if (total == tds::kPlpNull) return false;
    for (;;) {
        uint32_t chunk = r.u32();
        if (chunk == 0) break;
        out.append(r.bytes(chunk));
    }
    return true;
}

// A fixed-size number of n bytes into the type's value.
mssx_value number_value(tds_reader& r, uint8_t kind, size_t n)
{
    switch (kind) {
    case tds::kFltNType:
    case tds::kFlt4Type:
    case tds::kFlt8Type: {
        if (n == 4) {
            uint32_t bits = r.u32();
            float f;
            std::memcpy(&f, &bits, 4);
            return static_cast<double>(f);
        }
        if (n != 8) throw tds_protocol_error("float length");
        uint64_t bits = r.u64();
        double d;
        std::memcpy(&d, &bits, 8);
        return d;
    }
    case tds::kMoneyNType:
    case tds::kMoneyType:
    case tds::kMoney4Type: {
        if (n == 4) return money_text(static_cast<int32_t>(r.u32()));
        if (n != 8) throw tds_protocol_error("money length");
        uint64_t hi = r.u32(), lo = r.u32();
        return money_text(static_cast<int64_t>((hi << 32) | lo));
    }
    case tds::kDatetimNType:
    case tds::kDatetimeType:
    case tds::kDatetim4Type:
        if (n == 4) return tds_read_smalldatetime(r);
        if (n != 8) throw tds_protocol_error("datetime length");
        return tds_read_datetime(r);
    default:
        if (n != 1 && n != 2 && n != 4 && n != 8) throw tds_protocol_error("integer length");
        if (n == 1) return static_cast<int64_t>(r.u8()); // tinyint is unsigned
        return sign_extend(read_le(r, n), n);
    }
}

mssx_type number_type(uint8_t kind, size_t n)
{
    switch (kind) {
    case tds::kBitType:
    case tds::kBitNType:
        return make("bit");
    case tds::kFltNType:
    case tds::kFlt4Type:
    case tds::kFlt8Type:
        return n == 4 ? make("real", 0, 24) : make("float", 0, 53);
    case tds::kMoneyNType:
    case tds::kMoneyType:
    case tds::kMoney4Type:
        return n == 4 ? make("smallmoney", 0, 10, 4) : make("money", 0, 19, 4);
    case tds::kDatetimNType:
    case tds::kDatetimeType:
    case tds::kDatetim4Type:
        return n == 4 ? make("smalldatetime") : make("datetime", 0, 0, 3);
    default:
        return make(n == 1 ? "tinyint" : n == 2 ? "smallint" : n == 4 ? "int" : "bigint");
    }
}

} // namespace

void tds_read_param_value(tds_reader& r, mssx_type& type, mssx_value& value)
{
    uint8_t kind = r.u8();
    value = std::monostate{};
    switch (kind) {
    case tds::kNullType:
        type = make("int");
        return;
    case tds::kInt1Type:
    case tds::kBitType:
    case tds::kInt2Type:
    case tds::kInt4Type:
    case tds::kInt8Type:
    case tds::kFlt4Type:
    case tds::kFlt8Type:
    case tds::kMoneyType:
    case tds::kMoney4Type:
    case tds::kDatetimeType:
    case tds::kDatetim4Type: {
        size_t n =
            kind == tds::kInt1Type || kind == tds::kBitType ? 1
            : kind == tds::kInt2Type                        ? 2
            : kind == tds::kInt4Type || kind == tds::kFlt4Type || kind == tds::kMoney4Type || kind == tds::kDatetim4Type
                ? 4
                : 8;
        type = number_type(kind, n);
        value = number_value(r, kind, n);
        if (kind == tds::kBitType) value = int64_t(std::get<int64_t>(value) != 0);
        return;
    }
    case tds::kIntNType:
    case tds::kBitNType:
    case tds::kFltNType:
    case tds::kMoneyNType:
    case tds::kDatetimNType: {
        size_t max = r.u8();
        type = number_type(kind, max);
        size_t n = r.u8();
        if (n == 0) return;
        value = number_value(r, kind, n);
        if (kind == tds::kBitNType) value = int64_t(std::get<int64_t>(value) != 0);
        return;
    }
    case tds::kGuidType: {
        r.u8();
        type = make("uniqueidentifier");
        size_t n = r.u8();
        if (n == 0) return;
        if (n != 16) throw tds_protocol_error("uniqueidentifier length");
        value = guid_text(r.bytes(16));
        return;
    }
    case tds::kDecimalNType:
    case tds::kNumericNType:
    case tds::kDecimalType:
    case tds::kNumericType: {
        r.u8();
        int precision = r.u8(), scale = r.u8();
        if (precision < 1 || precision > 38 || scale > precision) throw tds_protocol_error("decimal precision");
        type =
            make(kind == tds::kNumericNType || kind == tds::kNumericType ? "numeric" : "decimal", 0, precision, scale);
        size_t n = r.u8();
        if (n == 0) return;
        if (n > 17) throw tds_protocol_error("decimal length");
        bool positive = r.u8() != 0;
        unsigned __int128 mag = 0;
        for (size_t i = 0; i + 1 < n; ++i) mag |= static_cast<unsigned __int128>(r.u8()) << (8 * i);
        value = decimal_text(mag, !positive, scale);
        return;
    }
    case tds::kDateNType: {
        type = make("date");
        size_t n = r.u8();
        if (n == 0) return;
        if (n != 3) throw tds_protocol_error("date length");
        value = tds_read_date(r);
        return;
    }
    case tds::kTimeNType:
    case tds::kDatetime2NType:
    case tds::kDatetimeOffsetNType: {
        int scale = r.u8();
        if (scale > 7) throw tds_protocol_error("time scale");
        type = make(kind == tds::kTimeNType        ? "time"
                    : kind == tds::kDatetime2NType ? "datetime2"
                                                   : "datetimeoffset",
                    0, 0, scale);
        size_t n = r.u8();
        if (n == 0) return;
        if (kind == tds::kTimeNType)
            value = tds_read_time(r, scale, n);
        else if (kind == tds::kDatetime2NType)
            value = tds_read_datetime2(r, scale, n);
        else
            value = tds_read_datetimeoffset(r, scale, n);
        return;
    }
    case tds::kCharType:
    case tds::kVarcharType:
    case tds::kBinaryType:
    case tds::kVarbinaryType: {
        size_t max = r.u8();
        bool bin = kind == tds::kBinaryType || kind == tds::kVarbinaryType;
        type = make(bin ? "varbinary" : "varchar", max ? static_cast<int64_t>(max) : 1);
        size_t n = r.u8();
        std::string_view data = r.bytes(n);
        if (bin)
            value = mssx_blob{std::string(data)};
        else
            value = tds_utf8_from_cp1252(data);
        return;
    }
    case tds::kBigVarChrType:
    case tds::kBigCharType:
    case tds::kNVarcharType:
    case tds::kNCharType:
    case tds::kBigVarBinType:
    case tds::kBigBinaryType: {
        uint16_t max = r.u16();
        bool wide = kind == tds::kNVarcharType || kind == tds::kNCharType;
        bool bin = kind == tds::kBigVarBinType || kind == tds::kBigBinaryType;
        if (!bin) r.skip(5); // collation
        bool plp = max == tds::kMaxLengthPlp;
        int64_t length = plp ? -1 : wide ? max / 2 : max;
        if (length == 0) length = 1;
        bool fixed = kind == tds::kBigCharType || kind == tds::kNCharType || kind == tds::kBigBinaryType;
        type = make(bin    ? (fixed ? "binary" : "varbinary")
                    : wide ? (fixed ? "nchar" : "nvarchar")
                           : (fixed ? "char" : "varchar"),
                    length);
        std::string data;
        if (plp) {
            if (!read_plp(r, data)) return;
        } else {
            uint16_t n = r.u16();
            if (n == tds::kCharNull) return;
            data = r.bytes(n);
        }
        if (bin)
            value = mssx_blob{std::move(data)};
        else if (wide)
            value = tds_utf8_from_utf16le(data);
        else
            value = tds_utf8_from_cp1252(data);
        return;
    }
    case tds::kTextType:
    case tds::kNTextType:
    case tds::kImageType: {
        r.u32();
        if (kind != tds::kImageType) r.skip(5);
        type = make(kind == tds::kTextType ? "varchar" : kind == tds::kNTextType ? "nvarchar" : "varbinary", -1);
        uint32_t n = r.u32();
        if (n == 0xFFFFFFFFu) return;
        std::string_view data = r.bytes(n);
        if (kind == tds::kImageType)
            value = mssx_blob{std::string(data)};
        else if (kind == tds::kNTextType)
            value = tds_utf8_from_utf16le(data);
        else
            value = tds_utf8_from_cp1252(data);
        return;
    }
    case tds::kXmlType: {
        if (r.u8() != 0) { // schema collection named: its three names
            r.b_varchar();
            r.b_varchar();
            r.us_varchar();
        }
        type = make("xml", -1);
        std::string data;
        if (read_plp(r, data)) value = tds_utf8_from_utf16le(data);
        return;
    }
    default:
        throw tds_protocol_error("unsupported parameter type " + std::to_string(kind));
    }
}
