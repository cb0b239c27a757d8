#include "platform/mssx/tds/tds_packet.h"
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <cerrno>
#include "platform/mssx/tds/tds_bytes.h"
#include "platform/mssx/tds/tds_constants.h"

tds_packet_header tds_parse_packet_header(std::string_view b)
{
    tds_reader r(b);
    tds_packet_header h;
    h.type = r.u8();
    h.status = r.u8();
    h.length = r.u16_be();
    h.spid = r.u16_be();
    h.packet_id = r.u8();
    h.window = r.u8();
    if (h.length < tds::kHeaderSize) throw tds_protocol_error("TDS packet shorter than its header");
    return h;
}

size_t tds_max_request_size() { return tds::kMaxRequestSize; }

tds_message_assembler::tds_message_assembler(size_t max_size) : max_size_(max_size) {}

bool tds_message_assembler::add(const tds_packet_header& h, std::string_view data)
{
    if (done_) throw tds_protocol_error("message not taken");
    if (!started_) {
        m_.type = h.type;
        m_.status = h.status;
        started_ = true;
    } else if (h.type != m_.type) {
        throw tds_protocol_error("packet type changed inside a message");
    }
    if (m_.payload.size() + data.size() > max_size_) throw tds_protocol_error("TDS request too large");
    m_.payload.append(data);
    if (h.status & tds::kStatusEom) done_ = true;
    return done_;
}

tds_message tds_message_assembler::take()
{
    tds_message m = std::move(m_);
    m_ = tds_message{};
    started_ = done_ = false;
    return m;
}

void tds_channel::wait_readable()
{
    if (!deadline_ && !idle_) return;
    for (;;) {
        using namespace std::chrono;
        milliseconds wait = idle_.value_or(milliseconds::max());
        if (deadline_) {
            const auto left = duration_cast<milliseconds>(*deadline_ - steady_clock::now());
            if (left.count() <= 0) throw tds_protocol_error("the client did not log in in time");
            wait = std::min(wait, left);
        }
        pollfd pf{fd_, POLLIN, 0};
        const int rc = ::poll(&pf, 1, static_cast<int>(std::min<milliseconds::rep>(wait.count(), 24 * 3600 * 1000)));
        if (rc > 0) return;
        if (rc < 0 && errno == EINTR) continue;
        if (rc < 0) throw tds_protocol_error("connection lost");
        if (idle_ && (!deadline_ || wait == *idle_)) throw tds_protocol_error("the client was idle too long");
    }
}

bool tds_channel::read_exact(char* p, size_t n, bool eof_ok)
{
    size_t got = 0;
    while (got < n) {
        wait_readable();
        ssize_t k = ::recv(fd_, p + got, n - got, 0);
        if (k == 0) {
            if (eof_ok && got == 0) return false;
            throw tds_protocol_error("connection closed inside a packet");
        }
        if (k < 0) {
            if (errno == EINTR) continue;
            throw tds_protocol_error("connection lost");
        }
        got += static_cast<size_t>(k);
    }
    return true;
}

void tds_channel::write_all(const char* p, size_t n)
{
    while (n > 0) {
        ssize_t k = ::send(fd_, p, n, MSG_NOSIGNAL);
        if (k < 0) {
            if (errno == EINTR) continue;
            throw tds_protocol_error("connection lost");
        }
        p += k;
        n -= static_cast<size_t>(k);
    }
}

bool tds_channel::read_message(tds_message& out)
{
    tds_message_assembler a(max_message_);
    std::string header(tds::kHeaderSize, '\0');
    std::string data;
    bool first = true;
    for (;;) {
        if (!read_exact(header.data(), header.size(), first)) return false;
        first = false;
        tds_packet_header h = tds_parse_packet_header(header);
        data.resize(h.length - tds::kHeaderSize);
        read_exact(data.data(), data.size(), false);
        if (a.add(h, data)) break;
    }
    out = a.take();
    return true;
}

void tds_channel::send_message(uint8_t type, std::string_view payload)
{
    size_t room = packet_size_ - tds::kHeaderSize;
    size_t off = 0;
    uint8_t id = 1;
    std::string packet;
    do {
        size_t n = std::min(room, payload.size() - off);
        bool last = off + n == payload.size();
        tds_writer w;
        w.u8(type);
        w.u8(last ? tds::kStatusEom : 0);
        w.u16_be(static_cast<uint16_t>(n + tds::kHeaderSize));
        w.u16_be(spid_);
        w.u8(id++);
        w.u8(0);
        w.bytes(payload.substr(off, n));
        write_all(w.buffer().data(), w.size());
        off += n;
    } while (off < payload.size());
}
