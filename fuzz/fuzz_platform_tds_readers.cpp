// Arbitrary bytes through the TDS request readers: packet headers, PRELOGIN,
// LOGIN7, SQL batches and RPC requests (with every parameter type).
#include <cstddef>
#include <cstdint>
#include <string_view>
#include "platform/mssx/tds/tds_bytes.h"
#include "platform/mssx/tds/tds_constants.h"
#include "platform/mssx/tds/tds_login7.h"
#include "platform/mssx/tds/tds_packet.h"
#include "platform/mssx/tds/tds_prelogin.h"
#include "platform/mssx/tds/tds_request.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1) return 0;
    std::string_view all(reinterpret_cast<const char*>(data), size);
    std::string_view body = all.substr(1);
    uint32_t version = (data[0] & 1) ? tds::kTds74 : tds::kTds71;
    try {
        switch (data[0] >> 1 & 7) {
        case 0: {
            tds_message_assembler a(tds_max_request_size());
            while (body.size() >= tds::kHeaderSize) {
                tds_packet_header h = tds_parse_packet_header(body.substr(0, tds::kHeaderSize));
                size_t n = std::min<size_t>(h.length - tds::kHeaderSize, body.size() - tds::kHeaderSize);
                if (a.add(h, body.substr(tds::kHeaderSize, n))) a.take();
                body = body.substr(tds::kHeaderSize + n);
            }
            break;
        }
        case 1:
            tds_read_prelogin(body);
            break;
        case 2:
            tds_read_login7(body);
            break;
        case 3:
            tds_read_sql_batch(body, version);
            break;
        default:
            tds_read_rpc(body, version);
            break;
        }
    } catch (const tds_protocol_error&) {}
    return 0;
}
