// The provider's backend over the embedded SQL Server of a folder.
#include "platform/oledb/odbp_backend.h"

namespace {

// A long value left in its table; its connection stays alive while it is read.
class embedded_long_value final : public odbp_long_value {
public:
    embedded_long_value(std::shared_ptr<mssx_connection> c, mssx_stored_ref ref)
        : c_(std::move(c)), ref_(std::move(ref))
    {}
    uint64_t size() override { return reader().size(); }
    size_t read(uint64_t offset, void* data, size_t n) override { return reader().read(offset, data, n); }

private:
    mssx_stored_reader& reader()
    {
        if (!reader_) reader_ = std::make_unique<mssx_stored_reader>(*c_, ref_);
        return *reader_;
    }
    std::shared_ptr<mssx_connection> c_;
    mssx_stored_ref ref_;
    std::unique_ptr<mssx_stored_reader> reader_;
};

// Rows read as the client goes; the rows already there come first. The
// connection stays alive while the cursor is open.
class embedded_cursor final : public odbp_cursor {
public:
    embedded_cursor(std::shared_ptr<mssx_connection> c, mssx_result r) : c_(std::move(c)), r_(std::move(r)) {}
    const std::vector<mssx_result_column>& columns() const override { return r_.columns; }
    bool next(std::vector<mssx_value>& row) override
    {
        from_rest_ = false;
        if (pos_ < r_.rows.size()) {
            row = std::move(r_.rows[pos_++]);
            if (pos_ == r_.rows.size()) {
                r_.rows.clear();
                pos_ = 0;
            }
            return true;
        }
        if (!r_.rest) return false;
        if (r_.rest->next(row)) return from_rest_ = true;
        r_.rest.reset();
        return false;
    }
    std::shared_ptr<odbp_long_value> long_value(size_t i) override
    {
        if (!from_rest_) return nullptr;
        std::optional<mssx_stored_ref> ref = r_.rest->stored(i);
        if (!ref) return nullptr;
        return std::make_shared<embedded_long_value>(c_, std::move(*ref));
    }

private:
    std::shared_ptr<mssx_connection> c_;
    mssx_result r_;
    size_t pos_ = 0;
    bool from_rest_ = false; // the last row came from the rows still on the server
};

class embedded_backend final : public odbp_backend {
public:
    embedded_backend(const std::string& dir, const odbp_login& l)
    {
        mssx_login login;
        login.integrated = l.integrated;
        login.user = l.user;
        login.password = l.password;
        login.database = l.catalog;
        c_ = std::make_shared<mssx_connection>(dir, login);
    }

    odbp_batch execute(const std::string& batch) override
    {
        mssx_outcome out = c_->execute_streaming(batch);
        odbp_batch b;
        b.rows_affected = out.rows_affected;
        b.errors = std::move(out.errors);
        if (!out.results.empty()) b.result = cursor(std::move(out.results.front()));
        return b;
    }
    std::unique_ptr<odbp_cursor> open_table(const std::string& name) override
    {
        return cursor(c_->open_table(odbp_held_name(name), true));
    }
    std::unique_ptr<odbp_cursor> schema_rowset(odbp_schema which, const mssx_restrictions& r) override
    {
        switch (which) {
        case odbp_schema::tables:
            return cursor(c_->schema_tables(r));
        case odbp_schema::primary_keys:
            return cursor(c_->schema_primary_keys(r));
        case odbp_schema::foreign_keys:
            return cursor(c_->schema_foreign_keys(r));
        case odbp_schema::indexes:
            break;
        }
        return cursor(c_->schema_indexes(r));
    }
    void create_table(const std::string& name, const std::vector<mssx_new_column>& cols) override
    {
        c_->create_table(name, cols);
    }
    std::vector<mssx_result_column> table_columns(const std::string& name) override
    {
        return c_->open_table(odbp_held_name(name), true).columns;
    }
    std::vector<mssx_error> bulk_append(const std::string& table, const std::vector<mssx_result_column>&,
                                        const std::vector<std::vector<std::optional<mssx_value>>>& rows,
                                        bool keep_identity) override
    {
        std::vector<mssx_error> errors;
        std::string held = odbp_held_name(table);
        for (auto& row : rows) {
            try {
                c_->bulk_insert(held, row, keep_identity);
            } catch (const mssx_error& e) {
                errors.push_back(e);
            }
        }
        return errors;
    }

private:
    std::unique_ptr<odbp_cursor> cursor(mssx_result r) { return std::make_unique<embedded_cursor>(c_, std::move(r)); }
    std::shared_ptr<mssx_connection> c_;
};

} // namespace

std::shared_ptr<odbp_backend> odbp_open_embedded(const std::string& dir, const odbp_login& login)
{
    return std::make_shared<embedded_backend>(dir, login);
}

std::shared_ptr<odbp_backend> odbp_open_backend(const odbp_login& login)
{
    const std::string& ds = login.data_source;
    if (ds.size() > 5 && (ds.compare(0, 5, "file:") == 0 || ds.compare(0, 5, "FILE:") == 0))
        return odbp_open_embedded(ds.substr(5), login);
    return odbp_open_odbc(login);
}
