#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "platform/mssx/mssx_error.h"
#include "platform/mssx/mssx_value.h"

namespace {
mssx_type T(const std::string& n, std::vector<std::string> a = {}) { return mssx_make_type(n, a); }
std::string stored(const mssx_type& t, const mssx_value& v, const std::string& fmt = "mdy")
{
    return mssx_text(t, mssx_convert(t, v, fmt));
}
int error_of(const mssx_type& t, const mssx_value& v)
{
    try {
        mssx_convert(t, v, "mdy");
    } catch (const mssx_error& e) {
        return e.number;
    }
    return 0;
}
} // namespace

TEST(MssxValues, ExactDecimalsKeepEveryDigit)
{
    auto d38 = T("decimal", {"38", "0"});
    EXPECT_EQ(stored(d38, std::string("99999999999999999999999999999999999999")),
              "99999999999999999999999999999999999999");
    EXPECT_EQ(stored(d38, std::string("-99999999999999999999999999999999999999")),
              "-99999999999999999999999999999999999999");
    EXPECT_EQ(error_of(d38, std::string("100000000000000000000000000000000000000")), 8115);
    auto d10 = T("decimal", {"10", "2"});
    EXPECT_EQ(stored(d10, std::string("-12.5")), "-12.50");
    EXPECT_EQ(stored(d10, std::string("0.005")), "0.01"); // half away from zero
    EXPECT_EQ(stored(d10, std::string("-0.005")), "-0.01");
    EXPECT_EQ(stored(d10, int64_t(7)), "7.00");
    EXPECT_EQ(error_of(d10, std::string("abc")), 8114);
    auto d38s = T("numeric", {"38", "10"});
    EXPECT_EQ(stored(d38s, std::string("1234567890123456789012345678.0123456789")),
              "1234567890123456789012345678.0123456789");
}

TEST(MssxValues, MoneyRangeAndText)
{
    auto m = T("money");
    EXPECT_EQ(stored(m, std::string("32.38")), "32.3800");
    EXPECT_EQ(stored(m, std::string("922337203685477.5807")), "922337203685477.5807");
    EXPECT_EQ(stored(m, std::string("-922337203685477.5808")), "-922337203685477.5808");
    EXPECT_EQ(error_of(m, std::string("922337203685477.5808")), 8115);
    EXPECT_EQ(stored(T("smallmoney"), std::string("214748.3647")), "214748.3647");
    EXPECT_EQ(error_of(T("smallmoney"), std::string("214748.3648")), 8115);
}

TEST(MssxValues, IntegersCheckTheirRanges)
{
    EXPECT_EQ(stored(T("int"), std::string("2147483647")), "2147483647");
    EXPECT_EQ(error_of(T("int"), int64_t(2147483648LL)), 8115);
    EXPECT_EQ(error_of(T("tinyint"), int64_t(256)), 220);
    EXPECT_EQ(error_of(T("smallint"), int64_t(-32769)), 220);
    EXPECT_EQ(stored(T("bigint"), std::string("-9223372036854775808")), "-9223372036854775808");
    EXPECT_EQ(error_of(T("int"), std::string("12x")), 245);
    EXPECT_EQ(stored(T("bit"), int64_t(5)), "1");
    EXPECT_EQ(stored(T("bit"), std::string("false")), "0");
}

TEST(MssxValues, FloatsShowEnoughDigitsToRoundTrip)
{
    EXPECT_EQ(stored(T("float"), std::string("0.1")), "0.10000000000000001");
    EXPECT_EQ(stored(T("real"), std::string("0.1")), "0.100000001");
}

TEST(MssxValues, DatetimeRoundsToThreeHundredthsOfASecond)
{
    auto dt = T("datetime");
    EXPECT_EQ(stored(dt, std::string("7/4/1996")), "1996-07-04 00:00:00");
    EXPECT_EQ(stored(dt, std::string("19970101 23:59:59.999")), "1997-01-02 00:00:00");
    EXPECT_EQ(stored(dt, std::string("2001-01-31 10:20:30.002")), "2001-01-31 10:20:30.003");
    EXPECT_EQ(stored(dt, std::string("2001-01-31 10:20:30.005")), "2001-01-31 10:20:30.007");
    EXPECT_EQ(stored(dt, std::string("04/07/1996"), "dmy"), "1996-07-04 00:00:00");
    EXPECT_EQ(error_of(dt, std::string("not a date")), 241);
    EXPECT_EQ(error_of(dt, std::string("1700-01-01")), 242);
    EXPECT_EQ(error_of(dt, std::string("2/30/2001")), 241);
    EXPECT_EQ(stored(T("smalldatetime"), std::string("2001-01-31 10:20:29.999")), "2001-01-31 10:21:00");
}

