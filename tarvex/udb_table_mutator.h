// The user's changes to one table: its target name and its column mutators.
#pragma once
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "TK/tk_logger.h"
#include "UDB/ora_field.h"
#include "UDB/udb_indexes.h"
#include "UDB/udb_record.h"
#include "UDB/udb_schema.h"
#include "tarvex/udb_properties.h"

template <class FieldMutator>
class udb_table_mutator : public udb_properties {
public:
    using native_type_t = decltype(FieldMutator::native_type);

    explicit udb_table_mutator(const std::wstring& name) : new_name(name) {}

    udb_properties* get_child(const std::wstring& name) override { return get_field_mutator(name); }
    udb_properties* get_child_by_target(const std::wstring& name) override { return get_field_mutator_by_target(name); }

    virtual FieldMutator* get_field_mutator(const std::wstring& source_name)
    {
        auto it = by_source.find(source_name);
        return it == by_source.end() ? nullptr : it->second.get();
    }
    virtual FieldMutator* get_field_mutator_by_target(const std::wstring& target_name)
    {
        auto it = by_target.find(target_name);
        return it == by_target.end() ? nullptr : it->second;
    }
    bool has_field_mutators() const { return !by_source.empty(); }

    // Rewrites the column list; answers the table's target name.
    virtual std::wstring modify1(udb_schema& schema, const std::wstring& source_name)
    {
        tk_logger::log(2, "udb_table_mutator::modify1()");
        if (has_field_mutators()) {
            // Each descriptor is a copy of its own: the source schema and this
            // mutator never hand one object back and forth.
            std::vector<std::shared_ptr<t_ftd>> rewritten;
            std::vector<std::pair<std::shared_ptr<t_ftd>, FieldMutator*>> changed;
            for (const auto& col : schema.fields) {
                FieldMutator* fm = get_field_mutator(col->name);
                if (!fm) {
                    rewritten.push_back(std::make_shared<t_ftd>(*col));
                } else if (fm->status == FieldMutator::status_dropped) {
                    continue;
                } else {
                    auto f = fm->get_native_type(col.get());
                    rewritten.push_back(f);
                    if (fm->status == FieldMutator::status_changed) changed.emplace_back(f, fm);
                }
            }
            own_schema.fields = rewritten;
            schema.fields = std::move(rewritten);
            // The source's identity seed and increment stay: the target sequence starts from them.
            for (auto& [f, fm] : changed) fm->modify1(*f);
        }
        return new_name.empty() ? source_name : new_name;
    }

    // The record to write: the given one when no column changes, else this
    // mutator's own, valid until the next call.
    virtual udb_record* modify2(udb_record* record)
    {
        tk_logger::log(2, "udb_table_mutator::modify2()");
        if (!has_field_mutators() || !record) return record;
        own_record.clear();
        for (const auto& field : record->fields) {
            FieldMutator* fm = get_field_mutator(field->name);
            if (!fm) {
                own_record.push_back(std::make_unique<udb_field>(*field));
            } else if (fm->status == FieldMutator::status_dropped) {
                continue;
            } else {
                auto f = std::make_unique<ora_field>(*field);
                fm->modify2(*f);
                own_record.push_back(std::move(f));
            }
        }
        return &own_record;
    }

    // Drops and renames index columns; an index left without columns is removed.
    void modify3(udb_indexes& indexes)
    {
        tk_logger::log(2, "udb_table_mutator::modify3()");
        for (auto it = indexes.begin(); it != indexes.end();) {
            std::vector<std::wstring> cols;
            for (const auto& col : it->fields) {
                FieldMutator* fm = get_field_mutator(col);
                if (!fm)
                    cols.push_back(col);
                else if (fm->status != FieldMutator::status_dropped)
                    cols.push_back(fm->target_name(col));
            }
            if (cols.empty()) {
                tk_logger::log(3, L"Index '%s' has been skipped", it->name.c_str());
                it = indexes.erase(it);
            } else {
                it->fields = std::move(cols);
                ++it;
            }
        }
    }

    virtual std::unique_ptr<FieldMutator> create_field_mutator(const std::wstring& name, const native_type_t& nt)
    {
        return std::make_unique<FieldMutator>(name, nt);
    }

    FieldMutator* update_field(const std::wstring& old_name, const std::wstring& name, const native_type_t& nt)
    {
        tk_logger::log(1, L"udb_table_mutator::update_field(old_name=%s,new_name=%s,native_type=%s,length=%d)",
                       old_name.c_str(), name.c_str(), nt.name.c_str(), static_cast<int>(nt.length));
        FieldMutator* fm = get_field_mutator(old_name);
        if (!fm) {
            auto owned = create_field_mutator(name, nt);
            fm = owned.get();
            by_source[old_name] = std::move(owned);
        }
        by_target.emplace(name, fm);
        native_type_t::get_udb_type(nt, fm->new_ole_type, fm->new_ole_flags);
        fm->new_name = name;
        fm->native_type = nt;
        return fm;
    }

    std::map<std::wstring, std::unique_ptr<FieldMutator>> by_source;
    std::map<std::wstring, FieldMutator*> by_target;
    udb_record own_record;
    udb_schema own_schema{true};
    std::wstring new_name;
};
