#include "TK/tk_serializer.h"

#include <cstring>
#include <cwchar>
#include <vector>

tk_serializer::tk_serializer(const char* key_path) : path(key_path ? key_path : "") {}

bool tk_serializer::serialize(const char* name, DWORD& value, bool store)
{
    if (!key.is_open())
        return false;
    if (store)
        return key.set_value(value, name) == ERROR_SUCCESS;
    return key.get_value(value, name) == ERROR_SUCCESS;
}

bool tk_serializer::serialize(const char* name, bool& value, bool store)
{
    DWORD number = value ? 1 : 0;
    if (!serialize(name, number, store))
        return false;
    if (!store)
        value = number != 0;
    return true;
}

bool tk_serializer::serialize(const char* name, std::string& value, bool store)
{
    if (!key.is_open())
        return false;
    if (store)
        return key.set_value(value.c_str(), name) == ERROR_SUCCESS;
    DWORD size = 0;
    if (key.get_value(static_cast<char*>(nullptr), name, &size) != ERROR_SUCCESS || size == 0)
        return false;
    std::vector<char> buffer(size);
    if (key.get_value(buffer.data(), name, &size) != ERROR_SUCCESS)
        return false;
    // The stored text need not end with a NUL: stay within what was read.
    value.assign(buffer.data(), strnlen(buffer.data(), size));
    return true;
}

bool tk_serializer::serialize(const wchar_t* name, std::wstring& value, bool store)
{
    if (!key.is_open())
        return false;
    if (store)
        return key.set_value(value.c_str(), name) == ERROR_SUCCESS;
    DWORD size = 0;
    if (key.get_value(static_cast<wchar_t*>(nullptr), name, &size) != ERROR_SUCCESS || size == 0)
        return false;
    std::vector<wchar_t> buffer(size / sizeof(wchar_t) + 1, L'\0');
    DWORD room = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
    if (key.get_value(buffer.data(), name, &room) != ERROR_SUCCESS)
        return false;
    value.assign(buffer.data(), wcsnlen(buffer.data(), room / sizeof(wchar_t)));
    return true;
}
