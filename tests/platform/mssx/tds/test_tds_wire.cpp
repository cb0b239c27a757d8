// The wire encodings, byte by byte, without a socket.
#include <gtest/gtest.h>
#include "platform/mssx/mssx_variant.h"
#include "platform/mssx/tds/tds_bytes.h"
#include "platform/mssx/tds/tds_column_format.h"
#include "platform/mssx/tds/tds_constants.h"
#include "platform/mssx/tds/tds_datetime.h"
#include "platform/mssx/tds/tds_login7.h"
#include "platform/mssx/tds/tds_prelogin.h"
#include "platform/mssx/tds/tds_request.h"
#include "platform/mssx/tds/tds_text.h"
#include "platform/mssx/tds/tds_token_writer.h"

namespace {

std::string scramble(const std::string& utf8)
{
    std::string b = tds_utf16le(utf8);
    for (auto& ch : b) {
        uint8_t c = static_cast<uint8_t>(ch);
        ch = static_cast<char>((((c & 0x0F) << 4) | (c >> 4)) ^ 0xA5);
    }
    return b;
}

std::string login7(const std::string& user, const std::string& pw, const std::string& db)
{
    std::vector<std::string> fields = {tds_utf16le("host"), tds_utf16le(user),  scramble(pw),
                                       tds_utf16le("app"),  tds_utf16le("srv"), std::string(),
                                       tds_utf16le("lib"),  std::string(),      tds_utf16le(db)};
    const size_t fixed = 94;
    tds_writer w;
    w.u32(0); // patched below
    w.u32(tds::kTds74);
    w.u32(8000);
    w.u32(0);
    w.u32(1234);
    w.u32(0);
    w.u8(0xE0);
    w.u8(0x03);
    w.u8(0);
    w.u8(0);
    w.u32(0);
    w.u32(0x409);
    size_t offset = fixed;
    std::string data;
    for (auto& f : fields) {
        w.u16(static_cast<uint16_t>(offset));
        w.u16(static_cast<uint16_t>(f.size() / 2));
        offset += f.size();
        data += f;
    }
    w.bytes(std::string(6, '\0')); // client id
    for (int i = 0; i < 3; ++i) {  // SSPI, attach file, change password
        w.u16(static_cast<uint16_t>(offset));
        w.u16(0);
    }
    w.u32(0);
    EXPECT_EQ(w.size(), fixed);
    w.bytes(data);
    std::string out = w.buffer();
    uint32_t n = static_cast<uint32_t>(out.size());
    for (int i = 0; i < 4; ++i) out[static_cast<size_t>(i)] = static_cast<char>(n >> (8 * i));
    return out;
}

} // namespace

TEST(TdsWire, Login7FieldsAndScrambledPassword)
{
    tds_login7 l = tds_read_login7(login7("s\xC3\xA4", "P\xC3\xA4ss;w=rd", "Northwind"));
    EXPECT_EQ(l.tds_version, tds::kTds74);
    EXPECT_EQ(l.packet_size, 8000u);
    EXPECT_EQ(l.user_name, "s\xC3\xA4");
    EXPECT_EQ(l.password, "P\xC3\xA4ss;w=rd");
    EXPECT_EQ(l.database, "Northwind");
    EXPECT_EQ(l.app_name, "app");
    EXPECT_FALSE(l.integrated());
    // a field pointing past the end is refused, as is every truncation
    std::string bad = login7("sa", "pw", "db");
    bad[40] = static_cast<char>(0xF0); // user name offset
    EXPECT_THROW(tds_read_login7(bad), tds_protocol_error);
    std::string good = login7("sa", "pw", "db");
    for (size_t n = 0; n < good.size(); n += 7)
        EXPECT_THROW(tds_read_login7(good.substr(0, n)), tds_protocol_error) << n;
}

