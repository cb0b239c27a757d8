// Whole conversions of a small database of every kind of column, key, default
// and awkward name, from the embedded SQL Server to the embedded Oracle through
// the driver, checked value by value.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "TK/tk_text.h"
#include "conversion_env.h"
#include "platform/eora/eora_inject.h"

namespace {

const std::string k_db = "gadgets";
const std::string k_long = "CustomerLoyaltyProgramEnrollm";  // cut to 29 bytes
const std::string k_cal_a = "MeasurementSeriesForCalibrati"; // first of the two colliding names
const std::string k_cal_b = "MeasurementSeriesForCali00001"; // the second gets a numbered name

std::string test_data(const std::string& name)
{
    const char* root = std::getenv("TVX_TEST_DATA");
    return std::string(root ? root : TVX_SAMPLES "/../../tests/data") + "/" + name;
}

std::string q(const std::string& owner, const std::string& table) { return "\"" + owner + "\".\"" + table + "\""; }

class gadgets_conversion : public ::testing::Test {
protected:
    void SetUp() override
    {
        env.create_database(k_db);
        env.load_file(k_db, test_data("tarvex/gadgets.sql"));
        env.create_user("scott", "tiger");
    }
    void TearDown() override { eora::clear_injections(); }

    std::unique_ptr<tarvex_convertor> driver()
    {
        auto d = std::make_unique<tarvex_convertor>(tarvex_convertor::settings_source::agent_defaults);
        d->set_front_end(&front);
        env.configure(*d, k_db, "scott", "tiger");
        return d;
    }

    std::vector<std::string> messages() const
    {
        std::vector<std::string> out;
        for (const auto& e : handler.errors) out.push_back(e.message);
        return out;
    }

    bool progress_has(const std::wstring& line) const
    {
        return std::find(front.lines.begin(), front.lines.end(), line) != front.lines.end();
    }

    // Every table of the sample compared with its source, under `owner`.
    void expect_sample_converted(const std::string& owner, bool upper = false)
    {
        auto up = [&](std::string s) {
            if (upper)
                for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            return s;
        };
        std::set<std::string> want{up("Gadgets"), up("Gadget Parts"), up(k_long),
                                   up(k_cal_a),   up(k_cal_b),        up("EmptyTable")};
        EXPECT_EQ(env.oracle_tables(owner), want);
        expect_same_rows(env, k_db, "SELECT * FROM [dbo].[Gadgets]", q(owner, up("Gadgets")));
        expect_same_rows(env, k_db, "SELECT * FROM [dbo].[Gadget Parts]", q(owner, up("Gadget Parts")));
        expect_same_rows(env, k_db, "SELECT * FROM [dbo].[CustomerLoyaltyProgramEnrollmentHistory]",
                         q(owner, up(k_long)));
        expect_same_rows(env, k_db, "SELECT * FROM [dbo].[MeasurementSeriesForCalibrationA]", q(owner, up(k_cal_a)));
        expect_same_rows(env, k_db, "SELECT * FROM [dbo].[MeasurementSeriesForCalibrationB]", q(owner, up(k_cal_b)));
        EXPECT_EQ(env.oracle_count(q(owner, up("EmptyTable"))), 0);
    }

    tk_logger logger{nullptr, false, 3, false};
    conversion_env env;
    recording_handler handler;
    recording_front_end front;
};

} // namespace

