// Throughput of the value type's text forms: parsing and printing the values a
// conversion moves most (decimals, dates, integers, binary).
#include "OLE/ole_variant.h"

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace {

template <typename F>
void measure(const char* what, int rounds, F&& body)
{
    const auto start = std::chrono::steady_clock::now();
    size_t sink = 0;
    for (int i = 0; i < rounds; ++i) sink += body(i);
    const double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%-34s %10.0f values/s  (%zu)\n", what, rounds / secs, sink);
}

} // namespace

int main()
{
    const int n = 200000;
    std::vector<std::string> decimals, dates, ints;
    for (int i = 0; i < 1000; ++i) {
        decimals.push_back(std::to_string(i * 7919) + "." + std::to_string(1000 + i % 9000));
        dates.push_back("2016-" + std::to_string(1 + i % 12) + "-" + std::to_string(1 + i % 28) +
                        " 12:" + std::to_string(i % 60) + ":" + std::to_string(i % 60) + ".997");
        ints.push_back(std::to_string(i * 104729));
    }
    measure("from_string VT_DECIMAL", n, [&](int i) {
        return ole_variant::from_string(decimals[static_cast<size_t>(i) % 1000], VT_DECIMAL).to_string().size();
    });
    measure("from_string VT_CY", n, [&](int i) {
        return ole_variant::from_string(decimals[static_cast<size_t>(i) % 1000], VT_CY).to_string().size();
    });
    measure("from_string VT_DATE", n, [&](int i) {
        return ole_variant::from_string(dates[static_cast<size_t>(i) % 1000], VT_DATE).to_string().size();
    });
    measure("from_string VT_I4", n, [&](int i) {
        return ole_variant::from_string(ints[static_cast<size_t>(i) % 1000], VT_I4).to_string().size();
    });
    measure("to_string VT_R8", n, [&](int i) { return ole_variant(i * 0.1).to_string().size(); });
    std::vector<BYTE> blob(4096);
    for (size_t i = 0; i < blob.size(); ++i) blob[i] = static_cast<BYTE>(i);
    measure("binary 4 KiB to hex and back", n / 100, [&](int) {
        const ole_variant v(blob.data(), blob.size());
        return ole_variant::from_string(v.to_string(), VT_BLOB).get_bytes(nullptr);
    });
    return 0;
}
