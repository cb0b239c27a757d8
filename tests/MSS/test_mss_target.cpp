// SQL Server as a target: tables, indexes, keys and views created in the
// embedded SQL Server, rows written by INSERT statements and by bulk load,
// and read back from the server value by value.
#include "MSS/mss_database.h"
#include "MSS/mss_engine.h"
#include "MSS/mss_fast_load.h"
#include "MSS/mss_table.h"
#include "MSS/odb_column_props.h"
#include "MSS/odb_exception.h"
#include "OLE/ole_date.h"
#include "TK/tk_text.h"
#include "mss_test_server.h"
#include "platform/com/com.h"
#include "platform/mssx/mssx_connection.h"
#include "platform/oledb/oledb.h"

#include <gtest/gtest.h>

#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

using values = std::vector<std::pair<std::wstring, ole_variant>>;

std::unique_ptr<udb_record> make_record(const values& v)
{
    auto rec = std::make_unique<udb_record>();
    for (const auto& [name, value] : v) rec->push_back(std::make_unique<udb_field>(name, 0, value));
    return rec;
}

ole_variant bytes(const std::string& s) { return ole_variant(reinterpret_cast<const BYTE*>(s.data()), s.size()); }

ole_variant date(const wchar_t* text) { return ole_date(text).to_variant(); }

class MssTarget : public ::testing::Test {
protected:
    void SetUp() override
    {
        server = mss_test_server::fresh();
        server.run("CREATE DATABASE Shop");
        engine = std::make_unique<mss_engine>(true);
        connect();
    }
    void TearDown() override
    {
        db.reset();
        engine.reset();
    }
    void connect()
    {
        db.reset();
        engine->connect(server.host, L"sa", to_unicode(server.sa_password), true);
        db.reset(engine->open_db(L"Shop", 0));
    }

    // What the server holds, read without the OLE DB layer.
    mssx_result direct(const std::string& sql)
    {
        mssx_login login;
        login.user = "sa";
        login.password = server.sa_password;
        login.database = "Shop";
        mssx_connection conn(server.dir, login);
        mssx_outcome out = conn.execute(sql);
        EXPECT_TRUE(out.errors.empty()) << sql << ": " << (out.errors.empty() ? "" : out.errors[0].what());
        return out.results.empty() ? mssx_result() : out.results.front();
    }
    std::string cell(const mssx_result& r, size_t row, size_t col)
    {
        if (row >= r.rows.size() || col >= r.columns.size()) return "<missing>";
        if (mssx_is_null(r.rows[row][col])) return "NULL";
        return mssx_text(r.columns[col].type, r.rows[row][col]);
    }
    std::map<std::string, std::string> column_types(const std::string& table)
    {
        std::map<std::string, std::string> out;
        const mssx_result r = direct("SELECT * FROM " + table);
        for (const auto& c : r.columns) out[c.name] = c.type.sql_text() + (c.nullable ? " NULL" : " NOT NULL");
        return out;
    }

    // A table of every kind of column the writer binds.
    static udb_schema all_kinds(udb_indexes& indexes)
    {
        udb_schema s;
        s.push_back(t_ftd(4, L"id", VT_I4, true, true, ole_variant(), 0, L""));
        s.push_back(t_ftd(50, L"name", VT_BSTR, true, false, ole_variant(std::wstring(L"abc")), 0, L""));
        s.push_back(t_ftd(0, L"price", VT_DECIMAL, false, false, ole_variant(), t_ftd::decimal_hint(10, 2), L""));
        s.push_back(t_ftd(16, L"ts", VT_DATE, false, false, ole_variant(), 0, L""));
        s.push_back(t_ftd(16, L"day", VT_DATE, false, false, ole_variant(), t_ftd::hint_date_only, L""));
        s.push_back(t_ftd(2, L"flag", VT_BOOL, false, false, ole_variant(), 0, L""));
        s.push_back(t_ftd(8, L"ratio", VT_R8, false, false, ole_variant(), 0, L""));
        s.push_back(t_ftd(0, L"memo", VT_BSTR, false, false, ole_variant(), 0, L""));
        s.push_back(t_ftd(0, L"data", VT_BLOB, false, false, ole_variant(), 0, L""));
        s.push_back(t_ftd(8, L"big", VT_I8, false, false, ole_variant(), 0, L""));
        s.push_back(t_ftd(4, L"qty", VT_I4, true, false, ole_variant(), 0, L""));
        s.push_back(t_ftd(16, L"at", VT_DATE, false, false, ole_variant(), t_ftd::hint_time_only, L""));
        s.push_back(t_ftd(38, L"uid", VT_BSTR, false, false, ole_variant(), t_ftd::hint_bstr_guid, L""));
        indexes.push_back(udb_index(L"PK_items", true, true, {L"id"}));
        return s;
    }
    static values row(int id, const std::wstring& name, const wchar_t* price, const wchar_t* ts, const wchar_t* day,
                      bool flag, double ratio, const std::wstring& memo, const std::string& data, long long big)
    {
        return {
            {L"id", ole_variant(id)},
            {L"name", ole_variant(name)},
            {L"price", ole_variant::from_wstring(price, VT_DECIMAL)},
            {L"ts", date(ts)},
            {L"day", date(day)},
            {L"flag", ole_variant(flag)},
            {L"ratio", ole_variant(ratio)},
            {L"memo", ole_variant(memo)},
            {L"data", bytes(data)},
            {L"big", ole_variant(big)},
            {L"qty", ole_variant()},
            {L"at", date(L"1899-12-30 10:11:12")},
            {L"uid", id == 20 ? ole_variant() : ole_variant(std::wstring(L"{6F9619FF-8B86-D011-B42D-00C04FC964FF}"))}};
    }

