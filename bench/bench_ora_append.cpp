// Writes 100,000 rows of ten mixed columns through ora_table::append_record
// into the embedded Oracle, then sends the same INSERT texts straight through
// OCI, and prints rows per second and the engine's own share of the time.
#include <unistd.h>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "ORA/ora_database.h"
#include "ORA/ora_engine.h"
#include "ORA/ora_get_rowid.h"
#include "ORA/ora_table.h"
#include "ORA/ora_util.h"
#include "ORA/ora_validator.h"
#include "UDB/udb_record.h"
#include "platform/eora/eora_session.h"

namespace {

using clock_type = std::chrono::steady_clock;

udb_schema bench_schema()
{
    udb_schema s;
    auto add = [&](const wchar_t* name, VARTYPE vt, uint32_t size, uint32_t hint = 0) {
        s.push_back(t_ftd(size, name, vt, false, false, ole_variant(), hint, std::wstring()));
    };
    add(L"ID", VT_I4, 4);
    add(L"CODE", VT_BSTR, 20);
    add(L"NAME", VT_BSTR, 100);
    add(L"QTY", VT_I2, 2);
    add(L"PRICE", VT_DECIMAL, 0, (12 << 8) | 2);
    add(L"RATE", VT_R8, 8);
    add(L"CREATED", VT_DATE, 0);
    add(L"FLAG", VT_BOOL, 2);
    add(L"BIG", VT_I8, 8);
    add(L"NOTE", VT_BSTR, 200);
    return s;
}

std::unique_ptr<udb_record> bench_record(int i)
{
    SYSTEMTIME st{};
    st.wYear = static_cast<WORD>(2000 + i % 25);
    st.wMonth = static_cast<WORD>(1 + i % 12);
    st.wDay = static_cast<WORD>(1 + i % 28);
    st.wHour = static_cast<WORD>(i % 24);
    st.wMinute = static_cast<WORD>(i % 60);
    st.wSecond = static_cast<WORD>((i * 7) % 60);
    auto r = std::make_unique<udb_record>();
    auto add = [&](const wchar_t* name, const ole_variant& v) {
        r->push_back(std::make_unique<udb_field>(name, 0, v));
    };
    add(L"ID", ole_variant(i));
    add(L"CODE", ole_variant(L"C-" + std::to_wstring(i % 1000)));
    add(L"NAME", ole_variant(L"Item number " + std::to_wstring(i) + L" – größer"));
    add(L"QTY", ole_variant(static_cast<short>(i % 1000)));
    add(L"PRICE", ole_variant::from_wstring(std::to_wstring(i % 100000) + L".25", VT_DECIMAL));
    add(L"RATE", ole_variant(i * 0.125));
    add(L"CREATED", ole_variant(st));
    add(L"FLAG", ole_variant(i % 2 == 0));
    add(L"BIG", ole_variant(static_cast<long long>(i) * 1000003LL));
    add(L"NOTE", i % 10 ? ole_variant(std::wstring(L"it's note ") + std::to_wstring(i)) : ole_variant());
    return r;
}

double seconds(clock_type::duration d) { return std::chrono::duration<double>(d).count(); }

} // namespace

int main(int argc, char** argv)
{
    const int rows = argc > 1 ? std::atoi(argv[1]) : 100000;
    const auto dir = std::filesystem::temp_directory_path() / ("tvx_bench_ora_" + std::to_string(::getpid()));
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    eora::session::create_service((dir / "BENCH.db").string(), "manager");
    {
        ora_engine engine;
        engine.b_owned_by_user = false;
        std::unique_ptr<ora_database> db = engine.open_db(L"file:" + dir.wstring(), L"SYSTEM", L"manager");
        db->b_array_insert = false;
        db->create_schema(L"B");
        ora_in_validator in_validator;

        std::vector<std::unique_ptr<udb_record>> records;
        records.reserve(static_cast<size_t>(rows));
        for (int i = 0; i < rows; ++i) records.push_back(bench_record(i));

        // The engine's path: one literal INSERT per row, ROWID returned, committed.
        udb_schema s1 = bench_schema();
        udb_indexes none;
        std::unique_ptr<udb_recordset> table = db->create_table(L"\"B\".\"T1\"", s1, none);
        const auto t0 = clock_type::now();
        for (auto& r : records) table->append_record(r.get());
        const double engine_path = seconds(clock_type::now() - t0);
        table.reset();

        // The same statements sent without the engine around them.
        udb_schema s2 = bench_schema();
        db->create_table(L"\"B\".\"T2\"", s2, none).reset();
        std::vector<std::wstring> texts;
        texts.reserve(records.size());
        for (auto& r : records) {
            std::wstring cols, vals;
            for (size_t i = 0; i < r->size(); ++i) {
                if (i) {
                    cols += L", ";
                    vals += L", ";
                }
                cols += L"\"" + (*r)[i].name + L"\"";
                std::wstring lit = to_oracle_str(&(*r)[i], true);
                vals += lit.empty() || lit == L"''" ? L"NULL" : lit;
            }
            texts.push_back(L"INSERT /*+ APPEND */ INTO \"B\".\"T2\" (" + cols + L") VALUES(" + vals +
                            L") RETURNING ROWID INTO :1");
        }
        ora_get_rowid fetcher;
        const auto t1 = clock_type::now();
        for (const auto& sql : texts) fetcher.do_insert(sql);
        const double server_path = seconds(clock_type::now() - t1);

        const double share = engine_path > 0 ? (engine_path - server_path) / engine_path : 0;
        std::printf("rows: %d\n", rows);
        std::printf("ora_table::append_record: %.0f rows/s (%.1f us/row)\n", rows / engine_path,
                    1e6 * engine_path / rows);
        std::printf("same INSERT texts through OCI only: %.0f rows/s (%.1f us/row)\n", rows / server_path,
                    1e6 * server_path / rows);
        std::printf("engine's own share of the time: %.1f%%\n", 100.0 * share);
    }
    std::filesystem::remove_all(dir);
    return 0;
}
