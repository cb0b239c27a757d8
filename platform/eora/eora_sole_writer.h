// A session that is the only one attached to its service file keeps the file
// locked between commits (SQLite's exclusive locking mode), so that a commit
// pays no file locks. A session attaching later, in this process or another,
// asks for the file back and gets it once the holder's open transaction ends.
//
// Who is attached is told by open-file-description locks on "<service>-lock":
// every session holds byte 0 shared, the sole writer holds it exclusively; a
// session waiting to attach holds byte 1 shared, which the holder looks for
// after its commits.
#pragma once
#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>

struct sqlite3;

namespace eora {

class sole_writer {
public:
    // Attaches a session of `db` on `file`; waits up to `timeout_ms` for a
    // sole writer to give the file back, then raises ORA-00054.
    sole_writer(const std::string& file, sqlite3* db, int timeout_ms);
    ~sole_writer();
    sole_writer(const sole_writer&) = delete;
    sole_writer& operator=(const sole_writer&) = delete;

    // After a commit that changed rows, with no transaction left open: takes
    // the file alone after a run of such commits, or gives it back when
    // another session waits for it.
    void after_commit();
    // Gives the file back to shared use (a table's end, DDL, the session's end).
    void step_back();
    // The connection keeps the file locked between commits.
    bool holds_file() const { return exclusive_.load(); }

    // Commits in a row before the file is taken alone: a session that writes
    // a few statements never holds it.
    static constexpr int commits_before_taking = 16;

private:
    // Called from another session's thread: gives the file back now if no
    // transaction is open, else at the next commit.
    void request_step_back();
    void leave_locked();
    bool someone_waits();
    bool waiter_marked() const;

    int fd_ = -1;
    dev_t dev_ = 0;
    ino_t ino_ = 0;
    sqlite3* db_;
    int timeout_ms_;
    std::mutex mu_;                      // entering and leaving
    std::atomic<bool> exclusive_{false}; // the connection holds the file between commits
    std::atomic<bool> step_back_asked_{false};
    int run_ = 0; // commits since the file was last shared
    std::chrono::steady_clock::time_point next_try_{}, next_look_{};
};

} // namespace eora