TEST_F(gadgets_conversion, overwrite_carries_every_value_key_default_and_identity)
{
    auto d = driver();
    (*d)();
    EXPECT_TRUE(d->run_completed());
    EXPECT_EQ(messages(), std::vector<std::string>{});
    EXPECT_TRUE(progress_has(L"Converting database 'gadgets' (6 tables)\n"));
    EXPECT_TRUE(progress_has(L"Converting table '[dbo].[Gadgets]' (4 records)\n"));
    EXPECT_TRUE(progress_has(L"Creating schema if necessary: 'dbo'\n"));
    expect_sample_converted("dbo");

    // Keys, in column order.
    auto pk = env.oracle_list(
        "SELECT COLUMN_NAME FROM ALL_CONS_COLUMNS WHERE OWNER = 'dbo' AND CONSTRAINT_NAME = "
        "'PK_Gadget_Parts' ORDER BY POSITION");
    EXPECT_EQ(pk, (std::vector<std::string>{"GadgetID", "PartNo"}));
    EXPECT_EQ(env.oracle_list("SELECT CONSTRAINT_TYPE FROM ALL_CONSTRAINTS WHERE OWNER = 'dbo' AND "
                              "CONSTRAINT_NAME = 'PK_Gadgets'"),
              std::vector<std::string>{"P"});
    // The unique and the two-column index of the source.
    EXPECT_EQ(
        env.oracle_list("SELECT UNIQUENESS FROM ALL_INDEXES WHERE TABLE_OWNER = 'dbo' AND INDEX_NAME = 'GadgetName'"),
        std::vector<std::string>{"UNIQUE"});
    EXPECT_EQ(env.oracle_list("SELECT COLUMN_NAME FROM ALL_IND_COLUMNS WHERE TABLE_OWNER = 'dbo' AND "
                              "INDEX_NAME = 'GadgetCode' ORDER BY COLUMN_POSITION"),
              (std::vector<std::string>{"Code", "Qty"}));

    // Defaults as Oracle writes them.
    auto def = [&](const std::string& table, const std::string& col) {
        auto v = env.oracle_list("SELECT DATA_DEFAULT FROM ALL_TAB_COLUMNS WHERE OWNER = 'dbo' AND TABLE_NAME = '" +
                                 table + "' AND COLUMN_NAME = '" + col + "'");
        std::string s = v.empty() ? "<none>" : v.front();
        while (!s.empty() && s.back() == ' ') s.pop_back();
        return s;
    };
    EXPECT_EQ(def("Gadgets", "Price"), "0");
    EXPECT_EQ(def("Gadgets", "InStock"), "1");
    EXPECT_EQ(def("Gadgets", "Created"), "sysdate");
    EXPECT_EQ(def("Gadget Parts", "Amount"), "1.5");
    EXPECT_EQ(def("Gadgets", "Name"), "");

    // Identity: a sequence and a trigger number new rows after the copied ones,
    // and the defaults fill the other columns.
    EXPECT_EQ(env.oracle_list("SELECT TABLE_NAME FROM ALL_TRIGGERS WHERE TABLE_NAME = 'Gadgets'").size(), 1u);
    env.oracle_exec("INSERT INTO \"dbo\".\"Gadgets\" (\"Name\") VALUES ('new one')");
    ora_rows added = env.oracle_query(
        "SELECT \"GadgetID\", \"Price\", \"InStock\" FROM \"dbo\".\"Gadgets\" WHERE \"Name\" = 'new one'");
    ASSERT_EQ(added.rows.size(), 1u);
    EXPECT_GT(std::stol(added.rows[0][0].s), 115);
    EXPECT_EQ(added.rows[0][1].s, "0");
    EXPECT_EQ(added.rows[0][2].s, "1");
    // NOT NULL is kept.
    EXPECT_EQ(env.oracle_list("SELECT NULLABLE FROM ALL_TAB_COLUMNS WHERE OWNER = 'dbo' AND TABLE_NAME = 'Gadgets' "
                              "AND COLUMN_NAME = 'Name'"),
              std::vector<std::string>{"N"});
}

TEST_F(gadgets_conversion, overwrite_twice_recreates_and_a_second_run_in_one_driver_converts_once)
{
    auto d = driver();
    (*d)();
    env.oracle_exec("INSERT INTO \"dbo\".\"Gadget Parts\" (\"GadgetID\", \"PartNo\", \"Amount\") VALUES (1, 'x', 1)");
    (*d)();
    EXPECT_TRUE(d->run_completed());
    EXPECT_EQ(messages(), std::vector<std::string>{});
    // The extra row is gone with the dropped table; nothing is doubled.
    expect_sample_converted("dbo");
    size_t table_lines =
        std::count(front.lines.begin(), front.lines.end(), L"Converting table '[dbo].[Gadgets]' (4 records)\n");
    EXPECT_EQ(table_lines, 2u);
}

