#include "platform/mssx/mssx_catalog.h"
#include "platform/embedded/embedded_clock.h"
#include "platform/mssx/mssx_lexer.h"
#include "platform/mssx/mssx_rowversion.h"

namespace {
const char* kDictionary = R"SQL(
CREATE TABLE IF NOT EXISTS mssx_schemas(name TEXT PRIMARY KEY COLLATE NOCASE);
INSERT OR IGNORE INTO mssx_schemas VALUES('dbo');
INSERT OR IGNORE INTO mssx_schemas VALUES('guest');
INSERT OR IGNORE INTO mssx_schemas VALUES('INFORMATION_SCHEMA');
INSERT OR IGNORE INTO mssx_schemas VALUES('sys');
CREATE TABLE IF NOT EXISTS mssx_objects(object_id INTEGER PRIMARY KEY, schema_name TEXT COLLATE NOCASE, name TEXT COLLATE NOCASE,
  type TEXT, definition TEXT, created TEXT, ident_last INTEGER, UNIQUE(schema_name, name));
CREATE TABLE IF NOT EXISTS mssx_columns(object_id INTEGER, ordinal INTEGER, name TEXT, type_name TEXT, length INTEGER,
  prec INTEGER, scale INTEGER, nullable INTEGER, is_identity INTEGER, seed INTEGER, increment INTEGER,
  default_name TEXT, default_text TEXT, collation TEXT, PRIMARY KEY(object_id, ordinal));
CREATE TABLE IF NOT EXISTS mssx_indexes(object_id INTEGER, ordinal INTEGER, name TEXT, is_unique INTEGER, is_clustered INTEGER,
  is_primary INTEGER, is_constraint INTEGER, columns TEXT, filter TEXT, PRIMARY KEY(object_id, ordinal));
CREATE TABLE IF NOT EXISTS mssx_foreign_keys(object_id INTEGER, ordinal INTEGER, name TEXT, columns TEXT, ref_schema TEXT,
  ref_table TEXT, ref_columns TEXT, on_delete TEXT, on_update TEXT, disabled INTEGER, PRIMARY KEY(object_id, ordinal));
CREATE TABLE IF NOT EXISTS mssx_computed(object_id INTEGER, name TEXT COLLATE NOCASE, definition TEXT, PRIMARY KEY(object_id, name));
CREATE TABLE IF NOT EXISTS mssx_types(name TEXT PRIMARY KEY COLLATE NOCASE, schema_name TEXT, base TEXT, nullable INTEGER);
CREATE TABLE IF NOT EXISTS mssx_extended_properties(name TEXT, value TEXT, level0type TEXT, level0name TEXT,
  level1type TEXT, level1name TEXT, level2type TEXT, level2name TEXT);
CREATE TABLE IF NOT EXISTS mssx_checks(object_id INTEGER, ordinal INTEGER, name TEXT, definition TEXT, disabled INTEGER,
  PRIMARY KEY(object_id, ordinal));
CREATE TABLE IF NOT EXISTS mssx_dbts(value INTEGER NOT NULL);
CREATE TABLE IF NOT EXISTS mssx_xml_schema_collections(schema_name TEXT COLLATE NOCASE, name TEXT COLLATE NOCASE,
  definition TEXT, PRIMARY KEY(schema_name, name));
CREATE INDEX IF NOT EXISTS mssx_foreign_keys_ref ON mssx_foreign_keys(ref_table COLLATE NOCASE);
CREATE INDEX IF NOT EXISTS mssx_objects_name ON mssx_objects(name);
)SQL";
// mssx_indexes.descending: one letter a column
constexpr char kDescendingFlag = 'D';
constexpr char kAscendingFlag = 'A';

// How many definitions and lookups are kept: the last few tables a client works on.
constexpr size_t kept_tables = 64;
constexpr size_t kept_objects = 256;
constexpr size_t kept_names = 4096;