TEST(TdsWire, PreloginAnswersWithoutEncryption)
{
    std::string resp = tds_prelogin_response(0x10000000, 0);
    tds_prelogin_request r = tds_read_prelogin(resp);
    EXPECT_TRUE(r.has_encryption);
    EXPECT_EQ(r.encryption, tds::kEncryptNotSup);
    EXPECT_THROW(tds_read_prelogin(std::string("\x01\x00\x40\x00\x01\xFF", 6)), tds_protocol_error);
}

TEST(TdsWire, DateAndTimeEncodings)
{
    tds_writer w;
    tds_put_datetime(w, tds_parse_stored_datetime("1900-01-01 00:00:00.003"));
    EXPECT_EQ(w.buffer(), std::string("\0\0\0\0\1\0\0\0", 8));
    tds_writer d;
    tds_put_date(d, tds_parse_stored_datetime("0001-01-02"));
    EXPECT_EQ(d.buffer(), std::string("\1\0\0", 3));
    // datetimeoffset travels as UTC: 2024-03-01 01:00 +05:30 is 2024-02-29 19:30 UTC
    tds_writer o;
    tds_put_datetimeoffset(o, tds_parse_stored_datetime("2024-03-01 01:00:00 +05:30"), 0);
    tds_reader r(o.buffer());
    EXPECT_EQ(tds_read_datetimeoffset(r, 0, o.size()), "2024-03-01 01:00:00 +05:30");
    tds_reader utc(o.buffer());
    EXPECT_EQ(tds_read_time(utc, 0, 3), "19:30:00");
    EXPECT_EQ(tds_read_date(utc), "2024-02-29");
    tds_writer t;
    tds_put_time(t, tds_parse_stored_datetime("23:59:59.9999999"), 7);
    tds_reader tr(t.buffer());
    EXPECT_EQ(tds_read_time(tr, 7, 5), "23:59:59.9999999");
}

TEST(TdsWire, RpcParametersDecodeToStoredValues)
{
    tds_writer w;
    w.u32(22); // ALL_HEADERS: one transaction descriptor
    w.u32(18);
    w.u16(tds::kHeaderTransactionDescriptor);
    w.bytes(std::string(8, '\0'));
    w.u32(1);
    w.u16(tds::kProcIdSwitch);
    w.u16(tds::kSpExecuteSql);
    w.u16(0);
    auto param = [&](const std::string& name) {
        w.b_varchar(name);
        w.u8(0);
    };
    param("");
    w.u8(tds::kNVarcharType);
    w.u16(tds::kMaxLengthPlp);
    w.bytes(std::string(5, '\0'));
    std::string stmt = tds_utf16le("SELECT @P1");
    w.u64(stmt.size());
    w.u32(4);
    w.bytes(stmt.substr(0, 4));
    w.u32(static_cast<uint32_t>(stmt.size() - 4));
    w.bytes(stmt.substr(4));
    w.u32(0);
    param("@P1");
    w.u8(tds::kDecimalNType);
    w.u8(17);
    w.u8(20);
    w.u8(3);
    w.u8(17);
    w.u8(0);        // negative
    w.u64(1234567); // -1234.567
    w.u64(0);
    param("@P2");
    w.u8(tds::kIntNType);
    w.u8(1);
    w.u8(1);
    w.u8(200); // tinyint is unsigned
    param("@P3");
    w.u8(tds::kGuidType);
    w.u8(16);
    w.u8(16);
    w.bytes(std::string("\x33\x22\x11\x00\x55\x44\x77\x66\x88\x99\xAA\xBB\xCC\xDD\xEE\xFF", 16));
    param("@P4");
    w.u8(tds::kBigVarBinType);
    w.u16(100);
    w.u16(tds::kCharNull);
    std::vector<tds_rpc_call> calls = tds_read_rpc(w.buffer(), tds::kTds74);
    ASSERT_EQ(calls.size(), 1u);
    auto& p = calls[0].params;
    ASSERT_EQ(p.size(), 5u);
    EXPECT_EQ(calls[0].proc_id, tds::kSpExecuteSql);
    EXPECT_EQ(std::get<std::string>(p[0].value), "SELECT @P1");
    EXPECT_EQ(p[1].type.sql_text(), "decimal(20,3)");
    EXPECT_EQ(std::get<std::string>(p[1].value), "-1234.567");
    EXPECT_EQ(std::get<int64_t>(p[2].value), 200);
    EXPECT_EQ(std::get<std::string>(p[3].value), "00112233-4455-6677-8899-AABBCCDDEEFF");
    EXPECT_EQ(p[4].type.sql_text(), "varbinary(100)");
    EXPECT_TRUE(mssx_is_null(p[4].value));
    // every truncation is refused as a protocol error, never read past the end
    for (size_t n = 0; n < w.size(); ++n) {
        try {
            tds_read_rpc(std::string_view(w.buffer()).substr(0, n), tds::kTds74);
        } catch (const tds_protocol_error&) {}
    }
}

