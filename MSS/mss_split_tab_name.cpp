#include "MSS/mss_split_tab_name.h"

#include "MSS/mss_engine.h"
#include "TK/tk_logger.h"

namespace {

std::wstring undouble(const std::wstring& s)
{
    std::wstring out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        out += s[i];
        if (s[i] == L']' && i + 1 < s.size() && s[i + 1] == L']') ++i;
    }
    return out;
}

// Position of the first "].[" whose ']' is not part of a doubled "]]".
size_t find_separator(const std::wstring& s)
{
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] != L']') continue;
        if (i + 1 < s.size() && s[i + 1] == L']') {
            ++i;
            continue;
        }
        if (s.compare(i, 3, L"].[") == 0) return i;
    }
    return std::wstring::npos;
}

} // namespace

bool mss_split_tab_name(const std::wstring& name, std::wstring& table, std::wstring& owner)
{
    tk_logger::log(1, L"mss_split_tab_name(%s)", name.c_str());
    table.clear();
    owner.clear();
    if (name.size() < 3) {
        table = name;
    } else if (name.front() == L'[' && name.back() == L']') {
        tk_logger::log(1, "Name is enclosed in [...]");
        const std::wstring rest = name.substr(1, name.size() - 2);
        const size_t sep = find_separator(rest);
        if (sep != std::wstring::npos) {
            tk_logger::log(1, "Getting owner for composed name");
            owner = undouble(rest.substr(0, sep));
            table = undouble(rest.substr(sep + 3));
        } else {
            table = undouble(rest);
        }
    } else {
        tk_logger::log(1, "Name is NOT enclosed in [...]");
        const bool init = mss_engine::is_initialized();
        tk_logger::log(1, "mss_engine::is_initialized()=%d", init ? 1 : 0);
        const bool owned = init ? mss_engine::ref().is_view_owned() : true;
        tk_logger::log(1, "is_view_owned()=%d", owned ? 1 : 0);
        const size_t dot = owned ? std::wstring::npos : name.find(L'.');
        if (dot != std::wstring::npos) {
            tk_logger::log(1, "Getting owner for composed name");
            owner = name.substr(0, dot);
            table = name.substr(dot + 1);
        } else {
            table = name;
        }
    }
    if (name.size() >= 3 && owner.empty()) tk_logger::log(1, "Prepare blank owner for simple name (table only)");
    tk_logger::log(1, L"tab_name=%s, owner=%s", table.c_str(), owner.c_str());
    return true;
}
