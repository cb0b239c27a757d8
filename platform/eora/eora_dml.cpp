// INSERT, UPDATE and DELETE of the embedded Oracle.
#include "platform/embedded/embedded_clock.h"
#include "platform/eora/eora_datetime.h"
#include "platform/eora/eora_number.h"
#include "platform/eora/eora_session_impl.h"
#include "platform/eora/eora_text.h"
#include "platform/eora/eora_timing.h"

#include <cstring>

namespace eora {

namespace {

size_t bind_index(const statement& st, const std::string& name)
{
    for (size_t i = 0; i < st.binds.size(); ++i)
        if (st.binds[i] == name) return i;
    raise(1036);
}

// Fails a unique violation with the name of the index it hit.
[[noreturn]] void unique_violation(session::impl& s, const table_meta& t)
{
    std::string msg = sqlite3_errmsg(s.db);
    const std::string pre = "UNIQUE constraint failed: ";
    std::string hit;
    if (msg.rfind(pre + "index '", 0) == 0) {
        std::string sq = msg.substr(pre.size() + 7);
        if (!sq.empty() && sq.back() == '\'') sq.pop_back();
        for (const auto& ix : t.indexes)
            if (partial_null_index(ix.sqlite_name) == sq) sq = ix.sqlite_name;
        for (const auto& ix : t.indexes)
            if (ix.sqlite_name == sq) hit = ix.owner + "\x1F" + (ix.constraint.empty() ? ix.name : ix.constraint);
    } else if (msg.rfind(pre, 0) == 0) {
        std::vector<std::string> cols;
        std::string rest = msg.substr(pre.size());
        size_t p = 0;
        while (p <= rest.size()) {
            size_t c = rest.find(", ", p);
            std::string item = rest.substr(p, c == std::string::npos ? std::string::npos : c - p);
            if (item.rfind(t.sqlite + ".", 0) == 0) item = item.substr(t.sqlite.size() + 1);
            cols.push_back(oracle_name(item));
            if (c == std::string::npos) break;
            p = c + 2;
        }
        for (const auto& ix : t.indexes)
            if (ix.unique && !ix.expr && ix.cols == cols && hit.empty())
                hit = ix.owner + "\x1F" + (ix.constraint.empty() ? ix.name : ix.constraint);
    }
    if (hit.empty()) raise(1, t.owner, "SYS_UNKNOWN");
    size_t sep = hit.find('\x1F');
    raise(1, hit.substr(0, sep), hit.substr(sep + 1));
}

// A text bound for a column of the database character set (not a national
// one): `v` itself when it needs no change, else its copy in `room`.
const value& in_column_charset(const session::impl& s, const value& v, const col_type& type, value& room)
{
    const bool national = type.k == kind::nvarchar2 || type.k == kind::nchar || type.k == kind::nclob;
    if (national || v.kind != value::vk::text || !type.is_text() || is_unicode_charset(s.settings->charset)) return v;
    room = v;
    room.s = to_charset(v.s, s.settings->charset);
    return room;
}

[[noreturn]] void write_failed(session::impl& s, int rc, const table_meta& t)
{
    if (rc == SQLITE_CONSTRAINT_UNIQUE || rc == SQLITE_CONSTRAINT_PRIMARYKEY) unique_violation(s, t);
    // SQLite does not tell whether the table's pages or an index's ran out: the table is named.
    if ((rc & 0xFF) == SQLITE_FULL) s.segment_full(1653, t.owner, t.name);
    s.sqlite_fail(rc);
}

} // namespace

value eval_literal(session::impl& s, parser& p, const statement& st, const std::vector<value>& binds,
                   literal_form* form)
{
    bool neg = false;
    while (p.peek().is_op("-") || p.peek().is_op("+")) neg ^= p.next().is_op("-");
    const token& k = p.next();
    if (k.kind == tok::number) {
        auto d = parse_decimal(k.text);
        if (!d) raise(1722);
        if (neg && !d->zero()) d->neg = !d->neg;
        d->check_range();
        value v = value::number(d->text());
        if (form) form->number = std::move(d);
        return v;
    }
    if (neg) raise(936);
    switch (k.kind) {
    case tok::string:
        // Its length was checked when the statement was prepared (ORA-01704).
        return k.text.empty() ? value::null() : value::text(k.text);
    case tok::bind:
        return binds.at(bind_index(st, k.text));
    case tok::ident: {
        const std::string& w = k.text;
        if (w == "NULL") return value::null();
        if (w == "SYSDATE" || w == "SYSTIMESTAMP" || w == "CURRENT_DATE" || w == "CURRENT_TIMESTAMP")
            return value::date(embedded::now_text());
        if (w == "USER") return value::text(s.user);
        if (p.peek().is_op("(")) {
            p.next();
            if (w == "EMPTY_CLOB" || w == "EMPTY_BLOB") {
                p.expect_op(")", 907);
                return w == "EMPTY_CLOB" ? value::text("") : value::bytes("");
            }
            if (w == "TO_DATE" || w == "TO_TIMESTAMP" || w == "TO_TIMESTAMP_TZ") {
                value a = eval_literal(s, p, st, binds);
                std::string fmt(w == "TO_DATE"        ? nls_date_format
                                : w == "TO_TIMESTAMP" ? nls_timestamp_format
                                                      : nls_timestamp_tz_format);
                if (p.accept_op(",")) {
                    value f = eval_literal(s, p, st, binds);
                    if (f.is_null()) {
                        p.expect_op(")", 907);
                        return value::null();
                    }
                    fmt = f.s;
                }
                p.expect_op(")", 907);
                if (a.is_null()) return value::null();
                if (a.kind == value::vk::datetime) return a;
                datetime d = parse_datetime(a.s, s.picture(fmt));
                // Only a value with a time zone keeps an offset.
                if (w != "TO_TIMESTAMP_TZ")
                    d.has_zone = false;
                else if (!d.has_zone)
                    d.has_zone = true; // the session's zone: UTC
                value v = value::date(d.text(w == "TO_DATE" ? 0 : 9));
                if (form) {
                    // What the text keeps: no fraction in a DATE, no offset without a zone.
                    if (w == "TO_DATE") d.nanos = 0;
                    if (!d.has_zone) d.zone_minutes = 0;
                    form->when = d;
                }
                return v;
            }
            if (w == "HEXTORAW") {
                value a = eval_literal(s, p, st, binds);
                p.expect_op(")", 907);
                if (a.is_null()) return a;
                value r = value::text(a.s);
                r.kind = value::vk::text;
                return r;
            }
            if (w == "TO_NUMBER") {
                value a = eval_literal(s, p, st, binds);
                p.expect_op(")", 907);
                if (a.is_null()) return a;
                auto d = parse_decimal(a.s);
                if (!d) raise(1722);
                value v = value::number(d->text());
                if (form) form->number = std::move(d);
                return v;
            }
            raise(904, w);
        }
        [[fallthrough]];
    }
    case tok::qident: {
        // seq.NEXTVAL or owner.seq.NEXTVAL
        if (p.peek().is_op(".") && p.peek(1).is_kw("NEXTVAL")) {
            p.next();
            p.next();
            return value::number(s.nextval(s.user, k.text));
        }
        if (p.peek().is_op(".") && p.peek(1).is_name() && p.peek(2).is_op(".") && p.peek(3).is_kw("NEXTVAL")) {
            p.next();
            std::string seq = p.next().text;
            p.next();
            p.next();
            s.require_on_table(k.text, priv::select_any_sequence, 2289);
            return value::number(s.nextval(k.text, seq));
        }
        raise(984);
    }
    case tok::end:
        raise(936);
    default:
        raise(936);
    }
}

namespace {

// Fires the table's identity triggers on the row.
void fire_triggers(session::impl& s, const table_meta& t, std::vector<value>& row)
{
    for (const auto& tr : t.triggers) {
        if (!tr.understood) raise(4098, tr.owner, tr.name);
        int ci = t.find(tr.column);
        if (ci < 0) raise(4098, tr.owner, tr.name);
        value& v = row[static_cast<size_t>(ci)];
        if (tr.when_null && !v.is_null()) continue;
        sqlite3_stmt* st = s.cached("SELECT 1 FROM _ora_sequences WHERE sequence_owner=?1 AND sequence_name=?2");
        bind_text(st, 1, tr.seq_owner);
        bind_text(st, 2, tr.seq_name);
        bool exists = sqlite3_step(st) == SQLITE_ROW;
        sqlite3_reset(st);
        if (!exists) raise(4098, tr.owner, tr.name);
        v = value::number(s.nextval(tr.seq_owner, tr.seq_name));
    }
}

value default_of(session::impl& s, const column_meta& c, const statement& st)
{
    if (!c.has_default) return value::null();
    auto toks = tokenize(c.default_text, 128);
    parser p(toks);
    std::vector<value> none;
    return eval_default_expr(s, p, st, none);
}

} // namespace

exec_result run_insert(session::impl& s, const statement& st, const std::vector<value>& binds, bool parse_only)
{
    parser p(st.toks, 1);
    p.expect_kw("INTO", 925);
    name_ref target = p.qualified(s.user);
    auto t = s.table(target.owner, target.name);
    if (!t) raise(942);
    if (t->view) raise(942);
    s.require_on(target.owner, priv::insert_any_table);
    if (p.peek().is_name() && !p.peek().is_kw("VALUES")) p.next(); // alias
    std::vector<int> cols;
    if (p.accept_op("(")) {
        std::vector<char> named(t->cols.size(), 0);
        do {
            std::string c = p.name(904);
            // Columns are mostly listed in the table's order: the one after
            // the last is tried first (names of a table are unique).
            const size_t next = cols.empty() ? 0 : static_cast<size_t>(cols.back()) + 1;
            int ci = next < t->cols.size() && t->cols[next].name == c ? static_cast<int>(next) : t->find(c);
            if (ci < 0) raise(904, "\"" + c + "\"");
            if (named[static_cast<size_t>(ci)]) raise(957);
            named[static_cast<size_t>(ci)] = 1;
            cols.push_back(ci);
        } while (p.accept_op(","));
        p.expect_op(")", 907);
    } else {
        for (size_t i = 0; i < t->cols.size(); ++i) cols.push_back(static_cast<int>(i));
    }
    p.expect_kw("VALUES", 926);
    p.expect_op("(", 906);
    std::vector<value> vals;
    std::vector<bool> given(t->cols.size(), false);
    std::vector<value> row(t->cols.size());
    std::vector<literal_form> forms(t->cols.size());
    size_t n = 0;
    do {
        if (n >= cols.size()) raise(913);
        if (p.peek().is_kw("DEFAULT")) {
            p.next();
        } else {
            row[static_cast<size_t>(cols[n])] = eval_literal(s, p, st, binds, &forms[static_cast<size_t>(cols[n])]);
            given[static_cast<size_t>(cols[n])] = true;
        }
        ++n;
    } while (p.accept_op(","));
    p.expect_op(")", 907);
    if (n < cols.size()) raise(947);
    bool returning = false;
    if (p.accept_kw("RETURNING") || p.accept_kw("RETURN")) {
        p.expect_kw("ROWID", 904);
        p.expect_kw("INTO", 925);
        if (p.peek().kind != tok::bind) raise(1745);
        p.next();
        returning = true;
    }
    p.end();
    exec_result r;
    if (parse_only) return r;
    // A lone insert committed at once is SQLite's own transaction.
    if (!(s.commit_after && !s.in_txn && t->triggers.empty())) s.begin_write();
    for (size_t i = 0; i < t->cols.size(); ++i)
        if (!given[i]) row[i] = default_of(s, t->cols[i], st);
    // A trigger may replace a given value: its literal's form no longer holds.
    if (!t->triggers.empty()) forms.assign(forms.size(), literal_form{});
    fire_triggers(s, *t, row);
    std::vector<stored> out(t->cols.size());
    value room;
    for (size_t i = 0; i < t->cols.size(); ++i)
        out[i] = coerce(in_column_charset(s, row[i], t->cols[i].type, room), t->cols[i], *t, false, s.settings->charset,
                        &forms[i]);
    int rc;
    {
        timed t_store(global_timing().store_ns);
        if (t->insert_sql.empty()) {
            t->insert_sql = "INSERT INTO " + q_ident(t->sqlite) + " VALUES(";
            for (size_t i = 0; i < t->cols.size(); ++i) t->insert_sql += i ? ",?" : "?";
            t->insert_sql += ")";
        }
        sqlite3_stmt* ins = s.table_stmt(t->insert_sql);
        for (size_t i = 0; i < out.size(); ++i) bind_stored(ins, static_cast<int>(i + 1), out[i]);
        rc = sqlite3_step(ins);
        sqlite3_reset(ins);
    }
    if (rc != SQLITE_DONE) write_failed(s, rc, *t);
    r.rows = 1;
    if (returning) r.rowids.push_back(encode_rowid(t->object_id, sqlite3_last_insert_rowid(s.db)));
    return r;
}

exec_result run_update(session::impl& s, const statement& st, const std::vector<value>& binds, bool parse_only)
{
    parser p(st.toks, 1);
    name_ref target = p.qualified(s.user);
    auto t = s.table(target.owner, target.name);
    if (!t || t->view) raise(942);
    s.require_on(target.owner, priv::update_any_table);
    std::string alias = t->name;
    if (p.peek().is_name() && !p.peek().is_kw("SET")) alias = p.next().text;
    p.expect_kw("SET", 905);
    std::vector<std::pair<int, value>> sets;
    do {
        std::string c = p.name(904);
        if (c == alias && p.accept_op(".")) c = p.name(904);
        int ci = t->find(c);
        if (ci < 0) raise(904, "\"" + c + "\"");
        p.expect_op("=", 927);
        sets.emplace_back(ci, eval_literal(s, p, st, binds));
    } while (p.accept_op(","));
    std::string where;
    if (p.accept_kw("WHERE")) {
        size_t b = p.pos();
        size_t e = st.toks.size() - 1;
        if (e > b && st.toks[e - 1].is_op(";")) --e;
        translation tr = translate_expressions(s, st, b, e, {t}, {alias});
        where = " WHERE " + tr.sql;
    } else {
        p.end();
    }
    exec_result r;
    if (parse_only) return r;
    s.begin_write();
    std::string sql = "UPDATE " + q_ident(t->sqlite) + " AS " + q_name(alias) + " SET ";
    std::vector<stored> vals;
    for (size_t i = 0; i < sets.size(); ++i) {
        const auto& c = t->cols[static_cast<size_t>(sets[i].first)];
        value room;
        vals.push_back(coerce(in_column_charset(s, sets[i].second, c.type, room), c, *t, true, s.settings->charset));
        sql += (i ? ", " : "") + q_name(c.name) + "=?" + std::to_string(binds.size() + i + 1);
    }
    sql += where;
    stmt_ptr up = s.prepare_once(sql);
    for (size_t i = 0; i < binds.size(); ++i) bind_value(up.get(), static_cast<int>(i + 1), binds[i]);
    for (size_t i = 0; i < vals.size(); ++i) bind_stored(up.get(), static_cast<int>(binds.size() + i + 1), vals[i]);
    int rc = sqlite3_step(up.get());
    if (rc != SQLITE_DONE) write_failed(s, rc, *t);
    r.rows = sqlite3_changes(s.db);
    return r;
}

exec_result run_delete(session::impl& s, const statement& st, const std::vector<value>& binds, bool parse_only)
{
    parser p(st.toks, 1);
    p.accept_kw("FROM");
    name_ref target = p.qualified(s.user);
    auto t = s.table(target.owner, target.name);
    if (!t || t->view) raise(942);
    s.require_on(target.owner, priv::delete_any_table);
    std::string alias = t->name;
    if (p.peek().is_name() && !p.peek().is_kw("WHERE")) alias = p.next().text;
    std::string where;
    if (p.accept_kw("WHERE")) {
        size_t b = p.pos();
        size_t e = st.toks.size() - 1;
        if (e > b && st.toks[e - 1].is_op(";")) --e;
        where = " WHERE " + translate_expressions(s, st, b, e, {t}, {alias}).sql;
    } else {
        p.end();
    }
    exec_result r;
    if (parse_only) return r;
    s.begin_write();
    stmt_ptr del = s.prepare_once("DELETE FROM " + q_ident(t->sqlite) + " AS " + q_name(alias) + where);
    for (size_t i = 0; i < binds.size(); ++i) bind_value(del.get(), static_cast<int>(i + 1), binds[i]);
    int rc = sqlite3_step(del.get());
    if (rc != SQLITE_DONE) s.sqlite_fail(rc);
    r.rows = sqlite3_changes(s.db);
    return r;
}

} // namespace eora
