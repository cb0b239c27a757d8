// Reading Northwind from the embedded SQL Server through the engine's own
// classes, compared with what the server holds, value by value.
#include "MSS/mss_database.h"
#include "MSS/mss_engine.h"
#include "MSS/mss_no_perm_exception.h"
#include "MSS/odb_exception.h"
#include "OLE/ole_date.h"
#include "TK/tk_text.h"
#include "mss_test_server.h"
#include "platform/mssx/mssx_connection.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <memory>
#include <string>

namespace {

class MssNorthwind : public ::testing::Test {
protected:
    void SetUp() override
    {
        server = &mss_test_server::shared();
        if (!server->northwind) GTEST_SKIP() << "Northwind fixture not present";
        engine = std::make_unique<mss_engine>(true);
        engine->connect(server->host, L"sa", to_unicode(server->sa_password), true);
        db.reset(engine->open_db(L"Northwind", 0));
    }
    void TearDown() override
    {
        db.reset();
        engine.reset();
    }

    // The server's own rows of a table, read without the OLE DB layer.
    mssx_result direct(const std::string& sql)
    {
        mssx_login login;
        login.user = "sa";
        login.password = server->sa_password;
        login.database = "Northwind";
        mssx_connection conn(server->dir, login);
        mssx_outcome out = conn.execute(sql);
        EXPECT_TRUE(out.errors.empty()) << sql;
        return out.results.empty() ? mssx_result() : out.results.front();
    }

    mss_test_server* server = nullptr;
    std::unique_ptr<mss_engine> engine;
    std::unique_ptr<mss_database> db;
};

std::string date_text(const udb_field& f)
{
    const SYSTEMTIME& t = f.date_parts;
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute,
                  t.wSecond);
    return buf;
}

// Compares one value read through the engine with the server's stored value.
void expect_same(const udb_field& got, const mssx_type& type, const mssx_value& want, const std::string& where)
{
    if (mssx_is_null(want)) {
        EXPECT_EQ(got.get_type(), VT_EMPTY) << where;
        return;
    }
    const std::string text = mssx_text(type, want);
    if (type.is_binary()) {
        BYTE* data = nullptr;
        const size_t n = const_cast<udb_field&>(got).get_bytes(&data);
        ASSERT_EQ(n, std::get<mssx_blob>(want).bytes.size()) << where;
        EXPECT_EQ(std::string(reinterpret_cast<char*>(data), n), std::get<mssx_blob>(want).bytes) << where;
    } else if (type.is_string()) {
        EXPECT_EQ(to_utf8(got.to_wstring()), text) << where;
    } else if (type.is_datetime()) {
        ASSERT_EQ(got.get_type(), VT_DATE) << where;
        EXPECT_EQ(date_text(got), text.substr(0, 19)) << where;
    } else if (type.name == "bit") {
        EXPECT_EQ(got.to_bool(), text != "0") << where;
    } else {
        const double w = std::stod(text);
        EXPECT_NEAR(got.to_double(), w, std::fabs(w) * 1e-6 + 1e-9) << where;
    }
}

const std::map<std::wstring, uint32_t> k_counts = {{L"Categories", 8},
                                                   {L"Customers", 91},
                                                   {L"Employees", 9},
                                                   {L"EmployeeTerritories", 49},
                                                   {L"Order Details", 180},
                                                   {L"Orders", 67},
                                                   {L"Products", 77},
                                                   {L"Region", 4},
                                                   {L"Shippers", 3},
                                                   {L"Suppliers", 29},
                                                   {L"Territories", 53},
                                                   {L"CustomerCustomerDemo", 0},
                                                   {L"CustomerDemographics", 0}};

} // namespace

