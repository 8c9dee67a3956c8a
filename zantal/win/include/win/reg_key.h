// An owned registry key with typed reads and writes, for code of this layer
// that works the registry as a store (the SetupAPI stand-in, tests). Every
// read is bounded by the value's stored size.
#pragma once

#include "win/registry.h"

#include <optional>
#include <string>
#include <vector>

namespace win {

class RegKey {
public:
    RegKey() = default;
    explicit RegKey(HKEY key) : key_(key) {}
    ~RegKey();
    RegKey(RegKey&& other) noexcept;
    RegKey& operator=(RegKey&& other) noexcept;
    RegKey(const RegKey&) = delete;
    RegKey& operator=(const RegKey&) = delete;

    static RegKey open(HKEY base, const std::string& path, REGSAM access = KEY_READ);
    static RegKey create(HKEY base, const std::string& path, REGSAM access = KEY_ALL_ACCESS);

    bool valid() const { return key_ != nullptr; }
    HKEY get() const { return key_; }
    HKEY release();

    std::optional<std::string> raw(const char* name, DWORD* type = nullptr) const;
    // A string value without its terminating zero.
    std::optional<std::string> string(const char* name) const;
    std::optional<DWORD> dword(const char* name) const;
    // The strings of a multi-string value.
    std::vector<std::string> multiString(const char* name) const;

    bool setRaw(const char* name, DWORD type, const std::string& bytes);
    bool setString(const char* name, const std::string& value);
    bool setDword(const char* name, DWORD value);
    bool setMultiString(const char* name, const std::vector<std::string>& values);

    std::vector<std::string> subkeys() const;

private:
    HKEY key_ = nullptr;
};

// Little-endian 32-bit fields inside a byte string.
DWORD readLe32(const std::string& bytes, size_t at);
void writeLe32(std::string& bytes, size_t at, DWORD value);

} // namespace win
