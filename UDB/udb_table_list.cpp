#include "UDB/udb_table_list.h"

#include "UDB/udb_name_compare.h"
#include "platform/win32/win_compare.h"

udb_table_list& udb_table_list::operator=(std::initializer_list<std::wstring> names)
{
    names_ = names;
    forget_index();
    return *this;
}

void udb_table_list::clear()
{
    names_.clear();
    forget_index();
}

void udb_table_list::erase(size_t pos)
{
    names_.erase(names_.begin() + static_cast<std::ptrdiff_t>(pos));
    // Later positions moved: the index is made again when next asked.
    forget_index();
}

void udb_table_list::forget_index()
{
    exact_.clear();
    exact_done_ = 0;
    keyed_.clear();
    keyed_done_ = 0;
}

long udb_table_list::find(const std::wstring& name, bool case_sensitive) const
{
    if (case_sensitive) {
        for (; exact_done_ < names_.size(); ++exact_done_) exact_.emplace(names_[exact_done_], exact_done_);
        const auto it = exact_.find(name);
        return it == exact_.end() ? -1 : static_cast<long>(it->second);
    }
    // Keys from another collation compare nothing: they are made again.
    const unsigned generation = collation_generation();
    if (generation != generation_) {
        keyed_.clear();
        keyed_done_ = 0;
        generation_ = generation;
    }
    for (; keyed_done_ < names_.size(); ++keyed_done_) {
        // A name without a key equals no name, as a comparison that fails does.
        if (auto key = udb_name_key(names_[keyed_done_])) keyed_.emplace(std::move(*key), keyed_done_);
    }
    const auto key = udb_name_key(name);
    if (!key) return -1;
    const auto it = keyed_.find(*key);
    return it == keyed_.end() ? -1 : static_cast<long>(it->second);
}
