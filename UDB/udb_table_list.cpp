#include "UDB/udb_table_list.h"

#include "UDB/udb_name_compare.h"
#include "platform/win32/win_compare.h"

udb_table_list& udb_table_list::operator=(std::initializer_list<std::wstring> names)
{
    names_ = names;
    forget_index();
    return *this;
}

void udb_table_list::clear()
{
    names_.clear();
    forget_index();
}

void udb_table_list::erase(size_t pos)
{
    names_.erase(names_.begin() + static_cast<std::ptrdiff_t>(pos));
    // Later positions moved: the index is made again when next asked.
    forget_index();
}

void udb_table_list::forget_index()
{
    exact_.clear();
    exact_done_ = 0;
    keyed_.clear();
    keyed_done_ = 0;
}

template <class Same>
long udb_table_list::first_of(const std::unordered_multimap<size_t, size_t>& index, size_t hash, Same same) const
{
    // Only the first of equal names is filed: at most one of these is the same.
    const auto [from, to] = index.equal_range(hash);
    for (auto it = from; it != to; ++it)
        if (same(names_[it->second])) return static_cast<long>(it->second);
    return -1;
}

long udb_table_list::find(const std::wstring& name, bool case_sensitive) const
{
    if (case_sensitive) {
        const std::hash<std::wstring> hash;
        for (; exact_done_ < names_.size(); ++exact_done_) {
            const std::wstring& n = names_[exact_done_];
            const size_t h = hash(n);
            if (first_of(exact_, h, [&](const std::wstring& other) { return other == n; }) < 0)
                exact_.emplace(h, exact_done_);
        }
        return first_of(exact_, hash(name), [&](const std::wstring& other) { return other == name; });
    }
    // Keys from another collation compare nothing: they are made again.
    const unsigned generation = collation_generation();
    if (generation != generation_) {
        keyed_.clear();
        keyed_done_ = 0;
        generation_ = generation;
    }
    // Equal keys are exactly the same names, so equal names have equal key hashes.
    const std::hash<std::string> hash;
    for (; keyed_done_ < names_.size(); ++keyed_done_) {
        const std::wstring& n = names_[keyed_done_];
        // A name without a key equals no name, as a comparison that fails does.
        const auto key = udb_name_key(n);
        if (!key) continue;
        const size_t h = hash(*key);
        if (first_of(keyed_, h, [&](const std::wstring& other) { return udb_same_name(other, n); }) < 0)
            keyed_.emplace(h, keyed_done_);
    }
    const auto key = udb_name_key(name);
    if (!key) return -1;
    return first_of(keyed_, hash(*key), [&](const std::wstring& other) { return udb_same_name(other, name); });
}
