// View texts read from the target: comment removal and clause cleaning must
// cope with any text, and never grow it.
#include <cstddef>
#include <cstdint>
#include <string>

#include "ORA/ora_database.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static ora_database db(L"fuzz", udb_database::mode_skip_views);
    std::wstring text;
    text.reserve(size);
    for (size_t i = 0; i < size; ++i) text.push_back(static_cast<wchar_t>(data[i]));
    const std::wstring out = db.refine_view_out(text);
    if (out.size() > text.size()) __builtin_trap();
    const std::wstring in = db.refine_view_in(text);
    (void)in;
    return 0;
}
