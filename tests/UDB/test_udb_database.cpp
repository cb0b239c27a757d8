#include <gtest/gtest.h>

#include "TK/tk_exception.h"
#include "UDB/udb_database.h"
#include "UDB/udb_recordset.h"

namespace {

// The smallest engine: a target table that keeps what it is given.
class memory_table : public udb_recordset {
public:
    using udb_recordset::udb_recordset;
    void append_record(udb_record* record) override
    {
        convert_record(*record);
        ++record_count;
    }
};

class memory_database : public udb_database {
public:
    memory_database(bool case_sensitive) : udb_database(L"mem", 0, case_sensitive) {}
    std::unique_ptr<udb_recordset> create_table(const std::wstring& table, udb_schema& schema,
                                                udb_indexes& indexes) override
    {
        tables.push_back(table);
        auto t = std::make_unique<memory_table>(this, table, L"", true);
        t->schema = schema;
        for (const auto& idx : indexes) t->add_index(idx);
        return t;
    }
    std::unique_ptr<udb_recordset> get_table(const std::wstring& table, const std::wstring& query, int) override
    {
        return std::make_unique<memory_table>(this, table, query, true);
    }
    std::unique_ptr<udb_recordset> get_table1(const std::wstring& table, int) override
    {
        return std::make_unique<memory_table>(this, table, L"", true);
    }
    bool test_query(const std::wstring& sql) override { return !sql.empty(); }
    void create_index(const std::wstring& table, udb_schema&, udb_index& index) override
    {
        created.push_back(table + L"." + index.name);
    }
    std::vector<std::wstring> created;
};

t_ftd col(const wchar_t* name, VARTYPE vt, uint32_t size = 0)
{
    return t_ftd(size, name, vt, false, false, ole_variant(), 0, L"");
}

TEST(udb_database, table_existence_follows_case_sensitivity)
{
    memory_database oracle(true);
    oracle.tables = {L"EMP"};
    EXPECT_FALSE(oracle.is_table_exist(L"Emp"));
    EXPECT_TRUE(oracle.is_table_exist(L"EMP"));
    memory_database mssql(false);
    mssql.tables = {L"EMP"};
    EXPECT_TRUE(mssql.is_table_exist(L"Emp"));
    EXPECT_FALSE(mssql.is_table_exist(L"Em"));
}

TEST(udb_database, delete_tab_removes_only_the_first)
{
    memory_database db(false);
    db.tables = {L"A", L"EMP", L"B", L"emp"};
    EXPECT_TRUE(db.delete_tab(L"Emp"));
    EXPECT_EQ(db.get_tables(), (std::vector<std::wstring>{L"A", L"B", L"emp"}));
    EXPECT_TRUE(db.delete_tab(L"EMP"));
    EXPECT_FALSE(db.delete_tab(L"EMP"));
    EXPECT_EQ(db.tables.size(), 2u);
}

TEST(udb_database, base_operations)
{
    memory_database db(false);
    EXPECT_EQ(db.mode, 0u);
    EXPECT_FALSE(db.flag);
    try {
        db.query(L"SELECT 1");
        FAIL() << "no exception";
    } catch (const tk_mail_assertion& e) {
        EXPECT_EQ(e.level, 2);
        // "udb_db\87" as hexadecimal codes.
        EXPECT_NE(std::string(e.what()).find("7564625f64625c3837"), std::string::npos);
    }
    std::vector<std::wstring> owners{L"dbo"};
    db.get_schema_info(owners);
    EXPECT_TRUE(owners.empty());

    udb_schema schema;
    udb_indexes idx;
    idx.push_back(udb_index(L"I1", false, false, {L"A"}));
    idx.push_back(udb_index(L"I2", true, false, {L"B"}));
    db.create_indexes(L"T", schema, idx);
    EXPECT_EQ(db.created, (std::vector<std::wstring>{L"T.I1", L"T.I2"}));
}

TEST(udb_recordset, query_flag_and_defaults)
{
    memory_database db(false);
    auto table = db.get_table1(L"T", 1);
    auto query = db.get_table(L"Q", L"SELECT 1", 1);
    EXPECT_FALSE(table->is_query());
    EXPECT_TRUE(query->is_query());
    EXPECT_EQ(table->key_pos, -1);
    EXPECT_EQ(table->record_count, 0u);
    EXPECT_TRUE(table->is_eof());
    EXPECT_EQ(table->get_item(), nullptr);
    memory_table plain(L"X");
    EXPECT_EQ(plain.db, nullptr);
    EXPECT_FALSE(plain.is_query());
}

TEST(udb_recordset, add_index_keeps_the_first_key_position)
{
    memory_table t(L"T");
    t.add_index(udb_index(L"I1", false, false, {L"A"}));
    t.add_index(udb_index(L"I2", false, false, {L"B"}));
    t.add_index(udb_index(L"PK", true, true, {L"ID"}));
    EXPECT_EQ(t.key_pos, 2);
    t.add_index(udb_index(L"U1", true, false, {L"C"}));
    EXPECT_EQ(t.key_pos, 2);
    ASSERT_EQ(t.indexes.size(), 4u);
    // A duplicate name is refused, even when it would be an upgrade.
    t.add_index(udb_index(L"i1", true, true, {L"Z"}));
    EXPECT_EQ(t.indexes.size(), 4u);
    EXPECT_FALSE(t.indexes[0].b_primary);
    EXPECT_EQ(t.indexes[0].fields, (std::vector<std::wstring>{L"A"}));
}

TEST(udb_recordset, convert_record_renames_and_retypes)
{
    memory_database db(true);
    t_names_map cols;
    cols.add(L"id", L"ID_");
    db.names_map.add_fn_map(L"T", cols);
    udb_schema schema;
    schema.push_back(col(L"ID_", VT_R8));
    schema.push_back(col(L"NAME", VT_BSTR, 10));
    udb_indexes none;
    auto target = db.create_table(L"T", schema, none);

    udb_record r;
    r.push_back(std::make_unique<udb_field>(L"id", 4, ole_variant(42)));
    r.push_back(std::make_unique<udb_field>(L"name", 10, ole_variant(std::wstring(L"x"))));
    target->append_record(&r);
    EXPECT_EQ(target->record_count, 1u);
    EXPECT_EQ(r[0].name, L"ID_");
    EXPECT_EQ(r[0].get_type(), VT_R8);
    EXPECT_DOUBLE_EQ(r[0].to_double(), 42.0);
    EXPECT_EQ(r[1].get_type(), VT_BSTR);
    EXPECT_EQ(r[1].to_wstring(), L"x");

    udb_record empty;
    target->convert_record(empty);
    EXPECT_TRUE(empty.empty());
}

TEST(udb_recordset, convert_record_refuses_a_missing_column)
{
    memory_database db(true);
    udb_schema schema;
    schema.push_back(col(L"ID", VT_I4));
    udb_indexes none;
    auto target = db.create_table(L"T", schema, none);
    udb_record r;
    r.push_back(std::make_unique<udb_field>(L"ID", 4, ole_variant(1)));
    r.push_back(std::make_unique<udb_field>(L"EXTRA", 4, ole_variant(2)));
    try {
        target->append_record(&r);
        FAIL() << "no exception";
    } catch (const tk_exception& e) {
        EXPECT_STREQ(e.what(), "The structure of data source does not conform to the destination table.");
        EXPECT_EQ(e.level, 1);
    }
    EXPECT_EQ(target->record_count, 0u);
}

} // namespace
