// The TCP side of the endpoint: listens on one address, serves each client
// on its own thread, and stops on request (all clients disconnected, threads joined).
#pragma once
#include <atomic>
#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include "platform/mssx/tds/tds_login_guard.h"

class tds_listener {
public:
    // Binds and listens; port 0 takes a free port. Throws std::runtime_error.
    tds_listener(std::string server_dir, const std::string& host, uint16_t port);
    ~tds_listener();
    tds_listener(const tds_listener&) = delete;
    tds_listener& operator=(const tds_listener&) = delete;

    uint16_t port() const { return port_; }
    const std::string& address() const { return address_; }
    // Accepts clients until stop(); returns when every client thread has ended.
    void serve();
    // Safe from any thread.
    void stop();
    // Seconds a logged-in client may stay silent before it is disconnected; 0 for no limit.
    void set_idle_timeout(int seconds) { idle_timeout_seconds_ = seconds; }

private:
    struct client {
        int fd = -1;
        std::thread thread;
        std::atomic<bool> finished{false};
    };
    std::string dir_;
    std::string address_;
    uint16_t port_ = 0;
    int listen_fd_ = -1;
    int wake_[2] = {-1, -1};
    std::atomic<bool> stopping_{false};
    std::mutex lock_; // guards clients_
    std::list<std::unique_ptr<client>> clients_;
    uint16_t next_spid_ = 51;
    int idle_timeout_seconds_;
    tds_login_guard guard_;
    void reap(bool all);
};