TEST_F(gadgets_conversion, merge_appends_and_refuses_a_table_that_does_not_conform)
{
    driver()->operator()();
    env.oracle_exec("DROP TABLE \"dbo\".\"EmptyTable\"");
    env.oracle_exec("CREATE TABLE \"dbo\".\"EmptyTable\" (\"Other\" VARCHAR2(5))");
    handler.errors.clear();

    auto d = driver();
    d->mode = 1;
    (*d)();
    EXPECT_TRUE(d->run_completed());
    auto msgs = messages();
    EXPECT_NE(std::find(msgs.begin(), msgs.end(),
                        "[dbo].[EmptyTable]: The structure of data source does not conform to the destination table."),
              msgs.end());
    // Keyed rows are refused one by one, the rest is appended again.
    EXPECT_NE(std::find(msgs.begin(), msgs.end(),
                        "[dbo].[Gadget Parts], record #2: Duplicate field values being used for an unique index were "
                        "found. See 'Troubleshooting' article of the product documentation for solution."),
              msgs.end());
    EXPECT_EQ(env.oracle_count(q("dbo", "Gadget Parts")), 3);
    EXPECT_EQ(env.oracle_count(q("dbo", k_cal_a)), 4);
    EXPECT_EQ(env.oracle_count(q("dbo", "EmptyTable")), 0);
    // Mode 7 is merge too, with the same check.
    handler.errors.clear();
    auto d7 = driver();
    d7->mode = 7;
    (*d7)();
    msgs = messages();
    EXPECT_NE(std::find(msgs.begin(), msgs.end(),
                        "[dbo].[EmptyTable]: The structure of data source does not conform to the destination table."),
              msgs.end());
    EXPECT_EQ(env.oracle_count(q("dbo", k_cal_a)), 6);
}

TEST_F(gadgets_conversion, skip_leaves_existing_tables_and_creates_missing_ones)
{
    driver()->operator()();
    env.oracle_exec("DELETE FROM \"dbo\".\"Gadgets\"");
    env.oracle_exec("DROP TABLE \"dbo\".\"Gadget Parts\"");
    auto d = driver();
    d->mode = 2;
    (*d)();
    EXPECT_TRUE(d->run_completed());
    // The emptied table is kept, and said: it does not hold what the source holds.
    ASSERT_EQ(messages().size(), 1u);
    EXPECT_EQ(messages()[0].rfind("[dbo].[Gadgets]: The existing table \"dbo\".\"Gadgets\" was kept (skip mode), but "
                                  "it holds 0 records where the source has ",
                                  0),
              0u)
        << messages()[0];
    EXPECT_FALSE(d->run_succeeded());
    EXPECT_EQ(d->get_summary().tables_failed(), 1u);
    EXPECT_EQ(env.oracle_count(q("dbo", "Gadgets")), 0);
    expect_same_rows(env, k_db, "SELECT * FROM [dbo].[Gadget Parts]", q("dbo", "Gadget Parts"));
    EXPECT_EQ(env.oracle_count(q("dbo", k_cal_a)), 2);
}

TEST_F(gadgets_conversion, definitions_only_creates_empty_tables_with_their_indexes)
{
    auto d = driver();
    d->tab_def = true;
    (*d)();
    EXPECT_TRUE(d->run_completed());
    EXPECT_EQ(env.oracle_tables("dbo").size(), 6u);
    for (const auto& t : env.oracle_tables("dbo")) EXPECT_EQ(env.oracle_count(q("dbo", t)), 0) << t;
    EXPECT_EQ(env.oracle_list("SELECT INDEX_NAME FROM ALL_INDEXES WHERE TABLE_OWNER = 'dbo' AND TABLE_NAME = 'Gadgets' "
                              "ORDER BY INDEX_NAME"),
              (std::vector<std::string>{"GadgetCode", "GadgetName", "PK_Gadgets"}));
}

