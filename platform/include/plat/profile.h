// Private-profile (INI) files: read a key with a default, write a key back.
// Missing files, sections and keys read as the default. On Windows the
// system's private-profile functions do the work; elsewhere our own parser
// reads the files the same way.
#pragma once

#include <string>

namespace plat {

std::string readProfileString(const std::string& file, const std::string& section,
                              const std::string& key, const std::string& fallback);

// Creates the file (not its directory) when missing; false when it cannot be
// written.
bool writeProfileString(const std::string& file, const std::string& section, const std::string& key,
                        const std::string& value);

} // namespace plat
