// LOGIN7: the client's login record.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

struct tds_login7 {
    uint32_t tds_version = 0; // e.g. 0x74000004 for 7.4
    uint32_t packet_size = 0;
    uint8_t option_flags2 = 0;
    uint8_t option_flags3 = 0;
    std::string host_name;
    std::string user_name;
    std::string password;
    std::string app_name;
    std::string server_name;
    std::string library_name;
    std::string language;
    std::string database;
    bool integrated() const;
    bool wants_feature_ext() const;
};

// Throws tds_protocol_error on a malformed record.
tds_login7 tds_read_login7(std::string_view payload);
// Passwords travel with nibbles swapped and XOR 0xA5 on each byte.
std::string tds_unscramble_password(std::string_view bytes);
