// BSTR, SAFEARRAY and VARIANT ownership.
#include "platform/oleaut/oleauto.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

TEST(Bstr, AllocationKeepsLengthAndEmbeddedNuls)
{
    EXPECT_EQ(SysAllocString(nullptr), nullptr);
    EXPECT_EQ(SysStringLen(nullptr), 0u);
    EXPECT_EQ(SysStringByteLen(nullptr), 0u);
    SysFreeString(nullptr);

    BSTR a = SysAllocString(L"abc");
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(SysStringLen(a), 3u);
    EXPECT_EQ(SysStringByteLen(a), 3u * sizeof(OLECHAR));
    EXPECT_EQ(std::wstring(a), L"abc");

    const wchar_t with_nul[] = {L'x', L'\0', L'y'};
    BSTR b = SysAllocStringLen(with_nul, 3);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(SysStringLen(b), 3u);
    EXPECT_EQ(std::wstring(b, SysStringLen(b)), std::wstring(with_nul, 3));
    EXPECT_EQ(b[3], L'\0');

    BSTR z = SysAllocStringLen(nullptr, 4);
    ASSERT_NE(z, nullptr);
    EXPECT_EQ(SysStringLen(z), 4u);
    for (int i = 0; i <= 4; ++i) EXPECT_EQ(z[i], L'\0');

    // Reallocation from a part of the string itself.
    EXPECT_TRUE(SysReAllocStringLen(&a, a + 1, 2));
    EXPECT_EQ(std::wstring(a, SysStringLen(a)), L"bc");
    EXPECT_TRUE(SysReAllocString(&a, L"longer text"));
    EXPECT_EQ(std::wstring(a), L"longer text");
    EXPECT_EQ(SysStringLen(a), 11u);

    SysFreeString(a);
    SysFreeString(b);
    SysFreeString(z);
}

TEST(SafeArray, VectorBoundsRedimAndLocks)
{
    SAFEARRAY* psa = SafeArrayCreateVector(VT_UI1, 0, 3);
    ASSERT_NE(psa, nullptr);
    EXPECT_EQ(SafeArrayGetDim(psa), 1u);
    EXPECT_EQ(SafeArrayGetElemsize(psa), 1u);
    LONG lb = -1, ub = -1;
    EXPECT_EQ(SafeArrayGetLBound(psa, 1, &lb), S_OK);
    EXPECT_EQ(SafeArrayGetUBound(psa, 1, &ub), S_OK);
    EXPECT_EQ(lb, 0);
    EXPECT_EQ(ub, 2);
    EXPECT_EQ(SafeArrayGetUBound(psa, 2, &ub), DISP_E_BADINDEX);
    EXPECT_EQ(SafeArrayGetLBound(psa, 0, &lb), DISP_E_BADINDEX);

    void* data = nullptr;
    ASSERT_EQ(SafeArrayAccessData(psa, &data), S_OK);
    std::memcpy(data, "\x01\xAB\xFF", 3);
    SAFEARRAYBOUND grow{5, 0};
    EXPECT_EQ(SafeArrayRedim(psa, &grow), DISP_E_ARRAYISLOCKED);
    EXPECT_EQ(SafeArrayDestroy(psa), DISP_E_ARRAYISLOCKED);
    EXPECT_EQ(SafeArrayUnaccessData(psa), S_OK);
    EXPECT_EQ(SafeArrayUnaccessData(psa), E_UNEXPECTED);

    ASSERT_EQ(SafeArrayRedim(psa, &grow), S_OK);
    EXPECT_EQ(SafeArrayGetUBound(psa, 1, &ub), S_OK);
    EXPECT_EQ(ub, 4);
    const BYTE* bytes = static_cast<const BYTE*>(psa->pvData);
    const BYTE expect_grown[] = {0x01, 0xAB, 0xFF, 0, 0};
    EXPECT_EQ(std::memcmp(bytes, expect_grown, 5), 0);

    SAFEARRAYBOUND shrink{2, 1};
    ASSERT_EQ(SafeArrayRedim(psa, &shrink), S_OK);
    EXPECT_EQ(SafeArrayGetLBound(psa, 1, &lb), S_OK);
    EXPECT_EQ(SafeArrayGetUBound(psa, 1, &ub), S_OK);
    EXPECT_EQ(lb, 1);
    EXPECT_EQ(ub, 2);
    EXPECT_EQ(static_cast<const BYTE*>(psa->pvData)[1], 0xAB);
    EXPECT_EQ(SafeArrayDestroy(psa), S_OK);

    SAFEARRAY* empty = SafeArrayCreateVector(VT_UI1, 0, 0);
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(SafeArrayGetUBound(empty, 1, &ub), S_OK);
    EXPECT_EQ(ub, -1);
    SAFEARRAY* copy = nullptr;
    EXPECT_EQ(SafeArrayCopy(empty, &copy), S_OK);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->rgsabound[0].cElements, 0u);
    SafeArrayDestroy(copy);
    SafeArrayDestroy(empty);
}

