#include "platform/mssx/tds/tds_request.h"
#include "platform/mssx/tds/tds_bytes.h"
#include "platform/mssx/tds/tds_constants.h"
#include "platform/mssx/tds/tds_param_reader.h"
#include "platform/mssx/tds/tds_text.h"

void tds_skip_all_headers(tds_reader& r, uint32_t version)
{
    if (version < tds::kTds72) return;
    size_t start = r.pos();
    uint32_t total = r.u32();
    if (total < 4 || total - 4 > r.left()) throw tds_protocol_error("ALL_HEADERS length");
    r.seek(start + total);
}

std::string tds_read_sql_batch(std::string_view payload, uint32_t version)
{
    tds_reader r(payload);
    tds_skip_all_headers(r, version);
    return tds_utf8_from_utf16le(r.bytes(r.left()));
}

std::vector<tds_rpc_call> tds_read_rpc(std::string_view payload, uint32_t version)
{
    tds_reader r(payload);
    tds_skip_all_headers(r, version);
    std::vector<tds_rpc_call> calls;
    for (;;) {
        tds_rpc_call c;
        uint16_t n = r.u16();
        if (n == tds::kProcIdSwitch)
            c.proc_id = r.u16();
        else
            c.name = r.ucs2(n);
        c.options = r.u16();
        bool ended = false;
        while (!r.at_end()) {
            uint8_t next = static_cast<uint8_t>(r.data()[r.pos()]);
            if (next == tds::kRpcBatchFlag || next == tds::kRpcNoExecFlag ||
                (version < tds::kTds72 && next == tds::kRpcBatchFlagOld)) {
                r.u8();
                ended = true;
                break;
            }
            tds_rpc_param p;
            p.name = r.b_varchar();
            uint8_t status = r.u8();
            p.output = (status & tds::kRpcParamByRef) != 0;
            tds_read_param_value(r, p.type, p.value);
            c.params.push_back(std::move(p));
        }
        calls.push_back(std::move(c));
        if (!ended || r.at_end()) break;
    }
    return calls;
}
