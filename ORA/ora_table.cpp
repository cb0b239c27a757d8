#include "ORA/ora_table.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cwchar>
#include <optional>

#include "OLE/ole_decimal_text.h"
#include "OLE/ole_long_value.h"
#include "ORA/ora_cache.h"
#include "ORA/ora_database.h"
#include "ORA/ora_engine.h"
#include "ORA/ora_exception.h"
#include "ORA/ora_field_finder.h"
#include "ORA/ora_lob_insert.h"
#include "ORA/ora_stmt.h"
#include "ORA/ora_text.h"
#include "ORA/ora_util.h"
#include "ORA/ora_validator.h"
#include "TK/tk_exception.h"
#include "TK/tk_logger.h"
#include "TK/tk_text.h"
#include "TK/tk_wstring.h"
#include "UDB/udb_custom_conversion.h"
#include "UDB/udb_value_exception.h"

namespace {

const char* const k_not_conform = "The structure of data source does not conform to the destination table.";

std::wstring dq(const std::wstring& name) { return L"\"" + name + L"\""; }

bool is_lob_catalog_type(const std::wstring& type) { return type == L"CLOB" || type == L"NCLOB" || type == L"BLOB"; }

bool is_number_column(VARTYPE vt)
{
    switch (vt) {
    case VT_I1:
    case VT_I2:
    case VT_I4:
    case VT_INT:
    case VT_UI1:
    case VT_UI2:
    case VT_UI4:
    case VT_UINT:
    case VT_I8:
    case VT_UI8:
    case VT_BOOL:
    case VT_R4:
    case VT_R8:
    case VT_CY:
    case VT_DECIMAL:
        return true;
    default:
        return false;
    }
}

// A decimal with more digits than a DECIMAL holds arrives as its exact text.
bool is_exact_number_text(const udb_field& field, const t_ftd& column)
{
    return field.get_type() == VT_BSTR && is_number_column(column.vartype) &&
           ole_is_canonical_decimal(field.to_wstring());
}

// The longest text literal Oracle parses, in bytes.
constexpr size_t k_max_literal_bytes = 4000;

// A text literal that cannot carry its value exactly: longer than Oracle parses,
// national text beyond ASCII, which a literal would pass through the database
// character set, or text holding U+0000, which statement text must not.
// Gives the value to bind instead.
std::optional<std::u16string> literal_needing_bind(const std::wstring& literal, bool national)
{
    if (literal.size() < 2 || literal.front() != L'\'' || literal.back() != L'\'') return std::nullopt;
    // The value is measured in place; it is copied out only when it is bound.
    bool beyond_ascii = false;
    bool nul = false;
    size_t utf8_bytes = 0;
    for (size_t k = 1; k + 1 < literal.size(); ++k) {
        const wchar_t c = literal[k];
        beyond_ascii = beyond_ascii || c >= 0x80;
        nul = nul || c == L'\0';
        utf8_bytes += c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
        if (c == L'\'' && k + 2 < literal.size() && literal[k + 1] == L'\'') ++k;
    }
    if (utf8_bytes <= k_max_literal_bytes && !(national && beyond_ascii) && !nul) return std::nullopt;
    std::wstring value;
    value.reserve(literal.size() - 2);
    for (size_t k = 1; k + 1 < literal.size(); ++k) {
        value.push_back(literal[k]);
        if (literal[k] == L'\'' && k + 2 < literal.size() && literal[k + 1] == L'\'') ++k;
    }
    return ora_to_u16(value);
}

std::wstring number_text(size_t n)
{
    char buf[24];
    const auto res = std::to_chars(buf, buf + sizeof buf, n);
    return std::wstring(buf, res.ptr);
}

ole_variant read_long_value(ole_long_value& value, const t_ftd& column)
{
    try {
        return value.read_all();
    } catch (const tk_exception& e) {
        throw udb_value_exception(column.name, to_unicode(e.message, -1));
    }
}

} // namespace

ora_table::ora_table(ora_database* db, const std::wstring& name, const std::wstring& query, udb_relationships* rels)
    : ora_query_results(db, name, query), p_db(db), p_relationships(rels)
{
    tk_logger::log(2, L"ora_table::ora_table(%s)", name.c_str());
    init_schema();
    ora_engine& eng = ora_eng();
    record_count = query.empty() ? eng.get_records_cnt(name) : eng.get_records_cnt(query, true);
    if (schema.empty())
        tk_logger::log(1, "Empty table");
    else
        tk_logger::log(1, "Got %d records", static_cast<int>(record_count));
    open_cache();
}

