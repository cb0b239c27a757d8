// The list-file reader on arbitrary file contents: values come out trimmed,
// invalid UTF-8 is refused with the conversion exception and nothing else.
#include <unistd.h>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "TK/tk_exception.h"
#include "TK/tk_yaml_config.h"

namespace {
// The input file of every run, removed when the fuzzer exits.
struct input_file {
    std::string path = "/tmp/fuzz_tk_yaml_config." + std::to_string(::getpid());
    ~input_file() { ::unlink(path.c_str()); }
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const input_file input;
    const std::string& path = input.path;
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);
    std::map<std::wstring, std::vector<std::wstring>> out;
    try {
        if (!tk_yaml_config::load(path.c_str(), out, {L"x"})) std::abort();
    } catch (const tk_exception_ex& e) {
        if (e.code != 1113) std::abort();
        return 0;
    }
    // A NUL ends the converted text early, which may leave a blank at its end.
    const bool has_nul = std::memchr(data, 0, size) != nullptr;
    for (const auto& [key, values] : out) {
        for (const auto& v : values) {
            if (v == L"x" || (!v.empty() && (v.front() == L' ' || (!has_nul && v.back() == L' ')))) std::abort();
        }
    }
    return 0;
}
