#include <clocale>
#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    // Wide/narrow conversions inside printf need a UTF-8 character type;
    // numbers keep the "C" decimal point.
    if (!std::setlocale(LC_CTYPE, "C.UTF-8"))
        std::setlocale(LC_CTYPE, "");
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
