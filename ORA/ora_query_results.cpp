#include "ORA/ora_query_results.h"
#include "ORA/ora_engine.h"
#include "TK/tk_exception.h"
#include "TK/tk_logger.h"

// ---- ora_record

ora_record::ora_record(const std::vector<std::unique_ptr<ora_type>>& holders)
{
    tk_logger::log(1, "ora_record::ctor");
    int i = 0;
    for (const auto& h : holders) {
        tk_logger::log(1, "Column #%d: null_ind=%d", i, static_cast<int>(h->get_indicator()));
        const int32_t size = static_cast<int32_t>(h->get_size());
        if (h->is_null()) {
            tk_logger::log(1, "Field #%d has NULL value", i);
            push_back(std::make_unique<udb_field>(h->get_name(), size, ole_variant()));
        } else {
            push_back(std::make_unique<udb_field>(h->get_name(), size, h->to_variant()));
        }
        ++i;
    }
}

// ---- ora_query_results

ora_query_results::ora_query_results(uint32_t count, const std::wstring& sql) : udb_recordset(std::wstring())
{
    tk_logger::log(1, "ora_query_results::ctor(1)");
    initialize(count, sql);
}

ora_query_results::ora_query_results(udb_database* database, const std::wstring& name, const std::wstring& condition)
    : udb_recordset(database, name, condition, true)
{
    tk_logger::log(1, "ora_query_results::ctor(2)");
}

ora_query_results::~ora_query_results()
{
    tk_logger::log(1, "ora_query_results::dtor");
    current.reset();
    holders.clear();
    tk_logger::log(1, "ora_query_results::dtor - at the END");
}

void ora_query_results::append_record(udb_record*)
{
    tk_logger::log(1, "ora_query_results::append_record");
    throw tk_mail_assertion("ora_qres", 53);
}

std::unique_ptr<ora_type> ora_query_results::gen_co_by_type(OCIParam* param, uint16_t type)
{
    tk_logger::log(1, "ora_query_results::gen_co_by_type(%d)", static_cast<int>(type));
    switch (type) {
    case 1:
    case 5:
    case 96:
        return std::make_unique<ora_string>(param, type);
    case 2:
    case 3:
    case 4:
    case 6:
    case 7:
    case 100: // BINARY_FLOAT and BINARY_DOUBLE are numbers to every reader
    case 101:
        return std::make_unique<ora_number>(param, type);
    case 23:
        return std::make_unique<ora_binary>(param, type);
    case 112:
    case 113:
        return std::make_unique<ora_lob>(param, type);
    case 12:
    case 187:
    case 188:
    case 231:
    case 232:
        return std::make_unique<ora_date>(param, type);
    case 8:
    case 24:
    case 11:
    case 104:
    case 105:
    case 182:
    case 189:
    case 190:
        return std::make_unique<ora_str_repr>(param, type);
    default: // object types (XMLTYPE among them) cannot be fetched as text
        return std::make_unique<ora_dummy>(param, type);
    }
}

void ora_query_results::initialize(uint32_t count, const std::wstring& sql)
{
    tk_logger::log(1, L"ora_query_results::initialize(%d, %s)", static_cast<int>(count), sql.c_str());
    if (b_initialized) throw tk_mail_assertion("ora_qres", 98);
    column_count = count;
    ora_engine& eng = ora_eng();
    // One execute (no rows yet) runs the query and describes it: its columns
    // are read from the statement, defined, then fetched.
    eng.check_err(stmt.prepare(sql));
    eng.check_err(OCIStmtExecute(eng.get_svc(), stmt.get(), eng.get_err(), 0, 0, nullptr, nullptr, OCI_DEFAULT));
    if (column_count == 0) {
        ub4 n = 0;
        eng.check_err(OCIAttrGet(stmt.get(), OCI_HTYPE_STMT, &n, nullptr, OCI_ATTR_PARAM_COUNT, eng.get_err()));
        column_count = n;
    }
    for (ub4 pos = 1; pos <= column_count; ++pos) {
        tk_logger::log(1, "Processing column #%d", static_cast<int>(pos));
        void* p = nullptr;
        eng.check_err(OCIParamGet(stmt.get(), OCI_HTYPE_STMT, eng.get_err(), &p, pos));
        OCIParam* param = static_cast<OCIParam*>(p);
        try {
            ub2 type = 0;
            eng.check_err(OCIAttrGet(param, OCI_DTYPE_PARAM, &type, nullptr, OCI_ATTR_DATA_TYPE, eng.get_err()));
            auto holder = gen_co_by_type(param, type);
            schema.push_back(holder->get_ftd());
            holders.push_back(std::move(holder));
        } catch (...) {
            OCIDescriptorFree(param, OCI_DTYPE_PARAM);
            throw;
        }
        OCIDescriptorFree(param, OCI_DTYPE_PARAM);
    }
    for (ub4 pos = 1; pos <= holders.size(); ++pos) holders[pos - 1]->define(stmt.get(), pos);
    b_initialized = true;
}

bool ora_query_results::fetch_row()
{
    ora_engine& eng = ora_eng();
    sword st = OCIStmtFetch(stmt.get(), eng.get_err(), 1, OCI_FETCH_NEXT, OCI_DEFAULT);
    eng.check_err(st);
    b_at_end = st == OCI_NO_DATA;
    return !b_at_end;
}

bool ora_query_results::is_eof()
{
    tk_logger::log(1, "ora_query_results::is_eof");
    if (!b_initialized) throw tk_mail_assertion("ora_qres", 85);
    b_fetch_called = true;
    return !fetch_row();
}

udb_record* ora_query_results::get_item()
{
    tk_logger::log(1, "ora_query_results::get_item");
    if (!b_fetch_called) {
        tk_logger::log(1, "fetch wasn't called yet");
        if (!b_initialized) throw tk_mail_assertion("ora_qres", 85);
        if (!fetch_row()) {
            tk_logger::log(1, "status == OCI_NO_DATA!");
            return nullptr;
        }
    } else if (b_at_end) {
        return nullptr; // the buffers hold the last row, not a new one
    }
    current.reset();
    current = std::make_unique<ora_record>(holders);
    b_fetch_called = false;
    return current.get();
}
