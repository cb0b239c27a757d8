// The catalog procedures ODBC's catalog functions call, answered from the
// embedded catalog: sp_pkeys, sp_fkeys, sp_statistics, sp_special_columns,
// sp_server_info and sp_datatype_info (sp_tables and sp_columns are the
// server's own), whether called by RPC or named in a batch.
#pragma once
#include <string>
#include <vector>
#include "platform/mssx/mssx_connection.h"
#include "platform/mssx/tds/tds_request.h"

// False when the name is none of them.
bool tds_catalog_procedure(mssx_connection& c, const std::string& name, const std::vector<tds_rpc_param>& params,
                           mssx_outcome& out);

// A batch that is one call of such a procedure ("sp_datatype_info_100 0, 3",
// "EXEC sp_pkeys @table_name = N't'"); false when the batch is anything else.
bool tds_catalog_batch(mssx_connection& c, const std::string& batch, mssx_outcome& out);
