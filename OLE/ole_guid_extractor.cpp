#include "OLE/ole_guid_extractor.h"

#include "TK/tk_logger.h"
#include "TK/tk_text.h"

namespace {

constexpr size_t guid_chars = 38; // with braces and hyphens

} // namespace

ole_guid_extractor::ole_guid_extractor(const std::wstring& t)
{
    tk_logger::log(1, L"ole_guid_extractor::ctor(%s)", t.c_str());
    text = t;
    search();
}

ole_guid_extractor::ole_guid_extractor(const std::string& t)
{
    std::wstring wide;
    a2w(t.c_str(), wide);
    tk_logger::log(1, L"ole_guid_extractor::ctor(%s)", wide.c_str());
    text = wide;
    search();
}

void ole_guid_extractor::search()
{
    text = tk_trim(text);
    if (text.size() < 36) {
        tk_logger::log(1, "Text is too short for GUID");
        return;
    }
    if (text.size() > 45) {
        tk_logger::log(1, "Text is too long for GUID");
        return;
    }
    const size_t lower = text.find(L"guid");
    const size_t upper = text.find(L"GUID");
    tk_logger::log(1, "Locating 'guid' (%d : %d)", lower == std::wstring::npos ? -1 : static_cast<int>(lower),
                   upper == std::wstring::npos ? -1 : static_cast<int>(upper));
    const size_t keyword = lower != std::wstring::npos ? lower : upper;
    if (keyword == std::wstring::npos) return;
    size_t at = keyword + 4;
    // The whole braced GUID must lie inside the text, closed where it should be.
    for (;; ++at) {
        if (at >= text.size() || text.size() - at < guid_chars) return;
        if (text[at] == L'{') break;
    }
    if (text[at + guid_chars - 1] != L'}') return;
    position = static_cast<int32_t>(at);
    valid = true;
    tk_logger::log(1, "GUID is valid");
}

std::wstring ole_guid_extractor::get_guid() const
{
    if (!valid) return std::wstring();
    return text.substr(static_cast<size_t>(position), guid_chars);
}

std::wstring ole_guid_extractor::get_hex_guid() const
{
    if (!valid) return std::wstring();
    const size_t p = static_cast<size_t>(position);
    return text.substr(p + 1, 8) + text.substr(p + 10, 4) + text.substr(p + 15, 4) + text.substr(p + 20, 4) +
           text.substr(p + 25, 12);
}