// Resets a kept statement when its use ends, so that it holds no read transaction open.
struct stmt_use {
    mssx_stmt& st;
    ~stmt_use() { st.reset(); }
};

std::string fold_ascii(std::string s)
{
    for (char& ch : s)
        if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch - 'A' + 'a');
    return s;
}
} // namespace

std::string mssx_join_names(const std::vector<std::string>& v)
{
    std::string s;
    for (size_t i = 0; i < v.size(); ++i) {
        if (i) s += '\x1F';
        s += v[i];
    }
    return s;
}

std::vector<std::string> mssx_split_names(const std::string& s)
{
    std::vector<std::string> out;
    if (s.empty()) return out;
    size_t b = 0;
    for (size_t i = 0; i <= s.size(); ++i)
        if (i == s.size() || s[i] == '\x1F') {
            out.push_back(s.substr(b, i - b));
            b = i + 1;
        }
    return out;
}

int mssx_table_def::column_index(const std::string& col) const
{
    for (size_t i = 0; i < columns.size(); ++i)
        if (mssx_iequal(columns[i].name, col)) return static_cast<int>(i);
    return -1;
}

const mssx_index_def* mssx_table_def::primary_key() const
{
    for (auto& i : indexes)
        if (i.primary) return &i;
    return nullptr;
}

mssx_catalog::~mssx_catalog() { forget(); }

bool mssx_catalog::dictionary_current()
{
    // read only: a new session does not wait for another one's write lock when there is nothing to add
    auto tables = db_.prepare(
        "SELECT COUNT(*) FROM sqlite_master WHERE type = 'table' AND name IN "
        "('mssx_xml_schema_collections', 'mssx_dbts')");
    if (!tables.step() || tables.integer(0) != 2) return false;
    tables.reset();
    auto dbts = db_.prepare("SELECT COUNT(*) FROM mssx_dbts");
    if (!dbts.step() || dbts.integer(0) == 0) return false;
    dbts.reset();
    auto cols = db_.prepare("SELECT COUNT(*) FROM pragma_table_info('mssx_indexes') WHERE name = 'descending'");
    return cols.step() && cols.integer(0) == 1;
}

void mssx_catalog::ensure_dictionary()
{
    if (dictionary_current()) return;
    db_.exec(kDictionary);
    // files written before index columns had a direction
    bool has_direction = false;
    auto cols = db_.prepare("PRAGMA table_info(mssx_indexes)");
    while (cols.step()) has_direction = has_direction || cols.text(1) == "descending";
    cols.reset();
    if (!has_direction) db_.exec("ALTER TABLE mssx_indexes ADD COLUMN descending TEXT NOT NULL DEFAULT ''");
    db_.exec("INSERT INTO mssx_dbts SELECT " + std::to_string(kMssxFirstDbts) +
             " WHERE NOT EXISTS (SELECT 1 FROM mssx_dbts)");
}

void mssx_catalog::forget()
{
    if (bound_ && bound_ == db_.get()) {
        sqlite3_rollback_hook(bound_, nullptr, nullptr);
        sqlite3_commit_hook(bound_, nullptr, nullptr);
    }
    bound_ = nullptr;
    stmts_.clear();
    objects_.clear();
    tables_.clear();
    names_.clear();
    data_version_ = -1;
}

mssx_catalog::name_key mssx_catalog::key_of(const std::string& schema, const std::string& name)
{
    return {fold_ascii(schema), fold_ascii(name)};
}

void mssx_catalog::on_rollback(void* self)
{
    // What was read inside the transaction may be gone with it.
    auto* cat = static_cast<mssx_catalog*>(self);
    cat->objects_.clear();
    cat->tables_.clear();
    cat->names_.clear();
    ++cat->transactions_;
}

int mssx_catalog::on_commit(void* self)
{
    ++static_cast<mssx_catalog*>(self)->transactions_;
    return 0; // the commit goes on
}

