// One whole conversion: every selected query and table, source to target.
#include "MSS/mss_split_tab_name.h"
#include "MSS/odb_exception.h"
#include "OLE/ole_bool_map.h"
#include "ORA/ora_engine.h"
#include "ORA/ora_exception.h"
#include "ORA/ora_name_bytes.h"
#include "ORA/ora_table.h"
#include "ORA/ora_util.h"
#include "ORA/ora_validator.h"
#include "TK/tk_exception.h"
#include "TK/tk_logger.h"
#include "TK/tk_text.h"
#include "TK/tk_wstring.h"
#include "UDB/udb_value_exception.h"
#include "tarvex/count_text.h"
#include "tarvex/error_handler.h"
#include "tarvex/init_conversion.h"
#include "tarvex/mutator_conversion_exception.h"
#include "tarvex/stop_advice.h"
#include "tarvex/tarvex_convertor.h"

namespace {

const wchar_t* const k_quote_dot_quote = L"\".\"";

std::wstring quoted_pair(const std::wstring& owner, const std::wstring& table)
{
    return L"\"" + owner + k_quote_dot_quote + table + L"\"";
}

// Safe names of the table part alone: 24 bytes and a five-digit number.
std::wstring numbered_table(const std::wstring& table, int n)
{
    wchar_t digits[8];
    std::swprintf(digits, 8, L"%05d", n % 100000);
    return ora_fit_bytes(table, 24) + digits;
}

} // namespace

void tarvex_convertor::progress(const std::wstring& text)
{
    tk_logger::log(3, L"%s", text.c_str());
    if (front_end) front_end->progress(text);
}

std::wstring tarvex_convertor::oracle_owner() const
{
    // Oracle keeps an unquoted user name in upper case.
    return oracle_engine.get_schema_name();
}

void tarvex_convertor::operator()()
{
    tk_logger::log(2, "tarvex_convertor::operator()");
    completed.store(false);
    summary.reset();
    init_conversion scope(&finished, 0, front_end);
    try {
        ole_bool_map bool_map(0);
        ora_in_validator index_validator;
        if (!oracle) throw tk_exception("Not connected to the Oracle database", 1);
        oracle->b_uppercase = uppercase;
        oracle->b_array_insert = false;
        // Steps the Oracle side goes on from (a sequence it may not create...) reach the user too.
        oracle->error_sink.set_handler([this](const tk_exception& e, const std::wstring& context) {
            // The entry did not arrive whole (an index, a key, a sequence is missing).
            entry_failed = true;
            error_handler& h = error_handler::ref();
            const std::string saved = h.get_context();
            h.set_table_context(context);
            h.handle(e, false);
            h.set_context_text(saved);
        });

        std::unique_ptr<mss_database> source = open_source(src);
        if (front_end && front_end->convert_all_when_empty() && selected_tables.empty() && selected_queries.empty())
            selected_tables = source->get_tables();
        tables_total.store(static_cast<uint32_t>(selected_tables.size()));
        progress(L"Converting database '" + src + L"' (" + count_text(selected_tables.size(), L"table", L"tables") +
                 L")\n");
        run_entries(*source);
        progress(summary.text(false));

        error_handler::ref().clear_context();
        tables_total.store(0);
        tables_done.store(0);
        completed.store(true);
    } catch (const tk_final_exception&) {
    } catch (const tk_exception& e) {
        error_handler::ref().handle(e, true);
    } catch (const std::exception& e) {
        if (front_end) front_end->run_failed(e);
    }
}

