#include "oci_standin_monitor.h"

#include <array>
#include <atomic>
#include <charconv>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <thread>

namespace {

const char* const trip_names[standin_trip_kinds] = {"none", "session", "execute", "fetch", "commit", "lob"};

class monitor {
public:
    monitor()
    {
        if (const char* p = std::getenv("TVX_OCI_TRACE"); p && *p) trace_.open(p, std::ios::app);
        if (const char* p = std::getenv("TVX_OCI_ROUND_TRIPS"); p && *p) totals_path_ = p;
        if (const char* p = std::getenv("TVX_OCI_LATENCY_US"); p && *p)
            latency_ = std::chrono::microseconds(std::strtoll(p, nullptr, 10));
    }
    ~monitor()
    {
        if (totals_path_.empty()) return;
        std::ofstream out(totals_path_, std::ios::trunc);
        for (size_t k = 1; k < standin_trip_kinds; ++k) out << trip_names[k] << ' ' << counts_[k].load() << '\n';
    }
    monitor(const monitor&) = delete;
    monitor& operator=(const monitor&) = delete;

    bool tracing() const { return trace_.is_open(); }

    void record(const char* name, standin_trip trip, sword status, const std::string& detail)
    {
        // A call refused for its handles never leaves the client.
        if (trip != standin_trip::none && status != OCI_INVALID_HANDLE) {
            ++counts_[static_cast<size_t>(trip)];
            if (latency_.count() > 0) std::this_thread::sleep_for(latency_);
        }
        if (!tracing()) return;
        std::lock_guard<std::mutex> lock(mu_);
        trace_ << name << '\t' << detail << "\trc=" << status << '\n';
        trace_.flush();
    }

    void read(uint64_t* out, size_t n) const
    {
        for (size_t k = 0; k < n && k < standin_trip_kinds; ++k) out[k] = counts_[k].load();
    }
    void reset()
    {
        for (auto& c : counts_) c = 0;
    }

private:
    std::array<std::atomic<uint64_t>, standin_trip_kinds> counts_{};
    std::chrono::microseconds latency_{0};
    std::string totals_path_;
    std::mutex mu_;
    std::ofstream trace_;
};

monitor& mon()
{
    static monitor m;
    return m;
}

} // namespace

void standin_record(const char* name, standin_trip trip, sword status, const std::string& detail)
{
    mon().record(name, trip, status, detail);
}

bool standin_tracing() { return mon().tracing(); }

std::string standin_ptr(const void* p)
{
    if (!p) return "0";
    std::string s(2 + 2 * sizeof(void*), '0');
    s[1] = 'x';
    const auto r = std::to_chars(s.data() + 2, s.data() + s.size(), reinterpret_cast<uintptr_t>(p), 16);
    s.resize(static_cast<size_t>(r.ptr - s.data()));
    return s;
}

extern "C" {

void tvx_standin_round_trips(uint64_t* counts, size_t n) { mon().read(counts, n); }
void tvx_standin_reset_round_trips() { mon().reset(); }

} // extern "C"
