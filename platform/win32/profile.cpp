// Private-profile (INI) files through the system's own profile functions, so
// that a settings file reads as every other program on the PC reads it
// (quotes around a value, comments, the system's own caching of the file).
#include "plat/profile.h"

#include <windows.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

namespace plat {

namespace {

// Values of a settings file are short; a longer one is cut at this size.
constexpr DWORD kMaxValueSize = 32768;

// A name without a directory would be looked for in the Windows directory;
// the seam means it relative to the working directory.
std::string fullPath(const std::string& file)
{
    char buffer[MAX_PATH];
    const DWORD length = GetFullPathNameA(file.c_str(), MAX_PATH, buffer, nullptr);
    if (length == 0 || length >= MAX_PATH)
        return file;
    return std::string(buffer, length);
}

bool acceptable(const std::string& section, const std::string& key, const std::string& value)
{
    // A line break would let a value start sections and keys of its own.
    return !section.empty() && !key.empty() &&
           (section + key + value).find_first_of("\r\n") == std::string::npos;
}

// Readers and writers of one file in this library, in any process, take
// turns through a mutex named after the file, so that a read-and-write-back
// or a write of several keys is one step to the others. A writer that does
// not let go within a few seconds is given up on.
class FileTurn {
public:
    explicit FileTurn(const std::string& path)
    {
        // One file has one name whatever the case or slashes it was given
        // in. The namespace prefix keeps its case (Wine finds no "local"),
        // and the rest may hold no backslash.
        std::string name = path;
        std::replace(name.begin(), name.end(), '\\', '/');
        std::transform(name.begin(), name.end(), name.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        name = "Local\\cfc-profile-" + name;
        if (name.size() >= MAX_PATH)
            name.resize(MAX_PATH - 1);
        handle_ = CreateMutexA(nullptr, FALSE, name.c_str());
        if (handle_ != nullptr) {
            const DWORD waited = WaitForSingleObject(handle_, 5000);
            held_ = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
        }
    }
    ~FileTurn()
    {
        if (held_)
            ReleaseMutex(handle_);
        if (handle_ != nullptr)
            CloseHandle(handle_);
    }
    FileTurn(const FileTurn&) = delete;
    FileTurn& operator=(const FileTurn&) = delete;

    bool held() const { return held_; }

private:
    HANDLE handle_ = nullptr;
    bool held_ = false;
};

std::string readFrom(const std::string& path, const std::string& section, const std::string& key,
                     const std::string& fallback)
{
    // The system reports a cut value as one character short of the buffer;
    // only then is a larger buffer worth a second read.
    for (DWORD size = 256;; size *= 2) {
        std::vector<char> buffer(size);
        const DWORD length = GetPrivateProfileStringA(
            section.c_str(), key.c_str(), fallback.c_str(), buffer.data(), size, path.c_str());
        if (length + 1 < size || size >= kMaxValueSize)
            return std::string(buffer.data(), length);
    }
}

bool writeTo(const std::string& path, const std::string& section, const std::string& key,
             const std::string& value)
{
    return WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(), path.c_str()) !=
           0;
}

} // namespace

std::string readProfileString(const std::string& file, const std::string& section,
                              const std::string& key, const std::string& fallback)
{
    const std::string path = fullPath(file);
    // A writer that holds on too long is not waited for: the read goes on.
    const FileTurn turn(path);
    return readFrom(path, section, key, fallback);
}

bool writeProfileString(const std::string& file, const std::string& section, const std::string& key,
                        const std::string& value)
{
    if (!acceptable(section, key, value))
        return false;
    const std::string path = fullPath(file);
    const FileTurn turn(path);
    return turn.held() && writeTo(path, section, key, value);
}

bool writeProfileStrings(const std::string& file, const std::string& section,
                         const std::vector<ProfileValue>& values)
{
    for (const ProfileValue& value : values) {
        if (!acceptable(section, value.key, value.value))
            return false;
    }
    const std::string path = fullPath(file);
    const FileTurn turn(path);
    if (!turn.held())
        return false;
    for (const ProfileValue& value : values) {
        if (!writeTo(path, section, value.key, value.value))
            return false;
    }
    return true;
}

bool updateProfileString(const std::string& file, const std::string& section,
                         const std::string& key, const std::string& fallback,
                         const std::function<std::optional<std::string>(const std::string&)>& next)
{
    if (!acceptable(section, key, ""))
        return false;
    const std::string path = fullPath(file);
    const FileTurn turn(path);
    if (!turn.held())
        return false;
    const std::optional<std::string> value = next(readFrom(path, section, key, fallback));
    if (!value)
        return true;
    return acceptable(section, key, *value) && writeTo(path, section, key, *value);
}

} // namespace plat