    // Writes the rows into a new table "items" and reads them back.
    void write_and_compare(bool fast)
    {
        engine->fast_load = fast;
        udb_indexes indexes;
        udb_schema schema = all_kinds(indexes);
        std::unique_ptr<udb_recordset> t = db->create_table(L"items", schema, indexes);
        auto* table = dynamic_cast<mss_table*>(t.get());
        ASSERT_NE(table, nullptr);
        EXPECT_TRUE(table->b_identity);
        const std::wstring long_text = std::wstring(30000, L'x') + L"\u00e9\u4e2d" + std::wstring(20000, L'y');
        std::string long_bytes(70000, '\0');
        for (size_t i = 0; i < long_bytes.size(); ++i) long_bytes[i] = static_cast<char>(i * 7 % 256);
        const std::vector<values> rows = {
            row(10, L"O'Brien", L"12.50", L"2020-02-29 13:45:10.123", L"2021-06-01", true, 0.25, long_text, long_bytes,
                9000000000LL),
            row(20, L"\u00c5sa \u00fc", L"-99999999.99", L"1999-12-31 23:59:59", L"1753-01-01", false, -1e100, L"",
                std::string("\x00\x01\xff", 3), -5),
            row(30, L"", L"0.01", L"2000-01-01", L"2000-01-01", true, 3.5, L"short", "", 0),
        };
        for (const values& v : rows) {
            auto rec = make_record(v);
            table->append_record(rec.get());
        }
        EXPECT_EQ(table->loader.b_open, fast); // the bulk path was taken, not the fallback
        if (fast) {
            // Each column is bound as the type its values are written in.
            const DBTYPE expected[] = {DBTYPE_I4,   DBTYPE_WSTR,    DBTYPE_NUMERIC,  DBTYPE_DBTIMESTAMP, DBTYPE_DBDATE,
                                       DBTYPE_BOOL, DBTYPE_R8,      DBTYPE_IUNKNOWN, DBTYPE_IUNKNOWN,    DBTYPE_I8,
                                       DBTYPE_I4,   DBTYPE_DBTIME2, DBTYPE_WSTR};
            for (size_t i = 0; i < std::size(expected); ++i)
                EXPECT_EQ(table->loader.bound_type(i + 1), expected[i]) << "column " << i + 1;
        }
        EXPECT_FALSE(table->b_fl_failed);
        EXPECT_EQ(table->record_count, fast ? 0u : 3u);
        table->finish();
        t.reset();

        const mssx_result r = direct(
            "SELECT id, name, price, ts, day, flag, ratio, memo, data, big, qty, at, uid FROM items ORDER BY id");
        ASSERT_EQ(r.rows.size(), 3u);
        EXPECT_EQ(cell(r, 0, 0), "10"); // identity values sent are kept
        EXPECT_EQ(cell(r, 1, 0), "20");
        EXPECT_EQ(cell(r, 2, 0), "30");
        EXPECT_EQ(cell(r, 0, 1), "O'Brien");
        EXPECT_EQ(cell(r, 1, 1), to_utf8(L"\u00c5sa \u00fc"));
        EXPECT_EQ(cell(r, 2, 1), "");
        EXPECT_EQ(cell(r, 0, 2), "12.50");
        EXPECT_EQ(cell(r, 1, 2), "-99999999.99");
        EXPECT_EQ(cell(r, 0, 3).substr(0, 23), "2020-02-29 13:45:10.123");
        EXPECT_EQ(cell(r, 1, 3).substr(0, 19), "1999-12-31 23:59:59");
        EXPECT_EQ(cell(r, 0, 4), "2021-06-01");
        EXPECT_EQ(cell(r, 1, 4), "1753-01-01");
        EXPECT_EQ(cell(r, 0, 5), "1");
        EXPECT_EQ(cell(r, 1, 5), "0");
        EXPECT_DOUBLE_EQ(std::get<double>(r.rows[0][6]), 0.25);
        EXPECT_DOUBLE_EQ(std::get<double>(r.rows[1][6]), -1e100);
        EXPECT_EQ(cell(r, 0, 7), to_utf8(long_text));
        EXPECT_EQ(cell(r, 2, 7), "short");
        ASSERT_TRUE(std::holds_alternative<mssx_blob>(r.rows[0][8]));
        EXPECT_EQ(std::get<mssx_blob>(r.rows[0][8]).bytes, long_bytes);
        EXPECT_EQ(std::get<mssx_blob>(r.rows[1][8]).bytes, std::string("\x00\x01\xff", 3));
        EXPECT_EQ(cell(r, 0, 9), "9000000000");
        EXPECT_EQ(cell(r, 1, 9), "-5");
        // A NULL for a NOT NULL int without default.
        EXPECT_EQ(cell(r, 0, 10), "0");
        EXPECT_EQ(cell(r, 2, 11).substr(0, 8), "10:11:12");
        EXPECT_EQ(cell(r, 0, 12), "{6F9619FF-8B86-D011-B42D-00C04FC964FF}");
        EXPECT_EQ(cell(r, 1, 12), "NULL");
    }

