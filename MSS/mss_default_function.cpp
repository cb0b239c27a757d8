#include "MSS/mss_default_function.h"

#include <cwctype>

namespace {

// Lower case, without blanks and square brackets, without the brackets around the whole.
std::wstring compact(const std::wstring& s)
{
    std::wstring r;
    for (wchar_t c : s) {
        if (std::iswspace(static_cast<wint_t>(c)) || c == L'[' || c == L']') continue;
        r.push_back(static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c))));
    }
    for (;;) {
        if (r.size() < 2 || r.front() != L'(' || r.back() != L')') return r;
        // Only when the first bracket closes at the end.
        int depth = 0;
        size_t close = 0;
        for (size_t i = 0; i < r.size(); ++i) {
            depth += r[i] == L'(' ? 1 : r[i] == L')' ? -1 : 0;
            if (depth == 0) {
                close = i;
                break;
            }
        }
        if (close != r.size() - 1) return r;
        r = r.substr(1, r.size() - 2);
    }
}

std::wstring clock(const std::wstring& f)
{
    if (f == L"getdate()" || f == L"current_timestamp") return L"getdate()";
    if (f == L"getutcdate()" || f == L"sysdatetime()" || f == L"sysutcdatetime()") return f;
    return {};
}

} // namespace

std::wstring mss_default_function(const std::wstring& stored)
{
    const std::wstring f = compact(stored);
    if (f == L"newid()" || f == L"newsequentialid()") return L"newid()";
    if (!clock(f).empty()) return clock(f);
    // The day of the moment: CONVERT(date, f) or CAST(f AS date).
    const std::wstring convert = L"convert(date,", cast = L"cast(";
    std::wstring inner;
    if (f.compare(0, convert.size(), convert) == 0 && f.back() == L')')
        inner = f.substr(convert.size(), f.size() - convert.size() - 1);
    else if (f.compare(0, cast.size(), cast) == 0 && f.size() > cast.size() + 7 &&
             f.compare(f.size() - 7, 7, L"asdate)") == 0)
        inner = f.substr(cast.size(), f.size() - cast.size() - 7);
    const std::wstring moment = clock(compact(inner));
    return moment.empty() ? std::wstring() : L"convert(date," + moment + L")";
}
