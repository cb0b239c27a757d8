#include <gtest/gtest.h>

#include "UDB/t_ftd.h"

namespace {

t_ftd col(VARTYPE vt, uint32_t size = 0, const wchar_t* name = L"C")
{
    return t_ftd(size, name, vt, false, false, ole_variant(), 0, L"");
}

constexpr VARTYPE BIN = VT_ARRAY | VT_UI1;

struct conformance_case {
    VARTYPE src;
    uint32_t src_size;
    VARTYPE dest;
    uint32_t dest_size;
    bool expected;
};

TEST(t_ftd, conformance_table)
{
    const conformance_case cases[] = {
        // rule 1: currency and decimal both ways
        {VT_CY, 0, VT_DECIMAL, 0, true},
        {VT_DECIMAL, 0, VT_CY, 0, true},
        // rule 2: same type; text only with the same size
        {VT_I4, 0, VT_I4, 0, true},
        {VT_DATE, 0, VT_DATE, 0, true},
        {VT_BSTR, 50, VT_BSTR, 50, true},
        {VT_BSTR, 50, VT_BSTR, 0, true},
        {VT_BSTR, 50, VT_BSTR, 60, true},
        {VT_BSTR, 50, VT_BSTR, 40, false},
        // rule 3: numeric targets take numeric sources; VT_INT is not numeric
        {VT_INT, 0, VT_I4, 0, false},
        {VT_I8, 0, VT_I4, 0, true},
        {VT_BOOL, 0, VT_R8, 0, true},
        {VT_BSTR, 10, VT_I4, 0, false},
        {VT_DATE, 0, VT_R8, 0, false},
        // rule 4: dates from dates or 19-character texts
        {VT_BSTR, 19, VT_DATE, 0, true},
        {VT_BSTR, 20, VT_DATE, 0, false},
        {VT_I4, 0, VT_DATE, 0, false},
        // rule 5: boolean, decimal and the rest of the integers
        {VT_I8, 0, VT_INT, 0, true},
        {VT_I8, 0, VT_DECIMAL, 0, true},
        {VT_UI1, 0, VT_BOOL, 0, true},
        {VT_UINT, 0, VT_UI4, 0, false},
        {VT_BSTR, 5, VT_DECIMAL, 0, false},
        // rule 6: text targets
        {VT_I4, 0, VT_BSTR, 1, true},
        {VT_DATE, 0, VT_BSTR, 3, true},
        {VT_BLOB, 10, VT_BSTR, 0, false},
        {BIN, 10, VT_BSTR, 100, false},
        {VT_LPSTR, 10, VT_BSTR, 9, false},
        {VT_LPWSTR, 10, VT_LPSTR, 10, true},
        // rule 7: binary targets
        {BIN, 10, VT_BLOB, 10, true},
        {BIN, 10, VT_BLOB, 9, false},
        {VT_BSTR, 10, BIN, 0, true},
        {VT_BSTR, 10, BIN, 5, false},
        {VT_I4, 0, VT_BLOB_OBJECT, 1, true},
        // rule 8: anything else
        {VT_I4, 0, VT_EMPTY, 0, false},
        {VT_BSTR, 0, VT_NULL, 0, false},
        {VT_I4, 0, VT_VARIANT, 0, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(col(c.src, c.src_size).conform_to(col(c.dest, c.dest_size)), c.expected)
            << "src vt=" << c.src << " size=" << c.src_size << ", dest vt=" << c.dest << " size=" << c.dest_size;
    }
}

TEST(t_ftd, a_lob_column_takes_any_declared_size_of_its_kind)
{
    auto lob = [](VARTYPE vt, const wchar_t* type) {
        t_ftd d = col(vt, 4000); // the size a catalog reads back for a LOB
        d.native_type = type;
        return d;
    };
    const uint32_t max_text = 2147483647u, max_xml = 4294967295u;
    EXPECT_TRUE(col(VT_BSTR, max_text).conform_to(lob(VT_BSTR, L"CLOB")));
    EXPECT_TRUE(col(VT_BSTR, max_xml).conform_to(lob(VT_BSTR, L"NCLOB")));
    EXPECT_TRUE(col(BIN, max_text).conform_to(lob(BIN, L"BLOB")));
    // The kind still counts: no bytes into a character LOB.
    EXPECT_FALSE(col(BIN, max_text).conform_to(lob(VT_BSTR, L"CLOB")));
    // A text column of the same declared size is no LOB: the size limits it.
    EXPECT_FALSE(col(VT_BSTR, max_text).conform_to(lob(VT_BSTR, L"NVARCHAR2")));
    EXPECT_FALSE(col(VT_BSTR, max_text).conform_to(col(VT_BSTR, 4000)));
    // Date, time and offset text goes into a column with a time zone only.
    t_ftd dto = col(VT_BSTR, 34);
    dto.dw_reserved = t_ftd::hint_bstr_timestamp_tz;
    EXPECT_TRUE(dto.conform_to(lob(VT_DATE, L"TIMESTAMP(7) WITH TIME ZONE")));
    EXPECT_FALSE(dto.conform_to(lob(VT_DATE, L"")));
}

TEST(t_ftd, classes_of_types)
{
    for (VARTYPE vt :
         {VT_I2, VT_I4, VT_R4, VT_R8, VT_CY, VT_BOOL, VT_DECIMAL, VT_I1, VT_UI1, VT_UI2, VT_UI4, VT_I8, VT_UI8})
        EXPECT_TRUE(col(vt).is_numeric()) << vt;
    for (VARTYPE vt : {VT_EMPTY, VT_DATE, VT_BSTR, VT_INT, VT_UINT, VT_BLOB}) EXPECT_FALSE(col(vt).is_numeric()) << vt;
    for (VARTYPE vt : std::initializer_list<VARTYPE>{VT_BLOB, VT_BLOB_OBJECT, BIN})
        EXPECT_TRUE(col(vt).is_binary()) << vt;
    EXPECT_FALSE(col(VT_BSTR).is_binary());
    EXPECT_FALSE(col(VT_UI1).is_binary());
}

TEST(t_ftd, constructor_order_and_decimal_hint)
{
    const t_ftd d(7, L"AMOUNT", VT_DECIMAL, true, false, ole_variant(), t_ftd::decimal_hint(18, 4), L"decimal");
    EXPECT_EQ(d.size, 7u);
    EXPECT_EQ(d.name, L"AMOUNT");
    EXPECT_EQ(d.vartype, VT_DECIMAL);
    EXPECT_TRUE(d.b_not_null);
    EXPECT_FALSE(d.b_auto_num);
    EXPECT_EQ(d.dw_reserved, 0x1204u);
    EXPECT_EQ(d.native_type, L"decimal");
    EXPECT_TRUE(d.comment.empty());
    EXPECT_EQ(d.get_precision(), 18);
    EXPECT_EQ(col(VT_DECIMAL).get_precision(), 0);

    const t_ftd a(0, L"ID", VT_I4, false, true, ole_variant(), 0, L"int");
    EXPECT_TRUE(a.b_auto_num);
    EXPECT_FALSE(a.b_not_null);
}

TEST(t_ftd, copies_are_independent)
{
    t_ftd a = col(VT_BSTR, 10, L"A");
    t_ftd b = a;
    b.name = L"B";
    b.size = 20;
    EXPECT_EQ(a.name, L"A");
    EXPECT_EQ(a.size, 10u);
}

} // namespace
