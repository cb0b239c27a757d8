#include "ORA/ora_exception.h"
#include "TK/tk_logger.h"

ora_exception::ora_exception(int32_t ora_code, const std::string& text) : tk_exception(text, 0)
{
    tk_logger::log(1, "ora_exception::ctor");
    code = code_mark | (static_cast<uint32_t>(ora_code) & 0xFFFF);
}

namespace {

// Out of space: archiver stuck, quota, temporary, table, index, partition, LOB
// segment, undo. The connection gone: killed, logged off, shut down, lost.
constexpr uint32_t k_ora_archiver_stuck = 257;
constexpr uint32_t k_ora_quota_exceeded = 1536;
constexpr uint32_t k_ora_temp_full = 1652;
constexpr uint32_t k_ora_table_full = 1653;
constexpr uint32_t k_ora_index_full = 1654;
constexpr uint32_t k_ora_partition_full = 1688;
constexpr uint32_t k_ora_lob_full = 1691;
constexpr uint32_t k_ora_lob_partition_full = 1692;
constexpr uint32_t k_ora_undo_full = 30036;
constexpr uint32_t k_ora_session_killed = 28;
constexpr uint32_t k_ora_not_logged_on = 1012;
constexpr uint32_t k_ora_shutdown = 1089;
constexpr uint32_t k_ora_end_of_channel = 3113;
constexpr uint32_t k_ora_not_connected = 3114;
constexpr uint32_t k_ora_lost_contact = 3135;
// The service's files: unreadable or unwritable, missing, cut short, corrupt; the instance gone.
constexpr uint32_t k_ora_file_offline = 372;
constexpr uint32_t k_ora_file_unreadable = 376;
constexpr uint32_t k_ora_not_available = 1034;
constexpr uint32_t k_ora_instance_terminated = 1092;
constexpr uint32_t k_ora_io_write = 1114;
constexpr uint32_t k_ora_io_read = 1115;
constexpr uint32_t k_ora_file_open = 1116;
constexpr uint32_t k_ora_file_lock = 1157;
constexpr uint32_t k_ora_file_short = 1200;
constexpr uint32_t k_ora_block_corrupt = 1578;
constexpr uint32_t k_ora_os_open = 27041;
constexpr uint32_t k_ora_os_io = 27072;
// Tablespaces: missing, or without quota for the owner.
constexpr uint32_t k_ora_no_tablespace = 959;
constexpr uint32_t k_ora_no_tablespace_quota = 1950;

} // namespace

bool ora_exception::refuses_every_row() const
{
    if (every_row) return true;
    switch (ora_number()) {
    case k_ora_archiver_stuck:
    case k_ora_quota_exceeded:
    case k_ora_temp_full:
    case k_ora_table_full:
    case k_ora_index_full:
    case k_ora_partition_full:
    case k_ora_lob_full:
    case k_ora_lob_partition_full:
    case k_ora_undo_full:
    case k_ora_session_killed:
    case k_ora_not_logged_on:
    case k_ora_shutdown:
    case k_ora_end_of_channel:
    case k_ora_not_connected:
    case k_ora_lost_contact:
    case k_ora_file_offline:
    case k_ora_file_unreadable:
    case k_ora_not_available:
    case k_ora_instance_terminated:
    case k_ora_io_write:
    case k_ora_io_read:
    case k_ora_file_open:
    case k_ora_file_lock:
    case k_ora_file_short:
    case k_ora_block_corrupt:
    case k_ora_os_open:
    case k_ora_os_io:
    case k_ora_no_tablespace:
    case k_ora_no_tablespace_quota:
        return true;
    default:
        return false;
    }
}
