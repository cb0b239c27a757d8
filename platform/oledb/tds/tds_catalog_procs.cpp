#include "platform/oledb/tds/tds_catalog_procs.h"

bool tds_catalog_procedure(mssx_connection&, const std::string&, const std::vector<tds_rpc_param>&, mssx_outcome&)
{
    return false;
}