mssx_stmt& mssx_catalog::kept(const char* sql)
{
    if (bound_ != db_.get()) {
        forget();
        bound_ = db_.get();
        sqlite3_rollback_hook(bound_, &mssx_catalog::on_rollback, this);
        sqlite3_commit_hook(bound_, &mssx_catalog::on_commit, this);
    }
    auto it = stmts_.find(sql);
    if (it == stmts_.end()) it = stmts_.emplace(sql, db_.prepare(sql)).first;
    return it->second;
}

std::string mssx_catalog::pragma_text(const char* pragma)
{
    auto& st = kept(pragma);
    stmt_use use{st};
    st.step();
    return st.text(0);
}

void mssx_catalog::check_fresh()
{
    auto& st = kept("PRAGMA data_version");
    stmt_use use{st};
    st.step();
    const int64_t version = st.integer(0);
    if (version != data_version_) {
        objects_.clear();
        tables_.clear();
        names_.clear();
        data_version_ = version;
    }
}

void mssx_catalog::dictionary_written()
{
    objects_.clear();
    tables_.clear();
    names_.clear();
}

std::optional<mssx_object_ref> mssx_catalog::find_object(const std::string& schema, const std::string& name)
{
    check_fresh();
    const name_key key = key_of(schema, name);
    if (auto it = objects_.find(key); it != objects_.end()) return it->second;
    std::optional<mssx_object_ref> found;
    {
        auto& st = kept("SELECT schema_name, name, type, object_id FROM mssx_objects WHERE schema_name=?1 AND name=?2");
        stmt_use use{st};
        st.bind(1, schema).bind(2, name);
        if (st.step()) found = mssx_object_ref{st.text(0), st.text(1), st.text(2)[0], st.integer(3)};
    }
    if (objects_.size() >= kept_objects) objects_.clear();
    objects_.emplace(key, found);
    return found;
}

std::optional<mssx_object_ref> mssx_catalog::object_by_id(int64_t object_id)
{
    // A query that names every row's object (sys.identity_columns WHERE OBJECT_NAME(object_id)=...) runs
    // in a batch's write transaction: no other connection commits before it ends, so whether one did
    // before it began is asked once a transaction.
    const bool writing = sqlite3_txn_state(db_.get(), "main") == SQLITE_TXN_WRITE;
    if (writing) {
        if (names_checked_ != transactions_) {
            check_fresh();
            names_checked_ = transactions_;
        }
        if (auto it = names_.find(object_id); it != names_.end()) return it->second;
    }
    std::optional<mssx_object_ref> found;
    {
        auto& st = kept("SELECT schema_name, name, type, object_id FROM mssx_objects WHERE object_id=?1");
        stmt_use use{st};
        st.bind(1, object_id);
        if (st.step())
            found =
                mssx_object_ref{st.text(0), st.text(1), st.text(2).empty() ? char(0) : st.text(2)[0], st.integer(3)};
    }
    if (writing) {
        if (names_.size() >= kept_names) names_.clear();
        names_.emplace(object_id, found);
    }
    return found;
}

std::vector<mssx_object_ref> mssx_catalog::objects(char type)
{
    auto st = db_.prepare(
        "SELECT schema_name, name, type, object_id FROM mssx_objects WHERE type=?1 ORDER BY schema_name, name");
    st.bind(1, std::string(1, type));
    std::vector<mssx_object_ref> out;
    while (st.step()) out.push_back({st.text(0), st.text(1), st.text(2)[0], st.integer(3)});
    return out;
}

