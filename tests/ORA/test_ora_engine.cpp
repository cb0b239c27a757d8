// Engine and catalog reader against the embedded Oracle.
#include <gtest/gtest.h>
#include <cstdlib>
#include "ORA/ora_exception.h"
#include "ORA/ora_query_results.h"
#include "ORA/ora_stmt.h"
#include "TK/tk_exception.h"
#include "platform/oci/oci.h"
#include "tests/ORA/ora_test_server.h"

using rows_t = std::vector<std::vector<std::wstring>>;

TEST(OraEngine, DataSourceForms)
{
    EXPECT_EQ(ora_engine::make_data_source(L"", L"", L"ORCL"), L"ORCL");
    EXPECT_EQ(ora_engine::make_data_source(L"", L"1522", L"XE"), L"//localhost:1522/XE");
    EXPECT_EQ(ora_engine::make_data_source(L"db1", L"", L"XE"), L"//db1:1521/XE");
    EXPECT_EQ(ora_engine::make_data_source(L"db1", L"1600", L""), L"//db1:1600/");
}

TEST(OraEngine, SupportedTypes)
{
    const auto& t = ora_engine::get_ora_supported_types();
    EXPECT_EQ(t.size(), 24u);
    ora_engine eng;
    EXPECT_TRUE(eng.is_supported_type(L"TIMESTAMP(9)"));
    EXPECT_TRUE(eng.is_supported_type(L"VARCHAR2(30)"));
    EXPECT_FALSE(eng.is_supported_type(L"varchar2"));
    // The codes give text for LONG and ROWID and dates for the TIMESTAMP kinds.
    EXPECT_EQ(t.at(L"LONG"), SQLT_LNG);
    EXPECT_EQ(t.at(L"TIMESTAMP(6)"), SQLT_TIMESTAMP);
    EXPECT_EQ(t.at(L"ROWID"), SQLT_RDD);
}

TEST(OraEngine, QuotingAndCatalogFragments)
{
    ora_engine eng;
    EXPECT_EQ(ora_engine::get_safe_name(L"EMP"), L"\"EMP\"");
    EXPECT_EQ(ora_engine::get_safe_name(L"\"Emp\""), L"\"Emp\"");
    EXPECT_EQ(ora_engine::get_safe_name(L"SCOTT.EMP"), L"\"SCOTT.EMP\"");
    EXPECT_EQ(eng.get_col_view_name(), L"USER_TAB_COLUMNS");
    EXPECT_EQ(eng.get_table_cond(L"O'X"), L"TABLE_NAME = 'O''X'");
    eng.b_owned_by_user = false;
    EXPECT_EQ(ora_engine::get_safe_name(L"SCOTT.EMP"), L"\"SCOTT\".\"EMP\"");
    EXPECT_EQ(eng.get_col_view_name(), L"ALL_TAB_COLUMNS");
    EXPECT_EQ(eng.get_table_cond(L"S.T"), L"OWNER = 'S' AND TABLE_NAME = 'T'");
    EXPECT_EQ(eng.get_table_cond(L"\"a.b\".\"c\""), L"OWNER = 'a.b' AND TABLE_NAME = 'c'");
    EXPECT_EQ(eng.get_table_cond(L"\"a\".\"b.c\"", L"x.table_owner", L"x.table_name"),
              L"x.table_owner = 'a' AND x.table_name = 'b.c'");
    EXPECT_EQ(eng.get_table_cond(L"\"O'\".\"T'\""), L"OWNER = 'O''' AND TABLE_NAME = 'T'''");
}

TEST(OraEngine, ErrorsCarryTheMarkedCode)
{
    ora_exception e(942, "ORA-00942: table or view does not exist");
    EXPECT_EQ(e.code, 1049518u);
    EXPECT_EQ(e.level, 0);
    EXPECT_EQ(ora_exception(0x12345, "x").code, 0x100000u | 0x2345u);
    ora_engine eng;
    try {
        eng.check_err(OCI_INVALID_HANDLE);
        FAIL() << "an invalid handle must not pass";
    } catch (const ora_exception& x) {
        EXPECT_EQ(x.code, 0x100000u);
        EXPECT_STREQ(x.what(), "OCI: invalid handle");
    }
    EXPECT_NO_THROW(eng.check_err(OCI_SUCCESS_WITH_INFO));
    EXPECT_NO_THROW(eng.check_err(OCI_NO_DATA));
}

TEST(OraEngine, MissingClientIsReported)
{
    oci_test_set_client_missing(true);
    try {
        ora_engine eng;
        oci_test_set_client_missing(false);
        FAIL() << "the engine must not build without a client";
    } catch (const tk_exception& e) {
        oci_test_set_client_missing(false);
        EXPECT_EQ(e.level, 1);
        EXPECT_NE(std::string(e.what()).find("The Oracle client and networking components were not found."),
                  std::string::npos);
    }
}

using OraServer = ora_server_test;