    mss_test_server server;
    std::unique_ptr<mss_engine> engine;
    std::unique_ptr<mss_database> db;
};

} // namespace

TEST_F(MssTarget, CreatesTableWithTypesKeysAndDefaults)
{
    udb_indexes indexes;
    udb_schema schema = all_kinds(indexes);
    schema.push_back(t_ftd(16, L"created", VT_DATE, true, false, ole_variant(std::wstring(L"getdate()")),
                           t_ftd::hint_date_function, L""));
    schema.push_back(t_ftd(8, L"d_ratio", VT_R8, false, true, ole_variant(1.5), 0, L"")); // identity of a double
    indexes.push_back(udb_index(L"IX_name", true, false, {L"name"}));
    std::unique_ptr<udb_recordset> t = db->create_table(L"items", schema, indexes);
    ASSERT_NE(t, nullptr);
    EXPECT_TRUE(db->b_primary_key);
    EXPECT_TRUE(db->is_table_exist(L"items"));
    t.reset();

    std::map<std::string, std::string> types = column_types("items");
    EXPECT_EQ(types["id"], "int NOT NULL");
    EXPECT_EQ(types["name"], "nvarchar(50) NOT NULL");
    EXPECT_EQ(types["price"], "decimal(10,2) NULL");
    EXPECT_EQ(types["day"], "date NULL");
    EXPECT_EQ(types["flag"], "bit NULL");
    EXPECT_EQ(types["ratio"], "float NULL");
    EXPECT_EQ(types["memo"], "nvarchar(max) NULL");
    EXPECT_EQ(types["data"], "varbinary(max) NULL");
    EXPECT_EQ(types["big"], "bigint NULL");
    EXPECT_EQ(types["uid"], "uniqueidentifier NULL"); // stays a GUID after the collation step
    EXPECT_EQ(types["at"].substr(0, 4), "time");
    EXPECT_EQ(types["d_ratio"], "float NULL"); // no identity on a double

    // Identity, default and key as the server describes them.
    const mssx_result ident = direct("SELECT name FROM sys.identity_columns WHERE OBJECT_NAME(object_id)='items'");
    ASSERT_EQ(ident.rows.size(), 1u);
    EXPECT_EQ(cell(ident, 0, 0), "id");
    const mssx_result pk =
        direct("SELECT name FROM sys.indexes WHERE object_id = OBJECT_ID('items') AND is_primary_key = 1");
    EXPECT_EQ(pk.rows.size(), 1u);
    const mssx_result uq =
        direct("SELECT name FROM sys.indexes WHERE object_id = OBJECT_ID('items') AND name = 'IX_name'");
    EXPECT_EQ(uq.rows.size(), 1u);
    direct("INSERT INTO items(qty) VALUES (1)");
    const mssx_result r = direct("SELECT name, created FROM items");
    ASSERT_EQ(r.rows.size(), 1u);
    EXPECT_EQ(cell(r, 0, 0), "abc");
    EXPECT_NE(cell(r, 0, 1), "NULL");
    // The unique index has a filter, so two NULL names would be accepted; the
    // text column is case sensitive, so 'ABC' differs from 'abc'.
    direct("INSERT INTO items(name, qty) VALUES (N'ABC', 2)");
    EXPECT_EQ(cell(direct("SELECT COUNT(*) FROM items"), 0, 0), "2");
    EXPECT_EQ(cell(direct("SELECT COUNT(*) FROM items WHERE name = N'abc'"), 0, 0), "1");

    // The table exists now: outside append mode that is an error.
    EXPECT_THROW(db->create_table(L"items", schema, indexes), odb_exception);
}

