// Private-profile (INI) files. Section and key names compare without regard
// to case, as on the original host; the first section and the first key of a
// name are the ones read and written. A write changes the bytes of that one
// value (or adds the one line) and keeps every other byte of the file: its
// comments, lines we do not understand, NUL bytes and line ends.
#include "plat/profile.h"

#include "common/backend.h"
#include "plat/regular_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <functional>
#include <mutex>
#include <set>
#include <string_view>

namespace plat {

namespace {

// Settings files are a few hundred bytes; anything near this is not one.
constexpr std::size_t kMaxProfileBytes = 1u << 20;

// Read-modify-write of one file must not interleave between threads, or one
// thread's key is lost.
std::mutex& writeMutex()
{
    static std::mutex instance;
    return instance;
}

// A line break would let a value start sections and keys of its own; '='
// ends a key and ']' a section name.
bool writable(const std::string& section, const std::string& key, const std::string& value)
{
    const auto breaksLine = [](const std::string& text) {
        return text.find_first_of("\r\n") != std::string::npos;
    };
    return !section.empty() && !key.empty() && !breaksLine(section) && !breaksLine(key) &&
           !breaksLine(value) && section.find(']') == std::string::npos &&
           key.find('=') == std::string::npos;
}

bool blank(char c)
{
    return c == ' ' || c == '\t' || c == '\r';
}

std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    return text;
}

bool sameNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) {
            return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
        };
        if (lower(a[i]) != lower(b[i]))
            return false;
    }
    return true;
}

// Where a key's value lies in the file's bytes, or where a new line for it
// would go.
struct Place {
    bool sectionFound = false;
    bool keyFound = false;
    std::size_t valueBegin = 0;
    std::size_t valueEnd = 0;
    std::size_t sectionEnd = 0; // just after the last non-blank line of the section
};

Place locate(std::string_view text, std::string_view section, std::string_view key)
{
    Place place;
    bool inSection = false;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        const std::size_t next = end == std::string_view::npos ? text.size() : end + 1;
        if (end == std::string_view::npos)
            end = text.size();
        const std::string_view line = text.substr(pos, end - pos);
        const std::string_view content = trimmed(line);
        if (!content.empty() && content.front() == '[') {
            if (inSection)
                return place; // the first section of the name ends here
            const std::size_t close = content.find(']');
            const std::string_view name = trimmed(content.substr(
                1, close == std::string_view::npos ? std::string_view::npos : close - 1));
            if (close != std::string_view::npos && sameNoCase(name, section)) {
                inSection = true;
                place.sectionFound = true;
                place.sectionEnd = next;
            }
        } else if (inSection && !content.empty()) {
            place.sectionEnd = next;
            const std::size_t equals = line.find('=');
            const bool comment = content.front() == ';' || content.front() == '#';
            if (!comment && equals != std::string_view::npos &&
                sameNoCase(trimmed(line.substr(0, equals)), key)) {
                const std::string_view value = trimmed(line.substr(equals + 1));
                place.keyFound = true;
                place.valueBegin = value.empty()
                                       ? equals + 1 + pos
                                       : static_cast<std::size_t>(value.data() - text.data());
                place.valueEnd = place.valueBegin + value.size();
                return place;
            }
        }
        pos = next;
    }
    return place;
}

// Says once per file and reason why a settings file is passed over, so that
// a user who made it a FIFO or filled it with a log learns why nothing of it
// counts.
void reportRefusal(const std::string& file, FileCheck check)
{
    static std::mutex mutex;
    static std::set<std::pair<std::string, FileCheck>> told;
    std::lock_guard lock(mutex);
    if (told.size() < 64 && told.emplace(file, check).second)
        std::fprintf(stderr, "cfc: %s: %s, ignored\n", file.c_str(),
                     describeFileCheck(check, kMaxProfileBytes).c_str());
}