TEST_F(MssNorthwind, EveryTableArrivesValueByValue)
{
    const std::vector<std::wstring> tables = db->get_tables();
    ASSERT_EQ(tables.size(), k_counts.size());
    uint32_t total = 0;
    for (const std::wstring& name : tables) {
        SCOPED_TRACE(to_utf8(name));
        ASSERT_TRUE(k_counts.count(name)) << to_utf8(name);
        ASSERT_TRUE(db->is_table_exist(name));
        std::unique_ptr<udb_recordset> t = db->get_table1(name, 1);
        EXPECT_EQ(t->record_count, k_counts.at(name));
        const mssx_result want = direct("SELECT * FROM [dbo].[" + to_utf8(name) + "]");
        ASSERT_EQ(t->schema.size(), want.columns.size());
        for (size_t c = 0; c < want.columns.size(); ++c) EXPECT_EQ(to_utf8(t->schema[c].name), want.columns[c].name);
        size_t row = 0;
        for (t->reset(); !t->is_eof(); t->next(), ++row) {
            ASSERT_LT(row, want.rows.size());
            udb_record* rec = t->get_item();
            ASSERT_EQ(rec->size(), want.columns.size());
            for (size_t c = 0; c < want.columns.size(); ++c)
                expect_same(rec->at(c), want.columns[c].type, want.rows[row][c],
                            to_utf8(name) + " row " + std::to_string(row) + " " + want.columns[c].name);
        }
        EXPECT_EQ(row, want.rows.size());
        total += static_cast<uint32_t>(row);
    }
    EXPECT_EQ(total, 570u);
}

TEST_F(MssNorthwind, ColumnsTypesIdentityAndDefaults)
{
    std::unique_ptr<udb_recordset> t = db->get_table1(L"Products", 1);
    const udb_schema& s = t->schema;
    EXPECT_EQ(s.get_field_type(L"ProductID"), VT_I4);
    EXPECT_TRUE(s.get_field1(L"ProductID").b_auto_num);
    EXPECT_TRUE(s.get_field1(L"ProductID").b_not_null);
    // Read-only mode (bit 0x01) leaves the table's identity flag off.
    EXPECT_FALSE(dynamic_cast<mss_table*>(t.get())->b_identity);
    EXPECT_TRUE(dynamic_cast<mss_table*>(db->get_table1(L"Products", 0).get())->b_identity);
    EXPECT_EQ(s.get_field_type(L"ProductName"), VT_BSTR);
    EXPECT_EQ(s.get_field_size(L"ProductName"), 40u);
    EXPECT_FALSE(s.get_field1(L"SupplierID").b_not_null);
    EXPECT_EQ(s.get_field_type(L"UnitPrice"), VT_CY);
    EXPECT_EQ(s.get_field1(L"UnitPrice").default_value.to_double(), 0.0);
    EXPECT_EQ(s.get_field1(L"UnitPrice").default_value.value.vt, VT_CY);
    EXPECT_EQ(s.get_field_type(L"UnitsInStock"), VT_I2);
    EXPECT_EQ(s.get_field_type(L"Discontinued"), VT_BOOL);
    EXPECT_EQ(s.get_field1(L"Discontinued").default_value.value.vt, VT_BOOL);
    EXPECT_FALSE(s.get_field1(L"Discontinued").default_value.to_bool());
    EXPECT_EQ(s.get_field1(L"ProductName").default_value.value.vt, VT_EMPTY);

    t = db->get_table1(L"Order Details", 1);
    EXPECT_EQ(t->schema.get_field1(L"Quantity").default_value.to_long(), 1);
    EXPECT_EQ(t->schema.get_field_type(L"Discount"), VT_R4);
    EXPECT_FALSE(dynamic_cast<mss_table*>(t.get())->b_identity);

    t = db->get_table1(L"Employees", 1);
    EXPECT_EQ(t->schema.get_field_type(L"BirthDate"), VT_DATE);
    EXPECT_EQ(t->schema.get_field1(L"BirthDate").dw_reserved, 1u);
    EXPECT_EQ(t->schema.get_field_type(L"Photo"), VT_BLOB);
    EXPECT_EQ(t->schema.get_field1(L"Photo").size, 0u);
    t->reset();
    const udb_record* first = t->get_item();
    EXPECT_EQ(const_cast<udb_record*>(first)->find_field(L"LastName", udb_record::field_ref).to_wstring(), L"Davolio");
    EXPECT_EQ(date_text(const_cast<udb_record*>(first)->find_field(L"BirthDate", udb_record::field_ref)),
              "1948-12-08 00:00:00");
}

