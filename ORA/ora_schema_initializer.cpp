#include "ORA/ora_schema_initializer.h"

#include "ORA/ora_database.h"
#include "ORA/ora_engine.h"
#include "ORA/ora_exception.h"
#include "ORA/ora_field_finder.h"
#include "ORA/ora_stmt.h"
#include "ORA/ora_util.h"
#include "TK/tk_logger.h"
#include "TK/tk_text.h"
#include "TK/tk_wstring.h"
#include "UDB/udb_custom_conversion.h"
#include "UDB/udb_recordset.h"

namespace {

constexpr VARTYPE vt_byte_array = VT_ARRAY | VT_UI1;
constexpr size_t max_name = 30;

bool is_long_data(const t_ftd& f) { return f.vartype == VT_BSTR ? ora_is_lob_stored(f) : f.size == 0 || f.size > 2000; }

std::wstring dq(const std::wstring& name) { return L"\"" + name + L"\""; }

} // namespace

ora_schema_initializer::ora_schema_initializer(const std::wstring& table_name, udb_schema& schema, udb_indexes& indexes,
                                               bool b_uppercase)
    : table_name(table_name),
      b_uppercase(b_uppercase),
      target_schema(true),
      validator(schema),
      p_indexes(&indexes),
      p_schema(&schema)
{
    tk_logger::log(2, "ora_schema_initializer::ctor");
    for (size_t i = 0; i < schema.size(); ++i) {
        const t_ftd& src = schema[i];
        std::wstring target = b_uppercase ? static_cast<std::wstring>(tk_wstring(src.name).to_upper()) : src.name;
        if (!validator.is_acceptable(target)) target = validator.get_safe_name(target);
        tk_logger::log(1, L"\tschema[%d]: dw_reserved=%d, native_type=%s", static_cast<int>(i),
                       static_cast<int>(src.dw_reserved), src.native_type.c_str());
        auto desc = std::make_shared<t_ftd>(src.size, target, src.vartype, src.b_auto_num ? false : src.b_not_null,
                                            src.b_auto_num, src.b_auto_num ? ole_variant() : src.default_value,
                                            src.dw_reserved, src.native_type);
        if (!src.b_auto_num) desc->source_default = src.source_default;
        target_schema.push_back(desc);
        if (target != src.name) {
            tk_logger::log(2, L"Store generated column name '%s'", target.c_str());
            validator.add_existing_name(target);
            validator.add_mapped_pair(src.name, target);
        }
        validator.restricted_names.push_back(target);
        if (src.b_auto_num) identity_column = target;
    }
}

std::wstring ora_schema_initializer::get_create_table_sql() const
{
    ora_engine& eng = ora_eng();
    std::wstring sql = L"CREATE TABLE " + ora_engine::get_safe_name(table_name) + L" (";
    for (size_t i = 0; i < target_schema.size(); ++i) {
        const t_ftd& f = target_schema[i];
        tk_logger::log(1, L"\tschema[%d]->native_type=%s", static_cast<int>(i), f.native_type.c_str());
        std::wstring type;
        if (udb_custom_conversion::is_acceptable1(f))
            type = udb_custom_conversion::handle1(f);
        else if (!f.native_type.empty())
            type = f.native_type;
        else
            type = get_ora_native_type(f, false);
        if (!eng.is_supported_type(type))
            tk_logger::log(3, L"Table '%s': column '%s' has unsupported type '%s', skip it", table_name.c_str(),
                           f.name.c_str(), type.c_str());
        if (sql.back() != L'(') sql += L", ";
        sql += dq(f.name) + L" " + type;

        // A type chosen by a mapping comes with its default as an Oracle literal already.
        const std::wstring def = f.native_type.empty() ? make_ora_def_val(&f) : tk_trim(f.default_value.to_wstring());
        tk_logger::log(1, L"got def value: %s", def.c_str());
        const bool lob_default = (f.vartype == VT_BSTR || f.vartype == VT_BLOB) && is_long_data(f);
        if (!def.empty() && !lob_default) sql += L" DEFAULT " + def;
        tk_logger::log(1, L"OraField name='%s', type=%d, size=%d", f.name.c_str(), static_cast<int>(f.vartype),
                       static_cast<int>(f.size));
        const bool lob_null =
            (f.vartype == VT_BSTR || f.vartype == VT_BLOB || f.vartype == vt_byte_array) && is_long_data(f);
        if (f.b_not_null && !lob_null) sql += L" NOT NULL";
    }
    sql += L")";
    return sql;
}

std::wstring ora_schema_initializer::get_trigger_sql(const std::wstring& table, const std::wstring& trigger,
                                                     const std::wstring& sequence, const std::wstring& column)
{
    return L"CREATE OR REPLACE TRIGGER " + dq(trigger) + L" BEFORE INSERT ON " + ora_engine::get_safe_name(table) +
           L" FOR EACH ROW " + L"WHEN (new." + dq(column) + L" IS NULL) " + L"BEGIN " + L"select " + dq(sequence) +
           L".nextval into :new." + dq(column) + L" from dual; " + L"END;";
}

