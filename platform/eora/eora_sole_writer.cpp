#include "platform/eora/eora_sole_writer.h"

#include "platform/eora/eora_error.h"
#include "platform/eora/eora_private_folder.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <thread>
#include <vector>

namespace eora {

namespace {

constexpr off_t attached_byte = 0;
constexpr off_t waiting_byte = 1;
// How often a holder looks for waiting sessions, and how long a refused try
// to take the file waits before the next.
constexpr auto look_interval = std::chrono::milliseconds(2);
constexpr auto retry_interval = std::chrono::milliseconds(200);
constexpr auto attach_poll = std::chrono::milliseconds(1);

bool set_lock(int fd, short type, off_t byte)
{
    struct flock fl {};
    fl.l_type = type;
    fl.l_whence = SEEK_SET;
    fl.l_start = byte;
    fl.l_len = 1;
    return fcntl(fd, F_OFD_SETLK, &fl) == 0;
}

// Sessions of this process, so that one attaching can have an idle holder
// give the file back at once instead of at its next commit.
struct registry {
    std::mutex mu;
    std::vector<sole_writer*> all;
};

registry& sessions()
{
    static registry r;
    return r;
}

int exec(sqlite3* db, const char* sql) { return sqlite3_exec(db, sql, nullptr, nullptr, nullptr); }

} // namespace

sole_writer::sole_writer(const std::string& file, sqlite3* db, int timeout_ms) : db_(db), timeout_ms_(timeout_ms)
{
    fd_ = ::open((file + "-lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, k_private_file_mode);
    make_private(fd_);
    struct stat st {};
    if (fd_ < 0 || fstat(fd_, &st) != 0) {
        // No lock file (a read-only folder): the session never takes the file alone.
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
        return;
    }
    dev_ = st.st_dev;
    ino_ = st.st_ino;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms_);
    bool marked = false;
    while (!set_lock(fd_, F_RDLCK, attached_byte)) {
        if (!marked) marked = set_lock(fd_, F_RDLCK, waiting_byte);
        {
            std::lock_guard<std::mutex> g(sessions().mu);
            for (sole_writer* w : sessions().all)
                if (w->dev_ == dev_ && w->ino_ == ino_) w->request_step_back();
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            ::close(fd_);
            fd_ = -1;
            raise(54);
        }
        std::this_thread::sleep_for(attach_poll);
    }
    if (marked) set_lock(fd_, F_UNLCK, waiting_byte);
    std::lock_guard<std::mutex> g(sessions().mu);
    sessions().all.push_back(this);
}

sole_writer::~sole_writer()
{
    if (fd_ < 0) return;
    {
        std::lock_guard<std::mutex> g(sessions().mu);
        auto& all = sessions().all;
        all.erase(std::remove(all.begin(), all.end(), this), all.end());
    }
    step_back();
    ::close(fd_);
}

void sole_writer::request_step_back()
{
    std::lock_guard<std::mutex> g(mu_);
    if (!exclusive_.load()) return;
    step_back_asked_ = true;
    // The connection is serialized: holding its mutex, nothing of the owning
    // thread runs on it, and a transaction it left open shows.
    sqlite3_mutex* m = sqlite3_db_mutex(db_);
    sqlite3_mutex_enter(m);
    if (sqlite3_get_autocommit(db_)) leave_locked();
    sqlite3_mutex_leave(m);
}

void sole_writer::leave_locked()
{
    if (!exclusive_.load()) return;
    exec(db_, "PRAGMA locking_mode=NORMAL");
    // The lock goes with the next read that ends.
    exec(db_, "SELECT 1 FROM sqlite_master LIMIT 1");
    set_lock(fd_, F_RDLCK, attached_byte);
    exclusive_ = false;
}

void sole_writer::step_back()
{
    run_ = 0;
    if (!exclusive_.load()) return;
    std::lock_guard<std::mutex> g(mu_);
    leave_locked();
}

bool sole_writer::someone_waits()
{
    if (step_back_asked_.load()) return true;
    const auto now = std::chrono::steady_clock::now();
    if (now < next_look_) return false;
    next_look_ = now + look_interval;
    return waiter_marked();
}

bool sole_writer::waiter_marked() const
{
    struct flock fl {};
    fl.l_type = F_WRLCK;
    fl.l_whence = SEEK_SET;
    fl.l_start = waiting_byte;
    fl.l_len = 1;
    return fcntl(fd_, F_OFD_GETLK, &fl) == 0 && fl.l_type != F_UNLCK;
}

void sole_writer::after_commit()
{
    if (fd_ < 0) return;
    if (exclusive_.load()) {
        if (someone_waits()) {
            std::lock_guard<std::mutex> g(mu_);
            leave_locked();
            run_ = 0;
        }
        return;
    }
    if (++run_ < commits_before_taking) return;
    const auto now = std::chrono::steady_clock::now();
    if (now < next_try_) return;
    std::lock_guard<std::mutex> g(mu_);
    step_back_asked_ = false;
    // Only when no other session is attached anywhere, nor waiting to be.
    if (waiter_marked() || !set_lock(fd_, F_WRLCK, attached_byte)) {
        next_try_ = now + retry_interval;
        return;
    }
    // Taken now, not at the next write, so that a connection SQLite knows
    // of and the lock file does not (a tool's) is found without waiting.
    sqlite3_busy_timeout(db_, 0);
    exec(db_, "PRAGMA locking_mode=EXCLUSIVE");
    int rc = exec(db_, "BEGIN IMMEDIATE");
    if (rc == SQLITE_OK) rc = exec(db_, "COMMIT");
    sqlite3_busy_timeout(db_, timeout_ms_);
    if (rc != SQLITE_OK) {
        if (!sqlite3_get_autocommit(db_)) exec(db_, "ROLLBACK");
        exclusive_ = true;
        leave_locked();
        next_try_ = now + retry_interval;
        return;
    }
    exclusive_ = true;
}

} // namespace eora
