// Appending lines to a log file in a directory below the working directory.
#pragma once

#include <string>

namespace plat {

// Appends `text` to `dir`/`file`, creating both when missing. Neither is
// followed through a symbolic link, so a link planted in a shared working
// directory cannot send the write elsewhere, and only a regular file is
// written to (a FIFO there would block the caller for good). 0, or the
// system error.
int appendToFileInDir(const std::string& dir, const std::string& file, const std::string& text);

} // namespace plat
