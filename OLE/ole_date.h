// Dates and times as text: a full timestamp, a pure date or a pure time.
#pragma once
#include "OLE/ole_variant.h"

#include <cstdint>
#include <string>

class ole_date {
public:
    explicit ole_date(const VARIANT& v);
    explicit ole_date(const SYSTEMTIME& st);
    ole_date(const SYSTEMTIME& st, uint32_t sub_ms_ns);
    explicit ole_date(const char* text);
    explicit ole_date(const std::string& text);
    explicit ole_date(const std::wstring& text);

    bool is_valid() const;
    ole_variant to_variant() const;
    std::string to_string(bool with_ms) const;
    std::wstring to_wstring(bool with_ms) const;
    static bool is_convertible(VARTYPE vt);

    void refine_type();
    void import_from_string(const std::string& text);
    void process_milliseconds(const char* seconds);

    static constexpr int32_t kind_none = 0;
    static constexpr int32_t kind_datetime = 1;
    static constexpr int32_t kind_date = 2;
    static constexpr int32_t kind_time = 3;

    bool midnight_is_date = true; // a timestamp at exactly 00:00:00 prints as its date
    int32_t kind = kind_none;
    SYSTEMTIME parts{};
    uint32_t sub_ms_ns = 0; // nanoseconds below the milliseconds of parts (0 to 999999)

    static constexpr uint32_t ns_per_ms = 1000000;

private:
    void parse(const std::string& text);
    void clear_parts();
    bool try_pattern(const std::string& text, const char* format, int index);
    // ".fff" and any finer digits, trailing zeros beyond the milliseconds dropped.
    std::string fraction_text() const;
    bool has_fraction() const { return parts.wMilliseconds != 0 || sub_ms_ns != 0; }

    // How many digits the parsed text gave the year and the day.
    int year_digits = 4;
    int day_digits = 2;
};
