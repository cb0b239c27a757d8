// The table names of a database, in the order they were found, that tell the
// position of a name without comparing it with each: names are indexed by
// themselves (exact match) or by their comparison key (udb_same_name) as they
// are first looked up.
#pragma once
#include <cstddef>
#include <initializer_list>
#include <string>
#include <unordered_map>
#include <vector>

class udb_table_list {
public:
    using const_iterator = std::vector<std::wstring>::const_iterator;

    udb_table_list() = default;
    udb_table_list(std::initializer_list<std::wstring> names) : names_(names) {}
    udb_table_list& operator=(std::initializer_list<std::wstring> names);

    void push_back(const std::wstring& name) { names_.push_back(name); }
    void clear();
    void erase(size_t pos);
    size_t size() const { return names_.size(); }
    bool empty() const { return names_.empty(); }
    const std::wstring& operator[](size_t i) const { return names_[i]; }
    const std::wstring& back() const { return names_.back(); }
    const_iterator begin() const { return names_.begin(); }
    const_iterator end() const { return names_.end(); }
    const std::vector<std::wstring>& names() const { return names_; }

    // Position of the first name equal to `name` (exactly, or as udb_same_name
    // compares), -1 when there is none.
    long find(const std::wstring& name, bool case_sensitive) const;

private:
    void forget_index();
    // Position of the entry filed under `hash` that `same` accepts; -1 when none.
    template <class Same>
    long first_of(const std::unordered_multimap<size_t, size_t>& index, size_t hash, Same same) const;

    std::vector<std::wstring> names_;
    // Positions of names_[0, exact_done_) by the hash of the name, only the
    // first of equal names: the names themselves are not copied.
    mutable std::unordered_multimap<size_t, size_t> exact_;
    mutable size_t exact_done_ = 0;
    // The same by the hash of the comparison key, from the collation of `generation_`.
    mutable std::unordered_multimap<size_t, size_t> keyed_;
    mutable size_t keyed_done_ = 0;
    mutable unsigned generation_ = 0;
};