TEST(TdsWire, TextOfTheCharacterTypes)
{
    EXPECT_EQ(tds_cp1252("Caf\xC3\xA9 \xE2\x82\xAC \xE6\x97\xA5"), "Caf\xE9 \x80 ?");
    EXPECT_EQ(tds_utf8_from_cp1252("Caf\xE9 \x80"), "Caf\xC3\xA9 \xE2\x82\xAC");
    std::string smile = "\xF0\x9F\x98\x80";
    EXPECT_EQ(tds_utf16le(smile), std::string("\x3D\xD8\x00\xDE", 4));
    EXPECT_EQ(tds_utf8_from_utf16le(tds_utf16le(smile)), smile);
    EXPECT_EQ(tds_utf8_from_utf16le(std::string("\x3D\xD8", 2)), "\xEF\xBF\xBD"); // a lone surrogate
}

namespace {

mssx_result_column column(const std::string& name, const std::string& type, bool nullable, bool identity = false)
{
    mssx_result_column c = mssx_col(name, type, nullable);
    c.identity = identity;
    return c;
}

// The bytes of COLMETADATA after the column count, for one column of r.
std::string column_metadata(const mssx_result& r, uint32_t version)
{
    tds_token_writer w(version);
    w.result(r);
    const std::string& b = w.buffer();
    EXPECT_EQ(static_cast<uint8_t>(b[0]), tds::kTokenColMetadata);
    return b.substr(3);
}

} // namespace

