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

} // namespace detail

std::string systemErrorText(int sysError)
{
    char buffer[256];
    if (::strerror_s(buffer, sizeof buffer, sysError) != 0)
        return "error " + std::to_string(sysError);
    return buffer;
}

} // namespace plat
