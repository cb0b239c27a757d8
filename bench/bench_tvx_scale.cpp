// Speed and scale of a whole conversion in one run: narrow, mixed and LOB
// tables converted by the driver as the agent runs it, each beside what SQLite
// itself does with the same rows (one INSERT and one commit per row, in the
// embedded Oracle's journal settings); peak memory of each conversion; the time
// per table for many small tables. Every converted table is read back through
// a fresh session and compared with what was generated (count and checksum);
// a mismatch exits with 1.
//   bench_tvx_scale [--narrow N] [--mixed N] [--lob N] [--small A,B] [--rows-1m]
// Each generation, conversion and baseline runs in a child process, so that its
// peak resident memory (wait4) is its own.
// Round trips: the same conversions through the stand-in Oracle client library,
// which counts the server round trips a real client makes; printed per row of
// each shape and per table (for growing numbers of tables), and the rows per
// second when each round trip costs 0.5 ms more.
//   [--trips-rows A,B] [--trips-tables A,B,C] [--latency-rows N] [--no-trips]
#include <dlfcn.h>
#include <sqlite3.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "TK/tk_logger.h"
#include "TK/tk_text.h"
#include "platform/eora/eora_privileges.h"
#include "platform/eora/eora_session.h"
#include "platform/mssx/mssx_connection.h"
#include "tarvex/error_handler.h"
#include "tarvex/tarvex_convertor.h"

// Built without the tests, there is no stand-in library to count round trips.
#ifndef TVX_OCI_STANDIN
#define TVX_OCI_STANDIN ""
#endif

namespace fs = std::filesystem;
using clock_type = std::chrono::steady_clock;

