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

// A junction or symbolic link planted in a shared working directory must
// not send the write elsewhere: 0 when `dir` is a directory of its own.
int checkDirectory(const std::string& dir)
{
    const DWORD attributes = ::GetFileAttributesA(dir.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return detail::lastErrno();
    if (isLink(attributes) || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return ELOOP;
    return 0;
}

// Opens (`disposition`) the file itself, never what a link points to, and
// refuses anything but a plain disk file; the handle, or INVALID_HANDLE_VALUE
// with *error set.
HANDLE openInDir(const std::string& path, DWORD access, DWORD disposition, int* error)
{
    const HANDLE file =
        ::CreateFileA(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                      disposition, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        *error = detail::lastErrno();
        return file;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(file, &info) || ::GetFileType(file) != FILE_TYPE_DISK ||
        isLink(info.dwFileAttributes) || (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        ::CloseHandle(file);
        *error = EINVAL;
        return INVALID_HANDLE_VALUE;
    }
    return file;
}

int writeAll(HANDLE file, const void* data, size_t size)
{
    const char* next = static_cast<const char*>(data);
    while (size > 0) {
        DWORD written = 0;
        const DWORD chunk = size > (1u << 30) ? (1u << 30) : static_cast<DWORD>(size);
        if (!::WriteFile(file, next, chunk, &written, nullptr))
            return detail::lastErrno();
        if (written == 0)
            return EIO;
        next += written;
        size -= written;
    }
    return 0;
}

bool seekTo(HANDLE file, uint64_t offset)
{
    LARGE_INTEGER to{};
    to.QuadPart = static_cast<LONGLONG>(offset);
    return ::SetFilePointerEx(file, to, nullptr, FILE_BEGIN) != 0;
}

} // namespace

int appendToFileInDir(const std::string& dir, const std::string& file, const std::string& text)
{
    if (!::CreateDirectoryA(dir.c_str(), nullptr) && ::GetLastError() != ERROR_ALREADY_EXISTS)
        return detail::lastErrno();
    if (const int error = checkDirectory(dir); error != 0)
        return error;
    int error = 0;
    const detail::ScopedHandle out{
        openInDir(dir + "\\" + file, FILE_APPEND_DATA, OPEN_ALWAYS, &error)};
    if (out.handle == INVALID_HANDLE_VALUE)
        return error;
    return writeAll(out.handle, text.data(), text.size());
}

int OwnFile::create(const std::string& dir, const std::string& file)
{
    close();
    if (const int error = checkDirectory(dir); error != 0)
        return error;
    const std::string path = dir + "\\" + file;
    int error = 0;
    // CREATE_NEW: any name that exists, a link too, is refused unopened.
    const HANDLE out = openInDir(path, GENERIC_WRITE, CREATE_NEW, &error);
    if (out == INVALID_HANDLE_VALUE)
        return error;
    handle_ = reinterpret_cast<intptr_t>(out);
    size_ = 0;
    path_ = path;
    return 0;
}

int OwnFile::append(const void* data, size_t size)
{
    if (handle_ == -1)
        return EBADF;
    const HANDLE file = reinterpret_cast<HANDLE>(handle_);
    const int error = writeAll(file, data, size);
    if (error == 0) {
        size_ += size;
        return 0;
    }
    if (seekTo(file, size_))
        ::SetEndOfFile(file);
    return error;
}

int OwnFile::writeAt(uint64_t offset, const void* data, size_t size)
{
    if (handle_ == -1)
        return EBADF;
    const HANDLE file = reinterpret_cast<HANDLE>(handle_);
    if (!seekTo(file, offset))
        return detail::lastErrno();
    const int error = writeAll(file, data, size);
    seekTo(file, size_);
    return error;
}

void OwnFile::close()
{
    if (handle_ != -1)
        ::CloseHandle(reinterpret_cast<HANDLE>(handle_));
    handle_ = -1;
}

void OwnFile::remove()
{
    close();
    if (!path_.empty())
        ::DeleteFileA(path_.c_str());
    path_.clear();
}

} // namespace plat