TEST_F(MssTarget, ExistingTableInAppendModeIsOpened)
{
    server.run("CREATE TABLE t (id int NOT NULL PRIMARY KEY, v nvarchar(10) NULL)", "Shop");
    db.reset(engine->open_db(L"Shop", udb_database::mode_append));
    udb_schema schema;
    schema.push_back(t_ftd(4, L"id", VT_I4, true, false, ole_variant(), 0, L""));
    schema.push_back(t_ftd(10, L"v", VT_BSTR, false, false, ole_variant(), 0, L""));
    udb_indexes indexes;
    std::unique_ptr<udb_recordset> t = db->create_table(L"t", schema, indexes);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->schema.size(), 2u);
    auto rec = make_record({{L"id", ole_variant(1)}, {L"v", ole_variant(std::wstring(L"a'b"))}});
    t->append_record(rec.get());
    dynamic_cast<mss_table&>(*t).finish();
    const mssx_result r = direct("SELECT id, v FROM t");
    ASSERT_EQ(r.rows.size(), 1u);
    EXPECT_EQ(cell(r, 0, 1), "a'b");
}

TEST_F(MssTarget, RowsByInsertStatementsReadBackEqual) { write_and_compare(false); }

TEST_F(MssTarget, RowsByBulkLoadReadBackEqual) { write_and_compare(true); }

TEST_F(MssTarget, BulkLoadCommitsEveryThousandRows)
{
    udb_schema schema;
    schema.push_back(t_ftd(4, L"id", VT_I4, true, false, ole_variant(), 0, L""));
    schema.push_back(t_ftd(20, L"v", VT_BSTR, false, false, ole_variant(), 0, L""));
    udb_indexes indexes;
    std::unique_ptr<udb_recordset> t = db->create_table(L"many", schema, indexes);
    auto& table = dynamic_cast<mss_table&>(*t);
    const auto count = [&] { return cell(direct("SELECT COUNT(*) FROM many"), 0, 0); };
    for (int i = 1; i <= 2500; ++i) {
        auto rec = make_record({{L"id", ole_variant(i)}, {L"v", ole_variant(std::to_wstring(i * 3))}});
        table.append_record(rec.get());
        if (i == 999) {
            EXPECT_EQ(count(), "0");
        } else if (i == 1000) {
            EXPECT_EQ(count(), "1000");
        } else if (i == 2500) {
            EXPECT_EQ(count(), "2000");
        }
    }
    EXPECT_TRUE(table.loader.b_open);
    EXPECT_EQ(table.record_count, 0u); // the count is of INSERT statements
    table.finish();
    EXPECT_FALSE(table.loader.b_open);
    EXPECT_EQ(count(), "2500");
    const mssx_result r = direct("SELECT id, v FROM many WHERE id = 1777");
    ASSERT_EQ(r.rows.size(), 1u);
    EXPECT_EQ(cell(r, 0, 1), "5331");
}

TEST_F(MssTarget, IdentityInsertGoesOffWhenTheTableIsDone)
{
    for (const bool fast : {false, true}) {
        engine->fast_load = fast;
        for (const wchar_t* name : {L"a", L"b"}) {
            const std::wstring table_name = std::wstring(name) + (fast ? L"_fast" : L"_slow");
            udb_schema schema;
            schema.push_back(t_ftd(4, L"id", VT_I4, true, true, ole_variant(), 0, L""));
            schema.push_back(t_ftd(4, L"v", VT_I4, false, false, ole_variant(), 0, L""));
            udb_indexes indexes;
            std::unique_ptr<udb_recordset> t = db->create_table(table_name, schema, indexes);
            auto rec = make_record({{L"id", ole_variant(7)}, {L"v", ole_variant(1)}});
            // A second identity table on the same session is refused while
            // the first one still has IDENTITY_INSERT on.
            ASSERT_NO_THROW(t->append_record(rec.get())) << to_utf8(table_name);
            t.reset(); // the destructor finishes the table
            const mssx_result r = direct("SELECT id FROM " + to_utf8(table_name));
            ASSERT_EQ(r.rows.size(), 1u);
            EXPECT_EQ(cell(r, 0, 0), "7");
        }
    }
}

TEST_F(MssTarget, FallsBackToInsertsWhenBulkLoadIsRefused)
{
    udb_schema schema;
    schema.push_back(t_ftd(4, L"id", VT_I4, true, false, ole_variant(), 0, L""));
    udb_indexes indexes;
    std::unique_ptr<udb_recordset> t = db->create_table(L"fb", schema, indexes);
    // Through the generic provider the bulk rowset is refused.
    tvx_com_unregister_class(CLSID_SQLNCLI11);
    tvx_com_unregister_class(CLSID_SQLNCLI10);
    t.reset();
    try {
        connect();
    } catch (...) {
        tvx_register_platform_classes();
        throw;
    }
    tvx_register_platform_classes();
    ASSERT_FALSE(engine->is_native_provider());
    engine->fast_load = true;
    t = db->get_table1(L"fb", 0);
    auto& table = dynamic_cast<mss_table&>(*t);
    for (int i = 1; i <= 3; ++i) {
        auto rec = make_record({{L"id", ole_variant(i)}});
        table.append_record(rec.get());
    }
    EXPECT_TRUE(table.b_fl_failed);
    EXPECT_EQ(table.record_count, 3u);
    EXPECT_EQ(cell(direct("SELECT COUNT(*) FROM fb"), 0, 0), "3");
}

