// The array insert: 200 rows a batch, the same rows as the literal path.
#include "ora_target_fixture.h"

#include "ORA/ora_cache.h"
#include "ORA/ora_exception.h"
#include "ORA/ora_table.h"
#include "TK/tk_exception.h"
#include "platform/oci/oci.h"

namespace {

udb_schema batch_schema()
{
    udb_schema s;
    s.push_back(make_column(L"ID", VT_I4, 4, true));
    s.push_back(make_column(L"DOC", VT_BSTR, 0));
    s.push_back(make_column(L"NOTE", VT_BSTR, 10, true));
    s.push_back(make_column(L"AT", VT_DATE, 0));
    s.push_back(make_column(L"BIG", VT_I8, 8));
    s.push_back(make_column(L"RAWV", VT_BLOB, 4));
    return s;
}

std::unique_ptr<udb_record> batch_record(int i)
{
    SYSTEMTIME st{};
    st.wYear = 2020;
    st.wMonth = 1;
    st.wDay = 31;
    st.wHour = 8;
    st.wMinute = 5;
    st.wSecond = 9;
    st.wMilliseconds = 250;
    auto r = std::make_unique<udb_record>();
    r->push_back(make_field(L"ID", ole_variant(i)));
    r->push_back(make_field(L"DOC", i % 3 ? ole_variant(L"doc " + std::to_wstring(i) + L" ü") : ole_variant()));
    r->push_back(make_field(L"NOTE", i % 4 ? ole_variant(L"note-" + std::to_wstring(i)) : ole_variant(std::wstring())));
    r->push_back(make_field(L"AT", i % 5 ? ole_variant(st) : ole_variant()));
    r->push_back(make_field(L"BIG", ole_variant(static_cast<int64_t>(9007199254740993LL + i))));
    ole_variant raw;
    raw = std::vector<unsigned char>{0xDE, 0xAD, static_cast<unsigned char>(i)};
    r->push_back(make_field(L"RAWV", raw));
    return r;
}

} // namespace

TEST_F(ora_target_test, array_insert_statement_text_and_batches)
{
    udb_schema s = batch_schema();
    udb_indexes none;
    db->create_table(L"\"S\".\"B\"", s, none).reset();
    db->b_array_insert = true;
    std::unique_ptr<udb_recordset> t = db->get_table1(L"\"S\".\"B\"", 0x60);
    auto& table = dynamic_cast<ora_table&>(*t);

    // 199 rows send nothing; the 200th sends the batch.
    for (int i = 1; i <= 199; ++i) t->append_record(batch_record(i).get());
    EXPECT_EQ(value(L"SELECT COUNT(*) FROM \"S\".\"B\""), L"0");
    t->append_record(batch_record(200).get());
    EXPECT_EQ(value(L"SELECT COUNT(*) FROM \"S\".\"B\""), L"200");
    for (int i = 201; i <= 250; ++i) t->append_record(batch_record(i).get());
    table.flush();
    EXPECT_EQ(value(L"SELECT COUNT(*) FROM \"S\".\"B\""), L"250");
    EXPECT_EQ(value(L"SELECT COUNT(*) FROM \"S\".\"B\" WHERE \"NOTE\" IS NULL"), L"0");
}

TEST_F(ora_target_test, array_insert_writes_what_the_literal_path_writes)
{
    udb_indexes none;
    udb_schema s1 = batch_schema();
    udb_schema s2 = batch_schema();
    std::unique_ptr<udb_recordset> literal = db->create_table(L"\"S\".\"L1\"", s1, none);
    db->create_table(L"\"S\".\"L2\"", s2, none).reset();
    db->b_array_insert = true;
    std::unique_ptr<udb_recordset> batched = db->get_table1(L"\"S\".\"L2\"", 0x60);
    for (int i = 1; i <= 30; ++i) {
        // The flag is read at every append.
        db->b_array_insert = false;
        literal->append_record(batch_record(i).get());
        db->b_array_insert = true;
        batched->append_record(batch_record(i).get());
    }
    dynamic_cast<ora_table&>(*batched).flush();
    const std::wstring cols = L"SELECT \"ID\", \"DOC\", \"AT\", \"BIG\", \"RAWV\" FROM ";
    const auto a = rows(cols + L"\"S\".\"L1\" ORDER BY \"ID\"");
    const auto b = rows(cols + L"\"S\".\"L2\" ORDER BY \"ID\"");
    ASSERT_EQ(a.size(), 30u);
    EXPECT_EQ(a, b);
    // 64-bit integers arrive exactly.
    EXPECT_EQ(value(L"SELECT COUNT(*) FROM \"S\".\"L2\" WHERE \"BIG\" = 9007199254740994"), L"1");
    // A NULL LOB value is NULL on both paths, not the empty LOB the statements put in.
    EXPECT_EQ(value(L"SELECT COUNT(*) FROM \"S\".\"L1\" WHERE \"DOC\" IS NULL"), L"10");
    EXPECT_EQ(value(L"SELECT COUNT(*) FROM \"S\".\"L2\" WHERE \"DOC\" IS NULL"), L"10");
}

