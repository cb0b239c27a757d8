// Step 5 of the wizard: runs the conversion in a worker thread (the driver is
// the job) and turns the driver's counters into a bar and a status line.
#pragma once
#include <atomic>
#include <cstdint>
#include <string>

#include "GUI2/wizard_page.h"
#include "TK/tk_thread.h"
#include "tarvex/conversion_front_end.h"

class progress_page : public wizard_page<107, 3, 0x20>, public tk_thread {
public:
    static constexpr int ctl_log = 1016;
    static constexpr int ctl_status = 1323;
    static constexpr int ctl_bar = 1321;
    static constexpr int finish_page_id = 116;
    static constexpr UINT_PTR timer_id = 0x10000;
    static constexpr int status_chars = 255; // the status line's room

    progress_page();
    // Ends a run still in progress before the driver can go away.
    ~progress_page() override;

    bool page_init() override;
    bool on_cancel() override;
    void on_help() override;
    bool ProcessWindowMessage(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam, LRESULT& result) override;

    // One timer tick: the bar, the jump to the finish page, the status line.
    void update();

    // The bar's value: tables done and the current table's share, each in whole percent.
    static uint32_t percent(uint32_t tables_done, uint32_t tables_total, uint32_t records_done, uint32_t records_total);
    static std::wstring status_text(const std::wstring& table);

    // Asks the run to stop at its next table and waits for the worker to end.
    void stop_run();

    // The run's view of the wizard: progress lines into the page's log box, the
    // 200 ms timer, and a stop the page asks for.
    class front_end : public conversion_front_end {
    public:
        void progress(const std::wstring& text) override;
        void start_timer() override;
        bool convert_all_when_empty() const override { return false; }
        bool checks_missing_tables() const override { return false; }
        void table_missing(const std::wstring&) override {}
        void run_failed(const std::exception& e) override;

        std::atomic<bool> stop{false};
    };

protected:
    tk_thread_functor* create_functor() override;

private:
    front_end wizard_end;
};
