#include "MSS/odb_text_value.h"
#include "same_value.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <limits>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include "OLE/ole_date.h"

namespace {

// What the general parsers make of the text: the reading to match.
ole_variant general(odb_text_form form, VARTYPE vt, const std::wstring& text)
{
    if (form == odb_text_form::date_time || form == odb_text_form::time_of_day) return ole_date(text).to_variant();
    return ole_variant::from_wstring(text, vt);
}

// Reads the text both ways; true when the plain reading took it.
bool same_both_ways(odb_text_form form, VARTYPE vt, const std::wstring& text)
{
    ole_variant fast;
    if (!odb_read_text(form, vt, text.data(), text.size(), fast)) {
        EXPECT_EQ(fast.value.vt, VT_EMPTY) << "a refused text left a value behind";
        return false;
    }
    const ole_variant ref = general(form, vt, text);
    EXPECT_TRUE(same_value(fast, ref)) << "vt " << vt << " text '" << std::string(text.begin(), text.end())
                                       << "'\n plain:   " << value_bits(fast) << "\n general: " << value_bits(ref);
    return true;
}

void expect_taken(odb_text_form form, VARTYPE vt, const std::vector<std::wstring>& texts)
{
    for (const std::wstring& t : texts) EXPECT_TRUE(same_both_ways(form, vt, t)) << std::string(t.begin(), t.end());
}

void expect_refused(odb_text_form form, VARTYPE vt, const std::vector<std::wstring>& texts)
{
    for (const std::wstring& t : texts) EXPECT_FALSE(same_both_ways(form, vt, t)) << std::string(t.begin(), t.end());
}

std::wstring wide(const std::string& s) { return std::wstring(s.begin(), s.end()); }

std::wstring printed(const char* format, double v)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, format, v);
    return wide(buf);
}

template <typename T>
void integer_limits(VARTYPE vt)
{
    const long long lo = std::numeric_limits<T>::min(), hi = std::numeric_limits<T>::max();
    expect_taken(odb_text_form::integer, vt,
                 {wide(std::to_string(lo)), wide(std::to_string(hi)), L"0", L"-0", L"1", L"007"});
    // Beyond the type: the general reading decides (it refuses them).
    expect_refused(odb_text_form::integer, vt, {wide(std::to_string(lo - 1)), wide(std::to_string(hi + 1))});
}

} // namespace

TEST(OdbTextValue, IntegersAsTheGeneralParserReadsThem)
{
    integer_limits<signed char>(VT_I1);
    integer_limits<unsigned char>(VT_UI1);
    integer_limits<short>(VT_I2);
    integer_limits<unsigned short>(VT_UI2);
    integer_limits<int>(VT_I4);
    expect_taken(odb_text_form::integer, VT_I8,
                 {L"999999999999999999", L"-999999999999999999", L"-1", L"0", L"4294967296"});
    // Nineteen digits and more, and anything but plain digits, go the general way.
    expect_refused(odb_text_form::integer, VT_I8,
                   {L"9223372036854775807", L"-9223372036854775808", L"1000000000000000000", L"+1", L" 1", L"1 ",
                    L"12abc", L"1.0", L"1e3", L"-", L"", L"0x10", L"١"});
    std::mt19937_64 gen(7);
    for (int i = 0; i < 2000; ++i) {
        const long long v = static_cast<long long>(gen()) >> (gen() % 63);
        EXPECT_EQ(same_both_ways(odb_text_form::integer, VT_I8, wide(std::to_string(v))),
                  std::llabs(v) < 1000000000000000000LL);
        same_both_ways(odb_text_form::integer, VT_I4, wide(std::to_string(v >> 32)));
    }
}

