#include "platform/win32/win_library.h"

#include <dlfcn.h>
#include <string>

#include "platform/win32/win_codepage.h"
#include "platform/win32/win_error.h"
#include "platform/win32/win_mapi.h"

namespace {

HRESULT comctl_dll_get_version(DLLVERSIONINFO* info)
{
    if (!info || info->cbSize != sizeof(DLLVERSIONINFO)) return E_INVALIDARG;
    info->dwMajorVersion = 6;
    info->dwMinorVersion = 0;
    info->dwBuildNumber = 0;
    info->dwPlatformID = 2; // Windows NT
    return S_OK;
}

struct builtin_export {
    const char* name;
    FARPROC proc;
};

struct builtin_module {
    const char* name;
    bool (*present)();
    builtin_export exports[2];
};

bool always() { return true; }

const builtin_module k_builtins[] = {
    {"comctl32.dll",
     always,
     {{"DllGetVersion", reinterpret_cast<FARPROC>(&comctl_dll_get_version)}, {nullptr, nullptr}}},
    {"mapi32.dll", mapi_available, {{"MAPISendMail", reinterpret_cast<FARPROC>(&MAPISendMail)}, {nullptr, nullptr}}},
};

std::string lower(std::string s)
{
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

const builtin_module* builtin_of(HMODULE module)
{
    for (const auto& b : k_builtins)
        if (module == static_cast<const void*>(&b)) return &b;
    return nullptr;
}

} // namespace

HMODULE LoadLibraryA(LPCSTR name)
{
    if (!name) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    std::string key = lower(name);
    for (const auto& b : k_builtins) {
        std::string bname = b.name;
        if (key == bname || key + ".dll" == bname) {
            if (!b.present()) {
                SetLastError(ERROR_MOD_NOT_FOUND);
                return nullptr;
            }
            return const_cast<builtin_module*>(&b);
        }
    }
    void* handle = ::dlopen(name, RTLD_NOW | RTLD_LOCAL);
    if (!handle) SetLastError(ERROR_MOD_NOT_FOUND);
    return handle;
}

HMODULE LoadLibraryW(LPCWSTR name)
{
    if (!name) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto narrow = wide_to_mb(CP_ACP, name);
    if (!narrow) return nullptr;
    return LoadLibraryA(narrow->c_str());
}

FARPROC GetProcAddress(HMODULE module, LPCSTR name)
{
    if (!module || !name) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    if (const builtin_module* b = builtin_of(module)) {
        for (const auto& e : b->exports)
            if (e.name && std::string(e.name) == name) return e.proc;
        SetLastError(ERROR_PROC_NOT_FOUND);
        return nullptr;
    }
    void* sym = ::dlsym(module, name);
    if (!sym) {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return nullptr;
    }
    return reinterpret_cast<FARPROC>(sym);
}

BOOL FreeLibrary(HMODULE module)
{
    if (!module) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (builtin_of(module)) return TRUE;
    return ::dlclose(module) == 0 ? TRUE : FALSE;
}
