#include "ORA/ora_identity_registry.h"

#include <algorithm>
#include <cstdint>

namespace {

constexpr size_t max_name = 30;
const std::wstring trigger_suffix = L"__TRIGGER";

// The key of a table: its name without double quotes.
std::wstring table_key(const std::wstring& name)
{
    std::wstring out = name;
    out.erase(std::remove(out.begin(), out.end(), L'"'), out.end());
    return out;
}

} // namespace

void ora_identity_registry::set(const std::wstring& table, const identity& id) { identities[table_key(table)] = id; }

void ora_identity_registry::erase(const std::wstring& table) { identities.erase(table_key(table)); }

const ora_identity_registry::identity* ora_identity_registry::find(const std::wstring& table) const
{
    auto it = identities.find(table_key(table));
    return it == identities.end() ? nullptr : &it->second;
}

std::wstring ora_identity_registry::claim_trigger_name(const std::wstring& base, const std::wstring& table)
{
    const std::wstring owner = table_key(table);
    for (unsigned n = 0;; ++n) {
        const std::wstring number = n ? std::to_wstring(n) : std::wstring();
        const size_t room = max_name - trigger_suffix.size() - number.size();
        const std::wstring name = ora_fit_bytes(base, room) + number + trigger_suffix;
        auto it = triggers.find(name);
        if (it == triggers.end()) {
            triggers.emplace(name, owner);
            return name;
        }
        // The same table created again (an overwrite) keeps its own trigger name.
        if (it->second == owner) return name;
    }
}
