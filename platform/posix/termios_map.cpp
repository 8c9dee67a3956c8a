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

// DTR/DSR flow control exists on some systems only (not on Linux).
#if defined(CDTR_IFLOW) && defined(CDSR_OFLOW)
constexpr tcflag_t kDtrDsrFlags = CDTR_IFLOW | CDSR_OFLOW;
#else
constexpr tcflag_t kDtrDsrFlags = 0;
#endif
constexpr tcflag_t kFlowCflags = CRTSCTS | kDtrDsrFlags;
// flowFlags' answer for a kind this system cannot do.
constexpr tcflag_t kNoSuchFlow = ~tcflag_t{0};

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

// Control-mode flags of a flow control; XON/XOFF lives in the input modes.
tcflag_t flowFlags(FlowControl flow)
{
    switch (flow) {
    case FlowControl::RtsCts: return CRTSCTS;
    case FlowControl::DtrDsr: return kDtrDsrFlags != 0 ? kDtrDsrFlags : kNoSuchFlow;
    case FlowControl::None:
    case FlowControl::XonXoff: return 0;
    }
    return kNoSuchFlow;
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
    if (flowFlags(settings.flowControl) == kNoSuchFlow)
        return EINVAL;

    makeRaw(t);
    t.c_cflag &= ~(CSIZE | kParityBits | CSTOPB | kFlowCflags);
    t.c_cflag |= sizeFlag(settings.dataBits) | parityFlags(settings.parity);
    // termios has no 1.5 stop bits; UARTs send 1.5 for CSTOPB with 5 data bits.
    if (settings.stopBits != StopBits::One)
        t.c_cflag |= CSTOPB;
    t.c_cflag |= flowFlags(settings.flowControl);

    // The parity bit is sent but not checked on input: a byte arrives as it
    // was received rather than turned into a 0 the caller cannot tell apart.
    t.c_iflag &= ~(INPCK | IXON | IXOFF | IXANY);
    // Both directions: hold our output on XOFF, send XOFF when our buffer fills.
    if (settings.flowControl == FlowControl::XonXoff)
        t.c_iflag |= IXON | IXOFF;
    t.c_cc[VSTART] = static_cast<cc_t>(settings.xonChar);
    t.c_cc[VSTOP] = static_cast<cc_t>(settings.xoffChar);

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

    // A port set up by another program may carry several kinds at once; the
    // one that holds our output longest is reported.
    if (t.c_cflag & CRTSCTS)
        settings.flowControl = FlowControl::RtsCts;
    else if (kDtrDsrFlags != 0 && (t.c_cflag & kDtrDsrFlags))
        settings.flowControl = FlowControl::DtrDsr;
    else if (t.c_iflag & (IXON | IXOFF))
        settings.flowControl = FlowControl::XonXoff;
    else
        settings.flowControl = FlowControl::None;
    settings.xonChar = static_cast<char>(t.c_cc[VSTART]);
    settings.xoffChar = static_cast<char>(t.c_cc[VSTOP]);
}

bool sameFormat(const termios& asked, const termios& got)
{
    constexpr tcflag_t kFormat = CSIZE | kParityBits | CSTOPB | kFlowCflags;
    return ::cfgetospeed(&asked) == ::cfgetospeed(&got) &&
           ::cfgetispeed(&asked) == ::cfgetispeed(&got) &&
           (asked.c_cflag & kFormat) == (got.c_cflag & kFormat);
}

} // namespace plat::detail