TEST_F(gadgets_conversion, skipped_indexes_leave_only_the_data)
{
    auto d = driver();
    d->skip_idx = true;
    (*d)();
    EXPECT_TRUE(d->run_completed());
    expect_sample_converted("dbo");
    EXPECT_EQ(env.oracle_list("SELECT INDEX_NAME FROM ALL_INDEXES WHERE TABLE_OWNER = 'dbo' AND TABLE_NAME = 'Gadgets' "
                              "AND INDEX_NAME <> 'PK_Gadgets'"),
              std::vector<std::string>{});
}

TEST_F(gadgets_conversion, uppercase_folds_owner_and_table_names)
{
    auto d = driver();
    d->uppercase = true;
    (*d)();
    EXPECT_TRUE(d->run_completed());
    EXPECT_EQ(messages(), std::vector<std::string>{});
    expect_sample_converted("DBO", true);
    EXPECT_TRUE(env.oracle_tables("dbo").empty());
}

TEST_F(gadgets_conversion, view_owned_puts_every_table_in_the_login_schema)
{
    auto d = driver();
    d->set_view_owned(true);
    (*d)();
    EXPECT_TRUE(d->run_completed());
    EXPECT_EQ(messages(), std::vector<std::string>{});
    EXPECT_FALSE(progress_has(L"Creating schema if necessary: 'dbo'\n"));
    EXPECT_TRUE(progress_has(L"Converting table 'Gadgets' (4 records)\n"));
    expect_sample_converted("SCOTT");
    EXPECT_TRUE(env.oracle_tables("dbo").empty());
}

TEST_F(gadgets_conversion, custom_query_becomes_a_table_of_its_own)
{
    auto d = driver();
    const std::wstring sql = L"SELECT GadgetID, Name, Price, Created FROM dbo.Gadgets WHERE Price > 1";
    d->selected_queries.emplace_back(L"Expensive", sql);
    (*d)();
    EXPECT_TRUE(d->run_completed());
    EXPECT_EQ(messages(), std::vector<std::string>{});
    // Only the query is converted when it is the whole selection.
    EXPECT_EQ(env.oracle_tables("SCOTT"), std::set<std::string>{"Expensive"});
    EXPECT_TRUE(env.oracle_tables("dbo").empty());
    expect_same_rows(env, k_db, to_utf8(sql), q("SCOTT", "Expensive"));
    EXPECT_EQ(env.oracle_count(q("SCOTT", "Expensive")), 2);
}

TEST_F(gadgets_conversion, type_mapping_renames_retypes_and_drops_columns)
{
    auto d = driver();
    d->selected_tables = {L"[dbo].[Gadgets]"};
    auto* tm = d->add_table_mutator(L"[dbo].[Gadgets]", L"[dbo].[Gizmos]");
    ora_native_type text20;
    text20.name = L"VARCHAR2";
    text20.length = 20;
    tm->update_field(L"Code", L"ItemCode", text20);
    ora_native_type wide;
    wide.name = L"NUMBER";
    wide.precision = 12;
    tm->update_field(L"Qty", L"Qty", wide);
    ora_native_type clob;
    clob.name = L"CLOB";
    tm->update_field(L"Notes", L"Notes", clob)->status = 2;
    (*d)();
    EXPECT_TRUE(d->run_completed());
    EXPECT_EQ(messages(), std::vector<std::string>{});
    EXPECT_EQ(env.oracle_tables("dbo"), std::set<std::string>{"Gizmos"});
    table_map map;
    map.renamed["Code"] = "ItemCode";
    map.dropped.insert("Notes");
    expect_same_rows(env, k_db, "SELECT * FROM [dbo].[Gadgets]", q("dbo", "Gizmos"), map);
    ora_rows types = env.oracle_query(
        "SELECT COLUMN_NAME, DATA_TYPE, DATA_LENGTH, DATA_PRECISION FROM "
        "ALL_TAB_COLUMNS WHERE OWNER = 'dbo' AND TABLE_NAME = 'Gizmos' AND "
        "COLUMN_NAME IN ('ItemCode', 'Qty') ORDER BY COLUMN_NAME");
    ASSERT_EQ(types.rows.size(), 2u);
    EXPECT_EQ(types.rows[0][1].s, "VARCHAR2");
    EXPECT_EQ(types.rows[0][2].s, "20");
    EXPECT_EQ(types.rows[1][1].s, "NUMBER");
    EXPECT_EQ(types.rows[1][3].s, "12");
    // The index follows the renamed column.
    EXPECT_EQ(env.oracle_list("SELECT COLUMN_NAME FROM ALL_IND_COLUMNS WHERE TABLE_OWNER = 'dbo' AND "
                              "INDEX_NAME = 'GadgetCode' ORDER BY COLUMN_POSITION"),
              (std::vector<std::string>{"ItemCode", "Qty"}));
}

