#include "tarvex/wizard/listed_table.h"

#include "MSS/mss_engine.h"
#include "MSS/mss_split_tab_name.h"
#include "platform/win32/win_compare.h"

namespace {

bool same_no_case(const std::wstring& a, const std::wstring& b)
{
    return CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a.c_str(), static_cast<int>(a.size()), b.c_str(),
                          static_cast<int>(b.size())) == CSTR_EQUAL;
}

// Whose tables a list shows by their plain names: the owner filter lists the
// login's own schema (dbo for the database owner, sa and Windows logins).
std::wstring listing_owner()
{
    if (!mss_engine::is_initialized()) return std::wstring();
    const mss_engine& engine = mss_engine::ref();
    if (engine.user.empty() || engine.connect_as_dbo || same_no_case(engine.user, L"sa")) return L"dbo";
    return engine.user;
}

// A wanted name's owner and table, whatever the owner filter of this session:
// "[owner].[table]" and "owner.table" carry the owner, a plain name none.
void split_wanted(const std::wstring& name, std::wstring& table, std::wstring& owner)
{
    if (!name.empty() && name.front() == L'[') {
        mss_split_tab_name(name, table, owner);
        return;
    }
    const size_t dot = name.find(L'.');
    owner = dot == std::wstring::npos ? std::wstring() : name.substr(0, dot);
    table = dot == std::wstring::npos ? name : name.substr(dot + 1);
}

} // namespace

int find_listed_table(const std::vector<std::wstring>& list, const std::wstring& name)
{
    for (size_t i = 0; i < list.size(); ++i)
        if (same_no_case(list[i], name)) return static_cast<int>(i);
    std::wstring table, owner;
    split_wanted(name, table, owner);
    const std::wstring plain_owner = listing_owner();
    for (size_t i = 0; i < list.size(); ++i) {
        std::wstring t, o;
        if (!list[i].empty() && list[i].front() == L'[') {
            mss_split_tab_name(list[i], t, o);
        } else {
            t = list[i]; // listed under the owner filter: the name alone, dots and all
            o = plain_owner;
        }
        if (!same_no_case(t, table)) continue;
        if (owner.empty() || o.empty() || same_no_case(o, owner)) return static_cast<int>(i);
    }
    return -1;
}
