// Failures of the service file's storage, answered with Oracle's I/O error
// numbers, and the watch that notices a file deleted, replaced or cut short
// under the sessions that use it.
#pragma once
#include "platform/eora/eora_error.h"

#include <sys/types.h>

struct sqlite3;

#include <cstdint>
#include <string>

namespace eora {

// The data file number the service file answers to in errors.
inline constexpr int k_data_file_number = 4;

// Whether a SQLite result code (extended) is a failure of the file or its disk.
bool is_io_failure(int sqlite_rc);
// The ORA error for such a failure of the file `file`: ORA-01115 (read),
// ORA-01114 (write), ORA-00372 (a read-only file), ORA-01578 (a damaged
// file), ORA-01116 (a file that cannot be opened), each followed by
// ORA-01110 naming the file as Oracle names a data file.
eora_error io_error(int sqlite_rc, const std::string& file);

// The service file as a session first saw it.
class file_watch {
public:
    // Reads the file's identity and size; ORA-01116 when it is not there,
    // ORA-01200 when it is shorter than its own header says. The header is
    // read through the connection's own handle of the file: closing another
    // one in this process would drop the connection's locks.
    file_watch(std::string file, sqlite3* db);
    // ORA-01116 when the file is gone or another file has its name,
    // ORA-01200 when it is shorter than it was.
    void check();
    const std::string& file() const { return file_; }

private:
    std::string file_;
    dev_t dev_ = 0;
    ino_t ino_ = 0;
    int64_t size_ = 0;
};

} // namespace eora
