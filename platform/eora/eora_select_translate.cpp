// A parsed Oracle query written out as SQLite: names resolved to the
// service's tables, Oracle functions and pseudo-columns to their SQLite forms.
#include "platform/eora/eora_privileges.h"
#include "platform/eora/eora_select_parse.h"
#include "platform/eora/eora_session_impl.h"

#include <map>
#include <set>

namespace eora {

namespace {

// Names a FROM clause can take as dictionary views.
const std::set<std::string>& dictionary_views()
{
    static const std::set<std::string> v = {"ALL_TABLES",       "USER_TABLES",       "DBA_TABLES",
                                            "ALL_VIEWS",        "USER_VIEWS",        "ALL_TAB_COLUMNS",
                                            "USER_TAB_COLUMNS", "ALL_CONSTRAINTS",   "USER_CONSTRAINTS",
                                            "ALL_CONS_COLUMNS", "USER_CONS_COLUMNS", "ALL_INDEXES",
                                            "USER_INDEXES",     "ALL_IND_COLUMNS",   "USER_IND_COLUMNS",
                                            "ALL_COL_COMMENTS", "USER_COL_COMMENTS", "ALL_SEQUENCES",
                                            "USER_SEQUENCES",   "ALL_TRIGGERS",      "USER_TRIGGERS",
                                            "ALL_USERS",        "DBA_USERS",         "ALL_OBJECTS",
                                            "USER_OBJECTS",     "V$VERSION",         "DUAL",
                                            "USER_SYS_PRIVS",   "DBA_SYS_PRIVS",     "USER_ROLE_PRIVS",
                                            "DBA_ROLE_PRIVS",   "SESSION_PRIVS",     "NLS_DATABASE_PARAMETERS"};
    return v;
}

std::string number_literal(const std::string& text)
{
    auto d = parse_decimal(text);
    if (!d) raise(1722);
    // The same form the value is stored in, so that comparisons match.
    stored v = stored_number(*d);
    if (v.type == SQLITE_INTEGER) return std::to_string(v.i);
    if (v.type == SQLITE_FLOAT)
        return v.s[0] == '.' ? "0" + v.s : v.s[0] == '-' && v.s[1] == '.' ? "-0" + v.s.substr(1) : v.s;
    return q_text(d->text());
}

// The SQLite function that does what an Oracle one does.
std::string function_name(const std::string& oracle)
{
    static const std::map<std::string, std::string> names = {{"CONCAT", "ora_concat"},
                                                             {"NVL", "ifnull"},
                                                             {"TO_DATE", "ora_to_date"},
                                                             {"TO_TIMESTAMP", "ora_to_timestamp"},
                                                             {"TO_TIMESTAMP_TZ", "ora_to_timestamp_tz"},
                                                             {"TO_NUMBER", "ora_to_number"},
                                                             {"TO_CHAR", "ora_to_char"},
                                                             {"SUBSTRB", "substr"},
                                                             {"LENGTHB", "length"}};
    auto it = names.find(oracle);
    return it == names.end() ? oracle : it->second;
}

bool is_concat(const term& x) { return x.k == term::kind::call && x.text == "CONCAT"; }

// CONCAT(CONCAT(a, b), c) and CONCAT(a, CONCAT(b, c)) become CONCAT(a, b, c):
// the same text (a NULL counts as empty either way), written the one way the
// dictionary's name indexes are built on, so "owner.table" lookups do not
// scan the dictionary.
void flatten_concat(term& x)
{
    if (!is_concat(x)) return;
    for (size_t a = 0; a < x.args.size();) {
        auto& arg = x.args[a].terms;
        if (arg.size() == 1 && is_concat(arg[0])) {
            std::vector<expr> inner = std::move(arg[0].args);
            x.args.erase(x.args.begin() + static_cast<std::ptrdiff_t>(a));
            x.args.insert(x.args.begin() + static_cast<std::ptrdiff_t>(a), std::make_move_iterator(inner.begin()),
                          std::make_move_iterator(inner.end()));
            continue; // the spliced arguments may hold another CONCAT
        }
        ++a;
    }
}

class translator {
public:
    translator(session::impl& s, const statement& st, translation& tr, const std::vector<char>* lift = nullptr)
        : s_(s), st_(st), tr_(tr), out_(tr.sql), lift_(lift), next_param_(static_cast<int>(st.binds.size()) + 1)
    {}

