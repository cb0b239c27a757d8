// What the two connection pages share: the wait animation each runs while its
// worker connects, and the way a page waits for a previous attempt's worker.
#pragma once
#include "TK/tk_thread.h"
#include "common/dlg_animation.h"
#include "platform/com/com.h"

// COM for a worker's thread, released on every way out.
class com_scope {
public:
    com_scope() : owned_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
    ~com_scope()
    {
        if (owned_) CoUninitialize();
    }
    com_scope(const com_scope&) = delete;
    com_scope& operator=(const com_scope&) = delete;

private:
    bool owned_;
};

using connect_animation = dlg_animation<101, 1301, 502, 8>;

// Registers the wait dialog and its eight frames.
void register_wait_animation_resources();

// Waits until the thread's job has ended, keeping the window events flowing on
// the user-interface thread (the job may be waiting for a dialog or a sent message).
void wait_for_worker(const tk_thread& thread);

// Starts the page's worker and runs the animation modally until the worker
// closes it; answers whether the worker connected. A worker of an earlier
// attempt still finishing is waited for first.
bool run_connect_worker(tk_thread& thread, connect_animation& animation);
