// Arbitrary data files read as BULK INSERT reads them; the first bytes choose the format.
#include <cstddef>
#include <cstdint>
#include <string>
#include "platform/mssx/mssx_bulk_file.h"
#include "platform/mssx/mssx_error.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 3) return 0;
    mssx_bulk_format f;
    f.widechar = data[0] & 1;
    f.code_page = (data[0] & 2) ? 1252 : 0;
    f.field_terminator = mssx_bulk_terminator((data[0] & 4) ? "|" : "\\t", false);
    f.row_terminator = mssx_bulk_terminator((data[0] & 8) ? "0x0a" : "\\n", true);
    f.first_row = data[1] % 4;
    size_t fields = data[2] % 6;
    std::string bytes(reinterpret_cast<const char*>(data) + 3, size - 3);
    try {
        for (auto& row : mssx_read_bulk_file(bytes, fields, f))
            if (row.size() != fields) __builtin_trap();
    } catch (const mssx_error&) {}
    return 0;
}
