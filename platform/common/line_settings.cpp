#include "common/line_settings.h"

#include <cerrno>

namespace plat {

unsigned bitsPerCharacter(const LineSettings& settings)
{
    const unsigned start = 1;
    const unsigned parity = settings.parity == Parity::None ? 0 : 1;
    // 1.5 stop bits are counted as 2: wire time is never underestimated.
    const unsigned stop = settings.stopBits == StopBits::One ? 1 : 2;
    return start + settings.dataBits + parity + stop;
}

namespace detail {

int checkLineSettings(const LineSettings& settings)
{
    if (settings.baudRate == 0)
        return EINVAL;
    if (settings.dataBits < 5 || settings.dataBits > 8)
        return EINVAL;
    // One character cannot both stop and restart the sender.
    if (settings.flowControl == FlowControl::XonXoff && settings.xonChar == settings.xoffChar)
        return EINVAL;
    return 0;
}

bool driverOwnsDtr(const LineSettings& settings)
{
    return settings.flowControl == FlowControl::DtrDsr;
}

bool driverOwnsRts(const LineSettings& settings)
{
    return settings.flowControl == FlowControl::RtsCts;
}

bool idleDtr(const LineSettings& settings)
{
    return driverOwnsDtr(settings) || settings.dtr;
}

bool idleRts(const LineSettings& settings)
{
    return driverOwnsRts(settings) || settings.rts;
}

std::chrono::nanoseconds characterTime(const LineSettings& settings)
{
    const uint64_t baud = settings.baudRate == 0 ? 1 : settings.baudRate;
    return std::chrono::nanoseconds(uint64_t{bitsPerCharacter(settings)} * 1000000000u / baud);
}

std::chrono::nanoseconds wireTime(const LineSettings& settings, size_t bytes)
{
    return characterTime(settings) * static_cast<int64_t>(bytes);
}

} // namespace detail
} // namespace plat
