// What each backend supplies to the code in common/.
#pragma once

#include "common/deadline.h"
#include "plat/serial.h"

#include <cstddef>
#include <memory>
#include <optional>
#include <string>

namespace plat::detail {

// Waits until one of the events is set or the deadline passes. Returns the
// index of a set event (the lowest), or -1 at the deadline. Null entries are
// skipped.
int waitForAnyUntil(const Event* const* events, size_t count, Deadline deadline);

// Opens a device path exclusively (see openSerialPort).
std::unique_ptr<SerialPort> openDevicePort(const std::string& path, int* sysError);

// Replaces the file's contents so that a reader sees either the old or the
// new file, never a part of one. False with *sysError when it cannot.
bool replaceFile(const std::string& path, const std::string& contents, int* sysError);

// Device of COM<n> when no CFC_COM<n> variable names one; nothing when the
// system has none for that number.
std::optional<std::string> systemComPortPath(int portNumber);

// `suffix` is lower case; `text` may be in any case.
bool endsWithNoCase(const std::string& text, const std::string& suffix);

} // namespace plat::detail
