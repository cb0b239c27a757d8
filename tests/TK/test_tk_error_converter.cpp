#include <gtest/gtest.h>

#include "TK/tk_error_converter.h"
#include "TK/tk_exception.h"

TEST(TkErrorConverter, FirstTextWinsAndUnknownIsEmpty)
{
    const tk_error_entry table[] = {{0x100000 | 942, "table or view does not exist"},
                                    {0x80000 | 0x0E37, "object not found"},
                                    {0x100000 | 942, "second text"}};
    tk_error_converter conv(3, table);
    EXPECT_EQ(conv.convert(0x100000 | 942), "table or view does not exist");
    EXPECT_EQ(conv.convert(static_cast<int>(0x80000u | 0x0E37u)), "object not found");
    EXPECT_EQ(conv.convert(12345), "");
    conv.load_map(0, table);
    const tk_error_entry more[] = {{7, "seven"}};
    conv.load_map(1, more);
    EXPECT_EQ(conv.convert(7), "seven");
    try {
        conv.load_map(1, nullptr);
        FAIL();
    } catch (const tk_mail_assertion& e) {
        EXPECT_EQ(e.message, make_err_meggase("tk_errco", 43));
    }
}