TEST(OdbTextValue, FloatsKeepEveryBitAndTheSignOfZero)
{
    const double doubles[] = {0.0,
                              -0.0,
                              DBL_MAX,
                              -DBL_MAX,
                              DBL_MIN,
                              -DBL_MIN,
                              std::numeric_limits<double>::denorm_min(),
                              1e-310,
                              0.1,
                              1.0 / 3,
                              std::numbers::pi,
                              1e22,
                              1e23,
                              123456789012345678.0,
                              5e-324,
                              1.7976931348623157e308};
    for (double d : doubles) {
        // The provider writes floats with 17 significant digits.
        const std::wstring text = printed("%.17g", d);
        EXPECT_TRUE(same_both_ways(odb_text_form::real, VT_R8, text)) << std::string(text.begin(), text.end());
        same_both_ways(odb_text_form::real, VT_R8, printed("%.15g", d));
        same_both_ways(odb_text_form::real, VT_R8, printed("%.3f", d));
        same_both_ways(odb_text_form::real, VT_R8, printed("%.20E", d));
    }
    const float floats[] = {0.0f,     -0.0f,       FLT_MAX,
                            -FLT_MAX, FLT_MIN,     std::numeric_limits<float>::denorm_min(),
                            0.1f,     16777217.0f, 3.4028235e38f};
    for (float f : floats) EXPECT_TRUE(same_both_ways(odb_text_form::real, VT_R4, printed("%.9g", f)));
    std::mt19937_64 gen(11);
    for (int i = 0; i < 5000; ++i) {
        const uint64_t bits = gen();
        double d = 0;
        std::memcpy(&d, &bits, sizeof d);
        if (!std::isfinite(d)) continue;
        EXPECT_TRUE(same_both_ways(odb_text_form::real, VT_R8, printed("%.17g", d)));
        same_both_ways(odb_text_form::real, VT_R4, printed("%.9g", static_cast<float>(d)));
    }
    // A float text above the float range, and forms the provider does not write.
    expect_refused(odb_text_form::real, VT_R4, {L"3.5e38", L"1e39"});
    expect_refused(odb_text_form::real, VT_R8,
                   {L"inf", L"-inf", L"nan", L"1e999", L"1,5", L"1.", L".5", L"+1", L" 1", L"1e", L"1e+", L"0x1p3",
                    L"12abc", L"", L"-"});
}

TEST(OdbTextValue, MoneyAsTheGeneralParserReadsIt)
{
    expect_taken(odb_text_form::currency, VT_CY,
                 {L"922337203685477.5807", L"-922337203685477.5807", L"0.0000", L"-0.0000", L"-0.0001", L"12.5", L"12",
                  L"214748.3647", L"-214748.3648", L"0.0100"});
    // The most negative amount, places beyond four and out-of-range amounts go the general way.
    expect_refused(odb_text_form::currency, VT_CY,
                   {L"-922337203685477.5808", L"922337203685477.5808", L"1.00005", L"1e3", L"99999999999999999999",
                    L"1,000.00", L"$1"});
    std::mt19937_64 gen(13);
    for (int i = 0; i < 2000; ++i) {
        const long long v = static_cast<long long>(gen()) >> (gen() % 63);
        const unsigned long long a = v < 0 ? 0ULL - static_cast<unsigned long long>(v) : v;
        char buf[48];
        std::snprintf(buf, sizeof buf, "%s%llu.%04llu", v < 0 ? "-" : "", a / 10000, a % 10000);
        EXPECT_TRUE(same_both_ways(odb_text_form::currency, VT_CY, wide(buf))) << buf;
    }
}

TEST(OdbTextValue, DecimalsUpTo28DigitsExactlyWithTheirScale)
{
    std::vector<std::wstring> texts = {L"0",
                                       L"-0",
                                       L"0.00",
                                       L"-0.0000",
                                       L"00012.3400",
                                       L"-12.50",
                                       L"0.0000000000000000000000000001",
                                       L"000000000000000000000000000000001.5"};
    // Twenty-eight nines at every scale, both signs.
    for (int scale = 0; scale <= 28; ++scale) {
        std::wstring t(28, L'9');
        if (scale == 28)
            t = L"0." + t;
        else if (scale > 0)
            t.insert(t.size() - static_cast<size_t>(scale), 1, L'.');
        texts.push_back(t);
        texts.push_back(L"-" + t);
    }
    expect_taken(odb_text_form::decimal, VT_DECIMAL, texts);
    // More digits than 28 (up to a numeric(38)'s) are read by the general way,
    // which keeps beyond-DECIMAL values as exact text.
    expect_refused(odb_text_form::decimal, VT_DECIMAL,
                   {L"99999999999999999999999999999", L"99999999999999999999999999999999999999",
                    L"0.00000000000000000000000000001", L"1.0000000000000000000000000000",
                    L"-9999999999999999999.9999999999999999999", L"1e5", L"1.", L".5", L"1,5"});
    std::mt19937_64 gen(17);
    for (int i = 0; i < 2000; ++i) {
        const int digits = 1 + static_cast<int>(gen() % 28);
        std::wstring t;
        for (int k = 0; k < digits; ++k) t += static_cast<wchar_t>(L'0' + gen() % 10);
        const int scale = static_cast<int>(gen() % static_cast<unsigned>(digits + 1));
        if (scale == digits)
            t = L"0." + t;
        else if (scale > 0)
            t.insert(t.size() - static_cast<size_t>(scale), 1, L'.');
        if (gen() % 2) t = L"-" + t;
        EXPECT_TRUE(same_both_ways(odb_text_form::decimal, VT_DECIMAL, t));
    }
}

