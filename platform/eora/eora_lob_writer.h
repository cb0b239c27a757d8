// A LOB value written in pieces, whose length is known only when the last
// piece arrives. A small value is kept in memory and stored by one UPDATE; a
// large one waits in an unnamed file beside the service, and is then stored in
// place: its room reserved without building the value in memory, its bytes
// written through SQLite's incremental blob I/O. So a value is never held
// whole, neither here nor in the rebuilt row.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/eora/eora_types.h"

namespace eora {

class session;

// An unnamed file that holds bytes for a while; gone when closed.
class spool_file {
public:
    // Creates it in `dir`; valid() tells whether that worked.
    explicit spool_file(const std::string& dir);
    ~spool_file();
    spool_file(const spool_file&) = delete;
    spool_file& operator=(const spool_file&) = delete;

    // Appends; false when the disk is full or the write failed.
    bool append(const void* data, size_t n);
    // Reads up to n bytes at `offset`; the count read.
    size_t read(uint64_t offset, void* data, size_t n) const;
    uint64_t size() const { return size_; }
    bool valid() const { return fd_ >= 0; }

private:
    int fd_ = -1;
    uint64_t size_ = 0;
};

class lob_writer {
public:
    // Values up to this many bytes are stored from memory, as any other value.
    static constexpr size_t inline_max = size_t{8} << 20;

    // `is_text`: the bytes are UTF-8 of a character LOB.
    lob_writer(session& s, lob_target target, bool is_text);
    ~lob_writer();
    lob_writer(const lob_writer&) = delete;
    lob_writer& operator=(const lob_writer&) = delete;

    // Raises ORA-01691 when the value's room cannot be had.
    void append(std::string_view bytes);
    // Stores the value written so far in its column; raises as the store fails.
    void finish();
    uint64_t size() const { return size_; }

private:
    session& s_;
    lob_target target_;
    bool is_text_;
    std::string memory_;
    std::unique_ptr<spool_file> spool_;
    uint64_t size_ = 0;
};

} // namespace eora
