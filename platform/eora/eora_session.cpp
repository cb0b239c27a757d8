#include "platform/eora/eora_session_impl.h"

#include "platform/embedded/embedded_clock.h"

#include "platform/eora/eora_datetime.h"
#include "platform/eora/eora_inject.h"
#include "platform/eora/eora_number.h"
#include "platform/eora/eora_privileges.h"
#include "platform/eora/eora_text.h"
#include "platform/eora/eora_timing.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace eora {

namespace {

std::atomic<int> lock_timeout_ms{3000};
std::atomic<bool> query_reuse{true};

const char* dictionary_sql = R"SQL(
CREATE TABLE _ora_settings(name TEXT PRIMARY KEY, value TEXT);
CREATE TABLE _ora_users(username TEXT PRIMARY KEY, password TEXT, external INTEGER NOT NULL DEFAULT 0,
  user_id INTEGER, created TEXT, default_tablespace TEXT DEFAULT 'USERS', quota TEXT);
CREATE TABLE _ora_objects(object_id INTEGER PRIMARY KEY AUTOINCREMENT, owner TEXT, object_name TEXT,
  object_type TEXT, namespace INTEGER, created TEXT, UNIQUE(owner, namespace, object_name));
CREATE TABLE _ora_tables(owner TEXT, table_name TEXT, object_id INTEGER, sqlite_name TEXT UNIQUE, kind TEXT,
  iot_type TEXT, temporary TEXT DEFAULT 'N', nested TEXT DEFAULT 'NO', view_text TEXT, PRIMARY KEY(owner, table_name));
CREATE TABLE _ora_columns(owner TEXT, table_name TEXT, column_name TEXT, column_id INTEGER, data_type TEXT,
  data_length INTEGER, data_precision INTEGER, data_scale INTEGER, nullable TEXT, data_default TEXT,
  kind INTEGER, length INTEGER, precision INTEGER, scale INTEGER, has_precision INTEGER,
  PRIMARY KEY(owner, table_name, column_name));
CREATE TABLE _ora_sequences(sequence_owner TEXT, sequence_name TEXT, min_value TEXT, max_value TEXT,
  increment_by TEXT, cycle_flag TEXT, order_flag TEXT, cache_size INTEGER, last_number TEXT,
  PRIMARY KEY(sequence_owner, sequence_name));
CREATE TABLE _ora_triggers(owner TEXT, trigger_name TEXT, table_owner TEXT, table_name TEXT, column_name TEXT,
  seq_owner TEXT, seq_name TEXT, understood INTEGER, when_null INTEGER, body TEXT, PRIMARY KEY(owner, trigger_name));
CREATE TABLE _ora_constraints(owner TEXT, constraint_name TEXT, constraint_type TEXT, table_name TEXT,
  r_owner TEXT, r_constraint_name TEXT, delete_rule TEXT, index_owner TEXT, index_name TEXT,
  search_condition TEXT, generated TEXT, PRIMARY KEY(owner, constraint_name));
CREATE TABLE _ora_cons_columns(owner TEXT, constraint_name TEXT, table_name TEXT, column_name TEXT, position INTEGER);
CREATE TABLE _ora_indexes(owner TEXT, index_name TEXT, table_owner TEXT, table_name TEXT, uniqueness TEXT,
  generated TEXT, sqlite_name TEXT, is_expr INTEGER, constraint_name TEXT, PRIMARY KEY(owner, index_name));
CREATE TABLE _ora_ind_columns(index_owner TEXT, index_name TEXT, table_owner TEXT, table_name TEXT,
  column_name TEXT, column_position INTEGER, expression TEXT);
CREATE TABLE _ora_comments(owner TEXT, table_name TEXT, column_name TEXT, comments TEXT,
  PRIMARY KEY(owner, table_name, column_name));
)SQL";

const char* b64 = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// Parses an integer text (sequence values) into a 128-bit integer.
__int128 to_i128(const std::string& s)
{
    auto d = parse_decimal(s);
    if (!d) return 0;
    __int128 v = 0;
    for (char c : d->digits) v = v * 10 + (c - '0');
    for (int i = 0; i < d->exp; ++i) v *= 10;
    for (int i = 0; i > d->exp; --i) v /= 10;
    return d->neg ? -v : v;
}

std::string from_i128(__int128 v)
{
    if (v == 0) return "0";
    bool neg = v < 0;
    unsigned __int128 u = neg ? static_cast<unsigned __int128>(-v) : static_cast<unsigned __int128>(v);
    std::string s;
    while (u) {
        s.insert(s.begin(), static_cast<char>('0' + static_cast<int>(u % 10)));
        u /= 10;
    }
    return neg ? "-" + s : s;
}

} // namespace

std::string partial_null_index(const std::string& index_sqlite_name) { return "_nulls." + index_sqlite_name; }

std::string encode_rowid(int64_t object_id, int64_t row)
{
    std::string r(18, 'A');
    uint64_t o = static_cast<uint64_t>(object_id);
    for (int i = 5; i >= 0; --i) {
        r[static_cast<size_t>(i)] = b64[o & 63];
        o >>= 6;
    }
    r[6] = 'A';
    r[7] = 'A';
    r[8] = 'B';
    uint64_t v = static_cast<uint64_t>(row);
    for (int i = 17; i >= 9; --i) {
        r[static_cast<size_t>(i)] = b64[v & 63];
        v >>= 6;
    }
    return r;
}

int64_t decode_rowid(const std::string& text, int64_t object_id)
{
    if (text.size() != 18 || text.compare(6, 3, "AAB") != 0) raise(1410);
    uint64_t o = 0, v = 0;
    for (size_t i = 0; i < 18; ++i) {
        const char* p = std::strchr(b64, text[i]);
        if (!p || !text[i]) raise(1410);
        uint64_t d = static_cast<uint64_t>(p - b64);
        if (i < 6)
            o = o * 64 + d;
        else if (i >= 9)
            v = v * 64 + d;
    }
    if (static_cast<int64_t>(o) != object_id) return -1;
    return static_cast<int64_t>(v);
}

