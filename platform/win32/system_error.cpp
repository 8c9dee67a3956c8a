#include "plat/system_error.h"

#include "win32/win_error.h"

#include <cerrno>
#include <cstring>

namespace plat {

namespace detail {

int errnoFromWin32(DWORD error)
{
    switch (error) {
    case ERROR_SUCCESS: return 0;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_BAD_NETPATH:
    case ERROR_MOD_NOT_FOUND: return ENOENT;
    case ERROR_DEV_NOT_EXIST:
    case ERROR_DEVICE_NOT_CONNECTED:
    case ERROR_DEVICE_REMOVED:
    case ERROR_NOT_READY: return ENODEV;
    case ERROR_ACCESS_DENIED:
    case ERROR_PRIVILEGE_NOT_HELD: return EACCES;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_BUSY: return EBUSY;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS: return EEXIST;
    case ERROR_INVALID_PARAMETER:
    case ERROR_INVALID_DATA: return EINVAL;
    case ERROR_INVALID_FUNCTION:
    case ERROR_NOT_SUPPORTED: return ENOTTY;
    case ERROR_INVALID_HANDLE: return EBADF;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
    case ERROR_NO_SYSTEM_RESOURCES: return ENOMEM;
    case ERROR_TOO_MANY_OPEN_FILES: return EMFILE;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return ENOSPC;
    case ERROR_OPERATION_ABORTED: return ECANCELED;
    case ERROR_TIMEOUT:
    case ERROR_SEM_TIMEOUT: return ETIMEDOUT;
    case ERROR_DIRECTORY: return ENOTDIR;
    case ERROR_CANT_RESOLVE_FILENAME: return ELOOP;
    default: return EIO;
    }
}

int lastErrno()
{
    return errnoFromWin32(::GetLastError());
}

DWORD win32FromErrno(int sysError)
{
    // One Win32 code for each errno value the backend reports; the one
    // Windows itself gives in that situation where there are several.
    switch (sysError) {
    case 0: return ERROR_SUCCESS;
    case ENOENT: return ERROR_FILE_NOT_FOUND;
    case ENODEV: return ERROR_DEVICE_NOT_CONNECTED;
    case EACCES: return ERROR_ACCESS_DENIED;
    // A COM port another program holds.
    case EBUSY: return ERROR_SHARING_VIOLATION;
    case EEXIST: return ERROR_ALREADY_EXISTS;
    case EINVAL: return ERROR_INVALID_PARAMETER;
    // A serial call on a handle that is no serial port.
    case ENOTTY: return ERROR_INVALID_FUNCTION;
    case EBADF: return ERROR_INVALID_HANDLE;
    case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
    case EMFILE: return ERROR_TOO_MANY_OPEN_FILES;
    case ENOSPC: return ERROR_DISK_FULL;
    case ECANCELED: return ERROR_OPERATION_ABORTED;
    case ETIMEDOUT: return ERROR_SEM_TIMEOUT;
    case ENOTDIR: return ERROR_DIRECTORY;
    case ELOOP: return ERROR_CANT_RESOLVE_FILENAME;
    // What an unplugged adapter leaves behind.
    case EIO: return ERROR_GEN_FAILURE;
    default: return ERROR_MR_MID_NOT_FOUND;
    }
}

} // namespace detail

std::string systemErrorText(int sysError)
{
    // The system's own words, in the user's language, on one line: the
    // reasons join sentences of the program's own.
    const DWORD code = detail::win32FromErrno(sysError);
    char buffer[512];
    DWORD length =
        code == ERROR_MR_MID_NOT_FOUND
            ? 0
            : ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS |
                                   FORMAT_MESSAGE_MAX_WIDTH_MASK,
                               nullptr, code, 0, buffer, sizeof buffer, nullptr);
    if (length == 0) {
        if (::strerror_s(buffer, sizeof buffer, sysError) != 0)
            return "error " + std::to_string(sysError);
        return buffer;
    }
    while (length > 0 && (buffer[length - 1] == ' ' || buffer[length - 1] == '\r' ||
                          buffer[length - 1] == '\n' || buffer[length - 1] == '.'))
        --length;
    return std::string(buffer, length);
}

} // namespace plat
