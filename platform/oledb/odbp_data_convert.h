// The OLE DB data conversion object.
#pragma once
#include "platform/oledb/oledb.h"

// Class factory of the conversion object (registered under its class id).
HRESULT odbp_create_data_convert(REFIID riid, void** ppv);
// A double as a DB_NUMERIC of the given precision and scale (rounded to the
// scale); DB_E_DATAOVERFLOW when it does not fit.
HRESULT r8_to_numeric(double d, BYTE precision, BYTE scale, DB_NUMERIC& out);
