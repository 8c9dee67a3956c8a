// Port settings in the registry key KVX_Library under the current hardware
// profile, where production tools on the same PC have always found them.
#include "plat/port_settings.h"

#include <windows.h>

namespace plat {

namespace {

constexpr const char* kKey = "KVX_Library";
// The registry has no write of two values at once; writers and readers of
// this library take this lock around the pair instead, so none of them
// finds the port of one write beside the speed of another.
constexpr const char* kLockName = "Local\\cfc-port-settings";
constexpr DWORD kLockWaitMs = 5000;

// Holds the session's port-settings mutex for one scope; a holder that ended
// without letting go left the values whole, so an abandoned mutex is ours.
class PairLock {
public:
    PairLock() : mutex_(::CreateMutexA(nullptr, FALSE, kLockName))
    {
        if (mutex_ == nullptr)
            return;
        const DWORD waited = ::WaitForSingleObject(mutex_, kLockWaitMs);
        held_ = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
    }
    ~PairLock()
    {
        if (held_)
            ::ReleaseMutex(mutex_);
        if (mutex_ != nullptr)
            ::CloseHandle(mutex_);
    }
    PairLock(const PairLock&) = delete;
    PairLock& operator=(const PairLock&) = delete;
    bool held() const { return held_; }

private:
    HANDLE mutex_;
    bool held_ = false;
};

} // namespace

bool writePortSettings(uint8_t port, uint32_t baudRate)
{
    const PairLock pair;
    if (!pair.held())
        return false;
    HKEY key = nullptr;
    DWORD disposition = 0;
    char keyClass[] = "KVX_Library";
    if (RegCreateKeyExA(HKEY_CURRENT_CONFIG, kKey, 0, keyClass, REG_OPTION_NON_VOLATILE,
                        KEY_READ | KEY_CREATE_SUB_KEY | KEY_SET_VALUE, nullptr, &key,
                        &disposition) != ERROR_SUCCESS)
        return false;
    const DWORD speed = baudRate;
    // The two writes are not judged: the key exists, which is what callers
    // have been told success means.
    RegSetValueExA(key, "Baudrate", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&speed),
                   sizeof speed);
    RegSetValueExA(key, "ComPort", 0, REG_BINARY, &port, sizeof port);
    RegCloseKey(key);
    return true;
}

bool readPortSettings(uint8_t* port)
{
    const PairLock pair;
    HKEY key = nullptr;
    if (port == nullptr ||
        RegOpenKeyExA(HKEY_CURRENT_CONFIG, kKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    BYTE value = 0;
    DWORD type = 0;
    DWORD size = sizeof value;
    const LONG read = RegQueryValueExA(key, "ComPort", nullptr, &type, &value, &size);
    RegCloseKey(key);
    if (read != ERROR_SUCCESS || type != REG_BINARY || size != sizeof value)
        return false;
    *port = value;
    return true;
}

} // namespace plat
