// View definitions and table names from the catalog are untrusted text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "MSS/mss_split_tab_name.h"
#include "MSS/mss_sql_text.h"
#include "MSS/mss_view_def.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::wstring text;
    for (size_t i = 0; i + 1 < size; i += 2) text += static_cast<wchar_t>(data[i] | (data[i + 1] << 8));
    (void)collapse_blanks(text);
    (void)mss_view_select_text(text, true);
    (void)mss_view_select_text(text, false);
    // Quoting always gives a bracketed name that splits back to the same name.
    const std::wstring ident = sql_ident(text);
    if (!sql_is_bracketed(ident)) std::abort();
    std::wstring table, owner;
    mss_split_tab_name(sql_ident(L"o") + L"." + sql_ident(text.find(L"].[") == std::wstring::npos ? text : L"x"), table,
                       owner);
    if (!sql_is_bracketed(text) && text.find(L"].[") == std::wstring::npos && (table != text || owner != L"o"))
        std::abort();
    const std::wstring lit = sql_literal(text);
    if (lit.size() < 2 || lit.back() != L'\'') std::abort();
    return 0;
}
