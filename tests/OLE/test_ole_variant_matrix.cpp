// change_type over every source and target the value type knows: which pairs
// convert (T), keep the value as it is (S) or are refused (X).
#include "OLE/ole_variant.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const VARTYPE targets[] = {VT_EMPTY, VT_NULL, VT_I1, VT_UI1, VT_I2, VT_UI2,     VT_I4,   VT_UI4,  VT_INT,  VT_UINT,
                           VT_I8,    VT_UI8,  VT_R4, VT_R8,  VT_CY, VT_DECIMAL, VT_BOOL, VT_DATE, VT_BSTR, VT_BLOB};

ole_variant of_type(VARTYPE vt)
{
    ole_variant v;
    switch (vt) {
    case VT_NULL:
        v.value.vt = VT_NULL;
        break;
    case VT_I1:
        v = ole_variant(static_cast<char>(5));
        break;
    case VT_UI1:
        v = ole_variant(static_cast<BYTE>(5));
        break;
    case VT_I2:
        v = ole_variant(static_cast<short>(5));
        break;
    case VT_UI2:
        v = ole_variant(static_cast<unsigned short>(5));
        break;
    case VT_I4:
        v = ole_variant(5);
        break;
    case VT_UI4:
        v = ole_variant(5u);
        break;
    case VT_INT:
        v = ole_variant(5);
        v.value.vt = VT_INT;
        break;
    case VT_UINT:
        v = ole_variant(5u);
        v.value.vt = VT_UINT;
        break;
    case VT_I8:
        v = ole_variant(5LL);
        break;
    case VT_UI8:
        v = ole_variant(5ULL);
        break;
    case VT_R4:
        v = ole_variant(5.0f);
        break;
    case VT_R8:
        v = ole_variant(5.0);
        break;
    case VT_CY: {
        CY cy{};
        cy.int64 = 50000;
        v = ole_variant(cy);
        break;
    }
    case VT_DECIMAL: {
        DECIMAL d{};
        VarDecFromStr(L"5", 1033, 0, &d);
        v = ole_variant(d);
        break;
    }
    case VT_BOOL:
        v = ole_variant(true);
        break;
    case VT_DATE: {
        SYSTEMTIME st{};
        st.wYear = 2016;
        st.wMonth = 1;
        st.wDay = 31;
        v = ole_variant(st);
        break;
    }
    case VT_BSTR:
        v = ole_variant(L"12");
        break;
    case VT_BLOB: {
        const BYTE b[] = {'1', '2'};
        v = ole_variant(b, 2);
        break;
    }
    default:
        break;
    }
    return v;
}

std::string outcomes(VARTYPE source)
{
    std::string row;
    for (VARTYPE target : targets) {
        ole_variant v = of_type(source);
        const VARTYPE before = v.value.vt;
        try {
            v.change_type(target);
        } catch (const ole_cast_exception&) {
            row += 'X';
            continue;
        }
        const VARTYPE want = ole_variant::is_binary(target) ? static_cast<VARTYPE>(VT_BYTE_ARRAY) : target;
        if (v.value.vt == before)
            row += 'S';
        else if (v.value.vt == want)
            row += 'T';
        else
            row += '?';
    }
    return row;
}

} // namespace

TEST(OleVariantChangeType, WholeMatrix)
{
    struct row {
        VARTYPE source;
        const char* expected; // EMPTY NULL I1 UI1 I2 UI2 I4 UI4 INT UINT I8 UI8 R4 R8 CY DEC BOOL DATE BSTR BLOB
    };
    const row rows[] = {
        {VT_EMPTY, "SSSSSSSSSSSSSSSSSSSS"},   {VT_NULL, "SSSSSSSSSSSSSSSSSSSS"}, {VT_I1, "TTSTSSSSTTTTTTTTTXTT"},
        {VT_UI1, "TTTSSSSSTTTTTTTTTXTT"},     {VT_I2, "TTTTSSSSTTTTTTTTTXTT"},   {VT_UI2, "TTTTSSSSTTTTTTTTTXTT"},
        {VT_I4, "TTTTSSSSTTTTTTTTTXTT"},      {VT_UI4, "TTTTSSSSTTTTTTTTTXTT"},  {VT_INT, "TTTTSSSSSTTTTTTTTXTT"},
        {VT_UINT, "TTTTSSSSTSTTTTTTTXTT"},    {VT_I8, "XXTTTTTTTTSTTTTTTXTX"},   {VT_UI8, "XXTTTTTTTTTSTTTTTXTX"},
        {VT_R4, "TTTTTTTTTTTTSTTTTXTT"},      {VT_R8, "TTTTTTTTTTTTTSTTTXTT"},   {VT_CY, "TTTTSSSSTTTTTTSTTXTT"},
        {VT_DECIMAL, "TTTTTTTTTTTTTTTSTXTT"}, {VT_BOOL, "TTTTSSSSTTTTTTTTSXTT"}, {VT_DATE, "XXXXXXXXXXXXXXXXXSTX"},
        {VT_BSTR, "TTTTSSSSTTXXTTTTTXST"},    {VT_BLOB, "SSSSSSSSSSXXSSSSSXTS"}, // rules 4 and 6 come before the binary
                                                                                 // rule
    };
    for (const row& r : rows) EXPECT_EQ(outcomes(r.source), r.expected) << "source vt " << r.source;
}