std::vector<mssx_object_ref> mssx_catalog::objects(char type, const std::string& name_prefix)
{
    if (name_prefix.empty()) return objects(type);
    // A range of the name index (the server's own LIKE function keeps SQLite from
    // turning LIKE into one). Names are compared with ASCII letters folded to lower
    // case, so the range runs from the folded prefix to its last byte plus one.
    std::string low = name_prefix;
    for (char& ch : low)
        if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch - 'A' + 'a');
    std::string high = low;
    high.back() = static_cast<char>(high.back() + 1);
    auto st = db_.prepare(
        "SELECT schema_name, name, type, object_id FROM mssx_objects WHERE type=?1 AND name>=?2 "
        "AND name<?3 ORDER BY schema_name, name");
    st.bind(1, std::string(1, type)).bind(2, low).bind(3, high);
    std::vector<mssx_object_ref> out;
    while (st.step()) out.push_back({st.text(0), st.text(1), st.text(2)[0], st.integer(3)});
    return out;
}

std::vector<mssx_object_ref> mssx_catalog::tables_referencing(const std::string& name)
{
    auto st = db_.prepare(
        "SELECT DISTINCT o.schema_name, o.name, o.type, o.object_id FROM mssx_foreign_keys f "
        "JOIN mssx_objects o ON o.object_id=f.object_id WHERE f.ref_table=?1 COLLATE NOCASE "
        "ORDER BY o.schema_name, o.name");
    st.bind(1, name);
    std::vector<mssx_object_ref> out;
    while (st.step())
        out.push_back({st.text(0), st.text(1), st.text(2).empty() ? char(0) : st.text(2)[0], st.integer(3)});
    return out;
}

std::optional<mssx_table_def> mssx_catalog::load_table(const std::string& schema, const std::string& name)
{
    check_fresh();
    const name_key key = key_of(schema, name);
    if (auto it = tables_.find(key); it != tables_.end()) return it->second;
    std::optional<mssx_table_def> t = read_table(schema, name);
    if (tables_.size() >= kept_tables) tables_.clear();
    tables_.emplace(key, t);
    return t;
}

std::optional<mssx_table_def> mssx_catalog::read_table(const std::string& schema, const std::string& name)
{
    mssx_table_def t;
    {
        auto& st = kept(
            "SELECT object_id, schema_name, name, created, ident_last FROM mssx_objects WHERE schema_name=?1 AND "
            "name=?2 AND type='U'");
        stmt_use use{st};
        st.bind(1, schema).bind(2, name);
        if (!st.step()) return std::nullopt;
        t.object_id = st.integer(0);
        t.schema = st.text(1);
        t.name = st.text(2);
        t.created = st.text(3);
        if (!st.is_null(4)) t.ident_last = st.integer(4);
    }
    auto& c = kept(
        "SELECT name, type_name, length, prec, scale, nullable, is_identity, seed, increment, default_name, "
        "default_text, collation FROM mssx_columns WHERE object_id=?1 ORDER BY ordinal");
    stmt_use use_c{c};
    c.bind(1, t.object_id);
    while (c.step()) {
        mssx_column_def d;
        d.name = c.text(0);
        d.type.name = c.text(1);
        d.type.length = c.integer(2);
        d.type.precision = static_cast<int>(c.integer(3));
        d.type.scale = static_cast<int>(c.integer(4));
        d.nullable = c.integer(5) != 0;
        d.identity = c.integer(6) != 0;
        d.seed = c.integer(7);
        d.increment = c.integer(8);
        d.default_name = c.text(9);
        d.default_text = c.text(10);
        d.collation = c.text(11);
        d.type.code_page = mssx_code_page_of(d.collation);
        t.columns.push_back(std::move(d));
    }
    auto& cc = kept("SELECT name, definition FROM mssx_computed WHERE object_id=?1");
    stmt_use use_cc{cc};
    cc.bind(1, t.object_id);
    while (cc.step()) {
        int ci = t.column_index(cc.text(0));
        if (ci >= 0) t.columns[static_cast<size_t>(ci)].computed = cc.text(1);
    }
    auto& ix = kept(
        "SELECT name, is_unique, is_clustered, is_primary, is_constraint, columns, filter, descending FROM "
        "mssx_indexes WHERE object_id=?1 ORDER BY ordinal");
    stmt_use use_ix{ix};
    ix.bind(1, t.object_id);
    while (ix.step()) {
        std::vector<bool> desc;
        for (char f : ix.text(7)) desc.push_back(f == kDescendingFlag);
        t.indexes.push_back({ix.text(0), ix.integer(1) != 0, ix.integer(2) != 0, ix.integer(3) != 0, ix.integer(4) != 0,
                             mssx_split_names(ix.text(5)), ix.text(6), desc});
    }
    auto& fk = kept(
        "SELECT name, columns, ref_schema, ref_table, ref_columns, on_delete, on_update, disabled FROM "
        "mssx_foreign_keys WHERE object_id=?1 ORDER BY ordinal");
    stmt_use use_fk{fk};
    fk.bind(1, t.object_id);
    while (fk.step())
        t.fks.push_back({fk.text(0), mssx_split_names(fk.text(1)), fk.text(2), fk.text(3), mssx_split_names(fk.text(4)),
                         fk.text(5), fk.text(6), fk.integer(7) != 0});
    auto& ck = kept("SELECT name, definition, disabled FROM mssx_checks WHERE object_id=?1 ORDER BY ordinal");
    stmt_use use_ck{ck};
    ck.bind(1, t.object_id);
    while (ck.step()) t.checks.push_back({ck.text(0), ck.text(1), ck.integer(2) != 0});
    return t;
}

