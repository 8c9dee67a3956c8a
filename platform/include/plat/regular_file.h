// Configuration and store files, read and written only when they are what
// they claim to be. A FIFO named like a configuration file would hold an
// ordinary open or read for ever, and a device or an endless file would be
// read without end; so the file is opened without blocking and used only when
// it is a regular file no larger than its caller allows.
#pragma once

#include <cstddef>
#include <string>

namespace plat {

enum class FileCheck {
    Ok,
    Missing,    // no such file (or a dangling link)
    NotRegular, // a FIFO, device, socket or directory
    TooLarge,   // more bytes than the caller allows
    Unreadable, // the system refused (permissions, I/O error)
};

// Reads the whole file into `content` (cleared first).
FileCheck readRegularFile(const std::string& path, std::size_t maxBytes, std::string& content);

// Opens a regular file for reading, or for reading and writing; -1 with
// *check set otherwise. The descriptor is blocking again once the check has
// passed.
int openRegularFile(const std::string& path, bool write, FileCheck* check);

// Words for a refusal, for a message such as "<path>: <words>, ignored".
std::string describeFileCheck(FileCheck check, std::size_t maxBytes);

} // namespace plat
