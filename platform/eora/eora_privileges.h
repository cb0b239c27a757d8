// System privileges of the embedded Oracle, by Oracle's names, and the role
// that holds them all.
#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace eora::priv {

inline constexpr std::string_view create_session = "CREATE SESSION";
inline constexpr std::string_view create_user = "CREATE USER";
inline constexpr std::string_view alter_user = "ALTER USER";
inline constexpr std::string_view drop_user = "DROP USER";
inline constexpr std::string_view create_table = "CREATE TABLE";
inline constexpr std::string_view create_any_table = "CREATE ANY TABLE";
inline constexpr std::string_view alter_any_table = "ALTER ANY TABLE";
inline constexpr std::string_view drop_any_table = "DROP ANY TABLE";
inline constexpr std::string_view comment_any_table = "COMMENT ANY TABLE";
inline constexpr std::string_view lock_any_table = "LOCK ANY TABLE";
inline constexpr std::string_view select_any_table = "SELECT ANY TABLE";
inline constexpr std::string_view insert_any_table = "INSERT ANY TABLE";
inline constexpr std::string_view update_any_table = "UPDATE ANY TABLE";
inline constexpr std::string_view delete_any_table = "DELETE ANY TABLE";
inline constexpr std::string_view create_any_index = "CREATE ANY INDEX";
inline constexpr std::string_view drop_any_index = "DROP ANY INDEX";
inline constexpr std::string_view create_sequence = "CREATE SEQUENCE";
inline constexpr std::string_view create_any_sequence = "CREATE ANY SEQUENCE";
inline constexpr std::string_view drop_any_sequence = "DROP ANY SEQUENCE";
inline constexpr std::string_view select_any_sequence = "SELECT ANY SEQUENCE";
inline constexpr std::string_view create_trigger = "CREATE TRIGGER";
inline constexpr std::string_view create_any_trigger = "CREATE ANY TRIGGER";
inline constexpr std::string_view drop_any_trigger = "DROP ANY TRIGGER";
inline constexpr std::string_view create_view = "CREATE VIEW";
inline constexpr std::string_view create_any_view = "CREATE ANY VIEW";
inline constexpr std::string_view drop_any_view = "DROP ANY VIEW";
inline constexpr std::string_view select_any_dictionary = "SELECT ANY DICTIONARY";
inline constexpr std::string_view unlimited_tablespace = "UNLIMITED TABLESPACE";
inline constexpr std::string_view grant_any_privilege = "GRANT ANY PRIVILEGE";
inline constexpr std::string_view grant_any_role = "GRANT ANY ROLE";

// The role that holds every system privilege; SYS and SYSTEM have it.
inline constexpr std::string_view dba_role = "DBA";

// Every system privilege the embedded Oracle knows.
const std::vector<std::string_view>& all();
bool known(std::string_view name);

// What a conversion in any mode needs of the user it logs on as.
const std::vector<std::string_view>& converter_set();

} // namespace eora::priv
