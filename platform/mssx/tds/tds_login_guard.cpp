#include "platform/mssx/tds/tds_login_guard.h"

#include <algorithm>
#include <iostream>

namespace {

constexpr std::chrono::milliseconds kFirstDelay{250};
constexpr std::chrono::milliseconds kLongestDelay{4000};
// Addresses remembered at most: a flood of addresses cannot grow the table without end.
constexpr size_t kMaxAddresses = 4096;

} // namespace

std::chrono::milliseconds tds_login_guard::delay_for(unsigned failures)
{
    std::chrono::milliseconds d = kFirstDelay;
    for (unsigned i = 1; i < failures && d < kLongestDelay; ++i) d *= 2;
    return std::min(d, kLongestDelay);
}

void tds_login_guard::failed(const std::string& address, const std::string& user)
{
    std::unique_lock<std::mutex> g(lock_);
    if (failures_.size() >= kMaxAddresses && !failures_.count(address)) failures_.clear();
    const unsigned n = ++failures_[address];
    const std::chrono::milliseconds wait = delay_for(n);
    std::cerr << "Login failed for user '" << user << "' from " << address << " (" << n
              << (n == 1 ? " failure" : " failures in a row") << "); answered after " << wait.count() << " ms"
              << std::endl;
    woken_.wait_for(g, wait, [this] { return stopping_; });
}

void tds_login_guard::succeeded(const std::string& address)
{
    std::lock_guard<std::mutex> g(lock_);
    failures_.erase(address);
}

void tds_login_guard::stop()
{
    {
        std::lock_guard<std::mutex> g(lock_);
        stopping_ = true;
    }
    woken_.notify_all();
}
