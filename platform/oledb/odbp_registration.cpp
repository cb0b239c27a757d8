// The classes that ship with the platform, registered on first use.
#include "platform/oledb/oledb.h"
#include "platform/oledb/odbp_data_convert.h"

void tvx_register_platform_classes()
{
    tvx_com_register_class(CLSID_OLEDB_CONVERSIONLIBRARY, odbp_create_data_convert);
}
