// Rows per second reading 100,000 mixed rows from the embedded SQL Server:
// through the TDS endpoint (unixODBC + FreeTDS over loopback) and directly
// (file:), side by side.
#include <sql.h>
#include <sqlext.h>
#include <unistd.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>
#include "platform/mssx/mssx_connection.h"
#include "platform/mssx/tds/tds_listener.h"

namespace {

constexpr int kRows = 100000;
constexpr int kRowsPerInsert = 1000;

std::string driver_path()
{
    if (const char* p = std::getenv("TVX_TDSODBC_DRIVER")) return p;
    for (const char* p : {"/usr/lib/x86_64-linux-gnu/odbc/libtdsodbc.so",
                          "/usr/lib/aarch64-linux-gnu/odbc/libtdsodbc.so", "/usr/lib/odbc/libtdsodbc.so"})
        if (std::filesystem::exists(p)) return p;
    return "libtdsodbc.so";
}

double seconds_since(std::chrono::steady_clock::time_point t)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t).count();
}

// Reads every row with SQLGetData into text, as a client copying the table would.
long read_through_endpoint(int port, const std::string& conf)
{
    ::setenv("FREETDSCONF", conf.c_str(), 1);
    SQLHENV env;
    SQLHDBC dbc;
    SQLHSTMT st;
    SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env);
    SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc);
    std::string cs = "DRIVER=" + driver_path() + ";SERVER=127.0.0.1;PORT=" + std::to_string(port) +
                     ";UID=sa;PWD=bench;DATABASE=bench;TDS_Version=7.4;ClientCharset=UTF-8";
    long rows = -1;
    if (SQL_SUCCEEDED(
            SQLDriverConnect(dbc, nullptr, (SQLCHAR*)cs.c_str(), SQL_NTS, nullptr, 0, nullptr, SQL_DRIVER_NOPROMPT))) {
        SQLAllocHandle(SQL_HANDLE_STMT, dbc, &st);
        if (SQL_SUCCEEDED(SQLExecDirect(st, (SQLCHAR*)"SELECT * FROM mixed", SQL_NTS))) {
            SQLSMALLINT cols = 0;
            SQLNumResultCols(st, &cols);
            std::vector<char> buf(4096);
            rows = 0;
            while (SQL_SUCCEEDED(SQLFetch(st))) {
                for (SQLUSMALLINT c = 1; c <= cols; ++c) {
                    SQLLEN ind;
                    SQLGetData(st, c, SQL_C_CHAR, buf.data(), static_cast<SQLLEN>(buf.size()), &ind);
                }
                ++rows;
            }
        }
        SQLFreeHandle(SQL_HANDLE_STMT, st);
        SQLDisconnect(dbc);
    }
    SQLFreeHandle(SQL_HANDLE_DBC, dbc);
    SQLFreeHandle(SQL_HANDLE_ENV, env);
    return rows;
}

} // namespace

int main()
{
    auto dir = std::filesystem::temp_directory_path() / ("tvx_bench_tds_" + std::to_string(::getpid()));
    std::filesystem::remove_all(dir);
    mssx_server::create(dir.string(), "bench");
    {
        mssx_connection c(dir.string(), mssx_login{"sa", "bench", false, ""});
        c.execute("CREATE DATABASE bench");
        c.execute("USE bench");
        c.execute(
            "CREATE TABLE mixed (id int NOT NULL PRIMARY KEY, name nvarchar(40) NULL, code varchar(10) NULL,"
            " price decimal(12,2) NULL, ratio float NULL, born datetime NULL, flag bit NULL, tag uniqueidentifier NULL,"
            " raw varbinary(16) NULL)");
        for (int b = 0; b < kRows / kRowsPerInsert; ++b) {
            std::string sql = "INSERT INTO mixed VALUES ";
            for (int k = 0; k < kRowsPerInsert; ++k) {
                int id = b * kRowsPerInsert + k;
                char row[400];
                std::snprintf(row, sizeof row,
                              "%s(%d, N'name %d \xC3\xA9', 'C%d', %d.%02d, %d.25, '2001-02-%02d 10:11:12.123', %d,"
                              " '6F9619FF-8B86-D011-B42D-%012d', 0x%08X)",
                              k ? "," : "", id, id, id % 1000, id, id % 100, id % 977, 1 + id % 28, id % 2, id, id);
                sql += row;
            }
            auto out = c.execute(sql);
            if (!out.errors.empty()) {
                std::fprintf(stderr, "load failed: %s\n", out.errors[0].what());
                return 1;
            }
        }
    }
    auto conf = dir / "freetds.conf";
    std::ofstream(conf) << "[global]\n";

    auto t0 = std::chrono::steady_clock::now();
    long direct_rows = 0;
    {
        mssx_connection c(dir.string(), mssx_login{"sa", "bench", false, "bench"});
        auto out = c.execute("SELECT * FROM mixed");
        for (auto& row : out.results.at(0).rows) {
            for (size_t i = 0; i < row.size(); ++i) (void)mssx_text(out.results[0].columns[i].type, row[i]);
            ++direct_rows;
        }
    }
    double direct = seconds_since(t0);

    tds_listener listener(dir.string(), "127.0.0.1", 0);
    std::thread server([&] { listener.serve(); });
    auto t1 = std::chrono::steady_clock::now();
    long tds_rows = read_through_endpoint(listener.port(), conf.string());
    double endpoint = seconds_since(t1);
    listener.stop();
    server.join();
    std::filesystem::remove_all(dir);

    std::printf("%-34s %10s %12s\n", "path", "rows", "rows/s");
    std::printf("%-34s %10ld %12.0f\n", "file: (embedded, direct)", direct_rows, direct_rows / direct);
    std::printf("%-34s %10ld %12.0f\n", "TDS endpoint (unixODBC+FreeTDS)", tds_rows, tds_rows / endpoint);
    return tds_rows == kRows && direct_rows == kRows ? 0 : 1;
}
