#include "common/line_settings.h"
#include "plat/virtual_serial.h"

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
    return 0;
}

bool idleLevel(LineControl control)
{
    return control == LineControl::Enable || control == LineControl::Handshake;
}

void noteManualLevel(LineControl& control, bool high)
{
    if (control == LineControl::Enable || control == LineControl::Disable)
        control = high ? LineControl::Enable : LineControl::Disable;
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
