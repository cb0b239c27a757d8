// Slows down guessing: each failed login from an address waits longer before
// it is answered (doubling up to a bound), and is logged; a login that
// succeeds forgets the address's failures. Shared by all sessions.
#pragma once
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <map>
#include <mutex>
#include <string>

class tds_login_guard {
public:
    // The wait before the n-th failure in a row is answered (n from 1).
    static std::chrono::milliseconds delay_for(unsigned failures);

    // Counts a failure of `user` from `address`, writes a log line and waits
    // its delay (less when stop() is called meanwhile).
    void failed(const std::string& address, const std::string& user);
    void succeeded(const std::string& address);
    // Ends every wait at once; later failures are answered without one.
    void stop();

private:
    std::mutex lock_;
    std::condition_variable woken_;
    bool stopping_ = false;
    std::map<std::string, unsigned> failures_;
};
