#include "plat/regular_file.h"

#include "win32/win_error.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

namespace plat {

namespace {

// "\\.\COM1" opens the device itself, and opening a serial port moves its
// modem lines.
bool namesDevice(const std::string& path)
{
    return path.rfind("\\\\.\\", 0) == 0 || path.rfind("//./", 0) == 0;
}

} // namespace

int openRegularFile(const std::string& path, bool write, FileCheck* check)
{
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = ::GetLastError();
        *check = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND
                     ? FileCheck::Missing
                     : FileCheck::Unreadable;
        return -1;
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) || namesDevice(path)) {
        *check = FileCheck::NotRegular;
        return -1;
    }
    const HANDLE file = ::CreateFileA(path.c_str(), GENERIC_READ | (write ? GENERIC_WRITE : 0),
                                      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        *check =
            ::GetLastError() == ERROR_FILE_NOT_FOUND ? FileCheck::Missing : FileCheck::Unreadable;
        return -1;
    }
    // A pipe or console may sit behind a name swapped since the look.
    if (::GetFileType(file) != FILE_TYPE_DISK) {
        ::CloseHandle(file);
        *check = FileCheck::NotRegular;
        return -1;
    }
    // Binary: the profile code keeps every byte, line ends included.
    const int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(file),
                                     (write ? _O_RDWR : _O_RDONLY) | _O_BINARY);
    if (fd < 0) {
        ::CloseHandle(file);
        *check = FileCheck::Unreadable;
        return -1;
    }
    *check = FileCheck::Ok;
    return fd;
}

} // namespace plat