TEST_F(MssTarget, StructureMismatchAndUpdateByKey)
{
    engine->fast_load = false;
    server.run(
        "CREATE TABLE k (id int NOT NULL PRIMARY KEY, v nvarchar(10) NULL, n int NULL)\n"
        "INSERT INTO k VALUES (1, N'one', 1)\nINSERT INTO k VALUES (2, N'two', 2)",
        "Shop");
    connect();
    std::unique_ptr<udb_recordset> t = db->get_table1(L"k", 0);
    auto wrong = make_record({{L"id", ole_variant(3)}, {L"w", ole_variant(1)}, {L"n", ole_variant(1)}});
    EXPECT_THROW(dynamic_cast<mss_table&>(*t).slow_record(wrong.get()), tk_exception);
    auto short_rec = make_record({{L"id", ole_variant(3)}});
    EXPECT_THROW(t->append_record(short_rec.get()), tk_exception);

    ASSERT_GE(t->key_pos, 0);
    auto upd =
        make_record({{L"id", ole_variant(2)}, {L"v", ole_variant(std::wstring(L"deux'"))}, {L"n", ole_variant()}});
    t->update(upd.get());
    const mssx_result r = direct("SELECT id, v, n FROM k ORDER BY id");
    ASSERT_EQ(r.rows.size(), 2u);
    EXPECT_EQ(cell(r, 0, 1), "one");
    EXPECT_EQ(cell(r, 1, 1), "deux'");
    EXPECT_EQ(cell(r, 1, 2), "NULL");
    // Without the key column nothing is sent.
    auto no_key = make_record({{L"v", ole_variant(std::wstring(L"zz"))}});
    t->update(no_key.get());
    EXPECT_EQ(cell(direct("SELECT COUNT(*) FROM k WHERE v = N'zz'"), 0, 0), "0");
}

TEST_F(MssTarget, SchemasIndexesAndForeignKeys)
{
    db->create_schema(L"dbo");
    db->create_schema(L"Sales");
    db->create_schema(L"Sales"); // already there: nothing happens
    EXPECT_EQ(direct("SELECT name FROM sys.schemas WHERE name = 'Sales'").rows.size(), 1u);

    udb_schema parent;
    parent.push_back(t_ftd(4, L"pid", VT_I4, true, false, ole_variant(), 0, L""));
    parent.push_back(t_ftd(10, L"code", VT_BSTR, true, false, ole_variant(), 0, L""));
    udb_indexes parent_idx;
    parent_idx.push_back(udb_index(L"PK_parent", true, true, {L"pid"}));
    db->create_table(L"parent", parent, parent_idx).reset();

    udb_schema child;
    child.push_back(t_ftd(4, L"cid", VT_I4, true, false, ole_variant(), 0, L""));
    child.push_back(t_ftd(4, L"pid", VT_I4, false, false, ole_variant(), 0, L""));
    child.push_back(t_ftd(10, L"code", VT_BSTR, false, false, ole_variant(), 0, L""));
    child.push_back(t_ftd(300, L"a", VT_BSTR, false, false, ole_variant(), 0, L""));
    child.push_back(t_ftd(300, L"b", VT_BSTR, false, false, ole_variant(), 0, L""));
    child.push_back(t_ftd(400, L"c", VT_BSTR, false, false, ole_variant(), 0, L""));
    child.push_back(t_ftd(2, L"f", VT_BOOL, false, false, ole_variant(), 0, L""));
    udb_indexes child_idx;
    child_idx.push_back(udb_index(L"PK_child", true, true, {L"cid"}));
    child_idx.push_back(udb_index(L"IX_ab", false, false, {L"a", L"b"}));   // 1200 bytes: skipped
    child_idx.push_back(udb_index(L"IX_pc", false, false, {L"pid", L"c"})); // 804 bytes: made
    child_idx.push_back(udb_index(L"IX_f", false, false, {L"f"}));          // bit: skipped
    child_idx.push_back(udb_index(L"IX_none", false, false, {}));
    db->create_table(L"child", child, child_idx).reset();
    const mssx_result ix = direct("SELECT name FROM sys.indexes WHERE object_id = OBJECT_ID('child') ORDER BY name");
    std::vector<std::string> names;
    for (size_t i = 0; i < ix.rows.size(); ++i) names.push_back(cell(ix, i, 0));
    EXPECT_NE(std::find(names.begin(), names.end(), "IX_pc"), names.end());
    EXPECT_EQ(std::find(names.begin(), names.end(), "IX_ab"), names.end());
    EXPECT_EQ(std::find(names.begin(), names.end(), "IX_f"), names.end());

    std::vector<std::pair<std::wstring, std::wstring>> reported;
    db->error_sink.set_handler([&](const tk_exception& e, const std::wstring& context) {
        reported.emplace_back(context, to_unicode(e.what()));
    });
    udb_relationships rels;
    rels.push_back(udb_relationship(L"FK_child_parent", L"", L"child", L"parent", {L"pid"}, {L"pid"},
                                    L" ON UPDATE NO ACTION ON DELETE CASCADE"));
    rels.push_back(udb_relationship(L"FK_child_code", L"", L"child", L"parent", {L"code"}, {L"code"}, L""));
    rels.push_back(udb_relationship(L"FK_missing", L"", L"child", L"nowhere", {L"pid"}, {L"pid"}, L""));
    db->create_relationships(rels);
    ASSERT_EQ(reported.size(), 1u);
    EXPECT_EQ(reported[0].first, L"Foreign key 'FK_missing'");
    EXPECT_EQ(reported[0].second, L"Can't create foreign key.");

    const mssx_result fk = direct(
        "SELECT name, delete_referential_action_desc, update_referential_action_desc "
        "FROM sys.foreign_keys ORDER BY name");
    ASSERT_EQ(fk.rows.size(), 2u);
    EXPECT_EQ(cell(fk, 0, 0), "FK_child_code");
    EXPECT_EQ(cell(fk, 1, 0), "FK_child_parent");
    EXPECT_EQ(cell(fk, 1, 1), "CASCADE"); // the rule was sent with the key
    // The referenced code column got its unique index; the child's did not,
    // so a parent may have many children.
    direct("INSERT INTO parent VALUES (1, N'p1')");
    direct("INSERT INTO child(cid, pid, code) VALUES (1, 1, N'p1')");
    direct("INSERT INTO child(cid, pid, code) VALUES (2, 1, N'p1')");
    EXPECT_EQ(cell(direct("SELECT COUNT(*) FROM child"), 0, 0), "2");
}

