#include "UDB/udb_name_set.h"

#include "UDB/udb_name_compare.h"
#include "platform/win32/win_compare.h"

namespace {

std::wstring up_to_nul(const std::wstring& name) { return name.substr(0, name.find(L'\0')); }

} // namespace

void udb_name_set::clear()
{
    names_.clear();
    keys_.clear();
    keys_up_to_nul_.clear();
    keyed_ = 0;
}

void udb_name_set::refresh() const
{
    // Keys from another collation compare nothing: they are made again.
    const unsigned generation = collation_generation();
    if (generation != generation_) {
        keys_.clear();
        keys_up_to_nul_.clear();
        keyed_ = 0;
        generation_ = generation;
    }
    for (; keyed_ < names_.size(); ++keyed_) {
        const std::wstring& name = names_[keyed_];
        // A name without a key equals no name, as a comparison that fails does.
        auto key = udb_name_key(name);
        if (name.find(L'\0') == std::wstring::npos) {
            if (key) {
                keys_up_to_nul_.insert(*key);
                keys_.insert(std::move(*key));
            }
            continue;
        }
        if (key) keys_.insert(std::move(*key));
        if (auto head = udb_name_key(up_to_nul(name))) keys_up_to_nul_.insert(std::move(*head));
    }
}

bool udb_name_set::contains(const std::wstring& name) const
{
    if (names_.empty()) return false;
    refresh();
    const auto key = udb_name_key(name);
    return key && keys_.count(*key) != 0;
}

bool udb_name_set::contains_up_to_nul(const std::wstring& name) const
{
    if (names_.empty()) return false;
    refresh();
    const auto key = udb_name_key(up_to_nul(name));
    return key && keys_up_to_nul_.count(*key) != 0;
}
