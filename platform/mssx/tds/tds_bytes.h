// Bounds-checked reading and appending of the TDS encodings (little-endian
// integers, UCS-2 text with byte, word or no length prefix).
#pragma once
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

// A request that does not follow the protocol; the connection is closed.
struct tds_protocol_error : std::runtime_error {
    using std::runtime_error::runtime_error;
};

class tds_reader {
public:
    explicit tds_reader(std::string_view data) : d_(data) {}
    size_t pos() const { return p_; }
    size_t left() const { return d_.size() - p_; }
    bool at_end() const { return p_ >= d_.size(); }
    void seek(size_t p);
    std::string_view data() const { return d_; }

    uint8_t u8();
    uint16_t u16();
    uint16_t u16_be();
    uint32_t u32();
    uint32_t u32_be();
    uint64_t u64();
    std::string_view bytes(size_t n);
    void skip(size_t n) { bytes(n); }
    // UCS-2 text of n characters, as UTF-8.
    std::string ucs2(size_t chars);
    std::string b_varchar() { return ucs2(u8()); }
    std::string us_varchar() { return ucs2(u16()); }

private:
    std::string_view d_;
    size_t p_ = 0;
    void need(size_t n) const;
};

class tds_writer {
public:
    std::string& buffer() { return b_; }
    size_t size() const { return b_.size(); }
    void u8(uint8_t v) { b_.push_back(static_cast<char>(v)); }
    void u16(uint16_t v);
    void u16_be(uint16_t v);
    void u32(uint32_t v);
    void u32_be(uint32_t v);
    void u64(uint64_t v);
    void bytes(std::string_view s) { b_.append(s); }
    // Text as UCS-2 without a length.
    void ucs2(std::string_view utf8);
    // Text with a length in characters: one byte (B_VARCHAR) or two (US_VARCHAR).
    void b_varchar(std::string_view utf8);
    void us_varchar(std::string_view utf8);
    // Patches a 16-bit length written earlier at position at.
    void patch_u16(size_t at, uint16_t v);

private:
    std::string b_;
};