TEST_F(MssTarget, ClusteredIndexOnAzureWithoutPrimaryKey)
{
    mssx_server(server.dir).set_version("azure");
    connect();
    ASSERT_EQ(engine->version, 100);
    udb_schema schema;
    schema.push_back(t_ftd(0, L"memo", VT_BSTR, false, false, ole_variant(), 0, L""));
    schema.push_back(t_ftd(4, L"n", VT_I4, false, false, ole_variant(), 0, L""));
    udb_indexes indexes;
    db->create_table(L"heap", schema, indexes).reset();
    const mssx_result ix = direct("SELECT name FROM sys.indexes WHERE object_id = OBJECT_ID('heap')");
    ASSERT_EQ(ix.rows.size(), 1u);
    EXPECT_EQ(cell(ix, 0, 0), "n_clust_idx");
}

TEST_F(MssTarget, ViewsAreRewrittenAndCreated)
{
    server.run("CREATE TABLE t (a int NULL, b int NULL, d int NULL)\nINSERT INTO t VALUES (1, NULL, NULL)", "Shop");
    EXPECT_EQ(db->refine_view(L"select `a`, now(), isnull(b), from_unixtime(c), curdate(), ifnull(d,0) from `t`"),
              L"select [a], getdate(), (b) is null, DateAdd(ss,(c),'01-01-1970'), cast(getdate() as date), "
              L"isnull(d,0) from [t]");
    EXPECT_EQ(db->refine_view(L"select nowhere from x"), L"select getdate from x");
    EXPECT_EQ(db->refine_view(L"select isnull (b) from x"), L"select  (b) is null from x");
    EXPECT_EQ(db->refine_view(L"select a=now() from x"), L"select a=now() from x");
    EXPECT_EQ(db->refine_view(L"select 'now() isnull(' from x"), L"select 'now() isnull(' from x");
    EXPECT_EQ(db->refine_view(L"select _utf8'x' from x"), L"select 'x' from x");
    EXPECT_EQ(db->refine_view(L"select curtime() from x"), L"select convert(time, getdate()) from x");

    std::vector<std::wstring> reported;
    db->error_sink.set_handler([&](const tk_exception&, const std::wstring& context) { reported.push_back(context); });
    udb_database::view_list views = {{L"v1", L"select a, ifnull(d,5) as dd from t"},
                                     {L"v.dot", L"select a from t"},
                                     {L"1bad", L"select a from t"},
                                     {L"v3", L"select nonsense from"}};
    db->create_views(views);
    db->create_views(views); // dropped and made again
    const mssx_result r = direct("SELECT a, dd FROM v1");
    ASSERT_EQ(r.rows.size(), 1u);
    EXPECT_EQ(cell(r, 0, 1), "5");
    // A name the validator refuses is created under its safe name, and the map carries the pair.
    const std::wstring safe = db->names_map.get_tn_mapped_name(L"1bad", true);
    EXPECT_NE(safe, L"1bad");
    EXPECT_EQ(direct("SELECT a FROM [" + to_utf8(safe) + "]").rows.size(), 1u);
    EXPECT_EQ(direct("SELECT a FROM [v.dot]").rows.size(), 1u);
    ASSERT_EQ(reported.size(), 2u);
    EXPECT_EQ(reported[0], L"View 'v3'");
}

