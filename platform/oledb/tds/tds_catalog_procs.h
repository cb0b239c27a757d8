// The catalog procedures ODBC's catalog functions call, answered from the
// embedded catalog: sp_pkeys, sp_fkeys, sp_statistics, sp_server_info,
// sp_datatype_info, sp_special_columns (sp_tables and sp_columns are the server's own).
#pragma once
#include <string>
#include <vector>
#include "platform/oledb/mssx_connection.h"
#include "platform/oledb/tds/tds_request.h"

// False when the name is none of them.
bool tds_catalog_procedure(mssx_connection& c, const std::string& name, const std::vector<tds_rpc_param>& params,
                           mssx_outcome& out);
