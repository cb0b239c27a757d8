#include "platform/win32/win_error.h"

#include <cerrno>
#include <cstring>
#include <vector>

namespace {

thread_local DWORD t_last_error = ERROR_SUCCESS;

struct message_entry {
    DWORD code;
    const char* text;
};

constexpr message_entry k_messages[] = {
    {ERROR_SUCCESS, "The operation completed successfully."},
    {ERROR_FILE_NOT_FOUND, "The system cannot find the file specified."},
    {ERROR_PATH_NOT_FOUND, "The system cannot find the path specified."},
    {ERROR_ACCESS_DENIED, "Access is denied."},
    {ERROR_INVALID_HANDLE, "The handle is invalid."},
    {ERROR_NOT_ENOUGH_MEMORY, "Not enough memory resources are available to process this command."},
    {ERROR_INVALID_DATA, "The data is invalid."},
    {ERROR_WRITE_PROTECT, "The media is write protected."},
    {ERROR_FILE_EXISTS, "The file exists."},
    {ERROR_INVALID_PARAMETER, "The parameter is incorrect."},
    {ERROR_DISK_FULL, "There is not enough space on the disk."},
    {ERROR_INSUFFICIENT_BUFFER, "The data area passed to a system call is too small."},
    {ERROR_MORE_DATA, "More data is available."},
    {ERROR_NO_UNICODE_TRANSLATION, "No mapping for the Unicode character exists in the target multi-byte code page."},
};

std::string errno_text(int err)
{
    std::vector<char> buf(256);
    // GNU strerror_r may return a static string instead of filling the buffer.
    const char* text = strerror_r(err, buf.data(), buf.size());
    return text ? std::string(text) : std::string();
}

} // namespace

DWORD GetLastError() { return t_last_error; }

void SetLastError(DWORD code) { t_last_error = code; }

DWORD win_error_from_errno(int err)
{
    switch (err) {
    case 0:
        return ERROR_SUCCESS;
    case ENOENT:
        return ERROR_FILE_NOT_FOUND;
    case ENOTDIR:
        return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
        return ERROR_ACCESS_DENIED;
    case EBADF:
        return ERROR_INVALID_HANDLE;
    case ENOMEM:
        return ERROR_NOT_ENOUGH_MEMORY;
    case EROFS:
        return ERROR_WRITE_PROTECT;
    case EEXIST:
        return ERROR_FILE_EXISTS;
    case EINVAL:
        return ERROR_INVALID_PARAMETER;
    case ENOSPC:
        return ERROR_DISK_FULL;
    case EILSEQ:
        return ERROR_NO_UNICODE_TRANSLATION;
    default:
        return WIN_ERRNO_FLAG | static_cast<DWORD>(err);
    }
}

DWORD set_last_error_from_errno()
{
    DWORD code = win_error_from_errno(errno);
    SetLastError(code);
    return code;
}

std::string win_system_message(DWORD code)
{
    for (const auto& m : k_messages)
        if (m.code == code) return std::string(m.text) + "\r\n";
    if ((code & WIN_ERRNO_FLAG) && (code & ~WIN_ERRNO_FLAG) != 0 && (code & ~WIN_ERRNO_FLAG) < 4096) {
        std::string text = errno_text(static_cast<int>(code & ~WIN_ERRNO_FLAG));
        if (!text.empty()) return text + "\r\n";
    }
    return {};
}
