#include "TK/tk_exception.h"

#include <cstdio>
#include <vector>

#include "TK/tk_logger.h"
#include "TK/tk_text.h"
#include "platform/win32/win_error.h"

namespace {
const char* const k_unknown = "Unknown exception";
}

tk_exception::tk_exception(int32_t lvl) : message(k_unknown), level(lvl) {}

tk_exception::tk_exception(const std::string& text, int32_t lvl) : message(text.empty() ? k_unknown : text), level(lvl)
{}

tk_exception::tk_exception(const std::wstring& text, int32_t lvl) : level(lvl)
{
    std::string converted;
    if (w2a(text.c_str(), converted))
        message = converted;
    else if (!text.empty())
        message = k_unknown; // an empty message would show the user nothing
}

const char* tk_exception::what() const noexcept { return message.c_str(); }

void tk_exception::fill_from_last_error(const std::string& prefix)
{
    code = GetLastError();
    std::string text = win_system_message(code);
    if (text.empty()) return;
    message = prefix + text;
    tk_logger::log(2, "GetLastError: %s", text.c_str());
}

tk_exception_ex::tk_exception_ex() : tk_exception(TK_LEVEL_STOP) { fill_from_last_error(std::string()); }

tk_exception_ex::tk_exception_ex(const std::string& prefix, int32_t lvl) : tk_exception(lvl)
{
    fill_from_last_error(prefix);
}

tk_mail_assertion::tk_mail_assertion(const char* file, int line) : tk_exception(TK_LEVEL_INTERNAL)
{
    const char* unit = file ? file : "";
    message = make_err_meggase(unit, line);
    tk_logger::log(2, "tk_mail_assertion::ctor(%s)", unit);
}

tk_final_exception::tk_final_exception() { tk_logger::log(2, "tk_final_exception::ctor"); }

std::string make_err_meggase(const char* file, int line)
{
    const char* unit = file ? file : "";
    tk_logger::log(2, "make_err_meggase(%s, %d)", unit, line);
    // The location is limited to 276 characters, cut rather than overflowed.
    std::vector<char> location(276);
    std::snprintf(location.data(), location.size(), "%s\\%d", unit, line);
    tk_logger::log(2, "result=%s", location.data());
    static const char k_hex[] = "0123456789abcdef";
    std::string hex;
    for (const char* p = location.data(); *p; ++p) {
        unsigned char b = static_cast<unsigned char>(*p);
        hex += k_hex[b >> 4];
        hex += k_hex[b & 0x0F];
    }
    return "Internal error: \ncode=" + hex;
}
