// Client requests after login: SQL batches and remote procedure calls.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>
#include "platform/mssx/mssx_value.h"

// The text of a SQL batch (after the ALL_HEADERS of TDS 7.2 and later).
std::string tds_read_sql_batch(std::string_view payload, uint32_t tds_version);

struct tds_rpc_param {
    std::string name; // "@P1"; empty when given by position
    bool output = false;
    mssx_type type;
    mssx_value value;
};

struct tds_rpc_call {
    std::string name; // the procedure's name, or empty when proc_id is set
    uint16_t proc_id = 0;
    uint16_t options = 0;
    std::vector<tds_rpc_param> params;
};

// Every call of an RPC request (several when batched).
std::vector<tds_rpc_call> tds_read_rpc(std::string_view payload, uint32_t tds_version);

// Skips ALL_HEADERS when the version has them.
void tds_skip_all_headers(class tds_reader& r, uint32_t tds_version);