TEST_F(OraServer, RefusedLoginGivesTheMappedCode)
{
    try {
        engine->open_db(data_source(), L"SYSTEM", L"wrong");
        FAIL() << "a wrong password must be refused";
    } catch (const ora_exception& e) {
        EXPECT_EQ(e.code, 0x100000u | 1017u);
    }
}

TEST_F(OraServer, ConnectsWithEachDataSourceForm)
{
    const std::wstring d = dir.wstring();
    for (const std::wstring& ds : {L"file:" + d, L"file:" + d + L"/ORCL", L"//file:" + d + L"/ORCL"}) {
        auto other = engine->open_db(ds, L"system", L"manager");
        EXPECT_EQ(other->name, ds);
        EXPECT_EQ(engine->get_data_source(), ds);
    }
    auto via_parts = engine->open_db(L"file:" + d, L"SYSTEM", L"manager", L"1521", L"ORCL");
    EXPECT_EQ(via_parts->name, L"//file:" + d + L":1521/ORCL");
    // Each reconnect ended the session before; the new one works.
    EXPECT_EQ(engine->get_version(), 0x0B0200u);
}

TEST_F(OraServer, AnotherHostWithoutAClientIsTheMissingClient)
{
    if (std::getenv("TVX_OCI_LIBRARY") || std::getenv("ORACLE_HOME"))
        GTEST_SKIP() << "an Oracle client may be installed";
    try {
        engine->open_db(L"//db-nowhere:1521/ORCL", L"SYSTEM", L"manager");
        FAIL() << "a host other than file: needs the client library";
    } catch (const ora_exception& e) {
        FAIL() << "reached a server: " << e.what();
    } catch (const tk_exception& e) {
        EXPECT_EQ(e.level, 1);
        EXPECT_STREQ(e.what(),
                     "The Oracle client and networking components were not found.\n"
                     "These components are supplied by the Oracle Corporation and\n"
                     "are part of the Oracle Version 7.3.4 (or later) client\n"
                     "software installation. You will be unable to use this program\n"
                     "until these components have been installed.");
    }
    // The engine still reaches the embedded Oracle afterwards.
    db = engine->open_db(data_source(), L"SYSTEM", L"manager");
    EXPECT_EQ(engine->get_version(), 0x0B0200u);
}

TEST_F(OraServer, VersionAndCounts)
{
    EXPECT_EQ(engine->get_version(), 0x0B0200u);
    exec(L"CREATE TABLE T1 (A NUMBER(10,0))");
    exec(L"INSERT INTO T1 VALUES (1)");
    exec(L"INSERT INTO T1 VALUES (2)");
    EXPECT_EQ(engine->get_records_cnt(L"T1"), 2u);
    EXPECT_EQ(engine->get_records_cnt(L"SELECT A FROM T1 WHERE A > 1", true), 1u);
}

TEST_F(OraServer, VersionFromTheBanner)
{
    set_banner("Oracle Database 23ai Free Release 23.4.0.24.05 - Develop, Learn, and Run for Free");
    EXPECT_EQ(engine->get_version(), 0x170400u);
    set_banner("Oracle Server without a number");
    EXPECT_EQ(engine->get_version(), 0u);
    set_banner("Oracle7 Server Release 7.3.4.0.0 - Production");
    EXPECT_EQ(engine->get_version(), 0x070304u);
    // A version-7 server gets the short table queries.
    exec(L"CREATE TABLE EMP (ID NUMBER(10,0))");
    oci_test_inject_error("IOT_TYPE", 942); // would hit the newer query form
    engine->b_owned_by_user = true;
    auto owned = db->get_tables();
    EXPECT_NE(std::find(owned.begin(), owned.end(), L"EMP"), owned.end());
    engine->b_owned_by_user = false;
    auto all = db->get_tables();
    EXPECT_NE(std::find(all.begin(), all.end(), L"SYSTEM.EMP"), all.end());
    set_banner("Oracle Database 8i Release 8.1.7.0.0 - Production");
    EXPECT_THROW(db->get_tables(), ora_exception);
    oci_test_clear_injections();
}

TEST_F(OraServer, TableListInBothModes)
{
    exec(L"CREATE TABLE EMP (ID NUMBER(10,0))");
    exec(L"CREATE TABLE \"Mixed\" (ID NUMBER(10,0))");
    engine->b_owned_by_user = true;
    auto owned = db->get_tables();
    EXPECT_NE(std::find(owned.begin(), owned.end(), L"EMP"), owned.end());
    EXPECT_NE(std::find(owned.begin(), owned.end(), L"Mixed"), owned.end());
    engine->b_owned_by_user = false;
    auto all = db->get_tables();
    EXPECT_NE(std::find(all.begin(), all.end(), L"SYSTEM.EMP"), all.end());
    EXPECT_NE(std::find(all.begin(), all.end(), L"SYSTEM.Mixed"), all.end());
    // Each call reads the catalog again.
    exec(L"DROP TABLE EMP");
    all = db->get_tables();
    EXPECT_EQ(std::find(all.begin(), all.end(), L"SYSTEM.EMP"), all.end());
}

