// Files: the user's configuration directory and the atomic replacement of a
// file that profile write-back relies on.
#include "common/backend.h"
#include "plat/portmap.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <vector>

namespace plat {

std::string userConfigDir()
{
    // The base directory rules ignore a relative XDG_CONFIG_HOME.
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && xdg[0] == '/')
        return xdg;
    if (const char* home = std::getenv("HOME"); home && home[0] != '\0')
        return std::string(home) + "/.config";
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found &&
        found->pw_dir)
        return std::string(found->pw_dir) + "/.config";
    return {};
}

namespace detail {

namespace {

// The file a path names, through a symbolic link, so that replacing it keeps
// the link.
std::string targetOf(const std::string& path)
{
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        char resolved[PATH_MAX];
        if (::realpath(path.c_str(), resolved))
            return resolved;
    }
    return path;
}

std::string directoryOf(const std::string& path)
{
    const auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

bool writeAll(int fd, const std::string& contents)
{
    size_t done = 0;
    while (done < contents.size()) {
        const ssize_t n = ::write(fd, contents.data() + done, contents.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

// A temporary name beside the target, unique within the machine: the process
// id and a per-process count.
int createTemporary(const std::string& target, std::string& name)
{
    static std::atomic<unsigned> sequence{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = target + ".tmp." + std::to_string(::getpid()) + "." + std::to_string(sequence++);
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    errno = EEXIST;
    return -1;
}

} // namespace

SettingsFileLock::SettingsFileLock(const std::string& path, uint32_t timeoutMs)
{
    // Beside the file the lock guards, not on it: the file itself is
    // replaced by a rename, and a lock on the old one guards nothing.
    const std::string name = targetOf(path) + ".lock";
    // Not through a link, and never blocking or opening a device: a planted
    // name must not make us open a tty (its modem lines would move) or wait
    // on a FIFO.
    const int fd = ::open(name.c_str(),
                          O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY, 0666);
    if (fd < 0)
        return;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return;
    }
    // flock has no timed wait. The holder keeps the lock for one read and
    // one rename of a small file, so asking again every few milliseconds
    // costs little and keeps the wait bounded.
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            handle_ = fd;
            return;
        }
        if ((errno != EWOULDBLOCK && errno != EINTR) || std::chrono::steady_clock::now() >= end)
            break;
        ::usleep(2000);
    }
    ::close(fd);
}

SettingsFileLock::~SettingsFileLock()
{
    if (handle_ != -1)
        ::close(static_cast<int>(handle_));
}

bool replaceFile(const std::string& path, const std::string& contents, int* sysError)
{
    const std::string target = targetOf(path);
    std::string temporary;
    const int fd = createTemporary(target, temporary);
    if (fd < 0) {
        *sysError = errno;
        return false;
    }
    // A rewritten file keeps the permissions it had, and its owner where we
    // may give it (a file of the user's edited by root stays the user's).
    struct stat st {};
    const bool existed = ::stat(target.c_str(), &st) == 0;
    if (existed && (st.st_uid != ::geteuid() || st.st_gid != ::getegid())) {
        [[maybe_unused]] const int kept = ::fchown(fd, st.st_uid, st.st_gid);
    }
    bool ok = (!existed || ::fchmod(fd, st.st_mode & 07777) == 0) && writeAll(fd, contents) &&
              ::fsync(fd) == 0;
    int error = errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        error = errno;
    }
    if (ok && ::rename(temporary.c_str(), target.c_str()) != 0) {
        ok = false;
        error = errno;
    }
    if (!ok) {
        ::unlink(temporary.c_str());
        *sysError = error;
        return false;
    }
    // Make the rename itself durable; a failure here loses nothing already
    // visible, so it is not reported.
    if (const int dir = ::open(directoryOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

} // namespace detail
} // namespace plat