void mssx_catalog::save_table(const mssx_table_def& t, bool is_new)
{
    dictionary_written();
    int64_t id = t.object_id;
    if (is_new) {
        auto st = db_.prepare("INSERT INTO mssx_objects(schema_name, name, type, created) VALUES(?1, ?2, 'U', ?3)");
        st.bind(1, t.schema).bind(2, t.name).bind(3, embedded::now_text(3));
        st.step();
        id = sqlite3_last_insert_rowid(db_.get());
    }
    for (const char* tab : {"mssx_columns", "mssx_indexes", "mssx_foreign_keys", "mssx_checks", "mssx_computed"}) {
        auto d = db_.prepare(std::string("DELETE FROM ") + tab + " WHERE object_id=?1");
        d.bind(1, id);
        d.step();
    }
    auto c = db_.prepare("INSERT INTO mssx_columns VALUES(?1,?2,?3,?4,?5,?6,?7,?8,?9,?10,?11,?12,?13,?14)");
    for (size_t i = 0; i < t.columns.size(); ++i) {
        auto& d = t.columns[i];
        c.reset();
        c.bind(1, id)
            .bind(2, static_cast<int64_t>(i + 1))
            .bind(3, d.name)
            .bind(4, d.type.name)
            .bind(5, d.type.length)
            .bind(6, static_cast<int64_t>(d.type.precision))
            .bind(7, static_cast<int64_t>(d.type.scale))
            .bind(8, static_cast<int64_t>(d.nullable))
            .bind(9, static_cast<int64_t>(d.identity))
            .bind(10, d.seed)
            .bind(11, d.increment)
            .bind(12, d.default_name)
            .bind(13, d.default_text)
            .bind(14, d.collation);
        c.step();
    }
    auto cc = db_.prepare("INSERT INTO mssx_computed VALUES(?1,?2,?3)");
    for (auto& d : t.columns) {
        if (d.computed.empty()) continue;
        cc.reset();
        cc.bind(1, id).bind(2, d.name).bind(3, d.computed);
        cc.step();
    }
    auto x = db_.prepare("INSERT INTO mssx_indexes VALUES(?1,?2,?3,?4,?5,?6,?7,?8,?9,?10)");
    for (size_t i = 0; i < t.indexes.size(); ++i) {
        auto& d = t.indexes[i];
        x.reset();
        x.bind(1, id)
            .bind(2, static_cast<int64_t>(i + 1))
            .bind(3, d.name)
            .bind(4, static_cast<int64_t>(d.unique))
            .bind(5, static_cast<int64_t>(d.clustered))
            .bind(6, static_cast<int64_t>(d.primary))
            .bind(7, static_cast<int64_t>(d.constraint))
            .bind(8, mssx_join_names(d.columns))
            .bind(9, d.filter);
        std::string desc;
        for (size_t c = 0; c < d.columns.size(); ++c) desc += d.is_descending(c) ? kDescendingFlag : kAscendingFlag;
        x.bind(10, desc);
        x.step();
    }
    auto f = db_.prepare("INSERT INTO mssx_foreign_keys VALUES(?1,?2,?3,?4,?5,?6,?7,?8,?9,?10)");
    for (size_t i = 0; i < t.fks.size(); ++i) {
        auto& d = t.fks[i];
        f.reset();
        f.bind(1, id)
            .bind(2, static_cast<int64_t>(i + 1))
            .bind(3, d.name)
            .bind(4, mssx_join_names(d.columns))
            .bind(5, d.ref_schema)
            .bind(6, d.ref_table)
            .bind(7, mssx_join_names(d.ref_columns))
            .bind(8, d.on_delete)
            .bind(9, d.on_update)
            .bind(10, static_cast<int64_t>(d.disabled));
        f.step();
    }
    auto k = db_.prepare("INSERT INTO mssx_checks VALUES(?1,?2,?3,?4,?5)");
    for (size_t i = 0; i < t.checks.size(); ++i) {
        k.reset();
        k.bind(1, id)
            .bind(2, static_cast<int64_t>(i + 1))
            .bind(3, t.checks[i].name)
            .bind(4, t.checks[i].text)
            .bind(5, static_cast<int64_t>(t.checks[i].disabled));
        k.step();
    }
}

