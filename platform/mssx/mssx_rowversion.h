// rowversion (timestamp) values: a counter of the database, moved on by every
// insert and update of a row of a table with a rowversion column; @@DBTS is
// its last value.
#pragma once
#include <cstdint>
#include "platform/mssx/mssx_sqlite.h"
#include "platform/mssx/mssx_value.h"

class mssx_connection;

// The counter's value in a new database (SQL Server starts at 0x7D0).
constexpr int64_t kMssxFirstDbts = 2000;

bool mssx_is_rowversion(const mssx_type& t);
// The next value of the database's counter, kept in the database: 8 bytes, most significant first.
mssx_blob mssx_next_rowversion(mssx_sqlite& db);
// @@DBTS: the counter's last value.
mssx_blob mssx_current_dbts(mssx_sqlite& db);
// Registers mssx_next_rowversion() as an SQL function of the connection's database.
void mssx_register_rowversion(mssx_connection& c);