ora_table::ora_table(ora_database* db, const std::wstring& name, udb_relationships* rels, int mode)
    : ora_query_results(db, name, std::wstring()), p_db(db), p_relationships(rels)
{
    tk_logger::log(2, L"ora_table::ora_table(%s)", name.c_str());
    init_schema();
    if ((mode & mode_no_indexes) == mode_no_indexes)
        tk_logger::log(1, "Indexes are OFF");
    else
        init_indexes(mode);
    record_count = ora_eng().get_records_cnt(name);
    if (schema.empty())
        tk_logger::log(1, "Empty table");
    else
        tk_logger::log(1, "Got %d records", static_cast<int>(record_count));
    open_cache();
}

ora_table::~ora_table()
{
    tk_logger::log(1, "ora_table::dtor");
    if (!flushed) {
        try {
            flush();
        } catch (const std::exception& e) {
            tk_logger::log(3, "ora_table::dtor: %s", e.what());
        }
    }
}

void ora_table::open_cache()
{
    if (p_db && p_db->b_array_insert) cache = std::make_unique<ora_cache>(table_name, this);
}

void ora_table::flush()
{
    flushed = true;
    if (cache) cache->flush();
    const bool wrote = appended != 0;
    appended = 0;
    // Also when no row arrived: a table left by an interrupted run may hold values its sequence has not passed.
    if (p_db && query.empty()) p_db->advance_identity(table_name);
    // The table's rows are all in: a commit of its own marks that, and the
    // embedded server then has them on disk before the table is reported done.
    if (wrote && p_db) {
        ora_engine& eng = ora_eng();
        eng.check_err(OCITransCommit(eng.get_svc(), eng.get_err(), OCI_DEFAULT));
    }
}

void ora_table::append_record(udb_record* record)
{
    if (!record) throw tk_mail_assertion("ora_tab", 87);
    flushed = false;
    if (p_db && p_db->b_array_insert && cache) {
        tk_logger::log(1, "ora_table::fast_append");
        cache->append_record(*record);
        ++record_count;
        ++appended;
        return;
    }
    slow_append(*record);
}

bool ora_table::is_lob(size_t i) const
{
    if (i >= schema.size() || !ora_is_lob_column(schema[i])) return false;
    // A column that only looks like a LOB to the model (XMLTYPE, an unfetchable
    // type) takes a literal: EMPTY_CLOB() would be refused there.
    const std::wstring& type = catalog_type(schema[i].name);
    return type.empty() || is_lob_catalog_type(type);
}

const std::wstring& ora_table::catalog_type(const std::wstring& column) const
{
    static const std::wstring unknown;
    for (const auto& [name, type] : catalog_types)
        if (name == column) return type;
    return unknown;
}

ora_lob_insert& ora_table::lob_writer_for(const row_plan& p, const std::vector<size_t>& lob_pairs)
{
    if (!lob_writer || lob_pairs != lob_writer_pairs) {
        // The LOB values are taken from the fields matched by the plan, which
        // need not sit at the column positions.
        std::vector<t_lob_desc> descs;
        for (size_t k : lob_pairs) {
            const auto [i, j] = p.pairs[k];
            descs.emplace_back(static_cast<uint32_t>(i), static_cast<uint32_t>(j), schema[i].vartype, schema[i].name);
        }
        lob_writer.reset();
        lob_writer = std::make_unique<ora_lob_insert>(table_name, descs);
        lob_writer_pairs = lob_pairs;
    }
    return *lob_writer;
}