void mssx_catalog::set_ident_last(const mssx_table_def& t, int64_t v)
{
    {
        auto& st = kept("UPDATE mssx_objects SET ident_last=?1 WHERE object_id=?2");
        stmt_use use{st};
        st.bind(1, v).bind(2, t.object_id);
        st.step();
    }
    // The kept definition follows, so that a row by row insert reads nothing back.
    for (auto& [key, def] : tables_)
        if (def && def->object_id == t.object_id) def->ident_last = v;
}

void mssx_catalog::clear_ident_last(const mssx_table_def& t)
{
    auto& st = kept("UPDATE mssx_objects SET ident_last=NULL WHERE object_id=?1");
    stmt_use use{st};
    st.bind(1, t.object_id);
    st.step();
    for (auto& [key, def] : tables_)
        if (def && def->object_id == t.object_id) def->ident_last.reset();
}

void mssx_catalog::drop_object(const mssx_object_ref& o)
{
    dictionary_written();
    for (const char* tab :
         {"mssx_columns", "mssx_indexes", "mssx_foreign_keys", "mssx_checks", "mssx_computed", "mssx_objects"}) {
        auto d = db_.prepare(std::string("DELETE FROM ") + tab + " WHERE object_id=?1");
        d.bind(1, o.object_id);
        d.step();
    }
}

void mssx_catalog::create_module(const std::string& schema, const std::string& name, char type, const std::string& text)
{
    dictionary_written();
    auto st = db_.prepare(
        "INSERT INTO mssx_objects(schema_name, name, type, definition, created) VALUES(?1, ?2, ?3, ?4, ?5)");
    st.bind(1, schema).bind(2, name).bind(3, std::string(1, type)).bind(4, text).bind(5, embedded::now_text(3));
    st.step();
}

std::string mssx_catalog::module_text(const std::string& schema, const std::string& name)
{
    auto st = db_.prepare("SELECT definition FROM mssx_objects WHERE schema_name=?1 AND name=?2");
    st.bind(1, schema).bind(2, name);
    return st.step() ? st.text(0) : std::string();
}