TEST_F(MssNorthwind, KeysIndexesAndForeignKeys)
{
    std::unique_ptr<udb_recordset> t = db->get_table1(L"Order Details", 1);
    ASSERT_GE(t->key_pos, 0);
    const udb_index& pk = t->indexes.at(static_cast<size_t>(t->key_pos));
    EXPECT_EQ(pk.name, L"PK_Order_Details");
    EXPECT_TRUE(pk.b_primary);
    EXPECT_TRUE(pk.b_unique);
    EXPECT_EQ(pk.fields, (std::vector<std::wstring>{L"OrderID", L"ProductID"}));
    EXPECT_TRUE(t->indexes.find2(L"OrdersOrder_Details"));
    EXPECT_FALSE(t->indexes.get_index(L"ProductID").b_unique);
    EXPECT_EQ(t->indexes.get_index(L"ProductID").fields, std::vector<std::wstring>{L"ProductID"});

    // Foreign keys are read with the table they reference.
    t = db->get_table1(L"Orders", 1);
    ASSERT_FALSE(db->relationships.is_acceptable_name(L"FK_Order_Details_Orders"));
    const udb_relationship& fk = db->relationships.get_index(L"FK_Order_Details_Orders");
    EXPECT_EQ(fk.child_table, L"Order Details");
    EXPECT_EQ(fk.parent_table, L"Orders");
    EXPECT_EQ(fk.child_fields, std::vector<std::wstring>{L"OrderID"});
    EXPECT_EQ(fk.parent_fields, std::vector<std::wstring>{L"OrderID"});
    EXPECT_EQ(fk.referenced_key, L"PK_Orders");

    // Open mode with 0x20 and 0x40 reads no keys.
    t = db->get_table1(L"Region", 0x61);
    EXPECT_TRUE(t->indexes.empty());
}

TEST_F(MssNorthwind, CustomQueryWithOrderBy)
{
    std::unique_ptr<udb_recordset> q =
        db->get_table(L"q", L"SELECT ProductID, ProductName FROM Products ORDER BY ProductName DESC", 1);
    EXPECT_EQ(q->record_count, 77u);
    std::wstring last;
    uint32_t n = 0;
    for (q->reset(); !q->is_eof(); q->next(), ++n) {
        const std::wstring name = q->get_item()->at(1).to_wstring();
        if (n > 0) {
            EXPECT_LE(name, last);
        }
        last = name;
    }
    EXPECT_EQ(n, 77u);
    EXPECT_TRUE(db->test_query(L"SELECT * FROM Region"));
    EXPECT_FALSE(db->test_query(L"SELEC * FROM Region"));
}

TEST_F(MssNorthwind, DatabasesAndLogins)
{
    const std::vector<std::wstring>& list = engine->get_contents();
    EXPECT_NE(std::find(list.begin(), list.end(), L"Northwind"), list.end());
    EXPECT_TRUE(engine->is_db_exist(L"NORTHWIND"));
    EXPECT_FALSE(engine->is_db_exist(L"nowhere"));
    EXPECT_GE(engine->version, 4);
    EXPECT_TRUE(engine->is_native_provider());

    mss_engine& e = *engine;
    EXPECT_THROW(e.connect(server->host, L"sa", L"wrong", true), odb_exception);
    // A failed connect keeps the earlier connection's state.
    EXPECT_TRUE(e.connected);
    EXPECT_EQ(e.password, to_unicode(server->sa_password));
    EXPECT_THROW(e.open_db(L"nowhere", 0), odb_exception);
}

namespace {

void set_version(const mss_test_server& s, const std::string& preset) { mssx_server(s.dir).set_version(preset); }

} // namespace

TEST(MssServer, VersionCodesAndAzure)
{
    const mss_test_server s = mss_test_server::fresh();
    s.run("CREATE DATABASE Shop");
    mss_engine engine(true);
    const struct {
        const char* preset;
        int code;
    } cases[] = {{"2000", 3}, {"2005", 4}, {"2008", 5}, {"2012", 8}, {"2016", 12}, {"2019", 13}, {"2022", 13}};
    for (const auto& c : cases) {
        set_version(s, c.preset);
        engine.connect(s.host, L"sa", to_unicode(s.sa_password), true);
        EXPECT_EQ(engine.version, c.code) << c.preset;
        if (c.code > 3) {
            EXPECT_NE(std::find(engine.get_contents().begin(), engine.get_contents().end(), L"Shop"),
                      engine.get_contents().end());
        }
    }
    set_version(s, "azure");
    engine.connect(s.host, L"sa", to_unicode(s.sa_password), true);
    EXPECT_EQ(engine.version, 100);
    EXPECT_THROW(engine.get_contents(), tk_exception);
    EXPECT_TRUE(engine.is_db_exist(L"Shop"));
    EXPECT_THROW(engine.is_db_exist(L"Nowhere"), mss_no_perm_exception);
}

