// The registry of the current user, kept in a per-user text file.
//
// File: $TVX_REGISTRY_FILE, else $XDG_CONFIG_HOME/tarvex/registry.reg (default
// ~/.config). Syntax of the registry export format, UTF-8:
//   [HKEY_CURRENT_USER\Software\Maker\Product]
//   "name"="text"            (REG_SZ; escapes \\ \" \n \r \t)
//   "name"=expand:"text"     (REG_EXPAND_SZ)
//   "name"=dword:0000002a    (REG_DWORD)
// Every change rewrites the file atomically under a file lock, mode 0600 (it
// may hold passwords). Key paths and value names ignore case.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include "platform/win32/win_types.h"

typedef LONG LSTATUS;
typedef DWORD REGSAM;

inline HKEY const HKEY_CURRENT_USER = reinterpret_cast<HKEY>(uintptr_t{0x80000001});

constexpr REGSAM KEY_ALL_ACCESS = 0xF003F;
constexpr DWORD REG_OPTION_NON_VOLATILE = 0;
constexpr DWORD REG_NONE = 0;
constexpr DWORD REG_SZ = 1;
constexpr DWORD REG_EXPAND_SZ = 2;
constexpr DWORD REG_DWORD = 4;
constexpr DWORD REG_CREATED_NEW_KEY = 1;
constexpr DWORD REG_OPENED_EXISTING_KEY = 2;
constexpr LSTATUS ERROR_INVALID_DATATYPE = 1804;

LSTATUS RegCreateKeyExA(HKEY root, LPCSTR sub_key, DWORD reserved, LPSTR cls, DWORD options, REGSAM access,
                        void* security, HKEY* result, DWORD* disposition);
LSTATUS RegCloseKey(HKEY key);
// A null data pointer asks for the type and size only; sizes include the NUL.
LSTATUS RegQueryValueExA(HKEY key, LPCSTR name, DWORD* reserved, DWORD* type, BYTE* data, DWORD* size);
LSTATUS RegQueryValueExW(HKEY key, LPCWSTR name, DWORD* reserved, DWORD* type, BYTE* data, DWORD* size);
LSTATUS RegSetValueExA(HKEY key, LPCSTR name, DWORD reserved, DWORD type, const BYTE* data, DWORD size);
LSTATUS RegSetValueExW(HKEY key, LPCWSTR name, DWORD reserved, DWORD type, const BYTE* data, DWORD size);

// The file the store uses now.
std::string registry_file_path();

// Typed access below the Win32 shapes. A value is a DWORD or a text.
struct registry_value {
    DWORD type = REG_NONE;
    DWORD number = 0;
    std::wstring text;
};
LSTATUS registry_get(HKEY key, const std::wstring& name, registry_value& out);
LSTATUS registry_set(HKEY key, const std::wstring& name, const registry_value& value);