TEST_F(OraServer, TableExistenceUsesTheEffectiveSchema)
{
    engine->b_owned_by_user = false;
    exec(L"CREATE TABLE EMP (ID NUMBER(10,0))");
    db->get_tables();
    EXPECT_TRUE(db->is_table_exist(L"\"SYSTEM\".\"EMP\""));
    EXPECT_TRUE(db->is_table_exist(L"SYSTEM.EMP"));
    EXPECT_TRUE(db->is_table_exist(L"EMP"));
    EXPECT_FALSE(db->is_table_exist(L"Emp"));
    // Typed in lower case, the user still names the upper-case schema.
    auto lower = engine->open_db(data_source(), L"system", L"manager");
    lower->get_tables();
    EXPECT_EQ(engine->get_schema_name(), L"SYSTEM");
    EXPECT_TRUE(lower->is_table_exist(L"EMP"));
}

TEST_F(OraServer, CreateSchemaNeverThrows)
{
    engine->b_owned_by_user = false;
    db->b_uppercase = true;
    EXPECT_NO_THROW(db->create_schema(L"scott"));
    exec(L"CREATE TABLE \"SCOTT\".\"T\" (A NUMBER(10,0))");
    db->get_tables();
    EXPECT_TRUE(db->is_table_exist(L"SCOTT.T"));
    // An existing user: both errors are logged, nothing leaves.
    EXPECT_NO_THROW(db->create_schema(L"SCOTT"));
}

TEST_F(OraServer, DropTableRemovesTheEntry)
{
    engine->b_owned_by_user = false;
    exec(L"CREATE TABLE EMP (ID NUMBER(10,0))");
    db->get_tables();
    EXPECT_THROW(db->delete_tab(L"NOPE"), tk_mail_assertion);
    oci_test_inject_error("DROP TABLE", 54);
    EXPECT_THROW(db->delete_tab(L"\"SYSTEM\".\"EMP\""), ora_exception);
    oci_test_clear_injections();
    EXPECT_TRUE(db->is_table_exist(L"SYSTEM.EMP"));
    EXPECT_TRUE(db->delete_tab(L"\"SYSTEM\".\"EMP\""));
    EXPECT_FALSE(db->is_table_exist(L"SYSTEM.EMP"));
    EXPECT_TRUE(rows(L"select TABLE_NAME from user_tables where TABLE_NAME='EMP'").empty());
}

TEST_F(OraServer, TestQueryParsesOnly)
{
    exec(L"CREATE TABLE T (A NUMBER(10,0))");
    EXPECT_TRUE(db->test_query(L"SELECT A FROM T"));
    EXPECT_THROW(db->test_query(L"SELEC A FROM T"), ora_exception);
    EXPECT_TRUE(db->test_query(L"INSERT INTO T VALUES (5)"));
    EXPECT_TRUE(rows(L"SELECT A FROM T").empty());
}

TEST_F(OraServer, ViewsAreReadAtConstruction)
{
    exec(L"CREATE TABLE T (A NUMBER(10,0))");
    exec(L"CREATE OR REPLACE VIEW V AS SELECT A FROM T");
    auto again = engine->open_db(data_source(), L"SYSTEM", L"manager");
    ASSERT_EQ(again->views.size(), 1u);
    EXPECT_EQ(again->views[0].first, L"V");
    EXPECT_NE(again->views[0].second.find(L"SELECT A FROM T"), std::wstring::npos);
    // A failing view query leaves a database without views.
    oci_test_inject_error("USER_VIEWS", 942);
    auto failed = engine->open_db(data_source(), L"SYSTEM", L"manager");
    oci_test_clear_injections();
    EXPECT_TRUE(failed->views.empty());
}

TEST_F(OraServer, MappedNameLookups)
{
    engine->b_owned_by_user = false;
    exec(L"CREATE TABLE \"ORDERS\" (\"ID\" NUMBER(10,0))");
    db->get_tables();
    db->names_map.add_tn_mapping(L"Orders", L"SYSTEM.ORDERS");
    t_names_map cols;
    cols.add(L"OrderID", L"ORDER_ID");
    db->names_map.add_fn_map(L"SYSTEM.ORDERS", cols);
    EXPECT_EQ(db->get_tn_mapped_name_ex(L"Orders"), L"SYSTEM.ORDERS");
    // Exact lookup misses, the case-insensitive retry finds it.
    EXPECT_EQ(db->get_tn_mapped_name_ex(L"orders"), L"SYSTEM.ORDERS");
    EXPECT_EQ(db->get_fn_mapped_name_ex(L"SYSTEM.ORDERS", L"OrderID"), L"ORDER_ID");
    EXPECT_EQ(db->get_fn_mapped_name_ex(L"SYSTEM.ORDERS", L"orderid"), L"orderid");
    db->b_uppercase = true;
    EXPECT_EQ(db->get_fn_mapped_name_ex(L"system.orders", L"orderid"), L"ORDER_ID");
}
