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

} // namespace

int appendToFileInDir(const std::string& dir, const std::string& file, const std::string& text)
{
    if (::mkdir(dir.c_str(), 0777) != 0 && errno != EEXIST)
        return errno;
    const Fd directory{::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC)};
    if (directory.fd < 0)
        return errno;
    const Fd out{::openat(directory.fd, file.c_str(),
                          O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC,
                          0666)};
    if (out.fd < 0)
        return errno;
    struct stat status {};
    if (::fstat(out.fd, &status) != 0)
        return errno;
    if (!S_ISREG(status.st_mode))
        return EINVAL;
    const char* data = text.data();
    size_t left = text.size();
    while (left > 0) {
        const ssize_t n = ::write(out.fd, data, left);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        data += n;
        left -= static_cast<size_t>(n);
    }
    return 0;
}

} // namespace plat
