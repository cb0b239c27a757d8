// odb_database: creating a table through ITableDefinition, with the fix-up
// statements for types the column descriptions cannot carry.
#include <limits>
#include <memory>

#include "MSS/mss_engine.h"
#include "MSS/mss_sql_text.h"
#include "MSS/mss_util.h"
#include "MSS/mss_validator.h"
#include "MSS/odb_column_props.h"
#include "MSS/odb_database.h"
#include "MSS/odb_exception.h"
#include "MSS/odb_record.h"
#include "OLE/ole_com_ptr.h"
#include "TK/tk_exception.h"
#include "TK/tk_logger.h"
#include "UDB/udb_custom_conversion.h"
#include "platform/win32/win_compare.h"

namespace {

bool equal_no_case(const std::wstring& a, const wchar_t* b)
{
    return CompareStringW(LOCALE_SYSTEM_DEFAULT, NORM_IGNORECASE, a.c_str(), -1, b, -1) == CSTR_EQUAL;
}

bool ends_with_no_case(const std::wstring& s, const wchar_t* suffix)
{
    const std::wstring tail(suffix);
    return s.size() >= tail.size() && equal_no_case(s.substr(s.size() - tail.size()), suffix);
}

bool can_auto_increment(VARTYPE vt)
{
    switch (vt) {
    case VT_I1:
    case VT_I2:
    case VT_I4:
    case VT_INT:
    case VT_UI1:
    case VT_UI2:
    case VT_BOOL:
    case VT_UI4:
    case VT_I8:
    case VT_UINT:
    case VT_UI8:
        return true;
    default:
        return false;
    }
}

// The strings a column description points to, kept alive until CreateTable returns.
struct column_texts {
    std::wstring name;
    std::wstring type_name;
};

} // namespace

void odb_database::set_def_value(const t_ftd* column, odb_column_props* props)
{
    if (!column) throw tk_mail_assertion("odb_db", 696);
    if (!props) throw tk_mail_assertion("odb_db", 697);
    std::wstring text = column->default_value.to_wstring();
    tk_logger::log(1, L"Got default value: '%s'", text.c_str());
    if (column->vartype == VT_DATE &&
        (equal_no_case(text, L"CURRENT_TIMESTAMP") || column->dw_reserved == t_ftd::hint_date_function)) {
        tk_logger::log(1, "Special processing for CURRENT_TIMESTAMP");
        props->set_text(DBPROP_COL_DEFAULT, L"CURRENT_TIMESTAMP");
        return;
    }
    if (text.empty()) return;
    try {
        const ole_variant value = mssql_get_safe_variant(ole_variant::from_wstring(text, column->vartype));
        if (value.value.vt == VT_EMPTY || value.value.vt == VT_NULL) {
            // The text did not convert to the column's type.
            tk_logger::log(1, "Invalid default value");
            return;
        }
        if (column->vartype == VT_BSTR || column->vartype == VT_DATE) {
            text = value.to_wstring();
            // Only text is cut to the column: a date's size is its storage, not its text.
            if (column->vartype == VT_BSTR && column->size > 0 && text.size() > column->size) {
                text = text.substr(0, column->size - 1);
                tk_logger::log(1, L"Truncate def.value to %d bytes: '%s'", static_cast<int>(column->size) - 1,
                               text.c_str());
            }
            if (column->vartype == VT_DATE && column->dw_reserved == t_ftd::hint_time_only) {
                const size_t pos = text.find(L"0000-00-00 ");
                if (pos != std::wstring::npos) {
                    tk_logger::log(1, "Null date has been found");
                    text.erase(pos, 11);
                }
            }
            tk_logger::log(1, L"Got safe default value: %s", text.c_str());
            std::wstring quoted;
            for (wchar_t c : text) {
                quoted += c;
                if (c == L'\'') quoted += L'\'';
            }
            props->set_text(DBPROP_COL_DEFAULT, L"'" + quoted + L"'");
        } else {
            props->set_value(DBPROP_COL_DEFAULT, value.value);
        }
    } catch (const std::exception&) {
        tk_logger::log(1, "Invalid default value");
    }
}

