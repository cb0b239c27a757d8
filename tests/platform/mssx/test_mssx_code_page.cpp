// Code pages of char types and UTF-16 counting of nchar types.
#include <gtest/gtest.h>
#include "platform/mssx/mssx_code_page.h"

TEST(MssxCodePage, CollationsNameTheirPage)
{
    const std::pair<const char*, int> cases[] = {
        {"", 1252},
        {"SQL_Latin1_General_CP1_CI_AS", 1252},
        {"Latin1_General_100_CS_AS", 1252},
        {"Cyrillic_General_CI_AS", 1251},
        {"SQL_Latin1_General_CP1251_CS_AS", 1251},
        {"Greek_CI_AS", 1253},
        {"Polish_CS_AS", 1250},
        {"Japanese_CI_AS", 932},
        {"Chinese_PRC_CI_AS", 936},
        {"Korean_Wansung_CI_AS", 949},
        {"Chinese_Taiwan_Stroke_CI_AS", 950},
        {"Thai_CI_AS", 874},
        {"SQL_Latin1_General_CP437_BIN", 437},
        {"Latin1_General_100_CI_AS_SC_UTF8", 65001},
    };
    for (const auto& [name, page] : cases) EXPECT_EQ(mssx_code_page_of(name), page) << name;
}

TEST(MssxCodePage, CharactersThePageLacksBecomeQuestionMarks)
{
    struct fit_case {
        const char* text;
        int page;
        const char* stored;
        size_t bytes;
    };
    const fit_case cases[] = {
        {"plain", 1252, "plain", 5},
        {"caf\xC3\xA9 \xE2\x82\xAC", 1252, "caf\xC3\xA9 \xE2\x82\xAC", 6}, // café €
        {"\xCE\xA9mega", 1252, "?mega", 5},                                // Ωmega
        {"\xF0\x9F\x98\x80", 1252, "?", 1},                                // 😀
        {"\xD0\x9F\xCE\xA9", 1251, "\xD0\x9F?", 2},                        // ПΩ
        {"\xE6\x97\xA5\xE6\x9C\xAC", 932, "\xE6\x97\xA5\xE6\x9C\xAC", 4},  // 日本
        {"\xE6\x97\xA5\xF0\x9F\x98\x80", 65001, "\xE6\x97\xA5\xF0\x9F\x98\x80", 7},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(mssx_fit_code_page(c.text, c.page), c.stored) << c.text;
        EXPECT_EQ(mssx_code_page_length(mssx_fit_code_page(c.text, c.page), c.page), c.bytes) << c.text;
    }
}

TEST(MssxCodePage, BytesOfThePageAndBack)
{
    EXPECT_EQ(mssx_to_code_page("\xC3\xA9\xE2\x82\xAC", 1252), "\xE9\x80");
    EXPECT_EQ(mssx_from_code_page("\xE9\x80", 1252), "\xC3\xA9\xE2\x82\xAC");
    EXPECT_EQ(mssx_to_code_page("\xD0\x9F", 1251), "\xCF");
    EXPECT_EQ(mssx_from_code_page("\xCF", 1251), "\xD0\x9F");
    // a lone lead byte of a double-byte page is no character
    EXPECT_EQ(mssx_from_code_page("A\x93", 932), "A?");
}

TEST(MssxCodePage, Utf16UnitsAndBytes)
{
    EXPECT_EQ(mssx_utf16_length("a\xF0\x9F\x98\x80\xC3\xA9"), 4u);
    EXPECT_EQ(mssx_utf16le_of("A\xF0\x9F\x98\x80"), std::string("A\0\x3D\xD8\x00\xDE", 6));
    EXPECT_EQ(mssx_utf8_of_utf16le(std::string("A\0\x3D\xD8\x00\xDE", 6)), "A\xF0\x9F\x98\x80");
    // an odd last byte is left out, a lone surrogate is no character
    EXPECT_EQ(mssx_utf8_of_utf16le(std::string("A\0B", 3)), "A");
    EXPECT_EQ(mssx_utf8_of_utf16le(std::string("\x3D\xD8", 2)), "\xEF\xBF\xBD");
}
