// Arbitrary stored sql_variant values (as a damaged database file may hold
// them) read back: base type, text, properties and a cast.
#include <cstddef>
#include <cstdint>
#include <string>
#include "platform/mssx/mssx_error.h"
#include "platform/mssx/mssx_expr_functions.h"
#include "platform/mssx/mssx_variant.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string stored(reinterpret_cast<const char*>(data), size);
    for (const mssx_value& v : {mssx_value(stored), mssx_value("\x1F" + stored)}) {
        try {
            (void)mssx_variant_read(v);
            (void)mssx_variant_text(v);
            for (const char* p : {"BaseType", "Precision", "Scale", "MaxLength", "TotalBytes", "Collation"})
                (void)mssx_variant_property(v, p);
            (void)mssx_cast_value(v, mssx_make_type("nvarchar", {"100"}), -1, std::nullopt, "mdy");
        } catch (const mssx_error&) {
            // refused as the server refuses it
        }
    }
    return 0;
}
