// Pairs of names (owner and table) that tells whether a pair is among them,
// each part compared by udb_same_name, without comparing with each pair.
#pragma once
#include <cstddef>
#include <string>
#include <unordered_set>
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

    std::vector<std::pair<std::wstring, std::wstring>> pairs_;
    // Keys of pairs_[0, keyed_), from the collation of `generation_`.
    mutable std::unordered_set<std::string> keys_;
    mutable size_t keyed_ = 0;
    mutable unsigned generation_ = 0;
};