const ora_table::row_plan& ora_table::plan_for(const udb_record& record)
{
    if (plan && plan->field_names.size() == record.size()) {
        bool same = true;
        for (size_t j = 0; j < record.size() && same; ++j) same = plan->field_names[j] == record[j].name;
        if (same) return *plan;
    }
    // A writer made for the pairs of another plan would take other fields.
    lob_writer.reset();
    row_plan p;
    for (size_t j = 0; j < record.size(); ++j) p.field_names.push_back(record[j].name);
    const bool upper = p_db && p_db->b_uppercase;
    // The same derivation of names in both branches, the one table creation used.
    ora_field_finder finder(record, upper);
    if (schema.size() <= record.size()) {
        tk_logger::log(1, "Size of schema is less or equal to the size of record");
        for (size_t i = 0; i < schema.size(); ++i) {
            const int32_t j = finder.get_field_idx(schema[i].name);
            if (j < 0) {
                tk_logger::log(1, L"Field %s not found in appending record", schema[i].name.c_str());
                throw tk_exception(k_not_conform, 0);
            }
            p.pairs.emplace_back(i, static_cast<size_t>(j));
        }
    } else {
        tk_logger::log(1, "Size of record is less than size of schema");
        for (size_t j = 0; j < record.size(); ++j) {
            const std::wstring& name = finder.get_names()[j];
            tk_logger::log(1, L"Name=%s, mapped name=%s", record[j].name.c_str(), name.c_str());
            const int32_t i = schema.get_field_idx(name);
            if (i < 0) {
                tk_logger::log(1, L"Field %s not found", name.c_str());
                throw tk_exception(k_not_conform, 0);
            }
            p.pairs.emplace_back(static_cast<size_t>(i), j);
        }
    }
    p.head = L"INSERT /*+ APPEND */ INTO " + ora_engine::get_safe_name(table_name) + L" (";
    for (size_t k = 0; k < p.pairs.size(); ++k) {
        p.head += (k ? L", " : L"") + dq(schema[p.pairs[k].first].name);
        p.national.push_back(is_national(p.pairs[k].first));
        p.long_column.push_back(is_long(p.pairs[k].first));
        p.lob.push_back(is_lob(p.pairs[k].first));
    }
    p.head += L") VALUES(";
    plan = std::move(p);
    return *plan;
}

bool ora_table::is_national(size_t i) const
{
    std::wstring type = catalog_type(schema[i].name);
    if (type.empty()) type = tk_wstring(schema[i].native_type).to_upper();
    return type.rfind(L"NVARCHAR2", 0) == 0 || type.rfind(L"NCHAR", 0) == 0 || type.rfind(L"NCLOB", 0) == 0;
}

bool ora_table::is_long(size_t i) const
{
    std::wstring type = catalog_type(schema[i].name);
    if (type.empty()) type = tk_wstring(schema[i].native_type).to_upper();
    return type == L"LONG";
}

void ora_table::slow_append(const udb_record& record)
{
    tk_logger::log(1, "ora_table::slow_append");
    const row_plan& p = plan_for(record);
    std::wstring& sql = row_sql;
    sql.assign(p.head);
    std::vector<ora_text_bind> binds;
    std::vector<size_t>& lob_pairs = row_lob_pairs;
    lob_pairs.clear();
    replaced_numbers.clear();
    for (size_t k = 0; k < p.pairs.size(); ++k) {
        const auto [i, j] = p.pairs[k];
        if (k) sql += L", ";
        // A long value left in the source's stream is read whole only for a
        // column that takes a literal; a LOB column reads it in pieces.
        const bool lob = p.lob[k];
        std::optional<udb_field> whole;
        ole_long_value* long_value = ole_long_value::of(record[j]);
        if (long_value && !lob) whole.emplace(record[j].name, record[j].size, read_long_value(*long_value, schema[i]));
        const udb_field& field = whole ? *whole : record[j];
        const std::wstring text = udb_custom_conversion::is_acceptable2(field)
                                      ? udb_custom_conversion::handle2(field)
                                      : field_literal(i, field, schema[i], lob);
        if (std::optional<std::u16string> bound = literal_needing_bind(text, p.national[k])) {
            const std::wstring name = L":v" + number_text(binds.size() + 1);
            sql += name;
            binds.push_back({ora_to_u16(name), std::move(*bound), p.national[k], p.long_column[k]});
        } else {
            sql += text;
        }
        const VARTYPE fvt = field.get_type();
        if (lob && fvt != VT_EMPTY && fvt != VT_NULL) lob_pairs.push_back(k);
    }
    sql += L") RETURNING ROWID INTO :1";
    // A row with LOB values is committed once, after its LOB writes: a row
    // whose values did not all arrive is never left behind.
    last_rowid = rowid.do_insert(sql, binds, lob_pairs.empty());
    tk_logger::log(1, L"GOT ROWID(2): %s", last_rowid.c_str());

    if (!lob_pairs.empty()) {
        ora_engine& eng = ora_eng();
        try {
            lob_writer_for(p, lob_pairs).insert(last_rowid, record);
            eng.check_err(OCITransCommit(eng.get_svc(), eng.get_err(), OCI_DEFAULT));
        } catch (...) {
            OCITransRollback(eng.get_svc(), eng.get_err(), OCI_DEFAULT);
            throw;
        }
    }
    ++record_count;
    ++appended;
    tk_logger::log(1, "ora_table::slow_append - at the END");
    if (!replaced_numbers.empty()) {
        // The row is in; what it lost is reported for the record, as Oracle's own overflow.
        std::wstring text = L"A number beyond the range of an Oracle NUMBER was not stored:";
        for (size_t k = 0; k < replaced_numbers.size(); ++k) text += (k ? L", " : L" ") + replaced_numbers[k];
        replaced_numbers.clear();
        throw ora_exception(1426, to_utf8(text));
    }
}

