// The exception family of the system: every failure travels as one of these.
#pragma once
#include <cstdint>
#include <exception>
#include <string>

// Severity levels read by the error handler.
constexpr int32_t TK_LEVEL_CONTINUE = 0; // the work may go on
constexpr int32_t TK_LEVEL_STOP = 1;     // the current run ends
constexpr int32_t TK_LEVEL_INTERNAL = 2; // internal error

class tk_exception : public std::exception {
public:
    explicit tk_exception(int32_t level);
    tk_exception(const std::string& text, int32_t level);
    tk_exception(const std::wstring& text, int32_t level);
    // A literal would otherwise be ambiguous between the two text forms.
    tk_exception(const char* text, int32_t level) : tk_exception(std::string(text ? text : ""), level) {}
    tk_exception(const wchar_t* text, int32_t level) : tk_exception(std::wstring(text ? text : L""), level) {}
    ~tk_exception() override = default;
    tk_exception(const tk_exception&) = default;
    tk_exception& operator=(const tk_exception&) = default;

    const char* what() const noexcept override;

    std::string message;
    uint32_t code = 0;
    int32_t level = 0;

protected:
    // code = the thread's last error; message = prefix + its system text when there is one.
    void fill_from_last_error(const std::string& prefix);
};

// An operating-system error: the code is the last error, the text its system message.
class tk_exception_ex : public tk_exception {
public:
    tk_exception_ex();
    tk_exception_ex(const std::string& prefix, int32_t level);
};

// The failed internal check; the text names the source unit and line in hex digits.
class tk_mail_assertion : public tk_exception {
public:
    tk_mail_assertion(const char* file, int line);
};

// Ends the current run quietly after an error the user chose not to continue from.
class tk_final_exception : public std::exception {
public:
    tk_final_exception();
};

// "Internal error: \ncode=" and the hex digits of "file\line".
std::string make_err_meggase(const char* file, int line);
