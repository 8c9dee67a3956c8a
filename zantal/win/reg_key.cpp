#include "win/reg_key.h"

#include "plat/byte_order.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace win {

RegKey::~RegKey()
{
    if (key_)
        RegCloseKey(key_);
}

RegKey::RegKey(RegKey&& other) noexcept : key_(other.release()) {}

RegKey& RegKey::operator=(RegKey&& other) noexcept
{
    if (this != &other) {
        if (key_)
            RegCloseKey(key_);
        key_ = other.release();
    }
    return *this;
}

HKEY RegKey::release()
{
    HKEY key = key_;
    key_ = nullptr;
    return key;
}

RegKey RegKey::open(HKEY base, const std::string& path, REGSAM access)
{
    HKEY key = nullptr;
    return RegKey(RegOpenKeyExA(base, path.c_str(), 0, access, &key) == ERROR_SUCCESS ? key
                                                                                      : nullptr);
}

RegKey RegKey::create(HKEY base, const std::string& path, REGSAM access)
{
    HKEY key = nullptr;
    LONG rc = RegCreateKeyExA(base, path.c_str(), 0, nullptr, 0, access, nullptr, &key, nullptr);
    return RegKey(rc == ERROR_SUCCESS ? key : nullptr);
}

std::optional<std::string> RegKey::raw(const char* name, DWORD* type) const
{
    if (!key_)
        return std::nullopt;
    DWORD size = 0;
    if (RegQueryValueExA(key_, name, nullptr, type, nullptr, &size) != ERROR_SUCCESS)
        return std::nullopt;
    std::string bytes(size, '\0');
    if (RegQueryValueExA(key_, name, nullptr, type, reinterpret_cast<BYTE*>(bytes.data()), &size) !=
        ERROR_SUCCESS)
        return std::nullopt;
    bytes.resize(size);
    return bytes;
}

std::optional<std::string> RegKey::string(const char* name) const
{
    auto bytes = raw(name);
    if (!bytes)
        return std::nullopt;
    return bytes->substr(0, bytes->find('\0'));
}

std::optional<DWORD> RegKey::dword(const char* name) const
{
    auto bytes = raw(name);
    if (!bytes || bytes->size() != 4)
        return std::nullopt;
    return readLe32(*bytes, 0);
}

std::vector<std::string> RegKey::multiString(const char* name) const
{
    std::vector<std::string> values;
    auto bytes = raw(name);
    if (!bytes)
        return values;
    size_t pos = 0;
    while (pos < bytes->size()) {
        size_t end = bytes->find('\0', pos);
        if (end == std::string::npos)
            end = bytes->size();
        if (end == pos)
            break; // the empty string ends the list
        values.push_back(bytes->substr(pos, end - pos));
        pos = end + 1;
    }
    return values;
}

bool RegKey::setRaw(const char* name, DWORD type, const std::string& bytes)
{
    return key_ && RegSetValueExA(key_, name, 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                                  static_cast<DWORD>(bytes.size())) == ERROR_SUCCESS;
}

bool RegKey::setString(const char* name, const std::string& value)
{
    return setRaw(name, REG_SZ, value + '\0');
}

bool RegKey::setDword(const char* name, DWORD value)
{
    std::string bytes(4, '\0');
    writeLe32(bytes, 0, value);
    return setRaw(name, REG_DWORD, bytes);
}

bool RegKey::setMultiString(const char* name, const std::vector<std::string>& values)
{
    std::string bytes;
    for (const std::string& v : values)
        bytes += v + '\0';
    bytes += '\0';
    return setRaw(name, REG_MULTI_SZ, bytes);
}

std::vector<std::string> RegKey::subkeys() const
{
    std::vector<std::string> names;
    if (!key_)
        return names;
    char name[256];
    for (DWORD i = 0;; ++i) {
        DWORD length = sizeof name;
        if (RegEnumKeyExA(key_, i, name, &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        names.emplace_back(name, length);
    }
    return names;
}

DWORD readLe32(const std::string& bytes, size_t at)
{
    // A field cut off by the string's end reads its missing bytes as zero.
    std::array<uint8_t, 4> field{};
    if (at < bytes.size())
        std::memcpy(field.data(), bytes.data() + at, std::min(field.size(), bytes.size() - at));
    return plat::getLe32(field, 0);
}

void writeLe32(std::string& bytes, size_t at, DWORD value)
{
    if (bytes.size() < at + 4)
        bytes.resize(at + 4, '\0');
    plat::putLe32({reinterpret_cast<uint8_t*>(bytes.data()), bytes.size()}, at, value);
}

} // namespace win
