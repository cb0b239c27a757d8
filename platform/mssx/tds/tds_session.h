// One client connection of the TDS endpoint: PRELOGIN, LOGIN7, then SQL
// batches and RPC requests run on the client's own embedded-server connection.
#pragma once
#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>
#include "platform/mssx/mssx_connection.h"
#include "platform/mssx/tds/tds_login_guard.h"
#include "platform/mssx/tds/tds_packet.h"
#include "platform/mssx/tds/tds_request.h"
#include "platform/mssx/tds/tds_token_writer.h"

class tds_session {
public:
    // `peer` names the client in the log; `idle_timeout_seconds` 0 keeps an
    // idle logged-in client for good.
    tds_session(int fd, std::string server_dir, uint16_t spid, tds_login_guard& guard, std::string peer,
                int idle_timeout_seconds);
    // Serves until the client leaves or breaks the protocol.
    void run();

private:
    struct prepared {
        std::string declarations;
        std::string statement;
    };
    tds_channel channel_;
    std::string dir_;
    uint16_t spid_;
    tds_login_guard& guard_;
    std::string peer_;
    int idle_timeout_seconds_;
    std::string server_name_;
    uint32_t version_ = 0x74000004;
    std::unique_ptr<mssx_connection> conn_;
    std::map<int32_t, prepared> prepared_;
    int32_t next_handle_ = 1;

    bool login(const tds_message& first);
    void batch(const tds_message& m);
    void rpc(const tds_message& m);
    void transaction_manager(const tds_message& m);
    void rpc_call(tds_rpc_call& call, tds_token_writer& w, bool last);
    // Writes the outcome of a batch or call; true when it held an error.
    bool write_outcome(tds_token_writer& w, const mssx_outcome& out, uint8_t final_done_token, bool final_more,
                       const std::string& database_before);
    mssx_outcome run_with_params(const std::string& statement, const std::string& declarations,
                                 const std::vector<tds_rpc_param>& values);
    tds_message_text message_of(const mssx_error& e) const;
    void send(tds_token_writer& w);
};
