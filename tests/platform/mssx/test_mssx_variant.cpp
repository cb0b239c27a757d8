// Stored sql_variant values read back with their base type: values stored
// before base types were kept, values stored with one, and damaged ones.
#include <gtest/gtest.h>
#include "platform/mssx/mssx_variant.h"

TEST(MssxVariant, StoredFormsReadBackWithTheirBaseType)
{
    struct read_case {
        const char* what;
        mssx_value stored;
        const char* base;
        const char* text;
    };
    const read_case cases[] = {
        {"plain integer", int64_t{42}, "int", "42"},
        {"plain large integer", int64_t{9000000000}, "bigint", "9000000000"},
        {"plain float", 0.1, "float", "0.1"},
        {"plain text", std::string("日本"), "nvarchar(2)", "日本"},
        {"plain bytes", mssx_blob{std::string("\x01\xFF", 2)}, "varbinary(2)", "01FF"},
        {"decimal", mssx_variant_store(mssx_make_type("decimal", {"38", "10"}), std::string("12.5"), "mdy"),
         "decimal(38,10)", "12.5000000000"},
        {"real", mssx_variant_store(mssx_make_type("real", {}), 0.1, "mdy"), "real", "0.1"},
        {"money", mssx_variant_store(mssx_make_type("money", {}), int64_t{3}, "mdy"), "money", "3.0000"},
        {"varchar", mssx_variant_store(mssx_make_type("varchar", {"5"}), std::string("ab"), "mdy"), "varchar(5)", "ab"},
        {"datetime2",
         mssx_variant_store(mssx_make_type("datetime2", {"7"}), std::string("2021-03-04 05:06:07.5"), "mdy"),
         "datetime2(7)", "2021-03-04 05:06:07.5000000"},
        {"damaged: unknown type after the mark",
         std::string("\x1Fnosuchtype\x1F"
                     "1"),
         "nvarchar(13)",
         "\x1Fnosuchtype\x1F"
         "1"},
        {"damaged: one mark only", std::string("\x1Fint"), "nvarchar(4)", "\x1Fint"},
    };
    for (const auto& c : cases) {
        auto v = mssx_variant_read(c.stored);
        ASSERT_TRUE(v) << c.what;
        EXPECT_EQ(v->base.sql_text(), c.base) << c.what;
        EXPECT_EQ(mssx_variant_text(c.stored), c.text) << c.what;
    }
    EXPECT_FALSE(mssx_variant_read(mssx_value{}));
    // the plain form is kept where it implies the base type, so the table compares it as before
    EXPECT_EQ(mssx_variant_store(mssx_make_type("int", {}), int64_t{7}, "mdy"), mssx_value(int64_t{7}));
    EXPECT_FALSE(mssx_variant_tagged(mssx_variant_store(mssx_make_type("nvarchar", {"3"}), std::string("abc"), "mdy")));
    EXPECT_TRUE(mssx_variant_tagged(mssx_variant_store(mssx_make_type("smallint", {}), int64_t{7}, "mdy")));
}