// A NOT NULL column of a fixed-length type travels as that type, as from a
// server; the same column holding a NULL (an outer join) as the nullable one.
TEST(TdsWire, NotNullColumnsAsFixedLengthTypesAndTheIdentityFlag)
{
    struct fixed_case {
        const char* type;
        uint8_t expected;
        size_t value_bytes;
        mssx_value value;
    };
    const fixed_case cases[] = {
        {"tinyint", tds::kInt1Type, 1, int64_t{7}},
        {"smallint", tds::kInt2Type, 2, int64_t{-2}},
        {"int", tds::kInt4Type, 4, int64_t{123456}},
        {"bigint", tds::kInt8Type, 8, int64_t{-5}},
        {"bit", tds::kBitType, 1, int64_t{1}},
        {"money", tds::kMoneyType, 8, std::string("12.5")},
        {"smallmoney", tds::kMoney4Type, 4, std::string("1.25")},
        {"float", tds::kFlt8Type, 8, 2.5},
        {"real", tds::kFlt4Type, 4, 0.5},
        {"datetime", tds::kDatetimeType, 8, std::string("2024-02-29 13:14:15.997")},
        {"smalldatetime", tds::kDatetim4Type, 4, std::string("2024-02-29 13:14:00")},
    };
    for (const fixed_case& c : cases) {
        mssx_result r;
        r.columns.push_back(column("c", c.type, false));
        r.rows.push_back({c.value});
        const std::string m = column_metadata(r, tds::kTds74);
        // user type (4), flags (2), then the type byte and straight on to the name
        const uint16_t flags = static_cast<uint8_t>(m[4]) | static_cast<uint8_t>(m[5]) << 8;
        EXPECT_EQ(flags & tds::kColNullable, 0) << c.type;
        EXPECT_EQ(static_cast<uint8_t>(m[6]), c.expected) << c.type;
        EXPECT_EQ(static_cast<uint8_t>(m[7]), 1u) << c.type << ": the column name's length follows the type";
        // the row: the token, then the value's bytes with no length before them
        const size_t row = 6 + 1 + 1 + 2; // the name "c" in UTF-16
        EXPECT_EQ(static_cast<uint8_t>(m[row]), tds::kTokenRow) << c.type;
        EXPECT_EQ(m.size(), row + 1 + c.value_bytes) << c.type;

        r.rows.push_back({mssx_value{}});
        const std::string with_null = column_metadata(r, tds::kTds74);
        const uint16_t nflags = static_cast<uint8_t>(with_null[4]) | static_cast<uint8_t>(with_null[5]) << 8;
        EXPECT_NE(nflags & tds::kColNullable, 0) << c.type;
        EXPECT_NE(static_cast<uint8_t>(with_null[6]), c.expected) << c.type;
    }
    mssx_result r;
    r.columns.push_back(column("id", "int", false, true));
    r.columns.push_back(column("v", "int", true));
    r.rows.push_back({int64_t{1}, int64_t{2}});
    const std::string m = column_metadata(r, tds::kTds74);
    const uint16_t flags = static_cast<uint8_t>(m[4]) | static_cast<uint8_t>(m[5]) << 8;
    EXPECT_NE(flags & tds::kColIdentity, 0);
    // second column: after id's user type, flags, type and name ("id" in UTF-16), then v's user type
    const uint16_t v_flags = static_cast<uint8_t>(m[16]) | static_cast<uint8_t>(m[17]) << 8;
    EXPECT_EQ(v_flags & tds::kColIdentity, 0);
    EXPECT_NE(v_flags & tds::kColNullable, 0);
}

// Before TDS 7.2 the table name of a text, ntext or image column is one
// US_VARCHAR; from 7.2 on a part count comes first.
TEST(TdsWire, TableNameOfTheLegacyLobTypesByVersion)
{
    for (const char* type : {"text", "ntext", "image"}) {
        mssx_result r;
        r.columns.push_back(column("c", type, true));
        const std::string old_form = column_metadata(r, tds::kTds71);
        const std::string new_form = column_metadata(r, tds::kTds74);
        // 7.1: user type (2), flags (2), type (1), length (4), collation (5 unless image), name length (2)
        const size_t collation = std::string(type) == "image" ? 0 : 5;
        const size_t at71 = 2 + 2 + 1 + 4 + collation;
        EXPECT_EQ(old_form.substr(at71, 2), std::string("\0\0", 2)) << type;
        EXPECT_EQ(static_cast<uint8_t>(old_form[at71 + 2]), 1u) << type << ": then the column name";
        const size_t at74 = 4 + 2 + 1 + 4 + collation;
        EXPECT_EQ(static_cast<uint8_t>(new_form[at74]), 1u) << type << ": one part";
        EXPECT_EQ(new_form.substr(at74 + 1, 2), std::string("\0\0", 2)) << type;
    }
}

namespace {

std::string hex_of(const std::string& bytes)
{
    static const char* h = "0123456789ABCDEF";
    std::string s;
    for (unsigned char c : bytes) {
        s += h[c >> 4];
        s += h[c & 15];
    }
    return s;
}

mssx_value held(const char* type, std::vector<std::string> args, mssx_value v)
{
    return mssx_variant_store(mssx_make_type(type, args), v, "mdy");
}

} // namespace

