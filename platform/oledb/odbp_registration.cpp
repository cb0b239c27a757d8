// The classes that ship with the platform, registered on first use.
#include "platform/oledb/odbp_data_convert.h"
#include "platform/oledb/odbp_provider.h"
#include "platform/oledb/oledb.h"

void tvx_register_platform_classes()
{
    tvx_com_register_class(CLSID_OLEDB_CONVERSIONLIBRARY, odbp_create_data_convert);
    tvx_com_register_class(CLSID_SQLNCLI11,
                           [](REFIID riid, void** ppv) { return odbp_create_data_source(false, riid, ppv); });
    tvx_com_register_class(CLSID_SQLNCLI10,
                           [](REFIID riid, void** ppv) { return odbp_create_data_source(false, riid, ppv); });
    tvx_com_register_class(CLSID_MSDAINITIALIZE, odbp_create_data_initialize);
}
