// Finds a braced GUID after the keyword "guid" (or "GUID") in a short text.
#pragma once
#include <cstdint>
#include <string>

class ole_guid_extractor {
public:
    explicit ole_guid_extractor(const std::wstring& text);
    explicit ole_guid_extractor(const std::string& text);

    // "{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}", or empty when none was found.
    std::wstring get_guid() const;
    // The 32 hex digits without braces and hyphens, or empty.
    std::wstring get_hex_guid() const;

    int32_t position = -1;
    std::wstring text;
    bool valid = false;

private:
    void search();
};
