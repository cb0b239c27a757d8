// The driver's profile sections and keys.
#include <set>

#include "MSS/mss_split_tab_name.h"
#include "TK/tk_exception.h"
#include "TK/tk_logger.h"
#include "tarvex/profile_text.h"
#include "tarvex/tarvex_convertor.h"

namespace {

// The key a selected table is stored under: "owner.table", or the bracketed
// canonical form when a part holds a dot that would split it wrongly on reload.
std::wstring table_key(const std::wstring& name)
{
    std::wstring table, owner;
    mss_split_tab_name(name, table, owner);
    tk_logger::log(2, L"tab_name=%s, owner=%s", table.c_str(), owner.c_str());
    if (table.find(L'=') != std::wstring::npos || owner.find(L'=') != std::wstring::npos)
        tk_logger::log(3, L"Warning: table name '%s' holds '=' and reads back as a query", name.c_str());
    if (table.find(L'.') != std::wstring::npos || owner.find(L'.') != std::wstring::npos)
        return mss_engine::get_safe_tname(name);
    return owner.empty() ? table : owner + L"." + table;
}

} // namespace

bool tarvex_convertor::store_profile(udb_profile& profile)
{
    // The selection is written in list order and kept: saving twice gives the same file.
    std::set<std::wstring> written;
    auto write_table = [&](const std::wstring& name) {
        std::wstring key = table_key(name);
        if (written.insert(key).second) profile.set_value(profile_text::selected_tables, key, L"");
    };
    profile.add_section(profile_text::selected_tables);
    for (const auto& [name, text] : selected_queries) {
        if (text.empty()) {
            write_table(name);
        } else if (written.insert(name).second) {
            profile.set_value(profile_text::selected_tables, name, profile_text::flatten(text));
        }
    }
    for (const auto& name : selected_tables) write_table(name);

    bool ok = udb_converter::store_profile(profile);
    profile.set_value(profile_text::generic, L"mode", std::to_wstring(mode));
    ok = ok && oracle_converter_impl::store_profile(profile);
    ok = ok && mssql_converter_impl::store_profile(profile);
    if (ok) profile.set_value(profile_text::oracle, L"uppercase", profile_text::flag(uppercase));
    return ok;
}

bool tarvex_convertor::is_valid_mode(const std::wstring& text)
{
    return text.size() == 1 && text[0] >= L'0' && text[0] <= L'2';
}

bool tarvex_convertor::load_profile(udb_profile& profile)
{
    // Everything that can refuse the profile is checked before anything is
    // applied: a profile is loaded whole or not at all.
    profile.get_selected_tables();
    profile.get_available_queries();
    profile.get_selected_views();
    const std::wstring m = profile.get_value(profile_text::generic, L"mode");
    // Only the modes the command line takes: 0, 1 or 2, written as one digit.
    if (!m.empty() && !is_valid_mode(m)) {
        tk_logger::log(3, L"Invalid merge/overwrite mode '%s'", m.c_str());
        throw tk_exception(L"The profile's mode '" + m +
                               L"' is invalid: it must be 0 (overwrite), 1 (merge) or 2 (skip). "
                               L"Nothing was loaded and nothing will be converted.",
                           TK_LEVEL_STOP);
    }
    if (!ora_db_mutator().load_profile(profile)) {
        tk_logger::log(3, "The profile's type mappings are invalid: nothing loaded");
        return false;
    }

    if (!udb_converter::load_profile(profile)) return false;
    if (!m.empty()) mode = static_cast<uint32_t>(m[0] - L'0');
    if (!oracle_converter_impl::load_profile(profile) || !mssql_converter_impl::load_profile(profile)) return false;
    std::wstring up = profile.get_value(profile_text::oracle, L"uppercase");
    if (!up.empty()) uppercase = up == L"1";
    return ora_db_mutator::load_profile(profile);
}

bool tarvex_convertor::open_profile(const std::wstring& path)
{
    udb_profile profile;
    profile.load(path);
    return load_profile(profile);
}

bool tarvex_convertor::save_profile(const std::wstring& path)
{
    udb_profile profile;
    bool ok = store_profile(profile) && ora_db_mutator::store_profile(profile) && profile.store(path);
    if (!ok) tk_logger::log(3, L"Cannot save the profile '%s'", path.c_str());
    return ok;
}
