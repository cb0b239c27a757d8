// A list of names that tells whether one of them is the same name as a given
// one (udb_same_name) without comparing with each: names are filed by the hash
// of their comparison key, and equal keys are exactly equal names.
#pragma once
#include <cstddef>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

class udb_name_set {
public:
    using const_iterator = std::vector<std::wstring>::const_iterator;

    void push_back(const std::wstring& name) { names_.push_back(name); }
    void clear();
    // Removes every copy of exactly this name.
    void erase(const std::wstring& name);
    size_t size() const { return names_.size(); }
    bool empty() const { return names_.empty(); }
    const_iterator begin() const { return names_.begin(); }
    const_iterator end() const { return names_.end(); }
    const std::wstring& operator[](size_t i) const { return names_[i]; }

    // udb_same_name(n, name) for one of the names n.
    bool contains(const std::wstring& name) const;
    // The same with each name and `name` read up to the first NUL, as a
    // comparison of C strings reads them.
    bool contains_up_to_nul(const std::wstring& name) const;

private:
    void refresh() const;

    std::vector<std::wstring> names_;
    // Positions of names_[0, keyed_) by the hash of their comparison key, from
    // the collation of `generation_` (the first of the same names only), and
    // of those holding a NUL by the hash of the key of the part before it.
    mutable std::unordered_multimap<size_t, size_t> keys_, heads_;
    mutable size_t keyed_ = 0;
    mutable unsigned generation_ = 0;
};
