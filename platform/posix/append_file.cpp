#include "plat/append_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace plat {

namespace {

// Closes a descriptor at the end of its scope.
struct Fd {
    int fd = -1;
    ~Fd()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

// Opens `file` in `dir` without following either through a link and without
// blocking; the descriptor, or -1 with errno set.
int openInDir(const std::string& dir, const std::string& file, int flags)
{
    const Fd directory{::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC)};
    if (directory.fd < 0)
        return -1;
    return ::openat(directory.fd, file.c_str(),
                    flags | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666);
}

int writeAll(int fd, const void* data, size_t size)
{
    const char* next = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::write(fd, next, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        next += n;
        size -= static_cast<size_t>(n);
    }
    return 0;
}

} // namespace

int appendToFileInDir(const std::string& dir, const std::string& file, const std::string& text)
{
    if (::mkdir(dir.c_str(), 0777) != 0 && errno != EEXIST)
        return errno;
    const Fd out{openInDir(dir, file, O_WRONLY | O_APPEND)};
    if (out.fd < 0)
        return errno;
    struct stat status {};
    if (::fstat(out.fd, &status) != 0)
        return errno;
    if (!S_ISREG(status.st_mode))
        return EINVAL;
    return writeAll(out.fd, text.data(), text.size());
}

int OwnFile::create(const std::string& dir, const std::string& file)
{
    close();
    // O_EXCL: any name that exists, a dangling link too, is refused unopened.
    const int fd = openInDir(dir, file, O_WRONLY | O_EXCL);
    if (fd < 0)
        return errno;
    handle_ = fd;
    size_ = 0;
    path_ = dir + "/" + file;
    return 0;
}

int OwnFile::append(const void* data, size_t size)
{
    if (handle_ == -1)
        return EBADF;
    const int fd = static_cast<int>(handle_);
    const int error = writeAll(fd, data, size);
    if (error == 0) {
        size_ += size;
        return 0;
    }
    [[maybe_unused]] const int cut = ::ftruncate(fd, static_cast<off_t>(size_));
    ::lseek(fd, static_cast<off_t>(size_), SEEK_SET);
    return error;
}

int OwnFile::writeAt(uint64_t offset, const void* data, size_t size)
{
    if (handle_ == -1)
        return EBADF;
    const ssize_t n = ::pwrite(static_cast<int>(handle_), data, size, static_cast<off_t>(offset));
    if (n < 0)
        return errno;
    return static_cast<size_t>(n) == size ? 0 : EIO;
}

void OwnFile::close()
{
    if (handle_ != -1)
        ::close(static_cast<int>(handle_));
    handle_ = -1;
}

void OwnFile::remove()
{
    close();
    if (!path_.empty())
        ::unlink(path_.c_str());
    path_.clear();
}

} // namespace plat
