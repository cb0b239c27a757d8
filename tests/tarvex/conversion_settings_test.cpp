// The driver's settings survive the registry and a profile file.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "TK/tk_logger.h"
#include "tarvex/tarvex_convertor.h"

namespace fs = std::filesystem;

namespace {

class scratch_dir {
public:
    scratch_dir()
    {
        std::string tmpl = (fs::temp_directory_path() / "tvx_settings_XXXXXX").string();
        if (!mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp");
        path = tmpl;
    }
    ~scratch_dir()
    {
        std::error_code ec;
        fs::remove_all(path, ec);
    }
    fs::path path;
};

// Points the registry store at a file of the test's own while it lives.
class registry_file {
public:
    explicit registry_file(const fs::path& file)
    {
        if (const char* old = std::getenv("TVX_REGISTRY_FILE")) previous = old;
        setenv("TVX_REGISTRY_FILE", file.c_str(), 1);
    }
    ~registry_file()
    {
        if (previous.empty())
            unsetenv("TVX_REGISTRY_FILE");
        else
            setenv("TVX_REGISTRY_FILE", previous.c_str(), 1);
    }
    std::string previous;
};

std::string read_all(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

} // namespace

TEST(driver_settings, registry_gives_defaults_first_and_round_trips_every_value)
{
    tk_logger logger(nullptr, false, 3, false);
    scratch_dir dir;
    registry_file reg(dir.path / "registry.reg");
    {
        tarvex_convertor first(tarvex_convertor::settings_source::registry);
        EXPECT_EQ(first.oracle_port, L"1521");
        EXPECT_TRUE(first.windows_auth);
        EXPECT_TRUE(first.uppercase);
        EXPECT_TRUE(first.is_view_owned());
        EXPECT_EQ(first.mode, 0u);
        EXPECT_FALSE(first.tab_def);
        EXPECT_FALSE(first.skip_idx);

        first.dest = L"ORCL2";
        first.log_file = (dir.path / "trace.log").string();
        first.mode = 7;
        first.mssql_host = L"file:/srv/mss";
        first.mssql_password = L"p\u00e4ss";
        first.mssql_user = L"sa";
        first.oracle_host = L"orahost";
        first.oracle_password = L"tiger";
        first.oracle_user = L"scott";
        first.oracle_port = L"1600";
        first.windows_auth = false;
        first.skip_idx = true;
        first.src = L"Nordwind";
        first.tab_def = true;
        first.uppercase = false;
        first.set_view_owned(false);
    }
    EXPECT_EQ(fs::status(dir.path / "registry.reg").permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
    tarvex_convertor second(tarvex_convertor::settings_source::registry);
    EXPECT_EQ(second.dest, L"ORCL2");
    EXPECT_EQ(second.log_file, (dir.path / "trace.log").string());
    EXPECT_EQ(second.mode, 7u);
    EXPECT_EQ(second.mssql_host, L"file:/srv/mss");
    EXPECT_EQ(second.mssql_password, L"p\u00e4ss");
    EXPECT_EQ(second.mssql_user, L"sa");
    EXPECT_EQ(second.oracle_host, L"orahost");
    EXPECT_EQ(second.oracle_password, L"tiger");
    EXPECT_EQ(second.oracle_user, L"scott");
    EXPECT_EQ(second.oracle_port, L"1600");
    EXPECT_FALSE(second.windows_auth);
    EXPECT_TRUE(second.skip_idx);
    EXPECT_EQ(second.src, L"Nordwind");
    EXPECT_TRUE(second.tab_def);
    EXPECT_FALSE(second.uppercase);
    EXPECT_FALSE(second.is_view_owned());
}

TEST(driver_settings, the_agent_form_never_touches_the_registry)
{
    tk_logger logger(nullptr, false, 3, false);
    scratch_dir dir;
    registry_file reg(dir.path / "registry.reg");
    {
        tarvex_convertor agent(tarvex_convertor::settings_source::agent_defaults);
        EXPECT_FALSE(agent.uppercase);
        agent.src = L"x";
    }
    EXPECT_FALSE(fs::exists(dir.path / "registry.reg"));
}

TEST(driver_settings, profile_round_trip_keeps_a_whole_setup_with_its_type_mappings)
{
    tk_logger logger(nullptr, false, 3, false);
    scratch_dir dir;
    const fs::path first_file = dir.path / "setup.tvx";
    const fs::path second_file = dir.path / "again.tvx";
    {
        tarvex_convertor a(tarvex_convertor::settings_source::agent_defaults);
        a.src = L"Northwind";
        a.dest = L"ORCL";
        a.skip_idx = true;
        a.tab_def = false;
        a.mode = 2;
        a.store_oracle_settings(L"orahost", L"scott", L"tiger", L"1522");
        a.windows_auth = false;
        a.store_mssql_settings(L"sqlhost", L"sa", L"secret");
        a.set_as_dbo(true);
        a.uppercase = true;
        a.selected_tables = {L"[dbo].[Orders]", L"[dbo].[Order Details]"};
        a.selected_queries = {{L"Cheap", L"SELECT *\r\nFROM dbo.Products\nWHERE UnitPrice < 10"}};
        a.available_queries = {{L"Spare", L"SELECT 1"}};
        a.selected_views = {{L"Summary", L"SELECT a\nFROM b"}};
        auto* tm = a.add_table_mutator(L"[dbo].[Orders]", L"[dbo].[Orders2]");
        ora_native_type nt;
        nt.name = L"VARCHAR2";
        nt.length = 60;
        nt.default_value = L"'none'";
        tm->update_field(L"ShipName", L"Ship", nt);
        ora_native_type num;
        num.name = L"NUMBER";
        num.precision = 12;
        num.scale = 2;
        tm->update_field(L"Freight", L"Freight", num)->status = 2;
        a.add_table_mutator(L"[dbo].[Order Details]", L"[dbo].[Lines]");
        ASSERT_TRUE(a.save_profile(first_file.wstring()));
    }
    tarvex_convertor b(tarvex_convertor::settings_source::agent_defaults);
    ASSERT_TRUE(b.open_profile(first_file.wstring()));
    EXPECT_EQ(b.src, L"Northwind");
    EXPECT_EQ(b.dest, L"ORCL");
    EXPECT_TRUE(b.skip_idx);
    EXPECT_FALSE(b.tab_def);
    EXPECT_EQ(b.mode, 2u);
    EXPECT_EQ(b.oracle_host, L"orahost");
    EXPECT_EQ(b.oracle_user, L"scott");
    EXPECT_EQ(b.oracle_password, L"tiger");
    EXPECT_EQ(b.oracle_port, L"1522");
    EXPECT_FALSE(b.windows_auth);
    EXPECT_EQ(b.mssql_host, L"sqlhost");
    EXPECT_EQ(b.mssql_user, L"sa");
    EXPECT_EQ(b.mssql_password, L"secret");
    EXPECT_TRUE(b.is_connect_as_dbo());
    EXPECT_TRUE(b.uppercase);
    EXPECT_EQ(b.selected_tables, (std::vector<std::wstring>{L"dbo.Orders", L"dbo.Order Details"}));
    ASSERT_EQ(b.selected_queries.size(), 1u);
    EXPECT_EQ(b.selected_queries[0].first, L"Cheap");
    EXPECT_EQ(b.selected_queries[0].second, L"SELECT * FROM dbo.Products WHERE UnitPrice < 10");
    ASSERT_EQ(b.available_queries.size(), 1u);
    EXPECT_EQ(b.available_queries[0].second, L"SELECT 1");
    ASSERT_EQ(b.selected_views.size(), 1u);
    EXPECT_EQ(b.selected_views[0].second, L"SELECT a FROM b");

    // The mappings are found under the name the profile gives the table.
    auto* tm = b.get_table_mutator(L"dbo.Orders");
    ASSERT_NE(tm, nullptr);
    EXPECT_EQ(tm->new_name, L"[dbo].[Orders2]");
    auto* ship = tm->get_field_mutator(L"ShipName");
    ASSERT_NE(ship, nullptr);
    EXPECT_EQ(ship->new_name, L"Ship");
    EXPECT_EQ(ship->native_type.name, L"VARCHAR2");
    EXPECT_EQ(ship->native_type.length, 60);
    EXPECT_EQ(ship->native_type.default_value, L"'none'");
    EXPECT_EQ(ship->status, 1);
    auto* freight = tm->get_field_mutator(L"Freight");
    ASSERT_NE(freight, nullptr);
    EXPECT_EQ(freight->status, 2);
    EXPECT_EQ(freight->native_type.precision, 12);
    EXPECT_EQ(freight->native_type.scale, 2);
    auto* lines = b.get_table_mutator(L"dbo.Order Details");
    ASSERT_NE(lines, nullptr) << "a rename-only table keeps its mapping";
    EXPECT_EQ(lines->new_name, L"[dbo].[Lines]");

    // Saving the loaded setup writes the same file again.
    ASSERT_TRUE(b.save_profile(second_file.wstring()));
    EXPECT_EQ(read_all(second_file), read_all(first_file));
    ASSERT_TRUE(b.save_profile(second_file.wstring()));
    EXPECT_EQ(read_all(second_file), read_all(first_file));
}

TEST(driver_settings, loading_a_profile_again_lists_each_table_and_query_once)
{
    tk_logger logger(nullptr, false, 3, false);
    scratch_dir dir;
    const fs::path file = dir.path / "twice.tvx";
    {
        tarvex_convertor a(tarvex_convertor::settings_source::agent_defaults);
        a.selected_tables = {L"[dbo].[Orders]", L"[sales].[Orders]"};
        a.selected_queries = {{L"Cheap", L"SELECT 1"}};
        a.available_queries = {{L"Spare", L"SELECT 2"}};
        a.selected_views = {{L"Summary", L"SELECT 3"}};
        ASSERT_TRUE(a.save_profile(file.wstring()));
    }
    tarvex_convertor b(tarvex_convertor::settings_source::agent_defaults);
    // Already chosen in the other form of its name, and a query of the same name with another text.
    b.selected_tables = {L"dbo.Orders"};
    b.selected_queries = {{L"Cheap", L"SELECT 0"}};
    ASSERT_TRUE(b.open_profile(file.wstring()));
    ASSERT_TRUE(b.open_profile(file.wstring()));
    EXPECT_EQ(b.selected_tables, (std::vector<std::wstring>{L"dbo.Orders", L"sales.Orders"}));
    ASSERT_EQ(b.selected_queries.size(), 1u);
    EXPECT_EQ(b.selected_queries[0].second, L"SELECT 1");
    EXPECT_EQ(b.available_queries.size(), 1u);
    EXPECT_EQ(b.selected_views.size(), 1u);
}