    // Marked tokens that did not become parameters.
    void check_lifts()
    {
        if (!lift_) return;
        size_t marked = 0;
        for (char m : *lift_) marked += m ? 1 : 0;
        if (marked != tr_.lifts.size()) tr_.reusable = false;
    }

    void query(const select_query& q, bool top)
    {
        for (size_t i = 0; i < q.operands.size(); ++i) {
            if (i > 0) {
                const std::string& op = q.set_ops[i - 1];
                if (op == "UNION ALL") {
                    emit("UNION");
                    emit("ALL");
                } else {
                    emit(op == "MINUS" ? "EXCEPT" : op);
                }
            }
            const query_operand& o = q.operands[i];
            if (o.nested) {
                emit("(");
                query(*o.nested, false);
                emit(")");
            } else {
                core(o.core, top && q.for_update);
            }
        }
        if (!q.order_by.empty()) {
            emit("ORDER");
            emit("BY");
            for (size_t i = 0; i < q.order_by.size(); ++i) {
                if (i > 0) emit(",");
                const order_item& item = q.order_by[i];
                expression(item.value);
                if (!item.direction.empty()) emit(item.direction);
                if (!item.nulls.empty()) {
                    emit("NULLS");
                    emit(item.nulls);
                }
            }
        }
    }

    void expressions(const std::vector<expr>& list)
    {
        for (size_t i = 0; i < list.size(); ++i) {
            if (i > 0) emit(",");
            expression(list[i]);
        }
    }

    // ROWIDs of the select list, now that the tables are known, and the row
    // column a FOR UPDATE query writes its LOBs through.
    void finish(bool for_update)
    {
        if (!rowid_marks_.empty()) {
            std::shared_ptr<table_meta> m = only_table();
            std::string expr = "ora_rowid(" + std::to_string(m->object_id) + ", " + rowid_expr() + ")";
            for (auto it = rowid_marks_.rbegin(); it != rowid_marks_.rend(); ++it) {
                size_t p = out_.find('\x01', *it);
                out_.replace(p, 1, expr);
            }
        }
        if (for_update && rowcol_mark_ != std::string::npos) {
            size_t users = 0;
            for (auto& x : tr_.tables) users += x ? 1 : 0;
            if (users != 1) raise(2014);
            out_.insert(rowcol_mark_, ", " + rowid_expr() + " AS \"__ROW__\"");
        }
    }

private:
    void emit(const std::string& x)
    {
        if (!out_.empty() && out_.back() != '(' && x != "(" && x != ")" && x != "," && x != "." && out_.back() != '.')
            out_ += ' ';
        out_ += x;
    }

    // The one table a ROWID can belong to.
    std::shared_ptr<table_meta> only_table() const
    {
        std::shared_ptr<table_meta> m;
        for (auto& x : tr_.tables)
            if (x) {
                if (m) raise(918);
                m = x;
            }
        if (!m) raise(904, "ROWID");
        return m;
    }

    std::string rowid_expr() const
    {
        std::vector<size_t> users;
        for (size_t k = 0; k < tr_.tables.size(); ++k)
            if (tr_.tables[k]) users.push_back(k);
        if (users.empty()) raise(904, "ROWID");
        if (users.size() > 1) raise(918);
        return q_name(tr_.aliases[users[0]]) + ".rowid";
    }

    std::string bind_number(const std::string& name) const
    {
        size_t idx = 0;
        for (; idx < st_.binds.size() && st_.binds[idx] != name; ++idx) {}
        return std::to_string(idx + 1);
    }