void bind_text(sqlite3_stmt* st, int idx, const std::string& s)
{
    sqlite3_bind_text(st, idx, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
}

void bind_stored(sqlite3_stmt* st, int idx, const stored& v)
{
    switch (v.type) {
    case SQLITE_INTEGER:
        sqlite3_bind_int64(st, idx, v.i);
        break;
    case SQLITE_FLOAT:
        sqlite3_bind_double(st, idx, std::strtod(v.s.c_str(), nullptr));
        break;
    case SQLITE_TEXT:
        bind_text(st, idx, v.s);
        break;
    case SQLITE_BLOB:
        sqlite3_bind_blob(st, idx, v.s.data(), static_cast<int>(v.s.size()), SQLITE_TRANSIENT);
        break;
    default:
        sqlite3_bind_null(st, idx);
        break;
    }
}

void bind_value(sqlite3_stmt* st, int idx, const value& v)
{
    if (v.is_null() || (v.kind == value::vk::text && v.s.empty())) {
        sqlite3_bind_null(st, idx);
    } else if (v.kind == value::vk::bytes) {
        sqlite3_bind_blob(st, idx, v.s.data(), static_cast<int>(v.s.size()), SQLITE_TRANSIENT);
    } else if (v.kind == value::vk::number) {
        auto d = parse_decimal(v.s);
        if (d)
            bind_stored(st, idx, stored_number(*d));
        else
            bind_text(st, idx, v.s);
    } else {
        bind_text(st, idx, v.s);
    }
}

// ---------------------------------------------------------------- parser

std::string parser::name(int err)
{
    const token& t = peek();
    if (!t.is_name()) raise(err, t.kind == tok::end ? std::string() : t.text);
    next();
    return t.text;
}

name_ref parser::qualified(const std::string& user, int err)
{
    if (!peek().is_name()) raise(err);
    std::string a = next().text;
    if (peek().is_op(".") && peek(1).is_name()) {
        next();
        return {a, next().text};
    }
    return {user, a};
}

void parser::end()
{
    accept_op(";");
    if (peek().kind != tok::end) raise(933);
}

col_type parse_type(parser& p, const std::string& ncharset)
{
    // NVARCHAR2 holds 4000 bytes and NCHAR 2000, in characters of the national set's widest.
    constexpr int k_max_varchar_bytes = 4000, k_max_char_bytes = 2000, k_max_raw_bytes = 2000;
    const int national = national_char_bytes(ncharset);
    col_type t;
    if (!p.peek().is_name()) raise(902);
    std::string n = p.next().text;
    auto paren_int = [&](int& out) -> bool {
        if (!p.accept_op("(")) return false;
        if (p.peek().kind != tok::number) raise(p.peek().is_op("*") ? 902 : 910);
        out = std::atoi(p.next().text.c_str());
        return true;
    };
    auto close = [&] { p.expect_op(")", 907); };
    if (n == "VARCHAR2" || n == "VARCHAR" || n == "NVARCHAR2" || n == "RAW" || n == "UROWID") {
        t.k = n == "NVARCHAR2" ? kind::nvarchar2
              : n == "RAW"     ? kind::raw
              : n == "UROWID"  ? kind::urowid
                               : kind::varchar2;
        if (!paren_int(t.length)) {
            if (t.k == kind::urowid) {
                t.length = 4000;
                return t;
            }
            raise(906);
        }
        if (t.k == kind::varchar2 && (p.accept_kw("BYTE") || p.accept_kw("CHAR"))) {}
        close();
        int max = t.k == kind::nvarchar2 ? k_max_varchar_bytes / national
                  : t.k == kind::raw     ? k_max_raw_bytes
                                         : k_max_varchar_bytes;
        if (t.length <= 0) raise(910);
        if (t.length > max) raise(910);
    } else if (n == "CHAR" || n == "NCHAR") {
        t.k = n == "CHAR" ? kind::char_ : kind::nchar;
        t.length = 1;
        if (paren_int(t.length)) {
            if (t.k == kind::char_ && (p.accept_kw("BYTE") || p.accept_kw("CHAR"))) {}
            close();
        }
        if (t.length <= 0 || t.length > (t.k == kind::char_ ? k_max_char_bytes : k_max_char_bytes / national))
            raise(910);
    } else if (n == "NUMBER" || n == "NUMERIC" || n == "DECIMAL" || n == "DEC") {
        t.k = kind::number;
        if (p.accept_op("(")) {
            if (p.accept_op("*")) {
                t.precision = 38;
            } else {
                if (p.peek().kind != tok::number) raise(1727);
                t.precision = std::atoi(p.next().text.c_str());
            }
            t.has_precision = true;
            if (p.accept_op(",")) {
                bool neg = p.accept_op("-");
                if (p.peek().kind != tok::number) raise(1728);
                t.scale = std::atoi(p.next().text.c_str()) * (neg ? -1 : 1);
            }
            close();
            if (t.precision < 1 || t.precision > 38) raise(1727);
            if (t.scale < -84 || t.scale > 127) raise(1728);
        } else if (n != "NUMBER") {
            t.precision = 38;
            t.has_precision = true;
        }
    } else if (n == "INTEGER" || n == "INT" || n == "SMALLINT") {
        t.k = kind::number;
        t.precision = 38;
        t.has_precision = true;
    } else if (n == "FLOAT") {
        t.k = kind::float_;
        t.precision = 126;
        if (paren_int(t.precision)) close();
        if (t.precision < 1 || t.precision > 126) raise(1727);
    } else if (n == "REAL") {
        t.k = kind::float_;
        t.precision = 63;
    } else if (n == "DOUBLE") {
        p.expect_kw("PRECISION", 902);
        t.k = kind::float_;
        t.precision = 126;
    } else if (n == "BINARY_FLOAT") {
        t.k = kind::binary_float;
    } else if (n == "BINARY_DOUBLE") {
        t.k = kind::binary_double;
    } else if (n == "DATE") {
        t.k = kind::date;
    } else if (n == "TIMESTAMP") {
        t.k = kind::timestamp;
        t.scale = 6;
        if (paren_int(t.scale)) close();
        if (t.scale < 0 || t.scale > 9) raise(910);
        if (p.accept_kw("WITH")) {
            t.k = p.accept_kw("LOCAL") ? kind::timestamp_ltz : kind::timestamp_tz;
            p.expect_kw("TIME", 902);
            p.expect_kw("ZONE", 902);
        }
    } else if (n == "INTERVAL") {
        if (p.accept_kw("YEAR")) {
            t.k = kind::interval_ym;
            t.precision = 2;
            if (paren_int(t.precision)) close();
            p.expect_kw("TO", 902);
            p.expect_kw("MONTH", 902);
        } else if (p.accept_kw("DAY")) {
            t.k = kind::interval_ds;
            t.precision = 2;
            t.scale = 6;
            if (paren_int(t.precision)) close();
            p.expect_kw("TO", 902);
            p.expect_kw("SECOND", 902);
            if (paren_int(t.scale)) close();
        } else {
            raise(902);
        }
    } else if (n == "LONG") {
        t.k = p.accept_kw("RAW") ? kind::long_raw : kind::long_;
    } else if (n == "CLOB") {
        t.k = kind::clob;
    } else if (n == "NCLOB") {
        t.k = kind::nclob;
    } else if (n == "BLOB") {
        t.k = kind::blob;
    } else if (n == "BFILE") {
        t.k = kind::bfile;
    } else if (n == "ROWID") {
        t.k = kind::rowid;
    } else if (n == "XMLTYPE") {
        t.k = kind::xmltype;
    } else {
        raise(902);
    }
    return t;
}

// ---------------------------------------------------------------- values

namespace {

std::string hex_decode(const std::string& h)
{
    std::string s = h;
    if (s.size() % 2) s.insert(s.begin(), '0');
    std::string out;
    out.reserve(s.size() / 2);
    auto nib = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        raise(1465);
    };
    for (size_t i = 0; i < s.size(); i += 2) out += static_cast<char>(nib(s[i]) * 16 + nib(s[i + 1]));
    return out;
}

std::string hex_encode(const std::string& b)
{
    static const char* d = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : b) {
        out += d[c >> 4];
        out += d[c & 15];
    }
    return out;
}

} // namespace

