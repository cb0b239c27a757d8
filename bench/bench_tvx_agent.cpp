// End-to-end conversion speed between the embedded servers: a generated table
// of ten mixed columns is converted by the driver as the agent runs it, then
// the two halves are timed alone (reading the source, writing the target) so
// that the rest is the converter's own work.
//   bench_tvx_agent [rows]   (default 100000)
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "ORA/ora_database.h"
#include "TK/tk_logger.h"
#include "TK/tk_text.h"
#include "platform/eora/eora_session.h"
#include "platform/mssx/mssx_connection.h"
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

void oracle_exec(const std::string& file, const std::string& sql)
{
    eora::session s(file, "SYSTEM", "manager");
    s.execute(*s.prepare(sql), {});
    s.commit();
}

// Ten columns of the common kinds: integers, texts, money, float, decimal, date, bit, binary.
void generate(const std::string& mss_dir, long rows)
{
    mssx_login login;
    login.integrated = true;
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

} // namespace

int main(int argc, char** argv)
{
    if (!std::setlocale(LC_CTYPE, "C.UTF-8")) std::setlocale(LC_CTYPE, "");
    const long rows = argc > 1 ? std::atol(argv[1]) : 100000;
    std::string tmpl = (fs::temp_directory_path() / "tvx_bench_XXXXXX").string();
    if (!mkdtemp(tmpl.data())) return 1;
    const fs::path dir = tmpl;
    const std::string mss_dir = (dir / "mss").string(), ora_dir = (dir / "ora").string();
    const std::string service_file = ora_dir + "/ORCL.db";

    tk_logger logger(nullptr, false, 3, false);
    counting_handler handler;

    auto t0 = clock_type::now();
    mssx_server::create(mss_dir, "sa");
    generate(mss_dir, rows);
    fs::create_directories(ora_dir);
    eora::session::create_service(service_file, "manager");
    oracle_exec(service_file, "CREATE USER \"SCOTT\" IDENTIFIED BY \"tiger\"");
    oracle_exec(service_file, "ALTER USER \"SCOTT\" QUOTA UNLIMITED ON \"USERS\"");
    std::printf("source table of %ld rows and 10 columns generated in %.2f s\n", rows, seconds_since(t0));

    tarvex_convertor driver(tarvex_convertor::settings_source::agent_defaults);
    driver.src = L"bench";
    driver.dest = L"ORCL";
    driver.store_oracle_settings(to_unicode("file:" + ora_dir), L"scott", L"tiger", L"");
    driver.store_mssql_settings(to_unicode("file:" + mss_dir), L"", L"");
    driver.connect_mssql_server();
    driver.connect_oracle_server(driver.dest);
    driver.selected_tables = {L"[dbo].[Items]"};

    // 1. The whole conversion, as the agent runs it.
    t0 = clock_type::now();
    driver();
    const double total = seconds_since(t0);
    if (!driver.run_completed() || handler.errors) {
        std::fprintf(stderr, "the conversion did not complete cleanly (%ld errors)\n", handler.errors);
        return 1;
    }

    // 2. Reading the source alone, through the same reader; the records are kept for step 3.
    std::vector<udb_record> kept;
    kept.reserve(static_cast<size_t>(rows));
    std::unique_ptr<udb_schema> schema;
    double read = 0;
    {
        t0 = clock_type::now();
        std::unique_ptr<mss_database> source = driver.open_source(driver.src);
        std::unique_ptr<udb_recordset> rs = source->get_table1(L"[dbo].[Items]", 1);
        rs->reset();
        long n = 0;
        while (!rs->is_eof()) {
            udb_record* r = rs->get_item();
            if (r) ++n;
            rs->next();
        }
        read = seconds_since(t0);
        if (n != rows) {
            std::fprintf(stderr, "read %ld rows, expected %ld\n", n, rows);
            return 1;
        }
        rs->reset();
        while (!rs->is_eof()) {
            if (udb_record* r = rs->get_item()) {
                udb_record copy;
                for (const auto& f : r->fields) copy.push_back(std::make_unique<udb_field>(*f));
                kept.push_back(std::move(copy));
            }
            rs->next();
        }
        schema = std::make_unique<udb_schema>(rs->schema);
    }

    // 3. Writing the same records alone, through the same writer, into a new table.
    udb_indexes none;
    t0 = clock_type::now();
    {
        std::unique_ptr<udb_recordset> dst = driver.oracle->create_table(L"\"SCOTT\".\"ITEMS_W\"", *schema, none);
        for (auto& r : kept) dst->append_record(&r);
    }
    const double write = seconds_since(t0);
    if (handler.errors) {
        std::fprintf(stderr, "the write pass reported %ld errors\n", handler.errors);
        return 1;
    }

    const double engine = total - read - write;
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    std::printf("end to end: %ld rows in %.2f s = %.0f rows/s\n", rows, total, rows / total);
    std::printf("  reading the source : %6.2f s (%4.1f %%, %.0f rows/s alone)\n", read, 100 * read / total,
                rows / read);
    std::printf("  writing the target : %6.2f s (%4.1f %%, %.0f rows/s alone)\n", write, 100 * write / total,
                rows / write);
    if (engine >= 0)
        std::printf("  converter's own    : %6.2f s (%4.1f %%)\n", engine, 100 * engine / total);
    else
        std::printf("  converter's own    : below the noise of the two passes (%.2f s)\n", engine);
    std::printf("peak resident memory: %ld MB\n", ru.ru_maxrss / 1024);

    std::error_code ec;
    fs::remove_all(dir, ec);
    return 0;
}
