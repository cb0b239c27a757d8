// The small modal "please wait" dialog shown while a worker connects: an icon
// cycles through its frames until the worker, which is this same object, closes it.
#pragma once
#include <atomic>
#include <string>
#include <utility>
#include <vector>

#include "TK/tk_thread_functor.h"
#include "platform/ui/ui.h"

template <int ID, int ICON_CTRL, int FIRST_ICON, int FRAMES>
class dlg_animation : public ui_dialog, public tk_thread_functor {
public:
    static constexpr UINT_PTR timer_id = 0x30000;
    static constexpr UINT frame_period = 500;
    static constexpr int text_ctrl = 1320;

    explicit dlg_animation(std::wstring text) : ui_dialog(ID), wait_text(std::move(text)) {}
    ~dlg_animation() override
    {
        for (HICON icon : icons)
            if (icon) DestroyIcon(icon);
    }

    // Written by the worker before it closes the dialog, read after the modal loop.
    bool is_connected() const { return connected.load(); }

    // Before each attempt, on the thread that will run the dialog.
    void reset()
    {
        connected.store(false);
        close_requested.store(false);
    }

    // Ends the modal loop from the worker's thread. A worker may finish before
    // the dialog is on screen: the dialog then closes as soon as it starts.
    void close()
    {
        close_requested.store(true);
        EndDialog(0);
    }

    bool ProcessWindowMessage(HWND, UINT msg, WPARAM wparam, LPARAM, LRESULT& result) override
    {
        switch (msg) {
        case WM_INITDIALOG:
            on_init();
            result = TRUE;
            return true;
        case WM_TIMER:
            if (wparam != timer_id) return false;
            if (close_requested.load())
                KillTimer(timer_id);
            else
                next_frame();
            result = 0;
            return true;
        case WM_COMMAND:
            // No buttons: only the worker ends the wait (Escape must not).
            result = 0;
            return true;
        default:
            return false;
        }
    }

    int current_frame() const { return frame.load(); }

protected:
    std::wstring wait_text;
    std::atomic<bool> connected{false};

private:
    void on_init()
    {
        if (close_requested.load()) {
            EndDialog(0);
            return;
        }
        if (!wait_text.empty()) SetDlgItemText(text_ctrl, wait_text);
        if (icons.empty())
            for (int k = 0; k < FRAMES; ++k) icons.push_back(LoadIconW(ui_instance(), FIRST_ICON + k));
        frame.store(0);
        show_frame();
        SetTimer(timer_id, frame_period);
        CenterWindow(GetParent());
        BringWindowToTop();
    }

    void next_frame()
    {
        int f = frame.load() + 1;
        if (f >= FRAMES) f = 0;
        frame.store(f);
        show_frame();
    }

    void show_frame()
    {
        const int f = frame.load();
        if (f >= 0 && f < static_cast<int>(icons.size()))
            SendDlgItemMessage(ICON_CTRL, STM_SETICON, reinterpret_cast<WPARAM>(icons[static_cast<size_t>(f)]));
    }

    std::atomic<bool> close_requested{false};
    std::atomic<int> frame{-1};
    std::vector<HICON> icons; // user-interface thread only
};
