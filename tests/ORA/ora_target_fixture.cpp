#include "ora_target_fixture.h"

#include <unistd.h>
#include <atomic>
#include <cwchar>

#include "ORA/ora_query_results.h"
#include "ORA/ora_stmt.h"
#include "platform/eora/eora_session.h"

namespace {
std::atomic<int> serial{0};
}

void ora_target_test::SetUp()
{
    dir = std::filesystem::temp_directory_path() /
          ("tvx_ora_h_" + std::to_string(::getpid()) + "_" + std::to_string(serial++));
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    eora::session::create_service((dir / "ORCL.db").string(), "manager");
    engine = std::make_unique<ora_engine>();
    engine->b_owned_by_user = false; // as the run works: across owners
    db = engine->open_db(L"file:" + dir.wstring(), L"SYSTEM", L"manager");
    db->b_array_insert = false;
    db->create_schema(L"S");
    in_validator = std::make_unique<ora_in_validator>();
}

void ora_target_test::TearDown()
{
    in_validator.reset();
    db.reset();
    engine.reset();
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
}

std::vector<std::vector<std::wstring>> ora_target_test::rows(const std::wstring& sql)
{
    std::vector<std::vector<std::wstring>> out;
    ora_query_results q(0, sql);
    while (!q.is_eof()) {
        udb_record* r = q.get_item();
        if (!r) break;
        std::vector<std::wstring> row;
        for (size_t i = 0; i < r->size(); ++i) {
            const VARTYPE vt = (*r)[i].get_type();
            if (vt == VT_EMPTY || vt == VT_NULL) {
                row.push_back(L"<NULL>");
            } else if (vt == VT_R8 || vt == VT_R4) {
                // Numbers as a person writes them: 1, 2.5.
                wchar_t buf[64];
                std::swprintf(buf, 64, L"%.15g", (*r)[i].to_double());
                row.push_back(buf);
            } else {
                row.push_back((*r)[i].to_wstring());
            }
        }
        out.push_back(std::move(row));
    }
    return out;
}

std::wstring ora_target_test::value(const std::wstring& sql)
{
    auto r = rows(sql);
    if (r.empty() || r[0].empty()) return L"<no row>";
    return r[0][0];
}

void ora_target_test::run(const std::wstring& sql) { db->query(sql); }

t_ftd make_column(const std::wstring& name, VARTYPE vt, uint32_t size, bool not_null, const ole_variant& def,
                  uint32_t hint)
{
    return t_ftd(size, name, vt, not_null, false, def, hint, std::wstring());
}

std::unique_ptr<udb_field> make_field(const std::wstring& name, const ole_variant& value, int32_t size)
{
    return std::make_unique<udb_field>(name, size, value);
}
