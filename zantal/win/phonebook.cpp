#include "win/rasapi.h"

#include "win/escape.h"
#include "win/store.h"

#include <charconv>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace win {

namespace {

constexpr std::string_view kHeader = "ZANTAL-PHONEBOOK 1";
constexpr size_t kMaxPhoneBookBytes = 16u << 20;

// The fields the phone book keeps, by their key in the file.
struct Field {
    const char* key;
    size_t offset;
    size_t size;
    bool text;
};

#define ZANTAL_TEXT(key, member)                                                                   \
    {                                                                                              \
        key, offsetof(RASENTRYA, member), sizeof(RASENTRYA::member), true                          \
    }
#define ZANTAL_NUMBER(key, member)                                                                 \
    {                                                                                              \
        key, offsetof(RASENTRYA, member), sizeof(DWORD), false                                     \
    }
constexpr Field kFields[] = {
    ZANTAL_NUMBER("Options", dwfOptions),
    ZANTAL_NUMBER("CountryID", dwCountryID),
    ZANTAL_NUMBER("CountryCode", dwCountryCode),
    ZANTAL_TEXT("AreaCode", szAreaCode),
    ZANTAL_TEXT("PhoneNumber", szLocalPhoneNumber),
    ZANTAL_NUMBER("FrameSize", dwFrameSize),
    ZANTAL_NUMBER("NetProtocols", dwfNetProtocols),
    ZANTAL_NUMBER("FramingProtocol", dwFramingProtocol),
    ZANTAL_TEXT("Script", szScript),
    ZANTAL_TEXT("DeviceType", szDeviceType),
    ZANTAL_TEXT("DeviceName", szDeviceName),
    ZANTAL_NUMBER("Channels", dwChannels),
    ZANTAL_NUMBER("SubEntries", dwSubEntries),
    ZANTAL_NUMBER("DialMode", dwDialMode),
    ZANTAL_NUMBER("IdleDisconnectSeconds", dwIdleDisconnectSeconds),
    ZANTAL_NUMBER("Type", dwType),
    ZANTAL_NUMBER("EncryptionType", dwEncryptionType),
    ZANTAL_NUMBER("VpnStrategy", dwVpnStrategy),
    ZANTAL_NUMBER("Options2", dwfOptions2),
    ZANTAL_NUMBER("Options3", dwfOptions3),
    ZANTAL_TEXT("DnsSuffix", szDnsSuffix),
    ZANTAL_NUMBER("RedialCount", dwRedialCount),
    ZANTAL_NUMBER("RedialPause", dwRedialPause),
};
#undef ZANTAL_TEXT
#undef ZANTAL_NUMBER

struct Entry {
    std::string name;
    std::vector<std::pair<std::string, std::string>> fields; // key, raw text
};

bool validEntryName(const char* name)
{
    if (!name)
        return false;
    size_t length = strnlen(name, RAS_MaxEntryName + 1);
    if (length == 0 || length > RAS_MaxEntryName)
        return false;
    for (size_t i = 0; i < length; ++i)
        if (static_cast<unsigned char>(name[i]) < 0x20)
            return false;
    return true;
}

bool validDeclaredSize(DWORD size)
{
    return size == kRasEntrySizeV1 || size == kRasEntrySizeV2 || size == kRasEntrySizeFull;
}

bool parse(std::string_view text, std::vector<Entry>& entries)
{
    return forEachStoreLine(text, kHeader, [&](std::string_view line) {
        if (line.front() == '[' && line.back() == ']') {
            auto name = unescapeBytes(line.substr(1, line.size() - 2));
            if (!name)
                return false;
            entries.push_back(Entry{*name, {}});
            return true;
        }
        size_t eq = line.find('=');
        if (eq == std::string_view::npos || entries.empty())
            return false;
        auto value = unescapeBytes(line.substr(eq + 1));
        if (!value)
            return false;
        entries.back().fields.emplace_back(std::string(line.substr(0, eq)), *value);
        return true;
    });
}

std::string serialize(const std::vector<Entry>& entries)
{
    std::string out(kHeader);
    out += '\n';
    for (const Entry& e : entries) {
        out += "[" + escapeBytes(e.name) + "]\n";
        for (const auto& [key, value] : e.fields)
            out += key + "=" + escapeBytes(value) + "\n";
    }
    return out;
}

Entry* findEntry(std::vector<Entry>& entries, std::string_view name)
{
    for (Entry& e : entries)
        if (equalsIgnoreCase(e.name, name))
            return &e;
    return nullptr;
}

// Runs an operation over the loaded phone book and, when it changed the
// book, writes it back whole.
template <class Operation>
DWORD withPhoneBook(bool write, Operation&& operation)
{
    DWORD rc = ERROR_SUCCESS;
    auto access =
        accessStoreFile("rasphone.pbk", write, kMaxPhoneBookBytes,
                        [&](const std::string* text, std::optional<std::string>* replacement) {
                            std::vector<Entry> entries;
                            if (text && !parse(*text, entries)) {
                                rc = ERROR_CORRUPT_PHONEBOOK;
                                return;
                            }
                            bool changed = false;
                            rc = operation(entries, changed);
                            if (rc == ERROR_SUCCESS && changed && replacement)
                                *replacement = serialize(entries);
                        });
    if (access == StoreAccess::Done)
        return rc;
    return write ? ERROR_CANNOT_WRITE_PHONEBOOK : ERROR_CANNOT_OPEN_PHONEBOOK;
}

DWORD readNumber(const BYTE* record, size_t offset)
{
    DWORD value;
    std::memcpy(&value, record + offset, sizeof value);
    return value;
}

void writeNumber(BYTE* record, size_t offset, DWORD value)
{
    std::memcpy(record + offset, &value, sizeof value);
}

} // namespace

