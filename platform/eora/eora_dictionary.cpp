// The dictionary views and SQL functions of a session.
#include "platform/embedded/embedded_clock.h"
#include "platform/eora/eora_datetime.h"
#include "platform/eora/eora_number.h"
#include "platform/eora/eora_session_impl.h"

namespace eora {

void session::impl::create_views()
{
    std::string u = q_text(user);
    std::string sql;
    auto view = [&](const std::string& name, const std::string& body) {
        sql += "CREATE TEMP VIEW " + q_ident(name) + " AS " + body + ";\n";
    };
    const std::string tables_cols =
        "table_name AS TABLE_NAME, 'USERS' AS TABLESPACE_NAME, iot_type AS IOT_TYPE, "
        "temporary AS TEMPORARY, nested AS NESTED FROM _ora_tables WHERE kind='TABLE'";
    view("ALL_TABLES", "SELECT owner AS OWNER, " + tables_cols);
    view("USER_TABLES", "SELECT " + tables_cols + " AND owner=" + u);
    view("DBA_TABLES", "SELECT owner AS OWNER, " + tables_cols);
    const std::string views_cols =
        "table_name AS VIEW_NAME, length(view_text) AS TEXT_LENGTH, view_text AS TEXT "
        "FROM _ora_tables WHERE kind='VIEW'";
    view("ALL_VIEWS", "SELECT owner AS OWNER, " + views_cols);
    view("USER_VIEWS", "SELECT " + views_cols + " AND owner=" + u);
    const std::string col_cols =
        "table_name AS TABLE_NAME, column_name AS COLUMN_NAME, data_type AS DATA_TYPE, "
        "data_length AS DATA_LENGTH, data_precision AS DATA_PRECISION, data_scale AS DATA_SCALE, "
        "nullable AS NULLABLE, column_id AS COLUMN_ID, data_default AS DATA_DEFAULT FROM _ora_columns";
    view("ALL_TAB_COLUMNS", "SELECT owner AS OWNER, " + col_cols);
    view("USER_TAB_COLUMNS", "SELECT " + col_cols + " WHERE owner=" + u);
    const std::string cons_cols =
        "owner AS OWNER, constraint_name AS CONSTRAINT_NAME, constraint_type AS CONSTRAINT_TYPE, "
        "table_name AS TABLE_NAME, search_condition AS SEARCH_CONDITION, r_owner AS R_OWNER, "
        "r_constraint_name AS R_CONSTRAINT_NAME, delete_rule AS DELETE_RULE, 'ENABLED' AS STATUS, "
        "generated AS GENERATED, index_owner AS INDEX_OWNER, index_name AS INDEX_NAME FROM _ora_constraints";
    view("ALL_CONSTRAINTS", "SELECT " + cons_cols);
    view("USER_CONSTRAINTS", "SELECT " + cons_cols + " WHERE owner=" + u);
    const std::string cc_cols =
        "owner AS OWNER, constraint_name AS CONSTRAINT_NAME, table_name AS TABLE_NAME, "
        "column_name AS COLUMN_NAME, position AS POSITION FROM _ora_cons_columns";
    view("ALL_CONS_COLUMNS", "SELECT " + cc_cols);
    view("USER_CONS_COLUMNS", "SELECT " + cc_cols + " WHERE owner=" + u);
    const std::string ix_cols =
        "index_name AS INDEX_NAME, CASE WHEN is_expr THEN 'FUNCTION-BASED NORMAL' ELSE 'NORMAL' END "
        "AS INDEX_TYPE, table_owner AS TABLE_OWNER, table_name AS TABLE_NAME, 'TABLE' AS TABLE_TYPE, "
        "uniqueness AS UNIQUENESS, 'USERS' AS TABLESPACE_NAME, generated AS GENERATED FROM _ora_indexes";
    view("ALL_INDEXES", "SELECT owner AS OWNER, " + ix_cols);
    view("USER_INDEXES", "SELECT " + ix_cols + " WHERE owner=" + u);
    const std::string ic_cols =
        "index_name AS INDEX_NAME, table_owner AS TABLE_OWNER, table_name AS TABLE_NAME, "
        "column_name AS COLUMN_NAME, column_position AS COLUMN_POSITION, 'ASC' AS DESCEND "
        "FROM _ora_ind_columns";
    view("ALL_IND_COLUMNS", "SELECT index_owner AS INDEX_OWNER, " + ic_cols);
    view("USER_IND_COLUMNS", "SELECT " + ic_cols + " WHERE index_owner=" + u);
    const std::string com_cols =
        "c.table_name AS TABLE_NAME, c.column_name AS COLUMN_NAME, m.comments AS COMMENTS "
        "FROM _ora_columns c LEFT JOIN _ora_comments m ON m.owner=c.owner AND "
        "m.table_name=c.table_name AND m.column_name=c.column_name";
    view("ALL_COL_COMMENTS", "SELECT c.owner AS OWNER, " + com_cols);
    view("USER_COL_COMMENTS", "SELECT " + com_cols + " WHERE c.owner=" + u);
    const std::string seq_cols =
        "sequence_name AS SEQUENCE_NAME, min_value AS MIN_VALUE, max_value AS MAX_VALUE, "
        "increment_by AS INCREMENT_BY, cycle_flag AS CYCLE_FLAG, order_flag AS ORDER_FLAG, "
        "cache_size AS CACHE_SIZE, last_number AS LAST_NUMBER FROM _ora_sequences";
    view("ALL_SEQUENCES", "SELECT sequence_owner AS SEQUENCE_OWNER, " + seq_cols);
    view("USER_SEQUENCES", "SELECT " + seq_cols + " WHERE sequence_owner=" + u);
    const std::string trg_cols =
        "trigger_name AS TRIGGER_NAME, 'BEFORE EACH ROW' AS TRIGGER_TYPE, 'INSERT' AS TRIGGERING_EVENT, "
        "table_owner AS TABLE_OWNER, table_name AS TABLE_NAME, 'ENABLED' AS STATUS, "
        "body AS TRIGGER_BODY FROM _ora_triggers";
    view("ALL_TRIGGERS", "SELECT owner AS OWNER, " + trg_cols);
    view("USER_TRIGGERS", "SELECT " + trg_cols + " WHERE owner=" + u);
    view("ALL_USERS", "SELECT username AS USERNAME, user_id AS USER_ID, created AS CREATED FROM _ora_users");
    view("DBA_USERS",
         "SELECT username AS USERNAME, user_id AS USER_ID, 'OPEN' AS ACCOUNT_STATUS, "
         "default_tablespace AS DEFAULT_TABLESPACE, created AS CREATED FROM _ora_users");
    const std::string obj_cols =
        "object_name AS OBJECT_NAME, object_id AS OBJECT_ID, object_type AS OBJECT_TYPE, "
        "created AS CREATED, 'VALID' AS STATUS FROM _ora_objects";
    view("ALL_OBJECTS", "SELECT owner AS OWNER, " + obj_cols);
    view("USER_OBJECTS", "SELECT " + obj_cols + " WHERE owner=" + u);
    view("USER_SYS_PRIVS",
         "SELECT grantee AS USERNAME, privilege AS PRIVILEGE, admin_option AS ADMIN_OPTION FROM _ora_sys_privs "
         "WHERE grantee=" +
             u);
    view("DBA_SYS_PRIVS",
         "SELECT grantee AS GRANTEE, privilege AS PRIVILEGE, admin_option AS ADMIN_OPTION FROM _ora_sys_privs");
    view("USER_ROLE_PRIVS",
         "SELECT grantee AS USERNAME, granted_role AS GRANTED_ROLE, admin_option AS ADMIN_OPTION, "
         "'YES' AS DEFAULT_ROLE FROM _ora_role_privs WHERE grantee=" +
             u);
    view("DBA_ROLE_PRIVS",
         "SELECT grantee AS GRANTEE, granted_role AS GRANTED_ROLE, admin_option AS ADMIN_OPTION, "
         "'YES' AS DEFAULT_ROLE FROM _ora_role_privs");
    // SYS holds every privilege without a grant.
    view("SESSION_PRIVS",
         "SELECT privilege AS PRIVILEGE FROM _ora_sys_privs WHERE grantee=" + u +
             " UNION SELECT name FROM _ora_system_privileges WHERE " + u +
             "='SYS' OR EXISTS (SELECT 1 FROM _ora_role_privs WHERE granted_role='DBA' AND grantee=" + u + ")");
    view("NLS_DATABASE_PARAMETERS",
         "SELECT 'NLS_CHARACTERSET' AS PARAMETER, value AS VALUE FROM _ora_settings WHERE name='character_set' "
         "UNION ALL SELECT 'NLS_NCHAR_CHARACTERSET', COALESCE((SELECT value FROM _ora_settings WHERE "
         "name='national_character_set'), 'AL16UTF16') "
         "UNION ALL SELECT 'NLS_LENGTH_SEMANTICS', 'BYTE' "
         "UNION ALL SELECT 'NLS_DATE_FORMAT', 'DD-MON-RR'");
    view("V$VERSION", "SELECT value AS BANNER FROM _ora_settings WHERE name='banner'");
    view("DUAL", "SELECT 'X' AS DUMMY");
    exec(sql);
}

void session::impl::ensure_dictionary_indexes()
{
    // The qualified-name indexes are on the expression the query translator
    // writes for concat(owner, '.', table_name) in its flat form.
    exec(
        "CREATE INDEX IF NOT EXISTS _ora_tables_qname ON _ora_tables(ora_concat(owner, '.', table_name));"
        "CREATE INDEX IF NOT EXISTS _ora_columns_qname ON _ora_columns(ora_concat(owner, '.', table_name));"
        "CREATE INDEX IF NOT EXISTS _ora_constraints_table ON _ora_constraints(owner, table_name);"
        "CREATE INDEX IF NOT EXISTS _ora_constraints_qname ON _ora_constraints(ora_concat(owner, '.', table_name));"
        "CREATE INDEX IF NOT EXISTS _ora_constraints_ref ON _ora_constraints(r_owner, r_constraint_name);"
        "CREATE INDEX IF NOT EXISTS _ora_cons_columns_name ON _ora_cons_columns(owner, constraint_name);"
        "CREATE INDEX IF NOT EXISTS _ora_cons_columns_table ON _ora_cons_columns(owner, table_name);"
        "CREATE INDEX IF NOT EXISTS _ora_cons_columns_qname ON _ora_cons_columns(ora_concat(owner, '.', table_name));"
        "CREATE INDEX IF NOT EXISTS _ora_indexes_table ON _ora_indexes(table_owner, table_name);"
        "CREATE INDEX IF NOT EXISTS _ora_indexes_qname ON _ora_indexes(ora_concat(table_owner, '.', table_name));"
        "CREATE INDEX IF NOT EXISTS _ora_ind_columns_name ON _ora_ind_columns(index_owner, index_name);"
        "CREATE INDEX IF NOT EXISTS _ora_ind_columns_table ON _ora_ind_columns(table_owner, table_name);"
        "CREATE INDEX IF NOT EXISTS _ora_ind_columns_own_table ON _ora_ind_columns(index_owner, table_name);"
        "CREATE INDEX IF NOT EXISTS _ora_ind_columns_qname ON _ora_ind_columns(ora_concat(table_owner, '.', "
        "table_name));"
        "CREATE INDEX IF NOT EXISTS _ora_triggers_table ON _ora_triggers(table_owner, table_name);");
}

namespace {

std::string arg_text(sqlite3_value* v)
{
    const unsigned char* p = sqlite3_value_text(v);
    return p ? std::string(reinterpret_cast<const char*>(p), static_cast<size_t>(sqlite3_value_bytes(v)))
             : std::string();
}

void result_error(sqlite3_context* ctx, const eora_error& e)
{
    sqlite3_result_error(ctx, e.text().c_str(), static_cast<int>(e.text().size()));
}

// Oracle's concat: NULL counts as empty text.
void fn_concat(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    std::string r;
    for (int i = 0; i < argc; ++i) r += arg_text(argv[i]);
    if (r.empty())
        sqlite3_result_null(ctx);
    else
        sqlite3_result_text(ctx, r.data(), static_cast<int>(r.size()), SQLITE_TRANSIENT);
}

void fn_rowid(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    std::string r = encode_rowid(sqlite3_value_int64(argv[0]), sqlite3_value_int64(argv[1]));
    sqlite3_result_text(ctx, r.data(), static_cast<int>(r.size()), SQLITE_TRANSIENT);
}

void fn_rowid_num(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    try {
        if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
            sqlite3_result_null(ctx);
            return;
        }
        sqlite3_result_int64(ctx, decode_rowid(arg_text(argv[0]), sqlite3_value_int64(argv[1])));
    } catch (const eora_error& e) {
        result_error(ctx, e);
    }
}

void fn_to_date(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    try {
        if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
            sqlite3_result_null(ctx);
            return;
        }
        // No flag: TO_DATE; 1: TO_TIMESTAMP; 2: TO_TIMESTAMP_TZ.
        const int kind = sqlite3_user_data(ctx) ? *static_cast<const int*>(sqlite3_user_data(ctx)) : 0;
        const bool ts = kind != 0;
        std::string fmt = argc > 1 ? arg_text(argv[1])
                                   : std::string(kind == 2 ? nls_timestamp_tz_format
                                                 : ts      ? nls_timestamp_format
                                                           : nls_date_format);
        datetime d = parse_datetime(arg_text(argv[0]), fmt);
        d.has_zone = kind == 2;
        std::string r = d.text(ts ? 9 : 0);
        sqlite3_result_text(ctx, r.data(), static_cast<int>(r.size()), SQLITE_TRANSIENT);
    } catch (const eora_error& e) {
        result_error(ctx, e);
    }
}

