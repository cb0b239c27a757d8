// Arbitrary text through the provider-text reader of every form and value
// type: a value it takes has its parts within their ranges.
#include "MSS/odb_text_value.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace {

const odb_text_form forms[] = {odb_text_form::general,   odb_text_form::text,        odb_text_form::integer,
                               odb_text_form::real,      odb_text_form::currency,    odb_text_form::decimal,
                               odb_text_form::date_time, odb_text_form::time_of_day, odb_text_form::boolean};
const VARTYPE types[] = {VT_I1, VT_UI1, VT_I2,   VT_UI2,     VT_I4,   VT_I8,  VT_R4,
                         VT_R8, VT_CY,  VT_DATE, VT_DECIMAL, VT_BOOL, VT_BSTR};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2) return 0;
    const odb_text_form form = forms[data[0] % (sizeof(forms) / sizeof(forms[0]))];
    const VARTYPE vt = types[data[1] % (sizeof(types) / sizeof(types[0]))];
    std::wstring text;
    text.reserve(size - 2);
    for (size_t i = 2; i < size; ++i) text.push_back(static_cast<wchar_t>(data[i]));
    ole_variant out;
    if (!odb_read_text(form, vt, text.data(), text.size(), out)) return 0;
    if (out.value.vt == VT_DATE) {
        const SYSTEMTIME& p = out.date_parts;
        constexpr uint32_t ns_per_ms = 1000000;
        if (p.wMilliseconds > 999 || out.date_sub_ms_ns >= ns_per_ms || p.wHour > 23 || p.wMinute > 59 ||
            p.wSecond > 59)
            __builtin_trap();
    }
    (void)out.to_wstring();
    return 0;
}