TEST(MssServer, GenericProviderAndWindowsAuthentication)
{
    const mss_test_server s = mss_test_server::fresh();
    s.run("CREATE DATABASE Shop");
    s.run(
        "CREATE TABLE t (id int NOT NULL PRIMARY KEY, d date NULL, name nvarchar(10) NULL)\n"
        "INSERT INTO t VALUES (1, '2020-02-29', N'x')",
        "Shop");
    mss_engine engine(true);
    engine.connect(s.host, true);
    EXPECT_TRUE(engine.windows_auth);
    EXPECT_TRUE(engine.is_native_provider());
    std::unique_ptr<mss_database> db(engine.open_db(L"Shop", 0));
    std::unique_ptr<udb_recordset> t = db->get_table1(L"t", 1);
    // A pure date column, in the 2008-and-later mode through the native provider.
    EXPECT_EQ(t->schema.get_field1(L"d").dw_reserved, 2u);
    t.reset();
    db.reset();

    tvx_com_unregister_class(CLSID_SQLNCLI11);
    tvx_com_unregister_class(CLSID_SQLNCLI10);
    try {
        engine.connect(s.host, L"sa", to_unicode(s.sa_password), true);
        EXPECT_FALSE(engine.is_native_provider());
        db.reset(engine.open_db(L"Shop", 0));
        t = db->get_table1(L"t", 1);
        t->reset();
        ASSERT_FALSE(t->is_eof());
        EXPECT_EQ(t->get_item()->at(2).to_wstring(), L"x");
        EXPECT_THROW(engine.connect(s.host, L"sa", L"wrong", true), odb_exception);
        t.reset();
        db.reset();
        tvx_com_unregister_class(CLSID_MSDAINITIALIZE);
        EXPECT_THROW(engine.connect(s.host, L"sa", to_unicode(s.sa_password), true), tk_exception);
    } catch (...) {
        tvx_register_platform_classes();
        throw;
    }
    tvx_register_platform_classes();
}

TEST(MssServer, SameNamedTablesInTwoSchemas)
{
    const mss_test_server s = mss_test_server::fresh();
    s.run("CREATE DATABASE Shop");
    s.run("CREATE TABLE dbo.item (id int NOT NULL, d datetime NULL, v int NULL DEFAULT ((7)))", "Shop");
    s.run("CREATE SCHEMA s2", "Shop");
    s.run(
        "CREATE TABLE s2.item (id int NOT NULL, d date NULL, w nvarchar(5) NULL DEFAULT (N'ab'))\n"
        "INSERT INTO s2.item VALUES (1, '2001-01-31', N'q')",
        "Shop");
    mss_engine engine(true);
    engine.b_view_owned = false;
    engine.connect(s.host, L"sa", to_unicode(s.sa_password), true);
    std::unique_ptr<mss_database> db(engine.open_db(L"Shop", 0));
    EXPECT_TRUE(db->is_table_exist(L"[dbo].[item]"));
    EXPECT_TRUE(db->is_table_exist(L"[s2].[item]"));
    std::unique_ptr<udb_recordset> a = db->get_table1(L"[dbo].[item]", 1);
    std::unique_ptr<udb_recordset> b = db->get_table1(L"[s2].[item]", 1);
    EXPECT_EQ(a->schema.get_field1(L"d").dw_reserved, 1u);
    EXPECT_EQ(b->schema.get_field1(L"d").dw_reserved, 2u);
    EXPECT_EQ(a->schema.get_field1(L"v").default_value.to_long(), 7);
    EXPECT_EQ(b->schema.get_field1(L"w").default_value.to_wstring(), L"ab");
    EXPECT_EQ(a->schema.size(), 3u);
    EXPECT_EQ(b->record_count, 1u);
}

TEST_F(MssNorthwind, ViewsAndSchemas)
{
    ASSERT_FALSE(db->views.empty());
    bool found = false;
    for (const auto& [name, text] : db->views) {
        EXPECT_EQ(tk_find_no_case(text, L"select", 0, 6), 0) << to_utf8(name);
        if (name == L"Current Product List") {
            found = true;
            EXPECT_EQ(text.find(L"[Product_List]"), std::wstring::npos);
            EXPECT_NE(text.find(L"Product_List.ProductID"), std::wstring::npos) << to_utf8(text);
        }
    }
    EXPECT_TRUE(found);
    std::vector<std::wstring> schemas;
    db->get_schema_info(schemas);
    EXPECT_NE(std::find(schemas.begin(), schemas.end(), L"dbo"), schemas.end());
}

