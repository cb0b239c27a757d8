// Loading libraries by name. The system libraries the product asks for are
// built in: "comctl32.dll" (DllGetVersion answers 6.0) and "MAPI32.DLL" (when a
// mail client, xdg-email, is on PATH); other names go to dlopen.
#pragma once
#include "platform/win32/win_types.h"

typedef void (*FARPROC)();

constexpr DWORD ERROR_MOD_NOT_FOUND = 126;
constexpr DWORD ERROR_PROC_NOT_FOUND = 127;

HMODULE LoadLibraryW(LPCWSTR name);
HMODULE LoadLibraryA(LPCSTR name);
FARPROC GetProcAddress(HMODULE module, LPCSTR name);
BOOL FreeLibrary(HMODULE module);

struct DLLVERSIONINFO {
    DWORD cbSize;
    DWORD dwMajorVersion;
    DWORD dwMinorVersion;
    DWORD dwBuildNumber;
    DWORD dwPlatformID;
};
static_assert(sizeof(DLLVERSIONINFO) == 20);
typedef HRESULT (*DLLGETVERSIONPROC)(DLLVERSIONINFO*);
