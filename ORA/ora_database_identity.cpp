// ora_database: what this program made for a table's identity column (its
// sequence and trigger) and the index names of a table, as the catalog shows
// them, so that an overwrite removes them and every run can move the sequence.
#include "ORA/ora_database.h"

#include "ORA/ora_engine.h"
#include "ORA/ora_exception.h"
#include "ORA/ora_query_results.h"
#include "ORA/ora_util.h"
#include "TK/tk_logger.h"
#include "TK/tk_wstring.h"

namespace {

const std::wstring k_trigger_suffix = L"__TRIGGER";
constexpr uint32_t k_ora_no_such_sequence = 2289;

std::wstring text_of(const udb_record& r, size_t i)
{
    if (i >= r.size()) return std::wstring();
    const VARTYPE vt = r[i].get_type();
    if (vt == VT_EMPTY || vt == VT_NULL) return std::wstring();
    return r[i].to_wstring();
}

// Owner and table of a target name; the connected user when the name has no owner.
std::pair<std::wstring, std::wstring> owner_and_table(const std::wstring& name)
{
    auto parts = ora_split_name(name);
    if (parts.first.empty()) parts.first = ora_eng().get_schema_name();
    return parts;
}

// The quoted name that follows `head` at `from` in `text` (case-insensitive head), or empty.
std::wstring quoted_after(const std::wstring& text, const std::wstring& upper_text, const std::wstring& head,
                          size_t& from)
{
    const size_t at = upper_text.find(head, from);
    if (at == std::wstring::npos) return std::wstring();
    const size_t begin = at + head.size();
    const size_t end = text.find(L'"', begin);
    if (end == std::wstring::npos || end == begin) return std::wstring();
    from = end + 1;
    return text.substr(begin, end - begin);
}

} // namespace

bool ora_database::parse_identity_trigger(const std::wstring& body, std::wstring& sequence, std::wstring& column)
{
    // The body this program writes: BEGIN select "<sequence>".nextval into :new."<column>" from dual; END;
    const std::wstring upper_body = tk_wstring(body).to_upper();
    size_t from = 0;
    sequence = quoted_after(body, upper_body, L"SELECT \"", from);
    if (sequence.empty() || upper_body.compare(from, 18, L".NEXTVAL INTO :NEW") != 0) return false;
    from += 18;
    column = quoted_after(body, upper_body, L".\"", from);
    return !column.empty();
}

std::optional<ora_identity_registry::identity> ora_database::find_identity(const std::wstring& table)
{
    tk_logger::log(2, L"ora_database::find_identity(%s)", table.c_str());
    if (const ora_identity_registry::identity* known = identities.find(table)) return *known;
    const auto [owner, name] = owner_and_table(table);
    // Only the connected user's triggers: this program makes its sequence and trigger in that schema.
    const std::wstring sql = L"SELECT TRIGGER_NAME, TRIGGER_BODY FROM USER_TRIGGERS WHERE TABLE_OWNER = '" +
                             ora_engine::quote_literal_text(owner) + L"' AND TABLE_NAME = '" +
                             ora_engine::quote_literal_text(name) + L"'";
    ora_query_results rows(2, sql);
    while (!rows.is_eof()) {
        udb_record* r = rows.get_item();
        if (!r) break;
        const std::wstring trigger = text_of(*r, 0);
        if (trigger.size() <= k_trigger_suffix.size() ||
            trigger.compare(trigger.size() - k_trigger_suffix.size(), k_trigger_suffix.size(), k_trigger_suffix) != 0)
            continue;
        ora_identity_registry::identity id;
        if (!parse_identity_trigger(text_of(*r, 1), id.sequence, id.column)) continue;
        id.trigger = trigger;
        tk_logger::log(2, L"Identity of %s: column %s, sequence %s", table.c_str(), id.column.c_str(),
                       id.sequence.c_str());
        return id;
    }
    return std::nullopt;
}

std::wstring ora_database::sequence_next_value(const std::wstring& sequence)
{
    const std::wstring sql = L"SELECT TO_CHAR(LAST_NUMBER) FROM USER_SEQUENCES WHERE SEQUENCE_NAME = '" +
                             ora_engine::quote_literal_text(sequence) + L"'";
    ora_query_results rows(1, sql);
    if (rows.is_eof()) return std::wstring();
    udb_record* r = rows.get_item();
    return r ? text_of(*r, 0) : std::wstring();
}

std::vector<std::wstring> ora_database::own_index_names(const std::wstring& table)
{
    const auto [owner, name] = owner_and_table(table);
    const std::wstring cond = L"TABLE_NAME = '" + ora_engine::quote_literal_text(name) + L"'";
    std::vector<std::wstring> out;
    const std::wstring queries[] = {
        L"SELECT INDEX_NAME FROM USER_INDEXES WHERE TABLE_OWNER = '" + ora_engine::quote_literal_text(owner) +
            L"' AND " + cond,
        L"SELECT CONSTRAINT_NAME FROM USER_CONSTRAINTS WHERE CONSTRAINT_TYPE = 'P' AND " + cond,
    };
    // Constraints of the connected user's own tables only: another owner's key is named in that schema.
    const size_t n_queries = owner == ora_eng().get_schema_name() ? 2 : 1;
    for (size_t q = 0; q < n_queries; ++q) {
        ora_query_results rows(1, queries[q]);
        while (!rows.is_eof()) {
            udb_record* r = rows.get_item();
            if (!r) break;
            const std::wstring index = text_of(*r, 0);
            if (!index.empty()) out.push_back(index);
        }
    }
    return out;
}

void ora_database::drop_identity_sequence(const ora_identity_registry::identity& id, const std::wstring& table)
{
    tk_logger::log(2, L"ora_database::drop_identity_sequence(%s)", id.sequence.c_str());
    try {
        query(L"DROP SEQUENCE \"" + id.sequence + L"\"");
    } catch (const ora_exception& e) {
        // Already gone is what was wanted; anything else leaves a second sequence behind and is said.
        if (e.ora_number() != k_ora_no_such_sequence) error_sink.report(e, table);
    }
    identities.erase(table);
}
