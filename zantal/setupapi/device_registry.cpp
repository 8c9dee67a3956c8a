#include "device_registry.h"

#include "win/escape.h"

#include <cstdio>

namespace zantal::devices {

using namespace win;

namespace {

struct KnownClass {
    const char* name;
    GUID guid;
};

constexpr KnownClass kKnownClasses[] = {
    {"Modem", {0x4D36E96D, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}}},
    {"Ports", {0x4D36E978, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}}},
};

constexpr size_t kMaxDeviceId = 200;
constexpr unsigned kMaxInstances = 10000;

std::string fourDigits(unsigned n)
{
    char text[8];
    std::snprintf(text, sizeof text, "%04u", n);
    return text;
}

} // namespace

std::string guidText(const GUID& g)
{
    char text[40];
    std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", g.Data1,
                  g.Data2, g.Data3, g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4],
                  g.Data4[5], g.Data4[6], g.Data4[7]);
    return text;
}

std::optional<GUID> parseGuid(std::string_view text)
{
    if (text.size() != 38)
        return std::nullopt;
    std::string s(text);
    unsigned d1, d2, d3, b[8];
    int used = 0;
    if (std::sscanf(s.c_str(), "{%8x-%4x-%4x-%2x%2x-%2x%2x%2x%2x%2x%2x}%n", &d1, &d2, &d3, &b[0],
                    &b[1], &b[2], &b[3], &b[4], &b[5], &b[6], &b[7], &used) != 11 ||
        used != 38)
        return std::nullopt;
    GUID g{d1, static_cast<uint16_t>(d2), static_cast<uint16_t>(d3), {}};
    for (int i = 0; i < 8; ++i)
        g.Data4[i] = static_cast<uint8_t>(b[i]);
    return g;
}

std::optional<GUID> classGuidForName(std::string_view name)
{
    for (const KnownClass& c : kKnownClasses)
        if (equalsIgnoreCase(c.name, name))
            return c.guid;
    RegKey classes = RegKey::open(HKEY_LOCAL_MACHINE, kClassPath, KEY_READ);
    for (const std::string& sub : classes.subkeys()) {
        RegKey key = RegKey::open(classes.get(), sub, KEY_READ);
        auto className = key.string("Class");
        if (className && equalsIgnoreCase(*className, name))
            if (auto guid = parseGuid(sub))
                return guid;
    }
    return std::nullopt;
}

std::string classNameFor(const GUID& guid)
{
    for (const KnownClass& c : kKnownClasses)
        if (c.guid == guid)
            return c.name;
    RegKey key =
        RegKey::open(HKEY_LOCAL_MACHINE, std::string(kClassPath) + "\\" + guidText(guid), KEY_READ);
    return key.string("Class").value_or("");
}

std::vector<std::string> registeredInstances(const GUID* classGuid, const char* enumerator)
{
    std::vector<std::string> ids;
    RegKey root = RegKey::open(HKEY_LOCAL_MACHINE, kEnumPath, KEY_READ);
    for (const std::string& bus : root.subkeys()) {
        if (enumerator && *enumerator && !equalsIgnoreCase(bus, enumerator))
            continue;
        RegKey busKey = RegKey::open(root.get(), bus, KEY_READ);
        for (const std::string& device : busKey.subkeys()) {
            RegKey deviceKey = RegKey::open(busKey.get(), device, KEY_READ);
            for (const std::string& instance : deviceKey.subkeys()) {
                RegKey key = RegKey::open(deviceKey.get(), instance, KEY_READ);
                auto guid = parseGuid(key.string("ClassGUID").value_or(""));
                if (classGuid && (!guid || !(*guid == *classGuid)))
                    continue;
                ids.push_back(bus + "\\" + device + "\\" + instance);
            }
        }
    }
    return ids;
}

bool validDeviceName(std::string_view name)
{
    if (name.empty() || name.size() > kMaxDeviceId)
        return false;
    for (char c : name) {
        auto b = static_cast<unsigned char>(c);
        if (b <= 0x20 || b >= 0x7F || c == '\\' || c == ',')
            return false;
    }
    return true;
}

std::string newInstanceId(std::string_view deviceName, const std::vector<std::string>& taken)
{
    const std::string prefix = "ROOT\\" + toUpper(deviceName) + "\\";
    const auto registered = registeredInstances(nullptr, "ROOT");
    auto used = [&](const std::string& id) {
        for (const auto* list : {&taken, &registered})
            for (const std::string& t : *list)
                if (equalsIgnoreCase(t, id))
                    return true;
        return false;
    };
    for (unsigned n = 0; n < kMaxInstances; ++n) {
        std::string id = prefix + fourDigits(n);
        if (!used(id))
            return id;
    }
    return {};
}

RegKey openDeviceKey(const std::string& instanceId, REGSAM access)
{
    return RegKey::open(HKEY_LOCAL_MACHINE, std::string(kEnumPath) + "\\" + instanceId, access);
}

RegKey createDeviceKey(const std::string& instanceId)
{
    return RegKey::create(HKEY_LOCAL_MACHINE, std::string(kEnumPath) + "\\" + instanceId);
}

RegKey openDriverKey(const std::string& instanceId, REGSAM access)
{
    auto driver = openDeviceKey(instanceId).string("Driver");
    if (!driver || driver->empty())
        return RegKey();
    return RegKey::open(HKEY_LOCAL_MACHINE, std::string(kClassPath) + "\\" + *driver, access);
}

RegKey createDriverKey(const GUID& classGuid, std::string* driverName)
{
    const std::string classKey = std::string(kClassPath) + "\\" + guidText(classGuid);
    const auto existing = RegKey::open(HKEY_LOCAL_MACHINE, classKey, KEY_READ).subkeys();
    for (unsigned n = 0; n < kMaxInstances; ++n) {
        const std::string name = fourDigits(n);
        bool taken = false;
        for (const std::string& e : existing)
            taken = taken || equalsIgnoreCase(e, name);
        if (taken)
            continue;
        *driverName = guidText(classGuid) + "\\" + name;
        return RegKey::create(HKEY_LOCAL_MACHINE, classKey + "\\" + name);
    }
    return RegKey();
}

bool deleteTree(const std::string& path)
{
    return RegDeleteTreeA(HKEY_LOCAL_MACHINE, path.c_str()) == ERROR_SUCCESS;
}

} // namespace zantal::devices