void tarvex_convertor::run_entries(mss_database& source)
{
    ora_tn_validator validator(selected_tables, oracle->get_tables());
    for (const auto& entry : selected_queries) {
        tk_logger::log(1, L"udb_validator::add_existing_name(%s)", entry.first.c_str());
        validator.add_existing_name(entry.first);
    }
    // The tables join the list behind the queries; a second run adds none twice.
    for (const auto& table : selected_tables) {
        bool present = false;
        for (const auto& entry : selected_queries) present = present || (entry.second.empty() && entry.first == table);
        if (!present) selected_queries.emplace_back(table, L"");
    }
    assigned.clear();
    users.clear();
    reported_users.clear();
    std::vector<std::wstring> schemas;
    for (const auto& entry : selected_queries) {
        std::wstring table, owner;
        mss_split_tab_name(entry.first, table, owner);
        schemas.push_back(owner);
    }
    users.plan(schemas, uppercase);
    const auto entries = selected_queries;
    for (const auto& entry : entries) {
        entry_failed = false;
        try {
            convert_entry(source, entry, validator);
        } catch (const tk_final_exception&) {
            throw;
        } catch (const tk_exception& e) {
            report_notes();
            error_handler::ref().set_table_context(entry.first);
            if (const auto* ora = dynamic_cast<const ora_exception*>(&e); ora && ora->refuses_every_row())
                stop_run(*ora);
            if (const auto* odb = dynamic_cast<const odb_exception*>(&e); odb && odb->is_storage_failure())
                stop_run(e,
                         "The source database cannot be read: its files are damaged or unreadable; have them "
                         "checked (DBCC CHECKDB) before running again.");
            report_for_entry(e);
            tables_done.fetch_add(1);
        }
        if (entry_failed)
            summary.table_failed();
        else
            summary.table_converted();
    }
}

std::wstring tarvex_convertor::derive_target_name(const std::wstring& mutated_name)
{
    std::wstring table, owner;
    mss_split_tab_name(mutated_name, table, owner);
    std::wstring target;
    if (!is_view_owned()) {
        if (owner.empty()) {
            owner = oracle_owner();
        } else {
            // The user is named as any other Oracle name is, and its tables go to exactly that user.
            const std::wstring user = users.user_of(owner);
            const bool case_only = uppercase && tk_wstring(owner).to_upper() == user;
            if (user != owner && !case_only && reported_users.insert(owner).second)
                progress(L"Schema '" + owner + L"' is Oracle user '" + user + L"'\n");
            owner = user;
            progress(L"Creating schema if necessary: '" + owner + L"'\n");
            oracle->create_schema(owner);
        }
        target = quoted_pair(owner, table);
        tk_logger::log(2, L"Got full table name: '%s'", target.c_str());
    } else {
        // The user's new table name, if any, counts here too.
        tk_logger::log(2, "Create table name in 'No-schema' mode");
        target = quoted_pair(oracle_owner(), table);
        tk_logger::log(2, L"new_tab_name=%s", target.c_str());
    }
    return target;
}

void tarvex_convertor::convert_entry(mss_database& source, const std::pair<std::wstring, std::wstring>& entry,
                                     ora_tn_validator& validator)
{
    const std::wstring& name = entry.first;
    std::unique_ptr<udb_recordset> src_rs = open_source_entry(source, name, entry.second);
    if (src_rs) {
        const std::wstring target = target_name(name, *src_rs, validator);
        bool existed = oracle->is_table_exist(target);
        if (existed && mode == 2) {
            keep_existing_target(target, *src_rs);
        } else if (!existed || settle_existing_target(target)) {
            std::unique_ptr<udb_recordset> dst = open_target(target, *src_rs, existed);
            report_notes();
            record_target_name(name, target, validator);
            copy_records(name, *src_rs, *dst);
            // The table's last LOB writes and its identity sequence are settled here, where an error can still be
            // reported.
            dst->finish_writes();
            report_notes();
        }
    }
    tables_done.fetch_add(1);
}

