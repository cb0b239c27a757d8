// Pairs of names (owner and table) that tells whether a pair is among them,
// each part compared by udb_same_name, without comparing with each pair.
#pragma once
#include <cstddef>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

class udb_name_pairs {
public:
    void add(const std::wstring& first, const std::wstring& second);
    void clear();
    size_t size() const { return pairs_.size(); }
    // udb_same_name on both parts for one of the pairs.
    bool contains(const std::wstring& first, const std::wstring& second) const;

private:
    void refresh() const;
    // Whether a pair filed under `hash` is the same as (first, second).
    bool filed(size_t hash, const std::wstring& first, const std::wstring& second) const;

    std::vector<std::pair<std::wstring, std::wstring>> pairs_;
    // Positions of pairs_[0, keyed_) by the hash of their joined keys, from the
    // collation of `generation_` (the first of the same pairs only).
    mutable std::unordered_multimap<size_t, size_t> keys_;
    mutable size_t keyed_ = 0;
    mutable unsigned generation_ = 0;
};
