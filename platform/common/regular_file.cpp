// Reading a whole settings or store file once the backend has opened it as
// a regular file.
#include "plat/regular_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace plat {

FileCheck readRegularFile(const std::string& path, std::size_t maxBytes, std::string& content)
{
    content.clear();
    FileCheck check = FileCheck::Ok;
    const int fd = openRegularFile(path, false, &check);
    if (fd < 0)
        return check;
    // The size is a hint only (files of the kernel's trees report a page);
    // the reads themselves are held to the bound.
    struct stat st {};
    if (::fstat(fd, &st) == 0)
        content.reserve(std::min(static_cast<std::size_t>(st.st_size), maxBytes));
    char chunk[65536];
    for (;;) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            check = FileCheck::Unreadable;
            break;
        }
        if (n == 0)
            break;
        // A file that grows while it is read is held to the same bound.
        if (content.size() + static_cast<std::size_t>(n) > maxBytes) {
            check = FileCheck::TooLarge;
            break;
        }
        content.append(chunk, static_cast<std::size_t>(n));
    }
    ::close(fd);
    if (check != FileCheck::Ok)
        content.clear();
    return check;
}

std::string describeFileCheck(FileCheck check, std::size_t maxBytes)
{
    switch (check) {
    case FileCheck::Ok: return "usable";
    case FileCheck::Missing: return "no such file";
    case FileCheck::NotRegular: return "not a regular file";
    case FileCheck::TooLarge: return "larger than " + std::to_string(maxBytes) + " bytes";
    case FileCheck::Unreadable: return "cannot be read";
    }
    return "cannot be used";
}

} // namespace plat