std::unique_ptr<udb_recordset> tarvex_convertor::open_source_entry(mss_database& source, const std::wstring& name,
                                                                   const std::wstring& query)
{
    set_current_name(name);
    records_total.store(0);
    records_done.store(0);
    if (query.empty() && front_end && front_end->checks_missing_tables() && !source.is_table_exist(name)) {
        tk_logger::log(3, L"Table %s not exists", name.c_str());
        front_end->table_missing(name);
        entry_failed = true;
        return nullptr;
    }
    std::unique_ptr<udb_recordset> src_rs =
        query.empty() ? source.get_table1(name, 1) : source.get_table(name, query, 1);
    if (!src_rs) throw tk_exception(L"Table '" + name + L"' does not exist in the source database", 0);
    progress(L"Converting table '" + name + L"' (" + count_text(src_rs->record_count, L"record", L"records") + L")\n");
    return src_rs;
}

std::wstring tarvex_convertor::target_name(const std::wstring& name, udb_recordset& src_rs, ora_tn_validator& validator)
{
    const std::wstring mutated = modify1(name, src_rs.schema, src_rs.indexes);
    std::wstring target = derive_target_name(mutated);
    if (uppercase) target = tk_wstring(target).to_upper();
    if (!validator.is_acceptable(target)) {
        target = validator.get_safe_name(target);
        tk_logger::log(3, L"Got safe table name '%s'", target.c_str());
    }
    // Two entries of one run never share a target: the later one is numbered.
    auto parts = ora_split_name(target);
    auto taken = [&](const std::pair<std::wstring, std::wstring>& p) { return assigned.contains(p.first, p.second); };
    for (int n = 1; taken(parts); ++n) {
        std::wstring table = numbered_table(parts.second, n);
        target = parts.first.empty() ? L"\"" + table + L"\"" : quoted_pair(parts.first, table);
        parts = ora_split_name(target);
        tk_logger::log(3, L"Got safe table name '%s'", target.c_str());
    }
    assigned.add(parts.first, parts.second);
    std::wstring source_table, source_owner;
    mss_split_tab_name(mutated, source_table, source_owner);
    const bool case_only = uppercase && tk_wstring(source_table).to_upper() == parts.second;
    if (parts.second != source_table && !case_only)
        progress(L"Table '" + source_table + L"' is named '" + parts.second + L"'\n");
    return target;
}

void tarvex_convertor::report_notes()
{
    for (const auto& note : oracle->take_notes()) progress(note);
}

bool tarvex_convertor::settle_existing_target(const std::wstring& target)
{
    tk_logger::log(2, L"Table %s already exists", target.c_str());
    if (mode == 0) {
        // What this program made for the table goes with it: its identity sequence, and its index names, which
        // the new table takes again.
        const auto identity = oracle->find_identity(target);
        const std::vector<std::wstring> index_names = oracle->own_index_names(target);
        try {
            oracle->delete_tab(target);
        } catch (const ora_exception& e) {
            if ((e.code & 0xFFFF) == 54)
                throw tk_exception(L"Cannot delete table because it is busy with another process", 0);
            throw;
        }
        if (identity) oracle->drop_identity_sequence(*identity, target);
        if (auto* indexes = tk_singleton<ora_in_validator>::find()) indexes->release(index_names);
    } else if (mode == 2) {
        tk_logger::log(2, "Skip existing table");
        return false;
    } else {
        if (mode == 1) tk_logger::log(2, "Merge into existing table");
        oracle->b_array_insert = false;
    }
    return true;
}

void tarvex_convertor::keep_existing_target(const std::wstring& target, udb_recordset& src_rs)
{
    tk_logger::log(2, "Skip existing table");
    // A kept table that an interrupted run filled may hold identity values its sequence has not passed.
    oracle->advance_identity(target);
    if (tab_def) return;
    const uint32_t held = ora_eng().get_records_cnt(target);
    if (held != src_rs.record_count)
        throw tk_exception(L"The existing table " + target + L" was kept (skip mode), but it holds " +
                               std::to_wstring(held) + L" records where the source has " +
                               std::to_wstring(src_rs.record_count) +
                               L" (left by an interrupted run?). Convert it again with overwrite or merge mode.",
                           0);
}