TEST(OdbTextValue, DatesAndTimestampsAtTheLimits)
{
    expect_taken(
        odb_text_form::date_time, VT_DATE,
        {L"0001-01-01", L"9999-12-31", L"0001-01-01 00:00:00", L"9999-12-31 23:59:59.9999999",
         L"9999-12-31 23:59:59.997", L"1899-12-30 00:00:00", L"1899-12-29 23:59:59.999", L"1900-01-01 00:00:00.003",
         L"2024-02-29 12:00:00.5", L"0099-12-31 10:00:00", L"0100-01-01", L"1753-01-01 00:00:00",
         L"2079-06-06 23:59:00", L"2024-01-01 00:00:00.000", L"2024-01-01 00:00:00.0001"});
    expect_refused(
        odb_text_form::date_time, VT_DATE,
        {L"2024-1-5", L"2024-13-01", L"2024-00-10", L"2024-01-00", L"2024-01-32", L"0000-01-01", L"2024-01-01T00:00:00",
         L"12:34:56", L"2024-01-01 24:00:00", L"2024-01-01 23:60:00", L"2024-01-01 23:59:60", L"2024-01-01 00:00:00.",
         L"2024-01-01 00:00:00.5x", L"2024-01-01 00:00", L"20240101", L"2024-01-01 +01:00", L"01/02/2024", L""});
    std::mt19937 gen(19);
    for (int i = 0; i < 2000; ++i) {
        char buf[64];
        const int places = static_cast<int>(gen() % 8);
        auto pick = [&](unsigned n) { return static_cast<unsigned>(gen() % n); };
        int n = std::snprintf(buf, sizeof buf, "%04u-%02u-%02u %02u:%02u:%02u", 1 + pick(9999), 1 + pick(12),
                              1 + pick(28), pick(24), pick(60), pick(60));
        if (places > 0) {
            buf[n++] = '.';
            for (int k = 0; k < places; ++k) buf[n++] = static_cast<char>('0' + gen() % 10);
            buf[n] = '\0';
        }
        EXPECT_TRUE(same_both_ways(odb_text_form::date_time, VT_DATE, wide(buf))) << buf;
    }
}

TEST(OdbTextValue, TimesOfDayWithEveryFractionDigit)
{
    expect_taken(odb_text_form::time_of_day, VT_DATE,
                 {L"00:00:00", L"23:59:59", L"23:59:59.9999999", L"12:34:56.1", L"00:00:00.0000001",
                  L"13:45:12.123456789", L"01:02:03.000"});
    expect_refused(odb_text_form::time_of_day, VT_DATE,
                   {L"24:00:00", L"12:60:00", L"12:00:60", L"1:02:03", L"12:34", L"12:34:56.", L"12:34:56.1234567890",
                    L"12:34:56x", L"2024-01-01 12:34:56", L""});
    ole_variant v;
    ASSERT_TRUE(odb_read_text(odb_text_form::time_of_day, VT_DATE, L"13:45:12.1234567", 16, v));
    EXPECT_EQ(v.date_parts.wMilliseconds, 123);
    EXPECT_EQ(v.date_sub_ms_ns, 456700u);
    ASSERT_TRUE(odb_read_text(odb_text_form::date_time, VT_DATE, L"0001-01-01 00:00:00.0000009", 27, v));
    EXPECT_EQ(v.date_parts.wMilliseconds, 0);
    EXPECT_EQ(v.date_sub_ms_ns, 900u);
}

TEST(OdbTextValue, BitsAndFormsLeftToTheGeneralParsers)
{
    expect_taken(odb_text_form::boolean, VT_BOOL, {L"0", L"1"});
    expect_refused(odb_text_form::boolean, VT_BOOL, {L"-1", L"true", L"2", L"01", L""});
    // Text and the general form are never read here; a form asks for its value type.
    expect_refused(odb_text_form::text, VT_BSTR, {L"abc"});
    expect_refused(odb_text_form::general, VT_BLOB, {L"0A0B"});
    expect_refused(odb_text_form::real, VT_I4, {L"1"});
    expect_refused(odb_text_form::decimal, VT_CY, {L"1"});
    EXPECT_EQ(odb_text_form_of(DBTYPE_NUMERIC, VT_DECIMAL), odb_text_form::decimal);
    EXPECT_EQ(odb_text_form_of(DBTYPE_GUID, VT_BSTR), odb_text_form::text);
    EXPECT_EQ(odb_text_form_of(DBTYPE_DBTIME2, VT_DATE), odb_text_form::time_of_day);
    EXPECT_EQ(odb_text_form_of(DBTYPE_UI4, VT_UI4), odb_text_form::general);
    EXPECT_EQ(odb_text_form_of(DBTYPE_UDT, VT_BLOB), odb_text_form::general);
}