stored stored_number(const decimal& d)
{
    stored out;
    if (auto i = d.to_int64()) {
        out.type = SQLITE_INTEGER;
        out.i = *i;
    } else if (d.digits.size() <= 15 && d.int_digits() < 300 && d.int_digits() > -300) {
        // Up to 15 digits a double gives the decimal back exactly, and
        // numbers then sort and compare as numbers in SQLite.
        out.type = SQLITE_FLOAT;
        out.s = d.text();
    } else {
        out.type = SQLITE_TEXT;
        out.s = d.text();
    }
    return out;
}

stored coerce(const value& v, const column_meta& c, const table_meta& t, bool for_update, const std::string& charset,
              const literal_form* form)
{
    stored out;
    const col_type& ty = c.type;
    auto null_check = [&] {
        if (!c.nullable) raise(for_update ? 1407 : 1400, t.qualified(c.name));
        return out;
    };
    if (v.is_null()) return null_check();
    if (v.long_bind && ty.k != kind::long_ && ty.k != kind::long_raw && !ty.is_lob()) raise(1461);
    switch (ty.k) {
    case kind::varchar2:
    case kind::nvarchar2:
    case kind::char_:
    case kind::nchar:
    case kind::long_:
    case kind::clob:
    case kind::nclob:
    case kind::rowid:
    case kind::urowid:
    case kind::interval_ym:
    case kind::interval_ds:
    case kind::xmltype: {
        std::string s = v.kind == value::vk::bytes ? hex_encode(v.s) : v.s;
        if (s.empty() && !ty.is_lob()) return null_check();
        if (ty.k == kind::varchar2 || ty.k == kind::char_ || ty.k == kind::urowid) {
            const size_t bytes = charset_bytes(s, charset);
            if (bytes > static_cast<size_t>(ty.length))
                raise(12899, t.qualified(c.name), std::to_string(bytes), std::to_string(ty.length));
            if (ty.k == kind::char_) s.append(static_cast<size_t>(ty.length) - bytes, ' ');
        } else if (ty.k == kind::nvarchar2 || ty.k == kind::nchar) {
            size_t n = utf16_length(s);
            if (n > static_cast<size_t>(ty.length))
                raise(12899, t.qualified(c.name), std::to_string(n), std::to_string(ty.length));
            if (ty.k == kind::nchar) s.append(static_cast<size_t>(ty.length) - n, ' ');
        }
        out.type = SQLITE_TEXT;
        out.s = std::move(s);
        return out;
    }
    case kind::number:
    case kind::float_:
    case kind::binary_float:
    case kind::binary_double: {
        if (v.kind == value::vk::datetime) raise(932, "NUMBER", "DATE");
        if (v.kind == value::vk::bytes) raise(932, "NUMBER", "BINARY");
        std::optional<decimal> d = form && form->number ? form->number : parse_decimal(v.s);
        if (!d) raise(1722);
        if (ty.k == kind::binary_float)
            *d = decimal_from_double(static_cast<float>(d->to_double()));
        else if (ty.k == kind::binary_double)
            *d = decimal_from_double(d->to_double());
        else
            fit_number(*d, ty.has_precision || ty.k == kind::float_ ? ty.precision : 0, ty.scale, ty.k == kind::float_);
        return stored_number(*d);
    }
    case kind::date:
    case kind::timestamp:
    case kind::timestamp_tz:
    case kind::timestamp_ltz: {
        datetime d;
        if (v.kind == value::vk::datetime && form && form->when) {
            d = *form->when;
        } else if (v.kind == value::vk::datetime) {
            auto p = parse_stored_datetime(v.s);
            if (!p) raise(1861);
            d = *p;
        } else if (v.kind == value::vk::text) {
            if (v.s.empty()) return null_check();
            static const date_picture date_nls(nls_date_format), timestamp_nls(nls_timestamp_format),
                timestamp_tz_nls(nls_timestamp_tz_format);
            d = parse_datetime(v.s, ty.k == kind::date           ? date_nls
                                    : ty.k == kind::timestamp_tz ? timestamp_tz_nls
                                                                 : timestamp_nls);
        } else {
            raise(932, ty.k == kind::date ? "DATE" : "TIMESTAMP", v.kind == value::vk::number ? "NUMBER" : "BINARY");
        }
        out.type = SQLITE_TEXT;
        // Only TIMESTAMP WITH TIME ZONE keeps the offset; the others hold the local time alone.
        d.has_zone = ty.k == kind::timestamp_tz;
        if (ty.k == kind::date) {
            d.nanos = 0;
            out.s = d.text(0);
        } else {
            // Kept with all nine places, whatever the column's scale: equal
            // values of any two TIMESTAMPs are equal texts and order as
            // their texts do. A value read shows the places of its column.
            d.round_fraction(ty.scale);
            out.s = d.text(k_stored_fraction_digits);
        }
        return out;
    }
    case kind::raw:
    case kind::long_raw:
    case kind::blob:
    case kind::bfile: {
        std::string b;
        if (v.kind == value::vk::bytes)
            b = v.s;
        else if (v.kind == value::vk::text)
            b = hex_decode(v.s);
        else
            raise(932, "BINARY", v.kind == value::vk::number ? "NUMBER" : "DATE");
        if (b.empty() && !ty.is_lob()) return null_check();
        if (ty.k == kind::raw && b.size() > static_cast<size_t>(ty.length))
            raise(12899, t.qualified(c.name), std::to_string(b.size()), std::to_string(ty.length));
        out.type = SQLITE_BLOB;
        out.s = std::move(b);
        return out;
    }
    }
    return out;
}

