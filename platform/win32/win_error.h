// Win32 error codes in the errno terms the seam reports on every system, so
// that the library's reasons and tests read the same everywhere.
#pragma once

#include <windows.h>

namespace plat::detail {

int errnoFromWin32(DWORD error);
// The other way, for the system's words: the Win32 code whose meaning the
// errno value stands for, ERROR_MR_MID_NOT_FOUND for one it never reports.
DWORD win32FromErrno(int sysError);

// The calling thread's GetLastError() in errno terms.
int lastErrno();

// Closes a handle at the end of its scope.
struct ScopedHandle {
    explicit ScopedHandle(HANDLE owned) : handle(owned) {}
    ~ScopedHandle()
    {
        if (handle != INVALID_HANDLE_VALUE && handle != nullptr)
            ::CloseHandle(handle);
    }
    ScopedHandle(const ScopedHandle&) = delete;
    ScopedHandle& operator=(const ScopedHandle&) = delete;

    const HANDLE handle;
};

} // namespace plat::detail
