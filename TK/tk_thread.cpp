#include "TK/tk_thread.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>

#include "TK/tk_exception.h"
#include "TK/tk_logger.h"

struct tk_thread::state {
    std::thread worker;
    std::mutex mutex;
    std::condition_variable ended_cv;
    bool ended = false;
    // A job left running by terminate: freed by its own thread when it ends.
    std::unique_ptr<tk_thread_functor> orphan;

    bool wait_ended(std::chrono::milliseconds timeout)
    {
        std::unique_lock lock(mutex);
        return ended_cv.wait_for(lock, timeout, [this] { return ended; });
    }
};

tk_thread::tk_thread(bool owns) : owns_functor(owns) {}

tk_thread::~tk_thread()
{
    try {
        if (is_running())
            terminate();
        else
            cleanup();
    } catch (const std::exception& e) {
        tk_logger::log(3, "Internal error:\n%s", e.what());
    }
}

bool tk_thread::is_running() const { return thread && !thread->wait_ended(std::chrono::milliseconds(10)); }

DWORD tk_thread::thread_proc(LPVOID job)
{
    if (!job) throw tk_mail_assertion("tk_threa", 149);
    try {
        (*static_cast<tk_thread_functor*>(job))();
    } catch (const std::exception& e) {
        tk_logger::log(3, "Worker thread ended by an exception:\n%s", e.what());
    } catch (...) {
        tk_logger::log(3, "Worker thread ended by an unknown exception");
    }
    return 1;
}

HANDLE tk_thread::start()
{
    if (is_running()) throw tk_mail_assertion("tk_threa", 92);
    cleanup();
    if (functor) throw tk_mail_assertion("tk_threa", 100);
    functor = create_functor();
    if (!functor) throw tk_mail_assertion("tk_threa", 105);
    // A lent job may have been stopped in an earlier run.
    functor->stop_requested_.store(false);
    auto st = std::make_shared<state>();
    try {
        st->worker = std::thread([st, job = functor] {
            thread_proc(job);
            std::unique_ptr<tk_thread_functor> orphan;
            std::lock_guard lock(st->mutex);
            orphan = std::move(st->orphan);
            st->ended = true;
            st->ended_cv.notify_all();
        });
    } catch (const std::system_error& e) {
        tk_logger::log(3, "Cannot start a worker thread: %s", e.what());
        return nullptr;
    }
    thread = st;
    return thread.get();
}

void tk_thread::terminate()
{
    if (!is_running()) throw tk_mail_assertion("tk_threa", 55);
    functor->request_stop();
    if (thread->wait_ended(std::chrono::milliseconds(k_stop_wait_ms))) {
        cleanup();
        return;
    }
    {
        std::lock_guard lock(thread->mutex);
        if (!thread->ended) {
            if (owns_functor) thread->orphan = std::move(owned_);
            thread->worker.detach();
        }
    }
    if (thread->worker.joinable()) {
        // It ended just after the wait gave up.
        cleanup();
        return;
    }
    tk_logger::log(3, "Worker thread did not stop; it is left running");
    thread.reset();
    functor = nullptr;
}

void tk_thread::cleanup()
{
    if (is_running()) throw tk_mail_assertion("tk_threa", 71);
    if (thread) {
        if (thread->worker.joinable()) thread->worker.join();
        thread.reset();
    }
    if (owns_functor) owned_.reset();
    functor = nullptr;
}

tk_thread_functor* tk_thread::create_functor() { return adopt(std::make_unique<tk_thread_functor>()); }

tk_thread_functor* tk_thread::adopt(std::unique_ptr<tk_thread_functor> job)
{
    owned_ = std::move(job);
    owns_functor = true;
    return owned_.get();
}
