#include "plat/regular_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace plat {

namespace {

FileCheck checkOpened(int fd)
{
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return FileCheck::Unreadable;
    return S_ISREG(st.st_mode) ? FileCheck::Ok : FileCheck::NotRegular;
}

} // namespace

int openRegularFile(const std::string& path, bool write, FileCheck* check)
{
    // Looked at before the open as well: opening a tty would move its modem
    // lines, and opening some devices has effects of its own.
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        *check = errno == ENOENT || errno == ENOTDIR ? FileCheck::Missing : FileCheck::Unreadable;
        return -1;
    }
    if (!S_ISREG(st.st_mode)) {
        *check = FileCheck::NotRegular;
        return -1;
    }
    // O_NONBLOCK in case the name was swapped for a FIFO since the look.
    const int fd =
        ::open(path.c_str(), (write ? O_RDWR : O_RDONLY) | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        *check = errno == ENOENT ? FileCheck::Missing : FileCheck::Unreadable;
        return -1;
    }
    *check = checkOpened(fd);
    if (*check != FileCheck::Ok) {
        ::close(fd);
        return -1;
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0)
        ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    return fd;
}

} // namespace plat