// Money and bigint columns renamed onto a plain NUMBER, with the mapping
// kept in a profile and loaded by another driver: every digit arrives.
TEST_F(gadgets_conversion, a_plain_number_mapping_from_a_profile_keeps_money_and_bigint_digits)
{
    const std::string profile = env.dir() + "/numbers.tvx";
    {
        auto d = driver();
        d->selected_tables = {L"[dbo].[Gadgets]"};
        auto* tm = d->add_table_mutator(L"[dbo].[Gadgets]", L"[dbo].[Gadgets]");
        ora_native_type number;
        number.name = L"NUMBER";
        tm->update_field(L"Price", L"Cost", number);
        tm->update_field(L"Big", L"Huge", number);
        ASSERT_TRUE(d->save_profile(to_unicode(profile)));
    }
    auto d = driver();
    ASSERT_TRUE(d->open_profile(to_unicode(profile)));
    (*d)();
    EXPECT_TRUE(d->run_completed());
    EXPECT_EQ(messages(), std::vector<std::string>{});
    table_map map;
    map.renamed["Price"] = "Cost";
    map.renamed["Big"] = "Huge";
    expect_same_rows(env, k_db, "SELECT * FROM [dbo].[Gadgets]", q("dbo", "Gadgets"), map);
    EXPECT_EQ(env.oracle_list("SELECT \"Cost\" FROM \"dbo\".\"Gadgets\" WHERE \"GadgetID\" = 105"),
              std::vector<std::string>{"922337203685477.5807"});
    EXPECT_EQ(env.oracle_list("SELECT \"Huge\" FROM \"dbo\".\"Gadgets\" WHERE \"GadgetID\" = 105"),
              std::vector<std::string>{"-9223372036854775808"});
}

TEST_F(gadgets_conversion, a_record_refused_by_oracle_is_reported_and_the_rest_is_copied)
{
    auto d = driver();
    d->selected_tables = {L"[dbo].[Gadget Parts]"};
    eora::inject_error("P-002", 1);
    (*d)();
    EXPECT_TRUE(d->run_completed());
    EXPECT_EQ(messages(), std::vector<std::string>{
                              "[dbo].[Gadget Parts], record #2: Duplicate field values being used for an unique "
                              "index were found. See 'Troubleshooting' article of the product documentation for "
                              "solution."});
    expect_same_rows(env, k_db, "SELECT * FROM [dbo].[Gadget Parts] WHERE NOT (GadgetID = 100 AND Amount = 1)",
                     q("dbo", "Gadget Parts"));
    EXPECT_EQ(d->records_done.load(), 3u);
}

TEST_F(gadgets_conversion, a_table_missing_at_the_source_is_reported_and_the_others_converted)
{
    auto d = driver();
    d->selected_tables = {L"dbo.Nowhere", L"dbo.EmptyTable"};
    (*d)();
    EXPECT_TRUE(d->run_completed());
    EXPECT_EQ(front.missing, std::vector<std::wstring>{L"dbo.Nowhere"});
    EXPECT_EQ(env.oracle_tables("dbo"), std::set<std::string>{"EmptyTable"});
}
