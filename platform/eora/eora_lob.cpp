// LOB values of the embedded Oracle: written whole or in pieces through a
// locator, and read back where the row stores them.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <vector>

#include "platform/eora/eora_lob_writer.h"
#include "platform/eora/eora_private_folder.h"
#include "platform/eora/eora_session_impl.h"

namespace eora {

namespace {

// Bytes copied between a spool file and a stored value at a time.
constexpr size_t copy_piece = size_t{1} << 20;

std::string folder_of(sqlite3* db)
{
    const char* file = sqlite3_db_filename(db, "main");
    const std::string path = file ? file : "";
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// The disk holds no more of the column's LOB segment: ORA-01691 with Oracle's
// system name of that segment.
[[noreturn]] void lob_segment_full(session::impl& p, const lob_target& t)
{
    std::string owner, segment = "SYS_LOB";
    if (auto meta = p.table_by_sqlite(t.table)) {
        char id[32];
        std::snprintf(id, sizeof id, "%010lldC%05d$$", static_cast<long long>(meta->object_id),
                      meta->find(t.column) + 1);
        owner = meta->owner;
        segment += id;
    }
    p.segment_full(1691, owner, segment);
}

[[noreturn]] void store_failed(session::impl& p, const lob_target& t, int rc)
{
    if ((rc & 0xFF) == SQLITE_FULL) lob_segment_full(p, t);
    p.sqlite_fail(rc);
}

// One stored value opened for incremental I/O.
class stored_blob {
public:
    stored_blob(session::impl& p, const lob_target& t, const std::string& column, bool write) : p_(p), t_(t)
    {
        const int rc =
            sqlite3_blob_open(p.db, "main", t.table.c_str(), stored_name(column).c_str(), t.row, write ? 1 : 0, &b_);
        if (rc != SQLITE_OK) fail(rc);
    }
    ~stored_blob()
    {
        if (b_) sqlite3_blob_close(b_);
    }
    stored_blob(const stored_blob&) = delete;
    stored_blob& operator=(const stored_blob&) = delete;

    uint64_t size() const { return static_cast<uint64_t>(sqlite3_blob_bytes(b_)); }
    void read(void* data, size_t n, uint64_t offset)
    {
        const int rc = sqlite3_blob_read(b_, data, static_cast<int>(n), static_cast<int>(offset));
        if (rc != SQLITE_OK) fail(rc);
    }
    void write(const void* data, size_t n, uint64_t offset)
    {
        const int rc = sqlite3_blob_write(b_, data, static_cast<int>(n), static_cast<int>(offset));
        if (rc != SQLITE_OK) fail(rc);
    }

private:
    [[noreturn]] void fail(int rc)
    {
        if (b_) sqlite3_blob_close(b_);
        b_ = nullptr;
        store_failed(p_, t_, rc);
    }

    session::impl& p_;
    const lob_target& t_;
    sqlite3_blob* b_ = nullptr;
};

// A blob-typed LOB value of another column of the row, larger than a value
// kept in memory: it is moved aside while the row is rebuilt, so that the
// rebuild does not read it.
struct set_aside {
    std::string column;
    std::unique_ptr<spool_file> bytes;
};

std::vector<set_aside> large_neighbours(session::impl& p, const lob_target& t, const std::string& folder)
{
    std::vector<set_aside> out;
    auto meta = p.table_by_sqlite(t.table);
    if (!meta) return out;
    for (const column_meta& c : meta->cols) {
        if (!c.type.is_lob() || c.name == t.column) continue;
        // typeof() and length() of a blob do not read its bytes.
        const std::string q = q_name(c.name);
        stmt_ptr st = p.prepare_once("SELECT CASE WHEN typeof(" + q + ")='blob' THEN length(" + q + ") END FROM " +
                                     q_ident(t.table) + " WHERE rowid=?1");
        sqlite3_bind_int64(st.get(), 1, t.row);
        const int rc = sqlite3_step(st.get());
        if (rc != SQLITE_ROW) {
            if (rc == SQLITE_DONE) continue;
            p.sqlite_fail(rc);
        }
        if (sqlite3_column_type(st.get(), 0) == SQLITE_NULL) continue;
        if (static_cast<uint64_t>(sqlite3_column_int64(st.get(), 0)) <= lob_writer::inline_max) continue;
        set_aside a{c.name, std::make_unique<spool_file>(folder)};
        if (!a.bytes->valid()) lob_segment_full(p, t);
        stored_blob from(p, t, c.name, false);
        std::vector<char> buf(copy_piece);
        for (uint64_t at = 0; at < from.size();) {
            const size_t n = static_cast<size_t>(std::min<uint64_t>(buf.size(), from.size() - at));
            from.read(buf.data(), n, at);
            if (!a.bytes->append(buf.data(), n)) lob_segment_full(p, t);
            at += n;
        }
        out.push_back(std::move(a));
    }
    return out;
}

void copy_into(session::impl& p, const lob_target& t, const std::string& column, const spool_file& from)
{
    stored_blob to(p, t, column, true);
    std::vector<char> buf(copy_piece);
    for (uint64_t at = 0; at < from.size();) {
        const size_t n = from.read(at, buf.data(), buf.size());
        if (n == 0) p.sqlite_fail(SQLITE_IOERR);
        to.write(buf.data(), n, at);
        at += n;
    }
}

} // namespace

spool_file::spool_file(const std::string& dir)
{
    fd_ = ::open(dir.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, k_private_file_mode);
    make_private(fd_);
    if (fd_ >= 0) return;
    // A file system without unnamed files: a named one, unlinked at once.
    std::string name = dir + "/.eora-lob-XXXXXX";
    fd_ = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd_ >= 0) ::unlink(name.c_str());
}

spool_file::~spool_file()
{
    if (fd_ >= 0) ::close(fd_);
}

bool spool_file::append(const void* data, size_t n)
{
    const char* p = static_cast<const char*>(data);
    while (n > 0) {
        const ssize_t w = ::pwrite(fd_, p, n, static_cast<off_t>(size_));
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) return false;
        p += w;
        n -= static_cast<size_t>(w);
        size_ += static_cast<uint64_t>(w);
    }
    return true;
}