TEST(SafeArray, CopyIsDeepForBytesAndStrings)
{
    SAFEARRAY* psa = SafeArrayCreateVector(VT_UI1, 0, 4);
    std::memcpy(psa->pvData, "\x10\x20\x30\x40", 4);
    SAFEARRAY* copy = nullptr;
    ASSERT_EQ(SafeArrayCopy(psa, &copy), S_OK);
    ASSERT_NE(copy->pvData, psa->pvData);
    static_cast<BYTE*>(copy->pvData)[0] = 0x99;
    EXPECT_EQ(static_cast<BYTE*>(psa->pvData)[0], 0x10);
    EXPECT_EQ(SafeArrayDestroy(copy), S_OK);
    EXPECT_EQ(SafeArrayDestroy(psa), S_OK);

    SAFEARRAY* strs = SafeArrayCreateVector(VT_BSTR, 0, 2);
    ASSERT_NE(strs, nullptr);
    BSTR s = SysAllocString(L"one");
    LONG idx = 1;
    ASSERT_EQ(SafeArrayPutElement(strs, &idx, s), S_OK);
    SysFreeString(s);
    SAFEARRAY* strs_copy = nullptr;
    ASSERT_EQ(SafeArrayCopy(strs, &strs_copy), S_OK);
    SafeArrayDestroy(strs);
    BSTR got = nullptr;
    ASSERT_EQ(SafeArrayGetElement(strs_copy, &idx, &got), S_OK);
    EXPECT_EQ(std::wstring(got), L"one");
    SysFreeString(got);
    idx = 2;
    EXPECT_EQ(SafeArrayGetElement(strs_copy, &idx, &got), DISP_E_BADINDEX);
    SafeArrayDestroy(strs_copy);

    VARTYPE vt = VT_EMPTY;
    SAFEARRAYBOUND two[2] = {{2, 0}, {3, 1}};
    SAFEARRAY* grid = SafeArrayCreate(VT_I4, 2, two);
    ASSERT_NE(grid, nullptr);
    EXPECT_EQ(SafeArrayGetVartype(grid, &vt), S_OK);
    EXPECT_EQ(vt, VT_I4);
    LONG ub = 0;
    EXPECT_EQ(SafeArrayGetUBound(grid, 1, &ub), S_OK);
    EXPECT_EQ(ub, 1);
    EXPECT_EQ(SafeArrayGetUBound(grid, 2, &ub), S_OK);
    EXPECT_EQ(ub, 3);
    LONG at[2] = {1, 3};
    LONG v = 42, back = 0;
    EXPECT_EQ(SafeArrayPutElement(grid, at, &v), S_OK);
    EXPECT_EQ(SafeArrayGetElement(grid, at, &back), S_OK);
    EXPECT_EQ(back, 42);
    EXPECT_EQ(static_cast<LONG*>(grid->pvData)[5], 42); // last element
    SafeArrayDestroy(grid);
}

TEST(Variant, ClearCopyAndBadTypes)
{
    VARIANT a;
    VariantInit(&a);
    EXPECT_EQ(a.vt, VT_EMPTY);
    const wchar_t with_nul[] = {L'p', L'\0', L'q'};
    a.vt = VT_BSTR;
    a.bstrVal = SysAllocStringLen(with_nul, 3);

    VARIANT b;
    VariantInit(&b);
    ASSERT_EQ(VariantCopy(&b, &a), S_OK);
    EXPECT_EQ(b.vt, VT_BSTR);
    EXPECT_NE(b.bstrVal, a.bstrVal);
    EXPECT_EQ(std::wstring(b.bstrVal, SysStringLen(b.bstrVal)), std::wstring(with_nul, 3));
    EXPECT_EQ(VariantCopy(&b, &b), S_OK);

    VARIANT d;
    VariantInit(&d);
    d.vt = VT_DECIMAL;
    d.decVal.scale = 4;
    d.decVal.sign = DECIMAL_NEG;
    d.decVal.Hi32 = 7;
    d.decVal.Lo64 = 0x0123456789ABCDEFull;
    d.vt = VT_DECIMAL;                    // wReserved and vt share the first word
    ASSERT_EQ(VariantCopy(&b, &d), S_OK); // frees b's old text
    EXPECT_EQ(b.vt, VT_DECIMAL);
    EXPECT_EQ(b.decVal.scale, 4);
    EXPECT_EQ(b.decVal.sign, DECIMAL_NEG);
    EXPECT_EQ(b.decVal.Hi32, 7u);
    EXPECT_EQ(b.decVal.Lo64, 0x0123456789ABCDEFull);

    VARIANT arr;
    VariantInit(&arr);
    arr.vt = VT_ARRAY | VT_UI1;
    arr.parray = SafeArrayCreateVector(VT_UI1, 0, 2);
    static_cast<BYTE*>(arr.parray->pvData)[0] = 7;
    ASSERT_EQ(VariantCopy(&b, &arr), S_OK);
    EXPECT_NE(b.parray, arr.parray);
    EXPECT_EQ(static_cast<BYTE*>(b.parray->pvData)[0], 7);

    EXPECT_EQ(VariantClear(&a), S_OK);
    EXPECT_EQ(a.vt, VT_EMPTY);
    EXPECT_EQ(VariantClear(&b), S_OK);
    EXPECT_EQ(VariantClear(&arr), S_OK);

    VARIANT bad;
    VariantInit(&bad);
    bad.vt = 0x0FFF;
    EXPECT_EQ(VariantClear(&bad), DISP_E_BADVARTYPE);
    EXPECT_EQ(VariantCopy(&b, &bad), DISP_E_BADVARTYPE);
}
