// The process-wide Oracle client: OCI environment, error, server, session and service-context handles.
#pragma once
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include "TK/tk_singleton.h"
#include "platform/oci/oci.h"

class ora_database;

// OCI takes text as OraText pointers even in UTF-16 mode.
inline OraText* ora_oci_text(const std::u16string& s)
{
    return reinterpret_cast<OraText*>(const_cast<char16_t*>(s.c_str()));
}

class ora_engine : public tk_singleton<ora_engine> {
public:
    using type_map = std::map<std::wstring, uint16_t>;

    ora_engine();
    ~ora_engine() override;
    ora_engine(const ora_engine&) = delete;
    ora_engine& operator=(const ora_engine&) = delete;

    void initialize();

    std::unique_ptr<ora_database> open_db(const std::wstring& host, const std::wstring& user,
                                          const std::wstring& password, const std::wstring& port,
                                          const std::wstring& service);
    std::unique_ptr<ora_database> open_db(const std::wstring& data_source, const std::wstring& user,
                                          const std::wstring& password);
    // Easy-connect text, or the service alone when host and port are empty.
    static std::wstring make_data_source(const std::wstring& host, const std::wstring& port,
                                         const std::wstring& service);

    // Turns an OCI status into ora_exception; statuses other than errors return normally.
    void check_err(sword status);

    uint32_t get_version();
    uint32_t get_records_cnt(const std::wstring& text, bool is_query);
    uint32_t get_records_cnt(const std::wstring& table) { return get_records_cnt(table, false); }

    // Quotes a table name for SQL (not the validators' safe-name generation).
    static std::wstring get_safe_name(const std::wstring& name);
    // Quotes a column name: always one identifier, whatever it holds.
    static std::wstring quote_column(const std::wstring& name) { return L"\"" + name + L"\""; }
    // A name inside a catalog literal with its single quotes doubled.
    static std::wstring quote_literal_text(const std::wstring& text);

    // Catalog helpers of the table read-back.
    std::wstring get_col_view_name() const;
    // Owner and table of a name ("O"."T" or O.T); the connected schema when it names no owner.
    std::pair<std::wstring, std::wstring> get_owner_and_table(const std::wstring& name) const;
    // The condition that picks one table from a catalog view: owner and table compared as columns (so
    // that the dictionary's index serves it and a dot inside a name is no separator), or the table
    // alone in the user's own views. The column names serve views that call them otherwise.
    std::wstring get_table_cond(const std::wstring& name, const std::wstring& owner_column = L"OWNER",
                                const std::wstring& table_column = L"TABLE_NAME") const;

    bool is_supported_type(const std::wstring& type_name) const;
    static const type_map& get_ora_supported_types();

    OCIEnv* get_env() const { return env; }
    OCIError* get_err() const { return err; }
    OCISvcCtx* get_svc() const { return svc; }
    bool is_attached() const { return b_attached; }

    // Bytes a character of the national character set takes at most (AL16UTF16 2, UTF8 3), read at connect.
    uint32_t national_char_bytes = k_al16utf16_bytes;
    static constexpr uint32_t k_al16utf16_bytes = 2;
    static constexpr uint32_t k_utf8_bytes = 3;
    // The national character set's width, from the database's NLS parameters; AL16UTF16 when it cannot be read.
    void read_national_charset();

    bool b_int64 = false;        // NUMBER without precision read as 64-bit integers
    bool b_owned_by_user = true; // USER_* views and plain quoted names when set

    const std::wstring& get_data_source() const { return data_source; }
    const std::wstring& get_user() const { return user; } // as typed
    const std::wstring& get_password() const { return password; }
    // The schema the user name denotes: upper-cased unless typed in double quotes.
    std::wstring get_schema_name() const;

private:
    void clean();

    bool b_attached = false;
    bool b_session = false;
    OCIServer* srv = nullptr;
    OCISvcCtx* svc = nullptr;
    OCIEnv* env = nullptr;
    OCIError* err = nullptr;
    OCISession* ses = nullptr;
    std::wstring data_source;
    std::wstring user;
    std::wstring password;
};

// The registered engine (internal-error assertion when none exists).
ora_engine& ora_eng();
