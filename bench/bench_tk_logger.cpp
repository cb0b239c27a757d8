// Cost of a trace line: below the minimum level (the usual case: every
// operation logs on entry at level 1) and written to the file.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "TK/tk_logger.h"

namespace {
template <class F>
double ns_per_call(int n, F f)
{
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < n; ++i) f(i);
    std::chrono::duration<double, std::nano> d = std::chrono::steady_clock::now() - start;
    return d.count() / n;
}
} // namespace

int main()
{
    const std::string path = (std::filesystem::temp_directory_path() / "bench_tk_logger.log").string();
    tk_logger logger(path.c_str(), true, 3, false);
    const wchar_t* name = L"CUSTOMERS";
    std::printf("below level, narrow: %8.1f ns\n",
                ns_per_call(10'000'000, [](int i) { tk_logger::log(1, "mss_table::open(%d)", i); }));
    std::printf("below level, wide:   %8.1f ns\n",
                ns_per_call(10'000'000, [name](int i) { tk_logger::log(1, L"open(%s, %d)", name, i); }));
    std::printf("written, narrow:     %8.1f ns\n",
                ns_per_call(20'000, [](int i) { tk_logger::log(3, "Processing record %d", i); }));
    std::printf("written, wide:       %8.1f ns\n",
                ns_per_call(20'000, [name](int i) { tk_logger::log(3, L"Table '%s', record #%d", name, i); }));
    std::filesystem::remove(path);
    return 0;
}
