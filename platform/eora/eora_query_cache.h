// Queries of a session kept translated and prepared, so that a query sent
// again, with other values in its conditions, skips parsing, translating
// and SQLite's prepare.
#pragma once
#include "platform/embedded/embedded_sqlite.h"
#include "platform/eora/eora_lexer.h"
#include "platform/eora/eora_session.h"

#include <cstddef>
#include <cstdint>
#include <list>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace eora {

struct table_meta;

// A literal of the query text written as a parameter of the SQLite text, so
// that one prepared query serves every value of it.
struct lifted_literal {
    int param = 0;         // ?N
    size_t tok = 0;        // the string token it stands for
    bool rowid = false;    // ROWID = 'text': bound as the row number in `object_id`
    int64_t object_id = 0; // of the one table in scope
};

// A prepared query that one cursor at a time runs.
struct plan_stmt {
    embedded::sqlite_stmt st;
    bool busy = false; // a cursor reads through it
};

// A query as translated and prepared once, and what its cursor needs.
struct query_plan {
    std::string sql; // the SQLite text
    std::shared_ptr<plan_stmt> stmt;
    bool for_update = false;
    bool writes = false;
    int lob_col = -1; // the hidden row column of FOR UPDATE, -1 if none
    std::string lob_table;
    std::vector<result_column> cols; // before the types of expressions are known
    std::vector<int> unknown;        // expressions typed by the first row
    std::vector<std::shared_ptr<table_meta>> tables;
    std::vector<lifted_literal> lifts;
};

// The key of a query's tokens, string literals that a condition compares
// with (`... WHERE a = 'x'`, `ROWID = 'x'`) left out and marked in `lift`:
// a query that differs only in those shares one plan. Every other literal,
// and every literal whose place may give its text a meaning of its own
// (a select list, a function's argument, a subquery), is part of the key.
std::string query_key(const std::vector<token>& toks, std::vector<char>& lift);

// The plans of the last queries run, the least recently used going first
// when there are more than `bound`.
class query_cache {
public:
    explicit query_cache(size_t bound) : bound_(bound) {}
    query_cache(const query_cache&) = delete;
    query_cache& operator=(const query_cache&) = delete;

    std::shared_ptr<query_plan> find(const std::string& key);
    void put(const std::string& key, std::shared_ptr<query_plan> plan);
    void clear();
    size_t size() const { return lru_.size(); }

private:
    using entry = std::pair<std::string, std::shared_ptr<query_plan>>;
    size_t bound_;
    std::list<entry> lru_; // most recent first
    std::unordered_map<std::string_view, std::list<entry>::iterator> index_;
};

} // namespace eora
