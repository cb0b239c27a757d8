#include "MSS/odb_database.h"

#include "MSS/mss_engine.h"
#include "MSS/odb_command.h"
#include "MSS/odb_recordset.h"
#include "TK/tk_logger.h"

odb_database::odb_database(const std::wstring& name_, IDBInitialize* ds, IOpenRowset* s, uint32_t mode_)
    : udb_database(name_, mode_, false), session(s), data_source(ds)
{
    tk_logger::log(2, "odb_database::ctor");
}

odb_database::~odb_database()
{
    data_source.release();
    session.release();
}

std::unique_ptr<udb_recordset> odb_database::query(const std::wstring& sql)
{
    tk_logger::log(1, L"odb_database::query(%s)", sql.c_str());
    odb_command cmd(session.p);
    ole_com_ptr<IRowset> rowset;
    cmd.execute(sql, &rowset);
    return std::make_unique<odb_recordset>(rowset.p);
}

bool odb_database::test_query(const std::wstring& sql)
{
    tk_logger::log(2, L"odb_database::test_query(%s)", sql.c_str());
    try {
        odb_command cmd(session.p);
        ole_com_ptr<IRowset> rowset;
        cmd.execute(sql, &rowset);
        rowset.release();
    } catch (...) {
        tk_logger::log(1, "Query failed");
        return false;
    }
    tk_logger::log(1, "Query succeeded");
    return true;
}

bool odb_database::delete_tab(const std::wstring& table)
{
    tk_logger::log(2, L"odb_database::delete_tab(%s)", table.c_str());
    query(L"DROP TABLE " + mss_engine::get_safe_tname(table)).reset();
    return udb_database::delete_tab(table);
}
