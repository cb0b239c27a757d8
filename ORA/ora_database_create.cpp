// ora_database: creating a table, and moving its identity sequence after the copy.
#include "ORA/ora_database.h"

#include "ORA/ora_engine.h"
#include "ORA/ora_exception.h"
#include "ORA/ora_indexes_initializer.h"
#include "ORA/ora_schema_initializer.h"
#include "ORA/ora_stmt.h"
#include "ORA/ora_table.h"
#include "ORA/ora_util.h"
#include "TK/tk_logger.h"
#include "TK/tk_wstring.h"

namespace {

// The smallest integer above a NUMBER text such as "42", "41.5" or ".5";
// empty when that is below 1 or the text is not plain decimal.
std::wstring ora_next_integer(const std::wstring& text)
{
    if (text.empty() || text[0] == L'-') return std::wstring();
    std::wstring digits;
    size_t i = 0;
    while (i < text.size() && text[i] >= L'0' && text[i] <= L'9') digits.push_back(text[i++]);
    if (i < text.size() && text[i] == L'.') {
        ++i;
        while (i < text.size() && text[i] >= L'0' && text[i] <= L'9') ++i;
    }
    if (i != text.size()) return std::wstring();
    if (digits.empty()) digits = L"0";
    // Add one, carrying through the digits.
    size_t k = digits.size();
    while (k > 0) {
        --k;
        if (digits[k] == L'9') {
            digits[k] = L'0';
        } else {
            ++digits[k];
            break;
        }
        if (k == 0) digits.insert(digits.begin(), L'1');
    }
    const size_t nz = digits.find_first_not_of(L'0');
    return nz == std::wstring::npos ? std::wstring() : digits.substr(nz);
}

bool ora_is_plain_integer(const std::wstring& text)
{
    if (text.empty()) return false;
    for (wchar_t c : text)
        if (c < L'0' || c > L'9') return false;
    return true;
}

// a < b for two plain non-negative integers.
bool ora_integer_less(std::wstring a, std::wstring b)
{
    const auto strip = [](std::wstring& t) {
        const size_t nz = t.find_first_not_of(L'0');
        t = nz == std::wstring::npos ? std::wstring() : t.substr(nz);
    };
    strip(a);
    strip(b);
    if (a.size() != b.size()) return a.size() < b.size();
    return a < b;
}

} // namespace

std::unique_ptr<udb_recordset> ora_database::create_table(const std::wstring& name, udb_schema& schema,
                                                          udb_indexes& indexes)
{
    tk_logger::log(2, L"ora_database::create_table(%s)", name.c_str());
    if (!is_table_exist(name)) {
        ora_schema_initializer init(name, schema, indexes, b_uppercase);
        init.build_table(*this);

        // Registered as soon as the server has it, so that the model matches
        // the server whatever fails later.
        tables.push_back(ora_simplify_name(name));
        names_map.add_fn_map(name, init.get_names_map());
        for (const auto& [source, target] : init.get_names_map()) {
            // The upper-casing the run asked for is no renaming.
            if (b_uppercase && tk_wstring(source).to_upper() == target) continue;
            notes.push_back(L"Column '" + source + L"' of table " + name + L" is named '" + target + L"'\n");
        }
        for (const auto& note : init.get_notes()) notes.push_back(note);
        const size_t table_notes = init.get_notes().size();
        identities.erase(name);

        try {
            init.build_identity(*this);
        } catch (const ora_exception&) {
            throw;
        } catch (const tk_exception& e) {
            // No privilege for a sequence: the table goes on without identity.
            error_sink.report(e, name);
        }
        // what the identity's sequence was named otherwise
        for (size_t i = table_notes; i < init.get_notes().size(); ++i) notes.push_back(init.get_notes()[i]);

        if (!indexes.empty()) {
            ora_indexes_initializer idx(name, init.get_target_schema(), indexes, init.get_names_map());
            for (const auto& note : idx.get_notes()) notes.push_back(note);
            idx.build_indexes([&](const ora_exception& e) { error_sink.report(e, name); });
        }
    }
    return get_table1(name, 2);
}

std::vector<std::wstring> ora_database::take_notes()
{
    std::vector<std::wstring> out;
    out.swap(notes);
    return out;
}

void ora_database::advance_identity(const std::wstring& name)
{
    const std::optional<ora_identity_registry::identity> id = find_identity(name);
    if (!id) return;
    tk_logger::log(2, L"ora_database::advance_identity(%s)", name.c_str());
    ora_engine& eng = ora_eng();

    // The highest identity value in the table, as text (NUMBER may exceed 64 bits).
    const std::wstring max_sql = L"SELECT MAX(\"" + id->column + L"\") FROM " + ora_engine::get_safe_name(name);
    ora_stmt stmt;
    eng.check_err(stmt.prepare(max_sql));
    std::vector<char16_t> buf(64, u'\0');
    OCIDefine* def = nullptr;
    sb2 ind = 0;
    eng.check_err(OCIDefineByPos(stmt.get(), &def, eng.get_err(), 1, buf.data(),
                                 static_cast<sb4>(buf.size() * sizeof(char16_t)), SQLT_STR, &ind, nullptr, nullptr,
                                 OCI_DEFAULT));
    const sword st = OCIStmtExecute(eng.get_svc(), stmt.get(), eng.get_err(), 1, 0, nullptr, nullptr, OCI_DEFAULT);
    eng.check_err(st);
    if (st == OCI_NO_DATA || ind == -1) return; // an empty table: the sequence may start anywhere
    std::wstring max_text;
    for (char16_t c : buf) {
        if (!c) break;
        max_text.push_back(static_cast<wchar_t>(c));
    }
    const std::wstring start = ora_next_integer(max_text);
    if (start.empty()) return;
    // A sequence that gives a value above the table's already stays as it is.
    const std::wstring next = sequence_next_value(id->sequence);
    tk_logger::log(2, L"Sequence %s gives %s next, the table needs %s", id->sequence.c_str(), next.c_str(),
                   start.c_str());
    if (!next.empty() && ora_is_plain_integer(next) && !ora_integer_less(next, start)) return;

    // A new sequence that starts above the copied values, and the trigger moved
    // onto it: CREATE statements only, so the identity never goes missing if one fails.
    const ora_identity_registry::identity old = *id;
    const std::wstring seq = ora_schema_initializer::create_sequence(*this, name, start);
    if (seq.empty())
        throw tk_exception(L"No sequence could be created for the identity column '" + old.column + L"' of " + name +
                               L": every name tried is taken. The column's next value would be refused.",
                           0);
    try {
        ora_schema_initializer::create_trigger(
            ora_schema_initializer::get_trigger_sql(name, old.trigger, seq, old.column));
    } catch (const tk_exception&) {
        try {
            query(L"DROP SEQUENCE \"" + seq + L"\"");
        } catch (const ora_exception& e) {
            tk_logger::log(2, "Error while dropping the new sequence:\n%s\n", e.what());
        }
        throw;
    }
    drop_identity_sequence(old, name);
    identities.set(name, ora_identity_registry::identity{seq, old.column, old.trigger});
    if (seq != ora_schema_initializer::sequence_candidate(name, 0))
        notes.push_back(L"Sequence of table " + name + L" is named '" + seq + L"'\n");
    tk_logger::log(2, L"Sequence %s restarts at %s", seq.c_str(), start.c_str());
}
