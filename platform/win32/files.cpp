// Files: the user's settings directory and the atomic replacement of a file
// that profile write-back relies on.
#include "common/backend.h"
#include "plat/portmap.h"
#include "win32/win_error.h"

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
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

// FNV-1a: a fixed-length name for any path.
uint64_t nameHash(const std::string& text)
{
    uint64_t hash = 14695981039346656037ull;
    for (const char c : text) {
        hash ^= static_cast<uint8_t>(c >= 'A' && c <= 'Z' ? c + 32 : c);
        hash *= 1099511628211ull;
    }
    return hash;
}

} // namespace

SettingsFileLock::SettingsFileLock(const std::string& path, uint32_t timeoutMs)
{
    // A named mutex of the session: files here are replaced by a move, which
    // a lock on the file itself would not survive. The name comes from the
    // full path, in one case, so that two spellings of a file share it.
    char full[MAX_PATH];
    const DWORD length = ::GetFullPathNameA(path.c_str(), MAX_PATH, full, nullptr);
    const std::string key = length > 0 && length < MAX_PATH ? std::string(full, length) : path;
    char name[64];
    std::snprintf(name, sizeof name, "Local\\cfc-settings-%016llx",
                  static_cast<unsigned long long>(nameHash(key)));
    const HANDLE mutex = ::CreateMutexA(nullptr, FALSE, name);
    if (mutex == nullptr)
        return;
    // An abandoned mutex is ours now; its holder ended before or after its
    // rename, and either leaves a whole file.
    const DWORD waited = ::WaitForSingleObject(mutex, timeoutMs);
    if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED) {
        ::CloseHandle(mutex);
        return;
    }
    handle_ = reinterpret_cast<intptr_t>(mutex);
}

SettingsFileLock::~SettingsFileLock()
{
    if (handle_ == -1)
        return;
    const HANDLE mutex = reinterpret_cast<HANDLE>(handle_);
    ::ReleaseMutex(mutex);
    ::CloseHandle(mutex);
}

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
