// Northwind, as its installation script builds it, converted whole and
// compared table by table; skipped when the shared fixtures are not there.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "conversion_env.h"

namespace {

std::string northwind_script()
{
    const char* root = std::getenv("TVX_FIXTURES");
    std::filesystem::path p =
        std::filesystem::path(root ? root : "/work/shared/fixtures") / "northwind" / "instnwnd.sql";
    return std::filesystem::exists(p) ? p.string() : std::string();
}

} // namespace

TEST(northwind_conversion, every_table_arrives_value_by_value_with_its_keys)
{
    const std::string script = northwind_script();
    if (script.empty()) GTEST_SKIP() << "Northwind fixture not present";
    tk_logger logger(nullptr, false, 3, false);
    conversion_env env;
    env.load_file("master", script);
    env.create_user("scott", "tiger");
    recording_handler handler;
    recording_front_end front;
    {
        tarvex_convertor d(tarvex_convertor::settings_source::agent_defaults);
        d.set_front_end(&front);
        env.configure(d, "Northwind", "scott", "tiger");
        d();
        EXPECT_TRUE(d.run_completed());
    }
    for (const auto& e : handler.errors) ADD_FAILURE() << "reported: " << e.message;

    std::set<std::string> compared = expect_every_table_converted(env, "Northwind");
    EXPECT_EQ(compared.size(), 13u);
    std::set<std::string> want;
    for (const auto& n : compared) want.insert(n.substr(4));
    EXPECT_EQ(env.oracle_tables("dbo"), want);
    EXPECT_GT(env.oracle_count("\"dbo\".\"Order Details\""), 0);

    // Keys and identity of the main tables.
    EXPECT_EQ(env.oracle_list("SELECT COLUMN_NAME FROM ALL_CONS_COLUMNS WHERE OWNER = 'dbo' AND CONSTRAINT_NAME = "
                              "'PK_Order_Details' ORDER BY POSITION"),
              (std::vector<std::string>{"OrderID", "ProductID"}));
    EXPECT_EQ(env.oracle_list("SELECT COUNT(*) FROM ALL_CONSTRAINTS WHERE OWNER = 'dbo' AND CONSTRAINT_TYPE = 'P'"),
              std::vector<std::string>{"13"});
    for (const char* t : {"Orders", "Products", "Employees", "Categories", "Shippers", "Suppliers"})
        EXPECT_EQ(
            env.oracle_list(std::string("SELECT TRIGGER_NAME FROM ALL_TRIGGERS WHERE TABLE_NAME = '") + t + "'").size(),
            1u)
            << t << " keeps its identity";
    env.oracle_exec("INSERT INTO \"dbo\".\"Shippers\" (\"CompanyName\") VALUES ('New Shipper')");
    EXPECT_EQ(env.oracle_list("SELECT \"ShipperID\" FROM \"dbo\".\"Shippers\" WHERE \"CompanyName\" = 'New Shipper'"),
              std::vector<std::string>{"4"});
    // Indexes of the source (CREATE INDEX in the script) arrive on their columns.
    EXPECT_EQ(env.oracle_list("SELECT COLUMN_NAME FROM ALL_IND_COLUMNS WHERE TABLE_OWNER = 'dbo' AND "
                              "INDEX_NAME = 'PostalCode' AND TABLE_NAME = 'Customers'"),
              std::vector<std::string>{"PostalCode"});
}