TEST_F(MssTarget, DefaultValuesBecomeColumnProperties)
{
    const auto text_of = [](const odb_column_props& p) -> std::wstring {
        const DBPROP* d = p.find(DBPROP_COL_DEFAULT);
        if (!d) return L"<none>";
        if (d->vValue.vt != VT_BSTR) return L"<typed>";
        return d->vValue.bstrVal;
    };
    const auto def = [&](t_ftd column) {
        odb_column_props props;
        db->set_def_value(&column, &props);
        return text_of(props);
    };
    const auto col = [](VARTYPE vt, uint32_t size, const ole_variant& v, uint32_t hint = 0) {
        return t_ftd(size, L"c", vt, false, false, v, hint, L"");
    };
    EXPECT_EQ(def(col(VT_DATE, 16, ole_variant(std::wstring(L"current_timestamp")))), L"CURRENT_TIMESTAMP");
    EXPECT_EQ(def(col(VT_DATE, 16, ole_variant(std::wstring(L"getdate()")), t_ftd::hint_date_function)),
              L"CURRENT_TIMESTAMP");
    EXPECT_EQ(def(col(VT_DATE, 16, date(L"2001-01-31"))), L"'2001-01-31'");
    EXPECT_EQ(def(col(VT_DATE, 16, date(L"1600-01-31"))), L"'9999-12-30'"); // clamped into range
    EXPECT_EQ(def(col(VT_BSTR, 5, ole_variant(std::wstring(L"abcdefgh")))), L"'abcd'");
    EXPECT_EQ(def(col(VT_BSTR, 0, ole_variant(std::wstring(L"abcdefgh")))), L"'abcdefgh'"); // max: whole
    EXPECT_EQ(def(col(VT_BSTR, 10, ole_variant(std::wstring(L"it's")))), L"'it''s'");
    EXPECT_EQ(def(col(VT_BSTR, 10, ole_variant())), L"<none>");
    EXPECT_EQ(def(col(VT_I4, 4, ole_variant(std::wstring(L"99999999999")))), L"<none>"); // no int
    odb_column_props props;
    t_ftd number = col(VT_DECIMAL, 0, ole_variant(std::wstring(L"12.5")), t_ftd::decimal_hint(5, 2));
    db->set_def_value(&number, &props);
    const DBPROP* d = props.find(DBPROP_COL_DEFAULT);
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->vValue.vt, VT_DECIMAL);
    EXPECT_THROW(db->set_def_value(nullptr, &props), tk_mail_assertion);
    EXPECT_THROW(db->set_def_value(&number, nullptr), tk_mail_assertion);

    // Typed defaults reach the server's catalog and its rows.
    udb_schema schema;
    schema.push_back(t_ftd(4, L"id", VT_I4, true, false, ole_variant(), 0, L""));
    schema.push_back(t_ftd(0, L"amount", VT_DECIMAL, true, false, ole_variant(std::wstring(L"12.5")),
                           t_ftd::decimal_hint(8, 2), L""));
    schema.push_back(t_ftd(8, L"big", VT_I8, false, false, ole_variant(std::wstring(L"9000000000")), 0, L""));
    schema.push_back(t_ftd(1, L"tiny", VT_UI1, false, false, ole_variant(std::wstring(L"7")), 0, L""));
    udb_indexes indexes;
    db->create_table(L"defs", schema, indexes).reset();
    direct("INSERT INTO defs(id) VALUES (1)");
    const mssx_result r = direct("SELECT amount, big, tiny FROM defs");
    ASSERT_EQ(r.rows.size(), 1u);
    EXPECT_EQ(cell(r, 0, 0), "12.50");
    EXPECT_EQ(cell(r, 0, 1), "9000000000");
    EXPECT_EQ(cell(r, 0, 2), "7");
}

TEST_F(MssTarget, BulkDecimalFromDoubleThroughTheConversionObject)
{
    server.run("CREATE TABLE dec (v decimal(5,2) NULL)", "Shop");
    udb_schema schema;
    schema.push_back(t_ftd(0, L"v", VT_DECIMAL, false, false, ole_variant(), t_ftd::decimal_hint(5, 2), L""));
    mss_fast_load loader;
    ASSERT_TRUE(SUCCEEDED(loader.open_table(db->session.p, L"dec", schema, false)));
    EXPECT_THROW(loader.open_table(db->session.p, L"dec", schema, false), tk_mail_assertion);
    loader.bind_data1(12.345, 1);
    loader.insert_data();
    loader.bind_data3(nullptr, 0, 1);
    loader.insert_data();
    EXPECT_THROW(loader.bind_data1(1e20, 1), tk_exception); // beyond decimal(5,2)
    loader.close_table();
    EXPECT_THROW(loader.insert_data(), tk_mail_assertion);
    const mssx_result r = direct("SELECT v FROM dec ORDER BY v");
    ASSERT_EQ(r.rows.size(), 2u);
    EXPECT_EQ(cell(r, 0, 0), "NULL");
    EXPECT_EQ(cell(r, 1, 0), "12.35");
}