value read_value(sqlite3_stmt* st, int col, const col_type& t)
{
    int ty = sqlite3_column_type(st, col);
    if (ty == SQLITE_NULL) return value::null();
    if (ty == SQLITE_BLOB) {
        const void* p = sqlite3_column_blob(st, col);
        int n = sqlite3_column_bytes(st, col);
        std::string b(static_cast<const char*>(p ? p : ""), static_cast<size_t>(n));
        if (t.is_text()) return value::text(std::move(b));
        return value::bytes(std::move(b));
    }
    if (t.is_numeric()) {
        if (ty == SQLITE_INTEGER) return value::number(std::to_string(sqlite3_column_int64(st, col)));
        if (ty == SQLITE_FLOAT) return value::number(decimal_from_double(sqlite3_column_double(st, col)).text());
        const char* p = reinterpret_cast<const char*>(sqlite3_column_text(st, col));
        auto d = parse_decimal(p ? p : "");
        return d ? value::number(d->text()) : value::text(p ? p : "");
    }
    if (ty == SQLITE_INTEGER || ty == SQLITE_FLOAT) {
        std::string txt = ty == SQLITE_INTEGER ? std::to_string(sqlite3_column_int64(st, col))
                                               : decimal_from_double(sqlite3_column_double(st, col)).text();
        return t.is_text() ? value::text(txt) : value::number(txt);
    }
    const char* p = reinterpret_cast<const char*>(sqlite3_column_text(st, col));
    std::string s(p ? p : "", static_cast<size_t>(sqlite3_column_bytes(st, col)));
    if (t.k == kind::timestamp || t.k == kind::timestamp_tz || t.k == kind::timestamp_ltz) {
        if (auto d = parse_stored_datetime(s)) return value::date(d->text(t.scale));
    }
    if (t.is_datetime()) return value::date(std::move(s));
    if (t.is_binary()) return value::bytes(std::move(s));
    return value::text(std::move(s));
}

// ---------------------------------------------------------------- impl

session::impl::~impl()
{
    queries.clear();
    table_stmts.clear();
    stmts.clear();
    if (db) {
        if (in_txn) sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
        // What the log holds stays there rather than go into a file that is no longer the service.
        if (broken) sqlite3_db_config(db, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
        if (!broken) sync_to_disk();
        solo.reset();
        sqlite3_close_v2(db);
    }
}

std::atomic<long> session::disk_syncs_{0};

void session::impl::sync_to_disk()
{
    if (!db) return;
    const int64_t changes = sqlite3_total_changes64(db);
    if (changes == synced_changes) return;
    // In WAL mode a commit is in the log file; syncing that file makes it durable.
    sqlite3_file* wal = nullptr;
    if (sqlite3_file_control(db, "main", SQLITE_FCNTL_JOURNAL_POINTER, &wal) == SQLITE_OK && wal && wal->pMethods &&
        wal->pMethods->xSync(wal, SQLITE_SYNC_NORMAL) == SQLITE_OK) {
        if (!in_txn) synced_changes = changes; // changes of an open transaction are synced at a later call
        session::disk_syncs_.fetch_add(1);
    }
}

void session::impl::settle()
{
    watch_file();
    sync_to_disk();
    if (solo) solo->step_back();
}

void session::impl::sqlite_fail(int rc, const char*)
{
    int base = rc & 0xFF;
    std::string msg = sqlite3_errmsg(db);
    // SQLite may have rolled the whole transaction back on its own.
    if (in_txn && sqlite3_get_autocommit(db)) {
        in_txn = false;
        invalidate();
    }
    if (base == SQLITE_BUSY || base == SQLITE_LOCKED) raise(54);
    if (base == SQLITE_FULL) raise(1658, "USERS");
    if (is_io_failure(rc)) {
        // A file deleted or cut short under the session is named as such.
        watch_file();
        eora_error e = io_error(rc, watch ? watch->file() : std::string(sqlite3_db_filename(db, "main")));
        if (base == SQLITE_CORRUPT || base == SQLITE_NOTADB) broken = e;
        throw e;
    }
    if (msg.rfind("ORA-", 0) == 0) {
        int n = std::atoi(msg.c_str() + 4);
        throw eora_error(n, msg);
    }
    if (msg.rfind("no such table", 0) == 0) raise(942);
    if (msg.rfind("no such column: ", 0) == 0) {
        // Oracle quotes each part of the name it could not find.
        const std::string name = msg.substr(16);
        std::string quoted, part;
        for (size_t i = 0; i < name.size(); ++i) {
            if (name[i] == '~' && i + 1 < name.size()) {
                part += name.substr(i++, 2);
            } else if (name[i] == '.') {
                quoted += "\"" + oracle_name(part) + "\".";
                part.clear();
            } else {
                part += name[i];
            }
        }
        raise(904, quoted + "\"" + oracle_name(part) + "\"");
    }
    if (msg.rfind("no such function: ", 0) == 0) raise(904, upper(msg.substr(18)));
    if (msg.rfind("ambiguous column name", 0) == 0) raise(918);
    if (msg.find("syntax error") != std::string::npos) raise(933);
    if (msg.rfind("incomplete input", 0) == 0) raise(921);
    if (msg.find("wrong number of arguments") != std::string::npos) raise(938);
    if (msg.find("misuse of aggregate") != std::string::npos) raise(937);
    raise(600, msg);
}

const date_picture& session::impl::picture(const std::string& fmt)
{
    auto it = date_pictures.find(fmt);
    if (it != date_pictures.end()) return it->second;
    // A run uses a handful of pictures; one that writes each statement with another starts over.
    constexpr size_t k_max_pictures = 64;
    if (date_pictures.size() >= k_max_pictures) date_pictures.clear();
    return date_pictures.emplace(fmt, date_picture(fmt)).first->second;
}

sqlite3_stmt* session::impl::cached(const std::string& sql)
{
    auto& slot = stmts[sql];
    if (!slot.get()) {
        sqlite3_stmt* st = nullptr;
        int rc =
            sqlite3_prepare_v3(db, sql.c_str(), static_cast<int>(sql.size()), SQLITE_PREPARE_PERSISTENT, &st, nullptr);
        if (rc != SQLITE_OK) {
            stmts.erase(sql);
            sqlite_fail(rc);
        }
        slot = stmt_ptr(st);
    }
    slot.reset();
    return slot.get();
}

sqlite3_stmt* session::impl::table_stmt(const std::string& sql)
{
    constexpr size_t bound = 8;
    auto it = table_stmts.begin();
    while (it != table_stmts.end() && it->first != sql) ++it;
    if (it == table_stmts.end()) {
        sqlite3_stmt* st = nullptr;
        int rc =
            sqlite3_prepare_v3(db, sql.c_str(), static_cast<int>(sql.size()), SQLITE_PREPARE_PERSISTENT, &st, nullptr);
        if (rc != SQLITE_OK) sqlite_fail(rc);
        table_stmts.emplace_front(sql, stmt_ptr(st));
        if (table_stmts.size() > bound) table_stmts.pop_back();
    } else if (it != table_stmts.begin()) {
        table_stmts.splice(table_stmts.begin(), table_stmts, it);
    }
    sqlite3_stmt* st = table_stmts.front().second.get();
    sqlite3_reset(st);
    return st;
}

stmt_ptr session::impl::prepare_once(const std::string& sql)
{
    sqlite3_stmt* st = nullptr;
    int rc = sqlite3_prepare_v2(db, sql.c_str(), static_cast<int>(sql.size()), &st, nullptr);
    if (rc != SQLITE_OK) sqlite_fail(rc);
    return stmt_ptr(st);
}

void session::impl::exec(const std::string& sql)
{
    char* err = nullptr;
    int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &err);
    if (err) sqlite3_free(err);
    if (rc != SQLITE_OK) sqlite_fail(rc);
}

