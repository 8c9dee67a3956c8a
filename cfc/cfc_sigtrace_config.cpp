// Signal-trace configuration per operation mode.
#include "cfc_sigtrace.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace cfc {

namespace {

// No list holds more than 128 entries; a count beyond this only makes the
// file be read again and again for keys that cannot be taken.
constexpr unsigned long kMaxKeysRead = 4096;

// Hexadecimal, with or without "0x", as a 32-bit number; what does not fit
// saturates as it would in a 32-bit unsigned long.
uint32_t hexValue(const std::string& text)
{
    const unsigned long long value = std::strtoull(text.c_str(), nullptr, 16);
    return value > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(value);
}

// One section of the mode: "NumEntries" keys named `key` followed by their
// index, each non-empty one handed to `add`.
template <typename Add>
void readSection(const std::string& file, const std::string& section, const char* key, Add&& add)
{
    const std::string count = ReadSignalTraceValue(file, section.c_str(), "NumEntries");
    if (count.empty())
        return;
    const unsigned long entries = std::min<unsigned long>(hexValue(count), kMaxKeysRead);
    for (unsigned long i = 0; i < entries; ++i) {
        const std::string name = key + std::to_string(i);
        if (const std::string value = ReadSignalTraceValue(file, section.c_str(), name.c_str());
            !value.empty())
            add(hexValue(value));
    }
}

} // namespace

void LoadSignalTraceConfig(SignalTrace& signals, const char* modeName)
{
    // Entries of an earlier mode never carry over into this one.
    SignalTraceLists& lists = signals.lists;
    lists.baseCount = 0;
    lists.addedCount = 0;
    lists.removedCount = 0;
    if (!signals.signalTraceEnabled())
        return;
    const std::string file = SignalTraceIniPath();
    const std::string mode = modeName;
    readSection(file, mode + "AddBase", "Base",
                [&](uint32_t base) { AddNimboTraceMask(signals, base); });
    readSection(file, mode + "AddSignal", "Signal",
                [&](uint32_t signal) { AddNimboSignal(signals, signal); });
    readSection(file, mode + "RemoveSignal", "Signal",
                [&](uint32_t signal) { RemoveNimboSignal(signals, signal); });
    SendSignalTraceMask(signals);
}

uint32_t SignalTraceRequestCount(const SignalTrace& signals)
{
    return static_cast<uint32_t>(signals.lists.baseCount) + signals.lists.addedCount;
}

} // namespace cfc
