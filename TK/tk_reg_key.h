// One open registry key with typed reads and writes.
#pragma once
#include "platform/win32/win_registry.h"

class tk_reg_key {
public:
    tk_reg_key() = default;
    ~tk_reg_key();
    tk_reg_key(const tk_reg_key&) = delete;
    tk_reg_key& operator=(const tk_reg_key&) = delete;

    // Creates or opens the key; on success a key open before is closed.
    LSTATUS open(HKEY root, const char* sub_key, char* cls, DWORD options, REGSAM access, void* security,
                 DWORD* disposition = nullptr);
    LSTATUS close();
    bool is_open() const { return key != nullptr; }

    // Each read fails with ERROR_INVALID_DATATYPE for a value of another kind.
    LSTATUS get_value(DWORD& value, const char* name);
    // A null buffer asks for the size (in bytes, with the NUL) only.
    LSTATUS get_value(char* buffer, const char* name, DWORD* size);
    LSTATUS get_value(wchar_t* buffer, const wchar_t* name, DWORD* size);

    LSTATUS set_value(DWORD value, const char* name);
    LSTATUS set_value(const char* text, const char* name);
    LSTATUS set_value(const wchar_t* text, const wchar_t* name);

private:
    HKEY key = nullptr;
};