void fn_to_number(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    auto d = parse_decimal(arg_text(argv[0]));
    if (!d) {
        sqlite3_result_error(ctx, "ORA-01722: invalid number", -1);
        return;
    }
    if (auto i = d->to_int64())
        sqlite3_result_int64(ctx, *i);
    else
        sqlite3_result_double(ctx, d->to_double());
}

void fn_to_char(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    int t = sqlite3_value_type(argv[0]);
    if (t == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    std::string r = t == SQLITE_FLOAT ? decimal_from_double(sqlite3_value_double(argv[0])).text() : arg_text(argv[0]);
    sqlite3_result_text(ctx, r.data(), static_cast<int>(r.size()), SQLITE_TRANSIENT);
}

void fn_sysdate(sqlite3_context* ctx, int, sqlite3_value**)
{
    std::string r = embedded::now_text();
    sqlite3_result_text(ctx, r.data(), static_cast<int>(r.size()), SQLITE_TRANSIENT);
}

void fn_nextval(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    auto* s = static_cast<session::impl*>(sqlite3_user_data(ctx));
    try {
        std::string v = s->nextval(arg_text(argv[0]), arg_text(argv[1]));
        auto d = parse_decimal(v);
        if (d && d->to_int64())
            sqlite3_result_int64(ctx, *d->to_int64());
        else
            sqlite3_result_text(ctx, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
    } catch (const eora_error& e) {
        result_error(ctx, e);
    }
}

} // namespace

void session::impl::register_functions()
{
    static int ts_flag = 1;
    static int tz_flag = 2;
    int f = SQLITE_UTF8 | SQLITE_DETERMINISTIC;
    sqlite3_create_function(db, "ora_concat", -1, f, nullptr, fn_concat, nullptr, nullptr);
    sqlite3_create_function(db, "ora_rowid", 2, f, nullptr, fn_rowid, nullptr, nullptr);
    sqlite3_create_function(db, "ora_rowid_num", 2, f, nullptr, fn_rowid_num, nullptr, nullptr);
    sqlite3_create_function(db, "ora_to_date", -1, f, nullptr, fn_to_date, nullptr, nullptr);
    sqlite3_create_function(db, "ora_to_timestamp", -1, f, &ts_flag, fn_to_date, nullptr, nullptr);
    sqlite3_create_function(db, "ora_to_timestamp_tz", -1, f, &tz_flag, fn_to_date, nullptr, nullptr);
    sqlite3_create_function(db, "ora_to_number", 1, f, nullptr, fn_to_number, nullptr, nullptr);
    sqlite3_create_function(db, "ora_to_char", -1, f, nullptr, fn_to_char, nullptr, nullptr);
    sqlite3_create_function(db, "ora_sysdate", 0, SQLITE_UTF8, nullptr, fn_sysdate, nullptr, nullptr);
    sqlite3_create_function(db, "ora_nextval", 2, SQLITE_UTF8, this, fn_nextval, nullptr, nullptr);
}

} // namespace eora