std::unique_ptr<udb_recordset> tarvex_convertor::open_target(const std::wstring& target, udb_recordset& src_rs,
                                                             bool existed)
{
    std::unique_ptr<udb_recordset> dst;
    if (oracle->is_table_exist(target)) {
        dst = oracle->get_table1(target, 8);
    } else {
        udb_indexes none;
        dst = oracle->create_table(target, src_rs.schema, skip_idx ? none : src_rs.indexes);
        existed = false;
    }
    // Only a table that was there before can disagree with the source.
    const bool merging = mode != 0 && mode != 2;
    if (merging && existed && !src_rs.schema.conform_to(dst->schema))
        throw tk_exception(L"The structure of data source does not conform to the destination table.", 0);
    return dst;
}

void tarvex_convertor::record_target_name(const std::wstring& name, const std::wstring& target,
                                          ora_tn_validator& validator)
{
    if (target != name) {
        tk_logger::log(2, L"Store generated table name '%s'", target.c_str());
        tk_logger::log(1, L"udb_validator::add_existing_name(%s)", target.c_str());
        validator.add_existing_name(target);
        tk_logger::log(2, L"udb_database::add_tn_mapping(%s->%s)", name.c_str(), target.c_str());
        oracle->names_map.add_tn_mapping(name, target);
    }
    validator.restricted_names.push_back(target);
}

void tarvex_convertor::copy_records(const std::wstring& name, udb_recordset& src_rs, udb_recordset& dst)
{
    records_total.store(src_rs.record_count);
    if (src_rs.record_count == 0 || tab_def) return;
    ora_table_mutator* tm = get_table_mutator(name);
    const bool mutate = tm && tm->has_field_mutators();
    src_rs.reset();
    while (!src_rs.is_eof()) {
        tk_logger::log(1, "Converting %d record", static_cast<int>(records_done.load()));
        try {
            udb_record* record = src_rs.get_item();
            tk_logger::log(2, L"udb_db_mutator::modify2(%s)", name.c_str());
            if (record) {
                if (mutate)
                    record = tm->modify2(record);
                else
                    tk_logger::log(2, "Not found");
                dst.append_record(record);
                summary.record_copied();
            } else {
                tk_logger::log(2, "No record at this position");
            }
        } catch (const ora_exception& e) {
            error_handler::ref().set_record_context(name, static_cast<int>(records_done.load()) + 1);
            summary.records_refused(1);
            if (e.refuses_every_row()) stop_run(e);
            error_handler::ref().handle(e, false);
        } catch (const mutator_conversion_exception& e) {
            // The mapping refuses this table's values alike: one report, then the next table.
            error_handler::ref().set_table_context(name);
            // This record and every later one stay behind.
            const uint32_t done = records_done.load();
            summary.records_refused(src_rs.record_count > done ? src_rs.record_count - done : 1);
            report_for_entry(e);
            break;
        } catch (const udb_value_exception& e) {
            error_handler::ref().set_record_context(name, static_cast<int>(records_done.load()) + 1);
            summary.records_refused(1);
            error_handler::ref().handle(e, false);
        }
        src_rs.next();
        records_done.fetch_add(1);
    }
}

void tarvex_convertor::stop_run(const ora_exception& e)
{
    // Reported once as an error that ends the run: every later row would be refused the same way.
    // Oracle's own message and what to do about it; the code map's text would hide which error it was.
    stop_run(e, stop_advice(e));
}

void tarvex_convertor::stop_run(const tk_exception& e, const std::string& advice)
{
    tk_exception stop(std::string(e.what()) + (advice.empty() ? "" : "\n" + advice), TK_LEVEL_STOP);
    summary.table_failed();
    try {
        error_handler::ref().handle(stop, false);
    } catch (...) {
        // A front end that ends the run (or the process) from its handler still gets the summary.
        progress(summary.text(true));
        throw;
    }
    progress(summary.text(true));
    throw tk_final_exception();
}

void tarvex_convertor::report_for_entry(const tk_exception& e)
{
    entry_failed = true;
    error_handler::ref().handle(e, false);
}
