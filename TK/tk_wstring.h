// A wide string with the toolkit's trimming, matching, replacing and splitting.
#pragma once
#include <string>
#include <vector>

class tk_wstring : public std::wstring {
public:
    using std::wstring::wstring;
    tk_wstring() = default;
    tk_wstring(const std::wstring& s) : std::wstring(s) {}
    tk_wstring(std::wstring&& s) : std::wstring(std::move(s)) {}

    // Blanks (spaces) only, in place.
    tk_wstring& ltrim();
    tk_wstring& rtrim();

    // An empty prefix or suffix matches; without case sensitivity the
    // comparison is the locale's name comparison.
    bool starts_with(const std::wstring& prefix, bool case_sensitive) const;
    bool ends_with(const std::wstring& suffix, bool case_sensitive) const;

    // Every occurrence, left to right; inserted text is not searched again.
    tk_wstring replace_all(const std::wstring& from, const std::wstring& to);
    tk_wstring to_upper();
    // The pieces between separators, empty ones included; none for an empty text.
    bool split(wchar_t separator, std::vector<std::wstring>& out) const;
};
