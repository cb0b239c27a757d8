#include <gtest/gtest.h>

#include "UDB/udb_record.h"
#include "UDB/udb_schema.h"

namespace {

t_ftd col(const wchar_t* name, VARTYPE vt, uint32_t size = 0)
{
    return t_ftd(size, name, vt, false, false, ole_variant(), 0, L"");
}

udb_schema make_schema(std::initializer_list<t_ftd> cols)
{
    udb_schema s;
    for (const auto& c : cols) s.push_back(c);
    return s;
}

TEST(udb_schema, new_schema_words)
{
    udb_schema s;
    EXPECT_TRUE(s.flag);
    EXPECT_EQ(s.seed, 1);
    EXPECT_EQ(s.increment, 1);
    EXPECT_TRUE(s.empty());
}

TEST(udb_schema, lookups_ignore_case_and_take_the_first)
{
    udb_schema s = make_schema({col(L"ID", VT_I4, 4), col(L"Name", VT_BSTR, 50), col(L"name", VT_I2)});
    EXPECT_TRUE(s.find_field(L"id"));
    EXPECT_EQ(s.get_field_idx(L"NAME"), 1);
    EXPECT_EQ(s.get_field_size(L"name"), 50u);
    EXPECT_EQ(s.get_field_type(L"Id"), VT_I4);
    EXPECT_EQ(&s.get_field1(L"id"), &s[0]);
    EXPECT_EQ(&s.get_field2(L"NAME"), &s[1]);
}

TEST(udb_schema, lookups_of_a_missing_column)
{
    udb_schema s = make_schema({col(L"ID", VT_I4, 4)});
    EXPECT_FALSE(s.find_field(L"X"));
    EXPECT_EQ(s.get_field_idx(L"X"), -1);
    EXPECT_EQ(s.get_field_size(L"X"), 0xFFFFFFFFu);
    EXPECT_EQ(s.get_field_type(L"X"), VT_NULL);

    t_ftd& empty = s.get_field1(L"X");
    EXPECT_EQ(empty.vartype, VT_EMPTY);
    EXPECT_TRUE(empty.name.empty());
    // A caller that writes into the answer of a miss does not change the next one.
    empty.name = L"scribbled";
    empty.size = 99;
    const t_ftd& again = s.get_field2(L"Y");
    EXPECT_TRUE(again.name.empty());
    EXPECT_EQ(again.size, 0u);
    EXPECT_EQ(again.dw_reserved, 0u);
    EXPECT_FALSE(again.b_not_null);
    EXPECT_EQ(s.size(), 1u);
}

TEST(udb_schema, comments)
{
    udb_schema s = make_schema({col(L"ID", VT_I4)});
    s.set_field_comment(L"id", L"key");
    EXPECT_EQ(s[0].comment, L"key");
    s.set_field_comment(L"ID", L"");
    EXPECT_EQ(s[0].comment, L"key");
    s.set_field_comment(L"missing", L"x");
    EXPECT_EQ(s[0].comment, L"key");
}

TEST(udb_schema, conformance_by_position)
{
    const udb_schema src = make_schema({col(L"ID", VT_I4), col(L"NAME", VT_BSTR, 20)});
    EXPECT_TRUE(src.conform_to(make_schema({col(L"X", VT_R8), col(L"Y", VT_BSTR, 30)})));
    // Same names, other order: types at a position differ.
    EXPECT_FALSE(src.conform_to(make_schema({col(L"NAME", VT_BSTR, 20), col(L"ID", VT_I4)})));
    EXPECT_FALSE(src.conform_to(make_schema({col(L"ID", VT_I4)})));
    EXPECT_FALSE(src.conform_to(make_schema({col(L"ID", VT_I4), col(L"NAME", VT_BSTR, 10)})));
    EXPECT_TRUE(udb_schema().conform_to(udb_schema()));
}

TEST(udb_schema, copies_share_descriptors_and_keep_them_alive)
{
    udb_schema copy;
    {
        udb_schema s = make_schema({col(L"ID", VT_I4)});
        s.seed = 5;
        copy = s;
        s[0].native_type = L"NUMBER(10)";
    }
    EXPECT_EQ(copy.seed, 5);
    EXPECT_EQ(copy[0].native_type, L"NUMBER(10)");
    EXPECT_THROW(copy.at(1), std::out_of_range);
}

TEST(udb_record, lookups_and_ownership)
{
    udb_record r;
    r.push_back(std::make_unique<udb_field>(L"ID", 4, ole_variant(7)));
    r.push_back(std::make_unique<udb_field>(L"NAME", 10, ole_variant(std::wstring(L"abc"))));
    EXPECT_TRUE(r.find_field(L"name"));
    EXPECT_FALSE(r.find_field(L"other"));
    udb_field& f = r.find_field(L"id", udb_record::field_ref);
    EXPECT_EQ(&f, r.fields[0].get());
    EXPECT_EQ(f.get_type(), VT_I4);
    EXPECT_EQ(f.to_long(), 7);

    udb_field& miss = r.find_field(L"other", udb_record::field_ref);
    EXPECT_EQ(miss.get_type(), VT_EMPTY);
    miss.name = L"scribbled";
    EXPECT_TRUE(r.find_field(L"none", udb_record::field_ref).name.empty());
    EXPECT_EQ(r.size(), 2u);

    r.clear();
    EXPECT_TRUE(r.empty());
}

TEST(udb_field, constructors_copy_value_name_and_size)
{
    const udb_field empty;
    EXPECT_EQ(empty.get_type(), VT_EMPTY);
    EXPECT_EQ(empty.size, 0);
    const udb_field f(L"AMOUNT", 8, ole_variant(2.5));
    udb_field g(f);
    EXPECT_EQ(g.name, L"AMOUNT");
    EXPECT_EQ(g.size, 8);
    EXPECT_EQ(g.get_type(), VT_R8);
    EXPECT_DOUBLE_EQ(g.to_double(), 2.5);
    udb_field h;
    h = f;
    EXPECT_EQ(h.name, L"AMOUNT");
    EXPECT_DOUBLE_EQ(h.to_double(), 2.5);
}

} // namespace
