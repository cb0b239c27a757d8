#include "UDB/udb_name_pairs.h"

#include <functional>
#include <optional>

#include "UDB/udb_name_compare.h"
#include "platform/win32/win_compare.h"

namespace {

// A key ends with its only zero byte, so two keys side by side are read back
// apart: equal joined keys are equal parts.
std::optional<std::string> pair_key(const std::wstring& first, const std::wstring& second)
{
    auto a = udb_name_key(first);
    auto b = udb_name_key(second);
    if (!a || !b) return std::nullopt;
    return *a + *b;
}

} // namespace

void udb_name_pairs::add(const std::wstring& first, const std::wstring& second) { pairs_.emplace_back(first, second); }

void udb_name_pairs::clear()
{
    pairs_.clear();
    keys_.clear();
    keyed_ = 0;
}

bool udb_name_pairs::filed(size_t hash, const std::wstring& first, const std::wstring& second) const
{
    const auto [from, to] = keys_.equal_range(hash);
    for (auto it = from; it != to; ++it) {
        const auto& p = pairs_[it->second];
        if (udb_same_name(p.first, first) && udb_same_name(p.second, second)) return true;
    }
    return false;
}

void udb_name_pairs::refresh() const
{
    const unsigned generation = collation_generation();
    if (generation != generation_) {
        keys_.clear();
        keyed_ = 0;
        generation_ = generation;
    }
    // A pair without a key equals no pair, as a comparison that fails does.
    for (; keyed_ < pairs_.size(); ++keyed_) {
        const auto& p = pairs_[keyed_];
        if (auto key = pair_key(p.first, p.second)) {
            const size_t h = std::hash<std::string>()(*key);
            if (!filed(h, p.first, p.second)) keys_.emplace(h, keyed_);
        }
    }
}

bool udb_name_pairs::contains(const std::wstring& first, const std::wstring& second) const
{
    if (pairs_.empty()) return false;
    refresh();
    const auto key = pair_key(first, second);
    return key && filed(std::hash<std::string>()(*key), first, second);
}