std::optional<mssx_alias_type> mssx_catalog::alias_type(const std::string& name)
{
    auto st = db_.prepare("SELECT name, schema_name, base, nullable FROM mssx_types WHERE name=?1");
    st.bind(1, name);
    if (!st.step()) return std::nullopt;
    return mssx_alias_type{st.text(0), st.text(1), st.text(2), st.integer(3) != 0};
}

std::vector<mssx_alias_type> mssx_catalog::alias_types()
{
    auto st = db_.prepare("SELECT name, schema_name, base, nullable FROM mssx_types ORDER BY name");
    std::vector<mssx_alias_type> out;
    while (st.step()) out.push_back({st.text(0), st.text(1), st.text(2), st.integer(3) != 0});
    return out;
}

void mssx_catalog::create_alias_type(const mssx_alias_type& t)
{
    auto st = db_.prepare("INSERT INTO mssx_types VALUES(?1, ?2, ?3, ?4)");
    st.bind(1, t.name).bind(2, t.schema).bind(3, t.base).bind(4, int64_t(t.nullable));
    st.step();
}

bool mssx_catalog::xml_schema_collection_exists(const std::string& schema, const std::string& name)
{
    auto st = db_.prepare("SELECT 1 FROM mssx_xml_schema_collections WHERE schema_name=?1 AND name=?2");
    st.bind(1, schema).bind(2, name);
    return st.step();
}

void mssx_catalog::create_xml_schema_collection(const std::string& schema, const std::string& name,
                                                const std::string& definition)
{
    auto st = db_.prepare("INSERT INTO mssx_xml_schema_collections VALUES(?1, ?2, ?3)");
    st.bind(1, schema).bind(2, name).bind(3, definition);
    st.step();
}

void mssx_catalog::drop_xml_schema_collection(const std::string& schema, const std::string& name)
{
    auto st = db_.prepare("DELETE FROM mssx_xml_schema_collections WHERE schema_name=?1 AND name=?2");
    st.bind(1, schema).bind(2, name);
    st.step();
}

void mssx_catalog::add_extended_property(const std::vector<std::string>& fields)
{
    auto st = db_.prepare("INSERT INTO mssx_extended_properties VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8)");
    for (size_t i = 0; i < 8; ++i)
        st.bind(static_cast<int>(i + 1), i < fields.size() ? mssx_value(fields[i]) : mssx_value());
    st.step();
}

bool mssx_catalog::schema_exists(const std::string& name)
{
    auto st = db_.prepare("SELECT 1 FROM mssx_schemas WHERE name=?1");
    st.bind(1, name);
    return st.step();
}

void mssx_catalog::create_schema(const std::string& name)
{
    auto st = db_.prepare("INSERT INTO mssx_schemas VALUES(?1)");
    st.bind(1, name);
    st.step();
}

std::vector<std::string> mssx_catalog::schemas()
{
    auto st = db_.prepare("SELECT name FROM mssx_schemas ORDER BY name");
    std::vector<std::string> out;
    while (st.step()) out.push_back(st.text(0));
    return out;
}

bool mssx_catalog::constraint_exists(const std::string& schema, const std::string& name)
{
    auto st = db_.prepare(
        "SELECT 1 FROM mssx_objects o WHERE o.schema_name=?1 AND (o.name=?2 OR "
        "EXISTS(SELECT 1 FROM mssx_indexes i WHERE i.object_id=o.object_id AND (i.is_primary OR i.is_constraint) AND "
        "i.name=?2 COLLATE NOCASE) OR "
        "EXISTS(SELECT 1 FROM mssx_foreign_keys f WHERE f.object_id=o.object_id AND f.name=?2 COLLATE NOCASE) OR "
        "EXISTS(SELECT 1 FROM mssx_checks c WHERE c.object_id=o.object_id AND c.name=?2 COLLATE NOCASE) OR "
        "EXISTS(SELECT 1 FROM mssx_columns c WHERE c.object_id=o.object_id AND c.default_name=?2 COLLATE NOCASE))");
    st.bind(1, schema).bind(2, name);
    return st.step();
}