void odb_database::create_table_def(const std::wstring& table, udb_schema& schema, udb_indexes& indexes)
{
    tk_logger::log(2, L"odb_database::create_table(%s, n_indexes=%d)", table.c_str(), static_cast<int>(indexes.size()));
    ole_com_ptr<IDBCreateSession> create_session;
    if (!data_source.p || FAILED(data_source->QueryInterface(IID_IDBCreateSession, create_session.out())) ||
        !create_session.p)
        throw tk_mail_assertion("odb_db", 38);
    ole_com_ptr<ITableDefinition> definition;
    if (FAILED(create_session->CreateSession(nullptr, IID_ITableDefinition,
                                             reinterpret_cast<IUnknown**>(definition.out()))) ||
        !definition.p)
        throw tk_mail_assertion("odb_db", 57);
    mss_fn_validator validator(schema.fields);
    const std::wstring safe_table = sql_ident(table);
    tk_logger::log(1, L"Got safe table name: %s", safe_table.c_str());

    const mss_engine* engine = mss_engine::find();
    const bool native = engine && engine->is_native_provider();
    const int32_t version = engine ? engine->version : 0;

    tk_logger::log(1, "Schema size=%d", static_cast<int>(schema.size()));
    std::vector<DBCOLUMNDESC> cols(schema.size());
    std::vector<std::unique_ptr<odb_column_props>> props;
    std::vector<column_texts> texts(schema.size());
    for (size_t i = 0; i < schema.size(); ++i) {
        const t_ftd& f = schema[i];
        DBCOLUMNDESC& d = cols[i];
        tk_logger::log(1, L"Creating column '%s', type=%d, size=%d, native_type=%s", f.name.c_str(),
                       static_cast<int>(f.vartype), static_cast<int>(f.size), f.native_type.c_str());
        tk_logger::log(1, "schema[i]->b_auto_num=%d", f.b_auto_num ? 1 : 0);
        props.push_back(std::make_unique<odb_column_props>());
        odb_column_props& p = *props.back();
        const bool auto_inc = f.b_auto_num && can_auto_increment(f.vartype);
        p.set_bool(DBPROP_COL_AUTOINCREMENT, auto_inc);
        tk_logger::log(1, "b_auto_num(2)=%d", auto_inc ? 1 : 0);
        bool nullable;
        if (indexes.is_idx_field(f.name, true)) {
            tk_logger::log(1, "Field is a part of Primary Key");
            nullable = false;
        } else {
            nullable = !f.b_not_null && !auto_inc;
        }
        p.set_bool(DBPROP_COL_NULLABLE, nullable);

        texts[i].name = sql_ident(f.name);
        d.dbcid.eKind = DBKIND_NAME;
        d.dbcid.uName.pwszName = texts[i].name.data();
        tk_logger::log(1, L"uName.pwszName=%s", texts[i].name.c_str());

        if (udb_custom_conversion::is_acceptable1(f)) {
            tk_logger::log(1, "Just before udb_custom_conversion::handle");
            udb_custom_conversion::handle1_1(f, texts[i].type_name);
            d.pwszTypeName = texts[i].type_name.data();
        } else {
            d.wType = odb_record::get_oledb_type(f);
            d.ulColumnSize = f.size;
            tk_logger::log(1, ">> Binding column #%d (%d, %d)", static_cast<int>(i), static_cast<int>(d.wType),
                           static_cast<int>(d.ulColumnSize));
            if (ends_with_no_case(f.native_type, L"text")) {
                tk_logger::log(1, "Setting 0-size for text/ntext column, old size=%d", static_cast<int>(f.size));
                d.ulColumnSize = 0;
            }
        }
        if (f.vartype == VT_DATE && native && version > 4) {
            tk_logger::log(1, "Got VT_DATE, cols[i].wType=%d", static_cast<int>(d.wType));
            if (d.wType == DBTYPE_DBTIMESTAMP) {
                tk_logger::log(1, "Processing datetime in MS SQL 2008+ way");
                d.bScale = 3;
            } else if (d.wType == DBTYPE_DATE) {
                tk_logger::log(1, "Processing pure date in MS SQL 2008+ way");
                texts[i].type_name = L"DATE";
                d.pwszTypeName = texts[i].type_name.data();
            } else if (d.wType == DBTYPE_DBTIME2) {
                tk_logger::log(1, "Processing pure time in MS SQL 2008+ way");
                texts[i].type_name = L"TIME";
                d.pwszTypeName = texts[i].type_name.data();
                d.bScale = 4;
            }
        }
        if (f.vartype == VT_DECIMAL) {
            d.bPrecision = static_cast<BYTE>(f.dw_reserved == 0 ? 0 : (f.dw_reserved >> 8) & 0xFF);
            d.bScale = static_cast<BYTE>(f.dw_reserved & 0xFF);
            tk_logger::log(1, "Scale/precision for decimal column: (%d, %d)", d.bScale, d.bPrecision);
        }
        if (d.ulColumnSize == 0 && d.wType == DBTYPE_BYTES) {
            tk_logger::log(1, "Got BLOB field, set size=-1");
            d.ulColumnSize = std::numeric_limits<DBLENGTH>::max();
        } else if (!f.b_auto_num && d.wType != DBTYPE_BYTES) {
            set_def_value(&f, &p);
        }
        d.rgPropertySets = p.get_set();
        d.cPropertySets = 1;
    }

    tk_logger::log(1, "Right before creating the table");
    std::wstring table_id = safe_table;
    DBID id{};
    id.eKind = DBKIND_NAME;
    id.uName.pwszName = table_id.data();
    ole_com_ptr<IUnknown> rowset;
    odb_check(
        definition->CreateTable(nullptr, &id, cols.size(), cols.data(), IID_IRowset, 0, nullptr, nullptr, &rowset));
    rowset.release();
    tk_logger::log(1, "Right after CreateTable");
    names_map.add_fn_map(safe_table, validator.mapped_pairs);

    tk_logger::log(1, "Refining types for decimal & uniqueidentifier");
    for (size_t i = 0; i < schema.size(); ++i) {
        const t_ftd& f = schema[i];
        tk_logger::log(1, "MSS: vt=%d, dw_reserved=%d", static_cast<int>(f.vartype), static_cast<int>(f.dw_reserved));
        std::wstring sql;
        if (native && version >= 5 && f.vartype == VT_BSTR && f.dw_reserved == t_ftd::hint_bstr_guid) {
            tk_logger::log(1, "GOT MS SQL UUID");
            sql = L"ALTER TABLE " + safe_table + L" ALTER COLUMN " + sql_ident(f.name) + L" uniqueidentifier";
        } else if (f.vartype == VT_DECIMAL && !f.native_type.empty()) {
            sql = L"ALTER TABLE " + safe_table + L" ALTER COLUMN " + sql_ident(f.name) + L" " + f.native_type;
        }
        if (sql.empty()) continue;
        if (f.b_not_null || indexes.is_idx_field(f.name, true)) sql += L" NOT NULL";
        tk_logger::log(1, L"Alter type query: %s", sql.c_str());
        try {
            query(sql).reset();
        } catch (const tk_exception& e) {
            tk_logger::log(3, "ERROR: %s", e.what());
        }
    }

    tk_logger::log(1, "Making strings case sensitive under primary key");
    for (size_t i = 0; i < schema.size(); ++i) {
        const t_ftd& f = schema[i];
        if (f.vartype != VT_BSTR) {
            tk_logger::log(1, L"Skip column %s", f.name.c_str());
            continue;
        }
        // A GUID column is no longer text after the step above.
        if (native && version >= 5 && f.dw_reserved == t_ftd::hint_bstr_guid) {
            tk_logger::log(1, L"Skip column %s", f.name.c_str());
            continue;
        }
        std::wstring sql = L"ALTER TABLE " + safe_table + L" ALTER COLUMN " + sql_ident(f.name) + L" " +
                           get_mss_native_type1(f, false) + L" collate Latin1_General_CS_AS";
        // A key column stays NOT NULL: ALTER COLUMN without it would make it nullable.
        if (f.b_not_null || indexes.is_idx_field(f.name, true)) sql += L" NOT NULL";
        tk_logger::log(1, L"CS-query: %s", sql.c_str());
        try {
            query(sql).reset();
        } catch (const tk_exception& e) {
            tk_logger::log(3, "ALTER COLLATE ERROR: %s", e.what());
        }
    }
}
