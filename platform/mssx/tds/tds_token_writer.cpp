#include "platform/mssx/tds/tds_token_writer.h"
#include <algorithm>
#include "platform/mssx/tds/tds_constants.h"
#include "platform/mssx/tds/tds_text.h"

namespace {
constexpr uint32_t kMaxShortBytes = 8000;
}

void tds_token_writer::login_ack(const std::string& program, uint32_t program_version)
{
    tds_writer body;
    body.u8(tds::kInterfaceSqlTsql);
    body.u32_be(version_);
    body.b_varchar(program);
    body.u32_be(program_version);
    w_.u8(tds::kTokenLoginAck);
    w_.u16(static_cast<uint16_t>(body.size()));
    w_.bytes(body.buffer());
}

void tds_token_writer::env_change(uint8_t type, const std::string& new_value, const std::string& old_value)
{
    tds_writer body;
    body.u8(type);
    body.b_varchar(new_value);
    body.b_varchar(old_value);
    w_.u8(tds::kTokenEnvChange);
    w_.u16(static_cast<uint16_t>(body.size()));
    w_.bytes(body.buffer());
}

void tds_token_writer::env_change_bytes(uint8_t type, const std::string& new_value, const std::string& old_value)
{
    tds_writer body;
    body.u8(type);
    body.u8(static_cast<uint8_t>(new_value.size()));
    body.bytes(new_value);
    body.u8(static_cast<uint8_t>(old_value.size()));
    body.bytes(old_value);
    w_.u8(tds::kTokenEnvChange);
    w_.u16(static_cast<uint16_t>(body.size()));
    w_.bytes(body.buffer());
}

void tds_token_writer::env_collation()
{
    tds_writer body;
    body.u8(tds::kEnvSqlCollation);
    body.u8(5);
    tds_write_collation(body);
    body.u8(0);
    w_.u8(tds::kTokenEnvChange);
    w_.u16(static_cast<uint16_t>(body.size()));
    w_.bytes(body.buffer());
}

void tds_token_writer::feature_ext_ack()
{
    w_.u8(tds::kTokenFeatureExtAck);
    w_.u8(tds::kFeatureExtTerminator);
}

void tds_token_writer::message(uint8_t token, const tds_message_text& m)
{
    tds_writer body;
    body.u32(static_cast<uint32_t>(m.number));
    body.u8(m.state);
    body.u8(m.severity);
    body.us_varchar(m.text);
    body.b_varchar(m.server);
    body.b_varchar(m.procedure);
    if (version_ >= tds::kTds72)
        body.u32(static_cast<uint32_t>(m.line));
    else
        body.u16(static_cast<uint16_t>(m.line));
    w_.u8(token);
    w_.u16(static_cast<uint16_t>(body.size()));
    w_.bytes(body.buffer());
}

void tds_token_writer::error(const tds_message_text& m) { message(tds::kTokenError, m); }
void tds_token_writer::info(const tds_message_text& m) { message(tds::kTokenInfo, m); }

void tds_token_writer::done(uint8_t token, uint16_t status, uint16_t cur_cmd, uint64_t rows)
{
    w_.u8(token);
    w_.u16(status);
    w_.u16(cur_cmd);
    if (version_ >= tds::kTds72)
        w_.u64(rows);
    else
        w_.u32(static_cast<uint32_t>(rows));
}

void tds_token_writer::return_status(int32_t value)
{
    w_.u8(tds::kTokenReturnStatus);
    w_.u32(static_cast<uint32_t>(value));
}

void tds_token_writer::return_int_value(uint16_t ordinal, const std::string& name, int32_t value)
{
    w_.u8(tds::kTokenReturnValue);
    w_.u16(ordinal);
    w_.b_varchar(name);
    w_.u8(0x01); // status: output parameter
    if (version_ >= tds::kTds72)
        w_.u32(0);
    else
        w_.u16(0);
    w_.u16(0); // flags
    w_.u8(tds::kIntNType);
    w_.u8(4);
    w_.u8(4);
    w_.u32(static_cast<uint32_t>(value));
}

