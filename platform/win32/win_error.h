// The thread's last error and the system's texts for error numbers.
#pragma once
#include <string>
#include "platform/win32/win_types.h"

// Errors that come from errno without a Win32 equivalent are carried as this bit | errno.
constexpr DWORD WIN_ERRNO_FLAG = 0x20000000;

DWORD GetLastError();
void SetLastError(DWORD code);

inline DWORD get_last_error() { return GetLastError(); }
inline void set_last_error(DWORD code) { SetLastError(code); }

// The Win32 number for an errno value.
DWORD win_error_from_errno(int err);
// Sets the last error from errno and returns the Win32 number.
DWORD set_last_error_from_errno();

// The system's text for a code, ended by "\r\n"; empty when there is none.
std::string win_system_message(DWORD code);
