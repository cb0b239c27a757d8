// An error raised by the embedded SQL Server, with the server's own number,
// severity, state and text.
#pragma once
#include <stdexcept>
#include <string>

struct mssx_error : std::runtime_error {
    int number;
    int severity;
    int line; // line in the batch, 1-based; 0 when unknown
    mssx_error(int num, const std::string& text, int sev = 16, int ln = 0)
        : std::runtime_error(text), number(num), severity(sev), line(ln)
    {}
};

// SQLSTATE of a native error number (for ISQLErrorInfo).
const char* mssx_sqlstate(int number);
