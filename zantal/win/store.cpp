#include "win/store.h"

#include "plat/regular_file.h"

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace win {

namespace {

std::string envOrEmpty(const char* name)
{
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

std::string homeDirectory()
{
    std::string home = envOrEmpty("HOME");
    if (!home.empty())
        return home;
    if (const passwd* pw = getpwuid(geteuid()); pw && pw->pw_dir)
        return pw->pw_dir;
    return "/tmp";
}

bool makeDirectories(const std::string& path)
{
    if (path.empty())
        return false;
    std::string partial;
    size_t pos = 0;
    while (pos != std::string::npos) {
        pos = path.find('/', pos + 1);
        partial = path.substr(0, pos);
        if (partial.empty())
            continue;
        if (mkdir(partial.c_str(), 0700) != 0 && errno != EEXIST)
            return false;
    }
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool writeAll(int fd, const std::string& content)
{
    size_t done = 0;
    while (done < content.size()) {
        ssize_t n = write(fd, content.data() + done, content.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

void syncDirectoryOf(const std::string& path)
{
    size_t slash = path.rfind('/');
    std::string dir = slash == std::string::npos ? "." : path.substr(0, slash == 0 ? 1 : slash);
    int fd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        fsync(fd);
        close(fd);
    }
}

} // namespace

std::string storeRoot()
{
    std::string root = envOrEmpty("ZANTAL_ROOT");
    if (!root.empty())
        return root;
    std::string data = envOrEmpty("XDG_DATA_HOME");
    if (data.empty())
        data = homeDirectory() + "/.local/share";
    return data + "/zantal";
}

std::string sysfsRoot()
{
    std::string root = envOrEmpty("ZANTAL_SYSFS_ROOT");
    return root.empty() ? std::string("/sys") : root;
}

bool ensureStoreRoot()
{
    return makeDirectories(storeRoot());
}

bool mayChangeMachineStore()
{
    const uid_t self = geteuid();
    struct stat st {};
    if (self == 0 || stat(storeRoot().c_str(), &st) != 0)
        return true;
    return st.st_uid == self;
}

bool replaceFileAtomically(const std::string& path, const std::string& content)
{
    std::string pattern = path + ".XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    int fd = mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0)
        return false;
    bool ok = writeAll(fd, content) && fsync(fd) == 0;
    ok = close(fd) == 0 && ok;
    if (ok)
        ok = rename(name.data(), path.c_str()) == 0;
    if (!ok) {
        unlink(name.data());
        return false;
    }
    syncDirectoryOf(path);
    return true;
}

bool readWholeFile(const std::string& path, std::string& content, size_t maxBytes)
{
    return plat::readRegularFile(path, maxBytes, content) == plat::FileCheck::Ok;
}

bool forEachStoreLine(std::string_view text, std::string_view header,
                      const std::function<bool(std::string_view line)>& onLine)
{
    bool first = true;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;
        if (first) {
            if (line != header)
                return false;
            first = false;
        } else if (!line.empty() && !onLine(line)) {
            return false;
        }
    }
    return !first; // an empty file is not a store file
}

StoreAccess accessStoreFile(const std::string& fileName, bool write, size_t maxBytes,
                            const std::function<void(const std::string* content,
                                                     std::optional<std::string>* replacement)>& use)
{
    if (write && !ensureStoreRoot())
        return StoreAccess::WriteFailed;
    const std::string root = storeRoot();
    const std::string path = root + "/" + fileName;
    struct stat st {};
    if (!write && stat(root.c_str(), &st) != 0) {
        use(nullptr, nullptr); // nothing stored yet, nothing to lock
        return StoreAccess::Done;
    }
    StoreLock lock(path + ".lock", write);
    if (!lock.held())
        return StoreAccess::LockFailed;
    std::string content;
    const bool exists = stat(path.c_str(), &st) == 0;
    if (exists && !readWholeFile(path, content, maxBytes))
        return StoreAccess::ReadFailed;
    std::optional<std::string> replacement;
    use(exists ? &content : nullptr, write ? &replacement : nullptr);
    if (replacement && !replaceFileAtomically(path, *replacement))
        return StoreAccess::WriteFailed;
    return StoreAccess::Done;
}

StoreLock::StoreLock(const std::string& lockPath, bool exclusive)
{
    // A lock file that is no regular file (a FIFO put in its place) is
    // refused rather than waited on.
    // A shared lock needs no write access to the lock file, so a process
    // that may only read the store (another user's, made readable to it)
    // can still read it consistently.
    const int mode = exclusive ? O_RDWR : O_RDONLY;
    fd_ = open(lockPath.c_str(), mode | O_CREAT | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0600);
    if (fd_ < 0)
        return;
    struct stat st {};
    if (fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd_);
        fd_ = -1;
        return;
    }
    // flock offers no time-out, so the wait is a bounded series of tries: a
    // store operation holds the lock for milliseconds, and a process that
    // hangs while holding it must not hang every installer after it.
    const int operation = (exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    int rc;
    while ((rc = flock(fd_, operation)) != 0 && (errno == EWOULDBLOCK || errno == EINTR) &&
           std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    if (rc != 0) {
        close(fd_);
        fd_ = -1;
    }
}

StoreLock::~StoreLock()
{
    if (fd_ >= 0)
        close(fd_); // closing drops the flock
}

} // namespace win
