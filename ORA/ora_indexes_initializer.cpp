#include "ORA/ora_indexes_initializer.h"
#include "OLE/ole_variant.h"
#include "ORA/ora_engine.h"
#include "ORA/ora_exception.h"
#include "ORA/ora_index_filter.h"
#include "ORA/ora_stmt.h"
#include "ORA/ora_util.h"
#include "ORA/ora_validator.h"
#include "TK/tk_exception.h"
#include "TK/tk_logger.h"

namespace {

// ORA-01450: maximum key length exceeded.
constexpr uint32_t k_ora_key_too_long = 1450;

std::wstring column_list(const std::vector<std::wstring>& cols)
{
    std::wstring r;
    for (const auto& c : cols) {
        tk_logger::log(1, L"Process idx.field %s", c.c_str());
        if (!r.empty()) r += L",";
        r += ora_engine::quote_column(c);
    }
    return r;
}

} // namespace

ora_indexes_initializer::ora_indexes_initializer(const std::wstring& table, udb_schema& target_schema,
                                                 const udb_indexes& source, const t_names_map& names)
    : table_name(table), schema(&target_schema), column_map(&names)
{
    ora_in_validator* v = &tk_singleton<ora_in_validator>::ref();
    v->load(source);
    for (const auto& src : source) {
        const bool acceptable = v->is_acceptable(src.name);
        const std::wstring idx_name = acceptable ? src.name : v->get_safe_name(src.name);
        udb_index target(idx_name, src.b_unique, src.b_primary);
        if (!src.filter.empty() && src.b_unique && !src.b_primary) {
            // A unique index over some rows only: its key applies the filter, as a function-based index.
            // A filtered index that is not unique holds the same keys whole.
            const auto column_of = [&](const std::wstring& source) -> const t_ftd* {
                const std::wstring mapped = column_map->get_mapped_name(source, false);
                return schema->find_field(mapped) ? &schema->get_field2(mapped) : nullptr;
            };
            const std::optional<std::wstring> filter = ora_index_filter(src.filter, column_of);
            if (!filter) {
                notes.push_back(L"Index '" + src.name + L"' of table " + table_name + L" is not created: its filter " +
                                src.filter + L" cannot be written in Oracle SQL\n");
                continue;
            }
            target.filter = *filter;
        }
        bool usable = true;
        for (const auto& col : src.fields) {
            const std::wstring mapped = column_map->get_mapped_name(col, false);
            const t_ftd& desc = schema->get_field2(mapped);
            // A column the target lacks cannot be indexed either.
            if (!schema->find_field(mapped) || !can_be_part_of_index(desc)) {
                tk_logger::log(2, L"Field '%s' cannot be part of index",
                               desc.name.empty() ? mapped.c_str() : desc.name.c_str());
                if (schema->find_field(mapped))
                    notes.push_back(L"Index '" + src.name + L"' of table " + table_name + L" is not created: column '" +
                                    desc.name + L"' is a LOB, which Oracle does not index\n");
                usable = false;
                break;
            }
            target.fields.push_back(desc.name); // the column as the table has it
        }
        if (!usable) continue;
        indexes.push_back(target);
        if (target.b_primary) pk_pos = static_cast<int32_t>(indexes.size()) - 1;
        if (!acceptable) {
            notes.push_back(L"Index '" + src.name + L"' of table " + table_name + L" is named '" + idx_name + L"'\n");
            tk_logger::log(2, L"Store generated index name '%s'", idx_name.c_str());
            v->add_existing_name(idx_name);
        }
        v->restricted_names.push_back(idx_name);
    }
}

bool ora_indexes_initializer::can_be_part_of_index(const t_ftd& desc)
{
    tk_logger::log(1, "ora_indexes_initializer::can_be_part_of_index");
    tk_logger::log(1, "GOT FIELD: vt=%d, size=%d", static_cast<int>(desc.vartype), static_cast<int>(desc.size));
    if (desc.vartype == VT_BSTR) return !ora_is_lob_stored(desc);
    if (desc.size >= 1 && desc.size <= ora_text_limit) return true;
    switch (desc.vartype) {
    case VT_BSTR:
    case VT_BLOB:
    case VT_BLOB_OBJECT:
    case VT_BYTE_ARRAY:
        return false;
    default:
        return true;
    }
}

std::wstring ora_indexes_initializer::make_index_sql(const udb_index& idx) const
{
    if (idx.fields.empty()) {
        tk_logger::log(1, L"Skip index '%s' as it is built on empty fields list", idx.name.c_str());
        return {};
    }
    const std::wstring q_table = ora_engine::get_safe_name(table_name);
    const std::wstring q_name = L"\"" + idx.name + L"\"";
    if (idx.b_primary)
        return L"ALTER TABLE " + q_table + L" ADD CONSTRAINT " + q_name + L" PRIMARY KEY (" + column_list(idx.fields) +
               L")";
    if (pk_pos >= 0 && idx.consists_of_fields(indexes[static_cast<size_t>(pk_pos)].fields)) {
        tk_logger::log(2, L"Skip index '%s', it is equal to PK", idx.name.c_str());
        return {};
    }
    if (idx.b_unique && !idx.filter.empty()) {
        // One expression per column, each applying the filter: rows outside it are NULL in every
        // part and stay out of the index; the key values keep their types.
        std::wstring exprs;
        for (const auto& c : idx.fields) {
            tk_logger::log(1, L"Process idx.field %s", c.c_str());
            if (!exprs.empty()) exprs += L", ";
            exprs += L"CASE WHEN " + idx.filter + L" THEN " + ora_engine::quote_column(c) + L" END";
        }
        return L"CREATE UNIQUE INDEX " + q_name + L" ON " + q_table + L" (" + exprs + L")";
    }
    // Oracle's own unique index: it refuses at least what SQL Server's refuses, a key with one NULL part included.
    if (idx.b_unique)
        return L"CREATE UNIQUE INDEX " + q_name + L" ON " + q_table + L" (" + column_list(idx.fields) + L")";
    return L"CREATE INDEX " + q_name + L" ON " + q_table + L" (" + column_list(idx.fields) + L")";
}

void ora_indexes_initializer::build_indexes(const refusal_handler& refused)
{
    tk_logger::log(1, "ora_indexes_initializer::build_indexes(n_indexes=%d)", static_cast<int>(indexes.size()));
    // The key first, then unique indexes, then the others: a plain index that came first would take the
    // columns of a unique one (ORA-01408), which is then lost; the other way round the plain one is not needed.
    std::vector<const udb_index*> order;
    for (int pass = 0; pass < 3; ++pass)
        for (const auto& idx : indexes)
            if ((pass == 0 && idx.b_primary) || (pass == 1 && !idx.b_primary && idx.b_unique) ||
                (pass == 2 && !idx.b_primary && !idx.b_unique))
                order.push_back(&idx);
    for (const udb_index* p : order) {
        const udb_index& idx = *p;
        const std::wstring sql = make_index_sql(idx);
        if (sql.empty()) continue;
        tk_logger::log(2, L"Run SQL query: %s\n", sql.c_str());
        try {
            ora_stmt st;
            st.run(sql, 1, OCI_DEFAULT);
        } catch (const ora_exception& e) {
            const uint32_t n = e.ora_number();
            tk_logger::log(2, "Got error: %08X", n);
            if (n == 1408 || n == 2261) continue;
            // The key is longer than the target's block holds: the table and its rows go on without it.
            if (n == k_ora_key_too_long && refused) {
                refused(e);
                continue;
            }
            throw;
        }
    }
}