TEST(MssServer, OwnerRulesAndPermissions)
{
    const mss_test_server s = mss_test_server::fresh();
    s.run("CREATE DATABASE Shop");
    s.run("CREATE DATABASE Closed");
    s.run("CREATE SCHEMA bob", "Shop");
    s.run("CREATE TABLE dbo.a (id int NOT NULL)\nCREATE TABLE bob.b (id int NOT NULL)", "Shop");
    {
        mssx_server srv(s.dir);
        srv.add_login("bob", "Bob-pw12", false);
        srv.grant_access("bob", "Shop");
    }
    mss_engine engine(true);
    engine.connect(s.host, L"bob", L"Bob-pw12", true);
    EXPECT_TRUE(engine.is_db_exist(L"Shop"));
    EXPECT_THROW(engine.is_db_exist(L"Closed"), mss_no_perm_exception);
    {
        // The login's own schema is read, with bare names.
        std::unique_ptr<mss_database> db(engine.open_db(L"Shop", 0));
        EXPECT_EQ(db->get_tables(), std::vector<std::wstring>{L"b"});
        EXPECT_EQ(db->owner(), L"bob");
        EXPECT_EQ(mss_engine::get_safe_tname(L"b"), L"[bob].[b]");
    }
    engine.set_as_dbo(true);
    std::unique_ptr<mss_database> db(engine.open_db(L"Shop", 0));
    EXPECT_EQ(db->get_tables(), std::vector<std::wstring>{L"a"});
}

TEST(MssServer, ColumnsOfOneTableOnly)
{
    const mss_test_server s = mss_test_server::fresh();
    s.run("CREATE DATABASE Shop");
    // t01 matches the pattern t_1 and sorts before it.
    s.run(
        "CREATE TABLE t01 (id nvarchar(5) NULL DEFAULT (N'zz'), x int NULL)\n"
        "CREATE TABLE t_1 (id int NULL DEFAULT ((3)))\n"
        "CREATE TABLE [o'q] (id int NULL DEFAULT ((4)))",
        "Shop");
    mss_engine engine(true);
    engine.connect(s.host, L"sa", to_unicode(s.sa_password), true);
    std::unique_ptr<mss_database> db(engine.open_db(L"Shop", 0));
    std::unique_ptr<udb_recordset> t = db->get_table1(L"t_1", 1);
    ASSERT_EQ(t->schema.size(), 1u);
    EXPECT_EQ(t->schema[0].vartype, VT_I4);
    EXPECT_EQ(t->schema[0].default_value.to_long(), 3);
    t = db->get_table1(L"o'q", 1);
    EXPECT_EQ(t->schema[0].default_value.to_long(), 4);
    EXPECT_EQ(t->record_count, 0u);
}

TEST_F(MssNorthwind, RefusedCountAndIdentityQueries)
{
    // A query the server will not count as a derived table is counted by reading it.
    mssx_fail_next("SELECT COUNT(*) FROM (", 1033,
                   "The ORDER BY clause is invalid in views, inline functions, "
                   "derived tables, subqueries, and common table expressions");
    std::unique_ptr<udb_recordset> q =
        db->get_table(L"q", L"SELECT ShipperID, CompanyName FROM Shippers ORDER BY CompanyName", 1);
    EXPECT_EQ(q->record_count, 3u);
    uint32_t n = 0;
    for (q->reset(); !q->is_eof(); q->next()) ++n;
    EXPECT_EQ(n, 3u);

    // A failed identity query leaves the table usable.
    mssx_fail_next("SYS.IDENTITY_COLUMNS", 8115, "Arithmetic overflow error converting expression to data type int.");
    std::unique_ptr<udb_recordset> t = db->get_table1(L"Shippers", 1);
    EXPECT_EQ(t->schema.seed, 1);
    EXPECT_EQ(t->record_count, 3u);
    EXPECT_TRUE(t->schema.get_field1(L"ShipperID").b_auto_num);
    mssx_clear_injected_failures();

    // A count refused for a table is an error of the table.
    mssx_fail_next("SELECT COUNT(*) FROM [dbo].[Region]", 229, "The SELECT permission was denied.");
    EXPECT_THROW(db->get_table1(L"Region", 1), odb_exception);
    mssx_clear_injected_failures();
}
