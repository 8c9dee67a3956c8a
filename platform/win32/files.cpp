// Files: the user's settings directory and the atomic replacement of a file
// that profile write-back relies on.
#include "common/backend.h"
#include "plat/portmap.h"
#include "win32/win_error.h"

#include <windows.h>

#include <atomic>
#include <cstdlib>

namespace plat {

std::string userConfigDir()
{
    if (const char* appData = std::getenv("APPDATA"); appData && appData[0] != '\0')
        return appData;
    return {};
}

namespace detail {

namespace {

bool writeAll(HANDLE file, const std::string& contents)
{
    size_t done = 0;
    while (done < contents.size()) {
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(contents.size() - done, 1u << 30));
        DWORD written = 0;
        if (!::WriteFile(file, contents.data() + done, chunk, &written, nullptr) || written == 0)
            return false;
        done += written;
    }
    return true;
}

// A temporary name beside the target, unique within the machine: the process
// id and a per-process count.
HANDLE createTemporary(const std::string& target, std::string& name)
{
    static std::atomic<unsigned> sequence{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = target + ".tmp." + std::to_string(::GetCurrentProcessId()) + "." +
               std::to_string(sequence++);
        const HANDLE file = ::CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                          FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE || ::GetLastError() != ERROR_FILE_EXISTS)
            return file;
    }
    ::SetLastError(ERROR_FILE_EXISTS);
    return INVALID_HANDLE_VALUE;
}

} // namespace

bool replaceFile(const std::string& path, const std::string& contents, int* sysError)
{
    std::string temporary;
    const HANDLE file = createTemporary(path, temporary);
    if (file == INVALID_HANDLE_VALUE) {
        *sysError = lastErrno();
        return false;
    }
    bool ok = writeAll(file, contents) && ::FlushFileBuffers(file);
    int error = ok ? 0 : lastErrno();
    ::CloseHandle(file);
    // The rename is the one step a reader can see; write-through makes it
    // last once it returns.
    if (ok && !::MoveFileExA(temporary.c_str(), path.c_str(),
                             MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        ok = false;
        error = lastErrno();
    }
    if (!ok) {
        ::DeleteFileA(temporary.c_str());
        *sysError = error;
    }
    return ok;
}

} // namespace detail
} // namespace plat