namespace {

constexpr int lob_size = 10 * 1024;

double seconds_since(clock_type::time_point t0)
{
    return std::chrono::duration<double>(clock_type::now() - t0).count();
}

class counting_handler : public error_handler {
public:
    counting_handler() : error_handler(g_ora_error_count, g_ora_error_table)
    {
        load_err_map(g_odb_error_count, g_odb_error_table);
    }
    void handle(const tk_exception& e, bool) override
    {
        if (++errors <= 3) std::fprintf(stderr, "error: %s\n", build_message(e).c_str());
    }
    long errors = 0;
};

void must(const mssx_outcome& out)
{
    if (!out.errors.empty()) {
        std::fprintf(stderr, "source: %s\n", out.errors.front().what());
        std::_Exit(1);
    }
}

// What a child reports: its exit status, peak memory and the seconds it measured.
struct child_result {
    bool ok = false;
    long maxrss_kb = 0;
    double seconds = 0;
    double cpu_seconds = 0; // user and system time of the whole child
};

// Runs `work` in a child; the child writes the seconds it measured to a pipe.
child_result in_child(const std::function<double()>& work)
{
    int fds[2];
    if (pipe(fds) != 0) return {};
    std::fflush(stdout);
    std::fflush(stderr);
    const pid_t pid = fork();
    if (pid < 0) return {};
    if (pid == 0) {
        close(fds[0]);
        int code = 0;
        double s = 0;
        try {
            s = work();
            code = s < 0 ? 1 : 0;
        } catch (const std::exception& e) {
            std::fprintf(stderr, "child: %s\n", e.what());
            code = 1;
        }
        if (write(fds[1], &s, sizeof s) != static_cast<ssize_t>(sizeof s)) code = 1;
        close(fds[1]);
        std::fflush(stdout);
        std::fflush(stderr);
        std::_Exit(code);
    }
    close(fds[1]);
    child_result r;
    double s = -1;
    const bool got = read(fds[0], &s, sizeof s) == static_cast<ssize_t>(sizeof s);
    close(fds[0]);
    int status = 0;
    rusage ru{};
    if (wait4(pid, &status, 0, &ru) != pid) return {};
    r.ok = got && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    r.maxrss_kb = ru.ru_maxrss;
    r.seconds = s;
    r.cpu_seconds = static_cast<double>(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) +
                    static_cast<double>(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
    return r;
}

// ---- the row shapes ---------------------------------------------------------
// Each shape gives the source DDL, one row's T-SQL values, the SQLite baseline's
// bound values, and the canonical text of a row the checksum is taken over.

enum class shape { narrow, mixed, lob };

const char* shape_name(shape s);

struct mixed_row {
    long id;
    std::string code, name;
    long qty;
    std::string price, amount, created;
    double ratio;
    long flag;
    std::string data; // 4 raw bytes
};

mixed_row make_mixed(long id)
{
    mixed_row r;
    char b[128];
    r.id = id;
    std::snprintf(b, sizeof b, "C-%05ld", id % 100000);
    r.code = b;
    r.name = "Gerät Nr. " + std::to_string(id);
    r.qty = id % 30000;
    std::snprintf(b, sizeof b, "%ld.%02ld", id % 5000, id % 100);
    r.price = b;
    std::snprintf(b, sizeof b, "%.6f", id / 7.0);
    r.ratio = std::strtod(b, nullptr);
    std::snprintf(b, sizeof b, "%ld.%04ld", id * 3, id % 10000);
    r.amount = b;
    std::snprintf(b, sizeof b, "2024-%02ld-%02ld 12:%02ld:%02ld.%03ld", id % 12 + 1, id % 28 + 1, id % 60, id % 60,
                  id % 999);
    // Milliseconds stop at .998: SQL Server's datetime rounds .999 up into the next second.
    r.created = b;
    r.flag = id % 2;
    const auto u = static_cast<uint32_t>(id);
    r.data = {static_cast<char>(u >> 24), static_cast<char>(u >> 16), static_cast<char>(u >> 8), static_cast<char>(u)};
    return r;
}

std::string narrow_text(long id) { return "name " + std::to_string(id * 7919 % 1000003); }

// A text and a byte string of about lob_size, different for every row.
std::string lob_text(long id)
{
    std::string s;
    s.reserve(lob_size);
    const std::string unit = "row " + std::to_string(id) + " of the long text; ";
    while (s.size() + unit.size() <= lob_size) s += unit;
    return s;
}

std::string lob_bytes(long id)
{
    std::string s(lob_size, '\0');
    uint32_t x = static_cast<uint32_t>(id) * 2654435761u + 1;
    for (auto& c : s) {
        x = x * 1103515245u + 12345u;
        c = static_cast<char>(x >> 24);
    }
    return s;
}

std::string hex(const std::string& bytes)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(bytes.size() * 2);
    for (unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

const char* source_ddl(shape s, const std::string& table)
{
    static std::string ddl;
    switch (s) {
    case shape::narrow:
        ddl = "CREATE TABLE " + table + " (id int NOT NULL PRIMARY KEY, name varchar(20) NULL)";
        break;
    case shape::mixed:
        ddl = "CREATE TABLE " + table +
              " (id int NOT NULL PRIMARY KEY, code varchar(20) NULL, "
              "name nvarchar(50) NULL, qty smallint NULL, price money NULL, ratio float NULL, "
              "amount decimal(18,4) NULL, created datetime NULL, flag bit NOT NULL, data varbinary(16) NULL)";
        break;
    case shape::lob:
        ddl = "CREATE TABLE " + table +
              " (id int NOT NULL PRIMARY KEY, memo varchar(max) NULL, blob varbinary(max) NULL)";
        break;
    }
    return ddl.c_str();
}

std::string source_values(shape s, long id)
{
    switch (s) {
    case shape::narrow:
        return "(" + std::to_string(id) + ", '" + narrow_text(id) + "')";
    case shape::mixed: {
        const mixed_row r = make_mixed(id);
        char b[64];
        std::snprintf(b, sizeof b, "%.6f", r.ratio);
        return "(" + std::to_string(id) + ", '" + r.code + "', N'" + r.name + "', " + std::to_string(r.qty) + ", " +
               r.price + ", " + b + ", " + r.amount + ", '" + r.created + "', " + std::to_string(r.flag) + ", 0x" +
               hex(r.data) + ")";
    }
    case shape::lob:
        return "(" + std::to_string(id) + ", '" + lob_text(id) + "', 0x" + hex(lob_bytes(id)) + ")";
    }
    return {};
}

// Numbers compared at four decimals, date-times to the second: the forms the
// target keeps of them may differ in text but not in value.
std::string canon_number(const std::string& text)
{
    const long double v = std::strtold(text.c_str(), nullptr);
    return std::to_string(std::llround(v * 10000));
}

std::string canon_datetime(const std::string& text)
{
    std::string digits;
    for (char c : text)
        if (c >= '0' && c <= '9' && digits.size() < 14) digits += c;
    return digits;
}

std::string canon_row_expected(shape s, long id)
{
    switch (s) {
    case shape::narrow:
        return canon_number(std::to_string(id)) + "|" + narrow_text(id);
    case shape::mixed: {
        const mixed_row r = make_mixed(id);
        char b[64];
        std::snprintf(b, sizeof b, "%.6f", r.ratio);
        return canon_number(std::to_string(id)) + "|" + r.code + "|" + r.name + "|" +
               canon_number(std::to_string(r.qty)) + "|" + canon_number(r.price) + "|" + canon_number(b) + "|" +
               canon_number(r.amount) + "|" + canon_datetime(r.created) + "|" + canon_number(std::to_string(r.flag)) +
               "|" + r.data;
    }
    case shape::lob:
        return canon_number(std::to_string(id)) + "|" + lob_text(id) + "|" + lob_bytes(id);
    }
    return {};
}

std::string canon_value(const eora::value& v)
{
    switch (v.kind) {
    case eora::value::vk::null:
        return "<null>";
    case eora::value::vk::number:
        return canon_number(v.s);
    case eora::value::vk::datetime:
        return canon_datetime(v.s);
    case eora::value::vk::text:
    case eora::value::vk::bytes:
        return v.s;
    }
    return {};
}

uint64_t fnv1a(const std::string& s)
{
    uint64_t h = 1469598103934665603ull;
    for (unsigned char c : s) {
        h ^= c;
        h *= 1099511628211ull;
    }
    return h;
}

// Rows are summed by their hashes so that the order they come back in does not matter.
struct table_sum {
    long rows = 0;
    uint64_t sum = 0;
    bool operator==(const table_sum&) const = default;
};

table_sum expected_sum(shape s, long rows)
{
    table_sum t;
    for (long id = 1; id <= rows; ++id) {
        t.sum += fnv1a(canon_row_expected(s, id));
        ++t.rows;
    }
    return t;
}

const char* shape_name(shape s) { return s == shape::narrow ? "narrow" : s == shape::mixed ? "mixed" : "LOB"; }

// ---- the source -------------------------------------------------------------

void create_database(const std::string& mss_dir, const std::string& db)
{
    mssx_login login;
    login.integrated = true;
    mssx_connection master(mss_dir, login);
    must(master.execute("CREATE DATABASE " + db));
}

void generate_table(mssx_connection& conn, shape s, const std::string& table, long rows)
{
    must(conn.execute(source_ddl(s, table)));
    const long per_batch = s == shape::lob ? 20 : 1000;
    const long per_insert = s == shape::lob ? 1 : 100;
    for (long start = 1; start <= rows; start += per_batch) {
        std::string batch;
        for (long first = start; first < start + per_batch && first <= rows; first += per_insert) {
            batch += "INSERT INTO " + table + " VALUES ";
            for (long id = first; id < first + per_insert && id < start + per_batch && id <= rows; ++id) {
                if (id != first) batch += ",\n";
                batch += source_values(s, id);
            }
            batch += "\n";
        }
        must(conn.execute(batch));
    }
}

mssx_login db_login(const std::string& db)
{
    mssx_login login;
    login.integrated = true;
    login.database = db;
    return login;
}

// ---- the conversion ---------------------------------------------------------

struct target {
    std::string dir, service_file;
};

target new_target(const fs::path& root, const std::string& name)
{
    target t{(root / name).string(), (root / name / "ORCL.db").string()};
    fs::create_directories(t.dir);
    eora::session::create_service(t.service_file, "manager");
    // The user a conversion runs as, with the privileges it needs.
    std::string grants;
    for (std::string_view p : eora::priv::converter_set()) grants += (grants.empty() ? "" : ", ") + std::string(p);
    for (const std::string& sql :
         {std::string("CREATE USER \"SCOTT\" IDENTIFIED BY \"tiger\""),
          std::string("ALTER USER \"SCOTT\" QUOTA UNLIMITED ON \"USERS\""), "GRANT " + grants + " TO \"SCOTT\""}) {
        eora::session s(t.service_file, "SYSTEM", "manager");
        s.execute(*s.prepare(sql), {});
        s.commit();
    }
    return t;
}

// The agent keeps the source's schema as the owner: the tables land as "dbo"."name".
// Converts `tables` of database `db` into `t` as the agent does; the seconds of the run, -1 on failure.
// With `through_client`, the target is reached as a real server is: through the
// client library loaded at run time (the stand-in, serving t's folder).
double convert(const std::string& mss_dir, const std::string& db, const target& t,
               const std::vector<std::wstring>& tables, bool through_client = false)
{
    tk_logger logger(nullptr, false, 3, false);
    counting_handler handler;
    tarvex_convertor driver(tarvex_convertor::settings_source::agent_defaults);
    driver.src = to_unicode(db);
    driver.dest = L"ORCL";
    if (through_client)
        driver.store_oracle_settings(L"127.0.0.1", L"scott", L"tiger", L"1521");
    else
        driver.store_oracle_settings(to_unicode("file:" + t.dir), L"scott", L"tiger", L"");
    driver.store_mssql_settings(to_unicode("file:" + mss_dir), L"", L"");
    const auto t0 = clock_type::now();
    driver.connect_mssql_server();
    driver.connect_oracle_server(driver.dest);
    driver.selected_tables = tables;
    driver();
    const double s = seconds_since(t0);
    if (!driver.run_completed() || handler.errors) {
        std::fprintf(stderr, "the conversion of %s did not complete cleanly (%ld errors)\n", db.c_str(),
                     handler.errors);
        return -1;
    }
    return s;
}

table_sum read_back(eora::session& s, const std::string& table)
{
    auto st = s.prepare("SELECT * FROM \"dbo\".\"" + table + "\"");
    eora::exec_result r = s.execute(*st, {});
    table_sum t;
    if (!r.cur) return t;
    while (r.cur->next()) {
        std::string row;
        bool first = true;
        for (const auto& v : r.cur->row()) {
            if (!first) row += "|";
            first = false;
            row += canon_value(v);
        }
        t.sum += fnv1a(row);
        ++t.rows;
    }
    return t;
}

// ---- the baseline -----------------------------------------------------------

// The same rows into SQLite: one prepared INSERT and one commit per row. With
// `keyed`, the table has the unique index on id that the converted table's
// primary key gives it, so both sides maintain the same structures.
double sqlite_baseline(const std::string& file, shape s, long rows, bool keyed)
{
    sqlite3* db = nullptr;
    if (sqlite3_open(file.c_str(), &db) != SQLITE_OK) return -1;
    auto exec = [&](const char* sql) {
        if (sqlite3_exec(db, sql, nullptr, nullptr, nullptr) != SQLITE_OK) {
            std::fprintf(stderr, "sqlite: %s\n", sqlite3_errmsg(db));
            std::_Exit(1);
        }
    };
    exec(
        "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL; PRAGMA foreign_keys=OFF; "
        "PRAGMA wal_autocheckpoint=20000; PRAGMA cache_size=-16000;");
    const char* ddl = s == shape::narrow ? "CREATE TABLE t (id INTEGER NOT NULL, name TEXT)"
                      : s == shape::mixed
                          ? "CREATE TABLE t (id INTEGER NOT NULL, code TEXT, name TEXT, qty INTEGER, price TEXT, "
                            "ratio REAL, amount TEXT, created TEXT, flag INTEGER NOT NULL, data BLOB)"
                          : "CREATE TABLE t (id INTEGER NOT NULL, memo TEXT, blob BLOB)";
    exec(ddl);
    if (keyed) exec("CREATE UNIQUE INDEX t_pk ON t (id)");
    const char* ins = s == shape::narrow  ? "INSERT INTO t VALUES (?,?)"
                      : s == shape::mixed ? "INSERT INTO t VALUES (?,?,?,?,?,?,?,?,?,?)"
                                          : "INSERT INTO t VALUES (?,?,?)";
    sqlite3_stmt *st = nullptr, *begin = nullptr, *commit = nullptr;
    sqlite3_prepare_v2(db, ins, -1, &st, nullptr);
    sqlite3_prepare_v2(db, "BEGIN", -1, &begin, nullptr);
    sqlite3_prepare_v2(db, "COMMIT", -1, &commit, nullptr);
    auto step = [&](sqlite3_stmt* x) {
        if (sqlite3_step(x) != SQLITE_DONE) {
            std::fprintf(stderr, "sqlite: %s\n", sqlite3_errmsg(db));
            std::_Exit(1);
        }
        sqlite3_reset(x);
    };
    // Values are made before the clock starts, as the converter's come from the source.
    const long made = s == shape::lob ? std::min(rows, 100L) : rows;
    std::vector<mixed_row> mixed;
    std::vector<std::string> texts, blobs;
    for (long id = 1; id <= made; ++id) {
        if (s == shape::mixed)
            mixed.push_back(make_mixed(id));
        else if (s == shape::narrow)
            texts.push_back(narrow_text(id));
        else {
            texts.push_back(lob_text(id));
            blobs.push_back(lob_bytes(id));
        }
    }
    const auto t0 = clock_type::now();
    for (long id = 1; id <= rows; ++id) {
        const size_t i = static_cast<size_t>((id - 1) % made);
        step(begin);
        sqlite3_bind_int64(st, 1, id);
        if (s == shape::narrow) {
            sqlite3_bind_text(st, 2, texts[i].data(), static_cast<int>(texts[i].size()), SQLITE_STATIC);
        } else if (s == shape::mixed) {
            const mixed_row& r = mixed[i];
            sqlite3_bind_text(st, 2, r.code.data(), static_cast<int>(r.code.size()), SQLITE_STATIC);
            sqlite3_bind_text(st, 3, r.name.data(), static_cast<int>(r.name.size()), SQLITE_STATIC);
            sqlite3_bind_int64(st, 4, r.qty);
            sqlite3_bind_text(st, 5, r.price.data(), static_cast<int>(r.price.size()), SQLITE_STATIC);
            sqlite3_bind_double(st, 6, r.ratio);
            sqlite3_bind_text(st, 7, r.amount.data(), static_cast<int>(r.amount.size()), SQLITE_STATIC);
            sqlite3_bind_text(st, 8, r.created.data(), static_cast<int>(r.created.size()), SQLITE_STATIC);
            sqlite3_bind_int64(st, 9, r.flag);
            sqlite3_bind_blob(st, 10, r.data.data(), static_cast<int>(r.data.size()), SQLITE_STATIC);
        } else {
            sqlite3_bind_text(st, 2, texts[i].data(), static_cast<int>(texts[i].size()), SQLITE_STATIC);
            sqlite3_bind_blob(st, 3, blobs[i].data(), static_cast<int>(blobs[i].size()), SQLITE_STATIC);
        }
        step(st);
        step(commit);
    }
    const double secs = seconds_since(t0);
    sqlite3_finalize(st);
    sqlite3_finalize(begin);
    sqlite3_finalize(commit);
    sqlite3_close(db);
    return secs;
}

// ---- round trips through the client library --------------------------------

// The kinds the stand-in counts, in its order; calls answered in the client count none.
const char* const trip_kinds[] = {"local", "session", "execute", "fetch", "commit", "lob"};
constexpr size_t trip_kind_count = std::size(trip_kinds);

struct trips {
    double k[trip_kind_count] = {};
    double total() const
    {
        double t = 0;
        for (size_t i = 1; i < trip_kind_count; ++i) t += k[i];
        return t;
    }
    trips minus(const trips& o, double per) const
    {
        trips d;
        for (size_t i = 0; i < trip_kind_count; ++i) d.k[i] = (k[i] - o.k[i]) / per;
        return d;
    }
    std::string detail() const
    {
        std::string out;
        char b[64];
        for (size_t i = 1; i < trip_kind_count; ++i) {
            std::snprintf(b, sizeof b, "%s%s %.3f", out.empty() ? "" : ", ", trip_kinds[i], k[i]);
            out += b;
        }
        return out;
    }
};

// Runs `work` in a child that sends back a whole trips record (NaN totals on failure).
trips trips_in_child(const std::function<bool(trips&)>& work)
{
    int fds[2];
    trips failed;
    failed.k[0] = -1;
    if (pipe(fds) != 0) return failed;
    std::fflush(stdout);
    std::fflush(stderr);
    const pid_t pid = fork();
    if (pid < 0) return failed;
    if (pid == 0) {
        close(fds[0]);
        trips t;
        bool ok = false;
        try {
            ok = work(t);
        } catch (const std::exception& e) {
            std::fprintf(stderr, "child: %s\n", e.what());
        }
        if (!ok) t = failed;
        const bool sent = write(fds[1], &t, sizeof t) == static_cast<ssize_t>(sizeof t);
        close(fds[1]);
        std::fflush(stdout);
        std::fflush(stderr);
        std::_Exit(ok && sent ? 0 : 1);
    }
    close(fds[1]);
    trips t = failed;
    if (read(fds[0], &t, sizeof t) != static_cast<ssize_t>(sizeof t)) t = failed;
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) t = failed;
    return t;
}

bool failed(const trips& t) { return t.k[0] < 0; }

// Converts `tables` of `db` into a fresh target through the stand-in client
// library; the round trips it counted, and in k[0] the seconds the run took.
// `latency_us` is added to every round trip.
trips convert_counting(const fs::path& root, const std::string& mss_dir, const std::string& db,
                       const std::vector<std::wstring>& tables, long latency_us)
{
    const target t = new_target(root, "trips_" + db + "_" + std::to_string(latency_us));
    return trips_in_child([&](trips& out) {
        setenv("TVX_OCI_LIBRARY", TVX_OCI_STANDIN, 1);
        setenv("TVX_OCI_TEST_DIR", t.dir.c_str(), 1);
        setenv("TVX_OCI_LATENCY_US", std::to_string(latency_us).c_str(), 1);
        const double secs = convert(mss_dir, db, t, tables, true);
        if (secs < 0) return false;
        // The library the conversion loaded: its counters.
        void* lib = dlopen(TVX_OCI_STANDIN, RTLD_NOW | RTLD_LOCAL | RTLD_NOLOAD);
        using counts_fn = void (*)(uint64_t*, size_t);
        auto* counts = lib ? reinterpret_cast<counts_fn>(dlsym(lib, "tvx_standin_round_trips")) : nullptr;
        if (!counts) {
            std::fprintf(stderr, "the stand-in client library was not loaded\n");
            return false;
        }
        uint64_t raw[trip_kind_count] = {};
        counts(raw, trip_kind_count);
        for (size_t i = 1; i < trip_kind_count; ++i) out.k[i] = static_cast<double>(raw[i]);
        out.k[0] = secs;
        return true;
    });
}

// A database `db` of `tables` tables T1.. of `rows` rows of shape `s`; false when it failed.
bool make_source(const std::string& mss_dir, const std::string& db, shape s, long tables, long rows)
{
    return in_child([&] {
               create_database(mss_dir, db);
               mssx_connection conn(mss_dir, db_login(db));
               for (long i = 1; i <= tables; ++i) generate_table(conn, s, "T" + std::to_string(i), rows);
               return 0.0;
           })
        .ok;
}

std::vector<std::wstring> table_names(long tables)
{
    std::vector<std::wstring> names;
    for (long i = 1; i <= tables; ++i) names.push_back(to_unicode("[dbo].[T" + std::to_string(i) + "]"));
    return names;
}

bool g_failed = false;

// Round trips per row of each shape, per table as the number of tables grows,
// and rows per second at 0.5 ms a round trip.
void run_trips(const fs::path& root, const std::string& mss_dir, const std::vector<long>& row_counts,
               const std::vector<long>& table_counts, long latency_rows)
{
    constexpr long latency_us = 500;
    if (!*TVX_OCI_STANDIN) {
        std::printf("round trips: not counted, the stand-in client library was not built\n");
        return;
    }
    std::printf("round trips through the client library (a real client's count; local calls count none)\n");
    double narrow_per_row = 0;
    for (shape s : {shape::narrow, shape::mixed, shape::lob}) {
        // LOB rows are larger: a tenth as many.
        const long scale = s == shape::lob ? 10 : 1;
        const long r1 = std::max(1L, row_counts[0] / scale), r2 = std::max(r1 + 1, row_counts[1] / scale);
        const std::string base = std::string("trips_") + shape_name(s);
        const std::string db1 = base + std::to_string(r1), db2 = base + std::to_string(r2);
        if (!make_source(mss_dir, db1, s, 1, r1) || !make_source(mss_dir, db2, s, 1, r2)) {
            std::printf("%s: generating the source failed\n", shape_name(s));
            g_failed = true;
            continue;
        }
        const trips a = convert_counting(root, mss_dir, db1, table_names(1), 0);
        const trips b = convert_counting(root, mss_dir, db2, table_names(1), 0);
        if (failed(a) || failed(b)) {
            std::printf("%s: a conversion through the client library failed\n", shape_name(s));
            g_failed = true;
            continue;
        }
        const trips per_row = b.minus(a, static_cast<double>(r2 - r1));
        if (s == shape::narrow) narrow_per_row = per_row.total();
        std::printf("%-7s %.3f round trips a row (%s); one table of %ld rows: %.0f in all\n", shape_name(s),
                    per_row.total(), per_row.detail().c_str(), r2, b.total());
        // The same table with 0.5 ms added to each round trip.
        const long lr = std::max(1L, latency_rows / scale);
        const std::string dbl = base + "_latency" + std::to_string(lr);
        if (!make_source(mss_dir, dbl, s, 1, lr)) {
            g_failed = true;
            continue;
        }
        const trips slow = convert_counting(root, mss_dir, dbl, table_names(1), latency_us);
        if (failed(slow)) {
            std::printf("%s: the conversion with latency failed\n", shape_name(s));
            g_failed = true;
            continue;
        }
        std::printf("%-7s at %.1f ms a round trip: %ld rows in %.2f s, %.0f rows/s (%.0f round trips)\n", shape_name(s),
                    latency_us / 1000.0, lr, slow.k[0], lr / slow.k[0], slow.total());
    }
    // Tables of 10 narrow rows: the round trips a table adds, between growing counts of tables.
    std::vector<trips> by_count;
    for (long n : table_counts) {
        const std::string db = "trips_tables" + std::to_string(n);
        if (!make_source(mss_dir, db, shape::narrow, n, 10)) {
            g_failed = true;
            return;
        }
        by_count.push_back(convert_counting(root, mss_dir, db, table_names(n), 0));
        if (failed(by_count.back())) {
            std::printf("tables: converting %ld through the client library failed\n", n);
            g_failed = true;
            return;
        }
    }
    for (size_t i = 1; i < by_count.size(); ++i) {
        const double added = static_cast<double>(table_counts[i] - table_counts[i - 1]);
        const trips per_table = by_count[i].minus(by_count[i - 1], added);
        std::printf("tables %ld to %ld: %.2f round trips a table of 10 rows, %.2f without its rows (%s)\n",
                    table_counts[i - 1], table_counts[i], per_table.total(), per_table.total() - 10 * narrow_per_row,
                    per_table.detail().c_str());
    }
}

// ---- the run ----------------------------------------------------------------

struct options {
    long narrow = 100000, mixed = 100000, lob = 10000;
    std::vector<long> small = {200, 2000};
    bool rows_1m = false;
    std::vector<long> trips_rows = {200, 1000};
    std::vector<long> trips_tables = {10, 40, 160};
    long latency_rows = 500;
    bool trips = true;
};

void check(const std::string& what, const table_sum& got, const table_sum& want)
{
    if (got == want) return;
    std::printf("MISMATCH %s: %ld rows (checksum %016llx), expected %ld rows (checksum %016llx)\n", what.c_str(),
                got.rows, static_cast<unsigned long long>(got.sum), want.rows,
                static_cast<unsigned long long>(want.sum));
    g_failed = true;
}

// One shape: generate, convert (own child), verify, baseline (own child); the
// conversion's peak memory in KiB, 0 when it failed.
long run_shape(const fs::path& root, const std::string& mss_dir, shape s, long rows, const std::string& tag)
{
    const std::string db = "b_" + tag;
    const auto gen = in_child([&] {
        const auto t0 = clock_type::now();
        create_database(mss_dir, db);
        mssx_connection conn(mss_dir, db_login(db));
        generate_table(conn, s, "Items", rows);
        return seconds_since(t0);
    });
    if (!gen.ok) {
        std::printf("%s: generating the source failed\n", tag.c_str());
        g_failed = true;
        return 0;
    }
    const target t = new_target(root, "ora_" + tag);
    const auto conv = in_child([&] { return convert(mss_dir, db, t, {L"[dbo].[Items]"}); });
    if (!conv.ok) {
        std::printf("%s: the conversion failed\n", tag.c_str());
        g_failed = true;
        return 0;
    }
    const auto verify = in_child([&] {
        eora::session ses(t.service_file, "SYSTEM", "manager");
        const table_sum got = read_back(ses, "Items");
        const table_sum want = expected_sum(s, rows);
        check(tag + " Items", got, want);
        return got == want ? 0.0 : -1.0;
    });
    if (!verify.ok) g_failed = true;
    const std::string raw_file = (root / ("raw_" + tag + ".db")).string();
    const auto raw = in_child([&] { return sqlite_baseline(raw_file, s, rows, true); });
    const std::string bare_file = (root / ("bare_" + tag + ".db")).string();
    const auto bare = in_child([&] { return sqlite_baseline(bare_file, s, rows, false); });
    if (!raw.ok || !bare.ok) {
        std::printf("%s: the SQLite baseline failed\n", tag.c_str());
        g_failed = true;
        return conv.maxrss_kb;
    }
    const double e2e = rows / conv.seconds, lim = rows / raw.seconds, bare_lim = rows / bare.seconds;
    std::printf(
        "%-7s %8ld rows  end to end %9.0f rows/s  raw SQLite %9.0f rows/s  ratio %.2f  "
        "(without the key's index %9.0f rows/s, ratio %.2f)  peak %6.1f MiB  %s  (generated in %.1f s)\n",
        shape_name(s), rows, e2e, lim, e2e / lim, bare_lim, e2e / bare_lim, conv.maxrss_kb / 1024.0,
        verify.ok ? "verified" : "NOT VERIFIED", gen.seconds);
    return conv.maxrss_kb;
}

// `count` tables of 10 narrow rows in one database, converted in one run.
double run_small(const fs::path& root, const std::string& mss_dir, long count, double& cpu)
{
    cpu = -1;
    const std::string db = "small" + std::to_string(count);
    const auto gen = in_child([&] {
        const auto t0 = clock_type::now();
        create_database(mss_dir, db);
        mssx_connection conn(mss_dir, db_login(db));
        for (long i = 1; i <= count; ++i) generate_table(conn, shape::narrow, "T" + std::to_string(i), 10);
        return seconds_since(t0);
    });
    if (!gen.ok) {
        std::printf("small tables: generating %ld failed\n", count);
        g_failed = true;
        return -1;
    }
    const target t = new_target(root, "ora_" + db);
    std::vector<std::wstring> names;
    for (long i = 1; i <= count; ++i) names.push_back(to_unicode("[dbo].[T" + std::to_string(i) + "]"));
    const auto conv = in_child([&] { return convert(mss_dir, db, t, names); });
    if (!conv.ok) {
        std::printf("small tables: converting %ld failed\n", count);
        g_failed = true;
        return -1;
    }
    const auto verify = in_child([&] {
        eora::session ses(t.service_file, "SYSTEM", "manager");
        const table_sum want = expected_sum(shape::narrow, 10);
        bool ok = true;
        for (long i = 1; i <= count; ++i) {
            const std::string name = "T" + std::to_string(i);
            const table_sum got = read_back(ses, name);
            check(db + " " + name, got, want);
            ok = ok && got == want;
        }
        return ok ? 0.0 : -1.0;
    });
    if (!verify.ok) g_failed = true;
    // The processor time beside the wall time: on a shared machine the wall time also holds other programs' turns.
    std::printf(
        "%5ld tables of 10 rows: %7.1f s, %7.1f ms a table (processor %5.1f ms), peak %6.1f MiB  %s  "
        "(generated in %.1f s)\n",
        count, conv.seconds, 1000 * conv.seconds / count, 1000 * conv.cpu_seconds / count, conv.maxrss_kb / 1024.0,
        verify.ok ? "verified" : "NOT VERIFIED", gen.seconds);
    cpu = conv.cpu_seconds;
    return conv.seconds;
}

bool parse(int argc, char** argv, options& o)
{
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto next = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
        auto list = [&](std::vector<long>& out) {
            const char* v = next();
            if (!v) return false;
            out.clear();
            for (const char* p = v; *p;) {
                char* end = nullptr;
                const long n = std::strtol(p, &end, 10);
                if (end == p) return false;
                if (n > 0) out.push_back(n);
                p = *end == ',' ? end + 1 : end;
            }
            return true;
        };
        if (a == "--rows-1m") {
            o.rows_1m = true;
        } else if (a == "--no-trips") {
            o.trips = false;
        } else if (a == "--trips-rows") {
            if (!list(o.trips_rows) || o.trips_rows.size() != 2 || o.trips_rows[0] >= o.trips_rows[1]) return false;
        } else if (a == "--trips-tables") {
            if (!list(o.trips_tables) || o.trips_tables.size() < 2) return false;
        } else if (a == "--latency-rows") {
            const char* v = next();
            if (!v) return false;
            o.latency_rows = std::atol(v);
        } else if (a == "--narrow" || a == "--mixed" || a == "--lob") {
            const char* v = next();
            if (!v) return false;
            (a == "--narrow" ? o.narrow : a == "--mixed" ? o.mixed : o.lob) = std::atol(v);
        } else if (a == "--small") {
            const char* v = next();
            if (!v) return false;
            o.small.clear();
            for (const char* p = v; *p;) {
                char* end = nullptr;
                const long n = std::strtol(p, &end, 10);
                if (end == p) return false;
                if (n > 0) o.small.push_back(n);
                p = *end == ',' ? end + 1 : end;
            }
        } else {
            return false;
        }
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    if (!std::setlocale(LC_CTYPE, "C.UTF-8")) std::setlocale(LC_CTYPE, "");
    options o;
    if (!parse(argc, argv, o)) {
        std::fprintf(stderr,
                     "usage: %s [--narrow N] [--mixed N] [--lob N] [--small A,B] [--rows-1m] [--trips-rows A,B] "
                     "[--trips-tables A,B,...] [--latency-rows N] [--no-trips]\n",
                     argv[0]);
        return 2;
    }
    std::string tmpl = (fs::temp_directory_path() / "tvx_scale_XXXXXX").string();
    if (!mkdtemp(tmpl.data())) return 1;
    const fs::path root = tmpl;
    const std::string mss_dir = (root / "mss").string();
    mssx_server::create(mss_dir, "sa");

    std::printf("end to end: the driver as the agent runs it; raw: SQLite with one INSERT and one commit a row\n");
    if (o.narrow > 0) run_shape(root, mss_dir, shape::narrow, o.narrow, "narrow");
    long mixed_peak = 0;
    if (o.mixed > 0) mixed_peak = run_shape(root, mss_dir, shape::mixed, o.mixed, "mixed");
    if (o.lob > 0) run_shape(root, mss_dir, shape::lob, o.lob, "lob");
    if (o.rows_1m) {
        const long peak = run_shape(root, mss_dir, shape::mixed, 1000000, "mixed1m");
        if (peak > 0 && mixed_peak > 0)
            std::printf("peak memory of 1000000 mixed rows / of %ld: %.2f\n", o.mixed,
                        static_cast<double>(peak) / static_cast<double>(mixed_peak));
    }

    std::vector<double> small_times, small_cpu;
    for (long n : o.small) {
        double cpu = -1;
        small_times.push_back(run_small(root, mss_dir, n, cpu));
        small_cpu.push_back(cpu);
    }
    if (small_times.size() == 2 && small_times[0] > 0 && small_times[1] > 0)
        std::printf("time(%ld tables) / time(%ld tables) = %.2f (processor time %.2f)\n", o.small[1], o.small[0],
                    small_times[1] / small_times[0], small_cpu[1] / small_cpu[0]);

    if (o.trips) run_trips(root, mss_dir, o.trips_rows, o.trips_tables, o.latency_rows);

    std::error_code ec;
    if (!std::getenv("KEEP")) fs::remove_all(root, ec);
    if (g_failed) {
        std::printf("FAILED: a conversion or its check did not succeed\n");
        return 1;
    }
    return 0;
}
