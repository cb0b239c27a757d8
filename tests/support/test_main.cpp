#include <gtest/gtest.h>
#include <clocale>
#include <cstdlib>

int main(int argc, char** argv)
{
    // Wide/narrow conversions inside printf need a UTF-8 character type;
    // numbers keep the "C" decimal point.
    if (!std::setlocale(LC_CTYPE, "C.UTF-8")) std::setlocale(LC_CTYPE, "");
    // Where the test data and the shared fixtures are, unless the caller says
    // otherwise; a test program started by hand finds them too.
    setenv("TVX_TEST_DATA", TVX_TEST_DATA_DIR, 0);
    setenv("TVX_FIXTURES", TVX_FIXTURES_DIR, 0);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