    void core(const select_core& c, bool marks_row)
    {
        emit("SELECT");
        if (!c.quantifier.empty()) emit(c.quantifier);
        for (size_t i = 0; i < c.items.size(); ++i) {
            if (i > 0) emit(",");
            const select_item& item = c.items[i];
            // SQLite names a column by its text: a literal there stays one.
            ++in_items_;
            expression(item.value);
            --in_items_;
            // A ROWID column is named so, whatever SQLite would call it.
            if (item.alias.empty() && !item.value.terms.empty() && item.value.terms.back().k == term::kind::rowid &&
                (i + 1 < c.items.size() || c.has_from))
                out_ += " AS \"ROWID\"";
            if (item.as) emit("AS");
            if (!item.alias.empty()) emit(q_name(item.alias));
        }
        if (c.has_from) {
            if (marks_row) rowcol_mark_ = out_.size();
            emit("FROM");
            for (size_t i = 0; i < c.from.size(); ++i) {
                if (i > 0) emit(",");
                from(c.from[i]);
            }
        }
        if (c.has_where) {
            emit("WHERE");
            const bool outer = in_where_;
            in_where_ = true;
            expression(c.where);
            in_where_ = outer;
        }
        if (!c.group_by.empty()) {
            emit("GROUP");
            emit("BY");
            for (size_t i = 0; i < c.group_by.size(); ++i) {
                if (i > 0) emit(",");
                expression(c.group_by[i]);
            }
        }
        if (c.has_having) {
            emit("HAVING");
            expression(c.having);
        }
    }

    void from(const from_item& f)
    {
        table(f.table);
        for (const join& j : f.joins) {
            for (const auto& w : j.words) emit(w);
            emit("JOIN");
            table(j.table);
            if (j.has_on) {
                emit("ON");
                expression(j.on);
            } else if (!j.using_columns.empty()) {
                emit("USING");
                emit("(");
                for (size_t i = 0; i < j.using_columns.size(); ++i) {
                    if (i > 0) emit(",");
                    emit(q_name(j.using_columns[i]));
                }
                emit(")");
            }
        }
    }

    void table(const table_ref& r)
    {
        if (r.query) {
            emit("(");
            query(*r.query, false);
            emit(")");
            if (!r.alias.empty()) emit(q_name(r.alias));
            return;
        }
        std::shared_ptr<table_meta> meta;
        std::string sql_name, alias;
        const bool dictionary = dictionary_views().count(r.name) &&
                                ((r.owner.empty() && !r.quoted) || r.owner == "SYS" || r.owner == "PUBLIC");
        if (dictionary) {
            // The DBA_ views are the whole database's.
            if (r.name.rfind("DBA_", 0) == 0) s_.require_on_table("SYS", priv::select_any_dictionary);
            sql_name = alias = r.name;
        } else {
            const std::string owner = r.owner.empty() ? s_.user : r.owner;
            meta = s_.table(owner, r.name);
            if (!meta) raise(942);
            s_.require_on_table(owner, priv::select_any_table);
            sql_name = meta->sqlite;
            alias = r.name;
        }
        if (!r.alias.empty()) alias = r.alias;
        emit(q_ident(sql_name) + " AS " + q_name(alias));
        tr_.tables.push_back(meta);
        tr_.aliases.push_back(alias);
    }

    void expression(const expr& x)
    {
        for (const term& t : x.terms) one_term(t);
    }

    void list(const std::vector<expr>& args)
    {
        emit("(");
        for (size_t i = 0; i < args.size(); ++i) {
            if (i > 0) emit(",");
            expression(args[i]);
        }
        emit(")");
    }

