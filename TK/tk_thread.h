// A worker thread that runs one job (tk_thread_functor) at a time.
#pragma once
#include <memory>

#include "TK/tk_thread_functor.h"
#include "platform/win32/win_types.h"

class tk_thread {
public:
    explicit tk_thread(bool owns_functor);
    // Stops a running job (see terminate), else cleans up. Never throws.
    virtual ~tk_thread();
    tk_thread(const tk_thread&) = delete;
    tk_thread& operator=(const tk_thread&) = delete;

    // True while the thread runs; may wait up to 10 ms to tell.
    bool is_running() const;
    // Cleans up a finished job, creates a new one and starts it. The handle
    // is null when no thread could be made.
    HANDLE start();
    // Asks the job to stop and waits for it a bounded time; a job that does not
    // stop is left running on its own (it then outlives this object) and the
    // object becomes idle.
    void terminate();
    // Releases the ended thread and the job (deleted when owned).
    void cleanup();

    tk_thread_functor* get_functor() const { return functor; }

    // The procedure every worker runs: the job's call operator, guarded so an
    // escaping exception is logged and never ends the process.
    static DWORD thread_proc(LPVOID job);

    // How long terminate waits for a job to stop.
    static constexpr int k_stop_wait_ms = 2000;

protected:
    // Factory of the job; the default makes a plain job that this object owns.
    virtual tk_thread_functor* create_functor();
    // Hands a new job to this object to own; returns it.
    tk_thread_functor* adopt(std::unique_ptr<tk_thread_functor> job);

    bool owns_functor;
    tk_thread_functor* functor = nullptr;

private:
    struct state;
    std::shared_ptr<state> thread; // null when no thread was started or after clean-up
    std::unique_ptr<tk_thread_functor> owned_;
};
