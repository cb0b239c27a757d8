// Date and time values between the embedded server's stored text
// ("2024-05-06 07:08:09.1234567 +02:00") and the TDS binary encodings.
#pragma once
#include <cstdint>
#include <string>
#include "platform/mssx/tds/tds_bytes.h"

struct tds_datetime {
    int year = 1900, month = 1, day = 1;
    int64_t nanos = 0;      // since midnight
    int offset_minutes = 0; // datetimeoffset only
};

// Reads "YYYY-MM-DD", "hh:mm:ss[.f]", "YYYY-MM-DD hh:mm:ss[.f]" and either with " +hh:mm".
tds_datetime tds_parse_stored_datetime(const std::string& text);

// Encodings of the value kinds (without the length byte).
void tds_put_date(tds_writer& w, const tds_datetime& d);                      // 3 bytes, days since 0001-01-01
void tds_put_time(tds_writer& w, const tds_datetime& d, int scale);           // 3 to 5 bytes
void tds_put_datetimeoffset(tds_writer& w, const tds_datetime& d, int scale); // UTC time, date, offset
void tds_put_datetime(tds_writer& w, const tds_datetime& d);                  // days since 1900, 1/300 s
void tds_put_smalldatetime(tds_writer& w, const tds_datetime& d);             // days since 1900, minutes

// Decodings of parameter values into the stored text of the matching type.
std::string tds_read_date(tds_reader& r);
std::string tds_read_time(tds_reader& r, int scale, size_t bytes);
std::string tds_read_datetime2(tds_reader& r, int scale, size_t bytes);
std::string tds_read_datetimeoffset(tds_reader& r, int scale, size_t bytes);
std::string tds_read_datetime(tds_reader& r);
std::string tds_read_smalldatetime(tds_reader& r);
