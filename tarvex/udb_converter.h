// Settings every converter has: the table and query lists, the two content
// options and the progress record that a front end reads while the run writes it.
#pragma once
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "TK/tk_converter.h"
#include "UDB/udb_profile.h"

class udb_converter : public tk_converter {
public:
    using query_list = std::vector<std::pair<std::wstring, std::wstring>>; // (name, text)

    udb_converter();

    virtual bool test_query(const std::wstring& text) = 0;

    // The progress record; safe to read from another thread while a run writes it.
    std::wstring get_current_name() const;
    void set_current_name(const std::wstring& name);
    std::atomic<uint32_t> records_total{0};
    std::atomic<uint32_t> records_done{0};
    std::atomic<uint32_t> tables_total{0};
    std::atomic<uint32_t> tables_done{0};

    std::vector<std::wstring> selected_tables;
    query_list selected_queries;
    query_list selected_views;
    query_list available_queries;
    bool tab_def = false;
    bool skip_idx = false;

    bool store_profile(udb_profile& profile);
    bool load_profile(udb_profile& profile);

private:
    mutable std::mutex name_mutex_;
    std::wstring current_name_;
};
