#include "plat/append_file.h"

#include "win32/win_error.h"

#include <windows.h>

#include <cerrno>

namespace plat {

namespace {

bool isLink(DWORD attributes)
{
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

} // namespace

int appendToFileInDir(const std::string& dir, const std::string& file, const std::string& text)
{
    if (!::CreateDirectoryA(dir.c_str(), nullptr) && ::GetLastError() != ERROR_ALREADY_EXISTS)
        return detail::lastErrno();
    // A junction or symbolic link planted in a shared working directory must
    // not send the write elsewhere.
    const DWORD dirAttributes = ::GetFileAttributesA(dir.c_str());
    if (dirAttributes == INVALID_FILE_ATTRIBUTES)
        return detail::lastErrno();
    if (isLink(dirAttributes) || !(dirAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return ELOOP;
    const std::string path = dir + "\\" + file;
    // The link itself is opened, never what it points to, and then refused.
    const detail::ScopedHandle out{
        ::CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                      OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr)};
    if (out.handle == INVALID_HANDLE_VALUE)
        return detail::lastErrno();
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(out.handle, &info))
        return detail::lastErrno();
    if (::GetFileType(out.handle) != FILE_TYPE_DISK || isLink(info.dwFileAttributes) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return EINVAL;
    const char* data = text.data();
    size_t left = text.size();
    while (left > 0) {
        DWORD written = 0;
        const DWORD chunk = left > (1u << 30) ? (1u << 30) : static_cast<DWORD>(left);
        if (!::WriteFile(out.handle, data, chunk, &written, nullptr))
            return detail::lastErrno();
        data += written;
        left -= written;
    }
    return 0;
}

} // namespace plat
