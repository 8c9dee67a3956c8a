// What each backend supplies to the code in common/.
#pragma once

#include "common/deadline.h"
#include "plat/serial.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace plat::detail {

// Waits until one of the events is set or the deadline passes. Returns the
// index of a set event (the lowest), or -1 at the deadline. Null entries are
// skipped.
int waitForAnyUntil(const Event* const* events, size_t count, Deadline deadline);

// The system handle an Event keeps in step with its state (see
// Event::nativeHandle): a new one, set or not; -1 with *sysError (when
// given) if the system refuses.
int newEventHandle(bool signalled, int* sysError);
void closeEventHandle(int handle);
void signalEventHandle(int handle, bool set);

// Opens a device path exclusively (see openSerialPort).
std::unique_ptr<SerialPort> openDevicePort(const std::string& path, int* sysError);

// Replaces the file's contents so that a reader sees either the old or the
// new file, never a part of one. False with *sysError when it cannot.
bool replaceFile(const std::string& path, const std::string& contents, int* sysError);

// Held while a settings file is read and rewritten, so that the rewrite of
// another process cannot come in between and lose a change (its own or this
// one's). Waits for the lock at most `timeoutMs`; held() tells whether it
// got it. Any text names a lock; for a file it is the file's path.
class SettingsFileLock {
public:
    SettingsFileLock(const std::string& path, uint32_t timeoutMs);
    ~SettingsFileLock();
    SettingsFileLock(const SettingsFileLock&) = delete;
    SettingsFileLock& operator=(const SettingsFileLock&) = delete;
    bool held() const { return handle_ != -1; }

private:
    intptr_t handle_ = -1;
};

// How long a settings write waits for another process's: one read and one
// rename of a small file take far less; a process stopped while it holds
// the lock must not hold up every other for good.
inline constexpr uint32_t kSettingsLockWaitMs = 5000;

// Device of COM<n> when no CFC_COM<n> variable names one; nothing when the
// system has none for that number.
std::optional<std::string> systemComPortPath(int portNumber);

// `suffix` is lower case; `text` may be in any case.
bool endsWithNoCase(const std::string& text, const std::string& suffix);

} // namespace plat::detail
