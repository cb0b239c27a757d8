#include "platform/mssx/tds/tds_login7.h"
#include "platform/mssx/tds/tds_bytes.h"
#include "platform/mssx/tds/tds_constants.h"
#include "platform/mssx/tds/tds_text.h"

namespace {
constexpr size_t kFixedPart = 36; // up to ClientLCID
constexpr uint8_t kPasswordXor = 0xA5;

struct field {
    uint16_t offset = 0, chars = 0;
};

std::string_view field_bytes(std::string_view payload, field f)
{
    size_t end = static_cast<size_t>(f.offset) + static_cast<size_t>(f.chars) * 2;
    if (end > payload.size()) throw tds_protocol_error("LOGIN7 field out of range");
    return payload.substr(f.offset, static_cast<size_t>(f.chars) * 2);
}
} // namespace

bool tds_login7::integrated() const { return (option_flags2 & tds::kOptionFlags2IntSecurity) != 0; }
bool tds_login7::wants_feature_ext() const { return (option_flags3 & tds::kOptionFlags3Extension) != 0; }

std::string tds_unscramble_password(std::string_view bytes)
{
    std::string out(bytes);
    for (auto& ch : out) {
        uint8_t c = static_cast<uint8_t>(ch) ^ kPasswordXor;
        ch = static_cast<char>(((c & 0x0F) << 4) | (c >> 4));
    }
    return tds_utf8_from_utf16le(out);
}

tds_login7 tds_read_login7(std::string_view payload)
{
    if (payload.size() > tds::kMaxLogin7Size) throw tds_protocol_error("LOGIN7 too long");
    tds_reader r(payload);
    tds_login7 l;
    uint32_t length = r.u32();
    if (length > payload.size() || length < kFixedPart) throw tds_protocol_error("LOGIN7 length");
    l.tds_version = r.u32();
    l.packet_size = r.u32();
    r.skip(4 + 4 + 4); // client program version, process id, connection id
    r.u8();            // option flags 1
    l.option_flags2 = r.u8();
    r.u8(); // type flags
    l.option_flags3 = r.u8();
    r.skip(4 + 4); // time zone, LCID
    auto next = [&] {
        field f;
        f.offset = r.u16();
        f.chars = r.u16();
        return f;
    };
    field host = next(), user = next(), password = next(), app = next(), server = next();
    next(); // extension (or unused)
    field library = next(), language = next(), database = next();
    l.host_name = tds_utf8_from_utf16le(field_bytes(payload, host));
    l.user_name = tds_utf8_from_utf16le(field_bytes(payload, user));
    l.password = tds_unscramble_password(field_bytes(payload, password));
    l.app_name = tds_utf8_from_utf16le(field_bytes(payload, app));
    l.server_name = tds_utf8_from_utf16le(field_bytes(payload, server));
    l.library_name = tds_utf8_from_utf16le(field_bytes(payload, library));
    l.language = tds_utf8_from_utf16le(field_bytes(payload, language));
    l.database = tds_utf8_from_utf16le(field_bytes(payload, database));
    return l;
}
