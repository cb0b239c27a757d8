// A job that runs on a worker thread (tk_thread).
#pragma once
#include <atomic>

class tk_thread_functor {
public:
    tk_thread_functor() = default;
    virtual ~tk_thread_functor() = default;
    tk_thread_functor(const tk_thread_functor&) = delete;
    tk_thread_functor& operator=(const tk_thread_functor&) = delete;

    // The work: by default step until done, then finish.
    virtual void operator()();
    // By default done only once a stop was asked for.
    virtual bool is_done();
    // By default sleeps 100 milliseconds.
    virtual void step();
    virtual void finish();

    // Threads cannot be killed safely: the owner asks the job to stop instead,
    // and a job that runs long polls this.
    void request_stop() { stop_requested_.store(true); }
    bool stop_requested() const { return stop_requested_.load(); }

private:
    friend class tk_thread; // clears the request when it starts the job again
    std::atomic<bool> stop_requested_{false};
};
