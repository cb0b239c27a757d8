#include "OLE/ole_guid_extractor.h"

#include <gtest/gtest.h>

TEST(OleGuidExtractor, FindsTheBracedGuidAfterTheKeyword)
{
    const std::wstring guid = L"{6F9619FF-8B86-D011-B42D-00C04FC964FF}";
    const ole_guid_extractor lower(L"  guid " + guid + L"  ");
    ASSERT_TRUE(lower.valid);
    EXPECT_EQ(lower.get_guid(), guid);
    EXPECT_EQ(lower.get_hex_guid(), L"6F9619FF8B86D011B42D00C04FC964FF");
    EXPECT_EQ(lower.position, 5);

    const ole_guid_extractor upper(std::string("GUID") + "{6F9619FF-8B86-D011-B42D-00C04FC964FF}");
    ASSERT_TRUE(upper.valid);
    EXPECT_EQ(upper.get_guid(), guid);

    // Too short, too long, no keyword.
    EXPECT_FALSE(ole_guid_extractor(std::wstring(35, L'a')).valid);
    EXPECT_FALSE(ole_guid_extractor(L"guid " + guid + L"12345").valid);
    EXPECT_FALSE(ole_guid_extractor(L"uuid " + guid).valid);
    EXPECT_EQ(ole_guid_extractor(L"uuid " + guid).get_guid(), L"");
    EXPECT_EQ(ole_guid_extractor(L"uuid " + guid).get_hex_guid(), L"");

    // A brace that leaves fewer than 38 characters is no GUID, even when 36 remain.
    const ole_guid_extractor cut(L"guid {6F9619FF-8B86-D011-B42D-00C04FC964");
    EXPECT_FALSE(cut.valid);
    EXPECT_EQ(cut.get_guid(), L"");
    // Nor is one that is not closed where it should be.
    EXPECT_FALSE(ole_guid_extractor(L"guid {6F9619FF-8B86-D011-B42D-00C04FC964FF-").valid);
}
