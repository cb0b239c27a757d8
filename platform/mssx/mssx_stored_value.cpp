// Long values of a table read as the client goes: left where the table stores
// them, and read in pieces through SQLite's incremental blob I/O, so that
// neither the row being stepped nor the client holds a copy of the whole value.
#include <algorithm>

#include "platform/mssx/mssx_connection_impl.h"

namespace {

// Types whose values may be of any length: (n)varchar(max), varbinary(max),
// text, ntext, image and xml.
bool is_long(const mssx_type& t)
{
    if (!t.is_string() && !t.is_binary()) return false;
    return t.length < 0 || t.name == "text" || t.name == "ntext" || t.name == "image" || t.name == "xml";
}

// A table's rows with their long text and binary values left in the table.
class table_rows final : public mssx_row_source {
public:
    table_rows(mssx_connection& c, std::string table, const std::vector<mssx_result_column>& cols)
        : table_(std::move(table))
    {
        std::string list;
        for (size_t i = 0; i < cols.size(); ++i) {
            const std::string q = mssx_sq_ident(cols[i].name);
            if (!list.empty()) list += ", ";
            if (!is_long(cols[i].type)) {
                list += q;
                continue;
            }
            // typeof() does not read the value; only a value that is neither
            // text nor bytes is read with the row.
            list += "CASE WHEN typeof(" + q + ") IN ('text','blob') THEN NULL ELSE " + q + " END";
            long_.push_back({i, cols[i].name, cols[i].type.is_string()});
        }
        list += ", _rowid_";
        for (const auto& l : long_) list += ", typeof(" + mssx_sq_ident(l.column) + ")";
        sql_ = "SELECT " + list + " FROM " + mssx_sq_ident(table_);
        try {
            st_ = c.state().db.prepare(sql_);
        } catch (const mssx_error& e) {
            mssx_rethrow_sqlite(e, sql_);
        }
        n_ = cols.size();
        left_.resize(n_);
    }

    bool next(std::vector<mssx_value>& row) override
    {
        std::fill(left_.begin(), left_.end(), false);
        if (done_) return false;
        try {
            if (!st_.step()) {
                done_ = true;
                st_ = mssx_stmt(); // ends the read: the connection's snapshot moves on
                return false;
            }
        } catch (const mssx_error& e) {
            done_ = true;
            st_ = mssx_stmt();
            mssx_rethrow_sqlite(e, sql_);
        }
        row.clear();
        row.reserve(n_);
        for (size_t i = 0; i < n_; ++i) row.push_back(st_.column(static_cast<int>(i)));
        rowid_ = st_.integer(static_cast<int>(n_));
        for (size_t k = 0; k < long_.size(); ++k) {
            const std::string kind = st_.text(static_cast<int>(n_ + 1 + k));
            if (kind != "text" && kind != "blob") continue;
            const size_t i = long_[k].index;
            left_[i] = true;
            // The row holds an empty value of the column's kind in its place.
            if (kind == "blob")
                row[i] = mssx_blob{};
            else
                row[i] = std::string();
        }
        return true;
    }

    std::optional<mssx_stored_ref> stored(size_t i) const override
    {
        if (i >= left_.size() || !left_[i]) return std::nullopt;
        for (const auto& l : long_)
            if (l.index == i) return mssx_stored_ref{table_, l.column, rowid_};
        return std::nullopt;
    }

private:
    struct long_column {
        size_t index;
        std::string column;
        bool text;
    };
    std::string table_;
    std::string sql_;
    mssx_stmt st_;
    size_t n_ = 0;
    std::vector<long_column> long_;
    std::vector<bool> left_; // of the current row: the value is left in the table
    int64_t rowid_ = 0;
    bool done_ = false;
};

} // namespace

void mssx_leave_long_values(mssx_connection& c, mssx_result& r, const std::string& table)
{
    if (!r.rest || std::none_of(r.columns.begin(), r.columns.end(), [](const auto& col) { return is_long(col.type); }))
        return;
    // Only a table's values can be read in place; a view's are computed.
    mssx_stmt kind = c.state().db.prepare("SELECT type FROM main.sqlite_schema WHERE name=?1");
    kind.bind(1, table);
    if (!kind.step() || kind.text(0) != "table") return;
    r.rest = std::make_shared<table_rows>(c, table, r.columns);
}

mssx_stored_reader::mssx_stored_reader(mssx_connection& c, const mssx_stored_ref& ref)
{
    const int rc =
        sqlite3_blob_open(c.state().db.get(), "main", ref.table.c_str(), ref.column.c_str(), ref.rowid, 0, &blob_);
    if (rc != SQLITE_OK) {
        const std::string why = sqlite3_errstr(rc);
        blob_ = nullptr;
        throw mssx_error(50000, "The value of column '" + ref.column + "' could not be read: " + why, 16);
    }
    size_ = static_cast<uint64_t>(sqlite3_blob_bytes(blob_));
}

mssx_stored_reader::~mssx_stored_reader()
{
    if (blob_) sqlite3_blob_close(blob_);
}

size_t mssx_stored_reader::read(uint64_t offset, void* data, size_t n)
{
    if (offset >= size_) return 0;
    n = static_cast<size_t>(std::min<uint64_t>(n, size_ - offset));
    const int rc = sqlite3_blob_read(blob_, data, static_cast<int>(n), static_cast<int>(offset));
    if (rc != SQLITE_OK)
        throw mssx_error(50000, std::string("A stored value could not be read: ") + sqlite3_errstr(rc), 16);
    return n;
}
