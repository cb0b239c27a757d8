#include "tarvex/profile_text.h"

#include "TK/tk_logger.h"

namespace profile_text {

std::wstring flatten(const std::wstring& text)
{
    std::wstring out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n') {
            out += L' ';
            ++i;
        } else if (text[i] == L'\n' || text[i] == L'\r') {
            out += L' ';
        } else {
            out += text[i];
        }
    }
    if (out != text && text.find(L"--") != std::wstring::npos)
        tk_logger::log(
            3, "Warning: a query with a \"--\" comment was put on one line; the comment now hides the rest of it");
    return out;
}

void read_strict_flag(const std::wstring& value, bool& setting)
{
    if (!value.empty()) setting = value == L"1";
}

} // namespace profile_text