TEST_F(MssTarget, FailedLastCommitIsReportedByFinishNotByTheDestructor)
{
    udb_schema schema;
    schema.push_back(t_ftd(4, L"id", VT_I4, true, false, ole_variant(), 0, L""));
    udb_indexes indexes;
    indexes.push_back(udb_index(L"PK_dup", true, true, {L"id"}));
    for (const bool explicit_finish : {true, false}) {
        const std::wstring name = explicit_finish ? L"dup1" : L"dup2";
        std::unique_ptr<udb_recordset> t = db->create_table(name, schema, indexes);
        for (int id : {1, 2, 1}) {
            auto rec = make_record({{L"id", ole_variant(id)}});
            t->append_record(rec.get()); // held until the commit
        }
        if (explicit_finish) {
            EXPECT_THROW(dynamic_cast<mss_table&>(*t).finish(), odb_exception);
        }
        t.reset(); // logs, never throws out of the destructor
        EXPECT_EQ(cell(direct("SELECT COUNT(*) FROM " + to_utf8(name)), 0, 0), "2");
    }
}

TEST_F(MssTarget, NarrowTextWithoutTheUnicodeOption)
{
    engine->unicode_strings = false;
    udb_schema schema;
    schema.push_back(t_ftd(4, L"id", VT_I4, true, false, ole_variant(), 0, L""));
    schema.push_back(t_ftd(20, L"s", VT_BSTR, false, false, ole_variant(), 0, L""));
    schema.push_back(t_ftd(0, L"m", VT_BSTR, false, false, ole_variant(), 0, L""));
    udb_indexes indexes;
    db->create_table(L"narrow", schema, indexes).reset();
    std::map<std::string, std::string> types = column_types("narrow");
    EXPECT_EQ(types["s"], "varchar(20) NULL");
    EXPECT_EQ(types["m"], "varchar(max) NULL");
    const std::wstring text = L"caf\u00e9 \u00fc";
    const std::wstring long_text = std::wstring(9000, L'z') + L"\u00e9";
    for (const bool fast : {true, false}) {
        engine->fast_load = fast;
        std::unique_ptr<udb_recordset> t = db->get_table1(L"narrow", 0);
        auto rec = make_record(
            {{L"id", ole_variant(fast ? 1 : 2)}, {L"s", ole_variant(text)}, {L"m", ole_variant(long_text)}});
        t->append_record(rec.get());
        dynamic_cast<mss_table&>(*t).finish();
    }
    const mssx_result r = direct("SELECT s, m FROM narrow ORDER BY id");
    ASSERT_EQ(r.rows.size(), 2u);
    for (size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(cell(r, i, 0), to_utf8(text)) << i;
        EXPECT_EQ(cell(r, i, 1), to_utf8(long_text)) << i;
    }
}

TEST_F(MssTarget, ReadOnlyDatabaseCreatesNothing)
{
    db.reset(engine->open_db(L"Shop", 1));
    udb_schema schema;
    schema.push_back(t_ftd(4, L"id", VT_I4, true, false, ole_variant(), 0, L""));
    udb_indexes indexes;
    EXPECT_THROW(db->create_table(L"ro", schema, indexes), tk_mail_assertion);
    EXPECT_TRUE(direct("SELECT name FROM sys.tables WHERE name = 'ro'").rows.empty());
}

TEST_F(MssTarget, TextPrimaryKeyStaysNotNullThroughTheCollationChange)
{
    udb_schema schema;
    schema.push_back(t_ftd(10, L"code", VT_BSTR, false, false, ole_variant(), 0, L"")); // nullable in the source
    schema.push_back(t_ftd(10, L"v", VT_BSTR, false, false, ole_variant(), 0, L""));
    udb_indexes indexes;
    indexes.push_back(udb_index(L"PK_codes", true, true, {L"code"}));
    db->create_table(L"codes", schema, indexes).reset();
    std::map<std::string, std::string> types = column_types("codes");
    EXPECT_EQ(types["code"], "nvarchar(10) NOT NULL");
    EXPECT_EQ(types["v"], "nvarchar(10) NULL");
    const mssx_result pk =
        direct("SELECT name FROM sys.indexes WHERE object_id = OBJECT_ID('codes') AND is_primary_key = 1");
    EXPECT_EQ(pk.rows.size(), 1u);
}
