#include "OLE/ole_decimal_text.h"

#include <gtest/gtest.h>

TEST(OleDecimalText, CanonicalFormsAndRefusals)
{
    const std::pair<const wchar_t*, const wchar_t*> cases[] = {
        {L"-0012.500", L"-12.5"},
        {L"+.50", L"0.5"},
        {L"-0.000", L"0"},
        {L"000", L"0"},
        {L"7.", L"7"},
        {L"99999999999999999999999999999999999999", L"99999999999999999999999999999999999999"},
        {L"-9999999999999999999999999999.9999999999", L"-9999999999999999999999999999.9999999999"},
        {L"", L""},
        {L"-", L""},
        {L".", L""},
        {L"1e5", L""},
        {L" 1", L""},
        {L"1,5", L""},
        {L"1.2.3", L""},
        {L"0x10", L""},
    };
    for (const auto& [text, want] : cases)
        EXPECT_EQ(ole_canonical_decimal(text), want) << "text '" << std::wstring(text).size() << "'";
    EXPECT_TRUE(ole_is_canonical_decimal(L"-12.5"));
    EXPECT_FALSE(ole_is_canonical_decimal(L"-12.50"));
    EXPECT_FALSE(ole_is_canonical_decimal(L"012"));
    EXPECT_FALSE(ole_is_canonical_decimal(L""));
    EXPECT_FALSE(ole_is_canonical_decimal(L"-0"));
}
