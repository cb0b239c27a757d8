#include "platform/eora/eora_io_error.h"

#include <sqlite3.h>
#include <sys/stat.h>

#include <utility>

namespace eora {

namespace {

const std::string k_file_number = std::to_string(k_data_file_number);
// Oracle names the block it failed on; SQLite does not tell the page.
const std::string k_unknown_block = "0";

// Oracle's message, then the file it concerns, then the operating system's part.
eora_error with_file(int number, const std::string& first, const std::string& file, int os_number)
{
    std::string text = first + "\n" + ora_message(1110, k_file_number, file);
    if (os_number) text += "\n" + ora_message(os_number);
    return eora_error(number, text);
}

// The size in bytes the header of the connection's file gives it; -1 when it has no header, 0 when the file
// is too short to hold one.
int64_t header_size(sqlite3* db)
{
    constexpr size_t k_header = 100, k_page_size_at = 16, k_page_count_at = 28;
    constexpr int64_t k_largest_page = 65536, k_largest_page_mark = 1;
    sqlite3_file* f = nullptr;
    if (sqlite3_file_control(db, "main", SQLITE_FCNTL_FILE_POINTER, &f) != SQLITE_OK || !f || !f->pMethods) return -1;
    std::string h(k_header, '\0');
    const int rc = f->pMethods->xRead(f, h.data(), static_cast<int>(h.size()), 0);
    if (rc == SQLITE_IOERR_SHORT_READ) return 0;
    if (rc != SQLITE_OK) return -1;
    if (h.compare(0, 16, std::string("SQLite format 3\0", 16)) != 0) return -1;
    auto byte = [&](size_t i) { return static_cast<int64_t>(static_cast<unsigned char>(h[i])); };
    int64_t page = byte(k_page_size_at) << 8 | byte(k_page_size_at + 1);
    if (page == k_largest_page_mark) page = k_largest_page;
    const int64_t pages = byte(k_page_count_at) << 24 | byte(k_page_count_at + 1) << 16 |
                          byte(k_page_count_at + 2) << 8 | byte(k_page_count_at + 3);
    return page * pages;
}

eora_error gone(const std::string& file) { return with_file(1116, ora_message(1116, k_file_number), file, 27041); }

eora_error cut_short(const std::string& file, int64_t size, int64_t expected)
{
    constexpr int64_t k_block = 8192; // Oracle's block, the unit of its message
    return with_file(1200, ora_message(1200, std::to_string(size / k_block), std::to_string(expected / k_block)), file,
                     0);
}

} // namespace

bool is_io_failure(int rc)
{
    const int base = rc & 0xFF;
    return base == SQLITE_IOERR || base == SQLITE_READONLY || base == SQLITE_CORRUPT || base == SQLITE_NOTADB ||
           base == SQLITE_CANTOPEN;
}

eora_error io_error(int rc, const std::string& file)
{
    switch (rc & 0xFF) {
    case SQLITE_READONLY:
        return with_file(372, ora_message(372, k_file_number), file, 0);
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
        return with_file(1578, ora_message(1578, k_file_number, k_unknown_block), file, 0);
    case SQLITE_CANTOPEN:
        return gone(file);
    default:
        break;
    }
    switch (rc) {
    case SQLITE_IOERR_READ:
    case SQLITE_IOERR_SHORT_READ:
        return with_file(1115, ora_message(1115, k_file_number, k_unknown_block), file, 27072);
    default:
        return with_file(1114, ora_message(1114, k_file_number, k_unknown_block), file, 27072);
    }
}

file_watch::file_watch(std::string file, sqlite3* db) : file_(std::move(file))
{
    struct stat st {};
    if (::stat(file_.c_str(), &st) != 0) throw gone(file_);
    dev_ = st.st_dev;
    ino_ = st.st_ino;
    size_ = static_cast<int64_t>(st.st_size);
    // A checkpointed file is as long as its header says; a WAL file's pages come on top of that.
    const int64_t expected = header_size(db);
    if (expected == 0) throw io_error(SQLITE_IOERR_SHORT_READ, file_);
    if (expected > size_) throw cut_short(file_, size_, expected);
}

void file_watch::check()
{
    struct stat st {};
    if (::stat(file_.c_str(), &st) != 0 || st.st_dev != dev_ || st.st_ino != ino_) throw gone(file_);
    const int64_t size = static_cast<int64_t>(st.st_size);
    // A service file only grows: pages freed stay in it.
    if (size < size_) throw cut_short(file_, size, size_);
    size_ = size;
}

} // namespace eora
