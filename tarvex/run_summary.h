// What one conversion run achieved: the tables and records that arrived and
// those that did not. The run writes it; a front end may read it from another
// thread at any time.
#pragma once
#include <atomic>
#include <cstdint>
#include <string>

class run_summary {
public:
    void reset();

    void table_converted() { tables_converted_.fetch_add(1); }
    void table_failed() { tables_failed_.fetch_add(1); }
    void record_copied() { records_copied_.fetch_add(1); }
    void records_refused(uint32_t n) { records_refused_.fetch_add(n); }

    uint32_t tables_converted() const { return tables_converted_.load(); }
    uint32_t tables_failed() const { return tables_failed_.load(); }
    uint32_t records_copied() const { return records_copied_.load(); }
    uint32_t records_refused() const { return records_refused_.load(); }

    // No table and no record was refused.
    bool everything_arrived() const { return tables_failed() == 0 && records_refused() == 0; }

    // One line for the console and the log, ended by a line end; `stopped` for a run that did not reach its end.
    std::wstring text(bool stopped) const;

private:
    std::atomic<uint32_t> tables_converted_{0};
    std::atomic<uint32_t> tables_failed_{0};
    std::atomic<uint32_t> records_copied_{0};
    std::atomic<uint32_t> records_refused_{0};
};
