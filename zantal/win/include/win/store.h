// Where this layer keeps what Windows keeps in the system: the registry
// store, the phone book and the driver search directory all live under one
// root directory.
//
//   ZANTAL_ROOT        the root, when set and not empty (tests point it at a
//                      temporary directory);
//   otherwise          $XDG_DATA_HOME/zantal, else ~/.local/share/zantal.
//
//   ZANTAL_SYSFS_ROOT  where the kernel's device tree is read for the
//                      serial-port map (default /sys), so a test can offer a
//                      fake tree of its own.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace win {

std::string storeRoot();
std::string sysfsRoot();

// Makes the root (and its parents) exist; false when it cannot.
bool ensureStoreRoot();

// Whether this process may change what the store keeps machine-wide
// (HKEY_LOCAL_MACHINE). On the original host only administrators may; here
// the store's owner plays the machine's administrator, so a user's own
// store stays fully theirs, and root may change any store. Every other
// process, one that only has the Administrators group deny-only included,
// reads the machine's keys but cannot open them for writing. A root that
// does not exist yet will be made by this process, so it counts as its own.
bool mayChangeMachineStore();

enum class StoreAccess { Done, LockFailed, ReadFailed, WriteFailed };

// One read or read-modify-write of the store file `fileName` under the root,
// under its lock (`fileName`.lock). `use` gets the file's content, or null
// when there is no such file yet; a writer's `use` may fill *replacement to
// have the file replaced atomically (readers get a null replacement).
StoreAccess accessStoreFile(
    const std::string& fileName, bool write, size_t maxBytes,
    const std::function<void(const std::string* content, std::optional<std::string>* replacement)>&
        use);

// Whole-file replacement: the new content is written beside the target,
// flushed and renamed over it, so a crash leaves either the old or the new
// file and never a half-written one.
bool replaceFileAtomically(const std::string& path, const std::string& content);

// Reads a whole regular file; false when it does not exist, is no regular
// file (a FIFO would hold the read for ever) or cannot be read. Files longer
// than maxBytes are refused rather than read in part.
bool readWholeFile(const std::string& path, std::string& content, size_t maxBytes);

// The lines of a store file after its header line, which must read
// `header`; empty lines are passed over. False when the header differs or
// `onLine` refuses a line.
bool forEachStoreLine(std::string_view text, std::string_view header,
                      const std::function<bool(std::string_view line)>& onLine);

// An advisory lock on a lock file beside the data, held for the life of the
// object: shared for readers, exclusive for read-modify-write, so two
// processes never interleave their updates of one store file.
class StoreLock {
public:
    StoreLock(const std::string& lockPath, bool exclusive);
    ~StoreLock();
    StoreLock(const StoreLock&) = delete;
    StoreLock& operator=(const StoreLock&) = delete;
    bool held() const { return fd_ >= 0; }

private:
    int fd_ = -1;
};

} // namespace win
