// Reads one TYPE_INFO and its value (TYPE_VARBYTE) of an RPC parameter into
// the embedded server's type and stored value form.
#pragma once
#include "platform/mssx/mssx_value.h"
#include "platform/mssx/tds/tds_bytes.h"

void tds_read_param_value(tds_reader& r, mssx_type& type, mssx_value& value);
