// Whole conversions between the two embedded servers: a temporary folder with a
// SQL Server and an Oracle service, the driver wired to both, recording front
// end and error handler, and a value-by-value comparison of what arrived.
#pragma once
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "TK/tk_logger.h"
#include "platform/eora/eora_session.h"
#include "platform/mssx/mssx_connection.h"
#include "tarvex/conversion_front_end.h"
#include "tarvex/error_handler.h"
#include "tarvex/tarvex_convertor.h"

class recording_handler : public error_handler {
public:
    struct shown {
        int level;
        std::string message; // context and text, on one line
    };
    recording_handler();
    void handle(const tk_exception& e, bool may_continue) override;
    std::vector<shown> errors;
};

class recording_front_end : public conversion_front_end {
public:
    void progress(const std::wstring& text) override { lines.push_back(text); }
    bool convert_all_when_empty() const override { return all_when_empty; }
    bool checks_missing_tables() const override { return true; }
    void table_missing(const std::wstring& name) override { missing.push_back(name); }
    void run_failed(const std::exception& e) override { failures.push_back(e.what()); }

    bool all_when_empty = true;
    std::vector<std::wstring> lines;
    std::vector<std::wstring> missing;
    std::vector<std::string> failures;
};

// Rows of an Oracle query as the embedded server returns them.
struct ora_rows {
    std::vector<eora::result_column> columns;
    std::vector<std::vector<eora::value>> rows;
};

class conversion_env {
public:
    static constexpr const char* service = "ORCL";
    static constexpr const char* system_password = "manager";

    // `ora_charset` is the Oracle service's database character set.
    explicit conversion_env(const std::string& ora_charset = "AL32UTF8");
    ~conversion_env();
    conversion_env(const conversion_env&) = delete;
    conversion_env& operator=(const conversion_env&) = delete;

    const std::string& dir() const { return dir_; }
    std::string mss_dir() const { return dir_ + "/mss"; }
    std::string ora_dir() const { return dir_ + "/ora"; }

    // Source side.
    void create_database(const std::string& db);
    // Runs a T-SQL script with GO batches; every statement must succeed.
    void run_script(const std::string& db, const std::string& script);
    void load_file(const std::string& db, const std::string& path);
    mssx_result source_query(const std::string& db, const std::string& sql);

    // Target side (queries run as SYSTEM, who sees every schema).
    // A user holding what a conversion needs (tvx-ora create-user grants the same).
    void create_user(const std::string& user, const std::string& password);
    // A user holding exactly `privileges`.
    void create_user(const std::string& user, const std::string& password, const std::vector<std::string>& privileges);
    ora_rows oracle_query(const std::string& sql);
    void oracle_exec(const std::string& sql);
    // First column of every row, as text.
    std::vector<std::string> oracle_list(const std::string& sql);
    int64_t oracle_count(const std::string& quoted_table);
    std::set<std::string> oracle_tables(const std::string& owner);

    // Points the driver at both servers (Windows authentication to the source).
    void configure(tarvex_convertor& driver, const std::string& db, const std::string& user,
                   const std::string& password);

private:
    std::string dir_;
};

// How one converted table relates to its source.
struct table_map {
    std::map<std::string, std::string> renamed; // source column -> target column
    std::set<std::string> dropped;              // source columns that must not arrive
};

// Compares every row and value of a source table (or query) with an Oracle table,
// as multisets of rows; reports each difference through gtest.
void expect_same_rows(conversion_env& env, const std::string& db, const std::string& source_sql,
                      const std::string& oracle_table, const table_map& map = {});

// Every base table of the source database compared with "schema"."table" in
// Oracle (except those in `except`, named "schema.table"); gives the names compared.
std::set<std::string> expect_every_table_converted(conversion_env& env, const std::string& db,
                                                   const std::set<std::string>& except = {});

// The canonical text of a decimal number: no "+", no leading or trailing zeros.
std::string canonical_number(const std::string& text);
