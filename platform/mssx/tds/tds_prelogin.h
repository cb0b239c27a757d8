// PRELOGIN: the first exchange, options as (token, offset, length) entries.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

struct tds_prelogin_request {
    uint8_t encryption = 0;
    bool has_encryption = false;
    bool mars = false;
};

// Throws tds_protocol_error on a malformed option table.
tds_prelogin_request tds_read_prelogin(std::string_view payload);

// The server's answer: version, no encryption, no instance, no MARS.
std::string tds_prelogin_response(uint32_t server_version, uint16_t sub_build);