DWORD RasSetEntryPropertiesA(const char* phoneBook, const char* entryName, const RASENTRYA* entry,
                             DWORD entrySize, const BYTE*, DWORD)
{
    if (phoneBook)
        return ERROR_CANNOT_OPEN_PHONEBOOK;
    if (!validEntryName(entryName))
        return ERROR_INVALID_NAME;
    if (!entry || !validDeclaredSize(entry->dwSize) || entrySize < entry->dwSize)
        return ERROR_INVALID_SIZE;

    Entry stored{entryName, {}};
    const auto* record = reinterpret_cast<const BYTE*>(entry);
    for (const Field& f : kFields) {
        if (f.offset + f.size > entry->dwSize)
            continue;
        if (f.text) {
            const char* text = reinterpret_cast<const char*>(record + f.offset);
            stored.fields.emplace_back(f.key, std::string(text, strnlen(text, f.size - 1)));
        } else {
            stored.fields.emplace_back(f.key, std::to_string(readNumber(record, f.offset)));
        }
    }
    return withPhoneBook(true, [&](std::vector<Entry>& entries, bool& changed) -> DWORD {
        if (Entry* existing = findEntry(entries, entryName))
            *existing = std::move(stored);
        else
            entries.push_back(std::move(stored));
        changed = true;
        return ERROR_SUCCESS;
    });
}

DWORD RasGetEntryPropertiesA(const char* phoneBook, const char* entryName, RASENTRYA* entry,
                             DWORD* entrySize, BYTE*, DWORD* deviceInfoSize)
{
    if (phoneBook)
        return ERROR_CANNOT_OPEN_PHONEBOOK;
    if (!validEntryName(entryName))
        return ERROR_INVALID_NAME;
    if (!entry || !entrySize || !validDeclaredSize(entry->dwSize))
        return ERROR_INVALID_SIZE;
    const DWORD declared = entry->dwSize;
    if (*entrySize < declared) {
        *entrySize = declared;
        return ERROR_BUFFER_TOO_SMALL;
    }
    return withPhoneBook(false, [&](std::vector<Entry>& entries, bool&) -> DWORD {
        const Entry* found = findEntry(entries, entryName);
        if (!found)
            return ERROR_CANNOT_FIND_PHONEBOOK_ENTRY;
        auto* record = reinterpret_cast<BYTE*>(entry);
        std::memset(record + sizeof(DWORD), 0, declared - sizeof(DWORD));
        for (const auto& [key, value] : found->fields) {
            for (const Field& f : kFields) {
                if (key != f.key || f.offset + f.size > declared)
                    continue;
                if (f.text) {
                    std::memcpy(record + f.offset, value.data(),
                                std::min(value.size(), f.size - 1));
                } else {
                    DWORD number = 0;
                    std::from_chars(value.data(), value.data() + value.size(), number);
                    writeNumber(record, f.offset, number);
                }
            }
        }
        *entrySize = declared;
        if (deviceInfoSize)
            *deviceInfoSize = 0;
        return ERROR_SUCCESS;
    });
}

DWORD RasDeleteEntryA(const char* phoneBook, const char* entryName)
{
    if (phoneBook)
        return ERROR_CANNOT_OPEN_PHONEBOOK;
    if (!validEntryName(entryName))
        return ERROR_INVALID_NAME;
    return withPhoneBook(true, [&](std::vector<Entry>& entries, bool& changed) -> DWORD {
        for (auto it = entries.begin(); it != entries.end(); ++it) {
            if (equalsIgnoreCase(it->name, entryName)) {
                entries.erase(it);
                changed = true;
                return ERROR_SUCCESS;
            }
        }
        return ERROR_CANNOT_FIND_PHONEBOOK_ENTRY;
    });
}

} // namespace win
