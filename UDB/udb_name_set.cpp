#include "UDB/udb_name_set.h"

#include <functional>

#include "UDB/udb_name_compare.h"
#include "platform/win32/win_compare.h"

namespace {

std::wstring up_to_nul(const std::wstring& name) { return name.substr(0, name.find(L'\0')); }

// Whether `index` files under `hash` a name that `same` accepts.
template <class Same>
bool filed(const std::unordered_multimap<size_t, size_t>& index, size_t hash, Same same)
{
    const auto [from, to] = index.equal_range(hash);
    for (auto it = from; it != to; ++it)
        if (same(it->second)) return true;
    return false;
}

} // namespace

void udb_name_set::clear()
{
    names_.clear();
    keys_.clear();
    heads_.clear();
    keyed_ = 0;
}

void udb_name_set::erase(const std::wstring& name)
{
    const size_t before = names_.size();
    std::erase(names_, name);
    if (names_.size() == before) return;
    // Positions moved: the index is made again when next asked.
    keys_.clear();
    heads_.clear();
    keyed_ = 0;
}

void udb_name_set::refresh() const
{
    // Keys from another collation compare nothing: they are made again.
    const unsigned generation = collation_generation();
    if (generation != generation_) {
        keys_.clear();
        heads_.clear();
        keyed_ = 0;
        generation_ = generation;
    }
    const std::hash<std::string> hash;
    for (; keyed_ < names_.size(); ++keyed_) {
        const std::wstring& name = names_[keyed_];
        // A name without a key equals no name, as a comparison that fails does.
        // Filed unless the same name without a NUL is: that one also answers for its part before a NUL.
        if (auto key = udb_name_key(name)) {
            const size_t h = hash(*key);
            const auto same = [&](size_t p) {
                return names_[p].find(L'\0') == std::wstring::npos && udb_same_name(names_[p], name);
            };
            if (!filed(keys_, h, same)) keys_.emplace(h, keyed_);
        }
        if (name.find(L'\0') == std::wstring::npos) continue;
        const std::wstring head = up_to_nul(name);
        if (auto key = udb_name_key(head)) {
            const size_t h = hash(*key);
            if (!filed(heads_, h, [&](size_t p) { return udb_same_name(up_to_nul(names_[p]), head); }))
                heads_.emplace(h, keyed_);
        }
    }
}

bool udb_name_set::contains(const std::wstring& name) const
{
    if (names_.empty()) return false;
    refresh();
    const auto key = udb_name_key(name);
    return key &&
           filed(keys_, std::hash<std::string>()(*key), [&](size_t p) { return udb_same_name(names_[p], name); });
}

bool udb_name_set::contains_up_to_nul(const std::wstring& name) const
{
    if (names_.empty()) return false;
    refresh();
    // A name without a NUL is its own part before the NUL: it is filed among the whole names.
    const std::wstring head = up_to_nul(name);
    const auto key = udb_name_key(head);
    if (!key) return false;
    const size_t h = std::hash<std::string>()(*key);
    const auto same = [&](size_t p) { return udb_same_name(up_to_nul(names_[p]), head); };
    return filed(keys_, h, same) || filed(heads_, h, same);
}
