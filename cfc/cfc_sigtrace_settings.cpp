#include "cfc_sigtrace.h"

#include "cfc_progress.h"
#include "cfc_trace.h"

#include "plat/clock.h"
#include "plat/portmap.h"
#include "plat/profile.h"

#include <climits>
#include <cstdlib>
#include <optional>

namespace cfc {

namespace {

constexpr const char* kSection = "Global";
// Every value is read as the original host's 64-character buffer holds it.
constexpr size_t kValueSize = 63;
constexpr int64_t kSuffixLimit = 1000;
constexpr uint32_t kLetSignalsComeOutMs = 5000;

std::string readValue(const std::string& file, const char* key)
{
    return ReadSignalTraceValue(file, kSection, key);
}

// Decimal as a signed 32-bit number; what does not fit is clamped.
int32_t decimalValue(const std::string& text)
{
    const long long value = std::strtoll(text.c_str(), nullptr, 10);
    if (value > INT_MAX)
        return INT_MAX;
    if (value < INT_MIN)
        return INT_MIN;
    return static_cast<int32_t>(value);
}

} // namespace

std::string ReadSignalTraceValue(const std::string& file, const char* section, const char* key)
{
    std::string value = plat::readProfileString(file, section, key, "0");
    if (value.size() > kValueSize)
        value.resize(kValueSize);
    return value;
}

std::string SignalTraceIniPath()
{
    if (const char* path = std::getenv("CFC_TRACE_INI"); path != nullptr && *path != '\0')
        return path;
#ifdef _WIN32
    // Where the test PCs keep it, outside any user's profile.
    return "c:\\test\\cfctrace.ini";
#else
    return plat::userConfigDir() + "/cfc/cfctrace.ini";
#endif
}

void ReadSignalTraceSettings(SignalTrace& signals)
{
    const std::string file = SignalTraceIniPath();
    if (const std::string enable = readValue(file, "Enable"); !enable.empty())
        signals.enable.store(decimalValue(enable));
    if (signals.enable.load() == 0)
        return;
    // The number is read, its files made and the next number written back
    // as one step between processes, so that runs started together each get
    // files of their own. Should the settings file be locked too long or be
    // unusable, making the files alone still keeps the runs apart.
    int32_t suffix = signals.suffix.load();
    std::optional<int32_t> taken;
    bool stepped = false;
    plat::updateProfileString(
        file, kSection, "Suffix", "0", [&](const std::string& value) -> std::optional<std::string> {
            stepped = true;
            if (const std::string text = value.substr(0, kValueSize); !text.empty())
                suffix = decimalValue(text);
            taken = signals.claimFiles(suffix);
            // Computed wide: a suffix of INT_MAX must not
            // overflow on its way to 0.
            const int64_t next = static_cast<int64_t>(taken.value_or(suffix)) + 1;
            return next >= kSuffixLimit ? "0" : std::to_string(next);
        });
    if (!stepped) {
        if (const std::string text = readValue(file, "Suffix"); !text.empty())
            suffix = decimalValue(text);
        taken = signals.claimFiles(suffix);
    }
    TraceLineF(signals.trace(), 3, "(CFC ) WComOpen: Nimbo trace suffix read to %d", suffix);
    if (taken && *taken != suffix)
        TraceLineF(signals.trace(), 3, "(CFC ) WComOpen: Nimbo trace files %03d taken, using %03d",
                   suffix, *taken);
    signals.suffix.store(taken.value_or(suffix));
}

void FinishSignalTrace(SignalTrace& signals)
{
    // The module may still be reporting; the receive thread writes what comes
    // in the meantime, so the files end with the module's last signals.
    SleepWithProgress(CFC_WAIT_SIGNAL_TRACE, kLetSignalsComeOutMs);
    SendSignalTraceOff(signals);
}

} // namespace cfc
