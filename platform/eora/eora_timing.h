// Where the embedded Oracle spends its time, for the benchmark: statement
// handling of its own versus SQLite's storage work.
#pragma once
#include <atomic>
#include <chrono>
#include <cstdint>

namespace eora {

struct timing {
    std::atomic<int64_t> store_ns{0}; // SQLite steps and commits
};

timing& global_timing();

// Adds the lifetime of the scope to a counter.
class timed {
public:
    explicit timed(std::atomic<int64_t>& into) : into_(into), start_(std::chrono::steady_clock::now()) {}
    ~timed()
    {
        into_ +=
            std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() - start_).count();
    }
    timed(const timed&) = delete;
    timed& operator=(const timed&) = delete;

private:
    std::atomic<int64_t>& into_;
    std::chrono::steady_clock::time_point start_;
};

} // namespace eora
