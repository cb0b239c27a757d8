#include "TK/tk_serializer.h"

#include <algorithm>
#include <vector>

tk_serializer::tk_serializer(const char* key_path) : path(key_path ? key_path : "") {}

bool tk_serializer::serialize(const char* name, DWORD& value, bool store)
{
    if (!key.is_open()) return false;
    if (store) return key.set_value(value, name) == ERROR_SUCCESS;
    return key.get_value(value, name) == ERROR_SUCCESS;
}

bool tk_serializer::serialize(const char* name, bool& value, bool store)
{
    DWORD number = value ? 1 : 0;
    if (!serialize(name, number, store)) return false;
    if (!store) value = number != 0;
    return true;
}

bool tk_serializer::serialize(const char* name, std::string& value, bool store)
{
    return serialize_text(name, value, store);
}

bool tk_serializer::serialize(const wchar_t* name, std::wstring& value, bool store)
{
    return serialize_text(name, value, store);
}

template <class C>
bool tk_serializer::serialize_text(const C* name, std::basic_string<C>& value, bool store)
{
    if (!key.is_open()) return false;
    if (store) return key.set_value(value.c_str(), name) == ERROR_SUCCESS;
    DWORD size = 0;
    if (key.get_value(static_cast<C*>(nullptr), name, &size) != ERROR_SUCCESS || size == 0) return false;
    std::vector<C> buffer(size / sizeof(C) + 1, C());
    DWORD room = static_cast<DWORD>(buffer.size() * sizeof(C));
    if (key.get_value(buffer.data(), name, &room) != ERROR_SUCCESS) return false;
    // The stored text need not end with a NUL: stay within what was read.
    const C* begin = buffer.data();
    const C* end = begin + std::min<size_t>(room / sizeof(C), buffer.size());
    value.assign(begin, std::find(begin, end, C()));
    return true;
}
