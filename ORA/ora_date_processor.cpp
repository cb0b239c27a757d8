#include "ORA/ora_date_processor.h"

#include <cwchar>

#include "TK/tk_logger.h"
#include "UDB/udb_name_compare.h"

namespace {

// A whole decimal number within [lo, hi], or -1.
int read_number(const std::wstring& text, int lo, int hi)
{
    if (text.empty() || text.size() > 4) return -1;
    int v = 0;
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9') return -1;
        v = v * 10 + (c - L'0');
    }
    return v >= lo && v <= hi ? v : -1;
}

int find_month(const std::vector<std::wstring>& months, const std::wstring& name)
{
    for (size_t i = 0; i < months.size() && i < 12; ++i)
        if (udb_same_name(months[i], name)) return static_cast<int>(i) + 1;
    return -1;
}

} // namespace

std::wstring ora_date_processor::get_canonized_str(const std::wstring& text) const
{
    tk_logger::log(1, L"ora_date_processor::get_canonized_str(%s)", text.c_str());
    std::vector<std::wstring> parts;
    size_t start = 0;
    for (;;) {
        const size_t dash = text.find(L'-', start);
        parts.push_back(text.substr(start, dash == std::wstring::npos ? std::wstring::npos : dash - start));
        if (dash == std::wstring::npos) break;
        start = dash + 1;
    }
    if (parts.size() != 3) {
        tk_logger::log(1, "Invalid date format");
        return std::wstring();
    }
    const int day = read_number(parts[0], 1, 31);
    const int year = read_number(parts[2], 1, 9999);
    int month = find_month(months1, parts[1]);
    if (month < 0) month = find_month(months2, parts[1]);
    if (day < 0 || year < 0 || month < 0) return std::wstring();
    std::wstring out(32, L'\0');
    const int n = std::swprintf(out.data(), out.size(), L"%d-%02d-%02d", year, month, day);
    out.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return out;
}