// The file's bytes; false (and said on stderr) when it exists but is not a
// settings file we may use.
bool loadProfile(const std::string& file, std::string& text, bool& exists)
{
    const FileCheck check = readRegularFile(file, kMaxProfileBytes, text);
    exists = check != FileCheck::Missing;
    if (check == FileCheck::Ok || check == FileCheck::Missing)
        return true;
    reportRefusal(file, check);
    return false;
}

// A file nobody may write was made so on purpose, also when we could
// override that as root.
bool userMayWrite(const std::string& file)
{
    struct stat st {};
    if (::stat(file.c_str(), &st) != 0)
        return errno == ENOENT;
    return (st.st_mode & 0222) != 0 && ::access(file.c_str(), W_OK) == 0;
}

// Puts `value` into the text as the key's value: in place when the key is
// there, else as a new line at the end of its section (or of the file, in a
// new section).
void setValue(std::string& text, const std::string& section, const std::string& key,
              const std::string& value)
{
    const std::string_view newline = text.find("\r\n") != std::string::npos ? "\r\n" : "\n";
    const Place place = locate(text, section, key);
    if (place.keyFound) {
        text.replace(place.valueBegin, place.valueEnd - place.valueBegin, value);
        return;
    }
    std::string line = key + "=" + value + std::string(newline);
    std::size_t at = place.sectionEnd;
    if (!place.sectionFound) {
        line = "[" + section + "]" + std::string(newline) + line;
        at = text.size();
    }
    // The line before may be the file's last one, without its end.
    if (at > 0 && text[at - 1] != '\n')
        line = std::string(newline) + line;
    text.insert(at, line);
}

// Reads the file, lets `edit` change its text and replaces the file with the
// result in one step, under a lock between threads and one between
// processes: two writers of different keys both keep their key, and a reader
// sees the file before or after, never between two keys of one write.
bool editProfile(const std::string& file, const std::function<void(std::string&)>& edit)
{
    std::lock_guard lock(writeMutex());
    const detail::SettingsFileLock betweenProcesses(file, detail::kSettingsLockWaitMs);
    if (!betweenProcesses.held())
        return false;
    std::string text;
    bool exists = false;
    // A file that exists but cannot be read would otherwise be replaced by
    // the keys of this write alone.
    if (!loadProfile(file, text, exists) || !userMayWrite(file))
        return false;
    const std::string before = text;
    edit(text);
    if (exists && text == before)
        return true;
    int error = 0;
    return detail::replaceFile(file, text, &error);
}

} // namespace

std::string readProfileString(const std::string& file, const std::string& section,
                              const std::string& key, const std::string& fallback)
{
    std::string text;
    bool exists = false;
    if (!loadProfile(file, text, exists) || !exists)
        return fallback;
    const Place place = locate(text, section, key);
    if (!place.keyFound)
        return fallback;
    return text.substr(place.valueBegin, place.valueEnd - place.valueBegin);
}

bool writeProfileString(const std::string& file, const std::string& section, const std::string& key,
                        const std::string& value)
{
    return writeProfileStrings(file, section, {{key, value}});
}

bool writeProfileStrings(const std::string& file, const std::string& section,
                         const std::vector<ProfileValue>& values)
{
    for (const ProfileValue& v : values)
        if (!writable(section, v.key, v.value))
            return false;
    return editProfile(file, [&](std::string& text) {
        for (const ProfileValue& v : values)
            setValue(text, section, v.key, v.value);
    });
}

bool updateProfileString(const std::string& file, const std::string& section,
                         const std::string& key, const std::string& fallback,
                         const std::function<std::optional<std::string>(const std::string&)>& next)
{
    if (!writable(section, key, ""))
        return false;
    bool ok = true;
    const bool edited = editProfile(file, [&](std::string& text) {
        const Place place = locate(text, section, key);
        const std::string current =
            place.keyFound ? text.substr(place.valueBegin, place.valueEnd - place.valueBegin)
                           : fallback;
        const std::optional<std::string> value = next(current);
        if (!value)
            return;
        if (!writable(section, key, *value)) {
            ok = false;
            return;
        }
        setValue(text, section, key, *value);
    });
    return edited && ok;
}

} // namespace plat
