#include "MSS/icomparer.h"

#include "TK/tk_logger.h"
#include "platform/win32/win_compare.h"

icomparer::icomparer(const std::wstring& keyword) : keyword_(keyword)
{
    tk_logger::log(1, L"icomparer::ctor(%s)", keyword_.c_str());
}

int icomparer::compare(const std::wstring& text, size_t position) const
{
    tk_logger::log(1, L"icomparer::compare('%s',%d)", text.c_str(), static_cast<int>(position));
    if (position + keyword_.size() >= text.size()) return -1;
    const std::wstring sub = text.substr(position, keyword_.size());
    tk_logger::log(1, L"Got substring: '%s'", sub.c_str());
    return CompareStringW(LOCALE_SYSTEM_DEFAULT, NORM_IGNORECASE, sub.c_str(), static_cast<int>(sub.size()),
                          keyword_.c_str(), static_cast<int>(keyword_.size())) -
           CSTR_EQUAL;
}
