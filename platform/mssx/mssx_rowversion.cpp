#include "platform/mssx/mssx_rowversion.h"
#include "platform/mssx/mssx_connection_impl.h"

namespace {

constexpr int kRowversionBytes = 8;

mssx_blob big_endian(int64_t v)
{
    mssx_blob b;
    b.bytes.resize(kRowversionBytes);
    auto u = static_cast<uint64_t>(v);
    for (int i = kRowversionBytes - 1; i >= 0; --i) {
        b.bytes[static_cast<size_t>(i)] = static_cast<char>(u & 0xFF);
        u >>= 8;
    }
    return b;
}

void fn_next_rowversion(sqlite3_context* ctx, int, sqlite3_value**)
{
    auto* c = static_cast<mssx_connection*>(sqlite3_user_data(ctx));
    try {
        mssx_blob b = mssx_next_rowversion(c->state().db);
        sqlite3_result_blob(ctx, b.bytes.data(), static_cast<int>(b.bytes.size()), SQLITE_TRANSIENT);
    } catch (const mssx_error& e) {
        sqlite3_result_error(ctx, e.what(), -1);
    }
}

} // namespace

bool mssx_is_rowversion(const mssx_type& t) { return t.name == "rowversion" || t.name == "timestamp"; }

mssx_blob mssx_next_rowversion(mssx_sqlite& db)
{
    auto st = db.prepare("UPDATE mssx_dbts SET value = value + 1 RETURNING value");
    if (!st.step()) throw mssx_error(50000, "The database holds no rowversion counter.");
    return big_endian(st.integer(0));
}

mssx_blob mssx_current_dbts(mssx_sqlite& db)
{
    auto st = db.prepare("SELECT value FROM mssx_dbts");
    return big_endian(st.step() ? st.integer(0) : kMssxFirstDbts);
}

void mssx_register_rowversion(mssx_connection& c)
{
    sqlite3_create_function(c.state().db.get(), "mssx_next_rowversion", 0, SQLITE_UTF8, &c, fn_next_rowversion, nullptr,
                            nullptr);
}