TEST(TdsWire, SqlVariantTravelsWithItsBaseTypeAndProperties)
{
    const mssx_type variant = mssx_make_type("sql_variant", {});
    const tds_column_format f = tds_format_of(variant, tds::kTds74);
    ASSERT_EQ(f.type, tds::kSsVariantType);
    tds_writer info;
    tds_write_type_info(info, f, tds::kTds74);
    EXPECT_EQ(hex_of(info.buffer()), "62491F0000"); // the type, then its longest value (8009) in four bytes

    struct variant_case {
        const char* what;
        mssx_value stored;
        const char* wire; // length (4), base type, property bytes, properties, value
    };
    const variant_case cases[] = {
        {"int", held("int", {}, int64_t{258}),
         "06000000"
         "38"
         "00"
         "02010000"},
        {"bigint", held("bigint", {}, int64_t{-2}),
         "0A000000"
         "7F"
         "00"
         "FEFFFFFFFFFFFFFF"},
        {"tinyint", held("tinyint", {}, int64_t{9}),
         "03000000"
         "30"
         "00"
         "09"},
        {"bit", held("bit", {}, int64_t{1}),
         "03000000"
         "32"
         "00"
         "01"},
        {"float", held("float", {}, 0.5),
         "0A000000"
         "3E"
         "00"
         "000000000000E03F"},
        {"real", held("real", {}, 0.5),
         "06000000"
         "3B"
         "00"
         "0000003F"},
        {"money", held("money", {}, std::string("1")),
         "0A000000"
         "3C"
         "00"
         "0000000010270000"},
        {"decimal(38,10)", held("decimal", {"38", "10"}, std::string("-1.5")),
         "15000000"
         "6A"
         "02"
         "260A"
         "00"
         "00D6117E03000000"
         "0000000000000000"},
        {"numeric(4,2)", held("numeric", {"4", "2"}, std::string("12.50")),
         "09000000"
         "6C"
         "02"
         "0402"
         "01"
         "E2040000"},
        {"nvarchar(2)", held("nvarchar", {"2"}, std::string("ab")),
         "0D000000"
         "E7"
         "07"
         "0904D00034"
         "0400"
         "61006200"},
        {"varchar(3)", held("varchar", {"3"}, std::string("ab")),
         "0B000000"
         "A7"
         "07"
         "0904D00034"
         "0300"
         "6162"},
        {"varbinary(4)", held("varbinary", {"4"}, mssx_blob{std::string("\x01\xFF", 2)}),
         "06000000"
         "A5"
         "02"
         "0400"
         "01FF"},
        {"uniqueidentifier", held("uniqueidentifier", {}, std::string("00112233-4455-6677-8899-AABBCCDDEEFF")),
         "12000000"
         "24"
         "00"
         "33221100554477668899AABBCCDDEEFF"},
        {"date", held("date", {}, std::string("0001-01-02")),
         "05000000"
         "28"
         "00"
         "010000"},
        {"datetime2(7)", held("datetime2", {"7"}, std::string("0001-01-01 00:00:00.0000001")),
         "0B000000"
         "2A"
         "01"
         "07"
         "0100000000"
         "000000"},
        {"NULL", mssx_value{}, "00000000"},
    };
    for (const auto& c : cases) {
        tds_writer w;
        tds_write_value(w, f, variant, c.stored);
        EXPECT_EQ(hex_of(w.buffer()), c.wire) << c.what;
    }

    // a client before 7.1 reads the value's text
    const tds_column_format old = tds_format_of(variant, tds::kTds70);
    EXPECT_EQ(old.type, tds::kNVarcharType);
    tds_writer w;
    tds_write_value(w, old, variant, held("decimal", {"5", "2"}, std::string("1.5")));
    EXPECT_EQ(w.buffer(), std::string("\x08\x00", 2) + tds_utf16le("1.50"));
}
