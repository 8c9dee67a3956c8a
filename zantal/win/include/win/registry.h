// Registry calls over our file-backed store (registry.txt under the store
// root, see store.h). Every call that changes the store rewrites the file
// atomically under an exclusive lock; readers take a shared lock, so a
// handle sees the store as it is at each call, unless the call is made
// inside a transaction (RegTransaction below).
//
// The store keeps the system's limits: key names of at most 255 characters,
// 512 levels of keys, value names of at most 16,383 characters, values of at
// most 1 MiB, and 64 MiB for the whole store file. A call that would exceed
// one fails (ERROR_INVALID_NAME, ERROR_BADKEY, ERROR_INVALID_PARAMETER,
// ERROR_NOT_ENOUGH_QUOTA) and changes nothing. A store file that cannot be
// read fails every call with ERROR_REGISTRY_CORRUPT or
// ERROR_REGISTRY_IO_FAILED; only a missing one reads as empty.
//
// Volatile content: HKEY_LOCAL_MACHINE\Hardware\DeviceMap\SerialComm lists,
// besides any values written to it, the serial ports the kernel offers
// (serial_map.h), read afresh at each open of the key.
//
// On Windows these are the system's registry calls, and a transaction is
// empty: the system's device installer serialises its own work.
#pragma once

#include "win/types.h"

#ifdef _WIN32

namespace win {

using ::RegCloseKey;
using ::RegCreateKeyExA;
using ::RegDeleteKeyA;
using ::RegDeleteValueA;
using ::RegEnumKeyExA;
using ::RegEnumValueA;
using ::RegOpenKeyExA;
using ::RegQueryValueExA;
using ::RegSetValueExA;

class RegTransaction {
public:
    explicit RegTransaction(bool) {}
    RegTransaction(const RegTransaction&) = delete;
    RegTransaction& operator=(const RegTransaction&) = delete;
    LONG status() const { return ERROR_SUCCESS; }
    LONG commit() { return ERROR_SUCCESS; }
};

} // namespace win

#else

namespace win {

inline HKEY const HKEY_CURRENT_USER = reinterpret_cast<HKEY>(uintptr_t{0x80000001u});
inline HKEY const HKEY_LOCAL_MACHINE = reinterpret_cast<HKEY>(uintptr_t{0x80000002u});

// Access rights.
inline constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
inline constexpr REGSAM KEY_SET_VALUE = 0x0002;
inline constexpr REGSAM KEY_CREATE_SUB_KEY = 0x0004;
inline constexpr REGSAM KEY_ENUMERATE_SUB_KEYS = 0x0008;
inline constexpr REGSAM KEY_NOTIFY = 0x0010;
inline constexpr REGSAM KEY_READ = 0x20019;
inline constexpr REGSAM KEY_WRITE = 0x20006;
inline constexpr REGSAM KEY_ALL_ACCESS = 0xF003F;

// Value types.
inline constexpr DWORD REG_NONE = 0;
inline constexpr DWORD REG_SZ = 1;
inline constexpr DWORD REG_EXPAND_SZ = 2;
inline constexpr DWORD REG_BINARY = 3;
inline constexpr DWORD REG_DWORD = 4;
inline constexpr DWORD REG_MULTI_SZ = 7;

inline constexpr DWORD REG_CREATED_NEW_KEY = 1;
inline constexpr DWORD REG_OPENED_EXISTING_KEY = 2;

// Results are system error codes (ERROR_SUCCESS on success), as LONG.
LONG RegOpenKeyExA(HKEY key, const char* subKey, DWORD options, REGSAM access, HKEY* result);
LONG RegCreateKeyExA(HKEY key, const char* subKey, DWORD reserved, char* keyClass, DWORD options,
                     REGSAM access, void* security, HKEY* result, DWORD* disposition);
LONG RegCloseKey(HKEY key);

// dataSize in: the buffer's size; out: the value's size (also when the
// buffer was too small: ERROR_MORE_DATA). A null data pointer asks for the
// size only.
LONG RegQueryValueExA(HKEY key, const char* valueName, DWORD* reserved, DWORD* type, BYTE* data,
                      DWORD* dataSize);
LONG RegSetValueExA(HKEY key, const char* valueName, DWORD reserved, DWORD type, const BYTE* data,
                    DWORD dataSize);
LONG RegDeleteValueA(HKEY key, const char* valueName);

// nameLength in: the name buffer's size in characters including the zero;
// out: the name's length without it.
LONG RegEnumValueA(HKEY key, DWORD index, char* valueName, DWORD* nameLength, DWORD* reserved,
                   DWORD* type, BYTE* data, DWORD* dataSize);
LONG RegEnumKeyExA(HKEY key, DWORD index, char* name, DWORD* nameLength, DWORD* reserved,
                   char* keyClass, DWORD* classLength, void* lastWriteTime);

// Deletes a key that has no subkeys (ERROR_ACCESS_DENIED otherwise).
LONG RegDeleteKeyA(HKEY key, const char* subKey);
// Deletes a key with everything below it.
LONG RegDeleteTreeA(HKEY key, const char* subKey);

// Not a call of the original host, whose device installer serialises its
// own work: a transaction over our store. While one is open on a thread,
// the registry calls of that thread work on one copy of the store, loaded
// under the store's lock (shared for reading, exclusive for writing) and
// held until the transaction ends, so a sequence of calls (pick a free
// number, create the key, count a user) is one step for every other thread
// and process. commit() replaces the file once with what changed; a
// transaction ended without commit leaves the store as it was. One opened
// while another is open on the same thread joins it: its commit does
// nothing, the outermost one writes. A writing transaction cannot join a
// reading one (ERROR_ACCESS_DENIED).
class RegTransaction {
public:
    explicit RegTransaction(bool write);
    ~RegTransaction();
    RegTransaction(const RegTransaction&) = delete;
    RegTransaction& operator=(const RegTransaction&) = delete;

    // ERROR_SUCCESS when the store could be loaded (a missing one is empty).
    LONG status() const { return status_; }
    LONG commit();

private:
    LONG status_ = ERROR_SUCCESS;
    bool outermost_ = false;
};

} // namespace win

#endif