size_t spool_file::read(uint64_t offset, void* data, size_t n) const
{
    for (;;) {
        const ssize_t r = ::pread(fd_, data, n, static_cast<off_t>(offset));
        if (r < 0 && errno == EINTR) continue;
        return r < 0 ? 0 : static_cast<size_t>(r);
    }
}

lob_writer::lob_writer(session& s, lob_target target, bool is_text)
    : s_(s), target_(std::move(target)), is_text_(is_text)
{}

lob_writer::~lob_writer() = default;

void lob_writer::append(std::string_view bytes)
{
    size_ += bytes.size();
    if (!spool_ && memory_.size() + bytes.size() <= inline_max) {
        memory_.append(bytes);
        return;
    }
    if (!spool_) {
        spool_ = std::make_unique<spool_file>(folder_of(s_.p_->db));
        if (!spool_->valid() || !spool_->append(memory_.data(), memory_.size())) lob_segment_full(*s_.p_, target_);
        std::string().swap(memory_);
    }
    if (!spool_->append(bytes.data(), bytes.size())) lob_segment_full(*s_.p_, target_);
}

void lob_writer::finish()
{
    if (!spool_) {
        s_.write_lob(target_, memory_, is_text_);
        return;
    }
    if (!target_.writable) raise(22920);
    session::impl& p = *s_.p_;
    p.begin_write();
    // The row is rebuilt with room for this value and for the large values
    // set aside, none of them built in memory: SQLite keeps a run of zero
    // bytes unbuilt when only empty columns follow it. A large character
    // value is stored with a blob's type; its bytes are its text, and a
    // character column reads them back as text.
    std::vector<set_aside> aside = large_neighbours(p, target_, folder_of(p.db));
    std::string sql = "UPDATE " + q_ident(target_.table) + " SET " + q_name(target_.column) + "=?1";
    for (size_t i = 0; i < aside.size(); ++i) sql += ", " + q_name(aside[i].column) + "=?" + std::to_string(i + 2);
    sql += " WHERE rowid=?" + std::to_string(aside.size() + 2);
    {
        stmt_ptr st = p.prepare_once(sql);
        sqlite3_bind_zeroblob64(st.get(), 1, spool_->size());
        for (size_t i = 0; i < aside.size(); ++i)
            sqlite3_bind_zeroblob64(st.get(), static_cast<int>(i + 2), aside[i].bytes->size());
        sqlite3_bind_int64(st.get(), static_cast<int>(aside.size() + 2), target_.row);
        const int rc = sqlite3_step(st.get());
        if (rc != SQLITE_DONE) store_failed(p, target_, rc);
        if (sqlite3_changes(p.db) == 0) return; // the row is gone
    }
    copy_into(p, target_, target_.column, *spool_);
    for (const set_aside& a : aside) copy_into(p, target_, a.column, *a.bytes);
    spool_.reset();
}

void session::write_lob(const lob_target& t, const std::string& data, bool is_text)
{
    if (!t.writable) raise(22920);
    p_->begin_write();
    std::string sql = "UPDATE " + q_ident(t.table) + " SET " + q_name(t.column) + "=?1 WHERE rowid=?2";
    sqlite3_stmt* st = p_->table_stmt(sql);
    // Bound in place: a LOB value may be large, and `data` outlives the step.
    if (is_text)
        sqlite3_bind_text64(st, 1, data.data(), data.size(), SQLITE_STATIC, SQLITE_UTF8);
    else
        sqlite3_bind_blob64(st, 1, data.data(), data.size(), SQLITE_STATIC);
    sqlite3_bind_int64(st, 2, t.row);
    int rc = sqlite3_step(st);
    sqlite3_reset(st);
    sqlite3_clear_bindings(st);
    if (rc != SQLITE_DONE) store_failed(*p_, t, rc);
}

std::string session::read_lob(const lob_target& t)
{
    stmt_ptr st = p_->prepare_once("SELECT " + q_name(t.column) + " FROM " + q_ident(t.table) + " WHERE rowid=?1");
    sqlite3_bind_int64(st.get(), 1, t.row);
    const int rc = sqlite3_step(st.get());
    if (rc == SQLITE_DONE) return {};
    if (rc != SQLITE_ROW) p_->sqlite_fail(rc);
    const char* data = static_cast<const char*>(sqlite3_column_blob(st.get(), 0));
    return std::string(data ? data : "", static_cast<size_t>(sqlite3_column_bytes(st.get(), 0)));
}

} // namespace eora
