#include "platform/eora/eora_inject.h"

#include "platform/eora/eora_lexer.h"

#include <mutex>
#include <vector>

namespace eora {

namespace {

struct injection {
    std::string pattern; // upper case
    int number;
};

std::mutex mu;
std::vector<injection>& pending()
{
    static std::vector<injection> v;
    return v;
}

} // namespace

void inject_error(const std::string& pattern, int ora_number)
{
    std::lock_guard<std::mutex> lock(mu);
    pending().push_back({upper(pattern), ora_number});
}

void clear_injections()
{
    std::lock_guard<std::mutex> lock(mu);
    pending().clear();
}

std::optional<int> take_injection(std::string_view text)
{
    std::lock_guard<std::mutex> lock(mu);
    auto& v = pending();
    if (v.empty()) return std::nullopt;
    std::string t = upper(text);
    for (auto it = v.begin(); it != v.end(); ++it) {
        if (t.find(it->pattern) != std::string::npos) {
            int n = it->number;
            v.erase(it);
            return n;
        }
    }
    return std::nullopt;
}

} // namespace eora
