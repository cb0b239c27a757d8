#include "platform/mssx/tds/tds_bytes.h"
#include "platform/mssx/tds/tds_text.h"

void tds_reader::need(size_t n) const
{
    if (n > left()) throw tds_protocol_error("truncated TDS data");
}

void tds_reader::seek(size_t p)
{
    if (p > d_.size()) throw tds_protocol_error("TDS offset out of range");
    p_ = p;
}

uint8_t tds_reader::u8()
{
    need(1);
    return static_cast<uint8_t>(d_[p_++]);
}

uint16_t tds_reader::u16()
{
    uint16_t lo = u8();
    return static_cast<uint16_t>(lo | (u8() << 8));
}

uint16_t tds_reader::u16_be()
{
    uint16_t hi = u8();
    return static_cast<uint16_t>((hi << 8) | u8());
}

uint32_t tds_reader::u32()
{
    uint32_t lo = u16();
    return lo | (static_cast<uint32_t>(u16()) << 16);
}

uint32_t tds_reader::u32_be()
{
    uint32_t hi = u16_be();
    return (hi << 16) | u16_be();
}

uint64_t tds_reader::u64()
{
    uint64_t lo = u32();
    return lo | (static_cast<uint64_t>(u32()) << 32);
}

std::string_view tds_reader::bytes(size_t n)
{
    need(n);
    std::string_view s = d_.substr(p_, n);
    p_ += n;
    return s;
}

std::string tds_reader::ucs2(size_t chars)
{
    if (chars > left() / 2) throw tds_protocol_error("truncated TDS text");
    return tds_utf8_from_utf16le(bytes(chars * 2));
}

void tds_writer::u16(uint16_t v)
{
    u8(static_cast<uint8_t>(v));
    u8(static_cast<uint8_t>(v >> 8));
}

void tds_writer::u16_be(uint16_t v)
{
    u8(static_cast<uint8_t>(v >> 8));
    u8(static_cast<uint8_t>(v));
}

void tds_writer::u32(uint32_t v)
{
    u16(static_cast<uint16_t>(v));
    u16(static_cast<uint16_t>(v >> 16));
}

void tds_writer::u32_be(uint32_t v)
{
    u16_be(static_cast<uint16_t>(v >> 16));
    u16_be(static_cast<uint16_t>(v));
}

void tds_writer::u64(uint64_t v)
{
    u32(static_cast<uint32_t>(v));
    u32(static_cast<uint32_t>(v >> 32));
}

void tds_writer::ucs2(std::string_view utf8) { b_.append(tds_utf16le(utf8)); }

void tds_writer::b_varchar(std::string_view utf8)
{
    std::string u = tds_utf16le(utf8);
    if (u.size() / 2 > 0xFF) u.resize(0xFF * 2);
    u8(static_cast<uint8_t>(u.size() / 2));
    b_.append(u);
}

void tds_writer::us_varchar(std::string_view utf8)
{
    std::string u = tds_utf16le(utf8);
    if (u.size() / 2 > 0xFFFF) u.resize(0xFFFF * 2);
    u16(static_cast<uint16_t>(u.size() / 2));
    b_.append(u);
}

void tds_writer::patch_u16(size_t at, uint16_t v)
{
    b_[at] = static_cast<char>(v & 0xFF);
    b_[at + 1] = static_cast<char>(v >> 8);
}
