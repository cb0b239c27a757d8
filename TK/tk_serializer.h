// Moves single settings between the program and one registry key.
#pragma once
#include <string>

#include "TK/tk_reg_key.h"

class tk_serializer {
public:
    explicit tk_serializer(const char* key_path);

    // store: write the value; else read it. False when the key is not open or
    // the registry refuses; a failed read leaves the value as it was.
    bool serialize(const char* name, DWORD& value, bool store);
    bool serialize(const char* name, bool& value, bool store);
    bool serialize(const char* name, std::string& value, bool store);
    bool serialize(const wchar_t* name, std::wstring& value, bool store);

protected:
    tk_reg_key key;   // opened and closed by the owner
    std::string path; // below the current user's root

private:
    template <class C>
    bool serialize_text(const C* name, std::basic_string<C>& value, bool store);
};