void session::impl::step_done(sqlite3_stmt* st)
{
    int rc = sqlite3_step(st);
    if (rc != SQLITE_DONE && rc != SQLITE_ROW) {
        sqlite3_reset(st);
        sqlite_fail(rc);
    }
    sqlite3_reset(st);
}

void session::impl::check_version()
{
    sqlite3_stmt* st = cached(version_stmt, "PRAGMA data_version");
    if (sqlite3_step(st) == SQLITE_ROW) {
        int64_t v = sqlite3_column_int64(st, 0);
        if (v != data_version) {
            data_version = v;
            invalidate();
        }
    }
    sqlite3_reset(st);
}

std::shared_ptr<table_meta> session::impl::table(const std::string& owner, const std::string& name)
{
    auto key = std::make_pair(owner, name);
    auto it = tables.find(key);
    if (it != tables.end()) return it->second;
    sqlite3_stmt* st = cached("SELECT object_id, sqlite_name, kind FROM _ora_tables WHERE owner=?1 AND table_name=?2");
    bind_text(st, 1, owner);
    bind_text(st, 2, name);
    if (sqlite3_step(st) != SQLITE_ROW) {
        sqlite3_reset(st);
        return nullptr;
    }
    auto t = std::make_shared<table_meta>();
    t->owner = owner;
    t->name = name;
    t->object_id = sqlite3_column_int64(st, 0);
    t->sqlite = reinterpret_cast<const char*>(sqlite3_column_text(st, 1));
    t->view = std::strcmp(reinterpret_cast<const char*>(sqlite3_column_text(st, 2)), "VIEW") == 0;
    sqlite3_reset(st);
    st = cached(
        "SELECT column_name, nullable, data_default, kind, length, precision, scale, has_precision "
        "FROM _ora_columns WHERE owner=?1 AND table_name=?2 ORDER BY column_id");
    bind_text(st, 1, owner);
    bind_text(st, 2, name);
    while (sqlite3_step(st) == SQLITE_ROW) {
        column_meta c;
        c.name = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
        c.nullable = sqlite3_column_text(st, 1)[0] == 'Y';
        c.has_default = sqlite3_column_type(st, 2) != SQLITE_NULL;
        if (c.has_default) c.default_text = reinterpret_cast<const char*>(sqlite3_column_text(st, 2));
        c.type.k = static_cast<kind>(sqlite3_column_int(st, 3));
        c.type.length = sqlite3_column_int(st, 4);
        c.type.precision = sqlite3_column_int(st, 5);
        c.type.scale = sqlite3_column_int(st, 6);
        c.type.has_precision = sqlite3_column_int(st, 7) != 0;
        t->cols.push_back(std::move(c));
    }
    sqlite3_reset(st);
    st = cached(
        "SELECT owner, trigger_name, column_name, seq_owner, seq_name, understood, when_null "
        "FROM _ora_triggers WHERE table_owner=?1 AND table_name=?2 ORDER BY owner, trigger_name");
    bind_text(st, 1, owner);
    bind_text(st, 2, name);
    while (sqlite3_step(st) == SQLITE_ROW) {
        trigger_meta tr;
        auto col = [&](int i) {
            auto* p = sqlite3_column_text(st, i);
            return std::string(p ? reinterpret_cast<const char*>(p) : "");
        };
        tr.owner = col(0);
        tr.name = col(1);
        tr.column = col(2);
        tr.seq_owner = col(3);
        tr.seq_name = col(4);
        tr.understood = sqlite3_column_int(st, 5) != 0;
        tr.when_null = sqlite3_column_int(st, 6) != 0;
        t->triggers.push_back(std::move(tr));
    }
    sqlite3_reset(st);
    st = cached(
        "SELECT owner, index_name, sqlite_name, uniqueness, is_expr, constraint_name FROM _ora_indexes "
        "WHERE table_owner=?1 AND table_name=?2 ORDER BY owner, index_name");
    bind_text(st, 1, owner);
    bind_text(st, 2, name);
    while (sqlite3_step(st) == SQLITE_ROW) {
        index_meta ix;
        auto col = [&](int i) {
            auto* p = sqlite3_column_text(st, i);
            return std::string(p ? reinterpret_cast<const char*>(p) : "");
        };
        ix.owner = col(0);
        ix.name = col(1);
        ix.sqlite_name = col(2);
        ix.unique = col(3) == "UNIQUE";
        ix.expr = sqlite3_column_int(st, 4) != 0;
        ix.constraint = col(5);
        t->indexes.push_back(std::move(ix));
    }
    sqlite3_reset(st);
    for (auto& ix : t->indexes) {
        st = cached(
            "SELECT column_name, expression FROM _ora_ind_columns WHERE index_owner=?1 AND index_name=?2 "
            "ORDER BY column_position");
        bind_text(st, 1, ix.owner);
        bind_text(st, 2, ix.name);
        while (sqlite3_step(st) == SQLITE_ROW) {
            auto* e = sqlite3_column_text(st, 1);
            ix.cols.push_back(reinterpret_cast<const char*>(e ? e : sqlite3_column_text(st, 0)));
        }
        sqlite3_reset(st);
    }
    tables[key] = t;
    return t;
}

