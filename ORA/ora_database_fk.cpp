// ora_database: foreign keys and the unique constraints they need.
#include "ORA/ora_database.h"
#include "ORA/ora_engine.h"
#include "ORA/ora_exception.h"
#include "ORA/ora_field_finder.h"
#include "ORA/ora_table.h"
#include "ORA/ora_validator.h"
#include "TK/tk_logger.h"
#include "TK/tk_text.h"
#include "TK/tk_wstring.h"
#include "UDB/udb_name_compare.h"

std::wstring ora_database::ora_gen_idx_name(const std::wstring& table)
{
    tk_logger::log(1, L"ora_gen_idx_name(%s)", table.c_str());
    std::wstring name = ora_validator().get_safe_name(table) + L"_UI";
    ora_in_validator& in = ora_in_validator::ref();
    if (!in.is_acceptable(name)) name = in.get_safe_name(name);
    in.add_existing_name(name);
    in.restricted_names.push_back(name);
    return name;
}

namespace {

// The mapped columns of a table, each in double quotes, joined by ", ".
std::wstring fk_columns(ora_database& db, const std::wstring& table, const std::vector<std::wstring>& fields)
{
    std::wstring out;
    for (const std::wstring& f : fields) {
        std::wstring col = db.get_fn_mapped_name_ex(table, f);
        if (db.b_uppercase) col = tk_wstring(col).to_upper();
        if (!out.empty()) out += L", ";
        out += L"\"" + col + L"\"";
    }
    return out;
}

} // namespace

void ora_database::create_relationships(udb_relationships& rels)
{
    tk_logger::log(1, "ora_database::create_relationships(b_uppercase=%d)", b_uppercase ? 1 : 0);
    tk_logger::log(3, "Converting foreign keys");
    if (mode == mode_append) {
        tk_logger::log(3, "Foreign Keys are not converted in append mode");
        return;
    }
    for (const udb_relationship& rel : rels) {
        tk_logger::log(3, L"Processing '%s'", rel.name.c_str());
        const std::wstring parent = get_tn_mapped_name_ex(rel.parent_table);
        if (!is_table_exist(parent)) {
            tk_logger::log(3, L"Table '%s' does not exist", parent.c_str());
            continue;
        }
        const std::wstring child = get_tn_mapped_name_ex(rel.child_table);
        if (!is_table_exist(child)) {
            tk_logger::log(3, L"Table '%s' does not exist", child.c_str());
            continue;
        }
        create_fk_index_if(parent, rel.parent_fields);

        std::wstring sql = L"ALTER TABLE " + ora_engine::get_safe_name(child) + L" ADD FOREIGN KEY (" +
                           fk_columns(*this, child, rel.child_fields) + L") REFERENCES " +
                           ora_engine::get_safe_name(parent) + L" (" + fk_columns(*this, parent, rel.parent_fields) +
                           L")";
        const std::wstring rule = tk_trim(rel.rule);
        if (udb_same_name(rule, L"ON DELETE SET NULL") || udb_same_name(rule, L"ON DELETE CASCADE")) sql += L" " + rule;
        tk_logger::log(3, L"Foreign key query: '%s'", sql.c_str());
        try {
            query(sql);
        } catch (const ora_exception& e) {
            tk_logger::log(3, "Error while creating foreign key:\n%s\n", e.what());
            error_sink.report(tk_exception("Can't create foreign key.", 0), L"Foreign key '" + rel.name + L"'");
        }
    }
}

void ora_database::create_fk_index_if(const std::wstring& table, const std::vector<std::wstring>& fields)
{
    tk_logger::log(1, L"ora_database::create_fk_index_if(%s)", table.c_str());
    std::vector<std::wstring> cols;
    for (const std::wstring& f : fields) {
        std::wstring col = get_fn_mapped_name_ex(table, f);
        cols.push_back(b_uppercase ? static_cast<std::wstring>(tk_wstring(col).to_upper()) : col);
    }
    {
        std::unique_ptr<udb_recordset> t = get_table1(table, 1);
        tk_logger::log(1, "udb_indexes::has_index_on_fields");
        for (const udb_index& idx : t->indexes) {
            if (!idx.consists_of_fields(cols)) continue;
            if (idx.b_unique) {
                tk_logger::log(1, L"FK index for table '%s' exists", table.c_str());
                return;
            }
            break;
        }
    }
    const std::wstring name = ora_gen_idx_name(table);
    const std::wstring sql = L"ALTER TABLE " + ora_engine::get_safe_name(table) + L" ADD CONSTRAINT \"" + name +
                             L"\" UNIQUE(" + fk_columns(*this, table, fields) + L")";
    try {
        query(sql);
        tk_logger::log(1, L"FK index for table '%s' has been created", table.c_str());
    } catch (const ora_exception& e) {
        tk_logger::log(1, "Error while creating index for FK:\n%s\n", e.what());
    }
}