std::wstring ora_table::get_fld_append_wstr(size_t i, const udb_field& field, const t_ftd& column)
{
    return field_literal(i, field, column, is_lob(i));
}

std::wstring ora_table::field_literal(size_t i, const udb_field& field, const t_ftd& column, bool lob)
{
    tk_logger::log(1, "ora_table::get_fld_append_wstr");
    const VARTYPE fvt = field.get_type();
    const bool is_null = fvt == VT_NULL || fvt == VT_EMPTY;
    // A LOB value goes through its locator: no literal is ever built for it.
    if (lob && !is_null) {
        tk_logger::log(1, "Got LOB - put placeholder");
        return column.vartype == VT_BSTR ? L"EMPTY_CLOB()" : L"EMPTY_BLOB()";
    }
    const std::wstring literal = value_literal(field, column);
    tk_logger::log(1, L"Got field #%d: '%s' (%d, %d)", static_cast<int>(i), literal.c_str(),
                   static_cast<int>(column.vartype), static_cast<int>(column.size));
    tk_logger::log(1, "schema[eye]->size=%d", static_cast<int>(column.size));

    if (column.vartype == VT_R4 || column.vartype == VT_R8) {
        // Only a float, a double or a number's text can lie beyond NUMBER's
        // range: every other number type is far within it, both ways.
        const bool may_leave_range = fvt == VT_R4 || fvt == VT_R8 || is_exact_number_text(field, column);
        if (!is_null && may_leave_range) {
            const double v = fvt == VT_BSTR ? std::wcstod(literal.c_str(), nullptr) : field.to_double();
            // Oracle's NUMBER ends below 1E126: 1E126 itself is refused too.
            if (!(std::fabs(v) < 1e126)) {
                tk_logger::log(1, "Number is out of range");
                std::wstring written = L"NULL";
                if (column.b_not_null) {
                    const std::wstring def = make_ora_def_val(&column);
                    written = def.empty() ? null_value(i, column) : def;
                }
                replaced_numbers.push_back(dq(column.name) + L" (" + literal + L", written as " + written + L")");
                return written;
            }
            // Oracle keeps nothing below 1E-130: such a value becomes zero there.
            if (v != 0 && std::fabs(v) < 1e-130)
                replaced_numbers.push_back(dq(column.name) + L" (" + literal + L", written as 0)");
        }
    }
    // A NULL LOB stays NULL: no locator, nothing written after the insert.
    if (fvt != VT_NULL && !literal.empty() && literal != L"''" && literal != L"\"\"") return literal;
    return null_value(i, column);
}

std::wstring ora_table::value_literal(const udb_field& field, const t_ftd& column)
{
    // Bare, so that no quoted text is converted by the session's number format.
    if (is_exact_number_text(field, column)) return field.to_wstring();
    if (field.get_type() == VT_BSTR && ora_is_timestamp_tz_column(column) && !field.to_wstring().empty())
        return ora_timestamp_tz_literal(field.to_wstring());
    // The shortest text that reads back as the same float or double: the
    // value's own text form keeps 7 digits of a float (too few) and 17 of a
    // double (noise in a decimal NUMBER).
    const VARTYPE fvt = field.get_type();
    if (fvt == VT_R4 || fvt == VT_R8) {
        std::string buf(64, '\0');
        char* const end = buf.data() + buf.size();
        const auto res = fvt == VT_R4 ? std::to_chars(buf.data(), end, field.value.fltVal)
                                      : std::to_chars(buf.data(), end, field.value.dblVal);
        if (res.ec == std::errc()) return std::wstring(buf.data(), res.ptr);
    }
    return to_oracle_str(&field, true);
}