bool tds_sends_not_null(const mssx_result& r, size_t column)
{
    // an outer join can give NULLs from a NOT NULL column: such a column is sent as nullable
    if (r.columns[column].nullable) return false;
    for (const auto& row : r.rows)
        if (mssx_is_null(row[column])) return false;
    return true;
}

std::vector<tds_column_format> tds_result_formats(const mssx_result& r, uint32_t version)
{
    std::vector<tds_column_format> f;
    f.reserve(r.columns.size());
    for (size_t i = 0; i < r.columns.size(); ++i) {
        tds_column_format x = tds_format_of(r.columns[i].type, version);
        if (tds_sends_not_null(r, i)) x = tds_not_null_format(x);
        f.push_back(x);
    }
    for (size_t i = 0; i < f.size(); ++i) {
        auto& x = f[i];
        bool sized = !x.plp && (x.kind == tds_kind::char8 || x.kind == tds_kind::nchar || x.kind == tds_kind::binary);
        if (!sized) continue;
        size_t longest = 0;
        for (auto& row : r.rows) {
            const mssx_value& v = row[i];
            size_t n = 0;
            if (auto s = std::get_if<std::string>(&v))
                n = x.kind == tds_kind::nchar ? tds_utf16le(*s).size() : s->size();
            else if (auto b = std::get_if<mssx_blob>(&v))
                n = b->bytes.size();
            else if (!mssx_is_null(v))
                n = 64 * (x.kind == tds_kind::nchar ? 2 : 1);
            longest = std::max(longest, n);
        }
        if (longest <= x.length) continue;
        if (longest <= kMaxShortBytes)
            x.length = static_cast<uint32_t>(longest);
        else if (version >= tds::kTds72) {
            x.length = tds::kMaxLengthPlp;
            x.plp = true;
        } else {
            x.kind = x.kind == tds_kind::char8   ? tds_kind::text8
                     : x.kind == tds_kind::nchar ? tds_kind::ntext
                                                 : tds_kind::image;
            x.type = x.kind == tds_kind::text8   ? tds::kTextType
                     : x.kind == tds_kind::ntext ? tds::kNTextType
                                                 : tds::kImageType;
            x.length = 0x7FFFFFFF;
            continue;
        }
        // a fixed-length type whose values differ in length travels as the variable one
        if (x.type == tds::kBigCharType) x.type = tds::kBigVarChrType;
        if (x.type == tds::kNCharType) x.type = tds::kNVarcharType;
        if (x.type == tds::kBigBinaryType) x.type = tds::kBigVarBinType;
    }
    return f;
}

void tds_token_writer::result(const mssx_result& r)
{
    std::vector<tds_column_format> f = tds_result_formats(r, version_);
    w_.u8(tds::kTokenColMetadata);
    w_.u16(static_cast<uint16_t>(r.columns.size()));
    for (size_t i = 0; i < r.columns.size(); ++i) {
        auto& c = r.columns[i];
        if (version_ >= tds::kTds72)
            w_.u32(0); // user type
        else
            w_.u16(0);
        const bool nullable = !tds_sends_not_null(r, i);
        w_.u16(static_cast<uint16_t>((nullable ? tds::kColNullable : 0) | tds::kColUpdateableUnknown |
                                     (c.identity ? tds::kColIdentity : 0)));
        tds_write_type_info(w_, f[i], version_);
        w_.b_varchar(c.name);
    }
    bool nbc = version_ >= tds::kTds73A;
    size_t bitmap_bytes = (r.columns.size() + 7) / 8;
    std::string bitmap;
    for (auto& row : r.rows) {
        bool any_null = false;
        if (nbc) {
            bitmap.assign(bitmap_bytes, '\0');
            for (size_t i = 0; i < row.size(); ++i)
                if (mssx_is_null(row[i])) {
                    bitmap[i / 8] = static_cast<char>(bitmap[i / 8] | (1 << (i % 8)));
                    any_null = true;
                }
        }
        if (any_null) {
            w_.u8(tds::kTokenNbcRow);
            w_.bytes(bitmap);
        } else
            w_.u8(tds::kTokenRow);
        for (size_t i = 0; i < row.size(); ++i) {
            if (any_null && mssx_is_null(row[i])) continue;
            tds_write_value(w_, f[i], r.columns[i].type, row[i]);
        }
    }
}
