// The conversion driver: every setting of a conversion, both connections, the
// type mappings, and the run itself.
#pragma once
#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "TK/tk_exception.h"
#include "TK/tk_serializer.h"
#include "TK/tk_singleton.h"
#include "UDB/udb_name_pairs.h"
#include "UDB/udb_schema.h"
#include "tarvex/conversion_front_end.h"
#include "tarvex/mssql_converter_impl.h"
#include "tarvex/ora_db_mutator.h"
#include "tarvex/oracle_converter_impl.h"
#include "tarvex/oracle_user_names.h"
#include "tarvex/run_summary.h"
#include "tarvex/udb_converter.h"

class tarvex_convertor : public udb_converter,
                         public mssql_converter_impl,
                         public oracle_converter_impl,
                         public tk_serializer,
                         public ora_db_mutator,
                         public tk_singleton<tarvex_convertor> {
public:
    enum class settings_source { agent_defaults, registry };
    static constexpr const char* registry_key = "Software\\Quellsoft\\Korvane";

    explicit tarvex_convertor(settings_source source);
    ~tarvex_convertor() override;

    // One whole conversion (the run); reports through the front end and the error handler.
    void operator()() override;
    bool test_query(const std::wstring& text) override;

    std::vector<std::wstring>& get_all_tables(std::vector<std::wstring>& list);
    udb_schema get_schema(const std::wstring& name);

    // The registry image of the settings.
    bool serialize(bool store);

    // Profiles.
    bool store_profile(udb_profile& profile);
    bool load_profile(udb_profile& profile);
    // A profile's mode text that the run takes: "0", "1" or "2".
    static bool is_valid_mode(const std::wstring& text);
    bool open_profile(const std::wstring& path);
    bool save_profile(const std::wstring& path);

    void set_front_end(conversion_front_end* fe) { front_end = fe; }
    // Whether the last run reached its normal end.
    bool run_completed() const { return completed.load(); }
    // What the last (or the running) run converted and refused; safe to read from any thread.
    const run_summary& get_summary() const { return summary; }
    // The last run reached its end and every selected table and record arrived.
    bool run_succeeded() const { return run_completed() && summary.everything_arrived(); }

    bool is_view_owned() const { return mssql_server.is_view_owned(); }
    void set_view_owned(bool value) { mssql_server.b_view_owned = value; }
    bool is_connect_as_dbo() const { return mssql_server.connect_as_dbo; }
    void set_as_dbo(bool value) { mssql_server.set_as_dbo(value); }

    uint32_t mode = 0; // 0 overwrite, 1 merge, 2 skip; others act as merge
    bool uppercase = false;

private:
    void set_defaults();
    void run_entries(mss_database& source);
    // One entry of the run, step by step: the source opened, the target named,
    // an existing target dropped, kept or skipped, the target opened or created,
    // its name recorded, the rows copied.
    void convert_entry(mss_database& source, const std::pair<std::wstring, std::wstring>& entry,
                       class ora_tn_validator& validator);
    // Null when the agent finds the listed table missing (reported already).
    std::unique_ptr<udb_recordset> open_source_entry(mss_database& source, const std::wstring& name,
                                                     const std::wstring& query);
    std::wstring target_name(const std::wstring& name, udb_recordset& src_rs, ora_tn_validator& validator);
    // By the mode; false when the table is to be skipped.
    bool settle_existing_target(const std::wstring& target);
    // Skip mode: the existing table stays; one that does not hold the source's row count is reported.
    void keep_existing_target(const std::wstring& target, udb_recordset& src_rs);
    std::unique_ptr<udb_recordset> open_target(const std::wstring& target, udb_recordset& src_rs, bool existed);
    void record_target_name(const std::wstring& name, const std::wstring& target, ora_tn_validator& validator);
    void copy_records(const std::wstring& name, udb_recordset& src_rs, udb_recordset& dst);
    // Reports an error that every later row would meet too, and ends the run.
    [[noreturn]] void stop_run(const class ora_exception& e);
    [[noreturn]] void stop_run(const tk_exception& e, const std::string& advice);
    // Reported for the current entry: it counts as failed.
    void report_for_entry(const tk_exception& e);
    std::wstring derive_target_name(const std::wstring& mutated_name);
    std::wstring oracle_owner() const;
    void progress(const std::wstring& text);

    conversion_front_end* front_end = nullptr; // not owned; null runs without progress output
    std::atomic<bool> completed{false};
    run_summary summary;
    // Set when anything of the current entry was reported (run thread only).
    bool entry_failed = false;
    // (owner, table) pairs given to entries of the current run.
    udb_name_pairs assigned;
    // The Oracle user of each source schema of the run, and those whose other name was reported.
    oracle_user_names users;
    std::set<std::wstring> reported_users;
    // Reports what the Oracle side made otherwise than the source has it.
    void report_notes();
    settings_source source_kind;
};
