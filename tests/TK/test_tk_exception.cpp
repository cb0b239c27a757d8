#include <gtest/gtest.h>

#include "TK/tk_exception.h"
#include "platform/win32/win_error.h"

namespace {
// A subclass of another layer: it sets its own code space.
class layer_exception : public tk_exception {
public:
    explicit layer_exception(uint32_t c) : tk_exception("layer", 0) { code = 0x100000 | c; }
};
} // namespace

TEST(TkException, TextsLevelsAndCodes)
{
    tk_exception by_level(1);
    EXPECT_STREQ(by_level.what(), "Unknown exception");
    EXPECT_EQ(by_level.code, 0u);
    EXPECT_EQ(by_level.level, 1);
    EXPECT_STREQ(tk_exception(std::string(), 0).what(), "Unknown exception");
    EXPECT_STREQ(tk_exception(std::wstring(), 0).what(), "");
    tk_exception wide(L"Caf\u00e9 \u4e2d", 2);
    EXPECT_EQ(wide.message, "Caf\xc3\xa9 \xe4\xb8\xad");
    EXPECT_EQ(wide.level, 2);
    tk_exception copy = wide;
    EXPECT_EQ(copy.message, wide.message);
    EXPECT_EQ(copy.level, 2);
}

TEST(TkException, MailAssertionEncodesUnitAndLine)
{
    tk_mail_assertion a("tk_threa", 92);
    EXPECT_EQ(a.level, 2);
    EXPECT_EQ(a.code, 0u);
    EXPECT_EQ(a.message, "Internal error: \ncode=746b5f74687265615c3932");
    EXPECT_EQ(make_err_meggase("..\\TK/tk_singl", 71), "Internal error: \ncode=2e2e5c544b2f746b5f73696e676c5c3731");
    // An over-long unit is cut to the 276-character location, not overflowed.
    std::string unit(400, 'a');
    EXPECT_EQ(make_err_meggase(unit.c_str(), 1).size(), std::string("Internal error: \ncode=").size() + 2 * 275);
}

TEST(TkException, ExFillsFromTheLastError)
{
    SetLastError(ERROR_FILE_NOT_FOUND);
    tk_exception_ex e("P: ", 0);
    EXPECT_EQ(e.code, 2u);
    EXPECT_EQ(e.level, 0);
    EXPECT_EQ(e.message, "P: The system cannot find the file specified.\r\n");
    SetLastError(0x4321);
    tk_exception_ex unknown;
    EXPECT_EQ(unknown.code, 0x4321u);
    EXPECT_EQ(unknown.level, 1);
    EXPECT_EQ(unknown.message, "Unknown exception");
}

TEST(TkException, RethrowKeepsTheDynamicType)
{
    try {
        try {
            throw layer_exception(942);
        } catch (tk_exception&) {
            throw;
        }
    } catch (layer_exception& e) {
        EXPECT_EQ(e.code, 0x100000u | 942u);
    }
    bool caught_as_tk = false;
    bool caught_final = false;
    try {
        try {
            throw tk_final_exception();
        } catch (tk_exception&) {
            caught_as_tk = true;
        }
    } catch (tk_final_exception&) {
        caught_final = true;
    }
    EXPECT_FALSE(caught_as_tk);
    EXPECT_TRUE(caught_final);
}
