#include "add_registry.h"

#include "win/escape.h"
#include "win/reg_key.h"

#include <cstdlib>

namespace zantal::inf {

using namespace win;

namespace {

constexpr DWORD FLG_ADDREG_BINVALUETYPE = 0x00001;
constexpr DWORD FLG_ADDREG_NOCLOBBER = 0x00002;
constexpr DWORD FLG_ADDREG_KEYONLY = 0x00010;
constexpr DWORD FLG_ADDREG_TYPE_MASK = 0xFFFF0001;
constexpr DWORD FLG_ADDREG_TYPE_SZ = 0x00000;
constexpr DWORD FLG_ADDREG_TYPE_MULTI_SZ = 0x10000;
constexpr DWORD FLG_ADDREG_TYPE_EXPAND_SZ = 0x20000;
constexpr DWORD FLG_ADDREG_TYPE_DWORD = 0x10001;
constexpr DWORD FLG_ADDREG_TYPE_NONE = 0x20001;

std::optional<DWORD> number(const std::string& text)
{
    if (text.empty())
        return DWORD{0};
    char* end = nullptr;
    unsigned long value = std::strtoul(text.c_str(), &end, 0);
    if (*end != '\0' || value > 0xFFFFFFFFul)
        return std::nullopt;
    return static_cast<DWORD>(value);
}

// Fields from `first` on, each a byte in hexadecimal.
std::optional<std::string> bytesFrom(const Line& line, size_t first)
{
    std::string bytes;
    for (size_t i = first; i <= line.fields.size(); ++i) {
        const std::string text = *InfFile::field(line, i);
        char* end = nullptr;
        unsigned long b = std::strtoul(text.c_str(), &end, 16);
        if (text.empty() || *end != '\0' || b > 0xFF)
            return std::nullopt;
        bytes += static_cast<char>(b);
    }
    return bytes;
}

bool applyLine(const Line& line, HKEY driverKey)
{
    auto field = [&](size_t i) { return InfFile::field(line, i).value_or(""); };
    const std::string root = field(1);
    HKEY base = nullptr;
    if (equalsIgnoreCase(root, "HKR"))
        base = driverKey;
    else if (equalsIgnoreCase(root, "HKLM"))
        base = HKEY_LOCAL_MACHINE;
    else if (equalsIgnoreCase(root, "HKCU"))
        base = HKEY_CURRENT_USER;
    else
        return false;

    auto flags = number(field(4));
    if (!flags)
        return false;
    RegKey key = RegKey::create(base, field(2));
    if (!key.valid())
        return false;
    const bool hasValue = line.fields.size() >= 3;
    if ((*flags & FLG_ADDREG_KEYONLY) || !hasValue)
        return true;
    const std::string name = field(3);
    if ((*flags & FLG_ADDREG_NOCLOBBER) && key.raw(name.c_str()))
        return true;

    switch (*flags & FLG_ADDREG_TYPE_MASK) {
    case FLG_ADDREG_TYPE_SZ: return key.setString(name.c_str(), field(5));
    case FLG_ADDREG_TYPE_EXPAND_SZ: return key.setRaw(name.c_str(), REG_EXPAND_SZ, field(5) + '\0');
    case FLG_ADDREG_TYPE_MULTI_SZ: {
        std::vector<std::string> strings;
        for (size_t i = 5; i <= line.fields.size(); ++i)
            strings.push_back(field(i));
        return key.setMultiString(name.c_str(), strings);
    }
    case FLG_ADDREG_TYPE_DWORD: {
        if (line.fields.size() > 5) { // written out as four bytes
            auto bytes = bytesFrom(line, 5);
            return bytes && bytes->size() == 4 && key.setRaw(name.c_str(), REG_DWORD, *bytes);
        }
        auto value = number(field(5));
        return value && key.setDword(name.c_str(), *value);
    }
    case FLG_ADDREG_TYPE_NONE:
    case FLG_ADDREG_BINVALUETYPE: {
        auto bytes = bytesFrom(line, 5);
        DWORD type =
            (*flags & FLG_ADDREG_TYPE_MASK) == FLG_ADDREG_TYPE_NONE ? REG_NONE : REG_BINARY;
        return bytes && key.setRaw(name.c_str(), type, *bytes);
    }
    default: {
        // The type's number in the high word, the data as bytes.
        auto bytes = bytesFrom(line, 5);
        return bytes && key.setRaw(name.c_str(), *flags >> 16, *bytes);
    }
    }
}

} // namespace

bool applyAddReg(const InfFile& file, const Section& installSection, HKEY driverKey)
{
    for (const Line& directive : installSection.lines) {
        if (!directive.key || !equalsIgnoreCase(*directive.key, "AddReg"))
            continue;
        for (const std::string& name : directive.fields) {
            if (name.empty())
                continue;
            const Section* section = file.section(name);
            if (!section)
                return false;
            for (const Line& line : section->lines)
                if (!applyLine(line, driverKey))
                    return false;
        }
    }
    return true;
}

} // namespace zantal::inf
