#include "MSS/mss_sql_text.h"

std::wstring sql_literal(const std::wstring& text)
{
    bool needs_n = false;
    std::wstring body;
    body.reserve(text.size() + 2);
    for (wchar_t c : text) {
        if (c == L'\'') {
            body += L"''";
            needs_n = true;
        } else {
            if (static_cast<unsigned long>(c) > 0x7F) needs_n = true;
            body += c;
        }
    }
    return (needs_n ? L"N'" : L"'") + body + L"'";
}

bool sql_is_bracketed(const std::wstring& name)
{
    // One or more parts "[...]" joined by '.', each with ']' doubled inside.
    size_t i = 0;
    const size_t n = name.size();
    if (n < 2) return false;
    while (true) {
        if (i >= n || name[i] != L'[') return false;
        ++i;
        bool closed = false;
        while (i < n) {
            if (name[i] == L']') {
                if (i + 1 < n && name[i + 1] == L']') {
                    i += 2;
                    continue;
                }
                closed = true;
                ++i;
                break;
            }
            ++i;
        }
        if (!closed) return false;
        if (i == n) return true;
        if (name[i] != L'.') return false;
        ++i;
    }
}

std::wstring sql_ident(const std::wstring& name)
{
    if (sql_is_bracketed(name)) return name;
    std::wstring out = L"[";
    for (wchar_t c : name) {
        out += c;
        if (c == L']') out += L']';
    }
    out += L']';
    return out;
}

std::wstring conn_string_value(const std::wstring& value)
{
    bool quote = !value.empty() && (value.front() == L' ' || value.back() == L' ');
    for (wchar_t c : value)
        if (c == L';' || c == L'=' || c == L'"' || c == L'\'' || c == L'{' || c == L'}') quote = true;
    if (!quote) return value;
    std::wstring out = L"\"";
    for (wchar_t c : value) {
        out += c;
        if (c == L'"') out += L'"';
    }
    out += L'"';
    return out;
}
