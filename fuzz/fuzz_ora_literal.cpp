// Values and names from the source database become Oracle literals and identifiers.
#include <cstddef>
#include <cstdint>
#include <string>
#include "ORA/ora_util.h"
#include "ORA/ora_validator.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1) return 0;
    const VARTYPE types[] = {VT_BSTR, VT_DATE, 65, 0x2011, VT_I4, VT_R8, VT_DECIMAL};
    const VARTYPE vt = types[data[0] % (sizeof types / sizeof types[0])];
    std::wstring text;
    for (size_t i = 1; i + 1 < size; i += 2) text.push_back(static_cast<wchar_t>(data[i] | (data[i + 1] << 8)));
    const std::wstring lit = to_oracle_str(text, vt, true);
    // A quoted literal never ends early: every inner quote is doubled.
    if (vt == VT_BSTR) {
        const std::wstring inner = lit.substr(1, lit.size() - 2);
        for (size_t i = 0; i < inner.size(); ++i)
            if (inner[i] == L'\'' && (i + 1 >= inner.size() || inner[++i] != L'\'')) __builtin_trap();
    }
    ora_split_name(text);
    ora_validator v;
    const std::wstring safe = v.get_safe_name(text);
    if (safe.size() > ora_validator::max_name || !v.is_acceptable(safe)) __builtin_trap();
    return 0;
}