std::shared_ptr<table_meta> session::impl::table_by_sqlite(const std::string& sqlite_name)
{
    sqlite3_stmt* st = cached("SELECT owner, table_name FROM _ora_tables WHERE sqlite_name=?1");
    bind_text(st, 1, sqlite_name);
    if (sqlite3_step(st) != SQLITE_ROW) {
        sqlite3_reset(st);
        return nullptr;
    }
    std::string o = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
    std::string n = reinterpret_cast<const char*>(sqlite3_column_text(st, 1));
    sqlite3_reset(st);
    return table(o, n);
}

bool session::impl::user_exists(const std::string& name)
{
    sqlite3_stmt* st = cached("SELECT 1 FROM _ora_users WHERE username=?1");
    bind_text(st, 1, name);
    bool r = sqlite3_step(st) == SQLITE_ROW;
    sqlite3_reset(st);
    return r;
}

bool session::impl::object_exists(const std::string& owner, const std::string& name, int ns)
{
    sqlite3_stmt* st = cached("SELECT 1 FROM _ora_objects WHERE owner=?1 AND object_name=?2 AND namespace=?3");
    bind_text(st, 1, owner);
    bind_text(st, 2, name);
    sqlite3_bind_int(st, 3, ns);
    bool r = sqlite3_step(st) == SQLITE_ROW;
    sqlite3_reset(st);
    return r;
}

int64_t session::impl::new_object(const std::string& owner, const std::string& name, const std::string& type, int ns)
{
    if (object_exists(owner, name, ns)) raise(955);
    sqlite3_stmt* st =
        cached("INSERT INTO _ora_objects(owner, object_name, object_type, namespace, created) VALUES(?1,?2,?3,?4,?5)");
    bind_text(st, 1, owner);
    bind_text(st, 2, name);
    bind_text(st, 3, type);
    sqlite3_bind_int(st, 4, ns);
    bind_text(st, 5, embedded::now_text());
    step_done(st);
    return sqlite3_last_insert_rowid(db);
}

std::string session::impl::next_sys_name()
{
    // SYS_C and a number the database counts on, as Oracle names constraints: unique in the whole database and
    // never reused, however many one statement makes. A service made before the counter starts past the names it has.
    int64_t n = 0;
    sqlite3_stmt* st = cached("SELECT value FROM _ora_settings WHERE name='constraint_number'");
    if (sqlite3_step(st) == SQLITE_ROW) n = sqlite3_column_int64(st, 0);
    sqlite3_reset(st);
    if (n <= 0) {
        st = cached(
            "SELECT COALESCE(MAX(CAST(substr(constraint_name, 6) AS INTEGER)), 0) + 1 FROM _ora_constraints "
            "WHERE constraint_name GLOB 'SYS_C[0-9]*'");
        if (sqlite3_step(st) == SQLITE_ROW) n = sqlite3_column_int64(st, 0);
        sqlite3_reset(st);
    }
    std::string name;
    for (;; ++n) {
        char buf[32];
        std::snprintf(buf, sizeof buf, "SYS_C%07lld", static_cast<long long>(n));
        name = buf;
        // A name a user gave somewhere is skipped, and so is an index's: a key's index takes its name.
        st = cached(
            "SELECT 1 FROM _ora_constraints WHERE constraint_name=?1 UNION ALL "
            "SELECT 1 FROM _ora_objects WHERE object_name=?1");
        bind_text(st, 1, name);
        const bool taken = sqlite3_step(st) == SQLITE_ROW;
        sqlite3_reset(st);
        if (!taken) break;
    }
    st = cached("INSERT OR REPLACE INTO _ora_settings VALUES('constraint_number', ?1)");
    sqlite3_bind_int64(st, 1, n + 1);
    step_done(st);
    return name;
}

timing& global_timing()
{
    static timing t;
    return t;
}

void session::impl::segment_full(int number, const std::string& owner, const std::string& segment)
{
    if (in_txn && sqlite3_get_autocommit(db)) {
        in_txn = false;
        invalidate();
    }
    raise(number, owner, segment, "128", "USERS");
}

void session::impl::watch_file()
{
    if (broken) throw *broken;
    if (!watch) return;
    try {
        watch->check();
    } catch (const eora_error& e) {
        broken = e;
        throw;
    }
}

void session::impl::begin_write()
{
    if (in_txn) return;
    watch_file();
    timed t_store(global_timing().store_ns);
    sqlite3_stmt* st = cached(begin_stmt, "BEGIN IMMEDIATE");
    int rc = sqlite3_step(st);
    // A statement left active would keep later autocommit work uncommitted.
    sqlite3_reset(st);
    if (rc != SQLITE_DONE) sqlite_fail(rc);
    in_txn = true;
}

