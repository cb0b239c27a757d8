#include "tarvex/udb_converter.h"

#include "MSS/mss_split_tab_name.h"
#include "TK/tk_logger.h"
#include "TK/tk_text.h"
#include "tarvex/profile_text.h"

namespace {

// "[dbo].[Orders]" and "dbo.Orders" name one table.
bool same_table(const std::wstring& a, const std::wstring& b)
{
    std::wstring ta, oa, tb, ob;
    mss_split_tab_name(a, ta, oa);
    mss_split_tab_name(b, tb, ob);
    return ta == tb && oa == ob;
}

// A loaded entry takes the place of one of the same name, so loading a
// profile twice never lists (and converts) one table or query twice.
void put_query(udb_converter::query_list& list, const std::wstring& name, const std::wstring& text)
{
    for (auto& entry : list)
        if (entry.first == name) {
            entry.second = text;
            return;
        }
    list.emplace_back(name, text);
}

} // namespace

udb_converter::udb_converter() { tk_logger::log(1, "udb_converter::ctor"); }

std::wstring udb_converter::get_current_name() const
{
    std::lock_guard<std::mutex> lock(name_mutex_);
    return current_name_;
}

void udb_converter::set_current_name(const std::wstring& name)
{
    std::lock_guard<std::mutex> lock(name_mutex_);
    current_name_ = name;
}

bool udb_converter::store_profile(udb_profile& profile)
{
    tk_logger::log(2, "udb_converter::store_profile");
    profile.add_section(profile_text::available_queries);
    profile.add_section(profile_text::selected_tables);
    profile.add_section(profile_text::selected_views);
    for (const auto& [name, text] : available_queries) {
        std::wstring flat = profile_text::flatten(text);
        tk_logger::log(3, L"Available Query: (%s,%s)", name.c_str(), flat.c_str());
        profile.set_value(profile_text::available_queries, name, flat);
    }
    for (const auto& [name, text] : selected_views) {
        std::wstring flat = profile_text::flatten(text);
        tk_logger::log(3, L"Selected View: (%s,%s)", name.c_str(), flat.c_str());
        profile.set_value(profile_text::selected_views, name, flat);
    }
    const wchar_t* g = profile_text::generic;
    profile.set_value(g, L"src", src);
    profile.set_value(g, L"dest", dest);
    profile.set_value(g, L"logfile", to_unicode(log_file));
    profile.set_value(g, L"skip indexes", skip_idx ? L"1" : L"0");
    profile.set_value(g, L"only definitions", tab_def ? L"1" : L"0");
    return true;
}

bool udb_converter::load_profile(udb_profile& profile)
{
    tk_logger::log(1, "udb_converter::load_profile");
    for (const auto& [key, value] : profile.get_selected_tables()) {
        if (value.empty()) {
            bool listed = false;
            for (const auto& t : selected_tables) listed = listed || same_table(t, key);
            if (listed) continue;
            tk_logger::log(1, L"Push back table '%s'", key.c_str());
            selected_tables.push_back(key);
        } else {
            put_query(selected_queries, key, value);
        }
    }
    for (const auto& [name, text] : profile.get_available_queries()) put_query(available_queries, name, text);
    for (const auto& [name, text] : profile.get_selected_views()) put_query(selected_views, name, text);

    const wchar_t* g = profile_text::generic;
    std::wstring v = profile.get_value(g, L"src");
    if (!v.empty()) src = v;
    v = profile.get_value(g, L"dest");
    if (!v.empty()) dest = v;
    v = profile.get_value(g, L"logfile");
    if (!v.empty()) {
        std::string name = to_ansi(v);
        tk_logger::log(1, "Logfile=%s", name.c_str());
        set_logfile(name);
    }
    v = profile.get_value(g, L"skip indexes");
    if (!v.empty()) skip_idx = v != L"0";
    v = profile.get_value(g, L"only definitions");
    if (!v.empty()) tab_def = v != L"0";
    return true;
}
