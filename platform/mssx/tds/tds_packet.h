// Packet framing: a message (request or response) travels as packets of at
// most the negotiated size, each with an 8-byte header; the last one carries
// the end-of-message status.
#pragma once
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

struct tds_packet_header {
    uint8_t type = 0;
    uint8_t status = 0;
    uint16_t length = 0; // header included
    uint16_t spid = 0;
    uint8_t packet_id = 0;
    uint8_t window = 0;
};

// Reads a header; throws tds_protocol_error when it cannot be one.
tds_packet_header tds_parse_packet_header(std::string_view eight_bytes);

struct tds_message {
    uint8_t type = 0;
    uint8_t status = 0; // of the first packet (reset-connection bits)
    std::string payload;
};

// The largest request of a logged-in client.
size_t tds_max_request_size();

// Collects packets into messages; fed header by header, independent of the socket.
class tds_message_assembler {
public:
    // A message larger than max_size is refused (tds_protocol_error).
    explicit tds_message_assembler(size_t max_size = tds_max_request_size());
    // Adds one packet's data; true when it completed a message, taken with take().
    bool add(const tds_packet_header& h, std::string_view data);
    tds_message take();

private:
    size_t max_size_;
    tds_message m_;
    bool started_ = false;
    bool done_ = false;
};

// One client's socket: whole messages in, whole messages out.
class tds_channel {
public:
    explicit tds_channel(int fd) : fd_(fd), max_message_(tds_max_request_size()) {}
    // False when the client closed the connection between messages.
    bool read_message(tds_message& out);
    void send_message(uint8_t type, std::string_view payload);
    void set_packet_size(uint32_t n) { packet_size_ = n; }
    uint32_t packet_size() const { return packet_size_; }
    void set_spid(uint16_t spid) { spid_ = spid; }
    // The largest message read_message accepts.
    void set_max_message(size_t n) { max_message_ = n; }
    // Reads give up (tds_protocol_error) at this time point, or after this
    // long without a byte; none of either by default.
    void set_deadline(std::optional<std::chrono::steady_clock::time_point> t) { deadline_ = t; }
    void set_idle_timeout(std::optional<std::chrono::milliseconds> t) { idle_ = t; }

private:
    int fd_;
    uint32_t packet_size_ = 4096;
    uint16_t spid_ = 0;
    size_t max_message_;
    std::optional<std::chrono::steady_clock::time_point> deadline_;
    std::optional<std::chrono::milliseconds> idle_;
    void wait_readable();
    bool read_exact(char* p, size_t n, bool eof_ok);
    void write_all(const char* p, size_t n);
};