std::wstring ora_table::null_value(size_t i, const t_ftd& column)
{
    if (column.b_not_null && !indexes.is_idx_field(column.name, true)) {
        tk_logger::log(1, "Put NULL-field");
        reset_not_null_flag(i);
    }
    return L"NULL";
}

void ora_table::reset_not_null_flag(size_t i)
{
    tk_logger::log(1, "ora_table::reset_not_null_flag(%d)", static_cast<int>(i));
    if (i >= schema.size()) throw tk_mail_assertion("ora_tab", 412);
    t_ftd& column = schema[i];
    if (!column.b_not_null) return;
    // Only the constraint is dropped: restating the type would change it
    // (DATE to TIMESTAMP, VARCHAR2 to NVARCHAR2, LONG to CLOB).
    const std::wstring sql =
        L"ALTER TABLE " + ora_engine::get_safe_name(table_name) + L" MODIFY " + dq(column.name) + L" NULL";
    tk_logger::log(2, L"Run SQL query: %s\n", sql.c_str());
    try {
        ora_stmt stmt;
        stmt.run(sql, 1, OCI_COMMIT_ON_SUCCESS);
    } catch (const ora_exception& e) {
        // ORA-01451: the column is nullable already.
        if ((e.code & 0xFFFF) != 1451) throw;
        tk_logger::log(1, "Column is already nullable");
    }
    column.b_not_null = false;
}

void ora_table::update(udb_record* record)
{
    tk_logger::log(1, "ora_table::update");
    if (!record) return;
    const bool upper = p_db && p_db->b_uppercase;
    ora_field_finder finder(*record, upper);
    if (key_pos < 0) return;
    if (static_cast<size_t>(key_pos) >= indexes.size()) throw tk_mail_assertion("ora_tab", 520);
    const std::vector<std::wstring>& keys = indexes[static_cast<size_t>(key_pos)].fields;
    std::wstring set_part;
    std::wstring where_part;
    // A text that a literal cannot carry goes as a bind, as in an insert.
    std::vector<ora_text_bind> binds;
    for (size_t j = 0; j < record->size(); ++j) {
        const std::wstring& name = finder.get_names()[j];
        tk_logger::log(1, L"Got mappend fn: %s", name.c_str());
        const int32_t i = schema.get_field_idx(name);
        if (i < 0) {
            tk_logger::log(1, L"Field '%s' is not found in schema", name.c_str());
            continue;
        }
        const size_t col = static_cast<size_t>(i);
        std::wstring value = value_literal((*record)[j], schema[col]);
        if (std::optional<std::u16string> bound = literal_needing_bind(value, is_national(col))) {
            value = L":v" + number_text(binds.size() + 1);
            binds.push_back({ora_to_u16(value), std::move(*bound), is_national(col), is_long(col)});
        }
        const std::wstring item = dq(name) + L"=" + value;
        if (std::find(keys.begin(), keys.end(), name) != keys.end()) {
            tk_logger::log(1, L"Field %s is a part of UKey", name.c_str());
            where_part += (where_part.empty() ? L"" : L" AND ") + item;
        } else {
            tk_logger::log(1, L"Field %s is NOT a part of UKey", name.c_str());
            set_part += (set_part.empty() ? L"" : L", ") + item;
        }
    }
    const std::wstring sql =
        L"UPDATE " + ora_engine::get_safe_name(table_name) + L" SET " + set_part + L" WHERE " + where_part;
    tk_logger::log(2, L"UPDATE QUERY: %s", sql.c_str());
    if (where_part.empty()) {
        tk_logger::log(1, "Missing primary/unique key");
        return;
    }
    if (set_part.empty()) return; // only key columns: nothing to change
    try {
        // The update and its commit in one call.
        ora_stmt stmt;
        stmt.run(sql, binds, OCI_COMMIT_ON_SUCCESS);
    } catch (const tk_exception& e) {
        tk_logger::log(3, "ora_table::update: %s", e.what());
        throw;
    }
}

bool ora_table::is_eof()
{
    tk_logger::log(1, "ora_table::is_eof(%d,%d)", static_cast<int>(row_pos), static_cast<int>(record_count));
    if (!b_initialized) throw tk_mail_assertion("ora_tab", 560);
    if (row_pos >= record_count) return true;
    b_fetch_called = true;
    // No row also when rows were deleted since the count was taken.
    return !fetch_row();
}

void ora_table::next()
{
    tk_logger::log(1, "ora_table::next");
    ++row_pos;
}
