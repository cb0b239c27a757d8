#include "platform/mssx/tds/tds_prelogin.h"
#include <vector>
#include "platform/mssx/tds/tds_bytes.h"
#include "platform/mssx/tds/tds_constants.h"

tds_prelogin_request tds_read_prelogin(std::string_view payload)
{
    tds_prelogin_request req;
    tds_reader r(payload);
    for (;;) {
        uint8_t token = r.u8();
        if (token == tds::kPreloginTerminator) break;
        uint16_t offset = r.u16_be(), length = r.u16_be();
        if (static_cast<size_t>(offset) + length > payload.size())
            throw tds_protocol_error("PRELOGIN option out of range");
        std::string_view value = payload.substr(offset, length);
        if (token == tds::kPreloginEncryption && length >= 1) {
            req.encryption = static_cast<uint8_t>(value[0]);
            req.has_encryption = true;
        } else if (token == tds::kPreloginMars && length >= 1) {
            req.mars = value[0] != 0;
        }
    }
    return req;
}

std::string tds_prelogin_response(uint32_t server_version, uint16_t sub_build)
{
    struct option {
        uint8_t token;
        std::string value;
    };
    tds_writer version;
    version.u32_be(server_version);
    version.u16_be(sub_build);
    std::vector<option> opts = {
        {tds::kPreloginVersion, version.buffer()},
        {tds::kPreloginEncryption, std::string(1, static_cast<char>(tds::kEncryptNotSup))},
        {tds::kPreloginInstOpt, std::string(1, '\0')},
        {tds::kPreloginThreadId, std::string()},
        {tds::kPreloginMars, std::string(1, '\0')},
    };
    tds_writer w;
    size_t offset = opts.size() * 5 + 1;
    for (auto& o : opts) {
        w.u8(o.token);
        w.u16_be(static_cast<uint16_t>(offset));
        w.u16_be(static_cast<uint16_t>(o.value.size()));
        offset += o.value.size();
    }
    w.u8(tds::kPreloginTerminator);
    for (auto& o : opts) w.bytes(o.value);
    return w.buffer();
}