TEST(MssxValues, NewDateAndTimeTypesKeepTheirPrecision)
{
    EXPECT_EQ(stored(T("datetime2", {"7"}), std::string("2001-01-31T10:20:30.1234567")), "2001-01-31 10:20:30.1234567");
    EXPECT_EQ(stored(T("datetime2", {"2"}), std::string("2001-01-31 10:20:30.125")), "2001-01-31 10:20:30.13");
    EXPECT_EQ(stored(T("date"), std::string("2001-01-31")), "2001-01-31");
    EXPECT_EQ(stored(T("time", {"3"}), std::string("23:59:58.1234")), "23:59:58.123");
    EXPECT_EQ(stored(T("datetimeoffset", {"0"}), std::string("2001-01-31 10:20:30 -05:30")),
              "2001-01-31 10:20:30 -05:30");
}

TEST(MssxValues, StringsPadTruncateAndRefuse)
{
    EXPECT_EQ(stored(T("nchar", {"5"}), std::string("ab")), "ab   ");
    EXPECT_EQ(stored(T("nvarchar", {"3"}), std::string("äöü")), "äöü"); // characters, not bytes
    EXPECT_EQ(error_of(T("nvarchar", {"3"}), std::string("abcd")), 8152);
    EXPECT_EQ(stored(T("varchar", {"3"}), std::string("abc   ")), "abc"); // trailing blanks are cut silently
    EXPECT_EQ(stored(T("nvarchar", {"max"}), std::string(100000, 'x')).size(), 100000u);
    EXPECT_EQ(error_of(T("varbinary", {"2"}), mssx_blob{"abc"}), 8152);
    EXPECT_EQ(error_of(T("varbinary", {"8"}), std::string("abc")), 257);
    EXPECT_EQ(stored(T("binary", {"4"}), mssx_blob{std::string("\x01\x02", 2)}), "01020000");
}

TEST(MssxValues, GuidsAreCanonical)
{
    auto g = T("uniqueidentifier");
    EXPECT_EQ(stored(g, std::string("{6f9619ff-8b86-d011-b42d-00c04fc964ff}")),
              "{6F9619FF-8B86-D011-B42D-00C04FC964FF}");
    EXPECT_EQ(error_of(g, std::string("6f9619ff-8b86")), 8169);
    EXPECT_EQ(mssx_new_guid().size(), 36u);
}

TEST(MssxValues, TypeNamesAndLimits)
{
    EXPECT_EQ(T("NVARCHAR", {"40"}).sql_text(), "nvarchar(40)");
    EXPECT_EQ(T("decimal").sql_text(), "decimal(18,0)");
    EXPECT_EQ(T("varchar", {"max"}).length, -1);
    EXPECT_THROW(T("nvarchar", {"4001"}), mssx_error);
    EXPECT_THROW(T("decimal", {"39", "0"}), mssx_error);
    EXPECT_THROW(T("nosuchtype"), mssx_error);
    EXPECT_EQ(T("float", {"10"}).name, "real");
}

// The text of a float or of a decimal held as a double is exactly printf's
// ("%.17g", "%.9g" for real, "%.<scale>f" for decimals, without "-" on a zero),
// bit pattern after bit pattern, ties and extremes included.
TEST(MssxValues, TextOfDoublesIsPrintfsToTheLastDigit)
{
    auto printf_text = [](const char* format, int digits, double d) {
        char buf[80];
        std::snprintf(buf, sizeof buf, format, digits, d);
        return std::string(buf);
    };
    const mssx_type flt = T("float"), real = T("real"), money = T("money"), d94 = T("decimal", {"9", "4"}),
                    d150 = T("decimal", {"15", "0"}), d382 = T("decimal", {"38", "2"});
    std::vector<double> values = {
        0.0,   -0.0,    0.5,      1.5,    2.5,    -2.5,  0.125,   0.375,   1e15, -1e15, 0.05,
        0.005, 1.00005, -0.00004, 1e-310, 5e-324, 1e308, DBL_MAX, DBL_MIN, 1e22, 1e23,  123456789.123456789,
        0.1,   1.0 / 3, -1.0 / 3};
    std::mt19937_64 gen(23);
    for (int i = 0; i < 20000; ++i) {
        const uint64_t bits = gen();
        double d = 0;
        std::memcpy(&d, &bits, sizeof d);
        values.push_back(std::isfinite(d) ? d : static_cast<double>(static_cast<int64_t>(bits)) / 1e4);
        // Amounts with four places as a decimal column holds them.
        values.push_back(static_cast<double>(static_cast<int64_t>(gen() % 2000000000000) - 1000000000000) / 1e4);
    }
    for (double d : values) {
        EXPECT_EQ(mssx_text(flt, d), printf_text("%.*g", 17, d)) << d;
        EXPECT_EQ(mssx_text(real, d), printf_text("%.*g", 9, d)) << d;
        for (const mssx_type* t : {&money, &d94, &d150, &d382}) {
            std::string want = printf_text("%.*f", t->scale, d);
            if (want[0] == '-' && want.find_first_not_of("-0.") == std::string::npos) want.erase(0, 1);
            EXPECT_EQ(mssx_text(*t, d), want) << d << " scale " << t->scale;
        }
    }
}
