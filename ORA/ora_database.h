// The Oracle target database: catalog reads, schema and table DDL, keys, indexes, views.
// The catalog side is in ora_database.cpp; table creation, views, foreign keys and the
// table openers live in files of their own.
#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>
#include "ORA/ora_error_sink.h"
#include "ORA/ora_identity_registry.h"
#include "UDB/udb_database.h"

class ora_database : public udb_database {
public:
    ora_database(const std::wstring& data_source, uint32_t mode);
    ~ora_database() override;

    // ---- catalog (ora_database.cpp)
    void init_tables(bool b_owned_by_user);
    void init_views();
    const std::vector<std::wstring>& get_tables() override;
    bool is_table_exist(const std::wstring& name) override;
    // Runs one statement (no commit); always answers null.
    std::unique_ptr<udb_recordset> query(const std::wstring& sql) override;
    // Parses only; an invalid text raises ora_exception.
    bool test_query(const std::wstring& sql) override;
    // Creates the user unless it exists; no privilege for it (ORA-01031) or a container's root (ORA-65096)
    // raise an error that refuses every later table too.
    void create_schema(const std::wstring& name) override;
    bool user_exists(const std::wstring& name);
    // Drops the table, then removes it from the list (the base delete_tab only removes).
    bool delete_tab(const std::wstring& name) override;
    std::wstring get_tn_mapped_name_ex(const std::wstring& table);
    std::wstring get_fn_mapped_name_ex(const std::wstring& table, const std::wstring& field);

    // ---- table creation, identity sequence and trigger (ora_database_create.cpp)
    std::unique_ptr<udb_recordset> create_table(const std::wstring& table, udb_schema& schema,
                                                udb_indexes& indexes) override;
    // Moves the table's identity sequence above the highest value in the table, when it is not there already.
    // An identity that cannot be moved is an error.
    void advance_identity(const std::wstring& table);

    // ---- what this program made for a table (ora_database_identity.cpp)
    // The identity column, sequence and trigger of the table: from this run, else from the catalog.
    std::optional<ora_identity_registry::identity> find_identity(const std::wstring& table);
    // The sequence and column of a trigger body as this program writes it.
    static bool parse_identity_trigger(const std::wstring& body, std::wstring& sequence, std::wstring& column);
    // LAST_NUMBER of a sequence of the connected user (the next value it gives); empty when there is none.
    std::wstring sequence_next_value(const std::wstring& sequence);
    // Index and key names of the table that live in the connected user's schema.
    std::vector<std::wstring> own_index_names(const std::wstring& table);
    // Drops the sequence of a table that has been dropped; a failure is reported for the table.
    void drop_identity_sequence(const ora_identity_registry::identity& id, const std::wstring& table);

    // ---- foreign keys and views (ora_database_views.cpp)
    void create_relationships(udb_relationships& relationships) override;
    void create_views(view_list& views) override;
    void create_fk_index_if(const std::wstring& table, const std::vector<std::wstring>& columns);
    std::wstring ora_gen_idx_name(const std::wstring& table);
    std::wstring refine_view_in(const std::wstring& text);
    std::wstring refine_view_out(const std::wstring& text);
    std::wstring remove_comments(const std::wstring& text);

    // ---- table openers (ora_database_tables.cpp)
    std::unique_ptr<udb_recordset> get_table(const std::wstring& table, const std::wstring& query, int mode) override;
    std::unique_ptr<udb_recordset> get_table1(const std::wstring& table, int mode) override;

    bool b_uppercase = false;         // names derived by the run are upper-cased
    bool b_array_insert = true;       // the batched insert path; the run clears it
    ora_identity_registry identities; // sequences and triggers of the tables created here
    ora_error_sink error_sink;        // errors the Oracle side reports and goes on from

    static constexpr uint32_t k_ora_insufficient_privileges = 1031;
    static constexpr uint32_t k_ora_common_user_only = 65096;

    // Lines for the run's console: names made here that differ from the source's, what was not carried over.
    std::vector<std::wstring> notes;
    std::vector<std::wstring> take_notes();

private:
    std::set<std::wstring> known_users; // users seen in the catalog, asked once each
};