void session::impl::commit()
{
    if (!in_txn) return;
    timed t_store(global_timing().store_ns);
    sqlite3_stmt* st = cached(commit_stmt, "COMMIT");
    int rc = sqlite3_step(st);
    sqlite3_reset(st);
    if (rc != SQLITE_DONE) sqlite_fail(rc);
    in_txn = false;
}

void session::impl::rollback()
{
    if (!in_txn) return;
    sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
    in_txn = false;
    invalidate();
}

std::string session::impl::nextval(const std::string& owner, const std::string& name)
{
    begin_write();
    sqlite3_stmt* st = cached(
        "SELECT min_value, max_value, increment_by, cycle_flag, last_number FROM _ora_sequences "
        "WHERE sequence_owner=?1 AND sequence_name=?2");
    bind_text(st, 1, owner);
    bind_text(st, 2, name);
    if (sqlite3_step(st) != SQLITE_ROW) {
        sqlite3_reset(st);
        raise(2289);
    }
    auto col = [&](int i) {
        auto* p = sqlite3_column_text(st, i);
        return std::string(p ? reinterpret_cast<const char*>(p) : "0");
    };
    __int128 mn = to_i128(col(0)), mx = to_i128(col(1)), inc = to_i128(col(2)), cur = to_i128(col(4));
    bool cycle = col(3) == "Y";
    sqlite3_reset(st);
    if ((inc > 0 && cur > mx) || (inc < 0 && cur < mn)) {
        if (!cycle) raise(8004, owner + "." + name);
        cur = inc > 0 ? mn : mx;
    }
    st = cached("UPDATE _ora_sequences SET last_number=?3 WHERE sequence_owner=?1 AND sequence_name=?2");
    bind_text(st, 1, owner);
    bind_text(st, 2, name);
    bind_text(st, 3, from_i128(cur + inc));
    step_done(st);
    return from_i128(cur);
}

// ---------------------------------------------------------------- session

session::session(const std::string& file, const std::string& user, const std::string& password)
    : p_(std::make_unique<impl>())
{
    p_->settings = &settings_;
    p_->reuse_queries = query_reuse.load();
    // Serialized: a session attaching from another thread may have this
    // connection give the file back (sole_writer).
    std::error_code ec;
    if (!std::filesystem::exists(file, ec)) raise(12514);
    int rc = sqlite3_open_v2(file.c_str(), &p_->db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_FULLMUTEX, nullptr);
    if (rc != SQLITE_OK) raise(12514);
    // Its header says how long the file must be.
    p_->watch = std::make_unique<file_watch>(file, p_->db);
    sqlite3_busy_timeout(p_->db, lock_timeout_ms.load());
    p_->solo = std::make_unique<sole_writer>(file, p_->db, lock_timeout_ms.load());
    sqlite3_extended_result_codes(p_->db, 1);
    // A double-quoted name is always a name, never a text literal.
    sqlite3_db_config(p_->db, SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
    sqlite3_db_config(p_->db, SQLITE_DBCONFIG_DQS_DDL, 0, nullptr);
    {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(p_->db, "SELECT name, value FROM _ora_settings", -1, &st, nullptr) != SQLITE_OK) {
            sqlite3_finalize(st);
            raise(12514);
        }
        stmt_ptr hold(st);
        while (sqlite3_step(st) == SQLITE_ROW) {
            std::string n = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
            auto* v = sqlite3_column_text(st, 1);
            std::string val = v ? reinterpret_cast<const char*>(v) : "";
            if (n == "banner")
                settings_.banner = val;
            else if (n == "max_identifier_length")
                settings_.max_ident = static_cast<size_t>(std::atoi(val.c_str()));
            else if (n == "max_page_count")
                settings_.max_pages = std::atoll(val.c_str());
            else if (n == "character_set")
                settings_.charset = val;
            else if (n == "national_character_set")
                settings_.ncharset = val;
        }
    }
    // A small page cache: a row load touches only the last pages of a table
    // and its keys, and memory then stays the same however many rows it has.
    p_->exec(
        "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL; PRAGMA foreign_keys=OFF; PRAGMA wal_autocheckpoint=20000; "
        "PRAGMA cache_size=-2048;");
    // A foreign key that cascades within its own table reaches every generation.
    p_->exec("PRAGMA recursive_triggers=ON");
    if (settings_.max_pages > 0) p_->exec("PRAGMA max_page_count=" + std::to_string(settings_.max_pages));
    std::string u = user;
    if (u.size() >= 2 && u.front() == '"' && u.back() == '"')
        u = u.substr(1, u.size() - 2);
    else
        u = upper(u);
    sqlite3_stmt* st = p_->cached("SELECT password, external FROM _ora_users WHERE username=?1");
    bind_text(st, 1, u);
    bool ok = false;
    if (sqlite3_step(st) == SQLITE_ROW) {
        auto* pw = sqlite3_column_text(st, 0);
        ok = sqlite3_column_int(st, 1) == 0 && pw && password == reinterpret_cast<const char*>(pw);
    }
    sqlite3_reset(st);
    if (!ok) raise(1017);
    user_ = u;
    p_->user = u;
    p_->ensure_privilege_tables();
    if (!p_->has(priv::create_session)) raise(1045, u);
    p_->register_functions();
    p_->ensure_dictionary_indexes();
    p_->create_views();
}

session::~session() = default;

void session::set_lock_timeout_ms(int ms) { lock_timeout_ms = ms; }

void session::set_query_reuse(bool on) { query_reuse = on; }

size_t session::prepared_statements() const
{
    size_t n = 0;
    for (sqlite3_stmt* st = sqlite3_next_stmt(p_->db, nullptr); st; st = sqlite3_next_stmt(p_->db, st)) ++n;
    return n;
}

void session::set_size_limit(const std::string& file, int64_t pages)
{
    embedded::sqlite_db db;
    try {
        db.open(file, SQLITE_OPEN_READWRITE);
    } catch (const embedded::sqlite_error&) {
        raise(12514);
    }
    sqlite3_busy_timeout(db.get(), lock_timeout_ms.load());
    try {
        db.exec("INSERT OR REPLACE INTO _ora_settings VALUES('max_page_count', '" + std::to_string(pages) + "')");
    } catch (const embedded::sqlite_error&) {
        raise(600, "size limit");
    }
}

