#include "UDB/udb_recordset.h"

#include "TK/tk_exception.h"
#include "TK/tk_logger.h"
#include "UDB/udb_database.h"

udb_recordset::udb_recordset(udb_database* db, const std::wstring& table_name, const std::wstring& query,
                             bool schema_flag)
    : query(query), table_name(table_name), schema(schema_flag), db(db)
{}

udb_recordset::udb_recordset(const std::wstring& table_name) : table_name(table_name)
{
    tk_logger::log(2, "udb_recordset::ctor(default)");
}

udb_recordset::~udb_recordset() { tk_logger::log(1, "udb_recordset::dtor"); }

void udb_recordset::update(udb_record*) { tk_logger::log(1, "udb_recordset::update"); }

void udb_recordset::hook1() {}

udb_record* udb_recordset::get_item() { return nullptr; }

bool udb_recordset::is_eof() { return true; }

bool udb_recordset::is_query() const { return !query.empty(); }

void udb_recordset::next() {}

void udb_recordset::hook2() {}

void udb_recordset::reset() {}

void udb_recordset::finish_writes() {}

void udb_recordset::add_index(const udb_index& index)
{
    tk_logger::log(2, L"udb_recordset::add_index(%s, %d)", index.name.c_str(), static_cast<int>(key_pos));
    if (!indexes.is_acceptable_name(index.name)) {
        tk_logger::log(3, L"Index '%s' cannot be processed", index.name.c_str());
        return;
    }
    if (key_pos == -1 && (index.b_unique || index.b_primary)) {
        tk_logger::log(2, "Store primary/unique key");
        key_pos = static_cast<int32_t>(indexes.size());
    }
    indexes.push_back(index);
}

void udb_recordset::convert_record(udb_record& record)
{
    tk_logger::log(1, "udb_recordset::convert_record");
    for (auto& field : record.fields) {
        if (!field) continue;
        const std::wstring target = db ? db->get_fn_mapped_name(table_name, field->name, true) : field->name;
        tk_logger::log(1, L"Got mapped field name: %s", target.c_str());
        if (!schema.find_field(target)) {
            tk_logger::log(2, L"Field '%s' not found in schema", target.c_str());
            throw tk_exception(std::string("The structure of data source does not conform to the destination table."),
                               1);
        }
        const t_ftd& column = schema.get_field1(target);
        tk_logger::log(1, L"from=%s, to=%s", target.c_str(), column.name.c_str());
        field->name = target;
        field->change_type(column.vartype);
    }
}
