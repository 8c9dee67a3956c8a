// Private-profile (INI) files: read a key with a default, write a key back.
// Missing files, sections and keys read as the default. On Windows the
// system's private-profile functions do the work; elsewhere our own parser
// reads the files the same way.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace plat {

std::string readProfileString(const std::string& file, const std::string& section,
                              const std::string& key, const std::string& fallback);

// Creates the file (not its directory) when missing; false when it cannot be
// written.
bool writeProfileString(const std::string& file, const std::string& section, const std::string& key,
                        const std::string& value);

struct ProfileValue {
    std::string key;
    std::string value;
};

// Writes several keys of one section in one replacement of the file, so that
// a reader finds all of them or none. Writes of this library to one file,
// from any thread or process, follow one another: each keeps what the one
// before wrote. False when the file cannot be written (or is locked by a
// writer longer than a few seconds).
bool writeProfileStrings(const std::string& file, const std::string& section,
                         const std::vector<ProfileValue>& values);

// Reads the key (`fallback` when it is missing) and writes back what `next`
// makes of it, with no write of another thread or process in between;
// `next` returns nothing to leave the file as it is. `next` is not called
// when the file cannot be locked or read; false then, and when the write
// fails.
bool updateProfileString(const std::string& file, const std::string& section,
                         const std::string& key, const std::string& fallback,
                         const std::function<std::optional<std::string>(const std::string&)>& next);

} // namespace plat
