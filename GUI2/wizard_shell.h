// The wizard's property sheet and the process-wide way to reach it: caption,
// icon and bitmaps, the progress timer, the boxes, help, the log box of the page
// on screen and the error texts collected during a run.
#pragma once
#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "TK/tk_singleton.h"
#include "platform/ui/ui.h"

class wizard_shell : public tk_singleton<wizard_shell>, public ui_property_sheet {
public:
    static constexpr UINT_PTR k_timer_id = 0x10000;
    static constexpr size_t k_max_errors = 20;
    static constexpr int k_log_box_id = 1016;

    wizard_shell(const std::wstring& caption, int icon_id, int watermark_id, int header_id);
    ~wizard_shell() override;

    static bool is_initialized();

    // Every page activation calls it; the first call sets the caption and the
    // icon, centres the sheet and marks the shell initialised.
    void first_show();
    // The page last activated (null before the first activation).
    void set_current_page(HWND page) { current_page_.store(page); }
    HWND get_current_page() const { return current_page_.load(); }

    static void set_timer(UINT period_ms);
    static void kill_timer();
    // Appends the text (the caller supplies line ends) to the log box of the page on screen.
    static void write_log(const std::wstring& text);
    static void error(const std::wstring& text);
    static void error(const std::string& text); // ANSI text
    static void message(const std::wstring& text);
    // A Yes/No question; extra_flags are added to the box's flags (MB_DEFBUTTON2...).
    static bool question(const std::wstring& text, UINT extra_flags = 0);
    static void display_help();
    static void display_help(int topic);

    // The errors collected for the finish page: at most 20, in the order reported.
    static void add_error(const std::string& text);
    static std::vector<std::string> get_errors();
    static size_t error_count();
    static void clear_errors();

    const std::wstring& get_caption() const { return caption_; }

    // Timer 0x10000 goes on to the page on screen; F1 becomes the page's help.
    bool ProcessWindowMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult) override;

private:
    // "<caption> <kind>" once the shell is on screen, else "<kind>" alone.
    static std::wstring box_caption(const wchar_t* kind);
    static HWND box_owner();
    static std::wstring help_file();
    static void open_help(UINT command, DWORD_PTR topic);

    int icon_id_;
    std::wstring caption_;
    std::atomic<bool> timer_running_{false};
    std::atomic<HWND> current_page_{nullptr};
    std::atomic<bool> initialized_{false};
    std::atomic<HWND> sheet_window_{nullptr}; // for boxes shown from other threads
    HBITMAP watermark_ = nullptr;
    HBITMAP header_ = nullptr;
    HICON icon_ = nullptr;
    mutable std::mutex errors_mutex_;
    std::vector<std::string> errors_;
};