void ora_schema_initializer::create_trigger(const std::wstring& sql)
{
    tk_logger::log(1, L"ora_database::query(%s)", sql.c_str());
    ora_stmt stmt;
    const sword status = stmt.run(sql);
    if (status == OCI_SUCCESS_WITH_INFO) {
        // A trigger that does not compile refuses every insert into its table.
        tk_logger::log(3, L"Trigger has been created with compilation errors: %s", sql.c_str());
        throw tk_exception("The identity trigger was created with compilation errors: its sequence is missing.", 0);
    }
}

void ora_schema_initializer::build_table(ora_database& db)
{
    tk_logger::log(2, "ora_schema_initializer::build_schema( n_columns=%d )", static_cast<int>(target_schema.size()));
    const std::wstring sql = get_create_table_sql();
    tk_logger::log(2, L"Run SQL query: %s\n", sql.c_str());
    db.query(sql);
    // Each default the source has and the table does not, for the console.
    for (size_t i = 0; i < target_schema.size(); ++i) {
        const t_ftd& f = target_schema[i];
        if (f.source_default.empty()) continue;
        const std::wstring def = f.native_type.empty() ? make_ora_def_val(&f) : tk_trim(f.default_value.to_wstring());
        const bool lob_default = (f.vartype == VT_BSTR || f.vartype == VT_BLOB) && is_long_data(f);
        if (def.empty() || lob_default)
            notes.push_back(L"Default " + f.source_default + L" of column '" + f.name + L"' of table " + table_name +
                            L" is not carried over\n");
    }
}

void ora_schema_initializer::build_identity(ora_database& db)
{
    if (identity_column.empty()) return;
    sequence_name = create_sequence(db);
    if (sequence_name.empty()) {
        tk_logger::log(2, "Failed to create a sequence");
        // The column would keep no generator: said for the table, not left to the next insert.
        throw tk_exception(L"No sequence could be created for the identity column '" + identity_column + L"' of " +
                               table_name + L": every name tried is taken.",
                           0);
    }
    tk_logger::log(2, L"sequence_name=%s", sequence_name.c_str());
    const std::wstring base = ora_validator().get_safe_name(table_name);
    const std::wstring trigger = db.identities.claim_trigger_name(base, table_name);
    tk_logger::log(2, L"Trigger name: %s", trigger.c_str());
    db.identities.set(table_name, ora_identity_registry::identity{sequence_name, identity_column, trigger});
    try {
        create_trigger(get_trigger_sql(table_name, trigger, sequence_name, identity_column));
    } catch (const tk_exception& e) {
        // Without its trigger the sequence fills nothing: reported for the table, which goes on.
        tk_logger::log(2, "Error while creating index for trigger:\n%s\n", e.what());
        db.error_sink.report(e, table_name);
    }
}

void ora_schema_initializer::build_schema(ora_database& db)
{
    build_table(db);
    build_identity(db);
}

std::wstring ora_schema_initializer::create_sequence(ora_database& db)
{
    tk_logger::log(1, "ora_schema_initializer::create_sequence");
    const std::wstring sequence = create_sequence(db, table_name, L"1");
    // A sequence that could not take its table's first name is reported like any other rename.
    if (!sequence.empty() && sequence != sequence_candidate(table_name, 0))
        notes.push_back(L"Sequence of table " + table_name + L" is named '" + sequence + L"'\n");
    return sequence;
}

std::wstring ora_schema_initializer::sequence_candidate(const std::wstring& table_name, int attempt)
{
    // The base is made safe first and then cut so that the numeric suffix
    // always fits: otherwise long names lose the suffix and every attempt
    // tries the same name.
    const std::wstring base = ora_validator().get_safe_name(table_name);
    const std::wstring suffix = L"_" + std::to_wstring(attempt);
    return ora_fit_bytes(base, max_name - suffix.size()) + suffix;
}

std::wstring ora_schema_initializer::create_sequence(ora_database& db, const std::wstring& table_name,
                                                     const std::wstring& start)
{
    for (int i = 0; i < 100; ++i) {
        const std::wstring candidate = sequence_candidate(table_name, i);
        try {
            db.query(L"CREATE SEQUENCE " + dq(candidate) + L" INCREMENT BY 1 START WITH " + start +
                     L" MAXVALUE 1.0E28 MINVALUE 1 NOCYCLE NOCACHE ORDER");
            return candidate;
        } catch (const ora_exception& e) {
            const uint32_t number = e.code & 0xFFFF;
            if (number == 955) continue;
            if (number == 1031)
                throw tk_exception("Insufficient privileges to create sequence.\nAuto increment will not be converted.",
                                   0);
            throw;
        }
    }
    return std::wstring();
}
