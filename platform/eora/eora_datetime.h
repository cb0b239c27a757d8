// DATE and TIMESTAMP values of the embedded Oracle, and to_date formats.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace eora {

struct datetime {
    int year = 1, month = 1, day = 1, hour = 0, minute = 0, second = 0;
    int64_t nanos = 0;
    bool has_zone = false; // TIMESTAMP WITH TIME ZONE: the offset below is part of the value
    int zone_minutes = 0;  // offset from UTC

    // "YYYY-MM-DD HH24:MI:SS" plus ".f..." with `frac_digits` digits, plus " +HH:MM" with a zone.
    std::string text(int frac_digits) const;
    // Rounds (frac_digits < 9) the fraction; DATE keeps whole seconds.
    void round_fraction(int frac_digits);
};

// An Oracle format picture read once, for the many values read by it.
struct date_picture {
    enum class elem : unsigned char {
        year,        // YYYY, RRRR, SYYYY
        round_year,  // RR
        short_year,  // YY
        month_name,  // MONTH, MON
        month,       // MM
        minute,      // MI
        day,         // DD
        hour24,      // HH24
        hour12,      // HH12, HH
        second,      // SS
        fraction,    // FF, FF1-FF9
        zone_hour,   // TZH
        zone_minute, // TZM
        meridian,    // AM, PM, A.M., P.M.
        radix,       // X
        quoted,      // "text"
        punct,       // punctuation or a space
        bad,         // what the picture cannot read: ORA-01821 for a value reaching it
    };
    struct step {
        elem kind;
        int digits = 0;   // of a fraction
        std::string text; // of a quoted text
    };
    std::vector<step> parts;

    explicit date_picture(std::string_view fmt);
};

// to_date / to_timestamp: parses `s` by the Oracle format `fmt`. Raises the
// ORA errors a server gives (01821, 01830, 01843, 01847, 01850-01852, 01858, 01861).
datetime parse_datetime(std::string_view s, std::string_view fmt);
datetime parse_datetime(std::string_view s, const date_picture& fmt);

// Places of the fraction a TIMESTAMP of any scale is stored with.
inline constexpr int k_stored_fraction_digits = 9;

// Parses the stored form ("YYYY-MM-DD HH24:MI:SS[.fffffffff]").
std::optional<datetime> parse_stored_datetime(std::string_view s);

// The session's NLS formats: how text becomes a DATE or TIMESTAMP without a format of its own.
inline constexpr std::string_view nls_date_format = "DD-MON-RR";
inline constexpr std::string_view nls_timestamp_format = "DD-MON-RR HH.MI.SSXFF AM";
inline constexpr std::string_view nls_timestamp_tz_format = "DD-MON-RR HH.MI.SSXFF AM TZH:TZM";

// The stored form as text, used when a value is shown as text.
inline constexpr std::string_view default_date_format = "YYYY-MM-DD HH24:MI:SS";
inline constexpr std::string_view default_timestamp_format = "YYYY-MM-DD HH24:MI:SS.FF";
inline constexpr std::string_view default_timestamp_tz_format = "YYYY-MM-DD HH24:MI:SS.FF TZH:TZM";

} // namespace eora
