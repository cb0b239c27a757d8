#include "platform/eora/eora_query_cache.h"

#include <cstdint>
#include <initializer_list>

namespace eora {

namespace {

bool ends_condition(const token& t)
{
    for (std::string_view w : {"GROUP", "ORDER", "HAVING", "UNION", "INTERSECT", "MINUS", "EXCEPT", "FOR", "CONNECT",
                               "START", "SELECT", "FROM"})
        if (t.is_kw(w)) return true;
    return false;
}

void add_text(std::string& key, const std::string& text)
{
    const auto n = static_cast<uint32_t>(text.size());
    key.append(reinterpret_cast<const char*>(&n), sizeof n);
    key += text;
}

} // namespace

std::string query_key(const std::vector<token>& toks, std::vector<char>& lift)
{
    lift.assign(toks.size(), 0);
    std::string key;
    key.reserve(toks.size() * 8);
    int depth = 0;
    bool where = false; // in the outermost query's WHERE clause, outside parentheses
    for (size_t i = 0; i < toks.size(); ++i) {
        const token& t = toks[i];
        if (t.is_op("(")) ++depth;
        if (t.is_op(")")) --depth;
        if (depth == 0 && t.kind == tok::ident) {
            if (t.is_kw("WHERE"))
                where = true;
            else if (ends_condition(t))
                where = false;
        }
        // SQLite reads a statement's text up to a NUL, a bound value whole.
        const bool lifted = t.kind == tok::string && where && depth == 0 && i > 0 && toks[i - 1].is_op("=") &&
                            t.text.find('\0') == std::string::npos;
        key += static_cast<char>(static_cast<int>(t.kind) + (t.national ? 64 : 0));
        if (lifted)
            lift[i] = 1;
        else
            add_text(key, t.text);
    }
    return key;
}

std::shared_ptr<query_plan> query_cache::find(const std::string& key)
{
    auto it = index_.find(key);
    if (it == index_.end()) return nullptr;
    if (it->second != lru_.begin()) lru_.splice(lru_.begin(), lru_, it->second);
    return lru_.front().second;
}

void query_cache::put(const std::string& key, std::shared_ptr<query_plan> plan)
{
    if (bound_ == 0) return;
    auto it = index_.find(key);
    if (it != index_.end()) {
        it->second->second = std::move(plan);
        lru_.splice(lru_.begin(), lru_, it->second);
        return;
    }
    lru_.emplace_front(key, std::move(plan));
    index_.emplace(lru_.front().first, lru_.begin());
    while (lru_.size() > bound_) {
        index_.erase(lru_.back().first);
        lru_.pop_back();
    }
}

void query_cache::clear()
{
    index_.clear();
    lru_.clear();
}

} // namespace eora
