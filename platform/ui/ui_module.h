// The program's window framework module: one per process, initialised before
// any window is made and terminated after the last one is gone.
#pragma once
#include "platform/ui/ui_types.h"

class ui_module {
public:
    ui_module() = default;
    ~ui_module(); // terminates if still initialised
    ui_module(const ui_module&) = delete;
    ui_module& operator=(const ui_module&) = delete;

    // Starts the framework on the calling thread, which becomes the
    // user-interface thread. With no display it falls back to the offscreen
    // platform. Answers S_OK, or E_FAIL when the framework cannot start.
    HRESULT Init(HINSTANCE instance);
    void Term();
    bool initialized() const { return initialized_; }

private:
    bool initialized_ = false;
};

// True on the user-interface thread.
bool ui_is_ui_thread();
// True while a framework module is initialised.
bool ui_is_running();
// Processes pending window events on the user-interface thread for up to
// `ms` milliseconds, or until `done` answers true when given. Used to wait for a
// worker that may itself be waiting for the user-interface thread.
void ui_pump_events(int ms);
template <class Pred>
bool ui_pump_until(Pred done, int timeout_ms)
{
    for (int waited = 0; waited < timeout_ms; waited += 10) {
        if (done()) return true;
        ui_pump_events(10);
    }
    return done();
}

#include <exception>
#include <functional>
// Receives exceptions that a window's message handler let escape to the event
// loop (they are stopped there; without a handler they are logged).
void ui_set_uncaught_handler(std::function<void(std::exception_ptr)> handler);
