#include "platform/mssx/tds/tds_listener.h"
#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>
#include <iostream>
#include <stdexcept>
#include "platform/mssx/tds/tds_constants.h"
#include "platform/mssx/tds/tds_session.h"

namespace {
constexpr int kBacklog = 64;
constexpr uint16_t kFirstUserSpid = 51;
constexpr uint16_t kLastSpid = 32767;
std::string address_text(const sockaddr_storage& ss)
{
    char text[INET6_ADDRSTRLEN] = {};
    if (ss.ss_family == AF_INET6)
        ::inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6*>(&ss)->sin6_addr, text, sizeof text);
    else if (ss.ss_family == AF_INET)
        ::inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(&ss)->sin_addr, text, sizeof text);
    return text;
}

} // namespace

tds_listener::tds_listener(std::string server_dir, const std::string& host, uint16_t port)
    : dir_(std::move(server_dir)), idle_timeout_seconds_(tds::kDefaultIdleTimeoutSeconds)
{
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
    addrinfo* res = nullptr;
    std::string service = std::to_string(port);
    int rc = ::getaddrinfo(host.c_str(), service.c_str(), &hints, &res);
    if (rc != 0) throw std::runtime_error("cannot resolve " + host + ": " + gai_strerror(rc));
    std::string why = "no address";
    for (addrinfo* a = res; a; a = a->ai_next) {
        int fd = ::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC, a->ai_protocol);
        if (fd < 0) continue;
        int one = 1;
        ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        if (::bind(fd, a->ai_addr, a->ai_addrlen) == 0 && ::listen(fd, kBacklog) == 0) {
            listen_fd_ = fd;
            break;
        }
        why = std::strerror(errno);
        ::close(fd);
    }
    ::freeaddrinfo(res);
    if (listen_fd_ < 0) throw std::runtime_error("cannot listen on " + host + " port " + service + ": " + why);
    sockaddr_storage ss{};
    socklen_t len = sizeof ss;
    ::getsockname(listen_fd_, reinterpret_cast<sockaddr*>(&ss), &len);
    char text[INET6_ADDRSTRLEN] = {};
    if (ss.ss_family == AF_INET6) {
        auto* a6 = reinterpret_cast<sockaddr_in6*>(&ss);
        ::inet_ntop(AF_INET6, &a6->sin6_addr, text, sizeof text);
        port_ = ntohs(a6->sin6_port);
    } else {
        auto* a4 = reinterpret_cast<sockaddr_in*>(&ss);
        ::inet_ntop(AF_INET, &a4->sin_addr, text, sizeof text);
        port_ = ntohs(a4->sin_port);
    }
    address_ = text;
    if (::pipe2(wake_, O_CLOEXEC) != 0) {
        ::close(listen_fd_);
        throw std::runtime_error("cannot create a pipe");
    }
}

tds_listener::~tds_listener()
{
    stop();
    reap(true);
    if (listen_fd_ >= 0) ::close(listen_fd_);
    for (int fd : wake_)
        if (fd >= 0) ::close(fd);
}

void tds_listener::stop()
{
    if (stopping_.exchange(true)) return;
    guard_.stop();
    char c = 1;
    ssize_t ignored = ::write(wake_[1], &c, 1);
    (void)ignored;
}

void tds_listener::reap(bool all)
{
    std::list<std::unique_ptr<client>> done;
    {
        std::lock_guard<std::mutex> g(lock_);
        for (auto it = clients_.begin(); it != clients_.end();) {
            if (all) ::shutdown((*it)->fd, SHUT_RDWR); // wakes a session blocked on its socket
            if (all || (*it)->finished) {
                done.push_back(std::move(*it));
                it = clients_.erase(it);
            } else
                ++it;
        }
    }
    for (auto& c : done) {
        if (c->thread.joinable()) c->thread.join();
        ::close(c->fd);
    }
}

void tds_listener::serve()
{
    while (!stopping_) {
        pollfd p[2] = {{listen_fd_, POLLIN, 0}, {wake_[0], POLLIN, 0}};
        int rc = ::poll(p, 2, 1000);
        reap(false);
        if (rc < 0 && errno != EINTR) break;
        if (rc <= 0 || !(p[0].revents & POLLIN)) continue;
        sockaddr_storage peer{};
        socklen_t peer_len = sizeof peer;
        int fd = ::accept4(listen_fd_, reinterpret_cast<sockaddr*>(&peer), &peer_len, SOCK_CLOEXEC);
        if (fd < 0) continue;
        const std::string from = address_text(peer);
        size_t serving = 0;
        {
            std::lock_guard<std::mutex> g(lock_);
            serving = clients_.size();
        }
        if (serving >= tds::kMaxConnections) {
            std::cerr << "Connection from " << from << " refused: " << serving << " clients are served already"
                      << std::endl;
            ::close(fd);
            continue;
        }
        int one = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        auto c = std::make_unique<client>();
        client* raw = c.get();
        raw->fd = fd;
        uint16_t spid = next_spid_;
        next_spid_ = next_spid_ >= kLastSpid ? kFirstUserSpid : static_cast<uint16_t>(next_spid_ + 1);
        std::lock_guard<std::mutex> g(lock_);
        raw->thread = std::thread([this, raw, fd, spid, from] {
            tds_session(fd, dir_, spid, guard_, from, idle_timeout_seconds_).run();
            ::shutdown(fd, SHUT_RDWR);
            raw->finished = true;
        });
        clients_.push_back(std::move(c));
    }
    reap(true);
}