    void one_term(const term& t)
    {
        switch (t.k) {
        case term::kind::keyword:
            emit(t.text);
            break;
        case term::kind::name: {
            std::string n;
            for (size_t i = 0; i < t.parts.size(); ++i) n += (i ? "." : "") + q_name(t.parts[i]);
            emit(n);
            break;
        }
        case term::kind::string:
            if (lifted(t)) {
                emit("?" + std::to_string(next_param_));
                tr_.lifts.push_back({next_param_++, t.tok, false, 0});
            } else {
                emit(t.text.empty() ? "NULL" : q_text(t.text));
            }
            break;
        case term::kind::number:
            emit(number_literal(t.text));
            break;
        case term::kind::bind:
            emit("?" + bind_number(t.text));
            break;
        case term::kind::op:
            emit(t.text == "^=" || t.text == "!=" ? "<>" : t.text);
            break;
        case term::kind::call:
            emit(function_name(t.text));
            list(t.args);
            break;
        case term::kind::group:
            list(t.args);
            break;
        case term::kind::subquery:
            emit("(");
            query(*t.query, false);
            emit(")");
            break;
        case term::kind::rowid:
            rowid_marks_.push_back(out_.size());
            emit("\x01");
            break;
        case term::kind::rowid_match: {
            // ROWID = 'literal' finds the row directly.
            std::shared_ptr<table_meta> m = only_table();
            std::string lhs = rowid_expr();
            std::string arg = t.bind_value
                                  ? "ora_rowid_num(?" + bind_number(t.text) + ", " + std::to_string(m->object_id) + ")"
                                  : std::to_string(decode_rowid(t.text, m->object_id));
            if (!t.bind_value && lifted(t)) {
                // Decoded above all the same: a malformed one fails here as before.
                arg = "?" + std::to_string(next_param_);
                tr_.lifts.push_back({next_param_++, t.tok, true, m->object_id});
            }
            emit(lhs + " = " + arg);
            break;
        }
        case term::kind::sequence: {
            const std::string& owner = t.parts[0].empty() ? s_.user : t.parts[0];
            if (t.currval) raise(8002, t.parts[1]);
            s_.require_on_table(owner, priv::select_any_sequence, 2289);
            emit("ora_nextval(" + q_text(owner) + ", " + q_text(t.parts[1]) + ")");
            tr_.writes = true;
            break;
        }
        case term::kind::sysdate:
            emit("ora_sysdate()");
            break;
        case term::kind::user:
            emit(q_text(s_.user));
            break;
        }
    }

    // A literal marked to lift, where a parameter means what it does: in a
    // condition, never in a select list. A marked one elsewhere stays a
    // literal, and the text then serves its own values only.
    bool lifted(const term& t)
    {
        if (!lift_ || t.tok >= lift_->size() || !(*lift_)[t.tok]) return false;
        if (in_where_ && in_items_ == 0) return true;
        tr_.reusable = false;
        return false;
    }

    session::impl& s_;
    const statement& st_;
    translation& tr_;
    std::string& out_;
    const std::vector<char>* lift_;
    int next_param_;
    int in_items_ = 0;
    bool in_where_ = false;
    std::vector<size_t> rowid_marks_; // positions in the text of select-list ROWIDs
    size_t rowcol_mark_ = std::string::npos;
};

void flatten_all(select_query& q);

void flatten_all(std::vector<expr>& list);

void flatten_all(expr& x)
{
    for (term& t : x.terms) {
        flatten_concat(t);
        flatten_all(t.args);
        if (t.query) flatten_all(*t.query);
    }
}

void flatten_all(std::vector<expr>& list)
{
    for (auto& x : list) flatten_all(x);
}

void flatten_all(select_query& q)
{
    for (auto& o : q.operands) {
        if (o.nested) {
            flatten_all(*o.nested);
            continue;
        }
        select_core& c = o.core;
        for (auto& item : c.items) flatten_all(item.value);
        for (auto& f : c.from) {
            if (f.table.query) flatten_all(*f.table.query);
            for (auto& j : f.joins) {
                if (j.table.query) flatten_all(*j.table.query);
                flatten_all(j.on);
            }
        }
        flatten_all(c.where);
        flatten_all(c.group_by);
        flatten_all(c.having);
    }
    for (auto& item : q.order_by) flatten_all(item.value);
}

} // namespace

translation translate_query(session::impl& s, const statement& st, size_t b, size_t e, const std::vector<char>* lift)
{
    select_query q = parse_select(st.toks, b, e);
    flatten_all(q);
    translation tr;
    tr.for_update = q.for_update;
    translator w(s, st, tr, lift);
    w.query(q, true);
    w.finish(q.for_update);
    w.check_lifts();
    return tr;
}

translation translate_expressions(session::impl& s, const statement& st, size_t b, size_t e,
                                  std::vector<std::shared_ptr<table_meta>> tables, std::vector<std::string> aliases)
{
    return translate_expressions(s, st, parse_expressions(st.toks, b, e), std::move(tables), std::move(aliases));
}

translation translate_expressions(session::impl& s, const statement& st, std::vector<expr> list,
                                  std::vector<std::shared_ptr<table_meta>> tables, std::vector<std::string> aliases)
{
    flatten_all(list);
    translation tr;
    tr.tables = std::move(tables);
    tr.aliases = std::move(aliases);
    translator w(s, st, tr);
    w.expressions(list);
    w.finish(false);
    return tr;
}

} // namespace eora
