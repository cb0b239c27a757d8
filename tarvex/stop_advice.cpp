#include "tarvex/stop_advice.h"

#include <cstdint>

#include "ORA/ora_exception.h"

namespace {

constexpr uint32_t k_ora_insufficient_privileges = 1031;
constexpr uint32_t k_ora_common_user_only = 65096;
constexpr uint32_t k_ora_no_tablespace = 959;
constexpr uint32_t k_ora_no_tablespace_quota = 1950;
constexpr uint32_t k_ora_quota_exceeded = 1536;

bool is_space_error(uint32_t n)
{
    // Archiver stuck, temporary, table, index, partition and LOB segments, undo.
    switch (n) {
    case 257:
    case 1652:
    case 1653:
    case 1654:
    case 1688:
    case 1691:
    case 1692:
    case 30036:
        return true;
    default:
        return false;
    }
}

bool is_file_error(uint32_t n)
{
    switch (n) {
    case 372:
    case 376:
    case 1114:
    case 1115:
    case 1116:
    case 1157:
    case 1200:
    case 1578:
    case 27041:
    case 27072:
        return true;
    default:
        return false;
    }
}

} // namespace

std::string stop_advice(const ora_exception& e)
{
    const uint32_t n = e.ora_number();
    if (n == k_ora_insufficient_privileges)
        return "The Oracle user of the connection may not create users: grant it CREATE USER (and the other "
               "privileges the README lists), or create the target schemas beforehand.";
    if (n == k_ora_common_user_only)
        return "The connection is to the root of a container database, where only common users can be made: "
               "connect to the service of a pluggable database instead.";
    if (n == k_ora_no_tablespace)
        return "The tablespace does not exist: create it, or give the target users a default tablespace that does.";
    if (n == k_ora_no_tablespace_quota || n == k_ora_quota_exceeded)
        return "The owner of the tables has no room on its tablespace: grant it a quota there "
               "(ALTER USER ... QUOTA UNLIMITED ON ...) or the UNLIMITED TABLESPACE privilege.";
    if (is_space_error(n)) return "The target database is out of space: add space to its tablespace and run again.";
    if (is_file_error(n))
        return "The target database cannot read or write its files: the conversion stopped; have its storage "
               "checked before running again.";
    return "The connection to the target database is gone: the conversion stopped.";
}
