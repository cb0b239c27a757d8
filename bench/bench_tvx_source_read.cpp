// The SQL Server side of a conversion over a generated table of ten mixed
// columns: reading it through the reader from the embedded server (file:)
// and through its TDS endpoint (ODBC, FreeTDS, loopback), side by side; with
// --convert, the whole conversion into the embedded Oracle and its peak memory.
//   bench_tvx_source_read [rows] [--convert]   (default 100000 rows)
#include <unistd.h>

#include <chrono>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>

#include "MSS/mss_database.h"
#include "TK/tk_logger.h"
#include "TK/tk_text.h"
#include "platform/eora/eora_session.h"
#include "platform/mssx/mssx_connection.h"
#include "platform/mssx/tds/tds_listener.h"
#include "tarvex/error_handler.h"
#include "tarvex/tarvex_convertor.h"

namespace fs = std::filesystem;
using clock_type = std::chrono::steady_clock;

namespace {

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
        std::exit(1);
    }
}

void generate(const std::string& mss_dir, long rows)
{
    mssx_login login;
    login.user = "sa";
    login.password = "sa";
    {
        mssx_connection master(mss_dir, login);
        must(master.execute("CREATE DATABASE bench"));
    }
    login.database = "bench";
    mssx_connection conn(mss_dir, login);
    must(
        conn.execute("CREATE TABLE Items (id int NOT NULL PRIMARY KEY, code varchar(20) NULL, "
                     "name nvarchar(50) NULL, qty smallint NULL, price money NULL, ratio float NULL, "
                     "amount decimal(18,4) NULL, created datetime NULL, flag bit NOT NULL, data varbinary(16) NULL)"));
    const long per_batch = 1000;
    for (long start = 1; start <= rows; start += per_batch) {
        std::string batch;
        for (long id = start; id < start + per_batch && id <= rows; ++id) {
            char line[512];
            std::snprintf(line, sizeof line,
                          "INSERT Items VALUES (%ld, 'C-%05ld', N'Gerät Nr. %ld', %ld, %ld.%02ld, %.6f, %ld.%04ld, "
                          "'2024-%02ld-%02ld 12:%02ld:%02ld.%03ld', %ld, 0x%08lX)\n",
                          id, id % 100000, id, id % 30000, id % 5000, id % 100, id / 7.0, id * 3, id % 10000,
                          id % 12 + 1, id % 28 + 1, id % 60, id % 60, id % 1000, id % 2, id);
            batch += line;
        }
        must(conn.execute(batch));
    }
}

// Peak resident memory since the last reset, in KiB (VmHWM).
long peak_kib()
{
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("VmHWM:", 0) == 0) return std::atol(line.c_str() + 6);
    return -1;
}

void reset_peak() { std::ofstream("/proc/self/clear_refs") << "5"; }

// Reads every row of the table through the reader; gives rows per second.
double read_all(tarvex_convertor& driver, long rows)
{
    auto t0 = clock_type::now();
    std::unique_ptr<mss_database> source = driver.open_source(driver.src);
    std::unique_ptr<udb_recordset> rs = source->get_table1(L"[dbo].[Items]", 1);
    rs->reset();
    long n = 0;
    while (!rs->is_eof()) {
        if (rs->get_item()) ++n;
        rs->next();
    }
    const double s = seconds_since(t0);
    if (n != rows) {
        std::fprintf(stderr, "read %ld rows, expected %ld\n", n, rows);
        std::exit(1);
    }
    return rows / s;
}

} // namespace

int main(int argc, char** argv)
{
    if (!std::setlocale(LC_CTYPE, "C.UTF-8")) std::setlocale(LC_CTYPE, "");
    long rows = 100000;
    bool convert = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--convert") == 0)
            convert = true;
        else
            rows = std::atol(argv[i]);
    }
    std::string tmpl = (fs::temp_directory_path() / "tvx_bench_XXXXXX").string();
    if (!mkdtemp(tmpl.data())) return 1;
    const fs::path dir = tmpl;
    const std::string mss_dir = (dir / "mss").string(), ora_dir = (dir / "ora").string();

    tk_logger logger(nullptr, false, 3, false);
    counting_handler handler;
    auto t0 = clock_type::now();
    mssx_server::create(mss_dir, "sa");
    generate(mss_dir, rows);
    std::printf("source table of %ld rows and 10 columns generated in %.2f s\n", rows, seconds_since(t0));

    tarvex_convertor driver(tarvex_convertor::settings_source::agent_defaults);
    driver.src = L"bench";
    driver.dest = L"ORCL";
    driver.windows_auth = false; // the endpoint takes SQL Server logins only
    int status = 0;
    if (convert) {
        const std::string service_file = ora_dir + "/ORCL.db";
        fs::create_directories(ora_dir);
        eora::session::create_service(service_file, "manager");
        {
            eora::session s(service_file, "SYSTEM", "manager");
            s.execute(*s.prepare("CREATE USER \"SCOTT\" IDENTIFIED BY \"tiger\""), {});
            s.execute(*s.prepare("ALTER USER \"SCOTT\" QUOTA UNLIMITED ON \"USERS\""), {});
            s.commit();
        }
        driver.store_oracle_settings(to_unicode("file:" + ora_dir), L"scott", L"tiger", L"");
        driver.store_mssql_settings(to_unicode("file:" + mss_dir), L"sa", L"sa");
        driver.connect_mssql_server();
        driver.connect_oracle_server(driver.dest);
        driver.selected_tables = {L"[dbo].[Items]"};
        const long before = peak_kib();
        reset_peak();
        t0 = clock_type::now();
        driver();
        const double total = seconds_since(t0);
        const long peak = peak_kib();
        if (!driver.run_completed() || handler.errors) {
            std::fprintf(stderr, "the conversion did not complete cleanly (%ld errors)\n", handler.errors);
            status = 1;
        }
        eora::session s(service_file, "SYSTEM", "manager");
        std::printf("converted %ld rows in %.2f s = %.0f rows/s\n", rows, total, rows / total);
        std::printf("peak resident memory of the conversion: %.1f MiB (before it: %.1f MiB)\n", peak / 1024.0,
                    before / 1024.0);
    } else {
        driver.store_mssql_settings(to_unicode("file:" + mss_dir), L"sa", L"sa");
        driver.connect_mssql_server();
        const double local = read_all(driver, rows);

        tds_listener endpoint(mss_dir, "127.0.0.1", 0);
        std::thread serving([&] { endpoint.serve(); });
        driver.store_mssql_settings(to_unicode("127.0.0.1," + std::to_string(endpoint.port())), L"sa", L"sa");
        driver.connect_mssql_server();
        const double remote = read_all(driver, rows);
        endpoint.stop();
        serving.join();
        std::printf("reading %ld rows through the reader:\n", rows);
        std::printf("  file: (embedded)        %10.0f rows/s\n", local);
        std::printf("  TDS endpoint over ODBC  %10.0f rows/s  (%.2f of file:)\n", remote, remote / local);
    }
    std::error_code ec;
    fs::remove_all(dir, ec);
    return status;
}