void session::create_service(const std::string& file, const std::string& system_password, const std::string& charset,
                             const std::string& ncharset)
{
    if (!is_database_charset(charset)) raise(12715);
    if (!is_national_charset(ncharset)) raise(12714);
    std::error_code ec;
    if (std::filesystem::exists(file, ec)) raise(955);
    embedded::create_private_file(file);
    // The umask does not decide who reads the passwords in it.
    std::filesystem::permissions(file, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::replace, ec);
    embedded::sqlite_db db;
    try {
        db.open(file, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    } catch (const embedded::sqlite_error&) {
        raise(12541);
    }
    std::string sql = std::string("PRAGMA journal_mode=WAL; BEGIN;") + dictionary_sql +
                      "INSERT INTO _ora_settings VALUES('banner', 'Oracle Database 11g Enterprise Edition Release "
                      "11.2.0.4.0 - 64bit Production');"
                      "INSERT INTO _ora_settings VALUES('max_identifier_length', '30');"
                      "INSERT INTO _ora_settings VALUES('character_set', " +
                      q_text(charset) +
                      ");"
                      "INSERT INTO _ora_settings VALUES('national_character_set', " +
                      q_text(ncharset) +
                      ");"
                      "INSERT INTO _ora_users(username, password, user_id, created) VALUES('SYS', " +
                      q_text(system_password) +
                      ", 0, datetime('now'));"
                      "INSERT INTO _ora_users(username, password, user_id, created) VALUES('SYSTEM', " +
                      q_text(system_password) + ", 5, datetime('now'));" + privilege_tables_sql() +
                      privilege_names_sql() +
                      "INSERT INTO _ora_role_privs(grantee, granted_role, admin_option) VALUES('SYS', 'DBA', 'YES'), "
                      "('SYSTEM', 'DBA', 'YES');"
                      "COMMIT;";
    try {
        db.exec(sql);
    } catch (const embedded::sqlite_error& e) {
        raise(600, e.what());
    }
}

namespace {

// The longest text literal SQL takes, in bytes.
constexpr size_t max_literal_bytes = 4000;

} // namespace

std::unique_ptr<statement> session::prepare(std::string_view sql) const
{
    auto st = std::make_unique<statement>();
    st->sql = std::string(sql);
    st->toks = tokenize(sql, settings_.max_ident);
    if (st->toks.front().kind == tok::end) raise(900);
    // The client sends the text in the database character set, N'...' literals
    // too: only a bound national value keeps what that set lacks.
    if (!is_unicode_charset(settings_.charset))
        for (auto& t : st->toks)
            if (t.kind == tok::string) t.text = to_charset(t.text, settings_.charset);
    const token& first = st->toks.front();
    // SQL takes a text literal of 4000 bytes at most, in the database
    // character set; a PL/SQL block has a limit of its own.
    const bool plsql =
        first.is_kw("BEGIN") || first.is_kw("DECLARE") ||
        (first.is_kw("CREATE") && std::any_of(st->toks.begin(), st->toks.end(), [](const token& t) {
             return t.is_kw("TRIGGER") || t.is_kw("PROCEDURE") || t.is_kw("FUNCTION") || t.is_kw("PACKAGE");
         }));
    if (!plsql)
        for (const auto& t : st->toks)
            // A character takes at most half as many bytes again in any set as in UTF-8.
            if (t.kind == tok::string && t.text.size() * 3 / 2 > max_literal_bytes &&
                charset_bytes(t.text, settings_.charset) > max_literal_bytes)
                raise(1704);
    if (first.is_op("(")) {
        st->verb = "SELECT";
    } else {
        if (first.kind != tok::ident) raise(900);
        st->verb = first.text;
    }
    st->query = st->verb == "SELECT" || st->verb == "WITH" || first.is_op("(");
    // Placeholders of DML and queries; trigger bodies hold :new, which is not one.
    bool scan = st->query || st->verb == "INSERT" || st->verb == "UPDATE" || st->verb == "DELETE";
    if (scan) {
        for (const auto& t : st->toks) {
            if (t.kind != tok::bind) continue;
            bool seen = false;
            for (const auto& b : st->binds) seen |= b == t.text;
            if (!seen) st->binds.push_back(t.text);
        }
    }
    return st;
}

exec_result session::execute(const statement& st_in, const std::vector<value>& binds, bool parse_only,
                             bool commit_after)
{
    const statement* stp = &st_in;
    std::unique_ptr<statement> fresh;
    if (st_in.toks.empty()) {
        fresh = prepare(st_in.sql);
        stp = fresh.get();
    }
    const statement& st = *stp;
    if (auto n = take_injection(st.sql)) raise(*n);
    // A file deleted, replaced or cut short is named before anything reads it.
    p_->watch_file();
    const std::string& v = st.verb;
    // Another connection's DDL shows in the data version. Inserts of one
    // run skip the check (it costs a lock round trip); they see DDL of
    // their own session and re-read tables they do not know.
    if (v != "INSERT") p_->check_version();
    if (st.query) return run_query(*p_, st, binds, parse_only);
    if (v == "INSERT") {
        p_->commit_after = commit_after;
        return run_insert(*p_, st, binds, parse_only);
    }
    if (v == "UPDATE") return run_update(*p_, st, binds, parse_only);
    if (v == "DELETE") return run_delete(*p_, st, binds, parse_only);
    if (v == "COMMIT" || v == "ROLLBACK") {
        parser p(st.toks, 1);
        p.accept_kw("WORK");
        p.end();
        if (!parse_only) {
            if (v == "COMMIT")
                p_->commit();
            else
                p_->rollback();
        }
        return {};
    }
    // A table's DDL marks the end of the one before it: its rows go to disk first.
    if (!parse_only) p_->settle();
    return run_ddl(*p_, st, binds, parse_only);
}

void session::commit()
{
    p_->commit();
    // A commit into a file that is gone is no commit.
    p_->watch_file();
    if (!p_->solo || p_->in_txn) return;
    const int64_t changes = sqlite3_total_changes64(p_->db);
    if (changes == p_->committed_changes) return;
    p_->committed_changes = changes;
    p_->solo->after_commit();
}

void session::commit_work()
{
    if (p_->in_txn) {
        commit();
        return;
    }
    p_->settle();
}
void session::rollback() { p_->rollback(); }

} // namespace eora
