// The speed try on the system's communications calls. The port is opened
// without sharing, so a port another program holds fails the open.
//
// Not through the platform's serial layer as on Linux: its open sizes the
// driver queues, sets the driver's time-outs and overlapped I/O, its
// settings write rewrites flow control, the special characters and the
// other switches of the control block, and its close drops DTR. A probe
// must leave the port as the driver reported it but for the five fields it
// tries.
#include "speed_probe.h"

#include <windows.h>

namespace zantal {

SpeedTry trySystemPort(const std::string& deviceName, uint32_t baudRate)
{
    HANDLE port = CreateFileA(deviceName.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (port == INVALID_HANDLE_VALUE)
        return SpeedTry::CannotOpen;
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(port, &dcb)) {
        CloseHandle(port);
        return SpeedTry::CannotRead;
    }
    // Every other setting stays as the driver reported it.
    dcb.BaudRate = baudRate;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    const BOOL applied = SetCommState(port, &dcb);
    CloseHandle(port);
    return applied ? SpeedTry::Accepted : SpeedTry::Refused;
}

} // namespace zantal
