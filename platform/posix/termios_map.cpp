#include "posix/termios_map.h"

#include <array>
#include <cerrno>
#include <utility>

namespace plat::detail {

namespace {

constexpr std::array<std::pair<uint32_t, speed_t>, 30> kRates{{
    {50, B50},           {75, B75},           {110, B110},         {134, B134},
    {150, B150},         {200, B200},         {300, B300},         {600, B600},
    {1200, B1200},       {1800, B1800},       {2400, B2400},       {4800, B4800},
    {9600, B9600},       {19200, B19200},     {38400, B38400},     {57600, B57600},
    {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
    {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000},
    {1500000, B1500000}, {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000},
    {3500000, B3500000}, {4000000, B4000000},
}};

constexpr tcflag_t kParityBits = PARENB | PARODD | CMSPAR;

tcflag_t sizeFlag(uint8_t dataBits)
{
    switch (dataBits) {
    case 5: return CS5;
    case 6: return CS6;
    case 7: return CS7;
    default: return CS8;
    }
}

tcflag_t parityFlags(Parity parity)
{
    switch (parity) {
    case Parity::Odd: return PARENB | PARODD;
    case Parity::Even: return PARENB;
    case Parity::Mark: return PARENB | CMSPAR | PARODD;
    case Parity::Space: return PARENB | CMSPAR;
    case Parity::None: break;
    }
    return 0;
}

} // namespace

void makeRaw(termios& t)
{
    ::cfmakeraw(&t);
    t.c_cflag |= CLOCAL | CREAD;
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
}

int toTermios(const LineSettings& settings, termios& t)
{
    speed_t speed = B0;
    for (const auto& [rate, code] : kRates)
        if (rate == settings.baudRate)
            speed = code;
    if (speed == B0)
        return EINVAL;

    makeRaw(t);
    t.c_cflag &= ~(CSIZE | kParityBits | CSTOPB | CRTSCTS);
    t.c_cflag |= sizeFlag(settings.dataBits) | parityFlags(settings.parity);
    // termios has no 1.5 stop bits; UARTs send 1.5 for CSTOPB with 5 data bits.
    if (settings.stopBits != StopBits::One)
        t.c_cflag |= CSTOPB;
    // Linux couples both directions of RTS/CTS flow control in one flag.
    if (settings.ctsOutFlow || settings.rtsControl == LineControl::Handshake)
        t.c_cflag |= CRTSCTS;

    t.c_iflag &= ~(INPCK | IXON | IXOFF);
    if (settings.parityCheck)
        t.c_iflag |= INPCK;
    if (settings.xonXoffOut)
        t.c_iflag |= IXON;
    if (settings.xonXoffIn)
        t.c_iflag |= IXOFF;
    if (settings.xonXoffOut || settings.xonXoffIn) {
        t.c_cc[VSTART] = static_cast<cc_t>(settings.xonChar);
        t.c_cc[VSTOP] = static_cast<cc_t>(settings.xoffChar);
    }

    ::cfsetispeed(&t, speed);
    ::cfsetospeed(&t, speed);
    return 0;
}

void fromTermios(const termios& t, LineSettings& settings)
{
    const speed_t speed = ::cfgetospeed(&t);
    for (const auto& [rate, code] : kRates)
        if (code == speed)
            settings.baudRate = rate;

    switch (t.c_cflag & CSIZE) {
    case CS5: settings.dataBits = 5; break;
    case CS6: settings.dataBits = 6; break;
    case CS7: settings.dataBits = 7; break;
    default: settings.dataBits = 8; break;
    }

    const tcflag_t parity = t.c_cflag & kParityBits;
    if (!(parity & PARENB))
        settings.parity = Parity::None;
    else if (parity & CMSPAR)
        settings.parity = (parity & PARODD) ? Parity::Mark : Parity::Space;
    else
        settings.parity = (parity & PARODD) ? Parity::Odd : Parity::Even;

    if (!(t.c_cflag & CSTOPB))
        settings.stopBits = StopBits::One;
    else if (settings.stopBits == StopBits::One)
        settings.stopBits = StopBits::Two;
}

bool sameFormat(const termios& asked, const termios& got)
{
    constexpr tcflag_t kFormat = CSIZE | kParityBits | CSTOPB;
    return ::cfgetospeed(&asked) == ::cfgetospeed(&got) &&
           ::cfgetispeed(&asked) == ::cfgetispeed(&got) &&
           (asked.c_cflag & kFormat) == (got.c_cflag & kFormat);
}

} // namespace plat::detail