TEST_F(ora_target_test, a_failed_batch_is_dropped_and_the_buffer_starts_again)
{
    udb_schema s;
    s.push_back(make_column(L"ID", VT_I4, 4));
    s.push_back(make_column(L"DOC", VT_BSTR, 0));
    s.push_back(make_column(L"NOTE", VT_BSTR, 10));
    udb_indexes none;
    db->create_table(L"\"S\".\"C\"", s, none).reset();
    db->b_array_insert = true;
    std::unique_ptr<udb_recordset> t = db->get_table1(L"\"S\".\"C\"", 0x60);
    auto make = [](int i) {
        auto r = std::make_unique<udb_record>();
        r->push_back(make_field(L"ID", ole_variant(i)));
        r->push_back(make_field(L"DOC", ole_variant(std::wstring(L"d"))));
        r->push_back(make_field(L"NOTE", ole_variant(std::wstring(L"n"))));
        return r;
    };
    ora_cache probe(L"S.C", &dynamic_cast<ora_table&>(*t));
    EXPECT_EQ(probe.get_sql(),
              L"INSERT /*+ APPEND */ INTO \"S\".\"C\" (\"ID\", \"DOC\", \"NOTE\") VALUES(:1, EMPTY_CLOB() , :2) "
              L"RETURNING ROWID INTO :3");
    for (int i = 1; i < 200; ++i) t->append_record(make(i).get());
    oci_test_inject_error("INSERT", 1);
    EXPECT_THROW(t->append_record(make(200).get()), ora_exception);
    oci_test_clear_injections();
    // The next row starts a new batch instead of writing past the buffer.
    t->append_record(make(201).get());
    dynamic_cast<ora_table&>(*t).flush();
    EXPECT_EQ(value(L"SELECT COUNT(*) FROM \"S\".\"C\""), L"1");
    EXPECT_EQ(value(L"SELECT \"DOC\" FROM \"S\".\"C\""), L"d");
}

// The end of a target's writes, reached through the model's recordset: the held rows arrive, and a
// failure to write them leaves the call instead of vanishing in a destructor.
TEST_F(ora_target_test, finishing_the_writes_sends_the_held_rows_or_raises)
{
    udb_indexes none;
    udb_schema s1 = batch_schema();
    udb_schema s2 = batch_schema();
    db->create_table(L"\"S\".\"F1\"", s1, none).reset();
    db->create_table(L"\"S\".\"F2\"", s2, none).reset();
    db->b_array_insert = true;
    std::unique_ptr<udb_recordset> ok = db->get_table1(L"\"S\".\"F1\"", 0x60);
    for (int i = 1; i <= 5; ++i) ok->append_record(batch_record(i).get());
    EXPECT_EQ(value(L"SELECT COUNT(*) FROM \"S\".\"F1\""), L"0"); // still held
    ok->finish_writes();
    EXPECT_EQ(value(L"SELECT COUNT(*) FROM \"S\".\"F1\""), L"5");

    std::unique_ptr<udb_recordset> failing = db->get_table1(L"\"S\".\"F2\"", 0x60);
    for (int i = 1; i <= 5; ++i) failing->append_record(batch_record(i).get());
    oci_test_inject_error("INSERT", 1);
    EXPECT_THROW(failing->finish_writes(), ora_exception);
    oci_test_clear_injections();
    EXPECT_EQ(value(L"SELECT COUNT(*) FROM \"S\".\"F2\""), L"0");
}
