// View texts and values come from another server: the rewriter and the
// literal builder must take any text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "MSS/mss_util.h"
#include "MSS/mss_view_rewrite.h"

namespace {

// Whether the literal is one quoted string: its inner quotes all doubled.
bool is_one_literal(const std::wstring& lit)
{
    size_t start = lit.rfind(L"N'", 0) == 0 ? 2 : 1;
    if (lit.size() < start + 1 || lit[start - 1] != L'\'' || lit.back() != L'\'') return false;
    for (size_t i = start; i + 1 < lit.size(); ++i) {
        if (lit[i] != L'\'') continue;
        if (lit[i + 1] != L'\'' || i + 2 >= lit.size()) return false;
        ++i;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::wstring text;
    for (size_t i = 0; i + 1 < size; i += 2) text += static_cast<wchar_t>(data[i] | (data[i + 1] << 8));
    (void)mss_rewrite_view_text(text);
    if (!text.empty() && !is_one_literal(to_mssql_str(text, VT_BSTR))) std::abort();
    const std::wstring number = to_mssql_str(text, VT_I4);
    // A bare literal is a number and nothing else.
    if (!number.empty() && number.back() != L'\'' && number.find_first_not_of(L"0123456789+-.eE") != std::wstring::npos)
        std::abort();
    (void)to_mssql_str(text, VT_DATE);
    (void)to_mssql_str(text, VT_BLOB);
    (void)check_dec_str_prec_scale(text, 10, 2);
    return 0;
}
